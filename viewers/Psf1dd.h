// The 1D profile viewer: cross-sections of the PSF on a linear and a logarithmic scale, with a
// thumbnail of the 2D picture.
#pragma once

#include <QMainWindow>

#include "core/Picture24.h"
#include "pupil/PictureBox.h"

namespace velmora {

inline constexpr int thumbnailSize = 127;

// `source` scaled onto a width x height picture, each target pixel taking the source pixel
// under it (the way a stretched copy of a bitmap picks its pixels).
Picture24 StretchPicture(const Picture24& source, int width, int height);

class TPSF1D : public QMainWindow {
    Q_OBJECT
public:
    TPSF1D();
    PictureBox* Image3() const { return image3_; }
    // The 2D picture copied, scaled to fit, onto the thumbnail.
    void SetThumbnail(const Picture24& display);
    void BitBtn2Click();

private:
    PictureBox* image1_;
    PictureBox* image2_;
    PictureBox* image3_;
};

}  // namespace velmora
