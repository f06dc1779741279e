#include <gtest/gtest.h>

#include <tuple>

#include "bench/report.h"
#include "bench/results_file.h"
#include "bench/statistics.h"
#include "bench_files.h"
#include "fake_platform.h"

namespace {

// A record of `frames` frames at `fps` (their count over their time).
TenthRecord Record(float time, float fps, float debris, float bricks, float balls, int frames)
{
    return TenthRecord{time, fps, fps - 1.25f, fps + 2.5f, fps + 0.125f, debris, bricks, balls, frames, false, 0.0,
                        frames / static_cast<double>(fps)};
}

BenchmarkRecorder Recorder(const BenchmarkConfig& config, const std::vector<std::vector<TenthRecord>>& runs)
{
    BenchmarkRecorder r;
    r.config = config;
    for (const std::vector<TenthRecord>& records : runs) {
        RunResult run;
        std::tie(run.width, run.height, run.raySteps, run.debrisCount, run.debrisEnabled, run.deterministic) =
            std::tie(config.width, config.height, config.raySteps, config.debrisCount, config.debrisEnabled, config.deterministic);
        run.records = records;
        for (TenthRecord& s : run.records) {
            s.startSeconds = run.measuredSeconds;
            run.measuredSeconds += s.durationSeconds;
            run.totalFrames += s.frameCount;
        }
        ComputeRunStatistics(run);
        r.runs.push_back(run);
    }
    return r;
}

BenchmarkRecorder CutShort(BenchmarkRecorder r)
{
    r.runs.back().complete = false;
    return r;
}

}  // namespace

// Each variant's bytes (CR LF, the stream's carried precision, cut-short runs, adapter as text, stress verdict).
TEST(Report, EachVariantWritesTheBytesOfItsGoldenAndOpensIt)
{
    const std::tuple<BenchmarkRecorder, const char*, const char*> cases[] = {
        {Recorder(BenchmarkConfig{854, 480, 72, 80, true, true, false},
                  {{Record(0, 59.5f, 8, 80, 1, 6), Record(1, 61.25f, 16, 79, 1, 6), Record(2, 60.125f, 24, 78.5f, 1.5f, 6),
                    Record(3, 58.75f, 32, 77, 2, 5)}}),
         "report_single.html", nullptr},
        // Debris off; run 2 has a filtered single-record spike, a gap in its tenths shared by its neighbours, and was cut short.
        {CutShort(Recorder(BenchmarkConfig{1280, 720, 72, 0, false, false, false},
                           {{Record(0, 100, 0, 80, 1, 10), Record(1, 101, 0, 79, 1, 10), Record(2, 99.5f, 0, 78, 1, 10)},
                            {Record(0, 100, 0, 80, 1, 10), Record(1, 240, 0, 80, 1, 24), Record(2, 100, 0, 79, 2.4f, 10),
                             Record(4, 98, 0, 78, 2.6f, 10)}})),
         "report_multi.html", "results_multi.json"},
        {Recorder(BenchmarkConfig{1920, 1080, 72, 640, true, true, true},
                  {{Record(0, 30.5f, 8, 39, 1, 3), Record(1, 31, 16, 38, 1, 3), Record(2, 29.75f, 24, 38, 1, 3)}}),
         "report_deterministic_single.html", nullptr},
        {Recorder(BenchmarkConfig{2560, 1440, 72, 160, true, false, true},
                  {{Record(0, 20, 8, 39, 1, 2), Record(1, 21, 16, 38, 1, 2)},
                   {Record(0, 20.5f, 8, 39, 1, 2), Record(1, 22, 16, 37, 1, 3)}}),
         "report_deterministic_multi.html", nullptr},
        // A stress test aborted in loop 3: two complete loops' stability and chart, each loop's timeline folded away.
        {CutShort(Recorder(BenchmarkConfig{854, 480, 72, 80, true, false, true, 3, 0},
                           {{Record(0, 60, 8, 39, 1, 6), Record(1, 61, 16, 38, 1, 6)},
                            {Record(0, 59.5f, 8, 39, 1, 6), Record(1, 59, 16, 38, 1, 6)},
                            {Record(0, 50, 8, 39, 1, 5)}})),
         "report_stress.html", "results_stress.json"},
    };
    for (const auto& [recorder, golden, resultsGolden] : cases) {
        ScratchDirectory scratch;
        BenchmarkRecorder r = recorder;
        r.runs[0].frameTimes = {0.010f, 0.0125f, 0.009f, 0.011f, 0.020f};
        r.runs[0].videoMemory = VideoMemoryPeak{1610612736, 7516192768};  // the second run's adapter did not say
        r.adapter = MeasuredAdapter{"Test <Adapter> & Co", 1, resultsGolden != nullptr};
        RecordingPlatform platform;
        GenerateHTMLReport(r, platform);
        WriteResultsFile(r, platform);
        EXPECT_EQ(std::make_tuple(r.reportWritten, r.resultsWritten, platform.openedReports, r.resultsPath, scratch.Files()),
                  std::make_tuple(true, true, std::vector<std::string>{"benchmark_2026-12-06_140509.html"},
                                  "benchmark_2026-12-06_140509.json", 2L)) << golden;  // no partial file left beside them
        ExpectGolden(ReadText(r.reportPath), golden);
        if (resultsGolden != nullptr) {
            ExpectGolden(ReadText(r.resultsPath), resultsGolden);
        }
    }
}
