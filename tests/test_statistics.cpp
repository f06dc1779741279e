#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>

#include "bench/statistics.h"
#include "fake_platform.h"

namespace {

// A run of 1920 x 1080 (sqrt 1440) with debris on, whose records have the
// given frame rates, 320 debris, one ball and 80 bricks, six frames each.
RunResult RunWithFps(const std::vector<float>& fps)
{
    RunResult run;
    std::tie(run.width, run.height, run.debrisEnabled) = std::tuple(1920u, 1080u, true);
    for (size_t i = 0; i < fps.size(); ++i) {
        run.seconds.push_back(SecondRecord{static_cast<float>(i), fps[i], fps[i], fps[i], fps[i], 320, 80, 1, 6});
    }
    ComputeRunStatistics(run);
    return run;
}

// time, avgFps, medianFps, minFps, maxFps, debris, bricks, balls, frameCount
std::vector<float> Figures(const SecondRecord& s)
{
    return {s.time, s.avgFps, s.medianFps, s.minFps, s.maxFps, s.debris, s.bricks, s.balls, static_cast<float>(s.frameCount)};
}

}  // namespace

TEST(Sampling, RecordsHoldATenthOfASecondOfFramesWithTheirMeanMedianAndExtremes)
{
    RecordingPlatform platform;
    BenchmarkRecorder r;
    std::tie(r.running, r.currentRun) = std::tuple(true, 1);
    const struct {
        float dt, fps;
        uint32_t debris, bricks;
        int balls;
    } frames[] = {
        {0.01f, 50, 0, 70, 1},  {0.01f, 60, 6, 70, 1},  {0.01f, 70, 12, 70, 1},  // 0.01 .. 0.06 s: record 0
        {0.01f, 80, 18, 70, 2}, {0.01f, 90, 24, 70, 2}, {0.01f, 130, 30, 70, 2},
        {0.25f, 120, 5, 60, 3},  // 0.31 s: no record 1 or 2, record 3 holds this one frame
        {0.10f, 10, 0, 0, 0},    // 0.41 s: record 4
    };
    for (const auto& f : frames) {
        RecordFrame(r, platform, f.dt, f.fps, f.debris, f.bricks, f.balls);
    }
    CloseBucket(r);
    ASSERT_EQ(r.current.seconds.size(), 3u);
    EXPECT_EQ(Figures(r.current.seconds[0]), (std::vector<float>{0, 80, 75, 50, 130, 15, 70, 1.5f, 6}));
    EXPECT_EQ(Figures(r.current.seconds[1]), (std::vector<float>{3, 120, 120, 120, 120, 5, 60, 3, 1}));
    EXPECT_EQ(Figures(r.current.seconds[2]), (std::vector<float>{4, 10, 10, 10, 10, 0, 0, 0, 1}));
    EXPECT_EQ(r.current.totalFrames, 8);
    EXPECT_EQ(platform.log, std::vector<std::string>{"Benchmark Run 1: Recording started at T=0.01 (10 Hz sampling)\n"});

    // The warm-up only counts its time; a pause or a stopped benchmark not even that.
    for (const auto& [currentRun, pausing, running, elapsed] :
         {std::tuple{0, false, true, 0.5f}, std::tuple{1, true, true, 0.0f}, std::tuple{1, false, false, 0.0f}}) {
        BenchmarkRecorder other;
        std::tie(other.currentRun, other.pausing, other.running) = std::tie(currentRun, pausing, running);
        RecordFrame(other, platform, 0.5f, 2, 0, 0, 1);
        CloseBucket(other);
        EXPECT_EQ(std::make_tuple(other.runElapsed, other.current.totalFrames, other.current.seconds.size()),
                  std::make_tuple(elapsed, 0, size_t{0}));
    }
}

// Around 100 FPS with a little noise (100, 100.5, 101, ...), then the records
// a case sets: which of them the spike filter removes.
TEST(SpikeFilter, RemovesShortSpikesAndDipsButNotLongerChanges)
{
    const struct {
        const char* what;
        size_t records;
        std::vector<std::pair<size_t, float>> set;
        std::vector<size_t> flagged;
    } cases[] = {
        {"a single spike 42 % up", 20, {{7, 100}, {8, 142}, {9, 100}}, {8}},
        {"a single rise of 30 %", 20, {{7, 100}, {8, 130}, {9, 100}}, {}},
        {"a single dip to 40", 20, {{4, 100}, {5, 40}, {6, 100}}, {5}},
        {"a dip two records long", 20, {{4, 100}, {5, 40}, {6, 40}, {7, 100}}, {}},
        {"two records 80 % up", 20, {{9, 100}, {10, 180}, {11, 180}, {12, 100}}, {10, 11}},
        {"three records 80 % up", 20, {{9, 100}, {10, 180}, {11, 180}, {12, 180}, {13, 100}}, {10, 11, 12}},
        {"four records 53 % up", 20, {{9, 100}, {10, 153}, {11, 153}, {12, 153}, {13, 153}, {14, 100}}, {10, 11, 12, 13}},
        {"two records 45 % up", 20, {{9, 100}, {10, 145}, {11, 145}, {12, 100}}, {}},
        {"five records 80 % up", 20, {{9, 100}, {10, 180}, {11, 180}, {12, 180}, {13, 180}, {14, 180}, {15, 100}}, {}},
        {"first at 30 % of the next, last 55 % up", 20, {{0, 30}, {1, 100}, {18, 100}, {19, 155}}, {0, 19}},
        {"first at 70 % of the next, last 45 % up", 20, {{0, 70}, {1, 100}, {18, 100}, {19, 145}}, {}},
        {"a spike in a run of two records", 2, {{0, 10}, {1, 300}}, {}},
    };
    for (const auto& c : cases) {
        std::vector<float> fps(c.records);
        for (size_t i = 0; i < fps.size(); ++i) {
            fps[i] = 100.0f + static_cast<float>(i % 3) * 0.5f;
        }
        for (const auto& [index, value] : c.set) {
            fps[index] = value;
        }
        const RunResult run = RunWithFps(fps);
        for (size_t i = 0; i < run.seconds.size(); ++i) {
            EXPECT_EQ(run.seconds[i].isOutlier, std::count(c.flagged.begin(), c.flagged.end(), i) == 1) << c.what << " " << i;
        }
        EXPECT_EQ(run.outliers, static_cast<int32_t>(c.flagged.size())) << c.what;
        if (c.flagged.empty()) {
            EXPECT_EQ(std::tie(run.cleaned, run.cleanedMin, run.cleanedMax), std::tie(run.avg, run.min, run.max)) << c.what;
        }
    }
}

// The score of a record is sqrt(pixels) x FPS x (1 + debris / 320, with debris
// on) x (1 + (balls - 1) / 4, at least one ball) x (1 + bricks / 80) / 64; the
// run's is their mean, whatever the records' frame counts, rounded half away from zero.
TEST(Score, IsTheMeanOfTheWeightedFormulaOverTheRecordsRoundedHalfAwayFromZero)
{
    for (const auto& [fps, balls, bricks, score] :
         {std::tuple{std::vector<float>(12, 100.0f), 3.0f, 40.0f, 5063.0f},     // 1440 x 100 x 1.5 x 1.5 / 64 = 5062.5
          std::tuple{std::vector<float>{10, 11, 10, 11}, 0.0f, 0.0f, 236.0f}}) {  // 1440 x 10.5 / 64 = 236.25
        RunResult run = RunWithFps(fps);
        run.debrisEnabled = false;
        for (SecondRecord& s : run.seconds) {
            std::tie(s.balls, s.bricks) = std::tie(balls, bricks);
        }
        run.seconds[0].frameCount = 100;
        ComputeRunStatistics(run);
        EXPECT_EQ(run.score, score) << fps.size() << " records";
    }
}

TEST(FrameTimeFigures, NearestRankPercentilesAndLowsOfHandWorkedLists)
{
    const struct {
        std::vector<std::pair<size_t, float>> frameTimes;  // so many frames of so many seconds
        double expected[5];  // the 50th, 95th and 99th percentiles in ms, the 1 % and 0.1 % lows in FPS
    } cases[] = {
        // The 50th, 95th and 99th of 100; the 1 % and 0.1 % lows: the slowest frame (at least one).
        {{{97, 0.010f}, {1, 0.050f}, {1, 0.020f}, {1, 0.030f}}, {10, 10, 30, 20, 20}},
        // Three frames: ranks ceil(1.5) = 2, ceil(2.85) = 3 and ceil(2.97) = 3.
        {{{1, 0.040f}, {1, 0.010f}, {1, 0.020f}}, {20, 40, 40, 25, 25}},
        // 2000 frames: the 1980th is the 99th percentile; the lows average the slowest 20 and 2.
        {{{1980, 0.010f}, {10, 0.100f}, {10, 0.050f}}, {10, 10, 10, 1.0 / 0.075, 10}},
        {{}, {0, 0, 0, 0, 0}},  // finite zeros: nothing a results file cannot hold
    };
    for (const auto& c : cases) {
        std::vector<float> frameTimes;
        for (const auto& [count, seconds] : c.frameTimes) {
            frameTimes.insert(frameTimes.end(), count, seconds);
        }
        const FrameTimeFigures f = ComputeFrameTimeFigures(frameTimes);
        const double got[] = {f.p50Ms, f.p95Ms, f.p99Ms, f.low1PercentFps, f.low01PercentFps};
        for (size_t i = 0; i < 5; ++i) {
            EXPECT_NEAR(got[i], c.expected[i], 1e-3) << frameTimes.size() << " frames, figure " << i;
        }
    }
}
