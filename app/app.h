#pragma once
#include <cstdint>

#include "app/platform.h"
#include "bench/recorder.h"
#include "game/world.h"
#include "gpu/gpu_objects.h"
#include "gpu/present_mode.h"

// Window and control handles are opaque pointers in the portable core; the
// Windows build stores HWNDs and GDI handles in them.
using WindowHandle = void*;

// The control panel's windows. The panel's GDI objects are owned by the
// Windows build, which deletes them when the App goes.
struct PanelHandles {
    WindowHandle panelWindow = nullptr;
    WindowHandle fpsLabel = nullptr;
    WindowHandle bricksLabel = nullptr;
    WindowHandle debrisLabel = nullptr;
    WindowHandle scoreLabel = nullptr;
    WindowHandle livesLabel = nullptr;
    WindowHandle resolutionLabel = nullptr;
};

// The frame clock and the frame-rate window. (The deterministic run's tick
// accumulator belongs to the world: World::stepAccumulator.)
struct FrameTiming {
    int64_t lastFrameTime = 0;  // steady-clock nanoseconds of the previous frame
    uint64_t fpsFrames = 0;     // frames in the open frame-rate window
    double fpsSeconds = 0.0;    // real seconds in the open window
    double fps = 0.0;           // rate of the last closed window
};

// Written by the startup window, read by initialisation.
struct StartRequests {
    bool benchmarkAtStart = false;
    bool singleRun = false;
    bool deterministic = false;
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
