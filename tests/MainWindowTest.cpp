// The main window driven as a user drives it: its start, its log and its closing, and the panel's
// controls: spin arrows clicked, text typed, previews redrawn, message boxes answered.
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "MainWindowTestSupport.h"
#include "SpecialFiles.h"
#include "panels/Abberation.h"
#include "pupil/Previews.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;

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

}  // namespace
}  // namespace velmora::testing
