#include "analysis/IdealCache.h"

namespace velmora {

std::shared_ptr<const Analysis> MeasureIdeal(const CalculationRequest& request, const PupilBuilder& build,
                                             const RunControl& control) {
    RealMatrixHolder grid;  // the run's last pupil, which nobody reads: taken, not copied
    const PsfResult result = RunPsfCalculation(IdealRequest(request), build, grid, {}, control);
    return std::make_shared<const Analysis>(Analyse(*result.full));
}

std::shared_ptr<const Analysis> IdealCache::Find(const CalculationRequest& request, const Extras& extras) {
    const CalculationRequest ideal = IdealRequest(request);
    std::lock_guard<std::mutex> hold(lock_);
    return Holds(ideal, extras) ? kept_ : nullptr;
}

std::shared_ptr<const Analysis> IdealCache::For(const CalculationRequest& request, const Extras& extras,
                                                const PupilBuilder& build, const RunControl& control) {
    const CalculationRequest ideal = IdealRequest(request);
    // Held for the whole run: a second caller for the same pupil takes this one's ideal.
    std::lock_guard<std::mutex> hold(lock_);
    if (Holds(ideal, extras)) return kept_;
    auto measured = MeasureIdeal(request, build, control);
    params_ = ideal.params;
    seeingArcsec_ = ideal.seeingArcsec;
    extras_ = extras;
    kept_ = measured;
    ++computed_;
    return measured;
}

bool IdealCache::Holds(const CalculationRequest& ideal, const Extras& extras) const {
    return kept_ && params_ == ideal.params && seeingArcsec_ == ideal.seeingArcsec && extras_ == extras;
}

int IdealCache::Computed() {
    std::lock_guard<std::mutex> hold(lock_);
    return computed_;
}

}  // namespace velmora
