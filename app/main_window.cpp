#include "app/main_window.h"

#include <exception>

#include "app/app.h"
#include "app/commands.h"
#include "app/gpu_commands.h"
#include "gpu/d3d_backend.h"
#include "ui/control_panel.h"

App* theApp = nullptr;

namespace {

std::exception_ptr windowProcedureFailure;

const wchar_t kMainWindowClass[] = L"TechDemoDX12";

struct OuterPlacement {
    int x, y, width, height;
};

// Outer size for a client area of w x h, centred on the primary screen.
OuterPlacement PlaceForClient(uint32_t w, uint32_t h)
{
    RECT rect{0, 0, static_cast<LONG>(w), static_cast<LONG>(h)};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    const int outerWidth = rect.right - rect.left;
    const int outerHeight = rect.bottom - rect.top;
    return {(GetSystemMetrics(SM_CXSCREEN) - outerWidth) / 2, (GetSystemMetrics(SM_CYSCREEN) - outerHeight) / 2,
            outerWidth, outerHeight};
}

}  // namespace

void MakeProcessDpiAware()
{
    using SetContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    const auto setContext = reinterpret_cast<SetContext>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (setContext != nullptr && setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) {
        return;
    }
    using SetAwareness = HRESULT(WINAPI*)(int);
    constexpr int kPerMonitorAware = 2;  // PROCESS_PER_MONITOR_DPI_AWARE
    if (HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        const auto setAwareness =
            reinterpret_cast<SetAwareness>(reinterpret_cast<void*>(GetProcAddress(shcore, "SetProcessDpiAwareness")));
        if (setAwareness != nullptr && SUCCEEDED(setAwareness(kPerMonitorAware))) {
            return;  // shcore.dll stays loaded for the process
        }
        FreeLibrary(shcore);
    }
    SetProcessDPIAware();
}

HWND CreateMainWindow(App& app, HINSTANCE instance)
{
    WNDCLASSW wc{};
    wc.style = 0;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kMainWindowClass;
    RegisterClassW(&wc);

    const OuterPlacement place = PlaceForClient(app.width, app.height);
    HWND window = CreateWindowExW(0, kMainWindowClass, L"Orvalis Benchmark - Zandor", WS_OVERLAPPEDWINDOW, place.x,
                                  place.y, place.width, place.height, nullptr, nullptr, instance, nullptr);
    if (window != nullptr) {
        app.mainWindow = window;
        ShowWindow(window, SW_SHOW);
    }
    return window;
}

void SetWindowSize(App& app, uint32_t clientWidth, uint32_t clientHeight)
{
    const OuterPlacement place = PlaceForClient(clientWidth, clientHeight);
    SetWindowPos(static_cast<HWND>(app.mainWindow), nullptr, place.x, place.y, place.width, place.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

AppBinding::~AppBinding()
{
    if (theApp != nullptr) {
        DetachControlPanel(static_cast<HWND>(theApp->panel.panelWindow));
    }
    theApp = nullptr;
}

void KeepWindowProcedureFailure(std::exception_ptr failure)
{
    if (!windowProcedureFailure) {
        windowProcedureFailure = std::move(failure);
    }
}

void RethrowWindowProcedureFailure()
{
    if (windowProcedureFailure) {
        std::exception_ptr failure = windowProcedureFailure;
        windowProcedureFailure = nullptr;
        std::rethrow_exception(failure);
    }
}

namespace {

LRESULT RouteMainWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        // A swap chain must not present into a window that no longer exists:
        // it goes first, while its window is still there.
        if (theApp != nullptr) {
            ReleaseSwapChain(theApp->gpu);
        }
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        if (theApp != nullptr) {
            OnKeyDown(*theApp, static_cast<uint64_t>(wParam), static_cast<int64_t>(lParam));
        }
        return 0;
    case WM_KEYUP:
        if (theApp != nullptr) {
            OnKeyUp(*theApp, static_cast<uint64_t>(wParam));
        }
        return 0;
    case WM_MOUSEMOVE:
        if (theApp != nullptr) {
            RECT client{};
            GetClientRect(window, &client);
            OnPointerMove(*theApp, static_cast<uint32_t>(LOWORD(lParam)), static_cast<uint32_t>(client.right));
        }
        return 0;
    case WM_GETMINMAXINFO:
        // A benchmark measures the size it started with: dragging the frame,
        // snapping or maximising cannot change it until the benchmark ends
        // (minimising can; the run notes that it was hidden).
        if (theApp != nullptr && theApp->bench.Running() && !IsIconic(window)) {
            RECT outer{};
            GetWindowRect(window, &outer);
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMinTrackSize = limits->ptMaxTrackSize = POINT{outer.right - outer.left, outer.bottom - outer.top};
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_SYSCOMMAND:
        if (theApp != nullptr && theApp->bench.Running() &&
            ((wParam & 0xFFF0) == SC_MAXIMIZE || (wParam & 0xFFF0) == SC_SIZE ||
             ((wParam & 0xFFF0) == SC_RESTORE && IsZoomed(window)))) {
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_LBUTTONDOWN:
        if (theApp != nullptr) {
            OnPointerClick(*theApp);
        }
        return 0;
    case WM_SIZE:
        if (theApp != nullptr && OnWindowResized(*theApp, LOWORD(lParam), HIWORD(lParam))) {
            RefreshTelemetry(*theApp);
        }
        return 0;
    case WM_HSCROLL:
        // Slider notifications of the control panel's trackbars.
        if (theApp != nullptr) {
            OnPanelTrackbar(theApp->panel, theApp->world, reinterpret_cast<HWND>(lParam));
        }
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return RouteMainWindowMessage(window, message, wParam, lParam);
    } catch (...) {
        KeepWindowProcedureFailure(std::current_exception());
        if (message == WM_DESTROY) {
            PostQuitMessage(0);
        }
        return 0;
    }
}
