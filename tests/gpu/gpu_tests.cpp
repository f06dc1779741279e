// GPU tests of the Direct3D 12 backend, run under Wine with lavapipe. Built
// from the program's own gpu/ and game code: creates the device objects and
// resources, builds a level, renders frames and reads the results back.
//
//   OrvalisGpuTests.exe               the rendering, debris and resize checks
//   OrvalisGpuTests.exe --pipelines   only builds the pipelines and prints the
//                                     result ("pipelines: ok" or the error)
//   OrvalisGpuTests.exe --measure LEVEL DEBRIS SECONDS
//                                     plays LEVEL with autoplay and eight balls
//                                     for SECONDS at 854 x 480 and prints the
//                                     frame rate (a measured run, not a test)
#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cstring>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/commands.h"
#include "app/frame.h"
#include "app/frame_loop.h"
#include "app/main_window.h"
#include "app/win32_platform.h"
#include "bench/benchmark.h"
#include "game/levels.h"
#include "game/spawning.h"
#include "gpu/d3d_backend.h"
#include "gpu/d3d_objects.h"
#include "gpu/d3d_support.h"

namespace {

// The program's own platform, with two faults it can be told to have: a
// debris clear that fails, and a summary box whose message loop delivers the
// key C to the main window while it is open.
class FaultyPlatform final : public Win32Platform {
public:
    bool failDebrisClear = false;
    bool keyDuringSummary = false;

    void ClearGpuDebris() override
    {
        if (failDebrisClear) {
            throw std::runtime_error("the debris clear failed");
        }
        Win32Platform::ClearGpuDebris();
    }
    void ShowBenchmarkSummary(const std::wstring& text) override
    {
        if (keyDuringSummary && theApp != nullptr) {
            SendMessageW(static_cast<HWND>(theApp->mainWindow), WM_KEYDOWN, 'C', 1);
            return;
        }
        Win32Platform::ShowBenchmarkSummary(text);
    }
};

int passed = 0;
int failed = 0;

void Check(bool condition, const char* name, const std::string& detail = {})
{
    if (condition) {
        ++passed;
        std::printf("ok - %s\n", name);
    } else {
        ++failed;
        std::printf("FAIL - %s %s\n", name, detail.c_str());
    }
    std::fflush(stdout);
}

float HalfToFloat(uint16_t h)
{
    const uint32_t sign = (h >> 15) & 1u;
    const int exponent = (h >> 10) & 0x1f;
    const uint32_t mantissa = h & 0x3ffu;
    float value;
    if (exponent == 0) {
        value = std::ldexp(static_cast<float>(mantissa), -24);
    } else if (exponent == 31) {
        value = mantissa ? NAN : INFINITY;
    } else {
        value = std::ldexp(static_cast<float>(mantissa | 0x400u), exponent - 25);
    }
    return sign ? -value : value;
}

ComPtr<ID3D12Resource> ReadbackBuffer(App& app, UINT64 size)
{
    return CreateBuffer(app.gpu.d3d->device.Get(), D3D12_HEAP_TYPE_READBACK, size, D3D12_RESOURCE_FLAG_NONE,
                        D3D12_RESOURCE_STATE_COPY_DEST, "Create readback buffer");
}

// Records `record` on the program's command list, submits it and waits.
void Submit(App& app, const std::function<void(ID3D12GraphicsCommandList*)>& record)
{
    SubmitAndWait(app.gpu, SubmissionNames{"Reset allocator", "Reset list", "Close list"}, record);
}

struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<float> rgba;
    const float* At(uint32_t x, uint32_t y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

Image ReadOutputTexture(App& app)
{
    D3DObjects& d = *app.gpu.d3d;
    WaitForGpu(app.gpu);
    const D3D12_RESOURCE_DESC desc = d.outputTexture->GetDesc();
    D3D12_PLACED_SUBRESOURCE_FOOTPRINT footprint{};
    UINT64 total = 0;
    d.device->GetCopyableFootprints(&desc, 0, 1, 0, &footprint, nullptr, nullptr, &total);
    ComPtr<ID3D12Resource> readback = ReadbackBuffer(app, total);
    Submit(app, [&](ID3D12GraphicsCommandList* list) {
        const D3D12_RESOURCE_BARRIER toCopy = TransitionBarrier(d.outputTexture.Get(), kStateUnorderedAccess, kStateCopySource);
        list->ResourceBarrier(1, &toCopy);
        D3D12_TEXTURE_COPY_LOCATION dst{};
        dst.pResource = readback.Get();
        dst.Type = D3D12_TEXTURE_COPY_TYPE_PLACED_FOOTPRINT;
        dst.PlacedFootprint = footprint;
        D3D12_TEXTURE_COPY_LOCATION src{};
        src.pResource = d.outputTexture.Get();
        src.Type = D3D12_TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX;
        src.SubresourceIndex = 0;
        list->CopyTextureRegion(&dst, 0, 0, 0, &src, nullptr);
        const D3D12_RESOURCE_BARRIER back = TransitionBarrier(d.outputTexture.Get(), kStateCopySource, kStateUnorderedAccess);
        list->ResourceBarrier(1, &back);
    });
    Image image;
    image.width = static_cast<uint32_t>(desc.Width);
    image.height = desc.Height;
    image.rgba.resize(static_cast<size_t>(image.width) * image.height * 4);
    void* mapped = nullptr;
    ThrowIfFailed(readback->Map(0, nullptr, &mapped), "Map readback");
    const auto* bytes = static_cast<const uint8_t*>(mapped) + footprint.Offset;
    for (uint32_t y = 0; y < image.height; ++y) {
        const auto* row = reinterpret_cast<const uint16_t*>(bytes + static_cast<size_t>(y) * footprint.Footprint.RowPitch);
        for (uint32_t i = 0; i < image.width * 4; ++i) {
            image.rgba[(static_cast<size_t>(y) * image.width * 4) + i] = HalfToFloat(row[i]);
        }
    }
    readback->Unmap(0, nullptr);
    return image;
}

std::vector<uint8_t> ReadDebrisBuffer(App& app)
{
    D3DObjects& d = *app.gpu.d3d;
    const UINT64 size = 8192 * 48;
    ComPtr<ID3D12Resource> readback = ReadbackBuffer(app, size);
    Submit(app, [&](ID3D12GraphicsCommandList* list) {
        const D3D12_RESOURCE_BARRIER toCopy = TransitionBarrier(d.debrisBuffer.Get(), kStateUnorderedAccess, kStateCopySource);
        list->ResourceBarrier(1, &toCopy);
        list->CopyBufferRegion(readback.Get(), 0, d.debrisBuffer.Get(), 0, size);
        const D3D12_RESOURCE_BARRIER back = TransitionBarrier(d.debrisBuffer.Get(), kStateCopySource, kStateUnorderedAccess);
        list->ResourceBarrier(1, &back);
    });
    std::vector<uint8_t> bytes(size);
    void* mapped = nullptr;
    ThrowIfFailed(readback->Map(0, nullptr, &mapped), "Map readback");
    std::memcpy(bytes.data(), mapped, size);
    readback->Unmap(0, nullptr);
    return bytes;
}

// The pixel where the renderer draws a world point: the shader fits 40 units
// of height (or 42 of width) into the view, centred on (0, 2.5).
void WorldToPixel(const Image& image, float x, float y, uint32_t& px, uint32_t& py)
{
    const float w = static_cast<float>(image.width);
    const float h = static_cast<float>(image.height);
    const float scale = std::fmin(h / 40.0f, w / 42.0f);
    px = static_cast<uint32_t>(x * scale + 0.5f * w);
    py = static_cast<uint32_t>((2.5f - y) * scale + 0.5f * h);
}

std::string Rgb(const float* c)
{
    char text[96];
    std::snprintf(text, sizeof(text), "(%.3f, %.3f, %.3f)", c[0], c[1], c[2]);
    return text;
}

void RenderFrames(App& app, int frames)
{
    for (int i = 0; i < frames; ++i) {
        UpdateFrame(app, 1.0f / 60.0f, 1.0f / 60.0f);
        Render(app);
    }
}

void RunRenderingChecks(App& app)
{
    BuildLevel(app, 0);
    RenderFrames(app, 3);
    Image image = ReadOutputTexture(app);
    Check(image.width == 854 && image.height == 480, "the output texture is 854 x 480");

    // Level 0: slot 0 is a colour-0 brick at (-12.25, 14), slot 79 a colour-4 brick at (12.25, 0.5).
    uint32_t px, py;
    WorldToPixel(image, -12.25f, 14.0f, px, py);
    const float* red = image.At(px, py);
    Check(red[0] > 0.3f && red[0] > 2.0f * red[1] && red[0] > 2.0f * red[2], "a colour-0 brick shows where it stands",
          Rgb(red));
    WorldToPixel(image, 12.25f, 0.5f, px, py);
    const float* blue = image.At(px, py);
    Check(blue[2] > 0.3f && blue[2] > blue[0], "a colour-4 brick shows in its own colour", Rgb(blue));
    WorldToPixel(image, 0.0f, -6.0f, px, py);
    const float* background = image.At(px, py);
    Check(background[0] < 0.15f && background[1] < 0.15f && background[2] < 0.2f,
          "the background shows where there is no brick", Rgb(background));

    // A destroyed brick disappears with the next upload.
    app.world.bricks[0].alive = 0.0f;
    app.world.bricksDirty = true;
    RenderFrames(app, 2);
    image = ReadOutputTexture(app);
    WorldToPixel(image, -12.25f, 14.0f, px, py);
    const float* gone = image.At(px, py);
    Check(gone[0] < 0.2f, "a destroyed brick is no longer drawn", Rgb(gone));
}

void RunDebrisChecks(App& app)
{
    app.world.debrisEnabled = true;
    app.world.explosionQueue.push_back(ExplosionEvent{1.0f + 100.0f * 2.0f, 0.0f, 5.0f});
    app.world.activeDebris = 8;
    RenderFrames(app, 3);
    std::vector<uint8_t> bytes = ReadDebrisBuffer(app);
    bool anyNonZero = false;
    for (uint8_t b : bytes) {
        anyNonZero = anyNonZero || b != 0;
    }
    Check(anyNonZero, "a burst writes particles into the debris buffer");

    ResetDebris(app);
    bytes = ReadDebrisBuffer(app);
    bool allZero = true;
    for (uint8_t b : bytes) {
        allZero = allZero && b == 0;
    }
    Check(allZero, "after ResetDebris the debris buffer reads back all zeros");
    Check(app.world.activeDebris == 0 && app.world.debrisCursor == 0, "ResetDebris restarts the ring");
}

void RunResizeChecks(App& app)
{
    OnResize(app, 1280, 720);
    Check(app.width == 1280 && app.height == 720, "OnResize stores the new size");
    RenderFrames(app, 2);
    const Image image = ReadOutputTexture(app);
    Check(image.width == 1280 && image.height == 720, "after a resize the texture is 1280 x 720",
          std::to_string(image.width) + "x" + std::to_string(image.height));
    uint32_t px, py;
    WorldToPixel(image, 12.25f, 0.5f, px, py);
    const float* blue = image.At(px, py);
    Check(blue[2] > 0.3f, "the resized frame still shows the bricks", Rgb(blue));
    DXGI_SWAP_CHAIN_DESC1 desc{};
    app.gpu.d3d->swapChain->GetDesc1(&desc);
    Check(desc.Width == 1280 && desc.Height == 720 && desc.BufferCount == 2, "the swap chain follows the resize");
}

// A key dispatched by the summary box's loop inside a frame fails: that first
// failure ends the frame before anything else of it runs.
void RunModalLoopFailureChecks(App& app, FaultyPlatform& platform)
{
    BuildLevel(app, 0);
    StartConfiguredBenchmark(app, 854, 480, 80, true, false);
    app.bench.currentRun = 1;
    app.bench.runElapsed = 40.0f;  // the next sampled frame ends the last run
    app.bench.skipNextSample = false;
    platform.failDebrisClear = true;
    platform.keyDuringSummary = true;
    const uint64_t fenceBefore = app.gpu.fenceValues[app.gpu.frameIndex];
    std::string failure;
    try {
        RunFrame(app);
    } catch (const std::exception& e) {
        failure = e.what();
    }
    platform.failDebrisClear = false;
    platform.keyDuringSummary = false;
    Check(failure == "the debris clear failed", "a failure inside the summary box's loop is the one reported", failure);
    Check(app.gpu.fenceValues[app.gpu.frameIndex] == fenceBefore, "the frame stops before it is rendered");
}

bool fatalBoxSeen = false;

void CALLBACK CloseFatalBox(HWND, UINT, UINT_PTR, DWORD)
{
    if (HWND box = FindWindowW(nullptr, L"Fatal error")) {
        fatalBoxSeen = true;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
}

// The main window's destruction posts the quit message; a failure on that path
// must still show its box rather than have the quit message end it unseen.
void RunFatalBoxChecks()
{
    PostQuitMessage(0);
    const UINT_PTR timer = SetTimer(nullptr, 0, 250, CloseFatalBox);
    ShowFatalError("A failure while the window was going away");
    KillTimer(nullptr, timer);
    Check(fatalBoxSeen, "the Fatal error box shows even with a quit message waiting");
}

void Measure(App& app, int level, int debris, double seconds)
{
    BuildLevel(app, level);
    app.world.debrisCount = debris;
    app.world.debrisEnabled = debris > 0;
    app.world.autoplay = true;
    LaunchBall(app.world);
    for (int i = 0; i < 3; ++i) {
        SpawnBall(app, kSpawnDouble);  // 1 -> 2 -> 4 -> 8 balls
    }
    RenderFrames(app, 5);  // the first frames pay for pipeline creation in the driver
    WaitForGpu(app.gpu);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    Clock::time_point last = start;
    long frames = 0;
    double elapsed = 0.0;
    while (elapsed < seconds) {
        const Clock::time_point now = Clock::now();
        const float raw = std::chrono::duration<float>(now - last).count();
        last = now;
        UpdateFrame(app, std::fmin(raw, 0.05f), raw);
        Render(app);
        ++frames;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    }
    std::printf("measure: level %d, debris %d, %ux%u: %ld frames in %.1f s = %.1f FPS (live debris %d, bricks left %d)\n",
                level, debris, app.width, app.height, frames, elapsed, static_cast<double>(frames) / elapsed,
                app.world.activeDebris, app.world.bricksLeft);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int)
{
    const bool pipelinesOnly = commandLine != nullptr && std::wstring(commandLine).find(L"--pipelines") != std::wstring::npos;
    FaultyPlatform platform;
    App app(platform);
    platform.Attach(&app);
    app.width = 854;
    app.height = 480;
    try {
        if (CreateMainWindow(app, instance) == nullptr) {
            std::printf("FAIL - no window\n");
            return 1;
        }
        CreateGpuObjects(app);
        int level = 0;
        int debris = 0;
        double seconds = 0.0;
        if (commandLine != nullptr && std::swscanf(commandLine, L"--measure %d %d %lf", &level, &debris, &seconds) == 3) {
            CreatePipelines(app);
            Measure(app, level, debris, seconds);
            WaitForGpu(app.gpu);
            return 0;
        }
        if (pipelinesOnly) {
            try {
                CreatePipelines(app);
                std::printf("pipelines: ok\n");
            } catch (const std::exception& e) {
                std::printf("pipelines: %s\n", e.what());
            }
            return 0;
        }
        CreatePipelines(app);
        theApp = &app;
        RunRenderingChecks(app);
        RunDebrisChecks(app);
        RunResizeChecks(app);
        RunModalLoopFailureChecks(app, platform);
        theApp = nullptr;
        WaitForGpu(app.gpu);
        RunFatalBoxChecks();
    } catch (const std::exception& e) {
        theApp = nullptr;
        std::printf("FAIL - unexpected error: %s\n", e.what());
        ++failed;
    }
    std::printf("gpu: %d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}
