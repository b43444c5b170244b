#include "app/BatchOptions.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <climits>

#include "app/MessageLanguage.h"
#include "core/NumberText.h"
#include "files/ImageExport.h"
#include "imaging/Camera.h"
#include "imaging/Sky.h"
#include "optics/StarTestPictures.h"

namespace velmora {


const char* const batchUsageText =
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

const char* const batchVersionText = "Velmora 1\nVersion 3.07\n";

const char* const batchHelpPointer = "Try 'velmora1-batch --help' for more information.\n";

namespace {

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

}  // namespace

bool IsFitsName(const std::string& path) {
    if (path == "-") return true;
    std::string lower = path;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.size() > 5 && lower.compare(lower.size() - 5, 5, ".fits") == 0;
}

// The command line through CLI11: it takes the options apart (--name value and --name=value,
// unknown names, missing values); the values are judged here, with the panel's ranges.
BatchOptions ParseBatchOptions(const std::vector<std::string>& args) {
    BatchOptions o;
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


}  // namespace velmora
