#pragma once
// What the GPU spends on the two compute programs of each frame, as the
// benchmark keeps it: per 0.1 s record, per run, and whether the run measured
// the GPU at all or something in front of it (the CPU, presentation, waiting).
#include <cstddef>
#include <cstdint>
#include <optional>

struct BenchmarkRecorder;
struct RunResult;

// One frame's GPU time per pass, in milliseconds, and the frame: the fence
// value its completion signals (0 when it is not known).
struct GpuPassTimes {
    double physicsMs = 0.0;  // updatePhysics
    double renderMs = 0.0;   // renderCS
    uint64_t frame = 0;
};

// Adds one frame's pass times to the record being built. They arrive a frame
// or two after the frame they belong to (when its fence has passed), so they
// count toward the record that is open when they arrive; whatever arrives in
// the warm-up, a pause or before a run's first sampled frame is dropped. The
// frame log puts them beside their own frame.
void RecordGpuPassTimes(BenchmarkRecorder& recorder, const GpuPassTimes& times);

// A run whose GPU was busy less than this share of the frame time measured
// something other than the GPU.
inline constexpr double kGpuLimitedBusyPercent = 80.0;

// "gpu" at or above kGpuLimitedBusyPercent, "cpu-or-presentation" below.
const char* LimitedBy(double busyPercent);

struct GpuPassFigures {
    double meanMs = 0.0;
    double p50Ms = 0.0;  // nearest-rank percentiles, as for the frame times
    double p95Ms = 0.0;
    double p99Ms = 0.0;
};

struct GpuRunFigures {
    size_t frames = 0;  // frames with pass times
    GpuPassFigures physics;
    GpuPassFigures render;
    // The mean GPU time of a frame (both passes) as a share of the mean frame time.
    double busyPercent = 0.0;
    const char* limitedBy = "";
};

// The run's GPU figures; nothing when it got no pass times (a device or
// queue without timestamps) or sampled no frame.
std::optional<GpuRunFigures> ComputeGpuRunFigures(const RunResult& run);
