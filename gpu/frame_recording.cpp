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

std::string DeviceRemovedText(int32_t reason)
{
    const auto code = static_cast<uint32_t>(reason);
    std::string text = "Device removed: 0x";
    char hex[16];
    std::snprintf(hex, sizeof(hex), "%x", code);
    text += hex;
    for (const DeviceRemovalReason& known : kDeviceRemovalReasons) {
        if (known.code == code) {
            return text + " " + known.name + " (" + known.meaning + ")";
        }
    }
    return text + " (unknown reason)";
}

DispatchSize RenderDispatch(uint32_t width, uint32_t height)
{
    return DispatchSize{(width + 7) / 8, (height + 7) / 8, 1};
}

ResizeDecision DecideResize(bool gpuReady, bool buffersMissing, uint32_t currentWidth, uint32_t currentHeight,
                            uint32_t newWidth, uint32_t newHeight, uint32_t failedWidth, uint32_t failedHeight)
{
    if (!gpuReady) {
        return {ResizeKind::StoreOnly, newWidth, newHeight};
    }
    if (newWidth == 0 || newHeight == 0) {
        return {ResizeKind::IgnoreZero, newWidth, newHeight};
    }
    const uint32_t w = std::min(newWidth, kMaxResizeDimension);
    const uint32_t h = std::min(newHeight, kMaxResizeDimension);
    const bool current = w == currentWidth && h == currentHeight;
    const bool failedBefore = w == failedWidth && h == failedHeight;
    if ((current || failedBefore) && !buffersMissing) {
        return {ResizeKind::SameSize, w, h};
    }
    return {ResizeKind::Resize, w, h};
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

bool HdrColourSpaceTaken(bool presentSupported, int32_t setResult)
{
    return presentSupported && setResult >= 0;
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
