// What the batch command's test programs share: the fixture that runs the command in a scratch
// folder and reads back what it wrote, the shape of a usage error, and a reading of FITS files
// through CFITSIO's own reader, independent of the command's writer.
#pragma once

#include <gtest/gtest.h>

#include <fitsio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/BatchCommand.h"

namespace velmora {

// A usage error: one line that names the problem, one that points at --help; not the help.
inline ::testing::AssertionResult TwoLineUsageError(const std::string& text) {
    if (std::count(text.begin(), text.end(), '\n') != 2 || text.back() != '\n')
        return ::testing::AssertionFailure() << "not two lines";
    if (text.rfind("velmora1-batch: ", 0) != 0) return ::testing::AssertionFailure() << "no program name first";
    if (text.substr(text.find('\n') + 1) != "Try 'velmora1-batch --help' for more information.\n")
        return ::testing::AssertionFailure() << "no pointer at --help";
    return ::testing::AssertionSuccess();
}

class Batch : public ::testing::Test {
protected:
    std::string File(const std::string& name) const { return dir_.File(name); }
    // Runs the command with standard output and error apart; every report the run wrote is
    // checked against the schema.
    int Run(std::vector<std::string> args, const BatchEnvironment& env = {}) {
        std::ostringstream out, err;
        int status = RunBatchCommand(args, out, err, env);
        messages = err.str();
        output = out.str();
        if (status == 0) {
            for (size_t k = 0; k + 1 < args.size(); ++k) {
                if (args[k] == "--report" && args[k + 1] != "-" && std::filesystem::is_regular_file(args[k + 1])) {
                    EXPECT_TRUE(testing::ReportMeetsSchema(args[k + 1]));
                }
            }
        }
        if (status == 0 && std::find(args.begin(), args.end(), "--report") != args.end() && output.rfind("{", 0) == 0) {
            testing::WriteAll(File("stdout-report.json"), output);
            EXPECT_TRUE(testing::ReportMeetsSchema(File("stdout-report.json")));
            std::filesystem::remove(File("stdout-report.json"));
        }
        return status;
    }
    bool Empty() const { return std::filesystem::is_empty(dir_.Path()); }
    std::vector<std::vector<double>> ReadIntensity(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        std::vector<std::vector<double>> rows;
        std::string line;
        while (std::getline(f, line)) {
            EXPECT_TRUE(!line.empty() && line.back() == '\r') << "CR LF line ends";
            std::istringstream in(line);
            std::vector<double> row;
            double v;
            while (in >> v) row.push_back(v);
            rows.push_back(row);
        }
        return rows;
    }

    std::string messages;
    std::string output;  // what the run wrote to standard output

private:
    testing::TempDir dir_{"velmora-batch"};
};

// An independent reading of a FITS file through CFITSIO's own reader.
struct FitsImage {
    std::map<std::string, double> numbers;
    std::string extname;
    long naxis1 = 0, naxis2 = 0;
    int bitpix = 0, naxis = 0;
    std::vector<double> pixels;  // NAXIS1 fastest
    double At(int x, int y) const { return pixels[static_cast<size_t>(y) * naxis1 + x]; }
};

inline std::vector<FitsImage> ReadFits(const std::string& path) {
    std::vector<FitsImage> hdus;
    fitsfile* f = nullptr;
    int status = 0;
    if (fits_open_file(&f, path.c_str(), READONLY, &status)) {
        ADD_FAILURE() << "CFITSIO cannot open " << path << ": status " << status;
        return hdus;
    }
    int count = 0;
    fits_get_num_hdus(f, &count, &status);
    for (int k = 1; k <= count && !status; ++k) {
        fits_movabs_hdu(f, k, nullptr, &status);
        FitsImage h;
        fits_get_img_param(f, 2, &h.bitpix, &h.naxis, &h.naxis1, &status);
        long axes[2] = {0, 0};
        fits_get_img_size(f, 2, axes, &status);
        h.naxis1 = axes[0];
        h.naxis2 = axes[1];
        for (const char* key : {"APERTURE", "FOCALLEN", "SECONDRY", "FOCRATIO", "PIXSCLUM", "PIXELSCL", "WAVEMIN", "WAVEMAX",
                                "WAVESTEP", "NWAVES", "STREHL", "SPHERICL", "FOCUS", "ASTIGM", "ASTIGS", "COMAX", "COMAY",
                                "TILTX", "TILTY"}) {
            double v = 0;
            int s = 0;
            if (!fits_read_key(f, TDOUBLE, key, &v, nullptr, &s)) h.numbers[key] = v;
        }
        char name[FLEN_VALUE] = {};
        int s = 0;
        if (!fits_read_key(f, TSTRING, "EXTNAME", name, nullptr, &s)) h.extname = name;
        if (h.naxis == 2) {
            h.pixels.resize(static_cast<size_t>(h.naxis1) * h.naxis2);
            long first[2] = {1, 1};
            fits_read_pix(f, TDOUBLE, first, static_cast<LONGLONG>(h.pixels.size()), nullptr, h.pixels.data(), nullptr,
                          &status);
        }
        hdus.push_back(std::move(h));
    }
    EXPECT_EQ(status, 0) << "CFITSIO read failed";
    fits_close_file(f, &status);
    return hdus;
}

}  // namespace velmora
