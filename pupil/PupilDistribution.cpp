#include "pupil/PupilDistribution.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "pupil/UserMaskStage.h"

namespace velmora {
namespace {

// Which vane geometry an angle uses here: the quadrant it lies in, whatever the vane's number.
int QuadrantGeometry(int& thetaDegrees) {
    thetaDegrees = ((thetaDegrees % 360) + 360) % 360;
    return thetaDegrees / 90 + 1;
}

}  // namespace

int PupilDistributionSamples(double focalRatio) { return PupilSamples(focalRatio, 550); }

Picture24 BuildPupilDistribution(const PupilDistributionInputs& in, RealMatrix workGrid, const ProgressFn& progress) {
    const SimulationParameters& p = *in.params;
    const int np = PupilDistributionSamples(in.focalRatio);
    if (np < 1 || np > gridSize || !(p.aperture > 0)) return {};

    const double s = np / static_cast<double>(p.aperture);  // samples per millimetre
    const double h = s * p.barWidth * 0.5;
    const int centre = np / 2;
    std::vector<double> grid(static_cast<size_t>(np) * np, 0.0);  // [i][j]
    auto at = [&](int i, int j) -> double& { return grid[static_cast<size_t>(i) * np + j]; };
    auto report = [&](int i) {
        if (progress) progress(100 * i / np);
    };

    // Rim and obstruction about the integer centre.
    for (int i = 0; i < np; ++i) {
        report(i);
        for (int j = 0; j < np; ++j) {
            const double dist = std::sqrt(static_cast<double>((i - centre) * (i - centre) + (j - centre) * (j - centre)));
            double value = EdgeRamp(np * 0.5 - dist);
            if (p.secondaryDiameter != 0) {
                const double r = EdgeRamp(dist - s * p.secondaryDiameter * 0.5);
                if (r < 1) value = r;
            }
            at(i, j) = value;
        }
    }

    // Vanes. Their factors are assigned among themselves, the later vane winning, as the
    // calculation does, and then multiply the rim and obstruction: an edge sample of a vane
    // that crosses the obstruction stays dark.
    const bool spiders[4] = {p.spider1, p.spider2, p.spider3, p.spider4};
    const int angles[4] = {p.angle1, p.angle2, p.angle3, p.angle4};
    std::vector<double> vanes;
    for (int k = 0; k < 4; ++k) {
        if (!spiders[k]) continue;
        if (vanes.empty()) vanes.assign(grid.size(), 1.0);
        int theta = angles[k];
        const int geometry = QuadrantGeometry(theta);
        const VaneGeometry vane = MakeVaneGeometry(geometry, theta, np * 0.5, h);
        for (int i = 0; i < np; ++i) {
            report(i);
            for (int j = 0; j < np; ++j) {
                double f;
                if (VaneFactor(vane, i, j, false, f)) vanes[static_cast<size_t>(i) * np + j] = f;
            }
        }
    }
    if (!vanes.empty())
        for (size_t k = 0; k < grid.size(); ++k) grid[k] *= vanes[k];

    // Density about the geometric centre; nothing beyond the rim.
    Picture24 stage;
    const bool maskProfile = p.densityProfile == DensityProfileKind::UserMask;
    if (maskProfile && in.loadedMask && !in.loadedMask->empty())
        stage = StageUserMask(*in.loadedMask, userMaskStageMinimum);
    else if (maskProfile && in.userMask && !in.userMask->empty())
        stage = StageUserMask(*in.userMask, userMaskStageMinimum);
    const double c = np * 0.5;
    for (int i = 0; i < np; ++i)
        for (int j = 0; j < np; ++j) {
            double& v = at(i, j);
            const double dist = std::sqrt((i - c) * (i - c) + (j - c) * (j - c));
            const double rho = dist / (np * 0.5);
            if (maskProfile) {
                const int x = static_cast<int>(static_cast<long long>(i) * userMaskStageMinimum / np);
                const int y = static_cast<int>(static_cast<long long>(j) * userMaskStageMinimum / np);
                // Nothing loaded: no attenuation, as the calculation treats it.
                v *= stage.empty() ? 1.0 : stage.Green(x, y) / 256.0;
            } else {
                v *= DensityFactor(p.densityProfile, p.densityCoefficient, in.userFilter, rho);
            }
            if (rho > 1) v = 0;
        }

    const int offset = 512 - np / 2;
    for (int r = 0; r < gridSize; ++r) std::memset(workGrid[r], 0, sizeof(double) * gridSize);
    for (int i = 0; i < np; ++i)
        std::memcpy(workGrid[i + offset] + offset, &grid[static_cast<size_t>(i) * np], sizeof(double) * np);

    const int lo = 3 * gridSize / 8;
    Picture24 picture(pupilDistributionSize, pupilDistributionSize);
    for (int q = lo; q < 5 * gridSize / 8; ++q)
        for (int pp = lo; pp < 5 * gridSize / 8; ++pp) {
            const uint8_t g = TruncatedByte(255 * workGrid[pp][q]);
            picture.SetPixel(pp - lo, q - lo, g, g, g);
        }
    return picture;
}

}  // namespace velmora
