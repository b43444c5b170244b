#include "app/WindowCommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include "files/ProgramVersion.h"

namespace velmora {

namespace {

const char* helpText =
    "usage: velmora1 [--lang ja|en] [--per-user-folder] [Qt options such as -platform NAME]\n"
    "       velmora1 --help | --version\n"
    "\n"
    "Opens the telescope PSF simulator's window.\n"
    "\n"
    "  --lang ja|en        language of the windows (default: VELMORA_LANG, else Japanese)\n"
    "  --per-user-folder   keep the program's files in $XDG_DATA_HOME/velmora1\n"
    "                      (else ~/.local/share/velmora1) instead of the current folder\n"
    "  --help              this text\n"
    "  --version           the program's name and version\n"
    "\n"
    "Calculations without a window: velmora1-batch --help\n";

// Qt's own options that QApplication takes from the command line (with a value or without).
const char* qtValueOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
                                "style", "stylesheet", "session", "display", "geometry", "qwindowgeometry",
                                "qwindowtitle", "qwindowicon", "title", "name", "visual"};
const char* qtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync", "cmap"};

}  // namespace

WindowCommandLine ParseWindowCommandLine(const std::vector<std::string>& args) {
    QCommandLineParser parser;
    // Qt's options are written with one dash ("-platform offscreen").
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption lang(QStringLiteral("lang"), QString(), QStringLiteral("language"));
    const QCommandLineOption perUser(QStringLiteral("per-user-folder"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(lang);
    parser.addOption(perUser);
    for (const char* name : qtValueOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    for (const char* name : qtFlagOptions) parser.addOption(QCommandLineOption(QString::fromLatin1(name)));

    QStringList list{QStringLiteral("velmora1")};
    for (const std::string& a : args) list << QString::fromLocal8Bit(a.c_str());
    WindowCommandLine result;
    auto usage = [&](const std::string& problem) {
        result.action = WindowCommandLine::Action::UsageError;
        result.text = "velmora1: " + problem + "\nTry 'velmora1 --help' for more information.\n";
        return result;
    };
    if (!parser.parse(list)) return usage(parser.errorText().toStdString());
    if (!parser.positionalArguments().isEmpty())
        return usage("unexpected argument '" + parser.positionalArguments().first().toStdString() + "'");
    if (parser.isSet(help)) {
        result.action = WindowCommandLine::Action::PrintHelp;
        result.text = helpText;
    } else if (parser.isSet(version)) {
        result.action = WindowCommandLine::Action::PrintVersion;
        // Appended in place: g++ 12 takes the temporaries of a + chain for overflows under
        // ThreadSanitizer (its -Warray-bounds false alarm on std::string).
        result.text = "Velmora 1\nVersion ";
        result.text.append(programVersion).append("\n");
    }
    return result;
}

}  // namespace velmora
