// The windows: the analysis window filled, the previews, the viewers' redraws, and the
// automatic mode from a spin click to the new picture.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <complex>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "analysis/Analysis.h"
#include "run/IdealCache.h"
#include "run/Pipeline.h"
#include "optics/ThroughFocus.h"
#include "imaging/Sky.h"
#include <QAction>
#include <QComboBox>
#include <QApplication>
#include <QToolButton>
#include <array>
#include <filesystem>

#include "app/AppWindows.h"
#include "app/ProcessMemory.h"
#include "app/Psfmain.h"
#include "core/PsfCalculation.h"
#include "core/RunThreads.h"
#include "optics/StarTestPictures.h"
#include "ui/SpinButton.h"
#include "pupil/Previews.h"
#include "pupil/PupilModel.h"
#include "pupil/UserMaskStage.h"
#include "files/UserMaskFile.h"
#include "viewers/AnalysisWindow.h"
#include "viewers/ResultRenderers.h"
#include "../tests/ReferenceAlgorithms.h"


#include "BenchSupport.h"

namespace velmora {
namespace {

// The analysis window shown, given results already measured, in turn: the table and the three
// plots filled, all on the window's thread (offscreen). `comaX`: the coma of each result.
// `energyRange`: the entry of the encircled energy's range box (0: three r80, 2: thirty, where
// the curves come from the function beyond the measured radii).
void AnalysisWindowFill(benchmark::State& state, const std::vector<int16_t>& comaX, int energyRange = 0) {
    SetKernelTrace(false);
    OffscreenApplication();
    RealMatrixHolder workGrid;
    workGrid.Allocate(gridSize, gridSize);
    std::vector<std::shared_ptr<const FullResult>> results;
    std::vector<std::shared_ptr<const Analysis>> measured;
    // Each with its ideal, the default pupil's, as the window gets them.
    const Analysis ideal = Analyse(*RunOnce(Scenario("mono"), workGrid).full);
    for (int16_t coma : comaX) {
        CalculationRequest rq = Scenario("mono");
        rq.params.comaX = coma;
        const PsfResult result = RunOnce(rq, workGrid);
        results.push_back(result.full);
        measured.push_back(std::make_shared<const Analysis>(Analyse(*result.full, &ideal)));
    }
    TAnalysis window([](const FullResult& full) { return Analyse(full); });
    window.show();
    window.findChild<QComboBox*>(QStringLiteral("EnergyRangeBox"))->setCurrentIndex(energyRange);
    QCoreApplication::processEvents();
    // The time in the window's filling (ShowResult) and in the events after it (layout and
    // painting), each per iteration.
    using Clock = std::chrono::steady_clock;
    Clock::duration filling{}, events{};
    size_t next = 0;
    for (auto _ : state) {
        // A new result object each time, so that the window shows it rather than skipping it;
        // the copy of the full result is not the window's time.
        state.PauseTiming();
        auto full = std::make_shared<const FullResult>(*results[next]);
        state.ResumeTiming();
        const Clock::time_point start = Clock::now();
        window.ShowResult(std::move(full), measured[next]);
        const Clock::time_point filled = Clock::now();
        QCoreApplication::processEvents();
        filling += filled - start;
        events += Clock::now() - filled;
        next = (next + 1) % results.size();
    }
    const auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    state.counters["fill_ms"] = benchmark::Counter(ms(filling), benchmark::Counter::kAvgIterations);
    state.counters["events_ms"] = benchmark::Counter(ms(events), benchmark::Counter::kAvgIterations);
}
// The same measurements again and again.
void BM_AnalysisWindowFill(benchmark::State& state) { AnalysisWindowFill(state, {0}); }
BENCHMARK(BM_AnalysisWindowFill)->Unit(benchmark::kMillisecond);
// The automatic mode's case: each result has other aberrations (no coma, then 0.3 waves), so
// the measured curves and numbers change while the ideal curves stay.
void BM_AnalysisWindowFill_Alternating(benchmark::State& state) { AnalysisWindowFill(state, {0, 30}); }
BENCHMARK(BM_AnalysisWindowFill_Alternating)->Unit(benchmark::kMillisecond);
// The same with the encircled energy widened to thirty r80.
void BM_AnalysisWindowFill_AlternatingWide(benchmark::State& state) { AnalysisWindowFill(state, {0, 30}, 2); }
BENCHMARK(BM_AnalysisWindowFill_AlternatingWide)->Unit(benchmark::kMillisecond);

// Every preview of the main window redrawn once, as start-up does: the aperture with all
// four vanes, the density profile, the spectrum in colour and both wavefront maps with coma.
void BM_Previews_All(benchmark::State& state) {
    SimulationParameters p;
    p.spider1 = p.spider2 = p.spider3 = p.spider4 = true;
    p.densityProfile = DensityProfileKind::Gaussian;
    p.colorMode = ColorMode::Colour;
    p.comaX = 30;
    p.focus = 5;
    const UserFilter filter;
    Picture24 density;
    for (auto _ : state) {
        Picture24 aperture = DrawAperturePreview(p);
        DrawDensityPreview(density, p, filter, MakeColorRef(240, 240, 240));
        Picture24 spectrum = DrawSpectrumPreview(p);
        Picture24 fringes = DrawInterferencePreview(AberrationsInWaves(p));
        double pv = 0;
        Picture24 map = DrawPupilFunctionPreview(AberrationsInWaves(p), p.contrast, pv);
        benchmark::DoNotOptimize(aperture.bgr.data());
        benchmark::DoNotOptimize(spectrum.bgr.data());
        benchmark::DoNotOptimize(fringes.bgr.data());
        benchmark::DoNotOptimize(map.bgr.data());
        benchmark::DoNotOptimize(pv);
    }
}
BENCHMARK(BM_Previews_All)->Unit(benchmark::kMillisecond);

// The result images of a colour run with coma, which the viewers redraw from.
const PsfResultImages& ColourComaResults() {
    static const PsfResultImages results = [] {
        SetKernelTrace(false);
        CalculationRequest rq = Scenario("colour");
        rq.params.comaX = 30;  // 0.3 waves
        RealMatrixHolder workGrid;
        workGrid.Allocate(gridSize, gridSize);
        return RunOnce(rq, workGrid).images;
    }();
    return results;
}

// One move of the 2D viewer's brightness bar in colour mode: three channels.
void BM_BrightnessRedraw(benchmark::State& state) {
    const PsfResultImages& r = ColourComaResults();
    int level = 1;
    for (auto _ : state) {
        Picture24 shown = DrawBrightness(r.image2, r.image3, r.image4, level, true);
        benchmark::DoNotOptimize(shown.bgr.data());
        level = level % 100 + 1;
    }
}
BENCHMARK(BM_BrightnessRedraw)->Unit(benchmark::kMillisecond);

// One press of a 1D viewer button: thumbnail, both plots of all three channels at the
// largest magnification (most points far off the linear plot).
void BM_ProfileRedraw(benchmark::State& state) {
    const PsfResultImages& r = ColourComaResults();
    const ProfileSources sources{&r.image2, &r.image3, &r.image4};
    int column = 100;
    for (auto _ : state) {
        Picture24 thumbnail = DrawThumbnail(r.display, column);
        ProfilePlots plots = DrawProfiles(sources, column, 100, true, ProfileChannel::All);
        benchmark::DoNotOptimize(thumbnail.bgr.data());
        benchmark::DoNotOptimize(plots.linear.bgr.data());
        column = column == 155 ? 100 : column + 1;
    }
}
BENCHMARK(BM_ProfileRedraw)->Unit(benchmark::kMillisecond);

// One animation step of the 3D view.
void BM_ReliefRedraw(benchmark::State& state) {
    const PsfResultImages& r = ColourComaResults();
    int theta = 0;
    for (auto _ : state) {
        Picture24 relief = DrawRelief(r.image3, theta);
        benchmark::DoNotOptimize(relief.bgr.data());
        theta = NextAnimationAngle(theta, 5);
    }
}
BENCHMARK(BM_ReliefRedraw)->Unit(benchmark::kMillisecond);
// The main window writes its start-up files where it starts: a scratch folder made the working
// folder for the object's life, then removed.
struct ScratchWorkingFolder {
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("velmora-bench-" + std::to_string(getpid()));
    ScratchWorkingFolder() {
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
    }
    ~ScratchWorkingFolder() {
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

// The up and down arrows of the panel's coma X spin, which the live benchmarks click in turn.
std::array<QToolButton*, 2> ComaArrows(TForm1& form) {
    auto* spin = form.findChild<SpinButton*>(QStringLiteral("UpDown28"));
    return {spin->findChild<QToolButton*>(QStringLiteral("up")), spin->findChild<QToolButton*>(QStringLiteral("down"))};
}

// From a spin click to the 2D viewer's new picture with "自動計算(&L)" on: the default telescope,
// an offscreen main window with the analysis window open, all cores. Target: at most 3.5 times
// BM_Fftw2D_Measure.
void BM_LiveUpdate_Default(benchmark::State& state) {
    OffscreenApplication();
    const ScratchWorkingFolder scratch;
    {
        auto windows = CreateWindows();
        TForm1& form = *windows->form1;
        auto waitIdle = [&] {
            while (form.CalculationRunning()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        };
        // With the analysis window open (the target's case) every result comes measured, off the
        // window's thread; without it, for comparison.
        if (state.range(0)) form.findChild<QAction*>(QStringLiteral("A1"))->trigger();
        form.findChild<QAction*>(QStringLiteral("L1"))->trigger();
        waitIdle();
        const std::array<QToolButton*, 2> arrows = ComaArrows(form);
        int k = 0;
        // The first result with coma makes the pupil's ideal for the measurements (once per
        // pupil, see BM_Ideal_ComaNew); the automatic mode's steady state is what is timed.
        if (state.range(0)) {
            for (QToolButton* arrow : arrows) {
                const int shown = form.RunResultsShown();
                arrow->click();
                while (form.RunResultsShown() == shown) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
            waitIdle();
        }
        for (auto _ : state) {
            const int shown = form.RunResultsShown();
            arrows[k++ % 2]->click();  // coma up and down again, never leaving the range
            while (form.RunResultsShown() == shown)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        waitIdle();
    }
}
BENCHMARK(BM_LiveUpdate_Default)->ArgName("analysis")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// From a spin click to the star test window's new pair with "自動計算(&L)" on: as
// BM_LiveUpdate_Default with the star test window open too (the analysis window open or not),
// timed until the pair of the new result is on screen. Target: at most 3 x
// BM_LiveUpdate_Default of the same analysis argument.
void BM_LiveUpdate_StarTest(benchmark::State& state) {
    OffscreenApplication();
    const ScratchWorkingFolder scratch;
    {
        auto windows = CreateWindows();
        TForm1& form = *windows->form1;
        auto waitPair = [&](int shown) {
            while (form.StarTestResultsShown() == shown) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        };
        auto waitIdle = [&] {
            while (form.CalculationRunning()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        };
        if (state.range(0)) form.findChild<QAction*>(QStringLiteral("A1"))->trigger();
        form.findChild<QAction*>(QStringLiteral("T1"))->trigger();
        form.findChild<QAction*>(QStringLiteral("L1"))->trigger();
        waitIdle();
        waitPair(0);
        const std::array<QToolButton*, 2> arrows = ComaArrows(form);
        int k = 0;
        // As there, the ideals of both coma values are made before the timing.
        for (QToolButton* arrow : arrows) {
            const int shown = form.StarTestResultsShown();
            arrow->click();
            waitPair(shown);
        }
        waitIdle();
        for (auto _ : state) {
            const int shown = form.StarTestResultsShown();
            arrows[k++ % 2]->click();
            waitPair(shown);
        }
        waitIdle();
    }
}
BENCHMARK(BM_LiveUpdate_StarTest)->ArgName("analysis")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace velmora
