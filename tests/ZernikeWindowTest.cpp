// The Zernike coefficient window, driven as a user does: opened from the 表示 menu, a
// coefficient typed into its table, files loaded and saved through the dialogs; the main
// window's previews and runs follow the whole wavefront.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "WindowTestSupport.h"
#include "panels/ZernikeWindow.h"
#include "pupil/Previews.h"
#include "viewers/Psf1.h"

namespace velmora {
namespace {

using testing::SamePicture;

class ZernikeWindow : public testing::WindowTest {
protected:
    TZernike& Open() {
        Choose("Z1");
        EXPECT_NE(windows->zernike, nullptr);
        EXPECT_TRUE(windows->zernike->isVisible());
        return *windows->zernike;
    }
    template <typename T>
    T* InWindow(const char* name) {
        return windows->zernike->findChild<T*>(QString::fromLatin1(name));
    }
    QTableWidget* Grid() { return InWindow<QTableWidget>("ZernikeGrid"); }
    // The row of an index of the ordering shown.
    int Row(int index) {
        return index - (InWindow<QComboBox>("OrderingBox")->currentIndex() == 1 ? ansiFirstIndex : fringeFirstIndex);
    }
    QString Cell(int index, int column) { return Grid()->item(Row(index), column)->text(); }
    // Double-clicks the coefficient cell, types over it and presses Enter.
    void TypeCoefficient(int index, const QString& text) {
        QTableWidget* grid = Grid();
        QTableWidgetItem* item = grid->item(Row(index), 2);
        ASSERT_NE(item, nullptr);
        grid->scrollToItem(item);
        const QPoint at = grid->visualItemRect(item).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        QLineEdit* editor = nullptr;
        for (QLineEdit* e : grid->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible()) editor = e;
        ASSERT_NE(editor, nullptr) << "no editor opened";
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits the text and closes the editor from the event loop, which then
        // deletes the editor.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void ClickInWindow(const char* name) { QTest::mouseClick(InWindow<QPushButton>(name), Qt::LeftButton); }
    const Picture24& PupilFunction() { return Control<PictureBox>("Image4")->Picture(); }
    const Picture24& Fringes() { return Control<PictureBox>("Image5")->Picture(); }
    QString MainPeakToValley() { return Control<QLabel>("Label40")->text(); }
    // The previews the main window should show for this wavefront.
    void ExpectPreviewsOf(const Aberrations& a) {
        double pv = 0;
        EXPECT_TRUE(SamePicture(PupilFunction(), DrawPupilFunctionPreview(a, UpDown(32)->Position(), pv)));
        EXPECT_EQ(MainPeakToValley().toStdString(), PeakToValleyText(pv));
        EXPECT_TRUE(SamePicture(Fringes(), DrawInterferencePreview(a)));
        const WavefrontFigures figures = MeasureWavefront(a);
        EXPECT_EQ(InWindow<QLabel>("PeakToValleyLabel")->text().toStdString(), "P-V " + PeakToValleyText(figures.peakToValley));
        EXPECT_EQ(InWindow<QLabel>("RmsLabel")->text().toStdString(), "RMS " + PeakToValleyText(figures.rms));
    }
    static Aberrations WithTerms(Aberrations a, const ZernikeSet& set) {
        a.zernike = ZernikeWavefront(set);
        return a;
    }
    Picture24 CoreRun(const Aberrations& a) {
        CalculationRequest request;
        request.params = Form().Snapshot();
        request.aberrations = a;
        RealMatrixHolder grid;
        grid.Allocate(gridSize, gridSize);
        return testing::RunWithPupilModel(request, grid.get()).images.image3;
    }
    void Calculate() { QTest::mouseClick(Control<QPushButton>("Button1"), Qt::LeftButton); }
    std::string WriteFile(const char* name, const std::string& text) {
        const std::string path = (Dir() / name).string();
        testing::WriteAll(path, text);
        return path;
    }
};

TEST_F(ZernikeWindow, TheMenuOpensTheTableOfTheFringeTerms) {
    Start();
    QAction* item = Form().findChild<QAction*>(QStringLiteral("Z1"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), QStringLiteral("ゼルニケ係数(&Z)..."));
    Open();
    EXPECT_EQ(Grid()->rowCount(), 37);
    EXPECT_EQ(Cell(4, 0), QStringLiteral("4"));
    EXPECT_EQ(Cell(4, 1), QStringLiteral("デフォーカス"));
    EXPECT_EQ(Cell(5, 1), QStringLiteral("非点収差 0°"));
    EXPECT_EQ(Cell(9, 1), QStringLiteral("球面収差"));
    EXPECT_EQ(Cell(37, 2), QStringLiteral("0"));
    EXPECT_FALSE(Grid()->item(Row(4), 1)->flags() & Qt::ItemIsEditable);
    EXPECT_EQ(InWindow<QLabel>("PeakToValleyLabel")->text(), QStringLiteral("P-V 0.000λ"));
    EXPECT_EQ(InWindow<QLabel>("RmsLabel")->text(), QStringLiteral("RMS 0.000λ"));
    // Opened again, the same window.
    TZernike* first = windows->zernike.get();
    Open();
    EXPECT_EQ(windows->zernike.get(), first);
    // A table of zeros is no wavefront of its own: the previews and the run are the panel's.
    ClickArrow(29, true);
    ExpectPreviewsOf(AberrationsInWaves(Form().Snapshot()));
    Calculate();
    EXPECT_TRUE(SamePicture(windows->psf->Image3(), CoreRun(AberrationsInWaves(Form().Snapshot()))));
}

TEST_F(ZernikeWindow, ATypedCoefficientChangesThePreviewsAndTheRun) {
    Start();
    Form().show();
    ClickArrow(24, true);  // the panel's focus of 0.1 wave, which the terms add to
    Calculate();
    const Picture24 before = windows->psf->Image3();
    Open();
    TypeCoefficient(5, QStringLiteral("0.5"));
    EXPECT_EQ(Cell(5, 2), QStringLiteral("0.5"));
    EXPECT_TRUE(InWindow<QLabel>("MessageLabel")->text().isEmpty());
    const Aberrations whole = WithTerms(AberrationsInWaves(Form().Snapshot()), {ZernikeOrdering::Fringe, {{5, 0.5}}});
    ExpectPreviewsOf(whole);
    // Astigmatism of 0.5 wave beside the focus: the previews and the figures are not the panel's.
    double panelPv = 0;
    EXPECT_FALSE(SamePicture(PupilFunction(), DrawPupilFunctionPreview(AberrationsInWaves(Form().Snapshot()), 200, panelPv)));

    Calculate();
    EXPECT_TRUE(SamePicture(windows->psf->Image3(), CoreRun(whole)));
    EXPECT_FALSE(SamePicture(windows->psf->Image3(), before));

    // A panel change afterwards keeps the terms and updates the window's figures.
    ClickArrow(24, true);
    ExpectPreviewsOf(WithTerms(AberrationsInWaves(Form().Snapshot()), {ZernikeOrdering::Fringe, {{5, 0.5}}}));
}

TEST_F(ZernikeWindow, FocusTypedAsZ4DrawsThePanelsFocus) {
    Start();
    Open();
    TypeCoefficient(4, QStringLiteral("1"));
    Aberrations focus;
    focus.focus = 1;
    double pv = 0;
    EXPECT_TRUE(SamePicture(PupilFunction(), DrawPupilFunctionPreview(focus, UpDown(32)->Position(), pv)));
    EXPECT_EQ(MainPeakToValley().toStdString(), "2.000λ");
    // Back to 0: the previews of no terms at all.
    TypeCoefficient(4, QStringLiteral("0"));
    ExpectPreviewsOf(Aberrations{});
    EXPECT_TRUE(windows->zernike->Wavefront().Empty());
}

TEST_F(ZernikeWindow, TextThatIsNoCoefficientKeepsTheValueAndSaysWhy) {
    Start();
    Open();
    TypeCoefficient(7, QStringLiteral("0.25"));
    const Picture24 shown = PupilFunction();
    for (const char* typed : {"abc", "nan", "2000", "1e999"}) {
        TypeCoefficient(7, QString::fromLatin1(typed));
        EXPECT_EQ(Cell(7, 2), QStringLiteral("0.25")) << typed;
        EXPECT_TRUE(InWindow<QLabel>("MessageLabel")->text().contains(QString::fromLatin1(typed))) << typed;
        EXPECT_TRUE(SamePicture(PupilFunction(), shown)) << typed;
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ZernikeWindow, LoadsAnAnsiFileThroughTheDialog) {
    Start();
    Open();
    const std::string path = WriteFile("mirror.zer", "# report\r\nordering ansi\r\n4 0.25\r\n12 -0.05\r\n90 0.01\r\n");
    dialogs.files.push_back({QString::fromStdString(path), 1});
    ClickInWindow("LoadButton");
    ASSERT_EQ(dialogs.filters.size(), 1u);
    EXPECT_TRUE(dialogs.filters[0].contains(QStringLiteral("*.zer")));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(InWindow<QComboBox>("OrderingBox")->currentIndex(), 1);
    EXPECT_EQ(Grid()->rowCount(), 91);
    EXPECT_EQ(Cell(4, 2), QStringLiteral("0.25"));
    EXPECT_EQ(Cell(12, 2), QStringLiteral("-0.05"));
    EXPECT_EQ(Cell(90, 1), QStringLiteral("n=12, m=12"));
    ExpectPreviewsOf(WithTerms(Aberrations{}, {ZernikeOrdering::Ansi, {{4, 0.25}, {12, -0.05}, {90, 0.01}}}));
}

TEST_F(ZernikeWindow, ABadFileShowsItsMessageAndChangesNothing) {
    Start();
    Open();
    TypeCoefficient(9, QStringLiteral("0.1"));
    const Picture24 shown = PupilFunction();
    const QString peakToValley = InWindow<QLabel>("PeakToValleyLabel")->text();
    const std::string path = WriteFile("bad.zer", "4 0.1\n9 0.2\n\n4 0.3\n");
    dialogs.files.push_back({QString::fromStdString(path), 1});
    ClickInWindow("LoadButton");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, "warning");
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("bad.zer を読み込めませんでした（4 行目: 項番号 4 は 1 行目にもあります）。前の係数のままです。"));
    EXPECT_EQ(Cell(9, 2), QStringLiteral("0.1"));
    EXPECT_EQ(Cell(4, 2), QStringLiteral("0"));
    EXPECT_TRUE(SamePicture(PupilFunction(), shown));
    EXPECT_EQ(InWindow<QLabel>("PeakToValleyLabel")->text(), peakToValley);
    EXPECT_EQ(windows->zernike->Set(), (ZernikeSet{ZernikeOrdering::Fringe, {{9, 0.1}}}));
}

TEST_F(ZernikeWindow, SavesTheTableAsAZerFile) {
    Start();
    Open();
    TypeCoefficient(5, QStringLiteral("-0.125"));
    TypeCoefficient(2, QStringLiteral("+0.5"));
    const std::string chosen = (Dir() / "mirror.txt").string();
    dialogs.files.push_back({QString::fromStdString(chosen), 1});
    ClickInWindow("SaveButton");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(testing::ReadAll(Dir() / "mirror.zer"),
              "# Zernike coefficients in waves: index coefficient\r\nordering fringe\r\n2 0.5\r\n5 -0.125\r\n");
    // Read back, the same set.
    ClickInWindow("ZeroButton");
    EXPECT_TRUE(windows->zernike->Wavefront().Empty());
    dialogs.files.push_back({QString::fromStdString((Dir() / "mirror.zer").string()), 1});
    ClickInWindow("LoadButton");
    EXPECT_EQ(windows->zernike->Set(), (ZernikeSet{ZernikeOrdering::Fringe, {{2, 0.5}, {5, -0.125}}}));
}

TEST_F(ZernikeWindow, SwitchingTheOrderingKeepsTheWavefront) {
    Start();
    Open();
    TypeCoefficient(4, QStringLiteral("0.3"));
    QTest::keyClick(InWindow<QComboBox>("OrderingBox"), Qt::Key_Down);  // ANSI
    EXPECT_EQ(InWindow<QComboBox>("OrderingBox")->currentIndex(), 1);
    EXPECT_EQ(Grid()->rowCount(), 91);
    // ANSI j = 4 is sqrt(3) times Fringe Z4 (core/Zernike.h).
    EXPECT_NEAR(Cell(4, 2).toDouble(), 0.3 / std::sqrt(3.0), 1e-15);
    double pv = 0;
    DrawPupilFunctionPreview(WithTerms(Aberrations{}, windows->zernike->Set()), 200, pv);
    EXPECT_NEAR(pv, 2 * 0.3, 1e-12);
    EXPECT_TRUE(dialogs.messages.empty());

    // A term the Fringe set lacks: the user is asked, and No keeps the ANSI table.
    TypeCoefficient(90, QStringLiteral("0.01"));
    QTest::keyClick(InWindow<QComboBox>("OrderingBox"), Qt::Key_Up);  // back to Fringe
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, "confirm");
    EXPECT_EQ(InWindow<QComboBox>("OrderingBox")->currentIndex(), 1);
    EXPECT_EQ(Grid()->rowCount(), 91);
    // Yes: the Fringe table, without the term it has no place for.
    dialogs.answers.push_back(true);
    QTest::keyClick(InWindow<QComboBox>("OrderingBox"), Qt::Key_Up);
    EXPECT_EQ(Grid()->rowCount(), 37);
    EXPECT_EQ(windows->zernike->Set().coefficients.size(), 1u);
    EXPECT_NEAR(Cell(4, 2).toDouble(), 0.3, 1e-15);
}

TEST_F(ZernikeWindow, AnEditRunsInTheAutomaticMode) {
    Start();
    QAction* live = Form().findChild<QAction*>(QStringLiteral("L1"));
    live->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form().CalculationRunning(); }, 60000));
    const int shown = Form().RunResultsShown();
    Open();
    TypeCoefficient(6, QStringLiteral("0.2"));
    EXPECT_TRUE(Form().CalculationRunning() || Form().RunResultsShown() > shown);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form().CalculationRunning(); }, 60000));
    EXPECT_EQ(Form().RunResultsShown(), shown + 1);
    EXPECT_TRUE(SamePicture(windows->psf->Image3(),
                            CoreRun(WithTerms(AberrationsInWaves(Form().Snapshot()), {ZernikeOrdering::Fringe, {{6, 0.2}}}))));
}

}  // namespace
}  // namespace velmora
