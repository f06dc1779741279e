#include "app/frame.h"

#include <cstdio>

#include "app/app.h"
#include "app/command_line.h"
#include "app/commands.h"
#include "bench/benchmark.h"
#include "bench/gpu_timing.h"
#include "game/update.h"
#include "gpu/frame_constants.h"

namespace {

// Frames counted over about a second of real time; the telemetry follows
// each time the window closes.
void AdvanceFrameRateWindow(App& app, double rawStep)
{
    FrameTiming& timing = app.timing;
    timing.fpsFrames += 1;
    timing.fpsSeconds += rawStep;
    if (timing.fpsSeconds >= 1.0) {
        timing.fps = static_cast<double>(timing.fpsFrames) / timing.fpsSeconds;
        timing.fpsFrames = 0;
        timing.fpsSeconds = 0.0;
        CloseGpuPassWindow(timing.gpuPasses);
        RefreshTelemetry(app);
    }
}

// The last run has ended: the panel shows "Launch Benchmark" again, then the
// summary box. A benchmark started from the command line ends the program
// instead, its exit code saying whether the report and results were written.
void FinishBenchmark(App& app)
{
    app.platform->ShowBenchmarkRunning(false);
    app.platform->SetAutoplayChecked(false);
    app.platform->ShowBenchmarkSummary(BuildBenchmarkSummary(app.bench));
    if (app.start.unattended) {
        const bool written = app.bench.reportWritten && app.bench.resultsWritten &&
                             (!app.bench.frameLog.enabled || app.bench.frameLog.written);
        app.start.exitCode = written ? exit_code::kSuccess : exit_code::kFilesNotWritten;
        app.platform->EndProgram();
    }
}

}  // namespace

void UpdateFrame(App& app, double step, double rawStep)
{
    // The size the frames are drawn at: a run scores what it rendered.
    app.bench.renderWidth = app.width;
    app.bench.renderHeight = app.height;
    const BenchmarkStep benchmark = BenchmarkFrameStep(app.bench, app.world, *app.platform, rawStep);
    ApplyWorldEffects(app, benchmark.effects);
    if (benchmark.finished) {
        FinishBenchmark(app);
    }
    if (benchmark.stopUpdate) {
        // The pause between benchmark runs: the previous constants stay, but
        // the burst they handed over has started already. Sent again, it
        // would start again, into the debris the next run's level has cleared.
        // No game time passes, so the debris stands still.
        app.frameConstants.explosionCode = 0.0f;
        app.frameConstants.frameStep = 0.0f;
        return;
    }
    const WorldFrame frame =
        AdvanceWorld(app.world, step, rawStep, [&app](World& world) { BenchmarkTick(app.bench, world); });
    ApplyWorldEffects(app, frame.effects);
    app.frameConstants = AssembleFrameConstants(app.world, app.width, app.height, frame);
    AdvanceFrameRateWindow(app, rawStep);
}

void ReportGpuPassTimes(App& app, const GpuPassTimes& times)
{
    AddToGpuPassWindow(app.timing.gpuPasses, times);
    RecordGpuPassTimes(app.bench, times);
}

void ReportOccludedFrame(App& app)
{
    BenchmarkRecorder& bench = app.bench;
    if (bench.phase == BenchmarkPhase::Recording && !bench.current.occluded) {
        bench.current.occluded = true;
        char line[96];
        std::snprintf(line, sizeof(line), "Benchmark: Run %d went on with its window hidden\n", bench.currentRun);
        app.platform->DebugOutput(line);
    }
}
