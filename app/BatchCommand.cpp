#include "app/BatchCommand.h"
#include "app/BatchOutput.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <ostream>

#include "analysis/Analysis.h"
#include "analysis/IdealCache.h"
#include "core/IntensityCode.h"
#include "core/NumberText.h"
#include "core/PsfCalculation.h"
#include "core/RunThreads.h"
#include "files/Bmp.h"
#include "files/FitsFile.h"
#include "files/ImageExport.h"
#include "files/ParameterFile.h"
#include "files/ReportFile.h"
#include "files/UserFilterFile.h"
#include "files/UserMaskFile.h"
#include "files/WavelengthTableFile.h"
#include "pupil/PupilModel.h"
#include "pupil/UserMaskStage.h"

namespace velmora {
namespace {

const char* usageText =
    "usage: velmora1-batch [--params FILE] [--mono|--color] [--brightness L]\n"
    "                      [--focus W] [--spherical W] [--astigmatism-m W] [--astigmatism-s W]\n"
    "                      [--coma-x W] [--coma-y W] [--tilt-x W] [--tilt-y W]\n"
    "                      [--user-filter FILE.uft] [--user-mask FILE.bmp] [--wavelength-table FILE]\n"
    "                      [--display OUT.png|.bmp|.jpg] [--pupil OUT.png|.bmp|.jpg] [--intensity OUT.txt]\n"
    "                      [--report OUT.json] [--fits OUT.fits] [--threads N]\n"
    "       velmora1-batch --help | --version\n"
    "\n"
    "  --params FILE     parameter data file (default: the factory values)\n"
    "  --mono, --color   override the file's mode\n"
    "  --brightness L    brightness level of the display picture, 1..100 (default 5)\n"
    "  --focus W ...     wavefront aberrations in waves (default 0): focus from -10 to 10,\n"
    "                    the others from -1 to 1, the ranges of the panel\n"
    "  --user-filter F   radial transmission table; selects the user filter profile\n"
    "  --user-mask F     mask picture (BMP); selects the user mask profile\n"
    "  --wavelength-table F  per-wavelength spherical and focus (monochrome only): one line\n"
    "                    \"wavelength spherical focus\" in waves per wavelength of the band,\n"
    "                    matched by position; lines starting with # are skipped\n"
    "  --display OUT     display picture; the format follows OUT's extension: .png,\n"
    "                    .bmp (24-bit), .jpg or .jpeg (quality 70)\n"
    "  --pupil OUT       pupil amplitude picture, format as for --display (monochrome only)\n"
    "  --intensity OUT   intensity as 256 lines of 256 values; in colour one file per band\n"
    "                    (-red, -green, -blue before the extension)\n"
    "  --report OUT      the measurements as JSON: scale, Strehl ratio, FWHM, encircled\n"
    "                    energy, MTF per band, and the sampling warnings\n"
    "  --fits OUT        the normalised 1024 x 1024 intensity as 64-bit FITS; in colour\n"
    "                    image extensions RED, GREEN and BLUE\n"
    "  --threads N       wavelengths computed at once, N >= 1 (default: VELMORA_THREADS if set,\n"
    "                    else every hardware thread); the result is the same for any N\n"
    "  --help            this text\n"
    "  --version         the program's name and version\n";

// The version dialog's two lines.
const char* versionText = "Velmora 1\nVersion 3.07\n";

struct UsageError {
    std::string message;
};

struct Options {
    std::optional<std::string> params;
    std::optional<ColorMode> mode;
    int brightness = 5;
    int threads = 0;  // 0: the default count
    Aberrations aberrations;
    std::optional<std::string> display, pupil, intensity, report, fits;
    std::optional<std::string> userFilter, userMask, wavelengthTable;
    bool help = false, version = false;
};

void CheckPictureName(const char* option, const std::optional<std::string>& path) {
    if (path && !FormatForOutputName(*path))
        throw UsageError{std::string(option) + " '" + *path + "': the picture format follows the extension, one of " +
                         knownImageExtensions};
}

// A whole number written in digits that no int holds.
bool BeyondInt(const std::string& v) {
    if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos) return false;
    const size_t first = v.find_first_not_of('0');
    if (first == std::string::npos) return false;
    const std::string digits = v.substr(first);
    const std::string most = std::to_string(INT_MAX);
    return digits.size() > most.size() || (digits.size() == most.size() && digits > most);
}

Options ParseOptions(const std::vector<std::string>& args) {
    Options o;
    std::map<std::string, double Aberrations::*> waves = {
        {"--focus", &Aberrations::focus},          {"--spherical", &Aberrations::spherical},
        {"--astigmatism-m", &Aberrations::astigmatismM}, {"--astigmatism-s", &Aberrations::astigmatismS},
        {"--coma-x", &Aberrations::comaX},         {"--coma-y", &Aberrations::comaY},
        {"--tilt-x", &Aberrations::tiltX},         {"--tilt-y", &Aberrations::tiltY},
    };
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        auto value = [&]() -> const std::string& {
            if (k + 1 >= args.size()) throw UsageError{a + " needs a value"};
            return args[++k];
        };
        if (a == "--mono") o.mode = ColorMode::Monochrome;
        else if (a == "--color") o.mode = ColorMode::Colour;
        else if (a == "--params") o.params = value();
        else if (a == "--display") o.display = value();
        else if (a == "--pupil") o.pupil = value();
        else if (a == "--intensity") o.intensity = value();
        else if (a == "--report") o.report = value();
        else if (a == "--fits") o.fits = value();
        else if (a == "--user-filter") o.userFilter = value();
        else if (a == "--user-mask") o.userMask = value();
        else if (a == "--wavelength-table") o.wavelengthTable = value();
        else if (a == "--brightness") {
            const std::string& v = value();
            try {
                o.brightness = ParseInteger(v);
            } catch (const ConversionError&) {
                throw UsageError{"--brightness takes a whole number from 1 to 100, not '" + v + "'"};
            }
            if (o.brightness < 1 || o.brightness > 100)
                throw UsageError{"--brightness takes a whole number from 1 to 100, not '" + v + "'"};
        } else if (a == "--threads") {
            const std::string& v = value();
            // Digits only: a count far beyond any machine is said to be too large, not to be
            // no number.
            if (BeyondInt(v))
                throw UsageError{"--threads '" + v + "' is too large a number; the run uses at most one thread per " +
                                 "wavelength and per hardware thread, so any number from 1 up will do"};
            try {
                o.threads = ParseInteger(v);
            } catch (const ConversionError&) {
                o.threads = 0;
            }
            if (o.threads < 1) throw UsageError{"--threads takes a whole number of 1 or more, not '" + v + "'"};
        } else if (auto w = waves.find(a); w != waves.end()) {
            const std::string& v = value();
            double amount = 0;
            try {
                amount = ParseDecimal(v);
            } catch (const ConversionError&) {
                throw UsageError{a + " takes a finite number of waves, not '" + v + "'"};
            }
            // The panel's spin ranges: beyond them the pupil phase turns by more than the
            // grid can sample, and the picture says nothing.
            const double limit = a == "--focus" ? maximumFocusWaves : maximumSphericalWaves;
            if (!(std::fabs(amount) <= limit))
                throw UsageError{a + " takes waves from -" + FormatGeneral(limit) + " to " + FormatGeneral(limit) +
                                 ", not '" + v + "'"};
            o.aberrations.*(w->second) = amount;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else {
            throw UsageError{"unknown option '" + a + "'"};
        }
    }
    CheckPictureName("--display", o.display);
    CheckPictureName("--pupil", o.pupil);
    return o;
}

std::string IntensityText(const Picture24& picture) {
    std::string s;
    s.reserve(static_cast<size_t>(picture.width) * picture.height * 10);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (x) s += ' ';
            s += FormatStream(DecodeIntensity(picture.Red(x, y), picture.Green(x, y), picture.Blue(x, y)));
        }
        s += "\r\n";
    }
    return s;
}

// The window's wavelength-dependence override from a file: the run then judges the rows with the
// window's messages. A row whose wavelength is not the band's at its position is still used, as
// in the window, but said.
bool ApplyWavelengthTable(const std::string& path, CalculationRequest& request, std::ostream& err) {
    if (request.params.colorMode != ColorMode::Monochrome) {
        err << "velmora1-batch: --wavelength-table needs monochrome mode; colour runs have no per-wavelength table\n";
        return false;
    }
    WavelengthTableRead read = ReadWavelengthTableFile(path);
    if (!read.ok) {
        err << "velmora1-batch: wavelength table '" << path << "' could not be read: " << read.problem << "\n";
        return false;
    }
    const WavelengthBand& band = request.params.whiteBand;
    const long long count = std::min(WavelengthCount(band), static_cast<long long>(read.rows.size()));
    for (long long k = 0; k < count; ++k) {
        const long long lambda = band.min + k * band.step;
        const std::string& written = read.wavelengths[static_cast<size_t>(k)];
        bool same = false;
        try {
            same = ParseDecimal(written) == static_cast<double>(lambda);
        } catch (const ConversionError&) {
        }
        if (!same)
            err << "velmora1-batch: warning: line " << read.lineNumbers[static_cast<size_t>(k)] << " of '" << path
                << "' is for '" << (written.size() > 40 ? written.substr(0, 40) + "..." : written)
                << "' nm but is used for the band's wavelength " << k + 1 << ", " << lambda << " nm\n";
    }
    request.params.useWavelengthDependence = true;
    // The cells become numbers as the window converts its table: a cell that is no number
    // refuses the run with the window's message.
    try {
        request.dependenceRows = ConvertDependenceRows(read.rows, WavelengthCount(band));
    } catch (const CalculationError& e) {
        err << "velmora1-batch: " << e.what() << "\n";
        return false;
    }
    return true;
}

// The files the run will write, with the options that name them.
std::vector<OutputName> OutputNames(const Options& o, bool mono);

}  // namespace

std::string InsertBeforeExtension(const std::string& path, const std::string& suffix) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == (slash == std::string::npos ? 0 : slash + 1))
        return path + suffix;
    return path.substr(0, dot) + suffix + path.substr(dot);
}

namespace {

std::vector<OutputName> OutputNames(const Options& o, bool mono) {
    std::vector<OutputName> names;
    if (o.display) names.push_back({"--display", *o.display});
    if (o.pupil) names.push_back({"--pupil", *o.pupil});
    if (o.intensity) {
        if (mono) {
            names.push_back({"--intensity", *o.intensity});
        } else {
            for (const char* band : {"-red", "-green", "-blue"})
                names.push_back({"--intensity", InsertBeforeExtension(*o.intensity, band)});
        }
    }
    if (o.report) names.push_back({"--report", *o.report});
    if (o.fits) names.push_back({"--fits", *o.fits});
    return names;
}

int RunUnguarded(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options o;
    try {
        o = ParseOptions(args);
    } catch (const UsageError& e) {
        if (!e.message.empty()) err << "velmora1-batch: " << e.message << "\n";
        err << usageText;
        return 2;
    }
    if (o.help || o.version) {
        out << (o.help ? usageText : versionText);
        return 0;
    }

    CalculationRequest request;
    if (o.params) {
        ParameterFileRead read = ReadParameterFile(*o.params);
        if (!read.exists) {
            err << "velmora1-batch: parameter file '" << *o.params << "' does not exist\n";
            return 1;
        }
        if (!read.problem.empty()) {
            err << "velmora1-batch: parameter file '" << *o.params << "' could not be read: " << read.problem << "\n";
            return 1;
        }
        if (!read.complete) {
            err << "velmora1-batch: parameter file '" << *o.params << "' could not be read completely: line "
                << read.stoppedAtLine << " (" << read.stoppedAtKey << ") holds no readable value\n";
            return 1;
        }
        ApplyAssignments(request.params, read);
    }
    if (o.mode) request.params.colorMode = *o.mode;
    request.aberrations = o.aberrations;
    request.brightnessLevel = o.brightness;
    const bool mono = request.params.colorMode == ColorMode::Monochrome;
    if (o.pupil && !mono) {
        err << "velmora1-batch: --pupil needs monochrome mode; the pupil picture is made by monochrome runs only\n";
        return 1;
    }
    // Every output name is checked before anything is read or computed: a long run must not
    // end in a name that could never be written.
    if (const auto problem = CheckOutputNames(OutputNames(o, mono))) {
        if (problem->usage) {
            err << "velmora1-batch: " << problem->usageText << "\n" << usageText;
            return 2;
        }
        err << "velmora1-batch: " << problem->refusal.Text() << "\n";
        return 1;
    }
    if (o.wavelengthTable && !ApplyWavelengthTable(*o.wavelengthTable, request, err)) return 1;

    // The loads select their density kind, as the menu commands do; given both, the mask is used.
    UserFilter userFilter;
    Picture24 userMask;
    if (o.userFilter) {
        const UserFilterRead read = ReadUserFilterFile(*o.userFilter, userFilter);
        if (!read.ok) {
            err << "velmora1-batch: user filter '" << *o.userFilter << "' could not be read: " << read.problem << "\n";
            return 1;
        }
        request.params.densityProfile = DensityProfileKind::UserFilter;
        if (read.Truncated())
            err << "velmora1-batch: warning: user filter '" << *o.userFilter << "' has " << read.countInFile
                << " entries; only the first " << userFilterCapacity << " are used\n";
    }
    if (o.userMask) {
        std::string problem;
        if (!LoadUserMaskFile(*o.userMask, userMask, problem)) {
            err << "velmora1-batch: user mask '" << *o.userMask << "' could not be read: " << problem << "\n";
            return 1;
        }
        request.params.densityProfile = DensityProfileKind::UserMask;
    }

    RealMatrixHolder workGrid;
    if (workGrid.Allocate(gridSize, gridSize) != 0) {
        err << "velmora1-batch: not enough memory for the calculation grid\n";
        return 1;
    }
    // The count asked for (the option, the environment or every hardware thread), capped by the
    // hardware, the wavelengths and the memory; a lower count than asked is said.
    const RunThreads threads = RunThreadsFor(o.threads > 0 ? o.threads : DefaultThreadCount(), request.params);
    if (const UserMessage said = RunThreadsMessage(threads, o.threads > 0 || EnvironmentThreadCount()); !said.Empty())
        err << "velmora1-batch: " << said.Text() << "\n";

    PupilInputs pupilInputs;
    pupilInputs.params = &request.params;
    pupilInputs.userFilter = &userFilter;
    // Kept as the window keeps it: one byte a pixel for a grey mask.
    const LoadedMask loadedMask = LoadedMask::From(userMask);
    userMask = Picture24();
    UserMaskStages maskStages(loadedMask, RunPupilSamplings(request.params), threads.threads);
    if (o.userMask) {
        pupilInputs.loadedMask = &loadedMask;
        pupilInputs.userMaskStages = &maskStages;
    }
    PupilBuilder build = [&](int lambda, RealMatrix grid, const ProgressFn& bar) { BuildPupil(pupilInputs, lambda, grid, bar); };
    CalculationProgress progress;
    progress.wavelength = [&](int index, int count, int lambda) {
        err << "wavelength " << index + 1 << " of " << count << ": " << lambda << " nm\n" << std::flush;
    };

    PsfResult result;
    try {
        const RunControl control{threads.threads, nullptr};
        result = RunPsfCalculation(request, build, workGrid.get(), progress, control);
    } catch (const CalculationError& e) {
        err << "velmora1-batch: " << e.what() << "\n";
        return 1;
    }

    // Everything is formed before the first file is written, and nothing is renamed into
    // place before every file is complete.
    const PsfResultImages& results = result.images;
    BatchOutput output;
    if (o.display) output.Add(*o.display, EncodeImage(results.display, *FormatForOutputName(*o.display)));
    if (o.pupil) output.Add(*o.pupil, EncodeImage(results.pupil, *FormatForOutputName(*o.pupil)));
    if (o.intensity) {
        if (mono) {
            output.Add(*o.intensity, IntensityText(results.image3));
        } else {
            output.Add(InsertBeforeExtension(*o.intensity, "-red"), IntensityText(results.image2));
            output.Add(InsertBeforeExtension(*o.intensity, "-green"), IntensityText(results.image3));
            output.Add(InsertBeforeExtension(*o.intensity, "-blue"), IntensityText(results.image4));
        }
    }
    if (o.report) {
        // An aberrated run's ideal: the same pupils run again without the aberrations.
        std::shared_ptr<const Analysis> ideal;
        if (!Unaberrated(*result.full)) ideal = IdealCache().For(request, {}, build, RunControl{threads.threads, nullptr});
        output.Add(*o.report, ReportJson(Analyse(*result.full, ideal.get())));
    }
    if (o.fits) output.Add(*o.fits, EncodeFits(*result.full));
    try {
        output.Commit();
    } catch (const std::exception& e) {
        err << "velmora1-batch: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int RunBatchCommand(const std::vector<std::string>& args, std::ostream& err) { return RunBatchCommand(args, err, err); }

int RunBatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // Whatever goes wrong ends as a message and status 1, never as a terminated process.
    try {
        return RunUnguarded(args, out, err);
    } catch (const std::bad_alloc&) {
        err << "velmora1-batch: not enough memory\n";
    } catch (const std::exception& e) {
        err << "velmora1-batch: " << e.what() << "\n";
    } catch (...) {
        err << "velmora1-batch: unexpected failure\n";
    }
    return 1;
}

}  // namespace velmora
