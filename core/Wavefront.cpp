#include "core/Wavefront.h"

namespace velmora {

double WavefrontError(const Aberrations& a, double x, double y, double rho2, double rho4) {
    return a.spherical * (6 * rho4 - 6 * rho2 + 1)
         + a.focus * (2 * rho2 - 1)
         + a.comaX * (3 * rho2 - 2) * x
         + a.comaY * (3 * rho2 - 2) * y
         + a.tiltX * x
         + a.tiltY * y
         + a.astigmatismM * (3 * x * x - 2) * y
         + a.astigmatismS * (3 * y * y - 2) * x;
}

}  // namespace velmora
