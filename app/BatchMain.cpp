#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>
#include <unistd.h>

#include "app/BatchCommand.h"
#include "app/ProcessMemory.h"
#include "core/Matrix.h"

int main(int argc, char** argv) {
    velmora::KeepRunMemoryInProcess();
    // Standard output carries only what was asked for: the kernel's trace lines stay off.
    velmora::SetKernelTrace(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    velmora::BatchEnvironment env;
    env.errorIsTerminal = ::isatty(STDERR_FILENO) == 1;
    if (const char* lang = std::getenv("VELMORA_LANG")) env.language = lang;
    return velmora::RunBatchCommand(args, std::cout, std::cerr, env);
}
