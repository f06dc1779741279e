#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "gpu/gpu_timing.h"

// The Direct3D 12 and DXGI objects themselves (device, queue, swap chain,
// heaps, buffers, pipelines). They exist only in the Windows build; the
// portable core sees them as an opaque owner that is null until created.
struct D3DObjects;
struct D3DObjectsRelease {
    void operator()(D3DObjects* objects) const noexcept;
};

// Resource states as the portable decisions track them: copies of the
// D3D12_RESOURCE_STATE_* values, checked against d3d12.h where it is included
// (gpu/d3d_support.cpp).
inline constexpr uint32_t kStateCopyDest = 0x400;          // D3D12_RESOURCE_STATE_COPY_DEST
inline constexpr uint32_t kStateUnorderedAccess = 0x8;     // D3D12_RESOURCE_STATE_UNORDERED_ACCESS
inline constexpr uint32_t kStateNonPixelShaderResource = 0x40;  // D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE
inline constexpr uint32_t kStateCopySource = 0x800;        // D3D12_RESOURCE_STATE_COPY_SOURCE
inline constexpr uint32_t kStatePresent = 0x0;             // D3D12_RESOURCE_STATE_PRESENT

// The last Present call: the fence value that its frame's completion signals
// (as its GPU pass times name it), the performance counter read just before
// the call and just after it returned, and the sync interval and flags it was given.
struct PresentTiming {
    uint64_t frame = 0;
    int64_t counterBefore = 0;
    int64_t counterAfter = 0;
    uint32_t syncInterval = 0;
    uint32_t flags = 0;
};

// The GPU group of the App: the Direct3D objects (with their own bookkeeping:
// fence values, frame index, descriptor sizes) behind an opaque owner, and
// what the portable side reads or decides: the tracked resource states and the
// failed size that gpu/frame_recording.* decide on, the adapter, occlusion,
// the timestamp slots, the last Present call and a failed resize's text.
struct GpuObjects {
    std::unique_ptr<D3DObjects, D3DObjectsRelease> d3d;
    // The adapter the device is created on, as --list-adapters numbers it;
    // -1 until then: the default (DefaultAdapter).
    int32_t adapterIndex = -1;
    bool hdrEnabled = false;
    // The last present found the window where nobody can see it (minimised
    // or covered): its frames need not be drawn.
    bool occluded = false;
    uint32_t brickBufferState = kStateCopyDest;
    uint32_t debrisBufferState = kStateUnorderedAccess;
    uint32_t outputTextureState = kStateUnorderedAccess;
    // The timestamp read-back slots of the GPU time per pass (gpu/gpu_timing.h).
    GpuTimestampRing timestamps;
    PresentTiming lastPresent;
    // What the last resize whose recovery failed reported (nothing can be
    // drawn until another resize succeeds).
    std::string resizeFailure;
    // The last size whose resize failed, not tried again until another size
    // has worked (0 x 0: none).
    uint32_t failedWidth = 0;
    uint32_t failedHeight = 0;
};
