// Writing the report of a four-run benchmark with 401 records per run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

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
        std::tie(result.width, result.height, result.raySteps, result.debrisCount, result.debrisEnabled) =
            std::tuple(1920u, 1080u, 72u, 640u, true);
        for (int i = 0; i < 401; ++i) {
            const float fps = 60.0f + static_cast<float>((i * 37 + run * 11) % 23) * 0.37f;
            const TenthRecord s{static_cast<float>(i), fps, fps - 3.0f, fps + 4.0f, fps + 0.5f,
                                 static_cast<float>(std::min(640, i * 8)), static_cast<float>(80 - i / 6),
                                 1.0f + static_cast<float>(i / 150), 6};
            result.records.push_back(s);
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
