#include "run/IdealCache.h"

#include "imaging/Sky.h"

namespace velmora {

std::shared_ptr<const Analysis> MeasureIdeal(const PreparedRun& prepared, const RunControl& control) {
    const RunSpec ideal = IdealSpec(prepared.Spec());
    RealMatrixHolder grid;  // the run's last pupil, which nobody reads: taken, not copied
    // The ideal's pupils are the spec's: its builder serves. Only its numbers are read.
    RunControl run = control;
    run.pictures = false;
    PsfResult result = RunPsfCalculation(ideal.request, prepared.Builder(), grid, {}, run);
    ApplySky(result, ideal.sky, ideal.request.brightnessLevel, control.threads);
    return std::make_shared<const Analysis>(Analyse(*result.full));
}

std::shared_ptr<const Analysis> IdealCache::Find(const RunSpec& spec) {
    std::lock_guard<std::mutex> hold(lock_);
    return Holds(spec) ? kept_ : nullptr;
}

std::shared_ptr<const Analysis> IdealCache::For(const PreparedRun& prepared, const RunControl& control) {
    // Held for the whole run: a second caller for the same pupils takes this one's ideal.
    std::lock_guard<std::mutex> hold(lock_);
    if (Holds(prepared.Spec())) return kept_;
    auto measured = MeasureIdeal(prepared, control);
    key_ = IdealSpec(prepared.Spec());
    kept_ = measured;
    ++computed_;
    return measured;
}

bool IdealCache::Holds(const RunSpec& spec) const {
    return kept_ && key_ && SamePupils(*key_, spec) && key_->sky.seeingArcsec == spec.sky.seeingArcsec;
}

int IdealCache::Computed() {
    std::lock_guard<std::mutex> hold(lock_);
    return computed_;
}

}  // namespace velmora
