#pragma once
// The Direct3D 12 backend of the Windows build.
#include <cstdint>

struct App;
struct GpuObjects;

// Factory, adapter, device, queue, two allocators, the command list and the fence.
bool CreateDeviceObjects(App& app);
// Blocks until the GPU has finished everything submitted so far.
void WaitForGpu(GpuObjects& gpu);
// After a present: signals the frame, moves to the next back buffer and waits
// until the GPU has finished the frame that last used it.
void MoveToNextFrame(GpuObjects& gpu);

// The two-buffer flip-model swap chain, scRGB where supported, and its render targets.
void CreateSwapChain(App& app);
// The shader-visible heap of three descriptors (bricks, debris, output texture).
void CreateShaderVisibleHeap(App& app);
// Constant blocks, brick buffer and upload ring, debris buffer and upload, output texture.
void CreateGpuBuffers(App& app);
void CreateOutputTexture(App& app);
// The start-up sequence up to the buffers: device objects, swap chain,
// shader-visible heap and GPU buffers.
void CreateGpuObjects(App& app);
// Compiles both compute programs from the shader file beside the executable.
void CreatePipelines(App& app);

// Records, submits and presents one frame.
void Render(App& app);
// False while there is nothing to draw into (after a failed resize recovery,
// or once the swap chain is gone).
bool CanRender(const GpuObjects& gpu);
// Follows a new client size; never throws, recovers from failures itself.
// True when the swap chain and the output texture took the new size.
bool OnResize(App& app, uint32_t newWidth, uint32_t newHeight);
// The main window is being destroyed: waits for the GPU and releases the swap
// chain and its buffers while their window still exists. No frame is drawn after this.
void ReleaseSwapChain(App& app);
// Fills the GPU debris buffer with zeros and waits until it is done.
void ClearDebrisBuffer(GpuObjects& gpu);
