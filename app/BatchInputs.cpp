// The batch command's inputs: a parameters file or report, the command line over it, the
// tables and files the run reads, resolved into a RunSpec.
#include "app/BatchRun.h"

#include <algorithm>
#include <cctype>

#include "core/NumberText.h"
#include "files/ParameterFile.h"
#include "files/SafeOpen.h"
#include "files/UserFilterFile.h"
#include "files/UserMaskFile.h"
#include "files/WavelengthTableFile.h"
#include "files/ZernikeFile.h"

namespace velmora {
namespace {

// The window's wavelength-dependence override from a table (read from a file, or echoed by a
// report): the run then judges the rows with the window's messages. A row whose wavelength is
// not the band's at its position is still used, as in the window, but said.
bool ApplyWavelengthTable(const WavelengthTableInput& table, const std::vector<int>& lineNumbers,
                          CalculationRequest& request, const Console& console) {
    if (request.params.colorMode != ColorMode::Monochrome) {
        console.Error("--wavelength-table needs monochrome mode; colour runs have no per-wavelength table");
        return false;
    }
    const WavelengthBand& band = request.params.whiteBand;
    const long long count = std::min(WavelengthCount(band), static_cast<long long>(table.rows.size()));
    for (long long k = 0; k < count && k < static_cast<long long>(table.wavelengths.size()); ++k) {
        const long long lambda = band.min + k * band.step;
        const std::string& written = table.wavelengths[static_cast<size_t>(k)];
        bool same = false;
        try {
            same = ParseDecimal(written) == static_cast<double>(lambda);
        } catch (const ConversionError&) {
        }
        const std::string where = k < static_cast<long long>(lineNumbers.size())
                                      ? "line " + std::to_string(lineNumbers[static_cast<size_t>(k)]) + " of '" + table.file + "'"
                                      : "row " + std::to_string(k + 1) + " of the wavelength table";
        if (!same)
            console.Warning(where + " is for '" + (written.size() > 40 ? written.substr(0, 40) + "..." : written) +
                            "' nm but is used for the band's wavelength " + std::to_string(k + 1) + ", " +
                            std::to_string(lambda) + " nm");
    }
    request.params.useWavelengthDependence = true;
    // The cells become numbers as the window converts its table: a cell that is no number
    // refuses the run with the window's message.
    try {
        request.dependenceRows = ConvertDependenceRows(table.rows, WavelengthCount(band));
    } catch (const CalculationError& e) {
        console.Error(e);
        return false;
    }
    return true;
}

// The whole --params file: a classic parameter data file, or JSON (a report or its
// "parameters" alone), told apart by the first character that is not white space.
constexpr size_t parameterJsonLimit = size_t{16} << 20;

bool LooksLikeJson(const std::string& bytes) {
    size_t k = ByteOrderMarkLength(bytes);
    while (k < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[k]))) ++k;
    return k < bytes.size() && bytes[k] == '{';
}

}  // namespace

std::vector<OutputName> OutputNames(const BatchOptions& o, bool mono) {
    std::vector<OutputName> names;
    if (o.display) names.push_back({"--display", *o.display});
    if (o.pupil) names.push_back({"--pupil", *o.pupil});
    if (o.intra) names.push_back({"--intra", *o.intra});
    if (o.extra) names.push_back({"--extra", *o.extra});
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
    if (o.camera) names.push_back({"--camera", *o.camera});
    return names;
}

int BatchRun::ReadInputs() {
    run.aberrations = Aberrations{};
    if (o.params) {
        const RegularFileRead bytes = ReadRegularFile(*o.params, parameterJsonLimit, Oversize::Refuse);
        if (bytes.ok && LooksLikeJson(bytes.bytes)) {
            try {
                run = RunParametersFromDocument(bytes.bytes);
            } catch (const RunParametersError& e) {
                console.Error("parameter file '" + *o.params + "' could not be read: " + e.what());
                return 1;
            }
            // The coefficients given on the command line change only themselves.
            if (!o.aberrations.empty() && !run.aberrations) run.aberrations = AberrationsInWaves(run.panel);
        } else {
            ParameterFileRead read = ReadParameterFile(*o.params);
            if (!read.exists) {
                console.Error("parameter file '" + *o.params + "' does not exist");
                return 1;
            }
            if (!read.problem.empty()) {
                console.Error("parameter file '" + *o.params + "' could not be read: " +
                              (read.reason.Empty() ? read.problem : console.language.Text(read.reason)));
                return 1;
            }
            if (!read.complete) {
                console.Error("parameter file '" + *o.params + "' could not be read completely: line " +
                              std::to_string(read.stoppedAtLine) + " (" + read.stoppedAtKey + ") holds no readable value");
                return 1;
            }
            ApplyAssignments(run.panel, read);
        }
    }
    SimulationParameters& panel = run.panel;
    if (o.mode) panel.colorMode = *o.mode;
    if (o.aperture) panel.aperture = *o.aperture;
    if (o.focalLength) panel.focalLength = *o.focalLength;
    if (o.secondary) panel.secondaryDiameter = *o.secondary;
    if (o.band) panel.whiteBand = *o.band;
    for (const auto& [coefficient, waves] : o.aberrations) (*run.aberrations).*coefficient = waves;
    if (o.brightness) run.brightness = *o.brightness;
    if (o.seeing) run.seeingArcsec = *o.seeing;
    if (o.companion) run.companion = *o.companion;
    if (o.pixelSize) run.cameraPixelUm = *o.pixelSize;
    if (o.userFilter) run.userFilterFile = *o.userFilter;
    if (o.userMask) run.userMaskFile = *o.userMask;
    if (o.conic) {
        run.mirror.on = true;
        run.mirror.conic = *o.conic;
    }
    // A field needs a mirror to see it through: which one is no guess to make for the user.
    if ((o.fieldArcmin || o.fieldAzimuthDeg) && !run.mirror.on)
        return Usage(std::string(o.fieldArcmin ? "--field-angle" : "--field-azimuth") +
                     " needs the primary's conic constant: add --conic K (0 sphere, -1 paraboloid)");
    if (o.fieldArcmin) run.mirror.fieldArcmin = *o.fieldArcmin;
    if (o.fieldAzimuthDeg) run.mirror.azimuthDeg = *o.fieldAzimuthDeg;
    const bool mono = panel.colorMode == ColorMode::Monochrome;
    if (o.pupil && !mono) {
        console.Error("--pupil needs monochrome mode; the pupil picture is made by monochrome runs only");
        return 1;
    }
    if (o.intensity && *o.intensity == "-" && !mono)
        return Usage("--intensity - cannot be standard output in colour, which writes one file per band; name a file");
    // Every output name is checked before anything is read or computed: a long run must not
    // end in a name that could never be written.
    if (o.camera && !(run.cameraPixelUm > 0))
        return Usage("--camera needs the camera's pixel: give --pixel-size UM (or camera_pixel_um in --params)");
    if (const auto problem = CheckOutputNames(OutputNames(o, mono))) {
        if (problem->usage) return Usage(problem->usageText);
        console.Error(problem->refusal);
        return 1;
    }
    if (o.wavelengthTable) {
        WavelengthTableRead read = ReadWavelengthTableFile(*o.wavelengthTable);
        if (!read.ok) {
            if (!mono) {
                console.Error("--wavelength-table needs monochrome mode; colour runs have no per-wavelength table");
                return 1;
            }
            console.Error("wavelength table '" + *o.wavelengthTable + "' could not be read: " + read.problem);
            return 1;
        }
        run.wavelengthTable = WavelengthTableInput{*o.wavelengthTable, std::move(read.wavelengths), std::move(read.rows)};
        tableLines = std::move(read.lineNumbers);
    }

    if (o.zernike) {
        const ZernikeFileRead read = ReadZernikeFile(*o.zernike);
        if (!read.ok) {
            console.Error("Zernike file '" + *o.zernike + "' could not be read: " + console.language.Text(read.reason));
            return 1;
        }
        run.zernike = read.set;
    }

    return proceed;
}

int BatchRun::Resolve() {
    CalculationRequest& request = runSpec.request;
    request.params = run.panel;
    request.aberrations = run.aberrations;
    // The Zernike terms add to the coefficients; without any the run is the panel's alone.
    if (run.zernike) {
        if (!request.aberrations) request.aberrations = AberrationsInWaves(request.params);
        request.aberrations->zernike = ZernikeWavefront(*run.zernike);
    }
    request.brightnessLevel = run.brightness;
    request.mirror = run.mirror;
    runSpec.sky.seeingArcsec = run.seeingArcsec;
    runSpec.sky.companion = run.companion;
    runSpec.cameraPixelUm = run.cameraPixelUm;
    if (run.wavelengthTable && !ApplyWavelengthTable(*run.wavelengthTable, tableLines, request, console)) return 1;

    // The loads select their density kind, as the menu commands do; given both, the mask is used.
    UserFilter& userFilter = runSpec.filter;
    Picture24 userMask;
    if (run.userFilterFile) {
        const std::string& name = *run.userFilterFile;
        const UserFilterRead read = ReadUserFilterFile(name, userFilter);
        if (!read.ok) {
            console.Error("user filter '" + name + "' could not be read: " +
                          (read.reason.Empty() ? read.problem : console.language.Text(read.reason)));
            return 1;
        }
        request.params.densityProfile = DensityProfileKind::UserFilter;
        if (read.Truncated())
            console.Warning("user filter '" + name + "' has " + std::to_string(read.countInFile) + " entries; only the first " +
                            std::to_string(userFilterCapacity) + " are used");
    }
    if (run.userMaskFile) {
        const std::string& name = *run.userMaskFile;
        UserMessage problem;
        if (!LoadUserMaskFile(name, userMask, problem)) {
            console.Error("user mask '" + name + "' could not be read: " + console.language.Text(problem));
            return 1;
        }
        request.params.densityProfile = DensityProfileKind::UserMask;
    }
    // What the report echoes: the record as the run takes it.
    run.panel = request.params;

    // Kept as the window keeps it: one byte a pixel for a grey mask.
    if (run.userMaskFile) runSpec.mask = std::make_shared<const LoadedMask>(LoadedMask::From(userMask));
    return proceed;
}

}  // namespace velmora
