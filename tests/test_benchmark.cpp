#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include <nlohmann/json.hpp>

#include "app/command_line.h"
#include "app/commands.h"
#include "app/frame.h"
#include "bench/benchmark.h"
#include "test_support.h"

namespace {

// 1/64 s is exact in binary, so sums of frame times land exactly on 1, 2, 40 and 60 s.
constexpr float kFrame = 1.0f / 64.0f;

// Runs the report writer in a scratch directory for the lifetime of the object.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        dir_ = std::filesystem::temp_directory_path() /
               ("orvalis_bench_" + std::to_string(reinterpret_cast<uintptr_t>(this)));
        std::filesystem::create_directories(dir_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    ~ScratchDirectory()
    {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }
    int Files() const
    {
        int n = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_)) {
            ++n;
        }
        return n;
    }
    const std::filesystem::path& Path() const { return dir_; }

private:
    std::filesystem::path dir_;
    std::filesystem::path previous_;
};

// What initialisation does when the startup window chose a benchmark (its
// window drawn at the 854 x 480 asked for).
void StartFromStartup(TestApp& t, bool singleRun, bool deterministic, int debris = 80)
{
    t.app.width = 854;
    t.app.height = 480;
    if (deterministic) {
        BuildLevel(t.app, 3);
        t.world.random.Seed(42);
    } else {
        BuildLevel(t.app, 0);
    }
    ResetBallOnPaddle(t.world);
    StartConfiguredBenchmark(t.app, 854, 480, debris, singleRun, deterministic);
}

// Frames until the benchmark stops running (or the limit is reached); returns the frame count.
int RunFrames(TestApp& t, float dt, int limit)
{
    int frames = 0;
    while (t.app.bench.running && frames < limit) {
        UpdateFrame(t.app, std::min(dt, 0.05f), dt);
        ++frames;
    }
    return frames;
}

}  // namespace

TEST(Benchmark, StartResetsTheRecorderAndSkipsTheFirstFrame)
{
    TestApp t;
    t.app.bench.runs.resize(2);
    StartFromStartup(t, true, false, 160);
    const BenchmarkRecorder& b = t.app.bench;
    EXPECT_TRUE(b.running);
    EXPECT_EQ(b.currentRun, 0);
    EXPECT_EQ(b.targetRuns, 1);
    EXPECT_TRUE(b.runs.empty());
    EXPECT_TRUE(b.skipNextSample);
    EXPECT_EQ(b.currentBucket, -1);
    EXPECT_EQ(b.config.width, 854u);
    EXPECT_EQ(b.config.debrisCount, 160u);
    EXPECT_EQ(b.current.width, 854u);
    EXPECT_GE(b.current.seconds.capacity(), 700u);
    EXPECT_EQ(t.world.raySteps, 72);
    EXPECT_TRUE(t.world.autoplay);
    EXPECT_EQ(t.platform.benchmarkRunningShown, std::vector<bool>{true});
    EXPECT_EQ(t.platform.autoplayChecks, std::vector<bool>{true});
    EXPECT_EQ(t.platform.debrisChecks, std::vector<bool>{true});

    UpdateFrame(t.app, kFrame, kFrame);
    EXPECT_EQ(t.app.bench.runElapsed, 0.0f);  // the first frame is not sampled
    EXPECT_FALSE(t.app.bench.skipNextSample);
    UpdateFrame(t.app, kFrame, kFrame);
    EXPECT_EQ(t.app.bench.runElapsed, kFrame);
}

TEST(Benchmark, NoDebrisPresetSwitchesDebrisOff)
{
    TestApp t;
    StartFromStartup(t, false, false, 0);
    EXPECT_FALSE(t.world.debrisEnabled);
    EXPECT_FALSE(t.app.bench.config.debrisEnabled);
    EXPECT_EQ(t.app.bench.targetRuns, 4);
    EXPECT_EQ(t.platform.debrisChecks, std::vector<bool>{false});
}

TEST(Benchmark, LaunchFiresAfterFiftyMillisecondsAndTheTrioOnlyInRecordedRuns)
{
    TestApp t;
    StartFromStartup(t, true, false);
    t.world.autoplay = false;  // let the benchmark's own launch event serve
    t.world.ballLaunched = false;
    UpdateFrame(t.app, 0.025f, 0.025f);  // not sampled
    UpdateFrame(t.app, 0.025f, 0.025f);  // 0.025
    UpdateFrame(t.app, 0.025f, 0.025f);  // 0.05: not yet beyond
    EXPECT_FALSE(t.app.bench.launchDone);
    EXPECT_FALSE(t.world.ballLaunched);
    UpdateFrame(t.app, 0.025f, 0.025f);
    EXPECT_TRUE(t.app.bench.launchDone);
    EXPECT_TRUE(t.world.ballLaunched);

    // Through the warm-up and pause: no trio.
    t.world.autoplay = true;
    while (t.app.bench.currentRun == 0) {
        UpdateFrame(t.app, kFrame, kFrame);
    }
    EXPECT_FALSE(t.app.bench.trioDone);
    size_t ballsBefore = 0;
    bool spawned = false;
    for (int i = 0; i < 60 * 20 && !spawned; ++i) {
        ballsBefore = t.world.balls.size();
        UpdateFrame(t.app, kFrame, kFrame);
        spawned = t.app.bench.trioDone;
    }
    ASSERT_TRUE(spawned);
    EXPECT_GT(t.app.bench.runElapsed, 15.0f);
    EXPECT_LT(t.app.bench.runElapsed, 15.0f + 2 * kFrame);
    ASSERT_EQ(t.world.balls.size(), ballsBefore + 3);  // appended, whatever the limit
    EXPECT_EQ(t.world.balls[ballsBefore].r, 3.0f);
    EXPECT_EQ(t.world.balls[ballsBefore + 1].g, 3.0f);
    EXPECT_EQ(t.world.balls[ballsBefore + 2].b, 6.0f);
}

TEST(Benchmark, SingleRunRecordsFortySecondsAfterWarmupAndPause)
{
    ScratchDirectory scratch;
    TestApp t;
    StartFromStartup(t, true, false);
    int pausedFrames = 0;
    int frames = 0;
    while (t.app.bench.running && frames < 10000) {
        const bool paused = t.app.bench.pausing;
        const float before = t.app.bench.runElapsed;
        UpdateFrame(t.app, kFrame, kFrame);
        ++frames;
        if (paused) {
            ++pausedFrames;
            EXPECT_EQ(t.app.bench.runElapsed, before);
        }
    }
    const BenchmarkRecorder& b = t.app.bench;
    EXPECT_FALSE(b.running);
    ASSERT_EQ(b.runs.size(), 1u);
    // 2 s of pause, the frame that ends it included.
    EXPECT_EQ(pausedFrames, 128);
    const RunResult& run = b.runs[0];
    EXPECT_EQ(run.seconds.size(), 401u);
    EXPECT_EQ(run.seconds.front().time, 0.0f);
    EXPECT_EQ(run.seconds.back().time, 400.0f);
    EXPECT_EQ(run.totalFrames, 2560);
    EXPECT_EQ(run.seconds.back().frameCount, 1);  // the frame that reached 40 s
    EXPECT_FLOAT_EQ(run.avg, 64.0f);
    EXPECT_GT(run.score, 0.0f);
    EXPECT_FALSE(t.world.autoplay);
    EXPECT_EQ(t.platform.benchmarkRunningShown, (std::vector<bool>{true, false}));
    EXPECT_EQ(t.platform.autoplayChecks.back(), false);
    ASSERT_EQ(t.platform.openedReports.size(), 1u);
    EXPECT_EQ(t.platform.openedReports[0], "benchmark_2026-12-06_140509.html");
    EXPECT_EQ(scratch.Files(), 2);  // the report and its results file
    ASSERT_EQ(t.platform.summaries.size(), 1u);
    EXPECT_EQ(t.platform.summaries[0],
              L"Benchmark Complete!\n\nGenerated: benchmark_2026-12-06_140509.html\nOpening in browser...\n\n"
              L"Single run (40 seconds)\n\nIncludes:\n- Timeline charts per run\n- Scatter plot (complexity analysis)\n"
              L"- Spike outlier removal\n- Benchmark score\n");
    EXPECT_EQ(t.platform.LinesStartingWith("Benchmark: Completed run 0 at T=1.00").size(), 1u);
    EXPECT_EQ(t.platform.LinesStartingWith("Benchmark: Recorded run 1 with 401 seconds of data").size(), 1u);
    EXPECT_EQ(t.platform.LinesStartingWith("Benchmark: All runs complete. Total recorded runs: 1").size(), 1u);
}

TEST(Benchmark, MultiRunRecordsFourRunsEachAfterAPause)
{
    ScratchDirectory scratch;
    TestApp t;
    StartFromStartup(t, false, false);
    RunFrames(t, 0.02f, 20000);
    ASSERT_EQ(t.app.bench.runs.size(), 4u);
    for (const RunResult& run : t.app.bench.runs) {
        EXPECT_EQ(run.seconds.size(), 401u);
        EXPECT_EQ(run.totalFrames, 2000);
    }
    ASSERT_EQ(t.platform.summaries.size(), 1u);
    EXPECT_NE(t.platform.summaries[0].find(L"Runs: 4 (40 seconds each)\n"), std::wstring::npos);
    EXPECT_EQ(t.platform.openedReports.size(), 1u);
    EXPECT_EQ(t.platform.summaries[0].find(L"Results ("), std::wstring::npos);
}

TEST(Benchmark, FramesAfterAPauseAreNotSampledAndFastFramesCountFourHundred)
{
    TestApp t;
    StartFromStartup(t, false, false);
    RunFrames(t, kFrame, 1);
    while (t.app.bench.currentRun == 0 || t.app.bench.pausing) {
        UpdateFrame(t.app, kFrame, kFrame);
    }
    // The frame that ended the pause was not sampled; neither is the next.
    EXPECT_EQ(t.app.bench.runElapsed, 0.0f);
    EXPECT_TRUE(t.app.bench.skipNextSample);
    UpdateFrame(t.app, 0.001f, 0.001f);
    EXPECT_EQ(t.app.bench.runElapsed, 0.0f);
    UpdateFrame(t.app, 0.001f, 0.001f);
    EXPECT_EQ(t.app.bench.runElapsed, 0.001f);
    ASSERT_EQ(t.app.bench.bucketFps.size(), 1u);
    EXPECT_EQ(t.app.bench.bucketFps[0], 400.0f);
    EXPECT_EQ(t.world.levelIndex, 0);
    EXPECT_GE(t.world.paddleX, -16.5f);
}

TEST(Benchmark, DeterministicRunsRestartFromTheSameState)
{
    ScratchDirectory scratch;
    TestApp t;
    StartFromStartup(t, false, true);
    EXPECT_EQ(t.world.levelIndex, 3);
    EXPECT_EQ(t.world.paddleX, 0.0f);
    // Keys, pointer and clicks are ignored while it runs.
    int runsSeen = 0;
    int frames = 0;
    std::vector<std::array<Brick, kBrickSlots>> startOfRun;
    while (t.app.bench.running && frames < 30000) {
        const bool wasPausing = t.app.bench.pausing;
        UpdateFrame(t.app, kFrame, kFrame);
        ++frames;
        if (wasPausing && !t.app.bench.pausing) {
            ++runsSeen;
            EXPECT_EQ(t.world.levelIndex, 3);
            EXPECT_EQ(t.world.paddleX, 0.0f);
            EXPECT_EQ(t.world.stepAccumulator, 0.0f);
            CrtRandom seeded;
            seeded.Seed(42);
            EXPECT_EQ(t.world.random.Next(), seeded.Next());
            t.world.random.Seed(42);  // put back the value this check drew
        }
    }
    EXPECT_EQ(runsSeen, 4);
    ASSERT_EQ(t.app.bench.runs.size(), 4u);
    // Each run has the same frame count and, being deterministic, the same score.
    for (const RunResult& run : t.app.bench.runs) {
        EXPECT_EQ(run.totalFrames, 3840);
        EXPECT_EQ(run.score, t.app.bench.runs[0].score);
        EXPECT_TRUE(run.deterministic);
    }
    const std::wstring& summary = t.platform.summaries.at(0);
    EXPECT_NE(summary.find(L"Runs: 4 (60 seconds each)\n\nDETERMINISTIC MODE:\n- Fixed random seed (42)\n- ZIVO level\n"
                           L"- No mouse/keyboard input\n\nResults per Run:\n  Run 1: 3840 frames, "),
              std::wstring::npos);
    EXPECT_NE(summary.find(L"\nIncludes:\n- Timeline charts per run\n- Benchmark score\n"), std::wstring::npos);
    EXPECT_EQ(summary.find(L"Scatter"), std::wstring::npos);
}

// The world of a deterministic run at one tick: its balls, bricks, score and
// the next random value.
struct TickState {
    std::vector<Ball> balls;
    std::array<Brick, kBrickSlots> bricks;
    int32_t score;
    int nextRandom;

    bool operator==(const TickState& o) const
    {
        auto sameBall = [](const Ball& a, const Ball& b) {
            return a.x == b.x && a.y == b.y && a.vx == b.vx && a.vy == b.vy && a.active == b.active && a.r == b.r;
        };
        return std::equal(balls.begin(), balls.end(), o.balls.begin(), o.balls.end(), sameBall) &&
               std::memcmp(bricks.data(), o.bricks.data(), sizeof(bricks)) == 0 && score == o.score &&
               nextRandom == o.nextRandom;
    }
};

// Plays a deterministic single benchmark with the given frame times (cycled)
// and keeps the world's state at every (run, tick) a frame ended on.
std::map<std::pair<int, int64_t>, TickState> PlayDeterministic(const std::vector<float>& frameTimes, bool stirRandom)
{
    ScratchDirectory scratch;
    TestApp t;
    if (stirRandom) {
        t.world.random.Next();  // a different generator state before the seeding
    }
    StartFromStartup(t, true, true);
    std::map<std::pair<int, int64_t>, TickState> states;
    for (size_t frame = 0; t.app.bench.running; ++frame) {
        const float dt = frameTimes[frame % frameTimes.size()];
        UpdateFrame(t.app, std::min(dt, 0.05f), dt);
        if (t.app.bench.pausing) {
            continue;
        }
        CrtRandom next = t.world.random;
        states[{t.app.bench.currentRun, t.app.bench.runTicks}] =
            TickState{t.world.balls, t.world.bricks, t.world.score, next.Next()};
    }
    return states;
}

TEST(Benchmark, DeterministicRunIsTheSameGameAtEveryTickWhateverTheFrameRate)
{
    const auto steady144 = PlayDeterministic({1.0f / 144.0f}, false);
    const auto steady30 = PlayDeterministic({1.0f / 30.0f}, true);
    const auto jittered = PlayDeterministic({0.012f, 0.031f, 0.07f, 0.016f, 0.055f, 0.004f, 0.021f}, false);
    int compared = 0;
    int64_t lastTick = 0;
    for (const auto& [key, state] : steady30) {
        const auto a = steady144.find(key);
        const auto b = jittered.find(key);
        if (a == steady144.end() || b == jittered.end() || key.first != 1 || key.second == 0) {
            continue;
        }
        ASSERT_TRUE(a->second == state) << "tick " << key.second;
        ASSERT_TRUE(b->second == state) << "tick " << key.second;
        ++compared;
        lastTick = key.second;
    }
    EXPECT_GT(compared, 100);
    EXPECT_GT(lastTick, 2000);  // well past the trio at tick 900
    // Each run covers the same 60 s of game, even with frames longer than 50 ms.
    for (const auto* states : {&steady144, &steady30, &jittered}) {
        int64_t ticks = 0;
        for (const auto& entry : *states) {
            ticks = entry.first.first == 1 ? std::max(ticks, entry.first.second) : ticks;
        }
        EXPECT_NEAR(static_cast<double>(ticks), 3600.0, 5.0);
    }
}

TEST(Benchmark, AbortDuringWarmupWritesNothingAndAbortInRunTwoKeepsRunOne)
{
    ScratchDirectory scratch;
    TestApp t;
    StartFromStartup(t, false, false);
    RunFrames(t, kFrame, 30);
    AbortBenchmark(t.app);
    EXPECT_FALSE(t.app.bench.running);
    EXPECT_TRUE(t.app.bench.runs.empty());
    EXPECT_TRUE(t.platform.openedReports.empty());
    EXPECT_EQ(scratch.Files(), 0);
    EXPECT_FALSE(t.world.autoplay);
    EXPECT_EQ(t.platform.benchmarkRunningShown.back(), false);
    AbortBenchmark(t.app);  // nothing more happens when idle
    EXPECT_EQ(t.platform.benchmarkRunningShown.size(), 2u);

    // Aborted in the pause after the warm-up: nothing recorded, and the pause does not go on.
    StartFromStartup(t, false, false);
    while (!t.app.bench.pausing) {
        UpdateFrame(t.app, kFrame, kFrame);
    }
    BuildLevel(t.app, 4);
    AbortBenchmark(t.app);
    EXPECT_FALSE(t.app.bench.pausing);
    EXPECT_TRUE(t.app.bench.runs.empty());
    for (int i = 0; i < 200; ++i) {
        UpdateFrame(t.app, kFrame, kFrame);
    }
    EXPECT_EQ(t.world.levelIndex, 4);  // no benchmark level was built after the abort
    EXPECT_FALSE(t.world.deterministicRun || t.world.benchmarkRunning);
    EXPECT_EQ(scratch.Files(), 0);

    StartFromStartup(t, false, false);
    while (t.app.bench.currentRun < 2) {
        UpdateFrame(t.app, kFrame, kFrame);
    }
    for (int i = 0; i < 600; ++i) {  // past the pause, about 8 s into run 2
        UpdateFrame(t.app, kFrame, kFrame);
    }
    AbortBenchmark(t.app);
    ASSERT_EQ(t.app.bench.runs.size(), 2u);
    EXPECT_EQ(t.app.bench.runs[0].seconds.size(), 401u);
    EXPECT_GT(t.app.bench.runs[1].seconds.size(), 70u);
    EXPECT_LT(t.app.bench.runs[1].seconds.size(), 90u);
    EXPECT_EQ(t.platform.openedReports.size(), 1u);
    EXPECT_TRUE(t.platform.summaries.empty());  // no summary box after an abort
    EXPECT_EQ(scratch.Files(), 2);  // the report and its results file
}

// Without a report the box shows the results, and says where the results file
// kept them, or that nothing did: after the last run, and after an abort.
TEST(Benchmark, WithoutAReportTheSummaryShowsTheResultsAndWhereTheyWereSaved)
{
    {
        ScratchDirectory scratch;
        std::filesystem::create_directory("benchmark_2026-12-06_140509.html");  // the report's name is taken
        TestApp t;
        StartFromStartup(t, true, false);
        RunFrames(t, 0.05f, 10000);
        ASSERT_EQ(t.app.bench.runs.size(), 1u);
        EXPECT_TRUE(t.platform.openedReports.empty());
        EXPECT_TRUE(std::filesystem::is_regular_file("benchmark_2026-12-06_140509.json"));
        const std::wstring score = std::to_wstring(static_cast<int>(t.app.bench.runs[0].score));
        EXPECT_EQ(t.platform.summaries.at(0),
                  L"Benchmark Complete!\n\nThe report could not be written: benchmark_2026-12-06_140509.html\n\n"
                  L"Single run (40 seconds)\n\nIncludes:\n- Timeline charts per run\n- Scatter plot (complexity analysis)\n"
                  L"- Spike outlier removal\n- Benchmark score\n"
                  L"\nResults (saved in benchmark_2026-12-06_140509.json):\n  Run 1: score " + score +
                  L", average 20.0 FPS\n");
    }
    TestApp t;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path("/proc");  // nobody, root included, can create files here
    StartFromStartup(t, false, false);
    while (t.app.bench.currentRun < 2 || t.app.bench.runElapsed < 5.0f) {
        UpdateFrame(t.app, 0.05f, 0.05f);
    }
    AbortBenchmark(t.app);
    std::filesystem::current_path(previous);
    ASSERT_EQ(t.app.bench.runs.size(), 2u);
    EXPECT_TRUE(t.platform.openedReports.empty());
    EXPECT_EQ(t.platform.LinesStartingWith("ERROR: Could not create report file benchmark_").size(), 1u);
    ASSERT_EQ(t.platform.summaries.size(), 1u);
    const std::wstring& summary = t.platform.summaries[0];
    EXPECT_EQ(summary.rfind(L"Benchmark Aborted\n\nThe report could not be written: benchmark_2026-12-06_140509.html\n\n"
                            L"Runs: 2 (40 seconds each)\n", 0),
              0u);
    EXPECT_NE(summary.find(L"\nResults (not saved):\n  Run 1: score "), std::wstring::npos);
    EXPECT_NE(summary.find(L"\n  Run 2: score "), std::wstring::npos);
    EXPECT_NE(summary.find(L"\n  Mean score: "), std::wstring::npos);
}

// A lost device ends the benchmark as an abort does, and the report, the
// results file and (without a report) the summary box say where it ended.
TEST(Benchmark, ADeviceLossKeepsTheRunsSoFarAndSaysWhereItEndedThem)
{
    const std::string reason =
        "Device removed: 0x887a0006 DXGI_ERROR_DEVICE_HUNG (the GPU stopped responding and was reset)";
    const struct {
        bool inRunTwo;  // 5 s into run 2, else in the pause after run 1
        bool writable;
        size_t runs;
        std::string note;
    } cases[] = {
        {true, true, 2, "Ended by a device loss in run 2 of 4, cut short at 5.0 s: " + reason},
        {false, false, 1, "Ended by a device loss after run 1 of 4: " + reason},
    };
    for (const auto& c : cases) {
        ScratchDirectory scratch;
        TestApp t;
        StartFromStartup(t, false, false);
        while (t.app.bench.currentRun < 2 || (c.inRunTwo && t.app.bench.runElapsed < 5.0f)) {
            UpdateFrame(t.app, kFrame, kFrame);
        }
        if (!c.writable) {
            std::filesystem::current_path("/proc");  // nobody, root included, can create files here
        }
        EndBenchmarkByDeviceLoss(t.app, reason);
        std::filesystem::current_path(scratch.Path());
        EXPECT_FALSE(t.app.bench.running || t.world.autoplay);
        ASSERT_EQ(t.app.bench.runs.size(), c.runs);
        EXPECT_EQ(t.platform.LinesStartingWith("Benchmark: " + c.note).size(), 1u);
        if (c.writable) {
            EXPECT_EQ(t.platform.openedReports.size(), 1u);
            EXPECT_TRUE(t.platform.summaries.empty());
            std::ifstream report(t.app.bench.reportPath);
            const std::string html((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
            EXPECT_NE(html.find(">" + c.note + "</div>"), std::string::npos);
            std::ifstream results(t.app.bench.resultsPath);
            EXPECT_EQ(nlohmann::json::parse(results)["endedByDeviceLoss"], c.note);
        } else {
            ASSERT_EQ(t.platform.summaries.size(), 1u);
            EXPECT_EQ(t.platform.summaries[0].rfind(L"Benchmark Aborted\n\n" + std::wstring(c.note.begin(), c.note.end()) +
                                                        L"\n\nThe report could not be written: ",
                                                    0),
                      0u);
        }
        EndBenchmarkByDeviceLoss(t.app, reason);  // no benchmark: nothing more happens
        EXPECT_EQ(scratch.Files(), c.writable ? 2 : 0);
    }
}

// Windows cuts a window that does not fit the screen: a run scores with the
// size it rendered, names it beside the size asked for, and says when it changed.
TEST(Benchmark, ARunScoresTheSizeItRenderedAndSaysWhenThatIsNotTheSizeAskedFor)
{
    ScratchDirectory scratch;
    const struct {
        uint32_t width, height;
    } drawn[] = {{3840, 2160}, {2564, 1418}};
    std::vector<TestApp> apps(2);
    for (size_t i = 0; i < 2; ++i) {
        TestApp& t = apps[i];
        BuildLevel(t.app, 0);
        ResetBallOnPaddle(t.world);
        StartConfiguredBenchmark(t.app, 3840, 2160, 80, true, false);
        t.app.width = drawn[i].width;
        t.app.height = drawn[i].height;
        while (t.app.bench.running) {
            if (i == 1 && t.app.bench.currentRun == 1 && t.app.bench.current.totalFrames > 0) {
                t.app.width = 2000;  // resized after the run's first sampled frame
            }
            UpdateFrame(t.app, 0.05f, 0.05f);
        }
    }
    const RunResult& whole = apps[0].app.bench.runs.at(0);
    const RunResult& cut = apps[1].app.bench.runs.at(0);
    EXPECT_EQ(cut.width, 2564u);
    EXPECT_EQ(cut.height, 1418u);
    EXPECT_EQ(apps[0].platform.summaries.at(0).find(L"rendered"), std::wstring::npos);
    EXPECT_NEAR(cut.score, whole.score * std::sqrt(2564.0 * 1418.0 / (3840.0 * 2160.0)), 1.0);
    const std::string note = "rendered 2564 x 1418; 3840 x 2160 does not fit this screen; the size changed during the run";
    EXPECT_NE(apps[1].platform.summaries.at(0).find(L"Single run (40 seconds)\nRun 1: " +
                                                     std::wstring(note.begin(), note.end()) + L"\n"),
              std::wstring::npos);
    std::ifstream results(apps[1].app.bench.resultsPath);
    const nlohmann::json json = nlohmann::json::parse(results);
    EXPECT_EQ(json["configuration"]["width"], 3840);
    EXPECT_EQ(json["runs"][0]["renderedWidth"], 2564);
    EXPECT_EQ(json["runs"][0]["renderedSizeNote"], note);
    std::ifstream report(apps[1].app.bench.reportPath);
    const std::string html((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
    EXPECT_NE(html.find(">Run 1: " + note + "</div>"), std::string::npos);
}

TEST(Benchmark, AnUnattendedBenchmarkEndsTheProgramWithItsOutcome)
{
    for (const bool writable : {true, false}) {
        ScratchDirectory scratch;
        const std::filesystem::path previous = std::filesystem::current_path();
        if (!writable) {
            std::filesystem::current_path("/proc");
        }
        TestApp t;
        t.app.start.unattended = true;
        t.app.start.exitCode = exit_code::kNotCompleted;
        StartFromStartup(t, true, false);
        RunFrames(t, 0.05f, 5000);
        std::filesystem::current_path(previous);
        EXPECT_EQ(t.platform.programEnds, 1);
        EXPECT_EQ(t.app.start.exitCode, writable ? exit_code::kSuccess : exit_code::kFilesNotWritten);
        EXPECT_EQ(scratch.Files(), writable ? 2 : 0);
    }
}
