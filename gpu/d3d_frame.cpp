// Recording, submitting and presenting one frame.
#include <cstring>
#include <optional>

#include "game/world.h"
#include "gpu/d3d_backend.h"
#include "gpu/d3d_objects.h"
#include "gpu/d3d_support.h"
#include "gpu/frame_constants.h"
#include "gpu/frame_recording.h"
#include "gpu/gpu_objects.h"
#include "gpu/gpu_timing.h"

namespace {

constexpr UINT64 kBrickTableBytes = sizeof(Brick) * kBrickSlots;  // 16384

// Turns the frame's command sequence into command-list calls.
class D3DFrameSink final : public FrameCommandSink {
public:
    D3DFrameSink(const std::array<Brick, kBrickSlots>* bricks, D3DObjects& d, uint32_t frameIndex, bool timestamps)
        : bricks_(bricks), d_(d), i_(frameIndex), timestamps_(timestamps)
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
        const bool render = pipeline == ComputePipeline::Render;
        d_.commandList->SetPipelineState(render ? d_.renderPipeline.Get() : d_.physicsPipeline.Get());
        Timestamp(render ? TimestampPoint::RenderBegin : TimestampPoint::PhysicsBegin);
        d_.commandList->Dispatch(groups.x, groups.y, groups.z);
        Timestamp(render ? TimestampPoint::RenderEnd : TimestampPoint::PhysicsEnd);
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
    void Timestamp(TimestampPoint point)
    {
        if (timestamps_) {
            d_.commandList->EndQuery(d_.timestampHeap.Get(), D3D12_QUERY_TYPE_TIMESTAMP, TimestampQueryIndex(i_, point));
        }
    }

    const std::array<Brick, kBrickSlots>* bricks_;  // asked for only when they changed
    D3DObjects& d_;
    uint32_t i_;
    bool timestamps_;
};

// The pass times of every slot whose frame has finished, oldest first; each
// slot is read once. Never waits: only slots past the fence are read.
void CollectPassTimes(GpuObjects& gpu, GpuPassTimesList& finished)
{
    D3DObjects& d = *gpu.d3d;
    if (!d.timestampReadback) {
        return;
    }
    for (const uint32_t slot : FinishedTimestampSlots(gpu.timestamps, d.fence->GetCompletedValue())) {
        const UINT64 offset = TimestampReadbackOffset(slot);
        const D3D12_RANGE read{static_cast<SIZE_T>(offset), static_cast<SIZE_T>(offset + sizeof(FrameTimestamps))};
        void* mapped = nullptr;
        FrameTimestamps stamps{};
        const bool mappedOk = SUCCEEDED(d.timestampReadback->Map(0, &read, &mapped));
        if (mappedOk) {
            std::memcpy(stamps.data(), static_cast<const uint8_t*>(mapped) + offset, sizeof(stamps));
            const D3D12_RANGE nothingWritten{0, 0};
            d.timestampReadback->Unmap(0, &nothingWritten);
        }
        // The slot is emptied either way; a frame that could not be read gives no times.
        const std::optional<GpuPassTimes> times = TakeGpuPassTimes(gpu.timestamps, slot, stamps);
        if (mappedOk && times) {
            finished.Add(*times);
        }
    }
}

}  // namespace

bool CanRender(const GpuObjects& gpu)
{
    return gpu.d3d && gpu.d3d->swapChain && gpu.d3d->renderTargetsUsable;
}

bool Render(GpuObjects& gpu, const GpuSurface& surface, const FrameInputs& frame, GpuPassTimesList& finished)
{
    finished = GpuPassTimesList{};
    if (!gpu.d3d) {
        return false;
    }
    D3DObjects& d = *gpu.d3d;
    if (!d.renderTargetsUsable) {
        return false;  // a failed resize left no buffers to draw into
    }
    const uint32_t i = d.frameIndex;
    CollectPassTimes(gpu, finished);  // before this frame's resolve reuses its slot
    ThrowIfFailed(d.commandAllocators[i]->Reset(), "Reset allocator");
    ThrowIfFailed(d.commandList->Reset(d.commandAllocators[i].Get(), nullptr), "Reset cmd list");
    // This buffer's constant block (the frame that last read it has finished),
    // with the size the dispatch covers now.
    const FrameConstants constants = ConstantsForRender(frame.constants, surface.width, surface.height);
    std::memcpy(d.constantBufferMapped + ConstantBlockOffset(i), &constants, kConstantBlockSize);
    const bool timestamps = RecordsGpuTimestamps(gpu.timestamps) && d.timestampHeap && d.timestampReadback;
    D3DFrameSink sink(frame.changedBricks, d, i, timestamps);
    bool uploadBricks = frame.changedBricks != nullptr;
    RecordFrameCommands(gpu, uploadBricks, surface.width, surface.height, sink);
    if (timestamps) {
        d.commandList->ResolveQueryData(d.timestampHeap.Get(), D3D12_QUERY_TYPE_TIMESTAMP,
                                        TimestampQueryIndex(i, TimestampPoint::PhysicsBegin), kTimestampsPerFrame,
                                        d.timestampReadback.Get(), TimestampReadbackOffset(i));
    }
    ThrowIfFailed(d.commandList->Close(), "Close command list");
    ID3D12CommandList* lists[] = {d.commandList.Get()};
    d.commandQueue->ExecuteCommandLists(1, lists);
    if (timestamps) {
        // Read back once the value that MoveToNextFrame signals for this frame has passed.
        GpuTimestampsSubmitted(gpu.timestamps, i, d.fenceValues[i]);
    }
    const PresentParameters present = PresentParametersFor(surface.presentMode, surface.tearingSupported);
    const UINT flags = present.allowTearing ? DXGI_PRESENT_ALLOW_TEARING : 0;
    // The time spent inside Present, on the frame clock's counter (the frame log's MsInPresentAPI).
    LARGE_INTEGER before{};
    LARGE_INTEGER after{};
    QueryPerformanceCounter(&before);
    const HRESULT presented =
        d.simulatedRemovalReason != S_OK ? DXGI_ERROR_DEVICE_REMOVED : d.swapChain->Present(present.syncInterval, flags);
    QueryPerformanceCounter(&after);
    ThrowIfFailed(presented, "Present");
    // A minimised window is hidden too, whether or not the present says so.
    gpu.occluded = presented == DXGI_STATUS_OCCLUDED || IsIconic(static_cast<HWND>(surface.window));
    gpu.lastPresent = PresentTiming{d.fenceValues[i], before.QuadPart, after.QuadPart, present.syncInterval, flags};
    MoveToNextFrame(gpu);
    return true;
}

bool StillOccluded(GpuObjects& gpu, const GpuSurface& surface)
{
    if (!gpu.d3d || !gpu.d3d->swapChain) {
        return false;
    }
    // DXGI_PRESENT_TEST presents nothing: it only asks whether a present would be seen.
    gpu.occluded = gpu.d3d->swapChain->Present(0, DXGI_PRESENT_TEST) == DXGI_STATUS_OCCLUDED ||
                   IsIconic(static_cast<HWND>(surface.window));
    return gpu.occluded;
}
