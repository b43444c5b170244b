// The 3D view: a wire-frame relief of the PSF centre; it also keeps the pupil image of the
// last monochrome calculation.
#pragma once

#include <QMainWindow>

#include "core/Picture24.h"
#include "core/PsfCalculation.h"
#include "pupil/PictureBox.h"

namespace velmora {

class TPSF3D : public QMainWindow {
    Q_OBJECT
public:
    TPSF3D();
    PictureBox* Image1() const { return image1_; }
    const Picture24& Image2() const { return image2_; }
    void SetPupilImage(const Picture24& picture) { image2_ = picture; }
    void Button4Click();

private:
    PictureBox* image1_;
    Picture24 image2_{resultSize, resultSize};
};

}  // namespace velmora
