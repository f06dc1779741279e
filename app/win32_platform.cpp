#include "app/win32_platform.h"

#include <shellapi.h>

#include <iterator>

#include "app/app.h"
#include "app/commands.h"
#include "app/frame_clock.h"
#include "app/main_window.h"
#include "gpu/d3d_backend.h"
#include "gpu/d3d_objects.h"
#include "ui/control_panel.h"
#include "ui/panel.h"
#include "ui/startup_dialog.h"
#include "ui/telemetry.h"

namespace {

std::string Narrow(const wchar_t* text)
{
    std::string result;
    for (; *text != L'\0'; ++text) {
        result += (*text >= 32 && *text < 127) ? static_cast<char>(*text) : '?';
    }
    return result;
}

}  // namespace

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
    if (app_ != nullptr) {
        ::RefreshPanelControls(app_->panel, app_->world);
    }
}

void Win32Platform::ShowBenchmarkRunning(bool running)
{
    if (app_ != nullptr) {
        ShowPanelBenchmarkRunning(app_->panel, running);
    }
}

void Win32Platform::SetAutoplayChecked(bool checked)
{
    if (app_ != nullptr) {
        SetPanelCheck(app_->panel, panel_id::kAutoplay, checked);
    }
}

void Win32Platform::SetDebrisChecked(bool checked)
{
    if (app_ != nullptr) {
        SetPanelCheck(app_->panel, panel_id::kDebris, checked);
    }
}

std::optional<DialogChoice> Win32Platform::AskLaunchChoice()
{
    if (app_ == nullptr || app_->mainWindow == nullptr) {
        return std::nullopt;
    }
    return ShowLaunchDialog(static_cast<HWND>(app_->mainWindow), static_cast<HWND>(app_->panel.panelWindow));
}

PanelHandles& Win32Platform::PanelWindows()
{
    return app_->panel;
}

World& Win32Platform::PanelSettings()
{
    return app_->world;
}

void Win32Platform::RunPanelCommand(int id, bool checked)
{
    OnPanelCommand(*app_, id, checked);
}

void Win32Platform::KeepMessageFailure(std::exception_ptr failure)
{
    KeepWindowProcedureFailure(std::move(failure));
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
                  {p.scoreLabel, &texts.score}, {p.livesLabel, &texts.lives},   {p.resolutionLabel, &texts.resolution},
                  {p.gpuLabel, &texts.gpu}};
    for (const auto& l : labels) {
        if (l.label != nullptr) {
            SetWindowTextW(static_cast<HWND>(l.label), l.text->c_str());
        }
    }
}

void Win32Platform::ShowBenchmarkSummary(const std::wstring& text)
{
    if (unattended_) {
        OutputDebugStringA(("Benchmark Finished\n" + Narrow(text.c_str())).c_str());
        return;
    }
    HWND owner = app_ != nullptr ? static_cast<HWND>(app_->mainWindow) : nullptr;
    // The box disables the main window; the panel too takes no click until
    // it is closed (a benchmark started from there would wait for it).
    const DisabledWhileOpen panelDisabled(app_ != nullptr ? static_cast<HWND>(app_->panel.panelWindow) : nullptr);
    MessageBoxW(owner, text.c_str(), L"Benchmark Finished", MB_OK);
}

void Win32Platform::OpenReport(const std::string& path)
{
    if (unattended_) {
        return;
    }
    const std::wstring wide(path.begin(), path.end());
    ShellExecuteW(nullptr, nullptr, wide.c_str(), nullptr, nullptr, SW_SHOW);
}

void Win32Platform::EndProgram()
{
    if (app_ != nullptr && app_->mainWindow != nullptr) {
        PostMessageW(static_cast<HWND>(app_->mainWindow), WM_CLOSE, 0, 0);
    }
}

namespace {

// The Windows version as the system itself reports it (GetVersionEx answers
// with what the program's manifest claims to support).
std::string WindowsVersion()
{
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0) {
        return "unknown";
    }
    return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
           std::to_string(info.dwBuildNumber);
}

// The computer's name as its owner set it (the DNS host name), else the
// NetBIOS name; empty when neither can be read.
std::string MachineName()
{
    wchar_t name[256] = {};
    DWORD size = static_cast<DWORD>(std::size(name));
    if (GetComputerNameExW(ComputerNameDnsHostname, name, &size) && size > 0) {
        return Narrow(name);
    }
    size = static_cast<DWORD>(std::size(name));
    return GetComputerNameW(name, &size) ? Narrow(name) : std::string();
}

// The file name the program was started from, "OrvalisBench.exe".
std::string ExecutableName()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    if (length == 0 || length >= std::size(path)) {
        return "OrvalisBench.exe";
    }
    const wchar_t* name = path;
    for (const wchar_t* at = path; *at != L'\0'; ++at) {
        if (*at == L'\\' || *at == L'/') {
            name = at + 1;
        }
    }
    return Narrow(name);
}

}  // namespace

RunEnvironment Win32Platform::DescribeEnvironment()
{
    RunEnvironment e;
    e.windowsVersion = WindowsVersion();
    e.machineName = MachineName();
    e.executableName = ExecutableName();
    e.processId = GetCurrentProcessId();
    if (app_ == nullptr) {
        return e;
    }
    static const char* const presentWords[3] = {"off", "on", "triple-buffer"};
    const uint32_t mode = static_cast<uint32_t>(app_->presentMode);
    e.presentMode = mode < 3 ? presentWords[mode] : std::to_string(mode);
    if (const D3DObjects* d = app_->gpu.d3d.get()) {
        e.adapter = Narrow(d->adapterDesc.Description);
        e.vendorId = d->adapterDesc.VendorId;
        e.deviceId = d->adapterDesc.DeviceId;
        e.dedicatedVideoMemory = d->adapterDesc.DedicatedVideoMemory;
        const auto v = static_cast<uint64_t>(d->driverVersion.QuadPart);
        e.driverVersion = std::to_string(v >> 48) + "." + std::to_string((v >> 32) & 0xFFFF) + "." +
                          std::to_string((v >> 16) & 0xFFFF) + "." + std::to_string(v & 0xFFFF);
    }
    return e;
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

int64_t PerformanceCounterNanoseconds(int64_t count)
{
    static const int64_t frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return static_cast<int64_t>(f.QuadPart);
    }();
    return CounterNanoseconds(count, frequency);
}

int64_t Win32Platform::ClockNanoseconds()
{
    // The counter itself, in every build: the standard library's steady clock
    // is the wall clock with some toolchains, and a change of the system time
    // must not reach the frame times.
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    return PerformanceCounterNanoseconds(static_cast<int64_t>(count.QuadPart));
}

void Win32Platform::PrimaryScreenSize(int& w, int& h)
{
    w = GetSystemMetrics(SM_CXSCREEN);
    h = GetSystemMetrics(SM_CYSCREEN);
}
