// Replays the fuzz targets' seed corpora and every input that ever broke a reader
// (fuzz/regressions/<target>/) through the same property checks, in the ordinary build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "FuzzChecks.h"
#include "files/Bmp.h"

namespace velmora::fuzz {
namespace {

using Check = std::string (*)(const uint8_t*, size_t);

// Every file of fuzz/corpus/<target> and fuzz/regressions/<target>; the count is returned so
// that a test cannot pass by finding nothing.
size_t Replay(const std::string& target, Check check) {
    size_t replayed = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        const std::filesystem::path dir = std::filesystem::path(VELMORA_FUZZ_DIR) / kind / target;
        if (!std::filesystem::is_directory(dir)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (!entry.is_regular_file() || entry.path().filename().string().front() == '.') continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
            EXPECT_EQ(check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "") << entry.path();
            ++replayed;
        }
    }
    return replayed;
}

TEST(FuzzRegression, EverySeedAndEveryInputThatEverFailedKeepsTheReadersProperties) {
    EXPECT_GE(Replay("ParameterFile", CheckParameterFile), 4u);
    EXPECT_GE(Replay("UserFilter", CheckUserFilter), 4u);
    EXPECT_GE(Replay("Bmp", CheckBmp), 6u);
    EXPECT_GE(Replay("UserMask", CheckUserMask), 6u);
    EXPECT_GE(Replay("ZernikeFile", CheckZernikeFile), 5u);
}

TEST(FuzzRegression, SeedPicturesDecodeSoThatTheRoundTripIsExercised) {
    // A refused seed would pass the check without ever reaching the re-encoding.
    size_t decoded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(VELMORA_FUZZ_DIR) / "corpus" / "Bmp")) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        Picture24 picture;
        std::string problem;
        EXPECT_TRUE(DecodeBmp(bytes, picture, problem)) << entry.path() << ": " << problem;
        ++decoded;
    }
    EXPECT_GE(decoded, 6u);
    // Empty input: every reader refuses or reads nothing, and the checks accept that.
    for (Check check : {CheckParameterFile, CheckUserFilter, CheckBmp, CheckUserMask, CheckZernikeFile}) EXPECT_EQ(check(nullptr, 0), "");
}

}  // namespace
}  // namespace velmora::fuzz
