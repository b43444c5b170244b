// Internal: the steps the monochrome and the colour run share, from the pupil of one
// wavelength to the pictures of a normalised accumulator.
#pragma once

#include <memory>
#include <vector>

#include "core/PsfCalculation.h"

namespace velmora::detail {

inline constexpr int half = gridSize / 2;

// What a run, or one worker of it, works in.
struct RunWorkspace {
    RealMatrixHolder fieldRe;
    RealMatrixHolder fieldIm;
    FftTables tables;
    FftWorkspace fft;
    // The columns [dirtyFirst, dirtyLast) of the fields may hold anything; every other element
    // of both is +0. The phase sampling clears only these, and the transform with the
    // accumulator writes back only the column groups the pupil's samples lie in, so from the
    // second wavelength on a field is cleared where the last pupil lay, not all over.
    int dirtyFirst = 0;
    int dirtyLast = gridSize;
};

// What one worker of a run works in: its field and transform scratch (space; its tables stay
// empty, the run's are shared) and its pupil grid (unused by the worker that builds in the
// caller's). Allocated by the worker that first needs it.
struct WorkerMemory {
    RunWorkspace space;
    RealMatrixHolder grid;
};

// The workers' memory of a run, lent from a pool the process keeps between runs: the next run
// finds its fields already in place instead of asking the C library again. Left to the
// library, each run's workers would free their memory into per-thread arenas that the next
// run's threads need not meet again, and the process would grow run after run; the pool holds
// exactly the memory of the workers of the last run, whatever the number of threads.
class WorkerMemoryLease {
public:
    explicit WorkerMemoryLease(size_t count);
    ~WorkerMemoryLease();
    WorkerMemoryLease(const WorkerMemoryLease&) = delete;
    WorkerMemoryLease& operator=(const WorkerMemoryLease&) = delete;
    WorkerMemory& operator[](size_t k) { return *entries_[k]; }

private:
    std::vector<std::unique_ptr<WorkerMemory>> entries_;
};

extern const char* const outOfMemory;
CalculationError OutOfMemory();

void Allocate(RealMatrixHolder& m);
// A field or a pupil grid: the phase sampling and the pupil builder write all of it before
// anything reads it, so it is not cleared.
void AllocateField(RealMatrixHolder& m);
// The run's own workspace: the tables every worker reads and the scratch of the first part of a
// shared transform. Its fields stay empty: every field a run uses is lent from the pool.
void AllocateWorkspace(RunWorkspace& ws);

// The refusals: every one happens before anything is allocated or changed.
void CheckRequest(const CalculationRequest& rq, const std::vector<const WavelengthBand*>& bands);

// One wavelength: pupil, phase, transform (with the run's tables, in ws's field and scratch),
// weighted intensity into acc. `derived` takes this
// wavelength's values and `facts` what the analysis needs of its pupil. phaseProgress: whether
// the phase sampling drives the bar too.
void AccumulateWavelength(const CalculationRequest& rq, int lambda, const Aberrations& a, double weight,
                          bool phaseProgress, const PupilBuilder& buildPupil, RealMatrix workGrid,
                          const FftTables& tables, RunWorkspace& ws, RealMatrix acc, CalculationDerived& derived,
                          WavelengthFacts& facts, const ProgressFn& bar);

// Row i of the phase sampling over columns [from, to): the complex pupil function where the
// sample lies within the circle of radius r about N/2 (rho <= 1), nothing written elsewhere.
void SamplePhaseRow(int i, int from, int to, double r, const Aberrations& a, const RealMatrix workGrid, double* re,
                    double* im);

// SamplePhase's values into ws's fields, which are cleared only in their dirty columns; the
// dirty columns become those the transform of this pupil may write.
void SamplePhaseInto(int p, const Aberrations& a, const RealMatrix workGrid, RunWorkspace& ws,
                     const ProgressFn& progress = {});

// The sums, the wavefront RMS and the largest phase step of one pupil over the samples the phase
// sampling passes to the transform (rho <= 1 about N/2 with r = p / 2, amplitude non-zero).
void MeasurePupil(int p, const Aberrations& a, const RealMatrix workGrid, WavelengthFacts& facts);

// A band's accumulator, held where its full-precision result will be: the run adds into
// band.intensity through the row table, and FinishBand normalises it in place, so that the
// result is neither a copy nor a second grid. Every element starts at +0.
struct BandAccumulator {
    BandResult band;
    BandAccumulator();
    RealMatrix get() { return band.intensity.Rows(); }
    double* operator[](int r) { return band.intensity.Row(r); }
};
// The accumulator of peak m becomes the band's result with the run's facts: every element
// (element / m) x q (the display window's expression, to the bit); all zero when m is not
// positive. `threads` threads share the rows; the values do not depend on how many. The
// accumulator's rows then hold the normalised values the pictures are made from.
void FinishBand(BandAccumulator& acc, const char* name, double m, double q, std::vector<WavelengthFacts> facts,
                int threads = 1);
// The run's record of the instrument, without bands.
std::shared_ptr<FullResult> FullResultOf(const SimulationParameters& p);

// One wavelength of a run: what AccumulateWavelength is given for it.
struct WavelengthJob {
    int lambda = 0;
    Aberrations aberrations;
    double weight = 1;
    RealMatrix acc = nullptr;
    WavelengthFacts* facts = nullptr;  // filled for the analysis
};

// The wavelengths of one accumulator, in order: each is reported through progress.wavelength
// (as index firstIndex + k of `total`), computed, and its intensity added to its accumulator in
// the jobs' order, whatever control.threads is, so that the sums keep their bits. workGrid
// holds the last job's pupil and `derived` its values afterwards. Raises CalculationStopped when
// control.stop is set, and the first job's error in the jobs' order when several fail.
void RunWavelengths(const CalculationRequest& rq, const std::vector<WavelengthJob>& jobs, int firstIndex, int total,
                    bool phaseProgress, const PupilBuilder& buildPupil, RealMatrixHolder& workGrid, RunWorkspace& ws,
                    CalculationDerived& derived, const CalculationProgress& progress, const RunControl& control);

// fn(first, last) for consecutive row ranges covering the grid, on up to `threads` threads (this
// one among them); the first exception in range order is raised once all have ended.
void ForRowParts(int threads, const std::function<void(int first, int last)>& fn);
// fn(first, last) for consecutive ranges covering 0 .. count - 1, likewise.
void ForParts(int threads, int count, const std::function<void(int first, int last)>& fn);
// MatrixMaximum of the whole grid, its rows shared between `threads` threads: the same value.
double GridMaximum(const RealMatrix acc, int threads);

// The peak of an accumulator must be a finite number before anything is normalised by it.
void CheckFinite(double peak);
// The display grey: trunc((100 x level) x sqrt(I)), held to 0..255.
uint8_t DisplayLevel(int level, double intensity);
// The display window of acc in the 24-bit intensity code.
Picture24 IntensityPicture(const RealMatrix acc, int threads = 1);

PsfResult RunMonochrome(const CalculationRequest& rq, const PupilBuilder& buildPupil, RealMatrixHolder& workGrid,
                        const CalculationProgress& progress, const RunControl& control);
PsfResult RunColour(const CalculationRequest& rq, const PupilBuilder& buildPupil, RealMatrixHolder& workGrid,
                    const CalculationProgress& progress, const RunControl& control);

}  // namespace velmora::detail
