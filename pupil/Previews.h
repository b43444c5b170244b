// The preview pictures beside the parameter panel: aperture shape, density distribution with
// its radial profile, spectrum strip with the selected bands, and the two wavefront maps.
// Each is a plain function of the parameters; the main window only puts the picture on screen.
#pragma once

#include <cstdint>
#include <string>

#include "core/Picture24.h"
#include "core/SimulationParameters.h"
#include "pupil/PupilModel.h"

namespace velmora {

inline constexpr int previewSize = 160;
inline constexpr int spectrumWidth = 160;
inline constexpr int spectrumHeight = 70;

// A colour as the drawing routines take it: red in the low byte, green, blue in the high byte.
using ColorRef = uint32_t;
constexpr ColorRef MakeColorRef(int r, int g, int b) {
    return static_cast<ColorRef>(r) | static_cast<ColorRef>(g) << 8 | static_cast<ColorRef>(b) << 16;
}

// A pen line from (x0, y0) to (x1, y1), the end point itself not drawn (the next segment of a
// polyline starts there). Pixels outside the picture are skipped.
void DrawLine(Picture24& picture, int x0, int y0, int x1, int y1, ColorRef colour);

// Aperture shape: grey = transmission x 255 of rim, obstruction and vanes, 160 x 160. An
// aperture that is not positive draws an all-black picture.
Picture24 DrawAperturePreview(const SimulationParameters& p);

// Density distribution drawn into `image` (160 x 160): the grey profile with `background`
// outside the rim, then silver axes and the red radial curve. With the UserMask profile the
// picture keeps what it holds (the mask loader's copy) and only the axes are drawn.
void DrawDensityPreview(Picture24& image, const SimulationParameters& p, const UserFilter& filter,
                        ColorRef background);

// Spectrum strip: the rainbow background and the outline of the white band (monochrome) or of
// the red, green and blue bands (colour).
Picture24 DrawSpectrumPreview(const SimulationParameters& p, int width = spectrumWidth,
                              int height = spectrumHeight);

// Interference fringes of the wavefront: green = trunc(cos^2(2 pi W) x 255) inside the rim.
Picture24 DrawInterferencePreview(const Aberrations& a, int width = previewSize, int height = previewSize);

// Grey map of the wavefront, clamp(trunc(contrast x W + 127)); peakToValley receives
// max W - min W over the samples inside the rim.
Picture24 DrawPupilFunctionPreview(const Aberrations& a, int contrast, double& peakToValley,
                                   int width = previewSize, int height = previewSize);

// The whole wavefront over the samples of the pupil-function preview: its P-V, as the P-V label
// shows it, and its RMS about the mean of those samples (piston removed, every sample alike).
struct WavefrontFigures {
    double peakToValley = 0;
    double rms = 0;
};
WavefrontFigures MeasureWavefront(const Aberrations& a, int width = previewSize, int height = previewSize);

// The P-V label: three decimals directly followed by the wave sign ("2.000λ", UTF-8).
std::string PeakToValleyText(double peakToValley);

}  // namespace velmora
