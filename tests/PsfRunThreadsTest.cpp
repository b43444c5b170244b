// A run on several threads: the same bits as on one, whatever the number of threads and the
// shape of the run; a stop or a failure that leaves the caller's pupil grid as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <thread>

#include "core/PsfCalculation.h"
#include "core/PsfRunSteps.h"
#include "core/RunThreads.h"
#include "pupil/PupilModel.h"
#include "pupil/UserMaskStage.h"
#include "TestSupport.h"

namespace velmora {
namespace {

using testing::SamePicture;

bool SameGrid(const RealMatrix a, const RealMatrix b) {
    for (int r = 0; r < gridSize; ++r)
        if (std::memcmp(a[r], b[r], sizeof(double) * gridSize) != 0) return false;
    return true;
}

void FillGrid(RealMatrix m, double v) {
    for (int r = 0; r < gridSize; ++r)
        for (int c = 0; c < gridSize; ++c) m[r][c] = v;
}

// One run of a request with the pupil model behind it, keeping everything it leaves.
struct Outcome {
    PsfResult result;
    std::shared_ptr<RealMatrixHolder> holder = std::make_shared<RealMatrixHolder>();
    RealMatrixHolder& grid = *holder;
};

Outcome RunOn(const CalculationRequest& rq, int threads, const Picture24* mask = nullptr) {
    Outcome o;
    o.grid.Allocate(gridSize, gridSize);
    static const Picture24 noMask;
    UserMaskStages stages(mask ? *mask : noMask, RunPupilSamplings(rq.params));
    PupilInputs in{&rq.params, nullptr, mask, nullptr};
    if (mask) in.userMaskStages = &stages;
    const PupilBuilder build = [&](int lambda, RealMatrix g, const ProgressFn& bar) { BuildPupil(in, lambda, g, bar); };
    // One thread through the form that copies the last pupil into the caller's matrix, several
    // through the one that hands the run's grid over: the comparisons check both.
    if (threads == 1) o.result = RunPsfCalculation(rq, build, o.grid.get(), {}, RunControl{threads, nullptr});
    else o.result = RunPsfCalculation(rq, build, o.grid, {}, RunControl{threads, nullptr});
    return o;
}

// The full-precision result the analysis reads: every intensity and every wavelength's facts.
void ExpectSameFull(const FullResult& a, const FullResult& b, int threads) {
    SCOPED_TRACE(std::to_string(threads) + " threads: the full result");
    EXPECT_EQ(b.mode, a.mode);
    EXPECT_EQ(b.apertureMm, a.apertureMm);
    EXPECT_EQ(b.focalLengthMm, a.focalLengthMm);
    EXPECT_EQ(b.secondaryMm, a.secondaryMm);
    ASSERT_EQ(b.bands.size(), a.bands.size());
    for (size_t k = 0; k < a.bands.size(); ++k) {
        const BandResult& x = a.bands[k];
        const BandResult& y = b.bands[k];
        EXPECT_EQ(y.name, x.name);
        EXPECT_EQ(y.peak, x.peak);
        EXPECT_EQ(y.normalisedPeak, x.normalisedPeak);
        ASSERT_EQ(y.intensity.size(), x.intensity.size());
        EXPECT_EQ(std::memcmp(y.intensity.data(), x.intensity.data(), sizeof(double) * x.intensity.size()), 0) << x.name;
        ASSERT_EQ(y.wavelengths.size(), x.wavelengths.size());
        for (size_t w = 0; w < x.wavelengths.size(); ++w) {
            const WavelengthFacts& f = x.wavelengths[w];
            const WavelengthFacts& g = y.wavelengths[w];
            EXPECT_EQ(g.lambdaNm, f.lambdaNm);
            EXPECT_EQ(g.weight, f.weight);
            EXPECT_EQ(g.pupilSamples, f.pupilSamples);
            EXPECT_EQ(g.aberrations, f.aberrations);
            EXPECT_EQ(g.s1, f.s1);
            EXPECT_EQ(g.s2, f.s2);
            EXPECT_EQ(g.rmsWaves, f.rmsWaves);
            EXPECT_EQ(g.maxPhaseStepWaves, f.maxPhaseStepWaves);
        }
    }
}

void ExpectSameRun(const Outcome& one, const Outcome& many, int threads) {
    const PsfResultImages& a = one.result.images;
    const PsfResultImages& b = many.result.images;
    EXPECT_TRUE(SamePicture(b.display, a.display)) << threads << " threads";
    EXPECT_TRUE(SamePicture(b.image2, a.image2)) << threads << " threads";
    EXPECT_TRUE(SamePicture(b.image3, a.image3)) << threads << " threads";
    EXPECT_TRUE(SamePicture(b.image4, a.image4)) << threads << " threads";
    EXPECT_TRUE(SamePicture(b.pupil, a.pupil)) << threads << " threads";
    EXPECT_TRUE(SameGrid(many.grid.get(), one.grid.get())) << threads << " threads: the last pupil";
    const CalculationDerived& d1 = one.result.derived;
    const CalculationDerived& dn = many.result.derived;
    EXPECT_EQ(dn.pupilSamples, d1.pupilSamples);
    EXPECT_EQ(dn.focalRatio, d1.focalRatio);
    EXPECT_EQ(dn.apertureMm, d1.apertureMm);
    EXPECT_EQ(dn.focalLengthMm, d1.focalLengthMm);
    ExpectSameFull(*one.result.full, *many.result.full, threads);
}

void ExpectSameForThreadCounts(const CalculationRequest& rq, const Picture24* mask = nullptr) {
    const Outcome one = RunOn(rq, 1, mask);
    for (int threads : {2, 3, 8}) ExpectSameRun(one, RunOn(rq, threads, mask), threads);
}

// The pictures are 8-bit codes of the accumulator; the accumulator itself is compared here, as
// the run forms it, for the two ways of sharing the work (several wavelengths at once, and one
// transform split in parts).
TEST(PsfRunThreads, TheAccumulatorHasTheSameBitsWhateverTheThreads) {
    CalculationRequest rq;
    rq.params.whiteBand = {480, 720, 40};  // 7 wavelengths: more than 3, fewer than 8
    rq.params.comaX = 3;
    rq.params.spider2 = true;
    const Aberrations a = AberrationsInWaves(rq.params);
    const PupilInputs in{&rq.params, nullptr, nullptr, nullptr};
    const PupilBuilder build = [&](int lambda, RealMatrix g, const ProgressFn& bar) { BuildPupil(in, lambda, g, bar); };

    auto accumulate = [&](int threads, RealMatrixHolder& acc, RealMatrixHolder& grid) {
        acc.Allocate(gridSize, gridSize);
        grid.Allocate(gridSize, gridSize);
        detail::RunWorkspace ws;
        detail::AllocateWorkspace(ws);
        std::vector<detail::WavelengthJob> jobs;
        for (int lambda = 480; lambda <= 720; lambda += 40) jobs.push_back({lambda, a, lambda / 550.0, acc.get()});
        CalculationDerived derived;
        detail::RunWavelengths(rq, jobs, 0, static_cast<int>(jobs.size()), true, build, grid, ws, derived, {},
                               RunControl{threads, nullptr});
        return derived.pupilSamples;
    };
    RealMatrixHolder acc1, grid1;
    const int samples = accumulate(1, acc1, grid1);
    for (int threads : {2, 3, 8}) {
        RealMatrixHolder acc, grid;
        EXPECT_EQ(accumulate(threads, acc, grid), samples);
        EXPECT_TRUE(SameGrid(acc.get(), acc1.get())) << threads << " threads";
        EXPECT_TRUE(SameGrid(grid.get(), grid1.get())) << threads << " threads";
    }
}

TEST(PsfRunThreads, MonochromeColourAndTableRunsGiveTheSameResults) {
    CalculationRequest many;
    many.params.whiteBand = {400, 800, 50};  // 9 wavelengths
    many.params.spherical = 2;
    many.params.spider1 = many.params.spider3 = true;
    ExpectSameForThreadCounts(many);

    CalculationRequest colour;
    colour.params.colorMode = ColorMode::Colour;  // 2 wavelengths a band: split transforms from 3 threads on
    colour.params.astigmatismM = 4;
    ExpectSameForThreadCounts(colour);
    colour.params.redBand = {600, 700, 20};
    ExpectSameForThreadCounts(colour);

    CalculationRequest table;
    table.params.whiteBand = {500, 700, 50};
    table.params.useWavelengthDependence = true;
    table.dependenceRows = {{0, 0}, {0.25, 0}, {0, 0.5}, {-0.5, 0.25}, {0.1, -1}};
    ExpectSameForThreadCounts(table);
}

TEST(PsfRunThreads, OddSamplingsASingleWavelengthAndAUserMaskGiveTheSameResults) {
    CalculationRequest odd;
    odd.params.aperture = 100;
    odd.params.focalLength = 700;
    odd.params.whiteBand = {551, 557, 2};
    const Outcome probe = RunOn(odd, 1);
    ASSERT_EQ(probe.result.derived.pupilSamples % 2, 1) << "the case is meant to have an odd sampling";
    ExpectSameForThreadCounts(odd);

    CalculationRequest single;  // one wavelength: its transform is split
    single.params.whiteBand = {633, 633, 10};
    single.params.comaY = 5;
    ExpectSameForThreadCounts(single);

    CalculationRequest masked;
    masked.params.densityProfile = DensityProfileKind::UserMask;
    masked.params.whiteBand = {450, 750, 50};
    const Picture24 mask = testing::GreyPicture(300, 300, [](int x, int y) { return (x * 7 + y * 3) % 256; });
    ExpectSameForThreadCounts(masked, &mask);
    masked.params.colorMode = ColorMode::Colour;
    ExpectSameForThreadCounts(masked, &mask);
}

// The stop is set from the progress callback as wavelength `at` begins; the run must raise
// CalculationStopped and leave the caller's grid as it was.
TEST(PsfRunThreads, AStoppedRunLeavesThePupilGridAsItWas) {
    CalculationRequest rq;
    rq.params.whiteBand = {450, 750, 50};  // 7 wavelengths
    const PupilInputs in{&rq.params, nullptr, nullptr, nullptr};
    CalculationRequest colour;
    colour.params.colorMode = ColorMode::Colour;
    const PupilInputs colourIn{&colour.params, nullptr, nullptr, nullptr};
    for (int threads : {1, 2, 3, 8})
        for (bool isColour : {false, true})
            for (int at : {0, 1, 3, 5}) {
                const bool viaHolder = (at + threads) % 2 == 0;  // either form, in turn
                const CalculationRequest& request = isColour ? colour : rq;
                const PupilInputs& inputs = isColour ? colourIn : in;
                RealMatrixHolder grid;
                grid.Allocate(gridSize, gridSize);
                FillGrid(grid.get(), 0.25);
                std::atomic<bool> stop{false};
                CalculationProgress progress;
                progress.wavelength = [&](int index, int, int) {
                    if (index == at) stop = true;
                };
                const PupilBuilder build = [&](int lambda, RealMatrix g, const ProgressFn& bar) {
                    BuildPupil(inputs, lambda, g, bar);
                };
                const RealMatrix rows = grid.get();
                EXPECT_THROW(viaHolder ? RunPsfCalculation(request, build, grid, progress, RunControl{threads, &stop})
                                       : RunPsfCalculation(request, build, grid.get(), progress, RunControl{threads, &stop}),
                             CalculationStopped)
                    << threads << " threads, stopped at " << at << (isColour ? " colour" : "");
                EXPECT_EQ(grid.get(), rows) << "the holder keeps its own grid";
                EXPECT_EQ(grid[512][512], 0.25);
                EXPECT_EQ(grid[0][0], 0.25);
                EXPECT_EQ(grid[512][560], 0.25);
            }
}

// Several wavelengths fail: one after the other the first of them ends the run, and so it must
// on any number of threads; the caller's grid stays as it was.
TEST(PsfRunThreads, TheFirstFailureInWavelengthOrderIsTheOneRaised) {
    CalculationRequest rq;
    rq.params.whiteBand = {400, 760, 40};  // 10 wavelengths
    const PupilInputs in{&rq.params, nullptr, nullptr, nullptr};
    const PupilBuilder build = [&](int lambda, RealMatrix g, const ProgressFn& bar) {
        BuildPupil(in, lambda, g, bar);
        if (lambda == 560 || lambda == 680) throw std::runtime_error("pupil " + std::to_string(lambda));
    };
    for (int threads : {1, 2, 3, 8}) {
        RealMatrixHolder grid;
        grid.Allocate(gridSize, gridSize);
        FillGrid(grid.get(), 0.5);
        try {
            RunPsfCalculation(rq, build, grid.get(), {}, RunControl{threads, nullptr});
            ADD_FAILURE() << "the run went through";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "pupil 560") << threads << " threads";
        }
        EXPECT_EQ(grid[512][512], 0.5);
    }

    // Fewer wavelengths than threads: their pupils are made side by side, and still the first
    // failing wavelength is the one raised.
    rq.params.whiteBand = {520, 600, 40};  // 520, 560, 600
    const PupilBuilder lateFailures = [&](int lambda, RealMatrix g, const ProgressFn& bar) {
        BuildPupil(in, lambda, g, bar);
        if (lambda >= 560) throw std::runtime_error("pupil " + std::to_string(lambda));
    };
    for (int threads : {4, 8}) {
        RealMatrixHolder grid;
        grid.Allocate(gridSize, gridSize);
        FillGrid(grid.get(), 0.5);
        try {
            RunPsfCalculation(rq, lateFailures, grid.get(), {}, RunControl{threads, nullptr});
            ADD_FAILURE() << "the run went through";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "pupil 560") << threads << " threads";
        }
        EXPECT_EQ(grid[512][512], 0.5);
    }
    rq.params.whiteBand = {400, 760, 40};

    // A pupil value that is no number refuses the run with its message, also on several threads.
    const PupilBuilder broken = [&](int lambda, RealMatrix g, const ProgressFn& bar) {
        BuildPupil(in, lambda, g, bar);
        if (lambda >= 600) g[512][512] = std::numeric_limits<double>::quiet_NaN();
    };
    RealMatrixHolder grid;
    grid.Allocate(gridSize, gridSize);
    std::string serial;
    for (int threads : {1, 3}) {
        try {
            RunPsfCalculation(rq, broken, grid.get(), {}, RunControl{threads, nullptr});
            ADD_FAILURE() << "the run went through";
        } catch (const CalculationError& e) {
            if (threads == 1) serial = e.what();
            EXPECT_EQ(e.what(), serial);
        }
    }
}

TEST(PsfRunThreads, ProgressCountsTheWavelengthsInOrderOnAnyNumberOfThreads) {
    CalculationRequest rq;
    rq.params.whiteBand = {400, 700, 50};
    for (int threads : {1, 3}) {
        RealMatrixHolder grid;
        grid.Allocate(gridSize, gridSize);
        std::vector<int> indices;
        std::vector<int> bar;
        CalculationProgress progress;
        progress.wavelength = [&](int index, int count, int) {
            EXPECT_EQ(count, 7);
            indices.push_back(index);
        };
        progress.bar = [&](int p) { bar.push_back(p); };
        const PupilInputs in{&rq.params, nullptr, nullptr, nullptr};
        RunPsfCalculation(
            rq, [&](int lambda, RealMatrix g, const ProgressFn& b) { BuildPupil(in, lambda, g, b); }, grid.get(),
            progress, RunControl{threads, nullptr});
        EXPECT_EQ(indices, (std::vector<int>{0, 1, 2, 3, 4, 5, 6})) << threads << " threads";
        ASSERT_FALSE(bar.empty());
        EXPECT_EQ(bar.back(), 0);
        if (threads > 1) {
            EXPECT_NE(std::find(bar.begin(), bar.end(), 100), bar.end()) << "all wavelengths done";
        }
    }
}

TEST(PsfRunThreads, WorkersFindTheirMemoryOfTheLastRunAndNoMore) {
    // Worker k of the next run gets worker k's memory back; a run on fewer workers lets the
    // rest go, so the process keeps the memory of one run's workers at most.
    const double* lentGrid = nullptr;
    {
        detail::WorkerMemoryLease lease(3);
        for (size_t k = 0; k < 3; ++k) ASSERT_EQ(lease[k].grid.AllocateUncleared(gridSize, gridSize), 0);
        lentGrid = lease[1].grid[0];
    }
    {
        detail::WorkerMemoryLease lease(2);
        EXPECT_EQ(lease[1].grid[0], lentGrid) << "the same worker, the same grid";
    }
    {
        detail::WorkerMemoryLease lease(3);
        EXPECT_EQ(lease[1].grid[0], lentGrid);
        EXPECT_EQ(lease[2].grid.get(), nullptr) << "the third worker's memory went with the run on two";
    }
}

TEST(PsfRunThreads, MemoryLeftByAnEarlierRunChangesNoBit) {
    // Whatever an earlier run left in the workers' fields and grids (here NaN everywhere, the
    // fields' every column marked as holding anything), a run writes every element it reads:
    // the result has the bits of a run on one thread.
    CalculationRequest rq;
    rq.params.whiteBand = {500, 700, 50};  // 5 wavelengths: all at once on 5, split on 8
    rq.params.comaY = 2;
    const Outcome one = RunOn(rq, 1);
    for (int threads : {5, 8}) {
        {
            detail::WorkerMemoryLease lease(static_cast<size_t>(threads));
            for (size_t k = 0; k < static_cast<size_t>(threads); ++k) {
                detail::WorkerMemory& w = lease[k];
                for (RealMatrixHolder* m : {&w.space.fieldRe, &w.space.fieldIm, &w.grid}) {
                    if (!m->get()) {
                        ASSERT_EQ(m->AllocateUncleared(gridSize, gridSize), 0);
                    }
                    FillGrid(m->get(), std::numeric_limits<double>::quiet_NaN());
                }
                w.space.dirtyFirst = 0;
                w.space.dirtyLast = gridSize;
            }
        }
        ExpectSameRun(one, RunOn(rq, threads), threads);
    }
}

TEST(PsfRunThreads, AFieldIsClearedWhereTheLastPupilLay) {
    // A run leaves its fields +0 but in the columns it marks; NaN there (and only there) is
    // what the next run must clear. A wide pupil first (400 nm), then narrower ones: the first
    // run's marks must cover every column its transforms wrote.
    CalculationRequest wide;
    wide.params.whiteBand = {400, 440, 20};
    CalculationRequest rq;
    rq.params.whiteBand = {500, 700, 50};
    rq.params.comaX = 4;
    const Outcome one = RunOn(rq, 1);
    for (int threads : {1, 2, 5, 8}) {
        RunOn(wide, threads);
        {
            detail::WorkerMemoryLease lease(static_cast<size_t>(threads));
            int sampled = 0;
            for (size_t k = 0; k < static_cast<size_t>(threads); ++k) {
                detail::RunWorkspace& space = lease[k].space;
                // A worker the wide run did not need, or one that took its memory but no
                // wavelength (the others were quicker): all of it is marked, nothing to check.
                if (!space.fieldRe.get() || space.dirtyLast - space.dirtyFirst == gridSize) continue;
                ++sampled;
                ASSERT_LT(space.dirtyLast - space.dirtyFirst, gridSize / 2) << "only the pupil's columns are marked";
                for (RealMatrix m : {space.fieldRe.get(), space.fieldIm.get()})
                    for (int r = 0; r < gridSize; ++r) {
                        for (int c = 0; c < gridSize; ++c) {
                            const bool marked = c >= space.dirtyFirst && c < space.dirtyLast;
                            if (marked) {
                                m[r][c] = std::numeric_limits<double>::quiet_NaN();
                            } else {
                                // +0 exactly: a -0 or a stray value would reach the transform.
                                ASSERT_FALSE(std::signbit(m[r][c]) || m[r][c] != 0) << r << ", " << c;
                            }
                        }
                    }
            }
            EXPECT_GE(sampled, 1) << threads << " threads";
        }
        ExpectSameRun(one, RunOn(rq, threads), threads);
    }
}

TEST(RunThreads, TheCountIsTheSmallestOfRequestHardwareWavelengthsAndMemory) {
    constexpr long long mib = 1 << 20;
    const struct {
        long long requested, hardware, wavelengths, available, perWorker;
        int threads;
        ThreadCap cap;
    } cases[] = {
        {2, 2, 61, 8000 * mib, 25 * mib, 2, ThreadCap::None},
        {1000, 2, 61, 8000 * mib, 25 * mib, 2, ThreadCap::Hardware},
        {16, 32, 6, 8000 * mib, 25 * mib, 6, ThreadCap::Wavelengths},
        {16, 16, 61, 200 * mib, 25 * mib, 4, ThreadCap::Memory},           // half of 200 MiB holds 4
        {16, 16, 61, 40 * mib, 25 * mib, 1, ThreadCap::Memory},            // never below one
        {16, 4, 4, 200 * mib, 25 * mib, 4, ThreadCap::Hardware},           // a tie: the first limit is told
        {2147483647, 0, 751, -1, 25 * mib, 751, ThreadCap::Wavelengths},  // unknown hardware and memory
        {1, 8, 61, 10 * mib, 25 * mib, 1, ThreadCap::None},               // one is always possible
        {3, 8, 0, 8000 * mib, 25 * mib, 3, ThreadCap::None},              // no wavelength count: no limit
    };
    for (const auto& c : cases) {
        const RunThreads chosen = CapRunThreads(c.requested, c.hardware, c.wavelengths, c.available, c.perWorker);
        EXPECT_EQ(chosen.threads, c.threads) << c.requested << " on " << c.hardware;
        EXPECT_EQ(chosen.cap, c.cap) << c.requested << " on " << c.hardware;
        EXPECT_EQ(chosen.requested, c.requested);
    }
}

TEST(RunThreads, ALowerCountIsSaidWithItsReason) {
    constexpr long long mib = 1 << 20;
    EXPECT_EQ(RunThreadsMessage(CapRunThreads(1000, 2, 61, 8000 * mib, 25 * mib), true).Text(),
              "スレッド数を 1000 から 2 に減らしました（この計算機が同時に実行できるスレッドは 2 個です）。");
    EXPECT_EQ(RunThreadsMessage(CapRunThreads(8, 8, 3, 8000 * mib, 25 * mib), true).Text(),
              "スレッド数を 8 から 3 に減らしました（この計算の波長は 3 個です）。");
    EXPECT_EQ(RunThreadsMessage(CapRunThreads(16, 16, 61, 200 * mib, 25 * mib), false).Text(),
              "スレッド数を 16 から 4 に減らしました（空きメモリ 200 MiB の半分に収まるのは 4 スレッドです）。")
        << "the memory is said even when no count was asked for";
    EXPECT_TRUE(RunThreadsMessage(CapRunThreads(8, 8, 3, 8000 * mib, 25 * mib), false).Empty())
        << "the hardware default lowered to the wavelengths is no news";
    EXPECT_TRUE(RunThreadsMessage(CapRunThreads(2, 2, 61, 8000 * mib, 25 * mib), true).Empty());
}

TEST(RunThreads, AWorkerNeedsItsGridsAndThePupilArraysOfTheShortestWavelength) {
    // Three 8 MiB grids and the transform's 256 KiB of scratch, and the pupil model's 11 bytes a
    // sample at the shortest wavelength of the run's bands.
    const long long fixed = 3LL * gridSize * gridSize * 8 + 32LL * gridSize * 8;
    SimulationParameters p;
    p.whiteBand = {400, 700, 5};
    const long long np = PupilSamples(FocalRatio(p.focalLength, p.aperture), 400);
    EXPECT_EQ(WorkerMemoryBytes(p), fixed + np * np * 11);
    p.colorMode = ColorMode::Colour;
    const long long npColour =
        PupilSamples(FocalRatio(p.focalLength, p.aperture), std::min({p.redBand.min, p.greenBand.min, p.blueBand.min}));
    EXPECT_EQ(WorkerMemoryBytes(p), fixed + npColour * npColour * 11);
    EXPECT_EQ(RunWavelengthCount(p), WavelengthCount(p.redBand) + WavelengthCount(p.greenBand) + WavelengthCount(p.blueBand));
    EXPECT_GT(AvailableMemoryBytes(), 0) << "MemAvailable is read on Linux";
}

TEST(PsfRunThreads, TheThreadCountComesFromTheEnvironmentOrTheHardware) {
    const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
    const char* saved = std::getenv("VELMORA_THREADS");
    const std::string keep = saved ? saved : "";
    setenv("VELMORA_THREADS", "3", 1);
    EXPECT_EQ(DefaultThreadCount(), 3);
    for (const char* ignored : {"0", "-2", "abc", "4x", ""}) {
        setenv("VELMORA_THREADS", ignored, 1);
        EXPECT_EQ(DefaultThreadCount(), static_cast<int>(hardware)) << '"' << ignored << '"';
    }
    unsetenv("VELMORA_THREADS");
    EXPECT_EQ(DefaultThreadCount(), static_cast<int>(hardware));
    if (saved) setenv("VELMORA_THREADS", keep.c_str(), 1);
}

TEST(PsfRunThreads, TransformPartsMustKeepToTheLaneGroups) {
    FftTables tables;
    ASSERT_EQ(tables.Create(gridSize), 0);
    FftWorkspace ws;
    ASSERT_EQ(ws.Create(gridSize), 0);
    RealMatrixHolder re, im, acc;
    re.Allocate(gridSize, gridSize);
    im.Allocate(gridSize, gridSize);
    acc.Allocate(gridSize, gridSize);
    EXPECT_THROW(Fft2DColumnPart(tables, ws, re.get(), im.get(), 4, 64), std::invalid_argument);
    EXPECT_THROW(Fft2DColumnPart(tables, ws, re.get(), im.get(), 0, gridSize + 8), std::invalid_argument);
    EXPECT_THROW(Fft2DRowPartAccumulate(tables, ws, re.get(), im.get(), nullptr, 1, 0, 64), std::invalid_argument);
    EXPECT_NO_THROW(Fft2DRowPartAccumulate(tables, ws, re.get(), im.get(), acc.get(), 1, 64, 64));
}

}  // namespace
}  // namespace velmora
