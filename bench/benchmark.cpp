#include "bench/benchmark.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "bench/benchmark_host.h"
#include "bench/frame_log.h"
#include "bench/report.h"
#include "bench/results_file.h"
#include "bench/sampling.h"
#include "bench/statistics.h"
#include "bench/stress.h"
#include "game/levels.h"
#include "game/spawning.h"
#include "game/world.h"

namespace {

constexpr double kLaunchAt = 0.05;
constexpr double kTrioAt = 15.0;
constexpr int64_t kTicksPerSecond = 60;
constexpr int64_t kLaunchAtTicks = 3;  // 0.05 s
constexpr int64_t kTrioAtTicks = kTicksPerSecond * 15;
constexpr size_t kRecordsReserved = 700;

void BeginRun(BenchmarkRecorder& b)
{
    b.current = RunResult{};
    b.current.records.reserve(kRecordsReserved);
    b.current.width = b.config.width;
    b.current.height = b.config.height;
    b.current.raySteps = b.config.raySteps;
    b.current.debrisCount = b.config.debrisCount;
    b.current.debrisEnabled = b.config.debrisEnabled;
    b.current.deterministic = b.config.deterministic;
    b.bucket = OpenBucket{};
    b.runElapsed = 0.0;
    b.skipNextSample = true;
    b.runTicks = 0;
}

// Whether a run's clock (seconds of sampled time, or ticks) passed `at` on
// this step, from `before` to `now`: each event fires once, on the frame or
// tick that passes its time.
template <typename Clock>
bool Passes(Clock before, Clock now, Clock at)
{
    return before <= at && now > at;
}

// A run's two events: the first ball served shortly after its start, and the
// red, green and blue trio 15 s into a recorded run.
void FireRunEvents(BenchmarkRecorder& b, World& world, bool launchDue, bool trioDue)
{
    if (launchDue && !world.ballLaunched) {
        LaunchBall(world);
    }
    if (trioDue && b.phase != BenchmarkPhase::WarmUp) {
        SpawnRgbTrio(world);
    }
}

double RunLength(const BenchmarkRecorder& b)
{
    return b.phase == BenchmarkPhase::WarmUp ? kWarmupSeconds : RunSeconds(b.config);
}

// A stress test's loops follow one another with no pause: the load on the
// card is what it measures. The pause's one frame stays, the frame on which
// the next loop's level is built.
double PauseLength(const BenchmarkConfig& config)
{
    return config.stressLoops > 0 ? 0.0 : kPauseSeconds;
}

// The run under way, complete or cut short where its sampled time stands.
void StoreCurrentRun(BenchmarkRecorder& b)
{
    if (b.bucket.index >= 0) {
        CloseBucket(b);
    }
    b.current.measuredSeconds = b.runElapsed;
    b.current.complete = b.runElapsed >= RunLength(b);
    ComputeRunStatistics(b.current);
    b.runs.push_back(b.current);
}

// The HTML report, opened in the browser, and the results file beside it.
void WriteReports(BenchmarkRecorder& b, BenchmarkHost& host)
{
    b.reportWritten = false;
    b.resultsWritten = false;
    b.frameLog.written = false;
    const bool reportable = !b.runs.empty() && std::all_of(b.runs.begin(), b.runs.end(), [](const RunResult& run) {
        return !run.records.empty();
    });
    GenerateHTMLReport(b, host);  // logs why when the runs cannot be reported
    if (reportable) {
        if (b.frameLog.enabled) {
            WriteFrameLog(b, host);  // first: the results file names it once it is written
        }
        WriteResultsFile(b, host);
    }
}

// The world no longer runs a benchmark.
void EndWorldBenchmark(World& world)
{
    world.benchmarkRunning = false;
    world.deterministicRun = false;
    world.autoplay = false;
}

WorldEffects RestartLevelAfterPause(BenchmarkRecorder& b, World& world)
{
    b.skipNextSample = true;
    WorldEffects effects;
    if (b.config.deterministic) {
        effects = BuildLevel(world, kZivoLevel);
        world.paddleX = 0.0f;
        world.random.Seed(kDeterministicSeed);
        world.stepAccumulator = 0.0f;
    } else {
        effects = BuildLevel(world, 0);
        world.paddleX = static_cast<float>(world.random.Next() / 32767.0 * 20.0 - 10.0);
    }
    world.autoplay = true;
    b.runTicks = 0;  // the frame that ended the last run may have ticked on
    return effects;
}

}  // namespace

void StartBenchmark(BenchmarkRecorder& b, World& world, const BenchmarkConfig& config)
{
    b.phase = BenchmarkPhase::WarmUp;
    b.currentRun = 0;
    b.runs.clear();
    b.endedByDeviceLoss.clear();
    ClearFrameLog(b.frameLog);
    b.targetRuns = config.stressLoops > 0 ? static_cast<int32_t>(config.stressLoops) : (config.singleRun ? 1 : 4);
    b.config = config;
    if (config.deterministic) {
        world.random.Seed(kDeterministicSeed);
    }
    world.benchmarkRunning = true;
    world.deterministicRun = config.deterministic;
    BeginRun(b);
}

BenchmarkStep BenchmarkFrameStep(BenchmarkRecorder& b, World& world, BenchmarkHost& host, double rawDt)
{
    BenchmarkStep step;
    if (b.phase == BenchmarkPhase::Pause) {
        b.pauseElapsed += rawDt;
        if (b.pauseElapsed >= PauseLength(b.config)) {
            b.phase = BenchmarkPhase::Recording;
            step.effects = RestartLevelAfterPause(b, world);
        }
        step.stopUpdate = true;
        return step;
    }
    if (b.phase == BenchmarkPhase::Idle) {
        return step;
    }

    const double before = b.runElapsed;
    SampleFrame(b, world, host, rawDt);
    if (!b.config.deterministic) {
        FireRunEvents(b, world, Passes(before, b.runElapsed, kLaunchAt), Passes(before, b.runElapsed, kTrioAt));
    }
    if (b.runElapsed >= RunLength(b)) {
        CompleteRun(b, world, host);
        step.finished = b.phase == BenchmarkPhase::Idle;
    }
    return step;
}

void BenchmarkTick(BenchmarkRecorder& b, World& world)
{
    if (b.phase == BenchmarkPhase::Idle || !b.config.deterministic) {
        return;
    }
    // runTicks counts the ticks before this one, so an event fires on the
    // first tick after its time.
    const int64_t ticks = b.runTicks;
    FireRunEvents(b, world, Passes(ticks - 1, ticks, kLaunchAtTicks), Passes(ticks - 1, ticks, kTrioAtTicks));
    ++b.runTicks;
}

void CompleteRun(BenchmarkRecorder& b, World& world, BenchmarkHost& host)
{
    DebugLog(host, 256, "Benchmark: Completed run %d at T=%.2f\n", b.currentRun, b.runElapsed);
    if (b.phase == BenchmarkPhase::Recording) {
        StoreCurrentRun(b);
        DebugLog(host, 256, "Benchmark: Recorded run %d with %d seconds of data\n", b.currentRun,
                 static_cast<int>(b.current.records.size()));
    }
    if (b.currentRun >= b.targetRuns) {
        b.phase = BenchmarkPhase::Idle;
        b.currentRun = 0;
        EndWorldBenchmark(world);
        DebugLog(host, 256, "Benchmark: All runs complete. Total recorded runs: %d\n", static_cast<int>(b.runs.size()));
        WriteReports(b, host);
        return;
    }
    b.currentRun += 1;
    b.phase = BenchmarkPhase::Pause;
    b.pauseElapsed = 0.0;
    PrepareFrameLog(b.frameLog, RunSeconds(b.config));  // in the pause, for the run that follows it
    if (b.config.deterministic) {
        world.random.Seed(kDeterministicSeed);
    }
    BeginRun(b);
}

bool AbortBenchmark(BenchmarkRecorder& b, World& world, BenchmarkHost& host)
{
    if (b.phase == BenchmarkPhase::Idle) {
        return false;
    }
    if (b.phase == BenchmarkPhase::Recording && b.bucket.index >= 0) {
        StoreCurrentRun(b);
    }
    b.phase = BenchmarkPhase::Idle;
    b.currentRun = 0;
    if (!b.runs.empty()) {
        WriteReports(b, host);
    }
    EndWorldBenchmark(world);
    return true;
}

std::string RenderedSizeNote(const RunResult& run, const BenchmarkConfig& config)
{
    std::string note;
    if (run.width != config.width || run.height != config.height) {
        const bool smaller = run.width < config.width || run.height < config.height;
        note = "rendered " + std::to_string(run.width) + " x " + std::to_string(run.height) + "; " +
               std::to_string(config.width) + " x " + std::to_string(config.height) +
               (smaller ? " does not fit this screen" : " was asked for");
    }
    if (run.sizeChanged) {
        note += note.empty() ? "the size changed during the run" : "; the size changed during the run";
    }
    return note;
}

void RecordVideoMemory(BenchmarkRecorder& b, uint64_t usageBytes, uint64_t budgetBytes)
{
    if (b.phase != BenchmarkPhase::Recording) {
        return;
    }
    std::optional<VideoMemoryPeak>& peak = b.current.videoMemory;
    if (!peak || usageBytes > peak->peakUsageBytes) {
        peak = VideoMemoryPeak{usageBytes, budgetBytes};
    }
}

std::string AdapterNote(const MeasuredAdapter& adapter)
{
    if (adapter.name.empty()) {
        return {};
    }
    return adapter.name + (adapter.asked ? " (asked for with --adapter " + std::to_string(adapter.index) + ")" : " (default)");
}

std::string CutShortNote(const RunResult& run)
{
    if (run.complete) {
        return "";
    }
    char text[48];
    std::snprintf(text, sizeof(text), "cut short at %.1f s", run.measuredSeconds);
    return text;
}

int32_t RunSeconds(const BenchmarkConfig& config)
{
    if (config.stressLoops > 0 && config.testLoopSeconds > 0) {
        return config.testLoopSeconds;
    }
    return config.deterministic ? kDeterministicRunSeconds : kRunSeconds;
}

const char* RunWord(const BenchmarkConfig& config)
{
    return config.stressLoops > 0 ? "Loop" : "Run";
}

std::string RunNote(const RunResult& run, const BenchmarkConfig& config)
{
    const std::string cut = CutShortNote(run);
    const std::string size = RenderedSizeNote(run, config);
    return cut.empty() || size.empty() ? cut + size : cut + "; " + size;
}

std::string DeviceLossNote(const BenchmarkRecorder& b, const std::string& reason)
{
    char where[96];
    const char* run = b.config.stressLoops > 0 ? "loop" : "run";
    if (b.phase == BenchmarkPhase::Recording && b.bucket.index >= 0) {
        // The run under way has recorded frames: it is kept, cut short.
        std::snprintf(where, sizeof(where), "in %s %d of %d, cut short at %.1f s", run, b.currentRun, b.targetRuns,
                      b.runElapsed);
    } else if (b.currentRun >= 2) {
        std::snprintf(where, sizeof(where), "after %s %d of %d", run, b.currentRun - 1, b.targetRuns);
    } else {
        std::snprintf(where, sizeof(where), "before any %s was recorded", run);
    }
    return std::string("Ended by a device loss ") + where + ": " + reason;
}

std::wstring BuildBenchmarkSummary(const BenchmarkRecorder& b, bool aborted)
{
    const std::wstring seconds = std::to_wstring(RunSeconds(b.config));
    const bool stress = b.config.stressLoops > 0;
    const std::string runWord = RunWord(b.config);
    const std::wstring reportName(b.reportPath.begin(), b.reportPath.end());
    std::wstring text = aborted ? L"Benchmark Aborted\n\n" : L"Benchmark Complete!\n\n";
    if (!b.endedByDeviceLoss.empty()) {
        text += std::wstring(b.endedByDeviceLoss.begin(), b.endedByDeviceLoss.end()) + L"\n\n";
    }
    if (b.reportWritten) {
        text += L"Generated: " + reportName + L"\n";
        text += L"Opening in browser...\n\n";
    } else {
        text += L"The report could not be written: " + reportName + L"\n\n";
    }
    if (stress) {
        const std::string line = StressSummaryLine(ComputeStressFigures(b));
        text += L"Stress test: " + std::wstring(line.begin(), line.end()) + L"\n";
    } else if (b.runs.size() == 1) {
        text += L"Single run (" + seconds + L" seconds)\n";
    } else {
        text += L"Runs: " + std::to_wstring(b.runs.size()) + L" (" + seconds + L" seconds each)\n";
    }
    if (const std::string adapter = AdapterNote(b.adapter); !adapter.empty()) {
        text += L"Adapter: " + std::wstring(adapter.begin(), adapter.end()) + L"\n";
    }
    for (size_t i = 0; i < b.runs.size(); ++i) {
        const std::string note = RunNote(b.runs[i], b.config);
        if (!note.empty()) {
            text += std::wstring(runWord.begin(), runWord.end()) + L" " + std::to_wstring(i + 1) + L": " +
                    std::wstring(note.begin(), note.end()) + L"\n";
        }
    }
    if (b.config.deterministic) {
        text += L"\nDETERMINISTIC MODE:\n";
        text += L"- Fixed random seed (" + std::to_wstring(kDeterministicSeed) + L")\n";
        text += L"- ZIVO level\n";
        text += L"- No mouse/keyboard input\n";
    }
    if (b.config.deterministic && !stress) {  // a stress test's loops are in its report
        text += L"\nResults per Run:\n";
        for (size_t i = 0; i < b.runs.size(); ++i) {
            text += L"  Run " + std::to_wstring(i + 1) + L": " + std::to_wstring(b.runs[i].totalFrames) + L" frames, " +
                    std::to_wstring(static_cast<int64_t>(b.runs[i].score)) + L" score\n";
        }
    }
    text += L"\nIncludes:\n";
    text += stress ? L"- Average FPS per loop and timeline charts per loop\n" : L"- Timeline charts per run\n";
    if (!b.config.deterministic) {
        text += L"- Scatter plot (complexity analysis)\n";
        text += L"- Spike outlier removal\n";
    }
    text += L"- Benchmark score\n";
    if (!b.reportWritten && !b.runs.empty()) {
        // Without a report these lines show the measurement; the results file
        // may still have kept it.
        const std::wstring resultsName(b.resultsPath.begin(), b.resultsPath.end());
        text += b.resultsWritten ? L"\nResults (saved in " + resultsName + L"):\n" : L"\nResults (not saved):\n";
        float scoreSum = 0.0f;
        for (size_t i = 0; i < b.runs.size(); ++i) {
            wchar_t line[96];
            std::swprintf(line, sizeof(line) / sizeof(line[0]), L"  %ls %d: score %.0f, average %.1f FPS\n",
                          stress ? L"Loop" : L"Run", static_cast<int>(i + 1), static_cast<double>(b.runs[i].score),
                          static_cast<double>(b.runs[i].avg));
            text += line;
            scoreSum += b.runs[i].score;
        }
        if (b.runs.size() > 1) {
            wchar_t line[64];
            std::swprintf(line, sizeof(line) / sizeof(line[0]), L"  Mean score: %.0f\n",
                          static_cast<double>(scoreSum / static_cast<float>(b.runs.size())));
            text += line;
        }
    }
    return text;
}
