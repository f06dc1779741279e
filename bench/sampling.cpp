#include "bench/sampling.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "bench/benchmark_host.h"
#include "bench/frame_log.h"
#include "bench/statistics.h"
#include "game/world.h"

namespace {

// A recorded run takes the swap chain's size on its first sampled frame and
// notes any later change of it.
void FollowRenderSize(BenchmarkRecorder& b)
{
    if (b.phase != BenchmarkPhase::Recording || b.renderWidth == 0 || b.renderHeight == 0) {
        return;
    }
    RunResult& run = b.current;
    if (run.totalFrames == 1) {
        run.width = b.renderWidth;
        run.height = b.renderHeight;
    } else if (run.width != b.renderWidth || run.height != b.renderHeight) {
        run.sizeChanged = true;
    }
}

}  // namespace

void SampleFrame(BenchmarkRecorder& b, const World& world, BenchmarkHost& host, double frameSeconds)
{
    const int balls = CountDrawnBalls(world);
    const uint32_t debris =
        world.debrisEnabled ? static_cast<uint32_t>(std::max(0, std::min(world.debrisCount, world.activeDebris))) : 0u;
    const uint32_t bricks = static_cast<uint32_t>(std::max(0, world.bricksLeft));
    if (b.skipNextSample) {
        b.skipNextSample = false;
    } else {
        RecordFrame(b, host, frameSeconds, debris, bricks, balls);
        FollowRenderSize(b);
    }
}

void RecordFrame(BenchmarkRecorder& recorder, BenchmarkHost& platform, double frameSeconds, uint32_t debris,
                 uint32_t bricks, int balls)
{
    if (recorder.phase != BenchmarkPhase::WarmUp && recorder.phase != BenchmarkPhase::Recording) {
        return;
    }
    const double seconds = std::max(frameSeconds, kShortestFrameSeconds);
    const double frameStart = recorder.runElapsed;
    recorder.runElapsed += seconds;
    if (recorder.phase == BenchmarkPhase::WarmUp) {
        return;
    }
    RunResult& run = recorder.current;
    run.totalFrames += 1;
    LogFrame(recorder, debris, bricks, balls);
    if (run.frameTimes.size() < kMaxFrameTimes) {
        run.frameTimes.push_back(static_cast<float>(seconds));
    } else {
        run.frameTimesDropped += 1;
    }
    if (run.totalFrames == 1) {
        DebugLog(platform, 256, "Benchmark Run %d: Recording started at T=%.2f (%.0f Hz sampling)\n",
                 recorder.currentRun, recorder.runElapsed, kRecordsPerSecond);
    }
    OpenBucket& bucket = recorder.bucket;
    const auto index = static_cast<int32_t>(recorder.runElapsed * kRecordsPerSecond);
    if (index != bucket.index) {
        if (bucket.index >= 0) {
            CloseBucket(recorder);
        }
        std::vector<FrameSample> frames = std::move(bucket.frames);  // keeps its memory for the new bucket
        frames.clear();
        bucket = OpenBucket{index, frameStart, 0.0, std::move(frames)};
    }
    bucket.seconds += seconds;
    bucket.frames.push_back(FrameSample{static_cast<float>(1.0 / seconds), debris, bricks, static_cast<float>(balls)});
}

void CloseBucket(BenchmarkRecorder& recorder)
{
    const OpenBucket& bucket = recorder.bucket;
    if (bucket.frames.empty()) {
        return;
    }
    const size_t n = bucket.frames.size();
    TenthRecord record;
    record.time = static_cast<float>(bucket.index);
    record.startSeconds = bucket.start;
    record.durationSeconds = bucket.seconds;
    double debrisSum = 0.0;
    double bricksSum = 0.0;
    double ballsSum = 0.0;
    std::vector<float> fps;
    fps.reserve(n);
    record.minFps = bucket.frames[0].fps;
    record.maxFps = bucket.frames[0].fps;
    for (const FrameSample& frame : bucket.frames) {
        debrisSum += frame.debris;
        bricksSum += frame.bricks;
        ballsSum += frame.balls;
        record.minFps = std::min(record.minFps, frame.fps);
        record.maxFps = std::max(record.maxFps, frame.fps);
        fps.push_back(frame.fps);
    }
    const double count = static_cast<double>(n);
    record.avgFps = static_cast<float>(count / bucket.seconds);
    record.medianFps = Median(std::move(fps));
    record.debris = static_cast<float>(debrisSum / count);
    record.bricks = static_cast<float>(bricksSum / count);
    record.balls = static_cast<float>(ballsSum / count);
    record.frameCount = static_cast<int32_t>(n);
    record.isOutlier = false;
    if (bucket.gpuFrames > 0) {
        record.gpuFrames = bucket.gpuFrames;
        record.gpuPhysicsMs = static_cast<float>(bucket.gpuPhysicsMs / bucket.gpuFrames);
        record.gpuRenderMs = static_cast<float>(bucket.gpuRenderMs / bucket.gpuFrames);
    }
    recorder.current.records.push_back(record);
}
