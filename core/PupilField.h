// The field a run transforms, for the views that go beyond the star at focus (the star test, the
// Strehl ratio through focus, the mirror on the testing bench): one wavelength's pupil built and
// checked as the run builds and checks it, its complex field sampled as the run samples it, and
// the field's transform with the run's tables, so that every value has the run's bits.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "core/PsfCalculation.h"

namespace velmora {

// Checks the request and the bands it will run as a run checks them before it starts: raises
// the run's CalculationError, naming the fault, before anything is allocated.
void CheckRunRequest(const CalculationRequest& rq, const std::vector<const WavelengthBand*>& bands);
// The run's refusal of a peak that is not a finite number (CalculationError).
void CheckFinitePeak(double peak);
// The run's error for memory that is not there, for callers that meet std::bad_alloc.
CalculationError RunOutOfMemory();

// Row i of the sampled field over columns [from, to) for a pupil of p samples across whose
// amplitude is in `pupil`: amplitude x exp(2 pi i W) where the sample lies within the circle of
// radius p / 2 about N/2 (rho <= 1), nothing written elsewhere.
void SamplePupilFieldRow(int i, int from, int to, int p, const Aberrations& a, const RealMatrix pupil, double* re,
                         double* im);

// One complex field in the pupil plane, gridSize x gridSize, and the scratch of its transform.
// Raises the run's memory error when its grids cannot be had.
class PupilField {
public:
    // Transform tables of its own, or (sharedTables) those of another field, read only by
    // several fields transformed at once.
    explicit PupilField(const PupilField* sharedTables = nullptr);
    ~PupilField();
    PupilField(const PupilField&) = delete;
    PupilField& operator=(const PupilField&) = delete;

    // The pupil of lambdaNm built into `pupil` by buildPupil and checked as the run checks it,
    // then the field of aberrations `a` over it. Returns what the run measures of that pupil
    // (its samples across in `derived`, its sums and RMS in the facts, weighted by `weight`).
    WavelengthFacts Build(const CalculationRequest& rq, int lambdaNm, const Aberrations& a, double weight,
                          const PupilBuilder& buildPupil, RealGrid& pupil, CalculationDerived& derived);
    // The field of other aberrations over a pupil of p samples across already in `pupil`.
    void Sample(int p, const Aberrations& a, RealGrid& pupil);

    // The transform in two steps, as a run makes it: every column, then the rows [first, last)
    // of the field, whose intensity times `weight` goes into the rows of acc they become (field
    // row r is result row (r + N/2) mod N). Rows never transformed leave acc as it was.
    void TransformColumns();
    void AddRowsIntensity(RealMatrix acc, double weight, int first, int last);

    // The field itself (its real and imaginary parts), for a caller with a transform of its own.
    RealMatrix Re();
    RealMatrix Im();

private:
    struct Memory;
    std::unique_ptr<Memory> memory_;
    const PupilField* tables_;
};

// fn(first, last) for consecutive ranges covering 0 .. count - 1 on up to `threads` threads
// (this one among them); the first exception in range order is raised once all have ended.
void ForEachPart(int threads, int count, const std::function<void(int first, int last)>& fn);

}  // namespace velmora
