#include <gtest/gtest.h>

#include <tuple>

#include "bench/report.h"
#include "bench/results_file.h"
#include "bench/statistics.h"
#include "bench_files.h"
#include "fake_platform.h"

namespace {

namespace fs = std::filesystem;

SecondRecord Record(float time, float fps, float debris, float bricks, float balls, int frames)
{
    return SecondRecord{time, fps, fps - 1.25f, fps + 2.5f, fps + 0.125f, debris, bricks, balls, frames};
}

// A benchmark of the given runs' records, their figures computed as at the end of a run.
BenchmarkRecorder Recorder(bool singleRun, bool deterministic, BenchmarkConfig config,
                           const std::vector<std::vector<SecondRecord>>& runs)
{
    BenchmarkRecorder r;
    config.singleRun = singleRun;
    config.deterministic = deterministic;
    r.config = config;
    r.targetRuns = singleRun ? 1 : 4;
    for (const std::vector<SecondRecord>& records : runs) {
        RunResult run;
        std::tie(run.width, run.height, run.raySteps, run.debrisCount, run.debrisEnabled, run.deterministic) =
            std::tie(config.width, config.height, config.raySteps, config.debrisCount, config.debrisEnabled, deterministic);
        run.seconds = records;
        for (const SecondRecord& s : run.seconds) {
            run.totalFrames += s.frameCount;
        }
        ComputeRunStatistics(run);
        r.runs.push_back(run);
    }
    return r;
}

// Debris off; the second run holds a single-record spike that the filter removes.
BenchmarkRecorder SmallMulti()
{
    return Recorder(false, false, BenchmarkConfig{1280, 720, 72, 0, false},
                    {{Record(0, 100, 0, 80, 1, 10), Record(1, 101, 0, 79, 1, 10), Record(2, 99.5f, 0, 78, 1, 10)},
                     {Record(0, 100, 0, 80, 1, 10), Record(1, 240, 0, 80, 1, 24), Record(2, 100, 0, 79, 2.4f, 10),
                      Record(4, 98, 0, 78, 2.6f, 10)}});
}

}  // namespace

// Each variant's bytes: CR LF line ends, no line end after "</html>", the
// numbers with the precision the stream carries over from the value before.
TEST(Report, EachVariantWritesTheBytesOfItsGoldenAndOpensIt)
{
    const std::pair<BenchmarkRecorder, const char*> cases[] = {
        {Recorder(true, false, BenchmarkConfig{854, 480, 72, 80, true},
                  {{Record(0, 59.5f, 8, 80, 1, 6), Record(1, 61.25f, 16, 79, 1, 6), Record(2, 60.125f, 24, 78.5f, 1.5f, 6),
                    Record(3, 58.75f, 32, 77, 2, 5)}}),
         "report_single.html"},
        {SmallMulti(), "report_multi.html"},
        {Recorder(true, true, BenchmarkConfig{1920, 1080, 72, 640, true},
                  {{Record(0, 30.5f, 8, 39, 1, 3), Record(1, 31, 16, 38, 1, 3), Record(2, 29.75f, 24, 38, 1, 3)}}),
         "report_deterministic_single.html"},
        {Recorder(false, true, BenchmarkConfig{2560, 1440, 72, 160, true},
                  {{Record(0, 20, 8, 39, 1, 2), Record(1, 21, 16, 38, 1, 2)},
                   {Record(0, 20.5f, 8, 39, 1, 2), Record(1, 22, 16, 37, 1, 3)}}),
         "report_deterministic_multi.html"},
    };
    for (const auto& [recorder, golden] : cases) {
        ScratchDirectory scratch;
        BenchmarkRecorder r = recorder;
        RecordingPlatform platform;
        ASSERT_TRUE(GenerateHTMLReport(r, platform)) << golden;
        EXPECT_EQ(std::make_pair(r.reportWritten, platform.openedReports),
                  std::make_pair(true, std::vector<std::string>{"benchmark_2026-12-06_140509.html"}));
        ExpectGolden(ReadText(r.reportPath), golden);
    }
}

TEST(Report, TheResultsFileSitsBesideTheReportWithEveryFigure)
{
    ScratchDirectory scratch;
    BenchmarkRecorder r = SmallMulti();
    r.runs[0].frameTimes = {0.010f, 0.0125f, 0.009f, 0.011f, 0.020f};
    RecordingPlatform platform;
    ASSERT_TRUE(GenerateHTMLReport(r, platform));
    ASSERT_TRUE(WriteResultsFile(r, platform));
    EXPECT_EQ(std::make_tuple(r.resultsPath, r.resultsWritten, scratch.Files()),  // no partial file left beside them
              std::make_tuple("benchmark_2026-12-06_140509.json", true, 2L));
    ExpectGolden(ReadText(r.resultsPath), "results_multi.json");

    // A folder where nothing can be written: no file, not even a partial one.
    fs::current_path("/proc");
    EXPECT_FALSE(WriteResultsFile(r, platform));
    EXPECT_EQ(std::make_pair(r.resultsWritten, platform.LinesStartingWith("ERROR: Could not write the results file").size()),
              std::make_pair(false, size_t{1}));
}
