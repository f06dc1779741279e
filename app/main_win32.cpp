// Entry point of OrvalisBench.exe: start-up, the frame loop and tear-down.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <exception>

#include "app/app.h"
#include "app/commands.h"
#include "app/frame.h"
#include "app/main_window.h"
#include "app/win32_platform.h"
#include "bench/benchmark.h"
#include "game/levels.h"
#include "gpu/d3d_backend.h"
#include "ui/startup_dialog.h"

namespace {

int64_t ClockNanoseconds()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

// Window procedures reach the App through theApp. It is cleared before the App
// goes, on every path: the windows outlive the App while the "Fatal error" box
// runs its own message loop, and their messages must then find no App.
class AppBinding {
public:
    AppBinding() = default;
    AppBinding(const AppBinding&) = delete;
    AppBinding& operator=(const AppBinding&) = delete;
    ~AppBinding() { theApp = nullptr; }
    void Bind(App& app) { theApp = &app; }
};

bool Initialize(App& app, HINSTANCE instance, AppBinding& binding)
{
    if (CreateMainWindow(app, instance) == nullptr) {
        return false;
    }
    binding.Bind(app);

    CreateGpuObjects(app);
    CreatePipelines(app);

    const StartRequests& start = app.start;
    if (start.benchmarkAtStart && start.deterministic) {
        BuildLevel(app, kZivoLevel);
        app.world.random.Seed(kDeterministicSeed);
    } else {
        BuildLevel(app, 0);
    }
    ResetBallOnPaddle(app.world);
    app.timing.lastFrameTime = ClockNanoseconds();

    if (start.benchmarkAtStart) {
        const ResolutionPreset& preset = resolutionPresets[dialogChoice.resolutionIndex];
        StartConfiguredBenchmark(app, preset.width, preset.height, debrisPresetCounts[dialogChoice.debrisIndex],
                                 start.singleRun, start.deterministic);
        app.start.benchmarkAtStart = false;
    }
    return true;
}

void RunFrame(App& app)
{
    const int64_t now = ClockNanoseconds();
    const float rawStep = static_cast<float>(now - app.timing.lastFrameTime) / 1e9f;
    app.timing.lastFrameTime = now;
    const float step = std::clamp(rawStep, 0.0f, 0.05f);
    UpdateFrame(app, step, rawStep);
    Render(app);
}

int RunProgram(HINSTANCE instance)
{
    Win32Platform platform;
    App app(platform);
    AppBinding binding;  // declared after the App: theApp is cleared before the App is destroyed
    platform.Attach(&app);

    if (!ShowStartupDialog(app, instance)) {
        return 0;
    }
    if (!Initialize(app, instance, binding)) {
        return 0;
    }
    RethrowWindowProcedureFailure();

    MSG msg{};
    app.timing.lastFrameTime = ClockNanoseconds();
    for (;;) {
        if (msg.message == WM_QUIT) {
            WaitForGpu(app.gpu);
            return 0;
        }
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            RethrowWindowProcedureFailure();
            continue;
        }
        RunFrame(app);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    try {
        return RunProgram(instance);
    } catch (const std::exception& e) {
        // The App is gone by now; theApp was cleared before it went.
        MessageBoxA(nullptr, e.what(), "Fatal error", MB_OK | MB_ICONERROR);
    }
    return 0;
}
