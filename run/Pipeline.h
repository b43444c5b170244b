// The one way a run is carried out, whoever asks for it (the window, the batch command, the
// benchmarks): prepare (the RunSpec's pupils, the mask staged once) -> run (the calculation, the
// sky laid over its result, its pictures) -> measure (the ideal, through focus).
#pragma once

#include <atomic>
#include <optional>

#include "analysis/Analysis.h"
#include "core/PsfCalculation.h"
#include "pupil/UserMaskStage.h"
#include "run/RunSpec.h"

namespace velmora {

class IdealCache;

// A RunSpec made ready to run: its own copy of the RunSpec and the builder of its pupils, with the
// mask staged for every sampling the run meets. Several threads may build pupils from it at
// once. It stays where it was made: the builder points into it.
class PreparedRun {
public:
    // threads: the run's count, which the mask's staging keeps to.
    PreparedRun(RunSpec runSpec, int threads);
    PreparedRun(const PreparedRun&) = delete;
    PreparedRun& operator=(const PreparedRun&) = delete;

    const RunSpec& Inputs() const { return runSpec_; }
    const CalculationRequest& Request() const { return runSpec_.request; }
    // Builds one wavelength's pupil amplitude, as the run builds it.
    const PupilBuilder& Builder() const { return build_; }

private:
    RunSpec runSpec_;
    std::optional<UserMaskStages> stages_;
    PupilInputs inputs_;
    PupilBuilder build_;
};

// Runs the calculation of the prepared RunSpec and lays its sky over the result. A sky or a
// camera pixel the run cannot take is refused before the run starts. Raises CalculationError
// when refused or failed,
// CalculationStopped when control.stop ends it; the holder's grid is as it was then. A run that
// goes through hands its last pupil over in `grid`.
PsfResult RunPrepared(const PreparedRun& prepared, RealMatrixHolder& grid, const CalculationProgress& progress = {},
                      const RunControl& control = {});
// The same with a scratch grid of its own.
PsfResult RunPrepared(const PreparedRun& prepared, const CalculationProgress& progress = {},
                      const RunControl& control = {});

// What the measurements of a result take in besides the result.
struct MeasureOptions {
    // An aberrated result is measured against its ideal (the same pupils without aberrations):
    // found in or kept by `ideals` when given, else made afresh. An ideal that cannot be made
    // (stopped, refused) leaves the result measured without it.
    bool ideal = true;
    IdealCache* ideals = nullptr;
    // The through-focus curve from the run's pupils. Optional: a curve that cannot be made
    // (memory) leaves the other measurements as they are; Required: the refusal is raised.
    enum class ThroughFocus { No, Optional, Required };
    ThroughFocus throughFocus = ThroughFocus::No;
};

// The measurements of `full`, a result of the prepared RunSpec. Raises CalculationStopped when
// control.stop is set; control.threads runs the ideal.
Analysis MeasurePrepared(const PreparedRun& prepared, const FullResult& full, const MeasureOptions& options,
                         const RunControl& control = {});

}  // namespace velmora
