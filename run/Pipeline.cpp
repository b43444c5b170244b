#include "run/Pipeline.h"

#include "optics/ThroughFocus.h"
#include "imaging/Camera.h"
#include "imaging/Sky.h"
#include "run/IdealCache.h"

namespace velmora {

PreparedRun::PreparedRun(RunSpec runSpec, int threads) : runSpec_(std::move(runSpec)) {
    // Every sampling the run needs is staged from the mask once, before the first wavelength:
    // a large mask takes a while, and a colour run meets a sampling in several bands.
    if (runSpec_.mask) stages_.emplace(*runSpec_.mask, RunPupilSamplings(runSpec_.request.params), threads);
    inputs_.params = &runSpec_.request.params;
    inputs_.userFilter = &runSpec_.filter;
    inputs_.loadedMask = runSpec_.mask.get();
    if (stages_) inputs_.userMaskStages = &*stages_;
    build_ = [this](int lambda, RealMatrix grid, const ProgressFn& bar) { BuildPupil(inputs_, lambda, grid, bar); };
}

PsfResult RunPrepared(const PreparedRun& prepared, RealMatrixHolder& grid, const CalculationProgress& progress,
                      const RunControl& control) {
    const RunSpec& runSpec = prepared.Inputs();
    // Whatever the RunSpec lays over the result is checked before the run: the sky, then the
    // camera's pixel.
    CheckSky(runSpec.sky, runSpec.request.params);
    CheckCamera(runSpec.cameraPixelUm, runSpec.request.params);
    // Under a sky the pictures are drawn once, from the result with the sky laid over it.
    RunControl run = control;
    run.pictures = control.pictures && runSpec.sky.Clear();
    PsfResult result = RunPsfCalculation(runSpec.request, prepared.Builder(), grid, progress, run);
    ApplySky(result, runSpec.sky, runSpec.request.brightnessLevel, control.threads);
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
