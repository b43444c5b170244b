// How the programs ask the C library to treat the calculation's memory, set once at the start
// of main: the window, the batch command and the benchmarks that stand in for them.
#pragma once

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace velmora {

// A run takes some 30 MiB per worker, in rows of 8 KiB and full-grid copies of 8 MiB. The
// workers' fields stay in the run machinery's pool between runs; the rest of a run's memory
// (the accumulators, the pupil arrays, the results) would be handed back to the system at
// once, and every run would pay a page fault and a cleared page per 4 KiB again. Kept in the
// process instead, its next use costs only the clearing the run asks for; what a run frees
// is what the next one takes, so the process does not grow from run to run.
inline void KeepRunMemoryInProcess() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
}

}  // namespace velmora
