#include "core/PsfRunSteps.h"

#include <cmath>

#include "core/IntensityCode.h"
#include "core/NumberText.h"

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

void AllocateWorkspace(RunWorkspace& ws) {
    Allocate(ws.fieldRe);
    Allocate(ws.fieldIm);
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
                          bool phaseProgress, const PupilBuilder& buildPupil, RealMatrix workGrid, RunWorkspace& ws,
                          RealMatrix acc, CalculationDerived& derived, const ProgressFn& bar) {
    buildPupil(lambda, workGrid, bar);
    if (bar) bar(0);
    derived.apertureMm = rq.params.aperture;
    derived.focalLengthMm = rq.params.focalLength;
    derived.focalRatio = derived.focalLengthMm / derived.apertureMm;
    derived.pupilSamples = PupilSamples(derived.focalRatio, lambda);
    CheckPupil(workGrid, derived.pupilSamples);
    SamplePhase(derived.pupilSamples, a, workGrid, ws.fieldRe.get(), ws.fieldIm.get(),
                phaseProgress ? bar : ProgressFn{});
    if (!acc) return;
    Fft2DAccumulate(ws.tables, ws.fft, ws.fieldRe.get(), ws.fieldIm.get(), acc, weight, bar);
    if (bar) bar(0);
}

// Nothing outside the display window is read afterwards, so only it is normalised. Dividing by
// the peak rather than multiplying by 1/m makes the peak exactly q: m x (1/m) can fall one unit
// in the last place short of 1, which the 24-bit code would show as 254, 255, 255 instead of
// 255, 0, 0.
void NormaliseToPeak(RealMatrix acc, double m, double q) {
    for (int i = displayWindowStart; i < displayWindowStart + resultSize; ++i)
        for (int j = displayWindowStart; j < displayWindowStart + resultSize; ++j) acc[i][j] = acc[i][j] / m * q;
}

void CheckFinite(double peak) {
    if (!std::isfinite(peak))
        Refuse(QT_TRANSLATE_NOOP("PsfCalculation", "強度が大きすぎて計算できません。ユーザフィルタの値を確認してください。"));
}

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

}  // namespace velmora::detail
