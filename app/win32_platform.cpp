#include "app/win32_platform.h"

#include <shellapi.h>

#include "app/app.h"
#include "app/frame_clock.h"
#include "app/main_window.h"
#include "gpu/d3d_backend.h"
#include "ui/telemetry.h"

void Win32Platform::DebugOutput(const char* text)
{
    OutputDebugStringA(text);
}

void Win32Platform::ClearGpuDebris()
{
    if (app_ != nullptr) {
        ClearDebrisBuffer(app_->gpu);
    }
}

void Win32Platform::RefreshPanelControls()
{
    // The panel's sliders and value boxes follow the state once the panel
    // exists; without one there is nothing to refresh.
}

HWND Win32Platform::PanelControl(int id) const
{
    if (app_ == nullptr || app_->panel.panelWindow == nullptr) {
        return nullptr;
    }
    return GetDlgItem(static_cast<HWND>(app_->panel.panelWindow), id);
}

void Win32Platform::ShowBenchmarkRunning(bool running)
{
    if (HWND launch = PanelControl(panel_id::kLaunchBenchmark)) {
        ShowWindow(launch, running ? SW_HIDE : SW_SHOW);
    }
    if (HWND abort = PanelControl(panel_id::kAbort)) {
        ShowWindow(abort, running ? SW_SHOW : SW_HIDE);
    }
}

void Win32Platform::SetAutoplayChecked(bool checked)
{
    if (HWND box = PanelControl(panel_id::kAutoplay)) {
        SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

void Win32Platform::SetDebrisChecked(bool checked)
{
    if (HWND box = PanelControl(panel_id::kDebris)) {
        SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

void Win32Platform::ShowTelemetry(const TelemetryTexts& texts)
{
    if (app_ == nullptr) {
        return;
    }
    if (app_->mainWindow != nullptr) {
        SetWindowTextW(static_cast<HWND>(app_->mainWindow), texts.title.c_str());
    }
    const PanelHandles& p = app_->panel;
    const struct {
        WindowHandle label;
        const std::wstring* text;
    } labels[] = {{p.fpsLabel, &texts.fps},     {p.bricksLabel, &texts.bricks}, {p.debrisLabel, &texts.debris},
                  {p.scoreLabel, &texts.score}, {p.livesLabel, &texts.lives},   {p.resolutionLabel, &texts.resolution}};
    for (const auto& l : labels) {
        if (l.label != nullptr) {
            SetWindowTextW(static_cast<HWND>(l.label), l.text->c_str());
        }
    }
}

void Win32Platform::ShowBenchmarkSummary(const std::wstring& text)
{
    HWND owner = app_ != nullptr ? static_cast<HWND>(app_->mainWindow) : nullptr;
    MessageBoxW(owner, text.c_str(), L"Benchmark Finished", MB_OK);
}

void Win32Platform::OpenReport(const std::string& path)
{
    const std::wstring wide(path.begin(), path.end());
    ShellExecuteW(nullptr, nullptr, wide.c_str(), nullptr, nullptr, SW_SHOW);
}

std::tm Win32Platform::LocalTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    return local;
}

void Win32Platform::SetMainWindowClientSize(uint32_t w, uint32_t h)
{
    if (app_ != nullptr && app_->mainWindow != nullptr) {
        SetWindowSize(*app_, w, h);
    }
}

int64_t Win32Platform::ClockNanoseconds()
{
    // The counter itself, in every build: the standard library's steady clock
    // is the wall clock with some toolchains, and a change of the system time
    // must not reach the frame times.
    static const int64_t frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return static_cast<int64_t>(f.QuadPart);
    }();
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    return CounterNanoseconds(static_cast<int64_t>(count.QuadPart), frequency);
}

void Win32Platform::PrimaryScreenSize(int& w, int& h)
{
    w = GetSystemMetrics(SM_CXSCREEN);
    h = GetSystemMetrics(SM_CYSCREEN);
}
