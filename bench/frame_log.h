#pragma once
// The frame log (--frame-log): every sampled frame of every recorded run, one
// CSV line each, written beside the results file at the end of the benchmark
// as "<report base name>_frames.csv". Its first columns carry the names and
// units that frame-time capture tools write, so that the analysers people
// already use open it; the program's own columns follow.
//
// What a line describes. The frame loop reads its clock, samples the frame
// that has just ended (RecordFrame), updates the game and draws and presents
// the next frame. The time a sample measures runs from one clock reading to
// the next: it is the time of the frame drawn in between, whose Present call
// is the last one before the sample, and whose scene (debris, balls, bricks)
// is what the sample counts. So a line joins a sample with the last Present
// call the program reported before it (RecordPresent), and with the GPU pass
// times of that frame when they come back a frame or two later
// (LogGpuPassTimes, matched by the frame's fence value).
//
// Nothing is written during the benchmark: lines are kept in memory, in
// blocks that are allocated as they fill (no block is ever copied, so no frame
// pays for moving the ones before), up to maxRows lines. Frames beyond that
// are counted, not kept; the results file says how many.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

struct BenchmarkRecorder;
struct GpuPassTimes;
class BenchmarkHost;

// 2^21 lines of 40 bytes: 80 MB at most, four deterministic runs (4 x 60 s)
// at 8700 frames a second.
inline constexpr size_t kMaxFrameLogRows = size_t{1} << 21;

// One Present call as the frame loop measured it: the fence value that the
// frame's completion signals (GpuPassTimes::frame names the same frame), the
// frame clock just before the call and just after it returned (nanoseconds),
// and what the call was given.
struct PresentCall {
    uint64_t frame = 0;
    int64_t beginNs = 0;
    int64_t endNs = 0;
    uint32_t syncInterval = 0;
    uint32_t flags = 0;  // DXGI_PRESENT_* flags
};

// DXGI_PRESENT_ALLOW_TEARING, the only flag the program presents with.
inline constexpr uint32_t kPresentAllowTearing = 0x200;

// One line of the log: a sampled frame.
struct FrameLogRow {
    static constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
    int64_t presentNs = 0;            // the frame clock at its Present call
    float msBetweenPresents = kNone;  // since the Present call before it
    float msInPresent = kNone;        // NaN: no Present call reported for this frame
    float gpuPhysicsMs = kNone;       // NaN: no pass times came back for it
    float gpuRenderMs = kNone;
    uint16_t run = 0;
    uint16_t debris = 0;
    uint16_t bricks = 0;
    uint16_t presentFlags = 0;
    uint8_t balls = 0;
    uint8_t syncInterval = 0;
};

struct FrameLog {
    bool enabled = false;  // --frame-log
    size_t maxRows = kMaxFrameLogRows;
    std::vector<std::vector<FrameLogRow>> blocks;  // each reserved whole when it is started
    size_t rows = 0;
    int64_t framesNotLogged = 0;  // sampled beyond maxRows
    // The Present calls: the first of the benchmark (TimeInSeconds counts
    // from it), the one before the last, and the last, still to be joined to
    // a line (lastTaken when it has been).
    bool started = false;
    int64_t originNs = 0;
    int64_t previousPresentNs = 0;
    PresentCall last;
    bool lastTaken = true;
    // The lines of the last few frames by fence value, for the GPU pass times
    // that arrive after them.
    struct Pending {
        uint64_t frame = 0;
        size_t row = 0;
    };
    Pending pending[4];
    size_t nextPending = 0;
    // Written at the end: the file's name, whether it reached the disk whole,
    // and how many lines it holds (its lines are freed once it is written).
    std::string path;
    bool written = false;
    size_t framesWritten = 0;
};

// A new benchmark: no lines, no Present calls (enabled and maxRows stay).
void ClearFrameLog(FrameLog& log);

// Called after every Present call of the program; kept while a benchmark runs.
void RecordPresent(BenchmarkRecorder& recorder, const PresentCall& call);

// Called by RecordFrame for each sampled frame of a recorded run: a line with
// the scene's counts and the last Present call not yet joined to a line.
void LogFrame(BenchmarkRecorder& recorder, uint32_t debris, uint32_t bricks, int balls);

// A frame's GPU pass times: into its line if it is one of the last few.
void LogGpuPassTimes(FrameLog& log, const GpuPassTimes& times);

// The line at index i (0 .. rows - 1).
const FrameLogRow& FrameLogLine(const FrameLog& log, size_t i);

// "benchmark_....html" gives "benchmark_..._frames.csv".
std::string FrameLogFileName(const std::string& reportPath);

// Writes the log of the recorder's runs beside the report (first under a
// temporary name, then renamed), then frees its lines. Stores path, written
// and framesWritten; a failure is logged and reported.
bool WriteFrameLog(BenchmarkRecorder& recorder, BenchmarkHost& host);
