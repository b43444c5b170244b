// The mirror and field window, driven as a user does: opened from the 表示 menu, the check box
// clicked and the values typed; the main window's previews, its runs, the automatic mode and
// the set-up files follow the mirror's terms.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "WindowTestSupport.h"
#include "analysis/Analysis.h"
#include "panels/MirrorWindow.h"
#include "pupil/Previews.h"
#include "viewers/Psf1.h"

namespace velmora {

void PrintTo(const MirrorAndField& m, std::ostream* out) {
    *out << "{on " << m.on << ", K " << m.conic << ", field " << m.fieldArcmin << "', azimuth " << m.azimuthDeg << "}";
}

namespace {

using testing::SamePicture;

class MirrorWindow : public testing::WindowTest {
protected:
    TMirror& Open() {
        Choose("MirrorField1");
        EXPECT_NE(windows->mirror, nullptr);
        EXPECT_TRUE(windows->mirror->isVisible());
        return *windows->mirror;
    }
    template <typename T>
    T* InWindow(const char* name) {
        return windows->mirror->findChild<T*>(QString::fromLatin1(name));
    }
    // A click on the box itself: the control is as wide as the group, its caption shorter.
    void ClickCheck() {
        QCheckBox* box = InWindow<QCheckBox>("MirrorCheck");
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->fontMetrics().height() / 2 + 2, box->height() / 2));
    }
    void TypeInWindow(const char* name, const QString& text) {
        QLineEdit* edit = InWindow<QLineEdit>(name);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    QString Message() { return InWindow<QLabel>("MessageLabel")->text(); }
    QString Terms() { return InWindow<QLabel>("MirrorTermsLabel")->text(); }
    const Picture24& PupilFunction() { return Control<PictureBox>("Image4")->Picture(); }
    const Picture24& Fringes() { return Control<PictureBox>("Image5")->Picture(); }
    // The panel's coefficients with the mirror's terms at the previews' wavelength.
    Aberrations Expected(const MirrorAndField& m) {
        const SimulationParameters p = Form().Snapshot();
        Aberrations a = AberrationsInWaves(p);
        a.mirror = ZernikeWavefront(MirrorFringeWaves(m, p.aperture, p.focalLength, PreviewWavelengthNm(p)));
        return a;
    }
    void ExpectPreviewsOf(const Aberrations& a) {
        double pv = 0;
        EXPECT_TRUE(SamePicture(PupilFunction(), DrawPupilFunctionPreview(a, UpDown(32)->Position(), pv)));
        EXPECT_EQ(Control<QLabel>("Label40")->text().toStdString(), PeakToValleyText(pv));
        EXPECT_TRUE(SamePicture(Fringes(), DrawInterferencePreview(a)));
    }
    PsfResult CoreRun(const MirrorAndField& m) {
        CalculationRequest request;
        request.params = Form().Snapshot();
        request.mirror = m;
        RealMatrixHolder grid;
        grid.Allocate(gridSize, gridSize);
        return testing::RunWithPupilModel(request, grid.get());
    }
    void Calculate() { QTest::mouseClick(Control<QPushButton>("Button1"), Qt::LeftButton); }
    // The 200 mm f/5 of the textbook example, at 550 nm.
    void TextbookTelescope() {
        Type(1, QStringLiteral("200"));
        Type(2, QStringLiteral("1000"));
        Type(3, QStringLiteral("0"));
        // The band's boxes are read-only: their arrows, 10 nm a click, make it 550..570 in
        // steps of 100, 550 nm alone.
        for (int k = 0; k < 5; ++k) ClickArrow(33, false);
        for (int k = 0; k < 13; ++k) ClickArrow(34, false);
        ASSERT_EQ(Form().Snapshot().whiteBand, (WavelengthBand{550, 570, 100}));
    }
};

TEST_F(MirrorWindow, TheMenuOpensTheGroupOffAndNothingChanges) {
    Start();
    QAction* item = Form().findChild<QAction*>(QStringLiteral("MirrorField1"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), QStringLiteral("主鏡と視野(&F)..."));
    ClickArrow(28, true);  // the panel's coma, so that the previews show something
    const Picture24 pupilFunction = PupilFunction(), fringes = Fringes();
    Open();
    EXPECT_EQ(InWindow<QGroupBox>("MirrorGroup")->title(), QStringLiteral("主鏡と視野"));
    EXPECT_FALSE(InWindow<QCheckBox>("MirrorCheck")->isChecked());
    EXPECT_EQ(InWindow<QLineEdit>("ConicEdit")->text(), QStringLiteral("0"));
    EXPECT_EQ(InWindow<QLineEdit>("FieldAngleEdit")->text(), QStringLiteral("0"));
    EXPECT_EQ(InWindow<QLineEdit>("AzimuthEdit")->text(), QStringLiteral("0"));
    EXPECT_EQ(Terms(), QStringLiteral("切: 波面に何も加えません。"));
    EXPECT_TRUE(SamePicture(PupilFunction(), pupilFunction));
    EXPECT_TRUE(SamePicture(Fringes(), fringes));
    // Values typed while it is off add nothing either.
    TypeInWindow("ConicEdit", QStringLiteral("-1"));
    TypeInWindow("FieldAngleEdit", QStringLiteral("10"));
    EXPECT_TRUE(SamePicture(PupilFunction(), pupilFunction));
    Calculate();
    EXPECT_TRUE(SamePicture(windows->psf->Image3(), CoreRun(MirrorAndField{}).images.image3));
    // Opened again, the same window.
    TMirror* first = windows->mirror.get();
    Open();
    EXPECT_EQ(windows->mirror.get(), first);
}

TEST_F(MirrorWindow, TurnedOnItsTermsAddToThePreviewsAndTheRun) {
    Start();
    TextbookTelescope();
    Open();
    ClickCheck();
    TypeInWindow("ConicEdit", QStringLiteral("-1"));
    TypeInWindow("FieldAngleEdit", QStringLiteral("6"));
    const MirrorAndField m{true, -1, 6, 0};
    EXPECT_EQ(windows->mirror->Mirror(), m);
    EXPECT_TRUE(Message().isEmpty());
    ExpectPreviewsOf(Expected(m));
    // The textbook figures at the previews' wavelength.
    EXPECT_EQ(Terms(), QStringLiteral("Fringe 項 (550 nm, 波): Z5 0.0138, Z7 0.2644")) << Terms().toStdString();
    Calculate();
    const PsfResult expected = CoreRun(m);
    EXPECT_TRUE(SamePicture(windows->psf->Image3(), expected.images.image3));
    EXPECT_LT(StrehlOf(expected.full->bands[0]), 0.8);
    // The azimuth turns the terms; clicking the box off gives the panel's wavefront back.
    TypeInWindow("AzimuthEdit", QStringLiteral("90"));
    EXPECT_EQ(Terms(), QStringLiteral("Fringe 項 (550 nm, 波): Z5 -0.0138, Z8 0.2644")) << Terms().toStdString();
    ExpectPreviewsOf(Expected({true, -1, 6, 90}));
    ClickCheck();
    EXPECT_FALSE(windows->mirror->Mirror().on);
    ExpectPreviewsOf(AberrationsInWaves(Form().Snapshot()));
}

TEST_F(MirrorWindow, ThePreviewsFollowTheTelescopeAndTheBand) {
    Start();
    Open();
    ClickCheck();  // a sphere on axis: spherical aberration only
    const MirrorAndField sphere{true, 0, 0, 0};
    ExpectPreviewsOf(Expected(sphere));
    ClickArrow(1, false);  // a smaller aperture
    ExpectPreviewsOf(Expected(sphere));
    Type(2, QStringLiteral("800"));  // a faster mirror
    ExpectPreviewsOf(Expected(sphere));
    EXPECT_TRUE(Terms().contains(QStringLiteral("(650 nm"))) << "the factory band 600, 700: " << Terms().toStdString();
    ClickArrow(34, false);  // the white band 600..690 in steps of 100: 600 nm alone
    ExpectPreviewsOf(Expected(sphere));
    EXPECT_TRUE(Terms().contains(QStringLiteral("(600 nm"))) << Terms().toStdString();
    // In colour the green band's: the factory 500, 600.
    QTest::mouseClick(Control<QRadioButton>("RadioButton2"), Qt::LeftButton);
    ASSERT_EQ(Form().Snapshot().colorMode, ColorMode::Colour);
    ExpectPreviewsOf(Expected(sphere));
    EXPECT_TRUE(Terms().contains(QStringLiteral("(550 nm"))) << Terms().toStdString();
}

TEST_F(MirrorWindow, TextThatIsNoValueKeepsTheValueAndSaysWhy) {
    Start();
    Open();
    ClickCheck();
    TypeInWindow("ConicEdit", QStringLiteral("-0.5"));
    const Picture24 shown = PupilFunction();
    // Every keystroke is a change, as in the panel's boxes: "5000" is taken up to "500".
    const struct {
        const char* edit;
        const char* typed;
        MirrorAndField kept;
    } cases[] = {
        {"ConicEdit", "abc", {true, -0.5, 0, 0}},     {"ConicEdit", "5000", {true, 500, 0, 0}},
        {"FieldAngleEdit", "-1", {true, -0.5, 0, 0}}, {"FieldAngleEdit", "61", {true, -0.5, 6, 0}},
        {"AzimuthEdit", "nan", {true, -0.5, 0, 0}},   {"AzimuthEdit", "400", {true, -0.5, 0, 40}},
    };
    for (const auto& c : cases) {
        TypeInWindow(c.edit, QString::fromLatin1(c.typed));
        EXPECT_TRUE(Message().contains(QString::fromLatin1(c.typed))) << c.typed << ": " << Message().toStdString();
        EXPECT_EQ(windows->mirror->Mirror(), c.kept) << c.typed;
        if (c.kept == MirrorAndField{true, -0.5, 0, 0}) {
            EXPECT_TRUE(SamePicture(PupilFunction(), shown)) << c.typed;
        }
        TypeInWindow(c.edit, QStringLiteral("0"));
        TypeInWindow("ConicEdit", QStringLiteral("-0.5"));
    }
    // The message names the range and the value kept.
    TypeInWindow("FieldAngleEdit", QStringLiteral("-"));
    EXPECT_EQ(Message(), QStringLiteral("視野角「-」は使えません。0 から 60 までの数値を入れてください。前の値 0 のままです。"));
    TypeInWindow("FieldAngleEdit", QStringLiteral("0"));
    EXPECT_EQ(Message(), QString());
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MirrorWindow, TheAutomaticModeRunsOnAChange) {
    Start();
    Open();
    Choose("L1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form().CalculationRunning(); }, 60000));
    const quint64 before = Form().RunSerial();
    TypeInWindow("ConicEdit", QStringLiteral("-1"));
    EXPECT_EQ(Form().RunSerial(), before) << "values typed while off change nothing";
    TypeInWindow("ConicEdit", QStringLiteral("0"));
    ClickCheck();
    EXPECT_GT(Form().RunSerial(), before) << "a run started";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form().CalculationRunning(); }, 60000));
    EXPECT_TRUE(SamePicture(windows->psf->Image3(), CoreRun({true, 0, 0, 0}).images.image3));
    Choose("L1");
}

TEST_F(MirrorWindow, SetUpFilesCarryTheMirror) {
    Start();
    Open();
    ClickCheck();
    TypeInWindow("ConicEdit", QStringLiteral("-1.5"));
    TypeInWindow("FieldAngleEdit", QStringLiteral("3.5"));
    TypeInWindow("AzimuthEdit", QStringLiteral("-30"));
    const MirrorAndField m{true, -1.5, 3.5, -30};
    dialogs.files.push_back({QString::fromStdString((Dir() / "with.json").string()), 1});
    Choose("SetupSave1");
    EXPECT_EQ(RunParametersFromDocument(testing::ReadAll(Dir() / "with.json")).mirror, m);
    ClickCheck();
    dialogs.files.push_back({QString::fromStdString((Dir() / "without.json").string()), 1});
    Choose("SetupSave1");
    EXPECT_EQ(testing::ReadAll(Dir() / "without.json").find("mirror"), std::string::npos) << "off, not written";

    dialogs.files.push_back({QString::fromStdString((Dir() / "with.json").string()), 1});
    Choose("SetupLoad1");
    EXPECT_EQ(windows->mirror->Mirror(), m);
    EXPECT_TRUE(InWindow<QCheckBox>("MirrorCheck")->isChecked());
    EXPECT_EQ(InWindow<QLineEdit>("FieldAngleEdit")->text(), QStringLiteral("3.5"));
    ExpectPreviewsOf(Expected(m));
    dialogs.files.push_back({QString::fromStdString((Dir() / "without.json").string()), 1});
    Choose("SetupLoad1");
    EXPECT_FALSE(windows->mirror->Mirror().on);
    EXPECT_EQ(InWindow<QLineEdit>("ConicEdit")->text(), QStringLiteral("-1.5")) << "the values stay in the window";
    EXPECT_TRUE(dialogs.messages.empty());

    // A set-up with a mirror opens the window's input even before the window was ever shown.
    Restart();
    dialogs.files.push_back({QString::fromStdString((Dir() / "with.json").string()), 1});
    Choose("SetupLoad1");
    ASSERT_NE(windows->mirror, nullptr);
    EXPECT_EQ(windows->mirror->Mirror(), m);
    EXPECT_FALSE(windows->mirror->isVisible());
}

}  // namespace
}  // namespace velmora
