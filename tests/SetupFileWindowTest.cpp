// The whole set-up saved and loaded through the file menu: the panel, the coefficients, the
// brightness, the user filter and the wavelength table come back as they were, in the object
// the batch command's --params reads; a file that is not such an object changes nothing.
#include <QScrollBar>
#include <nlohmann/json.hpp>

#include "WindowTestSupport.h"
#include "files/RunParameters.h"
#include "panels/ZernikeWindow.h"
#include "panels/Abberation.h"
#include "viewers/Psf1.h"

namespace velmora::testing {
namespace {

class SetupFile : public WindowTest {
protected:
    void Answer(const std::string& name) { dialogs.files.push_back({QString::fromStdString((Dir() / name).string()), 1}); }
    void Save(const std::string& name) {
        Answer(name);
        Choose("SetupSave1");
    }
    void Load(const std::string& name) {
        Answer(name);
        Choose("SetupLoad1");
    }
    void Click(const char* name) { QTest::mouseClick(Control<QAbstractButton>(name), Qt::LeftButton); }
    int Brightness() { return windows->psf->BrightnessLevel(); }
    // Everything the set-up holds, as the window holds it.
    struct Held {
        SimulationParameters panel;
        int brightness;
        std::vector<WavelengthDependenceRow> table;
    };
    Held Now() { return {Form().Snapshot(), Brightness(), windows->abbr->Rows()}; }
    static void ExpectSame(const Held& a, const Held& b) {
        EXPECT_EQ(a.panel, b.panel);
        EXPECT_EQ(a.brightness, b.brightness);
        ASSERT_EQ(a.table.size(), b.table.size());
        for (size_t k = 0; k < a.table.size(); ++k) {
            EXPECT_EQ(a.table[k].spherical, b.table[k].spherical) << k;
            EXPECT_EQ(a.table[k].focus, b.table[k].focus) << k;
        }
    }
};

// A set-up unlike the factory one in every part the file holds, saved, replaced by the factory
// set-up, loaded: the panel, the brightness, the filter and the table are back, and a run gives
// the picture it gave before.
TEST_F(SetupFile, ASavedSetUpComesBackWholeAndRunsTheSame) {
    Start();
    WriteAll(Dir() / "rings.uft", thirdsFilterFile);
    Answer("rings.uft");
    Choose("U1");
    ClickArrow(3, true);    // secondary
    ClickArrow(28, true);   // a coefficient: the classic data file has no place for these
    ClickArrow(25, false);
    windows->psf->findChild<QScrollBar*>(QStringLiteral("ScrollBar1"))->setValue(17);
    Click("CheckBox5");     // the wavelength table, with a value in its second row
    windows->abbr->SetRows({"600", "700"}, {{"0.00", "0.00"}, {"0.25", "-1.5"}});
    ASSERT_TRUE(Form().Snapshot().useWavelengthDependence);
    Choose("Z1");  // and terms in the Zernike window
    const ZernikeSet terms{ZernikeOrdering::Ansi, {{5, 0.04}, {12, -0.03}}};
    windows->zernike->SetCoefficients(terms);
    const Held before = Now();
    QTest::mouseClick(Control<QAbstractButton>("Button1"), Qt::LeftButton);
    const Picture24 picture = windows->psf->Image3();
    ASSERT_TRUE(dialogs.messages.empty());

    Save("mine");
    const std::string text = ReadAll(Dir() / "mine.json");
    // The batch command's reader takes it as it is: the same object the window holds.
    const RunParameters read = RunParametersFromDocument(text);
    EXPECT_EQ(read, Form().CurrentSetup());
    EXPECT_EQ(read.userFilterFile, (Dir() / "rings.uft").string());
    ASSERT_TRUE(read.wavelengthTable);
    EXPECT_EQ(read.wavelengthTable->wavelengths, (std::vector<std::string>{"600", "700"}));
    EXPECT_EQ(read.zernike, terms);

    // The factory set-up over it: every value back to the factory's.
    WriteAll(Dir() / "factory.json", "{}");
    Load("factory.json");
    EXPECT_EQ(Form().Snapshot(), SimulationParameters{});
    EXPECT_EQ(Brightness(), 5);
    EXPECT_TRUE(windows->zernike->Wavefront().Empty()) << "no terms in the factory set-up";

    Load("mine.json");
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.back().text.toStdString();
    ExpectSame(Now(), before);
    EXPECT_EQ(windows->zernike->Set(), terms);
    QTest::mouseClick(Control<QAbstractButton>("Button1"), Qt::LeftButton);
    EXPECT_TRUE(SamePicture(windows->psf->Image3(), picture));
}

// What is not a set-up is refused with a message that names the file and the fault, and the
// window keeps every value it had.
TEST_F(SetupFile, AFileThatIsNoSetUpChangesNothing) {
    Start();
    ClickArrow(28, true);
    const Held before = Now();
    const struct {
        const char* name;
        std::string text;
        const char* said;  // a piece of the message
    } cases[] = {
        {"broken.json", "{\"panel\": ", "broken.json"},
        {"unknown.json", "{\"aperture_mmm\": 100}", "aperture_mmm"},
        {"wrong.json", "{\"brightness\": \"bright\"}", "brightness"},
        {"folder.json", "", "folder.json"},
    };
    for (const auto& c : cases) {
        if (std::string(c.name) == "folder.json") std::filesystem::create_directory(Dir() / c.name);
        else WriteAll(Dir() / c.name, c.text);
        dialogs.messages.clear();
        Load(c.name);
        ASSERT_EQ(dialogs.messages.size(), 1u) << c.name;
        EXPECT_EQ(dialogs.messages[0].kind, "warning");
        EXPECT_TRUE(dialogs.messages[0].text.contains(QString::fromLatin1(c.said))) << dialogs.messages[0].text.toStdString();
        ExpectSame(Now(), before);
    }
}

// A report of the batch command holds its coefficients in waves, which need not lie on the
// panel's steps (0.1 wave for focus, 0.01 for the others): they go to the nearest step, and the
// window says so.
TEST_F(SetupFile, CoefficientsOffThePanelsStepsAreRoundedAndSaid) {
    Start();
    RunParameters report;
    report.aberrations = Aberrations{};
    report.aberrations->comaX = 0.13;
    report.aberrations->focus = -0.4;
    WriteAll(Dir() / "on.json", RunParametersToJson(report).dump());
    Load("on.json");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(UpDown(28)->Position(), 13);
    EXPECT_EQ(UpDown(24)->Position(), -4);

    report.aberrations->comaX = 0.1349;
    WriteAll(Dir() / "off.json", RunParametersToJson(report).dump());
    Load("off.json");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(UpDown(28)->Position(), 13);
}

}  // namespace
}  // namespace velmora::testing
