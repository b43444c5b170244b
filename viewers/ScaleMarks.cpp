#include "viewers/ScaleMarks.h"

#include <cmath>
#include <cstdio>

namespace velmora {

double RoundLengthBelow(double limit) {
    if (!(limit > 0) || !std::isfinite(limit)) return 0;
    const double decade = std::pow(10.0, std::floor(std::log10(limit)));
    // The decade itself can land just above limit through rounding of pow and log10.
    for (double mantissa : {5.0, 2.0, 1.0})
        if (mantissa * decade <= limit * (1 + 1e-12)) return mantissa * decade;
    return decade / 2;
}

std::string RoundLengthText(double length) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", length);
    return text;
}

ScaleBar ScaleBarFor(double pitchUm, double pitchArcsec, int maxPixels) {
    ScaleBar bar;
    if (!(pitchUm > 0) || !std::isfinite(pitchUm) || maxPixels < 1) return bar;
    bar.lengthUm = RoundLengthBelow(maxPixels * pitchUm);
    bar.pixels = static_cast<int>(std::lround(bar.lengthUm / pitchUm));
    bar.lengthArcsec = bar.lengthUm / pitchUm * pitchArcsec;
    return bar;
}

std::vector<AxisTick> AxisTicksFor(double pitchUm, int width, int zeroPixel, int minSpacing, int margin) {
    std::vector<AxisTick> ticks;
    if (!(pitchUm > 0) || !std::isfinite(pitchUm) || minSpacing < 1) return ticks;
    // The smallest round step whose ticks stay minSpacing apart.
    double step = RoundLengthBelow(minSpacing * pitchUm);
    if (step / pitchUm < minSpacing) {
        const double decade = std::pow(10.0, std::floor(std::log10(step)));
        const double mantissa = step / decade;
        step = (mantissa < 1.5 ? 2 : mantissa < 3.5 ? 5 : 10) * decade;
    }
    const int lowest = -static_cast<int>(std::floor(zeroPixel / (step / pitchUm)));
    for (int k = lowest;; ++k) {
        const double value = k * step;
        const int pixel = zeroPixel + static_cast<int>(std::lround(value / pitchUm));
        if (pixel > width - 1 - margin) break;
        if (pixel >= margin) ticks.push_back({value, pixel});
    }
    return ticks;
}

}  // namespace velmora
