#include "app/BatchCommand.h"
#include "app/BatchOutput.h"
#include "app/BatchOptions.h"
#include "app/MessageLanguage.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <ostream>

#include "analysis/Analysis.h"
#include "core/IntensityCode.h"
#include "core/NumberText.h"
#include "core/PsfCalculation.h"
#include "core/RunThreads.h"
#include "optics/StarTestPictures.h"
#include "files/Bmp.h"
#include "files/FitsFile.h"
#include "files/ImageExport.h"
#include "files/ParameterFile.h"
#include "files/ProgramVersion.h"
#include "files/ReportFile.h"
#include "files/RunParameters.h"
#include "files/SafeOpen.h"
#include "files/UserFilterFile.h"
#include "files/UserMaskFile.h"
#include "files/WavelengthTableFile.h"
#include "files/ZernikeFile.h"
#include "imaging/Camera.h"
#include "imaging/Sky.h"
#include "pupil/PupilModel.h"
#include "run/Pipeline.h"

namespace velmora {
namespace {

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

// Where the messages go: errors always, warnings and notes unless quiet, each in the language
// asked for.
struct Console {
    std::ostream& err;
    const MessageLanguage& language;
    bool quiet = false;
    void Error(const std::string& text) const { err << "velmora1-batch: " << text << "\n"; }
    void Error(const UserMessage& m) const { Error(language.Text(m)); }
    void Error(const std::exception& e) const {
        if (const auto* m = dynamic_cast<const MessageError*>(&e)) Error(m->Message());
        else Error(std::string(e.what()));
    }
    void Warning(const std::string& text) const {
        if (!quiet) err << "velmora1-batch: warning: " << text << "\n";
    }
    void Note(const std::string& text) const {
        if (!quiet) err << "velmora1-batch: " << text << "\n";
    }
};

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

// The files the run will write, with the options that name them.
std::vector<OutputName> OutputNames(const BatchOptions& o, bool mono);

}  // namespace

std::string InsertBeforeExtension(const std::string& path, const std::string& suffix) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == (slash == std::string::npos ? 0 : slash + 1))
        return path + suffix;
    return path.substr(0, dot) + suffix + path.substr(dot);
}

namespace {

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

// One command's work once its options are taken: the inputs read, resolved into a spec, run
// through the pipeline and written. Each step returns `proceed` to go on, or the command's status.
class BatchRun {
public:
    static constexpr int proceed = -1;

    BatchRun(const BatchOptions& options, const Console& console, std::ostream& out, std::ostream& err,
             const BatchEnvironment& env)
        : o(options), console(console), out(out), err(err), env(env) {}

    // The run's inputs: the factory values, a parameter file or the parameters of a report,
    // then what the command line says; every output name checked.
    int ReadInputs();
    // The inputs as the run takes them: the tables, the sky and the camera, the filter and mask
    // read (a load selects its density kind, as the menu commands do).
    int Resolve();
    // The pipeline, the measurements the outputs need, the outputs.
    int RunAndWrite();

private:
    int Usage(const std::string& text) const {
        err << "velmora1-batch: " << text << "\n" << batchHelpPointer;
        return 2;
    }

    const BatchOptions& o;
    const Console& console;
    std::ostream& out;
    std::ostream& err;
    const BatchEnvironment& env;
    RunParameters run;
    std::vector<int> tableLines;  // of the wavelength table's rows, for its messages
    RunSpec spec;
};

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
    CalculationRequest& request = spec.request;
    request.params = run.panel;
    request.aberrations = run.aberrations;
    // The Zernike terms add to the coefficients; without any the run is the panel's alone.
    if (run.zernike) {
        if (!request.aberrations) request.aberrations = AberrationsInWaves(request.params);
        request.aberrations->zernike = ZernikeWavefront(*run.zernike);
    }
    request.brightnessLevel = run.brightness;
    request.mirror = run.mirror;
    spec.sky.seeingArcsec = run.seeingArcsec;
    spec.sky.companion = run.companion;
    spec.cameraPixelUm = run.cameraPixelUm;
    if (run.wavelengthTable && !ApplyWavelengthTable(*run.wavelengthTable, tableLines, request, console)) return 1;

    // The loads select their density kind, as the menu commands do; given both, the mask is used.
    UserFilter& userFilter = spec.filter;
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
    if (run.userMaskFile) spec.mask = std::make_shared<const LoadedMask>(LoadedMask::From(userMask));
    return proceed;
}

int BatchRun::RunAndWrite() {
    RealMatrixHolder workGrid;
    if (workGrid.Allocate(gridSize, gridSize) != 0) {
        console.Error("not enough memory for the calculation grid");
        return 1;
    }
    // The count asked for (the option, the environment or every hardware thread), capped by the
    // hardware, the wavelengths and the memory; a lower count than asked is said.
    const RunThreads threads = RunThreadsFor(o.threads > 0 ? o.threads : DefaultThreadCount(), spec.request.params);
    if (const UserMessage said = RunThreadsMessage(threads, o.threads > 0 || EnvironmentThreadCount()); !said.Empty())
        console.Note(console.language.Text(said));

    const PreparedRun prepared(std::move(spec), threads.threads);
    const bool mono = run.panel.colorMode == ColorMode::Monochrome;
    // Progress on standard error: one line that updates itself on a terminal, nothing where
    // the stream is no terminal unless asked for (then one line per wavelength).
    const bool showProgress = !o.quiet && (o.progress || env.errorIsTerminal);
    const bool updating = env.errorIsTerminal;
    bool progressShown = false;
    CalculationProgress progress;
    if (showProgress)
        progress.wavelength = [&](int index, int count, int lambda) {
            if (updating) err << "\rwavelength " << index + 1 << " of " << count << ": " << lambda << " nm\x1b[K" << std::flush;
            else err << "wavelength " << index + 1 << " of " << count << ": " << lambda << " nm\n" << std::flush;
            progressShown = true;
        };
    auto endProgress = [&] {
        if (updating && progressShown) err << "\r\x1b[K" << std::flush;
        progressShown = false;
    };

    PsfResult result;
    const RunControl control{threads.threads, nullptr};
    try {
        // The sky is checked before the camera, as the run would check it.
        CheckSky(prepared.Spec().sky, prepared.Request().params);
        CheckCamera(run.cameraPixelUm, prepared.Request().params);
        result = RunPrepared(prepared, workGrid, progress, control);
    } catch (const CalculationError& e) {
        endProgress();
        console.Error(e);
        return 1;
    }
    endProgress();

    // The measurements are made once: the report holds them, and their sampling warnings go to
    // standard error (whatever the outputs) and into the FITS header.
    // A report's curves have their ideal: for an aberrated run, the same pupils run again
    // without the aberrations.
    std::optional<Analysis> analysis;
    if (!o.report && !o.fits && !o.camera && !o.quiet) {
        // Only the warnings are wanted: not all the measurements for them.
        for (const SamplingNote& note : SamplingWarnings(*result.full)) console.Warning(console.language.Text(note.message));
    } else if (o.report || o.fits || o.camera) {
        MeasureOptions measure;
        measure.ideal = o.report.has_value();
        if (o.throughFocus) measure.throughFocus = MeasureOptions::ThroughFocus::Required;
        try {
            analysis = MeasurePrepared(prepared, *result.full, measure, control);
        } catch (const CalculationError& e) {
            console.Error(e);
            return 1;
        }
        for (const SamplingNote& note : analysis->warnings) console.Warning(console.language.Text(note.message));
    }

    // The star test, when asked for: the pair is computed only for its pictures.
    std::optional<StarTestResult> starTest;
    if (o.intra || o.extra || o.defocusPv) {
        const double d = o.defocusPv.value_or(defaultDefocusWavesPv);
        try {
            if (o.intra || o.extra) starTest = RunStarTest(prepared.Request(), prepared.Builder(), d, control);
            else starTest = StarTestResult{StarTestGeometryOf(prepared.Request(), d), {}, {}, {}, {}};
        } catch (const CalculationError& e) {
            console.Error(e);
            return 1;
        }
        const StarTestGeometry& g = starTest->geometry;
        if ((o.intra || o.extra) && !g.fits) {
            console.Error("the star test's disc, " + FormatGeneral(std::round(g.discDiameterUm)) +
                          " um across at " + FormatGeneral(d) + " waves, does not fit in the calculation grid of " +
                          FormatGeneral(std::round(g.gridUm)) + " um; choose a smaller --defocus-pv");
            return 1;
        }
    }

    // Everything is formed before the first file is written, and nothing is renamed into
    // place before every file is complete.
    const PsfResultImages& results = result.images;
    BatchOutput output;
    output.standardOutput = &out;
    if (o.display) output.Add(*o.display, EncodeImage(results.display, *FormatForOutputName(*o.display)));
    if (o.pupil) output.Add(*o.pupil, EncodeImage(results.pupil, *FormatForOutputName(*o.pupil)));
    if (o.intra) output.Add(*o.intra, EncodeImage(starTest->intraPicture, *FormatForOutputName(*o.intra)));
    if (o.extra) output.Add(*o.extra, EncodeImage(starTest->extraPicture, *FormatForOutputName(*o.extra)));
    if (o.intensity) {
        if (mono) {
            output.Add(*o.intensity, IntensityText(results.image3));
        } else {
            output.Add(InsertBeforeExtension(*o.intensity, "-red"), IntensityText(results.image2));
            output.Add(InsertBeforeExtension(*o.intensity, "-green"), IntensityText(results.image3));
            output.Add(InsertBeforeExtension(*o.intensity, "-blue"), IntensityText(results.image4));
        }
    }
    std::vector<CameraImage> cameras;
    if (run.cameraPixelUm > 0 && analysis) cameras = CameraImages(*result.full, *analysis, run.cameraPixelUm);
    if (o.camera) {
        if (IsFitsName(*o.camera)) {
            FitsInputs inputs;
            inputs.creator = std::string("velmora1-batch ") + programVersion;
            output.Add(*o.camera, EncodeCameraFits(*result.full, cameras, inputs));
        } else {
            output.Add(*o.camera, EncodeImage(CameraPicture(cameras), *FormatForOutputName(*o.camera)));
        }
    }
    if (o.report) {
        ReportInputs inputs;
        inputs.parameters = run;
        if (starTest)
            inputs.starTest = StarTestReport{starTest->geometry.defocusWavesPv, starTest->geometry.focuserTravelMm,
                                             starTest->geometry.pictureUm};
        inputs.companion = run.companion;
        inputs.cameras = cameras;
        output.Add(*o.report, ReportJson(*analysis, inputs));
    }
    if (o.fits) {
        FitsInputs inputs;
        inputs.creator = std::string("velmora1-batch ") + programVersion;
        // FITS headers are ASCII: the warnings go in English whatever the messages' language.
        const MessageLanguage fitsLanguage(true);
        for (const SamplingNote& note : analysis->warnings) inputs.warnings.push_back(fitsLanguage.Text(note.message));
        output.Add(*o.fits, EncodeFits(*result.full, inputs));
    }
    try {
        output.Commit();
    } catch (const std::exception& e) {
        console.Error(e);
        return 1;
    }
    return 0;
}

int RunUnguarded(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const BatchEnvironment& env) {
    BatchOptions o;
    try {
        o = ParseBatchOptions(args);
    } catch (const UsageError& e) {
        err << "velmora1-batch: " << e.message << "\n" << batchHelpPointer;
        return 2;
    }
    if (o.help || o.version) {
        out << (o.help ? batchUsageText : batchVersionText);
        return 0;
    }
    bool english = false;
    if (o.english) {
        english = *o.english;
    } else if (!env.language.empty() && !ParseLanguageName(env.language, english) && !o.quiet) {
        err << "velmora1-batch: unknown language \"" << env.language << "\" in VELMORA_LANG (known: ja, en); using Japanese\n";
    }
    const MessageLanguage language(english);
    const Console console{err, language, o.quiet};
    BatchRun batch(o, console, out, err, env);
    for (int (BatchRun::*step)() : {&BatchRun::ReadInputs, &BatchRun::Resolve, &BatchRun::RunAndWrite})
        if (const int status = (batch.*step)(); status != BatchRun::proceed) return status;
    return 0;
}

}  // namespace

int RunBatchCommand(const std::vector<std::string>& args, std::ostream& err) { return RunBatchCommand(args, err, err); }

int RunBatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunBatchCommand(args, out, err, BatchEnvironment{});
}

int RunBatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const BatchEnvironment& env) {
    // Whatever goes wrong ends as a message and status 1, never as a terminated process.
    try {
        return RunUnguarded(args, out, err, env);
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
