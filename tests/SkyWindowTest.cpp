// The sky and camera window and the camera image window, driven as a user does: values typed
// in the 表示 menu's window, a calculation, the 結果 menu's camera image; the runs, the automatic
// mode and the set-up files follow the sky.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <map>

#include "WindowTestSupport.h"
#include "analysis/Analysis.h"
#include "imaging/Sky.h"
#include "viewers/AnalysisWindow.h"
#include "viewers/CameraWindow.h"
#include "viewers/Psf1.h"
#include "panels/SkyWindow.h"

namespace velmora {
namespace {

using testing::SamePicture;

class SkyWindow : public testing::WindowTest {
protected:
    TSky& Open() {
        Choose("SkyCamera1");
        EXPECT_NE(windows->sky, nullptr);
        EXPECT_TRUE(windows->sky->isVisible());
        return *windows->sky;
    }
    void TypeInWindow(const char* name, const QString& text) {
        QLineEdit* edit = windows->sky->findChild<QLineEdit*>(QString::fromLatin1(name));
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    QString Message() { return windows->sky->findChild<QLabel*>(QStringLiteral("MessageLabel"))->text(); }
    void Calculate() { QTest::mouseClick(Control<QPushButton>("Button1"), Qt::LeftButton); }
    // The factory set-up run in the core with this sky laid over it.
    PsfResult CoreRun(const SkyConditions& sky) {
        CalculationRequest request;
        request.params = Form().Snapshot();
        RealMatrixHolder grid;
        grid.Allocate(gridSize, gridSize);
        PsfResult result = testing::RunWithPupilModel(request, grid.get());
        ApplySky(result, sky, request.brightnessLevel);
        return result;
    }
};

// Typed values go to the runs: the picture is that of the core under the same sky, the result
// records it; a value out of range is refused in the window and the last one stays.
TEST_F(SkyWindow, TypedValuesGoToTheRunsAndBadOnesAreSaidAndKept) {
    Start();
    Open();
    TypeInWindow("SeeingEdit", QStringLiteral("1.5"));
    TypeInWindow("SeparationEdit", QStringLiteral("3"));
    TypeInWindow("PositionAngleEdit", QStringLiteral("45"));
    TypeInWindow("DeltaMagEdit", QStringLiteral("1"));
    EXPECT_TRUE(Message().isEmpty()) << Message().toStdString();
    TypeInWindow("SeeingEdit", QStringLiteral("-2"));
    EXPECT_TRUE(Message().contains(QStringLiteral("-2"))) << Message().toStdString();
    SkyConditions sky;
    sky.seeingArcsec = 1.5;
    sky.companion = {3, 45, 1};
    EXPECT_EQ(windows->sky->Inputs().sky, sky) << "the last good seeing stays";

    Choose("A1");
    Calculate();
    ASSERT_TRUE(Form().LastFullResult());
    EXPECT_EQ(SkyOf(*Form().LastFullResult()), sky);
    const PsfResult core = CoreRun(sky);
    EXPECT_TRUE(SamePicture(windows->psf->Image3(), core.images.image3));
    EXPECT_FALSE(Form().LastFullResult()->bands[0].scene.empty()) << "the pair is shown";
    // The analysis window adds the pair's dip and verdict to the single star's measurements.
    auto* table = windows->analysis->findChild<QTableWidget*>(QStringLiteral("MeasurementTable"));
    const BandMeasurements measured = Analyse(*core.full).bands[0];
    std::map<QString, QString> cells;
    for (int r = 0; r < table->rowCount(); ++r) cells[table->verticalHeaderItem(r)->text()] = table->item(r, 0)->text();
    EXPECT_EQ(cells[QStringLiteral("二重星の谷 (比)")], QString::number(measured.dipRatio, 'f', 3));
    EXPECT_EQ(cells[QStringLiteral("二重星 (スパロー)")], measured.resolved ? QStringLiteral("分離") : QStringLiteral("未分離"));
    EXPECT_TRUE(measured.resolved) << "3 arcseconds apart under 1.5 arcseconds of seeing";
}

// The camera window shows the image of the result on screen with its figures, follows a
// changed pixel without a run, and says what is missing.
TEST_F(SkyWindow, TheCameraImageFollowsThePixelAndTheResult) {
    Start();
    Choose("Camera1");
    ASSERT_NE(windows->camera, nullptr);
    auto figures = [&] { return windows->camera->FiguresText(); };
    EXPECT_TRUE(figures().contains(QStringLiteral("大気とカメラ"))) << "no pixel yet";
    Open();
    TypeInWindow("PixelEdit", QStringLiteral("4.5"));
    EXPECT_TRUE(figures().contains(QStringLiteral("計算"))) << "no result yet";
    const quint64 runs = Form().RunSerial();
    Calculate();
    // 4.5 um at 1000 mm: 0.928"; the factory star (FWHM some 5 um) is undersampled.
    EXPECT_TRUE(figures().contains(QStringLiteral("0.928"))) << figures().toStdString();
    EXPECT_TRUE(figures().contains(QStringLiteral("アンダーサンプリング"))) << figures().toStdString();
    const quint64 after = Form().RunSerial();
    EXPECT_GT(after, runs);
    TypeInWindow("PixelEdit", QStringLiteral("0.5"));
    EXPECT_TRUE(figures().contains(QStringLiteral("オーバーサンプリング"))) << figures().toStdString();
    EXPECT_EQ(Form().RunSerial(), after) << "a pixel changes no run";
    // Finer than half of the result's sample the pixel is said to be too fine, instead of an
    // image that would outgrow the memory.
    TypeInWindow("PixelEdit", QStringLiteral("0.01"));
    EXPECT_TRUE(figures().contains(QStringLiteral("細かく"))) << figures().toStdString();
    EXPECT_TRUE(figures().contains(QStringLiteral("0.01"))) << figures().toStdString();
}

TEST_F(SkyWindow, TheAutomaticModeRunsOnASkyChange) {
    Start();
    Open();
    Choose("L1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form().CalculationRunning(); }, 60000));
    const quint64 before = Form().RunSerial();
    TypeInWindow("PixelEdit", QStringLiteral("3"));
    EXPECT_EQ(Form().RunSerial(), before) << "the camera's pixel starts nothing";
    TypeInWindow("SeeingEdit", QStringLiteral("2"));
    EXPECT_GT(Form().RunSerial(), before) << "a run started";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form().CalculationRunning(); }, 60000));
    SkyConditions sky;
    sky.seeingArcsec = 2;
    EXPECT_TRUE(SamePicture(windows->psf->Image3(), CoreRun(sky).images.image3));
    Choose("L1");
}

TEST_F(SkyWindow, SetUpFilesCarryTheSkyAndTheCamera) {
    Start();
    Open();
    TypeInWindow("SeeingEdit", QStringLiteral("0.8"));
    TypeInWindow("SeparationEdit", QStringLiteral("2.5"));
    TypeInWindow("PixelEdit", QStringLiteral("3.76"));
    const SkyAndCamera expected = windows->sky->Inputs();
    dialogs.files.push_back({QString::fromStdString((Dir() / "sky.json").string()), 1});
    Choose("SetupSave1");
    const RunParameters saved = RunParametersFromDocument(testing::ReadAll(Dir() / "sky.json"));
    EXPECT_EQ(saved.seeingArcsec, 0.8);
    EXPECT_EQ(saved.companion.separationArcsec, 2.5);
    EXPECT_EQ(saved.cameraPixelUm, 3.76);

    Restart();
    dialogs.files.push_back({QString::fromStdString((Dir() / "sky.json").string()), 1});
    Choose("SetupLoad1");
    ASSERT_NE(windows->sky, nullptr);
    EXPECT_EQ(windows->sky->Inputs(), expected);
    EXPECT_TRUE(dialogs.messages.empty());
}

}  // namespace
}  // namespace velmora
