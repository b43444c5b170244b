// The user mask as the calculation samples it: the mask picture rescaled so that its width
// spans the pupil diameter, top-left anchored, staged as a grey picture.
#pragma once

#include "core/Picture24.h"

namespace velmora {

// Smallest side of the stage; it grows to the pupil size so that every pupil sample reads it.
inline constexpr int userMaskStageMinimum = 160;

// Stages `mask` for a pupil of pupilSamples across. The stage is max(160, pupilSamples)
// square; pixels the rescaled mask does not cover are black. A mask narrower than the pupil is
// enlarged with an area-weighted (box) filter, the counterpart of ShrinkMatrix.
Picture24 StageUserMask(const Picture24& mask, int pupilSamples);

// The copy of the mask the density preview shows: the blue byte of each pixel, rescaled so
// that the mask is 160 pixels wide (reduced by ShrinkMatrix, or enlarged by area), top-left
// anchored on a black 160 x 160 picture, in all three bytes.
Picture24 MaskPreviewCopy(const Picture24& mask);

// Transmission of a mask or stage pixel: (65536 B + 256 G + R) / 2^24.
double MaskPixelValue(const Picture24& picture, int x, int y);

}  // namespace velmora
