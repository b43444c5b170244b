#include "files/FitsFile.h"

#include <fitsio.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <new>
#include <memory>

#include "analysis/Analysis.h"
#include "core/UserMessage.h"
#include "files/ProgramVersion.h"
#include "imaging/Sky.h"

namespace velmora {
namespace {

struct BandHeader {
    PixelScale scale;
    double strehl = 0;
};

constexpr double arcsecPerRadian = 180.0 * 3600.0 / 3.14159265358979323846;

// The memory file CFITSIO grows with realloc; freed whatever happens.
struct MemoryFile {
    void* buffer = nullptr;
    size_t size = 0;
    fitsfile* f = nullptr;
    ~MemoryFile() {
        int ignored = 0;
        if (f) fits_close_file(f, &ignored);
        std::free(buffer);
    }
    // An empty file that grows `step` bytes at a time.
    void Open(size_t step, int& status);
    // Closes the file and gives its bytes: the end of the last data unit, its fill included.
    std::string Close(int& status);
};

[[noreturn]] void Fail(int status) {
    char text[FLEN_STATUS] = {};
    fits_get_errstatus(status, text);
    fits_clear_errmsg();
    throw MessageError(UserMessage("FitsFile", QT_TRANSLATE_NOOP("FitsFile", "FITS ファイルを作れませんでした（CFITSIO %1: %2）。"),
                                   {UserMessage::Value(status), UserMessage::Value(text)}));
}

void MemoryFile::Open(size_t step, int& status) {
    size = 2880 * 10;
    buffer = std::malloc(size);
    if (!buffer) throw std::bad_alloc();
    fits_create_memfile(&f, &buffer, &size, step, std::realloc, &status);
    if (status) Fail(status);
}

std::string MemoryFile::Close(int& status) {
    LONGLONG headStart = 0, dataStart = 0, dataEnd = 0;
    fits_get_hduaddrll(f, &headStart, &dataStart, &dataEnd, &status);
    if (status) Fail(status);
    fits_close_file(f, &status);
    f = nullptr;
    if (status) Fail(status);
    return std::string(static_cast<const char*>(buffer), static_cast<size_t>(dataEnd));
}

// Keyword writers that stop at the first failure (CFITSIO skips every call once status is set).
struct Header {
    fitsfile* f;
    int& status;
    void Real(const char* key, double v, const char* comment) { fits_write_key_dbl(f, key, v, -15, comment, &status); }
    void Whole(const char* key, long long v, const char* comment) { fits_write_key_lng(f, key, v, comment, &status); }
    void Text(const char* key, const std::string& v, const char* comment) {
        fits_write_key_str(f, key, v.c_str(), comment, &status);
    }
    // COMMENT cards of printable ASCII, the text broken between words (a word longer than a
    // card is cut), the cards after the first indented by two spaces.
    void Comment(const std::string& text) {
        constexpr size_t width = 70;
        std::string ascii;
        for (char c : text) ascii += (c >= 0x20 && c < 0x7f) ? c : '?';
        std::string line;
        bool first = true;
        auto fresh = [&] { return first ? line.empty() : line == "  "; };
        auto emit = [&] {
            fits_write_comment(f, line.c_str(), &status);
            line = "  ";
            first = false;
        };
        size_t at = 0;
        while (at < ascii.size()) {
            size_t end = ascii.find(' ', at);
            if (end == std::string::npos) end = ascii.size();
            std::string word = ascii.substr(at, end - at);
            at = end + 1;
            while (!word.empty()) {
                if (line.size() + word.size() + (fresh() ? 0 : 1) <= width) {
                    if (!fresh()) line += ' ';
                    line += word;
                    break;
                }
                if (!fresh()) {
                    emit();
                    continue;
                }
                const size_t take = width - line.size();
                line += word.substr(0, take);
                word.erase(0, take);
                emit();
            }
        }
        if (!fresh()) emit();
    }
};

// Who made the file and when (DATE: the UTC time of writing, as CFITSIO forms it).
void Provenance(Header& h, const FitsInputs& inputs) {
    fits_write_date(h.f, &h.status);
    h.Text("ORIGIN", "Velmora1", "organisation or program that made the file");
    h.Text("CREATOR", inputs.creator, "program and version");
    h.Text("PROGVERS", programVersion, "version of the program");
}

// A linear angular WCS of offsets from the axis: 0 at the middle pixel of a `side` wide image
// (1-based side / 2 + 1), `step` arcseconds a pixel.
void OffsetAxes(Header& h, int side, const char* centreComment, double step, const char* stepComment) {
    const double centre = side / 2 + 1;
    h.Whole("WCSAXES", 2, "number of world coordinate axes");
    h.Text("CTYPE1", "XOFFSET", "angular offset from the axis along NAXIS1");
    h.Text("CTYPE2", "YOFFSET", "angular offset from the axis along NAXIS2");
    h.Text("CUNIT1", "arcsec", "unit of CDELT1 and CRVAL1");
    h.Text("CUNIT2", "arcsec", "unit of CDELT2 and CRVAL2");
    h.Real("CRPIX1", centre, centreComment);
    h.Real("CRPIX2", centre, centreComment);
    h.Real("CRVAL1", 0, "[arcsec] offset at CRPIX1");
    h.Real("CRVAL2", 0, "[arcsec] offset at CRPIX2");
    h.Real("CDELT1", step, stepComment);
    h.Real("CDELT2", step, stepComment);
}

// The linear angular WCS of one image and how its values are scaled.
void ImageAxes(Header& h, const BandResult& band, const BandHeader& m, bool colour) {
    OffsetAxes(h, gridSize, "the centre sample (0-based index 512)", m.scale.arcsec, "[arcsec] pixel scale, band mean");
    h.Text("BUNIT", "", "dimensionless: intensity relative to a peak");
    h.Text("NORMALIZ", colour ? "BRIGHTEST BAND PEAK" : "PEAK",
           colour ? "bands share one scale; brightest band peak = 1" : "image peak = 1");
    h.Real("DATAMAX", band.normalisedPeak, "peak value of this image");
}

// The wavelengths with their relative weights, their weighted mean and the diffraction limit.
void Wavelengths(Header& h, const FullResult& full, const BandResult& band) {
    const double meanNm = WeightedMeanWavelengthNm(band);
    h.Real("WAVELEN", meanNm * 1e-9, "[m] weighted mean wavelength");
    h.Real("DIFFLMT", full.apertureMm > 0 ? meanNm * 1e-9 / (full.apertureMm * 1e-3) * arcsecPerRadian : 0,
           "[arcsec] diffraction limit lambda/D at WAVELEN");
    for (size_t k = 0; k < band.wavelengths.size(); ++k) {
        const std::string n = std::to_string(k + 1);
        h.Real(("WAVE" + n).c_str(), band.wavelengths[k].lambdaNm * 1e-9, "[m] wavelength");
        h.Real(("WGHT" + n).c_str(), band.wavelengths[k].weight, "relative weight of this wavelength");
    }
}

void Instrument(Header& h, const FullResult& full) {
    h.Real("APERTURE", full.apertureMm, "[mm] primary mirror aperture");
    h.Real("FOCALLEN", full.focalLengthMm, "[mm] focal length");
    h.Real("SECONDRY", full.secondaryMm, "[mm] secondary mirror (central obstruction)");
    h.Real("FOCRATIO", full.focalLengthMm / full.apertureMm, "focal ratio F");
    // The primary's own aberrations, when the run had them: a file without is as it always was.
    if (full.mirror.on) {
        h.Real("MIRCONIC", full.mirror.conic, "primary's conic constant (0 sphere, -1 parabola)");
        h.Real("FIELDANG", full.mirror.fieldArcmin, "[arcmin] field angle of the star");
        h.Real("FIELDAZ", full.mirror.azimuthDeg, "[deg] field azimuth, from x towards y");
    }
}

void Band(Header& h, const BandResult& band, const BandHeader& m) {
    const std::vector<WavelengthFacts>& w = band.wavelengths;
    h.Real("PIXSCLUM", m.scale.um, "[um] focal-plane sample pitch, band mean");
    h.Real("PIXELSCL", m.scale.arcsec, "[arcsec] the same pitch as an angle");
    h.Whole("WAVEMIN", w.empty() ? 0 : w.front().lambdaNm, "[nm] first wavelength");
    h.Whole("WAVEMAX", w.empty() ? 0 : w.back().lambdaNm, "[nm] last wavelength");
    h.Whole("WAVESTEP", w.size() > 1 ? w[1].lambdaNm - w[0].lambdaNm : 0, "[nm] wavelength step");
    h.Whole("NWAVES", static_cast<long long>(w.size()), "number of wavelengths");
    h.Real("STREHL", m.strehl, "Strehl ratio: peak over unaberrated peak");
    // The wavefront coefficients in waves, of the first wavelength: a wavelength-dependence table
    // gives the others their own spherical aberration and focus.
    const Aberrations a = w.empty() ? Aberrations{} : w.front().aberrations;
    h.Real("SPHERICL", a.spherical, "[waves] spherical aberration 6r^4-6r^2+1");
    h.Real("FOCUS", a.focus, "[waves] focus 2r^2-1");
    h.Real("ASTIGM", a.astigmatismM, "[waves] astigmatism (3x^2-2)y");
    h.Real("ASTIGS", a.astigmatismS, "[waves] astigmatism (3y^2-2)x");
    h.Real("COMAX", a.comaX, "[waves] coma (3r^2-2)x");
    h.Real("COMAY", a.comaY, "[waves] coma (3r^2-2)y");
    h.Real("TILTX", a.tiltX, "[waves] tilt x");
    h.Real("TILTY", a.tiltY, "[waves] tilt y");
    bool varies = false;
    for (const WavelengthFacts& f : w)
        varies = varies || f.aberrations.spherical != a.spherical || f.aberrations.focus != a.focus;
    if (varies) fits_write_comment(h.f, "SPHERICL and FOCUS vary with wavelength; the first wavelength's are given.", &h.status);
}

// The grid transposed so that the first index runs fastest, as FITS stores NAXIS1.
std::vector<double> ImageOrder(const RealGrid& grid) {
    std::vector<double> out(grid.size());
    for (int i = 0; i < grid.rows(); ++i)
        for (int j = 0; j < grid.cols(); ++j) out[static_cast<size_t>(j) * grid.rows() + i] = grid(i, j);
    return out;
}

void Pixels(fitsfile* f, int& status, long side, std::vector<double>& pixels) {
    long axes[2] = {side, side};
    fits_create_img(f, DOUBLE_IMG, 2, axes, &status);
    long first[2] = {1, 1};
    fits_write_pix(f, TDOUBLE, first, static_cast<LONGLONG>(pixels.size()), pixels.data(), &status);
}

void Image(fitsfile* f, int& status, const BandResult& band) {
    std::vector<double> pixels = ImageOrder(band.intensity);
    Pixels(f, status, gridSize, pixels);
}

// The seeing the result was blurred by, when there was any.
void Sky(Header& h, const FullResult& full) {
    if (SkyOf(full).seeingArcsec > 0) h.Real("SEEING", SkyOf(full).seeingArcsec, "[arcsec] long-exposure seeing FWHM at 500 nm");
}

// The band's scene as an extension of its own after the band's image.
void Scene(Header& h, const FullResult& full, const BandResult& band, const BandHeader& m, const std::string& name) {
    const Companion& companion = SkyOf(full).companion;
    std::vector<double> pixels = ImageOrder(band.scene);
    Pixels(h.f, h.status, gridSize, pixels);
    h.Text("EXTNAME", name, "the star and its companion");
    Instrument(h, full);
    ImageAxes(h, band, m, full.mode == ColorMode::Colour);
    h.Real("DATAMAX", 1, "peak value of this image");
    h.Real("COMPSEP", companion.separationArcsec, "[arcsec] companion's separation");
    h.Real("COMPPA", companion.positionAngleDeg, "[deg] companion's position angle from x towards y");
    h.Real("COMPDMAG", companion.deltaMag, "[mag] companion fainter by");
    Wavelengths(h, full, band);
    Sky(h, full);
}

std::string Encode(const FullResult& full, const PixelScale& scale, const std::vector<BandHeader>& bands,
                   const FitsInputs& inputs) {
    MemoryFile m;
    int status = 0;
    // Grows 8 MiB at a time: one band's image.
    m.Open(static_cast<size_t>(gridSize) * gridSize * sizeof(double), status);
    Header h{m.f, status};
    if (full.mode == ColorMode::Monochrome && full.bands.size() == 1) {
        Image(m.f, status, full.bands[0]);
        Provenance(h, inputs);
        Instrument(h, full);
        Band(h, full.bands[0], bands[0]);
        ImageAxes(h, full.bands[0], bands[0], false);
        Wavelengths(h, full, full.bands[0]);
        Sky(h, full);
        for (const std::string& w : inputs.warnings) h.Comment("WARNING: " + w);
        if (!full.bands[0].scene.empty()) Scene(h, full, full.bands[0], bands[0], "SCENE");
    } else {
        long none[1] = {0};
        fits_create_img(m.f, DOUBLE_IMG, 0, none, &status);
        Provenance(h, inputs);
        Instrument(h, full);
        for (const std::string& w : inputs.warnings) h.Comment("WARNING: " + w);
        h.Real("PIXSCLUM", scale.um, "[um] focal-plane sample pitch, all wavelengths");
        h.Real("PIXELSCL", scale.arcsec, "[arcsec] the same pitch as an angle");
        for (size_t b = 0; b < full.bands.size(); ++b) {
            Image(m.f, status, full.bands[b]);
            std::string name = full.bands[b].name;
            for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            h.Text("EXTNAME", name, "band");
            Instrument(h, full);
            Band(h, full.bands[b], bands[b]);
            ImageAxes(h, full.bands[b], bands[b], true);
            Wavelengths(h, full, full.bands[b]);
            Sky(h, full);
            if (!full.bands[b].scene.empty()) Scene(h, full, full.bands[b], bands[b], name + "SCENE");
        }
    }
    return m.Close(status);
}

// One camera image with its own axes.
void CameraImageHdu(Header& h, const FullResult& full, const CameraImage& c) {
    std::vector<double> pixels(c.share.size());
    for (int r = 0; r < c.size; ++r)
        for (int k = 0; k < c.size; ++k) pixels[static_cast<size_t>(k) * c.size + r] = c.At(r, k);
    Pixels(h.f, h.status, c.size, pixels);
    OffsetAxes(h, c.size, "the middle pixel, where the star falls", c.pixelArcsec, "[arcsec] camera pixel");
    h.Text("BUNIT", "", "dimensionless: share of the band's light");
    h.Real("PIXSIZE", c.pixelUm, "[um] camera pixel");
    h.Real("FWHMPIX", c.fwhmPx, "[pixel] FWHM of the camera image");
    h.Real("PIXPFWHM", c.samplesPerFwhm, "pixels per FWHM of the pattern");
    h.Text("SAMPLING", CameraSamplingName(c.verdict), "under 2 or over 5 pixels per FWHM");
    Instrument(h, full);
    Sky(h, full);
}

}  // namespace

std::string EncodeCameraFits(const FullResult& full, const std::vector<CameraImage>& images, const FitsInputs& inputs) {
    MemoryFile m;
    int status = 0;
    m.Open(2880 * 16, status);
    Header h{m.f, status};
    if (images.size() == 1) {
        CameraImageHdu(h, full, images[0]);
        Provenance(h, inputs);
    } else {
        long none[1] = {0};
        fits_create_img(m.f, DOUBLE_IMG, 0, none, &status);
        Provenance(h, inputs);
        Instrument(h, full);
        for (size_t b = 0; b < images.size() && b < full.bands.size(); ++b) {
            CameraImageHdu(h, full, images[b]);
            std::string name = full.bands[b].name;
            for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            h.Text("EXTNAME", name, "band");
        }
    }
    return m.Close(status);
}

// The scale and the Strehl ratio are the analysis's own functions, so the header agrees with a
// report of the same result.
std::string EncodeFits(const FullResult& full, const FitsInputs& inputs) {
    std::vector<BandHeader> bands;
    for (const BandResult& b : full.bands) bands.push_back({ScaleOf(full, b), StrehlOf(b)});
    return Encode(full, ScaleOf(full), bands, inputs);
}

}  // namespace velmora
