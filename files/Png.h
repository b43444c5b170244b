// PNG encoding of a picture through libpng: 8-bit RGB, no interlace, lossless.
#pragma once

#include <string>

#include "core/Picture24.h"

namespace velmora {

// The whole PNG file for `picture`. Throws std::runtime_error when the picture is empty or the
// encoder fails.
std::string EncodePng(const Picture24& picture);

}  // namespace velmora
