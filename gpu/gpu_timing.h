#pragma once
// GPU time per pass: timestamps around the two compute programs of every
// frame, read back without ever waiting for the GPU. The Direct3D 12 backend
// owns the timestamp query heap and the read-back buffer; what it decides
// (where each timestamp goes, when a frame's timestamps may be read, how
// ticks become milliseconds) lives here and is tested without a device.
//
// The backend's part, in this order:
//
// Once, after the command queue exists (CreateTimestampQueries):
//   StartGpuTimestamps(gpu.timestamps, frequency) with the queue's
//   GetTimestampFrequency, or 0 when the call fails, the queue cannot write
//   timestamps, or the query heap or the read-back buffer cannot be created.
//   With 0 nothing is recorded or read and the figures are left out (the
//   telemetry line stays empty, the results file has no "gpu" block).
//   The heap holds kTimestampQueryCount timestamps, the read-back buffer
//   kTimestampQueryCount x 8 bytes and stays in the copy-destination state.
//
// Every frame, in Render, for the frame's slot s (its swap-chain buffer, frameIndex):
//   1. Before recording, collect what has finished: with
//        completed = fence->GetCompletedValue(),
//      for each slot in FinishedTimestampSlots(gpu.timestamps, completed)
//      (oldest frame first), read that slot's kTimestampsPerFrame values at
//      TimestampReadbackOffset(slot) of the read-back buffer, then
//        if (auto times = TakeGpuPassTimes(gpu.timestamps, slot, stamps)) finished.Add(*times);
//      Render hands `finished` (a GpuPassTimesList) back to its caller; the
//      program's DrawFrame(App&) passes each to ReportGpuPassTimes (app/frame.h),
//      which feeds the telemetry and the benchmark.
//      The frame's own slot is always among them when it held a frame: its
//      fence was waited for before the slot came round again, so this never waits.
//   2. While recording, only when RecordsGpuTimestamps(gpu.timestamps):
//      EndQuery(heap, D3D12_QUERY_TYPE_TIMESTAMP, TimestampQueryIndex(s, point))
//      right before and right after each of the two dispatches (PhysicsBegin,
//      PhysicsEnd, RenderBegin, RenderEnd), then ResolveQueryData of the
//      kTimestampsPerFrame queries from TimestampQueryIndex(s, PhysicsBegin)
//      into the read-back buffer at TimestampReadbackOffset(s).
//   3. After ExecuteCommandLists, with the fence value that this frame's
//      MoveToNextFrame signals (gpu.d3d->fenceValues[s] before the call):
//        GpuTimestampsSubmitted(gpu.timestamps, s, fenceValue);
//
// A slot is read once per submitted frame. Submissions of their own (the
// debris clear, the waits of a resize or recovery) record no timestamps and
// touch no slot; after their WaitForGpu every slot's frame has finished and
// is collected by the next frame drawn, whatever its frameIndex. Slots still
// held when the swap chain is released are never read, and nothing waits for them.
#include <array>
#include <cstdint>
#include <optional>

#include "bench/gpu_timing.h"

// One read-back slot per swap-chain buffer.
inline constexpr uint32_t kTimestampSlots = 2;

enum class TimestampPoint : uint32_t { PhysicsBegin = 0, PhysicsEnd = 1, RenderBegin = 2, RenderEnd = 3 };
inline constexpr uint32_t kTimestampsPerFrame = 4;
inline constexpr uint32_t kTimestampQueryCount = kTimestampSlots * kTimestampsPerFrame;

using FrameTimestamps = std::array<uint64_t, kTimestampsPerFrame>;  // in TimestampPoint order

// Where a slot's timestamp goes in the query heap, and where the slot's
// resolved timestamps lie in the read-back buffer (bytes).
constexpr uint32_t TimestampQueryIndex(uint32_t slot, TimestampPoint point)
{
    return slot * kTimestampsPerFrame + static_cast<uint32_t>(point);
}
constexpr uint64_t TimestampReadbackOffset(uint32_t slot)
{
    return static_cast<uint64_t>(slot) * kTimestampsPerFrame * sizeof(uint64_t);
}

// The read-back slots: which hold a submitted frame, and the fence value
// after which its timestamps are in the read-back buffer.
struct GpuTimestampRing {
    uint64_t frequency = 0;  // ticks per second; 0: no timestamps
    std::array<uint64_t, kTimestampSlots> fenceValue{};  // 0: the slot holds nothing to read
};

void StartGpuTimestamps(GpuTimestampRing& ring, uint64_t frequency);
bool RecordsGpuTimestamps(const GpuTimestampRing& ring);

// Slot s now holds the timestamps of a frame that is done once the fence
// reaches fenceValue (at least 1).
void GpuTimestampsSubmitted(GpuTimestampRing& ring, uint32_t slot, uint64_t fenceValue);

// The slots whose frames have finished (fence value <= completedFenceValue),
// oldest frame first. A removed device reports every fence value as reached
// (UINT64_MAX): its slots hold nothing worth reading, so none is finished.
struct TimestampSlotList {
    uint32_t count = 0;
    std::array<uint32_t, kTimestampSlots> slots{};
    const uint32_t* begin() const { return slots.data(); }
    const uint32_t* end() const { return slots.data() + count; }
};
TimestampSlotList FinishedTimestampSlots(const GpuTimestampRing& ring, uint64_t completedFenceValue);

// The pass times of a finished slot's frame; the slot is then empty. Nothing
// when the slot held no finished frame's timestamps, or they cannot be
// right (an end before its begin, a pass longer than a second).
std::optional<GpuPassTimes> TakeGpuPassTimes(GpuTimestampRing& ring, uint32_t slot, const FrameTimestamps& stamps);

// The pass times a frame collected, oldest frame first (at most one per slot).
struct GpuPassTimesList {
    uint32_t count = 0;
    std::array<GpuPassTimes, kTimestampSlots> times{};
    void Add(const GpuPassTimes& t)
    {
        if (count < kTimestampSlots) {
            times[count++] = t;
        }
    }
    const GpuPassTimes* begin() const { return times.data(); }
    const GpuPassTimes* end() const { return times.data() + count; }
};

// ticks / frequency in milliseconds, exact for any tick count a frame can have.
double TicksToMilliseconds(uint64_t ticks, uint64_t frequency);
