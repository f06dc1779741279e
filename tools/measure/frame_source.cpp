// The benchmark played on a frame source whose frame times are chosen, not
// measured: the game, the sampling, the statistics and the score run as in the
// program, on the recording platform, at 1920 x 1080 with 80 debris. It prints
// figures and judges nothing.
//   orvalis_frame_source cases
//     frame-time patterns at the same true frame rate (steady, alternating,
//     stalls) and fast ones (400, 1000, 2000 FPS), each in a deterministic and
//     a free single run: the true frame rate (frames / sampled time), the
//     run's average and cleaned FPS and its score. A deterministic run plays
//     the same game whatever the frames, so its scores compare the frame
//     patterns alone; a free run's game moves with its frame steps.
//   orvalis_frame_source repeat [RUNS [FRAME_MS [JITTER_PERCENT]]]
//     RUNS single runs (default 12) one after another in each mode, on frames
//     of FRAME_MS (default 1000 / 60) each, scaled by a uniform factor within
//     +-JITTER_PERCENT (default 0) drawn from a fixed seed: every run's score,
//     then the scores' mean, range and coefficient of variation
//   orvalis_frame_source framelog [PAIRS [FPS]]
//     the frame loop's CPU time per measured frame (the thread's CPU time of
//     the program's portable per-frame work: the benchmark step and the game
//     update, the Present call and the GPU pass times handed to the benchmark)
//     in a four-run deterministic benchmark at FPS (default 5000) frames a
//     second, with the frame log (--frame-log) and without, PAIRS times each
//     (default 5) in alternating order; then the medians and their ratio. The
//     frames that are not measured (warm-up, pauses, the frame that ends a
//     run) are timed together, and the last frame, which writes the files, alone
//   orvalis_frame_source hash
//     deterministic benchmarks (one run, four runs with the frame log, four
//     runs aborted in the third, a stress test of three 5 s loops) and a free
//     single run on one fixed, uneven frame sequence with a stall, GPU pass
//     times and Present calls handed over: the FNV-1a 64 hash of each file
//     written (report, results file, frame log). Equal hashes before and after
//     a change to the benchmark's code show that it wrote the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <time.h>
#include <tuple>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/commands.h"
#include "app/frame.h"
#include "bench/benchmark.h"
#include "bench/frame_log.h"
#include "bench/gpu_timing.h"
#include "fake_platform.h"
#include "game/levels.h"
#include "game/spawning.h"

namespace {

// Frame times in seconds, played in order and then again from the start.
struct FrameSource {
    std::vector<double> pattern;
    double jitter = 0.0;  // fraction
    std::mt19937 random{20261206u};
    size_t next = 0;

    double Next()
    {
        const double dt = pattern[next++ % pattern.size()];
        if (jitter == 0.0) {
            return dt;
        }
        const double u = static_cast<double>(random()) / 4294967295.0 * 2.0 - 1.0;
        return dt * (1.0 + u * jitter);
    }
};

// So many frames of so many milliseconds, one group after the other.
std::vector<double> Pattern(std::initializer_list<std::pair<double, int>> frames)
{
    std::vector<double> pattern;
    for (const auto& [ms, count] : frames) {
        pattern.insert(pattern.end(), static_cast<size_t>(count), ms / 1000.0);
    }
    return pattern;
}

// Starts a single-run benchmark as the startup window does and plays it to its
// end; the run it recorded.
RunResult PlaySingleRun(App& app, FrameSource& source, bool deterministic)
{
    std::tie(app.width, app.height) = std::pair(1920u, 1080u);
    LoadLevel(app, deterministic ? kZivoLevel : 0);
    if (deterministic) {
        app.world.random.Seed(42);
    }
    ResetBallOnPaddle(app.world);
    StartConfiguredBenchmark(app, 1920, 1080, 80, true, deterministic);
    while (app.bench.Running()) {
        const double dt = source.Next();
        UpdateFrame(app, std::min(dt, 0.05), dt);
    }
    return app.bench.runs.at(0);
}

// Frames over the sum of their times, as the frames were sampled.
double TrueFps(const RunResult& run)
{
    double seconds = 0.0;
    for (float dt : run.frameTimes) {
        seconds += static_cast<double>(dt);
    }
    return static_cast<double>(run.frameTimes.size()) / seconds;
}

void Cases()
{
    const std::pair<const char*, std::vector<double>> cases[] = {
        {"steady 20 ms", Pattern({{20.0, 1}})},
        {"alternating 10 / 30 ms", Pattern({{10.0, 1}, {30.0, 1}})},
        {"alternating 2 / 38 ms", Pattern({{2.0, 1}, {38.0, 1}})},
        {"1/60 s, every 60th frame 250 ms", Pattern({{1000.0 / 60.0, 59}, {250.0, 1}})},
        {"steady 2.5 ms (400 FPS)", Pattern({{2.5, 1}})},
        {"steady 1 ms (1000 FPS)", Pattern({{1.0, 1}})},
        {"steady 0.5 ms (2000 FPS)", Pattern({{0.5, 1}})},
    };
    std::printf("%-34s %-13s %9s %9s %9s %8s\n", "frames", "mode", "true FPS", "avg FPS", "cleaned", "score");
    for (const auto& [name, pattern] : cases) {
        for (const bool deterministic : {true, false}) {
            RecordingPlatform platform;
            App app(platform);
            FrameSource source{pattern};
            const RunResult run = PlaySingleRun(app, source, deterministic);
            std::printf("%-34s %-13s %9.2f %9.2f %9.2f %8.0f\n", name, deterministic ? "deterministic" : "free",
                        TrueFps(run), static_cast<double>(run.avg), static_cast<double>(run.cleaned),
                        static_cast<double>(run.score));
        }
    }
}

void Repeat(int runs, double frameMs, double jitterPercent)
{
    std::printf("%d single runs per mode on frames of %.4f ms, jitter +-%.1f %%\n", runs, frameMs, jitterPercent);
    for (const bool deterministic : {true, false}) {
        // One program session: the runs follow one another as a person
        // would start them, the game's random source going on between them.
        RecordingPlatform platform;
        App app(platform);
        FrameSource source{{frameMs / 1000.0}, jitterPercent / 100.0};
        std::vector<double> scores;
        std::printf("%-13s scores:", deterministic ? "deterministic" : "free");
        for (int i = 0; i < runs; ++i) {
            scores.push_back(static_cast<double>(PlaySingleRun(app, source, deterministic).score));
            std::printf(" %.0f", scores.back());
        }
        double mean = 0.0;
        for (double s : scores) {
            mean += s;
        }
        mean /= static_cast<double>(scores.size());
        double squares = 0.0;
        double low = scores[0];
        double high = scores[0];
        for (double s : scores) {
            squares += (s - mean) * (s - mean);
            low = std::min(low, s);
            high = std::max(high, s);
        }
        const double sd = scores.size() > 1 ? std::sqrt(squares / static_cast<double>(scores.size() - 1)) : 0.0;
        std::printf("\n%-13s mean %.1f, range %.0f to %.0f, coefficient of variation %.2f %%\n",
                    deterministic ? "deterministic" : "free", mean, low, high, mean > 0.0 ? sd / mean * 100.0 : 0.0);
    }
}

// The CPU time this thread has used, nanoseconds.
int64_t ThreadCpuNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct LoopCost {
    double nsPerFrame = 0.0;   // the measured frames but those that end a run
    size_t measuredFrames = 0;
    double otherMs = 0.0;      // every other frame: warm-up, pauses, the ends of runs
    double lastFrameMs = 0.0;  // of which the last, which writes the report, the results and the log
    size_t frames = 0;
    size_t logLines = 0;
};

// A four-run deterministic benchmark on frames of 1 / fps s, each presented
// shortly before it ends, its GPU pass times handed over two frames later, as
// the program's frame loop does. The thread's CPU time is read only where the
// benchmark enters or leaves the measured frames of a run (and before the
// frame that will end it), so that reading it costs the frames nothing.
LoopCost PlayFourRuns(bool frameLog, double fps)
{
    RecordingPlatform platform;
    App app(platform);
    app.bench.frameLog.enabled = frameLog;
    std::tie(app.width, app.height) = std::pair(1920u, 1080u);
    LoadLevel(app, kZivoLevel);
    app.world.random.Seed(42);
    ResetBallOnPaddle(app.world);
    const int64_t begin = ThreadCpuNanoseconds();
    StartConfiguredBenchmark(app, 1920, 1080, 80, false, true);
    const BenchmarkRecorder& b = app.bench;
    const auto frameNs = static_cast<int64_t>(std::llround(1e9 / fps));
    const double dt = static_cast<double>(frameNs) * 1e-9;
    int64_t clock = 0;
    uint64_t frame = 0;
    LoopCost cost;
    int64_t measuredNs = 0;
    int64_t segmentBegin = 0;
    bool inSegment = false;
    int64_t lastFrameBegin = 0;
    while (b.Running()) {
        ++frame;
        clock += frameNs;
        // A measured frame samples its time (the frame after a pause does not) and does not end its run.
        const bool measured = b.currentRun > 0 && !b.Pausing() && b.current.totalFrames > 0 &&
                              b.runElapsed + dt < static_cast<double>(kDeterministicRunSeconds);
        if (measured != inSegment) {
            const int64_t now = ThreadCpuNanoseconds();
            measuredNs += measured ? 0 : now - segmentBegin;
            segmentBegin = now;
            inSegment = measured;
        }
        if (b.currentRun == b.targetRuns && !measured && b.current.totalFrames > 0) {
            lastFrameBegin = ThreadCpuNanoseconds();
        }
        cost.measuredFrames += measured ? 1 : 0;
        UpdateFrame(app, std::min(dt, 0.05), dt);
        RecordPresent(app.bench, PresentCall{frame, clock + frameNs - 20000, clock + frameNs - 15000, 0, kPresentAllowTearing});
        if (frame > 2) {
            ReportGpuPassTimes(app, GpuPassTimes{0.05, 0.1, frame - 2});
        }
    }
    const int64_t end = ThreadCpuNanoseconds();
    cost.frames = frame;
    cost.nsPerFrame = static_cast<double>(measuredNs) / static_cast<double>(cost.measuredFrames);
    cost.otherMs = static_cast<double>(end - begin - measuredNs) * 1e-6;
    cost.lastFrameMs = static_cast<double>(end - lastFrameBegin) * 1e-6;
    cost.logLines = b.frameLog.framesWritten;
    return cost;
}

double MedianOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

void FrameLogCost(int pairs, double fps)
{
    std::printf("a four-run deterministic benchmark at %.0f FPS, %d times with the frame log and without; thread CPU time\n",
                fps, pairs);
    std::printf("%-5s %-8s %8s %9s %13s %12s %12s %10s\n", "pair", "log", "frames", "measured", "ns/measured", "other frames",
                "last frame", "log lines");
    std::vector<double> with;
    std::vector<double> without;
    std::vector<double> ratios;
    for (int pair = 0; pair < pairs; ++pair) {
        double ns[2] = {};
        // The order alternates pair by pair, so that neither always runs first.
        for (const bool log : pair % 2 == 0 ? std::vector<bool>{true, false} : std::vector<bool>{false, true}) {
            const LoopCost cost = PlayFourRuns(log, fps);
            ns[log ? 1 : 0] = cost.nsPerFrame;
            (log ? with : without).push_back(cost.nsPerFrame);
            std::printf("%-5d %-8s %8zu %9zu %13.1f %9.1f ms %9.1f ms %10zu\n", pair + 1, log ? "with" : "without",
                        cost.frames, cost.measuredFrames, cost.nsPerFrame, cost.otherMs, cost.lastFrameMs, cost.logLines);
        }
        ratios.push_back(ns[1] / ns[0]);
    }
    std::printf("CPU time per measured frame, medians: with the log %.1f ns, without %.1f ns; "
                "with / without, median of the pairs' ratios: %+.2f %%\n",
                MedianOf(with), MedianOf(without), (MedianOf(ratios) - 1.0) * 100.0);
}

uint64_t Fnv1a64(const std::string& bytes)
{
    uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

void HashFiles()
{
    struct Case {
        const char* name;
        bool singleRun;
        bool deterministic;
        bool frameLog;
        uint32_t stressLoops;
        int32_t abortInRun;  // 0: played to its end
    };
    const Case cases[] = {
        {"deterministic single", true, true, false, 0, 0},
        {"deterministic four runs", false, true, true, 0, 0},
        {"deterministic aborted", false, true, false, 0, 3},
        {"deterministic stress", false, true, false, 3, 0},
        {"free single", true, false, false, 0, 0},
    };
    for (const Case& c : cases) {
        RecordingPlatform platform;
        App app(platform);
        app.bench.frameLog.enabled = c.frameLog;
        std::tie(app.width, app.height) = std::pair(1920u, 1080u);
        LoadLevel(app, c.deterministic ? kZivoLevel : 0);
        app.world.random.Seed(42);
        ResetBallOnPaddle(app.world);
        StartConfiguredBenchmark(app, 1920, 1080, 80, c.singleRun, c.deterministic, c.stressLoops, c.stressLoops > 0 ? 5 : 0);
        FrameSource source{Pattern({{1000.0 / 60.0, 40}, {4.0, 15}, {130.0, 1}, {25.0, 12}, {0.0, 1}})};
        const BenchmarkRecorder& b = app.bench;
        int64_t clock = 0;
        for (uint64_t frame = 1; b.Running(); ++frame) {
            if (c.abortInRun > 0 && b.currentRun == c.abortInRun && b.runElapsed > 10.0) {
                EndBenchmarkByAbort(app);
                break;
            }
            const double dt = source.Next();
            const auto ns = static_cast<int64_t>(std::llround(dt * 1e9));
            UpdateFrame(app, std::min(dt, 0.05), dt);
            RecordPresent(app.bench, PresentCall{frame, clock + ns / 2, clock + ns / 2 + 5000, 0, kPresentAllowTearing});
            clock += ns;
            if (frame > 2) {
                ReportGpuPassTimes(app, GpuPassTimes{0.05 + static_cast<double>(frame % 7) * 0.01, 0.1, frame - 2});
            }
        }
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::current_path())) {
            files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        for (const std::filesystem::path& file : files) {
            std::FILE* f = std::fopen(file.string().c_str(), "rb");
            std::string bytes;
            char buffer[65536];
            for (size_t n; f != nullptr && (n = std::fread(buffer, 1, sizeof(buffer), f)) > 0;) {
                bytes.append(buffer, n);
            }
            if (f != nullptr) {
                std::fclose(f);
            }
            std::printf("%-24s %-40s %016llx\n", c.name, file.filename().string().c_str(),
                        static_cast<unsigned long long>(Fnv1a64(bytes)));
            std::filesystem::remove(file);
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    const bool framelog = command == "framelog";
    const int runs = argc > 2 ? std::atoi(argv[2]) : (framelog ? 5 : 12);  // framelog: PAIRS
    const double frameMs = argc > 3 ? std::atof(argv[3]) : 1000.0 / 60.0;
    const double fps = argc > 3 ? std::atof(argv[3]) : 5000.0;
    const double jitter = argc > 4 ? std::atof(argv[4]) : 0.0;
    if ((command != "cases" && command != "repeat" && command != "hash" && !framelog) ||
        argc > (command == "cases" || command == "hash" ? 2 : (framelog ? 4 : 5)) || runs < 1 || !(frameMs > 0.0) || !(fps >= 1.0) ||
        !(jitter >= 0.0 && jitter < 100.0)) {
        std::fprintf(stderr,
                     "usage: %s cases | hash | repeat [RUNS [FRAME_MS [JITTER_PERCENT]]] | framelog [PAIRS [FPS]]\n"
                     "  RUNS and PAIRS at least 1, FRAME_MS above 0, JITTER_PERCENT from 0 to below 100, FPS at least 1\n",
                     argv[0]);
        return 2;
    }
    // The reports and results files land in a scratch folder, removed at the end.
    const std::filesystem::path previous = std::filesystem::current_path();
    const std::filesystem::path scratch =
        std::filesystem::temp_directory_path() / ("orvalis_frame_source_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(scratch);
    std::filesystem::current_path(scratch);
    if (command == "cases") {
        Cases();
    } else if (command == "hash") {
        HashFiles();
    } else if (framelog) {
        FrameLogCost(runs, fps);
    } else {
        Repeat(runs, frameMs, jitter);
    }
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(scratch);
    return 0;
}
