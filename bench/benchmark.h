#pragma once
#include <cstdint>
#include <string>

struct App;
struct BenchmarkRecorder;

inline constexpr float kWarmupSeconds = 1.0f;
inline constexpr float kPauseSeconds = 2.0f;
inline constexpr float kRunSeconds = 40.0f;
inline constexpr float kDeterministicRunSeconds = 60.0f;
inline constexpr uint32_t kDeterministicSeed = 42;
inline constexpr int32_t kBenchmarkRaySteps = 72;

// Resets the recorder and starts a benchmark: a 1 s warm-up, then one or four
// recorded runs. The first frame after this call is not sampled.
void StartBenchmark(App& app, uint32_t width, uint32_t height, uint32_t raySteps, bool debrisEnabled,
                    uint32_t debrisCount, bool singleRun, bool deterministic);

// What initialisation and the launch window do around StartBenchmark once the
// level is built: benchmark settings, panel mirror, start, launch/abort buttons.
// width x height is the chosen resolution preset, which enters the score.
void BeginConfiguredBenchmark(App& app, uint32_t width, uint32_t height, int32_t debrisCount, bool singleRun,
                              bool deterministic);

// The benchmark's part of every frame. True when the rest of the frame update
// must not run (the pause between runs and the frame that ends it).
bool BenchmarkFrameStep(App& app, float rawDt);

// Ends the current run: stores a recorded run, then pauses or finishes.
void CompleteRun(App& app);

// Stops a running benchmark, keeping (and reporting) whatever runs were recorded.
void AbortBenchmark(App& app);

// The text of the "Benchmark Finished" box.
std::wstring BuildBenchmarkSummary(const BenchmarkRecorder& recorder);
