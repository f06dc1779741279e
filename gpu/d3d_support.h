#pragma once
// Helpers the Direct3D 12 backend shares between its parts (and with the GPU
// test program): the failure convention, heap properties, buffer creation,
// transition barriers and a recorded submission that waits for the GPU.
#include <cstdint>
#include <functional>
#include <vector>

#include "gpu/d3d_objects.h"
#include "gpu/frame_recording.h"

struct GpuObjects;

// A failed platform call throws "<operation> (hr=0x<code in lowercase hex>)".
void ThrowIfFailed(HRESULT result, const char* operation);

// Why the device was removed or reset (S_OK while it answers), or the
// simulated reason a test has given it.
HRESULT DeviceRemovedReason(const D3DObjects& d);

D3D12_HEAP_PROPERTIES HeapProperties(D3D12_HEAP_TYPE type);

// A committed buffer of `size` bytes in a heap of the given type.
ComPtr<ID3D12Resource> CreateBuffer(ID3D12Device* device, D3D12_HEAP_TYPE heap, UINT64 size,
                                    D3D12_RESOURCE_FLAGS flags, D3D12_RESOURCE_STATES state, const char* operation);

// A transition of all subresources, no flags.
D3D12_RESOURCE_BARRIER TransitionBarrier(ID3D12Resource* resource, uint32_t before, uint32_t after);

// Records the transitions, in order, in one ResourceBarrier call on the
// program's command list; the back buffer is that of frameIndex.
void RecordBarriers(D3DObjects& d, const std::vector<Transition>& transitions, uint32_t frameIndex);

// The operation names a submission's failures carry.
struct SubmissionNames {
    const char* resetAllocator;
    const char* resetList;
    const char* closeList;
};

// Records with `record` on the program's command list (with the current
// frame's allocator, which the last frame advance left free), submits it and
// waits until the GPU has finished.
void SubmitAndWait(GpuObjects& gpu, const SubmissionNames& names,
                   const std::function<void(ID3D12GraphicsCommandList*)>& record);
