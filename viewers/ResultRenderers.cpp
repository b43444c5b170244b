#include "viewers/ResultRenderers.h"

#include <cmath>
#include <numbers>

#include "core/IntensityCode.h"
#include "core/NumberText.h"
#include "pupil/Previews.h"

namespace velmora {
namespace {

constexpr int imageSide = 256;

// An intensity image the viewers can read (a default-constructed one is not).
bool Holds(const Picture24* image) { return image && image->width >= imageSide && image->height >= imageSide; }

void Fill(Picture24& picture, uint8_t r, uint8_t g, uint8_t b) {
    for (int y = 0; y < picture.height; ++y) {
        uint8_t* p = picture.ScanLine(y);
        for (int x = 0; x < picture.width; ++x, p += 3) {
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    }
}

// trunc(min(255, sqrt(v) x 100 x L)) of every pixel of one image, written into byte `offset`
// (0 blue, 1 green, 2 red) of each output pixel; a missing image leaves 0.
void BrightnessChannel(const Picture24& source, int level, Picture24& out, int offset) {
    if (!Holds(&source)) return;
    for (int y = 0; y < imageSide; ++y) {
        const uint8_t* s = source.ScanLine(y);
        uint8_t* o = out.ScanLine(y) + offset;
        for (int x = 0; x < imageSide; ++x, s += 3, o += 3) {
            const double v = DecodeIntensity(s[2], s[1], s[0]);
            *o = TruncatedByte(std::sqrt(v) * 100 * level);
        }
    }
}

void PlotColumn(const Picture24& image, int column, int k, ColorRef pen, ProfilePlots& plots) {
    int linearPrev = 0;
    int logPrev = 0;
    for (int j = 0; j < profileColumns; ++j) {
        const uint8_t red = image.Red(column, j);
        const double v = DecodedIntensity(image, column, j);
        const int linear = 256 - red * k;
        const int logarithmic = v != 0 ? static_cast<int>(-(32 * std::log10(v))) : 10000;
        if (j > 0) {
            DrawLine(plots.linear, j - 1, linearPrev, j, linear, pen);
            DrawLine(plots.logarithmic, j - 1, logPrev, j, logarithmic, pen);
        }
        linearPrev = linear;
        logPrev = logarithmic;
    }
}

}  // namespace

double DecodedIntensity(const Picture24& image, int x, int y) {
    return DecodeIntensity(image.Red(x, y), image.Green(x, y), image.Blue(x, y));
}

Picture24 DrawBrightness(const Picture24& red, const Picture24& mono, const Picture24& blue, int level, bool colour) {
    Picture24 out(imageSide, imageSide);
    if (!colour) {
        BrightnessChannel(mono, level, out, 0);
        for (int y = 0; y < imageSide; ++y) {
            uint8_t* p = out.ScanLine(y);
            for (int x = 0; x < imageSide; ++x, p += 3) p[1] = p[2] = p[0];
        }
        return out;
    }
    BrightnessChannel(red, level, out, 2);
    BrightnessChannel(mono, level, out, 1);
    BrightnessChannel(blue, level, out, 0);
    return out;
}

ProfilePlots DrawProfiles(const ProfileSources& sources, int column, int magnification, bool colour,
                          ProfileChannel channel) {
    ProfilePlots plots;
    Fill(plots.linear, 192, 192, 192);
    Fill(plots.logarithmic, 192, 192, 192);
    const ColorRef grid = MakeColorRef(128, 128, 128);
    for (int i = 0; i <= 7; ++i) {
        DrawLine(plots.linear, 0, 64 * i - 1, profileWidth, 64 * i - 1, grid);
        DrawLine(plots.logarithmic, 0, 32 * i - 1, profileWidth, 32 * i - 1, grid);
    }
    if (column < 0 || column >= imageSide) return plots;
    auto plot = [&](const Picture24* image, ColorRef pen) {
        if (Holds(image)) PlotColumn(*image, column, magnification, pen, plots);
    };
    if (!colour) {
        plot(sources.mono, MakeColorRef(0, 0, 0));
        return plots;
    }
    const bool all = channel == ProfileChannel::All;
    if (all || channel == ProfileChannel::Red) plot(sources.red, MakeColorRef(255, 0, 0));
    if (all || channel == ProfileChannel::Green) plot(sources.mono, MakeColorRef(0, 128, 0));
    if (all || channel == ProfileChannel::Blue) plot(sources.blue, MakeColorRef(0, 0, 255));
    return plots;
}

std::string LinearAxisLabel(double fraction, int magnification) { return FormatFixed(fraction / magnification, 2); }

Picture24 StretchPicture(const Picture24& source, int width, int height) {
    Picture24 target(width, height);
    if (source.empty()) return target;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int sx = static_cast<int>(static_cast<long long>(x) * source.width / width);
            const int sy = static_cast<int>(static_cast<long long>(y) * source.height / height);
            target.SetPixel(x, y, source.Red(sx, sy), source.Green(sx, sy), source.Blue(sx, sy));
        }
    return target;
}

Picture24 DrawThumbnail(const Picture24& display, int column) {
    Picture24 thumbnail = StretchPicture(display, thumbnailSize, thumbnailSize);
    DrawLine(thumbnail, column / 2, 0, column / 2, thumbnailSize, MakeColorRef(0, 255, 255));
    return thumbnail;
}

std::string ProfileText(const Picture24& mono, int column) {
    std::string text;
    text.reserve(profileColumns * 14);
    const bool readable = column >= 0 && column < imageSide && Holds(&mono);
    for (int j = 0; j < profileColumns; ++j) {
        text += std::to_string(j);
        text += ' ';
        text += FormatStream(readable ? DecodedIntensity(mono, column, j) : 0.0);
        text += "\r\n";  // the line end of every text file the program writes
    }
    return text;
}

Picture24 DrawRelief(const Picture24& mono, int thetaDegrees) {
    Picture24 picture(reliefWidth, reliefHeight);
    Fill(picture, 0, 0, 128);
    const double q = thetaDegrees * 2 * std::numbers::pi / 360;
    const double sinQ = std::sin(q);
    const double cosQ = std::cos(q);
    const bool readable = Holds(&mono);
    auto point = [&](int a, int b, int& x, int& y) {
        const double v = readable ? DecodedIntensity(mono, 128 + b, 128 + a) : 0.0;
        x = static_cast<int>(230 + 8 * (a * sinQ + b * cosQ));
        y = static_cast<int>(300 - 240 * v - 4 * b * sinQ + 4 * a * cosQ);
    };
    const ColorRef white = MakeColorRef(255, 255, 255);
    for (int pass = 0; pass < 2; ++pass)
        for (int outer = -16; outer <= 15; ++outer) {
            int px = 0;
            int py = 0;
            for (int inner = -16; inner <= 15; ++inner) {
                int x = 0;
                int y = 0;
                // First pass: rows (a fixed, b walking); second pass: columns.
                if (pass == 0) point(outer, inner, x, y);
                else point(inner, outer, x, y);
                if (inner > -16) DrawLine(picture, px, py, x, y, white);
                px = x;
                py = y;
            }
        }
    return picture;
}

int NextAnimationAngle(int theta, int mode) {
    if (mode != 1 && mode != 5) return theta;
    theta += mode;
    return theta >= 360 ? 0 : theta;
}

}  // namespace velmora
