#pragma once
// The Direct3D 12 backend of the Windows build. It works on its own objects
// (GpuObjects) and is told at each call what it draws into (GpuSurface) and
// what a frame shows (FrameInputs); it knows nothing of the program around it.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "game/world.h"
#include "gpu/frame_constants.h"
#include "gpu/present_mode.h"

struct AdapterList;
struct GpuObjects;
struct GpuPassTimesList;

// The window the backend draws into and how its frames are presented.
struct GpuSurface {
    void* window = nullptr;  // the window's HWND
    uint32_t width = 0;      // its client size: the size of the swap chain and of the output texture
    uint32_t height = 0;
    PresentMode presentMode = PresentMode::VsyncOff;
    bool tearingSupported = false;  // the system allows tearing presents
};

// What one frame shows: its constant block and, when they changed since the
// last frame drawn, the bricks (null when they did not).
struct FrameInputs {
    const FrameConstants& constants;
    const std::array<Brick, kBrickSlots>* changedBricks;
};

// The system's graphics adapters in its order, and its ranking of them by
// performance where it has one (gpu/adapter_choice.h). Throws when DXGI
// cannot be reached.
AdapterList ListAdapters();
// Factory, device (on adapter gpu.adapterIndex, or on the default adapter,
// whose index is then stored), queue, two allocators, the command list and
// the fence. Returns whether the system allows tearing presents.
bool CreateDeviceObjects(GpuObjects& gpu);
// The local (the adapter's own) video memory the program uses now and the
// budget the system gives it, in bytes; nothing where the adapter cannot say.
struct LocalVideoMemory {
    uint64_t usageBytes = 0;
    uint64_t budgetBytes = 0;
};
std::optional<LocalVideoMemory> ReadLocalVideoMemory(const GpuObjects& gpu);
// Blocks until the GPU has finished everything submitted so far.
void WaitForGpu(GpuObjects& gpu);
// "Device removed: <reason>" (DeviceRemovedText) once the device has been
// removed or reset, which makes every later call on it fail; empty while it
// answers (and before it exists).
std::string DeviceLossText(const GpuObjects& gpu);
// After a present: signals the frame, moves to the next back buffer and waits
// until the GPU has finished the frame that last used it.
void MoveToNextFrame(GpuObjects& gpu);

// The two-buffer flip-model swap chain, scRGB where supported, and its render targets.
void CreateSwapChain(GpuObjects& gpu, const GpuSurface& surface);
// The shader-visible heap of three descriptors (bricks, debris, output texture).
void CreateShaderVisibleHeap(GpuObjects& gpu);
// Constant blocks, brick buffer and upload ring, debris buffer and upload, and
// a width x height output texture.
void CreateGpuBuffers(GpuObjects& gpu, uint32_t width, uint32_t height);
void CreateOutputTexture(GpuObjects& gpu, uint32_t width, uint32_t height);
// The timestamp query heap and its read-back buffer, at the queue's
// timestamp frequency; a queue or device without timestamps leaves the GPU
// time per pass out (nothing fails).
void CreateTimestampQueries(GpuObjects& gpu);
// The start-up sequence up to the buffers: device objects (which find out
// whether the surface may tear), swap chain, shader-visible heap, GPU buffers
// and timestamp queries.
void CreateGpuObjects(GpuObjects& gpu, GpuSurface& surface);
// Compiles both compute programs from the shader file beside the executable.
void CreatePipelines(GpuObjects& gpu);

// Records, submits and presents one frame. False when nothing was recorded
// (no GPU objects, or no buffers after a failed resize recovery): the changed
// bricks, if any, are then still to be uploaded. `finished` gets the GPU time
// per pass of the earlier frames whose timestamps were read back before this
// one was recorded (oldest first; none without timestamps or when nothing was
// recorded). gpu.lastPresent then holds the timing of its Present call.
bool Render(GpuObjects& gpu, const GpuSurface& surface, const FrameInputs& frame, GpuPassTimesList& finished);
// False while there is nothing to draw into (after a failed resize recovery,
// or once the swap chain is gone).
bool CanRender(const GpuObjects& gpu);
// After a present found the window hidden (GpuObjects::occluded): asks again,
// presenting nothing, and keeps the answer there.
bool StillOccluded(GpuObjects& gpu, const GpuSurface& surface);

// What a resize did: whether the swap chain and the output texture took the
// new size and, when it failed, the text for the "Resize Failed" box (the
// resources have been recovered where possible by then).
struct ResizeOutcome {
    bool resized = false;
    std::string failure;
};
// Follows a new client size: the surface's size follows what the swap chain
// took. Never throws, recovers from failures itself.
ResizeOutcome OnResize(GpuObjects& gpu, GpuSurface& surface, uint32_t newWidth, uint32_t newHeight);
// The window is being destroyed: waits for the GPU and releases the swap chain
// and its buffers while their window still exists. No frame is drawn after this.
void ReleaseSwapChain(GpuObjects& gpu);
// Fills the GPU debris buffer with zeros and waits until it is done.
void ClearDebrisBuffer(GpuObjects& gpu);
