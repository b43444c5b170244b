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

namespace {

// Each coefficient of the panel: its spin position in the record, its value in waves, and the
// scale between them (waves = position x scale).
struct Coefficient {
    int16_t SimulationParameters::*position;
    double Aberrations::*waves;
    double scale;
};
constexpr Coefficient coefficients[] = {
    {&SimulationParameters::spherical, &Aberrations::spherical, aberrationScale},
    {&SimulationParameters::focus, &Aberrations::focus, focusScale},
    {&SimulationParameters::comaX, &Aberrations::comaX, aberrationScale},
    {&SimulationParameters::comaY, &Aberrations::comaY, aberrationScale},
    {&SimulationParameters::tiltX, &Aberrations::tiltX, aberrationScale},
    {&SimulationParameters::tiltY, &Aberrations::tiltY, aberrationScale},
    {&SimulationParameters::astigmatismM, &Aberrations::astigmatismM, aberrationScale},
    {&SimulationParameters::astigmatismS, &Aberrations::astigmatismS, aberrationScale},
};

}  // namespace

Aberrations AberrationsInWaves(const SimulationParameters& p) {
    Aberrations a;
    for (const Coefficient& c : coefficients) a.*(c.waves) = p.*(c.position) * c.scale;
    return a;
}

bool PlaceAberrations(const Aberrations& a, SimulationParameters& p) {
    bool exact = true;
    for (const Coefficient& c : coefficients) {
        const double waves = a.*(c.waves);
        const double held = std::fmin(std::fmax(std::round(waves / c.scale), INT16_MIN), INT16_MAX);
        p.*(c.position) = static_cast<int16_t>(held);
        if (std::fabs(held * c.scale - waves) > 1e-9 * std::fmax(1.0, std::fabs(waves))) exact = false;
    }
    return exact;
}

}  // namespace velmora
