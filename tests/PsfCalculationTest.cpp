// The calculation as the window and the batch command run it: the default run, the straightforward
// run bit for bit, the wavelength dependence table, refused runs and results that hold no NaN.
#include "core/PsfCalculation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/IntensityCode.h"
#include "core/NumberText.h"
#include "core/PupilField.h"
#include "pupil/PupilModel.h"
#include "PsfCalculationTestSupport.h"
#include "ReferenceAlgorithms.h"
#include "TestSupport.h"

namespace velmora {
namespace {

using testing::SamePicture;

TEST(PsfCalculation, DefaultMonochromeRun) {
    Calculation c;
    CalculationRequest rq;
    std::vector<int> lambdas;
    std::vector<int> bar;
    CalculationProgress progress;
    progress.wavelength = [&](int index, int count, int lambda) {
        EXPECT_EQ(index, static_cast<int>(lambdas.size()));
        EXPECT_EQ(count, 2);
        lambdas.push_back(lambda);
    };
    progress.bar = [&](int p) { bar.push_back(p); };
    CalculationDerived d = c.Run(rq, progress);

    EXPECT_EQ(lambdas, (std::vector<int>{600, 700}));
    EXPECT_EQ(d.pupilSamples, 125) << "the last wavelength's values stay";
    EXPECT_EQ(d.focalRatio, 6.25);
    EXPECT_EQ(d.apertureMm, 160);
    ASSERT_FALSE(bar.empty());
    EXPECT_EQ(bar.back(), 0) << "the bar is left at 0";
    for (int p : bar) {
        EXPECT_GE(p, 0);
        EXPECT_LE(p, 100);
    }

    const Picture24& code = c.results.image3;
    ASSERT_EQ(code.width, 256);
    EXPECT_EQ(code.Red(128, 128), 255);
    EXPECT_EQ(code.Green(128, 128), 0);
    EXPECT_EQ(code.Blue(128, 128), 0);
    // Symmetric pupil, symmetric PSF about the centre pixel.
    EXPECT_EQ(Calculation::Intensity(code, 128 + 9, 128), Calculation::Intensity(code, 128 - 9, 128));
    EXPECT_EQ(Calculation::Intensity(code, 128, 128 + 17), Calculation::Intensity(code, 128 + 17, 128));

    // Display at level 5: white wherever I >= 0.2601, grey elsewhere.
    const Picture24& display = c.results.display;
    EXPECT_EQ(display.Red(128, 128), 255);
    for (int x = 100; x < 156; ++x) {
        const double i = Calculation::Intensity(code, x, 128);
        const int v = display.Red(x, 128);
        if (i >= 0.2602) {
            EXPECT_EQ(v, 255) << "x=" << x;
        } else if (i < 0.26) {
            EXPECT_NEAR(v, 500 * std::sqrt(i), 1.01) << "x=" << x;
        }
        EXPECT_EQ(display.Green(x, 128), v);
    }
    // The pupil picture of the last wavelength (Np = 125 from 512 - 62): the 25-sample shadow
    // of the secondary at the centre, open at 40 samples out, dark beyond the rim.
    EXPECT_EQ(c.results.pupil.Red(128, 128), 0);
    EXPECT_EQ(c.results.pupil.Red(128 + 45, 128), 255);
    EXPECT_EQ(c.results.pupil.Red(128 + 70, 128), 0);
    EXPECT_TRUE(c.results.image2.empty()) << "colour images untouched in monochrome";
}

TEST(PsfCalculation, LevelOneNeverSaturates) {
    Calculation c;
    CalculationRequest rq;
    rq.brightnessLevel = 1;
    c.Run(rq);
    EXPECT_EQ(c.results.display.Red(128, 128), 100);
}

// The whole run, step by step with the straightforward pieces, bit for bit.
TEST(PsfCalculation, EqualsTheStraightforwardRun) {
    CalculationRequest rq;
    rq.params.spider1 = rq.params.spider3 = true;
    rq.params.angle3 = 200;
    rq.params.densityProfile = DensityProfileKind::Gaussian;
    rq.params.comaX = 20;
    rq.params.astigmatismS = -15;
    rq.params.focus = 3;
    rq.params.whiteBand = {550, 650, 50};
    Calculation c;
    c.Run(rq);

    RealMatrixHolder acc, re, im, grid;
    acc.Allocate(gridSize, gridSize);
    re.Allocate(gridSize, gridSize);
    im.Allocate(gridSize, gridSize);
    grid.Allocate(gridSize, gridSize);
    FftTables tables;
    ASSERT_EQ(tables.Create(gridSize), 0);
    PupilInputs in;
    in.params = &rq.params;
    const Aberrations a = AberrationsInWaves(rq.params);
    for (int lambda = 550; lambda <= 650; lambda += 50) {
        const int p = BuildPupil(in, lambda, grid.get());
        reference::SamplePhase(p, a, grid.get(), re.get(), im.get());
        reference::Fft2D(tables, re.get(), im.get());
        const double w = (lambda * (1.0 / 550)) * (lambda * (1.0 / 550));
        for (int i = 0; i < gridSize; ++i)
            for (int j = 0; j < gridSize; ++j) acc[i][j] += (re[i][j] * re[i][j] + im[i][j] * im[i][j]) * w;
    }
    const double m = MatrixMaximum(gridSize, gridSize, acc.get());
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j) acc[i][j] = acc[i][j] / m * 1.0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double v = acc[x + 384][y + 384];
            const Rgb code = EncodeIntensity(v);
            ASSERT_EQ(c.results.image3.Red(x, y), code.r) << x << "," << y;
            ASSERT_EQ(c.results.image3.Green(x, y), code.g) << x << "," << y;
            ASSERT_EQ(c.results.image3.Blue(x, y), code.b) << x << "," << y;
            const int shown = std::min(255, static_cast<int>(500 * std::sqrt(v)));
            ASSERT_EQ(c.results.display.Red(x, y), shown) << x << "," << y;
        }
}

TEST(PsfCalculation, FastPhaseSamplingEqualsTheWholeGridLoop) {
    SimulationParameters p;
    RealMatrixHolder grid, re1, im1, re2, im2;
    for (auto* m : {&grid, &re1, &im1, &re2, &im2}) m->Allocate(gridSize, gridSize);
    PupilInputs in;
    in.params = &p;
    Aberrations a;
    a.spherical = 0.3;
    a.comaY = -0.7;
    a.tiltX = 0.2;
    a.astigmatismM = 0.45;
    for (int lambda : {400, 550, 613}) {  // even and odd Np
        const int np = BuildPupil(in, lambda, grid.get());
        re1[3][3] = 9;  // stale content from an earlier wavelength
        SamplePhase(np, a, grid.get(), re1.get(), im1.get());
        reference::SamplePhase(np, a, grid.get(), re2.get(), im2.get());
        for (int i = 0; i < gridSize; ++i) {
            ASSERT_EQ(std::memcmp(re1[i], re2[i], sizeof(double) * gridSize), 0) << "row " << i;
            ASSERT_EQ(std::memcmp(im1[i], im2[i], sizeof(double) * gridSize), 0) << "row " << i;
        }
    }
}

// The field a run transforms, made through the public entry (pupil, field, transform in two
// steps), gives the run's intensity to the bit: one wavelength's accumulator over its peak is the
// run's normalised result. Another pupil field sharing its tables and sampled with the same
// aberrations over the same pupil gives the same bits; the facts are the run's.
TEST(PupilField, GivesTheRunsIntensityToTheBit) {
    CalculationRequest rq;
    rq.params.whiteBand = {613, 613, 10};  // an odd pupil sampling
    rq.params.spherical = 30;
    rq.params.comaY = -20;
    PupilInputs in;
    in.params = &rq.params;
    const PupilBuilder build = [&](int lambda, RealMatrix g, const ProgressFn& bar) { BuildPupil(in, lambda, g, bar); };
    RealMatrixHolder runGrid;
    ASSERT_EQ(runGrid.Allocate(gridSize, gridSize), 0);
    const PsfResult run = RunPsfCalculation(rq, build, runGrid.get());
    const BandResult& band = run.full->bands.at(0);
    const Aberrations a = band.wavelengths.at(0).aberrations;
    const double weight = band.wavelengths[0].weight;  // the monochrome run's (613 / 550)^2

    PupilField field;
    PupilField twin(&field);
    RealGrid pupil;
    CalculationDerived derived;
    const WavelengthFacts facts = field.Build(rq, 613, a, weight, build, pupil, derived);
    twin.Sample(derived.pupilSamples, a, pupil);
    EXPECT_EQ(facts.pupilSamples, band.wavelengths[0].pupilSamples);
    EXPECT_EQ(facts.s1, band.wavelengths[0].s1);
    EXPECT_EQ(facts.rmsWaves, band.wavelengths[0].rmsWaves);
    for (PupilField* f : {&field, &twin}) {
        RealGrid acc(gridSize, gridSize);
        f->TransformColumns();
        f->AddRowsIntensity(acc.Rows(), weight, 0, gridSize / 2);
        f->AddRowsIntensity(acc.Rows(), weight, gridSize / 2, gridSize);
        const double peak = *std::max_element(acc.begin(), acc.end());
        for (double& v : acc) v = v / peak * band.normalisedPeak;
        EXPECT_TRUE(testing::SameBits(acc, band.intensity));
    }
}

TEST(PsfCalculation, EmptyWhiteBandIsBlack) {
    Calculation c;
    CalculationRequest rq;
    rq.params.whiteBand = {700, 600, 100};
    c.Run(rq);
    EXPECT_EQ(c.results.image3.Red(128, 128), 0);
    EXPECT_EQ(c.results.display.Red(128, 128), 0);
}

TEST(PsfCalculation, WavelengthDependenceTakesOneRowPerWavelength) {
    Calculation withTable, withPanel;
    CalculationRequest rq;
    rq.params.useWavelengthDependence = true;
    rq.params.comaX = 10;  // the other coefficients keep their panel values
    withTable.tableCells = {{"0.1", "0.5"}, {"0.1", "0.5"}, {"garbage", "beyond the band"}};
    withTable.Run(rq);
    CalculationRequest same = rq;
    same.params.useWavelengthDependence = false;
    same.aberrations = AberrationsInWaves(rq.params);
    same.aberrations->spherical = 0.1;
    same.aberrations->focus = 0.5;
    withPanel.Run(same);
    EXPECT_TRUE(SamePicture(withTable.results.image3, withPanel.results.image3));

    // Row 1 belongs to the second wavelength only.
    withTable.tableCells = {{"0.1", "0.5"}, {"0", "0"}};
    withTable.Run(rq);
    EXPECT_FALSE(SamePicture(withTable.results.image3, withPanel.results.image3));

    // Colour runs ignore the table.
    rq.params.colorMode = ColorMode::Colour;
    withTable.tableCells.clear();
    EXPECT_NO_THROW(withTable.Run(rq));
}

TEST(PsfCalculation, RefusedRunsLeaveTheResultsAsTheyWere) {
    Calculation c;
    c.Run(CalculationRequest{});
    const PsfResultImages before = c.results;

    auto refused = [&](CalculationRequest rq, const char* needle) {
        try {
            c.Run(rq);
            ADD_FAILURE() << "not refused: " << needle;
        } catch (const CalculationError& e) {
            EXPECT_NE(std::string(e.what()).find(needle), std::string::npos) << e.what();
        }
        EXPECT_TRUE(SamePicture(c.results.display, before.display));
        EXPECT_TRUE(SamePicture(c.results.image3, before.image3));
        EXPECT_TRUE(SamePicture(c.results.pupil, before.pupil));
    };
    CalculationRequest rq;
    rq.params.aperture = 0;
    refused(rq, "主鏡口径が 0 mm");
    rq = {};
    rq.params.aperture = -5;
    refused(rq, "-5 mm");
    rq = {};
    rq.params.focalLength = 0;
    refused(rq, "焦点距離が 0 mm");
    rq = {};
    rq.params.whiteBand.step = 0;
    refused(rq, "ステップが 0 nm");
    rq = {};
    rq.params.colorMode = ColorMode::Colour;
    rq.params.greenBand.step = -10;
    refused(rq, "緑の波長ステップ");
    rq = {};
    rq.params.aperture = 300;
    rq.params.focalLength = 100;  // Np = 2750 at 600 nm
    refused(rq, "2750");
    rq = {};
    rq.params.aperture = 1;
    rq.params.focalLength = 30000;  // Np = 0
    refused(rq, "サンプル数が 0");
    rq = {};
    rq.params.whiteBand = {0, 100, 100};
    refused(rq, "波長 0 nm");
    rq = {};
    rq.brightnessLevel = 0;
    refused(rq, "明るさ");
    rq = {};
    rq.params.useWavelengthDependence = true;
    c.tableCells = {{"0", "0"}};
    refused(rq, "1 行しかありません");
    c.tableCells = {{"0", "0"}, {"0.1", "abc"}};
    refused(rq, "2 行目: 'abc' is not a valid floating point value");
    c.tableCells = {{"1e308", "1e308"}, {"1e308", "1e308"}};
    refused(rq, "1 行目の球面収差 1e308 は範囲外です");
}

TEST(PsfCalculation, WavelengthTableValuesKeepThePanelsRanges) {
    // Spherical from -1 to 1 and focus from -10 to 10 waves, as the panel and the command line
    // take them; the first cell outside is named by its row and column, as it was written.
    const struct {
        std::vector<WavelengthDependenceRow> rows;
        const char* refusal;  // nullptr: converted
    } cases[] = {
        {{{"1", "10"}, {"-1", "-10"}}, nullptr},
        {{{"0.999", "9.99"}, {"-0", "0"}}, nullptr},
        {{{"0", "0"}, {"1.001", "0"}}, "波長依存の表の 2 行目の球面収差 1.001 は範囲外です。-1 から 1 波の値にしてください。"},
        {{{"-1.5", "0"}, {"0", "0"}}, "波長依存の表の 1 行目の球面収差 -1.5 は範囲外です"},
        {{{"0", "10.5"}, {"0", "0"}}, "波長依存の表の 1 行目のフォーカス 10.5 は範囲外です。-10 から 10 波の値にしてください。"},
        {{{"0", "0"}, {"0.5", "-1e308"}}, "2 行目のフォーカス -1e308"},
        {{{"2", "20"}, {"0", "0"}}, "1 行目の球面収差 2"},  // the first column first
    };
    for (const auto& c : cases) {
        try {
            const std::vector<DependenceValues> values = ConvertDependenceRows(c.rows, 2);
            EXPECT_EQ(c.refusal, nullptr) << "not refused: " << c.refusal;
            ASSERT_EQ(values.size(), 2u);
            EXPECT_EQ(values[0].spherical, ParseDecimal(c.rows[0].spherical));
            EXPECT_EQ(values[1].focus, ParseDecimal(c.rows[1].focus));
        } catch (const CalculationError& e) {
            ASSERT_NE(c.refusal, nullptr) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
        }
    }
    // Rows beyond the band's wavelengths are not used, so not judged.
    EXPECT_NO_THROW(ConvertDependenceRows({{"0", "0"}, {"5", "50"}}, 1));
}

TEST(PsfCalculation, NoNanReachesTheResults) {
    Calculation c;
    c.Run(CalculationRequest{});
    const PsfResultImages before = c.results;
    CalculationRequest rq;
    rq.params.densityProfile = DensityProfileKind::UserFilter;
    c.filter = testing::LoadedFilter({std::numeric_limits<double>::quiet_NaN(), 0});
    EXPECT_THROW(c.Run(rq), CalculationError);
    EXPECT_TRUE(SamePicture(c.results.image3, before.image3));

    c.filter.userFilterTable[0] = 1e300;  // finite, but its intensity overflows
    EXPECT_THROW(c.Run(rq), CalculationError);
    EXPECT_TRUE(SamePicture(c.results.image3, before.image3));

    // A huge density coefficient is extreme but defined.
    rq = {};
    rq.params.densityProfile = DensityProfileKind::Gaussian;
    rq.params.densityCoefficient = 1e200;
    EXPECT_NO_THROW(c.Run(rq));
}

}  // namespace
}  // namespace velmora
