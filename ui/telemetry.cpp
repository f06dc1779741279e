#include "ui/telemetry.h"

#include <cstdint>
#include <cwchar>

#include "game/world.h"

namespace {

std::wstring OneDecimal(double value)
{
    wchar_t buffer[64];
    std::swprintf(buffer, sizeof(buffer) / sizeof(buffer[0]), L"%.1f", value);
    return buffer;
}

}  // namespace

std::wstring ResolutionText(uint32_t width, uint32_t height)
{
    return L"Current: " + std::to_wstring(width) + L"x" + std::to_wstring(height);
}

TelemetryTexts BuildTelemetryTexts(const World& world, double fps, uint32_t width, uint32_t height, bool hdrEnabled)
{
    TelemetryTexts texts;
    texts.title = L"Orvalis Benchmark DX12 - Zandor | FPS: " + std::to_wstring(static_cast<int64_t>(fps));
    if (hdrEnabled) {
        texts.title += L" | HDR ON";
    }
    texts.fps = L"FPS: " + OneDecimal(fps);
    texts.bricks = L"Current Bricks: " + std::to_wstring(world.bricksLeft);
    texts.debris = L"Current Debris: " + std::to_wstring(world.activeDebris);
    texts.score = L"Score: " + std::to_wstring(world.score);
    texts.lives = L"Lives: " + std::to_wstring(world.lives);
    texts.resolution = ResolutionText(width, height);
    return texts;
}

void AddToGpuPassWindow(GpuPassWindow& window, const GpuPassTimes& times)
{
    window.physicsMsSum += times.physicsMs;
    window.renderMsSum += times.renderMs;
    window.samples += 1;
}

void CloseGpuPassWindow(GpuPassWindow& window)
{
    window.averaged = window.samples > 0;
    if (window.averaged) {
        const double n = static_cast<double>(window.samples);
        window.average = GpuPassTimes{window.physicsMsSum / n, window.renderMsSum / n};
    }
    window.physicsMsSum = 0.0;
    window.renderMsSum = 0.0;
    window.samples = 0;
}

std::wstring GpuPassText(const GpuPassWindow& window)
{
    if (!window.averaged) {
        return {};
    }
    wchar_t buffer[96];
    std::swprintf(buffer, sizeof(buffer) / sizeof(buffer[0]), L"GPU: physics %.2f ms, render %.2f ms",
                  window.average.physicsMs, window.average.renderMs);
    return buffer;
}
