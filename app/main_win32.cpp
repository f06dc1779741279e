// Entry point of OrvalisBench.exe: start-up, the frame loop and tear-down.
#include <windows.h>

#include <exception>

#include "app/app.h"
#include "app/commands.h"
#include "app/frame_loop.h"
#include "app/main_window.h"
#include "app/win32_platform.h"
#include "bench/benchmark.h"
#include "game/levels.h"
#include "gpu/d3d_backend.h"
#include "ui/startup_dialog.h"

namespace {

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
    app.timing.lastFrameTime = app.platform->ClockNanoseconds();

    if (start.benchmarkAtStart) {
        const ResolutionPreset& preset = resolutionPresets[dialogChoice.resolutionIndex];
        StartConfiguredBenchmark(app, preset.width, preset.height, debrisPresetCounts[dialogChoice.debrisIndex],
                                 start.singleRun, start.deterministic);
        app.start.benchmarkAtStart = false;
    }
    return true;
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
    RunMessageLoop(app);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    try {
        return RunProgram(instance);
    } catch (const std::exception& e) {
        // The App is gone by now; theApp was cleared before it went.
        ShowFatalError(e.what());
    }
    return 0;
}
