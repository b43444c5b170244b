#include "run/IdealCache.h"

#include "imaging/Sky.h"

namespace velmora {

std::shared_ptr<const Analysis> MeasureIdeal(const PreparedRun& prepared, const RunControl& control) {
    const RunSpec ideal = IdealRunSpec(prepared.Inputs());
    RealMatrixHolder grid;  // the run's last pupil, which nobody reads: taken, not copied
    // The ideal's pupils are the RunSpec's: its builder serves. Only its numbers are read.
    RunControl run = control;
    run.pictures = false;
    PsfResult result = RunPsfCalculation(ideal.request, prepared.Builder(), grid, {}, run);
    ApplySky(result, ideal.sky, ideal.request.brightnessLevel, control.threads);
    return std::make_shared<const Analysis>(Analyse(*result.full));
}

std::shared_ptr<const Analysis> IdealCache::Find(const RunSpec& runSpec) {
    std::lock_guard<std::mutex> hold(lock_);
    return Holds(runSpec) ? kept_ : nullptr;
}

std::shared_ptr<const Analysis> IdealCache::For(const PreparedRun& prepared, const RunControl& control) {
    // Held for the whole run: a second caller for the same pupils takes this one's ideal.
    std::lock_guard<std::mutex> hold(lock_);
    if (Holds(prepared.Inputs())) return kept_;
    auto measured = MeasureIdeal(prepared, control);
    key_ = IdealRunSpec(prepared.Inputs());
    kept_ = measured;
    ++computed_;
    return measured;
}

bool IdealCache::Holds(const RunSpec& runSpec) const {
    return kept_ && key_ && SamePupils(*key_, runSpec) && key_->sky.seeingArcsec == runSpec.sky.seeingArcsec;
}

int IdealCache::Computed() {
    std::lock_guard<std::mutex> hold(lock_);
    return computed_;
}

}  // namespace velmora
