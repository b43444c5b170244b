// The camera image window: the star as the camera records it, each pixel a visible square with
// the pixel grid drawn, and the figures that say whether the pixel suits the star: the pixel's
// angle, the FWHM in pixels and the sampling verdict.
#pragma once

#include <QWidget>

#include <string>
#include <vector>

#include "imaging/Camera.h"

class QLabel;

namespace velmora {

class TCamera : public QWidget {
    Q_OBJECT
public:
    TCamera();

    // The images of a result, one per band with its name ("white", "red", ...).
    void ShowImages(const std::vector<CameraImage>& images, const std::vector<std::string>& bandNames);
    // No image: the sentence says why (no pixel given, no result yet).
    void ShowNone(const QString& why);

    // The figures as shown, one line per label.
    QString FiguresText() const;

    // The square of pixels the picture shows about the middle one, at most this many a side.
    static constexpr int shownPixels = 33;
    static constexpr int pictureSide = 330;

private:
    QString Verdict(CameraSampling verdict) const;
    // One label per line under the picture.
    void ShowLines(const QStringList& lines);

    QLabel* picture_;
    QWidget* figures_;
    std::vector<QLabel*> lines_;
};

}  // namespace velmora
