#pragma once
// The Windows implementation of the platform seam.
#include <windows.h>

#include "app/platform.h"
#include "ui/control_panel.h"

struct App;

// Also the control panel's host: the panel reaches the App through it.
class Win32Platform : public Platform, public PanelHost {
public:
    void Attach(App* app) { app_ = app; }
    // A benchmark started from the command line: the summary goes to the
    // debugger output and the report is not opened.
    void SetUnattended(bool unattended) { unattended_ = unattended; }

    void DebugOutput(const char* text) override;
    void ClearGpuDebris() override;
    void RefreshPanelControls() override;
    void ShowBenchmarkRunning(bool running) override;
    void SetAutoplayChecked(bool checked) override;
    void SetDebrisChecked(bool checked) override;
    void ShowTelemetry(const TelemetryTexts& texts) override;
    void ShowBenchmarkSummary(const std::wstring& text) override;
    void OpenReport(const std::string& path) override;
    std::tm LocalTime() override;
    void SetMainWindowClientSize(uint32_t w, uint32_t h) override;
    void PrimaryScreenSize(int& w, int& h) override;
    int64_t ClockNanoseconds() override;
    std::optional<DialogChoice> AskLaunchChoice() override;
    RunEnvironment DescribeEnvironment() override;
    void EndProgram() override;

    PanelHandles& PanelWindows() override;
    World& PanelSettings() override;
    void RunPanelCommand(int id, bool checked) override;
    void KeepMessageFailure(std::exception_ptr failure) override;

private:
    App* app_ = nullptr;
    bool unattended_ = false;
};

// A reading of the high-resolution performance counter in the frame clock's
// nanoseconds (ClockNanoseconds is the counter read now).
int64_t PerformanceCounterNanoseconds(int64_t count);
