#pragma once
#include <cstdint>
#include <vector>

#include "bench/recorder.h"

// Fills every statistic of a finished run, spike filter and score included.
// The run's average and cleaned FPS are frames over the time they took.
void ComputeRunStatistics(RunResult& run);

// Flags spike records and fills cleaned, cleanedMin, cleanedMax and outliers.
// A record that holds a frame longer than 0.1 s (a stall) is never flagged.
void MarkSpikeOutliers(RunResult& run);

// How much each record weighs in the score: every tenth of a second of the
// run the same. A record normally stands for its own tenth and weighs 1. A
// frame longer than 0.1 s leaves tenths without a record; the records joined
// by such gaps (with the tenths before a late first record) share the tenths
// they span in proportion to their frame time, so a stall counts for as long
// as it lasted.
std::vector<double> RecordWeights(const std::vector<TenthRecord>& records);

// The weighted score of a run whose averages and flags are already known: the
// weighted mean over the records not flagged of sqrt(pixels) x FPS x
// (1 + debris / 320, with debris on) x (1 + (balls - 1) / 4, at least one
// ball) x (1 + bricks / 80) / 64, rounded half away from zero.
float ComputeRunScore(const RunResult& run);

// Median of a list of values: the middle one, or the mean of the two middle ones.
float Median(std::vector<float> values);

// Rounds to the nearest whole number, halves away from zero.
double RoundHalfAwayFromZero(double value);

// Figures across all runs of a benchmark, as the report prints them.
struct CrossRunFigures {
    float meanScore = 0.0f;
    float meanCleaned = 0.0f;
    float meanDebris = 0.0f;
    float meanBalls = 0.0f;
    float meanBricks = 0.0f;
    int32_t totalOutliers = 0;
    int32_t framesPerRun = 0;
    int32_t minFrames = 0;
    int32_t maxFrames = 0;
    float minScore = 0.0f;
    float maxScore = 0.0f;
    float frameCountRange = 0.0f;  // percent
    float scoreRange = 0.0f;  // percent; 0 when the mean score is 0 (every score is then 0)
};

CrossRunFigures ComputeCrossRunFigures(const std::vector<RunResult>& runs);

// What a run's individual frame times say beyond its 0.1 s records.
//
// Percentiles use the nearest rank: the p-th percentile of n frame times is
// the ceil(p / 100 x n)-th smallest (the first for p = 0), so it is one of the
// measured times and exists for any n >= 1. The x % low frame rate is 1 / the
// mean of the slowest ceil(x / 100 x n) frame times (at least one frame).
struct FrameTimeFigures {
    size_t frames = 0;
    double low1PercentFps = 0.0;
    double low01PercentFps = 0.0;
    double p50Ms = 0.0;
    double p95Ms = 0.0;
    double p99Ms = 0.0;
};
FrameTimeFigures ComputeFrameTimeFigures(std::vector<float> frameTimes);

// The ceil(p / 100 x n)-th smallest of a sorted, non-empty list (p in percent,
// in whole thousandths of it; the smallest for p = 0), the rank worked out in
// integers.
double NearestRank(const std::vector<float>& sorted, double percent);
