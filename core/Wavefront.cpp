#include "core/Wavefront.h"

namespace velmora {

// The astigmatism terms are (3x^2 - 2)y and (3y^2 - 2)x as the instrument has always defined
// them: not the normalised Zernike forms, so a coefficient is not an RMS or a peak-to-valley of
// the astigmatism alone. Stored coefficients and results depend on exactly these terms.
double WavefrontError(const Aberrations& a, double x, double y, double rho2, double rho4) {
    const double panel = a.spherical * (6 * rho4 - 6 * rho2 + 1)
         + a.focus * (2 * rho2 - 1)
         + a.comaX * (3 * rho2 - 2) * x
         + a.comaY * (3 * rho2 - 2) * y
         + a.tiltX * x
         + a.tiltY * y
         + a.astigmatismM * (3 * x * x - 2) * y
         + a.astigmatismS * (3 * y * y - 2) * x;
    // Without Zernike terms W is the panel's sum as it has always been, to the bit.
    if (a.mirror.Empty()) {
        if (a.zernike.Empty()) return panel;
        return panel + a.zernike.Evaluate(x, y, rho2, rho4);
    }
    const double table = a.zernike.Empty() ? panel : panel + a.zernike.Evaluate(x, y, rho2, rho4);
    return table + a.mirror.Evaluate(x, y, rho2, rho4);
}

}  // namespace velmora
