#include "imaging/Camera.h"

#include <algorithm>
#include <cmath>

#include "core/NumberText.h"


namespace velmora {
namespace {

constexpr double arcsecPerRadian = 180 / 3.14159265358979323846 * 3600;

// The part of grid sample i's square (centred at (i - n/2) pitches) that pixel k (centred at
// k - half pixels, k = 0 ... size - 1) covers, as a fraction of the square: one or more
// (pixel, weight) pairs per sample, in pixel order.
struct Piece {
    int pixel;
    double weight;
};

std::vector<std::vector<Piece>> Overlaps(int size, double pitchUm, double pixelUm) {
    const int n = gridSize;
    const int half = size / 2;
    std::vector<std::vector<Piece>> pieces(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        // In pixels, from the middle pixel's centre.
        const double lo = ((i - n / 2) - 0.5) * pitchUm / pixelUm;
        const double hi = ((i - n / 2) + 0.5) * pitchUm / pixelUm;
        const int first = std::max(0, static_cast<int>(std::floor(lo + 0.5)) + half);
        const int last = std::min(size - 1, static_cast<int>(std::floor(hi + 0.5)) + half);
        for (int k = first; k <= last; ++k) {
            const double a = std::max(lo, (k - half) - 0.5);
            const double b = std::min(hi, (k - half) + 0.5);
            if (b > a) pieces[static_cast<size_t>(i)].push_back({k, (b - a) / (hi - lo)});
        }
    }
    return pieces;
}

// Half-maximum width along one line of the image through `at`, linear between pixels.
double LineFwhm(const std::vector<double>& line, int at) {
    const double half = line[static_cast<size_t>(at)] / 2;
    auto crossing = [&](int dir) {
        int k = at;
        while (k + dir >= 0 && k + dir < static_cast<int>(line.size())) {
            const double a = line[static_cast<size_t>(k)], b = line[static_cast<size_t>(k + dir)];
            if (b <= half) return (k - at) * 1.0 + dir * (a - half) / (a - b);
            k += dir;
        }
        return static_cast<double>(k - at);
    };
    return crossing(1) - crossing(-1);
}

}  // namespace

CameraImage IntegrateOverPixels(const RealGrid& intensity, double pitchUm, double pixelUm,
                                double focalLengthMm, double fwhmUm) {
    CameraImage c;
    constexpr int n = gridSize;
    if (!(pixelUm > 0) || !std::isfinite(pixelUm) || !(pitchUm > 0) || pixelUm < SmallestCameraPixelUm(pitchUm) ||
        intensity.size() != static_cast<size_t>(n) * n)
        return c;
    // Enough pixels each side of the middle one to reach the field's far edge, n/2 + 1/2 pitches.
    const int reach = static_cast<int>(std::ceil((n / 2 + 0.5) * pitchUm / pixelUm - 0.5));
    const int size = 2 * reach + 1;
    const std::vector<std::vector<Piece>> pieces = Overlaps(size, pitchUm, pixelUm);

    // Rows first (grid rows into pixel rows), then columns.
    std::vector<double> rows(static_cast<size_t>(size) * n, 0.0);
    for (int i = 0; i < n; ++i) {
        const double* from = intensity.Row(i);
        for (const Piece& p : pieces[static_cast<size_t>(i)]) {
            double* to = rows.data() + static_cast<size_t>(p.pixel) * n;
            for (int j = 0; j < n; ++j) to[j] += p.weight * from[j];
        }
    }
    std::vector<double> share(static_cast<size_t>(size) * size, 0.0);
    double total = 0;
    for (int r = 0; r < size; ++r) {
        const double* from = rows.data() + static_cast<size_t>(r) * n;
        double* to = share.data() + static_cast<size_t>(r) * size;
        for (int j = 0; j < n; ++j)
            for (const Piece& p : pieces[static_cast<size_t>(j)]) to[p.pixel] += p.weight * from[j];
        for (int k = 0; k < size; ++k) total += to[k];
    }
    if (!(total > 0)) return c;
    for (double& v : share) v /= total;

    c.pixelUm = pixelUm;
    c.pixelArcsec = pixelUm * 1e-3 / focalLengthMm * arcsecPerRadian;
    c.size = size;
    c.share = std::move(share);
    const auto brightest = static_cast<int>(std::max_element(c.share.begin(), c.share.end()) - c.share.begin());
    const int br = brightest / size, bc = brightest % size;
    std::vector<double> row(c.share.begin() + static_cast<long>(br) * size,
                            c.share.begin() + static_cast<long>(br + 1) * size);
    std::vector<double> column(static_cast<size_t>(size));
    for (int r = 0; r < size; ++r) column[static_cast<size_t>(r)] = c.At(r, bc);
    c.fwhmPx = (LineFwhm(row, bc) + LineFwhm(column, br)) / 2;
    c.samplesPerFwhm = fwhmUm / pixelUm;
    c.verdict = c.samplesPerFwhm < undersampledBelow  ? CameraSampling::Under
                : c.samplesPerFwhm > oversampledAbove ? CameraSampling::Over
                                                      : CameraSampling::Matched;
    return c;
}

Picture24 CameraPicture(const std::vector<CameraImage>& images) {
    if (images.empty() || images.front().size == 0) return {};
    const int size = images.front().size;
    double brightest = 0;
    for (const CameraImage& c : images) {
        if (c.size != size) return {};
        for (double v : c.share) brightest = std::max(brightest, v);
    }
    Picture24 picture(size, size);
    auto level = [&](const CameraImage& c, int x, int y) {
        const double v = brightest > 0 ? c.At(x, y) / brightest * 255 : 0;
        return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
    };
    // Picture (x, y) shows pixel row x, column y, as the result pictures show grid [x][y].
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            if (images.size() == 3) picture.SetPixel(x, y, level(images[0], x, y), level(images[1], x, y), level(images[2], x, y));
            else {
                const uint8_t g = level(images[0], x, y);
                picture.SetPixel(x, y, g, g, g);
            }
        }
    return picture;
}

void CheckCamera(double pixelUm, const SimulationParameters& p) {
    if (!(pixelUm > 0)) return;
    for (const WavelengthPitch& w : RunWavelengthPitches(p)) {
        const double smallest = SmallestCameraPixelUm(w.pitchUm);
        if (pixelUm < smallest)
            throw CalculationError(UserMessage("Camera", QT_TRANSLATE_NOOP("Camera", "カメラの画素 %1 µm は、波長 %2 nm の計算の標本間隔の半分 %3 µm より細かく、カメラ像にできません。画素を大きくしてください。"),
                                               {UserMessage::Value(FormatGeneral(pixelUm)), UserMessage::Value(w.lambdaNm),
                                                UserMessage::Value(FormatFixed(smallest, 3))}));
    }
}

const char* CameraSamplingName(CameraSampling verdict) {
    switch (verdict) {
    case CameraSampling::Under: return "undersampled";
    case CameraSampling::Over: return "oversampled";
    default: return "matched";
    }
}

}  // namespace velmora
