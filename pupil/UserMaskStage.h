// The user mask as the calculation samples it: the mask picture rescaled so that its width
// spans the pupil diameter, top-left anchored, staged as a grey picture.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "core/LoadedMask.h"
#include "core/Picture24.h"
#include "core/SimulationParameters.h"

namespace velmora {

// Smallest side of the stage; it grows to the pupil size so that every pupil sample reads it.
inline constexpr int userMaskStageMinimum = 160;

// Stages `mask` for a pupil of pupilSamples across. The stage is max(160, pupilSamples)
// square; pixels the rescaled mask does not cover are black. A mask narrower than the pupil is
// enlarged with an area-weighted (box) filter, the counterpart of ShrinkMatrix.
Picture24 StageUserMask(const Picture24& mask, int pupilSamples);
// The same for the kept form of a mask (the same stage as for its 24-bit picture).
Picture24 StageUserMask(const LoadedMask& mask, int pupilSamples);

// Stages `mask` for several samplings in one pass over the picture: for each the picture
// StageUserMask gives. threads: how many threads it may use (0: as many as help, which is two).
std::vector<Picture24> StageUserMaskMany(const Picture24& mask, const std::vector<int>& pupilSamples, int threads = 0);
std::vector<Picture24> StageUserMaskMany(const LoadedMask& mask, const std::vector<int>& pupilSamples, int threads = 0);

// The pupilSamples of every wavelength a run with these parameters builds, in the run's order
// (blue, green, red in colour); empty when the bands are not a run's (a zero step, say).
std::vector<int> RunPupilSamplings(const SimulationParameters& p);

// The stages of one mask for one calculation run. A colour run meets the same sampling in
// several bands, and staging reads the whole mask picture: each sampling is staged once, the
// next few samplings of the run in the same pass, and a stage is let go once the run will
// not ask for it again. Safe to use from several threads at once, which may ask in a slightly
// different order than `upcoming`.
class UserMaskStages {
public:
    // `upcoming`: the samplings the run will ask for, in order; one that is asked for without
    // being listed is staged on its own. threads: the run's thread count, which staging keeps
    // to (0: as many as help).
    explicit UserMaskStages(const Picture24& mask, std::vector<int> upcoming = {}, int threads = 0)
        : picture_(&mask), upcoming_(std::move(upcoming)), asked_(upcoming_.size(), false), threads_(threads) {}
    explicit UserMaskStages(const LoadedMask& mask, std::vector<int> upcoming = {}, int threads = 0)
        : mask_(&mask), upcoming_(std::move(upcoming)), asked_(upcoming_.size(), false), threads_(threads) {}
    // The mask must outlive the run.
    explicit UserMaskStages(Picture24&&, std::vector<int> = {}, int = 0) = delete;
    explicit UserMaskStages(LoadedMask&&, std::vector<int> = {}, int = 0) = delete;
    // Valid until the next call, on one thread.
    const Picture24& For(int pupilSamples) { return *Share(pupilSamples); }
    // The same, kept alive for as long as the caller holds it.
    std::shared_ptr<const Picture24> Share(int pupilSamples);

private:
    const Picture24* picture_ = nullptr;
    const LoadedMask* mask_ = nullptr;
    std::vector<int> upcoming_;
    std::vector<bool> asked_;  // which entries of upcoming_ have been asked for
    size_t next_ = 0;          // the first entry not yet asked for
    int threads_ = 0;
    std::map<int, std::shared_ptr<const Picture24>> stages_;
    std::mutex lock_;
};

// The copy of the mask the density preview shows: the blue byte of each pixel, rescaled so
// that the mask is 160 pixels wide (reduced by ShrinkMatrix, or enlarged by area), top-left
// anchored on a black 160 x 160 picture, in all three bytes.
Picture24 MaskPreviewCopy(const Picture24& mask);
Picture24 MaskPreviewCopy(const LoadedMask& mask);

// Staging uses the processor's vector instructions where it has them; true keeps it to those
// of every x86-64 (the same bits, slower). For the tests that compare the two.
void StageWithPlainInstructionsOnly(bool plain);

// Transmission of a mask or stage pixel: (65536 B + 256 G + R) / 2^24.
double MaskPixelValue(const Picture24& picture, int x, int y);

}  // namespace velmora
