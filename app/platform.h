#pragma once
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "bench/benchmark_host.h"
#include "ui/startup_choices.h"

struct TelemetryTexts;

// Everything the portable core asks of the operating system, the GPU and the
// windows goes through this one seam. The Windows build implements it with
// Win32, DXGI and Direct3D 12; the native tests use a recording fake. The
// methods are named for what the program needs, not for the calls behind them.
// The benchmark's own needs (debugger output, local time, summary box, opening
// a report) are the BenchmarkHost part.
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
