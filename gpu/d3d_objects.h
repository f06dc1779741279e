#pragma once
// The Direct3D 12 and DXGI objects the App owns in the Windows build. They are
// released in reverse order of declaration: pipelines first, factory last.
#include <d3d12.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <cstdint>

using Microsoft::WRL::ComPtr;

struct D3DObjects {
    D3DObjects() = default;
    D3DObjects(const D3DObjects&) = delete;
    D3DObjects& operator=(const D3DObjects&) = delete;
    // Waits (when the device still answers) until the GPU no longer uses
    // anything here, then closes the fence event; the members follow.
    ~D3DObjects();

    ComPtr<IDXGIFactory4> factory;
    // The device's adapter, for its video memory figures; null where it cannot give them.
    ComPtr<IDXGIAdapter3> adapter;
    ComPtr<ID3D12Device> device;
    ComPtr<ID3D12CommandQueue> commandQueue;
    ComPtr<IDXGISwapChain3> swapChain;
    ComPtr<ID3D12DescriptorHeap> rtvHeap;
    ComPtr<ID3D12DescriptorHeap> srvUavHeap;
    ComPtr<ID3D12Resource> renderTargets[2];
    ComPtr<ID3D12CommandAllocator> commandAllocators[2];
    ComPtr<ID3D12GraphicsCommandList> commandList;
    ComPtr<ID3D12Fence> fence;
    HANDLE fenceEvent = nullptr;
    uint64_t fenceValues[2] = {0, 0};  // the next fence value of each swap-chain buffer
    uint32_t frameIndex = 0;           // the current swap-chain buffer, 0 or 1
    uint32_t rtvDescriptorSize = 0;
    uint32_t srvUavDescriptorSize = 0;
    D3D12_CPU_DESCRIPTOR_HANDLE srvUavCpu[3]{};
    D3D12_GPU_DESCRIPTOR_HANDLE srvUavGpu[3]{};
    ComPtr<ID3D12Resource> constantBuffer;  // one 512-byte block per swap-chain buffer
    uint8_t* constantBufferMapped = nullptr;
    ComPtr<ID3D12Resource> brickBuffer;
    ComPtr<ID3D12Resource> brickUpload[2];
    void* brickUploadMapped[2] = {nullptr, nullptr};
    ComPtr<ID3D12Resource> debrisBuffer;
    ComPtr<ID3D12Resource> debrisUpload;
    ComPtr<ID3D12Resource> outputTexture;
    // GPU time per pass (gpu/gpu_timing.h): four timestamps per swap-chain
    // buffer and the read-back buffer they are resolved into (always in the
    // copy-destination state). Null when the queue gives no timestamps.
    ComPtr<ID3D12QueryHeap> timestampHeap;
    ComPtr<ID3D12Resource> timestampReadback;
    ComPtr<ID3D12RootSignature> rootSignature;
    ComPtr<ID3D12PipelineState> physicsPipeline;
    ComPtr<ID3D12PipelineState> renderPipeline;
    // False after a resize whose recovery failed: no frame is recorded until a
    // later resize has brought back both render targets and the output texture.
    bool renderTargetsUsable = true;
    // The highest fence value signalled so far; teardown drains the queue past it.
    UINT64 highestSignalled = 0;
    // Test hook, S_OK (inert) in the program: otherwise the device reports this
    // removal reason and every present fails with DXGI_ERROR_DEVICE_REMOVED, as
    // on a removed device. Nothing else is cut off, so a test goes on once it
    // is S_OK again.
    HRESULT simulatedRemovalReason = S_OK;
    // Test hook, 0 (inert) in the program: otherwise an output texture of more
    // pixels fails to be created, as it does when the video memory runs out.
    UINT64 simulatedTexturePixelLimit = 0;
    // The adapter the device runs on, for the benchmark's results file.
    DXGI_ADAPTER_DESC1 adapterDesc{};
    LARGE_INTEGER driverVersion{};  // user-mode driver version; zero when the adapter does not say
};
