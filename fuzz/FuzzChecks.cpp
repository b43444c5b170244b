#include "FuzzChecks.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <unistd.h>

#include "files/Bmp.h"
#include "files/ParameterFile.h"
#include "files/UserFilterFile.h"
#include "files/UserMaskFile.h"
#include "files/ZernikeFile.h"

namespace velmora::fuzz {
namespace {

// A scratch file per process, for the readers that take a path.
std::string ScratchFile(const char* name, const uint8_t* data, size_t size) {
    const char* dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    const std::string path = std::string(dir) + "/velmora-fuzz-" + name + "-" + std::to_string(::getpid());
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}

// A picture that no input decodes to by chance: what a failed load must leave alone.
Picture24 Sentinel() {
    Picture24 p(3, 2);
    for (size_t k = 0; k < p.bgr.size(); ++k) p.bgr[k] = static_cast<uint8_t>(17 * k + 5);
    return p;
}

std::string CheckDecoded(bool ok, const Picture24& picture, const std::string& problem) {
    if (!ok) {
        if (!(picture == Sentinel())) return "a failed decode changed the picture";
        if (problem.empty()) return "a failed decode gave no reason";
        return {};
    }
    if (picture.width <= 0 || picture.height <= 0) return "a decoded picture is empty";
    if (picture.bgr.size() != static_cast<size_t>(picture.width) * picture.height * 3) return "pixel storage does not match the size";
    const std::string encoded = EncodeBmp24(picture);
    Picture24 again;
    std::string why;
    if (!DecodeBmp(encoded, again, why)) return "the re-encoded picture does not decode: " + why;
    if (!(again == picture)) return "the re-encoded picture decodes to another picture";
    if (EncodeBmp24(again) != encoded) return "encoding is not stable";
    return {};
}

}  // namespace

std::string CheckParameterFile(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ParameterFileRead fromText = ParseParameterText(text);
    if (fromText.assignments.size() > 31) return "more assignments than the record holds";
    const std::string path = ScratchFile("params", data, size);
    const ParameterFileRead fromFile = ReadParameterFile(path);
    std::remove(path.c_str());
    // The file reader looks at the first 64 KiB only.
    if (size <= 64 * 1024 &&
        (fromFile.assignments != fromText.assignments || fromFile.complete != fromText.complete ||
         fromFile.stoppedAtLine != fromText.stoppedAtLine))
        return "the file and its text read differently";

    SimulationParameters p;
    try {
        for (const ParameterAssignment& a : fromText.assignments) ApplyAssignment(p, a);
    } catch (const std::exception& e) {
        return std::string("a value that was read does not apply: ") + e.what();
    }
    const std::string written = FormatParameterFile(p);
    const ParameterFileRead again = ParseParameterText(written);
    if (!again.complete) return "a written record does not read back, line " + std::to_string(again.stoppedAtLine);
    SimulationParameters q;
    try {
        for (const ParameterAssignment& a : again.assignments) ApplyAssignment(q, a);
    } catch (const std::exception& e) {
        return std::string("a written value does not apply: ") + e.what();
    }
    if (FormatParameterFile(q) != written) return "write, read, write gives another text";
    return {};
}

std::string CheckUserFilter(const uint8_t* data, size_t size) {
    UserFilter filter;
    for (int i = 0; i < userFilterCapacity; ++i) filter.userFilterTable[static_cast<size_t>(i)] = 0.25 * i + 1;
    filter.userFilterCount = 7;
    filter.userFilterLoaded = true;
    const UserFilter before = filter;
    const UserFilterRead read = ReadUserFilterText(std::string(reinterpret_cast<const char*>(data), size), filter);
    if (!read.ok) {
        if (filter.userFilterTable != before.userFilterTable || filter.userFilterCount != before.userFilterCount ||
            filter.userFilterLoaded != before.userFilterLoaded)
            return "a failed read changed the filter";
        if (read.problem.empty()) return "a failed read gave no reason";
        return {};
    }
    if (filter.userFilterCount < 1 || filter.userFilterCount > userFilterCapacity) return "entry count out of range";
    if (!filter.userFilterLoaded) return "a read filter is not marked loaded";
    return {};
}

std::string CheckBmp(const uint8_t* data, size_t size) {
    Picture24 picture = Sentinel();
    std::string problem;
    // A bound well below the loader's keeps every input fast; the loader target uses its own.
    const bool ok = DecodeBmp(std::string(reinterpret_cast<const char*>(data), size), picture, problem, 2048);
    return CheckDecoded(ok, picture, problem);
}

std::string CheckUserMask(const uint8_t* data, size_t size) {
    const std::string path = ScratchFile("mask", data, size);
    Picture24 mask = Sentinel();
    std::string problem;
    const bool ok = LoadUserMaskFile(path, mask, problem);
    std::remove(path.c_str());
    if (ok && (mask.width > userMaskMaxSide || mask.height > userMaskMaxSide)) return "a mask beyond the size limit";
    return CheckDecoded(ok, mask, problem);
}

std::string CheckZernikeFile(const uint8_t* data, size_t size) {
    const ZernikeFileRead read = ReadZernikeText(std::string(reinterpret_cast<const char*>(data), size));
    if (!read.ok) {
        if (read.problem.empty()) return "a failed read gave no reason";
        if (!read.set.coefficients.empty()) return "a failed read gave terms";
        return {};
    }
    for (const auto& [index, c] : read.set.coefficients) {
        if (index < FirstZernikeIndex(read.set.ordering) || index > LastZernikeIndex(read.set.ordering))
            return "an index outside the ordering was read";
        if (!std::isfinite(c) || std::fabs(c) > zernikeCoefficientLimit) return "a coefficient beyond the limit was read";
    }
    const ZernikeFileRead again = ReadZernikeText(ZernikeFileText(read.set));
    if (!again.ok) return "the written file does not read: " + again.problem;
    // The writer leaves out zero terms; everything else comes back to the bit.
    ZernikeSet expected = read.set;
    std::erase_if(expected.coefficients, [](const auto& term) { return term.second == 0; });
    if (!(again.set == expected)) return "the written file reads back to another set";
    // The evaluation of any set read stays finite at the rim.
    const ZernikeWavefront w(read.set);
    if (!std::isfinite(w.Evaluate(1, 0, 1, 1)) || !std::isfinite(w.Evaluate(0.6, -0.8, 1, 1)))
        return "the wavefront is not finite";
    return {};
}

}  // namespace velmora::fuzz
