#pragma once
#include <cstdint>
#include <string>

struct World;

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

// The texts for the last closed frame-rate window's rate, the world's
// counters and the current render size.
TelemetryTexts BuildTelemetryTexts(const World& world, double fps, uint32_t width, uint32_t height, bool hdrEnabled);
