// The wavelengths of a run on one or several threads. Whatever the number of threads, every
// accumulator receives the same intensities in the same order, so that a run on all cores
// gives the bits of a run on one.
//
// Several wavelengths at once: each worker has its own pupil grid, field and transform
// scratch, takes the next wavelength in order, and builds, phases and column-transforms it on
// its own. The row pass adds into the accumulator, so it goes in wavelength order, block of
// rows by block of rows: while one worker transforms and adds block b, the worker holding the
// next wavelength can do block b - 1. Every element thus receives the same terms in the same
// order as on one thread, with no pass over the grid beyond those of one thread, and memory
// stays at one field per worker.
//
// Fewer wavelengths than threads: their pupils and phases are made side by side, then their
// transforms one after the other, the columns and then the rows of each shared out between the
// threads.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

#include "core/PsfRunSteps.h"

namespace velmora {

namespace detail {

namespace {

struct WorkerMemoryPool {
    std::mutex lock;
    std::vector<std::unique_ptr<WorkerMemory>> entries;
};

WorkerMemoryPool& Pool() {
    static WorkerMemoryPool pool;
    return pool;
}

}  // namespace

WorkerMemoryLease::WorkerMemoryLease(size_t count) {
    {
        WorkerMemoryPool& pool = Pool();
        std::lock_guard hold(pool.lock);
        // In order: worker k of every run has the same memory, so what it needs is there.
        const size_t lent = std::min(count, pool.entries.size());
        for (size_t k = 0; k < lent; ++k) entries_.push_back(std::move(pool.entries[k]));
        pool.entries.erase(pool.entries.begin(), pool.entries.begin() + static_cast<std::ptrdiff_t>(lent));
    }
    while (entries_.size() < count) entries_.push_back(std::make_unique<WorkerMemory>());
}

WorkerMemoryLease::~WorkerMemoryLease() {
    WorkerMemoryPool& pool = Pool();
    std::vector<std::unique_ptr<WorkerMemory>> surplus;
    {
        std::lock_guard hold(pool.lock);
        pool.entries.insert(pool.entries.begin(), std::make_move_iterator(entries_.begin()),
                            std::make_move_iterator(entries_.end()));
        // As many as this run used, and no more: a run on fewer threads lets the rest go.
        while (pool.entries.size() > entries_.size()) {
            surplus.push_back(std::move(pool.entries.back()));
            pool.entries.pop_back();
        }
    }
}

namespace {

// A job may leave out its facts (nobody reads them); they are then measured into a scratch record.
WavelengthFacts& FactsOf(const WavelengthJob& job, WavelengthFacts& scratch) { return job.facts ? *job.facts : scratch; }


bool Stopped(const RunControl& control) { return control.stop && control.stop->load(std::memory_order_relaxed); }

// Rows of the grid in `parts` pieces whose limits the transform's parts accept.
int PartLimit(int part, int parts) {
    const int units = gridSize / fft2DPartAlignment;
    return units * part / parts * fft2DPartAlignment;
}

// Runs fn(0) .. fn(count - 1), fn(0) on this thread, the others on threads of their own; the
// first exception (in part order) is raised once all have ended.
template <typename Fn>
void RunParts(int count, const Fn& fn) {
    std::vector<std::exception_ptr> errors(static_cast<size_t>(count));
    std::vector<std::thread> threads;
    threads.reserve(static_cast<size_t>(count - 1));
    auto guarded = [&](int part) {
        try {
            fn(part);
        } catch (...) {
            errors[static_cast<size_t>(part)] = std::current_exception();
        }
    };
    try {
        for (int part = 1; part < count; ++part) threads.emplace_back(guarded, part);
    } catch (...) {
        // No thread to be had: the parts that have one run, and this thread does the rest.
        for (int part = static_cast<int>(threads.size()) + 1; part < count; ++part) guarded(part);
    }
    guarded(0);
    for (std::thread& t : threads) t.join();
    for (const std::exception_ptr& e : errors)
        if (e) std::rethrow_exception(e);
}

// Fewer wavelengths than threads: their pupils and phases are made side by side, each in a
// worker's own grid and field; then their transforms follow one another, the columns and then
// the rows of each shared out between the threads. (Batches of `threads` wavelengths would serve
// any number of them, but from one per thread on the workers' own transforms side by side are
// faster: their pupils and column passes fall between one another's row passes.)
void RunSplit(const CalculationRequest& rq, const std::vector<WavelengthJob>& jobs, int firstIndex, int total,
              bool phaseProgress, const PupilBuilder& buildPupil, RealMatrix workGrid, RunWorkspace& ws,
              CalculationDerived& derived, const CalculationProgress& progress, const RunControl& control,
              int threads) {
    const int batch = static_cast<int>(std::min(jobs.size(), static_cast<size_t>(threads)));
    // Worker 0 builds in the run's grid, the others in their own; each in a field lent from the
    // pool, which is clear but where the last pupil lay. Every part of the transforms has its
    // scratch.
    WorkerMemoryLease lease(static_cast<size_t>(threads));
    for (int part = 1; part < threads; ++part) {
        FftWorkspace& f = lease[static_cast<size_t>(part)].space.fft;
        if (f.n != gridSize && f.Create(gridSize) != 0) throw OutOfMemory();
    }
    auto spaceOf = [&](int w) -> RunWorkspace& { return lease[static_cast<size_t>(w)].space; };
    auto gridOf = [&](int w) { return w == 0 ? workGrid : lease[static_cast<size_t>(w)].grid.get(); };
    auto scratchOf = [&](int part) -> FftWorkspace& { return part == 0 ? ws.fft : lease[static_cast<size_t>(part)].space.fft; };

    std::vector<CalculationDerived> made(static_cast<size_t>(batch));
    for (size_t first = 0; first < jobs.size(); first += static_cast<size_t>(batch)) {
        const int count = static_cast<int>(std::min(jobs.size() - first, static_cast<size_t>(batch)));
        // Worker w makes the batch's wavelength count - 1 - w.
        auto JobOf = [&](int w) { return first + static_cast<size_t>(count - 1 - w); };
        for (int w = 0; w < count; ++w) {
            if (progress.wavelength)
                progress.wavelength(firstIndex + static_cast<int>(first) + w, total, jobs[first + w].lambda);
            if (Stopped(control)) throw CalculationStopped();
        }
        // Only a batch of one drives the bar from inside, as one thread would.
        const ProgressFn bar = count == 1 ? progress.bar : ProgressFn{};
        std::vector<std::exception_ptr> errors(static_cast<size_t>(count));
        RunParts(count, [&](int w) {
            try {
                // Each worker takes its own memory, side by side with the others; a lent one may
                // have some of it from an earlier run.
                WorkerMemory& own = lease[static_cast<size_t>(w)];
                if (!own.space.fieldRe.get()) AllocateField(own.space.fieldRe);
                if (!own.space.fieldIm.get()) AllocateField(own.space.fieldIm);
                if (w > 0 && !own.grid.get()) AllocateField(own.grid);
                const WavelengthJob& job = jobs[JobOf(w)];
                WavelengthFacts unused;
                AccumulateWavelength(rq, job.lambda, job.aberrations, job.weight, phaseProgress && count == 1,
                                     buildPupil, gridOf(w), ws.tables, spaceOf(w), nullptr, made[static_cast<size_t>(w)],
                                     FactsOf(job, unused), bar);
            } catch (...) {
                errors[static_cast<size_t>(w)] = std::current_exception();
            }
        });
        // The error of the earliest wavelength, as one thread would have met it first.
        for (int w = count - 1; w >= 0; --w)
            if (errors[static_cast<size_t>(w)]) std::rethrow_exception(errors[static_cast<size_t>(w)]);
        for (int w = count - 1; w >= 0; --w) {
            const WavelengthJob& job = jobs[JobOf(w)];
            const RunWorkspace& space = spaceOf(w);
            RealMatrix re = space.fieldRe.get();
            RealMatrix im = space.fieldIm.get();
            // Columns outside the marked ones are +0, which the transform leaves as they are: it
            // need not look at them.
            RunParts(threads, [&](int part) {
                const int from = std::max(PartLimit(part, threads), space.dirtyFirst);
                const int to = std::min(PartLimit(part + 1, threads), space.dirtyLast);
                if (from < to) Fft2DColumnPart(ws.tables, scratchOf(part), re, im, from, to);
            });
            RunParts(threads, [&](int part) {
                Fft2DRowPartAccumulate(ws.tables, scratchOf(part), re, im, job.acc, job.weight, PartLimit(part, threads),
                                       PartLimit(part + 1, threads));
            });
            if (progress.bar)
                progress.bar(count == 1 ? 0
                                        : static_cast<int>((static_cast<size_t>(firstIndex) + JobOf(w) + 1) * 100 /
                                                           static_cast<size_t>(total)));
        }
        // Worker 0 made the batch's last wavelength, in the run's own grid: that grid holds the
        // last pupil, as on one thread.
        derived = made[0];
    }
}

// What the workers of one call share, all of it guarded by `lock`.
struct Shared {
    std::mutex lock;
    std::condition_variable turnChanged;
    size_t nextJob = 0;
    std::vector<size_t> blockTurn;      // per block of rows: the job whose addition is due
    size_t failedAt = SIZE_MAX;         // the lowest job that failed
    std::exception_ptr failure;
    bool stopped = false;
    size_t added = 0;                   // jobs whose intensity is in
    RealMatrix lastGrid = nullptr;      // the worker's grid that holds the last job's pupil
};

// Rows of the row pass per turn: a multiple of the transform's part alignment.
constexpr int rowBlocks = 16;
static_assert(gridSize % (rowBlocks * fft2DPartAlignment) == 0);

void RunWorker(const CalculationRequest& rq, const std::vector<WavelengthJob>& jobs, int firstIndex, int total,
               const PupilBuilder& buildPupil, const FftTables& tables, RunWorkspace& own, RealMatrixHolder& grid,
               CalculationDerived& lastDerived, const CalculationProgress& progress, const RunControl& control,
               Shared& shared) {
    for (;;) {
        size_t k;
        {
            std::unique_lock hold(shared.lock);
            if (shared.stopped || Stopped(control)) {
                shared.stopped = true;
                shared.turnChanged.notify_all();
                return;
            }
            k = shared.nextJob;
            // A failure ends the run at that job; the jobs before it still run, as they would have
            // one after the other, in case one of them fails first.
            if (k >= jobs.size() || k >= shared.failedAt) return;
            ++shared.nextJob;
            // In order, and one at a time: the caller's callback need not be thread-safe.
            try {
                if (progress.wavelength) progress.wavelength(firstIndex + static_cast<int>(k), total, jobs[k].lambda);
            } catch (...) {
                shared.failedAt = std::min(shared.failedAt, k);
                shared.failure = std::current_exception();
                shared.turnChanged.notify_all();
                return;
            }
            if (Stopped(control)) {
                shared.stopped = true;
                shared.turnChanged.notify_all();
                return;
            }
        }
        const WavelengthJob& job = jobs[k];
        try {
            CalculationDerived derived;
            WavelengthFacts unused;
            AccumulateWavelength(rq, job.lambda, job.aberrations, job.weight, false, buildPupil, grid.get(), tables, own,
                                 nullptr, derived, FactsOf(job, unused), ProgressFn{});
            // Columns outside the marked ones are +0, which the transform leaves as they are.
            Fft2DColumnPart(tables, own.fft, own.fieldRe.get(), own.fieldIm.get(), own.dirtyFirst, own.dirtyLast);
            for (int b = 0; b < rowBlocks; ++b) {
                {
                    std::unique_lock hold(shared.lock);
                    shared.turnChanged.wait(hold, [&] {
                        return shared.blockTurn[static_cast<size_t>(b)] == k || shared.stopped || shared.failedAt < k;
                    });
                    if (shared.blockTurn[static_cast<size_t>(b)] != k) return;
                }
                // Only this worker touches the block's accumulator rows until it hands the turn on.
                Fft2DRowPartAccumulate(tables, own.fft, own.fieldRe.get(), own.fieldIm.get(), job.acc, job.weight,
                                       gridSize * b / rowBlocks, gridSize * (b + 1) / rowBlocks);
                std::lock_guard hold(shared.lock);
                ++shared.blockTurn[static_cast<size_t>(b)];
                shared.turnChanged.notify_all();
            }
            std::lock_guard hold(shared.lock);
            // The grid of the last pupil, which becomes the run's once every worker has ended.
            if (k + 1 == jobs.size()) {
                shared.lastGrid = grid.get();
                lastDerived = derived;
            }
            ++shared.added;
            if (progress.bar) progress.bar(static_cast<int>((firstIndex + shared.added) * 100 / static_cast<size_t>(total)));
        } catch (...) {
            std::lock_guard hold(shared.lock);
            if (k < shared.failedAt) {
                shared.failedAt = k;
                shared.failure = std::current_exception();
            }
            shared.turnChanged.notify_all();
        }
    }
}

void RunSeveral(const CalculationRequest& rq, const std::vector<WavelengthJob>& jobs, int firstIndex, int total,
                const PupilBuilder& buildPupil, RealMatrixHolder& workGrid, RunWorkspace& ws, CalculationDerived& derived,
                const CalculationProgress& progress, const RunControl& control, int threads) {
    // Every worker has its own field and scratch, lent from the pool (the run's tables are
    // shared). Each takes its memory on its own thread, so that the work is shared out too; one
    // that gets none ends the run as a stop would, and the lack of memory is raised.
    WorkerMemoryLease lease(static_cast<size_t>(threads));

    Shared shared;
    shared.blockTurn.assign(rowBlocks, 0);
    CalculationDerived lastDerived;
    std::exception_ptr noMemory;
    RunParts(threads, [&](int part) {
        // Fields lent from the pool are clear but where the last pupil lay.
        RunWorkspace& own = lease[static_cast<size_t>(part)].space;
        RealMatrixHolder& grid = lease[static_cast<size_t>(part)].grid;
        try {
            if (!own.fieldRe.get()) AllocateField(own.fieldRe);
            if (!own.fieldIm.get()) AllocateField(own.fieldIm);
            if (own.fft.n != gridSize && own.fft.Create(gridSize) != 0) throw OutOfMemory();
            if (!grid.get()) AllocateField(grid);
        } catch (...) {
            std::lock_guard hold(shared.lock);
            if (!noMemory) noMemory = std::current_exception();
            shared.stopped = true;
            shared.turnChanged.notify_all();
            return;
        }
        // The tables are only read: every worker shares the run's.
        RunWorker(rq, jobs, firstIndex, total, buildPupil, ws.tables, own, grid, lastDerived, progress, control, shared);
    });
    if (noMemory) std::rethrow_exception(noMemory);
    if (shared.stopped) throw CalculationStopped();
    if (shared.failure) std::rethrow_exception(shared.failure);
    // The last pupil into the run's grid, the rows shared out. Copied, not traded: the pool
    // keeps the memory its workers took, where a grid of the run's (taken on another thread)
    // would leave memory of another arena behind after every run.
    ForRowParts(threads, [&](int first, int last) {
        for (int r = first; r < last; ++r) std::memcpy(workGrid[r], shared.lastGrid[r], sizeof(double) * gridSize);
    });
    derived = lastDerived;
    if (progress.bar) progress.bar(0);
}

}  // namespace

void ForRowParts(int threads, const std::function<void(int first, int last)>& fn) {
    const int parts = std::clamp(threads, 1, gridSize / fft2DPartAlignment);
    if (parts == 1) {
        fn(0, gridSize);
        return;
    }
    RunParts(parts, [&](int part) { fn(PartLimit(part, parts), PartLimit(part + 1, parts)); });
}

void ForParts(int threads, int count, const std::function<void(int first, int last)>& fn) {
    const int parts = std::clamp(threads, 1, std::max(count, 1));
    if (parts == 1) {
        fn(0, count);
        return;
    }
    RunParts(parts, [&](int part) { fn(count * part / parts, count * (part + 1) / parts); });
}

// Each part's maximum starts from 0 and takes an equal value, as MatrixMaximum does; taking the
// parts' results in order by the same rule gives its value, the sign of a zero peak included.
double GridMaximum(const RealMatrix acc, int threads) {
    const int parts = std::clamp(threads, 1, gridSize / fft2DPartAlignment);
    if (parts == 1) return MatrixMaximum(gridSize, gridSize, acc);
    std::vector<double> best(static_cast<size_t>(parts), 0.0);
    RunParts(parts, [&](int part) {
        const int first = PartLimit(part, parts);
        best[static_cast<size_t>(part)] = MatrixMaximum(PartLimit(part + 1, parts) - first, gridSize, acc + first);
    });
    double m = 0;
    for (double b : best)
        if (b >= m) m = b;
    return m;
}

void RunWavelengths(const CalculationRequest& rq, const std::vector<WavelengthJob>& jobs, int firstIndex, int total,
                    bool phaseProgress, const PupilBuilder& buildPupil, RealMatrixHolder& workGrid, RunWorkspace& ws,
                    CalculationDerived& derived, const CalculationProgress& progress, const RunControl& control) {
    const int threads = std::max(1, control.threads);
    if (threads > 1 && jobs.size() >= static_cast<size_t>(threads)) {
        RunSeveral(rq, jobs, firstIndex, total, buildPupil, workGrid, ws, derived, progress, control, threads);
        return;
    }
    if (threads > 1) {
        RunSplit(rq, jobs, firstIndex, total, phaseProgress, buildPupil, workGrid.get(), ws, derived, progress, control,
                 std::min(threads, gridSize / fft2DPartAlignment));
        return;
    }
    // One after the other, in a field lent from the pool as a worker's is, so that it too is
    // cleared only where the last pupil lay.
    WorkerMemoryLease lease(1);
    RunWorkspace& own = lease[0].space;
    if (!own.fieldRe.get()) AllocateField(own.fieldRe);
    if (!own.fieldIm.get()) AllocateField(own.fieldIm);
    if (own.fft.n != gridSize && own.fft.Create(gridSize) != 0) throw OutOfMemory();
    for (size_t k = 0; k < jobs.size(); ++k) {
        const WavelengthJob& job = jobs[k];
        if (progress.wavelength) progress.wavelength(firstIndex + static_cast<int>(k), total, job.lambda);
        if (Stopped(control)) throw CalculationStopped();
        WavelengthFacts unused;
        AccumulateWavelength(rq, job.lambda, job.aberrations, job.weight, phaseProgress, buildPupil, workGrid.get(),
                             ws.tables, own, job.acc, derived, FactsOf(job, unused), progress.bar);
    }
}

}  // namespace detail
}  // namespace velmora
