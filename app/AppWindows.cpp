#include "app/AppWindows.h"

#include <QFont>

#include "app/Psfmain.h"
#include "app/Verform.h"
#include "panels/Maskdisplay.h"
#include "panels/ZernikeWindow.h"
#include "panels/Abberation.h"
#include "panels/MirrorWindow.h"
#include "ui/Dialogs.h"
#include "panels/Pup.h"
#include "viewers/AnalysisWindow.h"
#include "viewers/Psf1.h"
#include "viewers/Psf1dd.h"
#include "viewers/Psf3dd.h"
#include "viewers/StarTestWindow.h"
#include "viewers/CameraWindow.h"
#include "panels/SkyWindow.h"

namespace velmora {

VelmoraWindows::~VelmoraWindows() {
    // The main window goes first: nothing may reach the other windows through it afterwards.
    form1.reset();
}

std::unique_ptr<VelmoraWindows> CreateWindows() {
    auto windows = std::make_unique<VelmoraWindows>();
    windows->form1 = std::make_unique<TForm1>(*windows);
    windows->ver = std::make_unique<TVer>();
    windows->pupil = std::make_unique<TPupil>();
    TForm1* form1 = windows->form1.get();
    windows->psf = std::make_unique<TPSF>([form1] { return form1->ColourModeSelected(); });
    windows->abbr = std::make_unique<TAbbr>();
    windows->psf3d = std::make_unique<TPSF3D>(*windows->psf);
    windows->psf1d = std::make_unique<TPSF1D>(*windows->psf);
    windows->maskDis = std::make_unique<TMaskDis>([form1] { return form1->Snapshot(); });
    return windows;
}

VelmoraApplication::VelmoraApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool VelmoraApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(nullptr, e);
    } catch (...) {
        ShowException(nullptr, "Unknown exception");
    }
    return false;
}

void SetDesignFont(QApplication& app) {
    // IPAex Gothic's line is one em high (ascent 0.88, descent 0.12), as the design positions
    // assume: a caption placed 13 pixels above an edit box stays clear of it. Its Latin letters
    // are proportional, so "mm" and "nm" stay apart at 12 pixels. Fonts with taller lines (Noto
    // Sans CJK: 1.45 em) push the captions into the controls below them.
    QFont font(QString::fromLatin1(designFontFamily));
    font.setPixelSize(designFontPixels);
    app.setFont(font);
}

}  // namespace velmora
