#include "app/BatchCommand.h"
#include "app/BatchOutput.h"
#include "app/MessageLanguage.h"

#include <CLI/CLI.hpp>

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

const char* usageText =
    "usage: velmora1-batch [--params FILE] [--mono|--color] [--brightness L]\n"
    "                      [--aperture MM] [--focal-length MM] [--secondary MM]\n"
    "                      [--wavelength NM | --band LO:HI:STEP]\n"
    "                      [--focus W] [--spherical W] [--astigmatism-m W] [--astigmatism-s W]\n"
    "                      [--coma-x W] [--coma-y W] [--tilt-x W] [--tilt-y W]\n"
    "                      [--user-filter FILE.uft] [--user-mask FILE.bmp] [--wavelength-table FILE]\n"
    "                      [--zernike FILE.zer]\n"
    "                      [--conic K] [--field-angle ARCMIN] [--field-azimuth DEG]\n"
    "                      [--intra OUT.png|.bmp|.jpg] [--extra OUT.png|.bmp|.jpg] [--defocus-pv D]\n"
    "                      [--zernike FILE.zer] [--seeing ARCSEC] [--double SEP[,PA[,DMAG]]]\n"
    "                      [--pixel-size UM] [--camera OUT.fits|.png|.bmp|.jpg]\n"
    "                      [--display OUT.png|.bmp|.jpg] [--pupil OUT.png|.bmp|.jpg] [--intensity OUT.txt]\n"
    "                      [--report OUT.json|-] [--fits OUT.fits|-] [--threads N]\n"
    "                      [--through-focus]\n"
    "                      [--lang ja|en] [--progress | -q]\n"
    "       velmora1-batch --help | --version\n"
    "\n"
    "Options take their value as --name VALUE or --name=VALUE.\n"
    "\n"
    "  --params FILE     parameter data file (default: the factory values), or a JSON report\n"
    "                    of an earlier run (its \"parameters\" are used, so the report repeats\n"
    "                    its run) or such a parameters object alone\n"
    "  --mono, --color   override the file's mode\n"
    "  --brightness L    brightness level of the display picture, 1..100 (default 5)\n"
    "  --aperture MM     primary mirror aperture, 0..300 mm (the panel's range)\n"
    "  --focal-length MM focal length, 100..30000 mm\n"
    "  --secondary MM    secondary mirror (central obstruction), 0..100 mm\n"
    "  --wavelength NM   a monochrome run at this one wavelength, 350..1100 nm\n"
    "  --band LO:HI:STEP the monochrome band: first and last wavelength 350..1100 nm,\n"
    "                    step 1..400 nm\n"
    "  --focus W ...     wavefront aberrations in waves (default 0): focus from -10 to 10,\n"
    "                    the others from -1 to 1, the ranges of the panel\n"
    "  --user-filter F   radial transmission table; selects the user filter profile\n"
    "  --user-mask F     mask picture (BMP); selects the user mask profile\n"
    "  --wavelength-table F  per-wavelength spherical and focus (monochrome only): one line\n"
    "                    \"wavelength spherical focus\" in waves per wavelength of the band,\n"
    "                    matched by position; lines starting with # are skipped\n"
    "  --zernike F       Zernike terms that add to the aberrations: an optional line\n"
    "                    \"ordering fringe\" (Z1..Z37, the default) or \"ordering ansi\" (j 0..90),\n"
    "                    then \"index coefficient\" in waves per line\n"
    "  --conic K         the primary's conic constant (0 sphere, -1 paraboloid), -1000..1000:\n"
    "                    its third-order aberrations (stop at the mirror) add to the\n"
    "                    wavefront of every wavelength, in that wavelength's waves\n"
    "  --field-angle A   the star's angle from the axis, 0..60 arcminutes (default 0): coma\n"
    "                    and astigmatism of the mirror; needs --conic (or a --params file\n"
    "                    with a mirror)\n"
    "  --field-azimuth D the star's direction in the field, -360..360 degrees from the x\n"
    "                    axis towards y (default 0); needs --conic likewise\n"
    "  --intra OUT       star test inside focus: the star at -D waves P-V of defocus, scaled\n"
    "                    so the whole disc (8 N D lambda across) fits; format as for --display\n"
    "  --extra OUT       the same outside focus, at +D waves\n"
    "  --defocus-pv D    the star test's defocus D in waves P-V at the mean wavelength, above\n"
    "                    0 and at most 20 (default 8); the report then holds \"star_test\"\n"
    "  --seeing ARCSEC   long-exposure seeing, FWHM in arcseconds at 500 nm, 0..60\n"
    "                    (default 0: no atmosphere); Kolmogorov turbulence\n"
    "  --double SEP[,PA[,DMAG]]  a companion star SEP arcseconds away (0..3600) at position\n"
    "                    angle PA degrees from x towards y (default 0), DMAG magnitudes fainter\n"
    "                    (0..15, default 0); the pictures show the pair, the report its dip\n"
    "  --pixel-size UM   a camera's pixel, 0..100 um (0: none): the report says how the pixel\n"
    "                    samples the star\n"
    "  --camera OUT      the camera image, the star integrated over each pixel (needs\n"
    "                    --pixel-size): FITS by .fits, else a picture by the extension\n"
    "  --display OUT     display picture; the format follows OUT's extension: .png,\n"
    "                    .bmp (24-bit), .jpg or .jpeg (quality 70)\n"
    "  --pupil OUT       pupil amplitude picture, format as for --display (monochrome only)\n"
    "  --intensity OUT   intensity as 256 lines of 256 values; in colour one file per band\n"
    "                    (-red, -green, -blue before the extension); in monochrome - writes\n"
    "                    it to standard output\n"
    "  --report OUT      the measurements as JSON: scale, Strehl ratio, FWHM, encircled\n"
    "                    energy, MTF per band, the sampling warnings and every input of the\n"
    "                    run; - writes it to standard output\n"
    "  --through-focus   adds to the report, per band, the Strehl ratio from -1 to +1 wave\n"
    "                    P-V of defocus in steps of 0.05 and the depth of focus (Strehl ratio\n"
    "                    >= 0.8) in micrometres of focuser travel; needs --report\n"
    "  --fits OUT        the normalised 1024 x 1024 intensity as 64-bit FITS; in colour\n"
    "                    image extensions RED, GREEN and BLUE; - writes it to standard output\n"
    "                    An output that is a symbolic link has its target replaced; a FIFO or\n"
    "                    a device is written directly.\n"
    "  --threads N       wavelengths computed at once, N >= 1 (default: VELMORA_THREADS if set,\n"
    "                    else every hardware thread); the result is the same for any N\n"
    "  --lang ja|en      language of the messages (default: VELMORA_LANG, else Japanese)\n"
    "  --progress        show the progress on standard error even when it is no terminal\n"
    "  -q, --quiet       print nothing but errors\n"
    "  --help            this text\n"
    "  --version         the program's name and version\n";

// The version dialog's two lines.
const char* versionText = "Velmora 1\nVersion 3.07\n";

const char* helpPointer = "Try 'velmora1-batch --help' for more information.\n";

struct UsageError {
    std::string message;
};

struct Options {
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

// A whole number within one of the panel's spin ranges.
int WholeIn(const std::string& option, const std::string& v, const SpinRange& range, const char* unit) {
    const std::string expected = option + " takes a whole number of " + unit + " from " + std::to_string(range.min) +
                                 " to " + std::to_string(range.max) + ", not '" + v + "'";
    int n = 0;
    try {
        n = ParseInteger(v);
    } catch (const ConversionError&) {
        throw UsageError{expected};
    }
    if (n < range.min || n > range.max) throw UsageError{expected};
    return n;
}

WavelengthBand ParseBand(const std::string& v) {
    const std::string expected = "--band takes LO:HI:STEP in nm, LO and HI from " + std::to_string(spin::bandLimit.min) +
                                 " to " + std::to_string(spin::bandLimit.max) + " with LO <= HI, STEP from " +
                                 std::to_string(spin::bandStep.min) + " to " + std::to_string(spin::bandStep.max) +
                                 ", not '" + v + "'";
    const size_t first = v.find(':');
    const size_t second = first == std::string::npos ? first : v.find(':', first + 1);
    if (second == std::string::npos || v.find(':', second + 1) != std::string::npos) throw UsageError{expected};
    WavelengthBand band;
    try {
        band.min = WholeIn("--band", v.substr(0, first), spin::bandLimit, "nm");
        band.max = WholeIn("--band", v.substr(first + 1, second - first - 1), spin::bandLimit, "nm");
        band.step = WholeIn("--band", v.substr(second + 1), spin::bandStep, "nm");
    } catch (const UsageError&) {
        throw UsageError{expected};
    }
    if (band.min > band.max) throw UsageError{expected};
    return band;
}

bool IsFitsName(const std::string& path) {
    if (path == "-") return true;
    std::string lower = path;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.size() > 5 && lower.compare(lower.size() - 5, 5, ".fits") == 0;
}

// SEP[,PA[,DMAG]]: arcseconds, degrees, magnitudes.
Companion ParseCompanion(const std::string& v) {
    const std::string expected = "--double takes SEP[,PA[,DMAG]]: a separation from 0 to " +
                                 FormatGeneral(maximumSeparationArcsec) + " arcseconds, a position angle in degrees, a " +
                                 "magnitude difference from 0 to " + FormatGeneral(maximumDeltaMag) + ", not '" + v + "'";
    std::vector<double> values;
    size_t at = 0;
    while (true) {
        const size_t comma = v.find(',', at);
        try {
            values.push_back(ParseDecimal(v.substr(at, comma == std::string::npos ? std::string::npos : comma - at)));
        } catch (const ConversionError&) {
            throw UsageError{expected};
        }
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    if (values.size() > 3) throw UsageError{expected};
    Companion c;
    c.separationArcsec = values[0];
    if (values.size() > 1) c.positionAngleDeg = values[1];
    if (values.size() > 2) c.deltaMag = values[2];
    if (!CompanionInRange(c)) throw UsageError{expected};
    return c;
}

// The command line through CLI11: it takes the options apart (--name value and --name=value,
// unknown names, missing values); the values are judged here, with the panel's ranges.
Options ParseOptions(const std::vector<std::string>& args) {
    Options o;
    CLI::App app("velmora1-batch", "velmora1-batch");
    app.set_help_flag();  // the help is the program's own text
    app.allow_extras(false);
    std::optional<std::string> brightness, threads, aperture, focal, secondary, wavelength, band, lang;
    std::optional<std::string> conic, fieldAngle, fieldAzimuth;
    std::optional<std::string> seeing, pair, pixelSize;
    std::vector<std::pair<std::string, double Aberrations::*>> waveNames = {
        {"--focus", &Aberrations::focus},          {"--spherical", &Aberrations::spherical},
        {"--astigmatism-m", &Aberrations::astigmatismM}, {"--astigmatism-s", &Aberrations::astigmatismS},
        {"--coma-x", &Aberrations::comaX},         {"--coma-y", &Aberrations::comaY},
        {"--tilt-x", &Aberrations::tiltX},         {"--tilt-y", &Aberrations::tiltY},
    };
    std::vector<std::optional<std::string>> waveTexts(waveNames.size());
    bool mono = false, colour = false;
    CLI::Option* monoFlag = app.add_flag("--mono", mono);
    CLI::Option* colourFlag = app.add_flag("--color", colour);
    monoFlag->excludes(colourFlag);
    auto text = [&](const char* name, std::optional<std::string>& into) {
        return app.add_option_function<std::string>(name, [&into](const std::string& v) { into = v; })
            ->take_last()
            ->allow_extra_args(false);
    };
    text("--params", o.params);
    text("--display", o.display);
    text("--pupil", o.pupil);
    text("--intensity", o.intensity);
    text("--report", o.report);
    text("--fits", o.fits);
    text("--user-filter", o.userFilter);
    text("--user-mask", o.userMask);
    text("--wavelength-table", o.wavelengthTable);
    text("--zernike", o.zernike);
    text("--intra", o.intra);
    text("--extra", o.extra);
    std::optional<std::string> defocusPv;
    text("--defocus-pv", defocusPv);
    text("--seeing", seeing);
    text("--double", pair);
    text("--pixel-size", pixelSize);
    text("--camera", o.camera);
    text("--brightness", brightness);
    text("--threads", threads);
    text("--aperture", aperture);
    text("--focal-length", focal);
    text("--secondary", secondary);
    CLI::Option* wavelengthOption = text("--wavelength", wavelength);
    CLI::Option* bandOption = text("--band", band);
    wavelengthOption->excludes(bandOption);
    wavelengthOption->excludes(colourFlag);
    bandOption->excludes(colourFlag);
    text("--lang", lang);
    text("--conic", conic);
    text("--field-angle", fieldAngle);
    text("--field-azimuth", fieldAzimuth);
    for (size_t k = 0; k < waveNames.size(); ++k) text(waveNames[k].first.c_str(), waveTexts[k]);
    CLI::Option* quiet = app.add_flag("-q,--quiet", o.quiet);
    CLI::Option* progress = app.add_flag("--progress", o.progress);
    quiet->excludes(progress);
    app.add_flag("--through-focus", o.throughFocus);
    app.add_flag("-h,--help", o.help);
    app.add_flag("--version", o.version);

    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        std::string what = e.what();
        while (!what.empty() && (what.back() == '\n' || what.back() == '.')) what.pop_back();
        throw UsageError{what.empty() ? e.get_name() : what};
    }
    if (o.help || o.version) return o;
    if (mono) o.mode = ColorMode::Monochrome;
    if (colour) o.mode = ColorMode::Colour;
    if (lang) {
        bool english = false;
        if (!ParseLanguageName(*lang, english)) throw UsageError{"--lang takes ja or en, not '" + *lang + "'"};
        o.english = english;
    }
    if (brightness) {
        const std::string& v = *brightness;
        try {
            o.brightness = ParseInteger(v);
        } catch (const ConversionError&) {
            throw UsageError{"--brightness takes a whole number from 1 to 100, not '" + v + "'"};
        }
        if (*o.brightness < 1 || *o.brightness > 100)
            throw UsageError{"--brightness takes a whole number from 1 to 100, not '" + v + "'"};
    }
    if (threads) {
        const std::string& v = *threads;
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
    }
    if (aperture) o.aperture = WholeIn("--aperture", *aperture, spin::aperture, "mm");
    if (focal) o.focalLength = WholeIn("--focal-length", *focal, spin::focalLength, "mm");
    if (secondary) o.secondary = WholeIn("--secondary", *secondary, spin::secondaryDiameter, "mm");
    if (wavelength) {
        const int nm = WholeIn("--wavelength", *wavelength, spin::bandLimit, "nm");
        o.band = WavelengthBand{nm, nm, spin::bandStep.min};
    }
    if (band) o.band = ParseBand(*band);
    if (o.band) o.mode = ColorMode::Monochrome;
    for (size_t k = 0; k < waveNames.size(); ++k) {
        if (!waveTexts[k]) continue;
        const std::string& a = waveNames[k].first;
        const std::string& v = *waveTexts[k];
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
        o.aberrations.emplace_back(waveNames[k].second, amount);
    }
    // The mirror's numbers: a finite number within the range the window takes.
    auto real = [](const std::string& option, const std::string& v, double lo, double hi, const char* unit) {
        const std::string expected = option + " takes a number" + unit + " from " + FormatGeneral(lo) + " to " +
                                     FormatGeneral(hi) + ", not '" + v + "'";
        double x = 0;
        try {
            x = ParseDecimal(v);
        } catch (const ConversionError&) {
            throw UsageError{expected};
        }
        if (!(x >= lo && x <= hi)) throw UsageError{expected};
        return x;
    };
    if (conic) o.conic = real("--conic", *conic, -maximumConicMagnitude, maximumConicMagnitude, "");
    if (fieldAngle) o.fieldArcmin = real("--field-angle", *fieldAngle, 0, maximumFieldArcmin, " of arcminutes");
    if (fieldAzimuth)
        o.fieldAzimuthDeg =
            real("--field-azimuth", *fieldAzimuth, -maximumAzimuthMagnitude, maximumAzimuthMagnitude, " of degrees");
    if (seeing) {
        const std::string expected = "--seeing takes a number of arcseconds from 0 to " +
                                     FormatGeneral(maximumSeeingArcsec) + ", not '" + *seeing + "'";
        try {
            o.seeing = ParseDecimal(*seeing);
        } catch (const ConversionError&) {
            throw UsageError{expected};
        }
        if (!SeeingInRange(*o.seeing)) throw UsageError{expected};
    }
    if (pair) o.companion = ParseCompanion(*pair);
    if (pixelSize) {
        const std::string expected = "--pixel-size takes a number of micrometres from 0 to " +
                                     FormatGeneral(maximumCameraPixelUm) + ", not '" + *pixelSize + "'";
        try {
            o.pixelSize = ParseDecimal(*pixelSize);
        } catch (const ConversionError&) {
            throw UsageError{expected};
        }
        if (!(*o.pixelSize >= 0 && *o.pixelSize <= maximumCameraPixelUm)) throw UsageError{expected};
    }
    if (o.camera && !IsFitsName(*o.camera)) CheckPictureName("--camera", o.camera);
    CheckPictureName("--display", o.display);
    CheckPictureName("--pupil", o.pupil);
    CheckPictureName("--intra", o.intra);
    CheckPictureName("--extra", o.extra);
    if (defocusPv) {
        const std::string expected = "--defocus-pv takes waves above 0 and at most " +
                                     std::to_string(maximumDefocusWavesPv) + ", not '" + *defocusPv + "'";
        try {
            o.defocusPv = ParseDecimal(*defocusPv);
        } catch (const ConversionError&) {
            throw UsageError{expected};
        }
        if (!(*o.defocusPv > 0 && *o.defocusPv <= maximumDefocusWavesPv)) throw UsageError{expected};
    }
    if (o.throughFocus && !o.report) throw UsageError{"--through-focus adds to the report: give --report too"};
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

int RunUnguarded(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const BatchEnvironment& env) {
    Options o;
    try {
        o = ParseOptions(args);
    } catch (const UsageError& e) {
        err << "velmora1-batch: " << e.message << "\n" << helpPointer;
        return 2;
    }
    if (o.help || o.version) {
        out << (o.help ? usageText : versionText);
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
    auto usage = [&](const std::string& text) {
        err << "velmora1-batch: " << text << "\n" << helpPointer;
        return 2;
    };

    // The run's inputs: the factory values, a parameter file or the parameters of a report,
    // then what the command line says.
    RunParameters run;
    run.aberrations = Aberrations{};
    std::vector<int> tableLines;
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
                              (read.reason.Empty() ? read.problem : language.Text(read.reason)));
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
        return usage(std::string(o.fieldArcmin ? "--field-angle" : "--field-azimuth") +
                     " needs the primary's conic constant: add --conic K (0 sphere, -1 paraboloid)");
    if (o.fieldArcmin) run.mirror.fieldArcmin = *o.fieldArcmin;
    if (o.fieldAzimuthDeg) run.mirror.azimuthDeg = *o.fieldAzimuthDeg;
    const bool mono = panel.colorMode == ColorMode::Monochrome;
    if (o.pupil && !mono) {
        console.Error("--pupil needs monochrome mode; the pupil picture is made by monochrome runs only");
        return 1;
    }
    if (o.intensity && *o.intensity == "-" && !mono)
        return usage("--intensity - cannot be standard output in colour, which writes one file per band; name a file");
    // Every output name is checked before anything is read or computed: a long run must not
    // end in a name that could never be written.
    if (o.camera && !(run.cameraPixelUm > 0))
        return usage("--camera needs the camera's pixel: give --pixel-size UM (or camera_pixel_um in --params)");
    if (const auto problem = CheckOutputNames(OutputNames(o, mono))) {
        if (problem->usage) return usage(problem->usageText);
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
            console.Error("Zernike file '" + *o.zernike + "' could not be read: " + language.Text(read.reason));
            return 1;
        }
        run.zernike = read.set;
    }

    RunSpec spec;
    CalculationRequest& request = spec.request;
    request.params = panel;
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
                          (read.reason.Empty() ? read.problem : language.Text(read.reason)));
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
            console.Error("user mask '" + name + "' could not be read: " + language.Text(problem));
            return 1;
        }
        request.params.densityProfile = DensityProfileKind::UserMask;
    }
    // What the report echoes: the record as the run takes it.
    panel = request.params;

    RealMatrixHolder workGrid;
    if (workGrid.Allocate(gridSize, gridSize) != 0) {
        console.Error("not enough memory for the calculation grid");
        return 1;
    }
    // Kept as the window keeps it: one byte a pixel for a grey mask.
    if (run.userMaskFile) spec.mask = std::make_shared<const LoadedMask>(LoadedMask::From(userMask));
    userMask = Picture24();
    // The count asked for (the option, the environment or every hardware thread), capped by the
    // hardware, the wavelengths and the memory; a lower count than asked is said.
    const RunThreads threads = RunThreadsFor(o.threads > 0 ? o.threads : DefaultThreadCount(), request.params);
    if (const UserMessage said = RunThreadsMessage(threads, o.threads > 0 || EnvironmentThreadCount()); !said.Empty())
        console.Note(language.Text(said));

    const PreparedRun prepared(std::move(spec), threads.threads);
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
        for (const SamplingNote& note : SamplingWarnings(*result.full)) console.Warning(language.Text(note.message));
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
        for (const SamplingNote& note : analysis->warnings) console.Warning(language.Text(note.message));
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
