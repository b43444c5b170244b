// The parameter record of one telescope set-up: every value of the main window's panel,
// with its factory default and the range its spin button can produce.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/Zernike.h"

namespace velmora {

// Side of every calculation matrix, whatever pupilDiv shows.
inline constexpr int gridSize = 1024;

// In the order of the panel's radio buttons; the data file stores them as codes 3..8.
enum class DensityProfileKind { Gaussian, Cosine, Triangle, UserMask, None, UserFilter };

enum class ColorMode { Monochrome, Colour };

struct WavelengthBand {
    int min = 0;   // nm
    int max = 0;   // nm
    int step = 1;  // nm
    bool operator==(const WavelengthBand&) const = default;
};

struct SpinRange {
    int min;
    int max;
    int increment;
};

struct SimulationParameters {
    int aperture = 160;           // mm
    int focalLength = 1000;       // mm
    int secondaryDiameter = 50;   // mm, 0 = no central obstruction
    int barWidth = 1;             // mm, thickness of every spider vane
    int angle1 = 0;               // degrees from +x towards +y (clockwise on screen)
    int angle2 = 90;
    int angle3 = 180;
    int angle4 = 270;
    bool spider1 = false;
    bool spider2 = false;
    bool spider3 = false;
    bool spider4 = false;
    int shiftX = 0;               // mm
    int shiftY = 0;               // mm
    int magnification = 1000;
    int pupilDivExponent = 10;
    int pupilDiv = 1024;          // shown and stored only; the grid stays gridSize
    DensityProfileKind densityProfile = DensityProfileKind::None;
    double densityCoefficient = 1.0;
    ColorMode colorMode = ColorMode::Monochrome;
    WavelengthBand whiteBand{600, 700, 100};
    WavelengthBand redBand{600, 700, 100};
    WavelengthBand greenBand{500, 600, 100};
    WavelengthBand blueBand{400, 500, 100};
    // Wavefront aberrations, held as spin positions: waves = position x scale
    // (focusScale for focus, aberrationScale for the other seven).
    int16_t focus = 0;
    int16_t spherical = 0;
    int16_t astigmatismM = 0;
    int16_t astigmatismS = 0;
    int16_t comaX = 0;
    int16_t comaY = 0;
    int16_t tiltX = 0;
    int16_t tiltY = 0;
    int contrast = 200;
    bool useWavelengthDependence = false;
    bool operator==(const SimulationParameters&) const = default;
};

inline constexpr double focusScale = 0.1;
inline constexpr double aberrationScale = 0.01;

// Spin ranges of the panel. A typed or loaded value is not clamped to them.
namespace spin {
inline constexpr SpinRange aperture{0, 300, 1};
inline constexpr SpinRange focalLength{100, 30000, 1};
inline constexpr SpinRange secondaryDiameter{0, 100, 1};
inline constexpr SpinRange barWidth{1, 100, 1};
inline constexpr SpinRange angle{0, 359, 1};
inline constexpr SpinRange magnification{1, 10000, 200};
inline constexpr SpinRange pupilDivExponent{1, 13, 1};
inline constexpr SpinRange densityCoefficient{0, 1000, 2};  // positions of 0.01
inline constexpr SpinRange bandLimit{350, 1100, 10};
inline constexpr SpinRange bandStep{1, 400, 5};
inline constexpr SpinRange aberration{-100, 100, 1};
inline constexpr SpinRange contrast{1, 1000, 10};
// The shift spins run from 0 to half the aperture.
constexpr SpinRange Shift(int aperture) { return {0, static_cast<int>(aperture * 0.5), 1}; }
}  // namespace spin

// Data-file code of a density kind (3..8) and back; FromCode returns false for other codes.
int DensityProfileCode(DensityProfileKind kind);
bool DensityProfileFromCode(int code, DensityProfileKind& kind);

// Spin position of the density coefficient typed as `text`: trunc(value x 100) with the value
// and the product in extended precision (0.29 gives 29, 0.295 gives 29). Clamped to the
// 16-bit range a spin position can hold. Raises ConversionError.
int CoefficientSpinPosition(std::string_view text);

// focalLength / aperture as the calculation forms it (a double; infinite for aperture 0).
double FocalRatio(int focalLength, int aperture);
// Samples across the primary at lambdaNm: trunc(1000 / focalRatio x 550 / lambda), formed left
// to right in extended precision. Results beyond the int range are held at its ends and an
// undefined quotient (0/0) gives 0, so a caller can always range-check the value.
int PupilSamples(double focalRatio, long long lambdaNm);

// 2 to the power k, the value Edit16 shows for UpDown16 at k.
double PupilDivForExponent(int k);

// The eight aberration coefficients in waves, and the Zernike terms that add to them (none
// unless a measured wavefront is given).
struct Aberrations {
    double spherical = 0;
    double focus = 0;
    double comaX = 0;
    double comaY = 0;
    double tiltX = 0;
    double tiltY = 0;
    double astigmatismM = 0;
    double astigmatismS = 0;
    ZernikeWavefront zernike;
    // The primary mirror's own terms at the field angle, in waves at the wavelength these
    // coefficients are for (empty while the mirror input is off).
    ZernikeWavefront mirror;
    bool operator==(const Aberrations&) const = default;
};
Aberrations AberrationsInWaves(const SimulationParameters& p);
// The other way: each coefficient in waves to the panel's nearest spin position (held to the
// positions' range); false when one of them does not lie on the panel's steps.
bool PlaceAberrations(const Aberrations& a, SimulationParameters& p);

}  // namespace velmora
