// The wavefront-error polynomial of the pupil, in waves, shared by the calculation and the
// wavefront previews.
#pragma once

#include "core/SimulationParameters.h"

namespace velmora {

// W at normalised pupil coordinates (x, y); rho2 and rho4 are rho^2 and rho^4 as the caller
// forms them from its own rho. The Zernike terms of `a`, if any, add to the panel's eight,
// and the mirror's terms to both.
double WavefrontError(const Aberrations& a, double x, double y, double rho2, double rho4);

}  // namespace velmora
