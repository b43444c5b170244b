#include "app/MessageLanguage.h"

#include <QString>
#include <QTranslator>
#include <cctype>
#include <vector>

namespace velmora {

bool ParseLanguageName(const std::string& text, bool& english) {
    std::string v = text;
    for (char& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (v != "en" && v != "ja") return false;
    english = v == "en";
    return true;
}

MessageLanguage::MessageLanguage(bool english) {
    if (!english) return;
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(QStringLiteral(":/i18n/velmora1_en.qm"))) translator_ = std::move(translator);
}

MessageLanguage::~MessageLanguage() = default;

std::string MessageLanguage::Text(const UserMessage& message) const {
    if (!translator_) return message.Text();
    if (!message.context) return message.pattern;
    std::vector<std::string> values;
    values.reserve(message.args.size());
    for (const UserMessage& a : message.args) values.push_back(Text(a));
    // A template the translation does not hold stays as written, as in the windows.
    const QString translated = translator_->translate(message.context, message.pattern.c_str());
    const std::string pattern = translated.isEmpty() ? message.pattern : translated.toStdString();
    return FillPlaces(pattern, values);
}

}  // namespace velmora
