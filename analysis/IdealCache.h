// The ideal of a run, kept: the measurements of the same pupil without aberrations. The ideal
// does not change with the aberrations, so the runs of the automatic mode, which change them,
// find it here instead of paying for a second run each. Plain C++, no toolkit.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "analysis/Analysis.h"
#include "core/PsfCalculation.h"

namespace velmora {

// The ideal's measurements made afresh: a run of IdealRequest(request), whose pupils `build`
// makes, and its measurements. Raises what the run raises.
// Under a seeing the ideal is the perfect telescope under the same seeing (a companion changes
// no measurement of the star and is left out).
std::shared_ptr<const Analysis> MeasureIdeal(const CalculationRequest& request, const PupilBuilder& build,
                                             const RunControl& control = {}, double seeingArcsec = 0);

class IdealCache {
public:
    // Whatever the pupil builder reads besides the request's parameters (a filter's table, which
    // mask is loaded), as numbers: equal parameters with equal extras build equal pupils.
    using Extras = std::vector<double>;

    // The ideal's measurements for a run of `request` whose pupils `build` makes: the kept ones
    // when the parameters but the aberrations and the extras are those they were made for,
    // otherwise new ones, from a run of IdealRequest(request) (with its own scratch grid) and
    // its measurements, which are kept instead. Raises what the run raises (CalculationStopped
    // when control.stop ends it, CalculationError); the kept ideal stays then. Safe to call from
    // several threads: a second caller for the same pupil waits for the first and takes its ideal.
    std::shared_ptr<const Analysis> For(const CalculationRequest& request, const Extras& extras,
                                        const PupilBuilder& build, const RunControl& control = {},
                                        double seeingArcsec = 0);

    // The kept ideal for `request` and `extras`, or null; never runs anything.
    std::shared_ptr<const Analysis> Find(const CalculationRequest& request, const Extras& extras,
                                         double seeingArcsec = 0);

    // How many ideals have been computed, for the tests and the benchmarks.
    int Computed();

private:
    // Whether the kept ideal is that of IdealRequest `ideal` with `extras` (lock_ held).
    bool Holds(const CalculationRequest& ideal, const Extras& extras, double seeingArcsec) const;

    std::mutex lock_;
    SimulationParameters params_;  // the key: IdealRequest's parameters, its seeing ...
    double seeingArcsec_ = 0;
    Extras extras_;                // ... and the extras
    std::shared_ptr<const Analysis> kept_;
    int computed_ = 0;
};

}  // namespace velmora
