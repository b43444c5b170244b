#include "core/SimulationParameters.h"

#include <cmath>

#include "core/NumberText.h"

namespace velmora {

int DensityProfileCode(DensityProfileKind kind) {
    return 3 + static_cast<int>(kind);
}

bool DensityProfileFromCode(int code, DensityProfileKind& kind) {
    if (code < 3 || code > 8) return false;
    kind = static_cast<DensityProfileKind>(code - 3);
    return true;
}

int CoefficientSpinPosition(std::string_view text) {
    long double product = ParseExtended(text) * 100.0L;
    product = std::trunc(product);
    if (product > INT16_MAX) return INT16_MAX;
    if (product < INT16_MIN) return INT16_MIN;
    return static_cast<int>(product);
}

double FocalRatio(int focalLength, int aperture) {
    return static_cast<double>(focalLength) / static_cast<double>(aperture);
}

int PupilSamples(double focalRatio, long long lambdaNm) {
    long double p = 1000.0L / focalRatio * 550.0L / static_cast<long double>(lambdaNm);
    if (std::isnan(p)) return 0;
    p = std::trunc(p);
    if (p >= static_cast<long double>(INT32_MAX)) return INT32_MAX;
    if (p <= static_cast<long double>(INT32_MIN)) return INT32_MIN;
    return static_cast<int>(p);
}

double PupilDivForExponent(int k) {
    return std::ldexp(1.0, k);
}

Aberrations AberrationsInWaves(const SimulationParameters& p) {
    Aberrations a;
    a.spherical = p.spherical * aberrationScale;
    a.focus = p.focus * focusScale;
    a.comaX = p.comaX * aberrationScale;
    a.comaY = p.comaY * aberrationScale;
    a.tiltX = p.tiltX * aberrationScale;
    a.tiltY = p.tiltY * aberrationScale;
    a.astigmatismM = p.astigmatismM * aberrationScale;
    a.astigmatismS = p.astigmatismS * aberrationScale;
    return a;
}

}  // namespace velmora
