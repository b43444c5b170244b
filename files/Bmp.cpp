#include "files/Bmp.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

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

// One colour channel held in a bit field of a 16- or 32-bit pixel, scaled to 0..255.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    explicit Channel(uint32_t m) : mask(m) {
        if (!mask) return;
        while (!((mask >> shift) & 1)) ++shift;
        max = mask >> shift;
    }
    uint8_t Of(uint32_t pixel) const {
        if (!max) return 0;
        return static_cast<uint8_t>((static_cast<uint64_t>((pixel & mask) >> shift) * 255 + max / 2) / max);
    }
};

constexpr uint32_t compressionNone = 0;
constexpr uint32_t compressionBitFields = 3;
constexpr uint32_t compressionAlphaBitFields = 6;

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

bool DecodeBmp(const std::string& bytes, Picture24& picture, std::string& problem, int maxSide) {
    UserMessage reason;
    const bool ok = DecodeBmp(bytes, picture, reason, maxSide);
    if (!ok) problem = reason.Text();
    return ok;
}

bool DecodeBmp(const std::string& s, Picture24& out, UserMessage& problem, int maxSide) {
    auto says = [](const char* pattern, std::vector<UserMessage> args = {}) { return UserMessage("Bmp", pattern, std::move(args)); };
    if (s.size() < 26 || s[0] != 'B' || s[1] != 'M') {
        problem = says(QT_TRANSLATE_NOOP("Bmp", "BMP ファイルではありません"));
        return false;
    }
    const uint32_t offset = Get32(s, 10);
    const uint32_t headerSize = Get32(s, 14);
    const bool core = headerSize == 12;  // the old OS/2 header: 16-bit sizes, 3-byte palette
    if (!core && (headerSize < 40 || s.size() < 14 + static_cast<size_t>(headerSize))) {
        problem = says(QT_TRANSLATE_NOOP("Bmp", "BMP のヘッダが壊れています"));
        return false;
    }
    int64_t width = core ? Get16(s, 18) : static_cast<int32_t>(Get32(s, 18));
    int64_t height = core ? Get16(s, 20) : static_cast<int32_t>(Get32(s, 22));
    const int bits = core ? Get16(s, 24) : Get16(s, 28);
    const uint32_t compression = core ? 0 : Get32(s, 30);
    const uint32_t coloursUsed = core ? 0 : Get32(s, 46);
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0) {
        problem = says(QT_TRANSLATE_NOOP("Bmp", "画像の大きさが正しくありません"));
        return false;
    }
    if (width > maxSide || height > maxSide) {
        problem = says(QT_TRANSLATE_NOOP("Bmp", "画像が大きすぎます（%1 x %2、最大 %3 x %3）"),
                       {UserMessage::Value(width), UserMessage::Value(height), UserMessage::Value(maxSide)});
        return false;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        problem = says(QT_TRANSLATE_NOOP("Bmp", "%1 ビットの BMP には対応していません"), {UserMessage::Value(bits)});
        return false;
    }
    const bool bitFields = compression == compressionBitFields || compression == compressionAlphaBitFields;
    if (!(compression == compressionNone || (bitFields && (bits == 16 || bits == 32)))) {
        problem = says(QT_TRANSLATE_NOOP("Bmp", "圧縮された BMP には対応していません"));
        return false;
    }

    // Palette of the indexed depths.
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    if (bits <= 8) {
        const size_t entryBytes = core ? 3 : 4;
        const size_t at = 14 + headerSize;
        size_t count = coloursUsed ? coloursUsed : (size_t{1} << bits);
        count = std::min(count, size_t{1} << bits);
        if (at > s.size()) count = 0;
        count = std::min(count, (s.size() - std::min(at, s.size())) / entryBytes);
        for (size_t k = 0; k < count; ++k) {
            const size_t e = at + k * entryBytes;
            palette.push_back(static_cast<uint32_t>(static_cast<uint8_t>(s[e])) |
                              static_cast<uint32_t>(static_cast<uint8_t>(s[e + 1])) << 8 |
                              static_cast<uint32_t>(static_cast<uint8_t>(s[e + 2])) << 16);
        }
    }
    // Bit fields: the masks follow the 40-byte header (or are its own fields when it is longer).
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};  // 16-bit default: 5-5-5
    if (bits == 32) masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
    if (bitFields) {
        if (s.size() < 66) {
            problem = says(QT_TRANSLATE_NOOP("Bmp", "BMP のヘッダが壊れています"));
            return false;
        }
        for (int k = 0; k < 3; ++k) masks[k] = Get32(s, 54 + 4 * k);
    }
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]);

    const uint64_t rowBytes = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    if (offset > s.size() || rowBytes * static_cast<uint64_t>(height) > s.size() - offset) {
        problem = says(QT_TRANSLATE_NOOP("Bmp", "BMP のデータが途中で終わっています"));
        return false;
    }
    Picture24 p(static_cast<int>(width), static_cast<int>(height));
    for (int64_t row = 0; row < height; ++row) {
        const int y = static_cast<int>(topDown ? row : height - 1 - row);
        const uint8_t* src = reinterpret_cast<const uint8_t*>(s.data()) + offset + row * rowBytes;
        uint8_t* dst = p.ScanLine(y);
        for (int64_t x = 0; x < width; ++x, dst += 3) {
            if (bits == 24) {
                dst[0] = src[3 * x];
                dst[1] = src[3 * x + 1];
                dst[2] = src[3 * x + 2];
                continue;
            }
            if (bits <= 8) {
                const int64_t bit = x * bits;
                const unsigned index = (src[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                const uint32_t c = index < palette.size() ? palette[index] : 0;
                dst[0] = c & 255;
                dst[1] = (c >> 8) & 255;
                dst[2] = (c >> 16) & 255;
                continue;
            }
            const uint32_t pixel = bits == 16 ? static_cast<uint32_t>(src[2 * x] | src[2 * x + 1] << 8)
                                              : static_cast<uint32_t>(src[4 * x]) | static_cast<uint32_t>(src[4 * x + 1]) << 8 |
                                                    static_cast<uint32_t>(src[4 * x + 2]) << 16 |
                                                    static_cast<uint32_t>(src[4 * x + 3]) << 24;
            dst[0] = blue.Of(pixel);
            dst[1] = green.Of(pixel);
            dst[2] = red.Of(pixel);
        }
    }
    out = std::move(p);
    return true;
}

}  // namespace velmora
