#include "core/RunThreads.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <thread>

#include "core/PsfCalculation.h"

namespace velmora {

std::optional<int> EnvironmentThreadCount() {
    if (const char* text = std::getenv("VELMORA_THREADS")) {
        char* end = nullptr;
        errno = 0;
        const long long n = std::strtoll(text, &end, 10);
        // A count the run cannot use is capped when the run starts (and said); one too large
        // to hold is no count at all.
        if (end != text && *end == '\0' && errno == 0 && n >= 1 && n <= INT_MAX) return static_cast<int>(n);
    }
    return std::nullopt;
}

int DefaultThreadCount() {
    if (const std::optional<int> n = EnvironmentThreadCount()) return *n;
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware == 0 ? 1 : static_cast<int>(hardware);
}


RunThreads CapRunThreads(long long requested, long long hardware, long long wavelengths, long long availableBytes,
                         long long perWorkerBytes) {
    RunThreads chosen;
    chosen.requested = requested;
    chosen.availableBytes = availableBytes;
    long long count = std::max(1LL, requested);
    auto limit = [&](long long most, ThreadCap why) {
        most = std::max(1LL, most);
        if (most < count) {
            count = most;
            chosen.cap = why;
        }
    };
    if (hardware > 0) limit(hardware, ThreadCap::Hardware);
    if (wavelengths > 0) limit(wavelengths, ThreadCap::Wavelengths);
    // Half of what is available stays free for the rest of the system (and the results).
    if (availableBytes > 0 && perWorkerBytes > 0) limit(availableBytes / 2 / perWorkerBytes, ThreadCap::Memory);
    chosen.threads = static_cast<int>(count);
    return chosen;
}

long long RunWavelengthCount(const SimulationParameters& p) {
    if (p.colorMode == ColorMode::Monochrome) return WavelengthCount(p.whiteBand);
    return WavelengthCount(p.redBand) + WavelengthCount(p.greenBand) + WavelengthCount(p.blueBand);
}

long long WorkerMemoryBytes(const SimulationParameters& p) {
    const long long grid = static_cast<long long>(gridSize) * gridSize * static_cast<long long>(sizeof(double));
    const long long scratch = 32LL * gridSize * static_cast<long long>(sizeof(double));
    // The shortest wavelength has the most pupil samples, at most the grid's.
    int shortest = 0;
    for (const WavelengthBand* band : {&p.whiteBand, &p.redBand, &p.greenBand, &p.blueBand}) {
        if (p.colorMode == ColorMode::Monochrome && band != &p.whiteBand) continue;
        if (p.colorMode != ColorMode::Monochrome && band == &p.whiteBand) continue;
        if (band->min > 0 && (shortest == 0 || band->min < shortest)) shortest = band->min;
    }
    long long samples = gridSize;
    if (shortest > 0 && p.aperture > 0 && p.focalLength > 0)
        samples = std::clamp<long long>(PupilSamples(FocalRatio(p.focalLength, p.aperture), shortest), 1, gridSize);
    // The pupil model's array of doubles and a mask stage of three bytes a sample.
    const long long pupil = samples * samples * static_cast<long long>(sizeof(double) + 3);
    return 3 * grid + scratch + pupil;
}

long long AvailableMemoryBytes() {
    std::FILE* f = std::fopen("/proc/meminfo", "r");
    if (!f) return -1;
    long long kib = -1;
    char line[256];
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "MemAvailable: %lld kB", &kib) == 1) break;
    std::fclose(f);
    return kib < 0 ? -1 : kib * 1024;
}

RunThreads RunThreadsFor(long long requested, const SimulationParameters& p) {
    return CapRunThreads(requested, static_cast<long long>(std::thread::hardware_concurrency()), RunWavelengthCount(p),
                         AvailableMemoryBytes(), WorkerMemoryBytes(p));
}

UserMessage RunThreadsMessage(const RunThreads& chosen, bool asked) {
    constexpr const char* scope = "RunThreads";
    if (chosen.cap == ThreadCap::None || (!asked && chosen.cap != ThreadCap::Memory)) return {};
    const UserMessage from = UserMessage::Value(chosen.requested);
    const UserMessage to = UserMessage::Value(chosen.threads);
    switch (chosen.cap) {
    case ThreadCap::Hardware:
        return UserMessage(scope, QT_TRANSLATE_NOOP("RunThreads", "スレッド数を %1 から %2 に減らしました（この計算機が同時に実行できるスレッドは %2 個です）。"),
                           {from, to});
    case ThreadCap::Wavelengths:
        return UserMessage(scope, QT_TRANSLATE_NOOP("RunThreads", "スレッド数を %1 から %2 に減らしました（この計算の波長は %2 個です）。"),
                           {from, to});
    case ThreadCap::Memory:
        return UserMessage(scope, QT_TRANSLATE_NOOP("RunThreads", "スレッド数を %1 から %2 に減らしました（空きメモリ %3 MiB の半分に収まるのは %2 スレッドです）。"),
                           {from, to, UserMessage::Value(chosen.availableBytes >> 20)});
    case ThreadCap::None: break;
    }
    return {};
}

}  // namespace velmora
