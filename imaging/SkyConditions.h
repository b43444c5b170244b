// The sky a star is seen under: the seeing and a companion star.
#pragma once

namespace velmora {

// A second star beside the first: its separation, its position angle (degrees from the panel's
// x axis towards y) and how many magnitudes fainter it is. Separation 0: a single star.
struct Companion {
    double separationArcsec = 0;
    double positionAngleDeg = 0;
    double deltaMag = 0;
    bool Present() const { return separationArcsec > 0; }
    // Its brightness over the first star's: 10^(-0.4 deltaMag).
    double BrightnessRatio() const;
    bool operator==(const Companion&) const = default;
};

// The sky a result shows its star under: the long-exposure seeing (FWHM in arcseconds at
// 500 nm, 0 = none) and a companion. The run makes the telescope's star alone; the sky is laid
// over its result afterwards (ApplySky). Clear by default.
struct SkyConditions {
    double seeingArcsec = 0;
    Companion companion;
    bool Clear() const { return !(seeingArcsec > 0) && !companion.Present(); }
    bool operator==(const SkyConditions&) const = default;
};

}  // namespace velmora
