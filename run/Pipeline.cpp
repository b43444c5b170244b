#include "run/Pipeline.h"

#include "optics/ThroughFocus.h"
#include "imaging/Sky.h"
#include "run/IdealCache.h"

namespace velmora {

PreparedRun::PreparedRun(RunSpec spec, int threads) : spec_(std::move(spec)) {
    // Every sampling the run needs is staged from the mask once, before the first wavelength:
    // a large mask takes a while, and a colour run meets a sampling in several bands.
    if (spec_.mask) stages_.emplace(*spec_.mask, RunPupilSamplings(spec_.request.params), threads);
    inputs_.params = &spec_.request.params;
    inputs_.userFilter = &spec_.filter;
    inputs_.loadedMask = spec_.mask.get();
    if (stages_) inputs_.userMaskStages = &*stages_;
    build_ = [this](int lambda, RealMatrix grid, const ProgressFn& bar) { BuildPupil(inputs_, lambda, grid, bar); };
}

PsfResult RunPrepared(const PreparedRun& prepared, RealMatrixHolder& grid, const CalculationProgress& progress,
                      const RunControl& control) {
    const RunSpec& spec = prepared.Spec();
    CheckSky(spec.sky, spec.request.params);
    // Under a sky the pictures are drawn once, from the result with the sky laid over it.
    RunControl run = control;
    run.pictures = control.pictures && spec.sky.Clear();
    PsfResult result = RunPsfCalculation(spec.request, prepared.Builder(), grid, progress, run);
    ApplySky(result, spec.sky, spec.request.brightnessLevel, control.threads);
    return result;
}

PsfResult RunPrepared(const PreparedRun& prepared, const CalculationProgress& progress, const RunControl& control) {
    RealMatrixHolder grid;  // the run's last pupil, which nobody reads: taken, not copied
    return RunPrepared(prepared, grid, progress, control);
}

Analysis MeasurePrepared(const PreparedRun& prepared, const FullResult& full, const MeasureOptions& options,
                         const RunControl& control) {
    std::shared_ptr<const Analysis> ideal;
    if (options.ideal && !Unaberrated(full)) {
        try {
            ideal = options.ideals ? options.ideals->For(prepared, control) : MeasureIdeal(prepared, control);
        } catch (const CalculationStopped&) {
        } catch (const CalculationError&) {
        }
    }
    Analysis measured = Analyse(full, ideal.get(), control.stop);
    if (options.throughFocus != MeasureOptions::ThroughFocus::No) {
        try {
            AddThroughFocus(measured, full, prepared.Builder(), control.stop);
        } catch (const CalculationError&) {
            if (options.throughFocus == MeasureOptions::ThroughFocus::Required) throw;
        }
    }
    return measured;
}

}  // namespace velmora
