// The windows in English: no Japanese caption left, nothing cut off or overlapping at the
// design positions, the messages in English, the translation file complete, and every file the
// program writes the same in both languages. Japanese stays the default.
#include <QAbstractSeries>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QFile>
#include <QFontMetrics>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTableWidget>
#include <QTranslator>
#include <QXmlStreamReader>
#include <cstdlib>
#include <set>

#include "WindowTestSupport.h"
#include "app/Language.h"
#include "app/Verform.h"
#include "panels/Maskdisplay.h"
#include "panels/ZernikeWindow.h"
#include "panels/MirrorWindow.h"
#include "panels/Abberation.h"
#include "panels/Pup.h"
#include "viewers/AnalysisWindow.h"
#include "viewers/Psf1.h"
#include "viewers/Psf1dd.h"
#include "viewers/Psf3dd.h"
#include "viewers/CameraWindow.h"
#include "panels/SkyWindow.h"
#include "viewers/StarTestWindow.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;

// Hiragana, Katakana, CJK punctuation and ideographs, full-width forms.
bool HasJapanese(const QString& s) {
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if ((u >= 0x3000 && u <= 0x30FF) || (u >= 0x3400 && u <= 0x4DBF) || (u >= 0x4E00 && u <= 0x9FFF) ||
            (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

QString Shown(QString caption) { return caption.remove(QLatin1Char('&')); }

std::string Where(const QWidget* w) {
    return (w->window()->objectName() + QStringLiteral("/") + w->objectName() + QStringLiteral(" ") +
            QString::fromLatin1(w->metaObject()->className()))
        .toStdString();
}

// What a user of the window would call a fault: a Japanese caption (when English is expected)
// or a caption that does not fit its control or runs into its neighbour.
class WindowCheck {
public:
    explicit WindowCheck(bool english) : english_(english) {}
    std::vector<std::string> problems;

    void Window(QWidget* window) {
        Text(window->windowTitle(), Where(window) + " title");
        for (QLabel* l : window->findChildren<QLabel*>()) Label(l);
        for (QPushButton* b : window->findChildren<QPushButton*>()) {
            if (b->parent() && b->parent()->inherits("velmora::SpinButton")) continue;  // arrow glyphs
            Text(b->text(), Where(b));
            const int need = b->fontMetrics().horizontalAdvance(Shown(b->text())) + 4;
            if (need > b->width()) Fault(b, "button caption needs " + std::to_string(need) + " px");
        }
        for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
            if (!qobject_cast<QRadioButton*>(b) && !qobject_cast<QCheckBox*>(b)) continue;
            Text(b->text(), Where(b));
            if (b->text().isEmpty()) continue;
            // The indicator, its gap and the text: what the style draws (the size hint adds
            // room for a focus frame that is not text).
            const bool radio = qobject_cast<QRadioButton*>(b);
            const QStyle* style = b->style();
            const int need = style->pixelMetric(radio ? QStyle::PM_ExclusiveIndicatorWidth : QStyle::PM_IndicatorWidth, nullptr, b) +
                             style->pixelMetric(radio ? QStyle::PM_RadioButtonLabelSpacing : QStyle::PM_CheckBoxLabelSpacing, nullptr, b) +
                             b->fontMetrics().horizontalAdvance(Shown(b->text()));
            if (need > b->width()) Fault(b, "caption needs " + std::to_string(need) + " px");
        }
        for (QGroupBox* g : window->findChildren<QGroupBox*>()) {
            Text(g->title(), Where(g));
            const int need = g->fontMetrics().horizontalAdvance(Shown(g->title())) + 12;
            if (need > g->width()) Fault(g, "group title needs " + std::to_string(need) + " px");
        }
        for (QTableWidget* t : window->findChildren<QTableWidget*>()) {
            for (int c = 0; c < t->columnCount(); ++c)
                if (const QTableWidgetItem* item = t->horizontalHeaderItem(c)) Text(item->text(), Where(t));
            for (int r = 0; r < t->rowCount(); ++r)
                if (const QTableWidgetItem* item = t->verticalHeaderItem(r)) Text(item->text(), Where(t));
        }
        for (QPlainTextEdit* e : window->findChildren<QPlainTextEdit*>()) Text(e->toPlainText(), Where(e));
        for (QWidget* w : window->findChildren<QWidget*>()) Text(w->toolTip(), Where(w) + " tool tip");
        // The plots' own texts: title, axis titles, legend entries.
        for (QChartView* v : window->findChildren<QChartView*>()) {
            Text(v->chart()->title(), Where(v) + " title");
            for (const QAbstractAxis* a : v->chart()->axes()) Text(a->titleText(), Where(v) + " axis");
            for (const QAbstractSeries* s : v->chart()->series()) Text(s->name(), Where(v) + " series");
            // What the chart draws shortened for want of room ("Radius (..."): an axis title, a
            // tick label or a legend entry.
            for (const QGraphicsItem* item : v->scene()->items()) {
                QString drawn;
                if (auto* t = dynamic_cast<const QGraphicsTextItem*>(item)) drawn = t->toPlainText();
                if (item->isVisible() && (drawn.endsWith(QStringLiteral("...")) || drawn.endsWith(QChar(0x2026))))
                    problems.push_back(Where(v) + ": text cut off \"" + drawn.toStdString() + "\"");
            }
        }
        for (QMenuBar* bar : window->findChildren<QMenuBar*>()) MenuBar(bar);
    }

private:
    void Text(const QString& text, const std::string& where) {
        if (english_ && HasJapanese(text)) problems.push_back(where + ": Japanese text \"" + text.toStdString() + "\"");
    }
    void Fault(const QWidget* w, const std::string& what) {
        problems.push_back(Where(w) + " \"" + w->property("text").toString().toStdString() + "\": " + what);
    }

    // Where a label's letters are drawn in its parent: from its left edge for the text's
    // advance, and as high as the glyphs reach around the vertically centred baseline (a
    // font's line height has room above and below that no letter uses).
    static QRect Ink(const QLabel* l) {
        const QFontMetrics fm = l->fontMetrics();
        const QRect glyphs = fm.tightBoundingRect(l->text());
        const int baseline = l->y() + (l->height() - fm.height()) / 2 + fm.ascent();
        return QRect(l->x(), baseline + glyphs.top(), std::max(fm.horizontalAdvance(l->text()), glyphs.right() + 1),
                     glyphs.height());
    }

    void Label(QLabel* l) {
        Text(l->text(), Where(l));
        // The never-shown group boxes are held to the language, not to the layout.
        if (l->text().isEmpty() || !l->isVisibleTo(l->window())) return;
        const QFontMetrics fm = l->fontMetrics();
        const QRect drawn = Ink(l);
        if (fm.horizontalAdvance(l->text()) > l->width()) Fault(l, "label narrower than its text");
        const QWidget* parent = l->parentWidget();
        if (drawn.right() >= parent->width()) Fault(l, "runs past the edge of " + parent->objectName().toStdString());
        // The edit boxes, spin buttons, buttons and captions beside it must stay clear.
        for (QObject* o : parent->children()) {
            auto* sibling = qobject_cast<QWidget*>(o);
            if (!sibling || sibling == l || sibling->isWindow()) continue;
            const bool neighbour = qobject_cast<QLineEdit*>(sibling) || qobject_cast<QAbstractButton*>(sibling) ||
                                   sibling->inherits("velmora::SpinButton") ||
                                   (qobject_cast<QLabel*>(sibling) && !static_cast<QLabel*>(sibling)->text().isEmpty());
            if (!neighbour) continue;
            QRect other = sibling->geometry();
            if (auto* label = qobject_cast<QLabel*>(sibling)) other = Ink(label);
            // Two pixels at least between the last letter and the next control, or they read as one.
            if (drawn.adjusted(0, 0, 2, 0).intersects(other)) Fault(l, "overlaps " + sibling->objectName().toStdString());
        }
    }

    void Menu(QMenu* menu) {
        Text(menu->title(), "menu " + menu->objectName().toStdString());
        for (QAction* a : menu->actions()) {
            Text(a->text(), "action " + a->objectName().toStdString());
            if (a->menu()) Menu(a->menu());
        }
    }

    void MenuBar(QMenuBar* bar) {
        const QAction* last = nullptr;
        for (QAction* a : bar->actions()) {
            Text(a->text(), "menu bar " + Where(bar));
            if (a->menu()) Menu(a->menu());
            if (a->isVisible()) last = a;
        }
        // One row: the last visible title still on the first line and inside the window.
        if (last && (bar->actionGeometry(const_cast<QAction*>(last)).top() != bar->actionGeometry(bar->actions().front()).top() ||
                     bar->actionGeometry(const_cast<QAction*>(last)).right() >= bar->width()))
            problems.push_back(Where(bar) + ": menu titles do not fit in one row");
    }

    bool english_;
};

// A window test whose program runs in English.
class EnglishWindows : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(english_.load(QStringLiteral(":/i18n/velmora1_en.qm")));
    }
    void TearDown() override {
        SetEnglish(false);
        WindowTest::TearDown();
    }
    void SetEnglish(bool on) {
        if (on) QCoreApplication::installTranslator(&english_);
        else QCoreApplication::removeTranslator(&english_);
    }
    void Click(const char* name) { QTest::mouseClick(Control<QAbstractButton>(name), Qt::LeftButton); }
    QString Path(const char* name) const { return QString::fromStdString((Dir() / name).string()); }
    // Shows every window of the program (the main one in its full layout) and checks them all.
    std::vector<std::string> CheckAllWindows(bool english) {
        Start();
        Choose("W1");
        Click("Button4");  // the table window, with its rows
        // A result: the analysis window with its table and plots, the viewers with their scales.
        Click("Button1");
        Choose("A1");
        Choose("Z1");  // the Zernike table, with the names of its terms
        Choose("MirrorField1");  // the mirror and field, on, with its terms
        QCheckBox* mirror = windows->mirror->findChild<QCheckBox*>(QStringLiteral("MirrorCheck"));
        QTest::mouseClick(mirror, Qt::LeftButton, {}, QPoint(mirror->fontMetrics().height() / 2 + 2, mirror->height() / 2));
        Choose("T1");  // the star test, with its sizes once the pair is there
        EXPECT_TRUE(QTest::qWaitFor([&] { return Form().StarTestResultsShown() > 0; }, 60000));
        Choose("SkyCamera1");  // the sky and camera, a pixel given
        QLineEdit* pixel = windows->sky->findChild<QLineEdit*>(QStringLiteral("PixelEdit"));
        pixel->selectAll();
        QTest::keyClicks(pixel, QStringLiteral("4.5"));
        Choose("Camera1");  // the camera image with its figures
        windows->psf1d->Redraw();
        const std::vector<QWidget*> all = {windows->form1.get(), windows->ver.get(),   windows->pupil.get(),
                                           windows->psf.get(),   windows->abbr.get(),  windows->psf3d.get(),
                                           windows->psf1d.get(), windows->maskDis.get(), windows->analysis.get(),
                                           windows->zernike.get(), windows->mirror.get(), windows->starTest.get(),
                                           windows->sky.get(), windows->camera.get()};
        for (QWidget* w : all) w->show();
        QCoreApplication::processEvents();
        WindowCheck check(english);
        for (QWidget* w : all) check.Window(w);
        for (QWidget* w : all) w->hide();
        return check.problems;
    }
    std::vector<ScriptedDialogs::Message> Take() {
        auto m = dialogs.messages;
        dialogs.messages.clear();
        return m;
    }

    QTranslator english_;
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\n";
    return s;
}

TEST_F(EnglishWindows, EveryWindowIsEnglishAndEveryCaptionFits) {
    SetEnglish(true);
    const std::vector<std::string> problems = CheckAllWindows(true);
    EXPECT_TRUE(problems.empty()) << Joined(problems);
    // Spot checks that the translation is the one meant, not merely some Latin text.
    EXPECT_EQ(Control<QPushButton>("Button1")->text(), QStringLiteral("Start"));
    EXPECT_EQ(Control<QGroupBox>("GroupBox1")->title(), QStringLiteral("Mechanical"));
    EXPECT_EQ(Control<QAction>("N2")->text(), QStringLiteral("&Save data"));
    EXPECT_EQ(Form().windowTitle(), QStringLiteral("Velmora1"));
    EXPECT_EQ(Control<QAction>("Z1")->text(), QStringLiteral("&Zernike coefficients..."));
    EXPECT_EQ(Control<QAction>("MirrorField1")->text(), QStringLiteral("Mirror and &field..."));
    EXPECT_EQ(windows->mirror->findChild<QLabel*>(QStringLiteral("MirrorTermsLabel"))->text(),
              QStringLiteral("Fringe terms (650 nm, waves): Z9 0.3282"));  // 160 mm f/6.25 sphere
    const auto* zernike = windows->zernike->findChild<QTableWidget*>(QStringLiteral("ZernikeGrid"));
    EXPECT_EQ(zernike->item(3, 1)->text(), QStringLiteral("Defocus"));
    EXPECT_EQ(zernike->item(4, 1)->text(), QStringLiteral("Astigmatism 0°"));
    EXPECT_EQ(windows->analysis->findChild<QPushButton*>(QStringLiteral("CopyButton"))->text(), QStringLiteral("Copy"));
    EXPECT_TRUE(windows->analysis->TableText().contains(QStringLiteral("\nStrehl ratio\t1.000\n")))
        << windows->analysis->TableText().toStdString();
    EXPECT_EQ(Control<QAction>("T1")->text(), QStringLiteral("S&tar test"));
    EXPECT_EQ(windows->starTest->findChild<QLabel*>(QStringLiteral("IntraCaption"))->text(), QStringLiteral("Inside focus"));
    EXPECT_EQ(windows->starTest->findChild<QLabel*>(QStringLiteral("TravelLabel"))->text(),
              QStringLiteral("Focuser travel: ±1.625 mm"));
}

// The same checks on the Japanese windows: the layout they were designed for must pass them,
// or the checks themselves would be wrong.
TEST_F(EnglishWindows, TheJapaneseWindowsPassTheSameFitChecks) {
    const std::vector<std::string> problems = CheckAllWindows(false);
    EXPECT_TRUE(problems.empty()) << Joined(problems);
    EXPECT_EQ(Control<QPushButton>("Button1")->text(), QStringLiteral("計算開始"));
}

TEST_F(EnglishWindows, MessagesFromEveryLayerAreShownInEnglish) {
    SetEnglish(true);
    Start();
    // A refused run, a message of the Qt-free calculation.
    Edit(1)->setText(QStringLiteral("0"));
    Take();
    Click("Button1");
    auto m = Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, QStringLiteral("Cannot calculate with an aperture of 0 mm. Make the aperture 1 mm or more."));
    // A translated value inside a translated message: the band's name.
    Edit(1)->setText(QStringLiteral("160"));
    Edit(35)->setText(QStringLiteral("0"));
    Take();
    Click("Button1");
    m = Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, QStringLiteral("With a white light wavelength step of 0 nm the calculation never ends. "
                                        "Make the step 1 nm or more."));

    // The user filter reader's reason, itself holding a translated part and a word of the file.
    WriteAll(Dir() / "bad.uft", "a b c d e f g 2 x y 0 0.5 1 %1");
    dialogs.files.push_back(FileChoice{Path("bad.uft"), 1});
    Choose("U1");
    EXPECT_EQ(dialogs.filters.back(), QStringLiteral("User filter(*.uft)|*.uft|All files(*.*)|*.*"));
    m = Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].kind, "warning");
    EXPECT_EQ(m[0].text, QStringLiteral("Could not read the user filter bad.uft (value 2 of pair 2 \"%1\" is not a "
                                        "number). The previous filter is kept."));

    // The bitmap decoder's reason.
    WriteAll(Dir() / "plain.bmp", "not a picture");
    dialogs.files.push_back(FileChoice{Path("plain.bmp"), 1});
    Choose("I1");
    m = Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].kind, "error");
    EXPECT_EQ(m[0].text, QStringLiteral("plain.bmp cannot be read as a bitmap (not a BMP file)."));

    // The window's own message, and the save pattern's question.
    Click("RadioButton6");
    m = Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, QStringLiteral("Please load a user mask"));
    Edit(35)->setText(QStringLiteral("100"));
    for (int k = 0; k < 2; ++k) {
        dialogs.files.push_back(FileChoice{Path("set.vl2"), 1});
        Choose("N2");
    }
    EXPECT_EQ(dialogs.filters.back(), QStringLiteral("Data file(*.vl2)|*.vl2"));
    m = Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].kind, "confirm");
    EXPECT_EQ(m[0].text, QStringLiteral("set.vld already exists. Overwrite it?"));
}

TEST_F(EnglishWindows, FilesWrittenInEnglishEqualThoseWrittenInJapanese) {
    std::map<std::string, std::string> written[2];
    for (int english = 0; english < 2; ++english) {
        SetEnglish(english == 1);
        fs::remove(Dir() / "Velmora1.log");
        Start();
        // A non-factory panel, so that the files carry values a translation could disturb.
        ClickArrow(28, true);
        Click("RadioButton2");
        Click("RadioButton3");
        Edit(19)->setText(QStringLiteral("0.5"));
        dialogs.files.push_back(FileChoice{Path(english ? "en.vl2" : "ja.vl2"), 1});
        Choose("N2");
        Form().close();
        windows.reset();
        for (const char* name : {"default.vl1", "Velmora1.log"}) written[english][name] = ReadAll(Dir() / name);
        written[english]["saved"] = ReadAll(Dir() / (english ? "en.vld" : "ja.vld"));
    }
    EXPECT_TRUE(dialogs.messages.empty());
    for (const auto& [name, bytes] : written[0]) {
        EXPECT_FALSE(bytes.empty()) << name;
        EXPECT_EQ(written[1][name], bytes) << name;
    }
    EXPECT_NE(written[0]["saved"], written[0]["default.vl1"]);  // the panel really changed
}

// The language chosen from the command line and the environment; the system locale plays no part.
class LanguageChoice : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"VELMORA_LANG", "LANG", "LC_ALL"}) {
            const char* v = std::getenv(name);
            saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
        }
        ::unsetenv("VELMORA_LANG");
        ::setenv("LANG", "en_US.UTF-8", 1);
        ::setenv("LC_ALL", "en_US.UTF-8", 1);
    }
    void TearDown() override {
        for (const auto& [name, v] : saved_)
            if (v) ::setenv(name.c_str(), v->c_str(), 1);
            else ::unsetenv(name.c_str());
    }
    static Language For(std::vector<std::string> args) {
        args.insert(args.begin(), "velmora1");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        return RequestedLanguage(static_cast<int>(args.size()), argv.data());
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(LanguageChoice, JapaneseUnlessEnglishIsAskedFor) {
    EXPECT_EQ(For({}), Language::Japanese);  // an English system locale alone changes nothing
    EXPECT_EQ(For({"--lang", "en"}), Language::English);
    EXPECT_EQ(For({"--lang=EN"}), Language::English);
    EXPECT_EQ(For({"--lang", "ja"}), Language::Japanese);
    EXPECT_EQ(For({"--lang", "fr"}), Language::Japanese);  // unknown: noted on stderr, Japanese
    EXPECT_EQ(For({"--lang"}), Language::Japanese);
    ::setenv("VELMORA_LANG", "en", 1);
    EXPECT_EQ(For({}), Language::English);
    EXPECT_EQ(For({"--lang", "ja"}), Language::Japanese);  // the command line wins
    ::setenv("VELMORA_LANG", "", 1);
    EXPECT_EQ(For({}), Language::Japanese);
}

TEST_F(LanguageChoice, InstallingEnglishTranslatesTheWindowsTexts) {
    auto& app = *qobject_cast<QApplication*>(QCoreApplication::instance());
    const QString source = QStringLiteral("計算開始");
    std::string arg0 = "velmora1", arg1 = "--lang", arg2 = "ja", arg3 = "en";
    char* japanese[] = {arg0.data(), arg1.data(), arg2.data(), nullptr};
    EXPECT_EQ(InstallLanguage(app, 3, japanese), Language::Japanese);
    EXPECT_EQ(QCoreApplication::translate("velmora::TForm1", "計算開始"), source);
    char* english[] = {arg0.data(), arg1.data(), arg3.data(), nullptr};
    EXPECT_EQ(InstallLanguage(app, 3, english), Language::English);
    EXPECT_EQ(QCoreApplication::translate("velmora::TForm1", "計算開始"), QStringLiteral("Start"));
    qDeleteAll(app.findChildren<QTranslator*>(Qt::FindDirectChildrenOnly));  // a deleted translator is removed
    EXPECT_EQ(QCoreApplication::translate("velmora::TForm1", "計算開始"), source);
}

// Every text of the Linguist file is translated, keeps its %n places, and the compiled
// translation built into the program gives it.
TEST(EnglishTranslation, IsCompleteAndKeepsEveryPlace) {
    QFile file(QStringLiteral(VELMORA_TS_FILE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QTranslator english;
    ASSERT_TRUE(english.load(QStringLiteral(":/i18n/velmora1_en.qm")));
    const QRegularExpression place(QStringLiteral("%[1-9]"));
    auto places = [&](const QString& s) {
        std::multiset<QString> found;
        for (auto it = place.globalMatch(s); it.hasNext();) found.insert(it.next().captured());
        return found;
    };
    QXmlStreamReader xml(&file);
    QString context, source;
    int count = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QStringLiteral("name")) context = xml.readElementText();
        else if (xml.name() == QStringLiteral("source")) source = xml.readElementText();
        else if (xml.name() == QStringLiteral("translation")) {
            const bool unfinished = xml.attributes().value(QStringLiteral("type")) == QStringLiteral("unfinished");
            const QString text = xml.readElementText();
            ++count;
            EXPECT_FALSE(unfinished || text.isEmpty()) << source.toStdString();
            EXPECT_FALSE(HasJapanese(text)) << text.toStdString();
            EXPECT_EQ(places(source), places(text)) << source.toStdString() << " -> " << text.toStdString();
            EXPECT_EQ(english.translate(context.toUtf8().constData(), source.toUtf8().constData()), text)
                << context.toStdString() << ": " << source.toStdString();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(count, 100);
}

}  // namespace
}  // namespace velmora::testing
