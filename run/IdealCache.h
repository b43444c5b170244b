// The ideal of a run, kept: the measurements of the same pupils without aberrations. The ideal
// does not change with the aberrations, so the runs of the automatic mode, which change them,
// find it here instead of paying for a second run each. Plain C++, no toolkit.
#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include "analysis/Analysis.h"
#include "run/Pipeline.h"
#include "run/RunSpec.h"

namespace velmora {

// The ideal's measurements made afresh: a run of IdealRequest of the prepared RunSpec, from its
// pupils, under the RunSpec's seeing (the perfect telescope under the same sky; a companion
// changes no measurement of the star and is left out), and its measurements. Raises what the
// run raises.
std::shared_ptr<const Analysis> MeasureIdeal(const PreparedRun& prepared, const RunControl& control = {});

class IdealCache {
public:
    // The ideal's measurements for the prepared RunSpec: the kept ones when they were made for the
    // same pupils (SamePupils) under the same seeing, otherwise new ones (MeasureIdeal), which
    // are kept instead. Raises what the run raises (CalculationStopped when control.stop ends
    // it, CalculationError); the kept ideal stays then. Safe to call from several threads: a
    // second caller for the same pupils waits for the first and takes its ideal.
    std::shared_ptr<const Analysis> For(const PreparedRun& prepared, const RunControl& control = {});

    // The kept ideal for `RunSpec`, or null; never runs anything.
    std::shared_ptr<const Analysis> Find(const RunSpec& runSpec);

    // How many ideals have been computed, for the tests and the benchmarks.
    int Computed();

private:
    // Whether the kept ideal is that of `RunSpec` (lock_ held).
    bool Holds(const RunSpec& runSpec) const;

    std::mutex lock_;
    std::optional<RunSpec> key_;  // IdealRunSpec of the RunSpec the kept ideal was made for
    std::shared_ptr<const Analysis> kept_;
    int computed_ = 0;
};

}  // namespace velmora
