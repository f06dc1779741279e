#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <tuple>

#include <nlohmann/json.hpp>

#include "app/command_line.h"
#include "app/commands.h"
#include "app/frame.h"
#include "bench/benchmark.h"
#include "bench/frame_log.h"
#include "bench/gpu_timing.h"
#include "bench/compare.h"
#include "bench/stress.h"
#include "bench_files.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// 1/64 s is exact in binary, so sums of frame times land exactly on 1, 2, 40 and 60 s.
constexpr float kFrame = 1.0f / 64.0f;
const char* const kReport = "benchmark_2026-12-06_140509.html";
const char* const kResults = "benchmark_2026-12-06_140509.json";
const std::string kLost = "Device removed: 0x887a0006 DXGI_ERROR_DEVICE_HUNG (the GPU stopped responding and was reset)";

// What initialisation does when the startup window chose a benchmark (its window drawn at the 854 x 480 asked for).
void StartFromStartup(TestApp& t, bool singleRun, bool deterministic, int debris = 80, uint32_t loops = 0, int32_t loopSeconds = 0)
{
    std::tie(t.app.width, t.app.height) = std::tuple(854u, 480u);
    LoadLevel(t.app, deterministic ? 3 : 0);
    if (deterministic) {
        t.world.random.Seed(42);
    }
    ResetBallOnPaddle(t.world);
    StartConfiguredBenchmark(t.app, 854, 480, debris, singleRun, deterministic, loops, loopSeconds);
}

}  // namespace

// A single run records 40 s after the warm-up and pause (slow first frames unsampled), scored at the size rendered;
// a report that cannot be written leaves the results in the box and the file, and the exit code says so.
TEST(Benchmark, ASingleRunRecordsFortySecondsAfterTheWarmupAndThePauseAndReportsThem)
{
    const struct {
        std::string obstacle;
        uint32_t width, height;  // drawn
        bool resized;            // after the run's first sampled frame
        std::string note;
    } cases[] = {
        {"", 854, 480, false, ""},
        {"a folder", 600, 480, true, "rendered 600 x 480; 854 x 480 does not fit this screen; the size changed during the run"},
        {"a full disk", 900, 480, false, "rendered 900 x 480; 854 x 480 was asked for"},
        {"", 854, 480, true, "the size changed during the run"},
    };
    float wholeScore = 0.0f;
    for (const auto& c : cases) {
        ScratchDirectory scratch;
        if (c.obstacle == "a folder") {
            fs::create_directory(kReport);
        } else if (c.obstacle == "a full disk") {
            fs::create_symlink("/dev/full", kReport);  // created, but every write fails
        }
        const bool notWritten = !c.obstacle.empty();
        TestApp t;
        t.app.start.unattended = true;
        t.app.start.exitCode = exit_code::kNotCompleted;
        StartFromStartup(t, true, false, 160);
        std::tie(t.app.width, t.app.height) = std::tie(c.width, c.height);
        t.app.bench.adapter = MeasuredAdapter{"Test Adapter", 0, false};
        int pausedFrames = 0;
        bool resumed = false;
        for (int frames = 0; t.app.bench.Running() && frames < 10000; ++frames) {
            const bool paused = t.app.bench.Pausing();
            const float dt = frames == 0 || resumed ? 0.51f : kFrame;
            UpdateFrame(t.app, std::min(dt, 0.05f), dt);
            // The video memory each frame: more in the warm-up (frame 10) and the pause (100) than in the run.
            RecordVideoMemory(t.app.bench, frames == 10 || frames == 100 ? 1ull << 40 : (frames == 1000 ? 1500 : 1000),
                              8000u + static_cast<uint64_t>(frames));
            resumed = paused && !t.app.bench.Pausing();
            pausedFrames += paused ? 1 : 0;
            t.app.width = c.resized && t.app.bench.current.totalFrames > 0 ? 700 : t.app.width;
        }
        ASSERT_EQ(t.app.bench.runs.size(), 1u);
        const RunResult& run = t.app.bench.runs[0];
        // 2 s of pause, the frame that ends it included; the last record holds the frame that reached 40 s.
        EXPECT_EQ(std::make_tuple(pausedFrames, run.records.size(), run.records.back().time, run.records.back().frameCount,
                                  run.totalFrames, run.min), std::make_tuple(128, size_t{401}, 400.0f, 1, 2560, 64.0f));
        wholeScore = wholeScore == 0.0f ? run.score : wholeScore;
        EXPECT_NEAR(run.score, wholeScore * std::sqrt(c.width * c.height / (854.0 * 480.0)), 1.0) << c.note;
        EXPECT_EQ(std::make_tuple(t.world.autoplay, t.platform.benchmarkRunningShown, t.platform.autoplayChecks, t.platform.programEnds,
                                  t.platform.LinesStartingWith("Benchmark: Completed run 0 at T=1.00\n").size()),
                  std::make_tuple(false, std::vector<bool>{true, false}, std::vector<bool>{true, false}, 1, size_t{1}));
        const nlohmann::json results = nlohmann::json::parse(ReadText(kResults));
        EXPECT_EQ(std::make_tuple(results["configuration"]["runs"], results["configuration"]["debrisCount"],
                                  results["runs"][0]["renderedWidth"], results["runs"][0]["renderedSizeNote"],
                                  results["runs"][0]["videoMemory"]),
                  std::make_tuple(Json("single"), Json(160), Json(c.width), Json(c.note),
                                  Json{{"peakUsageBytes", 1500}, {"budgetBytes", 9000}}));
        EXPECT_EQ(fs::is_directory(kReport), c.obstacle == "a folder") << c.obstacle;  // a folder is kept, a cut-off report not
        EXPECT_EQ(t.platform.LinesStartingWith(std::string("ERROR: Could not ") + (c.obstacle == "a folder" ? "create" : "write") +
                                               " report file").size(), notWritten ? 1u : 0u) << c.obstacle;
        EXPECT_EQ(std::make_pair(t.platform.openedReports.size(), t.app.start.exitCode),
                  std::make_pair(size_t{notWritten ? 0u : 1u}, notWritten ? exit_code::kFilesNotWritten : exit_code::kSuccess));
        EXPECT_EQ(!notWritten && ReadText(kReport).find(">Run 1: " + c.note + "</div>") != std::string::npos,
                  !notWritten && !c.note.empty()) << c.note;  // a full disk's report is not read
        EXPECT_EQ(t.platform.summaries.at(0),
                  (notWritten ? L"Benchmark Complete!\n\nThe report could not be written: benchmark_2026-12-06_140509.html\n\n"
                              : L"Benchmark Complete!\n\nGenerated: benchmark_2026-12-06_140509.html\nOpening in browser...\n\n") +
                      std::wstring(L"Single run (40 seconds)\nAdapter: Test Adapter (default)\n") +
                      (c.note.empty() ? L"" : L"Run 1: " + std::wstring(c.note.begin(), c.note.end()) + L"\n") +
                      L"\nIncludes:\n- Timeline charts per run\n- Scatter plot (complexity analysis)\n- Spike outlier removal\n"
                      L"- Benchmark score\n" +
                      (notWritten ? L"\nResults (saved in benchmark_2026-12-06_140509.json):\n  Run 1: score " +
                                        std::to_wstring(static_cast<int>(run.score)) + L", average 64.0 FPS\n" : L""));
        EXPECT_EQ(scratch.Files(), c.obstacle == "a full disk" ? 1 : 2) << c.obstacle;  // the results file and the report or the folder
    }
}

namespace {

// A deterministic run's world at one tick: balls, score gained, paddle, next draw, brick bytes; whether the trio came.
struct TickState {
    std::vector<float> numbers;
    std::string bricks;
    bool trio;
    bool operator==(const TickState&) const = default;
};

struct DeterministicPlay {
    std::map<std::pair<int, int64_t>, TickState> states;  // at every (run, tick) a frame ended on
    std::vector<RunResult> runs;
    std::vector<std::wstring> summaries;
};

DeterministicPlay PlayDeterministic(const std::vector<float>& frameTimes, bool singleRun)
{
    ScratchDirectory scratch;
    TestApp t;
    StartFromStartup(t, singleRun, true);
    DeterministicPlay play;
    int32_t runStartScore = 0;
    bool trio = false;
    for (size_t frame = 0; t.app.bench.Running(); ++frame) {
        const float dt = frameTimes[frame % frameTimes.size()];
        UpdateFrame(t.app, std::min(dt, 0.05f), dt);
        const BenchmarkRecorder& b = t.app.bench;
        if (b.Running() && !b.Pausing()) {
            runStartScore = b.runTicks == 0 ? t.world.score : runStartScore;  // the game's score goes on across runs
            // Only the trio brings a blue ball into a benchmark.
            trio = b.runTicks > 0 && (trio || std::any_of(t.world.balls.begin(), t.world.balls.end(), [](const Ball& x) { return x.b == kBlue.b; }));
            CrtRandom next = t.world.random;
            TickState state{{static_cast<float>(t.world.score - runStartScore), t.world.paddleX, static_cast<float>(next.Next())},
                            std::string(reinterpret_cast<const char*>(t.world.bricks.data()), sizeof(t.world.bricks)), trio};
            for (const Ball& ball : t.world.balls) {
                state.numbers.insert(state.numbers.end(), {ball.x, ball.y, ball.vx, ball.vy, ball.r, ball.active ? 1.0f : 0.0f});
            }
            play.states[{b.currentRun, b.runTicks}] = state;
        }
    }
    play.runs = t.app.bench.runs;
    play.summaries = t.platform.summaries;
    return play;
}

}  // namespace

// Every deterministic run is the same game at every tick, at 64, 144 and 30 FPS and at jittering frame times.
TEST(Benchmark, EveryDeterministicRunIsTheSameGameAtEveryTickWhateverTheFrameRate)
{
    const DeterministicPlay four = PlayDeterministic({kFrame}, false);
    const DeterministicPlay plays[] = {
        PlayDeterministic({1.0f / 144.0f}, true), PlayDeterministic({1.0f / 30.0f}, true),
        PlayDeterministic({0.012f, 0.031f, 0.07f, 0.016f, 0.055f, 0.004f, 0.021f}, true)};
    int compared = 0;
    int64_t lastTick = 0;
    for (const auto& [key, state] : four.states) {
        const auto [run, tick] = key;
        EXPECT_EQ(state.trio, run > 0 && tick > 901) << "run " << run << " tick " << tick;  // 15 s = ticks 0 to 900
        if (run < 2 || tick == 0) {
            continue;
        }
        ASSERT_TRUE(four.states.count({1, tick}) == 0 || four.states.at({1, tick}) == state) << "run " << run << " tick " << tick;
        for (const DeterministicPlay& play : plays) {
            const auto other = play.states.find({1, tick});
            if (other != play.states.end()) {
                ASSERT_TRUE(other->second == state) << "run " << run << " tick " << tick;
                ++compared;
                lastTick = std::max(lastTick, tick);
            }
        }
    }
    EXPECT_GT(compared, 1000);
    EXPECT_GT(lastTick, 3500);  // well past the trio at tick 900
    // Each run covers the same 60 s of game, even with frames longer than 50 ms.
    for (const DeterministicPlay& play : plays) {
        EXPECT_NEAR(static_cast<double>(play.states.rbegin()->first.second), 3600.0, 5.0);
    }
    const std::wstring run = L": 3840 frames, " + std::to_wstring(static_cast<int64_t>(four.runs.at(0).score)) + L" score\n";
    EXPECT_EQ(four.summaries.at(0), L"Benchmark Complete!\n\nGenerated: benchmark_2026-12-06_140509.html\nOpening in browser...\n\n"
                                    L"Runs: 4 (60 seconds each)\n\nDETERMINISTIC MODE:\n- Fixed random seed (42)\n- ZIVO level\n"
                                    L"- No mouse/keyboard input\n\nResults per Run:\n  Run 1" + run + L"  Run 2" + run + L"  Run 3" +
                                    run + L"  Run 4" + run + L"\nIncludes:\n- Timeline charts per run\n- Benchmark score\n");
}

// Each run starts afresh on autoplay, the trio 15 s in; an abort, a device loss or a failure keeps and reports the
// runs so far (the one under way marked cut short), and nothing of the benchmark goes on.
TEST(Benchmark, AnAbortOrADeviceLossKeepsAndReportsTheRunsSoFar)
{
    const struct {
        const char* what;
        int run;          // stop in this run (0: the warm-up) ...
        bool pausing;     // ... in the pause before it, or ...
        float seconds;    // ... this far into it
        char stop;        // the panel's "Abort", a device loss, or a failure nobody can mend
        bool writable;
        size_t runs;
        std::string note;       // what the report, the results file and the box say of a device loss (or the log of a failure)
        std::wstring summary;   // how the box begins; none when the report was written
    } cases[] = {
        {"abort in the warm-up", 0, false, 0.4f, 'a', true, 0, "", L""},
        {"device loss in the pause after the warm-up", 1, true, 0.0f, 'd', true, 0,
         "Ended by a device loss before any run was recorded: " + kLost, L""},
        {"abort in the pause after the warm-up", 1, true, 0.0f, 'a', true, 0, "", L""},
        {"abort 8 s into run 2", 2, false, 8.0f, 'a', true, 2, "", L""},
        {"a failure 3 s into run 2", 2, false, 3.0f, 'f', true, 2, "Ended by a failure: Resize Error: ResizeBuffers", L""},
        {"abort 5 s into run 2, nothing writable", 2, false, 5.0f, 'a', false, 2, "",
         L"Benchmark Aborted\n\nThe report could not be written: benchmark_2026-12-06_140509.html\n\n"
         L"Runs: 2 (40 seconds each)\nRun 2: cut short at 5.0 s\n"},
        {"device loss 5 s into run 2", 2, false, 5.0f, 'd', true, 2,
         "Ended by a device loss in run 2 of 4, cut short at 5.0 s: " + kLost, L""},
        {"device loss in the pause after run 1, nothing writable", 2, true, 0.0f, 'd', false, 1,
         "Ended by a device loss after run 1 of 4: " + kLost,
         L"Benchmark Aborted\n\nEnded by a device loss after run 1 of 4: " + std::wstring(kLost.begin(), kLost.end()) +
             L"\n\nThe report could not be written: "},
    };
    for (const auto& c : cases) {
        ScratchDirectory scratch;
        TestApp t;
        StartFromStartup(t, false, false, 0);  // the "no debris" preset
        EXPECT_EQ(std::make_pair(t.world.debrisEnabled, t.platform.debrisChecks), std::make_pair(false, std::vector<bool>{false}));
        int restarts = 0, trios = 0, unservedFrames = 0;
        int32_t fewestBricks = t.world.bricksLeft;
        size_t balls = t.world.balls.size();
        bool paused = false;
        const BenchmarkRecorder& b = t.app.bench;
        for (int frames = 0; b.Running() && !(b.currentRun == c.run && b.Pausing() == c.pausing && b.runElapsed >= c.seconds) &&
                             frames < 30000; ++frames) {
            if (b.currentRun == 0 || b.Pausing()) {
                ReportOccludedFrame(t.app);  // a hidden window in the warm-up or a pause marks no run
            }
            UpdateFrame(t.app, kFrame, kFrame);
            fewestBricks = std::min(fewestBricks, t.world.bricksLeft);
            if (t.world.balls.size() == balls + 3) {  // the trio
                ++trios;
                EXPECT_TRUE(b.runElapsed > 15.0f && b.runElapsed < 15.02f) << "in run " << b.currentRun << " at " << b.runElapsed;
            }
            balls = t.world.balls.size();
            unservedFrames += !b.Pausing() && b.runElapsed > 0.1f && b.runElapsed < 0.5f && !t.world.ballLaunched ? 1 : 0;
            if (paused && !b.Pausing()) {
                ++restarts;
                EXPECT_EQ(std::make_tuple(t.world.levelIndex, t.world.bricksLeft, t.world.autoplay), std::make_tuple(0, 80, true));
                t.world.autoplay = false;
            }
            paused = b.Pausing();
        }
        EXPECT_EQ(std::make_tuple(restarts, trios, unservedFrames, fewestBricks < 80),
                  std::make_tuple(c.pausing ? c.run - 1 : c.run, c.runs > 0 ? 1 : 0, 0, c.run > 0)) << c.what;
        fs::current_path(c.writable ? scratch.dir : fs::path("/proc"));  // nobody, root included, can create files there
        const auto stop = [&] { c.stop == 'd' ? EndBenchmarkByDeviceLoss(t.app, kLost) : c.stop == 'f' ?
            EndBenchmarkByFailure(t.app, "Resize Error: ResizeBuffers\nAttempted: 8192x8192") : EndBenchmarkByAbort(t.app); };
        ReportOccludedFrame(t.app);  // the run under way, if any, was hidden for a while
        stop();
        fs::current_path(scratch.dir);
        ASSERT_EQ(b.runs.size(), c.runs) << c.what;
        const std::string cutShort = c.pausing ? "" : "cut short at " + std::to_string(c.seconds).substr(0, 3) + " s";
        if (c.runs > 0) {  // run 1 whole, the run under way up to where it stopped
            EXPECT_EQ(b.runs[0].records.size(), 401u) << c.what;
            EXPECT_NEAR(static_cast<double>(b.runs.back().records.size()), c.pausing ? 401.0 : c.seconds * 10 + 1, 1.0) << c.what;
            EXPECT_EQ(std::make_tuple(b.runs[0].complete, b.runs[0].measuredSeconds, CutShortNote(b.runs.back())),
                      std::make_tuple(true, 40.0, cutShort)) << c.what;
        }
        if (c.runs > 0 && c.writable) {
            const Json last = nlohmann::json::parse(ReadText(kResults))["runs"].back();
            EXPECT_EQ(std::make_pair(last["complete"], last["measuredSeconds"]),
                      std::make_pair(Json(c.pausing), Json(c.pausing ? 40.0 : c.seconds))) << c.what;
            EXPECT_EQ(ReadText(kReport).find("<tr><td>Run 2 (" + cutShort + ")</td>") != std::string::npos, !c.pausing) << c.what;
        }
        const bool reported = c.writable && c.runs > 0;  // the report and its results file, the report opened
        EXPECT_EQ(std::make_pair(scratch.Files(), t.platform.openedReports.size()),
                  std::make_pair(reported ? 2L : 0L, size_t{reported ? 1u : 0u})) << c.what;
        if (!c.summary.empty()) {  // else no box at all (checked at the end)
            ASSERT_EQ(t.platform.summaries.size(), 1u) << c.what;
            EXPECT_EQ(t.platform.summaries[0].rfind(c.summary, 0), 0u) << c.what;
            EXPECT_NE(t.platform.summaries[0].find(L"\nResults (not saved):\n  Run 1: score "), std::wstring::npos);
            EXPECT_EQ(t.platform.summaries[0].find(L"\n  Mean score: ") != std::wstring::npos, c.runs > 1) << c.what;
            EXPECT_EQ(std::make_pair(t.platform.LinesStartingWith("ERROR: Could not create report file benchmark_").size(),
                                     t.platform.LinesStartingWith("ERROR: Could not write the results file").size()),
                      std::make_pair(size_t{1}, size_t{1})) << c.what;
        }
        EXPECT_EQ(t.platform.LinesStartingWith("Benchmark: " + c.note + "\n").size(), c.note.empty() ? 0u : 1u) << c.what;
        if (c.stop == 'd' && reported) {
            EXPECT_NE(ReadText(kReport).find(">" + c.note + "</div>"), std::string::npos) << c.what;
            EXPECT_EQ(nlohmann::json::parse(ReadText(kResults))["endedByDeviceLoss"], c.note) << c.what;
        }
        if (reported) {
            const Json runs = Json::parse(ReadText(kResults))["runs"];
            EXPECT_EQ(std::make_pair(runs[0].contains("occluded"), runs[1].value("occluded", false)), std::make_pair(false, true));
        }

        // Nothing more happens: a second stop does nothing, no pause goes on to build a benchmark level.
        LoadLevel(t.app, 4);
        stop();
        for (int frame = 0; frame < 200; ++frame) {
            UpdateFrame(t.app, kFrame, kFrame);
        }
        EXPECT_EQ(std::make_tuple(t.world.autoplay || t.world.benchmarkRunning || t.world.deterministicRun, t.world.levelIndex,
                                  t.platform.benchmarkRunningShown, t.platform.summaries.size()),
                  std::make_tuple(false, 4, std::vector<bool>{true, false}, size_t{c.summary.empty() ? 0u : 1u})) << c.what;
    }
}

// --frame-log: a CSV line per sampled frame (its Present call, its GPU times from two frames later, its record's
// outlier flag) up to its bound; a log that cannot be written is named and ends a command-line run with 4.
TEST(Benchmark, TheFrameLogHasALineForEveryMeasuredFrame)
{
    constexpr int64_t kMs = 1000000;
    const char* const kLog = "benchmark_2026-12-06_140509_frames.csv";
    for (const auto& [bound, obstacle] : {std::pair(kMaxFrameLogRows, false), std::pair(size_t{1000}, false),
                                          std::pair(size_t{1000}, true)}) {
        ScratchDirectory scratch;
        if (obstacle) {
            fs::create_directories(fs::path(kLog) / "a folder");  // where the log goes
        }
        TestApp t;
        std::tie(t.app.bench.frameLog.enabled, t.app.bench.frameLog.maxRows) = std::tuple(true, bound);
        t.app.start.unattended = true;
        StartFromStartup(t, false, false);
        const BenchmarkRecorder& b = t.app.bench;
        int64_t clock = 0, frameNs = 10 * kMs, framesNs[3] = {};
        const auto seconds = [](int64_t ns) { return static_cast<double>(ns) * 1e-9; };
        for (uint64_t frame = 1; b.Running(); ++frame) {
            clock += frameNs;
            UpdateFrame(t.app, std::min(seconds(frameNs), 0.05), seconds(frameNs));
            // 10 to 25 ms a frame, and 0.1 s of 2 ms frames 10 s into run 2: a spike.
            const bool spike = b.currentRun == 2 && !b.Pausing() && b.runElapsed >= 10.0 && b.runElapsed < 10.1;
            frameNs = spike ? 2 * kMs : static_cast<int64_t>(10 + frame % 4 * 5) * kMs;
            framesNs[frame % 3] = frameNs;
            // Presented 1 ms before its end, for 0.25 ms; its GPU "render" takes the frame's time (known two frames later).
            RecordPresent(t.app.bench, PresentCall{frame, clock + frameNs - kMs, clock + frameNs - 3 * kMs / 4, 0, kPresentAllowTearing});
            if (frame > 2) {
                ReportGpuPassTimes(t.app, GpuPassTimes{0.5, seconds(framesNs[(frame - 2) % 3]) * 1e3, frame - 2});
            }
        }
        const Json results = Json::parse(ReadText(kResults));
        EXPECT_EQ(std::make_tuple(t.app.start.exitCode, results.contains("frameLog"),
                                  t.platform.LinesStartingWith("ERROR: Could not write the frame log").size()),
                  std::make_tuple(obstacle ? exit_code::kFilesNotWritten : exit_code::kSuccess, !obstacle, size_t{obstacle}));
        if (obstacle) {
            continue;
        }
        int64_t frames = 0;
        std::vector<int> flags;  // of each frame's record, in order
        for (const Json& run : results["runs"]) {
            frames += run["totalFrames"].get<int64_t>();
            for (const Json& record : run["records"]) {
                flags.insert(flags.end(), record["frameCount"].get<size_t>(), record["isOutlier"].get<bool>() ? 1 : 0);
            }
        }
        const int64_t lines = std::min<int64_t>(frames, static_cast<int64_t>(bound));
        EXPECT_EQ(results["frameLog"], (Json{{"file", kLog}, {"frames", lines},
                                             {"framesNotKept", frames - lines}}));
        std::istringstream csv(ReadText(kLog));
        std::string line;
        std::getline(csv, line);
        EXPECT_EQ(line, "Application,ProcessID,Runtime,SyncInterval,PresentFlags,AllowsTearing,TimeInSeconds,MsBetweenPresents,"
                        "MsInPresentAPI,Run,GpuPhysicsMs,GpuRenderMs,Debris,Balls,Bricks,IsOutlierRecord\r");
        std::vector<double> runSeconds(5, 0.0);
        std::vector<int64_t> runLines(5, 0);
        int64_t read = 0, withoutGpu = 0;
        std::vector<int> lineFlags;
        const std::string fixed = "\"Orvalis, Bench.exe\",4242,DXGI,0,512,1,";
        for (; std::getline(csv, line); ++read) {
            ASSERT_EQ(line.rfind(fixed, 0), 0u) << line;
            double time, between, inPresent, physics = -1.0, render = -1.0;
            int run, debris, balls, bricks, outlier;
            std::string rest = line.substr(fixed.size());
            std::replace(rest.begin(), rest.end(), ',', ' ');
            std::istringstream fields(rest);
            fields >> time >> between >> inPresent >> run;
            if (rest.find("  ") == std::string::npos) {  // the GPU times are there
                fields >> physics >> render;
            }
            ASSERT_TRUE(fields >> debris >> balls >> bricks >> outlier) << line;
            runSeconds.at(run) += between / 1000.0;
            runLines.at(run) += 1;
            lineFlags.push_back(outlier);
            withoutGpu += physics < 0.0 ? 1 : 0;
            EXPECT_EQ(std::make_tuple(inPresent, bricks > 0 && bricks <= 80, balls >= 1), std::make_tuple(0.25, true, true)) << line;
            EXPECT_TRUE(physics < 0.0 || (physics == 0.5 && render == between)) << line;  // the times of its own frame
        }
        EXPECT_EQ(read, lines);
        if (bound == kMaxFrameLogRows) {
            for (size_t run = 1; run <= 4; ++run) {
                EXPECT_NEAR(runSeconds[run], results["runs"][run - 1]["measuredSeconds"].get<double>(), 1e-9) << run;
                EXPECT_EQ(runLines[run], results["runs"][run - 1]["totalFrames"].get<int64_t>()) << run;
            }
            EXPECT_TRUE(lineFlags == flags) << "the lines' IsOutlierRecord is not their records' isOutlier";
            // The spike's records are flagged; the benchmark's last two frames' GPU times came back after the log was written.
            EXPECT_EQ(std::make_pair(std::count(flags.begin(), flags.end(), 1) > 0, withoutGpu), std::make_pair(true, int64_t{2}));
        }
    }
}

// Stress loops play back to back with no pause; pass when the worst complete loop keeps 97 % of the best's FPS,
// fail below that even when cut short (more loops could only lower it), else incomplete.
TEST(Benchmark, AStressTestPlaysItsLoopsBackToBackAndJudgesTheStabilityOfTheirFrameRates)
{
    const std::string shortened = " (shortened for tests by ORVALIS_TEST_LOOP_SECONDS)";
    const struct {
        const char* what;
        uint32_t loops;
        int32_t loopSeconds;  // 0: the configuration's 60 s
        float (*frame)(int loop);
        int stopInLoop;       // 1 s into this loop the panel's Abort (or a device loss) stops the test; 0: never
        bool deviceLoss;
        double stability;     // -1: none (no loop played whole)
        int worst, best;      // loop numbers; 0: none
        std::string line;
    } cases[] = {
        {"frames that hold steady, every other loop 1 % slower", 20, 2, [](int loop) { return kFrame * (loop % 2 ? 1.0f : 1.01f); },
         0, false, 100.0 / 1.01, 2, 1, "pass, stability 99.0 % (97 % needed), trend -1.0 % from the first loop to the last, 20 of 20 loops of 2 s" + shortened},
        {"frames 5 % slower after the tenth loop", 20, 2, [](int loop) { return kFrame * (loop > 10 ? 1.05f : 1.0f); }, 0, false,
         100.0 / 1.05, 11, 1, "fail, stability 95.2 % (97 % needed), trend -4.8 % from the first loop to the last, 20 of 20 loops of 2 s" + shortened},
        {"steady frames, aborted in loop 1", 20, 2, [](int) { return kFrame; }, 1, false, -1.0, 0, 0,
         "incomplete, no loop played whole, 0 of 20 loops of 2 s" + shortened},
        {"steady frames, aborted in loop 2: no trend from one loop", 20, 2, [](int) { return kFrame; }, 2, false, 100.0, 1, 1,
         "incomplete, stability 100.0 % (97 % needed), 1 of 20 loops of 2 s" + shortened},
        {"frames 5 % slower after the tenth loop, the device lost in loop 14", 20, 2,
         [](int loop) { return kFrame * (loop > 10 ? 1.05f : 1.0f); }, 14, true, 100.0 / 1.05, 11, 1,
         "fail, stability 95.2 % (97 % needed), trend -4.8 % from the first loop to the last, 13 of 20 loops of 2 s" + shortened},
        {"two loops of the full 60 s", 2, 0, [](int) { return kFrame; }, 0, false, 100.0, 1, 1,
         "pass, stability 100.0 % (97 % needed), trend +0.0 % from the first loop to the last, 2 of 2 loops of 60 s"},
    };
    for (const auto& c : cases) {
        ScratchDirectory scratch;
        TestApp t;
        StartFromStartup(t, true, true, 80, c.loops, c.loopSeconds);
        const BenchmarkRecorder& b = t.app.bench;
        int pausedFrames = 0;
        while (b.Running() && !(b.currentRun == c.stopInLoop && b.runElapsed >= 1.0)) {
            pausedFrames += b.Pausing() ? 1 : 0;
            const float dt = c.frame(b.currentRun);
            UpdateFrame(t.app, std::min(dt, 0.05f), dt);
        }
        if (c.stopInLoop > 0) {
            c.deviceLoss ? EndBenchmarkByDeviceLoss(t.app, kLost) : EndBenchmarkByAbort(t.app);
        }
        const size_t played = c.stopInLoop > 0 ? static_cast<size_t>(c.stopInLoop) : c.loops;
        ASSERT_EQ(b.runs.size(), played) << c.what;
        EXPECT_EQ(pausedFrames, static_cast<int>(played)) << c.what;  // one frame before each loop
        for (size_t i = 2; i < played; ++i) {  // the same game on the same frames
            if (c.frame(static_cast<int>(i + 1)) == c.frame(static_cast<int>(i - 1)) && b.runs[i].complete) {
                EXPECT_EQ(std::make_pair(b.runs[i].score, b.runs[i].totalFrames),
                          std::make_pair(b.runs[i - 2].score, b.runs[i - 2].totalFrames)) << c.what << ", loop " << i + 1;
            }
        }

        const Json results = Json::parse(ReadText(kResults));
        const Json& stress = results["stress"];
        const std::string verdict = c.line.substr(0, c.line.find(','));
        EXPECT_EQ(std::make_tuple(results["configuration"]["runs"], stress["verdict"], stress["loopsAsked"], stress["loopSeconds"],
                                  stress["shortenedForTests"], stress["complete"], stress["loopsComplete"], stress["passPercent"]),
                  std::make_tuple(Json("stress"), Json(verdict), Json(c.loops), Json(c.loopSeconds ? c.loopSeconds : 60),
                                  Json(c.loopSeconds > 0), Json(c.stopInLoop == 0), Json(played - (c.stopInLoop ? 1 : 0)), Json(97.0)))
            << c.what;
        EXPECT_NEAR(stress.value("stabilityPercent", -1.0), c.stability, 1e-3) << c.what;
        EXPECT_EQ(std::make_pair(stress.value("worstLoop", 0), stress.value("bestLoop", 0)), std::make_pair(c.worst, c.best)) << c.what;
        ASSERT_EQ(stress["loops"].size(), played) << c.what;
        for (size_t i = 0; i < played; ++i) {  // each loop's figures are those of its run
            const Json& run = results["runs"][i];
            EXPECT_EQ(stress["loops"][i], (Json{{"loop", i + 1}, {"averageFps", run["averageFps"]}, {"score", run["score"]},
                                                {"complete", run["complete"]}})) << c.what;
        }
        std::string problem;
        const std::optional<ResultsFileContent> compared = ParseResultsDocument(ReadText(kResults), kResults, problem);
        EXPECT_EQ(compared ? compared->runs.size() : 0u, played) << problem;

        const std::string report = ReadText(kReport);
        std::string shown = verdict;
        std::transform(shown.begin(), shown.end(), shown.begin(), [](char ch) { return static_cast<char>(ch - 'a' + 'A'); });
        EXPECT_NE(report.find(";\">" + shown + "</div>"), std::string::npos) << c.what;
        EXPECT_NE(report.find(" Stress Test - " + std::to_string(played) + (played > 1 ? " Loops)</h1>" : " Loop)</h1>")),
                  std::string::npos) << c.what;
        // The line standard output gives; the box (only a test played to its end shows one) gives it too.
        EXPECT_EQ(StressSummaryLine(ComputeStressFigures(b)), c.line) << c.what;
        ASSERT_EQ(t.platform.summaries.size(), c.stopInLoop > 0 ? 0u : 1u) << c.what;
        EXPECT_TRUE(c.stopInLoop > 0 ||
                    t.platform.summaries[0].find(L"\nStress test: " + std::wstring(c.line.begin(), c.line.end()) + L"\n") !=
                        std::wstring::npos) << c.what;
        if (c.deviceLoss) {
            EXPECT_EQ(results["endedByDeviceLoss"], "Ended by a device loss in loop 14 of 20, cut short at 1.0 s: " + kLost);
        }
    }
}
