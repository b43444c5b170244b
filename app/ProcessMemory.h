// How the programs ask the C library and the kernel to treat the calculation's memory, set
// once at the start of main: the window, the batch command and the benchmarks that stand in
// for them.
#pragma once

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#endif

namespace velmora {

// A run takes some 30 MiB per worker, in rows of 8 KiB and full-grid copies of 8 MiB. The
// workers' fields stay in the run machinery's pool between runs; the rest of a run's memory
// (the accumulators, the pupil arrays, the results) would be handed back to the system at
// once, and every run would pay a page fault and a cleared page per 4 KiB again. Kept in the
// process instead, its next use costs only the clearing the run asks for; what a run frees
// is what the next one takes, so the process does not grow from run to run.
//
// The first run still meets every page for the first time: some 13,000 faults of 4 KiB, most
// of a short command's time. So the heap is reserved in one step large enough for a run, and
// the kernel is asked to back it with 2 MiB pages where it can (a system that has them off
// keeps 4 KiB pages and loses nothing). Reserving is only address space: memory is taken when
// it is first written, as before.
//
// All threads share that one heap. Left to itself the C library gives each new thread an arena
// of its own, in heaps of 64 MiB that it unmaps as soon as they are wholly free, whatever the
// trim threshold says: the calculation task's thread and the run's workers are new at every
// run, so each run's accumulators, pupil arrays and fields were mapped and faulted in afresh,
// some 3,000 cleared pages a run in the automatic mode. A run allocates little once its
// memory is lent from the pool, so one lock over the heap costs nothing measurable.
inline void KeepRunMemoryInProcess() {
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    constexpr size_t reserve = size_t{256} << 20;
    constexpr uintptr_t hugePage = uintptr_t{2} << 20;
    mallopt(M_TOP_PAD, static_cast<int>(reserve));
    // The heap grows by the pad on the next request it cannot serve: make one, and mark what
    // it reserved.
    void* probe = std::malloc(size_t{4} << 20);
    if (probe) {
        const uintptr_t first = (reinterpret_cast<uintptr_t>(probe) + hugePage - 1) / hugePage * hugePage;
        const uintptr_t end = reinterpret_cast<uintptr_t>(sbrk(0)) / hugePage * hugePage;
        if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
        std::free(probe);
    }
    mallopt(M_TOP_PAD, 0);
#endif
}

}  // namespace velmora
