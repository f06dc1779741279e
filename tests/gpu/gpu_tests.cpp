// GPU tests of the Direct3D 12 backend, run under Wine with lavapipe. Built
// from the program's own gpu/ and game code: creates the backend's objects for
// a window, builds a level, renders frames and reads the results back. Only
// the check of the program's frame loop builds an App around them.
//
//   OrvalisGpuTests.exe               the rendering, debris and resize checks
//   OrvalisGpuTests.exe --pipelines   only builds the pipelines and prints the
//                                     result ("pipelines: ok" or the error)
//   OrvalisGpuTests.exe --measure LEVEL DEBRIS RAYSTEPS SECONDS [program|reference|fill [MINFRAMES]]
//                                     draws one still scene of LEVEL (eight
//                                     balls, debris bursts) over and over for
//                                     SECONDS (and at least MINFRAMES frames,
//                                     2 by default) at 854 x 480 with the
//                                     program's renderer, the brute-force
//                                     reference or a fill-only one, and prints
//                                     the frame rate (a measured run, not a
//                                     test) and the median GPU time per pass
//   OrvalisGpuTests.exe --timestamp-cost LEVEL DEBRIS RAYSTEPS SECONDS PAIRS
//                                     the same scene with the program's renderer
//                                     in PAIRS pairs of SECONDS with and without
//                                     GPU timestamps, and the frame-time ratios
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cstring>
#include <exception>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/commands.h"
#include "app/frame.h"
#include "app/frame_loop.h"
#include "app/gpu_commands.h"
#include "app/main_window.h"
#include "app/win32_platform.h"
#include "bench/benchmark.h"
#include "game/debris.h"
#include "game/levels.h"
#include "game/spawning.h"
#include "game/update.h"
#include "gpu/d3d_backend.h"
#include "gpu/d3d_objects.h"
#include "gpu/d3d_support.h"
#include "gpu/frame_constants.h"
#include "gpu/gpu_objects.h"
#include "gpu/gpu_timing.h"

#include <d3dcompiler.h>

namespace {

// The program's own platform, with two faults it can be told to have: a
// debris clear that fails, and a summary box whose message loop delivers the
// key C to the main window while it is open.
class FaultyPlatform final : public Win32Platform {
public:
    bool failDebrisClear = false;
    bool keyDuringSummary = false;
    HWND mainWindow = nullptr;  // where the key goes

    void ClearGpuDebris() override
    {
        if (failDebrisClear) {
            throw std::runtime_error("the debris clear failed");
        }
        Win32Platform::ClearGpuDebris();
    }
    void ShowBenchmarkSummary(const std::wstring& text) override
    {
        if (keyDuringSummary) {
            SendMessageW(mainWindow, WM_KEYDOWN, 'C', 1);
            return;
        }
        Win32Platform::ShowBenchmarkSummary(text);
    }
};

// The backend on its own: its objects, the window it draws into, and the
// world whose frames it is given (the constant block as the last update
// assembled it).
struct Backend {
    GpuObjects gpu;
    GpuSurface surface;
    World world;
    FrameConstants constants{};
    std::vector<GpuPassTimes> passTimes;  // as Render handed them back, oldest first
};

int passed = 0;
int failed = 0;

void Check(bool condition, const char* name, const std::string& detail = {})
{
    const std::string note = detail.empty() ? "" : " (" + detail + ")";
    if (condition) {
        ++passed;
        std::printf("ok - %s%s\n", name, note.c_str());
    } else {
        ++failed;
        std::printf("FAIL - %s%s\n", name, note.c_str());
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

ComPtr<ID3D12Resource> ReadbackBuffer(GpuObjects& gpu, UINT64 size)
{
    return CreateBuffer(gpu.d3d->device.Get(), D3D12_HEAP_TYPE_READBACK, size, D3D12_RESOURCE_FLAG_NONE,
                        D3D12_RESOURCE_STATE_COPY_DEST, "Create readback buffer");
}

// Records `record` on the program's command list, submits it and waits.
void Submit(GpuObjects& gpu, const std::function<void(ID3D12GraphicsCommandList*)>& record)
{
    SubmitAndWait(gpu, SubmissionNames{"Reset allocator", "Reset list", "Close list"}, record);
}

// How many of the first `count` particle records are alive (their life, at
// byte 28, above zero).
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

struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<float> rgba;
    const float* At(uint32_t x, uint32_t y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

Image ReadOutputTexture(GpuObjects& gpu)
{
    D3DObjects& d = *gpu.d3d;
    WaitForGpu(gpu);
    const D3D12_RESOURCE_DESC desc = d.outputTexture->GetDesc();
    D3D12_PLACED_SUBRESOURCE_FOOTPRINT footprint{};
    UINT64 total = 0;
    d.device->GetCopyableFootprints(&desc, 0, 1, 0, &footprint, nullptr, nullptr, &total);
    ComPtr<ID3D12Resource> readback = ReadbackBuffer(gpu, total);
    Submit(gpu, [&](ID3D12GraphicsCommandList* list) {
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

std::vector<uint8_t> ReadDebrisBuffer(GpuObjects& gpu)
{
    D3DObjects& d = *gpu.d3d;
    const UINT64 size = 8192 * 48;
    ComPtr<ID3D12Resource> readback = ReadbackBuffer(gpu, size);
    Submit(gpu, [&](ID3D12GraphicsCommandList* list) {
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

// The renderer's camera as the shader defines it: where a world point appears
// in a width x height image.
struct ScreenPoint {
    uint32_t x, y;
};
ScreenPoint WorldToPixel(uint32_t width, uint32_t height, float x, float y, float z)
{
    const double eye[3] = {0.0, 6.0, 46.0};
    const double target[3] = {0.0, 1.5, 0.0};
    double forward[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
    const double distance = std::sqrt(forward[0] * forward[0] + forward[1] * forward[1] + forward[2] * forward[2]);
    for (double& f : forward) {
        f /= distance;
    }
    const double right[3] = {1.0, 0.0, 0.0};  // forward has no x: cross(forward, up) is +x
    const double up[3] = {0.0, -forward[2], forward[1]};
    const double focal = std::fmin(0.5 * width * distance / 21.0, 0.5 * height * distance / 19.5);
    const double v[3] = {x - eye[0], y - eye[1], z - eye[2]};
    const double along = v[0] * forward[0] + v[1] * forward[1] + v[2] * forward[2];
    const double sx = (v[0] * right[0] + v[1] * right[1] + v[2] * right[2]) / along * focal;
    const double sy = (v[0] * up[0] + v[1] * up[1] + v[2] * up[2]) / along * focal;
    return {static_cast<uint32_t>(0.5 * width + sx), static_cast<uint32_t>(0.5 * height - sy)};
}

const float* PixelAt(const Image& image, float x, float y, float z)
{
    const ScreenPoint p = WorldToPixel(image.width, image.height, x, y, z);
    return image.At(p.x, p.y);
}

double Luminance(const float* c)
{
    return 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
}

double MeanLuminance(const Image& image)
{
    double sum = 0.0;
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        sum += Luminance(&image.rgba[i]);
    }
    return sum / static_cast<double>(image.rgba.size() / 4);
}

// Mean absolute difference over the colour channels of two images of one size.
double MeanDifference(const Image& a, const Image& b)
{
    double sum = 0.0;
    size_t count = 0;
    for (size_t i = 0; i < a.rgba.size(); ++i) {
        if (i % 4 != 3) {
            sum += std::fabs(a.rgba[i] - b.rgba[i]);
            ++count;
        }
    }
    return sum / static_cast<double>(count);
}

std::string Rgb(const float* c)
{
    char text[96];
    std::snprintf(text, sizeof(text), "(%.3f, %.3f, %.3f)", c[0], c[1], c[2]);
    return text;
}

// With ORVALIS_GPU_DUMP set to a folder, an image is saved there as NAME.ppm
// (clamped and gamma-encoded) to look at what a check saw.
void DumpImage(const Image& image, const std::string& name)
{
    const char* folder = std::getenv("ORVALIS_GPU_DUMP");
    if (folder == nullptr) {
        return;
    }
    FILE* file = std::fopen((std::string(folder) + "/" + name + ".ppm").c_str(), "wb");
    if (file == nullptr) {
        return;
    }
    std::fprintf(file, "P6\n%u %u\n255\n", image.width, image.height);
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        for (size_t c = 0; c < 3; ++c) {
            const double v = std::pow(std::fmin(std::fmax(image.rgba[i + c], 0.0f), 1.0f), 1.0 / 2.2);
            std::fputc(static_cast<int>(v * 255.0 + 0.5), file);
        }
    }
    std::fclose(file);
}

std::string Figure(const char* name, double value)
{
    char text[96];
    std::snprintf(text, sizeof(text), "%s %.4f", name, value);
    return text;
}

// What the program does with a world operation's request to clear the GPU debris.
void Apply(Backend& b, const WorldEffects& effects)
{
    if (effects.clearGpuDebris) {
        ClearDebrisBuffer(b.gpu);
    }
}

// The game's part of a frame: the world moves on by `step` and the constant
// block is assembled for the surface's size.
void Advance(Backend& b, float step)
{
    const WorldFrame frame = AdvanceWorld(b.world, step, step);
    Apply(b, frame.effects);
    b.constants = AssembleFrameConstants(b.world, b.surface.width, b.surface.height, frame.paddleDelta);
}

// Draws the assembled frame; the bricks go up when they changed.
void Draw(Backend& b)
{
    GpuPassTimesList finished;
    if (Render(b.gpu, b.surface, FrameInputs{b.constants, b.world.bricksDirty ? &b.world.bricks : nullptr}, finished)) {
        b.world.bricksDirty = false;
    }
    b.passTimes.insert(b.passTimes.end(), finished.begin(), finished.end());
}

void RenderFrames(Backend& b, int frames)
{
    for (int i = 0; i < frames; ++i) {
        Advance(b, 1.0f / 60.0f);
        Draw(b);
    }
}

// The world as it stands, drawn without moving it on.
Image RenderStill(Backend& b)
{
    Advance(b, 0.0f);
    Draw(b);
    return ReadOutputTexture(b.gpu);
}

// A compute program compiled from a test shader file beside the executable
// (whose includes are found beside it), with the program's root signature.
ComPtr<ID3D12PipelineState> TestPipeline(GpuObjects& gpu, const wchar_t* file)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring shader(path, length);
    shader = shader.substr(0, shader.find_last_of(L"\\/") + 1) + file;
    ComPtr<ID3DBlob> code;
    ComPtr<ID3DBlob> errors;
    const HRESULT result = D3DCompileFromFile(shader.c_str(), nullptr, D3D_COMPILE_STANDARD_FILE_INCLUDE, "renderCS",
                                              "cs_5_1", D3DCOMPILE_ENABLE_STRICTNESS, 0, &code, &errors);
    if (FAILED(result)) {
        const std::string messages = errors ? static_cast<const char*>(errors->GetBufferPointer()) : "";
        throw std::runtime_error("Failed to compile the test renderer: " + messages);
    }
    D3DObjects& d = *gpu.d3d;
    D3D12_COMPUTE_PIPELINE_STATE_DESC desc{};
    desc.pRootSignature = d.rootSignature.Get();
    desc.CS = {code->GetBufferPointer(), code->GetBufferSize()};
    ComPtr<ID3D12PipelineState> pipeline;
    ThrowIfFailed(d.device->CreateComputePipelineState(&desc, IID_PPV_ARGS(&pipeline)), "Create test PSO");
    return pipeline;
}

// Draws with another renderer for the lifetime of the object.
class RendererSwap {
public:
    RendererSwap(GpuObjects& gpu, ComPtr<ID3D12PipelineState> pipeline) : gpu_(gpu)
    {
        WaitForGpu(gpu_);
        program_ = gpu_.d3d->renderPipeline;
        gpu_.d3d->renderPipeline = std::move(pipeline);
    }
    RendererSwap(const RendererSwap&) = delete;
    RendererSwap& operator=(const RendererSwap&) = delete;
    ~RendererSwap()
    {
        WaitForGpu(gpu_);
        gpu_.d3d->renderPipeline = program_;
    }

private:
    GpuObjects& gpu_;
    ComPtr<ID3D12PipelineState> program_;
};

// A still scene: LEVEL with its first ball in play near the bottom and a
// second one among the bricks' rows, no debris moving.
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

// Debris bursts handed over the way the game hands them over, one a frame,
// each frame `step` seconds of game time: `count` bursts under the debris
// limit `debris`, taken in turn by `bricks` bricks `brickStride` apart from
// `firstBrick` on (several bursts to a brick when count > bricks), which are
// destroyed as a hit destroys them or left standing. The frames are drawn by
// the fill-only renderer: only the particles matter here.
struct Bursts {
    int debris = 0;
    int count = 0;
    int firstBrick = 0;
    int bricks = 1;
    int brickStride = 1;
    bool destroyBricks = true;
};

void HandOverBursts(Backend& b, const Bursts& bursts, float step)
{
    if (bursts.count == 0) {
        return;
    }
    World& world = b.world;
    world.debrisCount = bursts.debris;
    world.debrisEnabled = true;
    for (int i = 0; i < bursts.count; ++i) {
        const int index = (bursts.firstBrick + i % bursts.bricks * bursts.brickStride) % world.bricksTotal;
        Brick& brick = world.bricks[static_cast<size_t>(index)];
        world.explosionQueue.push_back(ExplosionEvent{static_cast<float>(i + 1) + 100.0f * brick.colorIndex, brick.x, brick.y});
        world.activeDebris = std::min(world.activeDebris + kDebrisBurst, world.debrisCount);
        world.debrisCursor = i;
        if (bursts.destroyBricks) {
            brick.alive = 0.0f;
            world.bricksDirty = true;
        }
    }
    const RendererSwap swap(b.gpu, TestPipeline(b.gpu, L"fill_only.hlsl"));
    while (!world.explosionQueue.empty()) {
        Advance(b, step);
        Draw(b);
    }
}

void RunRenderingChecks(Backend& b)
{
    StillScene(b, 0);
    Image image = RenderStill(b);
    Check(image.width == 854 && image.height == 480, "the output texture is 854 x 480");

    // Level 0: slot 0 is a colour-0 brick at (-12.25, 14), slot 79 a colour-4 brick at (12.25, 0.5),
    // their front faces at z = 0.5.
    const float* red = PixelAt(image, -12.25f, 14.0f, 0.5f);
    Check(red[0] > 0.3f && red[0] > 2.0f * red[1] && red[0] > 2.0f * red[2], "a colour-0 brick shows where the camera sees it",
          Rgb(red));
    const float* blue = PixelAt(image, 12.25f, 0.5f, 0.5f);
    Check(blue[2] > 0.3f && blue[2] > blue[0], "a colour-4 brick shows in its own colour", Rgb(blue));
    const float* wall = PixelAt(image, -4.0f, -9.0f, -0.9f);
    Check(Luminance(wall) < 0.25, "the back wall shows where there is no brick", Rgb(wall));
    const float* ball = PixelAt(image, 6.0f, -5.0f, 0.6f);
    Check(ball[0] > 1.0f, "a ball is brighter than 1.0", Rgb(ball));

    // A destroyed brick disappears with the next upload.
    b.world.bricks[0].alive = 0.0f;
    b.world.bricksDirty = true;
    image = RenderStill(b);
    const float* gone = PixelAt(image, -12.25f, 14.0f, 0.5f);
    Check(!(gone[0] > 0.3f && gone[0] > 2.0f * gone[1]), "a destroyed brick is no longer drawn", Rgb(gone));
}

// raySteps, brightness and ballGlow each change the image the way they say.
void RunSettingChecks(Backend& b)
{
    StillScene(b, 5);
    b.world.raySteps = 1;
    const Image one = RenderStill(b);
    b.world.raySteps = 72;
    const Image seventyTwo = RenderStill(b);
    b.world.raySteps = 73;
    const Image seventyThree = RenderStill(b);
    const double coarse = MeanDifference(one, seventyTwo);
    const double fine = MeanDifference(seventyTwo, seventyThree);
    Check(coarse > 0.01, "one ray step loses detail that 72 steps show", Figure("difference", coarse));
    Check(fine < 0.002 && fine * 10.0 < coarse, "72 and 73 ray steps give nearly the same image", Figure("difference", fine));

    b.world.raySteps = 72;
    b.world.brightness = 0.0f;
    const double dark = MeanLuminance(RenderStill(b));
    b.world.brightness = 1.0f;
    const double bright = MeanLuminance(RenderStill(b));
    Check(bright > 1.5 * dark, "brightness 1.0 lights the scene more than 0.0",
          Figure("luminance", dark) + " / " + Figure("", bright));
    b.world.brightness = 0.15f;

    // 2.5 units beside the first ball, in front of the wall.
    b.world.ballGlow = 0.5f;
    const double faint = Luminance(PixelAt(RenderStill(b), 8.5f, -5.0f, 0.0f));
    b.world.ballGlow = 5.0f;
    const double glowing = Luminance(PixelAt(RenderStill(b), 8.5f, -5.0f, 0.0f));
    Check(glowing > 0.3 && glowing > 3.0 * faint, "ball glow 5.0 lights what 0.5 leaves dark",
          Figure("luminance", faint) + " / " + Figure("", glowing));
    b.world.ballGlow = 2.0f;
}

// The program's image agrees with the brute-force reference's. What the
// per-group lists leave out may change a pixel only slightly (a ball's glow
// beyond its cut is under 0.4 % of its peak; a shadow march that skips far
// casters samples at other distances), so the mean difference stays far below
// 0.0005 and almost no pixel moves by more than 0.05. A brick, ball or
// particle missing from one group's list would change dozens of that group's
// 64 pixels by far more than 0.05: hence at most 40 such pixels (0.01 % of
// 854 x 480). The scenes load the lists in every way: many bricks to a group
// (level 5 on small outputs), hundreds of particles in one group's reach,
// and the debris limit spread over the field.
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
        {
            const RendererSwap swap(b.gpu, reference);
            slow = RenderStill(b);
        }
        std::string file = scene.name;
        std::replace(file.begin(), file.end(), ' ', '-');
        DumpImage(fast, file + "-program");
        DumpImage(slow, file + "-reference");
        size_t apart = 0;
        size_t worst = 0;
        double worstDifference = 0.0;
        for (size_t i = 0; i < fast.rgba.size(); i += 4) {
            double d = 0.0;
            for (size_t c = 0; c < 3; ++c) {
                d = std::fmax(d, std::fabs(fast.rgba[i + c] - slow.rgba[i + c]));
            }
            apart += d > 0.05 ? 1 : 0;
            if (d > worstDifference) {
                worstDifference = d;
                worst = i;
            }
        }
        const double difference = MeanDifference(fast, slow);
        char detail[200];
        std::snprintf(detail, sizeof(detail), "difference %.6f, %zu pixels apart by over 0.05, live debris %d; most at (%zu, %zu): ",
                      difference, apart, DebrisDrawCount(b.world), worst / 4 % fast.width, worst / 4 / fast.width);
        Check(difference < 0.0005 && apart <= 40, (std::string(scene.name) + " agrees with the brute-force reference").c_str(),
              detail + Rgb(&fast.rgba[worst]) + " against " + Rgb(&slow.rgba[worst]));
    }
    OnResize(b.gpu, b.surface, 854, 480);
}

// Every pixel of an output whose sides are not multiples of 8 is written.
void RunOddSizeCheck(Backend& b)
{
    // The update assembles the constants for a smaller size; the resize comes
    // before the frame is rendered (as during the benchmark's pause).
    OnResize(b.gpu, b.surface, 640, 360);
    Advance(b, 0.0f);
    OnResize(b.gpu, b.surface, 853, 479);
    D3DObjects& d = *b.gpu.d3d;
    // Fill the texture with a value the renderer never writes (-1, as 16-bit floats).
    const D3D12_RESOURCE_DESC desc = d.outputTexture->GetDesc();
    D3D12_PLACED_SUBRESOURCE_FOOTPRINT footprint{};
    UINT64 total = 0;
    d.device->GetCopyableFootprints(&desc, 0, 1, 0, &footprint, nullptr, nullptr, &total);
    ComPtr<ID3D12Resource> fill = CreateBuffer(d.device.Get(), D3D12_HEAP_TYPE_UPLOAD, total, D3D12_RESOURCE_FLAG_NONE,
                                               D3D12_RESOURCE_STATE_GENERIC_READ, "Create fill buffer");
    void* mapped = nullptr;
    ThrowIfFailed(fill->Map(0, nullptr, &mapped), "Map fill");
    auto* halves = static_cast<uint16_t*>(mapped);
    for (UINT64 i = 0; i < total / 2; ++i) {
        halves[i] = 0xBC00;
    }
    fill->Unmap(0, nullptr);
    Submit(b.gpu, [&](ID3D12GraphicsCommandList* list) {
        const D3D12_RESOURCE_BARRIER toCopy = TransitionBarrier(d.outputTexture.Get(), kStateUnorderedAccess, kStateCopyDest);
        list->ResourceBarrier(1, &toCopy);
        D3D12_TEXTURE_COPY_LOCATION dst{};
        dst.pResource = d.outputTexture.Get();
        dst.Type = D3D12_TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX;
        D3D12_TEXTURE_COPY_LOCATION src{};
        src.pResource = fill.Get();
        src.Type = D3D12_TEXTURE_COPY_TYPE_PLACED_FOOTPRINT;
        src.PlacedFootprint = footprint;
        list->CopyTextureRegion(&dst, 0, 0, 0, &src, nullptr);
        const D3D12_RESOURCE_BARRIER back = TransitionBarrier(d.outputTexture.Get(), kStateCopyDest, kStateUnorderedAccess);
        list->ResourceBarrier(1, &back);
    });
    Draw(b);
    const Image image = ReadOutputTexture(b.gpu);
    size_t unwritten = 0;
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        unwritten += image.rgba[i + 3] != 1.0f ? 1 : 0;
    }
    Check(image.width == 853 && image.height == 479 && unwritten == 0, "every pixel of an 853 x 479 output, resized after the update, is written",
          std::to_string(unwritten) + " pixels unwritten");
}

void RunDebrisChecks(Backend& b)
{
    Apply(b, BuildLevel(b.world, 0));
    b.world.debrisEnabled = true;
    b.world.explosionQueue.push_back(ExplosionEvent{1.0f + 100.0f * 2.0f, 0.0f, 5.0f});
    b.world.activeDebris = 8;
    RenderFrames(b, 3);
    std::vector<uint8_t> bytes = ReadDebrisBuffer(b.gpu);
    const size_t lit = AliveParticles(bytes, 8);  // of ring slot 0's eight
    Check(lit == 8, "a burst writes its eight particles into the debris buffer", std::to_string(lit) + " alive");

    Apply(b, ResetDebris(b.world));
    bytes = ReadDebrisBuffer(b.gpu);
    bool allZero = true;
    for (uint8_t byte : bytes) {
        allZero = allZero && byte == 0;
    }
    Check(allZero, "after ResetDebris the debris buffer reads back all zeros");
    Check(b.world.activeDebris == 0 && b.world.debrisCursor == 0, "ResetDebris restarts the ring");

    // Slot 150 of a colour-1 brick gives the code 251, which also reads as slot
    // 50 of a colour-2 brick: the brick at the burst's place decides.
    const Brick& brick = b.world.bricks[1 * 8 + 3];  // row 1: colour 1
    b.world.explosionQueue.push_back(ExplosionEvent{151.0f + 100.0f, brick.x, brick.y});
    RenderFrames(b, 1);
    bytes = ReadDebrisBuffer(b.gpu);
    float colour[3];
    float life = 0.0f;
    std::memcpy(colour, bytes.data() + 150 * 8 * 48 + 16, sizeof(colour));
    std::memcpy(&life, bytes.data() + 150 * 8 * 48 + 28, sizeof(life));
    const float expected = 0.62f * 2.5f;  // the green of colour 1 (1.00, 0.62, 0.15), times 2.5
    Check(life > 0.0f && std::fabs(colour[1] - expected) < 0.01f, "a burst on ring slot 150 takes its brick's colour",
          Rgb(colour));
}

void RunResizeChecks(Backend& b)
{
    OnResize(b.gpu, b.surface, 1280, 720);
    Check(b.surface.width == 1280 && b.surface.height == 720, "OnResize stores the new size");
    StillScene(b, 0);
    const Image image = RenderStill(b);
    Check(image.width == 1280 && image.height == 720, "after a resize the texture is 1280 x 720",
          std::to_string(image.width) + "x" + std::to_string(image.height));
    const float* blue = PixelAt(image, 12.25f, 0.5f, 0.5f);
    Check(blue[2] > 0.3f, "the resized frame still shows the bricks", Rgb(blue));
    DXGI_SWAP_CHAIN_DESC1 desc{};
    b.gpu.d3d->swapChain->GetDesc1(&desc);
    Check(desc.Width == 1280 && desc.Height == 720 && desc.BufferCount == 2, "the swap chain follows the resize");
}

// The frame that ends the pause between runs simulates nothing and re-sends
// the last block: the burst that block handed over must not start again in
// the debris that the next run's level has just cleared.
void RunPauseEndCheck(App& app)
{
    BuildLevel(app, 0);
    StartConfiguredBenchmark(app, 854, 480, 80, false, false);
    app.bench.currentRun = 1;
    app.bench.runElapsed = 40.0f;  // the next sampled frame ends run 1
    app.bench.skipNextSample = false;
    app.world.explosionQueue.push_back(ExplosionEvent{1.0f + 100.0f * 2.0f, 0.0f, 5.0f});
    UpdateFrame(app, 1.0f / 60.0f, 1.0f / 60.0f);
    Render(app);
    const bool handedOver = app.bench.pausing && app.frameConstants.explosionCode > 0.5f;
    UpdateFrame(app, 0.05f, 2.0f);  // the whole pause: it ends, the level is built again
    Render(app);
    const size_t alive = AliveParticles(ReadDebrisBuffer(app.gpu), 8192);
    Check(handedOver && !app.bench.pausing && alive == 0,
          "the frame that ends a pause starts no burst in the cleared debris", std::to_string(alive) + " particles alive");
    AbortBenchmark(app);
}

void CALLBACK QuitWaitingLoop(HWND, UINT, UINT_PTR, DWORD)
{
    PostQuitMessage(0);
}

// After a failed resize recovery nothing can be drawn; a benchmark started
// from the command line has nobody to resize the window, so the loop ends
// with the failure's text rather than waiting for a message.
void RunUnattendedRecoveryFailureCheck(App& app)
{
    app.start.unattended = true;
    app.gpu.resizeFailure = "Resize Error: ResizeBuffers (hr=0x887a0005)";
    app.gpu.d3d->renderTargetsUsable = false;  // as the failed recovery left it
    const UINT_PTR timer = SetTimer(nullptr, 0, 3000, QuitWaitingLoop);  // ends a loop that waits all the same
    std::string failure;
    try {
        RunMessageLoop(app);
    } catch (const std::exception& e) {
        failure = e.what();
    }
    KillTimer(nullptr, timer);
    Check(failure == app.gpu.resizeFailure, "an unattended run that cannot draw ends with the resize failure",
          failure);
    app.start.unattended = false;
    app.gpu.resizeFailure.clear();
    app.gpu.d3d->renderTargetsUsable = true;
}

// GPU time per pass on a still scene at 8 and at 256 ray steps: each frame
// drawn between two full waits reports both passes once, above zero; the
// render pass follows the ray steps; and all those passes together take no
// longer than the wall-clock time the frames were drawn in. A queue without
// timestamps draws all the same and reports nothing.
void RunPassTimeChecks(Backend& b)
{
    StillScene(b, 0);
    constexpr size_t kFrames = 10;
    bool onceAndPositive = true;
    bool withinFrameTime = true;
    double fastestRender[2] = {1e9, 1e9};  // the least disturbed by the machine's other work
    std::string detail;
    for (int k = 0; k < 2; ++k) {
        b.world.raySteps = k == 0 ? 8 : 256;
        Advance(b, 0.0f);
        Draw(b);  // the first frame at these steps
        WaitForGpu(b.gpu);
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        Draw(b);  // collects every earlier frame (all have finished)
        b.passTimes.clear();
        for (size_t i = 1; i < kFrames; ++i) {
            Draw(b);
        }
        WaitForGpu(b.gpu);
        QueryPerformanceCounter(&end);
        Draw(b);  // collects the rest
        double gpuMs = 0.0;
        for (const GpuPassTimes& t : b.passTimes) {
            onceAndPositive = onceAndPositive && t.physicsMs > 0.0 && t.renderMs > 0.0;
            gpuMs += t.physicsMs + t.renderMs;
            fastestRender[k] = std::min(fastestRender[k], t.renderMs);
        }
        const double elapsedMs =
            1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
        onceAndPositive = onceAndPositive && b.passTimes.size() == kFrames;
        withinFrameTime = withinFrameTime && gpuMs <= elapsedMs;
        char text[128];
        std::snprintf(text, sizeof(text), "%s%d steps: %zu frames, GPU %.1f of %.1f ms", k == 0 ? "" : "; ",
                      b.world.raySteps, b.passTimes.size(), gpuMs, elapsedMs);
        detail += text;
    }
    Check(onceAndPositive, "every frame reports its GPU time for both passes once, above zero", detail);
    Check(fastestRender[1] > 1.15 * fastestRender[0], "the render pass takes longer at 256 ray steps than at 8",
          Figure("fastest ms", fastestRender[0]) + " / " + Figure("", fastestRender[1]));
    Check(withinFrameTime, "the two passes together take no longer than the frames they were drawn in", detail);

    const uint64_t frequency = b.gpu.timestamps.frequency;
    StartGpuTimestamps(b.gpu.timestamps, 0);
    b.passTimes.clear();
    RenderFrames(b, 2);
    WaitForGpu(b.gpu);
    Draw(b);
    Check(b.passTimes.empty(), "a queue without timestamps draws and reports no GPU times");
    StartGpuTimestamps(b.gpu.timestamps, frequency);
    b.world.raySteps = 72;
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

// The device is lost in the middle of a benchmark started from the command
// line (its present fails as a removed device's does): the loop ends at once
// with the removal reason and the failing call, and the run so far is in the
// report and the results file, marked as ended by the loss.
void RunDeviceLossCheck(App& app, FaultyPlatform& platform)
{
    BuildLevel(app, 0);
    StartConfiguredBenchmark(app, 854, 480, 80, false, false);
    app.start.unattended = true;
    platform.SetUnattended(true);
    app.bench.currentRun = 1;
    app.bench.skipNextSample = false;
    for (int i = 0; i < 30; ++i) {
        UpdateFrame(app, 1.0f / 60.0f, 1.0f / 60.0f);  // half a second of run 1
    }
    app.gpu.d3d->simulatedRemovalReason = DXGI_ERROR_DEVICE_HUNG;
    const UINT_PTR timer = SetTimer(nullptr, 0, 3000, QuitWaitingLoop);  // ends a loop that goes on all the same
    std::string failure;
    try {
        RunMessageLoop(app);
    } catch (const std::exception& e) {
        failure = e.what();
    }
    KillTimer(nullptr, timer);
    app.gpu.d3d->simulatedRemovalReason = S_OK;
    WaitForGpu(app.gpu);  // the failed frame was submitted but not presented
    const std::string reason =
        "Device removed: 0x887a0006 DXGI_ERROR_DEVICE_HUNG (the GPU stopped responding and was reset)";
    Check(failure == reason + "\nPresent (hr=0x887a0005)", "a lost device ends the loop with its removal reason",
          failure);
    const auto fileText = [](const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    };
    const std::string& note = app.bench.endedByDeviceLoss;
    const std::string report = fileText(app.bench.reportPath);
    const std::string results = fileText(app.bench.resultsPath);
    Check(note.rfind("Ended by a device loss in run 1 of 4, cut short at 0.5 s: " + reason, 0) == 0 &&
              app.bench.runs.size() == 1 && report.find(">" + note + "</div>") != std::string::npos &&
              results.find("\"endedByDeviceLoss\": \"" + note + "\"") != std::string::npos,
          "the run so far is in the report and the results file, marked as ended by the loss", note);
    std::remove(app.bench.reportPath.c_str());
    std::remove(app.bench.resultsPath.c_str());
    app.start.unattended = false;
    platform.SetUnattended(false);
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

// Draws one still scene over and over and prints the frame rate: LEVEL with
// eight balls and DEBRIS / 8 bursts alive, handed over brick after brick
// (several to a brick when the level has fewer bricks) within half a second
// of game time, so that all of them still shine.
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
    // The bricks stay: the rows of one level differ only in their debris.
    const int bursts = debris / kDebrisBurst;
    HandOverBursts(b, Bursts{debris, bursts, 0, world.bricksTotal, 1, false},
                   std::min(1.0f / 120.0f, 0.5f / static_cast<float>(std::max(bursts, 1))));
    Advance(b, 0.0f);  // the still frame: no burst starts, nothing moves
    ComPtr<ID3D12PipelineState> other;
    if (renderer != "program") {
        other = TestPipeline(b.gpu, renderer == "reference" ? L"reference_renderer.hlsl" : L"fill_only.hlsl");
    }
    const RendererSwap swap(b.gpu, other ? other : b.gpu.d3d->renderPipeline);
    Draw(b);  // the first frame pays for the pipeline in the driver
    WaitForGpu(b.gpu);
    std::printf("measure: timing\n");
    std::fflush(stdout);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    long frames = 0;
    double elapsed = 0.0;
    while (elapsed < seconds || frames < minFrames) {
        Draw(b);
        if (frames == 0) {
            b.passTimes.clear();  // the frames before the timing, which this one collected
        }
        ++frames;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    }
    WaitForGpu(b.gpu);
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("measure: %s renderer, level %d, debris %d, ray steps %d, %ux%u: %ld frames in %.1f s = %.2f FPS"
                " (live debris %d, balls %d)\n",
                renderer.c_str(), level, debris, raySteps, b.surface.width, b.surface.height, frames, elapsed,
                static_cast<double>(frames) / elapsed, DebrisDrawCount(world), CountActiveBalls(world));
}

// The medians of the pass times a measured run's frames reported.
void PrintPassTimes(std::vector<GpuPassTimes> times)
{
    const auto median = [&times](double GpuPassTimes::*pass) {
        std::sort(times.begin(), times.end(),
                  [pass](const GpuPassTimes& x, const GpuPassTimes& y) { return x.*pass < y.*pass; });
        return times.empty() ? 0.0 : times[times.size() / 2].*pass;
    };
    const double physics = median(&GpuPassTimes::physicsMs);
    std::printf("timestamps: median physics %.3f ms, render %.3f ms over %zu frames\n", physics,
                median(&GpuPassTimes::renderMs), times.size());
}

// What the GPU timestamps cost, in one run: Measure's still scene drawn in
// blocks of `seconds` with and without timestamps, in `pairs` pairs whose
// order alternates (with first, then without first), so that the machine's
// other work falls on both alike. Prints each pair's frame times and their
// ratio, and the median ratio.
void MeasureTimestampCost(Backend& b, int level, int debris, int raySteps, double seconds, int pairs)
{
    Measure(b, level, debris, raySteps, 1.0, "program", 2);  // sets the still scene up
    const uint64_t frequency = b.gpu.timestamps.frequency;
    const auto frameMs = [&b, frequency, seconds](bool timestamps) {
        StartGpuTimestamps(b.gpu.timestamps, timestamps ? frequency : 0);
        WaitForGpu(b.gpu);
        LARGE_INTEGER counts, start, now;
        QueryPerformanceFrequency(&counts);
        QueryPerformanceCounter(&start);
        long frames = 0;
        double elapsed = 0.0;
        while (elapsed < seconds || frames < 2) {
            Draw(b);
            ++frames;
            QueryPerformanceCounter(&now);
            elapsed = static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(counts.QuadPart);
        }
        return 1000.0 * elapsed / static_cast<double>(frames);
    };
    std::vector<double> ratios;
    for (int pair = 1; pair <= pairs; ++pair) {
        const bool withFirst = pair % 2 == 1;
        const double first = frameMs(withFirst);
        const double second = frameMs(!withFirst);
        const double with = withFirst ? first : second;
        const double without = withFirst ? second : first;
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
        platform.mainWindow = static_cast<HWND>(app.mainWindow);
        // The backend on its own draws into the main window until the App takes it over.
        Backend b;
        b.surface = GpuSurface{app.mainWindow, app.width, app.height, PresentMode::VsyncOff, false};
        CreateGpuObjects(b.gpu, b.surface);
        int level = 0;
        int debris = 0;
        int raySteps = 72;
        double seconds = 0.0;
        wchar_t renderer[32] = L"program";
        int pairs = 0;
        long minFrames = 2;
        if (commandLine != nullptr &&
            std::swscanf(commandLine, L"--timestamp-cost %d %d %d %lf %d", &level, &debris, &raySteps, &seconds, &pairs) == 5) {
            CreatePipelines(b.gpu);
            MeasureTimestampCost(b, level, debris, raySteps, seconds, pairs);
            WaitForGpu(b.gpu);
            return 0;
        }
        if (commandLine != nullptr &&
            std::swscanf(commandLine, L"--measure %d %d %d %lf %31ls %ld", &level, &debris, &raySteps, &seconds, renderer,
                         &minFrames) >= 4) {
            CreatePipelines(b.gpu);
            Measure(b, level, debris, raySteps, seconds, std::string(renderer, renderer + std::wcslen(renderer)), minFrames);
            PrintPassTimes(b.passTimes);
            WaitForGpu(b.gpu);
            return 0;
        }
        if (pipelinesOnly) {
            try {
                CreatePipelines(b.gpu);
                std::printf("pipelines: ok\n");
            } catch (const std::exception& e) {
                std::printf("pipelines: %s\n", e.what());
            }
            return 0;
        }
        CreatePipelines(b.gpu);
        RunRenderingChecks(b);
        RunSettingChecks(b);
        RunReferenceChecks(b);
        RunDebrisChecks(b);
        RunResizeChecks(b);
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
            RunUnattendedRecoveryFailureCheck(app);
            RunModalLoopFailureChecks(app, platform);
            RunDeviceLossCheck(app, platform);
        }
        WaitForGpu(app.gpu);
        RunFatalBoxChecks();
    } catch (const std::exception& e) {
        std::printf("FAIL - unexpected error: %s\n", e.what());
        ++failed;
    }
    std::printf("gpu: %d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}
