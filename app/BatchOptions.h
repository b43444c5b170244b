// The batch command's options: the usage text, and the command line taken apart (CLI11) and
// judged with the panel's ranges.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/PsfCalculation.h"
#include "imaging/SkyConditions.h"
#include "core/SimulationParameters.h"

namespace velmora {

extern const char* const batchUsageText;
// The version dialog's two lines.
extern const char* const batchVersionText;
extern const char* const batchHelpPointer;

// A command line that cannot be taken: the message says which option and what it takes.
struct UsageError {
    std::string message;
};

struct BatchOptions {
    std::optional<std::string> params;
    std::optional<ColorMode> mode;
    std::optional<int> brightness;
    int threads = 0;  // 0: the default count
    std::vector<std::pair<double Aberrations::*, double>> aberrations;  // those given, in order
    std::optional<int> aperture, focalLength, secondary;
    std::optional<WavelengthBand> band;  // --wavelength or --band
    std::optional<std::string> display, pupil, intensity, report, fits;
    std::optional<std::string> userFilter, userMask, wavelengthTable, zernike;
    std::optional<std::string> intra, extra;
    std::optional<double> defocusPv;  // --defocus-pv
    std::optional<double> seeing;  // arcseconds
    std::optional<Companion> companion;  // --double
    std::optional<double> pixelSize;     // micrometres
    std::optional<std::string> camera;
    std::optional<bool> english;  // --lang
    // The mirror: --conic turns it on; the field alone changes a mirror that is on.
    std::optional<double> conic, fieldArcmin, fieldAzimuthDeg;
    bool quiet = false, progress = false;
    bool throughFocus = false;
    bool help = false, version = false;
};

// Whether an output name is FITS by its extension ("-" is standard output, as FITS).
bool IsFitsName(const std::string& path);

// The options of `args` (without the program's name), judged; raises UsageError.
BatchOptions ParseBatchOptions(const std::vector<std::string>& args);

}  // namespace velmora
