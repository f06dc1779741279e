#include "gpu/gpu_timing.h"

#include "gpu/frame_recording.h"

static_assert(kTimestampSlots == kConstantBlocks, "one read-back slot per swap-chain buffer");

namespace {

// A pass that took longer than a minute is no measurement but a broken
// timestamp. Slow passes are real: a software device or a 4K output on a weak
// card takes seconds per frame, and its figures belong in the results.
constexpr double kLongestPassMs = 60000.0;

// The time between two timestamps; nothing when the end lies before the begin
// or further from it than any pass takes.
std::optional<double> Span(uint64_t begin, uint64_t end, uint64_t frequency)
{
    if (end < begin) {
        return std::nullopt;
    }
    const double ms = TicksToMilliseconds(end - begin, frequency);
    if (ms > kLongestPassMs) {
        return std::nullopt;
    }
    return ms;
}

}  // namespace

void StartGpuTimestamps(GpuTimestampRing& ring, uint64_t frequency)
{
    ring = GpuTimestampRing{};
    ring.frequency = frequency;
}

bool RecordsGpuTimestamps(const GpuTimestampRing& ring)
{
    return ring.frequency > 0;
}

void GpuTimestampsSubmitted(GpuTimestampRing& ring, uint32_t slot, uint64_t fenceValue)
{
    if (RecordsGpuTimestamps(ring) && slot < kTimestampSlots) {
        ring.fenceValue[slot] = fenceValue;
    }
}

TimestampSlotList FinishedTimestampSlots(const GpuTimestampRing& ring, uint64_t completedFenceValue)
{
    TimestampSlotList list;
    if (completedFenceValue == UINT64_MAX) {
        return list;
    }
    for (uint32_t slot = 0; slot < kTimestampSlots; ++slot) {
        const uint64_t value = ring.fenceValue[slot];
        if (value == 0 || value > completedFenceValue) {
            continue;
        }
        // Kept in order of fence value (the order the frames were submitted in).
        uint32_t at = list.count++;
        while (at > 0 && ring.fenceValue[list.slots[at - 1]] > value) {
            list.slots[at] = list.slots[at - 1];
            --at;
        }
        list.slots[at] = slot;
    }
    return list;
}

std::optional<GpuPassTimes> TakeGpuPassTimes(GpuTimestampRing& ring, uint32_t slot, const FrameTimestamps& stamps)
{
    if (slot >= kTimestampSlots || ring.fenceValue[slot] == 0 || !RecordsGpuTimestamps(ring)) {
        return std::nullopt;
    }
    const uint64_t frame = ring.fenceValue[slot];
    ring.fenceValue[slot] = 0;
    const auto at = [&stamps](TimestampPoint point) { return stamps[static_cast<size_t>(point)]; };
    const std::optional<double> physics = Span(at(TimestampPoint::PhysicsBegin), at(TimestampPoint::PhysicsEnd), ring.frequency);
    const std::optional<double> render = Span(at(TimestampPoint::RenderBegin), at(TimestampPoint::RenderEnd), ring.frequency);
    if (!physics || !render) {
        return std::nullopt;
    }
    return GpuPassTimes{*physics, *render, frame};
}

double TicksToMilliseconds(uint64_t ticks, uint64_t frequency)
{
    if (frequency == 0) {
        return 0.0;
    }
    // Whole seconds and the remainder apart, so that no product overflows or loses ticks.
    const uint64_t seconds = ticks / frequency;
    const uint64_t rest = ticks % frequency;
    return static_cast<double>(seconds) * 1000.0 + static_cast<double>(rest) * 1000.0 / static_cast<double>(frequency);
}
