// A plain 24-bit picture: rows of blue, green, red bytes, as the toolkit's bitmaps hold them.
// The calculation and the renderers produce these; windows only put them on screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

// A real grey level as a pixel byte: truncated toward zero and held to 0..255 (NaN gives 0).
inline uint8_t TruncatedByte(double v) {
    if (!(v > 0)) return 0;
    if (v >= 255) return 255;
    return static_cast<uint8_t>(v);
}

struct Picture24 {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr;  // height scan lines of width * 3 bytes, top line first

    Picture24() = default;
    Picture24(int w, int h) : width(w), height(h), bgr(static_cast<size_t>(w) * h * 3, 0) {}

    bool empty() const { return width == 0 || height == 0; }
    uint8_t* ScanLine(int y) { return bgr.data() + static_cast<size_t>(y) * width * 3; }
    const uint8_t* ScanLine(int y) const { return bgr.data() + static_cast<size_t>(y) * width * 3; }
    void SetPixel(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
        uint8_t* p = ScanLine(y) + 3 * x;
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }
    uint8_t Red(int x, int y) const { return ScanLine(y)[3 * x + 2]; }
    uint8_t Green(int x, int y) const { return ScanLine(y)[3 * x + 1]; }
    uint8_t Blue(int x, int y) const { return ScanLine(y)[3 * x]; }
    bool operator==(const Picture24&) const = default;
};

}  // namespace velmora
