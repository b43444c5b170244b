// Windows bitmap (BMP) files: 24-bit encoding of a picture, and decoding of the uncompressed
// depths a paint program writes (1, 4, 8, 16, 24 and 32 bits) into a 24-bit picture.
#pragma once

#include <string>

#include "core/Picture24.h"
#include "core/UserMessage.h"

namespace velmora {

// BITMAPFILEHEADER + BITMAPINFOHEADER, bottom-up rows padded to 4 bytes.
std::string EncodeBmp24(const Picture24& picture);

// Decodes an uncompressed bitmap of any of those depths (palette, 5-5-5 or bit-field pixels,
// either row order) into 24 bits. Pictures wider or higher than maxSide are refused before
// anything is allocated. On failure returns false, leaves `picture` alone and says why in
// `problem` (Japanese, for a message box).
bool DecodeBmp(const std::string& bytes, Picture24& picture, std::string& problem, int maxSide = 65535);
// The same, with the reason as a message a window can translate.
bool DecodeBmp(const std::string& bytes, Picture24& picture, UserMessage& problem, int maxSide = 65535);

}  // namespace velmora
