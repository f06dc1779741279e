#include "bench/stress.h"

#include <cmath>
#include <cstdio>

#include "bench/benchmark.h"
#include "bench/recorder.h"

namespace {

// Frame rates are single-precision figures: a stability that is 97 % but for
// the last bits of a division passes, and is shown as 97.0 %.
constexpr double kPercentTolerance = 1e-9;

double PercentOf(double value, double whole)
{
    return value / whole * 100.0;
}

bool BelowPass(double percent)
{
    return percent + kPercentTolerance < kStressPassPercent;
}

}  // namespace

std::optional<int32_t> ParseTestLoopSeconds(const std::string& value, int32_t runSeconds, std::string& error)
{
    const bool digits = !value.empty() && value.size() <= 4 && value.find_first_not_of("0123456789") == std::string::npos;
    const int32_t seconds = digits ? std::stoi(value) : 0;
    if (seconds < 1 || seconds > runSeconds) {
        error = std::string(kTestLoopSecondsVariable) + "=" + value +
                ": a test's loop length is a whole number of seconds from 1 to " + std::to_string(runSeconds);
        return std::nullopt;
    }
    return seconds;
}

const char* StressVerdictText(StressVerdict verdict)
{
    switch (verdict) {
    case StressVerdict::Pass: return "pass";
    case StressVerdict::Fail: return "fail";
    case StressVerdict::Incomplete: break;
    }
    return "incomplete";
}

StressFigures ComputeStressFigures(const BenchmarkRecorder& recorder)
{
    StressFigures f;
    f.loopsAsked = recorder.config.stressLoops;
    f.loopSeconds = RunSeconds(recorder.config);
    f.shortenedForTests = recorder.config.testLoopSeconds > 0;
    size_t first = 0;
    size_t last = 0;
    for (size_t i = 0; i < recorder.runs.size(); ++i) {
        const RunResult& run = recorder.runs[i];
        f.loops.push_back(StressLoop{run.avg, run.score, run.complete, false});
        if (!run.complete) {
            continue;
        }
        f.loopsComplete += 1;
        const size_t number = i + 1;
        first = first == 0 ? number : first;
        last = number;
        if (f.bestLoop == 0 || run.avg > f.loops[f.bestLoop - 1].averageFps) {
            f.bestLoop = number;
        }
        if (f.worstLoop == 0 || run.avg < f.loops[f.worstLoop - 1].averageFps) {
            f.worstLoop = number;
        }
    }
    f.complete = f.loopsComplete == f.loopsAsked;
    const double best = f.bestLoop > 0 ? f.loops[f.bestLoop - 1].averageFps : 0.0;
    if (best > 0.0) {
        f.stabilityPercent = PercentOf(f.loops[f.worstLoop - 1].averageFps, best);
        f.passFps = best * kStressPassPercent / 100.0;
        for (StressLoop& loop : f.loops) {
            loop.belowPass = loop.complete && BelowPass(PercentOf(loop.averageFps, best));
        }
    }
    if (first != last && f.loops[first - 1].averageFps > 0.0) {
        f.trendPercent = PercentOf(f.loops[last - 1].averageFps, f.loops[first - 1].averageFps) - 100.0;
    }
    if (f.stabilityPercent && BelowPass(*f.stabilityPercent)) {
        f.verdict = StressVerdict::Fail;  // final even when cut short: more loops cannot raise it
    } else {
        f.verdict = f.complete ? StressVerdict::Pass : StressVerdict::Incomplete;
    }
    return f;
}

std::string StabilityText(double percent)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f %%", std::floor((percent + kPercentTolerance) * 10.0) / 10.0);
    return text;
}

std::string TrendText(double percent)
{
    // Rounded first, so that a trend too small to show reads +0.0 %, never -0.0 %.
    const double trend = std::round(percent * 10.0) / 10.0;
    char text[32];
    std::snprintf(text, sizeof(text), "%+.1f %%", trend == 0.0 ? 0.0 : trend);
    return text;
}

std::string StressSummaryLine(const StressFigures& f)
{
    std::string line = StressVerdictText(f.verdict);
    if (f.stabilityPercent) {
        line += ", stability " + StabilityText(*f.stabilityPercent) + " (97 % needed)";
    } else {
        line += ", no loop played whole";
    }
    if (f.trendPercent) {
        line += ", trend " + TrendText(*f.trendPercent) + " from the first loop to the last";
    }
    line += ", " + std::to_string(f.loopsComplete) + " of " + std::to_string(f.loopsAsked) + " loops of " +
            std::to_string(f.loopSeconds) + " s";
    if (f.shortenedForTests) {
        line += std::string(" (shortened for tests by ") + kTestLoopSecondsVariable + ")";
    }
    return line;
}
