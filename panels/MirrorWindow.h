// The mirror and field window: the primary's conic constant and the star's place in the field
// (angle and azimuth), whose third-order aberrations add to the wavefront of the previews and
// the runs while the check box is on; below them the Fringe terms they give at the previews'
// wavelength.
#pragma once

#include <QWidget>

#include "core/MirrorAndField.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace velmora {

class TMirror : public QWidget {
    Q_OBJECT
public:
    TMirror();

    // The input as the window holds it: on while the check box is, with the last values typed
    // that were numbers in range.
    const MirrorAndField& Mirror() const { return mirror_; }
    // Takes a whole input, as a loaded set-up does (MirrorChanged when it differs).
    void SetMirror(const MirrorAndField& mirror);
    // The terms the input gives at lambdaNm, shown below the values.
    void ShowTerms(const ZernikeSet& terms, double lambdaNm);

    void MirrorCheckClick();
    void ConicEditChange();
    void FieldAngleEditChange();
    void AzimuthEditChange();

signals:
    // The input has changed so that the wavefront is another one (not for values typed while
    // the box is off).
    void MirrorChanged();

private:
    // The text of `edit` into mirror_.*field when it is a number from lo to hi; otherwise the
    // message names the value and its range, and the value stays.
    void TakeValue(QLineEdit* edit, double MirrorAndField::*field, double lo, double hi, const QString& what);
    void Take(const MirrorAndField& mirror);
    void ShowValues();

    QCheckBox* check_;
    QLineEdit* conic_;
    QLineEdit* fieldAngle_;
    QLineEdit* azimuth_;
    QLabel* terms_;
    QLabel* message_;
    MirrorAndField mirror_;
    bool filling_ = false;
};

}  // namespace velmora
