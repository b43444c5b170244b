// The program on a desktop: the toolkit's own texts in Japanese, the design font, every caption
// readable in every window, the per-user working folder, and the batch command's version text
// against the version dialog.
#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QCheckBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <cstdlib>
#include <sstream>

#include "WindowTestSupport.h"
#include "app/BatchCommand.h"
#include "app/ToolkitLanguage.h"
#include "app/Verform.h"
#include "app/WorkingFolder.h"
#include "panels/Maskdisplay.h"
#include "panels/Abberation.h"
#include "panels/Pup.h"
#include "viewers/AnalysisWindow.h"
#include "viewers/Psf1.h"
#include "viewers/Psf1dd.h"
#include "viewers/Psf3dd.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;

// Qt's Japanese catalogue (qtbase_ja) gives these; the English source texts would mean the
// translations were not found.
TEST(ToolkitTexts, MessageBoxesFileDialogsAndEditMenusAreJapanese) {
    ASSERT_TRUE(LoadToolkitTranslations(*QCoreApplication::instance())) << "qtbase_ja.qm not installed";

    QMessageBox box(QMessageBox::Question, QStringLiteral("Velmora1"), QStringLiteral("?"), QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(box.button(QMessageBox::Yes)->text().startsWith(QStringLiteral("はい"))) << box.button(QMessageBox::Yes)->text().toStdString();
    EXPECT_TRUE(box.button(QMessageBox::No)->text().startsWith(QStringLiteral("いいえ")));
    QMessageBox ok(QMessageBox::Information, QStringLiteral("Velmora1"), QStringLiteral("!"), QMessageBox::Ok);
    EXPECT_EQ(ok.button(QMessageBox::Ok)->text().remove(QLatin1Char('&')), QStringLiteral("OK"));

    QFileDialog dialog(nullptr, QString(), QString(), ToolkitFilter(QStringLiteral("データファイル(*.vl2)|*.vl2")));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));

    QLineEdit edit(QStringLiteral("160"));
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList captions;
    for (const QAction* a : menu->actions()) captions << a->text();
    EXPECT_TRUE(captions.join(QLatin1Char('|')).contains(QStringLiteral("コピー"))) << captions.join(QLatin1Char('|')).toStdString();
}

TEST(DesignFont, TheApplicationFontIsTheInstalledJapaneseFont) {
    const QFontInfo info(QApplication::font());
    EXPECT_EQ(info.family(), QString::fromLatin1(designFontFamily)) << "fonts-ipaexfont-gothic missing?";
    EXPECT_EQ(info.pixelSize(), designFontPixels);
}

class Legibility : public WindowTest {
protected:
    // The ink of the caption: a glyph's advance may be wider than what it draws (">>" in a
    // 17-pixel arrow button).
    static int TextWidth(const QWidget& w, QString text) {
        return w.fontMetrics().tightBoundingRect(text.remove(QLatin1Char('&'))).width();
    }
    // Where the style draws the caption: beside the indicator of a radio button or check box,
    // inside the bevel of a push button, the whole of a label.
    static QRect ContentsRect(QWidget& w) {
        QStyleOptionButton option;
        option.initFrom(&w);
        if (qobject_cast<QRadioButton*>(&w)) return w.style()->subElementRect(QStyle::SE_RadioButtonContents, &option, &w);
        if (qobject_cast<QCheckBox*>(&w)) return w.style()->subElementRect(QStyle::SE_CheckBoxContents, &option, &w);
        if (qobject_cast<QPushButton*>(&w)) return w.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &w);
        return w.contentsRect();
    }

    // Every caption of `window` is as wide as its text needs, lies inside its parent and covers
    // no other visible control beside it.
    void CheckCaptions(QWidget& window) {
        const std::string where = window.objectName().toStdString();
        for (QWidget* w : window.findChildren<QWidget*>()) {
            if (!w->isVisibleTo(&window) || !w->parentWidget()) continue;
            QString text;
            if (auto* label = qobject_cast<QLabel*>(w)) text = label->text();
            else if (auto* button = qobject_cast<QAbstractButton*>(w)) text = button->text();
            if (text.isEmpty()) continue;
            const std::string name = where + "/" + w->objectName().toStdString() + " '" + text.toStdString() + "'";
            EXPECT_LE(TextWidth(*w, text), ContentsRect(*w).width()) << name << " is cut off";
            EXPECT_LE(w->fontMetrics().height(), w->height()) << name << " is cut off";
            EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry())) << name << " reaches out of its parent";
            if (!qobject_cast<QLabel*>(w)) continue;
            for (QObject* o : w->parentWidget()->children()) {
                auto* other = qobject_cast<QWidget*>(o);
                if (!other || other == w || !other->isVisibleTo(&window)) continue;
                EXPECT_FALSE(w->geometry().intersects(other->geometry()))
                    << name << " overlaps " << other->objectName().toStdString() << " at "
                    << other->geometry().x() << "," << other->geometry().y();
            }
        }
    }
};

TEST_F(Legibility, NoCaptionIsCutOffOrCoveredInAnyWindow) {
    Start();
    Choose("W1");  // the full layout, with the wavefront panel
    CheckCaptions(Form());
    CheckCaptions(*windows->ver);
    CheckCaptions(*windows->pupil);
    CheckCaptions(*windows->psf);
    CheckCaptions(*windows->abbr);
    CheckCaptions(*windows->psf3d);
    CheckCaptions(*windows->psf1d);
    CheckCaptions(*windows->maskDis);
}

// After a calculation: the analysis window with its table and plots, the 2D viewer's scale bar and
// the 1D viewer's micrometre ticks.
TEST_F(Legibility, TheAnalysisWindowAndTheScaleMarksAreReadable) {
    Start();
    QTest::mouseClick(Control<QPushButton>("Button1"), Qt::LeftButton);
    Choose("A1");
    windows->psf->show();
    windows->psf1d->Redraw();
    ASSERT_TRUE(windows->psf->findChild<QLabel*>(QStringLiteral("ScaleLabel"))->isVisibleTo(windows->psf.get()));
    ASSERT_TRUE(windows->psf1d->findChild<QLabel*>(QStringLiteral("AxisTick1_1"))->isVisibleTo(windows->psf1d.get()));
    CheckCaptions(*windows->psf);
    CheckCaptions(*windows->psf1d);
    CheckCaptions(*windows->analysis);
}

class WorkingFolder : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (const char* x = std::getenv("XDG_DATA_HOME")) saved_ = x;
    }
    void TearDown() override {
        if (saved_) setenv("XDG_DATA_HOME", saved_->c_str(), 1);
        else unsetenv("XDG_DATA_HOME");
        WindowTest::TearDown();
    }

private:
    std::optional<std::string> saved_;
};

TEST_F(WorkingFolder, TheFolderFollowsTheXdgRules) {
    EXPECT_EQ(velmora::PerUserFolder("/data/u", "/home/u"), "/data/u/velmora1");
    EXPECT_EQ(velmora::PerUserFolder(nullptr, "/home/u"), "/home/u/.local/share/velmora1");
    EXPECT_EQ(velmora::PerUserFolder("", "/home/u"), "/home/u/.local/share/velmora1");
    EXPECT_EQ(velmora::PerUserFolder("relative/data", "/home/u"), "/home/u/.local/share/velmora1");
    EXPECT_EQ(velmora::PerUserFolder(nullptr, nullptr), "");

    const char* desktop[] = {"velmora1", "--per-user-folder"};
    const char* terminal[] = {"velmora1", "-platform", "offscreen"};
    EXPECT_TRUE(AsksForPerUserFolder(2, desktop));
    EXPECT_FALSE(AsksForPerUserFolder(3, terminal));
}

TEST_F(WorkingFolder, AStartFromTheMenuMakesTheFolderAndKeepsTheFixedFilesThere) {
    const fs::path data = Dir() / "data" / "not-yet";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    ASSERT_EQ(EnterPerUserFolder(), std::nullopt);
    EXPECT_EQ(fs::current_path(), data / "velmora1");
    Start();
    Form().close();
    EXPECT_TRUE(fs::exists(data / "velmora1" / "default.vl1"));
    EXPECT_TRUE(fs::exists(data / "velmora1" / "Velmora1.log"));
    EXPECT_FALSE(fs::exists(Dir() / "default.vl1"));
}

TEST_F(WorkingFolder, AFolderThatCannotBeMadeLeavesTheCurrentFolderWithAMessage) {
    WriteAll(Dir() / "plain-file", "x");
    setenv("XDG_DATA_HOME", (Dir() / "plain-file").c_str(), 1);
    const auto problem = EnterPerUserFolder();
    ASSERT_TRUE(problem.has_value());
    const std::string text = problem->Text();
    EXPECT_NE(text.find("plain-file/velmora1"), std::string::npos) << text;
    EXPECT_NE(text.find("現在のフォルダで続けます"), std::string::npos) << text;
    EXPECT_EQ(fs::current_path(), Dir());
}

TEST_F(Legibility, TheBatchVersionIsTheVersionDialogs) {
    Start();
    std::ostringstream out, err;
    ASSERT_EQ(RunBatchCommand({"--version"}, out, err), 0);
    EXPECT_EQ(err.str(), "");
    const QString dialog = windows->ver->findChild<QLabel*>(QStringLiteral("Label1"))->text().trimmed() + "\n" +
                           windows->ver->findChild<QLabel*>(QStringLiteral("Label2"))->text() + "\n";
    EXPECT_EQ(out.str(), dialog.toStdString());
}

}  // namespace
}  // namespace velmora::testing
