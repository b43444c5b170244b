#include "ui/UserText.h"

#include <QCoreApplication>

namespace velmora {

QString Translated(const UserMessage& message) {
    if (!message.context) return QString::fromStdString(message.pattern);
    std::vector<std::string> values;
    values.reserve(message.args.size());
    for (const UserMessage& a : message.args) values.push_back(Translated(a).toStdString());
    const QString pattern = QCoreApplication::translate(message.context, message.pattern.c_str());
    // The same one-pass filling as the Japanese text, so both read their values alike.
    return QString::fromStdString(FillPlaces(pattern.toStdString(), values));
}

QString ErrorText(const std::exception& e) {
    if (const auto* m = dynamic_cast<const MessageError*>(&e)) return Translated(m->Message());
    return QString::fromUtf8(e.what());
}

}  // namespace velmora
