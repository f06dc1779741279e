#pragma once
// The GPU backend on its own (GPU tests, frame-time measurement): the game's update, Render, a swappable renderer.
#include <windows.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/gpu_commands.h"
#include "app/main_window.h"
#include "game/debris.h"
#include "game/update.h"
#include "gpu/d3d_backend.h"
#include "gpu/d3d_objects.h"
#include "gpu/d3d_support.h"
#include "gpu/frame_constants.h"
#include "gpu/gpu_objects.h"
#include "gpu/gpu_timing.h"

#include <d3dcompiler.h>

// The backend on its own, and the pass times Render handed back, oldest first.
struct Backend {
    GpuObjects gpu;
    GpuSurface surface;
    World world;
    FrameConstants constants{};
    std::vector<GpuPassTimes> passTimes;
};

inline double Seconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline void Apply(Backend& b, const WorldEffects& effects)
{
    if (effects.clearGpuDebris) {
        ClearDebrisBuffer(b.gpu);
    }
}

inline void Advance(Backend& b, float step)
{
    const WorldFrame frame = AdvanceWorld(b.world, step, step);
    Apply(b, frame.effects);
    b.constants = AssembleFrameConstants(b.world, b.surface.width, b.surface.height, frame);
}

inline void Draw(Backend& b)
{
    GpuPassTimesList finished;
    if (Render(b.gpu, b.surface, FrameInputs{b.constants, b.world.bricksDirty ? &b.world.bricks : nullptr}, finished)) {
        b.world.bricksDirty = false;
    }
    b.passTimes.insert(b.passTimes.end(), finished.begin(), finished.end());
}

// A renderer compiled from a test shader beside the executable, with the program's root signature.
inline ComPtr<ID3D12PipelineState> TestPipeline(GpuObjects& gpu, const wchar_t* file)
{
    wchar_t path[MAX_PATH];
    std::wstring shader(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    shader = shader.substr(0, shader.find_last_of(L"\\/") + 1) + file;
    ComPtr<ID3DBlob> code, errors;
    if (FAILED(D3DCompileFromFile(shader.c_str(), nullptr, D3D_COMPILE_STANDARD_FILE_INCLUDE, "renderCS", "cs_5_1",
                                  D3DCOMPILE_ENABLE_STRICTNESS, 0, &code, &errors))) {
        throw std::runtime_error(std::string("Failed to compile the test renderer: ") +
                                 (errors ? static_cast<const char*>(errors->GetBufferPointer()) : ""));
    }
    D3D12_COMPUTE_PIPELINE_STATE_DESC desc{};
    desc.pRootSignature = gpu.d3d->rootSignature.Get();
    desc.CS = {code->GetBufferPointer(), code->GetBufferSize()};
    ComPtr<ID3D12PipelineState> pipeline;
    ThrowIfFailed(gpu.d3d->device->CreateComputePipelineState(&desc, IID_PPV_ARGS(&pipeline)), "Create test PSO");
    return pipeline;
}

inline void WithRenderer(GpuObjects& gpu, ComPtr<ID3D12PipelineState> renderer, const std::function<void()>& draw)
{
    WaitForGpu(gpu);
    std::swap(gpu.d3d->renderPipeline, renderer);
    draw();
    WaitForGpu(gpu);
    std::swap(gpu.d3d->renderPipeline, renderer);
}

// `count` bursts under the debris limit `debris`, one a frame of `step` s, from `bricks` bricks `brickStride` apart from
// `firstBrick` on, destroyed or left standing; the fill-only renderer draws them (only the particles matter).
struct Bursts {
    int debris = 0, count = 0, firstBrick = 0, bricks = 1, brickStride = 1;
    bool destroyBricks = true;
};

inline void HandOverBursts(Backend& b, const Bursts& bursts, float step)
{
    if (bursts.count == 0) {
        return;
    }
    World& world = b.world;
    world.debrisCount = bursts.debris;
    world.debrisEnabled = true;
    for (int i = 0; i < bursts.count; ++i) {
        Brick& brick = world.bricks[static_cast<size_t>((bursts.firstBrick + i % bursts.bricks * bursts.brickStride) % world.bricksTotal)];
        world.explosionQueue.push_back(ExplosionEvent{static_cast<float>(i + 1) + 100.0f * brick.colorIndex, brick.x, brick.y});
        world.activeDebris = std::min(world.activeDebris + kDebrisBurst, world.debrisCount);
        world.debrisCursor = i;
        if (bursts.destroyBricks) {
            brick.alive = 0.0f;
            world.bricksDirty = true;
        }
    }
    WithRenderer(b.gpu, TestPipeline(b.gpu, L"fill_only.hlsl"), [&] {
        while (!world.explosionQueue.empty()) {
            Advance(b, step);
            Draw(b);
        }
    });
}

// The program's main window for `app`, at 854 x 480, with the backend's objects drawing into it.
inline void OpenBackend(App& app, HINSTANCE instance, Backend& b)
{
    app.width = 854;
    app.height = 480;
    if (CreateMainWindow(app, instance) == nullptr) {
        throw std::runtime_error("no window");
    }
    b.surface = GpuSurface{app.mainWindow, app.width, app.height, PresentMode::VsyncOff, false};
    CreateGpuObjects(b.gpu, b.surface);
}
