#include "core/PsfCalculation.h"

#include <cmath>
#include <cstring>
#include <new>

#include "core/IntensityCode.h"
#include "core/NumberText.h"
#include "core/Wavefront.h"

namespace velmora {
namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int half = gridSize / 2;

// Names of the bands as the panel shows them, for the messages.
const char* BandName(const WavelengthBand* band, const SimulationParameters& p) {
    if (band == &p.whiteBand) return "白色光";
    if (band == &p.redBand) return "赤";
    if (band == &p.greenBand) return "緑";
    return "青";
}

std::string Num(long long v) { return std::to_string(v); }

// Every refusal happens here, before anything is allocated or changed.
void CheckRequest(const CalculationRequest& rq, const std::vector<const WavelengthBand*>& bands,
                  std::vector<Aberrations>& perWavelength) {
    const SimulationParameters& p = rq.params;
    if (rq.brightnessLevel < 1 || rq.brightnessLevel > 100)
        throw CalculationError("明るさのレベル " + Num(rq.brightnessLevel) + " は範囲外です。1 から 100 の値にしてください。");
    if (p.aperture <= 0)
        throw CalculationError("主鏡口径が " + Num(p.aperture) + " mm では計算できません。口径を 1 mm 以上にしてください。");
    if (p.focalLength <= 0)
        throw CalculationError("焦点距離が " + Num(p.focalLength) + " mm では計算できません。焦点距離を 1 mm 以上にしてください。");
    const double focalRatio = FocalRatio(p.focalLength, p.aperture);
    for (const WavelengthBand* band : bands) {
        if (band->step <= 0)
            throw CalculationError(std::string(BandName(band, p)) + "の波長ステップが " + Num(band->step) +
                                   " nm では計算が終わりません。ステップを 1 nm 以上にしてください。");
        for (long long lambda = band->min; lambda <= band->max; lambda += band->step) {
            if (lambda <= 0)
                throw CalculationError(std::string(BandName(band, p)) + "の波長 " + Num(lambda) +
                                       " nm では計算できません。波長を 1 nm 以上にしてください。");
            const int samples = PupilSamples(focalRatio, lambda);
            if (samples < 1)
                throw CalculationError("波長 " + Num(lambda) + " nm では瞳のサンプル数が " + Num(samples) +
                                       " になり計算できません。口径を大きくするか焦点距離を短くするか、長い波長を外してください。");
            if (samples > gridSize)
                throw CalculationError("波長 " + Num(lambda) + " nm では瞳のサンプル数が " + Num(samples) +
                                       " になり、計算グリッド " + Num(gridSize) +
                                       " に収まりません。焦点距離を長くするか口径を小さくするか、短い波長を外してください。");
        }
    }
    // The table override, parsed up front so that a bad cell stops the run before it starts.
    if (p.colorMode == ColorMode::Monochrome && p.useWavelengthDependence) {
        const long long count = WavelengthCount(p.whiteBand);
        if (count > static_cast<long long>(rq.dependenceRows.size()))
            throw CalculationError("波長依存の表が " + Num(static_cast<long long>(rq.dependenceRows.size())) +
                                   " 行しかありません（白色光の波長は " + Num(count) +
                                   " 個）。「波長依存」で表を作り直してください。");
        const Aberrations panel = rq.aberrations ? *rq.aberrations : AberrationsInWaves(p);
        for (long long k = 0; k < count; ++k) {
            Aberrations a = panel;
            const WavelengthDependenceRow& row = rq.dependenceRows[static_cast<size_t>(k)];
            try {
                a.spherical = ParseDecimal(row.spherical);
                a.focus = ParseDecimal(row.focus);
            } catch (const ConversionError& e) {
                throw CalculationError("波長依存の表の " + Num(k + 1) + " 行目: " + e.what());
            }
            perWavelength.push_back(a);
        }
    }
}

struct Workspace {
    RealMatrixHolder fieldRe;
    RealMatrixHolder fieldIm;
    FftTables tables;
};

const char* const outOfMemory = "計算用のメモリが確保できませんでした。他のプログラムを終了してからもう一度計算してください。";

void Allocate(RealMatrixHolder& m) {
    if (m.Allocate(gridSize, gridSize) != 0) throw CalculationError(outOfMemory);
}

void AllocateWorkspace(Workspace& ws) {
    Allocate(ws.fieldRe);
    Allocate(ws.fieldIm);
    if (ws.tables.Create(gridSize) != 0) throw CalculationError(outOfMemory);
}

// The amplitude comes from the pupil model, which may read a user filter or mask; a value that
// is no finite number would turn the whole field into NaN.
void CheckPupil(const RealMatrix workGrid, int samples) {
    const int lo = half - samples / 2;
    for (int i = lo; i < lo + samples; ++i)
        for (int j = lo; j < lo + samples; ++j)
            if (!std::isfinite(workGrid[i][j]))
                throw CalculationError("瞳の透過率に数値でない値が含まれています。ユーザフィルタやユーザマスクを確認してください。");
}

// One wavelength: pupil, phase, transform, weighted intensity into acc.
void AccumulateWavelength(const CalculationRequest& rq, int lambda, const Aberrations& a, double weight,
                          bool phaseProgress, const PupilBuilder& buildPupil, RealMatrix workGrid,
                          Workspace& ws, RealMatrix acc, CalculationDerived& derived, const ProgressFn& bar) {
    buildPupil(lambda, workGrid, bar);
    if (bar) bar(0);
    derived.apertureMm = rq.params.aperture;
    derived.focalLengthMm = rq.params.focalLength;
    derived.focalRatio = derived.focalLengthMm / derived.apertureMm;
    derived.pupilSamples = PupilSamples(derived.focalRatio, lambda);
    CheckPupil(workGrid, derived.pupilSamples);
    SamplePhase(derived.pupilSamples, a, workGrid, ws.fieldRe.get(), ws.fieldIm.get(),
                phaseProgress ? bar : ProgressFn{});
    Fft2DAccumulate(ws.tables, ws.fieldRe.get(), ws.fieldIm.get(), acc, weight, bar);
    if (bar) bar(0);
}

// Every element of the display window becomes (element / m) x q; nothing outside the window
// is read afterwards. Dividing by the peak rather than multiplying by 1/m makes the peak
// exactly q: m x (1/m) can fall one unit in the last place short of 1, which the 24-bit code
// would show as 254, 255, 255 instead of 255, 0, 0.
void NormaliseToPeak(RealMatrix acc, double m, double q) {
    for (int i = displayWindowStart; i < displayWindowStart + resultSize; ++i)
        for (int j = displayWindowStart; j < displayWindowStart + resultSize; ++j) acc[i][j] = acc[i][j] / m * q;
}

void CheckFinite(double peak) {
    if (!std::isfinite(peak))
        throw CalculationError("強度が大きすぎて計算できません。ユーザフィルタの値を確認してください。");
}

// v = trunc((100 x level) x sqrt(I)), held to 0..255.
uint8_t DisplayLevel(int level, double intensity) {
    return TruncatedByte((100 * level) * std::sqrt(intensity));
}

Picture24 IntensityPicture(const RealMatrix acc) {
    Picture24 picture(resultSize, resultSize);
    for (int y = 0; y < resultSize; ++y)
        for (int x = 0; x < resultSize; ++x) {
            Rgb c = EncodeIntensity(acc[x + displayWindowStart][y + displayWindowStart]);
            picture.SetPixel(x, y, c.r, c.g, c.b);
        }
    return picture;
}

}  // namespace

long long WavelengthCount(const WavelengthBand& band) {
    if (band.step <= 0 || band.min > band.max) return 0;
    return (static_cast<long long>(band.max) - band.min) / band.step + 1;
}

void SamplePhase(int p, const Aberrations& a, const RealMatrix workGrid, RealMatrix fieldRe, RealMatrix fieldIm,
                 const ProgressFn& progress) {
    const double r = p * 0.5;
    int lastPercent = -1;
    for (int i = 0; i < gridSize; ++i) {
        if (progress) {
            int percent = i * 100 / gridSize;
            if (percent != lastPercent) progress(lastPercent = percent);
        }
        double* re = fieldRe[i];
        double* im = fieldIm[i];
        std::memset(re, 0, sizeof(double) * gridSize);
        std::memset(im, 0, sizeof(double) * gridSize);
        const int di = i - half;
        // rho only grows away from the centre line, so a row whose centre sample lies outside the
        // circle has no sample inside it.
        if (std::sqrt(static_cast<double>(di * di)) / r > 1) continue;
        for (int j = 0; j < gridSize; ++j) {
            const int dj = j - half;
            const double rho = std::sqrt(static_cast<double>(di * di + dj * dj)) / r;
            if (rho > 1) continue;
            const double x = di / r;
            const double y = dj / r;
            const double w = WavefrontError(a, x, y, rho * rho, rho * rho * rho * rho);
            const double phase = 2 * pi * w;
            re[j] = std::cos(phase) * workGrid[i][j];
            im[j] = std::sin(phase) * workGrid[i][j];
        }
    }
}

namespace {

CalculationDerived Run(const CalculationRequest& rq, const PupilBuilder& buildPupil, RealMatrix workGrid,
                       PsfResultImages& results, const CalculationProgress& progress) {
    const SimulationParameters& p = rq.params;
    const bool mono = p.colorMode == ColorMode::Monochrome;
    std::vector<const WavelengthBand*> bands;
    if (mono) bands = {&p.whiteBand};
    else bands = {&p.blueBand, &p.greenBand, &p.redBand};
    std::vector<Aberrations> tableAberrations;
    CheckRequest(rq, bands, tableAberrations);

    long long total = 0;
    for (const WavelengthBand* band : bands) total += WavelengthCount(*band);

    Workspace ws;
    AllocateWorkspace(ws);
    const Aberrations panel = rq.aberrations ? *rq.aberrations : AberrationsInWaves(p);
    CalculationDerived derived;
    long long done = 0;
    const int level = rq.brightnessLevel;

    if (mono) {
        RealMatrixHolder acc;
        Allocate(acc);
        long long k = 0;
        for (long long lambda = p.whiteBand.min; lambda <= p.whiteBand.max; lambda += p.whiteBand.step, ++k) {
            if (progress.wavelength) progress.wavelength(static_cast<int>(done), static_cast<int>(total), static_cast<int>(lambda));
            ++done;
            const Aberrations& a = tableAberrations.empty() ? panel : tableAberrations[static_cast<size_t>(k)];
            double w = lambda * (1.0 / 550);
            w = w * w;
            AccumulateWavelength(rq, static_cast<int>(lambda), a, w, true, buildPupil, workGrid, ws, acc.get(), derived,
                                 progress.bar);
        }
        const double m = MatrixMaximum(gridSize, gridSize, acc.get());
        CheckFinite(m);
        if (m > 0) NormaliseToPeak(acc.get(), m, 1.0);

        Picture24 pupil(resultSize, resultSize);
        Picture24 display(resultSize, resultSize);
        for (int y = 0; y < resultSize; ++y)
            for (int x = 0; x < resultSize; ++x) {
                const uint8_t grey = TruncatedByte(255 * workGrid[x + displayWindowStart][y + displayWindowStart]);
                pupil.SetPixel(x, y, grey, grey, grey);
                const uint8_t v = DisplayLevel(level, acc[x + displayWindowStart][y + displayWindowStart]);
                display.SetPixel(x, y, v, v, v);
            }
        Picture24 intensity = IntensityPicture(acc.get());
        results.pupil = std::move(pupil);
        results.image3 = std::move(intensity);
        results.display = std::move(display);
        return derived;
    }

    RealMatrixHolder accs[3];  // blue, green, red
    for (auto& acc : accs) Allocate(acc);
    Picture24 intensities[3];
    Picture24 display(resultSize, resultSize);
    long long sumBlue = 0;
    for (int b = 0; b < 3; ++b) {
        const WavelengthBand& band = *bands[b];
        RealMatrix acc = accs[b].get();
        long long sum = 0;
        for (long long lambda = band.min; lambda <= band.max; lambda += band.step) {
            if (progress.wavelength) progress.wavelength(static_cast<int>(done), static_cast<int>(total), static_cast<int>(lambda));
            ++done;
            sum += lambda;
            AccumulateWavelength(rq, static_cast<int>(lambda), panel, 1.0, false, buildPupil, workGrid, ws, acc, derived,
                                 progress.bar);
        }
        if (b == 0) sumBlue = sum;
        const double m = MatrixMaximum(gridSize, gridSize, acc);
        CheckFinite(m);
        if (m > 0) {
            // Peak of the band: (S_blue / S)^2, the bands' summed wavelengths standing in for
            // their mean wavelengths.
            const long double ratio = static_cast<long double>(sumBlue) / sum;
            const double q = static_cast<double>(ratio * ratio);
            NormaliseToPeak(acc, m, q);
        }
        intensities[b] = IntensityPicture(acc);
        // The display is formed from 255/256 of the intensity, as the code image carries it.
        for (int y = 0; y < resultSize; ++y)
            for (int x = 0; x < resultSize; ++x) {
                double v = acc[x + displayWindowStart][y + displayWindowStart] * intensityCodeScale;
                v = v * (1.0 / 16777216.0);
                uint8_t* px = display.ScanLine(y) + 3 * x;
                px[b] = DisplayLevel(level, v);  // blue, green, red byte in turn
            }
    }
    results.image4 = std::move(intensities[0]);
    results.image3 = std::move(intensities[1]);
    results.image2 = std::move(intensities[2]);
    results.display = std::move(display);
    return derived;
}

}  // namespace

CalculationDerived RunPsfCalculation(const CalculationRequest& rq, const PupilBuilder& buildPupil, RealMatrix workGrid,
                                     PsfResultImages& results, const CalculationProgress& progress) {
    try {
        return Run(rq, buildPupil, workGrid, results, progress);
    } catch (const std::bad_alloc&) {
        throw CalculationError(outOfMemory);  // the pupil model's own arrays, or the pictures
    }
}

}  // namespace velmora
