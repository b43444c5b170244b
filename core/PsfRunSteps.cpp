#include "core/PsfRunSteps.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/IntensityCode.h"
#include "core/NumberText.h"
#include "core/Wavefront.h"

namespace velmora::detail {
namespace {

constexpr const char* scope = "PsfCalculation";

// Names of the bands as the panel shows them, for the messages.
UserMessage BandName(const WavelengthBand* band, const SimulationParameters& p) {
    if (band == &p.whiteBand) return {scope, QT_TRANSLATE_NOOP("PsfCalculation", "白色光")};
    if (band == &p.redBand) return {scope, QT_TRANSLATE_NOOP("PsfCalculation", "赤")};
    if (band == &p.greenBand) return {scope, QT_TRANSLATE_NOOP("PsfCalculation", "緑")};
    return {scope, QT_TRANSLATE_NOOP("PsfCalculation", "青")};
}

UserMessage Num(long long v) { return UserMessage::Value(v); }

[[noreturn]] void Refuse(const char* pattern, std::vector<UserMessage> args = {}) {
    throw CalculationError(UserMessage(scope, pattern, std::move(args)));
}

// The amplitude comes from the pupil model, which may read a user filter or mask; a value that
// is no finite number would turn the whole field into NaN.
void CheckPupil(const RealMatrix workGrid, int samples) {
    const int lo = half - samples / 2;
    for (int i = lo; i < lo + samples; ++i)
        for (int j = lo; j < lo + samples; ++j)
            if (!std::isfinite(workGrid[i][j]))
                Refuse(QT_TRANSLATE_NOOP("PsfCalculation", "瞳の透過率に数値でない値が含まれています。ユーザフィルタやユーザマスクを確認してください。"));
}

}  // namespace

const char* const outOfMemory =
    QT_TRANSLATE_NOOP("PsfCalculation", "計算用のメモリが確保できませんでした。他のプログラムを終了してからもう一度計算してください。");

CalculationError OutOfMemory() { return CalculationError(UserMessage(scope, outOfMemory)); }

void Allocate(RealMatrixHolder& m) {
    if (m.Allocate(gridSize, gridSize) != 0) throw OutOfMemory();
}

void AllocateField(RealMatrixHolder& m) {
    if (m.AllocateUncleared(gridSize, gridSize) != 0) throw OutOfMemory();
}

void AllocateWorkspace(RunWorkspace& ws) {
    if (ws.tables.Create(gridSize) != 0 || ws.fft.Create(gridSize) != 0) throw OutOfMemory();
}

void CheckRequest(const CalculationRequest& rq, const std::vector<const WavelengthBand*>& bands) {
    const SimulationParameters& p = rq.params;
    if (rq.brightnessLevel < 1 || rq.brightnessLevel > 100)
        Refuse(QT_TRANSLATE_NOOP("PsfCalculation", "明るさのレベル %1 は範囲外です。1 から 100 の値にしてください。"),
               {Num(rq.brightnessLevel)});
    if (p.aperture <= 0)
        Refuse(QT_TRANSLATE_NOOP("PsfCalculation", "主鏡口径が %1 mm では計算できません。口径を 1 mm 以上にしてください。"),
               {Num(p.aperture)});
    if (p.focalLength <= 0)
        Refuse(QT_TRANSLATE_NOOP("PsfCalculation", "焦点距離が %1 mm では計算できません。焦点距離を 1 mm 以上にしてください。"),
               {Num(p.focalLength)});
    const double focalRatio = FocalRatio(p.focalLength, p.aperture);
    for (const WavelengthBand* band : bands) {
        if (band->step <= 0)
            Refuse(QT_TRANSLATE_NOOP("PsfCalculation", "%1の波長ステップが %2 nm では計算が終わりません。ステップを 1 nm 以上にしてください。"),
                   {BandName(band, p), Num(band->step)});
        for (long long lambda = band->min; lambda <= band->max; lambda += band->step) {
            if (lambda <= 0)
                Refuse(QT_TRANSLATE_NOOP("PsfCalculation", "%1の波長 %2 nm では計算できません。波長を 1 nm 以上にしてください。"),
                       {BandName(band, p), Num(lambda)});
            const int samples = PupilSamples(focalRatio, lambda);
            if (samples < 1)
                Refuse(QT_TRANSLATE_NOOP("PsfCalculation", "波長 %1 nm では瞳のサンプル数が %2 になり計算できません。口径を大きくするか焦点距離を短くするか、長い波長を外してください。"),
                       {Num(lambda), Num(samples)});
            if (samples > gridSize)
                Refuse(QT_TRANSLATE_NOOP("PsfCalculation", "波長 %1 nm では瞳のサンプル数が %2 になり、計算グリッド %3 に収まりません。焦点距離を長くするか口径を小さくするか、短い波長を外してください。"),
                       {Num(lambda), Num(samples), Num(gridSize)});
        }
    }
    // The table override needs one row per wavelength of the white band.
    if (p.colorMode == ColorMode::Monochrome && p.useWavelengthDependence) {
        const long long count = WavelengthCount(p.whiteBand);
        if (count > static_cast<long long>(rq.dependenceRows.size()))
            Refuse(QT_TRANSLATE_NOOP("PsfCalculation", "波長依存の表が %1 行しかありません（白色光の波長は %2 個）。「波長依存」で表を作り直してください。"),
                   {Num(static_cast<long long>(rq.dependenceRows.size())), Num(count)});
    }
}

void AccumulateWavelength(const CalculationRequest& rq, int lambda, const Aberrations& a, double weight,
                          bool phaseProgress, const PupilBuilder& buildPupil, RealMatrix workGrid,
                          const FftTables& tables, RunWorkspace& ws, RealMatrix acc, CalculationDerived& derived,
                          WavelengthFacts& facts, const ProgressFn& bar) {
    buildPupil(lambda, workGrid, bar);
    if (bar) bar(0);
    derived.apertureMm = rq.params.aperture;
    derived.focalLengthMm = rq.params.focalLength;
    derived.focalRatio = derived.focalLengthMm / derived.apertureMm;
    derived.pupilSamples = PupilSamples(derived.focalRatio, lambda);
    CheckPupil(workGrid, derived.pupilSamples);
    facts.lambdaNm = lambda;
    facts.weight = weight;
    facts.aberrations = a;
    MeasurePupil(derived.pupilSamples, a, workGrid, facts);
    SamplePhaseInto(derived.pupilSamples, a, workGrid, ws, phaseProgress ? bar : ProgressFn{});
    if (!acc) return;
    Fft2DAccumulate(tables, ws.fft, ws.fieldRe.get(), ws.fieldIm.get(), acc, weight, bar);
    if (bar) bar(0);
}

void SamplePhaseRow(int i, int from, int to, double r, const Aberrations& a, const RealMatrix workGrid, double* re,
                    double* im) {
    constexpr double pi = 3.14159265358979323846;
    const int di = i - half;
    // rho only grows away from the centre line, so a row whose centre sample lies outside the
    // circle has no sample inside it.
    if (std::sqrt(static_cast<double>(di * di)) / r > 1) return;
    for (int j = from; j < to; ++j) {
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

void SamplePhaseInto(int p, const Aberrations& a, const RealMatrix workGrid, RunWorkspace& ws, const ProgressFn& progress) {
    const double r = p * 0.5;
    // Every sample SamplePhase keeps lies within r of N/2; the transform writes back whole
    // aligned groups of columns around them.
    const int reach = static_cast<int>(r) + 1;
    const int lo = std::max(0, half - reach);
    const int hi = std::min(gridSize, half + reach + 1);
    const int newFirst = lo / fft2DPartAlignment * fft2DPartAlignment;
    const int newLast = std::min(gridSize, (hi + fft2DPartAlignment - 1) / fft2DPartAlignment * fft2DPartAlignment);
    const int clearFirst = ws.dirtyFirst;
    const int clearLast = ws.dirtyLast;
    // Should this end early, both the old and the new columns may hold values.
    ws.dirtyFirst = std::min(clearFirst, newFirst);
    ws.dirtyLast = std::max(clearLast, newLast);
    const size_t clearBytes = sizeof(double) * static_cast<size_t>(std::max(0, clearLast - clearFirst));
    int lastPercent = -1;
    for (int i = 0; i < gridSize; ++i) {
        if (progress) {
            const int percent = i * 100 / gridSize;
            if (percent != lastPercent) progress(lastPercent = percent);
        }
        double* re = ws.fieldRe[i];
        double* im = ws.fieldIm[i];
        std::memset(re + clearFirst, 0, clearBytes);
        std::memset(im + clearFirst, 0, clearBytes);
        SamplePhaseRow(i, lo, hi, r, a, workGrid, re, im);
    }
    ws.dirtyFirst = newFirst;
    ws.dirtyLast = newLast;
}

void MeasurePupil(int p, const Aberrations& a, const RealMatrix workGrid, WavelengthFacts& facts) {
    facts.pupilSamples = p;
    facts.s1 = facts.s2 = facts.rmsWaves = facts.maxPhaseStepWaves = 0;
    const double r = p * 0.5;
    const double r2 = r * r;  // exact: p^2 / 4
    // SamplePhase keeps a sample when sqrt(d2) / r <= 1; with d2 an integer and r^2 a multiple of
    // 1/4 that is exactly d2 <= r^2, so no square root is needed here. All such samples lie
    // within r of N/2.
    const int reach = static_cast<int>(r) + 1;
    const int lo = std::max(0, half - reach);
    const int hi = std::min(gridSize - 1, half + reach);
    struct Sample {
        double x, y, w, W;
    };
    auto sample = [&](int i, int j, Sample& s) {
        const int di = i - half;
        const int dj = j - half;
        const double d2 = static_cast<double>(di * di + dj * dj);
        if (d2 > r2 || workGrid[i][j] == 0) return false;
        s.x = di / r;
        s.y = dj / r;
        s.w = workGrid[i][j] * workGrid[i][j];
        const double rho2 = d2 / r2;
        s.W = WavefrontError(a, s.x, s.y, rho2, rho2 * rho2);
        return true;
    };

    // First pass: the sums, the largest step between neighbours along either index (the phase
    // the transform sees, tilt included), and the amplitude²-weighted moments of the
    // piston-and-tilt fit. x and y are already centred on the pupil, so the raw moments lose
    // nothing to cancellation.
    // Each sample's wavefront is kept for the second pass (NaN outside the pupil), so that it is
    // evaluated once.
    const size_t width = static_cast<size_t>(hi - lo + 1);
    std::vector<double> wavefront(width * width, NAN);
    double s1 = 0, s2 = 0, sx = 0, sy = 0, sxx = 0, sxy = 0, syy = 0, sW = 0, sxW = 0, syW = 0;
    double maxStep = 0;
    for (int i = lo; i <= hi; ++i) {
        double* row = wavefront.data() + static_cast<size_t>(i - lo) * width;
        const double* rowAbove = i > lo ? row - width : nullptr;
        double left = NAN;
        for (int j = lo; j <= hi; ++j) {
            const double up = rowAbove ? rowAbove[j - lo] : NAN;
            Sample q;
            if (!sample(i, j, q)) {
                left = NAN;
                continue;
            }
            row[j - lo] = q.W;
            if (!std::isnan(up)) maxStep = std::max(maxStep, std::fabs(q.W - up));
            if (!std::isnan(left)) maxStep = std::max(maxStep, std::fabs(q.W - left));
            left = q.W;
            s1 += workGrid[i][j];
            s2 += q.w;
            sx += q.w * q.x;
            sy += q.w * q.y;
            sxx += q.w * q.x * q.x;
            sxy += q.w * q.x * q.y;
            syy += q.w * q.y * q.y;
            sW += q.w * q.W;
            sxW += q.w * q.x * q.W;
            syW += q.w * q.y * q.W;
        }
    }
    facts.s1 = s1;
    facts.s2 = s2;
    facts.maxPhaseStepWaves = maxStep;
    if (!(s2 > 0)) return;
    const double mx = sx / s2, my = sy / s2, mW = sW / s2;
    const double cxx = sxx - sx * mx, cxy = sxy - sx * my, cyy = syy - sy * my;
    const double cxW = sxW - sx * mW, cyW = syW - sy * mW;
    // Tilt by least squares; a pupil too thin to fix both directions keeps what it can.
    double bx = 0, by = 0;
    const double det = cxx * cyy - cxy * cxy;
    if (det > 1e-12 * cxx * cyy && det > 0) {
        bx = (cxW * cyy - cyW * cxy) / det;
        by = (cyW * cxx - cxW * cxy) / det;
    } else if (cxx > 0) {
        bx = cxW / cxx;
    } else if (cyy > 0) {
        by = cyW / cyy;
    }
    // Second pass: the residual summed directly, not as a difference of large sums, so that a
    // small error under a large tilt keeps its digits.
    double res = 0;
    for (int i = lo; i <= hi; ++i)
        for (int j = lo; j <= hi; ++j) {
            const double W = wavefront[static_cast<size_t>(i - lo) * width + static_cast<size_t>(j - lo)];
            if (std::isnan(W)) continue;
            const double x = (i - half) / r, y = (j - half) / r;
            const double d = W - mW - bx * (x - mx) - by * (y - my);
            res += workGrid[i][j] * workGrid[i][j] * d * d;
        }
    facts.rmsWaves = std::sqrt(res / s2);
}

BandAccumulator::BandAccumulator() {
    try {
        band.intensity = RealGrid(gridSize, gridSize);
    } catch (const std::bad_alloc&) {
        throw OutOfMemory();
    }
}

// Dividing by the peak rather than multiplying by 1/m makes the peak exactly q: m x (1/m) can
// fall one unit in the last place short of 1, which the 24-bit code would show as 254, 255, 255
// instead of 255, 0, 0.
void FinishBand(BandAccumulator& acc, const char* name, double m, double q, std::vector<WavelengthFacts> facts,
                int threads) {
    BandResult& band = acc.band;
    band.name = name;
    band.wavelengths = std::move(facts);
    band.peak = m;
    band.normalisedPeak = m > 0 ? q : 0;
    if (m > 0) {
        ForRowParts(threads, [&](int first, int last) {
            for (int i = first; i < last; ++i) {
                double* row = acc[i];
                for (int j = 0; j < gridSize; ++j) row[j] = row[j] / m * q;
            }
        });
    } else {
        // No positive peak: an accumulator of zeros (any NaN was refused before), as +0.
        band.intensity.Fill(0.0);
    }
}

std::shared_ptr<FullResult> FullResultOf(const SimulationParameters& p) {
    auto full = std::make_shared<FullResult>();
    full->mode = p.colorMode;
    full->apertureMm = p.aperture;
    full->focalLengthMm = p.focalLength;
    full->secondaryMm = p.secondaryDiameter;
    return full;
}

void CheckFinite(double peak) {
    if (!std::isfinite(peak))
        Refuse(QT_TRANSLATE_NOOP("PsfCalculation", "強度が大きすぎて計算できません。ユーザフィルタの値を確認してください。"));
}

uint8_t DisplayLevel(int level, double intensity) {
    return TruncatedByte((100 * level) * std::sqrt(intensity));
}

Picture24 IntensityPicture(const RealMatrix acc, int threads) {
    Picture24 picture(resultSize, resultSize);
    ForParts(threads, resultSize, [&](int first, int last) {
        for (int y = first; y < last; ++y)
            for (int x = 0; x < resultSize; ++x) {
                Rgb c = EncodeIntensity(acc[x + displayWindowStart][y + displayWindowStart]);
                picture.SetPixel(x, y, c.r, c.g, c.b);
            }
    });
    return picture;
}

}  // namespace velmora::detail

namespace velmora {

double WeightedMeanWavelengthNm(const BandResult& band) {
    double sum = 0, weighted = 0;
    for (const WavelengthFacts& w : band.wavelengths) {
        sum += w.weight;
        weighted += w.weight * w.lambdaNm;
    }
    return sum > 0 ? weighted / sum : 0;
}

std::vector<WavelengthPitch> RunWavelengthPitches(const SimulationParameters& p) {
    std::vector<WavelengthPitch> out;
    if (!(p.aperture > 0) || !(p.focalLength > 0)) return out;
    const double focalRatio = FocalRatio(p.focalLength, p.aperture);
    std::vector<const WavelengthBand*> bands;
    if (p.colorMode == ColorMode::Monochrome) bands = {&p.whiteBand};
    else bands = {&p.blueBand, &p.greenBand, &p.redBand};
    for (const WavelengthBand* band : bands) {
        if (band->step <= 0) continue;
        for (long long lambda = band->min; lambda <= band->max; lambda += band->step) {
            const int samples = PupilSamples(focalRatio, lambda);
            if (samples < 1 || samples > gridSize) continue;
            out.push_back({lambda, SamplePitchUm(static_cast<double>(lambda), focalRatio, samples)});
        }
    }
    return out;
}

void RedrawResultImages(const FullResult& full, int brightnessLevel, PsfResultImages& images, int threads) {
    using namespace detail;
    // A band's values (its scene's, where it has one) through a row table, as the run reads its
    // accumulator.
    auto rowsOf = [](const BandResult& band) {
        const RealGrid& values = band.scene.empty() ? band.intensity : band.scene;
        std::vector<double*> rows(gridSize);
        for (int i = 0; i < gridSize; ++i) rows[static_cast<size_t>(i)] = const_cast<double*>(values.Row(i));
        return rows;
    };
    const int level = brightnessLevel;
    if (full.mode == ColorMode::Monochrome) {
        if (full.bands.size() != 1 || full.bands[0].intensity.size() != static_cast<size_t>(gridSize) * gridSize) return;
        std::vector<double*> rows = rowsOf(full.bands[0]);
        const RealMatrix acc = rows.data();
        Picture24 display(resultSize, resultSize);
        ForParts(threads, resultSize, [&](int first, int last) {
            for (int y = first; y < last; ++y)
                for (int x = 0; x < resultSize; ++x) {
                    const uint8_t v = DisplayLevel(level, acc[x + displayWindowStart][y + displayWindowStart]);
                    display.SetPixel(x, y, v, v, v);
                }
        });
        images.image3 = IntensityPicture(acc, threads);
        images.display = std::move(display);
        return;
    }
    if (full.bands.size() != 3) return;
    Picture24 display(resultSize, resultSize);
    Picture24 intensities[3];
    // Blue, green and red in turn, the bytes of each pixel in that order; the bands are held red,
    // green, blue.
    for (int b = 0; b < 3; ++b) {
        const BandResult& band = full.bands[static_cast<size_t>(2 - b)];
        if (band.intensity.size() != static_cast<size_t>(gridSize) * gridSize) return;
        std::vector<double*> rows = rowsOf(band);
        const RealMatrix acc = rows.data();
        intensities[b] = IntensityPicture(acc, threads);
        ForParts(threads, resultSize, [&](int first, int last) {
            for (int y = first; y < last; ++y)
                for (int x = 0; x < resultSize; ++x) {
                    // The display is formed from 255/256 of the intensity, as the code image
                    // carries it; blue, green, red byte in turn.
                    double v = acc[x + displayWindowStart][y + displayWindowStart] * intensityCodeScale;
                    v = v * (1.0 / 16777216.0);
                    uint8_t* px = display.ScanLine(y) + 3 * x;
                    px[b] = DisplayLevel(level, v);
                }
        });
    }
    images.image4 = std::move(intensities[0]);
    images.image3 = std::move(intensities[1]);
    images.image2 = std::move(intensities[2]);
    images.display = std::move(display);
}

}  // namespace velmora
