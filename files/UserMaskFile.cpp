#include "files/UserMaskFile.h"

#include <algorithm>
#include <cmath>

#include "files/Bmp.h"
#include "files/SafeOpen.h"

namespace velmora {

bool LoadUserMaskFile(const std::string& path, Picture24& mask, std::string& problem) {
    UserMessage reason;
    const bool ok = LoadUserMaskFile(path, mask, reason);
    if (!ok) problem = reason.Text();
    return ok;
}

bool LoadUserMaskFile(const std::string& path, Picture24& mask, UserMessage& problem) {
    // The largest picture accepted, at 32 bits a pixel, with room for headers and a palette.
    const size_t limit = static_cast<size_t>(userMaskMaxSide) * userMaskMaxSide * 4 + 65536;
    RegularFileRead file = ReadRegularFile(path, limit, Oversize::Refuse);
    if (!file.ok) {
        problem = file.reason;
        return false;
    }
    return DecodeBmp(file.bytes, mask, problem, userMaskMaxSide);
}

int MinimumMaskSize(const SimulationParameters& p) {
    int lambdaMin = 10000;
    for (int start : {p.whiteBand.min, p.redBand.min, p.greenBand.min, p.blueBand.min}) lambdaMin = std::min(lambdaMin, start);
    if (lambdaMin <= 0 || p.aperture <= 0 || p.focalLength <= 0) return 0;
    const long double n = 550000.0L / lambdaMin * p.aperture / p.focalLength;
    return n >= 2147483647.0L ? 2147483647 : static_cast<int>(n);
}

}  // namespace velmora
