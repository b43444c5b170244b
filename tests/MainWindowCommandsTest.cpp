// The main window's commands: data files saved and loaded as the batch command reads them, runs
// from the panel and their refusals, the wavelength dependence table, the layout and the menu bar.
#include <QGuiApplication>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QTableWidget>

#include "MainWindowTestSupport.h"
#include "app/Verform.h"
#include "core/PanelFields.h"
#include "core/PsfCalculation.h"
#include "files/ParameterFile.h"
#include "panels/Abberation.h"
#include "viewers/Psf1.h"
#include "viewers/Psf3dd.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;

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
