#include "core/PsfCalculation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <cstring>
#include <limits>

#include "core/IntensityCode.h"
#include "core/NumberText.h"
#include "pupil/PupilModel.h"
#include "ReferenceAlgorithms.h"
#include "TestSupport.h"

namespace velmora {
namespace {

using testing::SamePicture;

// A calculation with the pupil model behind it, as the main window and the batch set it up.
class Calculation {
public:
    Calculation() { workGrid.Allocate(gridSize, gridSize); }

    // Runs as the main window does: the table's texts become numbers first, and the pictures of
    // the run's mode replace those shown.
    CalculationDerived Run(CalculationRequest rq, const CalculationProgress& progress = {}) {
        if (rq.params.useWavelengthDependence && rq.params.colorMode == ColorMode::Monochrome)
            rq.dependenceRows = ConvertDependenceRows(tableCells, WavelengthCount(rq.params.whiteBand));
        const PsfResult result = testing::RunWithPupilModel(rq, workGrid.get(), &filter, nullptr, progress);
        KeepResultImages(result, results);
        return result.derived;
    }
    // Intensity of a code pixel of an image, as a fraction of the run's peak (256/255 undoes
    // the code's scale).
    static double Intensity(const Picture24& p, int x, int y) {
        return DecodeIntensity(p.Red(x, y), p.Green(x, y), p.Blue(x, y)) * 256 / 255;
    }

    RealMatrixHolder workGrid;
    UserFilter filter;
    std::vector<WavelengthDependenceRow> tableCells;  // the table window's texts
    PsfResultImages results;
};

CalculationRequest ClearPupil(int aperture, int focalLength, int lambda) {
    CalculationRequest rq;
    rq.params.aperture = aperture;
    rq.params.focalLength = focalLength;
    rq.params.secondaryDiameter = 0;
    rq.params.whiteBand = {lambda, lambda, 10};
    return rq;
}

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

// Radial profile along +x through the centre pixel.
std::vector<double> Profile(const Picture24& code) {
    std::vector<double> v;
    for (int x = 128; x < 256; ++x) v.push_back(Calculation::Intensity(code, x, 128));
    return v;
}

// Position and value of the extremum of a parabola through three samples.
std::pair<double, double> Vertex(const std::vector<double>& v, int k) {
    const double a = v[k - 1], b = v[k], c = v[k + 1];
    const double offset = 0.5 * (a - c) / (a - 2 * b + c);
    return {k + offset, b - 0.25 * (a - c) * offset};
}

TEST(PsfCalculation, ClearCircularPupilGivesTheAiryPattern) {
    // Np = 100 at 550 nm: the first dark ring at 1.21967 x 1024 / 100 samples, the first bright
    // ring at 1.6347 x 10.24 with 0.0175 of the peak (Born & Wolf, Principles of Optics, 8.5.2).
    Calculation c;
    CalculationDerived d = c.Run(ClearPupil(100, 1000, 550));
    ASSERT_EQ(d.pupilSamples, 100);
    std::vector<double> v = Profile(c.results.image3);
    int dark = 1;
    while (v[dark + 1] < v[dark]) ++dark;
    const auto [zero, zeroValue] = Vertex(v, dark);
    EXPECT_NEAR(zero, 1.21967 * 1024 / 100, 0.1);
    int bright = dark;
    while (v[bright + 1] > v[bright]) ++bright;
    const auto [ring, ringValue] = Vertex(v, bright);
    EXPECT_NEAR(ring, 1.6347 * 10.24, 0.15);
    EXPECT_NEAR(ringValue, 0.0175, 0.0005);
    // The amplitude changes sign there; a parabola through three samples of its square misses
    // the zero by the amplitude's curvature, a few 1e-4 at a tenth of the ring spacing.
    EXPECT_NEAR(zeroValue, 0, 5e-4) << "the dark ring is dark";
}

int PixelsAboveHalf(const Picture24& code) {
    int n = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) n += Calculation::Intensity(code, x, y) >= 0.5;
    return n;
}

std::pair<int, int> Peak(const Picture24& code) {
    std::pair<int, int> best{0, 0};
    double top = -1;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            if (Calculation::Intensity(code, x, y) > top) {
                top = Calculation::Intensity(code, x, y);
                best = {x, y};
            }
    return best;
}

TEST(PsfCalculation, FocusSpreadsTheCoreAndTiltMovesIt) {
    Calculation c;
    CalculationRequest rq = ClearPupil(100, 1000, 550);
    c.Run(rq);
    const int sharp = PixelsAboveHalf(c.results.image3);
    EXPECT_EQ(Peak(c.results.image3), std::make_pair(128, 128));

    rq.aberrations = Aberrations{};
    rq.aberrations->focus = 0.5;
    c.Run(rq);
    EXPECT_GT(PixelsAboveHalf(c.results.image3), 2 * sharp);

    // A tilt of t waves across the radius moves the peak by t x 1024 / (Np / 2) samples:
    // 0.5 wave at Np = 100 is 10.24 samples, along x for tilt X and along y for tilt Y.
    rq.aberrations = Aberrations{};
    rq.aberrations->tiltX = 0.5;
    c.Run(rq);
    EXPECT_EQ(Peak(c.results.image3), std::make_pair(138, 128));
    rq.aberrations = Aberrations{};
    rq.aberrations->tiltY = -0.5;
    c.Run(rq);
    EXPECT_EQ(Peak(c.results.image3), std::make_pair(128, 118));
}

TEST(PsfCalculation, ColourBandsPeakByTheirSummedWavelengths) {
    Calculation c;
    CalculationRequest rq;
    rq.params.colorMode = ColorMode::Colour;
    c.Run(rq);
    // S = 900, 1100, 1300: peaks 1, (900/1100)^2, (900/1300)^2.
    const double peaks[3] = {1.0, 0.669421, 0.479290};
    const Picture24* images[3] = {&c.results.image4, &c.results.image3, &c.results.image2};
    for (int b = 0; b < 3; ++b) {
        const auto [x, y] = Peak(*images[b]);
        EXPECT_EQ(x, 128);
        EXPECT_EQ(y, 128);
        EXPECT_NEAR(Calculation::Intensity(*images[b], x, y), peaks[b], 2e-6) << "band " << b;
    }
    const Picture24& d = c.results.display;
    EXPECT_EQ(d.Blue(128, 128), 255);
    EXPECT_EQ(d.Green(128, 128), 255);
    EXPECT_EQ(d.Red(128, 128), 255);
    EXPECT_TRUE(c.results.pupil.empty()) << "the pupil picture is made by monochrome runs only";

    // A band with min > max is black; so is everything when the blue band is empty.
    rq.params.greenBand = {600, 500, 100};
    c.Run(rq);
    EXPECT_EQ(Peak(c.results.image3), std::make_pair(0, 0));
    EXPECT_EQ(Calculation::Intensity(c.results.image3, 128, 128), 0.0);
    EXPECT_GT(Calculation::Intensity(c.results.image2, 128, 128), 0.4);
    rq.params.blueBand = {500, 400, 100};
    c.Run(rq);
    for (const Picture24* image : images) EXPECT_EQ(Calculation::Intensity(*image, 128, 128), 0.0);
    EXPECT_EQ(c.results.display.Red(128, 128), 0);
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


// The colour display below saturation: at level 1 no band reaches white, so each channel of the
// display shows trunc(100 x sqrt(I)) of its own band, and two bands whose channels were swapped
// would differ by far more than a grey step.
TEST(PsfCalculation, ColourDisplayTakesEachChannelFromItsOwnBand) {
    Calculation c;
    CalculationRequest rq;
    rq.params.colorMode = ColorMode::Colour;
    rq.brightnessLevel = 1;
    c.Run(rq);
    const Picture24& d = c.results.display;
    // Band peaks 1, (900/1100)^2 and (900/1300)^2 (blue, green, red): 100 x sqrt(I) x 255/256
    // (the display is formed from the coded fraction) is 99.8, 81.7 and 69.1.
    EXPECT_EQ(d.Blue(128, 128), 99);
    EXPECT_EQ(d.Green(128, 128), 81);
    EXPECT_EQ(d.Red(128, 128), 69);
    for (int x = 118; x <= 138; x += 4) {
        const auto shown = [&](const Picture24& band) {
            return 100 * std::sqrt(DecodeIntensity(band.Red(x, 128), band.Green(x, 128), band.Blue(x, 128)));
        };
        // One grey step covers the truncation; the code's 2^-24 steps are far finer.
        EXPECT_NEAR(d.Red(x, 128), shown(c.results.image2), 1.0) << "x=" << x;
        EXPECT_NEAR(d.Green(x, 128), shown(c.results.image3), 1.0) << "x=" << x;
        EXPECT_NEAR(d.Blue(x, 128), shown(c.results.image4), 1.0) << "x=" << x;
    }
}

// The normalised PSF of an annular aperture with obstruction ratio e at v = pi r D / (lambda f):
// I(v) / I(0) = [2 J1(v)/v - e^2 2 J1(e v)/(e v)]^2 / (1 - e^2)^2 (Schroeder, Astronomical
// Optics, ch. 10; Mahajan, Optical Imaging and Aberrations II, annular pupils). The peak of the
// un-normalised pattern falls as the open area squared, (1 - e^2)^2, and the light it loses
// goes into the rings.
double AnnularPsf(double v, double e) {
    auto jinc = [](double x) { return x == 0 ? 1.0 : 2 * std::cyl_bessel_j(1.0, x) / x; };
    const double a = jinc(v) - e * e * jinc(e * v);
    return a * a / ((1 - e * e) * (1 - e * e));
}

TEST(PsfCalculation, CentralObstructionFollowsTheAnnularAperturePattern) {
    // Np = 100 at 550 nm: v = pi x r x 100 / 1024 for r samples from the centre.
    Calculation c;
    CalculationRequest rq = ClearPupil(100, 1000, 550);
    rq.params.secondaryDiameter = 50;  // e = 0.5
    c.Run(rq);
    const std::vector<double> obstructed = Profile(c.results.image3);
    c.Run(ClearPupil(100, 1000, 550));
    const std::vector<double> clear = Profile(c.results.image3);
    // The clear pupil of 100 samples departs from the Airy formula by up to 2e-3 on the flanks
    // of the core (its rim is a staircase of samples); the annulus may depart as much.
    for (int r = 0; r < 40; ++r) {
        const double v = std::numbers::pi * r * 100 / 1024;
        EXPECT_NEAR(clear[r], AnnularPsf(v, 0), 2.5e-3) << "r=" << r;
        EXPECT_NEAR(obstructed[r], AnnularPsf(v, 0.5), 2.5e-3) << "r=" << r;
    }
    // Energy into the rings: the first bright ring of the annulus (0.096 of the peak at 16
    // samples) is 5.5 times the clear one's (0.0175 at 16.7 samples).
    int dark = 1;
    while (obstructed[dark + 1] < obstructed[dark]) ++dark;
    int bright = dark;
    while (obstructed[bright + 1] > obstructed[bright]) ++bright;
    EXPECT_LT(dark, 12) << "the first dark ring moves in from 12.5 samples";
    EXPECT_GT(obstructed[bright], 4 * *std::max_element(clear.begin() + 13, clear.begin() + 20));
}

// A vane diffracts light into a spike across it: a vane along +x (angle 0) sends a spike along
// the y axis of the PSF. By Babinet's principle the opaque vane takes from the field the
// Fraunhofer pattern of a slit of its shape (Hecht, Optics, 10.2 and 10.3): for a vane b = 5
// samples wide and D/2 = 50 long on a pupil of D = 100, (b D/2)^2 / (pi D^2/4)^2 = 1.0e-3 of the
// peak along the spike, times sinc^2(pi b r / 1024) >= 0.4 out to r = 110. Summed over r = 30..109
// on both sides that is about 0.11 on top of the Airy wings (about 0.045 there), so the spike
// holds about 3.5 times what the diagonal or the vane's own direction hold; 2.5 leaves room for
// the interference of the two fields.
struct SpikeSums {
    double alongY = 0;    // the spike of a vane along x
    double diagonal = 0;  // off every spike
    double alongX = 0;    // the vane's own direction
};

// Intensity summed over r = 30..109 from the centre on both sides, along three directions.
SpikeSums SumsAt30To110(const Picture24& code) {
    SpikeSums s;
    auto at = [&](int x, int y) {
        return Calculation::Intensity(code, 128 + x, 128 + y) + Calculation::Intensity(code, 128 - x, 128 - y);
    };
    for (int r = 30; r < 110; ++r) {
        const int d = static_cast<int>(std::lround(r / std::numbers::sqrt2));
        s.alongY += at(0, r);
        s.diagonal += at(d, d);
        s.alongX += at(r, 0);
    }
    return s;
}

TEST(PsfCalculation, VanesSendSpikesAcrossThemselves) {
    Calculation c;
    CalculationRequest rq = ClearPupil(100, 1000, 550);
    rq.params.barWidth = 5;
    rq.params.spider1 = true;  // angle1 = 0: along +x
    c.Run(rq);
    ASSERT_EQ(c.results.pupil.Red(128 + 30, 128), 0) << "the vane runs along x in the pupil picture";
    ASSERT_EQ(c.results.pupil.Red(128, 128 + 30), 255);
    const SpikeSums vane = SumsAt30To110(c.results.image3);
    EXPECT_GT(vane.alongY, 2.5 * vane.diagonal);
    EXPECT_GT(vane.alongY, 2.5 * vane.alongX);

    // Without the vane the same sums agree to within a tenth (the wings are round): the spike
    // is the vane's.
    c.Run(ClearPupil(100, 1000, 550));
    const SpikeSums clear = SumsAt30To110(c.results.image3);
    EXPECT_NEAR(clear.alongY, clear.diagonal, 0.1 * clear.diagonal);
    EXPECT_NEAR(clear.alongX, clear.diagonal, 0.1 * clear.diagonal);
}

}  // namespace
}  // namespace velmora
