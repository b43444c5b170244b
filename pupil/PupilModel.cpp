#include "pupil/PupilModel.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "core/Wavefront.h"
#include "pupil/UserMaskStage.h"

namespace velmora {
namespace {

constexpr double pi = 3.14159265358979323846;

double Radians(double degrees) { return degrees * pi / 180; }

}  // namespace

double EdgeRamp(double d) {
    if (d <= -0.5) return 0;
    if (d < 0.5) return d + 0.5;
    return 1;
}

double DensityFactor(DensityProfileKind kind, double c, const UserFilter* filter, double rho) {
    switch (kind) {
    case DensityProfileKind::Gaussian:
        // exp(-c^2 rho^2); at the centre 1 whatever c (c^2 may overflow to infinity).
        return rho == 0 ? 1.0 : std::exp(-(c * c) * (rho * rho));
    case DensityProfileKind::Cosine:
        return (1 + std::cos(pi * c * rho)) / 2;
    case DensityProfileKind::Triangle:
        return 1 - rho;
    case DensityProfileKind::UserFilter: {
        if (!filter || !filter->userFilterLoaded || filter->userFilterCount <= 0) return 1;
        const int count = std::min(filter->userFilterCount, userFilterCapacity);
        double index = std::trunc(count * rho);
        int k = index >= count ? count - 1 : index <= 0 ? 0 : static_cast<int>(index);
        return filter->userFilterTable[k];
    }
    case DensityProfileKind::UserMask:
    case DensityProfileKind::None:
        break;
    }
    return 1;
}

VaneGeometry MakeVaneGeometry(int geometry, double thetaDegrees, double centre, double halfWidth) {
    VaneGeometry v;
    v.geometry = geometry;
    v.c = centre;
    v.h = halfWidth;
    v.kappa = std::cos(Radians(thetaDegrees - 90.0 * (geometry - 1)));
    // Vanes 1 and 3 are bounded per column, 2 and 4 per row (with psi = 90 deg - theta), so
    // that the edge slope stays finite near their own direction.
    double angle = (geometry == 1 || geometry == 3) ? Radians(thetaDegrees) : Radians(90.0 - thetaDegrees);
    v.slope = std::tan(angle);
    v.offset = halfWidth / std::fabs(std::cos(angle));
    return v;
}

int VaneRules(const VaneGeometry& v, double i, double j, bool inclusiveEdges, double factors[3]) {
    switch (v.geometry) {
    case 1: if (!(i >= v.c - v.h)) return 0; break;
    case 2: if (!(j >= v.c - v.h)) return 0; break;
    case 3: if (!(i <= v.c + v.h)) return 0; break;
    default: if (!(j <= v.c + v.h)) return 0; break;
    }
    const bool perColumn = v.geometry == 1 || v.geometry == 3;
    const double along = perColumn ? i - v.c : j - v.c;
    const double across = perColumn ? j - v.c : i - v.c;
    const double ePlus = v.slope * along + v.offset;
    const double eMinus = v.slope * along - v.offset;
    const double dPlus = across - ePlus;
    const double dMinus = across - eMinus;
    const double tol = 0.5 / v.kappa;
    auto within = [&](double d) { return inclusiveEdges ? std::fabs(d) <= tol : std::fabs(d) < tol; };
    int n = 0;
    if (within(dPlus)) factors[n++] = v.kappa * dPlus + 0.5;
    if (within(dMinus)) factors[n++] = 0.5 - v.kappa * dMinus;
    // With strict edges, a sample exactly half a sample inside both edges (a vane whose edges
    // fall midway between samples) would match no rule and stay open, so that such a vane
    // vanished; the ramp is 0 there, and the body takes it.
    const bool body = inclusiveEdges ? (dPlus < -tol && dMinus > tol) : (dPlus <= -tol && dMinus >= tol);
    if (body) factors[n++] = 0;
    return n;
}

bool VaneFactor(const VaneGeometry& v, double i, double j, bool inclusiveEdges, double& factor) {
    double factors[3];
    const int n = VaneRules(v, i, j, inclusiveEdges, factors);
    if (n > 0) factor = factors[n - 1];
    return n > 0;
}

int BuildPupil(const PupilInputs& in, int lambdaNm, RealMatrix workGrid, const ProgressFn& progress) {
    const SimulationParameters& p = *in.params;
    const double apertureMm = p.aperture;
    const int np = PupilSamples(FocalRatio(p.focalLength, p.aperture), lambdaNm);
    if (np < 1 || np > gridSize) return 0;

    const double c = np * 0.5;
    const double samplesPerMm = np / apertureMm;
    const double h = samplesPerMm * p.barWidth * 0.5;
    std::vector<double> grid(static_cast<size_t>(np) * np, 1.0);  // [i][j]
    auto at = [&](int i, int j) -> double& { return grid[static_cast<size_t>(i) * np + j]; };

    Picture24 ownStage;
    const Picture24* stagePointer = &ownStage;
    std::shared_ptr<const Picture24> sharedStage;
    const bool kept = in.loadedMask && !in.loadedMask->empty();
    const bool maskProfile =
        p.densityProfile == DensityProfileKind::UserMask && (kept || (in.userMask && !in.userMask->empty()));
    if (maskProfile) {
        if (in.userMaskStages) stagePointer = (sharedStage = in.userMaskStages->Share(np)).get();
        else ownStage = kept ? StageUserMask(*in.loadedMask, np) : StageUserMask(*in.userMask, np);
        if (in.userMaskStage) *in.userMaskStage = *stagePointer;
    }
    const Picture24& stage = *stagePointer;

    const bool spiders[4] = {p.spider1, p.spider2, p.spider3, p.spider4};
    const int angles[4] = {p.angle1, p.angle2, p.angle3, p.angle4};
    for (int k = 0; k < 4; ++k) {
        if (!spiders[k]) continue;
        const VaneGeometry vane = MakeVaneGeometry(k + 1, angles[k], c, h);
        for (int i = 0; i < np; ++i)
            for (int j = 0; j < np; ++j) {
                double f;
                if (VaneFactor(vane, i, j, false, f)) at(i, j) = f;
            }
    }

    const double e = p.secondaryDiameter / apertureMm;
    int lastPercent = -1;
    for (int i = 0; i < np; ++i) {
        if (progress) {
            int percent = 100 * i / np;
            if (percent != lastPercent) progress(lastPercent = percent);
        }
        for (int j = 0; j < np; ++j) {
            double& v = at(i, j);
            const double dist = std::sqrt((i - c) * (i - c) + (j - c) * (j - c));
            const double dRim = np * 0.5 - dist;
            if (dRim >= -0.5 && dRim < 0.5) v *= dRim + 0.5;
            if (e != 0) v *= EdgeRamp(dist - np * e * 0.5);
            const double rho = dist / (np * 0.5);
            if (maskProfile) v *= MaskPixelValue(stage, i, j);
            else v *= DensityFactor(p.densityProfile, p.densityCoefficient, in.userFilter, rho);
            if (rho > 1) v = 0;
        }
    }

    const int offset = 512 - np / 2;
    for (int r = 0; r < gridSize; ++r) std::memset(workGrid[r], 0, sizeof(double) * gridSize);
    for (int i = 0; i < np; ++i)
        std::memcpy(workGrid[i + offset] + offset, &grid[static_cast<size_t>(i) * np], sizeof(double) * np);
    return np;
}

}  // namespace velmora
