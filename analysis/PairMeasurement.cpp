#include "analysis/PairMeasurement.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora {
namespace {

double At(const BandResult& band, int i, int j) { return band.intensity(i, j); }

// The scene between its samples: Keys' cubic convolution (a = -1/2), exact for cubics, its
// error falling as the fourth power of the sampling; outside the grid, 0.
double SceneAt(const BandResult& band, double x, double y) {
    auto weights = [](double t, double w[4]) {
        const double t2 = t * t, t3 = t2 * t;
        w[0] = -0.5 * t3 + t2 - 0.5 * t;
        w[1] = 1.5 * t3 - 2.5 * t2 + 1;
        w[2] = -1.5 * t3 + 2 * t2 + 0.5 * t;
        w[3] = 0.5 * t3 - 0.5 * t2;
    };
    const int i0 = static_cast<int>(std::floor(x)), j0 = static_cast<int>(std::floor(y));
    if (i0 < 1 || j0 < 1 || i0 + 2 >= gridSize || j0 + 2 >= gridSize) return 0;
    double wi[4], wj[4];
    weights(x - i0, wi);
    weights(y - j0, wj);
    double sum = 0;
    for (int a = 0; a < 4; ++a) {
        const double* row = band.scene.data() + static_cast<size_t>(i0 - 1 + a) * gridSize + (j0 - 1);
        sum += wi[a] * (wj[0] * row[0] + wj[1] * row[1] + wj[2] * row[2] + wj[3] * row[3]);
    }
    return sum;
}

// The peak's place between the samples: a parabola through it and its neighbours on each axis.
double PeakOffset(double before, double at, double after) {
    const double curvature = before - 2 * at + after;
    return curvature < 0 ? 0.5 * (before - after) / curvature : 0;
}

}  // namespace

// The pair's dip along the segment from the star at (pi, pj) (its peak, refined between the
// samples) to the companion, read every twentieth of a sample.
void MeasurePair(const BandResult& band, int pi, int pj, BandMeasurements& m) {
    if (band.scene.size() != band.intensity.size() || pi < 1 || pj < 1 || pi >= gridSize - 1 || pj >= gridSize - 1)
        return;
    const double x1 = pi + PeakOffset(At(band, pi - 1, pj), At(band, pi, pj), At(band, pi + 1, pj));
    const double y1 = pj + PeakOffset(At(band, pi, pj - 1), At(band, pi, pj), At(band, pi, pj + 1));
    const double x2 = x1 + band.companionShiftI, y2 = y1 + band.companionShiftJ;
    const double length = std::hypot(x2 - x1, y2 - y1);
    const int steps = std::max(1, static_cast<int>(std::ceil(length * 20)));
    std::vector<double> line(static_cast<size_t>(steps) + 1);
    for (int k = 0; k <= steps; ++k) {
        const double t = static_cast<double>(k) / steps;
        line[static_cast<size_t>(k)] = SceneAt(band, x1 + t * (x2 - x1), y1 + t * (y2 - y1));
    }
    const double ends = std::min(line.front(), line.back());
    const double lowest = *std::min_element(line.begin(), line.end());
    m.pair = true;
    m.dipRatio = ends > 0 ? std::min(1.0, lowest / ends) : 1;
    // Sparrow: the pair is resolved when the light between the stars has a minimum below the
    // brightest light on both sides of it, wherever the scene's two maxima lie (below about
    // 1.2 lambda / D they are pulled in from the stars' places). A millionth is rounding.
    std::vector<double> rightMost(line.size());
    double right = 0;
    for (size_t k = line.size(); k-- > 0;) rightMost[k] = right = std::max(right, line[k]);
    double left = 0;
    for (size_t k = 0; k < line.size(); ++k) {
        left = std::max(left, line[k]);
        if (line[k] < std::min(left, rightMost[k]) * (1 - 1e-6)) m.resolved = true;
    }
}

}  // namespace velmora
