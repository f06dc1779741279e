#include "gpu/d3d_backend.h"

#include <d3dcompiler.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/app.h"
#include "game/world.h"
#include "gpu/d3d_objects.h"
#include "gpu/frame_recording.h"
#include "ui/telemetry.h"

namespace {

constexpr UINT64 kBrickTableBytes = sizeof(Brick) * kBrickSlots;      // 16384
constexpr UINT64 kDebrisRecordBytes = 48;
constexpr UINT64 kDebrisBytes = kDebrisRecordBytes * kDebrisParticles;  // 393216
constexpr DXGI_FORMAT kFrameFormat = DXGI_FORMAT_R16G16B16A16_FLOAT;
constexpr DWORD kDrainTimeoutMs = 10000;

void ThrowIfFailed(HRESULT result, const char* operation)
{
    if (FAILED(result)) {
        throw std::runtime_error(FailureText(operation, static_cast<int32_t>(result)));
    }
}

D3DObjects& Objects(App& app)
{
    return *app.gpu.d3d;
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

ComPtr<ID3D12Resource> CreateBuffer(ID3D12Device* device, D3D12_HEAP_TYPE heap, UINT64 size, D3D12_RESOURCE_FLAGS flags,
                                    D3D12_RESOURCE_STATES state, const char* operation)
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

// Turns the frame's command sequence into command-list calls.
class D3DFrameSink final : public FrameCommandSink {
public:
    D3DFrameSink(App& app, D3DObjects& d, uint32_t frameIndex) : app_(app), d_(d), i_(frameIndex) {}

    void Barriers(const std::vector<Transition>& transitions) override { RecordBarriers(d_, transitions, i_); }

    void UploadBricks() override
    {
        std::memcpy(d_.brickUploadMapped[i_], app_.world.bricks.data(), kBrickTableBytes);
        d_.commandList->CopyBufferRegion(d_.brickBuffer.Get(), 0, d_.brickUpload[i_].Get(), 0, kBrickTableBytes);
    }

    void BindRootArguments() override
    {
        ID3D12DescriptorHeap* heaps[] = {d_.srvUavHeap.Get()};
        d_.commandList->SetDescriptorHeaps(1, heaps);
        d_.commandList->SetComputeRootSignature(d_.rootSignature.Get());
        d_.commandList->SetComputeRootConstantBufferView(
            0, d_.constantBuffer->GetGPUVirtualAddress() + ConstantBlockOffset(i_));
        d_.commandList->SetComputeRootDescriptorTable(1, d_.srvUavGpu[0]);  // bricks, t0
        d_.commandList->SetComputeRootDescriptorTable(2, d_.srvUavGpu[2]);  // output texture, u0
        d_.commandList->SetComputeRootDescriptorTable(3, d_.srvUavGpu[1]);  // debris, u1
    }

    void Dispatch(bool renderPipeline, DispatchSize groups) override
    {
        d_.commandList->SetPipelineState(renderPipeline ? d_.renderPipeline.Get() : d_.physicsPipeline.Get());
        d_.commandList->Dispatch(groups.x, groups.y, groups.z);
    }

    void DebrisUavBarrier() override
    {
        D3D12_RESOURCE_BARRIER barrier{};
        barrier.Type = D3D12_RESOURCE_BARRIER_TYPE_UAV;
        barrier.UAV.pResource = d_.debrisBuffer.Get();
        d_.commandList->ResourceBarrier(1, &barrier);
    }

    void CopyOutputToBackBuffer() override
    {
        d_.commandList->CopyResource(d_.renderTargets[i_].Get(), d_.outputTexture.Get());
    }

private:
    App& app_;
    D3DObjects& d_;
    uint32_t i_;
};

void Signal(App& app, UINT64 value)
{
    D3DObjects& d = Objects(app);
    ThrowIfFailed(d.commandQueue->Signal(d.fence.Get(), value), "Signal fence");
}

void CreateRenderTargetViews(D3DObjects& d, uint32_t rtvDescriptorSize, const char* getBufferOperation)
{
    D3D12_CPU_DESCRIPTOR_HANDLE handle = d.rtvHeap->GetCPUDescriptorHandleForHeapStart();
    for (UINT i = 0; i < 2; ++i) {
        d.renderTargets[i].Reset();
        ThrowIfFailed(d.swapChain->GetBuffer(i, IID_PPV_ARGS(&d.renderTargets[i])), getBufferOperation);
        D3D12_CPU_DESCRIPTOR_HANDLE slot{handle.ptr + static_cast<SIZE_T>(i) * rtvDescriptorSize};
        d.device->CreateRenderTargetView(d.renderTargets[i].Get(), nullptr, slot);
    }
}

// The executable's directory, whatever the length of its path.
std::filesystem::path ExecutableDirectory()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            throw std::runtime_error(FailureText("GetModuleFileNameW", static_cast<int32_t>(HRESULT_FROM_WIN32(GetLastError()))));
        }
        if (length < buffer.size()) {
            return std::filesystem::path(std::wstring(buffer.data(), length)).parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
}

ComPtr<ID3DBlob> CompileEntryPoint(const std::filesystem::path& file, const char* entryPoint, const char* failure)
{
    ComPtr<ID3DBlob> code;
    ComPtr<ID3DBlob> errors;
    const HRESULT result = D3DCompileFromFile(file.c_str(), nullptr, nullptr, entryPoint, "cs_5_1",
                                              D3DCOMPILE_DEBUG | D3DCOMPILE_ENABLE_STRICTNESS, 0, &code, &errors);
    if (FAILED(result)) {
        if (errors) {
            const std::string text(static_cast<const char*>(errors->GetBufferPointer()), errors->GetBufferSize());
            OutputDebugStringA(text.c_str());
        }
        throw std::runtime_error(failure);
    }
    return code;
}

}  // namespace

void D3DObjectsRelease::operator()(D3DObjects* objects) const noexcept
{
    delete objects;
}

D3DObjects::~D3DObjects()
{
    // Nothing may be released while submitted work can still use it. A normal
    // exit has already waited; after a failure the queue may still be busy.
    if (device && commandQueue && fence && fenceEvent && device->GetDeviceRemovedReason() == S_OK) {
        const UINT64 drainValue = highestSignalled + 1;
        if (SUCCEEDED(commandQueue->Signal(fence.Get(), drainValue)) &&
            SUCCEEDED(fence->SetEventOnCompletion(drainValue, fenceEvent))) {
            WaitForSingleObject(fenceEvent, kDrainTimeoutMs);
        }
    }
    if (fenceEvent != nullptr) {
        CloseHandle(fenceEvent);
    }
}

bool CreateDeviceObjects(App& app)
{
    app.gpu.d3d.reset(new D3DObjects);
    D3DObjects& d = Objects(app);
    ThrowIfFailed(CreateDXGIFactory2(0, IID_PPV_ARGS(&d.factory)), "CreateDXGIFactory2");

    app.tearingSupported = false;
    {
        ComPtr<IDXGIFactory5> factory5;
        BOOL allowTearing = FALSE;
        if (SUCCEEDED(d.factory.As(&factory5)) &&
            SUCCEEDED(factory5->CheckFeatureSupport(DXGI_FEATURE_PRESENT_ALLOW_TEARING, &allowTearing,
                                                    sizeof(allowTearing)))) {
            app.tearingSupported = allowTearing == TRUE;
        }
    }
    std::printf("[DX12] Tearing support: %s\n", app.tearingSupported ? "yes" : "no");
    std::fflush(stdout);

    // The first hardware adapter of the preferred vendor; otherwise adapter 0.
    for (UINT i = 0;; ++i) {
        ComPtr<IDXGIAdapter1> adapter;
        if (FAILED(d.factory->EnumAdapters1(i, &adapter))) {
            break;  // the end of the list, or an adapter that cannot be had: the search ends
        }
        DXGI_ADAPTER_DESC1 desc{};
        if (FAILED(adapter->GetDesc1(&desc))) {
            continue;
        }
        if ((desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE) == 0 && desc.VendorId == 0x10DE) {
            ThrowIfFailed(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(&d.device)),
                          "CreateDevice");
            break;
        }
    }
    if (!d.device) {
        ComPtr<IDXGIAdapter1> adapter;
        ThrowIfFailed(d.factory->EnumAdapters1(0, &adapter), "EnumAdapters1");
        ThrowIfFailed(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(&d.device)),
                      "CreateDevice fallback");
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
    app.gpu.fenceValues[0] = 1;
    app.gpu.fenceValues[1] = 1;
    d.fenceEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (d.fenceEvent == nullptr) {
        throw std::runtime_error("Failed to create fence event");
    }
    return true;
}

void WaitForGpu(App& app)
{
    D3DObjects& d = Objects(app);
    const UINT64 value = app.gpu.fenceValues[app.gpu.frameIndex];
    Signal(app, value);
    d.highestSignalled = value;
    ThrowIfFailed(d.fence->SetEventOnCompletion(value, d.fenceEvent), "SetEventOnCompletion");
    WaitForSingleObject(d.fenceEvent, INFINITE);
    app.gpu.fenceValues[app.gpu.frameIndex] = value + 1;
}

void MoveToNextFrame(App& app)
{
    D3DObjects& d = Objects(app);
    const UINT64 value = app.gpu.fenceValues[app.gpu.frameIndex];
    Signal(app, value);
    d.highestSignalled = value;
    app.gpu.frameIndex = d.swapChain->GetCurrentBackBufferIndex();
    if (d.fence->GetCompletedValue() < app.gpu.fenceValues[app.gpu.frameIndex]) {
        ThrowIfFailed(d.fence->SetEventOnCompletion(app.gpu.fenceValues[app.gpu.frameIndex], d.fenceEvent),
                      "SetEventOnCompletion");
        WaitForSingleObject(d.fenceEvent, INFINITE);
    }
    app.gpu.fenceValues[app.gpu.frameIndex] = value + 1;
}

void CreateSwapChain(App& app)
{
    D3DObjects& d = Objects(app);
    DXGI_SWAP_CHAIN_DESC1 desc{};
    desc.Width = app.width;
    desc.Height = app.height;
    desc.Format = kFrameFormat;
    desc.Stereo = FALSE;
    desc.SampleDesc.Count = 1;
    desc.SampleDesc.Quality = 0;
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 2;
    desc.Scaling = DXGI_SCALING_STRETCH;
    desc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_DISCARD;
    desc.AlphaMode = DXGI_ALPHA_MODE_IGNORE;
    desc.Flags = app.tearingSupported ? DXGI_SWAP_CHAIN_FLAG_ALLOW_TEARING : 0;

    ComPtr<IDXGISwapChain1> swapChain1;
    ThrowIfFailed(d.factory->CreateSwapChainForHwnd(d.commandQueue.Get(), static_cast<HWND>(app.mainWindow), &desc,
                                                    nullptr, nullptr, &swapChain1),
                  "CreateSwapChainForHwnd");
    d.swapChain.Reset();
    ThrowIfFailed(swapChain1.As(&d.swapChain), "SwapChain cast");
    app.gpu.frameIndex = d.swapChain->GetCurrentBackBufferIndex();

    ComPtr<IDXGISwapChain4> swapChain4;
    UINT support = 0;
    if (SUCCEEDED(d.swapChain.As(&swapChain4)) &&
        SUCCEEDED(swapChain4->CheckColorSpaceSupport(DXGI_COLOR_SPACE_RGB_FULL_G10_NONE_P709, &support)) &&
        (support & DXGI_SWAP_CHAIN_COLOR_SPACE_SUPPORT_FLAG_PRESENT) != 0) {
        swapChain4->SetColorSpace1(DXGI_COLOR_SPACE_RGB_FULL_G10_NONE_P709);
        app.gpu.hdrEnabled = true;
    }

    D3D12_DESCRIPTOR_HEAP_DESC heapDesc{};
    heapDesc.Type = D3D12_DESCRIPTOR_HEAP_TYPE_RTV;
    heapDesc.NumDescriptors = 2;
    heapDesc.Flags = D3D12_DESCRIPTOR_HEAP_FLAG_NONE;
    d.rtvHeap.Reset();
    ThrowIfFailed(d.device->CreateDescriptorHeap(&heapDesc, IID_PPV_ARGS(&d.rtvHeap)), "CreateDescriptorHeap RTV");
    app.gpu.rtvDescriptorSize = d.device->GetDescriptorHandleIncrementSize(D3D12_DESCRIPTOR_HEAP_TYPE_RTV);
    CreateRenderTargetViews(d, app.gpu.rtvDescriptorSize, "Get swap buffer");
}

void CreateShaderVisibleHeap(App& app)
{
    D3DObjects& d = Objects(app);
    D3D12_DESCRIPTOR_HEAP_DESC desc{};
    desc.Type = D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV;
    desc.NumDescriptors = 3;
    desc.Flags = D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE;
    d.srvUavHeap.Reset();
    ThrowIfFailed(d.device->CreateDescriptorHeap(&desc, IID_PPV_ARGS(&d.srvUavHeap)), "CreateDescriptorHeap SRV/UAV");
    app.gpu.srvUavDescriptorSize = d.device->GetDescriptorHandleIncrementSize(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV);
    const D3D12_CPU_DESCRIPTOR_HANDLE cpu = d.srvUavHeap->GetCPUDescriptorHandleForHeapStart();
    const D3D12_GPU_DESCRIPTOR_HANDLE gpu = d.srvUavHeap->GetGPUDescriptorHandleForHeapStart();
    for (UINT slot = 0; slot < 3; ++slot) {
        d.srvUavCpu[slot].ptr = cpu.ptr + static_cast<SIZE_T>(slot) * app.gpu.srvUavDescriptorSize;
        d.srvUavGpu[slot].ptr = gpu.ptr + static_cast<UINT64>(slot) * app.gpu.srvUavDescriptorSize;
    }
}

void CreateGpuBuffers(App& app)
{
    D3DObjects& d = Objects(app);
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
    app.gpu.brickBufferState = kStateCopyDest;
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
    app.gpu.debrisBufferState = kStateUnorderedAccess;
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

    CreateOutputTexture(app);
}

void CreateOutputTexture(App& app)
{
    D3DObjects& d = Objects(app);
    d.outputTexture.Reset();
    app.gpu.outputTextureState = kStateUnorderedAccess;
    const D3D12_HEAP_PROPERTIES props = HeapProperties(D3D12_HEAP_TYPE_DEFAULT);
    D3D12_RESOURCE_DESC desc{};
    desc.Dimension = D3D12_RESOURCE_DIMENSION_TEXTURE2D;
    desc.Width = app.width;
    desc.Height = app.height;
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

void CreatePipelines(App& app)
{
    D3DObjects& d = Objects(app);
    const std::filesystem::path shaderPath = ExecutableDirectory() / L"orvalis_shaders.hlsl";
    if (!std::filesystem::exists(shaderPath)) {
        throw std::runtime_error("orvalis_shaders.hlsl not found next to the executable");
    }
    ComPtr<ID3DBlob> physicsCode = CompileEntryPoint(shaderPath, "updatePhysics", "Failed to compile updatePhysics");
    ComPtr<ID3DBlob> renderCode = CompileEntryPoint(shaderPath, "renderCS", "Failed to compile renderCS");

    D3D12_DESCRIPTOR_RANGE1 ranges[3]{};
    const D3D12_DESCRIPTOR_RANGE_TYPE types[3] = {D3D12_DESCRIPTOR_RANGE_TYPE_SRV, D3D12_DESCRIPTOR_RANGE_TYPE_UAV,
                                                  D3D12_DESCRIPTOR_RANGE_TYPE_UAV};
    const UINT registers[3] = {0, 0, 1};  // t0, u0, u1
    D3D12_ROOT_PARAMETER1 params[4]{};
    params[0].ParameterType = D3D12_ROOT_PARAMETER_TYPE_CBV;
    params[0].Descriptor.ShaderRegister = 0;
    params[0].Descriptor.RegisterSpace = 0;
    params[0].Descriptor.Flags = D3D12_ROOT_DESCRIPTOR_FLAG_NONE;
    params[0].ShaderVisibility = D3D12_SHADER_VISIBILITY_ALL;
    for (int i = 0; i < 3; ++i) {
        ranges[i].RangeType = types[i];
        ranges[i].NumDescriptors = 1;
        ranges[i].BaseShaderRegister = registers[i];
        ranges[i].RegisterSpace = 0;
        ranges[i].Flags = D3D12_DESCRIPTOR_RANGE_FLAG_NONE;
        ranges[i].OffsetInDescriptorsFromTableStart = D3D12_DESCRIPTOR_RANGE_OFFSET_APPEND;
        params[i + 1].ParameterType = D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE;
        params[i + 1].DescriptorTable.NumDescriptorRanges = 1;
        params[i + 1].DescriptorTable.pDescriptorRanges = &ranges[i];
        params[i + 1].ShaderVisibility = D3D12_SHADER_VISIBILITY_ALL;
    }
    D3D12_VERSIONED_ROOT_SIGNATURE_DESC desc{};
    desc.Version = D3D_ROOT_SIGNATURE_VERSION_1_1;
    desc.Desc_1_1.NumParameters = 4;
    desc.Desc_1_1.pParameters = params;
    desc.Desc_1_1.NumStaticSamplers = 0;
    desc.Desc_1_1.pStaticSamplers = nullptr;
    desc.Desc_1_1.Flags = D3D12_ROOT_SIGNATURE_FLAG_NONE;
    ComPtr<ID3DBlob> serialized;
    ComPtr<ID3DBlob> serializeErrors;
    ThrowIfFailed(D3D12SerializeVersionedRootSignature(&desc, &serialized, &serializeErrors), "Serialize root signature");
    d.rootSignature.Reset();
    ThrowIfFailed(d.device->CreateRootSignature(0, serialized->GetBufferPointer(), serialized->GetBufferSize(),
                                                IID_PPV_ARGS(&d.rootSignature)),
                  "CreateRootSignature");

    D3D12_COMPUTE_PIPELINE_STATE_DESC pso{};
    pso.pRootSignature = d.rootSignature.Get();
    pso.NodeMask = 0;
    pso.Flags = D3D12_PIPELINE_STATE_FLAG_NONE;
    pso.CS = {physicsCode->GetBufferPointer(), physicsCode->GetBufferSize()};
    d.physicsPipeline.Reset();
    ThrowIfFailed(d.device->CreateComputePipelineState(&pso, IID_PPV_ARGS(&d.physicsPipeline)), "Create physics PSO");
    pso.CS = {renderCode->GetBufferPointer(), renderCode->GetBufferSize()};
    d.renderPipeline.Reset();
    ThrowIfFailed(d.device->CreateComputePipelineState(&pso, IID_PPV_ARGS(&d.renderPipeline)), "Create render PSO");
}

void Render(App& app)
{
    if (!app.gpu.d3d) {
        return;
    }
    D3DObjects& d = Objects(app);
    if (!d.renderTargetsUsable) {
        return;  // a failed resize left no buffers to draw into
    }
    const uint32_t i = app.gpu.frameIndex;
    ThrowIfFailed(d.commandAllocators[i]->Reset(), "Reset allocator");
    ThrowIfFailed(d.commandList->Reset(d.commandAllocators[i].Get(), nullptr), "Reset cmd list");
    // This buffer's constant block: the frame that last read it has finished.
    std::memcpy(d.constantBufferMapped + ConstantBlockOffset(i), &app.gpu.frameConstants, kConstantBlockSize);
    D3DFrameSink sink(app, d, i);
    RecordFrameCommands(app.gpu, app.world.bricksDirty, app.width, app.height, sink);
    ThrowIfFailed(d.commandList->Close(), "Close command list");
    ID3D12CommandList* lists[] = {d.commandList.Get()};
    d.commandQueue->ExecuteCommandLists(1, lists);
    const PresentParameters present = PresentParametersFor(app.presentMode, app.tearingSupported);
    ThrowIfFailed(d.swapChain->Present(present.syncInterval, present.allowTearing ? DXGI_PRESENT_ALLOW_TEARING : 0),
                  "Present");
    MoveToNextFrame(app);
}

void OnResize(App& app, uint32_t newWidth, uint32_t newHeight)
{
    D3DObjects* objects = app.gpu.d3d.get();
    const bool gpuReady = objects != nullptr && objects->device && objects->swapChain && objects->rtvHeap;
    if (objects != nullptr && objects->device && !objects->swapChain && objects->rtvHeap) {
        return;  // the window is going away: its swap chain has been released
    }
    const ResizeDecision decision = DecideResize(gpuReady, app.width, app.height, newWidth, newHeight);
    switch (decision.kind) {
    case ResizeKind::StoreOnly:
        app.width = newWidth;
        app.height = newHeight;
        return;
    case ResizeKind::IgnoreZero:
        OutputDebugStringA("OnResize: Ignoring zero-dimension resize request\n");
        return;
    case ResizeKind::SameSize:
        return;
    case ResizeKind::Resize:
        break;
    }
    D3DObjects& d = *objects;
    char line[128];
    std::snprintf(line, sizeof(line), "OnResize: Attempting resize from %ux%u to %ux%u\n", app.width, app.height,
                  decision.width, decision.height);
    OutputDebugStringA(line);
    try {
        WaitForGpu(app);
        app.gpu.fenceValues[0] = app.gpu.fenceValues[1] = app.gpu.fenceValues[app.gpu.frameIndex];
        d.renderTargetsUsable = false;
        d.renderTargets[0].Reset();
        d.renderTargets[1].Reset();
        DXGI_SWAP_CHAIN_DESC desc{};
        d.swapChain->GetDesc(&desc);
        ThrowIfFailed(d.swapChain->ResizeBuffers(2, decision.width, decision.height, desc.BufferDesc.Format, desc.Flags),
                      "ResizeBuffers");
        app.width = decision.width;
        app.height = decision.height;
        app.gpu.frameIndex = d.swapChain->GetCurrentBackBufferIndex();
        CreateRenderTargetViews(d, app.gpu.rtvDescriptorSize, "GetBuffer resize");
        CreateOutputTexture(app);
        d.renderTargetsUsable = true;
        RefreshTelemetry(app);
        std::snprintf(line, sizeof(line), "OnResize: Successfully resized to %ux%u\n", app.width, app.height);
        OutputDebugStringA(line);
    } catch (const std::exception& e) {
        char text[256];
        std::snprintf(text, sizeof(text), "Resize Error: %s\nAttempted: %ux%u, Remaining at: %ux%u\n", e.what(),
                      decision.width, decision.height, app.width, app.height);
        OutputDebugStringA(text);
        try {
            app.gpu.frameIndex = d.swapChain->GetCurrentBackBufferIndex();
            D3D12_CPU_DESCRIPTOR_HANDLE handle = d.rtvHeap->GetCPUDescriptorHandleForHeapStart();
            for (UINT i = 0; i < 2; ++i) {
                d.renderTargets[i].Reset();
                if (FAILED(d.swapChain->GetBuffer(i, IID_PPV_ARGS(&d.renderTargets[i]))) || !d.renderTargets[i]) {
                    OutputDebugStringA("OnResize: CRITICAL - Failed to re-acquire render target!\n");
                    throw std::runtime_error("Failed to recover render targets");
                }
                D3D12_CPU_DESCRIPTOR_HANDLE slot{handle.ptr + static_cast<SIZE_T>(i) * app.gpu.rtvDescriptorSize};
                d.device->CreateRenderTargetView(d.renderTargets[i].Get(), nullptr, slot);
            }
            CreateOutputTexture(app);
            d.renderTargetsUsable = true;
            OutputDebugStringA("OnResize: Resource recovery successful\n");
        } catch (const std::exception&) {
            d.renderTargetsUsable = false;
            OutputDebugStringA("OnResize: CRITICAL - Resource recovery failed - application may crash\n");
        }
        MessageBoxA(static_cast<HWND>(app.mainWindow), text, "Resize Failed", MB_OK | MB_ICONWARNING);
    }
}

void ReleaseSwapChain(App& app)
{
    if (!app.gpu.d3d || !app.gpu.d3d->swapChain) {
        return;
    }
    D3DObjects& d = Objects(app);
    WaitForGpu(app);
    d.renderTargetsUsable = false;
    d.renderTargets[0].Reset();
    d.renderTargets[1].Reset();
    d.swapChain.Reset();
}

void ClearDebrisBuffer(App& app)
{
    if (!app.gpu.d3d || !app.gpu.d3d->debrisUpload) {
        return;  // no GPU yet: nothing to clear
    }
    D3DObjects& d = Objects(app);
    const uint32_t i = app.gpu.frameIndex;
    const D3D12_RANGE nothingRead{0, 0};
    void* mapped = nullptr;
    ThrowIfFailed(d.debrisUpload->Map(0, &nothingRead, &mapped), "Map debris upload");
    std::memset(mapped, 0, kDebrisBytes);
    d.debrisUpload->Unmap(0, nullptr);
    ThrowIfFailed(d.commandAllocators[i]->Reset(), "Reset allocator for debris clear");
    ThrowIfFailed(d.commandList->Reset(d.commandAllocators[i].Get(), nullptr), "Reset list for debris clear");
    RecordBarriers(d, DebrisClearTransitionsBefore(app.gpu), i);
    d.commandList->CopyBufferRegion(d.debrisBuffer.Get(), 0, d.debrisUpload.Get(), 0, kDebrisBytes);
    RecordBarriers(d, DebrisClearTransitionsAfter(app.gpu), i);
    ThrowIfFailed(d.commandList->Close(), "Close debris clear list");
    ID3D12CommandList* lists[] = {d.commandList.Get()};
    d.commandQueue->ExecuteCommandLists(1, lists);
    WaitForGpu(app);
}
