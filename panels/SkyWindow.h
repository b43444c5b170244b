// The sky and camera window: the seeing, a companion star and the camera's pixel, the inputs of
// what happens after the mirror. The seeing and the companion change the runs (in the
// automatic mode a run starts); the pixel changes only the camera image.
#pragma once

#include <QWidget>

#include "core/PsfCalculation.h"
#include "imaging/SkyConditions.h"

class QLabel;
class QLineEdit;

namespace velmora {

// What the window holds: the sky laid over the runs and the camera's pixel (0 = none).
struct SkyAndCamera {
    SkyConditions sky;
    double pixelUm = 0;
    bool operator==(const SkyAndCamera&) const = default;
};

class TSky : public QWidget {
    Q_OBJECT
public:
    TSky();

    // The inputs as the window holds them: the last values typed that were numbers in range.
    const SkyAndCamera& Inputs() const { return inputs_; }
    // Takes whole inputs, as a loaded set-up does (the signals when they differ).
    void SetInputs(const SkyAndCamera& inputs);

    void SeeingEditChange();
    void SeparationEditChange();
    void PositionAngleEditChange();
    void DeltaMagEditChange();
    void PixelEditChange();

signals:
    // The seeing or the companion has changed: the runs' results change.
    void SkyChanged();
    // The camera's pixel has changed: only the camera image changes.
    void CameraChanged();

private:
    bool TakeValue(QLineEdit* edit, double* field, double lo, double hi, const QString& what);
    void Take(const SkyAndCamera& inputs);
    void ShowValues();

    QLineEdit* seeing_;
    QLineEdit* separation_;
    QLineEdit* positionAngle_;
    QLineEdit* deltaMag_;
    QLineEdit* pixel_;
    QLabel* message_;
    SkyAndCamera inputs_;
    bool filling_ = false;
};

}  // namespace velmora
