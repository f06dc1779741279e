#pragma once
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "bench/benchmark_host.h"
#include "ui/startup_choices.h"

struct TelemetryTexts;

// What the portable operations on the App (app/frame.cpp, app/commands.cpp,
// and through BenchmarkHost the benchmark) ask of the operating system, the
// windows and the GPU: this seam and nothing else. The Windows build
// implements it with Win32 and the Direct3D backend (app/win32_platform.cpp);
// the native tests use a recording fake. The methods are named for what the
// program needs, not for the calls behind them. The benchmark's own needs
// (debugger output, local time, summary box, opening a report) are the
// BenchmarkHost part.
//
// The Windows-only part of app/ sits on the other side and calls the backend
// (gpu/d3d_backend.h) and Win32 directly, not through here: the entry point
// (main_win32.cpp), the frame loop (frame_loop.cpp, with the "Fatal error"
// box), the main window (main_window.cpp) and the GPU's adapters
// (gpu_commands.cpp: creating the GPU objects, DrawFrame, the resize with its
// "Resize Failed" box). What they decide is small (whether a failed resize
// shows its box, when a hidden window is asked again): what a frame draws is
// decided in UpdateFrame and gpu/frame_recording.*, and the GPU test program
// drives the backend and DrawFrame under Wine. The one GPU call the portable
// side makes, the debris clear a level build asks for, is ClearGpuDebris.
class Platform : public BenchmarkHost {
public:
    // Fill the GPU debris particle buffer with zeros and wait until the GPU is done.
    virtual void ClearGpuDebris() = 0;

    // The control panel's sliders and value boxes follow the current state.
    virtual void RefreshPanelControls() = 0;

    // The panel's launch/abort buttons: abort shown while a benchmark runs.
    virtual void ShowBenchmarkRunning(bool running) = 0;

    // The panel's "autoplay" and "physics debris" check boxes.
    virtual void SetAutoplayChecked(bool checked) = 0;
    virtual void SetDebrisChecked(bool checked) = 0;

    // The main window title and the panel's telemetry labels.
    virtual void ShowTelemetry(const TelemetryTexts& texts) = 0;

    // Resize the main window so that its client area is w x h (centred on the screen).
    virtual void SetMainWindowClientSize(uint32_t w, uint32_t h) = 0;

    // Size of the primary screen in pixels.
    virtual void PrimaryScreenSize(int& w, int& h) = 0;

    // The monotonic frame clock in nanoseconds (the high-resolution performance counter).
    virtual int64_t ClockNanoseconds() = 0;

    // Close the main window, which ends the program (after an unattended benchmark).
    virtual void EndProgram() = 0;

    // The modal "Benchmark Configuration" window; the confirmed choice, or
    // nothing when it was cancelled, closed or could not be shown.
    virtual std::optional<DialogChoice> AskLaunchChoice() = 0;
};

// A platform that does nothing: what the App talks to before the real one is attached.
class NullPlatform final : public Platform {
public:
    static NullPlatform& Instance();

    void DebugOutput(const char*) override {}
    void ClearGpuDebris() override {}
    void RefreshPanelControls() override {}
    void ShowBenchmarkRunning(bool) override {}
    void SetAutoplayChecked(bool) override {}
    void SetDebrisChecked(bool) override {}
    void ShowTelemetry(const TelemetryTexts&) override {}
    void ShowBenchmarkSummary(const std::wstring&) override {}
    void OpenReport(const std::string&) override {}
    std::tm LocalTime() override;
    void SetMainWindowClientSize(uint32_t, uint32_t) override {}
    void PrimaryScreenSize(int& w, int& h) override
    {
        w = 1920;
        h = 1080;
    }
    int64_t ClockNanoseconds() override { return 0; }
    std::optional<DialogChoice> AskLaunchChoice() override { return std::nullopt; }
    RunEnvironment DescribeEnvironment() override { return {}; }
    void EndProgram() override {}
};
