// The 3D view: a wire-frame relief of the PSF centre, turned by hand or by a timer, with its
// picture export; it also keeps the pupil image of the last monochrome calculation.
#pragma once

#include <QMainWindow>

#include "core/Picture24.h"
#include "core/PsfCalculation.h"
#include "ui/PictureBox.h"

class QLabel;
class QScrollBar;
class QTimer;

namespace velmora {

class TPSF;

class TPSF3D : public QMainWindow {
    Q_OBJECT
public:
    // Reads the intensity image from `source`, the 2D viewer.
    explicit TPSF3D(const TPSF& source);

    PictureBox* Image1() const { return image1_; }
    const Picture24& Image2() const { return image2_; }
    // Keeps the pupil picture of a monochrome run; a colour run leaves the last one.
    void ShowResult(const PsfResult& result);
    int Angle() const;
    int AnimationMode() const { return animationMode_; }
    QTimer* Timer1() const { return timer1_; }

    // The main window's command: back to 30 degrees, drawn, shown.
    void Open();
    void Redraw();

    void ScrollBar1Change();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Timer1Timer();
    void S1Click();
    void BitBtn1Click();
    void Close1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void TurnTo(int theta);

    const TPSF& source_;
    PictureBox* image1_;
    Picture24 image2_{resultSize, resultSize};
    QScrollBar* scrollBar1_;
    QLabel* label1_;
    QTimer* timer1_;
    int animationMode_ = 0;  // 0 stopped, 1 slow, 5 fast: degrees per tick
};

}  // namespace velmora
