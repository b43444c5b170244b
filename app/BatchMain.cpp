#include <iostream>
#include <string>
#include <vector>

#include "app/BatchCommand.h"
#include "app/ProcessMemory.h"

int main(int argc, char** argv) {
    velmora::KeepRunMemoryInProcess();
    std::vector<std::string> args(argv + 1, argv + argc);
    return velmora::RunBatchCommand(args, std::cout, std::cerr);
}
