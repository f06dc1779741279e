#pragma once
#include <cstdint>
#include <string>

#include "bench/recorder.h"
#include "game/effects.h"

class BenchmarkHost;
struct World;

inline constexpr double kWarmupSeconds = 1.0;
inline constexpr double kPauseSeconds = 2.0;
inline constexpr int kRunSeconds = 40;
inline constexpr int kDeterministicRunSeconds = 60;
inline constexpr uint32_t kDeterministicSeed = 42;
inline constexpr int32_t kBenchmarkRaySteps = 72;

// The length of each recorded run in seconds of sampled frame time: 60 for a
// deterministic benchmark, else 40; a stress test's loops as long, unless the
// tests shortened them.
int32_t RunSeconds(const BenchmarkConfig& config);

// Resets the recorder and starts a benchmark: a 1 s warm-up, then one or four
// recorded runs, each after a 2 s pause; or a stress test: the warm-up, then
// its loops back to back, each loop starting as a run does after the pause
// (the level built again on one frame that does not update the game, the
// frame after it not sampled) but without the pause. The first frame after
// this call is not sampled.
void StartBenchmark(BenchmarkRecorder& recorder, World& world, const BenchmarkConfig& config);

// What the benchmark's part of a frame did.
struct BenchmarkStep {
    bool stopUpdate = false;  // the pause between runs and the frame that ends it: no game update
    bool finished = false;    // the last run ended this frame: its report is written, the summary is due
    WorldEffects effects;     // of the level built for the next run
};

// The benchmark's part of every frame, before the game update: the pause,
// sampling, the timed events of a run and the end of runs.
BenchmarkStep BenchmarkFrameStep(BenchmarkRecorder& recorder, World& world, BenchmarkHost& host, double rawDt);

// Before each simulation tick of a deterministic run: the run's launch and
// trio events fire on the tick count (0.05 s = 3 ticks, 15 s = 900 ticks), so
// that the world at tick N is the same whatever the frame rate.
void BenchmarkTick(BenchmarkRecorder& recorder, World& world);

// Ends the current run: stores a recorded run, then pauses or finishes.
void CompleteRun(BenchmarkRecorder& recorder, World& world, BenchmarkHost& host);

// Stops a running benchmark, keeping (and reporting) whatever runs were
// recorded. False when no benchmark was running (nothing happens then).
bool AbortBenchmark(BenchmarkRecorder& recorder, World& world, BenchmarkHost& host);

// What the report, the results file and the summary box say of a benchmark
// that a device loss ended, `reason` being the device's removal text: where
// the benchmark was ("in run 2 of 4, cut short at 12.5 s", "after run 1 of 4"
// or "before any run was recorded"; a stress test's "in loop 8 of 20, ..."),
// then the reason.
std::string DeviceLossNote(const BenchmarkRecorder& recorder, const std::string& reason);

// The text of the "Benchmark Finished" box; `aborted` for the box of an
// aborted benchmark whose report could not be written.
std::wstring BuildBenchmarkSummary(const BenchmarkRecorder& recorder, bool aborted = false);

// The local video memory the program uses now and its budget (bytes): a
// recorded run in progress keeps the highest use and the budget then; at any
// other time (warm-up, pause, no benchmark) nothing is kept.
void RecordVideoMemory(BenchmarkRecorder& recorder, uint64_t usageBytes, uint64_t budgetBytes);

// What the summary box and the report say of the adapter measured, for
// example "NVIDIA GeForce RTX 4090 (default)" or "Intel(R) Arc(TM) A770
// Graphics (asked for with --adapter 1)"; empty when it is not known.
std::string AdapterNote(const MeasuredAdapter& adapter);

// What the summary box, the report and the results file say of a run that did
// not render the size asked for throughout, for example "rendered 2564 x 1418;
// 3840 x 2160 does not fit this screen"; empty when it did.
std::string RenderedSizeNote(const RunResult& run, const BenchmarkConfig& config);

// "cut short at 12.5 s" for a run that ended before its time (an abort, a
// device loss, a failure); empty for a complete run.
std::string CutShortNote(const RunResult& run);

// Everything the summary box and the report's score box say of one run: the
// cut-short note and the size note, joined by "; "; empty when neither applies.
std::string RunNote(const RunResult& run, const BenchmarkConfig& config);

// What the report and the summaries call a recorded run: "Run", or "Loop" in a stress test.
const char* RunWord(const BenchmarkConfig& config);
