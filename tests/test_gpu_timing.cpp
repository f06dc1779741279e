#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <tuple>

#include "bench/gpu_timing.h"
#include "bench/sampling.h"
#include "bench/results_file.h"
#include "bench/statistics.h"
#include "fake_platform.h"
#include "gpu/gpu_timing.h"

namespace {

// The results file of one run of `frames` frames; frame i's pass times gpu(i) arrive after its sample, as the backend's do.
template <typename Gpu>
nlohmann::json RunWithPassTimes(int frames, float frameSeconds, Gpu gpu)
{
    BenchmarkRecorder r;
    std::tie(r.phase, r.currentRun) = std::tuple(BenchmarkPhase::Recording, 1);
    RecordingPlatform host;
    RecordGpuPassTimes(r, GpuPassTimes{50.0, 50.0});  // before the run's first sample: dropped
    for (int i = 0; i < frames; ++i) {
        RecordFrame(r, host, frameSeconds, 0, 80, 1);
        if (const std::optional<GpuPassTimes> times = gpu(i)) {
            RecordGpuPassTimes(r, *times);
        }
    }
    CloseBucket(r);
    ComputeRunStatistics(r.current);
    r.runs.push_back(r.current);
    return nlohmann::json::parse(BuildResultsDocument(r, host.environment))["runs"][0];
}

}  // namespace

TEST(GpuTimestamps, ASlotIsReadOnceItsFrameHasPassedTheFenceAndOnlyOnce)
{
    GpuTimestampRing ring;
    StartGpuTimestamps(ring, 1000000);  // 1 MHz: a tick is a microsecond
    ASSERT_TRUE(RecordsGpuTimestamps(ring));
    GpuTimestampsSubmitted(ring, 0, 7);
    GpuTimestampsSubmitted(ring, 1, 8);
    EXPECT_EQ(FinishedTimestampSlots(ring, 6).count, 0u);  // neither frame has finished: nothing waits, nothing is read
    const TimestampSlotList one = FinishedTimestampSlots(ring, 7);
    EXPECT_EQ(std::make_pair(one.count, one.slots[0]), std::make_pair(1u, 0u));

    const GpuPassTimes times = TakeGpuPassTimes(ring, 0, FrameTimestamps{1000, 1500, 1600, 5600}).value_or(GpuPassTimes{});
    EXPECT_EQ(std::make_pair(times.physicsMs, times.renderMs), std::make_pair(0.5, 4.0));
    EXPECT_DOUBLE_EQ(TicksToMilliseconds(18000000000000000000ull, 1000000000), 18000000000000.0);  // no overflow near 2^64
    EXPECT_EQ(TicksToMilliseconds(12345, 0), 0.0);  // no frequency, no time
    EXPECT_FALSE(TakeGpuPassTimes(ring, 0, FrameTimestamps{1000, 1500, 1600, 5600}));  // read once

    // Slot 0 gets a newer frame than slot 1's: both finished, the older comes first.
    GpuTimestampsSubmitted(ring, 0, 9);
    const TimestampSlotList both = FinishedTimestampSlots(ring, 9);
    EXPECT_EQ(std::make_tuple(both.count, both.slots[0], both.slots[1]), std::make_tuple(2u, 1u, 0u));
    EXPECT_EQ(FinishedTimestampSlots(ring, UINT64_MAX).count, 0u);  // a removed device's fence: nothing to read
    EXPECT_FALSE(TakeGpuPassTimes(ring, 1, FrameTimestamps{2000, 1999, 2100, 2200}));  // an end before its begin
    // A slow device's pass of 2.5 s counts; one of over a minute is a broken timestamp.
    EXPECT_EQ(TakeGpuPassTimes(ring, 0, FrameTimestamps{0, 2500000, 2500000, 2500001}).value_or(GpuPassTimes{}).physicsMs,
              2500.0);
    GpuTimestampsSubmitted(ring, 1, 10);
    EXPECT_FALSE(TakeGpuPassTimes(ring, 1, FrameTimestamps{0, 1, 1, 61000001}));

    // A queue without timestamps: nothing is recorded, submitted or read.
    StartGpuTimestamps(ring, 0);
    EXPECT_FALSE(RecordsGpuTimestamps(ring));
    GpuTimestampsSubmitted(ring, 0, 10);
    EXPECT_EQ(FinishedTimestampSlots(ring, 10).count, 0u);
    EXPECT_FALSE(TakeGpuPassTimes(ring, 0, FrameTimestamps{0, 1, 2, 3}));
}

// Each pass's mean and percentiles per run and record, the GPU's busy share, and under 80 % what limited the run.
TEST(GpuTimesInResults, PassFiguresPerRunAndRecordAndWhatLimitedTheRun)
{
    // 100 frames of 0.125 s, one per record; frame i's render pass takes i + 1 ms.
    const nlohmann::json run = RunWithPassTimes(100, 0.125f, [](int i) {
        return std::optional<GpuPassTimes>(GpuPassTimes{1.0, static_cast<double>(i + 1)});
    });
    const nlohmann::json& gpu = run["gpu"];
    EXPECT_EQ(std::make_tuple(gpu["frames"], gpu["physicsMs"]["mean"], gpu["renderMs"]["mean"], gpu["renderMs"]["p50"],
                              gpu["renderMs"]["p95"], gpu["renderMs"]["p99"]),
              std::make_tuple(100, 1.0, 50.5, 50.0, 95.0, 99.0));
    EXPECT_NEAR(gpu["busyPercent"].get<double>(), 41.2, 1e-4);  // 51.5 ms of every 125 ms
    EXPECT_EQ(run["limitedBy"], "cpu-or-presentation");
    EXPECT_EQ(run["records"][3]["gpuRenderMs"], 4.0);

    // 12.5 ms of GPU work a frame: exactly 80 % of the frame time still counts as limited by the GPU.
    for (const auto& [frameSeconds, limitedBy] : {std::pair{0.015625f, "gpu"}, std::pair{0.0157f, "cpu-or-presentation"}}) {
        const nlohmann::json busy = RunWithPassTimes(50, frameSeconds, [](int) {
            return std::optional<GpuPassTimes>(GpuPassTimes{2.0, 10.5});
        });
        EXPECT_EQ(busy["limitedBy"], limitedBy) << frameSeconds << " s frames, busy " << busy["gpu"]["busyPercent"];
    }

    // No timestamps: the figures are left out, nothing else changes.
    const nlohmann::json without = RunWithPassTimes(10, 0.125f, [](int) { return std::optional<GpuPassTimes>(); });
    EXPECT_EQ(std::make_tuple(without.contains("gpu"), without.contains("limitedBy"), without["records"][0].contains("gpuRenderMs"),
                              without["records"].size()), std::make_tuple(false, false, false, size_t{10}));
}
