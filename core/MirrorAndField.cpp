#include "core/MirrorAndField.h"

#include <cmath>
#include <iterator>
#include <numbers>

namespace velmora {

MirrorSeidelMm MirrorSeidel(const MirrorAndField& m, double apertureMm, double focalLengthMm) {
    MirrorSeidelMm w;
    if (!m.on || !(focalLengthMm > 0)) return w;
    const double h = apertureMm / 2;
    const double r = 2 * focalLengthMm;
    const double theta = m.fieldArcmin / 60 * std::numbers::pi / 180;
    w.w040 = (1 + m.conic) * (h * h * h * h) / (4 * r * r * r);
    w.w131 = theta * (h * h * h) / (r * r);
    w.w222 = theta * theta * (h * h) / r;
    return w;
}

ZernikeSet MirrorFringeWaves(const MirrorAndField& m, double apertureMm, double focalLengthMm, double lambdaNm) {
    ZernikeSet set;
    if (!m.on || !(lambdaNm > 0)) return set;
    const MirrorSeidelMm w = MirrorSeidel(m, apertureMm, focalLengthMm);
    const double lambdaMm = lambdaNm * 1e-6;
    const double phi = m.azimuthDeg * std::numbers::pi / 180;
    const double coma = w.w131 / 3 / lambdaMm;
    const double astigmatism = w.w222 / 2 / lambdaMm;
    const double terms[][2] = {
        {5, astigmatism * std::cos(2 * phi)},
        {6, astigmatism * std::sin(2 * phi)},
        {7, coma * std::cos(phi)},
        {8, coma * std::sin(phi)},
        {9, w.w040 / 6 / lambdaMm},
    };
    // A field along an axis leaves the other term of each pair at zero, not at the rounding of
    // cos 90 degrees: what is below 1e-12 of its pair's size is no term.
    const double pairSize[] = {astigmatism, astigmatism, coma, coma, 0};
    for (size_t k = 0; k < std::size(terms); ++k) {
        const double waves = terms[k][1];
        if (waves == 0 || std::fabs(waves) <= 1e-12 * std::fabs(pairSize[k])) continue;
        set.coefficients[static_cast<int>(terms[k][0])] = waves;
    }
    return set;
}

ZernikeSet AddedFringeWaves(const ZernikeSet* table, const MirrorAndField& m, double apertureMm, double focalLengthMm,
                            double lambdaNm) {
    ZernikeSet sum;
    if (table) sum = AnsiToFringe(*table);
    for (const auto& [index, waves] : MirrorFringeWaves(m, apertureMm, focalLengthMm, lambdaNm).coefficients)
        sum.coefficients[index] += waves;
    std::erase_if(sum.coefficients, [](const auto& term) { return term.second == 0; });
    return sum;
}

}  // namespace velmora
