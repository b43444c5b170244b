// Speed and memory of the numeric road: the 2D transform against FFTW on the same machine in
// the same run, whole calculation runs, measurements, and the redraws of the previews and
// viewers (one file per area). `make bench`.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchSupport.h"
#include "app/ProcessMemory.h"

int main(int argc, char** argv) {
    velmora::KeepRunMemoryInProcess();  // as the programs
    const std::string peakFlag = "--velmora-peak-run=";
    if (argc == 3 && std::string(argv[1]).rfind(peakFlag, 0) == 0) {
        std::puts(velmora::PeakRun(argv[1] + peakFlag.size(), std::atoi(argv[2])).c_str());
        return 0;
    }
    if (argc == 2 && std::string(argv[1]).rfind(peakFlag, 0) == 0) {
        std::puts(velmora::PeakRun(argv[1] + peakFlag.size(), 1).c_str());
        return 0;
    }
    const std::string heldFlag = "--velmora-held=";
    if (argc == 4 && std::string(argv[1]).rfind(heldFlag, 0) == 0) {
        std::puts(velmora::HeldAfterRuns(argv[1] + heldFlag.size(), std::atoi(argv[2]), std::atoi(argv[3])).c_str());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

