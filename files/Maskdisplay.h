// The user mask display window: holds the mask picture at its own pixel size. The picture,
// not the file it came from, is what the calculation samples.
#pragma once

#include <QMainWindow>

#include "core/Picture24.h"
#include "pupil/PictureBox.h"

namespace velmora {

inline constexpr int maskDisplayInitialSize = 600;

class TMaskDis : public QMainWindow {
    Q_OBJECT
public:
    TMaskDis();
    const Picture24& MaskPicture() const { return image1_->Picture(); }
    // Takes a new mask picture; the panel and the image take its size.
    void SetMaskPicture(const Picture24& picture);
    void Close1Click();

private:
    QWidget* panel1_;
    PictureBox* image1_;
};

}  // namespace velmora
