#include "app/frame_loop.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "app/app.h"
#include "app/commands.h"
#include "app/frame.h"
#include "app/gpu_commands.h"
#include "app/main_window.h"
#include "gpu/d3d_backend.h"

void RunFrame(App& app)
{
    const int64_t now = app.platform->ClockNanoseconds();
    const double rawStep = static_cast<double>(now - app.timing.lastFrameTime) * 1e-9;
    app.timing.lastFrameTime = now;
    const double step = std::clamp(rawStep, 0.0, 0.05);
    UpdateFrame(app, step, rawStep);
    RethrowWindowProcedureFailure();
    Render(app);
    RethrowWindowProcedureFailure();
}

namespace {

void PumpMessagesAndFrames(App& app)
{
    MSG msg{};
    app.timing.lastFrameTime = app.platform->ClockNanoseconds();
    for (;;) {
        if (msg.message == WM_QUIT) {
            WaitForGpu(app.gpu);
            return;
        }
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            RethrowWindowProcedureFailure();
            continue;
        }
        if (!CanRender(app.gpu)) {
            // Nobody will resize the window of a command-line run to bring the
            // buffers back, and no resize brings back a lost device.
            if (!app.gpu.resizeFailure.empty() && (app.start.unattended || !DeviceLossText(app.gpu).empty())) {
                throw std::runtime_error(app.gpu.resizeFailure);
            }
            // Nothing to draw into until a resize brings the buffers back: wait
            // for that message, and do not count the wait as a frame.
            WaitMessage();
            app.timing.lastFrameTime = app.platform->ClockNanoseconds();
            continue;
        }
        RunFrame(app);
    }
}

}  // namespace

void RunMessageLoop(App& app)
{
    try {
        PumpMessagesAndFrames(app);
    } catch (const std::exception&) {
        RethrowNamingDeviceLoss(app);
    }
}

void RethrowNamingDeviceLoss(App& app)
{
    try {
        throw;
    } catch (const std::exception& failure) {
        const std::string lost = DeviceLossText(app.gpu);
        if (lost.empty()) {
            throw;
        }
        // Nothing here waits for the GPU: the files are written from what the
        // benchmark holds, then the failure names why the device went.
        EndBenchmarkByDeviceLoss(app, lost);
        throw std::runtime_error(lost + "\n" + failure.what());
    }
}

void ShowFatalError(const char* text)
{
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    MessageBoxA(nullptr, text, "Fatal error", MB_OK | MB_ICONERROR);
}
