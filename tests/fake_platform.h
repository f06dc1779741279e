#pragma once
#include <string>
#include <tuple>
#include <vector>

#include "app/platform.h"
#include "ui/telemetry.h"

// A platform that records what the program asked of it.
class RecordingPlatform : public Platform {
public:
    std::vector<std::string> log;
    int debrisClears = 0;
    int panelRefreshes = 0;
    std::vector<bool> benchmarkRunningShown;
    std::vector<bool> autoplayChecks;
    std::vector<bool> debrisChecks;
    std::vector<TelemetryTexts> telemetry;
    std::vector<std::wstring> summaries;
    std::vector<std::string> openedReports;
    std::vector<std::pair<uint32_t, uint32_t>> windowSizes;
    std::tm now = [] {  // 2026-12-06 14:05:09
        std::tm t{};
        std::tie(t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec) = std::tuple(126, 11, 6, 14, 5, 9);
        return t;
    }();
    int screenWidth = 2560;
    int screenHeight = 1440;

    void DebugOutput(const char* text) override { log.emplace_back(text); }
    void ClearGpuDebris() override { ++debrisClears; }
    void RefreshPanelControls() override { ++panelRefreshes; }
    void ShowBenchmarkRunning(bool running) override { benchmarkRunningShown.push_back(running); }
    void SetAutoplayChecked(bool checked) override { autoplayChecks.push_back(checked); }
    void SetDebrisChecked(bool checked) override { debrisChecks.push_back(checked); }
    void ShowTelemetry(const TelemetryTexts& texts) override { telemetry.push_back(texts); }
    void ShowBenchmarkSummary(const std::wstring& text) override { summaries.push_back(text); }
    void OpenReport(const std::string& path) override { openedReports.push_back(path); }
    std::tm LocalTime() override { return now; }
    void SetMainWindowClientSize(uint32_t w, uint32_t h) override { windowSizes.emplace_back(w, h); }
    void PrimaryScreenSize(int& w, int& h) override
    {
        w = screenWidth;
        h = screenHeight;
    }
    int64_t ClockNanoseconds() override { return 0; }
    RunEnvironment DescribeEnvironment() override { return environment; }
    void EndProgram() override { ++programEnds; }
    int programEnds = 0;
    RunEnvironment environment{"off", "Test Adapter", 0x10DE, 0x1234, 8589934592ull, "31.0.15.5222", "10.0.19045",
                               "BENCH-PC", "Orvalis, Bench.exe", 4242};
    std::optional<DialogChoice> AskLaunchChoice() override
    {
        ++launchWindows;
        return launchChoice;
    }
    int launchWindows = 0;
    std::optional<DialogChoice> launchChoice;  // what the launch window gives back

    // Log lines that start with the given prefix.
    std::vector<std::string> LinesStartingWith(const std::string& prefix) const;
};
