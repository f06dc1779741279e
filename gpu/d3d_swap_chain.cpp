// The swap chain, its render targets, and following the window's size.
#include <cstdio>
#include <stdexcept>
#include <string>

#include "gpu/d3d_backend.h"
#include "gpu/d3d_objects.h"
#include "gpu/d3d_support.h"
#include "gpu/frame_recording.h"
#include "gpu/gpu_objects.h"

namespace {

constexpr DXGI_FORMAT kFrameFormat = DXGI_FORMAT_R16G16B16A16_FLOAT;

// Takes both swap-chain buffers and writes their render-target views. A
// buffer that cannot be had (or comes back empty) throws with `operation`.
void CreateRenderTargetViews(D3DObjects& d, const char* operation)
{
    const D3D12_CPU_DESCRIPTOR_HANDLE start = d.rtvHeap->GetCPUDescriptorHandleForHeapStart();
    for (UINT i = 0; i < 2; ++i) {
        d.renderTargets[i].Reset();
        const HRESULT result = d.swapChain->GetBuffer(i, IID_PPV_ARGS(&d.renderTargets[i]));
        ThrowIfFailed(FAILED(result) || d.renderTargets[i] ? result : E_POINTER, operation);
        const D3D12_CPU_DESCRIPTOR_HANDLE slot{start.ptr + static_cast<SIZE_T>(i) * d.rtvDescriptorSize};
        d.device->CreateRenderTargetView(d.renderTargets[i].Get(), nullptr, slot);
    }
}

// After a failed resize: the swap chain back at the size that last worked
// (width x height), else at whatever size it kept, its render targets, and an
// output texture to match; the surface takes that size. Throws when that fails too.
void RecoverRenderTargets(GpuObjects& gpu, GpuSurface& surface, uint32_t width, uint32_t height)
{
    D3DObjects& d = *gpu.d3d;
    d.renderTargets[0].Reset();
    d.renderTargets[1].Reset();
    DXGI_SWAP_CHAIN_DESC desc{};
    ThrowIfFailed(d.swapChain->GetDesc(&desc), "GetDesc recovery");
    if (FAILED(d.swapChain->ResizeBuffers(2, width, height, desc.BufferDesc.Format, desc.Flags)) &&
        SUCCEEDED(d.swapChain->GetDesc(&desc))) {
        width = desc.BufferDesc.Width;  // the output texture is copied into the buffers: same size
        height = desc.BufferDesc.Height;
    }
    d.frameIndex = d.swapChain->GetCurrentBackBufferIndex();
    try {
        CreateRenderTargetViews(d, "GetBuffer recovery");
    } catch (const std::exception&) {
        OutputDebugStringA("OnResize: CRITICAL - Failed to re-acquire render target!\n");
        throw std::runtime_error("Failed to recover render targets");
    }
    CreateOutputTexture(gpu, width, height);
    surface.width = width;
    surface.height = height;
}

}  // namespace

void CreateSwapChain(GpuObjects& gpu, const GpuSurface& surface)
{
    D3DObjects& d = *gpu.d3d;
    DXGI_SWAP_CHAIN_DESC1 desc{};
    desc.Width = surface.width;
    desc.Height = surface.height;
    desc.Format = kFrameFormat;
    desc.Stereo = FALSE;
    desc.SampleDesc.Count = 1;
    desc.SampleDesc.Quality = 0;
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 2;
    desc.Scaling = DXGI_SCALING_STRETCH;
    desc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_DISCARD;
    desc.AlphaMode = DXGI_ALPHA_MODE_IGNORE;
    desc.Flags = surface.tearingSupported ? DXGI_SWAP_CHAIN_FLAG_ALLOW_TEARING : 0;

    ComPtr<IDXGISwapChain1> swapChain1;
    ThrowIfFailed(d.factory->CreateSwapChainForHwnd(d.commandQueue.Get(), static_cast<HWND>(surface.window), &desc,
                                                    nullptr, nullptr, &swapChain1),
                  "CreateSwapChainForHwnd");
    d.swapChain.Reset();
    ThrowIfFailed(swapChain1.As(&d.swapChain), "SwapChain cast");
    // The window stays windowed: DXGI's own Alt+Enter would switch to exclusive
    // full screen, where the tearing present fails.
    ThrowIfFailed(d.factory->MakeWindowAssociation(static_cast<HWND>(surface.window), DXGI_MWA_NO_ALT_ENTER),
                  "MakeWindowAssociation");
    d.frameIndex = d.swapChain->GetCurrentBackBufferIndex();

    ComPtr<IDXGISwapChain4> swapChain4;
    UINT support = 0;
    if (SUCCEEDED(d.swapChain.As(&swapChain4)) &&
        SUCCEEDED(swapChain4->CheckColorSpaceSupport(DXGI_COLOR_SPACE_RGB_FULL_G10_NONE_P709, &support))) {
        const bool presentable = (support & DXGI_SWAP_CHAIN_COLOR_SPACE_SUPPORT_FLAG_PRESENT) != 0;
        gpu.hdrEnabled = HdrColourSpaceTaken(
            presentable, presentable ? swapChain4->SetColorSpace1(DXGI_COLOR_SPACE_RGB_FULL_G10_NONE_P709) : E_FAIL);
    }

    D3D12_DESCRIPTOR_HEAP_DESC heapDesc{};
    heapDesc.Type = D3D12_DESCRIPTOR_HEAP_TYPE_RTV;
    heapDesc.NumDescriptors = 2;
    heapDesc.Flags = D3D12_DESCRIPTOR_HEAP_FLAG_NONE;
    d.rtvHeap.Reset();
    ThrowIfFailed(d.device->CreateDescriptorHeap(&heapDesc, IID_PPV_ARGS(&d.rtvHeap)), "CreateDescriptorHeap RTV");
    d.rtvDescriptorSize = d.device->GetDescriptorHandleIncrementSize(D3D12_DESCRIPTOR_HEAP_TYPE_RTV);
    CreateRenderTargetViews(d, "Get swap buffer");
}

ResizeOutcome OnResize(GpuObjects& gpu, GpuSurface& surface, uint32_t newWidth, uint32_t newHeight)
{
    D3DObjects* objects = gpu.d3d.get();
    const bool gpuReady = objects != nullptr && objects->device && objects->swapChain && objects->rtvHeap;
    if (objects != nullptr && objects->device && !objects->swapChain && objects->rtvHeap) {
        return {};  // the window is going away: its swap chain has been released
    }
    const ResizeDecision decision =
        DecideResize(gpuReady, gpuReady && !objects->renderTargetsUsable, surface.width, surface.height, newWidth,
                     newHeight, gpu.failedWidth, gpu.failedHeight);
    switch (decision.kind) {
    case ResizeKind::StoreOnly:
        surface.width = newWidth;
        surface.height = newHeight;
        return {};
    case ResizeKind::IgnoreZero:
        OutputDebugStringA("OnResize: Ignoring zero-dimension resize request\n");
        return {};
    case ResizeKind::SameSize:
        return {};
    case ResizeKind::Resize:
        break;
    }
    D3DObjects& d = *objects;
    char line[128];
    std::snprintf(line, sizeof(line), "OnResize: Attempting resize from %ux%u to %ux%u\n", surface.width, surface.height,
                  decision.width, decision.height);
    OutputDebugStringA(line);
    const uint32_t workedWidth = surface.width;  // the size the frames were drawn at
    const uint32_t workedHeight = surface.height;
    try {
        WaitForGpu(gpu);
        d.fenceValues[0] = d.fenceValues[1] = d.fenceValues[d.frameIndex];
        d.renderTargetsUsable = false;
        d.renderTargets[0].Reset();
        d.renderTargets[1].Reset();
        DXGI_SWAP_CHAIN_DESC desc{};
        ThrowIfFailed(d.swapChain->GetDesc(&desc), "GetDesc");
        ThrowIfFailed(d.swapChain->ResizeBuffers(2, decision.width, decision.height, desc.BufferDesc.Format, desc.Flags),
                      "ResizeBuffers");
        surface.width = decision.width;
        surface.height = decision.height;
        d.frameIndex = d.swapChain->GetCurrentBackBufferIndex();
        CreateRenderTargetViews(d, "GetBuffer resize");
        CreateOutputTexture(gpu, surface.width, surface.height);
        d.renderTargetsUsable = true;
        gpu.resizeFailure.clear();
        gpu.failedWidth = gpu.failedHeight = 0;
        std::snprintf(line, sizeof(line), "OnResize: Successfully resized to %ux%u\n", surface.width, surface.height);
        OutputDebugStringA(line);
        return {true, {}};
    } catch (const std::exception& e) {
        // The size that failed is not tried again (out of memory at 8192 x
        // 8192 fails again); the frames go back to the size that worked.
        gpu.failedWidth = decision.width;
        gpu.failedHeight = decision.height;
        std::string recovery;
        try {
            RecoverRenderTargets(gpu, surface, workedWidth, workedHeight);
            d.renderTargetsUsable = true;
            recovery = "OnResize: Resource recovery successful\n";
        } catch (const std::exception&) {
            d.renderTargetsUsable = false;
            surface.width = workedWidth;  // the size the next attempt starts from
            surface.height = workedHeight;
            recovery = "OnResize: CRITICAL - Resource recovery failed - application may crash\n";
        }
        char text[256];
        std::snprintf(text, sizeof(text), "Resize Error: %s\nAttempted: %ux%u, Remaining at: %ux%u\n", e.what(),
                      decision.width, decision.height, surface.width, surface.height);
        OutputDebugStringA(text);
        OutputDebugStringA(recovery.c_str());
        if (!d.renderTargetsUsable) {
            gpu.resizeFailure = text;
        }
        return {false, text};
    }
}

void ReleaseSwapChain(GpuObjects& gpu)
{
    if (!gpu.d3d || !gpu.d3d->swapChain) {
        return;
    }
    D3DObjects& d = *gpu.d3d;
    if (DeviceRemovedReason(d) == S_OK) {
        WaitForGpu(gpu);  // a removed device runs nothing more: its buffers can go at once
    }
    d.renderTargetsUsable = false;
    d.renderTargets[0].Reset();
    d.renderTargets[1].Reset();
    d.swapChain.Reset();
}
