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
    DrawFrame(app);
    RethrowWindowProcedureFailure();
}

namespace {

constexpr ULONGLONG kOcclusionCheckMs = 100;

// Nobody can see the window and no benchmark runs: nothing is drawn (a
// minimised window would otherwise render at full speed for nothing).
// Messages are served meanwhile, the window is asked ten times a second
// whether it shows again, and the wait counts as no frame. `nextCheck` is
// when to ask next, `waiting` whether the wait has begun.
void WaitWhileOccluded(App& app, ULONGLONG& nextCheck, bool& waiting)
{
    const ULONGLONG now = GetTickCount64();
    if (!waiting) {
        app.platform->DebugOutput("Frame loop: the window cannot be seen; drawing stops until it shows\n");
        waiting = true;
        nextCheck = now + kOcclusionCheckMs;
    }
    if (now < nextCheck) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(nextCheck - now), QS_ALLINPUT);
    } else {
        nextCheck = now + kOcclusionCheckMs;
        if (!MainWindowStillHidden(app)) {
            app.platform->DebugOutput("Frame loop: the window shows again; drawing goes on\n");
            waiting = false;
        }
    }
    app.timing.lastFrameTime = app.platform->ClockNanoseconds();
}

void PumpMessagesAndFrames(App& app)
{
    MSG msg{};
    app.timing.lastFrameTime = app.platform->ClockNanoseconds();
    bool waitingHidden = false;
    ULONGLONG nextOcclusionCheck = 0;
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
            // No resize brings back a lost device (whose loss names itself,
            // RethrowNamingDeviceLoss), and nobody will resize the window of a
            // command-line run: the runs so far are written, then it ends.
            const bool deviceLost = !DeviceLossText(app.gpu).empty();
            if (!app.gpu.resizeFailure.empty() && (app.start.unattended || deviceLost)) {
                if (!deviceLost) {
                    EndBenchmarkByFailure(app, app.gpu.resizeFailure);
                }
                throw std::runtime_error(app.gpu.resizeFailure);
            }
            // Nothing to draw into until a resize brings the buffers back: wait
            // for that message, and do not count the wait as a frame.
            WaitMessage();
            app.timing.lastFrameTime = app.platform->ClockNanoseconds();
            continue;
        }
        if (app.gpu.occluded && !app.bench.Running()) {
            WaitWhileOccluded(app, nextOcclusionCheck, waitingHidden);
            continue;
        }
        waitingHidden = false;
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
