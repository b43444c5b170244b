// The result viewers' pictures, computed from the calculation's 256 x 256 intensity images:
// the brightness redraw of the 2D picture, the two profile plots with the thumbnail and the
// profile text, and the wire-frame relief with its animation step.
#pragma once

#include <string>

#include "core/Picture24.h"

namespace velmora {

// v = (R + G/256 + B/65536) / 256 of the intensity code pixel at column x, scan line y.
double DecodedIntensity(const Picture24& image, int x, int y);

// The 2D picture at brightness level L: each byte trunc(min(255, sqrt(v) x 100 x L)).
// Monochrome: grey from `mono`. Colour: red from `red`, green from `mono`, blue from `blue`.
// An image smaller than 256 x 256 (none yet) reads as 0.
Picture24 DrawBrightness(const Picture24& red, const Picture24& mono, const Picture24& blue, int level, bool colour);

inline constexpr int profileWidth = 256;
inline constexpr int profileHeight = 257;
inline constexpr int profileColumns = 256;

enum class ProfileChannel { All, Red, Green, Blue };

struct ProfileSources {
    const Picture24* red = nullptr;
    const Picture24* mono = nullptr;  // the monochrome image; the green band in colour mode
    const Picture24* blue = nullptr;
};

struct ProfilePlots {
    Picture24 linear{profileWidth, profileHeight};
    Picture24 logarithmic{profileWidth, profileHeight};
};

// Column `column` (0..255) of the selected images plotted on the linear scale (the peak at
// 256 / k pixels) and on the logarithmic one (32 pixels per decade), on silver with the grid.
ProfilePlots DrawProfiles(const ProfileSources& sources, int column, int magnification, bool colour,
                          ProfileChannel channel);

// The linear axis caption at `fraction` of the plot height for magnification k ("0.50").
std::string LinearAxisLabel(double fraction, int magnification);

inline constexpr int thumbnailSize = 127;

// `source` scaled onto a width x height picture, each target pixel taking the source pixel
// under it (the way a stretched copy of a bitmap picks its pixels).
Picture24 StretchPicture(const Picture24& source, int width, int height);

// The thumbnail of the 2D picture with the cyan line over the cut at column `column`.
Picture24 DrawThumbnail(const Picture24& display, int column);

// The profile as text: one line per scan line j = 0..255 of column `column` of `mono`:
// j, a blank, v with 6 significant digits, CR LF.
std::string ProfileText(const Picture24& mono, int column);

inline constexpr int reliefWidth = 445;
inline constexpr int reliefHeight = 400;

// The central 32 x 32 samples of `mono` as a white mesh on navy, turned by theta degrees.
Picture24 DrawRelief(const Picture24& mono, int thetaDegrees);

// The angle after one animation tick: mode 1 adds 1, mode 5 adds 5, and the angle starts
// again at 0 once it reaches 360; mode 0 (stopped) leaves it.
int NextAnimationAngle(int theta, int mode);

}  // namespace velmora
