// Frame times of the GPU backend under Wine, for scripts/measure-fps.sh and
// scripts/measure-timestamp-cost.sh (not a test: it prints figures, it judges nothing).
//   OrvalisFrameTimer.exe --measure LEVEL DEBRIS RAYSTEPS SECONDS [program|reference|fill [MINFRAMES]]
//     one still scene of LEVEL (eight balls, debris bursts) at 854 x 480 drawn for SECONDS and at least
//     MINFRAMES (2) frames by that renderer: the frame rate and the median GPU time per pass
//   OrvalisFrameTimer.exe --timestamp-cost LEVEL DEBRIS RAYSTEPS SECONDS PAIRS
//     the same scene in PAIRS pairs of SECONDS with and without GPU timestamps, and the ratios
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/win32_platform.h"
#include "game/levels.h"
#include "game/spawning.h"
#include "tests/gpu/backend_scene.h"

namespace {

// LEVEL with eight balls and DEBRIS / 8 bursts alive, handed over brick after brick (several to a
// brick when the level has fewer) within half a second of game time so that all of them still shine,
// drawn still by `renderer` and timed. The bricks stay: the rows of one level differ only in debris.
void Measure(Backend& b, int level, int debris, int raySteps, double seconds, const std::string& renderer, long minFrames)
{
    Apply(b, BuildLevel(b.world, level));
    World& world = b.world;
    world.autoplay = true;
    LaunchBall(world);
    for (int i = 0; i < 3; ++i) {
        Apply(b, SpawnBall(world, kSpawnDouble));  // 1 -> 2 -> 4 -> 8 balls
    }
    world.raySteps = raySteps;
    const int bursts = debris / kDebrisBurst;
    HandOverBursts(b, Bursts{debris, bursts, 0, world.bricksTotal, 1, false},
                   std::min(1.0f / 120.0f, 0.5f / static_cast<float>(std::max(bursts, 1))));
    Advance(b, 0.0f);  // the still frame: no burst starts, nothing moves
    const ComPtr<ID3D12PipelineState> pipeline = renderer == "program"     ? b.gpu.d3d->renderPipeline
                                                 : renderer == "reference" ? TestPipeline(b.gpu, L"reference_renderer.hlsl")
                                                                           : TestPipeline(b.gpu, L"fill_only.hlsl");
    WithRenderer(b.gpu, pipeline, [&] {
        Draw(b);  // the first frame pays for the pipeline in the driver
        WaitForGpu(b.gpu);
        std::printf("measure: timing\n");
        std::fflush(stdout);
        const double start = Seconds();
        long frames = 0;
        while (Seconds() - start < seconds || frames < minFrames) {
            Draw(b);
            if (frames++ == 0) {
                b.passTimes.clear();  // the frames before the timing, which this one collected
            }
        }
        WaitForGpu(b.gpu);
        const double elapsed = Seconds() - start;
        std::printf("measure: %s renderer, level %d, debris %d, ray steps %d, %ux%u: %ld frames in %.1f s = %.2f FPS"
                    " (live debris %d, balls %d)\n",
                    renderer.c_str(), level, debris, raySteps, b.surface.width, b.surface.height, frames, elapsed,
                    static_cast<double>(frames) / elapsed, DebrisDrawCount(world), CountActiveBalls(world));
    });
}

void PrintPassTimes(std::vector<GpuPassTimes> times)
{
    const auto median = [&times](double GpuPassTimes::*pass) {
        std::sort(times.begin(), times.end(), [pass](const GpuPassTimes& x, const GpuPassTimes& y) { return x.*pass < y.*pass; });
        return times.empty() ? 0.0 : times[times.size() / 2].*pass;
    };
    std::printf("timestamps: median physics %.3f ms, render %.3f ms over %zu frames\n", median(&GpuPassTimes::physicsMs),
                median(&GpuPassTimes::renderMs), times.size());
}

// Blocks with and without timestamps in alternating order, so the machine's other work falls on both.
void MeasureTimestampCost(Backend& b, int level, int debris, int raySteps, double seconds, int pairs)
{
    Measure(b, level, debris, raySteps, 1.0, "program", 2);  // sets the still scene up
    const uint64_t frequency = b.gpu.timestamps.frequency;
    const auto frameMs = [&b, frequency, seconds](bool timestamps) {
        StartGpuTimestamps(b.gpu.timestamps, timestamps ? frequency : 0);
        WaitForGpu(b.gpu);
        const double start = Seconds();
        long frames = 0;
        while (Seconds() - start < seconds || frames < 2) {
            Draw(b);
            ++frames;
        }
        return 1000.0 * (Seconds() - start) / static_cast<double>(frames);
    };
    std::vector<double> ratios;
    for (int pair = 1; pair <= pairs; ++pair) {
        const bool withFirst = pair % 2 == 1;
        const double first = frameMs(withFirst), second = frameMs(!withFirst);
        const double with = withFirst ? first : second, without = withFirst ? second : first;
        ratios.push_back(with / without);
        std::printf("cost: pair %d (%s first): with timestamps %.3f ms, without %.3f ms a frame, ratio %.4f\n", pair,
                    withFirst ? "with" : "without", with, without, ratios.back());
    }
    std::sort(ratios.begin(), ratios.end());
    const size_t n = ratios.size();
    const double median = n == 0 ? 0.0 : n % 2 == 1 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2.0;
    std::printf("cost: median frame time with / without timestamps %.4f (%+.2f %%) over %zu pairs\n", median,
                (median - 1.0) * 100.0, n);
    PrintPassTimes(b.passTimes);
    std::fflush(stdout);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int)
{
    const std::wstring arguments = commandLine != nullptr ? commandLine : L"";
    Win32Platform platform;
    App app(platform);
    platform.Attach(&app);
    int level = 0, debris = 0, raySteps = 72, pairs = 0;
    double seconds = 0.0;
    wchar_t renderer[32] = L"program";
    long minFrames = 2;
    const bool cost = std::swscanf(arguments.c_str(), L"--timestamp-cost %d %d %d %lf %d", &level, &debris, &raySteps,
                                   &seconds, &pairs) == 5;
    if (!cost && std::swscanf(arguments.c_str(), L"--measure %d %d %d %lf %31ls %ld", &level, &debris, &raySteps, &seconds,
                              renderer, &minFrames) < 4) {
        std::fprintf(stderr, "usage: OrvalisFrameTimer.exe --measure LEVEL DEBRIS RAYSTEPS SECONDS [RENDERER [MINFRAMES]]\n"
                             "       OrvalisFrameTimer.exe --timestamp-cost LEVEL DEBRIS RAYSTEPS SECONDS PAIRS\n");
        return 2;
    }
    try {
        Backend b;
        OpenBackend(app, instance, b);
        CreatePipelines(b.gpu);
        if (cost) {
            MeasureTimestampCost(b, level, debris, raySteps, seconds, pairs);
        } else {
            Measure(b, level, debris, raySteps, seconds, std::string(renderer, renderer + std::wcslen(renderer)), minFrames);
            PrintPassTimes(b.passTimes);
        }
        WaitForGpu(b.gpu);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "measure: failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
