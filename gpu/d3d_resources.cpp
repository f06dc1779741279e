// The shader-visible heap, the GPU buffers and the output texture, the
// timestamp queries, and the debris clear.
#include <cstring>
#include <stdexcept>
#include <string>

#include "game/world.h"
#include "gpu/d3d_backend.h"
#include "gpu/d3d_objects.h"
#include "gpu/d3d_support.h"
#include "gpu/frame_recording.h"
#include "gpu/gpu_objects.h"

namespace {

constexpr UINT64 kBrickTableBytes = sizeof(Brick) * kBrickSlots;        // 16384
constexpr UINT64 kDebrisRecordBytes = 48;
constexpr UINT64 kDebrisBytes = kDebrisRecordBytes * kDebrisParticles;  // 393216
constexpr DXGI_FORMAT kFrameFormat = DXGI_FORMAT_R16G16B16A16_FLOAT;

}  // namespace

void CreateShaderVisibleHeap(GpuObjects& gpu)
{
    D3DObjects& d = *gpu.d3d;
    D3D12_DESCRIPTOR_HEAP_DESC desc{};
    desc.Type = D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV;
    desc.NumDescriptors = 3;
    desc.Flags = D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE;
    d.srvUavHeap.Reset();
    ThrowIfFailed(d.device->CreateDescriptorHeap(&desc, IID_PPV_ARGS(&d.srvUavHeap)), "CreateDescriptorHeap SRV/UAV");
    d.srvUavDescriptorSize = d.device->GetDescriptorHandleIncrementSize(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV);
    const D3D12_CPU_DESCRIPTOR_HANDLE cpuStart = d.srvUavHeap->GetCPUDescriptorHandleForHeapStart();
    const D3D12_GPU_DESCRIPTOR_HANDLE gpuStart = d.srvUavHeap->GetGPUDescriptorHandleForHeapStart();
    for (UINT slot = 0; slot < 3; ++slot) {
        d.srvUavCpu[slot].ptr = cpuStart.ptr + static_cast<SIZE_T>(slot) * d.srvUavDescriptorSize;
        d.srvUavGpu[slot].ptr = gpuStart.ptr + static_cast<UINT64>(slot) * d.srvUavDescriptorSize;
    }
}

void CreateGpuBuffers(GpuObjects& gpu, uint32_t width, uint32_t height)
{
    D3DObjects& d = *gpu.d3d;
    ID3D12Device* device = d.device.Get();
    const D3D12_RANGE nothingRead{0, 0};

    d.constantBufferMapped = nullptr;
    d.constantBuffer.Reset();
    d.constantBuffer = CreateBuffer(device, D3D12_HEAP_TYPE_UPLOAD, kConstantBlockSize * kConstantBlocks,
                                    D3D12_RESOURCE_FLAG_NONE, D3D12_RESOURCE_STATE_GENERIC_READ, "Create constant buffer");
    void* mapped = nullptr;
    ThrowIfFailed(d.constantBuffer->Map(0, &nothingRead, &mapped), "Map CB");
    d.constantBufferMapped = static_cast<uint8_t*>(mapped);
    std::memset(d.constantBufferMapped, 0, kConstantBlockSize * kConstantBlocks);

    d.brickBuffer.Reset();
    d.brickBuffer = CreateBuffer(device, D3D12_HEAP_TYPE_DEFAULT, kBrickTableBytes, D3D12_RESOURCE_FLAG_NONE,
                                 D3D12_RESOURCE_STATE_COPY_DEST, "Create bricks buffer");
    gpu.brickBufferState = kStateCopyDest;
    for (int i = 0; i < 2; ++i) {
        d.brickUploadMapped[i] = nullptr;
        d.brickUpload[i].Reset();
        d.brickUpload[i] = CreateBuffer(device, D3D12_HEAP_TYPE_UPLOAD, kBrickTableBytes, D3D12_RESOURCE_FLAG_NONE,
                                        D3D12_RESOURCE_STATE_GENERIC_READ, "Create bricks upload ring buffer");
        ThrowIfFailed(d.brickUpload[i]->Map(0, &nothingRead, &d.brickUploadMapped[i]), "Map bricks upload");
    }
    d.debrisBuffer.Reset();
    d.debrisBuffer = CreateBuffer(device, D3D12_HEAP_TYPE_DEFAULT, kDebrisBytes, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS,
                                  D3D12_RESOURCE_STATE_UNORDERED_ACCESS, "Create debris buffer");
    gpu.debrisBufferState = kStateUnorderedAccess;
    d.debrisUpload.Reset();
    d.debrisUpload = CreateBuffer(device, D3D12_HEAP_TYPE_UPLOAD, kDebrisBytes, D3D12_RESOURCE_FLAG_NONE,
                                  D3D12_RESOURCE_STATE_GENERIC_READ, "Create debris upload");

    D3D12_SHADER_RESOURCE_VIEW_DESC srv{};
    srv.Format = DXGI_FORMAT_UNKNOWN;
    srv.ViewDimension = D3D12_SRV_DIMENSION_BUFFER;
    srv.Shader4ComponentMapping = D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING;
    srv.Buffer.FirstElement = 0;
    srv.Buffer.NumElements = kBrickSlots;
    srv.Buffer.StructureByteStride = sizeof(Brick);
    srv.Buffer.Flags = D3D12_BUFFER_SRV_FLAG_NONE;
    device->CreateShaderResourceView(d.brickBuffer.Get(), &srv, d.srvUavCpu[0]);

    D3D12_UNORDERED_ACCESS_VIEW_DESC uav{};
    uav.Format = DXGI_FORMAT_UNKNOWN;
    uav.ViewDimension = D3D12_UAV_DIMENSION_BUFFER;
    uav.Buffer.FirstElement = 0;
    uav.Buffer.NumElements = kDebrisParticles;
    uav.Buffer.StructureByteStride = static_cast<UINT>(kDebrisRecordBytes);
    uav.Buffer.CounterOffsetInBytes = 0;
    uav.Buffer.Flags = D3D12_BUFFER_UAV_FLAG_NONE;
    device->CreateUnorderedAccessView(d.debrisBuffer.Get(), nullptr, &uav, d.srvUavCpu[1]);

    CreateOutputTexture(gpu, width, height);
}

void CreateOutputTexture(GpuObjects& gpu, uint32_t width, uint32_t height)
{
    D3DObjects& d = *gpu.d3d;
    d.outputTexture.Reset();
    gpu.outputTextureState = kStateUnorderedAccess;
    const bool beyondTestLimit =
        d.simulatedTexturePixelLimit != 0 && static_cast<UINT64>(width) * height > d.simulatedTexturePixelLimit;
    ThrowIfFailed(beyondTestLimit ? E_OUTOFMEMORY : S_OK, "Create output texture");
    const D3D12_HEAP_PROPERTIES props = HeapProperties(D3D12_HEAP_TYPE_DEFAULT);
    D3D12_RESOURCE_DESC desc{};
    desc.Dimension = D3D12_RESOURCE_DIMENSION_TEXTURE2D;
    desc.Width = width;
    desc.Height = height;
    desc.DepthOrArraySize = 1;
    desc.MipLevels = 1;
    desc.Format = kFrameFormat;
    desc.SampleDesc.Count = 1;
    desc.Layout = D3D12_TEXTURE_LAYOUT_UNKNOWN;
    desc.Flags = D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS;
    ThrowIfFailed(d.device->CreateCommittedResource(&props, D3D12_HEAP_FLAG_NONE, &desc,
                                                    D3D12_RESOURCE_STATE_UNORDERED_ACCESS, nullptr,
                                                    IID_PPV_ARGS(&d.outputTexture)),
                  "Create output texture");
    D3D12_UNORDERED_ACCESS_VIEW_DESC uav{};
    uav.Format = kFrameFormat;
    uav.ViewDimension = D3D12_UAV_DIMENSION_TEXTURE2D;
    uav.Texture2D.MipSlice = 0;
    uav.Texture2D.PlaneSlice = 0;
    d.device->CreateUnorderedAccessView(d.outputTexture.Get(), nullptr, &uav, d.srvUavCpu[2]);
}

void CreateTimestampQueries(GpuObjects& gpu)
{
    D3DObjects& d = *gpu.d3d;
    d.timestampHeap.Reset();
    d.timestampReadback.Reset();
    UINT64 frequency = 0;
    if (FAILED(d.commandQueue->GetTimestampFrequency(&frequency))) {
        frequency = 0;
    }
    if (frequency != 0) {
        D3D12_QUERY_HEAP_DESC desc{};
        desc.Type = D3D12_QUERY_HEAP_TYPE_TIMESTAMP;
        desc.Count = kTimestampQueryCount;
        desc.NodeMask = 0;
        try {
            ThrowIfFailed(d.device->CreateQueryHeap(&desc, IID_PPV_ARGS(&d.timestampHeap)), "CreateQueryHeap timestamps");
            // A read-back heap buffer stays in the copy-destination state for its whole life.
            d.timestampReadback = CreateBuffer(d.device.Get(), D3D12_HEAP_TYPE_READBACK,
                                               kTimestampQueryCount * sizeof(uint64_t), D3D12_RESOURCE_FLAG_NONE,
                                               D3D12_RESOURCE_STATE_COPY_DEST, "Create timestamp readback buffer");
        } catch (const std::runtime_error& e) {
            OutputDebugStringA((std::string(e.what()) + "\n").c_str());
            d.timestampHeap.Reset();
            d.timestampReadback.Reset();
            frequency = 0;
        }
    }
    if (frequency == 0) {
        OutputDebugStringA("GPU timestamps: not available, the GPU time per pass is left out\n");
    }
    StartGpuTimestamps(gpu.timestamps, frequency);
}

void CreateGpuObjects(GpuObjects& gpu, GpuSurface& surface)
{
    surface.tearingSupported = CreateDeviceObjects(gpu);
    CreateSwapChain(gpu, surface);
    CreateShaderVisibleHeap(gpu);
    CreateGpuBuffers(gpu, surface.width, surface.height);
    CreateTimestampQueries(gpu);
}

void ClearDebrisBuffer(GpuObjects& gpu)
{
    if (!gpu.d3d || !gpu.d3d->debrisUpload) {
        return;  // no GPU yet: nothing to clear
    }
    D3DObjects& d = *gpu.d3d;
    const D3D12_RANGE nothingRead{0, 0};
    void* mapped = nullptr;
    ThrowIfFailed(d.debrisUpload->Map(0, &nothingRead, &mapped), "Map debris upload");
    std::memset(mapped, 0, kDebrisBytes);
    d.debrisUpload->Unmap(0, nullptr);
    const SubmissionNames names{"Reset allocator for debris clear", "Reset list for debris clear",
                                "Close debris clear list"};
    SubmitAndWait(gpu, names, [&](ID3D12GraphicsCommandList* list) {
        RecordBarriers(d, DebrisClearTransitionsBefore(gpu), d.frameIndex);
        list->CopyBufferRegion(d.debrisBuffer.Get(), 0, d.debrisUpload.Get(), 0, kDebrisBytes);
        RecordBarriers(d, DebrisClearTransitionsAfter(gpu), d.frameIndex);
    });
}
