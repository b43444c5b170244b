#include "app/BatchCommand.h"
#include "app/BatchOutput.h"
#include "app/BatchOptions.h"
#include "app/BatchRun.h"
#include "app/MessageLanguage.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <ostream>

#include "analysis/Analysis.h"
#include "core/IntensityCode.h"
#include "core/NumberText.h"
#include "core/PsfCalculation.h"
#include "core/RunThreads.h"
#include "optics/StarTestPictures.h"
#include "files/FitsFile.h"
#include "files/ImageExport.h"
#include "files/ProgramVersion.h"
#include "files/ReportFile.h"
#include "files/RunParameters.h"
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


}  // namespace

std::string InsertBeforeExtension(const std::string& path, const std::string& suffix) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == (slash == std::string::npos ? 0 : slash + 1))
        return path + suffix;
    return path.substr(0, dot) + suffix + path.substr(dot);
}

int BatchRun::RunAndWrite() {
    RealMatrixHolder workGrid;
    if (workGrid.Allocate(gridSize, gridSize) != 0) {
        console.Error("not enough memory for the calculation grid");
        return 1;
    }
    // The count asked for (the option, the environment or every hardware thread), capped by the
    // hardware, the wavelengths and the memory; a lower count than asked is said.
    const RunThreads threads = RunThreadsFor(o.threads > 0 ? o.threads : DefaultThreadCount(), runSpec.request.params);
    if (const UserMessage said = RunThreadsMessage(threads, o.threads > 0 || EnvironmentThreadCount()); !said.Empty())
        console.Note(console.language.Text(said));

    const PreparedRun prepared(std::move(runSpec), threads.threads);
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

namespace {

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
