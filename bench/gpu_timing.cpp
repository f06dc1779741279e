#include "bench/gpu_timing.h"

#include <algorithm>
#include <vector>

#include "bench/recorder.h"
#include "bench/statistics.h"

void RecordGpuPassTimes(BenchmarkRecorder& r, const GpuPassTimes& times)
{
    LogGpuPassTimes(r.frameLog, times);  // a run's last frames' times arrive in the pause after it
    if (r.phase != BenchmarkPhase::Recording || r.bucket.index < 0) {
        return;
    }
    r.bucket.gpuPhysicsMs += times.physicsMs;
    r.bucket.gpuRenderMs += times.renderMs;
    r.bucket.gpuFrames += 1;
    if (r.current.gpuPhysicsMs.size() < kMaxFrameTimes) {
        r.current.gpuPhysicsMs.push_back(static_cast<float>(times.physicsMs));
        r.current.gpuRenderMs.push_back(static_cast<float>(times.renderMs));
    }
}

const char* LimitedBy(double busyPercent)
{
    return busyPercent < kGpuLimitedBusyPercent ? "cpu-or-presentation" : "gpu";
}

namespace {

double Mean(const std::vector<float>& values)
{
    double sum = 0.0;
    for (float v : values) {
        sum += v;
    }
    return sum / static_cast<double>(values.size());
}

GpuPassFigures PassFigures(std::vector<float> ms)
{
    GpuPassFigures f;
    f.meanMs = Mean(ms);
    std::sort(ms.begin(), ms.end());
    f.p50Ms = NearestRank(ms, 50.0);
    f.p95Ms = NearestRank(ms, 95.0);
    f.p99Ms = NearestRank(ms, 99.0);
    return f;
}

}  // namespace

std::optional<GpuRunFigures> ComputeGpuRunFigures(const RunResult& run)
{
    if (run.gpuPhysicsMs.empty() || run.frameTimes.empty()) {
        return std::nullopt;
    }
    GpuRunFigures f;
    f.frames = run.gpuPhysicsMs.size();
    f.physics = PassFigures(run.gpuPhysicsMs);
    f.render = PassFigures(run.gpuRenderMs);
    const double frameMs = Mean(run.frameTimes) * 1000.0;
    f.busyPercent = frameMs > 0.0 ? (f.physics.meanMs + f.render.meanMs) / frameMs * 100.0 : 0.0;
    f.limitedBy = LimitedBy(f.busyPercent);
    return f;
}
