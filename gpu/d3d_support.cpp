#include "gpu/d3d_support.h"

#include <iterator>
#include <stdexcept>
#include <string_view>

#include "gpu/d3d_backend.h"
#include "gpu/frame_recording.h"
#include "gpu/gpu_objects.h"

// The portable decisions (gpu/frame_recording.*) track resource states as
// copies of the header's values; TransitionBarrier casts them back unchanged.
static_assert(kStateCopyDest == static_cast<uint32_t>(D3D12_RESOURCE_STATE_COPY_DEST));
static_assert(kStateUnorderedAccess == static_cast<uint32_t>(D3D12_RESOURCE_STATE_UNORDERED_ACCESS));
static_assert(kStateNonPixelShaderResource == static_cast<uint32_t>(D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE));
static_assert(kStateCopySource == static_cast<uint32_t>(D3D12_RESOURCE_STATE_COPY_SOURCE));
static_assert(kStatePresent == static_cast<uint32_t>(D3D12_RESOURCE_STATE_PRESENT));

namespace {

constexpr bool NamesCode(const DeviceRemovalReason& reason, std::string_view name, HRESULT code)
{
    return name == reason.name && reason.code == static_cast<uint32_t>(code);
}

}  // namespace

// The removal reasons the failure texts name, each with the code its name has here.
static_assert(std::size(kDeviceRemovalReasons) == 6);
static_assert(NamesCode(kDeviceRemovalReasons[0], "S_OK", S_OK));
static_assert(NamesCode(kDeviceRemovalReasons[1], "DXGI_ERROR_INVALID_CALL", DXGI_ERROR_INVALID_CALL));
static_assert(NamesCode(kDeviceRemovalReasons[2], "DXGI_ERROR_DEVICE_REMOVED", DXGI_ERROR_DEVICE_REMOVED));
static_assert(NamesCode(kDeviceRemovalReasons[3], "DXGI_ERROR_DEVICE_HUNG", DXGI_ERROR_DEVICE_HUNG));
static_assert(NamesCode(kDeviceRemovalReasons[4], "DXGI_ERROR_DEVICE_RESET", DXGI_ERROR_DEVICE_RESET));
static_assert(NamesCode(kDeviceRemovalReasons[5], "DXGI_ERROR_DRIVER_INTERNAL_ERROR", DXGI_ERROR_DRIVER_INTERNAL_ERROR));

void ThrowIfFailed(HRESULT result, const char* operation)
{
    if (FAILED(result)) {
        throw std::runtime_error(FailureText(operation, static_cast<int32_t>(result)));
    }
}

HRESULT DeviceRemovedReason(const D3DObjects& d)
{
    return d.simulatedRemovalReason != S_OK ? d.simulatedRemovalReason : d.device->GetDeviceRemovedReason();
}

D3D12_HEAP_PROPERTIES HeapProperties(D3D12_HEAP_TYPE type)
{
    D3D12_HEAP_PROPERTIES props{};
    props.Type = type;
    props.CPUPageProperty = D3D12_CPU_PAGE_PROPERTY_UNKNOWN;
    props.MemoryPoolPreference = D3D12_MEMORY_POOL_UNKNOWN;
    props.CreationNodeMask = 1;
    props.VisibleNodeMask = 1;
    return props;
}

ComPtr<ID3D12Resource> CreateBuffer(ID3D12Device* device, D3D12_HEAP_TYPE heap, UINT64 size,
                                    D3D12_RESOURCE_FLAGS flags, D3D12_RESOURCE_STATES state, const char* operation)
{
    const D3D12_HEAP_PROPERTIES props = HeapProperties(heap);
    D3D12_RESOURCE_DESC desc{};
    desc.Dimension = D3D12_RESOURCE_DIMENSION_BUFFER;
    desc.Width = size;
    desc.Height = 1;
    desc.DepthOrArraySize = 1;
    desc.MipLevels = 1;
    desc.Format = DXGI_FORMAT_UNKNOWN;
    desc.SampleDesc.Count = 1;
    desc.Layout = D3D12_TEXTURE_LAYOUT_ROW_MAJOR;
    desc.Flags = flags;
    ComPtr<ID3D12Resource> buffer;
    ThrowIfFailed(device->CreateCommittedResource(&props, D3D12_HEAP_FLAG_NONE, &desc, state, nullptr,
                                                  IID_PPV_ARGS(&buffer)),
                  operation);
    return buffer;
}

D3D12_RESOURCE_BARRIER TransitionBarrier(ID3D12Resource* resource, uint32_t before, uint32_t after)
{
    D3D12_RESOURCE_BARRIER barrier{};
    barrier.Type = D3D12_RESOURCE_BARRIER_TYPE_TRANSITION;
    barrier.Flags = D3D12_RESOURCE_BARRIER_FLAG_NONE;
    barrier.Transition.pResource = resource;
    barrier.Transition.Subresource = D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES;
    barrier.Transition.StateBefore = static_cast<D3D12_RESOURCE_STATES>(before);
    barrier.Transition.StateAfter = static_cast<D3D12_RESOURCE_STATES>(after);
    return barrier;
}

namespace {

ID3D12Resource* ResourceOf(D3DObjects& d, GpuResource which, uint32_t frameIndex)
{
    switch (which) {
    case GpuResource::BrickBuffer: return d.brickBuffer.Get();
    case GpuResource::DebrisBuffer: return d.debrisBuffer.Get();
    case GpuResource::OutputTexture: return d.outputTexture.Get();
    case GpuResource::BackBuffer: return d.renderTargets[frameIndex].Get();
    }
    return nullptr;
}

}  // namespace

void RecordBarriers(D3DObjects& d, const std::vector<Transition>& transitions, uint32_t frameIndex)
{
    std::vector<D3D12_RESOURCE_BARRIER> barriers;
    barriers.reserve(transitions.size());
    for (const Transition& t : transitions) {
        barriers.push_back(TransitionBarrier(ResourceOf(d, t.resource, frameIndex), t.before, t.after));
    }
    if (!barriers.empty()) {
        d.commandList->ResourceBarrier(static_cast<UINT>(barriers.size()), barriers.data());
    }
}

void SubmitAndWait(GpuObjects& gpu, const SubmissionNames& names,
                   const std::function<void(ID3D12GraphicsCommandList*)>& record)
{
    D3DObjects& d = *gpu.d3d;
    ID3D12CommandAllocator* allocator = d.commandAllocators[d.frameIndex].Get();
    ThrowIfFailed(allocator->Reset(), names.resetAllocator);
    ThrowIfFailed(d.commandList->Reset(allocator, nullptr), names.resetList);
    record(d.commandList.Get());
    ThrowIfFailed(d.commandList->Close(), names.closeList);
    ID3D12CommandList* lists[] = {d.commandList.Get()};
    d.commandQueue->ExecuteCommandLists(1, lists);
    WaitForGpu(gpu);
}
