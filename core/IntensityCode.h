// The 24-bit intensity code of the result images: a normalised intensity I in 0..1 is stored
// as V = trunc(I x 16711680) split into red (V >> 16), green and blue bytes.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr double intensityCodeScale = 16711680.0;  // 0xFF0000

struct Rgb {
    uint8_t r, g, b;
};

// Values outside 0..1 (and NaN) are held to the nearest end, so every code is a valid pixel.
Rgb EncodeIntensity(double intensity);
// v = (R + G/256 + B/65536) / 256, the viewers' reading of a code pixel.
double DecodeIntensity(uint8_t r, uint8_t g, uint8_t b);

}  // namespace velmora
