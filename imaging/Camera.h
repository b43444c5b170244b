// The star as a camera records it: the focal-plane pattern integrated over each of the sensor's
// square pixels, with the figures that say whether the pixel suits the focal length and the
// star. Plain C++, no toolkit.
#pragma once

#include <string>
#include <vector>

#include "core/Picture24.h"
#include "core/PsfCalculation.h"

namespace velmora {

enum class CameraSampling { Under, Matched, Over };

// Under 2 pixels per FWHM the camera undersamples the star; over 5 it spends pixels (and noise)
// on a star it could hold in fewer.
inline constexpr double undersampledBelow = 2;
// The largest pixel a camera is given, in micrometres.
inline constexpr double maximumCameraPixelUm = 100;
inline constexpr double oversampledAbove = 5;

struct CameraImage {
    double pixelUm = 0;
    double pixelArcsec = 0;
    // Pixels per side, odd: the middle pixel's centre is the grid centre, where a star without
    // tilt falls. The pixels cover the whole simulated field (those at its border only partly).
    int size = 0;
    // Each pixel's share of the band's energy, [row * size + column] with rows along the grid's
    // first index; the shares add up to 1.
    std::vector<double> share;
    double fwhmPx = 0;           // of the camera image itself, through its brightest pixel
    double samplesPerFwhm = 0;   // the pattern's FWHM (not the camera's) over the pixel
    CameraSampling verdict = CameraSampling::Matched;

    double At(int row, int column) const { return share[static_cast<size_t>(row) * size + column]; }
};

// The finest pixel the camera takes on a grid of pitch `pitchUm`: half a sample. A finer one
// records nothing the grid does not already hold, and its image, over 2n + 3 pixels a side,
// would outgrow the memory as the pixel shrinks (a fiftieth of a sample would ask for 24 GB).
inline double SmallestCameraPixelUm(double pitchUm) { return pitchUm / 2; }

// Raises CalculationError when `pixelUm` (above 0) is finer than half a sample at one of the
// run's wavelengths: called before the run, as the sky's check is.
void CheckCamera(double pixelUm, const SimulationParameters& p);

// Each grid sample stands for the square of the grid's pitch about it, the light spread evenly
// over it; a pixel gathers the parts of the squares it covers. `pitchUm` is the band's sample
// pitch, `focalLengthMm` turns the pixel into an angle, `fwhmUm` is the pattern's FWHM as the
// analysis measured it. Returns an empty image (size 0) for a pixel that is not a positive
// number or is finer than SmallestCameraPixelUm, or a band without light.
CameraImage IntegrateOverPixels(const RealGrid& intensity, double pitchUm, double pixelUm,
                                double focalLengthMm, double fwhmUm);


// The camera images of a run as a picture, one picture pixel per camera pixel, linear, the
// brightest pixel of all at 255: grey for one image, red, green and blue for the three bands of
// a colour run (given red, green, blue). Empty when no image has pixels.
Picture24 CameraPicture(const std::vector<CameraImage>& images);

// "undersampled", "matched" or "oversampled", as the report writes it.
const char* CameraSamplingName(CameraSampling verdict);

}  // namespace velmora
