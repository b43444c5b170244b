// The primary mirror's own aberrations: a conic of any constant, used at a field angle, with the
// stop at the mirror. Third-order terms after D. J. Schroeder, "Astronomical Optics" (2nd ed.,
// 2000), ch. 5 (the aberration coefficients of one mirror) and ch. 6 (stop at the mirror): with
// h the semi-aperture, R = 2 f the vertex radius of curvature and theta the field angle in
// radians,
//   W040 = (1 + K) h^4 / (4 R^3)   spherical aberration,
//   W131 = theta h^3 / R^2         coma,
//   W222 = theta^2 h^2 / R         astigmatism,
// as the wavefront at the pupil's edge. At best focus with tilt removed they are the Fringe
// terms Z9 = W040 / 6, Z7 = W131 / 3 and Z5 = W222 / 2 (the defocus and tilt parts of rho^4,
// rho^3 cos and rho^2 cos^2 left out); the field's azimuth turns the coma pair (Z7, Z8) by the
// azimuth and the astigmatism pair (Z5, Z6) by twice it. The terms are lengths: in waves each
// wavelength gets its own, W / lambda.
#pragma once

#include "core/Zernike.h"

namespace velmora {

// The mirror and field input. Off, nothing is added to any wavefront.
struct MirrorAndField {
    bool on = false;
    double conic = 0;        // K: 0 sphere, -1 paraboloid, < -1 hyperboloid, > 0 oblate
    double fieldArcmin = 0;  // angle of the star from the axis
    double azimuthDeg = 0;   // direction of the star in the field, from +x towards +y
    bool operator==(const MirrorAndField&) const = default;
};

// The three Seidel coefficients in millimetres at the pupil's edge; all zero when off.
struct MirrorSeidelMm {
    double w040 = 0;
    double w131 = 0;
    double w222 = 0;
};
MirrorSeidelMm MirrorSeidel(const MirrorAndField& m, double apertureMm, double focalLengthMm);

// The Fringe terms Z5..Z9 of the mirror at lambdaNm, in waves; terms that are zero are left
// out, so the set is empty when the mirror is off (or on axis with K = -1).
ZernikeSet MirrorFringeWaves(const MirrorAndField& m, double apertureMm, double focalLengthMm, double lambdaNm);

// Everything added to the panel's terms as one Fringe set at lambdaNm, in waves: the Zernike
// table (`table`, may be null; an ANSI set converted, its terms without a Fringe one left out)
// and the mirror's terms; sums that are zero are left out.
ZernikeSet AddedFringeWaves(const ZernikeSet* table, const MirrorAndField& m, double apertureMm, double focalLengthMm,
                            double lambdaNm);

// Limits of the inputs the window and the batch command take: a field beyond a degree is far
// outside any third-order description of a telescope mirror, and conic constants beyond
// +-1000 describe no mirror anybody makes.
inline constexpr double maximumConicMagnitude = 1000;
inline constexpr double maximumFieldArcmin = 60;
inline constexpr double maximumAzimuthMagnitude = 360;

}  // namespace velmora
