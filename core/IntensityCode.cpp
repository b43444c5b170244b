#include "core/IntensityCode.h"

namespace velmora {

Rgb EncodeIntensity(double intensity) {
    double scaled = intensity * intensityCodeScale;
    int32_t v = 0;
    if (scaled >= intensityCodeScale) v = 0xFF0000;
    else if (scaled > 0) v = static_cast<int32_t>(scaled);
    return {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>((v >> 8) & 255), static_cast<uint8_t>(v & 255)};
}

double DecodeIntensity(uint8_t r, uint8_t g, uint8_t b) {
    return (r + g / 256.0 + b / 65536.0) / 256.0;
}

}  // namespace velmora
