#include "ui/NumberField.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>

#include "core/NumberText.h"

namespace velmora {

bool TakeNumberField(const QLineEdit* edit, double lo, double hi, const QString& what, double& value, QLabel* message) {
    auto number = [](double v) { return QString::fromStdString(FormatGeneral(v)); };
    double typed = 0;
    bool parsed = true;
    try {
        typed = ParseDecimal(edit->text().toStdString());
    } catch (const ConversionError&) {
        parsed = false;
    }
    if (!parsed || !(typed >= lo && typed <= hi)) {
        message->setText(QCoreApplication::translate(
                             "NumberField", "%1「%2」は使えません。%3 から %4 までの数値を入れてください。前の値 %5 のままです。")
                             .arg(what, edit->text(), number(lo), number(hi), number(value)));
        return false;
    }
    message->clear();
    value = typed;
    return true;
}

}  // namespace velmora
