#include "analysis/IdealCache.h"

#include "imaging/Sky.h"

namespace velmora {

std::shared_ptr<const Analysis> MeasureIdeal(const CalculationRequest& request, const PupilBuilder& build,
                                             const RunControl& control, double seeingArcsec) {
    RealMatrixHolder grid;  // the run's last pupil, which nobody reads: taken, not copied
    PsfResult result = RunPsfCalculation(IdealRequest(request), build, grid, {}, control);
    SkyConditions sky;
    sky.seeingArcsec = seeingArcsec;
    ApplySky(result, sky, request.brightnessLevel, control.threads);
    return std::make_shared<const Analysis>(Analyse(*result.full));
}

std::shared_ptr<const Analysis> IdealCache::Find(const CalculationRequest& request, const Extras& extras,
                                                 double seeingArcsec) {
    const CalculationRequest ideal = IdealRequest(request);
    std::lock_guard<std::mutex> hold(lock_);
    return Holds(ideal, extras, seeingArcsec) ? kept_ : nullptr;
}

std::shared_ptr<const Analysis> IdealCache::For(const CalculationRequest& request, const Extras& extras,
                                                const PupilBuilder& build, const RunControl& control,
                                                double seeingArcsec) {
    const CalculationRequest ideal = IdealRequest(request);
    // Held for the whole run: a second caller for the same pupil takes this one's ideal.
    std::lock_guard<std::mutex> hold(lock_);
    if (Holds(ideal, extras, seeingArcsec)) return kept_;
    auto measured = MeasureIdeal(request, build, control, seeingArcsec);
    params_ = ideal.params;
    seeingArcsec_ = seeingArcsec;
    extras_ = extras;
    kept_ = measured;
    ++computed_;
    return measured;
}

bool IdealCache::Holds(const CalculationRequest& ideal, const Extras& extras, double seeingArcsec) const {
    return kept_ && params_ == ideal.params && seeingArcsec_ == seeingArcsec && extras_ == extras;
}

int IdealCache::Computed() {
    std::lock_guard<std::mutex> hold(lock_);
    return computed_;
}

}  // namespace velmora
