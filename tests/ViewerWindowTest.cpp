// The result viewers driven as a user drives them after a calculation: scroll bars, buttons,
// the spin, the channel buttons, the timer, and the exports answered through the dialogs.
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <fitsio.h>

#include "WindowTestSupport.h"
#include "core/IntensityCode.h"
#include "core/NumberText.h"
#include "files/Bmp.h"
#include "files/Jpeg.h"
#include "viewers/Psf1.h"
#include "viewers/Psf1dd.h"
#include "viewers/Psf3dd.h"
#include "viewers/ResultRenderers.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;

const QString bmpQuestion = QStringLiteral("ファイルがすでに存在しています。　上書きしますか？");

class Viewers : public WindowTest {
protected:
    // A monochrome calculation with some coma, so that rows and columns differ.
    void Calculate(bool colour = false) {
        if (colour) QTest::mouseClick(Control<QRadioButton>("RadioButton2"), Qt::LeftButton);
        for (int k = 0; k < 3; ++k) ClickArrow(28, true);
        QTest::mouseClick(Control<QPushButton>("Button1"), Qt::LeftButton);
        ASSERT_TRUE(dialogs.messages.empty());
    }
    TPSF& Psf() { return *windows->psf; }
    TPSF1D& Psf1D() { return *windows->psf1d; }
    TPSF3D& Psf3D() { return *windows->psf3d; }
    template <typename T>
    T* In(QWidget& window, const char* name) {
        T* w = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void Press(QWidget& window, const char* name) { QTest::mouseClick(In<QPushButton>(window, name), Qt::LeftButton); }
    void Trigger(QWidget& window, const char* action) { In<QAction>(window, action)->trigger(); }
    QString Text(QWidget& window, const char* label) { return In<QLabel>(window, label)->text(); }
    std::string Path(const char* name) { return (Dir() / name).string(); }
    void Answer(const char* name, int filterIndex) {
        dialogs.files.push_back({QString::fromStdString(Path(name)), filterIndex});
    }
    Picture24 ReadBmp(const char* name) {
        Picture24 p;
        std::string problem;
        EXPECT_TRUE(DecodeBmp(ReadAll(Dir() / name), p, problem)) << name << problem;
        return p;
    }
};

TEST_F(Viewers, BrightnessBarRedrawsInTheModeThePanelShowsNow) {
    Start();
    Calculate();
    QScrollBar* bar = In<QScrollBar>(Psf(), "ScrollBar1");
    bar->setValue(1);
    EXPECT_EQ(Text(Psf(), "Label1"), "LEVEL = 1");
    const Picture24& shown = Psf().Image1()->Picture();
    EXPECT_TRUE(SamePicture(shown, DrawBrightness(Psf().Image2(), Psf().Image3(), Psf().Image4(), 1, false)));
    int top = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) top = std::max<int>(top, shown.Green(x, y));
    EXPECT_EQ(top, 99) << "the peak at level 1";

    // Colour chosen after a monochrome run: green from the monochrome image, red and blue black.
    QTest::mouseClick(Control<QRadioButton>("RadioButton2"), Qt::LeftButton);
    bar->setValue(5);
    EXPECT_EQ(Text(Psf(), "Label1"), "LEVEL = 5");
    const Picture24& colour = Psf().Image1()->Picture();
    EXPECT_EQ(colour.Green(128, 128), 255);
    EXPECT_EQ(colour.Red(128, 128), 0);
    EXPECT_EQ(colour.Blue(128, 128), 0);
    EXPECT_TRUE(SamePicture(colour, DrawBrightness(Psf().Image2(), Psf().Image3(), Psf().Image4(), 5, true)));

    // A colour run fills all three bands; the redraw then takes each from its own image.
    QTest::mouseClick(Control<QPushButton>("Button1"), Qt::LeftButton);
    bar->setValue(4);
    EXPECT_TRUE(SamePicture(Psf().Image1()->Picture(),
                            DrawBrightness(Psf().Image2(), Psf().Image3(), Psf().Image4(), 4, true)));
    EXPECT_GT(Psf().Image1()->Picture().Red(128, 128), 0);
    EXPECT_GT(Psf().Image1()->Picture().Blue(128, 128), 0);
}

TEST_F(Viewers, PictureExportFormatByFilterEntryAndTheTwoQuestions) {
    Start();
    Calculate();
    const Picture24 picture = Psf().Image1()->Picture();

    Answer("a.jpg", 1);  // the BMP entry wins over the typed extension
    Trigger(Psf(), "Save1");
    EXPECT_EQ(dialogs.filters.back(), "BMP(*.bmp)|*.bmp|JPEG(*.jpg)|*.jpg");
    EXPECT_FALSE(fs::exists(Dir() / "a.jpg"));
    EXPECT_TRUE(SamePicture(ReadBmp("a.bmp"), picture));
    EXPECT_TRUE(dialogs.messages.empty()) << "nothing to ask about";

    Answer("b.bmp", 2);
    Trigger(Psf(), "Save1");
    EXPECT_EQ(ReadAll(Dir() / "b.jpg"), EncodeJpeg(picture, 70));

    // Existing targets: BMP asks its own question, JPEG names the file; No writes nothing.
    WriteAll(Dir() / "a.bmp", "old");
    Answer("a.bmp", 1);
    Trigger(Psf(), "Save1");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, "confirm");
    EXPECT_EQ(dialogs.messages[0].text, bmpQuestion);
    EXPECT_EQ(ReadAll(Dir() / "a.bmp"), "old");
    dialogs.messages.clear();

    WriteAll(Dir() / "b.jpg", "old");
    Answer("b", 2);
    dialogs.answers.push_back(true);
    Trigger(Psf(), "Save1");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("b.jpg が既に存在しています。　上書きしますか？"));
    EXPECT_EQ(ReadAll(Dir() / "b.jpg"), EncodeJpeg(picture, 70));
    dialogs.messages.clear();

    // A file at the chosen name becomes the target first, and is then asked about.
    WriteAll(Dir() / "c.png", "mine");
    Answer("c.png", 1);
    Trigger(Psf(), "Save1");
    EXPECT_FALSE(fs::exists(Dir() / "c.png"));
    EXPECT_EQ(ReadAll(Dir() / "c.bmp"), "mine");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, bmpQuestion);
    dialogs.messages.clear();

    // Cancel does nothing; an unwritable place says why and leaves no file.
    dialogs.files.push_back({QString(), 1});
    Trigger(Psf(), "Save1");
    EXPECT_TRUE(dialogs.messages.empty());
    Answer("missing/d.bmp", 1);
    Trigger(Psf(), "Save1");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, "error");
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("missing/d.bmp")));
    EXPECT_FALSE(fs::exists(Dir() / "missing"));
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(Dir())) ++files;
    EXPECT_EQ(files, 4) << "a.bmp, b.jpg, c.bmp and default.vl1, no leftovers";
}

TEST_F(Viewers, FitsSaveNeedsAResultAndFollowsTheSavePattern) {
    Start();
    Trigger(Psf(), "FitsSave1");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, "information");
    EXPECT_TRUE(dialogs.filters.empty()) << "nothing to save, so no dialog";
    dialogs.messages.clear();

    Calculate();
    Answer("a.txt", 1);
    Trigger(Psf(), "FitsSave1");
    EXPECT_EQ(dialogs.filters.back(), "FITS(*.fits)|*.fits");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(fs::exists(Dir() / "a.txt"));
    // Read back by CFITSIO: the grid with NAXIS1 along the picture's x, and in its display window
    // the values the intensity image codes.
    fitsfile* f = nullptr;
    int status = 0;
    ASSERT_EQ(fits_open_file(&f, Path("a.fits").c_str(), READONLY, &status), 0);
    long axes[2] = {0, 0};
    fits_get_img_size(f, 2, axes, &status);
    EXPECT_EQ(axes[0], 1024);
    EXPECT_EQ(axes[1], 1024);
    std::vector<double> grid(1024 * 1024);
    long first[2] = {1, 1};
    fits_read_pix(f, TDOUBLE, first, static_cast<LONGLONG>(grid.size()), nullptr, grid.data(), nullptr, &status);
    fits_close_file(f, &status);
    ASSERT_EQ(status, 0);
    int differing = 0;
    const Picture24& coded = Psf().Image3();
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const Rgb c = EncodeIntensity(grid[static_cast<size_t>(y + 384) * 1024 + x + 384]);
            differing += c.r != coded.Red(x, y) || c.g != coded.Green(x, y) || c.b != coded.Blue(x, y);
        }
    EXPECT_EQ(differing, 0);

    // An existing target is asked about by name; No leaves it.
    WriteAll(Dir() / "a.fits", "old");
    Answer("a", 1);
    Trigger(Psf(), "FitsSave1");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("a.fits が既に存在しています。　上書きしますか？"));
    EXPECT_EQ(ReadAll(Dir() / "a.fits"), "old");
    dialogs.messages.clear();

    Answer("missing/b.fits", 1);
    Trigger(Psf(), "FitsSave1");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, "error");
    EXPECT_FALSE(fs::exists(Dir() / "missing"));
}

TEST_F(Viewers, ProfileViewerFollowsItsControlsAndKeepsTheCutInsideTheImage) {
    Start();
    TPSF1D& v = Psf1D();
    EXPECT_EQ(v.CutPosition(), 127);
    EXPECT_EQ(Text(v, "Label5"), "X = 127");
    EXPECT_EQ(Text(v, "Label1"), QStringLiteral("倍率 = 1"));
    EXPECT_EQ(Text(v, "Label7"), "1.00");
    EXPECT_EQ(Text(v, "Label2"), "0.00");
    EXPECT_EQ(Text(v, "Label8"), "-8.0");
    EXPECT_EQ(Text(v, "Label16"), "0.0");
    EXPECT_EQ(In<QLabel>(v, "Label16")->x(), 570);
    EXPECT_EQ(In<QLabel>(v, "Label6")->y(), 90);
    const Picture24 before = v.Image1()->Picture();

    Calculate();
    Choose("N11");
    EXPECT_TRUE(v.isVisible());
    EXPECT_TRUE(SamePicture(v.Image3()->Picture(), StretchPicture(Psf().Image1()->Picture(), 127, 127)));
    EXPECT_TRUE(SamePicture(v.Image1()->Picture(), before)) << "the plots wait for a control";

    auto expectPlots = [&](int x, int k, bool colour, ProfileChannel channel) {
        const ProfilePlots p = DrawProfiles({&Psf().Image2(), &Psf().Image3(), &Psf().Image4()}, x, k, colour, channel);
        EXPECT_TRUE(SamePicture(v.Image1()->Picture(), p.linear)) << "x " << x << " k " << k;
        EXPECT_TRUE(SamePicture(v.Image2()->Picture(), p.logarithmic)) << "x " << x << " k " << k;
        EXPECT_TRUE(SamePicture(v.Image3()->Picture(), DrawThumbnail(Psf().Image1()->Picture(), x)));
    };
    Press(v, "BitBtn1");
    EXPECT_EQ(v.CutPosition(), 128);
    EXPECT_EQ(Text(v, "Label5"), "X = 128");
    expectPlots(128, 1, false, ProfileChannel::All);
    Press(v, "Button1");
    Press(v, "BitBtn4");
    EXPECT_EQ(v.CutPosition(), 123);
    for (int k = 0; k < 40; ++k) Press(v, "Button1");
    EXPECT_EQ(v.CutPosition(), 0) << "stops at the edge";
    for (int k = 0; k < 70; ++k) Press(v, "Button2");
    EXPECT_EQ(v.CutPosition(), 255);
    Press(v, "BitBtn1");
    EXPECT_EQ(v.CutPosition(), 255);
    for (int k = 0; k < 32; ++k) Press(v, "Button1");
    EXPECT_EQ(v.CutPosition(), 127);

    QTest::mouseClick(In<SpinButton>(v, "UpDown1")->findChild<QToolButton*>(QStringLiteral("up")), Qt::LeftButton);
    EXPECT_EQ(Text(v, "Label1"), "k = 2");
    std::vector<QString> labels;
    for (const char* name : {"Label7", "Label6", "Label4", "Label3", "Label2"}) labels.push_back(Text(v, name));
    EXPECT_EQ(labels, (std::vector<QString>{"0.50", "0.38", "0.25", "0.13", "0.00"}));
    expectPlots(127, 2, false, ProfileChannel::All);

    // Channel buttons count in colour mode only.
    QTest::mouseClick(In<QRadioButton>(v, "RadioButton3"), Qt::LeftButton);
    expectPlots(127, 2, false, ProfileChannel::All);
    QTest::mouseClick(Control<QRadioButton>("RadioButton2"), Qt::LeftButton);
    QTest::mouseClick(Control<QPushButton>("Button1"), Qt::LeftButton);
    QTest::mouseClick(In<QRadioButton>(v, "RadioButton4"), Qt::LeftButton);
    expectPlots(127, 2, true, ProfileChannel::Blue);
    QTest::mouseClick(In<QRadioButton>(v, "RadioButton1"), Qt::LeftButton);
    expectPlots(127, 2, true, ProfileChannel::All);
}

TEST_F(Viewers, ProfileExportWritesThePlottedColumn) {
    Start();
    Calculate();
    TPSF1D& v = Psf1D();
    for (int k = 0; k < 3; ++k) Press(v, "BitBtn1");  // X = 130, off the axis of the coma
    Answer("profile.dat", 1);
    Trigger(v, "Save1");
    EXPECT_EQ(dialogs.filters.back(), QStringLiteral("テキストデータ|*.txt"));
    const std::string text = ReadAll(Dir() / "profile.txt");
    EXPECT_EQ(text, ProfileText(Psf().Image3(), 130));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 256);
    // Coma along x: column 130 and scan line 130 hold different numbers.
    std::string row;
    for (int j = 0; j < 256; ++j)
        row += std::to_string(j) + " " + FormatStream(DecodedIntensity(Psf().Image3(), j, 130)) + "\r\n";
    EXPECT_NE(text, row);

    // Another filter entry or a No writes nothing.
    Answer("other.txt", 2);
    Trigger(v, "Save1");
    EXPECT_FALSE(fs::exists(Dir() / "other.txt"));
    Press(v, "BitBtn1");
    Answer("profile.txt", 1);
    Trigger(v, "Save1");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("profile.txt が既に存在しています。　上書きしますか？"));
    EXPECT_EQ(ReadAll(Dir() / "profile.txt"), text);
    dialogs.answers.push_back(true);
    Answer("profile.txt", 1);
    Trigger(v, "Save1");
    EXPECT_EQ(ReadAll(Dir() / "profile.txt"), ProfileText(Psf().Image3(), 131));

    Press(v, "BitBtn5");
    EXPECT_FALSE(v.isVisible());
}

TEST_F(Viewers, ReliefOpensAtThirtyTurnsByHandAndByTimer) {
    Start();
    Calculate();
    TPSF3D& v = Psf3D();
    // The timer ticks every 100 ms all along; here the test gives the ticks itself.
    EXPECT_TRUE(v.Timer1()->isActive());
    EXPECT_EQ(v.Timer1()->interval(), 100);
    v.Timer1()->stop();
    QScrollBar* bar = In<QScrollBar>(v, "ScrollBar1");
    bar->setValue(100);
    EXPECT_EQ(Text(v, "Label1"), QStringLiteral("θ = 100°"));
    EXPECT_TRUE(SamePicture(v.Image1()->Picture(), DrawRelief(Psf().Image3(), 100)));

    Choose("N7");
    EXPECT_TRUE(v.isVisible());
    EXPECT_EQ(v.Angle(), 30);
    EXPECT_EQ(Text(v, "Label1"), QStringLiteral("θ = 30°"));
    EXPECT_TRUE(SamePicture(v.Image1()->Picture(), DrawRelief(Psf().Image3(), 30)));

    v.Timer1Timer();
    EXPECT_EQ(v.Angle(), 30) << "stopped";
    Press(v, "Button2");
    v.Timer1Timer();
    v.Timer1Timer();
    EXPECT_EQ(v.Angle(), 40);
    EXPECT_TRUE(SamePicture(v.Image1()->Picture(), DrawRelief(Psf().Image3(), 40)));
    bar->setValue(356);
    v.Timer1Timer();
    EXPECT_EQ(v.Angle(), 0);
    EXPECT_EQ(Text(v, "Label1"), QStringLiteral("θ = 0°"));
    Press(v, "Button1");
    v.Timer1Timer();
    EXPECT_EQ(v.Angle(), 1);
    Press(v, "Button3");
    v.Timer1Timer();
    EXPECT_EQ(v.Angle(), 1);

    // Closing stops the animation; the next opening starts again at 30.
    Press(v, "Button2");
    Press(v, "BitBtn1");
    EXPECT_FALSE(v.isVisible());
    EXPECT_EQ(v.AnimationMode(), 0);
    v.Timer1Timer();
    EXPECT_EQ(v.Angle(), 1);
    Choose("N7");
    Press(v, "Button1");
    Trigger(v, "Close1");
    EXPECT_FALSE(v.isVisible());
    EXPECT_EQ(v.AnimationMode(), 0);
}

TEST_F(Viewers, ReliefExportIsTheWholePicture) {
    Start();
    Calculate();
    Choose("N7");
    Answer("relief.bmp", 1);
    Trigger(Psf3D(), "S1");
    const Picture24 saved = ReadBmp("relief.bmp");
    EXPECT_EQ(saved.width, 445);
    EXPECT_EQ(saved.height, 400);
    EXPECT_TRUE(SamePicture(saved, Psf3D().Image1()->Picture()));
    EXPECT_EQ(saved.Blue(0, 0), 128) << "navy background included";
    WriteAll(Dir() / "relief.jpg", "x");
    Answer("relief.bmp", 2);
    Trigger(Psf3D(), "S1");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("relief.jpg が既に存在しています。　上書きしますか？"));
    EXPECT_EQ(ReadAll(Dir() / "relief.jpg"), "x");
}

}  // namespace
}  // namespace velmora::testing
