// libFuzzer target: CheckZernikeFile on every input; a broken property stops the run with its reason.
#include <cstdio>
#include <cstdlib>

#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string wrong = velmora::fuzz::CheckZernikeFile(data, size);
    if (!wrong.empty()) {
        std::fprintf(stderr, "CheckZernikeFile: %s\n", wrong.c_str());
        std::abort();
    }
    return 0;
}
