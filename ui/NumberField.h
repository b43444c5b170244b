// A number typed into a box of a settings window, taken only when it is one within its range.
#pragma once

#include <QString>

class QLabel;
class QLineEdit;

namespace velmora {

// The text of `edit` as a number from lo to hi: true, and `value` holds it, `message` cleared.
// Otherwise false: `message` names the value (`what`) and its range and says that `value`
// stays as it is.
bool TakeNumberField(const QLineEdit* edit, double lo, double hi, const QString& what, double& value, QLabel* message);

}  // namespace velmora
