#include "pupil/UserMaskStage.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "core/Matrix.h"

namespace velmora {
namespace {

// Area-weighted enlargement of one axis by a > 1: destination cell k covers source interval
// [k / a, (k + 1) / a) and takes the overlap-weighted mean of the source cells there.
std::vector<double> EnlargeAxis(const std::vector<double>& src, int count, int stride, int lines,
                                double a, int outCount) {
    std::vector<double> out(static_cast<size_t>(outCount) * lines, 0.0);
    for (int line = 0; line < lines; ++line) {
        for (int k = 0; k < outCount; ++k) {
            double lo = k / a;
            double hi = (k + 1) / a;
            double sum = 0;
            for (int p = static_cast<int>(lo); p < count && p < hi; ++p) {
                double overlap = std::min(hi, p + 1.0) - std::max(lo, static_cast<double>(p));
                if (overlap > 0) sum += overlap * src[static_cast<size_t>(line) * stride + p];
            }
            out[static_cast<size_t>(line) * outCount + k] = sum * a;
        }
    }
    return out;
}

// The w x h values ([y][x]) rescaled by a, anchored at the top-left corner, onto a side x side
// grid ([y][x]); cells the rescaled picture does not reach are 0. A factor up to 1 reduces
// with ShrinkMatrix; above 1 the area-weighted enlargement does the counterpart.
std::vector<double> RescaleTopLeft(const std::vector<double>& src, int w, int h, double a, int side) {
    std::vector<double> out(static_cast<size_t>(side) * side, 0.0);
    if (a <= 1) {
        RealMatrixHolder m;  // [x][y], like the picture's columns
        if (m.Allocate(w, h) != 0) throw std::bad_alloc();
        for (int x = 0; x < w; ++x)
            for (int y = 0; y < h; ++y) m[x][y] = src[static_cast<size_t>(y) * w + x];
        ShrinkMatrix(a, w, h, m.get());
        for (int y = 0; y < std::min(h, side); ++y)
            for (int x = 0; x < std::min(w, side); ++x) out[static_cast<size_t>(y) * side + x] = m[x][y];
        return out;
    }
    const int outW = std::min(side, static_cast<int>(std::ceil(a * w)));
    const int outH = std::min(side, static_cast<int>(std::ceil(a * h)));
    // Rows first (along x), then along y by treating columns as lines.
    std::vector<double> wide = EnlargeAxis(src, w, w, h, a, outW);  // [y][x'], h lines
    std::vector<double> cols(static_cast<size_t>(outW) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < outW; ++x) cols[static_cast<size_t>(x) * h + y] = wide[static_cast<size_t>(y) * outW + x];
    std::vector<double> tall = EnlargeAxis(cols, h, h, outW, a, outH);  // [x'][y']
    for (int x = 0; x < outW; ++x)
        for (int y = 0; y < outH; ++y) out[static_cast<size_t>(y) * side + x] = tall[static_cast<size_t>(x) * outH + y];
    return out;
}

}  // namespace

double MaskPixelValue(const Picture24& picture, int x, int y) {
    return (65536.0 * picture.Blue(x, y) + 256.0 * picture.Green(x, y) + picture.Red(x, y)) / 16777216.0;
}

Picture24 StageUserMask(const Picture24& mask, int pupilSamples) {
    const int side = std::max(userMaskStageMinimum, pupilSamples);
    Picture24 stage(side, side);
    const int w = mask.width;
    const int h = mask.height;
    if (w <= 0 || h <= 0 || pupilSamples <= 0) return stage;
    std::vector<double> src(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) src[static_cast<size_t>(y) * w + x] = MaskPixelValue(mask, x, y);
    const std::vector<double> values = RescaleTopLeft(src, w, h, static_cast<double>(pupilSamples) / w, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const uint8_t level = TruncatedByte(255 * values[static_cast<size_t>(y) * side + x]);
            stage.SetPixel(x, y, level, level, level);
        }
    return stage;
}

Picture24 MaskPreviewCopy(const Picture24& mask) {
    const int side = userMaskStageMinimum;
    Picture24 copy(side, side);
    const int w = mask.width;
    const int h = mask.height;
    if (w <= 0 || h <= 0) return copy;
    std::vector<double> src(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) src[static_cast<size_t>(y) * w + x] = mask.Blue(x, y);
    const std::vector<double> values = RescaleTopLeft(src, w, h, static_cast<double>(side) / w, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const uint8_t level = TruncatedByte(values[static_cast<size_t>(y) * side + x]);
            copy.SetPixel(x, y, level, level, level);
        }
    return copy;
}

}  // namespace velmora
