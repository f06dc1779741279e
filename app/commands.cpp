#include "app/commands.h"

#include <exception>
#include <optional>

#include "app/app.h"
#include "app/command_line.h"
#include "bench/benchmark.h"
#include "game/debris.h"
#include "game/input.h"
#include "game/levels.h"
#include "game/spawning.h"
#include "ui/panel.h"
#include "ui/startup_choices.h"
#include "ui/telemetry.h"

void ApplyWorldEffects(App& app, const WorldEffects& effects)
{
    Platform& platform = *app.platform;
    for (const std::string& line : effects.logLines) {
        platform.DebugOutput(line.c_str());
    }
    if (effects.clearGpuDebris) {
        platform.ClearGpuDebris();
    }
    if (effects.resizeToScreen) {
        int w = 0;
        int h = 0;
        platform.PrimaryScreenSize(w, h);
        platform.SetMainWindowClientSize(static_cast<uint32_t>(w > 0 ? w : 0), static_cast<uint32_t>(h > 0 ? h : 0));
    }
    if (effects.refreshPanel) {
        platform.RefreshPanelControls();
    }
    if (effects.sceneRebuilt && app.bench.Running()) {
        app.bench.skipNextSample = true;
    }
}

void LoadLevel(App& app, int32_t n)
{
    ApplyWorldEffects(app, BuildLevel(app.world, n));
}

void OnKeyDown(App& app, uint64_t virtualKey, int64_t keyData)
{
    ApplyWorldEffects(app, HandleGameKey(app.world, virtualKey, keyData));
}

void OnKeyUp(App& app, uint64_t virtualKey)
{
    HandleGameKeyUp(app.world, virtualKey);
}

void OnPointerMove(App& app, uint32_t clientX, uint32_t clientWidth)
{
    HandlePointerMove(app.world, clientX, clientWidth);
}

void OnPointerClick(App& app)
{
    HandlePointerClick(app.world);
}

void StartConfiguredBenchmark(App& app, uint32_t width, uint32_t height, int32_t debrisCount, bool singleRun,
                              bool deterministic, uint32_t stressLoops, int32_t testLoopSeconds)
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
    world.stepAccumulator = 0.0f;
    BenchmarkConfig config;
    config.width = width;
    config.height = height;
    config.raySteps = static_cast<uint32_t>(world.raySteps);
    config.debrisCount = static_cast<uint32_t>(debrisCount);
    config.debrisEnabled = world.debrisEnabled;
    config.singleRun = singleRun && stressLoops == 0;  // a stress test is many runs
    config.deterministic = deterministic;
    config.stressLoops = stressLoops;
    config.testLoopSeconds = testLoopSeconds;
    StartBenchmark(app.bench, world, config);
    app.platform->ShowBenchmarkRunning(true);
}

void EndBenchmarkByAbort(App& app)
{
    if (!AbortBenchmark(app.bench, app.world, *app.platform)) {
        return;
    }
    app.platform->SetAutoplayChecked(false);
    app.platform->ShowBenchmarkRunning(false);
    if (!app.bench.runs.empty() && !app.bench.reportWritten) {
        // No report to open: the box is where the recorded runs show.
        app.platform->ShowBenchmarkSummary(BuildBenchmarkSummary(app.bench, true));
    }
}

void EndBenchmarkByDeviceLoss(App& app, const std::string& reason)
{
    if (!app.bench.Running()) {
        return;
    }
    app.bench.endedByDeviceLoss = DeviceLossNote(app.bench, reason);
    app.platform->DebugOutput(("Benchmark: " + app.bench.endedByDeviceLoss + "\n").c_str());
    EndBenchmarkByAbort(app);
}

void EndBenchmarkByFailure(App& app, const std::string& failure)
{
    if (!app.bench.Running()) {
        return;
    }
    app.platform->DebugOutput(("Benchmark: Ended by a failure: " + failure.substr(0, failure.find('\n')) + "\n").c_str());
    EndBenchmarkByAbort(app);
}

void RefreshTelemetry(App& app)
{
    TelemetryTexts texts = BuildTelemetryTexts(app.world, app.timing.fps, app.width, app.height, app.gpu.hdrEnabled);
    texts.gpu = GpuPassText(app.timing.gpuPasses);
    app.platform->ShowTelemetry(texts);
}

void ApplyStartupConfiguration(App& app, const StartupConfiguration& config)
{
    app.width = config.width;
    app.height = config.height;
    app.presentMode = config.presentMode;
    app.start.benchmarkAtStart = config.benchmarkAtStart;
    app.start.singleRun = config.singleRun;
    app.start.deterministic = config.deterministic;
}

void OnPanelCommand(App& app, int id, bool checked)
{
    using Kind = PanelCommand::Kind;
    World& world = app.world;
    Platform& platform = *app.platform;
    const PanelCommand command = CommandFor(id);
    if (app.bench.Running() && command.kind != Kind::Abort) {
        return;  // the work under measurement stays as the benchmark started it
    }
    switch (command.kind) {
    case Kind::None: break;
    case Kind::Resize:
    case Kind::ResizeToScreen: {
        uint32_t w = command.width;
        uint32_t h = command.height;
        if (command.kind == Kind::ResizeToScreen) {
            int sw = 0;
            int sh = 0;
            platform.PrimaryScreenSize(sw, sh);
            w = static_cast<uint32_t>(sw > 0 ? sw : 0);
            h = static_cast<uint32_t>(sh > 0 ? sh : 0);
        }
        try {
            platform.SetMainWindowClientSize(w, h);
        } catch (const std::exception&) {
            // A failed resize has been reported by the resize itself; the panel stays usable.
        }
        break;
    }
    case Kind::Level: LoadLevel(app, command.value); break;
    case Kind::DebrisPreset:
        world.debrisCount = DebrisPresetCount(world.debrisCap, command.value);
        platform.RefreshPanelControls();
        break;
    case Kind::Spawn: ApplyWorldEffects(app, SpawnBall(world, command.value)); break;
    case Kind::Autoplay:
        world.autoplay = checked;
        if (checked && !world.ballLaunched) {
            LaunchBall(world);
        }
        break;
    case Kind::Debris: world.debrisEnabled = checked; break;
    case Kind::Launch:
        // A command-line run measures what its command line asked for, once.
        if (app.start.unattended) {
            break;
        }
        if (const std::optional<DialogChoice> choice = platform.AskLaunchChoice()) {
            StartBenchmarkFromLaunchChoice(app, *choice);
        }
        break;
    case Kind::Abort:
        EndBenchmarkByAbort(app);
        if (app.start.unattended) {
            // A benchmark started from the command line ends the program with
            // it, the files of the runs so far written: nobody is there to
            // close the window.
            app.start.exitCode = exit_code::kNotCompleted;
            platform.EndProgram();
        }
        break;
    }
}

void StartBenchmarkFromLaunchChoice(App& app, const DialogChoice& choice)
{
    const StartupConfiguration config = ConfigurationFor(choice);
    app.platform->SetMainWindowClientSize(config.width, config.height);
    if (config.deterministic) {
        LoadLevel(app, kZivoLevel);
        app.world.paddleX = 0.0f;
        app.world.random.Seed(kDeterministicSeed);
    } else {
        LoadLevel(app, 0);
    }
    StartConfiguredBenchmark(app, config.width, config.height, config.debrisCount, config.singleRun,
                             config.deterministic);
}
