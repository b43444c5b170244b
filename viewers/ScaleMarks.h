// Physical scale marks for the result pictures: a scale bar of a round length and the tick
// positions of a micrometre axis, from the focal-plane sample pitch. Standard library only.
#pragma once

#include <string>
#include <vector>

namespace velmora {

// The largest length of the 1, 2, 5 series (..., 0.5, 1, 2, 5, 10, 20, ...) not above `limit`;
// 0 when limit is not a positive finite number.
double RoundLengthBelow(double limit);

// Plain text of a round length: no trailing zeros ("10", "0.5", "0.02").
std::string RoundLengthText(double length);

struct ScaleBar {
    double lengthUm = 0;      // a round length
    int pixels = 0;           // its length on the picture, one pixel per sample
    double lengthArcsec = 0;  // the same length as an angle on the sky
};

// The longest round bar that fits in maxPixels for a picture of pitchUm micrometres per pixel
// (pitchArcsec the same pitch as an angle); pixels 0 when the pitch is unknown.
ScaleBar ScaleBarFor(double pitchUm, double pitchArcsec, int maxPixels);

struct AxisTick {
    double valueUm = 0;
    int pixel = 0;  // the column of the plot, the axis' zero at `zeroPixel`
};

// Ticks at multiples of a round step on a horizontal axis of `width` pixels whose zero lies at
// zeroPixel, one pixel per sample of pitchUm, neighbours at least minSpacing pixels apart and
// every tick at least `margin` pixels inside the ends. Empty when the pitch is unknown.
std::vector<AxisTick> AxisTicksFor(double pitchUm, int width, int zeroPixel, int minSpacing, int margin);

}  // namespace velmora
