#include "app/Language.h"

#include <QApplication>
#include <QTranslator>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace velmora {

namespace {

// "en" and "ja" in any case; anything else is refused with a note, not an error, because a
// mistyped language must not keep the program from starting.
bool Parse(const char* value, const char* where, Language& language) {
    std::string v = value;
    for (char& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (v == "en") language = Language::English;
    else if (v == "ja") language = Language::Japanese;
    else {
        std::fprintf(stderr, "velmora1: unknown language \"%s\" in %s (known: ja, en); using Japanese\n", value, where);
        return false;
    }
    return true;
}

}  // namespace

Language RequestedLanguage(int argc, char** argv) {
    Language language = Language::Japanese;
    const char* fromArgs = nullptr;
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--lang") == 0) {
            if (k + 1 < argc) fromArgs = argv[++k];
            else std::fprintf(stderr, "velmora1: --lang needs a language (ja or en)\n");
        } else if (std::strncmp(argv[k], "--lang=", 7) == 0) {
            fromArgs = argv[k] + 7;
        }
    }
    if (fromArgs) {
        Parse(fromArgs, "--lang", language);
        return language;
    }
    const char* env = std::getenv("VELMORA_LANG");
    if (env && *env) Parse(env, "VELMORA_LANG", language);
    return language;
}

Language InstallLanguage(QApplication& app, int argc, char** argv) {
    if (RequestedLanguage(argc, argv) != Language::English) return Language::Japanese;
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral(":/i18n/velmora1_en.qm"))) {
        std::fprintf(stderr, "velmora1: the English translation is missing; using Japanese\n");
        delete translator;
        return Language::Japanese;
    }
    QCoreApplication::installTranslator(translator);
    return Language::English;
}

}  // namespace velmora
