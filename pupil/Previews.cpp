#include "pupil/Previews.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

#include "core/NumberText.h"
#include "core/Wavefront.h"

namespace velmora {

namespace {

void Plot(Picture24& picture, int x, int y, ColorRef colour) {
    if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return;
    picture.SetPixel(x, y, colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

}  // namespace

void DrawLine(Picture24& picture, int x0, int y0, int x1, int y1, ColorRef colour) {
    // Bresenham along the major axis; the end point belongs to the next segment.
    const int dx = std::abs(x1 - x0);
    const int dy = std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int err = dx - dy;
    int x = x0;
    int y = y0;
    // Both ends beyond the same edge: nothing of the segment shows.
    if ((x0 < 0 && x1 < 0) || (y0 < 0 && y1 < 0) || (x0 >= picture.width && x1 >= picture.width) ||
        (y0 >= picture.height && y1 >= picture.height))
        return;
    while (x != x1 || y != y1) {
        // x and y only move one way: once past an edge going outward, nothing more shows.
        if ((x < 0 && sx < 0) || (y < 0 && sy < 0) || (x >= picture.width && sx > 0) || (y >= picture.height && sy > 0))
            return;
        Plot(picture, x, y, colour);
        const int e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x += sx;
        }
        if (e2 < dx) {
            err += dx;
            y += sy;
        }
    }
}

Picture24 DrawAperturePreview(const SimulationParameters& p) {
    Picture24 picture(previewSize, previewSize);
    if (!(p.aperture > 0)) return picture;  // no scale to draw at: black until mended

    const double c = previewSize / 2.0;
    const double s = previewSize / static_cast<double>(p.aperture);
    const double e = p.secondaryDiameter / static_cast<double>(p.aperture);
    const double h = s * p.barWidth * 0.5;

    // Vane 1 is drawn at any angle; vanes 2 to 4 only within their own quadrant.
    struct Vane {
        bool on;
        VaneGeometry geometry;
    };
    auto inQuadrant = [](int angle, int k) { return angle >= 90 * k && angle < 90 * (k + 1); };
    const Vane vanes[4] = {
        {p.spider1, MakeVaneGeometry(1, p.angle1, c, h)},
        {p.spider2 && inQuadrant(p.angle2, 1), MakeVaneGeometry(2, p.angle2, c, h)},
        {p.spider3 && inQuadrant(p.angle3, 2), MakeVaneGeometry(3, p.angle3, c, h)},
        {p.spider4 && inQuadrant(p.angle4, 3), MakeVaneGeometry(4, p.angle4, c, h)},
    };

    for (int j = 0; j < previewSize; ++j) {
        uint8_t* line = picture.ScanLine(j);
        for (int i = 0; i < previewSize; ++i) {
            int w = 255;
            const double dist = std::sqrt((i - c) * (i - c) + (j - c) * (j - c));
            w = static_cast<int>(w * EdgeRamp(c - dist));
            if (p.secondaryDiameter != 0) w = static_cast<int>(w * EdgeRamp(dist - previewSize * e * 0.5));
            for (const Vane& vane : vanes) {
                if (!vane.on) continue;
                double factors[3];
                const int n = VaneRules(vane.geometry, i, j, true, factors);
                for (int k = 0; k < n; ++k) w = static_cast<int>(w * factors[k]);
            }
            const uint8_t g = TruncatedByte(w);
            line[3 * i] = line[3 * i + 1] = line[3 * i + 2] = g;
        }
    }
    return picture;
}

void DrawDensityPreview(Picture24& image, const SimulationParameters& p, const UserFilter& filter,
                        ColorRef background) {
    if (image.width != previewSize || image.height != previewSize) image = Picture24(previewSize, previewSize);
    const double c = previewSize / 2.0;
    const bool mask = p.densityProfile == DensityProfileKind::UserMask;
    if (!mask) {
        for (int i = 0; i < previewSize; ++i)
            for (int j = 0; j < previewSize; ++j) {
                const double rho = std::sqrt((i - c) * (i - c) + (j - c) * (j - c)) / c;
                if (rho > 1) {
                    Plot(image, i, j, background);
                    continue;
                }
                const double a = DensityFactor(p.densityProfile, p.densityCoefficient, &filter, rho);
                const uint8_t g = TruncatedByte(a * 255);
                image.SetPixel(i, j, g, g, g);
            }
    }

    const ColorRef silver = MakeColorRef(192, 192, 192);
    DrawLine(image, 0, 0, 0, 159, silver);
    DrawLine(image, 0, 159, 160, 159, silver);
    if (mask) return;  // the mask has no radial profile to draw

    const ColorRef red = MakeColorRef(255, 0, 0);
    int previousY = 0;
    for (int i = 0; i < previewSize; ++i) {
        const double rho = std::abs(i - 80) / 80.0;
        const double a = DensityFactor(p.densityProfile, p.densityCoefficient, &filter, rho);
        // A factor that is not a number (an absurd coefficient) draws on the axis.
        const double yReal = std::isfinite(a) ? 159 * (1 - a) : 159;
        const int y = static_cast<int>(std::fmax(-1e6, std::fmin(1e6, yReal)));
        if (i >= 2) DrawLine(image, i - 1, previousY, i, y, red);
        previousY = y;
    }
}

Picture24 DrawSpectrumPreview(const SimulationParameters& p, int width, int height) {
    Picture24 picture(width, height);
    for (int i = 0; i < width; ++i) {
        const double r = 255 * std::exp(-((i - 67.0) * (i - 67.0)) / 370) + 100 * std::exp(-((i - 20.0) * (i - 20.0)) / 60);
        const double g = 255 * std::exp(-((i - 47.0) * (i - 47.0)) / 370);
        const double b = 255 * std::exp(-((i - 25.0) * (i - 25.0)) / 270);
        const ColorRef colour = MakeColorRef(TruncatedByte(r), TruncatedByte(g), TruncatedByte(b));
        for (int j = 0; j < height; ++j) Plot(picture, i, j, colour);
    }

    auto column = [](int nm) {
        // Held to a range far outside the strip, so that any typed value draws.
        const double x = (static_cast<double>(nm) - 300) * 0.2;
        return static_cast<int>(std::fmax(-100000, std::fmin(100000, x)));
    };
    auto outline = [&](const WavelengthBand& band, int baseline, int top) {
        const ColorRef white = MakeColorRef(255, 255, 255);
        const int x1 = column(band.min);
        const int x2 = column(band.max);
        const int points[6][2] = {{0, baseline}, {x1, baseline}, {x1, top}, {x2, top}, {x2, baseline}, {160, baseline}};
        for (int k = 1; k < 6; ++k)
            DrawLine(picture, points[k - 1][0], points[k - 1][1], points[k][0], points[k][1], white);
    };
    if (p.colorMode == ColorMode::Monochrome) {
        outline(p.whiteBand, 60, 10);
    } else {
        outline(p.redBand, 20, 10);
        outline(p.greenBand, 40, 30);
        outline(p.blueBand, 60, 50);
    }
    return picture;
}

namespace {

// Visits the wavefront samples of a preview inside the rim: column, row, W. Samples outside
// stay black.
template <typename Inside>
void ForEachWavefrontSample(const Aberrations& a, int width, int height, Inside inside) {
    const int cx = width / 2;
    const int cy = height / 2;
    const double r = width * 0.5;
    for (int i = 0; i < height; ++i)
        for (int j = 0; j < width; ++j) {
            const double dist = std::sqrt(static_cast<double>((j - cx) * (j - cx) + (i - cy) * (i - cy)));
            const double rho = dist / r;
            if (rho > 1) continue;
            const double x = (j - cx) / r;
            // y is measured from the horizontal centre cx, not cy, on purpose: the maps have
            // always been drawn that way, which only matters for a non-square picture.
            const double y = (i - cx) / r;
            inside(j, i, WavefrontError(a, x, y, rho * rho, rho * rho * rho * rho));
        }
}

}  // namespace

Picture24 DrawInterferencePreview(const Aberrations& a, int width, int height) {
    Picture24 picture(width, height);
    ForEachWavefrontSample(
        a, width, height,
        [&](int x, int y, double w) {
            const double c = std::cos(2 * std::numbers::pi * w);
            picture.SetPixel(x, y, 0, TruncatedByte(c * c * 255), 0);
        });
    return picture;
}

Picture24 DrawPupilFunctionPreview(const Aberrations& a, int contrast, double& peakToValley, int width, int height) {
    Picture24 picture(width, height);
    double maxW = -1e10;
    double minW = 1e10;
    ForEachWavefrontSample(
        a, width, height,
        [&](int x, int y, double w) {
            const uint8_t g = TruncatedByte(contrast * w + 127);
            picture.SetPixel(x, y, g, g, g);
            if (w > maxW) maxW = w;
            if (w < minW) minW = w;
        });
    peakToValley = maxW - minW;
    return picture;
}

WavefrontFigures MeasureWavefront(const Aberrations& a, int width, int height) {
    double maxW = -1e10;
    double minW = 1e10;
    double sum = 0;
    long long count = 0;
    ForEachWavefrontSample(a, width, height, [&](int, int, double w) {
        if (w > maxW) maxW = w;
        if (w < minW) minW = w;
        sum += w;
        ++count;
    });
    WavefrontFigures figures;
    if (count == 0) return figures;
    // About the mean in a second pass: a large piston cannot swamp the small variance.
    const double mean = sum / static_cast<double>(count);
    double squares = 0;
    ForEachWavefrontSample(a, width, height, [&](int, int, double w) { squares += (w - mean) * (w - mean); });
    figures.peakToValley = maxW - minW;
    figures.rms = std::sqrt(squares / static_cast<double>(count));
    return figures;
}

std::string PeakToValleyText(double peakToValley) { return FormatFixed(peakToValley, 3) + "\u03bb"; }

}  // namespace velmora
