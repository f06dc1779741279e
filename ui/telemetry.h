#pragma once
#include <string>

struct App;

// The main window title and the six telemetry labels of the control panel.
struct TelemetryTexts {
    std::wstring title;
    std::wstring fps;
    std::wstring bricks;
    std::wstring debris;
    std::wstring score;
    std::wstring lives;
    std::wstring resolution;
};

TelemetryTexts BuildTelemetryTexts(const App& app);

// Rebuilds the texts and shows them (title always, labels where they exist).
void RefreshTelemetry(App& app);
