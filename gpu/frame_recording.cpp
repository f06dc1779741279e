#include "gpu/frame_recording.h"

#include <algorithm>
#include <cstdio>

#include "gpu/gpu_objects.h"

std::string FailureText(const char* operation, int32_t result)
{
    char text[256];
    std::snprintf(text, sizeof(text), "%s (hr=0x%x)", operation, static_cast<unsigned>(result));
    return text;
}

DispatchSize RenderDispatch(uint32_t width, uint32_t height)
{
    return DispatchSize{(width + 7) / 8, (height + 7) / 8, 1};
}

ResizeDecision DecideResize(bool gpuReady, bool buffersMissing, uint32_t currentWidth, uint32_t currentHeight,
                            uint32_t newWidth, uint32_t newHeight)
{
    if (!gpuReady) {
        return {ResizeKind::StoreOnly, newWidth, newHeight};
    }
    if (newWidth == 0 || newHeight == 0) {
        return {ResizeKind::IgnoreZero, newWidth, newHeight};
    }
    if (newWidth == currentWidth && newHeight == currentHeight && !buffersMissing) {
        return {ResizeKind::SameSize, newWidth, newHeight};
    }
    return {ResizeKind::Resize, std::min(newWidth, kMaxResizeDimension), std::min(newHeight, kMaxResizeDimension)};
}

void RecordFrameCommands(GpuObjects& gpu, bool& bricksDirty, uint32_t width, uint32_t height, FrameCommandSink& sink)
{
    if (bricksDirty) {
        if (gpu.brickBufferState != kStateCopyDest) {
            sink.Barriers({{GpuResource::BrickBuffer, gpu.brickBufferState, kStateCopyDest}});
        }
        sink.UploadBricks();
        sink.Barriers({{GpuResource::BrickBuffer, kStateCopyDest, kStateNonPixelShaderResource}});
        gpu.brickBufferState = kStateNonPixelShaderResource;
        bricksDirty = false;
    }

    std::vector<Transition> toUnorderedAccess;
    if (gpu.debrisBufferState != kStateUnorderedAccess) {
        toUnorderedAccess.push_back({GpuResource::DebrisBuffer, gpu.debrisBufferState, kStateUnorderedAccess});
        gpu.debrisBufferState = kStateUnorderedAccess;
    }
    if (gpu.outputTextureState != kStateUnorderedAccess) {
        toUnorderedAccess.push_back({GpuResource::OutputTexture, gpu.outputTextureState, kStateUnorderedAccess});
        gpu.outputTextureState = kStateUnorderedAccess;
    }
    if (!toUnorderedAccess.empty()) {
        sink.Barriers(toUnorderedAccess);
    }

    sink.BindRootArguments();
    sink.Dispatch(ComputePipeline::Physics, kPhysicsDispatch);
    sink.DebrisUavBarrier();
    sink.Dispatch(ComputePipeline::Render, RenderDispatch(width, height));

    sink.Barriers({{GpuResource::OutputTexture, kStateUnorderedAccess, kStateCopySource},
                   {GpuResource::BackBuffer, kStatePresent, kStateCopyDest}});
    gpu.outputTextureState = kStateCopySource;
    sink.CopyOutputToBackBuffer();
    sink.Barriers({{GpuResource::BackBuffer, kStateCopyDest, kStatePresent},
                   {GpuResource::OutputTexture, kStateCopySource, kStateUnorderedAccess}});
    gpu.outputTextureState = kStateUnorderedAccess;
}

std::vector<Transition> DebrisClearTransitionsBefore(const GpuObjects& gpu)
{
    if (gpu.debrisBufferState == kStateCopyDest) {
        return {};
    }
    return {{GpuResource::DebrisBuffer, gpu.debrisBufferState, kStateCopyDest}};
}

std::vector<Transition> DebrisClearTransitionsAfter(GpuObjects& gpu)
{
    gpu.debrisBufferState = kStateUnorderedAccess;
    return {{GpuResource::DebrisBuffer, kStateCopyDest, kStateUnorderedAccess}};
}

PresentParameters PresentParametersFor(PresentMode presentMode, bool tearingSupported)
{
    switch (presentMode) {
    case PresentMode::VsyncOff: return {0, tearingSupported};
    case PresentMode::VsyncOn: return {1, false};
    case PresentMode::TripleBuffer: return {0, false};
    }
    return {1, false};
}
