// The batch command's report and FITS file: what they hold against the intensity file, the FITS
// header's cards, the through-focus curve and the warnings, a rerun from a report, the sky.
#include "app/BatchCommand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fitsio.h>
#include <map>
#include <nlohmann/json.hpp>

#include "BatchTestSupport.h"
#include "TestSupport.h"

namespace velmora {
namespace {

using testing::ReadAll;
using testing::WriteAll;

// The intensity text holds trunc(I x 16711680) / 16777216 with 6 significant digits.
::testing::AssertionResult SameWindow(const FitsImage& image, const std::vector<std::vector<double>>& rows) {
    int differing = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double coded = std::trunc(image.At(x + 384, y + 384) * 16711680) / 16777216;
            if (std::fabs(coded - rows[y][x]) > 5e-6 * coded + 1e-12) ++differing;
        }
    if (differing == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differing << " pixels differ from the intensity file";
}

TEST_F(Batch, ReportAndFitsAgreeWithTheIntensityFile) {
    ASSERT_EQ(Run({"--coma-x", "0.2", "--intensity", File("i.txt"), "--report", File("r.json"), "--fits", File("f.fits")}), 0)
        << messages;
    const auto rows = ReadIntensity(File("i.txt"));
    ASSERT_EQ(rows.size(), 256u);

    const nlohmann::json report = nlohmann::json::parse(ReadAll(File("r.json")));
    // parse() sorts the keys; the file's own order is checked on its text.
    EXPECT_EQ(report["mode"], "mono");
    EXPECT_TRUE(report["warnings"].is_array() && report["warnings"].empty());
    const std::string text = ReadAll(File("r.json"));
    EXPECT_LT(text.find("\"mode\""), text.find("\"pixel_um\""));
    EXPECT_LT(text.find("\"pixel_um_spread\""), text.find("\"bands\""));
    EXPECT_LT(text.find("\"bands\""), text.find("\"warnings\""));
    // Default run: 600 nm with P = 146 and 700 nm with P = 125 at F = 6.25; the pitch
    // lambda F P / 1024 is 0.534668 and 0.534058 um.
    const double p600 = 0.6 * 6.25 * 146 / 1024, p700 = 0.7 * 6.25 * 125 / 1024;
    EXPECT_NEAR(report["pixel_um"].get<double>(), (p600 + p700) / 2, 1e-12);
    EXPECT_NEAR(report["pixel_um_spread"].get<double>(), (p600 - p700) / ((p600 + p700) / 2), 1e-12);
    // The same spread under its right name, and in micrometres.
    EXPECT_EQ(report["pixel_spread_ratio"], report["pixel_um_spread"]);
    EXPECT_NEAR(report["pixel_um_range"].get<double>(), p600 - p700, 1e-15);
    const nlohmann::json& white = report["bands"]["white"];
    EXPECT_EQ(white["wavelengths_nm"], nlohmann::json({600, 700}));
    for (const char* key : {"strehl", "rms_wavefront_waves", "marechal_strehl", "peak_x_um", "peak_y_um", "centroid_x_um",
                            "centroid_y_um", "fwhm_x_um", "fwhm_y_um", "fwhm_um", "fwhm_arcsec", "r50_um", "r80_um",
                            "cutoff_cyc_per_mm"})
        EXPECT_TRUE(white[key].is_number()) << key;
    // The encircled-energy curve at whole radii in samples, out to three times r80 at least.
    ASSERT_EQ(white["ee"]["fraction"].size(), white["ee"]["r_um"].size());
    EXPECT_GE(white["ee"]["r_um"].back().get<double>(), 3 * white["r80_um"].get<double>() - 0.54);
    for (const char* key : {"freq_cyc_per_mm", "nu", "x", "y", "ideal"}) EXPECT_EQ(white["mtf"][key].size(), 512u) << key;

    // The brightest pixel of the intensity file is where the report puts the peak.
    int bx = 0, by = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            if (rows[y][x] > rows[by][bx]) bx = x, by = y;
    const double pixel = report["pixel_um"].get<double>();
    EXPECT_NEAR(white["peak_x_um"].get<double>() / pixel, bx - 128, 1e-9);
    EXPECT_NEAR(white["peak_y_um"].get<double>() / pixel, by - 128, 1e-9);

    const std::vector<FitsImage> fits = ReadFits(File("f.fits"));
    ASSERT_EQ(fits.size(), 1u);
    const FitsImage& image = fits[0];
    EXPECT_EQ(image.bitpix, -64);
    EXPECT_EQ(image.naxis1, 1024);
    EXPECT_EQ(image.naxis2, 1024);
    EXPECT_TRUE(SameWindow(image, rows)) << "NAXIS1 is the picture's x";
    EXPECT_EQ(image.numbers.at("APERTURE"), 160);
    EXPECT_EQ(image.numbers.at("FOCALLEN"), 1000);
    EXPECT_EQ(image.numbers.at("SECONDRY"), 50);
    EXPECT_EQ(image.numbers.at("FOCRATIO"), 6.25);
    EXPECT_EQ(image.numbers.at("WAVEMIN"), 600);
    EXPECT_EQ(image.numbers.at("WAVEMAX"), 700);
    EXPECT_EQ(image.numbers.at("WAVESTEP"), 100);
    EXPECT_EQ(image.numbers.at("NWAVES"), 2);
    EXPECT_EQ(image.numbers.at("COMAX"), 0.2);
    EXPECT_EQ(image.numbers.at("FOCUS"), 0);
    EXPECT_NEAR(image.numbers.at("STREHL"), white["strehl"].get<double>(), 1e-13);
    EXPECT_NEAR(image.numbers.at("PIXSCLUM"), pixel, 1e-13);
    EXPECT_NEAR(image.numbers.at("PIXELSCL"), report["pixel_arcsec"].get<double>(), 1e-13);
}

TEST_F(Batch, ColourFitsHasOneExtensionPerBand) {
    ASSERT_EQ(Run({"--color", "--coma-x", "0.3", "--intensity", File("c.txt"), "--fits", File("c.fits"), "--report",
                   File("c.json")}),
              0)
        << messages;
    const std::vector<FitsImage> fits = ReadFits(File("c.fits"));
    ASSERT_EQ(fits.size(), 4u);
    EXPECT_EQ(fits[0].naxis, 0) << "the primary HDU holds only the instrument";
    EXPECT_EQ(fits[0].numbers.at("APERTURE"), 160);
    const nlohmann::json report = nlohmann::json::parse(ReadAll(File("c.json")));
    EXPECT_EQ(report["mode"], "color");
    const char* names[3] = {"RED", "GREEN", "BLUE"};
    const char* files[3] = {"c-red.txt", "c-green.txt", "c-blue.txt"};
    const char* bands[3] = {"red", "green", "blue"};
    const double waveMin[3] = {600, 500, 400};
    for (int b = 0; b < 3; ++b) {
        SCOPED_TRACE(names[b]);
        const FitsImage& image = fits[static_cast<size_t>(b) + 1];
        EXPECT_EQ(image.extname, names[b]);
        EXPECT_EQ(image.numbers.at("WAVEMIN"), waveMin[b]);
        EXPECT_EQ(image.numbers.at("COMAX"), 0.3);
        EXPECT_NEAR(image.numbers.at("STREHL"), report["bands"][bands[b]]["strehl"].get<double>(), 1e-13);
        EXPECT_TRUE(SameWindow(image, ReadIntensity(File(files[b]))));
    }
}

TEST_F(Batch, FitsNamesTheFirstWavelengthsAberrationsWhenATableVariesThem) {
    WriteAll(File("table.txt"), "600 0.1 0.2\n700 0.3 0.4\n");
    ASSERT_EQ(Run({"--wavelength-table", File("table.txt"), "--fits", File("t.fits")}), 0) << messages;
    const std::vector<FitsImage> fits = ReadFits(File("t.fits"));
    ASSERT_EQ(fits.size(), 1u);
    EXPECT_EQ(fits[0].numbers.at("SPHERICL"), 0.1);
    EXPECT_EQ(fits[0].numbers.at("FOCUS"), 0.2);
    EXPECT_NE(ReadAll(File("t.fits")).find("vary with wavelength"), std::string::npos);
}

// Every card of one HDU as CFITSIO reads it: keyword -> value text (strings without quotes),
// and the COMMENT texts in order.
struct FitsHeader {
    std::map<std::string, std::string> values;
    std::vector<std::string> comments;
    double Number(const std::string& key) const {
        const auto it = values.find(key);
        return it == values.end() ? std::nan("") : std::stod(it->second);
    }
};

FitsHeader ReadHeader(const std::string& path, int hdu) {
    FitsHeader h;
    fitsfile* f = nullptr;
    int status = 0;
    if (fits_open_file(&f, path.c_str(), READONLY, &status)) {
        ADD_FAILURE() << "CFITSIO cannot open " << path;
        return h;
    }
    fits_movabs_hdu(f, hdu, nullptr, &status);
    int count = 0;
    fits_get_hdrspace(f, &count, nullptr, &status);
    for (int k = 1; k <= count && !status; ++k) {
        char key[FLEN_KEYWORD] = {}, value[FLEN_VALUE] = {}, comment[FLEN_COMMENT] = {};
        fits_read_keyn(f, k, key, value, comment, &status);
        if (std::string(key) == "COMMENT") {
            h.comments.push_back(comment);
            continue;
        }
        std::string v = value;
        if (v.size() >= 2 && v.front() == '\'') {
            char unquoted[FLEN_VALUE] = {};
            int s2 = 0;
            fits_read_key(f, TSTRING, key, unquoted, nullptr, &s2);
            v = unquoted;
        }
        h.values[key] = v;
    }
    EXPECT_EQ(status, 0);
    fits_close_file(f, &status);
    return h;
}

// The header's own conventions: 80-character cards of printable ASCII in blocks of 2880 bytes,
// keyword names of at most 8 upper-case letters, digits, '-' or '_', an END card.
::testing::AssertionResult FollowsTheCardConventions(const std::string& bytes) {
    if (bytes.size() % 2880 != 0) return ::testing::AssertionFailure() << "not whole 2880-byte blocks";
    bool ended = false;
    for (size_t at = 0; at + 80 <= bytes.size() && !ended; at += 80) {
        const std::string card = bytes.substr(at, 80);
        for (char c : card)
            if (c < 0x20 || c > 0x7e) return ::testing::AssertionFailure() << "card " << at / 80 << " is not printable ASCII";
        const std::string key = card.substr(0, 8);
        for (char c : key)
            if (!(std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) || c == '-' ||
                  c == '_' || c == ' '))
                return ::testing::AssertionFailure() << "keyword '" << key << "'";
        if (key == "END     ") ended = true;
        else if (card.substr(8, 2) != "= " && key != "COMMENT " && key != "HISTORY " && key != "        ")
            return ::testing::AssertionFailure() << "card without '= ': " << card;
    }
    return ended ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "no END card";
}

TEST_F(Batch, FitsHasAWorldCoordinateSystemOfOffsetsFromTheCentre) {
    ASSERT_EQ(Run({"--fits", File("f.fits"), "--report", File("r.json")}), 0) << messages;
    const FitsHeader h = ReadHeader(File("f.fits"), 1);
    const nlohmann::json report = nlohmann::json::parse(ReadAll(File("r.json")));
    EXPECT_EQ(h.values.at("CTYPE1"), "XOFFSET");
    EXPECT_EQ(h.values.at("CTYPE2"), "YOFFSET");
    EXPECT_EQ(h.values.at("CUNIT1"), "arcsec");
    EXPECT_EQ(h.values.at("CUNIT2"), "arcsec");
    EXPECT_EQ(h.Number("WCSAXES"), 2);
    // The pixel scale is the report's (one band: the band's pitch is the run's).
    EXPECT_NEAR(h.Number("CDELT1"), report["pixel_arcsec"].get<double>(), 1e-14);
    EXPECT_EQ(h.Number("CDELT2"), h.Number("CDELT1"));
    // FITS counts pixels from 1: the world coordinate of 0-based index i is
    // CRVAL + CDELT (i + 1 - CRPIX), which is 0 at index 512, the PSF's centre.
    for (const char* axis : {"1", "2"}) {
        const double at512 = h.Number(std::string("CRVAL") + axis) +
                             h.Number(std::string("CDELT") + axis) * (512 + 1 - h.Number(std::string("CRPIX") + axis));
        EXPECT_EQ(at512, 0) << axis;
    }
    const std::vector<FitsImage> image = ReadFits(File("f.fits"));
    ASSERT_EQ(image.size(), 1u);
    EXPECT_EQ(image[0].At(512, 512), 1) << "the unaberrated peak at the reference pixel";
}

TEST_F(Batch, FitsSaysWhatItHoldsWhoMadeItAndAtWhichWavelengths) {
    ASSERT_EQ(Run({"--band", "500:600:50", "--aperture", "200", "--fits", File("f.fits"), "--report", File("r.json")}), 0)
        << messages;
    const FitsHeader h = ReadHeader(File("f.fits"), 1);
    const nlohmann::json white = nlohmann::json::parse(ReadAll(File("r.json")))["bands"]["white"];
    EXPECT_EQ(h.values.count("BUNIT"), 1u);
    EXPECT_EQ(h.values.at("NORMALIZ"), "PEAK");
    EXPECT_EQ(h.Number("DATAMAX"), 1);
    EXPECT_EQ(h.values.at("ORIGIN"), "Velmora1");
    EXPECT_EQ(h.values.at("CREATOR"), "velmora1-batch 3.07");
    EXPECT_EQ(h.values.at("PROGVERS"), "3.07");
    // DATE: the UTC time of writing, as the standard writes it.
    ASSERT_EQ(h.values.at("DATE").size(), 19u) << h.values.at("DATE");
    EXPECT_EQ(h.values.at("DATE")[4], '-');
    EXPECT_EQ(h.values.at("DATE")[10], 'T');
    // The wavelengths in metres with the weights the report gives, their weighted mean.
    EXPECT_EQ(h.Number("NWAVES"), 3);
    double sum = 0, weighted = 0;
    for (int k = 0; k < 3; ++k) {
        const std::string n = std::to_string(k + 1);
        const double lambda = (500 + 50 * k) * 1e-9;
        const double weight = white["weights"][static_cast<size_t>(k)].get<double>();
        // The header holds 15 significant digits: a relative 1e-14 is the printing, no more.
        EXPECT_NEAR(h.Number("WAVE" + n), lambda, 1e-14 * lambda) << n;
        EXPECT_NEAR(h.Number("WGHT" + n), weight, 1e-14 * weight) << n;
        sum += weight;
        weighted += weight * lambda;
    }
    EXPECT_EQ(h.values.count("WAVE4"), 0u);
    EXPECT_NEAR(h.Number("WAVELEN"), weighted / sum, 1e-14 * weighted / sum);
    // lambda / D as an angle: 206264.806 arcsec per radian, D = 0.2 m.
    EXPECT_NEAR(h.Number("DIFFLMT"), weighted / sum / 0.2 * 206264.80624709636, 1e-12);
    EXPECT_EQ(h.Number("APERTURE"), 200);
    EXPECT_TRUE(FollowsTheCardConventions(ReadAll(File("f.fits"))));
}

TEST_F(Batch, ColourFitsBandsShareOneScaleAndSaySo) {
    ASSERT_EQ(Run({"--color", "--fits", File("c.fits")}), 0) << messages;
    const FitsHeader primary = ReadHeader(File("c.fits"), 1);
    EXPECT_EQ(primary.values.at("CREATOR"), "velmora1-batch 3.07");
    double brightest = 0;
    for (int hdu = 2; hdu <= 4; ++hdu) {
        const FitsHeader h = ReadHeader(File("c.fits"), hdu);
        EXPECT_EQ(h.values.at("NORMALIZ"), "BRIGHTEST BAND PEAK") << hdu;
        EXPECT_EQ(h.values.at("CTYPE1"), "XOFFSET") << hdu;
        EXPECT_EQ(h.Number("CRPIX1"), 513) << hdu;
        brightest = std::max(brightest, h.Number("DATAMAX"));
        EXPECT_LE(h.Number("DATAMAX"), 1) << hdu;
    }
    EXPECT_EQ(brightest, 1);
    EXPECT_TRUE(FollowsTheCardConventions(ReadAll(File("c.fits"))));
}

// 300 mm at 400 mm focal length: about 690 pupil samples at 600 nm, more than half the grid,
// so the PSF is aliased and the analysis warns.
const std::vector<std::string> aliased = {"--aperture", "300", "--focal-length", "400"};

// The default pupil (160 mm f/6.25, 50 mm secondary, no vanes) has an on-axis intensity near
// focus of (sin(pi a e) / (pi a e))^2 with e = 1 - eps^2, eps the obstruction ratio: the annulus
// spans u = rho^2 from eps^2 to 1 (Born & Wolf, Principles of Optics, 8.8.1, with the
// integral taken over the annulus), so its depth of focus is that of a clear pupil over e.
TEST_F(Batch, ThroughFocusAddsTheCurveAndTheDepthOfFocusPerBand) {
    ASSERT_EQ(Run({"--report", File("plain.json"), "--threads", "1"}), 0) << messages;
    ASSERT_EQ(Run({"--report", File("focus.json"), "--through-focus", "--threads", "1"}), 0) << messages;
    const nlohmann::json plain = nlohmann::json::parse(ReadAll(File("plain.json")));
    nlohmann::json focus = nlohmann::json::parse(ReadAll(File("focus.json")));
    EXPECT_FALSE(plain["bands"]["white"].contains("through_focus"));
    const nlohmann::json curve = focus["bands"]["white"]["through_focus"];
    ASSERT_EQ(curve["defocus_waves_pv"].size(), 41u);
    ASSERT_EQ(curve["strehl"].size(), 41u);
    EXPECT_DOUBLE_EQ(curve["defocus_waves_pv"][0].get<double>(), -1);
    EXPECT_DOUBLE_EQ(curve["defocus_waves_pv"][40].get<double>(), 1);
    EXPECT_NEAR(curve["strehl"][20].get<double>(), focus["bands"]["white"]["strehl"].get<double>(), 1e-9);
    for (size_t k = 0; k < 20; ++k)
        EXPECT_NEAR(curve["strehl"][k].get<double>(), curve["strehl"][40 - k].get<double>(), 1e-9) << k;
    const double pi = 3.14159265358979323846;
    double lo = 0, hi = 0.5;  // where (sin(pi a) / (pi a))^2 falls to 0.8, by bisection
    for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) / 2;
        (std::pow(std::sin(pi * mid) / (pi * mid), 2) >= 0.8 ? lo : hi) = mid;
    }
    const double eps = 50.0 / 160, f = 1000.0 / 160;
    const double expected = 8 * f * f * (2 * lo / (1 - eps * eps)) * 0.650;
    // 4 %: the interpolation between points 0.05 wave apart, the sampled rims of mirror and
    // secondary, and the two wavelengths' own pupils against the mean wavelength's.
    EXPECT_NEAR(curve["depth_of_focus_um"].get<double>(), expected, 0.04 * expected);
    // Nothing else of the report changes.
    focus["bands"]["white"].erase("through_focus");
    EXPECT_EQ(focus, plain);

    ASSERT_EQ(Run({"--color", "--report", File("colour.json"), "--through-focus", "--threads", "1"}), 0) << messages;
    const nlohmann::json colour = nlohmann::json::parse(ReadAll(File("colour.json")));
    for (const char* band : {"red", "green", "blue"}) {
        const nlohmann::json& b = colour["bands"][band];
        ASSERT_TRUE(b.contains("through_focus")) << band;
        EXPECT_NEAR(b["through_focus"]["strehl"][20].get<double>(), b["strehl"].get<double>(), 1e-9) << band;
        EXPECT_GT(b["through_focus"]["depth_of_focus_um"].get<double>(), 0) << band;
    }

    EXPECT_EQ(Run({"--through-focus", "--fits", File("never.fits")}), 2);
    EXPECT_TRUE(TwoLineUsageError(messages)) << messages;
    EXPECT_NE(messages.find("--through-focus adds to the report"), std::string::npos) << messages;
    EXPECT_FALSE(std::filesystem::exists(File("never.fits")));
}

TEST_F(Batch, SamplingWarningsGoToStandardErrorTheReportAndTheFitsHeader) {
    std::vector<std::string> args = aliased;
    args.insert(args.end(), {"--report", File("r.json"), "--fits", File("f.fits")});
    ASSERT_EQ(Run(args), 0) << messages;
    const nlohmann::json report = nlohmann::json::parse(ReadAll(File("r.json")));
    ASSERT_FALSE(report["warnings"].empty());
    for (const auto& w : report["warnings"])
        EXPECT_NE(messages.find("velmora1-batch: warning: " + w.get<std::string>()), std::string::npos) << messages;
    EXPECT_NE(messages.find("ナイキスト"), std::string::npos) << "in Japanese by default";
    const FitsHeader h = ReadHeader(File("f.fits"), 1);
    std::string comments;
    for (const std::string& c : h.comments) comments += c;
    EXPECT_NE(comments.find("WARNING:"), std::string::npos) << comments;
    EXPECT_NE(comments.find("Nyquist"), std::string::npos) << "FITS headers are ASCII: English";
    EXPECT_TRUE(FollowsTheCardConventions(ReadAll(File("f.fits"))));

    // In English when asked for; nothing with --quiet; the exit status stays 0.
    args.push_back("--lang=en");
    ASSERT_EQ(Run(args), 0) << messages;
    EXPECT_NE(messages.find("velmora1-batch: warning: "), std::string::npos) << messages;
    EXPECT_NE(messages.find("Nyquist"), std::string::npos) << messages;
    EXPECT_EQ(messages.find("ナイキスト"), std::string::npos) << messages;
    args.push_back("-q");
    ASSERT_EQ(Run(args), 0);
    EXPECT_EQ(messages, "");

    // Said also when no output holds the measurements.
    std::vector<std::string> picture = aliased;
    picture.insert(picture.end(), {"--display", File("d.png")});
    ASSERT_EQ(Run(picture), 0);
    EXPECT_NE(messages.find("velmora1-batch: warning: "), std::string::npos) << messages;
}

TEST_F(Batch, AReportRepeatsItsRunBitForBit) {
    WriteAll(File("inner.uft"), "a b c d e f g 3 r t 0 1 0.6 1 1 0\n");
    WriteAll(File("table.txt"), "500 0.05 0.5\n550 -0.1 0.25\n600 0.15 -0.3\n");
    WriteAll(File("mirror.zer"), "ordering ansi\n12 0.031\n7 -0.02\n");
    const std::vector<std::string> first = {
        "--aperture", "180", "--focal-length", "1500", "--secondary", "40", "--band", "500:600:50", "--coma-x", "0.21",
        "--tilt-y", "-0.13", "--astigmatism-m", "0.07", "--brightness", "9", "--user-filter", File("inner.uft"),
        "--wavelength-table", File("table.txt"), "--zernike", File("mirror.zer"), "--seeing", "0.8", "--threads", "2"};
    auto with = [&](std::vector<std::string> args, const std::string& tag) {
        args.insert(args.end(), {"--report", File(tag + ".json"), "--fits", File(tag + ".fits"), "--intensity",
                                 File(tag + ".txt"), "--display", File(tag + ".png")});
        return args;
    };
    ASSERT_EQ(Run(with(first, "a")), 0) << messages;
    // Rerun from the report, and from its parameters alone, on another thread count.
    ASSERT_EQ(Run(with({"--params", File("a.json"), "--threads", "1"}, "b")), 0) << messages;
    const nlohmann::json parameters = nlohmann::json::parse(ReadAll(File("a.json")))["parameters"];
    WriteAll(File("bare.json"), parameters.dump());
    ASSERT_EQ(Run(with({"--params", File("bare.json")}, "c")), 0) << messages;
    const std::vector<FitsImage> a = ReadFits(File("a.fits"));
    ASSERT_EQ(a.size(), 1u);
    for (const char* tag : {"b", "c"}) {
        SCOPED_TRACE(tag);
        const std::vector<FitsImage> other = ReadFits(File(std::string(tag) + ".fits"));
        ASSERT_EQ(other.size(), 1u);
        ASSERT_EQ(other[0].pixels.size(), a[0].pixels.size());
        EXPECT_EQ(std::memcmp(other[0].pixels.data(), a[0].pixels.data(), a[0].pixels.size() * sizeof(double)), 0)
            << "the same intensity bits";
        EXPECT_EQ(ReadAll(File(std::string(tag) + ".txt")), ReadAll(File("a.txt")));
        EXPECT_EQ(ReadAll(File(std::string(tag) + ".png")), ReadAll(File("a.png"))) << "the brightness came along";
        nlohmann::json again = nlohmann::json::parse(ReadAll(File(std::string(tag) + ".json")));
        EXPECT_EQ(again["parameters"], parameters);
        EXPECT_EQ(again["bands"], nlohmann::json::parse(ReadAll(File("a.json")))["bands"]);
    }
    // The echo holds what the run was made of.
    EXPECT_EQ(parameters["user_filter_file"], File("inner.uft"));
    EXPECT_EQ(parameters["density"]["profile"], "user_filter");
    EXPECT_EQ(parameters["wavelength_table"]["rows"].size(), 3u);
    EXPECT_EQ(parameters["aberrations_waves"]["coma_x"], 0.21);
    EXPECT_EQ(parameters["brightness"], 9);
    EXPECT_EQ(parameters["zernike"], nlohmann::json::parse(R"({"ordering": "ansi", "waves": {"7": -0.02, "12": 0.031}})"));
    EXPECT_EQ(parameters["seeing_arcsec"], 0.8);
    EXPECT_FALSE(parameters.contains("threads"));
    // An option given with the report changes only itself.
    ASSERT_EQ(Run({"--params", File("a.json"), "--coma-x", "0", "--report", File("d.json")}), 0) << messages;
    const nlohmann::json changed = nlohmann::json::parse(ReadAll(File("d.json")))["parameters"];
    EXPECT_EQ(changed["aberrations_waves"]["coma_x"], 0.0);
    EXPECT_EQ(changed["aberrations_waves"]["tilt_y"], -0.13);
    EXPECT_EQ(changed["aperture_mm"], 180);
}

TEST_F(Batch, TheReportHoldsTheStarTestOnlyWhenAskedFor) {
    ASSERT_EQ(Run({"--report", File("plain.json")}), 0) << messages;
    EXPECT_FALSE(nlohmann::json::parse(ReadAll(File("plain.json"))).contains("star_test"));
    // --defocus-pv alone: the sizes, without computing the pictures.
    ASSERT_EQ(Run({"--defocus-pv", "2.5", "--report", File("d.json")}), 0) << messages;
    const nlohmann::json star = nlohmann::json::parse(ReadAll(File("d.json")))["star_test"];
    EXPECT_EQ(star["defocus_waves_pv"], 2.5);
    EXPECT_NEAR(star["focuser_travel_mm"].get<double>(), 1.625 * 2.5 / 8, 1e-12);
    // The report repeats its run: the star test is an output, not an input.
    ASSERT_EQ(Run({"--params", File("d.json"), "--report", File("again.json")}), 0) << messages;
    EXPECT_EQ(ReadAll(File("again.json")), ReadAll(File("plain.json")));
}

// The sky, a companion and a camera reach every output: the report's bands, the FITS file's
// scene extension and header, the camera's own FITS file with its axes; without them the
// report holds none of their keys.
TEST_F(Batch, ASkyACompanionAndACameraReachEveryOutput) {
    ASSERT_EQ(Run({"--seeing", "1.2", "--double", "2,90,0.5", "--pixel-size", "3.8", "--camera", File("c.fits"), "--report",
                   File("r.json"), "--fits", File("f.fits")}),
              0)
        << messages;
    const nlohmann::json report = nlohmann::json::parse(ReadAll(File("r.json")));
    const nlohmann::json& white = report["bands"]["white"];
    EXPECT_EQ(white["double"]["separation_arcsec"], 2.0);
    EXPECT_EQ(white["double"]["position_angle_deg"], 90.0);
    EXPECT_EQ(white["double"]["delta_mag"], 0.5);
    EXPECT_TRUE(white["double"]["resolved"].get<bool>());
    EXPECT_LT(white["double"]["dip_ratio"].get<double>(), 1.0);
    // 3.8 um at 1000 mm is 3.8e-6 rad.
    EXPECT_NEAR(white["camera"]["pixel_arcsec"].get<double>(), 3.8e-6 * 180 / 3.14159265358979323846 * 3600, 1e-12);
    EXPECT_NEAR(white["camera"]["samples_per_fwhm"].get<double>(), white["fwhm_um"].get<double>() / 3.8, 1e-12);
    EXPECT_EQ(report["parameters"]["seeing_arcsec"], 1.2);
    EXPECT_EQ(report["parameters"]["camera_pixel_um"], 3.8);
    EXPECT_EQ(report["parameters"]["double_star"]["separation_arcsec"], 2.0);

    const std::vector<FitsImage> fits = ReadFits(File("f.fits"));
    ASSERT_EQ(fits.size(), 2u);
    EXPECT_EQ(fits[1].extname, "SCENE");
    EXPECT_EQ(*std::max_element(fits[1].pixels.begin(), fits[1].pixels.end()), 1.0) << "the scene's own peak";
    for (int hdu : {1, 2}) EXPECT_EQ(ReadHeader(File("f.fits"), hdu).Number("SEEING"), 1.2) << hdu;
    EXPECT_EQ(ReadHeader(File("f.fits"), 2).Number("COMPSEP"), 2);

    const std::vector<FitsImage> camera = ReadFits(File("c.fits"));
    ASSERT_EQ(camera.size(), 1u);
    const FitsHeader h = ReadHeader(File("c.fits"), 1);
    EXPECT_EQ(camera[0].naxis1 % 2, 1);
    EXPECT_EQ(h.Number("CRPIX1"), camera[0].naxis1 / 2 + 1);
    EXPECT_NEAR(h.Number("CDELT1"), white["camera"]["pixel_arcsec"].get<double>(), 1e-12);
    double sum = 0;
    for (double v : camera[0].pixels) sum += v;
    EXPECT_NEAR(sum, 1, 1e-12) << "every pixel's share of the light";

    ASSERT_EQ(Run({"--pixel-size", "3.8", "--camera", File("c.png")}), 0) << messages;
    EXPECT_EQ(ReadAll(File("c.png")).substr(1, 3), "PNG");
    ASSERT_EQ(Run({"--report", File("plain.json")}), 0) << messages;
    const std::string plain = ReadAll(File("plain.json"));
    for (const char* key : {"\"double\"", "\"camera\"", "seeing_arcsec", "double_star", "camera_pixel_um"})
        EXPECT_EQ(plain.find(key), std::string::npos) << key;

    // A pixel finer than half a sample (the factory set-up's 0.267 um at 600 nm) is refused before
    // the run, with the wavelength's limit, and nothing is written: its image would have needed
    // 24 GB.
    EXPECT_EQ(Run({"--pixel-size", "0.01", "--camera", File("fine.png"), "--report", File("fine.json")}), 1);
    EXPECT_NE(messages.find("0.01"), std::string::npos) << messages;
    EXPECT_NE(messages.find("600"), std::string::npos) << messages;
    EXPECT_FALSE(std::filesystem::exists(File("fine.png")));
    EXPECT_FALSE(std::filesystem::exists(File("fine.json")));
}

}  // namespace
}  // namespace velmora
