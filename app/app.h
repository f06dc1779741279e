#pragma once
#include <cstdint>
#include <memory>

#include "app/platform.h"
#include "bench/recorder.h"
#include "game/world.h"
#include "gpu/frame_constants.h"
#include "gpu/gpu_objects.h"
#include "gpu/present_mode.h"
#include "ui/panel_handles.h"
#include "ui/telemetry.h"

// The frame clock and the frame-rate window. (The deterministic run's tick
// accumulator belongs to the world: World::stepAccumulator.)
struct FrameTiming {
    int64_t lastFrameTime = 0;  // steady-clock nanoseconds of the previous frame
    uint64_t fpsFrames = 0;     // frames in the open frame-rate window
    double fpsSeconds = 0.0;    // real seconds in the open window
    double fps = 0.0;           // rate of the last closed window
    GpuPassWindow gpuPasses;    // GPU pass times over the same window
};

// Written by the startup window (or the command line), read by initialisation.
struct StartRequests {
    bool benchmarkAtStart = false;
    bool singleRun = false;
    bool deterministic = false;
    // --stress: a stress test of so many loops (0: none), of testLoopSeconds
    // each where the tests shortened them (0: the configuration's run length).
    uint32_t stressLoops = 0;
    int32_t testLoopSeconds = 0;
    // Started from the command line: no window waits for a person, the report
    // is not opened, and the program ends when the benchmark does, with exitCode.
    bool unattended = false;
    int exitCode = 0;
};

// The one application object. It owns every piece of state for the whole run;
// operations are free functions that take it. Members are destroyed in reverse
// order of declaration, so the GPU objects go after everything that uses them.
struct App {
    explicit App(Platform& seam = NullPlatform::Instance()) : platform(&seam) {}
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // 1. Window size
    WindowHandle mainWindow = nullptr;
    uint32_t width = 1920;
    uint32_t height = 1080;

    // 2. GPU objects
    GpuObjects gpu;
    // The constant block as the last simulated frame assembled it; DrawFrame hands
    // it to the backend, which copies it into that frame's own GPU constant block.
    FrameConstants frameConstants{};

    // 3. Game world
    World world;

    // 4. Presentation settings
    PresentMode presentMode = PresentMode::VsyncOff;
    bool tearingSupported = false;

    // 5. Control panel
    PanelHandles panel;

    // 6. Frame timing
    FrameTiming timing;

    // 7. Benchmark
    BenchmarkRecorder bench;

    // 8. Start requests
    StartRequests start;

    // The seam to the operating system, GPU and windows (not owned).
    Platform* platform;
};
