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
// Nothing is written during the benchmark, and a measured frame only stores
// its line. The lines live in blocks of memory that are made ready (allocated
// and touched, so that no measured frame meets a page fault) when a run ends,
// for as many frames as the next run will have at the frame rate seen so far
// with a quarter to spare (PrepareFrameLog, in the pause that follows); a run
// that outgrows them allocates further blocks as it goes (their pages are
// then touched one at a time by the frames that fill them). No block is ever
// moved. At most maxRows lines are kept: frames beyond are counted, not kept,
// and the results file says how many.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct BenchmarkRecorder;
struct GpuPassTimes;
class BenchmarkHost;

// 2^21 lines of 32 bytes: 64 MB at most, four deterministic runs (4 x 60 s)
// at 8700 frames a second.
inline constexpr size_t kMaxFrameLogRows = size_t{1} << 21;
inline constexpr size_t kFrameLogBlockRows = size_t{1} << 15;  // 1 MB

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

// One line of the log: a sampled frame; NaN stands for a value the frame did not get.
struct FrameLogRow {
    int64_t presentNs;        // the frame clock at its Present call
    float msBetweenPresents;  // since the Present call before it
    float msInPresent;        // NaN: no Present call was reported for this frame
    float gpuPhysicsMs;       // NaN: no pass times came back for it
    float gpuRenderMs;
    uint16_t debris;
    uint16_t bricks;
    uint16_t presentFlags;
    uint8_t balls;
    uint8_t syncInterval;
};

struct FrameLog {
    bool enabled = false;  // --frame-log
    size_t maxRows = kMaxFrameLogRows;
    // The lines, in blocks of kFrameLogBlockRows, each allocated whole when
    // it is started (and touched when it was prepared); the blocks beyond the
    // line count are ready and empty.
    std::vector<std::vector<FrameLogRow>> blocks;
    size_t rows = 0;
    int64_t framesNotLogged = 0;  // sampled beyond maxRows
    // The first line of each recorded run (index i: run i + 1).
    std::vector<size_t> runStarts;
    // The Present calls: the first of the benchmark (TimeInSeconds counts
    // from it), the one before the last, and the last, still to be joined to
    // a line (lastTaken when it has been); and how many came since the last
    // PrepareFrameLog, from when (the frame rate the next run will have).
    bool started = false;
    int64_t originNs = 0;
    int64_t previousPresentNs = 0;
    PresentCall last;
    bool lastTaken = true;
    uint64_t presentsSincePrepare = 0;
    int64_t prepareNs = 0;
    // The lines of the last few frames by fence value, for the GPU pass times
    // that arrive after them.
    struct Pending {
        uint64_t frame = 0;
        size_t row = 0;
    };
    Pending pending[4] = {};
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

// When a run (or the warm-up) has ended and another follows: memory for the
// lines of a run of nextRunSeconds at the frame rate of the Present calls
// since the last preparation, a quarter more, made ready now.
void PrepareFrameLog(FrameLog& log, double nextRunSeconds);

// The line at index i (0 .. rows - 1) and the run it belongs to (from 1).
const FrameLogRow& FrameLogLine(const FrameLog& log, size_t i);
int FrameLogRun(const FrameLog& log, size_t i);

// "benchmark_....html" gives "benchmark_..._frames.csv".
std::string FrameLogFileName(const std::string& reportPath);

// Writes the log of the recorder's runs beside the report (first under a
// temporary name, then renamed), then frees its lines. Stores path, written
// and framesWritten; a failure is logged and reported.
bool WriteFrameLog(BenchmarkRecorder& recorder, BenchmarkHost& host);
