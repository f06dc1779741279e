#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bench/frame_log.h"

// The configuration a benchmark was started with. width x height is the
// chosen resolution preset, the size asked for (a run scores the size it
// rendered, RunResult::width x height); every run starts with a copy of the
// first five fields.
struct BenchmarkConfig {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t raySteps = 0;
    uint32_t debrisCount = 0;
    bool debrisEnabled = false;
    bool singleRun = false;      // one recorded run instead of four
    bool deterministic = false;  // fixed seed, ZIVO level, fixed ticks, no input
    // A stress test: so many recorded runs (its loops) back to back, with no
    // pause between them; 0 for a benchmark of one or four runs.
    uint32_t stressLoops = 0;
    // A stress test's loop length in whole seconds when the tests shorten it
    // (bench/stress.h); 0: the configuration's run length.
    int32_t testLoopSeconds = 0;
};

// Records per second of sampled time: each record is a tenth of a second.
inline constexpr double kRecordsPerSecond = 10.0;

// One closed 0.1 s bucket of samples: the frames whose end fell into it.
struct TenthRecord {
    float time = 0.0f;  // bucket index: whole tenths of a second of sampled time
    float avgFps = 0.0f;     // frameCount / durationSeconds
    float minFps = 0.0f;     // of single frames (1 / frame time) ...
    float maxFps = 0.0f;
    float medianFps = 0.0f;  // ... as the spike chart shows them
    float debris = 0.0f;
    float bricks = 0.0f;
    float balls = 0.0f;
    int32_t frameCount = 0;
    bool isOutlier = false;
    double startSeconds = 0.0;     // sampled time at which its first frame began
    double durationSeconds = 0.0;  // the sum of its frame times
    // GPU milliseconds per pass, the mean over the pass times that arrived
    // while the record was open (gpuFrames of them; none without timestamps).
    float gpuPhysicsMs = 0.0f;
    float gpuRenderMs = 0.0f;
    int32_t gpuFrames = 0;
};

// The most local video memory (the adapter's own) the program used during a
// run, and the budget the system gave it at that moment, in bytes.
struct VideoMemoryPeak {
    uint64_t peakUsageBytes = 0;
    uint64_t budgetBytes = 0;
};

struct RunResult {
    std::vector<TenthRecord> records;  // the run's 0.1 s records, in order
    float avg = 0.0f;
    float min = 0.0f;
    float max = 0.0f;
    float median = 0.0f;
    float cleaned = 0.0f;
    float cleanedMin = 0.0f;
    float cleanedMax = 0.0f;
    int32_t outliers = 0;
    float score = 0.0f;
    float avgDebris = 0.0f;
    float avgBalls = 0.0f;
    float avgBricks = 0.0f;
    int32_t totalFrames = 0;
    // The size the run rendered, which enters its score: the swap chain's size
    // at its first sampled frame (the size asked for until then). Windows cuts
    // a window that does not fit the screen, so it can be smaller than asked.
    uint32_t width = 0;
    uint32_t height = 0;
    bool sizeChanged = false;  // the swap chain's size changed later in the run
    // The window could not be seen (minimised, covered) for some of the run's
    // frames: what a hidden window's frames cost need not be what a shown one's do.
    bool occluded = false;
    uint32_t raySteps = 0;
    uint32_t debrisCount = 0;
    bool debrisEnabled = false;
    bool deterministic = false;
    // A run ends complete when its sampled time reaches the run's length; an
    // abort, a device loss or a failure cuts it short at measuredSeconds.
    bool complete = true;
    double measuredSeconds = 0.0;  // the sum of its sampled frame times
    // Every sampled frame's time in seconds, for the frame-time figures of the
    // results file; at most kMaxFrameTimes are kept (the rest are only counted).
    std::vector<float> frameTimes;
    int64_t frameTimesDropped = 0;
    // Every GPU pass time that arrived during the run, in milliseconds (at
    // most kMaxFrameTimes each); empty when the device gives no timestamps.
    std::vector<float> gpuPhysicsMs;
    std::vector<float> gpuRenderMs;
    // Nothing where the adapter does not give its video memory figures.
    std::optional<VideoMemoryPeak> videoMemory;
};

// The adapter a benchmark measures: its name, its index in the system's list
// (as --list-adapters numbers it; -1 when unknown) and whether the user named
// it (--adapter) or the program took its default.
struct MeasuredAdapter {
    std::string name;
    int32_t index = -1;
    bool asked = false;
};

// About 70 minutes at 250 frames a second: far beyond a run, and 4 MB at most.
inline constexpr size_t kMaxFrameTimes = 1u << 20;

// Where a benchmark stands. Idle: none runs. WarmUp: the first second, whose
// frames are timed but not recorded. Recording: run currentRun samples its
// frames into 0.1 s records. Pause: between two runs (currentRun is the run
// that follows it); the game does not update.
enum class BenchmarkPhase { Idle, WarmUp, Recording, Pause };

// One sampled frame of the open bucket.
struct FrameSample {
    float fps = 0.0f;  // 1 / its time
    uint32_t debris = 0;
    uint32_t bricks = 0;
    float balls = 0.0f;
};

// The 0.1 s bucket that the frames of the run under way fall into now; it
// becomes a TenthRecord when a frame ends in a later one or the run ends.
struct OpenBucket {
    int32_t index = -1;    // whole tenths of sampled time; -1 before the run's first sampled frame
    double start = 0.0;    // sampled time at which its first frame began
    double seconds = 0.0;  // the sum of its frame times
    std::vector<FrameSample> frames;
    double gpuPhysicsMs = 0.0;  // sums of the GPU pass times that arrived while it was open
    double gpuRenderMs = 0.0;
    int32_t gpuFrames = 0;
};

struct BenchmarkRecorder {
    BenchmarkPhase phase = BenchmarkPhase::Idle;
    bool Running() const { return phase != BenchmarkPhase::Idle; }
    bool Pausing() const { return phase == BenchmarkPhase::Pause; }
    int32_t currentRun = 0;   // 1..targetRuns while recording and in the pause before; else 0
    int32_t targetRuns = 4;   // 1, 4, or a stress test's loops
    // Clocks add up frame times in double precision: at 10,000 frames a second
    // a float would run 0.6 % fast within a minute and stop within hours.
    double runElapsed = 0.0;
    double pauseElapsed = 0.0;
    std::vector<RunResult> runs;
    RunResult current;
    // The next frame is not sampled: the first of a run, or one that follows a
    // rebuilt scene (its time holds the rebuild, not the scene).
    bool skipNextSample = false;
    int64_t runTicks = 0;  // simulation ticks of this run (a deterministic run times its events in ticks)
    OpenBucket bucket;
    BenchmarkConfig config;
    std::string reportPath;     // file name of the last report written
    bool reportWritten = false; // whether the last report attempt reached the disk whole
    std::string resultsPath;     // the results file beside it (same base name, ".json")
    bool resultsWritten = false; // whether that file was written whole
    // Why the benchmark ended before its last run: "Ended by a device loss in
    // run 2 of 4, cut short at 12.5 s: Device removed: ..." (DeviceLossNote);
    // empty for a benchmark that completed or was aborted.
    std::string endedByDeviceLoss;
    // The size the frames are drawn at now (the swap chain's), kept current by
    // the program before each frame's step; 0 x 0 when unknown.
    uint32_t renderWidth = 0;
    uint32_t renderHeight = 0;
    // The adapter the device runs on, set once the device exists.
    MeasuredAdapter adapter;
    // Every sampled frame, kept for the frame log when one was asked for.
    FrameLog frameLog;
};
