// The main window driven as a user drives it: controls found by name, spin arrows clicked,
// text typed, dialogs and message boxes answered through the scripted dialogs.
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <QTableWidget>

#include "SpecialFiles.h"
#include "WindowTestSupport.h"
#include "app/Verform.h"
#include "panels/Abberation.h"
#include "core/PanelFields.h"
#include "core/PsfCalculation.h"
#include "pupil/Previews.h"
#include "viewers/Psf1.h"
#include "viewers/Psf3dd.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;

std::string DataFile(int aperture, int secondary, int color, const std::string& spiders, int filters) {
    return "Velmora Data File\r\nAperture " + std::to_string(aperture) + "\r\nFocal_length 2000\r\nSecondary " +
           std::to_string(secondary) +
           "\r\nBarWidth 3\r\nAngle1 10\r\nAngle2 100\r\nAngle3 190\r\nAngle4 280\r\nShiftX 4\r\nShiftY 5\r\n"
           "PupilDiv 2048\r\nMagnification 1200\r\nColor " +
           std::to_string(color) +
           "\r\nWhite Wavelength 500 650 50\r\nRed Wavelength 610 690 10\r\nGreen Wavelength 510 590 20\r\n"
           "Blue Wavelength 410 490 40\r\nCoefficient 0.5\r\nSpiders " +
           spiders + "\r\nFilters " + std::to_string(filters) + "\r\n";
}

class MainWindow : public WindowTest {
protected:
    const Picture24& Aperture() { return Control<PictureBox>("Image1")->Picture(); }
    const Picture24& Density() { return Control<PictureBox>("Image2")->Picture(); }
    const Picture24& Spectrum() { return Control<PictureBox>("Image3")->Picture(); }
    QString PeakToValley() { return Control<QLabel>("Label40")->text(); }
    bool Checked(const char* name) { return Control<QAbstractButton>(name)->isChecked(); }
    void Click(const char* name) { QTest::mouseClick(Control<QAbstractButton>(name), Qt::LeftButton); }
    void Set(const char* edit, const std::string& text) {
        Form().ApplyAssignment({ParameterAssignment::Kind::Text, edit, text, false});
    }
    int PanelWidth() { return Control<QWidget>("Panel1")->width(); }
    std::vector<ScriptedDialogs::Message> Take() {
        auto m = dialogs.messages;
        dialogs.messages.clear();
        return m;
    }
};

TEST_F(MainWindow, FirstRunWritesTheFactoryFileShowsDefaultsAndClosingWritesTheLog) {
    Start();
    EXPECT_EQ(ReadAll("default.vl1"), factoryFile);
    EXPECT_FALSE(fs::exists("Velmora1.log"));
    EXPECT_EQ(EditText(1), "160");
    EXPECT_EQ(EditText(2), "1000");
    EXPECT_EQ(EditText(19), "1.0");
    EXPECT_EQ(EditText(24), "0.0");
    EXPECT_EQ(EditText(25), "0.00");
    EXPECT_EQ(EditText(32), "200");
    EXPECT_EQ(EditText(16), "1024");
    EXPECT_TRUE(Checked("RadioButton1"));
    EXPECT_TRUE(Checked("RadioButton7"));
    EXPECT_FALSE(Checked("CheckBox1"));
    EXPECT_EQ(UpDown(14)->Max(), 80);
    EXPECT_EQ(Form().FocalRatio(), 6.25);
    EXPECT_EQ(PeakToValley().toStdString(), "0.000\u03bb");
    EXPECT_TRUE(Take().empty());

    // Compact after start-up, placed where the full layout would have been centred.
    EXPECT_FALSE(Form().FullLayout());
    EXPECT_EQ(PanelWidth(), 490);
    const QPoint compactPos = Form().pos();
    Choose("W1");
    const QSize screen = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(compactPos.x(), screen.width() / 2 - Form().width() / 2);
    EXPECT_EQ(compactPos.y(), screen.height() / 2 - Form().height() / 2);

    EXPECT_TRUE(Form().close());
    EXPECT_EQ(ReadAll("Velmora1.log"), factoryFile);
}

TEST_F(MainWindow, SecondRunRestoresThePanelButNotTheAberrations) {
    Start();
    ClickArrow(1, true);
    Click("CheckBox2");
    Click("RadioButton2");
    Click("RadioButton4");
    ClickArrow(19, false);
    ClickArrow(24, true);
    Restart();
    EXPECT_EQ(EditText(1), "161");
    EXPECT_EQ(UpDown(1)->Position(), 161);
    EXPECT_EQ(UpDown(14)->Max(), 80);
    EXPECT_TRUE(Checked("CheckBox2"));
    EXPECT_TRUE(Checked("RadioButton2"));
    EXPECT_TRUE(Checked("RadioButton4"));
    EXPECT_EQ(EditText(19), "0.98");
    EXPECT_EQ(EditText(24), "0.0");
    EXPECT_EQ(UpDown(24)->Position(), 0);
    // The vane of the restored check box is drawn at start-up (90 degrees: pointing down).
    EXPECT_EQ(Aperture().Red(80, 120), 0);
}

TEST_F(MainWindow, ResetReadsDefaultVl2WhenPresent) {
    Start();
    ClickArrow(3, true);
    const Picture24 before = Aperture();
    Choose("N6");
    EXPECT_EQ(EditText(3), "51");
    EXPECT_TRUE(SamePicture(Aperture(), before));

    WriteAll("default.vl2", DataFile(200, 100, 3, "1 0 0 1 ", 5));
    Choose("N6");
    EXPECT_EQ(EditText(1), "200");
    EXPECT_EQ(EditText(3), "100");
    EXPECT_EQ(EditText(33), "500");
    EXPECT_EQ(EditText(35), "50");
    EXPECT_EQ(EditText(19), "0.5");
    EXPECT_EQ(EditText(16), "2048");
    EXPECT_EQ(UpDown(16)->Position(), 10);  // the exponent spin does not follow
    EXPECT_TRUE(Checked("RadioButton2"));
    EXPECT_TRUE(Checked("RadioButton5"));
    EXPECT_TRUE(Checked("CheckBox1"));
    EXPECT_TRUE(Checked("CheckBox4"));
    EXPECT_EQ(UpDown(1)->Position(), 200);
    EXPECT_EQ(UpDown(14)->Max(), 100);
    // The obstruction is now 160 x 100/200 / 2 = 40 pixels in radius.
    EXPECT_EQ(Aperture().Red(80 + 38, 80 + 5), 0);
    EXPECT_EQ(Aperture().Red(80 + 5, 80 + 42), 255);
    EXPECT_TRUE(Take().empty());
}

TEST_F(MainWindow, UnwritableFixedFilesNeitherStopTheStartNorTheClose) {
    fs::create_directory("default.vl1");  // a directory cannot be written as a file
    fs::create_directory("Velmora1.log");
    Start();
    EXPECT_EQ(EditText(1), "160");
    Form().show();
    EXPECT_TRUE(Form().close());
    const auto messages = Take();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, "warning");
    EXPECT_TRUE(fs::is_directory("Velmora1.log"));
}

TEST_F(MainWindow, MalformedLogKeepsWhatWasReadBeforeTheBadValue) {
    WriteAll("Velmora1.log", "Velmora Data File\r\nAperture 200\r\nFocal_length abc\r\nSecondary 10\r\n");
    Start();
    EXPECT_EQ(EditText(1), "200");
    EXPECT_EQ(EditText(2), "1000");
    EXPECT_EQ(EditText(3), "50");
    EXPECT_TRUE(Take().empty());
    for (const std::string& garbage : {std::string(), std::string(5000, 'x'), std::string("\0\0\xff", 3)}) {
        WriteAll("default.vl2", garbage);
        Choose("N6");
        EXPECT_EQ(EditText(1), "200");
    }
}

TEST_F(MainWindow, MechanicalSpinsAndTypedValuesRedraw) {
    Start();
    // A typed secondary of 100 mm on 160: the preview shows the telescope a run computes, as
    // soon as the text converts (radius 50 of 80 preview pixels).
    Type(3, QStringLiteral("100"));
    EXPECT_EQ(UpDown(3)->Position(), 100);
    EXPECT_EQ(Aperture().Red(80 + 40, 80), 0);
    EXPECT_EQ(Aperture().Red(80 + 60, 80), 255);

    // While another box holds a text that does not convert, typing leaves the picture alone
    // and adds no box beyond that text's own.
    Type(2, QStringLiteral("x"));
    ASSERT_EQ(Take().size(), 1u);
    const Picture24 kept = Aperture();
    Type(3, QStringLiteral("20"));
    EXPECT_TRUE(SamePicture(Aperture(), kept));
    EXPECT_TRUE(Take().empty());
    Type(2, QStringLiteral("1000"));
    EXPECT_EQ(Aperture().Red(80 + 40, 80), 255) << "secondary 20 of 160: radius 10";
    Type(3, QStringLiteral("100"));

    ClickArrow(1, true);
    EXPECT_EQ(EditText(1), "161");
    EXPECT_EQ(UpDown(14)->Max(), 80);
    EXPECT_EQ(UpDown(15)->Max(), 80);
    EXPECT_EQ(Aperture().Red(80 + 40, 80), 0);  // secondary 100 of 161 mm: radius 49.7

    Type(1, QStringLiteral("301"));
    EXPECT_EQ(UpDown(1)->Position(), 300);
    EXPECT_EQ(UpDown(14)->Max(), 150);
    ClickArrow(1, true);
    EXPECT_EQ(EditText(1), "300");

    Type(1, QStringLiteral("0"));
    EXPECT_EQ(UpDown(14)->Max(), 0);
    ClickArrow(2, true);  // a redraw at aperture 0: defined, black
    EXPECT_TRUE(SamePicture(Aperture(), Picture24(160, 160)));
    EXPECT_TRUE(Take().empty());
}

TEST_F(MainWindow, ATextThatIsNotANumberShowsTheConversionErrorAndChangesNothing) {
    Start();
    Type(1, QStringLiteral("abc"));
    const auto messages = Take();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().kind, "error");
    EXPECT_EQ(messages.back().text.toStdString(), "'abc' is not a valid integer value");
    EXPECT_EQ(EditText(1), "abc");
    EXPECT_EQ(UpDown(1)->Position(), 160);

    const Picture24 before = Aperture();
    ClickArrow(2, true);  // the redraw reads the aperture and stops
    EXPECT_EQ(Take().size(), 1u);
    EXPECT_TRUE(SamePicture(Aperture(), before));

    Type(19, QStringLiteral("x"));
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.messages.back().text.toStdString(), "'x' is not a valid floating point value");
    EXPECT_EQ(UpDown(19)->Position(), 100);
}

TEST_F(MainWindow, ClosingWithABadTextKeepsTheWindowAndTheOldLog) {
    WriteAll("Velmora1.log", factoryFile);
    Start();
    Form().show();
    Type(2, QStringLiteral("x"));
    Take();
    EXPECT_FALSE(Form().close());
    EXPECT_TRUE(Form().isVisible());
    EXPECT_EQ(Take().back().kind, "error");
    EXPECT_EQ(ReadAll("Velmora1.log"), factoryFile);
    Type(2, QStringLiteral("1500"));
    EXPECT_TRUE(Form().close());
    EXPECT_NE(ReadAll("Velmora1.log").find("Focal_length 1500\r\n"), std::string::npos);
}

TEST_F(MainWindow, BandOrderingSelectsTheModeAndKeepsMinBelowMax) {
    Start();
    Click("RadioButton2");
    Set("Edit33", "690");
    ClickArrow(33, true);
    EXPECT_EQ(EditText(33), "680");
    EXPECT_EQ(UpDown(33)->Position(), 680);
    EXPECT_TRUE(Checked("RadioButton1"));
    // Monochrome outline now from column 76 to 80.
    EXPECT_EQ(Spectrum().Red(78, 10), 255);
    EXPECT_EQ(Spectrum().Green(70, 10), DrawSpectrumPreview(SimulationParameters{}).Green(70, 60));

    Set("Edit5", "610");
    ClickArrow(5, false);
    EXPECT_EQ(EditText(5), "620");
    EXPECT_EQ(UpDown(5)->Position(), 620);
    EXPECT_TRUE(Checked("RadioButton2"));

    ClickArrow(23, true);  // a step spin selects the mode too, and copies its position
    EXPECT_EQ(EditText(23), "105");
    ClickArrow(35, false);
    EXPECT_EQ(EditText(35), "95");
    EXPECT_TRUE(Checked("RadioButton1"));
}

TEST_F(MainWindow, CoefficientSpinShowsHashDot00AndTypingSetsThePosition) {
    Start();
    ClickArrow(19, true);
    EXPECT_EQ(EditText(19), "1.02");
    EXPECT_EQ(UpDown(19)->Position(), 102);
    Set("Edit19", "0.02");
    EXPECT_EQ(UpDown(19)->Position(), 2);
    ClickArrow(19, false);
    EXPECT_EQ(EditText(19), ".00");
    EXPECT_EQ(UpDown(19)->Position(), 0);
    Type(19, QStringLiteral("0.29"));
    EXPECT_EQ(UpDown(19)->Position(), 29);
    Type(19, QStringLiteral("0.295"));
    EXPECT_EQ(UpDown(19)->Position(), 29);
    // The density preview follows the typed coefficient (Gaussian, c = 0.295).
    Click("RadioButton3");
    EXPECT_EQ(Density().Green(80, 80), 255);
    EXPECT_LT(Density().Green(80 + 79, 80), 255);
}

TEST_F(MainWindow, AberrationSpinsZeroButtonAndPeakToValley) {
    Start();
    ClickArrow(25, true);
    ClickArrow(25, true);
    EXPECT_EQ(EditText(25), "0.02");
    ClickArrow(25, false);
    ClickArrow(25, false);
    ClickArrow(25, false);
    EXPECT_EQ(EditText(25), "-0.01");
    ClickArrow(32, true);
    EXPECT_EQ(EditText(32), "210");
    for (int k = 0; k < 10; ++k) ClickArrow(24, true);
    EXPECT_EQ(EditText(24), "1");
    // Focus 1 wave with spherical -0.01: W runs from -1.01 at the centre to 0.99 at the rim, so
    // the spherical term moves both ends alike and the P-V value stays 2 waves.
    EXPECT_EQ(PeakToValley().toStdString(), "2.000\u03bb");
    Click("Button5");
    EXPECT_EQ(EditText(24), "0.0");
    EXPECT_EQ(EditText(25), "0.00");
    EXPECT_EQ(EditText(31), "0.00");
    EXPECT_EQ(EditText(32), "210");
    EXPECT_EQ(UpDown(32)->Position(), 210);
    EXPECT_EQ(PeakToValley().toStdString(), "0.000\u03bb");
    for (int k = 0; k < 10; ++k) ClickArrow(24, true);
    EXPECT_EQ(PeakToValley().toStdString(), "2.000\u03bb");
    Click("Button5");
    for (int k = 0; k < 10; ++k) ClickArrow(25, true);
    EXPECT_EQ(PeakToValley().toStdString(), "0.150\u03bb");
    EXPECT_EQ(EditText(25), "0.1");
}

// Wiring: each preview shows what its renderer draws from the panel's values (the pictures
// themselves are the renderer tests' business).
TEST_F(MainWindow, PreviewsShowWhatTheirRenderersDrawFromThePanel) {
    Start();
    ClickArrow(3, true);
    Click("CheckBox2");
    ClickArrow(6, true);
    EXPECT_TRUE(SamePicture(Aperture(), DrawAperturePreview(Form().Snapshot())));

    ClickArrow(28, true);
    ClickArrow(24, true);
    ClickArrow(32, true);
    const Aberrations a = AberrationsInWaves(Form().Snapshot());
    ASSERT_NE(a.comaX, 0);
    double pv = 0;
    EXPECT_TRUE(SamePicture(Control<PictureBox>("Image4")->Picture(), DrawPupilFunctionPreview(a, 210, pv)));
    EXPECT_EQ(PeakToValley().toStdString(), PeakToValleyText(pv));
    EXPECT_TRUE(SamePicture(Control<PictureBox>("Image5")->Picture(), DrawInterferencePreview(a)));

    Click("RadioButton2");
    EXPECT_TRUE(SamePicture(Spectrum(), DrawSpectrumPreview(Form().Snapshot())));
    EXPECT_TRUE(Take().empty());
}

TEST_F(MainWindow, UserMaskAndFilterChoicesAskForTheFileAndStaySelected) {
    Start();
    Click("RadioButton6");
    Click("RadioButton6");
    auto messages = Take();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, QStringLiteral("ユーザマスクを読み込んでください"));
    EXPECT_TRUE(Checked("RadioButton6"));
    Click("RadioButton8");
    messages = Take();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, "information");
    EXPECT_EQ(messages[0].text, QStringLiteral("ユーザフィルタ分布を読み込んでください"));
    EXPECT_TRUE(Checked("RadioButton8"));
    EXPECT_FALSE(Checked("RadioButton6"));
}

TEST_F(MainWindow, VaneCheckBoxesRedrawTheAperture) {
    Start();
    EXPECT_EQ(Aperture().Red(120, 80), 255);
    Click("CheckBox1");
    EXPECT_EQ(Aperture().Red(120, 80), 0);
    Click("CheckBox1");
    EXPECT_EQ(Aperture().Red(120, 80), 255);
}

TEST_F(MainWindow, SaveGoesToVldAndAsksBeforeOverwriting) {
    Start();
    ClickArrow(1, false);
    dialogs.files.push_back(FileChoice{QString::fromStdString((Dir() / "a.vl2").string()), 1});
    Choose("N2");
    ASSERT_EQ(dialogs.filters.size(), 1u);
    EXPECT_EQ(dialogs.filters[0], QStringLiteral("データファイル(*.vl2)|*.vl2"));
    EXPECT_FALSE(fs::exists(Dir() / "a.vl2"));
    EXPECT_NE(ReadAll(Dir() / "a.vld").find("Aperture 159\r\n"), std::string::npos);
    EXPECT_TRUE(Take().empty());

    // An existing x.vl2 becomes x.vld first; No keeps the old data there.
    WriteAll(Dir() / "x.vl2", "OLD");
    dialogs.files.push_back(FileChoice{QString::fromStdString((Dir() / "x.vl2").string()), 1});
    dialogs.answers.push_back(false);
    Choose("N2");
    auto messages = Take();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, "confirm");
    EXPECT_EQ(messages[0].text, QStringLiteral("x.vld が既に存在しています。　上書きしますか？"));
    EXPECT_FALSE(fs::exists(Dir() / "x.vl2"));
    EXPECT_EQ(ReadAll(Dir() / "x.vld"), "OLD");

    dialogs.files.push_back(FileChoice{QString::fromStdString((Dir() / "x").string()), 1});
    dialogs.answers.push_back(true);
    Choose("N2");
    EXPECT_EQ(Take().size(), 1u);
    EXPECT_NE(ReadAll(Dir() / "x.vld").find("Aperture 159\r\n"), std::string::npos);

    Choose("N2");  // cancelled
    EXPECT_TRUE(Take().empty());
}

TEST_F(MainWindow, LoadAppliesEveryValueThroughTheHandlers) {
    Start();
    WriteAll(Dir() / "set.vl2", DataFile(250, 60, 3, "0 1 1 0 ", 8));
    dialogs.files.push_back(FileChoice{QString::fromStdString((Dir() / "set.vl2").string()), 1});
    Choose("N1");
    EXPECT_TRUE(Take().empty());
    EXPECT_EQ(EditText(1), "250");
    EXPECT_EQ(UpDown(1)->Position(), 250);
    EXPECT_EQ(UpDown(14)->Max(), 125);
    EXPECT_EQ(EditText(2), "2000");
    EXPECT_EQ(EditText(14), "4");
    EXPECT_EQ(EditText(17), "1200");
    EXPECT_EQ(UpDown(17)->Position(), 1200);
    EXPECT_EQ(EditText(20), "610");
    EXPECT_EQ(EditText(23), "40");
    EXPECT_EQ(UpDown(23)->Position(), 40);
    EXPECT_TRUE(Checked("RadioButton2"));
    EXPECT_TRUE(Checked("RadioButton7"));  // a saved user filter comes back as none
    EXPECT_TRUE(Checked("CheckBox2"));
    EXPECT_TRUE(Checked("CheckBox3"));
    EXPECT_EQ(UpDown(19)->Position(), 50);
    // The colour outlines follow the loaded bands: red 610..690 is columns 62..78.
    EXPECT_EQ(Spectrum().Red(70, 10), 255);
    EXPECT_EQ(Spectrum().Red(70, 20) == 255 && Spectrum().Green(70, 20) == 255, false);
}

TEST_F(MainWindow, ATruncatedLoadSaysSoAndKeepsWhatWasRead) {
    Start();
    WriteAll(Dir() / "cut.vl2", "Velmora Data File\r\nAperture 222\r\nFocal_length 1800\r\nSecondary");
    dialogs.files.push_back(FileChoice{QString::fromStdString((Dir() / "cut.vl2").string()), 1});
    Choose("N1");
    const auto messages = Take();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, "warning");
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("cut.vl2")));
    EXPECT_EQ(EditText(1), "222");
    EXPECT_EQ(EditText(2), "1800");
    EXPECT_EQ(EditText(3), "50");

    // A name that does not exist reads nothing and says nothing.
    dialogs.files.push_back(FileChoice{QString::fromStdString((Dir() / "none.vl2").string()), 1});
    Choose("N1");
    EXPECT_TRUE(Take().empty());
}

PsfResultImages CoreRun(const CalculationRequest& request) {
    RealMatrixHolder grid;
    EXPECT_EQ(grid.Allocate(gridSize, gridSize), 0);
    return RunWithPupilModel(request, grid.get()).images;
}

TEST_F(MainWindow, CalculationFromThePanelFillsTheViewersAsTheCoreDoes) {
    Start();
    ClickArrow(28, true);  // a little coma, so that the picture is not symmetric
    Click("CheckBox1");
    Click("Button1");
    EXPECT_TRUE(Take().empty());
    CalculationRequest request;
    request.params = Form().Snapshot();
    ASSERT_EQ(request.params.comaX, 1);
    ASSERT_TRUE(request.params.spider1);
    const PsfResultImages expected = CoreRun(request);
    EXPECT_TRUE(SamePicture(windows->psf->Image1()->Picture(), expected.display));
    EXPECT_TRUE(SamePicture(windows->psf->Image3(), expected.image3));
    EXPECT_TRUE(SamePicture(windows->psf3d->Image2(), expected.pupil));
    EXPECT_EQ(windows->psf->Image3().Red(128, 128), expected.image3.Red(128, 128));
    EXPECT_EQ(Control<QProgressBar>("ProgressBar1")->value(), 0);
    EXPECT_EQ(Form().WorkGrid()[512][512], 0);  // the last pupil: obstructed centre, open ring
    EXPECT_EQ(Form().WorkGrid()[512][512 + 40], 1);
}

TEST_F(MainWindow, EnterPressesTheCalculateButtonFromAnEditBox) {
    Start();
    Form().show();
    EXPECT_EQ(windows->psf->Image3().Red(128, 128), 0);
    QTest::keyClick(Edit(2), Qt::Key_Return);
    EXPECT_EQ(windows->psf->Image3().Red(128, 128), 255);  // the normalised peak
    EXPECT_FALSE(windows->psf->isVisible());               // a run shows no window by itself
}

TEST_F(MainWindow, AnExceptionEscapingAnEventIsShownAndTheProgramGoesOn) {
    struct Throwing : QObject {
        bool event(QEvent*) override { throw std::runtime_error("broken handler"); }
    } object;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&object, &event);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, "error");
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("broken handler"));
}

TEST_F(MainWindow, CalculationUsesTheWavelengthDependenceTableWhenChecked) {
    Start();
    Click("Button4");
    auto* grid = windows->abbr->findChild<QTableWidget*>(QStringLiteral("StringGrid1"));
    auto* input = windows->abbr->findChild<QLineEdit*>(QStringLiteral("Edit1"));
    ASSERT_TRUE(grid && input);
    input->setText(QStringLiteral("0.5"));
    windows->abbr->StringGrid1SelectCell(2, 1);  // focus of the second wavelength
    Click("CheckBox5");
    Click("Button1");
    CalculationRequest request;
    request.params = Form().Snapshot();
    request.dependenceRows = {{0, 0}, {0, 0.5}};
    EXPECT_TRUE(SamePicture(windows->psf->Image3(), CoreRun(request).image3));
    request.dependenceRows = {{0, 0}, {0, 0}};
    EXPECT_FALSE(SamePicture(windows->psf->Image3(), CoreRun(request).image3));
}

TEST_F(MainWindow, ARefusedCalculationShowsWhyAndKeepsTheImages) {
    Start();
    Click("Button1");
    const Picture24 display = windows->psf->Image1()->Picture();
    const Picture24 intensity = windows->psf->Image3();
    // Aperture 0, a step of 0 (from a file), and a focal ratio too fast for the grid.
    const struct {
        const char* edit;
        const char* bad;
        const char* good;
    } cases[] = {{"Edit1", "0", "160"}, {"Edit35", "0", "100"}, {"Edit2", "1", "1000"}};
    ClickArrow(24, true);  // any result that got through would differ
    for (const auto& c : cases) {
        Set(c.edit, c.bad);
        Take();
        Click("Button1");
        const auto messages = Take();
        ASSERT_EQ(messages.size(), 1u) << c.edit;
        EXPECT_EQ(messages[0].kind, "warning");
        EXPECT_TRUE(SamePicture(windows->psf->Image1()->Picture(), display)) << c.edit;
        EXPECT_TRUE(SamePicture(windows->psf->Image3(), intensity)) << c.edit;
        EXPECT_EQ(Control<QProgressBar>("ProgressBar1")->value(), 0);
        Set(c.edit, c.good);
    }
}

TEST_F(MainWindow, AWavelengthDependenceTableThatDoesNotCoverTheBandIsRefused) {
    Start();
    Click("CheckBox5");  // the table was never built
    Click("Button1");
    auto messages = Take();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, "warning");
    EXPECT_EQ(windows->psf->Image3().Red(128, 128), 0);

    Click("Button4");
    windows->abbr->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("abc"));
    windows->abbr->StringGrid1SelectCell(1, 1);
    Click("Button1");
    messages = Take();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(windows->psf->Image3().Red(128, 128), 0);

    Click("CheckBox5");  // off again: the spins give the coefficients
    Click("Button1");
    EXPECT_TRUE(Take().empty());
    EXPECT_EQ(windows->psf->Image3().Red(128, 128), 255);
}

TEST_F(MainWindow, AWavelengthDependenceValueBeyondThePanelsRangeIsRefusedWithItsRowAndColumn) {
    Start();
    Click("Button4");  // two rows, 600 and 700 nm
    Click("CheckBox5");
    auto* input = windows->abbr->findChild<QLineEdit*>(QStringLiteral("Edit1"));
    const struct {
        const char* value;
        int column;
        const char* message;
    } cases[] = {
        {"12", 2, "波長依存の表の 2 行目のフォーカス 12 は範囲外です。-10 から 10 波の値にしてください。"},
        {"-1.25", 1, "波長依存の表の 2 行目の球面収差 -1.25 は範囲外です。-1 から 1 波の値にしてください。"},
    };
    for (const auto& c : cases) {
        input->setText(QString::fromUtf8(c.value));
        windows->abbr->StringGrid1SelectCell(c.column, 1);
        Click("Button1");
        const auto messages = Take();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].kind, "warning");
        EXPECT_EQ(messages[0].text, QString::fromUtf8(c.message));
        EXPECT_EQ(windows->psf->Image3().Red(128, 128), 0) << "nothing computed";
        input->setText(QStringLiteral("0"));
        windows->abbr->StringGrid1SelectCell(c.column, 1);
    }
    // The ends of the ranges run.
    input->setText(QStringLiteral("10"));
    windows->abbr->StringGrid1SelectCell(2, 0);
    input->setText(QStringLiteral("-1"));
    windows->abbr->StringGrid1SelectCell(1, 1);
    Click("Button1");
    EXPECT_TRUE(Take().empty());
    EXPECT_NE(windows->psf->Image3().Red(128, 128), 0);
}

TEST_F(MainWindow, LayoutCommandsAndWindowCommands) {
    Start();
    Choose("W1");
    Choose("W1");
    EXPECT_EQ(PanelWidth(), 800);
    EXPECT_TRUE(Control<QWidget>("GroupBox4")->isVisibleTo(&Form()));
    Choose("R2");
    EXPECT_EQ(PanelWidth(), 490);
    EXPECT_FALSE(Control<QWidget>("GroupBox4")->isVisibleTo(&Form()));

    Click("Button2");
    EXPECT_TRUE(windows->psf->isVisible());
    windows->psf->hide();
    Choose("N21");
    EXPECT_TRUE(windows->psf->isVisible());
    Choose("V2");
    QWidget* ver = windows->ver.get();
    EXPECT_TRUE(ver->isVisible());
    const QSize screen = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(ver->x(), screen.width() / 2 - ver->width());
    EXPECT_EQ(ver->y(), screen.height() / 2 - ver->height());
    EXPECT_EQ(ver->windowTitle(), QStringLiteral("Version"));
}

TEST_F(MainWindow, MenuBarHoldsTheCommandsInOrderWithThePupilMenuHidden) {
    Start();
    QStringList titles;
    for (QAction* a : Form().menuBar()->actions()) titles << a->text() + (a->isVisible() ? "" : "*");
    EXPECT_EQ(titles.join(QStringLiteral("|")),
              QStringLiteral("ファイル(&F)|表示(&D)|瞳(&P)*|結果(&R)|バージョン(&V)"));
    QStringList file;
    for (QAction* a : Form().menuBar()->actions()[0]->menu()->actions()) file << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(file.join(QStringLiteral("|")),
              QStringLiteral("データ読み出し(&O)|データ保存(&S)|-|パラメータ初期化|-|設定一式を保存(&A)...|"
                             "設定一式を読込(&O)...|-|ユーザフィルタ分布読み込み(&U)|ユーザマスク読み込み(&I)|-|終了(&X)"));
}

TEST_F(MainWindow, WavelengthDependenceTableRows) {
    Start();
    auto* grid = windows->abbr->findChild<QTableWidget*>(QStringLiteral("StringGrid1"));
    auto* input = windows->abbr->findChild<QLineEdit*>(QStringLiteral("Edit1"));
    Click("Button4");
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->item(0, 0)->text(), QStringLiteral("600"));
    EXPECT_EQ(grid->item(1, 0)->text(), QStringLiteral("700"));
    EXPECT_EQ(grid->item(1, 2)->text(), QStringLiteral("0.00"));
    EXPECT_TRUE(windows->abbr->isVisible());

    input->setText(QStringLiteral("0.5"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(0, 1)).center());
    EXPECT_EQ(grid->item(0, 1)->text(), QStringLiteral("0.5"));
    windows->abbr->StringGrid1SelectCell(0, 0);
    EXPECT_EQ(grid->item(0, 0)->text(), QStringLiteral("600"));

    Set("Edit33", "400");
    Click("Button4");
    EXPECT_EQ(grid->rowCount(), 4);
    EXPECT_EQ(grid->item(0, 1)->text(), QStringLiteral("0.00"));  // rebuilt
    Set("Edit33", "600");
    Set("Edit34", "650");
    Click("Button4");
    EXPECT_EQ(grid->rowCount(), 1);
    EXPECT_TRUE(Take().empty());

    Set("Edit35", "0");  // only a data file can do this
    Click("Button4");
    EXPECT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(Take().size(), 1u);
}

}  // namespace
}  // namespace velmora::testing

namespace velmora::testing {
namespace {

TEST_F(MainWindow, ABrokenClosingStateIsToldOnceAfterStartUp) {
    WriteAll("Velmora1.log", "Velmora Data File\r\nAperture 200\r\nFocal_length abc\r\nSecondary 10\r\n");
    Start();
    EXPECT_TRUE(Take().empty()) << "nothing while the window is being built";
    Form().show();
    QCoreApplication::processEvents();
    auto messages = Take();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, "information");
    EXPECT_EQ(messages[0].text, QStringLiteral("Velmora1.log の 3 行目「Focal_length」の値を読み込めませんでした。"
                                               "それより後の値は出荷時の値のままです。"));
    EXPECT_EQ(EditText(1), "200");
    Form().hide();
    Form().show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Take().empty()) << "once";

    // A log that reads completely says nothing.
    EXPECT_TRUE(Form().close());
    Start();
    Form().show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Take().empty());
}

TEST_F(MainWindow, ACoefficientAtTheTopOfTheDoubleRangeStopsTheLogAndTheWindowStillCloses) {
    std::string log = factoryFile;
    log.replace(log.find("Coefficient 1"), 13, "Coefficient 1.7976931348623157e308");
    log.replace(log.find("Aperture 160"), 12, "Aperture 180");
    WriteAll("Velmora1.log", log);
    Start();
    Form().show();
    QCoreApplication::processEvents();
    auto messages = Take();
    ASSERT_EQ(messages.size(), 1u) << "no conversion error, only where the log broke off";
    EXPECT_EQ(messages[0].kind, "information");
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("19 行目「Coefficient」"))) << messages[0].text.toStdString();
    EXPECT_EQ(EditText(1), "180");
    EXPECT_EQ(EditText(19), "1.0") << "the factory text stays";
    EXPECT_NE(Density(), Picture24(160, 160)) << "the density preview is drawn";
    EXPECT_TRUE(Form().close());
    EXPECT_TRUE(Take().empty());
    EXPECT_NE(ReadAll("Velmora1.log").find("Coefficient 1\r\n"), std::string::npos);
}

TEST_F(MainWindow, ClosingWithABadTextAsksAndYesClosesWithoutSaving) {
    WriteAll("Velmora1.log", factoryFile);
    Start();
    Form().show();
    Type(19, QStringLiteral("1e999"));
    Take();
    dialogs.answers = {true};
    EXPECT_TRUE(Form().close());
    const auto messages = Take();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, "confirm");
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("保存せずに終了しますか？")));
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("'1e999' is not a valid floating point value")));
    EXPECT_FALSE(Form().isVisible());
    EXPECT_EQ(ReadAll("Velmora1.log"), factoryFile);
}

TEST_F(MainWindow, PipesAndFoldersAreRefusedAtStartAndByEveryLoad) {
    {
        testfiles::PipeWithWatchdog log(Dir() / "Velmora1.log");
        ASSERT_TRUE(log.Made());
        Start();
        EXPECT_FALSE(log.Hung()) << "the start waited on the pipe";
    }
    EXPECT_EQ(EditText(1), "160");
    Form().show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Take().empty()) << "a log that is not a file is skipped with a line on standard error";

    testfiles::PipeWithWatchdog pipe(Dir() / "pipe");
    fs::create_directory("folder");
    const struct {
        QString path;
        QString kind;
    } inputs[] = {{QString::fromStdString(pipe.Path()), QStringLiteral("名前付きパイプ")},
                  {QStringLiteral("folder"), QStringLiteral("フォルダ")}};
    for (const char* command : {"N1", "U1", "I1"})
        for (const auto& in : inputs) {
            dialogs.files = {{in.path, 1}};
            Choose(command);
            const auto messages = Take();
            ASSERT_EQ(messages.size(), 1u) << command;
            EXPECT_NE(messages[0].kind, "information");
            EXPECT_TRUE(messages[0].text.contains(in.kind)) << command << ": " << messages[0].text.toStdString();
        }
    EXPECT_FALSE(pipe.Hung());
    EXPECT_EQ(EditText(1), "160");
    EXPECT_TRUE(Checked("RadioButton7")) << "no load selected its density kind";
}

TEST(PictureBox, PicturesCrossToTheToolkitAndBackUnchanged) {
    Picture24 picture(3, 2);
    picture.SetPixel(0, 0, 1, 2, 3);
    picture.SetPixel(2, 1, 250, 128, 7);
    const QImage image = ToQImage(picture);
    EXPECT_EQ(image.pixelColor(0, 0), QColor(1, 2, 3));
    EXPECT_EQ(image.pixelColor(2, 1), QColor(250, 128, 7));
    EXPECT_TRUE(SamePicture(FromQImage(image), picture));
    // Any other depth comes back as 24 bits.
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    const Picture24 back = FromQImage(grey);
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.Red(2, 1), back.Blue(2, 1));
}

// The fields in which two records differ, named by their controls, so that a failure says
// which box the panel and the batch command read differently.
std::string RecordDifferences(const SimulationParameters& a, const SimulationParameters& b) {
    std::string d;
    for (const EditField& f : EditFields()) {
        const bool same = f.kind == FieldKind::Coefficient ? a.densityCoefficient == b.densityCoefficient
                                                           : f.get(a) == f.get(b);
        if (!same) d += " Edit" + std::to_string(f.control);
    }
    for (const CheckField& c : CheckFields())
        if (a.*(c.field) != b.*(c.field)) d += " CheckBox" + std::to_string(c.control);
    if (a.colorMode != b.colorMode) d += " colour mode";
    if (a.densityProfile != b.densityProfile) d += " density kind";
    if (a.pupilDivExponent != b.pupilDivExponent) d += " UpDown16";
    return d;
}

// The panel and the batch command read data files through one field table: a file loaded with
// "データ読み出し" gives the same record as the batch command's reading, for files that change
// every line (the colour code 2 and the mask and filter kinds select nothing or "なし").
TEST_F(MainWindow, LoadedFileGivesTheBatchCommandsRecord) {
    auto with = [](std::string text, const std::string& from, const std::string& to) {
        return text.replace(text.find(from), from.size(), to);
    };
    const std::vector<std::string> files = {
        DataFile(200, 30, 3, "1 0 1 0", 4),
        with(DataFile(120, 0, 1, "0 1 0 1", 3), "PupilDiv 2048", "PupilDiv 8192"),
        with(DataFile(250, 70, 2, "1 1 1 1", 5), "Coefficient 0.5", "Coefficient 1e-05"),
        with(DataFile(90, 10, 3, "0 0 0 1", 6), "PupilDiv 2048", "PupilDiv 1000"),
        with(DataFile(300, 100, 1, "1 0 0 2", 8), "Coefficient 0.5", "Coefficient 0.295"),
        factoryFile,
    };
    for (size_t k = 0; k < files.size(); ++k) {
        Start();
        const fs::path path = Dir() / ("record" + std::to_string(k) + ".vl2");
        WriteAll(path, files[k]);
        dialogs.files.push_back(FileChoice{QString::fromStdString(path.string()), 1});
        Choose("N1");
        EXPECT_TRUE(Take().empty()) << "file " << k;

        const ParameterFileRead read = ReadParameterFile(path.string());
        ASSERT_TRUE(read.complete) << "file " << k;
        SimulationParameters batch;
        ApplyAssignments(batch, read);
        const SimulationParameters panel = Form().Snapshot();
        EXPECT_TRUE(panel == batch) << "file " << k << " differs in" << RecordDifferences(panel, batch);
        EXPECT_EQ(FormatParameterFile(panel), FormatParameterFile(batch)) << "file " << k;
    }
}

// The factory panel is the record's defaults, box by box.
TEST_F(MainWindow, FactoryPanelHoldsTheRecordsDefaults) {
    Start();
    const SimulationParameters panel = Form().Snapshot();
    EXPECT_TRUE(panel == SimulationParameters{}) << "differs in" << RecordDifferences(panel, SimulationParameters{});
    for (const EditField& f : EditFields()) {
        EXPECT_EQ(UpDown(f.control)->Min(), f.range.min) << "UpDown" << f.control;
        EXPECT_EQ(UpDown(f.control)->Increment(), f.range.increment) << "UpDown" << f.control;
    }
    EXPECT_EQ(UpDown(16)->Position(), 10);
    EXPECT_EQ(UpDown(19)->Position(), 100);
    EXPECT_EQ(EditText(19), "1.0");
    EXPECT_EQ(EditText(24), "0.0");
    EXPECT_EQ(EditText(31), "0.00");
}

// Each run replaces only the pictures its mode makes: a colour run keeps the 3D view's pupil
// picture of the last monochrome run, a monochrome run keeps the red and blue images.
TEST_F(MainWindow, EachModeReplacesOnlyItsOwnPictures) {
    Start();
    Click("Button1");
    const Picture24 pupil = windows->psf3d->Image2();
    ASSERT_EQ(pupil.Red(128, 128 + 40), 255) << "the open ring of the default pupil";
    Click("RadioButton2");
    Click("Button1");
    EXPECT_TRUE(windows->psf3d->Image2() == pupil);
    const Picture24 red = windows->psf->Image2();
    const Picture24 blue = windows->psf->Image4();
    // Band peaks (S_blue / S)^2: blue 1 codes as 255; red (900 / 1300)^2 = 0.479 as 122.
    EXPECT_EQ(blue.Red(128, 128), 255);
    EXPECT_EQ(red.Red(128, 128), 122);

    Click("RadioButton1");
    ClickArrow(28, true);  // a monochrome run with coma: image3 and the pupil change
    Click("Button1");
    EXPECT_TRUE(windows->psf->Image2() == red);
    EXPECT_TRUE(windows->psf->Image4() == blue);
}

}  // namespace
}  // namespace velmora::testing
