// Recording, submitting and presenting one frame.
#include <cstring>

#include "game/world.h"
#include "gpu/d3d_backend.h"
#include "gpu/d3d_objects.h"
#include "gpu/d3d_support.h"
#include "gpu/frame_constants.h"
#include "gpu/frame_recording.h"
#include "gpu/gpu_objects.h"

namespace {

constexpr UINT64 kBrickTableBytes = sizeof(Brick) * kBrickSlots;  // 16384

// Turns the frame's command sequence into command-list calls.
class D3DFrameSink final : public FrameCommandSink {
public:
    D3DFrameSink(const std::array<Brick, kBrickSlots>* bricks, D3DObjects& d, uint32_t frameIndex)
        : bricks_(bricks), d_(d), i_(frameIndex)
    {
    }

    void Barriers(const std::vector<Transition>& transitions) override { RecordBarriers(d_, transitions, i_); }

    void UploadBricks() override
    {
        std::memcpy(d_.brickUploadMapped[i_], bricks_->data(), kBrickTableBytes);
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

    void Dispatch(ComputePipeline pipeline, DispatchSize groups) override
    {
        d_.commandList->SetPipelineState(pipeline == ComputePipeline::Render ? d_.renderPipeline.Get()
                                                                              : d_.physicsPipeline.Get());
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
    const std::array<Brick, kBrickSlots>* bricks_;  // asked for only when they changed
    D3DObjects& d_;
    uint32_t i_;
};

}  // namespace

bool CanRender(const GpuObjects& gpu)
{
    return gpu.d3d && gpu.d3d->swapChain && gpu.d3d->renderTargetsUsable;
}

bool Render(GpuObjects& gpu, const GpuSurface& surface, const FrameInputs& frame)
{
    if (!gpu.d3d) {
        return false;
    }
    D3DObjects& d = *gpu.d3d;
    if (!d.renderTargetsUsable) {
        return false;  // a failed resize left no buffers to draw into
    }
    const uint32_t i = gpu.frameIndex;
    ThrowIfFailed(d.commandAllocators[i]->Reset(), "Reset allocator");
    ThrowIfFailed(d.commandList->Reset(d.commandAllocators[i].Get(), nullptr), "Reset cmd list");
    // This buffer's constant block (the frame that last read it has finished),
    // with the size the dispatch covers now.
    const FrameConstants constants = ConstantsForRender(frame.constants, surface.width, surface.height);
    std::memcpy(d.constantBufferMapped + ConstantBlockOffset(i), &constants, kConstantBlockSize);
    D3DFrameSink sink(frame.changedBricks, d, i);
    bool uploadBricks = frame.changedBricks != nullptr;
    RecordFrameCommands(gpu, uploadBricks, surface.width, surface.height, sink);
    ThrowIfFailed(d.commandList->Close(), "Close command list");
    ID3D12CommandList* lists[] = {d.commandList.Get()};
    d.commandQueue->ExecuteCommandLists(1, lists);
    const PresentParameters present = PresentParametersFor(surface.presentMode, surface.tearingSupported);
    ThrowIfFailed(d.simulatedRemovalReason != S_OK
                      ? DXGI_ERROR_DEVICE_REMOVED
                      : d.swapChain->Present(present.syncInterval, present.allowTearing ? DXGI_PRESENT_ALLOW_TEARING : 0),
                  "Present");
    MoveToNextFrame(gpu);
    return true;
}
