#include "files/UserMaskFile.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "files/Bmp.h"

namespace velmora {

bool LoadUserMaskFile(const std::string& path, Picture24& mask, std::string& problem) {
    UserMessage reason;
    const bool ok = LoadUserMaskFile(path, mask, reason);
    if (!ok) problem = reason.Text();
    return ok;
}

bool LoadUserMaskFile(const std::string& path, Picture24& mask, UserMessage& problem) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = UserMessage("UserMaskFile", QT_TRANSLATE_NOOP("UserMaskFile", "ファイルを開けません"));
        return false;
    }
    // The largest picture accepted, at 32 bits a pixel, with room for headers and a palette.
    const std::streamoff limit = static_cast<std::streamoff>(userMaskMaxSide) * userMaskMaxSide * 4 + 65536;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0) {
        problem = UserMessage("UserMaskFile", QT_TRANSLATE_NOOP("UserMaskFile", "ファイルを読めません"));
        return false;
    }
    if (size > limit) {
        problem = UserMessage("UserMaskFile", QT_TRANSLATE_NOOP("UserMaskFile", "ファイルが大きすぎます"));
        return false;
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!in.read(bytes.data(), size)) {
        problem = UserMessage("UserMaskFile", QT_TRANSLATE_NOOP("UserMaskFile", "ファイルを読めません"));
        return false;
    }
    return DecodeBmp(bytes, mask, problem, userMaskMaxSide);
}

int MinimumMaskSize(const SimulationParameters& p) {
    int lambdaMin = 10000;
    for (int start : {p.whiteBand.min, p.redBand.min, p.greenBand.min, p.blueBand.min}) lambdaMin = std::min(lambdaMin, start);
    if (lambdaMin <= 0 || p.aperture <= 0 || p.focalLength <= 0) return 0;
    const long double n = 550000.0L / lambdaMin * p.aperture / p.focalLength;
    return n >= 2147483647.0L ? 2147483647 : static_cast<int>(n);
}

}  // namespace velmora
