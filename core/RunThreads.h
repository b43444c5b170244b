// How many workers a run gets: no more than asked for, than the hardware runs at once, than the
// run has wavelengths, or than half the available memory holds at one worker's need.
#pragma once

#include <optional>

#include "core/SimulationParameters.h"
#include "core/UserMessage.h"

namespace velmora {

// What set the count, when it is below the request.
enum class ThreadCap { None, Hardware, Wavelengths, Memory };

struct RunThreads {
    int threads = 1;
    long long requested = 1;
    ThreadCap cap = ThreadCap::None;
    long long availableBytes = -1;  // the memory the count was measured against (-1: unknown)
};

// VELMORA_THREADS when it holds a number of 1 or more, otherwise every hardware thread. The
// count a run uses is capped by RunThreadsFor.
int DefaultThreadCount();
// VELMORA_THREADS when it holds a whole number from 1 to the largest int.
std::optional<int> EnvironmentThreadCount();

// The count: the smallest of the request, the hardware threads, the wavelengths and the
// workers that half of availableBytes holds at perWorkerBytes each, and at least 1. An
// unknown (0 or negative) hardware count or memory sets no limit. The first limit that
// gives the smallest count is the one told.
RunThreads CapRunThreads(long long requested, long long hardware, long long wavelengths, long long availableBytes,
                         long long perWorkerBytes);

// The same for a run with these parameters on this machine: the hardware threads the system
// reports, its available memory (MemAvailable) and WorkerMemoryBytes(p).
RunThreads RunThreadsFor(long long requested, const SimulationParameters& p);

// What one worker of a run with these parameters holds: its field (two grids), its pupil grid,
// its transform scratch and the pupil model's arrays at the run's largest pupil sampling. A
// 61-wavelength run on 16 threads measures 25 MiB a worker, as this gives.
long long WorkerMemoryBytes(const SimulationParameters& p);

// The wavelengths of a run (all bands in colour).
long long RunWavelengthCount(const SimulationParameters& p);

// MemAvailable of /proc/meminfo in bytes, or -1 when the system does not say.
long long AvailableMemoryBytes();

// The line that tells the user why the run uses fewer threads than asked; empty when it uses
// as many. A lower count than the hardware default is told only when the memory set it: the
// wavelength count is no news to whoever asked for no number.
UserMessage RunThreadsMessage(const RunThreads& chosen, bool asked);

}  // namespace velmora
