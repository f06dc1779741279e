#pragma once
// What the GPU backend decides without talking to Direct3D: failure texts,
// dispatch sizes, resize decisions, and the order of commands of a frame and
// of the debris clear, with barriers only where a tracked state differs.
#include <cstdint>
#include <string>
#include <vector>

#include "gpu/present_mode.h"

struct GpuObjects;

// "CreateDevice (hr=0x887a0004)": the operation, then the result in lowercase hexadecimal.
std::string FailureText(const char* operation, int32_t result);

// What a removed device gave as its reason (ID3D12Device::GetDeviceRemovedReason):
// "Device removed: 0x887a0006 DXGI_ERROR_DEVICE_HUNG (the GPU stopped
// responding and was reset)", the code as in FailureText, its name and what it
// means to the user; a code the table does not know is named "unknown reason".
std::string DeviceRemovedText(int32_t reason);

// The reasons DeviceRemovedText names: copies of the DXGI_ERROR_* codes,
// checked against the Windows headers where they are included (gpu/d3d_support.cpp).
struct DeviceRemovalReason {
    uint32_t code;
    const char* name;
    const char* meaning;
};
inline constexpr DeviceRemovalReason kDeviceRemovalReasons[] = {
    {0x00000000u, "S_OK", "the device still answers"},
    {0x887A0001u, "DXGI_ERROR_INVALID_CALL", "the device was given invalid data"},
    {0x887A0005u, "DXGI_ERROR_DEVICE_REMOVED", "the graphics card was removed or disabled, or its driver was updated"},
    {0x887A0006u, "DXGI_ERROR_DEVICE_HUNG", "the GPU stopped responding and was reset"},
    {0x887A0007u, "DXGI_ERROR_DEVICE_RESET", "the GPU was reset after a command failed"},
    {0x887A0020u, "DXGI_ERROR_DRIVER_INTERNAL_ERROR", "the graphics driver failed"},
};

struct DispatchSize {
    uint32_t x, y, z;
};
inline constexpr DispatchSize kPhysicsDispatch{128, 1, 1};  // 8192 particles, 64 threads per group
DispatchSize RenderDispatch(uint32_t width, uint32_t height);

inline constexpr uint32_t kMaxResizeDimension = 8192;

enum class ResizeKind {
    StoreOnly,  // the GPU objects do not exist yet: only the size is kept
    IgnoreZero, // a minimised window
    SameSize,   // nothing to do
    Resize,     // resize the swap chain and the output texture to width x height
};
// Each side is clamped to 8192 before it is compared: a window wider than that
// draws at 8192, and a larger one is the same size to the GPU. The last size
// whose resize failed (failedWidth x failedHeight, 0 x 0 for none) is not
// tried again: the frames stay at the size that worked. buffersMissing: a
// failed recovery left no render targets; any size, the same one included, is
// then a chance to bring them back.
struct ResizeDecision {
    ResizeKind kind;
    uint32_t width;  // clamped to 8192 for Resize and SameSize
    uint32_t height;
};
ResizeDecision DecideResize(bool gpuReady, bool buffersMissing, uint32_t currentWidth, uint32_t currentHeight,
                            uint32_t newWidth, uint32_t newHeight, uint32_t failedWidth = 0, uint32_t failedHeight = 0);

// The constant block of each swap-chain buffer sits at its own offset in one
// upload buffer, so a frame never rewrites constants the GPU may still read.
inline constexpr uint32_t kConstantBlockSize = 512;
inline constexpr uint32_t kConstantBlocks = 2;
inline constexpr uint64_t ConstantBlockOffset(uint32_t frameIndex)
{
    return static_cast<uint64_t>(frameIndex) * kConstantBlockSize;
}

enum class GpuResource { BrickBuffer, DebrisBuffer, OutputTexture, BackBuffer };

// The two compute programs.
enum class ComputePipeline { Physics, Render };

struct Transition {
    GpuResource resource;
    uint32_t before;
    uint32_t after;
    bool operator==(const Transition& o) const
    {
        return resource == o.resource && before == o.before && after == o.after;
    }
};

// The recording calls of a frame, as the command list receives them.
class FrameCommandSink {
public:
    virtual ~FrameCommandSink() = default;
    // One ResourceBarrier call with these transitions, in order.
    virtual void Barriers(const std::vector<Transition>& transitions) = 0;
    // Copy the brick table into this frame's upload slot and record its copy into the brick buffer.
    virtual void UploadBricks() = 0;
    // Heap, root signature, this frame's constants and the three descriptor tables.
    virtual void BindRootArguments() = 0;
    virtual void Dispatch(ComputePipeline pipeline, DispatchSize groups) = 0;
    virtual void DebrisUavBarrier() = 0;
    virtual void CopyOutputToBackBuffer() = 0;
};

// Records one frame: brick upload when dirty, debris and output texture
// brought to unordered access when needed, the two dispatches, and the copy
// into the back buffer. Updates the tracked states; clears bricksDirty.
void RecordFrameCommands(GpuObjects& gpu, bool& bricksDirty, uint32_t width, uint32_t height, FrameCommandSink& sink);

// The transitions around the debris clear's copy: into copy-destination if
// needed (before the copy) and back to unordered access (after it).
std::vector<Transition> DebrisClearTransitionsBefore(const GpuObjects& gpu);
std::vector<Transition> DebrisClearTransitionsAfter(GpuObjects& gpu);

// Whether the frames are presented in scRGB, and the title says "HDR ON": the
// swap chain can present in it and setting it succeeded (setResult, an HRESULT).
bool HdrColourSpaceTaken(bool presentSupported, int32_t setResult);

// Sync interval and whether to ask for tearing, for a present mode (any
// value outside the three modes presents with vertical sync).
struct PresentParameters {
    uint32_t syncInterval;
    bool allowTearing;
};
PresentParameters PresentParametersFor(PresentMode presentMode, bool tearingSupported);
