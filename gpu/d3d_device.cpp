// Device, queue, allocators, command list and fence, and the two ways of
// waiting for the GPU.
#include <cstdio>
#include <stdexcept>
#include <string>

#include "gpu/adapter_choice.h"
#include "gpu/d3d_backend.h"
#include "gpu/d3d_objects.h"
#include "gpu/d3d_support.h"
#include "gpu/frame_recording.h"
#include "gpu/gpu_objects.h"

namespace {

constexpr DWORD kRemovalCheckMs = 1000;

// Signals `value` on the queue; the value is remembered for the teardown drain.
void SignalFence(D3DObjects& d, UINT64 value)
{
    ThrowIfFailed(d.commandQueue->Signal(d.fence.Get(), value), "Signal fence");
    d.highestSignalled = value;
}

// Blocks until the fence has reached `value`.
void WaitForFence(D3DObjects& d, UINT64 value)
{
    if (d.fence->GetCompletedValue() >= value) {
        return;
    }
    ThrowIfFailed(d.fence->SetEventOnCompletion(value, d.fenceEvent), "SetEventOnCompletion");
    // A removed device completes its fence (to UINT64_MAX); asking it now and
    // then keeps one that does not from holding the program for good.
    while (WaitForSingleObject(d.fenceEvent, kRemovalCheckMs) == WAIT_TIMEOUT) {
        ThrowIfFailed(DeviceRemovedReason(d), "Wait for fence");
    }
}

// The description and driver version of the device's adapter (nothing is
// fatal here: the figures only describe the machine), and its video memory
// figures where the adapter gives them.
void RememberAdapter(D3DObjects& d, IDXGIAdapter1* adapter)
{
    if (FAILED(adapter->GetDesc1(&d.adapterDesc))) {
        d.adapterDesc = DXGI_ADAPTER_DESC1{};
    }
    if (FAILED(adapter->CheckInterfaceSupport(__uuidof(IDXGIDevice), &d.driverVersion))) {
        d.driverVersion.QuadPart = 0;
    }
    if (FAILED(adapter->QueryInterface(IID_PPV_ARGS(&d.adapter)))) {
        d.adapter.Reset();
    }
}

std::string Narrow(const wchar_t* text)
{
    std::string result;
    for (; *text != L'\0'; ++text) {
        result += (*text >= 32 && *text < 127) ? static_cast<char>(*text) : '?';
    }
    return result;
}

uint64_t LuidValue(const LUID& luid)
{
    return (static_cast<uint64_t>(static_cast<uint32_t>(luid.HighPart)) << 32) | luid.LowPart;
}

// Both of the system's lists: every adapter in its order, and the ranking by
// performance where the factory can give it. A failure to enumerate ends a
// list (the end of it, or an adapter that cannot be had).
AdapterList ListAdapters(IDXGIFactory1* factory)
{
    AdapterList list;
    for (UINT i = 0;; ++i) {
        ComPtr<IDXGIAdapter1> adapter;
        if (FAILED(factory->EnumAdapters1(i, &adapter))) {
            break;
        }
        DXGI_ADAPTER_DESC1 desc{};
        AdapterDescription a;
        if (SUCCEEDED(adapter->GetDesc1(&desc))) {
            a.name = Narrow(desc.Description);
            a.vendorId = desc.VendorId;
            a.deviceId = desc.DeviceId;
            a.dedicatedVideoMemory = desc.DedicatedVideoMemory;
            a.software = (desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE) != 0;
            a.luid = LuidValue(desc.AdapterLuid);
        }
        list.adapters.push_back(a);
    }
    ComPtr<IDXGIFactory6> factory6;
    if (SUCCEEDED(factory->QueryInterface(IID_PPV_ARGS(&factory6)))) {
        list.highPerformanceFirst.emplace();
        for (UINT i = 0;; ++i) {
            ComPtr<IDXGIAdapter1> adapter;
            DXGI_ADAPTER_DESC1 desc{};
            if (FAILED(factory6->EnumAdapterByGpuPreference(i, DXGI_GPU_PREFERENCE_HIGH_PERFORMANCE,
                                                             IID_PPV_ARGS(&adapter))) ||
                FAILED(adapter->GetDesc1(&desc))) {
                break;
            }
            list.highPerformanceFirst->push_back(LuidValue(desc.AdapterLuid));
        }
    }
    return list;
}

}  // namespace

void D3DObjectsRelease::operator()(D3DObjects* objects) const noexcept
{
    delete objects;
}

D3DObjects::~D3DObjects()
{
    // Nothing may be released while submitted work can still use it. A normal
    // exit has already waited; after a failure the queue may still be busy,
    // for as long as its last frame takes (a software adapter's can take
    // many seconds). Only a removed device, which runs nothing more, is not waited for.
    if (device && commandQueue && fence && fenceEvent && DeviceRemovedReason(*this) == S_OK) {
        const UINT64 drainValue = highestSignalled + 1;
        if (SUCCEEDED(commandQueue->Signal(fence.Get(), drainValue)) &&
            SUCCEEDED(fence->SetEventOnCompletion(drainValue, fenceEvent))) {
            while (WaitForSingleObject(fenceEvent, kRemovalCheckMs) == WAIT_TIMEOUT && DeviceRemovedReason(*this) == S_OK) {
            }
        }
    }
    if (fenceEvent != nullptr) {
        CloseHandle(fenceEvent);
    }
}

bool CreateDeviceObjects(GpuObjects& gpu)
{
    gpu.d3d.reset(new D3DObjects);
    D3DObjects& d = *gpu.d3d;
    ThrowIfFailed(CreateDXGIFactory2(0, IID_PPV_ARGS(&d.factory)), "CreateDXGIFactory2");

    bool tearingSupported = false;
    {
        ComPtr<IDXGIFactory5> factory5;
        BOOL allowTearing = FALSE;
        if (SUCCEEDED(d.factory.As(&factory5)) &&
            SUCCEEDED(factory5->CheckFeatureSupport(DXGI_FEATURE_PRESENT_ALLOW_TEARING, &allowTearing,
                                                    sizeof(allowTearing)))) {
            tearingSupported = allowTearing == TRUE;
        }
    }
    std::printf("[DX12] Tearing support: %s\n", tearingSupported ? "yes" : "no");
    std::fflush(stdout);

    if (gpu.adapterIndex < 0) {
        const std::optional<uint32_t> chosen = DefaultAdapter(ListAdapters(d.factory.Get()));
        gpu.adapterIndex = chosen ? static_cast<int32_t>(*chosen) : 0;  // none: EnumAdapters1 says so below
    }
    {
        ComPtr<IDXGIAdapter1> adapter;
        ThrowIfFailed(d.factory->EnumAdapters1(static_cast<UINT>(gpu.adapterIndex), &adapter), "EnumAdapters1");
        ThrowIfFailed(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(&d.device)), "CreateDevice");
        RememberAdapter(d, adapter.Get());
    }

    D3D12_COMMAND_QUEUE_DESC queueDesc{};
    queueDesc.Type = D3D12_COMMAND_LIST_TYPE_DIRECT;
    queueDesc.Priority = D3D12_COMMAND_QUEUE_PRIORITY_NORMAL;
    queueDesc.Flags = D3D12_COMMAND_QUEUE_FLAG_NONE;
    ThrowIfFailed(d.device->CreateCommandQueue(&queueDesc, IID_PPV_ARGS(&d.commandQueue)), "CreateCommandQueue");
    for (auto& allocator : d.commandAllocators) {
        ThrowIfFailed(d.device->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_DIRECT, IID_PPV_ARGS(&allocator)),
                      "CreateCommandAllocator");
    }
    ThrowIfFailed(d.device->CreateCommandList(0, D3D12_COMMAND_LIST_TYPE_DIRECT, d.commandAllocators[0].Get(), nullptr,
                                              IID_PPV_ARGS(&d.commandList)),
                  "CreateCommandList");
    d.commandList->Close();
    ThrowIfFailed(d.device->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&d.fence)), "CreateFence");
    d.fenceValues[0] = 1;
    d.fenceValues[1] = 1;
    d.fenceEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (d.fenceEvent == nullptr) {
        throw std::runtime_error("Failed to create fence event");
    }
    return tearingSupported;
}

std::string DeviceLossText(const GpuObjects& gpu)
{
    if (!gpu.d3d || !gpu.d3d->device) {
        return {};
    }
    const HRESULT reason = DeviceRemovedReason(*gpu.d3d);
    return reason == S_OK ? std::string() : DeviceRemovedText(static_cast<int32_t>(reason));
}

void WaitForGpu(GpuObjects& gpu)
{
    D3DObjects& d = *gpu.d3d;
    const UINT64 value = d.fenceValues[d.frameIndex];
    SignalFence(d, value);
    WaitForFence(d, value);
    d.fenceValues[d.frameIndex] = value + 1;
}

void MoveToNextFrame(GpuObjects& gpu)
{
    D3DObjects& d = *gpu.d3d;
    const UINT64 value = d.fenceValues[d.frameIndex];
    SignalFence(d, value);
    d.frameIndex = d.swapChain->GetCurrentBackBufferIndex();
    WaitForFence(d, d.fenceValues[d.frameIndex]);
    d.fenceValues[d.frameIndex] = value + 1;
}

AdapterList ListAdapters()
{
    ComPtr<IDXGIFactory1> factory;
    ThrowIfFailed(CreateDXGIFactory2(0, IID_PPV_ARGS(&factory)), "CreateDXGIFactory2");
    return ListAdapters(factory.Get());
}

std::optional<LocalVideoMemory> ReadLocalVideoMemory(const GpuObjects& gpu)
{
    DXGI_QUERY_VIDEO_MEMORY_INFO info{};
    if (!gpu.d3d || !gpu.d3d->adapter ||
        FAILED(gpu.d3d->adapter->QueryVideoMemoryInfo(0, DXGI_MEMORY_SEGMENT_GROUP_LOCAL, &info))) {
        return std::nullopt;
    }
    return LocalVideoMemory{info.CurrentUsage, info.Budget};
}
