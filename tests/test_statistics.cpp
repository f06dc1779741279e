#include <gtest/gtest.h>

#include "bench/statistics.h"
#include "fake_platform.h"

namespace {

BenchmarkRecorder RecordingRecorder()
{
    BenchmarkRecorder r;
    r.running = true;
    r.currentRun = 1;
    return r;
}

// A run whose records have the given frame rates (one frame each unless told).
RunResult RunWithFps(const std::vector<float>& fps, int framesPerRecord = 6)
{
    RunResult run;
    run.width = 1920;
    run.height = 1080;
    run.debrisEnabled = true;
    for (size_t i = 0; i < fps.size(); ++i) {
        SecondRecord s;
        s.time = static_cast<float>(i);
        s.avgFps = s.minFps = s.maxFps = s.medianFps = fps[i];
        s.balls = 1.0f;
        s.bricks = 80.0f;
        s.debris = 320.0f;
        s.frameCount = framesPerRecord;
        run.seconds.push_back(s);
        run.totalFrames += framesPerRecord;
    }
    return run;
}

std::vector<float> Steady(size_t n, float value = 100.0f)
{
    std::vector<float> v(n);
    for (size_t i = 0; i < n; ++i) {
        v[i] = value + static_cast<float>(i % 3) * 0.5f;  // near 100, a little noise
    }
    return v;
}

std::vector<int> Flagged(const RunResult& run)
{
    std::vector<int> result;
    for (size_t i = 0; i < run.seconds.size(); ++i) {
        if (run.seconds[i].isOutlier) {
            result.push_back(static_cast<int>(i));
        }
    }
    return result;
}

}  // namespace

TEST(Sampling, ABucketOfSixFramesGivesMeanMedianAndExtremes)
{
    RecordingPlatform platform;
    BenchmarkRecorder r = RecordingRecorder();
    const float fps[] = {50, 60, 70, 80, 90, 100};
    for (float f : fps) {
        RecordFrame(r, platform, 0.01f, f, 16, 70, 2);
    }
    EXPECT_EQ(r.currentBucket, 0);
    CloseBucket(r);
    ASSERT_EQ(r.current.seconds.size(), 1u);
    const SecondRecord& s = r.current.seconds[0];
    EXPECT_EQ(s.avgFps, 75.0f);
    EXPECT_EQ(s.medianFps, 75.0f);
    EXPECT_EQ(s.minFps, 50.0f);
    EXPECT_EQ(s.maxFps, 100.0f);
    EXPECT_EQ(s.debris, 16.0f);
    EXPECT_EQ(s.bricks, 70.0f);
    EXPECT_EQ(s.balls, 2.0f);
    EXPECT_EQ(s.frameCount, 6);
    EXPECT_EQ(r.current.totalFrames, 6);
    EXPECT_EQ(platform.log.front(), "Benchmark Run 1: Recording started at T=0.01 (10 Hz sampling)\n");
    EXPECT_EQ(platform.log.size(), 1u);
}

TEST(Sampling, AFrameLongerThanATenthLeavesAGapAndWarmupRecordsNothing)
{
    RecordingPlatform platform;
    BenchmarkRecorder r = RecordingRecorder();
    RecordFrame(r, platform, 0.05f, 20, 0, 0, 1);
    RecordFrame(r, platform, 0.25f, 4, 0, 0, 1);  // elapsed 0.3: bucket 3
    RecordFrame(r, platform, 0.01f, 100, 0, 0, 1);
    CloseBucket(r);
    ASSERT_EQ(r.current.seconds.size(), 2u);
    EXPECT_EQ(r.current.seconds[0].time, 0.0f);
    EXPECT_EQ(r.current.seconds[1].time, 3.0f);
    EXPECT_EQ(r.current.seconds[1].frameCount, 2);

    BenchmarkRecorder warm = RecordingRecorder();
    warm.currentRun = 0;
    RecordFrame(warm, platform, 0.5f, 2, 0, 0, 1);
    EXPECT_EQ(warm.runElapsed, 0.5f);
    EXPECT_EQ(warm.current.totalFrames, 0);
    EXPECT_TRUE(warm.bucketFps.empty());

    BenchmarkRecorder paused = RecordingRecorder();
    paused.pausing = true;
    RecordFrame(paused, platform, 0.5f, 2, 0, 0, 1);
    EXPECT_EQ(paused.runElapsed, 0.0f);
}

TEST(SpikeFilter, ShortRunsAreNeverFiltered)
{
    for (const std::vector<float>& fps : {std::vector<float>{10}, std::vector<float>{10, 300}}) {
        RunResult run = RunWithFps(fps);
        ComputeRunStatistics(run);
        EXPECT_TRUE(Flagged(run).empty());
        EXPECT_EQ(run.cleaned, run.avg);
        EXPECT_EQ(run.cleanedMin, run.min);
        EXPECT_EQ(run.cleanedMax, run.max);
        EXPECT_EQ(run.outliers, 0);
    }
}

TEST(SpikeFilter, SingleRecordSpikesAboveFortyPercentAreFlagged)
{
    std::vector<float> fps = Steady(20);
    fps[8] = 200.0f;
    fps[7] = fps[9] = 100.0f;
    RunResult spiky = RunWithFps(fps);
    ComputeRunStatistics(spiky);
    EXPECT_EQ(Flagged(spiky), std::vector<int>{8});
    EXPECT_EQ(spiky.outliers, 1);
    EXPECT_LT(spiky.cleaned, spiky.avg);
    EXPECT_LT(spiky.cleanedMax, 200.0f);

    fps[8] = 130.0f;  // 30 % is within the tolerance
    RunResult mild = RunWithFps(fps);
    ComputeRunStatistics(mild);
    EXPECT_TRUE(Flagged(mild).empty());
}

TEST(SpikeFilter, SingleDipsAreFlaggedButTwoRecordDipsAreNot)
{
    std::vector<float> fps = Steady(20);
    fps[5] = 40.0f;
    fps[4] = fps[6] = 100.0f;
    RunResult dip = RunWithFps(fps);
    ComputeRunStatistics(dip);
    EXPECT_EQ(Flagged(dip), std::vector<int>{5});

    fps[6] = 40.0f;
    fps[7] = 100.0f;
    RunResult wide = RunWithFps(fps);
    ComputeRunStatistics(wide);
    EXPECT_TRUE(Flagged(wide).empty());
}

TEST(SpikeFilter, UpwardSpikesTwoToFourRecordsWideAreFlaggedTogether)
{
    for (int width = 2; width <= 4; ++width) {
        std::vector<float> fps = Steady(20);
        std::vector<int> expected;
        fps[9] = 100.0f;
        for (int i = 10; i < 10 + width; ++i) {
            fps[static_cast<size_t>(i)] = 180.0f;
            expected.push_back(i);
        }
        fps[static_cast<size_t>(10 + width)] = 100.0f;
        RunResult run = RunWithFps(fps);
        ComputeRunStatistics(run);
        EXPECT_EQ(Flagged(run), expected) << "width " << width;
        EXPECT_EQ(run.outliers, width);
    }
}

TEST(SpikeFilter, EndRecordsAreComparedWithTheirOnlyNeighbour)
{
    std::vector<float> fps = Steady(20);
    fps[0] = 30.0f;
    fps[1] = 100.0f;
    fps[19] = 160.0f;
    fps[18] = 100.0f;
    RunResult run = RunWithFps(fps);
    ComputeRunStatistics(run);
    EXPECT_EQ(Flagged(run), (std::vector<int>{0, 19}));
}

TEST(Score, MatchesTheWorkedExample)
{
    // 1920 x 1080, 100 FPS, 320 debris, 1 ball, 80 bricks: 1440 x 100 x 2 x 1 x 2 / 64.
    RunResult run = RunWithFps(std::vector<float>(12, 100.0f));
    ComputeRunStatistics(run);
    EXPECT_EQ(run.score, 9000.0f);
    EXPECT_EQ(run.avg, 100.0f);
    EXPECT_EQ(run.avgDebris, 320.0f);
    EXPECT_EQ(run.avgBricks, 80.0f);

    run.debrisEnabled = false;  // the debris term drops out whatever the samples say
    ComputeRunStatistics(run);
    EXPECT_EQ(run.score, 4500.0f);
}

TEST(Score, IsThePlainMeanOverUnflaggedRecordsRoundedHalfAwayFromZero)
{
    // 64 x 64 pixels, no debris, one ball and no bricks: each term is the record's FPS.
    RunResult run = RunWithFps({10.0f, 11.0f, 10.0f, 11.0f});
    run.width = 64;
    run.height = 64;
    run.debrisEnabled = false;
    for (SecondRecord& s : run.seconds) {
        s.bricks = 0.0f;
    }
    run.seconds[0].frameCount = 100;  // frame counts do not weight the score
    ComputeRunStatistics(run);
    EXPECT_EQ(run.score, 11.0f);  // mean 10.5
    EXPECT_NEAR(run.avg, 1192.0f / 118.0f, 1e-4);  // but they do weight the average

    // Fewer than one ball on average counts as one.
    for (SecondRecord& s : run.seconds) {
        s.balls = 0.0f;
    }
    ComputeRunStatistics(run);
    EXPECT_EQ(run.score, 11.0f);
}

TEST(Score, EmptyRunsHaveZeroStatistics)
{
    RunResult run;
    run.avg = 5.0f;
    run.score = 7.0f;
    ComputeRunStatistics(run);
    EXPECT_EQ(run.avg, 0.0f);
    EXPECT_EQ(run.score, 0.0f);
    EXPECT_EQ(run.cleaned, 0.0f);
}

TEST(CrossRunFigures, MeansRangesAndVariances)
{
    std::vector<RunResult> runs(3);
    const int frames[] = {3600, 3590, 3620};
    const float scores[] = {900.0f, 1000.0f, 1100.0f};
    for (int i = 0; i < 3; ++i) {
        runs[static_cast<size_t>(i)].totalFrames = frames[i];
        runs[static_cast<size_t>(i)].score = scores[i];
        runs[static_cast<size_t>(i)].cleaned = 60.0f + static_cast<float>(i);
        runs[static_cast<size_t>(i)].outliers = i;
    }
    const CrossRunFigures f = ComputeCrossRunFigures(runs);
    EXPECT_EQ(f.framesPerRun, 3603);  // 10810 / 3, truncated
    EXPECT_EQ(f.minFrames, 3590);
    EXPECT_EQ(f.maxFrames, 3620);
    EXPECT_FLOAT_EQ(f.frameVariance, 30.0f * 100.0f / 3603.0f);
    EXPECT_FLOAT_EQ(f.scoreVariance, 20.0f);
    EXPECT_EQ(f.meanScore, 1000.0f);
    EXPECT_EQ(f.meanCleaned, 61.0f);
    EXPECT_EQ(f.totalOutliers, 3);

    for (RunResult& r : runs) {
        r.score = 0.0f;
    }
    EXPECT_EQ(ComputeCrossRunFigures(runs).scoreVariance, 0.0f);  // not a division by zero
}
