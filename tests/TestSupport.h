// What the test programs share: a scratch folder, whole-file reading and writing, the factory
// data file, user filter tables, the calculation with the pupil model, grey test pictures, and
// a picture comparison that names the first pixel that differs.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <random>
#include <span>
#include <sstream>
#include <string>

#include "core/Picture24.h"
#include "core/PsfCalculation.h"
#include "pupil/PupilModel.h"

namespace velmora {

// gtest prints a picture by this rather than as a dump of its bytes.
inline void PrintTo(const Picture24& p, std::ostream* out) { *out << "Picture24 " << p.width << " x " << p.height; }

namespace testing {

// An empty folder of its own under the system's temporary folder, removed with everything in it
// when the object goes.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "velmora-test") {
        static int counter = 0;
        std::ostringstream name;
        name << prefix << '-' << ::getpid() << '-' << counter++ << '-' << std::random_device{}();
        path_ = std::filesystem::temp_directory_path() / name.str();
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteAll(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// The data file of the factory values, byte for byte as every start writes it to "default.vl1".
// The same values to the bit (a NaN equals itself, +0 is not -0).
inline bool SameBits(std::span<const double> a, std::span<const double> b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

inline const std::string factoryFile =
    "Velmora Data File\r\n"
    "Aperture 160\r\n"
    "Focal_length 1000\r\n"
    "Secondary 50\r\n"
    "BarWidth 1\r\n"
    "Angle1 0\r\n"
    "Angle2 90\r\n"
    "Angle3 180\r\n"
    "Angle4 270\r\n"
    "ShiftX 0\r\n"
    "ShiftY 0\r\n"
    "PupilDiv 1024\r\n"
    "Magnification 1000\r\n"
    "Color 1\r\n"
    "White Wavelength 600 700 100\r\n"
    "Red Wavelength 600 700 100\r\n"
    "Green Wavelength 500 600 100\r\n"
    "Blue Wavelength 400 500 100\r\n"
    "Coefficient 1\r\n"
    "Spiders 0 0 0 0 \r\n"
    "Filters 7\r\n";

// A user filter file of three rings: 1 in the inner third of the radius, 0.5 in the middle
// third, closed in the outer third.
inline const std::string thirdsFilterFile =
    "Velmora user filter file with seven words\n3\nrho T\n0 1\n0.5 0.5\n1 0\n";

// A loaded user filter holding these transmissions, ring 0 innermost.
inline UserFilter LoadedFilter(std::initializer_list<double> transmissions) {
    UserFilter f;
    int i = 0;
    for (double t : transmissions) f.userFilterTable[i++] = t;
    f.userFilterCount = i;
    f.userFilterLoaded = true;
    return f;
}

// A calculation with the pupil model building each wavelength's pupil, as the main window and
// the batch command set it up.
inline PsfResult RunWithPupilModel(const CalculationRequest& rq, RealMatrix workGrid, const UserFilter* filter = nullptr,
                                   const Picture24* mask = nullptr, const CalculationProgress& progress = {}) {
    const PupilInputs in{&rq.params, filter, mask, nullptr};
    return RunPsfCalculation(
        rq, [&](int lambda, RealMatrix grid, const ProgressFn& bar) { BuildPupil(in, lambda, grid, bar); }, workGrid,
        progress);
}

// A report checked against docs/report.schema.json by the validator the test program was built
// with (VELMORA_REPORT_CHECK, where python3's jsonschema is installed); passes without one.
inline ::testing::AssertionResult ReportMeetsSchema(const std::string& path) {
#ifdef VELMORA_REPORT_CHECK
    const std::string command = std::string(VELMORA_REPORT_CHECK) + " '" + path + "'";
    const int status = std::system(command.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << path << " does not meet the report schema (see above)";
#else
    (void)path;
    return ::testing::AssertionSuccess() << "no schema validator";
#endif
}

// A grey picture whose level at (x, y) the function gives (taken modulo 256).
inline Picture24 GreyPicture(int w, int h, const std::function<int(int x, int y)>& level) {
    Picture24 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto v = static_cast<uint8_t>(level(x, y));
            p.SetPixel(x, y, v, v, v);
        }
    return p;
}

inline Picture24 GreyPicture(int w, int h, uint8_t level) {
    return GreyPicture(w, h, [level](int, int) { return level; });
}

// Two pictures the same size with the same bytes; otherwise says how they differ: the sizes,
// or the first pixel (scan lines from the top) with both colours and how many pixels differ.
// Use as EXPECT_TRUE(SamePicture(shown, expected)).
inline ::testing::AssertionResult SamePicture(const Picture24& actual, const Picture24& expected) {
    if (actual.width != expected.width || actual.height != expected.height)
        return ::testing::AssertionFailure() << "the picture is " << actual.width << " x " << actual.height
                                             << ", expected " << expected.width << " x " << expected.height;
    if (actual.bgr.size() != expected.bgr.size())
        return ::testing::AssertionFailure() << "the pictures hold " << actual.bgr.size() << " and "
                                             << expected.bgr.size() << " bytes for " << actual.width << " x "
                                             << actual.height;
    long long differing = 0;
    int firstX = -1;
    int firstY = -1;
    for (int y = 0; y < actual.height; ++y)
        for (int x = 0; x < actual.width; ++x) {
            const uint8_t* a = actual.ScanLine(y) + 3 * x;
            const uint8_t* e = expected.ScanLine(y) + 3 * x;
            if (a[0] == e[0] && a[1] == e[1] && a[2] == e[2]) continue;
            if (differing++ == 0) {
                firstX = x;
                firstY = y;
            }
        }
    if (differing == 0) return ::testing::AssertionSuccess();
    auto rgb = [firstX, firstY](const Picture24& p) {
        std::ostringstream s;
        s << '(' << int(p.Red(firstX, firstY)) << ", " << int(p.Green(firstX, firstY)) << ", "
          << int(p.Blue(firstX, firstY)) << ')';
        return s.str();
    };
    return ::testing::AssertionFailure() << "first differing pixel (" << firstX << ", " << firstY << "): RGB "
                                         << rgb(actual) << ", expected " << rgb(expected) << "; " << differing
                                         << " of " << static_cast<long long>(actual.width) * actual.height
                                         << " pixels differ";
}

}  // namespace testing
}  // namespace velmora
