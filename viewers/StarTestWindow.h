// The star test window: the star inside and outside focus side by side, the defocus in waves
// P-V and the focuser travel it stands for. It only shows what a task computed; the main window
// starts the task when the defocus, the result or the window's visibility asks for one.
#pragma once

#include <QWidget>

#include "optics/StarTestPictures.h"

class QLabel;
class QSpinBox;

namespace velmora {

class PictureBox;

class TStarTest : public QWidget {
    Q_OBJECT
public:
    TStarTest();

    // d, waves P-V of defocus at the mean wavelength.
    int Defocus() const;

    // No result to test yet: the pictures are cleared and the user is told to calculate.
    void ShowNoResult();
    // A pair is being computed: what is shown stays, the status says so.
    void ShowComputing();
    // The pair, its sizes and the focuser travel; a disc that does not fit is said instead.
    void ShowResult(const StarTestResult& result);
    // A refusal or failure of the pair, in the user's words.
    void ShowMessage(const QString& text);

signals:
    // The user changed d.
    void DefocusChanged();

private:
    PictureBox* intra_;
    PictureBox* extra_;
    QSpinBox* defocus_;
    QLabel* travel_;
    QLabel* scale_;
    QLabel* status_;
};

}  // namespace velmora
