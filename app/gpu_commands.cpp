#include "app/gpu_commands.h"

#include <windows.h>

#include <dxgi1_6.h>

#include "app/app.h"
#include "app/frame.h"
#include "app/win32_platform.h"
#include "bench/benchmark.h"
#include "bench/frame_log.h"
#include "gpu/d3d_backend.h"
#include "gpu/gpu_timing.h"
#include "ui/control_panel.h"

// The frame log keeps the Present call's flags as given; its tearing column reads this copy.
static_assert(kPresentAllowTearing == static_cast<uint32_t>(DXGI_PRESENT_ALLOW_TEARING));

namespace {

// The main window as the backend draws into it.
GpuSurface SurfaceOf(const App& app)
{
    return GpuSurface{app.mainWindow, app.width, app.height, app.presentMode, app.tearingSupported};
}

}  // namespace

void CreateGpuForMainWindow(App& app)
{
    GpuSurface surface = SurfaceOf(app);
    CreateGpuObjects(app.gpu, surface);
    app.tearingSupported = surface.tearingSupported;
}

void DrawFrame(App& app)
{
    World& world = app.world;
    const FrameInputs frame{app.frameConstants, world.bricksDirty ? &world.bricks : nullptr};
    GpuPassTimesList finished;
    if (Render(app.gpu, SurfaceOf(app), frame, finished)) {
        world.bricksDirty = false;
        const PresentTiming& p = app.gpu.lastPresent;
        RecordPresent(app.bench, PresentCall{p.frame, PerformanceCounterNanoseconds(p.counterBefore),
                                             PerformanceCounterNanoseconds(p.counterAfter), p.syncInterval, p.flags});
    }
    for (const GpuPassTimes& times : finished) {
        ReportGpuPassTimes(app, times);
    }
    // A run keeps the most video memory the program used; asked only while a benchmark runs.
    if (app.bench.Running()) {
        if (const std::optional<LocalVideoMemory> memory = ReadLocalVideoMemory(app.gpu)) {
            RecordVideoMemory(app.bench, memory->usageBytes, memory->budgetBytes);
        }
    }
    if (app.gpu.occluded) {
        ReportOccludedFrame(app);
    }
}

bool MainWindowStillHidden(App& app)
{
    return StillOccluded(app.gpu, SurfaceOf(app));
}

bool OnWindowResized(App& app, uint32_t newWidth, uint32_t newHeight)
{
    GpuSurface surface = SurfaceOf(app);
    const ResizeOutcome outcome = OnResize(app.gpu, surface, newWidth, newHeight);
    app.width = surface.width;
    app.height = surface.height;
    // Nobody waits at a benchmark started from the command line, and a lost
    // device ends the program with its own text (RunMessageLoop).
    if (!outcome.failure.empty() && !app.start.unattended && DeviceLossText(app.gpu).empty()) {
        const DisabledWhileOpen panelDisabled(static_cast<HWND>(app.panel.panelWindow));
        MessageBoxA(static_cast<HWND>(app.mainWindow), outcome.failure.c_str(), "Resize Failed", MB_OK | MB_ICONWARNING);
    }
    return outcome.resized;
}
