#include "bench/benchmark.h"

#include <algorithm>

#include "app/app.h"
#include "bench/report.h"
#include "bench/statistics.h"
#include "game/levels.h"
#include "game/spawning.h"

namespace {

constexpr float kLaunchAt = 0.05f;
constexpr float kTrioAt = 15.0f;
constexpr size_t kRecordsReserved = 700;

void BeginRun(BenchmarkRecorder& b)
{
    b.current = RunResult{};
    b.current.seconds.reserve(kRecordsReserved);
    b.current.width = b.config.width;
    b.current.height = b.config.height;
    b.current.raySteps = b.config.raySteps;
    b.current.debrisCount = b.config.debrisCount;
    b.current.debrisEnabled = b.config.debrisEnabled;
    b.current.deterministic = b.deterministic;
    b.current.totalFrames = 0;
    b.currentBucket = -1;
    b.bucketFps.clear();
    b.bucketDebris.clear();
    b.bucketBricks.clear();
    b.bucketBalls.clear();
    b.launchDone = false;
    b.trioDone = false;
    b.skipNextSample = true;
}

void StoreCurrentRun(BenchmarkRecorder& b)
{
    if (b.currentBucket >= 0) {
        CloseBucket(b);
    }
    ComputeRunStatistics(b.current);
    b.runs.push_back(b.current);
}

float RunLength(const BenchmarkRecorder& b)
{
    if (b.currentRun == 0) {
        return kWarmupSeconds;
    }
    return b.deterministic ? kDeterministicRunSeconds : kRunSeconds;
}

void RestartLevelAfterPause(App& app)
{
    BenchmarkRecorder& b = app.bench;
    World& world = app.world;
    b.skipNextSample = true;
    if (b.deterministic) {
        BuildLevel(app, kZivoLevel);
        world.paddleX = 0.0f;
        world.random.Seed(kDeterministicSeed);
        app.timing.stepAccumulator = 0.0f;
    } else {
        BuildLevel(app, 0);
        world.paddleX = static_cast<float>(world.random.Next() / 32767.0 * 20.0 - 10.0);
    }
    world.autoplay = true;
    b.launchDone = false;
    b.trioDone = false;
}

void ShowBenchmarkSummary(App& app)
{
    app.platform->ShowBenchmarkSummary(BuildBenchmarkSummary(app.bench));
}

}  // namespace

void StartBenchmark(App& app, uint32_t width, uint32_t height, uint32_t raySteps, bool debrisEnabled,
                    uint32_t debrisCount, bool singleRun, bool deterministic)
{
    BenchmarkRecorder& b = app.bench;
    b.running = true;
    b.currentRun = 0;
    b.runElapsed = 0.0f;
    b.pausing = false;
    b.startLogged = false;
    b.runs.clear();
    b.targetRuns = singleRun ? 1 : 4;
    b.config = BenchmarkConfig{width, height, raySteps, debrisCount, debrisEnabled};
    b.singleRun = singleRun;
    b.deterministic = deterministic;
    if (deterministic) {
        app.world.random.Seed(kDeterministicSeed);
    }
    BeginRun(b);
}

void BeginConfiguredBenchmark(App& app, uint32_t width, uint32_t height, int32_t debrisCount, bool singleRun,
                              bool deterministic)
{
    World& world = app.world;
    world.raySteps = kBenchmarkRaySteps;
    world.debrisCount = debrisCount;
    world.debrisEnabled = debrisCount > 0;
    world.autoplay = true;
    if (deterministic) {
        world.paddleX = 0.0f;
    }
    app.platform->SetAutoplayChecked(true);
    app.platform->SetDebrisChecked(world.debrisEnabled);
    app.platform->RefreshPanelControls();
    app.timing.stepAccumulator = 0.0f;
    StartBenchmark(app, width, height, static_cast<uint32_t>(world.raySteps), world.debrisEnabled,
                   static_cast<uint32_t>(debrisCount), singleRun, deterministic);
    app.platform->ShowBenchmarkRunning(true);
}

bool BenchmarkFrameStep(App& app, float rawDt)
{
    BenchmarkRecorder& b = app.bench;
    World& world = app.world;
    if (b.pausing) {
        b.pauseElapsed += rawDt;
        if (b.pauseElapsed >= kPauseSeconds) {
            b.pausing = false;
        }
        if (b.pausing) {
            return true;
        }
        RestartLevelAfterPause(app);
        return true;
    }
    if (!b.running) {
        return false;
    }

    const float fps = 1.0f / std::clamp(rawDt, 0.0025f, 1000.0f);
    const int balls = CountActiveBalls(world);
    const uint32_t debris =
        world.debrisEnabled ? static_cast<uint32_t>(std::max(0, std::min(world.debrisCount, world.activeDebris))) : 0u;
    const uint32_t bricks = static_cast<uint32_t>(std::max(0, world.bricksLeft));
    if (b.skipNextSample) {
        b.skipNextSample = false;
    } else {
        RecordFrame(b, *app.platform, rawDt, fps, debris, bricks, balls);
    }

    if (!b.launchDone && b.runElapsed > kLaunchAt) {
        if (!world.ballLaunched) {
            LaunchBall(app);
        }
        b.launchDone = true;
    }
    if (!b.trioDone && b.runElapsed > kTrioAt && b.currentRun > 0) {
        SpawnRgbTrio(app);
        b.trioDone = true;
    }
    if (b.runElapsed >= RunLength(b)) {
        CompleteRun(app);
        if (!b.running) {
            world.autoplay = false;
            app.platform->ShowBenchmarkRunning(false);
            app.platform->SetAutoplayChecked(false);
            ShowBenchmarkSummary(app);
        }
    }
    return false;
}

void CompleteRun(App& app)
{
    BenchmarkRecorder& b = app.bench;
    Platform& platform = *app.platform;
    DebugLog(platform, 256, "Benchmark: Completed run %d at T=%.2f\n", b.currentRun,
             static_cast<double>(b.runElapsed));
    if (b.currentRun > 0) {
        StoreCurrentRun(b);
        DebugLog(platform, 256, "Benchmark: Recorded run %d with %d seconds of data\n", b.currentRun,
                 static_cast<int>(b.current.seconds.size()));
    }
    if (b.currentRun >= b.targetRuns) {
        b.running = false;
        b.currentRun = 0;
        DebugLog(platform, 256, "Benchmark: All runs complete. Total recorded runs: %d\n",
                 static_cast<int>(b.runs.size()));
        GenerateHTMLReport(b, platform);
        return;
    }
    b.currentRun += 1;
    b.pausing = true;
    b.pauseElapsed = 0.0f;
    if (b.deterministic) {
        app.world.random.Seed(kDeterministicSeed);
    }
    b.runElapsed = 0.0f;
    b.startLogged = false;
    BeginRun(b);
}

void AbortBenchmark(App& app)
{
    BenchmarkRecorder& b = app.bench;
    if (!b.running) {
        return;
    }
    if (b.currentRun >= 1 && b.currentBucket >= 0) {
        StoreCurrentRun(b);
    }
    b.running = false;
    b.pausing = false;
    b.currentRun = 0;
    if (!b.runs.empty()) {
        GenerateHTMLReport(b, *app.platform);
    }
    app.world.autoplay = false;
    app.platform->SetAutoplayChecked(false);
    app.platform->ShowBenchmarkRunning(false);
}

std::wstring BuildBenchmarkSummary(const BenchmarkRecorder& b)
{
    const std::wstring seconds = b.deterministic ? L"60" : L"40";
    const std::wstring reportName(b.reportPath.begin(), b.reportPath.end());
    std::wstring text = L"Benchmark Complete!\n\n";
    if (b.reportWritten) {
        text += L"Generated: " + reportName + L"\n";
        text += L"Opening in browser...\n\n";
    } else {
        text += L"The report could not be written: " + reportName + L"\n\n";
    }
    if (b.runs.size() == 1) {
        text += L"Single run (" + seconds + L" seconds)\n";
    } else {
        text += L"Runs: " + std::to_wstring(b.runs.size()) + L" (" + seconds + L" seconds each)\n";
    }
    if (b.deterministic) {
        text += L"\nDETERMINISTIC MODE:\n";
        text += L"- Fixed random seed (42)\n";
        text += L"- ZIVO level\n";
        text += L"- No mouse/keyboard input\n";
        text += L"\nResults per Run:\n";
        for (size_t i = 0; i < b.runs.size(); ++i) {
            text += L"  Run " + std::to_wstring(i + 1) + L": " + std::to_wstring(b.runs[i].totalFrames) + L" frames, " +
                    std::to_wstring(static_cast<int64_t>(b.runs[i].score)) + L" score\n";
        }
    }
    text += L"\nIncludes:\n";
    text += L"- Timeline charts per run\n";
    if (!b.deterministic) {
        text += L"- Scatter plot (complexity analysis)\n";
        text += L"- Spike outlier removal\n";
    }
    text += L"- Benchmark score\n";
    return text;
}
