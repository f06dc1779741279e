#include "bench/statistics.h"

#include <algorithm>
#include <cmath>

namespace {

// The spike filter. Frame rates follow the scene, which changes gradually (a
// brick, a burst at a time), so a record far off its neighbours is a hiccup
// of the machine rather than the work.
// Only records in the outer tenth of the run's frame rates at either end are
// candidates, so the filter can never take more than about a fifth of a run.
constexpr size_t kBandDivisor = 10;
// A single record more than 40 % above or below the mean of its two
// neighbours (and beyond both) is a spike or a dip.
constexpr float kSingleSpikeJump = 0.4f;
// Two to four high records more than 50 % above their neighbours' mean are a
// burst; upward only, since a run of slow records is work the card did.
constexpr float kBurstRise = 0.5f;
// The first and last records have one neighbour: a ratio beyond 1.5 or its
// near inverse 0.67 to it marks them.
constexpr float kEndRatioHigh = 1.5f;
constexpr float kEndRatioLow = 0.67f;

// The score's weights: a frame's rate counts for more the more work it
// draws. Weight = (1 + debris / 320) x (1 + (balls - 1) / 4) x (1 + bricks / 80).
// 320 live debris double a frame's weight: the presets run from 80 to 640,
// so the largest triples it.
constexpr double kDebrisForDoubleWeight = 320.0;
// Each ball beyond the first adds a quarter: five balls double the weight;
// fewer than one ball on average counts as one (the scene is still drawn).
constexpr double kWeightPerExtraBall = 0.25;
// 80 bricks, a full grid of the first two levels, double the weight.
constexpr double kBricksForDoubleWeight = 80.0;
// Keeps the score in the thousands (a 1080p run at 60 FPS scores about 3000)
// rather than the hundreds of thousands; a power of two, so exact.
constexpr double kScoreScale = 1.0 / 64.0;

}  // namespace

float Median(std::vector<float> values)
{
    if (values.empty()) {
        return 0.0f;
    }
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    if (n % 2 == 1) {
        return values[n / 2];
    }
    return (values[n / 2 - 1] + values[n / 2]) / 2.0f;
}

double RoundHalfAwayFromZero(double value)
{
    return std::round(value);  // std::round rounds halves away from zero
}

void ComputeRunStatistics(RunResult& run)
{
    if (run.records.empty()) {
        run.avg = run.min = run.max = run.median = 0.0f;
        run.cleaned = run.cleanedMin = run.cleanedMax = 0.0f;
        run.outliers = 0;
        run.score = 0.0f;
        run.avgDebris = run.avgBalls = run.avgBricks = 0.0f;
        return;
    }
    run.min = run.max = run.records[0].avgFps;
    double weight = 0.0;
    double seconds = 0.0;
    double debris = 0.0;
    double balls = 0.0;
    double bricks = 0.0;
    std::vector<float> values;
    values.reserve(run.records.size());
    for (const TenthRecord& s : run.records) {
        const double w = s.frameCount;
        weight += w;
        seconds += s.durationSeconds;
        debris += w * s.debris;
        balls += w * s.balls;
        bricks += w * s.bricks;
        run.min = std::min(run.min, s.avgFps);
        run.max = std::max(run.max, s.avgFps);
        values.push_back(s.avgFps);
    }
    run.avg = static_cast<float>(weight / seconds);
    run.avgDebris = static_cast<float>(debris / weight);
    run.avgBalls = static_cast<float>(balls / weight);
    run.avgBricks = static_cast<float>(bricks / weight);
    run.median = Median(std::move(values));
    MarkSpikeOutliers(run);
    run.score = ComputeRunScore(run);
}

void MarkSpikeOutliers(RunResult& run)
{
    std::vector<TenthRecord>& rec = run.records;
    const size_t n = rec.size();
    for (TenthRecord& s : rec) {
        s.isOutlier = false;
    }
    if (n < 3) {
        run.cleaned = run.avg;
        run.cleanedMin = run.min;
        run.cleanedMax = run.max;
        run.outliers = 0;
        return;
    }
    std::vector<float> v(n);
    for (size_t i = 0; i < n; ++i) {
        v[i] = rec[i].avgFps;
    }
    std::vector<float> sorted = v;
    std::sort(sorted.begin(), sorted.end());
    const size_t k = n / kBandDivisor;
    const float lo = sorted[k];
    const float hi = sorted[n - k - 1];
    auto outsideBand = [&](float value) { return value <= lo || value >= hi; };
    // A record that holds a frame longer than a record (a stall) is time the
    // run spent, not a spike: a card that stalls is slower, and the score
    // and the cleaned average must show it.
    auto stall = [&](size_t i) { return rec[i].minFps < static_cast<float>(kRecordsPerSecond); };

    // Single-record spikes and dips.
    for (size_t i = 1; i + 1 < n; ++i) {
        if (!outsideBand(v[i]) || stall(i)) {
            continue;
        }
        const float a = v[i - 1];
        const float b = v[i + 1];
        const float m = (a + b) * 0.5f;
        const bool peak = v[i] > a && v[i] > b;
        const bool dip = v[i] < a && v[i] < b;
        if (m > 0.0f && std::fabs(v[i] - m) / m > kSingleSpikeJump && (peak || dip)) {
            rec[i].isOutlier = true;
        }
    }

    // Upward spikes two to four records wide.
    for (size_t w = 2; w <= 4 && w + 2 < n; ++w) {
        for (size_t i = 1; i + w < n; ++i) {
            bool allHigh = true;
            float sum = 0.0f;
            for (size_t j = i; j < i + w; ++j) {
                allHigh = allHigh && v[j] >= hi;
                sum += v[j];
            }
            if (!allHigh) {
                continue;
            }
            const float mean = w == 2 ? sum * 0.5f : (w == 3 ? sum / 3.0f : sum * 0.25f);
            const float a = v[i - 1];
            const float b = v[i + w];
            const float m = (a + b) * 0.5f;
            if (m > 0.0f && (mean - m) / m > kBurstRise && mean > a && mean > b) {
                for (size_t j = i; j < i + w; ++j) {
                    rec[j].isOutlier = true;
                }
            }
        }
    }

    // The first and last records against their only neighbour.
    auto endSpike = [&](size_t i, size_t neighbour) {
        const float ratio = v[i] / v[neighbour];
        if (outsideBand(v[i]) && !stall(i) && (ratio > kEndRatioHigh || ratio < kEndRatioLow)) {
            rec[i].isOutlier = true;
        }
    };
    endSpike(0, 1);
    endSpike(n - 1, n - 2);

    run.outliers = 0;
    run.cleanedMin = 1e30f;
    run.cleanedMax = 0.0f;
    double seconds = 0.0;
    double frames = 0.0;
    for (const TenthRecord& s : rec) {
        if (s.isOutlier) {
            run.outliers += 1;
            continue;
        }
        seconds += s.durationSeconds;
        frames += s.frameCount;
        run.cleanedMin = std::min(run.cleanedMin, s.avgFps);
        run.cleanedMax = std::max(run.cleanedMax, s.avgFps);
    }
    if (frames < 1.0) {
        run.cleanedMin = run.min;
        run.cleanedMax = run.max;
        run.cleaned = run.avg;
    } else {
        run.cleaned = static_cast<float>(frames / seconds);
    }
}

namespace {

double ComplexityTerm(double resolution, double fps, double debris, double balls, double bricks, bool debrisEnabled)
{
    const double d = debrisEnabled ? 1.0 + debris / kDebrisForDoubleWeight : 1.0;
    const double b = std::max(1.0, (balls - 1.0) * kWeightPerExtraBall + 1.0);
    const double k = 1.0 + bricks / kBricksForDoubleWeight;
    return resolution * fps * d * b * k * kScoreScale;
}

}  // namespace

std::vector<double> RecordWeights(const std::vector<TenthRecord>& records)
{
    // Records joined by skipped indices form a stretch; a stretch of one
    // record with no gap before it weighs exactly 1.
    const size_t n = records.size();
    std::vector<double> weights(n, 1.0);
    size_t first = 0;
    float firstTenth = 0.0f;  // the tenth of a second the stretch begins in
    for (size_t i = 1; i <= n; ++i) {
        if (i < n && records[i].time - records[i - 1].time > 1.0f) {
            continue;
        }
        const double tenths = static_cast<double>(records[i - 1].time - firstTenth) + 1.0;
        if (i - first > 1 || tenths != 1.0) {
            double seconds = 0.0;
            for (size_t j = first; j < i; ++j) {
                seconds += records[j].durationSeconds;
            }
            for (size_t j = first; j < i; ++j) {
                weights[j] = tenths * records[j].durationSeconds / seconds;
            }
        }
        first = i;
        firstTenth = records[i - 1].time + 1.0f;
    }
    return weights;
}

float ComputeRunScore(const RunResult& run)
{
    const uint32_t pixels = run.width * run.height;
    const double resolution = std::sqrt(static_cast<double>(static_cast<float>(pixels)));
    const std::vector<double> weights = RecordWeights(run.records);
    double total = 0.0;
    double weight = 0.0;
    for (size_t i = 0; i < run.records.size(); ++i) {
        const TenthRecord& s = run.records[i];
        if (s.isOutlier) {
            continue;
        }
        total += weights[i] * ComplexityTerm(resolution, s.avgFps, s.debris, s.balls, s.bricks, run.debrisEnabled);
        weight += weights[i];
    }
    double raw;
    if (weight > 0.0) {
        raw = total / weight;
    } else {
        raw = ComplexityTerm(resolution, run.cleaned, run.avgDebris, run.avgBalls, run.avgBricks, run.debrisEnabled);
    }
    return static_cast<float>(RoundHalfAwayFromZero(raw));
}

CrossRunFigures ComputeCrossRunFigures(const std::vector<RunResult>& runs)
{
    CrossRunFigures f;
    if (runs.empty()) {
        return f;
    }
    const float n = static_cast<float>(runs.size());
    float score = 0.0f, cleaned = 0.0f, debris = 0.0f, balls = 0.0f, bricks = 0.0f;
    int64_t frames = 0;
    f.minFrames = f.maxFrames = runs[0].totalFrames;
    f.minScore = f.maxScore = runs[0].score;
    for (const RunResult& r : runs) {
        score += r.score;
        cleaned += r.cleaned;
        debris += r.avgDebris;
        balls += r.avgBalls;
        bricks += r.avgBricks;
        f.totalOutliers += r.outliers;
        frames += r.totalFrames;
        f.minFrames = std::min(f.minFrames, r.totalFrames);
        f.maxFrames = std::max(f.maxFrames, r.totalFrames);
        f.minScore = std::min(f.minScore, r.score);
        f.maxScore = std::max(f.maxScore, r.score);
    }
    f.meanScore = score / n;
    f.meanCleaned = cleaned / n;
    f.meanDebris = debris / n;
    f.meanBalls = balls / n;
    f.meanBricks = bricks / n;
    f.framesPerRun = static_cast<int32_t>(frames / static_cast<int64_t>(runs.size()));
    f.frameCountRange = f.framesPerRun > 0
                          ? static_cast<float>(f.maxFrames - f.minFrames) * 100.0f / static_cast<float>(f.framesPerRun)
                          : 0.0f;
    f.scoreRange = f.meanScore != 0.0f ? (f.maxScore - f.minScore) * 100.0f / f.meanScore : 0.0f;
    return f;
}

namespace {

// ceil(percent / 100 x n), at least 1 and at most n, worked out in integers:
// in floating point 7 / 100.0 x 100 is 7.000000000000001, one rank too many.
// The percents used are whole thousandths.
size_t RankOf(size_t n, double percent)
{
    const uint64_t thousandths = static_cast<uint64_t>(std::llround(std::clamp(percent, 0.0, 100.0) * 10.0));
    const uint64_t rank = (thousandths * n + 999) / 1000;
    return n == 0 ? 0 : static_cast<size_t>(std::clamp<uint64_t>(rank, 1, n));
}

}  // namespace

double NearestRank(const std::vector<float>& sorted, double percent)
{
    return sorted[RankOf(sorted.size(), percent) - 1];
}

namespace {

// 1 / the mean of the slowest ceil(percent / 100 x n) times (at least one).
double LowFps(const std::vector<float>& sorted, double percent)
{
    const size_t count = RankOf(sorted.size(), percent);
    double sum = 0.0;
    for (size_t i = sorted.size() - count; i < sorted.size(); ++i) {
        sum += sorted[i];
    }
    return sum > 0.0 ? static_cast<double>(count) / sum : 0.0;
}

}  // namespace

FrameTimeFigures ComputeFrameTimeFigures(std::vector<float> frameTimes)
{
    FrameTimeFigures f;
    f.frames = frameTimes.size();
    if (frameTimes.empty()) {
        return f;
    }
    std::sort(frameTimes.begin(), frameTimes.end());
    f.low1PercentFps = LowFps(frameTimes, 1.0);
    f.low01PercentFps = LowFps(frameTimes, 0.1);
    f.p50Ms = NearestRank(frameTimes, 50.0) * 1000.0;
    f.p95Ms = NearestRank(frameTimes, 95.0) * 1000.0;
    f.p99Ms = NearestRank(frameTimes, 99.0) * 1000.0;
    return f;
}
