#pragma once
// The Windows implementation of the platform seam.
#include <windows.h>

#include "app/platform.h"

struct App;

class Win32Platform : public Platform {
public:
    void Attach(App* app) { app_ = app; }

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

private:
    HWND PanelControl(int id) const;

    App* app_ = nullptr;
};

// Control identifiers of the control panel that the program changes from outside it.
namespace panel_id {
inline constexpr int kAutoplay = 225;
inline constexpr int kDebris = 226;
inline constexpr int kLaunchBenchmark = 231;
inline constexpr int kAbort = 233;
}  // namespace panel_id
