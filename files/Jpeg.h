// Baseline JPEG encoding of a picture through libjpeg.
#pragma once

#include <string>

#include "core/Picture24.h"

namespace velmora {

inline constexpr int jpegQuality = 70;

// The whole JPEG file for `picture` (RGB input, baseline, the standard tables scaled to
// `quality`). Throws std::runtime_error when the picture is empty or the encoder fails.
std::string EncodeJpeg(const Picture24& picture, int quality = jpegQuality);

}  // namespace velmora
