// The program's eight windows, each one instance created at start-up in a fixed order and then
// only shown and hidden until the process ends; and the application object with its standard
// error box.
#pragma once

#include <QApplication>
#include <memory>

namespace velmora {

class TForm1;
class TVer;
class TPupil;
class TPSF;
class TAbbr;
class TPSF3D;
class TPSF1D;
class TMaskDis;
class TAnalysis;
class TZernike;
class TMirror;
class TStarTest;
class TSky;
class TCamera;

struct VelmoraWindows {
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TVer> ver;
    std::unique_ptr<TPupil> pupil;
    std::unique_ptr<TPSF> psf;
    std::unique_ptr<TAbbr> abbr;
    std::unique_ptr<TPSF3D> psf3d;
    std::unique_ptr<TPSF1D> psf1d;
    std::unique_ptr<TMaskDis> maskDis;
    // Made the first time the user asks for it; null until then.
    std::unique_ptr<TAnalysis> analysis;
    // The Zernike coefficient window, likewise; while it is null the wavefront is the panel's.
    std::unique_ptr<TZernike> zernike;
    // The mirror and field window, likewise; while it is null the mirror adds nothing.
    std::unique_ptr<TMirror> mirror;
    // The star test window, likewise.
    std::unique_ptr<TStarTest> starTest;
    // The sky and camera window and the camera image window, likewise; while the first is null
    // the sky is clear and there is no camera.
    std::unique_ptr<TSky> sky;
    std::unique_ptr<TCamera> camera;
    ~VelmoraWindows();
};

// Creates the windows in order; the main window first (its start-up sequence runs then).
std::unique_ptr<VelmoraWindows> CreateWindows();

// The application object: an exception escaping an event handler is shown in the standard
// error box and the message loop goes on.
class VelmoraApplication : public QApplication {
public:
    VelmoraApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The font the windows are designed for: small enough for the design positions
// (Debian fonts-ipaexfont-gothic).
inline constexpr const char* designFontFamily = "IPAexGothic";
inline constexpr int designFontPixels = 12;
void SetDesignFont(QApplication& app);

}  // namespace velmora
