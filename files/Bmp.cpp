#include "files/Bmp.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace velmora {
namespace {

void Put16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v & 255));
    s.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& s, uint32_t v) {
    for (int k = 0; k < 4; ++k) s.push_back(static_cast<char>((v >> (8 * k)) & 255));
}
uint32_t Get32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<uint8_t>(s[at + k]);
    return v;
}
uint16_t Get16(const std::string& s, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8));
}

}  // namespace

std::string EncodeBmp24(const Picture24& p) {
    const uint32_t rowBytes = (static_cast<uint32_t>(p.width) * 3 + 3) / 4 * 4;
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(p.height);
    std::string s;
    s.reserve(54 + imageBytes);
    s += "BM";
    Put32(s, 54 + imageBytes);
    Put32(s, 0);
    Put32(s, 54);
    Put32(s, 40);
    Put32(s, static_cast<uint32_t>(p.width));
    Put32(s, static_cast<uint32_t>(p.height));
    Put16(s, 1);
    Put16(s, 24);
    Put32(s, 0);
    Put32(s, imageBytes);
    Put32(s, 2835);  // 72 dpi
    Put32(s, 2835);
    Put32(s, 0);
    Put32(s, 0);
    for (int y = p.height - 1; y >= 0; --y) {
        s.append(reinterpret_cast<const char*>(p.ScanLine(y)), static_cast<size_t>(p.width) * 3);
        s.append(rowBytes - static_cast<size_t>(p.width) * 3, '\0');
    }
    return s;
}

bool DecodeBmp24(const std::string& s, Picture24& out) {
    if (s.size() < 54 || s[0] != 'B' || s[1] != 'M') return false;
    const uint32_t offset = Get32(s, 10);
    const int32_t width = static_cast<int32_t>(Get32(s, 18));
    const int32_t rawHeight = static_cast<int32_t>(Get32(s, 22));
    if (Get16(s, 28) != 24 || Get32(s, 30) != 0 || width <= 0 || rawHeight == 0 || width > 65535) return false;
    const bool topDown = rawHeight < 0;
    const int64_t height = topDown ? -static_cast<int64_t>(rawHeight) : rawHeight;
    if (height > 65535) return false;
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * 3 + 3) / 4 * 4;
    if (offset > s.size() || rowBytes * height > s.size() - offset) return false;
    Picture24 p(width, static_cast<int>(height));
    for (int64_t row = 0; row < height; ++row) {
        const int y = static_cast<int>(topDown ? row : height - 1 - row);
        const char* src = s.data() + offset + row * rowBytes;
        std::copy(src, src + static_cast<size_t>(width) * 3, reinterpret_cast<char*>(p.ScanLine(y)));
    }
    out = std::move(p);
    return true;
}

}  // namespace velmora
