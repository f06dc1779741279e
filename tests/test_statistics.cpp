#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>

#include "bench/sampling.h"
#include "bench/statistics.h"
#include "fake_platform.h"

namespace {

// A 1920 x 1080 run (sqrt 1440) with debris on: records of these rates, 320 debris, 1 ball, 80 bricks, 6 frames each.
RunResult RunWithFps(const std::vector<float>& fps)
{
    RunResult run;
    std::tie(run.width, run.height, run.debrisEnabled) = std::tuple(1920u, 1080u, true);
    double start = 0.0;
    for (size_t i = 0; i < fps.size(); ++i) {
        const double duration = 6.0 / fps[i];
        run.records.push_back(TenthRecord{static_cast<float>(i), fps[i], fps[i], fps[i], fps[i], 320, 80, 1, 6, false, start, duration});
        start += duration;
    }
    ComputeRunStatistics(run);
    return run;
}

// A recorder in run 1 that sampled frames of these times (cycled) up to `seconds`: no debris or bricks, one ball.
BenchmarkRecorder Sampled(const std::vector<double>& frameTimes, double seconds)
{
    RecordingPlatform platform;
    BenchmarkRecorder r;
    std::tie(r.phase, r.currentRun, r.current.width, r.current.height) = std::tuple(BenchmarkPhase::Recording, 1, 1920u, 1080u);
    for (size_t i = 0; r.runElapsed < seconds; ++i) {
        RecordFrame(r, platform, frameTimes[i % frameTimes.size()], 0, 0, 1);
    }
    CloseBucket(r);
    ComputeRunStatistics(r.current);
    return r;
}

// time, startSeconds, durationSeconds, avgFps, medianFps, minFps, maxFps, debris, bricks, balls, frameCount
std::vector<double> Figures(const TenthRecord& s)
{
    return {s.time, s.startSeconds, s.durationSeconds, s.avgFps, s.medianFps, s.minFps, s.maxFps, s.debris, s.bricks, s.balls,
            static_cast<double>(s.frameCount)};
}

}  // namespace

// A record holds the frames that ended in its tenth of a second; a frame of zero counts one nanosecond.
TEST(Sampling, RecordsHoldTheFramesThatEndedInTheirTenthOfASecond)
{
    RecordingPlatform platform;
    BenchmarkRecorder r;
    std::tie(r.phase, r.currentRun) = std::tuple(BenchmarkPhase::Recording, 1);
    const struct {
        double dt;
        uint32_t debris, bricks;
        int balls;
    } frames[] = {
        {1.0 / 128, 0, 70, 1}, {1.0 / 64, 6, 70, 1}, {1.0 / 128, 12, 70, 2}, {1.0 / 32, 18, 70, 2},
        {1.0 / 256, 24, 70, 4},  // up to 17/256 s: record 0
        {0.25, 5, 60, 3},  // 0.31640625 s: no record 1 or 2, record 3 holds this one frame
        {0.125, 0, 0, 0},  // 0.44140625 s: record 4 ...
        {0.0, 0, 0, 0},    // ... with a frame of zero
    };
    for (const auto& f : frames) {
        RecordFrame(r, platform, f.dt, f.debris, f.bricks, f.balls);
    }
    CloseBucket(r);
    ASSERT_EQ(r.current.records.size(), 3u);
    EXPECT_EQ(Figures(r.current.records[0]),
              (std::vector<double>{0, 0, 17.0 / 256, static_cast<float>(1280.0 / 17), 128, 32, 256, 12, 70, 2, 5}));
    EXPECT_EQ(Figures(r.current.records[1]), (std::vector<double>{3, 17.0 / 256, 0.25, 4, 4, 4, 4, 5, 60, 3, 1}));
    const std::vector<double> last = Figures(r.current.records[2]);
    const std::vector<double> expected{4, 81.0 / 256, 0.125 + 1e-9, 16, 5e8 + 4, 8, 1e9, 0, 0, 0, 2};
    for (size_t i = 0; i < last.size(); ++i) {
        EXPECT_NEAR(last[i], expected[i], expected[i] * 1e-6) << "figure " << i;
    }
    EXPECT_EQ(r.current.totalFrames, 8);
    EXPECT_EQ(platform.log, std::vector<std::string>{"Benchmark Run 1: Recording started at T=0.01 (10 Hz sampling)\n"});

    // The warm-up only counts its time; a pause or a stopped benchmark not even that.
    for (const auto& [phase, elapsed] : {std::pair{BenchmarkPhase::WarmUp, 0.5}, std::pair{BenchmarkPhase::Pause, 0.0}, std::pair{BenchmarkPhase::Idle, 0.0}}) {
        BenchmarkRecorder other;
        other.phase = phase;
        RecordFrame(other, platform, 0.5, 0, 0, 1);
        CloseBucket(other);
        EXPECT_EQ(std::make_tuple(other.runElapsed, other.current.totalFrames, other.current.records.size()),
                  std::make_tuple(elapsed, 0, size_t{0}));
    }
}

// Average, cleaned FPS and score (22.5 x FPS here) are frames over time: uneven frames and stalls gain nothing.
TEST(Statistics, TheAverageAndTheScoreFollowFramesAndTime)
{
    const struct {
        const char* what;
        std::vector<double> frameTimes;
        double seconds;     // of sampled time
        double scoreError;  // at most, relative
    } cases[] = {
        {"steady 20 ms", {0.020}, 40, 0},
        {"alternating 10 / 30 ms", {0.010, 0.030}, 40, 0.01},
        // 5 frames in 82 ms, then in 118 ms (61, 42 FPS): the filter takes the short ones for peaks, 6 % low, not 326 % high.
        {"alternating 2 / 38 ms", {0.002, 0.038}, 40, 0.07},
        {"1/60 s with a 250 ms stall every 60th frame", {}, 40, 0.005},  // 48.8 FPS, not the 59.1 of 1 / frame time
        {"steady 2.5 ms", {0.0025}, 40, 0},
        {"steady 1 ms", {0.001}, 40, 0},
        {"steady 0.5 ms", {0.0005}, 40, 0},
        {"10 million frames of 0.1 ms", {0.0001}, 1000, 0},
    };
    for (const auto& c : cases) {
        std::vector<double> frameTimes = c.frameTimes;
        if (frameTimes.empty()) {
            frameTimes.assign(59, 1.0 / 60.0);
            frameTimes.push_back(0.25);
        }
        const BenchmarkRecorder r = Sampled(frameTimes, c.seconds);
        const RunResult& run = r.current;
        EXPECT_NEAR(r.runElapsed, c.seconds, c.seconds == 1000 ? 1e-3 : 0.25) << c.what;
        const double fps = run.totalFrames / r.runElapsed;
        EXPECT_NEAR(run.avg, fps, fps * 1e-6) << c.what;
        EXPECT_NEAR(run.cleaned, fps, fps * (c.scoreError + 1e-6)) << c.what;
        EXPECT_NEAR(run.score, 22.5 * fps, 22.5 * fps * c.scoreError + 0.5) << c.what;
        const TenthRecord& last = run.records.back();
        EXPECT_NEAR(last.startSeconds + last.durationSeconds, r.runElapsed, 1e-9) << c.what;
    }
}

// Around 100 FPS with a little noise (100, 100.5, 101, ...) and the records a case sets: which the filter removes.
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
        {"a stall: a record at 8 FPS holds a frame over 0.1 s", 20, {{4, 100}, {5, 8}, {6, 100}}, {}},
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
        for (size_t i = 0; i < run.records.size(); ++i) {
            EXPECT_EQ(run.records[i].isOutlier, std::count(c.flagged.begin(), c.flagged.end(), i) == 1) << c.what << " " << i;
        }
        EXPECT_EQ(run.outliers, static_cast<int32_t>(c.flagged.size())) << c.what;
        if (c.flagged.empty()) {
            EXPECT_EQ(std::tie(run.cleaned, run.cleanedMin, run.cleanedMax), std::tie(run.avg, run.min, run.max)) << c.what;
        }
    }
}

// A record scores sqrt(pixels) x FPS x (1 + debris / 320) x (1 + (balls - 1) / 4) x (1 + bricks / 80) / 64.
TEST(Score, IsTheMeanOfTheWeightedFormulaOverTheRunsTenthsRoundedHalfAwayFromZero)
{
    for (const auto& [fps, balls, bricks, score] :
         {std::tuple{std::vector<float>(12, 100.0f), 3.0f, 40.0f, 5063.0f},     // 1440 x 100 x 1.5 x 1.5 / 64 = 5062.5
          std::tuple{std::vector<float>{10, 11, 10, 11}, 0.0f, 0.0f, 236.0f}}) {  // 1440 x 10.5 / 64 = 236.25
        RunResult run = RunWithFps(fps);
        run.debrisEnabled = false;
        for (TenthRecord& s : run.records) {
            std::tie(s.balls, s.bricks) = std::tie(balls, bricks);
        }
        run.records[0].frameCount = 100;
        ComputeRunStatistics(run);
        EXPECT_EQ(run.score, score) << fps.size() << " records";
    }

    // A 250 ms frame leaves tenth 2 empty; its neighbours share it by time: 10 frames in 0.4 s, 1280 x 720 scores 375.
    RunResult stalled;
    std::tie(stalled.width, stalled.height) = std::tuple(1280u, 720u);
    stalled.records = {TenthRecord{0, 60, 60, 60, 60, 0, 0, 1, 6, false, 0.0, 0.1},
                       TenthRecord{1, 60, 60, 60, 60, 0, 0, 1, 3, false, 0.1, 0.05},
                       TenthRecord{3, 4, 4, 4, 4, 0, 0, 1, 1, false, 0.15, 0.25}};
    ComputeRunStatistics(stalled);
    const std::vector<double> weights = RecordWeights(stalled.records);
    ASSERT_EQ(weights.size(), 3u);
    EXPECT_EQ(weights[0], 1.0);
    EXPECT_NEAR(weights[1], 0.5, 1e-12);
    EXPECT_NEAR(weights[2], 2.5, 1e-12);
    EXPECT_EQ(std::make_tuple(stalled.avg, stalled.outliers, stalled.score), std::make_tuple(25.0f, 0, 375.0f));
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
