// The pupil distribution window: the pupil amplitude at the 550 nm scale, the central quarter
// of the calculation grid as a grey picture.
#pragma once

#include <QWidget>

#include "ui/PictureBox.h"

namespace velmora {

class TPupil : public QWidget {
    Q_OBJECT
public:
    TPupil();
    PictureBox* Image1() const { return image1_; }
    void BitBtn1Click();

private:
    PictureBox* image1_;
};

}  // namespace velmora
