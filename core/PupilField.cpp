#include "core/PupilField.h"

#include "core/PsfRunSteps.h"

namespace velmora {

void CheckRunRequest(const CalculationRequest& rq, const std::vector<const WavelengthBand*>& bands) {
    detail::CheckRequest(rq, bands);
}

void CheckFinitePeak(double peak) { detail::CheckFinite(peak); }

CalculationError RunOutOfMemory() { return detail::OutOfMemory(); }

void SamplePupilFieldRow(int i, int from, int to, int p, const Aberrations& a, const RealMatrix pupil, double* re,
                         double* im) {
    detail::SamplePhaseRow(i, from, to, p * 0.5, a, pupil, re, im);
}

struct PupilField::Memory {
    detail::RunWorkspace space;
};

PupilField::PupilField(const PupilField* sharedTables)
    : memory_(std::make_unique<Memory>()), tables_(sharedTables ? sharedTables : this) {
    try {
        detail::RunWorkspace& ws = memory_->space;
        if (tables_ == this) {
            detail::AllocateWorkspace(ws);
        } else if (ws.fft.Create(gridSize) != 0) {
            throw detail::OutOfMemory();
        }
        detail::AllocateField(ws.fieldRe);
        detail::AllocateField(ws.fieldIm);
    } catch (const std::bad_alloc&) {
        throw detail::OutOfMemory();
    }
}

PupilField::~PupilField() = default;

WavelengthFacts PupilField::Build(const CalculationRequest& rq, int lambdaNm, const Aberrations& a, double weight,
                                  const PupilBuilder& buildPupil, RealGrid& pupil, CalculationDerived& derived) {
    if (pupil.rows() != gridSize || pupil.cols() != gridSize) pupil = RealGrid::Uncleared(gridSize, gridSize);
    WavelengthFacts facts;
    detail::AccumulateWavelength(rq, lambdaNm, a, weight, false, buildPupil, pupil.Rows(),
                                 tables_->memory_->space.tables, memory_->space, nullptr, derived, facts, {});
    return facts;
}

void PupilField::Sample(int p, const Aberrations& a, RealGrid& pupil) {
    detail::SamplePhaseInto(p, a, pupil.Rows(), memory_->space);
}

void PupilField::TransformColumns() {
    detail::RunWorkspace& ws = memory_->space;
    Fft2DColumnPart(tables_->memory_->space.tables, ws.fft, ws.fieldRe.get(), ws.fieldIm.get(), 0, gridSize);
}

void PupilField::AddRowsIntensity(RealMatrix acc, double weight, int first, int last) {
    detail::RunWorkspace& ws = memory_->space;
    Fft2DRowPartAccumulate(tables_->memory_->space.tables, ws.fft, ws.fieldRe.get(), ws.fieldIm.get(), acc, weight,
                           first, last);
}

RealMatrix PupilField::Re() { return memory_->space.fieldRe.get(); }
RealMatrix PupilField::Im() { return memory_->space.fieldIm.get(); }

void ForEachPart(int threads, int count, const std::function<void(int first, int last)>& fn) {
    detail::ForParts(threads, count, fn);
}

}  // namespace velmora
