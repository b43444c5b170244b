// The user mask file: a BMP picture of any common depth, read as the 24-bit mask picture, and
// the smallest mask size the current parameters need.
#pragma once

#include <string>

#include "core/Picture24.h"
#include "core/SimulationParameters.h"
#include "core/UserMessage.h"

namespace velmora {

inline constexpr const char* userMaskDialogFilter = "BMP(*.bmp)|*.bmp";
// Larger pictures are refused: 8192 x 8192 at 3 bytes a pixel is already 192 MiB.
inline constexpr int userMaskMaxSide = 8192;

// Reads the picture at `path` into `mask`. On failure returns false, leaves `mask` alone and
// says why in `problem`.
bool LoadUserMaskFile(const std::string& path, Picture24& mask, std::string& problem);
// The same, with the reason as a message a window can translate.
bool LoadUserMaskFile(const std::string& path, Picture24& mask, UserMessage& problem);

// trunc(550000 / lambdaMin x aperture / focalLength), lambdaMin the smallest start wavelength of
// the four bands (compared from 10000), in extended precision: the pupil diameter in samples at
// the shortest wavelength. 0 when the aperture, the focal length or a wavelength is not positive.
int MinimumMaskSize(const SimulationParameters& p);

}  // namespace velmora
