// The main window's side of the sky and the camera: their window under "表示", the sky in the
// runs and the set-ups, the camera image window under "結果".
#include <algorithm>

#include "analysis/Analysis.h"
#include "app/AppWindows.h"
#include "app/Psfmain.h"
#include "core/NumberText.h"
#include "imaging/Camera.h"
#include "viewers/CameraWindow.h"
#include "panels/SkyWindow.h"

namespace velmora {

void TForm1::SkyCamera1Click() {
    TSky& window = SkyWindow();
    window.show();
    window.raise();
}

TSky& TForm1::SkyWindow() {
    if (!windows_.sky) {
        windows_.sky = std::make_unique<TSky>();
        // The seeing or the companion change the result: in the automatic mode a run starts, as
        // after any change of the panel. The pixel changes only the camera image.
        connect(windows_.sky.get(), &TSky::SkyChanged, this, [this] { LiveChange(); });
        connect(windows_.sky.get(), &TSky::CameraChanged, this, [this] { ShowCameraImage(); });
    }
    return *windows_.sky;
}

SkyAndCamera TForm1::SkyInputs() const { return windows_.sky ? windows_.sky->Inputs() : SkyAndCamera{}; }

void TForm1::Camera1Click() {
    if (!windows_.camera) windows_.camera = std::make_unique<TCamera>();
    windows_.camera->show();
    windows_.camera->raise();
    ShowCameraImage();
}

void TForm1::ShowCameraImage() {
    if (!windows_.camera || !windows_.camera->isVisible()) return;
    const double pixel = SkyInputs().pixelUm;
    const std::shared_ptr<const FullResult>& full = LastFullResult();
    if (!(pixel > 0)) {
        windows_.camera->ShowNone(TCamera::tr("「大気とカメラ」で画素の大きさを入れてください。"));
        return;
    }
    if (!full || full->bands.empty()) {
        windows_.camera->ShowNone(TCamera::tr("計算すると、その結果のカメラ像を表示します。"));
        return;
    }
    // A pixel finer than half a sample would make an image far larger than the memory holds,
    // and show nothing the result does not: said instead.
    double smallest = 0;
    for (const BandResult& band : full->bands) smallest = std::max(smallest, SmallestCameraPixelUm(ScaleOf(*full, band).um));
    if (pixel < smallest) {
        windows_.camera->ShowNone(TCamera::tr("画素 %1 µm は、この結果の標本間隔の半分 %2 µm より細かく、カメラ像にできません。")
                                      .arg(QString::fromStdString(FormatGeneral(pixel)),
                                           QString::fromStdString(FormatFixed(smallest, 3))));
        return;
    }
    std::vector<std::string> names;
    for (const BandResult& band : full->bands) {
        if (band.name == "red") names.push_back(TCamera::tr("赤").toStdString());
        else if (band.name == "green") names.push_back(TCamera::tr("緑").toStdString());
        else if (band.name == "blue") names.push_back(TCamera::tr("青").toStdString());
        else names.push_back(band.name);
    }
    // The pitch and the FWHM of each band are all the camera takes of the measurements: found
    // here in a pass over the values, not by measuring the whole result on the window's thread.
    windows_.camera->ShowImages(CameraImages(*full, pixel), names);
}

}  // namespace velmora
