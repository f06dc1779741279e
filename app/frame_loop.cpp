#include "app/frame_loop.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "app/app.h"
#include "app/frame.h"
#include "app/gpu_commands.h"
#include "app/main_window.h"
#include "gpu/d3d_backend.h"

void RunFrame(App& app)
{
    const int64_t now = app.platform->ClockNanoseconds();
    const float rawStep = static_cast<float>(now - app.timing.lastFrameTime) / 1e9f;
    app.timing.lastFrameTime = now;
    const float step = std::clamp(rawStep, 0.0f, 0.05f);
    UpdateFrame(app, step, rawStep);
    RethrowWindowProcedureFailure();
    Render(app);
    RethrowWindowProcedureFailure();
}

void RunMessageLoop(App& app)
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
            if (app.start.unattended && !app.gpu.resizeFailure.empty()) {
                // Nobody will resize the window to bring the buffers back.
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

void ShowFatalError(const char* text)
{
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    MessageBoxA(nullptr, text, "Fatal error", MB_OK | MB_ICONERROR);
}
