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

    const double a = static_cast<double>(pupilSamples) / w;
    int coveredW = 0;
    int coveredH = 0;
    std::vector<double> values;  // [y][x], coveredW per line
    if (a <= 1) {
        RealMatrixHolder m;  // [x][y], like the picture's columns
        if (m.Allocate(w, h) != 0) throw std::bad_alloc();
        for (int x = 0; x < w; ++x)
            for (int y = 0; y < h; ++y) m[x][y] = MaskPixelValue(mask, x, y);
        ShrinkMatrix(a, w, h, m.get());
        coveredW = std::min(w, side);
        coveredH = std::min(h, side);
        values.resize(static_cast<size_t>(coveredW) * coveredH);
        for (int y = 0; y < coveredH; ++y)
            for (int x = 0; x < coveredW; ++x) values[static_cast<size_t>(y) * coveredW + x] = m[x][y];
    } else {
        std::vector<double> src(static_cast<size_t>(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) src[static_cast<size_t>(y) * w + x] = MaskPixelValue(mask, x, y);
        const int outW = std::min(side, static_cast<int>(std::ceil(a * w)));
        const int outH = std::min(side, static_cast<int>(std::ceil(a * h)));
        // Rows first (along x), then transpose-free along y by treating columns as lines.
        std::vector<double> wide = EnlargeAxis(src, w, w, h, a, outW);  // [y][x'], h lines
        std::vector<double> cols(static_cast<size_t>(outW) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < outW; ++x) cols[static_cast<size_t>(x) * h + y] = wide[static_cast<size_t>(y) * outW + x];
        std::vector<double> tall = EnlargeAxis(cols, h, h, outW, a, outH);  // [x'][y']
        coveredW = outW;
        coveredH = outH;
        values.resize(static_cast<size_t>(coveredW) * coveredH);
        for (int x = 0; x < coveredW; ++x)
            for (int y = 0; y < coveredH; ++y)
                values[static_cast<size_t>(y) * coveredW + x] = tall[static_cast<size_t>(x) * outH + y];
    }
    for (int y = 0; y < coveredH; ++y)
        for (int x = 0; x < coveredW; ++x) {
            const uint8_t level = TruncatedByte(255 * values[static_cast<size_t>(y) * coveredW + x]);
            stage.SetPixel(x, y, level, level, level);
        }
    return stage;
}

}  // namespace velmora
