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
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/commands.h"
#include "app/frame.h"
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
    BuildLevel(app, deterministic ? kZivoLevel : 0);
    if (deterministic) {
        app.world.random.Seed(42);
    }
    ResetBallOnPaddle(app.world);
    StartConfiguredBenchmark(app, 1920, 1080, 80, true, deterministic);
    while (app.bench.running) {
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

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    const int runs = argc > 2 ? std::atoi(argv[2]) : 12;
    const double frameMs = argc > 3 ? std::atof(argv[3]) : 1000.0 / 60.0;
    const double jitter = argc > 4 ? std::atof(argv[4]) : 0.0;
    if ((command != "cases" && command != "repeat") || argc > (command == "cases" ? 2 : 5) || runs < 1 ||
        !(frameMs > 0.0) || !(jitter >= 0.0 && jitter < 100.0)) {
        std::fprintf(stderr,
                     "usage: %s cases | repeat [RUNS [FRAME_MS [JITTER_PERCENT]]]\n"
                     "  RUNS at least 1, FRAME_MS above 0, JITTER_PERCENT from 0 to below 100\n",
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
    } else {
        Repeat(runs, frameMs, jitter);
    }
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(scratch);
    return 0;
}
