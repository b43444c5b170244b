// The 2D viewer: the visible PSF picture and the hidden intensity images the calculation
// writes, with the brightness scroll bar the calculation reads.
#pragma once

#include <QMainWindow>

#include "core/Picture24.h"
#include "core/PsfCalculation.h"
#include "pupil/PictureBox.h"

class QLabel;
class QScrollBar;

namespace velmora {

class TPSF : public QMainWindow {
    Q_OBJECT
public:
    TPSF();

    PictureBox* Image1() const { return image1_; }
    const Picture24& Image2() const { return image2_; }
    const Picture24& Image3() const { return image3_; }
    const Picture24& Image4() const { return image4_; }
    int BrightnessLevel() const;

    // The calculation's pictures: the display into Image1, the intensity images into 2 to 4.
    void SetResults(const PsfResultImages& results);
    void CollectResults(PsfResultImages& results) const;

    void ScrollBar1Change();
    void BitBtn1Click();

private:
    PictureBox* image1_;
    Picture24 image2_{resultSize, resultSize};
    Picture24 image3_{resultSize, resultSize};
    Picture24 image4_{resultSize, resultSize};
    QScrollBar* scrollBar1_;
    QLabel* label1_;
};

}  // namespace velmora
