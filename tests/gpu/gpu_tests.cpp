// GPU tests of the Direct3D 12 backend under Wine (lavapipe): levels drawn and read back, then the frame loop.
//   OrvalisGpuTests.exe [--pipelines]   "gpu: N passed, M failed" (or "pipelines: ok" or the error)
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "app/app.h"
#include "app/commands.h"
#include "app/frame.h"
#include "app/frame_loop.h"
#include "app/gpu_commands.h"
#include "app/main_window.h"
#include "app/win32_platform.h"
#include "backend_scene.h"
#include "game/levels.h"

namespace {

// The program's platform with a faulty summary box: its loop delivers the key C, whose debris clear fails.
class FaultyPlatform final : public Win32Platform {
public:
    bool faultySummary = false;
    HWND mainWindow = nullptr;

    void ClearGpuDebris() override
    {
        if (faultySummary) {
            throw std::runtime_error("the debris clear failed");
        }
        Win32Platform::ClearGpuDebris();
    }
    void ShowBenchmarkSummary(const std::wstring& text) override
    {
        if (faultySummary) {
            SendMessageW(mainWindow, WM_KEYDOWN, 'C', 1);
        } else {
            Win32Platform::ShowBenchmarkSummary(text);
        }
    }
};

int passed = 0, failed = 0;

// "ok - NAME (DETAIL)" or "FAIL - NAME (DETAIL)", DETAIL formatted as printf does.
void Check(bool ok, const std::string& name, const char* format = "", ...)
{
    char detail[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(detail, sizeof(detail), format, args);
    va_end(args);
    ++(ok ? passed : failed);
    std::printf("%s - %s%s%s%s\n", ok ? "ok" : "FAIL", name.c_str(), *detail ? " (" : "", detail, *detail ? ")" : "");
    std::fflush(stdout);
}

std::string FailureOf(const std::function<void()>& run)
{
    try {
        run();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

// The bytes of a buffer or a 2D texture (its rows packed) in the unordered-access state.
std::vector<uint8_t> ReadBack(GpuObjects& gpu, ID3D12Resource* resource)
{
    const D3D12_RESOURCE_DESC desc = resource->GetDesc();
    const bool buffer = desc.Dimension == D3D12_RESOURCE_DIMENSION_BUFFER;
    D3D12_PLACED_SUBRESOURCE_FOOTPRINT layout{};
    UINT rows = 1;
    UINT64 rowBytes = desc.Width, total = desc.Width;
    if (!buffer) {
        gpu.d3d->device->GetCopyableFootprints(&desc, 0, 1, 0, &layout, &rows, &rowBytes, &total);
    }
    const ComPtr<ID3D12Resource> readback = CreateBuffer(gpu.d3d->device.Get(), D3D12_HEAP_TYPE_READBACK, total,
                                                         D3D12_RESOURCE_FLAG_NONE, D3D12_RESOURCE_STATE_COPY_DEST, "Create readback");
    WaitForGpu(gpu);
    SubmitAndWait(gpu, {"Reset allocator", "Reset list", "Close list"}, [&](ID3D12GraphicsCommandList* list) {
        D3D12_RESOURCE_BARRIER barrier = TransitionBarrier(resource, kStateUnorderedAccess, kStateCopySource);
        list->ResourceBarrier(1, &barrier);
        const D3D12_TEXTURE_COPY_LOCATION source{resource, D3D12_TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX, {}};
        const D3D12_TEXTURE_COPY_LOCATION target{readback.Get(), D3D12_TEXTURE_COPY_TYPE_PLACED_FOOTPRINT, {layout}};
        if (buffer) {
            list->CopyBufferRegion(readback.Get(), 0, resource, 0, total);
        } else {
            list->CopyTextureRegion(&target, 0, 0, 0, &source, nullptr);
        }
        barrier = TransitionBarrier(resource, kStateCopySource, kStateUnorderedAccess);
        list->ResourceBarrier(1, &barrier);
    });
    std::vector<uint8_t> bytes(static_cast<size_t>(rows * rowBytes));
    void* mapped = nullptr;
    ThrowIfFailed(readback->Map(0, nullptr, &mapped), "Map readback");
    for (UINT y = 0; y < rows; ++y) {
        std::memcpy(bytes.data() + y * rowBytes, static_cast<uint8_t*>(mapped) + layout.Offset + y * layout.Footprint.RowPitch,
                    static_cast<size_t>(rowBytes));
    }
    readback->Unmap(0, nullptr);
    return bytes;
}

// How many of the first `count` particle records (48 bytes) are alive: their life, at byte 28, above 0.
size_t AliveParticles(const std::vector<uint8_t>& bytes, size_t count)
{
    size_t alive = 0;
    for (size_t k = 0; k < count; ++k) {
        float life = 0.0f;
        std::memcpy(&life, bytes.data() + k * 48 + 28, sizeof(life));
        alive += life > 0.0f ? 1 : 0;
    }
    return alive;
}

float HalfToFloat(uint16_t h)
{
    const int exponent = (h >> 10) & 0x1f;
    const float mantissa = static_cast<float>(h & 0x3ff);
    const float value = exponent == 31 ? (mantissa != 0.0f ? NAN : INFINITY)
                        : exponent == 0 ? std::ldexp(mantissa, -24)
                                        : std::ldexp(mantissa + 1024.0f, exponent - 25);
    return (h & 0x8000) != 0 ? -value : value;
}

struct Image {
    uint32_t width = 0, height = 0;
    std::vector<float> rgba;
    const float* At(uint32_t x, uint32_t y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

Image ReadOutputTexture(GpuObjects& gpu)
{
    ID3D12Resource* texture = gpu.d3d->outputTexture.Get();
    const std::vector<uint8_t> bytes = ReadBack(gpu, texture);
    Image image{static_cast<uint32_t>(texture->GetDesc().Width), texture->GetDesc().Height, std::vector<float>(bytes.size() / 2)};
    for (size_t i = 0; i < image.rgba.size(); ++i) {
        image.rgba[i] = HalfToFloat(static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8));
    }
    return image;
}

// Where the camera at (0, 6, 46), looking at (0, 1.5, 0) and fitting 42 x 39 units there, shows (x, y, z).
const float* PixelAt(const Image& image, float x, float y, float z)
{
    const double forwardY = -4.5, forwardZ = -46.0, distance = std::hypot(forwardY, forwardZ);
    const double focal = std::fmin(0.5 * image.width * distance / 21.0, 0.5 * image.height * distance / 19.5);
    const double along = ((y - 6.0) * forwardY + (z - 46.0) * forwardZ) / distance;
    const double up = ((y - 6.0) * -forwardZ + (z - 46.0) * forwardY) / distance;
    return image.At(static_cast<uint32_t>(0.5 * image.width + x / along * focal),
                    static_cast<uint32_t>(0.5 * image.height - up / along * focal));
}

double Luminance(const float* c) { return 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2]; }

// How two images of one size differ in their colour channels, and their mean luminance.
struct Difference {
    double mean = 0.0;     // absolute difference
    size_t apart = 0;      // pixels apart by more than 0.05
    size_t worst = 0;      // the red of the pixel most apart
    double luminance[2] = {};
};

Difference Compare(const Image& a, const Image& b)
{
    Difference d;
    double most = -1.0;
    const double pixels = static_cast<double>(a.rgba.size() / 4);
    for (size_t i = 0; i < a.rgba.size(); i += 4) {
        double pixel = 0.0;
        for (size_t c = i; c < i + 3; ++c) {
            pixel = std::fmax(pixel, std::fabs(a.rgba[c] - b.rgba[c]));
            d.mean += std::fabs(a.rgba[c] - b.rgba[c]) / (3.0 * pixels);
        }
        d.apart += pixel > 0.05 ? 1 : 0;
        d.worst = pixel > most ? i : d.worst;
        most = std::fmax(most, pixel);
        d.luminance[0] += Luminance(&a.rgba[i]) / pixels;
        d.luminance[1] += Luminance(&b.rgba[i]) / pixels;
    }
    return d;
}

void RenderFrames(Backend& b, int frames)
{
    for (int i = 0; i < frames; ++i) {
        Advance(b, 1.0f / 60.0f);
        Draw(b);
    }
}

Image RenderStill(Backend& b)
{
    Advance(b, 0.0f);
    Draw(b);
    return ReadOutputTexture(b.gpu);
}

// LEVEL with its first ball in play near the bottom and a second among the bricks' rows, nothing moving.
void StillScene(Backend& b, int level)
{
    Apply(b, BuildLevel(b.world, level));
    World& world = b.world;
    world.autoplay = false;
    world.ballLaunched = true;
    world.balls[0].x = 6.0f;
    world.balls[0].y = -5.0f;
    world.balls[0].vx = world.balls[0].vy = 0.0f;
    Ball second = world.balls[0];
    second.x = -10.0f;
    second.y = -8.0f;
    Paint(second, kGreen);
    world.balls.push_back(second);
    world.raySteps = 72;
    world.brightness = 0.15f;
    world.ballGlow = 2.0f;
}

// Level 0: slot 0 a colour-0 brick at (-12.25, 14), slot 79 a colour-4 brick at (12.25, 0.5), front faces at z = 0.5.
struct PixelProbe {
    const char* name;
    float x, y, z;
    bool (*ok)(const float* rgb);
};
const PixelProbe kLevel0Probes[] = {
    {"a colour-0 brick shows where the camera sees it", -12.25f, 14.0f, 0.5f,
     [](const float* c) { return c[0] > 0.3f && c[0] > 2.0f * c[1] && c[0] > 2.0f * c[2]; }},
    {"a colour-4 brick shows in its own colour", 12.25f, 0.5f, 0.5f, [](const float* c) { return c[2] > 0.3f && c[2] > c[0]; }},
    {"the back wall shows where there is no brick", -4.0f, -9.0f, -0.9f, [](const float* c) { return Luminance(c) < 0.25; }},
    {"a ball is brighter than 1.0", 6.0f, -5.0f, 0.6f, [](const float* c) { return c[0] > 1.0f; }},
};

void CheckProbe(const Image& image, const PixelProbe& probe, const std::string& name, bool absent = false)
{
    const float* c = PixelAt(image, probe.x, probe.y, probe.z);
    Check(probe.ok(c) != absent, name, "%.3f, %.3f, %.3f", c[0], c[1], c[2]);
}

void RunRenderingChecks(Backend& b)
{
    StillScene(b, 0);
    Image image = RenderStill(b);
    Check(image.width == 854 && image.height == 480, "the output texture is 854 x 480", "%ux%u", image.width, image.height);
    for (const PixelProbe& probe : kLevel0Probes) {
        CheckProbe(image, probe, probe.name);
    }
    b.world.bricks[0].alive = 0.0f;
    b.world.bricksDirty = true;
    CheckProbe(RenderStill(b), kLevel0Probes[0], "a destroyed brick is no longer drawn", true);

    OnResize(b.gpu, b.surface, 1280, 720);
    StillScene(b, 0);
    image = RenderStill(b);
    DXGI_SWAP_CHAIN_DESC1 chain{};
    b.gpu.d3d->swapChain->GetDesc1(&chain);
    Check(b.surface.width == 1280 && b.surface.height == 720 && image.width == 1280 && image.height == 720 &&
              chain.Width == 1280 && chain.Height == 720 && chain.BufferCount == 2,
          "a resize to 1280 x 720 reaches the surface, the output texture and the swap chain",
          "surface %ux%u, texture %ux%u, swap chain %ux%u of %u buffers", b.surface.width, b.surface.height, image.width,
          image.height, chain.Width, chain.Height, chain.BufferCount);
    CheckProbe(image, kLevel0Probes[1], "the resized frame still shows the bricks");

    // Wider than 8192 pixels draws at 8192: a still wider window is the same size to the GPU (no drain, no new buffers).
    const bool wide = OnResize(b.gpu, b.surface, 9000, 600).resized;
    const uint64_t fence = b.gpu.d3d->fenceValues[b.gpu.d3d->frameIndex];
    const bool wider = OnResize(b.gpu, b.surface, 9100, 600).resized;
    Check(wide && !wider && fence == b.gpu.d3d->fenceValues[b.gpu.d3d->frameIndex] && b.surface.width == 8192,
          "a window wider than 8192 is drawn 8192 wide, and a wider one changes nothing", "resized %d then %d, %ux%u",
          wide, wider, b.surface.width, b.surface.height);
    OnResize(b.gpu, b.surface, 854, 480);
}

void RunSettingChecks(Backend& b)
{
    StillScene(b, 5);
    World& world = b.world;
    const auto with = [&b](auto& setting, auto value) {  // the scene keeps its setting
        const auto before = std::exchange(setting, value);
        Image image = RenderStill(b);
        setting = before;
        return image;
    };
    const Image one = with(world.raySteps, 1), seventyTwo = with(world.raySteps, 72), seventyThree = with(world.raySteps, 73);
    const double coarse = Compare(one, seventyTwo).mean, fine = Compare(seventyTwo, seventyThree).mean;
    Check(coarse > 0.01, "one ray step loses detail that 72 steps show", "difference %.4f", coarse);
    Check(fine < 0.002 && fine * 10.0 < coarse, "72 and 73 ray steps give nearly the same image", "difference %.4f", fine);
    const Difference light = Compare(with(world.brightness, 0.0f), with(world.brightness, 1.0f));
    Check(light.luminance[1] > 1.5 * light.luminance[0], "brightness 1.0 lights the scene more than 0.0",
          "luminance %.4f / %.4f", light.luminance[0], light.luminance[1]);
    // 2.5 units beside the first ball, in front of the wall.
    const double faint = Luminance(PixelAt(with(world.ballGlow, 0.5f), 8.5f, -5.0f, 0.0f));
    const double glowing = Luminance(PixelAt(with(world.ballGlow, 5.0f), 8.5f, -5.0f, 0.0f));
    Check(glowing > 0.3 && glowing > 3.0 * faint, "ball glow 5.0 lights what 0.5 leaves dark", "luminance %.4f / %.4f",
          faint, glowing);
}

// The image agrees with the brute-force reference's: list cuts move pixels slightly (mean under 0.0005); an object
// missing from a group's list would move dozens of its 64 pixels by over 0.05 (hence at most 40 such).
struct ReferenceScene {
    const char* name;
    int level;
    uint32_t width, height;
    Bursts bursts;
};
const ReferenceScene kReferenceScenes[] = {
    {"level 0", 0, 854, 480, {}},
    {"level 5", 5, 854, 480, {}},
    {"level 5 at 320 x 180", 5, 320, 180, {}},
    {"level 5 at 160 x 90", 5, 160, 90, {}},
    {"level 5 at 96 x 54", 5, 96, 54, {}},
    {"level 0 with 60 bursts at one brick", 0, 854, 480, {480, 60, 35}},
    {"level 5 with 60 bursts at one brick", 5, 854, 480, {480, 60, 500}},
    {"level 5 with 8192 debris spread over the field", 5, 854, 480, {8192, 1024, 0, 128, 7}},
};

void RunReferenceChecks(Backend& b)
{
    const ComPtr<ID3D12PipelineState> reference = TestPipeline(b.gpu, L"reference_renderer.hlsl");
    for (const ReferenceScene& scene : kReferenceScenes) {
        OnResize(b.gpu, b.surface, scene.width, scene.height);
        StillScene(b, scene.level);
        HandOverBursts(b, scene.bursts, 1.0f / 1000.0f);
        const Image fast = RenderStill(b);
        Image slow;
        WithRenderer(b.gpu, reference, [&] { slow = RenderStill(b); });
        const Difference d = Compare(fast, slow);
        const float* p = &fast.rgba[d.worst];
        const float* r = &slow.rgba[d.worst];
        Check(d.mean < 0.0005 && d.apart <= 40, std::string(scene.name) + " agrees with the brute-force reference",
              "difference %.6f, %zu pixels apart by over 0.05, live debris %d; most at (%zu, %zu): "
              "(%.3f, %.3f, %.3f) against (%.3f, %.3f, %.3f)",
              d.mean, d.apart, DebrisDrawCount(b.world), d.worst / 4 % fast.width, d.worst / 4 / fast.width, p[0], p[1],
              p[2], r[0], r[1], r[2]);
    }
    OnResize(b.gpu, b.surface, 854, 480);
}

// Video memory runs out at 1920 x 1080 (the output texture fails): back to the size that worked, not tried again.
void RunFailedResizeCheck(Backend& b)
{
    b.gpu.d3d->simulatedTexturePixelLimit = 1280 * 720;
    const ResizeOutcome outOfMemory = OnResize(b.gpu, b.surface, 1920, 1080);
    const uint64_t fence = b.gpu.d3d->fenceValues[b.gpu.d3d->frameIndex];
    const bool retried = OnResize(b.gpu, b.surface, 1920, 1080).resized || fence != b.gpu.d3d->fenceValues[b.gpu.d3d->frameIndex];
    b.gpu.d3d->simulatedTexturePixelLimit = 0;
    DXGI_SWAP_CHAIN_DESC1 chain{};
    b.gpu.d3d->swapChain->GetDesc1(&chain);
    StillScene(b, 0);
    const uint32_t drawn = RenderStill(b).width;
    Check(!outOfMemory.resized && outOfMemory.failure.find("Remaining at: 854x480\n") != std::string::npos && !retried &&
              chain.Width == 854 && drawn == 854 && b.surface.width == 854,
          "a resize out of memory goes back to the size that worked and is not tried again",
          "%s; retried %d, swap chain %ux%u, drawn %u wide", outOfMemory.failure.c_str(), retried, chain.Width,
          chain.Height, drawn);
}

// Every pixel of an output whose sides are not multiples of 8 is written, also after constants for another size
// (the fill-only renderer's alpha 0, which the program's renderer never writes, shows what is left).
void RunOddSizeCheck(Backend& b)
{
    StillScene(b, 0);
    OnResize(b.gpu, b.surface, 640, 360);
    Advance(b, 0.0f);
    OnResize(b.gpu, b.surface, 853, 479);
    WithRenderer(b.gpu, TestPipeline(b.gpu, L"fill_only.hlsl"), [&b] { Draw(b); });
    Draw(b);
    const Image image = ReadOutputTexture(b.gpu);
    size_t unwritten = 0;
    for (size_t i = 3; i < image.rgba.size(); i += 4) {
        unwritten += image.rgba[i] != 1.0f ? 1 : 0;
    }
    Check(image.width == 853 && image.height == 479 && unwritten == 0,
          "every pixel of an 853 x 479 output, resized after the update, is written", "%ux%u, %zu pixels unwritten",
          image.width, image.height, unwritten);
}

void RunDebrisChecks(Backend& b)
{
    Apply(b, BuildLevel(b.world, 0));
    b.world.debrisEnabled = true;
    b.world.explosionQueue.push_back(ExplosionEvent{1.0f + 100.0f * 2.0f, 0.0f, 5.0f});
    b.world.activeDebris = 8;
    RenderFrames(b, 3);
    const size_t lit = AliveParticles(ReadBack(b.gpu, b.gpu.d3d->debrisBuffer.Get()), 8);  // ring slot 0's eight
    Check(lit == 8, "a burst writes its eight particles into the debris buffer", "%zu alive", lit);

    // 40 hours into the game a float game time moves in steps of 1/64 s; the debris steps by the frame.
    const auto life = [&b] {
        float value = 0.0f;
        std::memcpy(&value, ReadBack(b.gpu, b.gpu.d3d->debrisBuffer.Get()).data() + 28, sizeof(value));
        return value;
    };
    b.world.gameTime = 40 * 3600.0;
    const float before = life();
    RenderFrames(b, 1);
    const float step = before - life();
    Check(std::fabs(step - 1.0f / 60.0f) < 1e-5f, "after 40 hours of game time a debris step is the frame's step",
          "life went down by %.7f s in a frame of %.7f s", step, 1.0f / 60.0f);

    Apply(b, ResetDebris(b.world));
    std::vector<uint8_t> bytes = ReadBack(b.gpu, b.gpu.d3d->debrisBuffer.Get());
    const auto nonZero = std::count_if(bytes.begin(), bytes.end(), [](uint8_t byte) { return byte != 0; });
    Check(nonZero == 0 && b.world.activeDebris == 0 && b.world.debrisCursor == 0,
          "ResetDebris zeroes the debris buffer and restarts the ring", "%d bytes not zero, active %d, cursor %d",
          static_cast<int>(nonZero), b.world.activeDebris, b.world.debrisCursor);

    // Slot 150 of a colour-1 brick codes 251, as does slot 50 of a colour-2 brick: the brick at the burst's place decides.
    const Brick& brick = b.world.bricks[1 * 8 + 3];  // row 1: colour 1
    b.world.explosionQueue.push_back(ExplosionEvent{151.0f + 100.0f, brick.x, brick.y});
    RenderFrames(b, 1);
    bytes = ReadBack(b.gpu, b.gpu.d3d->debrisBuffer.Get());
    float particle[4];  // colour and life
    std::memcpy(particle, bytes.data() + 150 * 8 * 48 + 16, sizeof(particle));
    const float expected = 0.62f * 2.5f;  // the green of colour 1 (1.00, 0.62, 0.15), times 2.5
    Check(particle[3] > 0.0f && std::fabs(particle[1] - expected) < 0.01f, "a burst on ring slot 150 takes its brick's colour",
          "%.3f, %.3f, %.3f, life %.3f", particle[0], particle[1], particle[2], particle[3]);
}

// GPU time per pass at 8 and 256 ray steps of frames drawn between two full waits, then without timestamps.
void RunPassTimeChecks(Backend& b)
{
    StillScene(b, 0);
    struct Timing {
        int steps;
        size_t frames = 0;
        double gpuMs = 0.0, elapsedMs = 0.0, fastestRenderMs = 1e9;  // the fastest: the least disturbed
        bool positive = true;
    } low{8}, high{256};
    for (Timing* t : {&low, &high}) {
        b.world.raySteps = t->steps;
        Advance(b, 0.0f);
        Draw(b);  // the first frame at these steps
        WaitForGpu(b.gpu);
        const double start = Seconds();
        Draw(b);  // collects every earlier frame (all have finished)
        b.passTimes.clear();
        for (int i = 1; i < 10; ++i) {
            Draw(b);
        }
        WaitForGpu(b.gpu);
        t->elapsedMs = 1000.0 * (Seconds() - start);
        Draw(b);  // collects the rest
        t->frames = b.passTimes.size();
        for (const GpuPassTimes& pass : b.passTimes) {
            t->positive = t->positive && pass.physicsMs > 0.0 && pass.renderMs > 0.0;
            t->gpuMs += pass.physicsMs + pass.renderMs;
            t->fastestRenderMs = std::min(t->fastestRenderMs, pass.renderMs);
        }
    }
    const char* figures = "8 steps: %zu frames, GPU %.1f of %.1f ms; 256 steps: %zu frames, GPU %.1f of %.1f ms";
    Check(low.positive && high.positive && low.frames == 10 && high.frames == 10,
          "every frame reports its GPU time for both passes once, above zero", figures, low.frames, low.gpuMs,
          low.elapsedMs, high.frames, high.gpuMs, high.elapsedMs);
    Check(high.fastestRenderMs > 1.15 * low.fastestRenderMs, "the render pass takes longer at 256 ray steps than at 8",
          "fastest %.4f / %.4f ms", low.fastestRenderMs, high.fastestRenderMs);
    Check(low.gpuMs <= low.elapsedMs && high.gpuMs <= high.elapsedMs,
          "the two passes together take no longer than the frames they were drawn in", figures, low.frames, low.gpuMs,
          low.elapsedMs, high.frames, high.gpuMs, high.elapsedMs);

    const uint64_t frequency = b.gpu.timestamps.frequency;
    StartGpuTimestamps(b.gpu.timestamps, 0);
    b.passTimes.clear();
    RenderFrames(b, 2);
    WaitForGpu(b.gpu);
    Draw(b);
    Check(b.passTimes.empty(), "a queue without timestamps draws and reports no GPU times", "%zu reported", b.passTimes.size());
    StartGpuTimestamps(b.gpu.timestamps, frequency);
    b.world.raySteps = 72;
}

// A benchmark of level 0 in its run 1, `elapsed` seconds in: at 40 the next sampled frame ends the run.
void BenchmarkInRun1(App& app, bool singleRun, float elapsed)
{
    LoadLevel(app, 0);
    StartConfiguredBenchmark(app, 854, 480, 80, singleRun, false);
    app.bench.phase = BenchmarkPhase::Recording;
    app.bench.currentRun = 1;
    app.bench.runElapsed = elapsed;
    app.bench.skipNextSample = false;
}

// The frame ending a pause re-sends the last block: its burst must not start again in the next run's cleared debris.
void RunPauseEndCheck(App& app)
{
    BenchmarkInRun1(app, false, 40.0f);
    app.world.explosionQueue.push_back(ExplosionEvent{1.0f + 100.0f * 2.0f, 0.0f, 5.0f});
    UpdateFrame(app, 1.0f / 60.0f, 1.0f / 60.0f);
    DrawFrame(app);
    const bool handedOver = app.bench.Pausing() && app.frameConstants.explosionCode > 0.5f;
    UpdateFrame(app, 0.05f, 2.0f);  // the whole pause: it ends, the level is built again
    DrawFrame(app);
    const size_t alive = AliveParticles(ReadBack(app.gpu, app.gpu.d3d->debrisBuffer.Get()), 8192);
    Check(handedOver && !app.bench.Pausing() && alive == 0, "the frame that ends a pause starts no burst in the cleared debris",
          "handed over in the pause %d, pausing after it %d, %zu particles alive", handedOver, app.bench.Pausing(), alive);
    EndBenchmarkByAbort(app);
}

void CALLBACK QuitWaitingLoop(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); }

// What the program's message loop ended with; a timer ends one that waits or goes on all the same.
std::string MessageLoopFailure(App& app)
{
    const UINT_PTR timer = SetTimer(nullptr, 0, 3000, QuitWaitingLoop);
    std::string failure = FailureOf([&app] { RunMessageLoop(app); });
    KillTimer(nullptr, timer);
    return failure;
}

// A benchmark started from the command line, half a second into its run 1 ...
void UnattendedInRun1(App& app, FaultyPlatform& platform, bool singleRun)
{
    BenchmarkInRun1(app, singleRun, 0.0f);
    app.start.unattended = true;
    platform.SetUnattended(true);
    for (int i = 0; i < 30; ++i) {
        UpdateFrame(app, 1.0f / 60.0f, 1.0f / 60.0f);
    }
}

// ... and the program started by a person again, without the files that benchmark wrote.
void BackFromUnattended(App& app, FaultyPlatform& platform)
{
    std::remove(app.bench.reportPath.c_str());
    std::remove(app.bench.resultsPath.c_str());
    app.start.unattended = false;
    platform.SetUnattended(false);
}

// After a failed resize recovery a command-line benchmark has nobody to resize the window: the loop ends with the
// failure's text once the run so far is written.
void RunUnattendedRecoveryFailureCheck(App& app, FaultyPlatform& platform)
{
    UnattendedInRun1(app, platform, true);
    app.gpu.resizeFailure = "Resize Error: ResizeBuffers (hr=0x887a0005)";
    app.gpu.d3d->renderTargetsUsable = false;  // as the failed recovery left it
    const std::string failure = MessageLoopFailure(app);
    const BenchmarkRecorder& bench = app.bench;
    Check(failure == app.gpu.resizeFailure && !bench.Running() && bench.runs.size() == 1 && bench.reportWritten &&
              bench.resultsWritten,
          "an unattended run that cannot draw writes the run so far and ends with the resize failure",
          "%s; %zu runs, report %d, results %d", failure.c_str(), bench.runs.size(), bench.reportWritten,
          bench.resultsWritten);
    BackFromUnattended(app, platform);
    app.gpu.resizeFailure.clear();
    app.gpu.d3d->renderTargetsUsable = true;
}

// A key dispatched by the summary box's loop inside a frame fails: that failure ends the frame before the rest runs.
void RunModalLoopFailureCheck(App& app, FaultyPlatform& platform)
{
    BenchmarkInRun1(app, true, 40.0f);
    platform.faultySummary = true;
    const uint64_t fenceBefore = app.gpu.d3d->fenceValues[app.gpu.d3d->frameIndex];
    const std::string failure = FailureOf([&app] { RunFrame(app); });
    platform.faultySummary = false;
    const uint64_t fence = app.gpu.d3d->fenceValues[app.gpu.d3d->frameIndex];
    Check(failure == "the debris clear failed" && fence == fenceBefore,
          "a failure inside the summary box's loop is the one reported and stops the frame before it is rendered",
          "%s; fence value %llu, before %llu", failure.c_str(), static_cast<unsigned long long>(fence),
          static_cast<unsigned long long>(fenceBefore));
}

std::string FileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The device is lost (its present fails as a removed device's does) in an unattended benchmark.
void RunDeviceLossChecks(App& app, FaultyPlatform& platform)
{
    UnattendedInRun1(app, platform, false);
    app.gpu.d3d->simulatedRemovalReason = DXGI_ERROR_DEVICE_HUNG;
    const std::string failure = MessageLoopFailure(app);
    app.gpu.d3d->simulatedRemovalReason = S_OK;
    WaitForGpu(app.gpu);  // the failed frame was submitted but not presented
    const std::string reason = "Device removed: 0x887a0006 DXGI_ERROR_DEVICE_HUNG (the GPU stopped responding and was reset)";
    Check(failure == reason + "\nPresent (hr=0x887a0005)", "a lost device ends the loop with its removal reason", "%s",
          failure.c_str());
    const std::string& note = app.bench.endedByDeviceLoss;
    const bool inReport = FileText(app.bench.reportPath).find(">" + note + "</div>") != std::string::npos;
    const bool inResults = FileText(app.bench.resultsPath).find("\"endedByDeviceLoss\": \"" + note + "\"") != std::string::npos;
    Check(note.rfind("Ended by a device loss in run 1 of 4, cut short at 0.5 s: " + reason, 0) == 0 &&
              app.bench.runs.size() == 1 && inReport && inResults,
          "the run so far is in the report and the results file, marked as ended by the loss",
          "%s; %zu runs kept, in the report %d, in the results file %d", note.c_str(), app.bench.runs.size(), inReport,
          inResults);
    BackFromUnattended(app, platform);
}

// A software adapter's last frame can outlast any fixed limit: a second queue waits 11 s for a fence signalled while
// another thread destroys its objects; the teardown waits for it.
struct TeardownWatch {
    GpuObjects gpu;
    ComPtr<ID3D12Fence> gate;
    HANDLE timer = nullptr, thread = nullptr;
    double waited = 0.0;
    TeardownWatch()
    {
        CreateDeviceObjects(gpu);
        ThrowIfFailed(gpu.d3d->device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&gate)), "Create gate");
        ThrowIfFailed(gpu.d3d->commandQueue->Wait(gate.Get(), 1), "Queue wait");
        CreateTimerQueueTimer(&timer, nullptr, [](void* fence, BOOLEAN) { static_cast<ID3D12Fence*>(fence)->Signal(1); },
                              gate.Get(), 11000, 0, WT_EXECUTEONLYONCE);
        thread = CreateThread(nullptr, 0, [](void* watch) -> DWORD {
            TeardownWatch& w = *static_cast<TeardownWatch*>(watch);
            const double start = Seconds();
            w.gpu.d3d.reset();
            w.waited = Seconds() - start;
            return 0;
        }, this, 0, nullptr);
    }
    ~TeardownWatch()  // after the other checks, or when one of them threw
    {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);  // after its call has returned
        Check(waited > 10.8, "the teardown waits for the GPU's last work, beyond 10 s", "%.1f s", waited);
    }
};

bool fatalBoxSeen = false;

void CALLBACK CloseFatalBox(HWND, UINT, UINT_PTR, DWORD)
{
    if (HWND box = FindWindowW(nullptr, L"Fatal error")) {
        fatalBoxSeen = true;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
}

// The window's destruction posts the quit message; a failure on that path still shows its box, not ending unseen.
void RunFatalBoxCheck()
{
    PostQuitMessage(0);
    const UINT_PTR timer = SetTimer(nullptr, 0, 250, CloseFatalBox);
    ShowFatalError("A failure while the window was going away");
    KillTimer(nullptr, timer);
    Check(fatalBoxSeen, "the Fatal error box shows even with a quit message waiting");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int)
{
    const std::wstring arguments = commandLine != nullptr ? commandLine : L"";
    FaultyPlatform platform;
    App app(platform);
    platform.Attach(&app);
    try {
        Backend b;
        OpenBackend(app, instance, b);
        platform.mainWindow = static_cast<HWND>(app.mainWindow);
        if (arguments.find(L"--pipelines") != std::wstring::npos) {
            try {
                CreatePipelines(b.gpu);
                std::printf("pipelines: ok\n");
            } catch (const std::exception& e) {
                std::printf("pipelines: %s\n", e.what());
            }
            return 0;
        }
        CreatePipelines(b.gpu);
        const TeardownWatch teardown;
        RunRenderingChecks(b);
        RunSettingChecks(b);
        RunReferenceChecks(b);
        RunDebrisChecks(b);
        RunFailedResizeCheck(b);
        RunOddSizeCheck(b);
        RunPassTimeChecks(b);
        // The program's own frame on the same objects and window.
        app.gpu = std::move(b.gpu);
        app.width = b.surface.width;
        app.height = b.surface.height;
        app.tearingSupported = b.surface.tearingSupported;
        {
            AppBinding binding;
            binding.Bind(app);
            RunPauseEndCheck(app);
            RunUnattendedRecoveryFailureCheck(app, platform);
            RunModalLoopFailureCheck(app, platform);
            RunDeviceLossChecks(app, platform);
        }
        WaitForGpu(app.gpu);
        RunFatalBoxCheck();
    } catch (const std::exception& e) {
        std::printf("FAIL - unexpected error: %s\n", e.what());
        ++failed;
    }
    std::printf("gpu: %d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}
