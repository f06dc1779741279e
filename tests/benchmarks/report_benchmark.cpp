// Writing the report of a four-run benchmark with 401 records per run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

#include "bench/report.h"
#include "bench/statistics.h"
#include "fake_platform.h"

namespace {

BenchmarkRecorder FourRunsOf401Records()
{
    BenchmarkRecorder r;
    r.targetRuns = 4;
    r.config = BenchmarkConfig{1920, 1080, 72, 640, true};
    for (int run = 0; run < 4; ++run) {
        RunResult result;
        result.width = 1920;
        result.height = 1080;
        result.raySteps = 72;
        result.debrisCount = 640;
        result.debrisEnabled = true;
        for (int i = 0; i < 401; ++i) {
            SecondRecord s;
            s.time = static_cast<float>(i);
            s.avgFps = 60.0f + static_cast<float>((i * 37 + run * 11) % 23) * 0.37f;
            s.minFps = s.avgFps - 3.0f;
            s.maxFps = s.avgFps + 4.0f;
            s.medianFps = s.avgFps + 0.5f;
            s.debris = static_cast<float>(std::min(640, i * 8));
            s.bricks = static_cast<float>(80 - i / 6);
            s.balls = 1.0f + static_cast<float>(i / 150);
            s.frameCount = 6;
            result.seconds.push_back(s);
            result.totalFrames += 6;
        }
        ComputeRunStatistics(result);
        r.runs.push_back(result);
    }
    return r;
}

void BM_GenerateReportFourRuns(benchmark::State& state)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "orvalis_report_benchmark";
    std::filesystem::create_directories(dir);
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    RecordingPlatform platform;
    BenchmarkRecorder recorder = FourRunsOf401Records();
    for (auto _ : state) {
        platform.log.clear();
        benchmark::DoNotOptimize(GenerateHTMLReport(recorder, platform));
    }
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_GenerateReportFourRuns)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
