#include "analysis/IdealCache.h"

namespace velmora {

std::shared_ptr<const Analysis> MeasureIdeal(const CalculationRequest& request, const PupilBuilder& build,
                                             const RunControl& control) {
    RealMatrixHolder grid;  // the run's last pupil, which nobody reads: taken, not copied
    const PsfResult result = RunPsfCalculation(IdealRequest(request), build, grid, {}, control);
    return std::make_shared<const Analysis>(Analyse(*result.full));
}

std::shared_ptr<const Analysis> IdealCache::Find(const CalculationRequest& request, const Extras& extras) {
    const SimulationParameters params = IdealRequest(request).params;
    std::lock_guard<std::mutex> hold(lock_);
    return kept_ && params_ == params && extras_ == extras ? kept_ : nullptr;
}

std::shared_ptr<const Analysis> IdealCache::For(const CalculationRequest& request, const Extras& extras,
                                                const PupilBuilder& build, const RunControl& control) {
    const CalculationRequest ideal = IdealRequest(request);
    // Held for the whole run: a second caller for the same pupil takes this one's ideal.
    std::lock_guard<std::mutex> hold(lock_);
    if (kept_ && params_ == ideal.params && extras_ == extras) return kept_;
    auto measured = MeasureIdeal(request, build, control);
    params_ = ideal.params;
    extras_ = extras;
    kept_ = measured;
    ++computed_;
    return measured;
}

int IdealCache::Computed() {
    std::lock_guard<std::mutex> hold(lock_);
    return computed_;
}

}  // namespace velmora
