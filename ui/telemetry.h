#pragma once
#include <cstdint>
#include <string>

#include "bench/gpu_timing.h"

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
    // "GPU: physics X.XX ms, render Y.YY ms", averaged over the last closed
    // frame-rate window; empty when that window got no GPU pass times.
    std::wstring gpu;
};

// "Current: 1280x720", the resolution label's text.
std::wstring ResolutionText(uint32_t width, uint32_t height);

// The texts for the last closed frame-rate window's rate, the world's
// counters and the current render size.
TelemetryTexts BuildTelemetryTexts(const World& world, double fps, uint32_t width, uint32_t height, bool hdrEnabled);

// The GPU pass times that arrived during the open frame-rate window, and the
// averages of the last closed one.
struct GpuPassWindow {
    double physicsMsSum = 0.0;
    double renderMsSum = 0.0;
    uint64_t samples = 0;
    bool averaged = false;  // the last closed window had pass times
    GpuPassTimes average;
};
void AddToGpuPassWindow(GpuPassWindow& window, const GpuPassTimes& times);
// Closes the window with the frame-rate window: its averages replace the last ones.
void CloseGpuPassWindow(GpuPassWindow& window);
std::wstring GpuPassText(const GpuPassWindow& window);
