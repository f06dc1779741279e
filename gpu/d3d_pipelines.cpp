// Compiling the two compute programs from the shader file beside the
// executable, the root signature they share, and their pipelines.
#include <d3dcompiler.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "gpu/d3d_backend.h"
#include "gpu/d3d_objects.h"
#include "gpu/d3d_support.h"
#include "gpu/frame_recording.h"
#include "gpu/gpu_objects.h"
#include "gpu/shader_source.h"

namespace {

// The executable's path, whatever its length.
std::filesystem::path ExecutablePath()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            throw std::runtime_error(
                FailureText("GetModuleFileNameW", static_cast<int32_t>(HRESULT_FROM_WIN32(GetLastError()))));
        }
        if (length < buffer.size()) {
            return std::filesystem::path(std::wstring(buffer.data(), length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

// Compiles one entry point. On failure the compiler's messages go to the
// debugger output whole, and their first lines follow the failure text.
ComPtr<ID3DBlob> CompileEntryPoint(const std::filesystem::path& file, const char* entryPoint)
{
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
        throw std::runtime_error(
            CompileFailureText(entryPoint, std::string(kShaderFileName) + " next to the executable is a directory, not a file"));
    }
    ComPtr<ID3DBlob> code;
    ComPtr<ID3DBlob> errors;
    const HRESULT result = D3DCompileFromFile(file.c_str(), nullptr, nullptr, entryPoint, "cs_5_1",
                                              D3DCOMPILE_DEBUG | D3DCOMPILE_ENABLE_STRICTNESS, 0, &code, &errors);
    if (FAILED(result)) {
        std::string messages;
        if (errors) {
            messages.assign(static_cast<const char*>(errors->GetBufferPointer()), errors->GetBufferSize());
            messages = messages.c_str();  // the blob may end in a terminating zero
            OutputDebugStringA(messages.c_str());
        }
        if (messages.empty()) {
            messages = FailureText("D3DCompileFromFile", static_cast<int32_t>(result));
        }
        throw std::runtime_error(CompileFailureText(entryPoint, messages));
    }
    return code;
}

// Parameter 0: the constant block (b0); 1, 2, 3: one-descriptor tables for
// t0 (bricks), u0 (output texture) and u1 (debris).
ComPtr<ID3D12RootSignature> CreateRootSignature(ID3D12Device* device)
{
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
    ComPtr<ID3D12RootSignature> signature;
    ThrowIfFailed(device->CreateRootSignature(0, serialized->GetBufferPointer(), serialized->GetBufferSize(),
                                              IID_PPV_ARGS(&signature)),
                  "CreateRootSignature");
    return signature;
}

}  // namespace

void CreatePipelines(GpuObjects& gpu)
{
    D3DObjects& d = *gpu.d3d;
    const std::filesystem::path shaderPath = ShaderPathBeside(ExecutablePath());
    RequireShaderFile(shaderPath);
    ComPtr<ID3DBlob> physicsCode = CompileEntryPoint(shaderPath, "updatePhysics");
    ComPtr<ID3DBlob> renderCode = CompileEntryPoint(shaderPath, "renderCS");

    d.rootSignature.Reset();
    d.rootSignature = CreateRootSignature(d.device.Get());

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
