// 24-bit Windows bitmap (BMP) encoding of a picture.
#pragma once

#include <string>

#include "core/Picture24.h"

namespace velmora {

// BITMAPFILEHEADER + BITMAPINFOHEADER, bottom-up rows padded to 4 bytes.
std::string EncodeBmp24(const Picture24& picture);
// Decodes what EncodeBmp24 writes (24-bit, uncompressed, either row order); false otherwise.
bool DecodeBmp24(const std::string& bytes, Picture24& picture);

}  // namespace velmora
