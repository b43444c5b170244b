// The user mask as it is kept once loaded: one byte a pixel when the picture is grey (blue,
// green and red equal in every pixel, as a mask is meant to be), the 24-bit picture otherwise.
// An 8192-pixel grey mask then holds 64 MiB instead of 192.
#pragma once

#include <cstdint>
#include <vector>

#include "core/Picture24.h"

namespace velmora {

struct LoadedMask {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> grey;  // height lines of width levels, top line first; when IsGrey()
    Picture24 colour;           // the picture as loaded, when it is not grey

    bool empty() const { return width == 0 || height == 0; }
    bool IsGrey() const { return colour.empty(); }
    const uint8_t* GreyLine(int y) const { return grey.data() + static_cast<size_t>(y) * width; }
    uint8_t Blue(int x, int y) const { return IsGrey() ? GreyLine(y)[x] : colour.Blue(x, y); }

    // The kept form of a picture: grey bytes if every pixel is grey, else the picture itself.
    static LoadedMask From(const Picture24& picture) {
        LoadedMask m;
        m.width = picture.width;
        m.height = picture.height;
        const size_t pixels = static_cast<size_t>(picture.width) * picture.height;
        bool isGrey = true;
        for (size_t k = 0; k < pixels && isGrey; ++k)
            isGrey = picture.bgr[3 * k] == picture.bgr[3 * k + 1] && picture.bgr[3 * k] == picture.bgr[3 * k + 2];
        if (!isGrey) {
            m.colour = picture;
            return m;
        }
        m.grey.resize(pixels);
        for (size_t k = 0; k < pixels; ++k) m.grey[k] = picture.bgr[3 * k];
        return m;
    }
    // The 24-bit picture it was made from.
    Picture24 ToPicture24() const {
        if (!IsGrey()) return colour;
        Picture24 p(width, height);
        for (size_t k = 0; k < grey.size(); ++k) p.bgr[3 * k] = p.bgr[3 * k + 1] = p.bgr[3 * k + 2] = grey[k];
        return p;
    }
};

}  // namespace velmora
