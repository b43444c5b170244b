// Zernike polynomials over the unit pupil: the two orderings a measured wavefront comes in (the
// Fringe set of interferometry and the single-index ANSI order of ophthalmic optics), and a set
// of coefficients evaluated at a pupil sample so that it adds to the panel's terms.
//
// Sources of the definitions:
// - Fringe (University of Arizona) set Z1..Z37, unnormalised (every polynomial is 1 at rho = 1,
//   theta = 0 for its cosine form): J. C. Wyant and K. Creath, "Basic wavefront aberration theory
//   for optical metrology", Applied Optics and Optical Engineering XI (1992), ch. 1, table 13.
// - Single-index order j = (n (n + 2) + m) / 2, RMS-normalised (each term has RMS 1 over the
//   disc): ANSI Z80.28-2017 / ISO 24157:2008 (L. N. Thibos et al., "Standards for reporting the
//   optical aberrations of eyes", J. Refract. Surg. 18 (2002) S652).
//
// Coordinates: x and y are the panel's normalised pupil coordinates (x to the right, y
// downward on the screen, in units of the pupil radius), and theta runs from +x towards +y, as
// the vane angles do. With this, Fringe Z2, Z3, Z4, Z7, Z8 and Z9 are the panel's tilt X, tilt
// Y, focus, coma X, coma Y and spherical terms, formed with the very same arithmetic.
#pragma once

#include <array>
#include <map>
#include <vector>

namespace velmora {

enum class ZernikeOrdering { Fringe, Ansi };

// Radial degree n and azimuthal frequency m of one polynomial: m > 0 the cos(m theta) term,
// m < 0 the sin(|m| theta) term, m = 0 the rotationally symmetric one.
struct ZernikeMode {
    int n = 0;
    int m = 0;
    bool operator==(const ZernikeMode&) const = default;
};

// Fringe Z1..Z37; ANSI j = 0..90, every term of radial degree 12 or less (91 terms), which
// covers the whole Fringe set (its Z37 is degree 12).
inline constexpr int fringeFirstIndex = 1;
inline constexpr int fringeLastIndex = 37;
inline constexpr int ansiFirstIndex = 0;
inline constexpr int ansiLastIndex = 90;
inline constexpr int zernikeMaximumDegree = 12;

int FirstZernikeIndex(ZernikeOrdering ordering);
int LastZernikeIndex(ZernikeOrdering ordering);
// The mode of an index of the ordering; the index must lie in its range.
ZernikeMode ZernikeModeOf(ZernikeOrdering ordering, int index);
// The index of a mode in the ordering, or -1 when the ordering has no such term.
int ZernikeIndexOf(ZernikeOrdering ordering, ZernikeMode mode);
// The factor that turns a coefficient of the ordering into one of the unnormalised polynomial:
// 1 for Fringe; sqrt(2 (n + 1)) for an ANSI term with m != 0, sqrt(n + 1) for m = 0.
double ZernikeScale(ZernikeOrdering ordering, int index);

// The Japanese name of a mode ("デフォーカス", "コマ X", ...) for translation in the context
// "Zernike"; null for the modes of degree above the Fringe set's that have no common name.
const char* ZernikeModeName(ZernikeMode mode);

// The coefficients of a file or of the window's table, in waves, by index of the ordering.
struct ZernikeSet {
    ZernikeOrdering ordering = ZernikeOrdering::Fringe;
    std::map<int, double> coefficients;
    bool operator==(const ZernikeSet&) const = default;
};

// The Fringe coefficients of an ANSI set where both orderings have the term (c_Fringe =
// c_ANSI x the ANSI scale); the ANSI indices without a Fringe term go to `uncovered`. A Fringe
// set comes back as it is.
ZernikeSet AnsiToFringe(const ZernikeSet& set, std::vector<int>* uncovered = nullptr);
// The set in `ordering`: ANSI to Fringe as above; Fringe to ANSI divides by the ANSI scale
// (every Fringe term has an ANSI one). Zero coefficients are not carried over.
ZernikeSet ConvertZernikeSet(const ZernikeSet& set, ZernikeOrdering ordering, std::vector<int>* uncovered = nullptr);

// The unnormalised polynomial of a mode at (x, y), formed the plain way (radius, angle, powers
// and factorials): the reference the fast evaluation is checked against.
double ZernikePolynomial(ZernikeMode mode, double x, double y);

// A set prepared for evaluation at many samples: terms with a zero coefficient are dropped, so
// a set of zeros is empty and a run with it is the run without one.
class ZernikeWavefront {
public:
    ZernikeWavefront() = default;
    explicit ZernikeWavefront(const ZernikeSet& set);

    bool Empty() const { return terms_.empty(); }
    // The sum of the terms in waves at (x, y); rho2 and rho4 are rho^2 and rho^4 as the caller
    // forms them, as for the panel's terms. The angular factors come from powers of (x + iy),
    // rho^m (cos m theta + i sin m theta), by recurrence: no root, angle or power per term.
    double Evaluate(double x, double y, double rho2, double rho4) const;

    bool operator==(const ZernikeWavefront&) const = default;

private:
    // The terms the panel also has keep the panel's own expressions, to the bit.
    enum class Form { General, TiltX, TiltY, Focus, ComaX, ComaY, Spherical };
    static Form FormOf(ZernikeMode mode);
    struct Term {
        Form form = Form::General;
        int m = 0;          // |m|
        bool sine = false;  // sin(|m| theta) rather than cos
        double coefficient = 0;
        int degree = 0;                                        // of the radial part in rho^2
        std::array<double, zernikeMaximumDegree / 2 + 1> radial{};  // R(rho) = rho^m sum radial[k] rho^2k
        bool operator==(const Term&) const = default;
    };
    std::vector<Term> terms_;
    int maxM_ = 0;
};

}  // namespace velmora
