// The main window's star test: the window under "結果(&R)" and the tasks that compute its pair
// from the request of the result on screen, off the window's thread. A new result (in the
// automatic mode too) or a new defocus starts a new pair while the window is open; the pairs
// already under way are told to stop and are let go when they end.
#include "app/AppWindows.h"
#include "app/Psfmain.h"
#include "app/RunController.h"
#include "core/RunThreads.h"
#include "ui/UserText.h"
#include "viewers/StarTestWindow.h"

namespace velmora {

void TForm1::T1Click() {
    TStarTest& window = StarTestWindow();
    window.show();
    window.raise();
    RequestStarTest();
}

TStarTest& TForm1::StarTestWindow() {
    if (!windows_.starTest) {
        windows_.starTest = std::make_unique<TStarTest>();
        connect(windows_.starTest.get(), &TStarTest::DefocusChanged, this, [this] { RequestStarTest(); });
    }
    return *windows_.starTest;
}

void TForm1::RequestStarTest() {
    if (!windows_.starTest) return;
    runs_->StopStarTests();
    // The pair is the star of the result on screen: its RunSpec, its pupils.
    if (shownRun_.full.expired()) {
        windows_.starTest->ShowNoResult();
        return;
    }
    const int threads = RunThreadsFor(DefaultThreadCount(), shownRun_.runSpec.request.params).threads;
    runs_->StartStarTest(shownRun_.runSpec, threads, windows_.starTest->Defocus());
    windows_.starTest->ShowComputing();
}

void TForm1::StarTestEnded(StarTestEnd& end) {
    if (!windows_.starTest) return;
    if (end.result) {
        windows_.starTest->ShowResult(*end.result);
        ++starTestResultsShown_;
    } else if (end.error) {
        try {
            std::rethrow_exception(end.error);
        } catch (const std::exception& e) {
            windows_.starTest->ShowMessage(ErrorText(e));
        }
    }
}

}  // namespace velmora
