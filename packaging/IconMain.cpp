// Draws the program's icon at the sizes the desktop's icon theme asks for: the diffraction
// image of a star in a reflector with four spider vanes, on a dark rounded square. Written as
// RGBA PNG files named <size>.png into the folder given (the corners are transparent).
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The Airy pattern (2 J1(x) / x)^2 of a clear circular aperture, peak 1 at x = 0.
double Airy(double x) {
    if (x < 1e-9) return 1;
    const double a = 2 * std::cyl_bessel_j(1.0, x) / x;
    return a * a;
}

// Brightness of the picture at (u, v) in -1..1: the Airy rings (first dark ring at a quarter of
// the half-width), the four spikes the vanes throw along the axes, and a rounded-square mask.
// Returns the coverage of the square and the light on it.
void Sample(double u, double v, double& inside, double& light) {
    const double corner = 0.36;
    const double qx = std::max(std::abs(u) - (1 - corner), 0.0), qy = std::max(std::abs(v) - (1 - corner), 0.0);
    inside = std::hypot(qx, qy) <= corner ? 1 : 0;
    const double r = std::hypot(u, v);
    const double rings = Airy(r * 3.8317 / 0.26);
    const double spikes = 0.012 / (0.012 + std::min(std::abs(u), std::abs(v)) * 6) * std::exp(-r * 2.2);
    // A steep gamma makes the faint outer rings visible, as a long exposure does.
    light = std::min(1.0, std::pow(rings, 0.28) * std::exp(-r * 1.6) + 0.75 * spikes);
}

std::vector<uint8_t> Icon(int size) {
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4);
    constexpr int sub = 5;  // samples per pixel side, so that the small sizes stay smooth
    const double sky[3] = {14, 24, 52};
    const double star[3] = {255, 244, 214};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double colour[3] = {0, 0, 0}, cover = 0;
            for (int j = 0; j < sub; ++j)
                for (int i = 0; i < sub; ++i) {
                    const double u = ((x + (i + 0.5) / sub) / size) * 2 - 1;
                    const double v = ((y + (j + 0.5) / sub) / size) * 2 - 1;
                    double inside = 0, light = 0;
                    Sample(u, v, inside, light);
                    cover += inside;
                    for (int c = 0; c < 3; ++c) colour[c] += inside * (sky[c] + (star[c] - sky[c]) * light);
                }
            uint8_t* p = rgba.data() + (static_cast<size_t>(y) * size + x) * 4;
            for (int c = 0; c < 3; ++c) p[c] = cover > 0 ? static_cast<uint8_t>(std::min(255.0, colour[c] / cover + 0.5)) : 0;
            p[3] = static_cast<uint8_t>(255 * cover / (sub * sub) + 0.5);
        }
    return rgba;
}

bool WritePng(const std::string& path, int size, const std::vector<uint8_t>& rgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = image.height = static_cast<png_uint_32>(size);
    image.format = PNG_FORMAT_RGBA;
    if (png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), size * 4, nullptr)) return true;
    std::fprintf(stderr, "velmora1-icon: %s: %s\n", path.c_str(), image.message);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmora1-icon OUTPUT-FOLDER\n");
        return 2;
    }
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        if (!WritePng((std::filesystem::path(argv[1]) / (std::to_string(size) + ".png")).string(), size, Icon(size)))
            return 1;
    return 0;
}
