#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>

#include "app/frame_clock.h"
#include "bench/benchmark.h"
#include "bench/gpu_timing.h"
#include "game/update.h"
#include "test_support.h"

namespace {

constexpr float kFrame = 1.0f / 60.0f;

// A world with no bricks in the way and these balls in play.
World FreeFlight(std::vector<Ball> balls, float paddleX = 0.0f)
{
    World world;
    BuildLevel(world, 0);
    world.bricks.fill(Brick{});
    world.balls = std::move(balls);
    // 1000 bricks left keep the level from counting as cleared.
    std::tie(world.bricksLeft, world.ballLaunched, world.paddleX, world.prevPaddleX) = std::tuple(1000, true, paddleX, paddleX);
    return world;
}

}  // namespace

// A 1/60 s frame: walls turn back outward balls; the paddle sends a ball off at d / 3 x 0.8 rad from the vertical
// (d from its centre), 2 % faster up to 0.8, the horizontal part x 1.5; a ball is lost below y = -16.
TEST(UpdateFrame, OneFrameOfABall)
{
    // x, y, vx, vy before and after
    const struct { const char* what; float paddleX, before[4]; const char* after; } cases[] = {
        {"free flight", 0.0f, {1.0f, 2.0f, 0.3f, -0.2f}, "1.3000 1.8000 0.3000 -0.2000"},
        {"right wall", 0.0f, {18.95f, 0.0f, 0.4f, 0.0f}, "18.7500 0.0000 -0.4000 0.0000"},
        {"left wall", 0.0f, {-18.95f, 0.0f, -0.4f, 0.0f}, "-18.7500 0.0000 0.4000 0.0000"},
        {"past the wall, back", 0.0f, {19.5f, 0.0f, -0.3f, 0.0f}, "19.2000 0.0000 -0.3000 0.0000"},
        {"ceiling", 0.0f, {0.0f, 19.95f, 0.0f, 0.4f}, "0.0000 19.7500 0.0000 -0.4000"},
        {"past the ceiling, back", 0.0f, {0.0f, 20.5f, 0.0f, -0.4f}, "0.0000 20.1000 0.0000 -0.4000"},
        {"under the paddle's band", 0.0f, {0.0f, -12.55f, 0.0f, -0.6f}, "0.0000 -13.1500 0.0000 -0.6000"},
        {"lost", 0.0f, {0.0f, -15.9f, 0.0f, -0.5f}, "0.0000 -16.0250 0.0000 -0.5000 lost"},
        {"paddle centre: up", 2.0f, {2.0f, -10.93f, 0.0f, -0.4f}, "2.0000 -11.1280 0.0000 0.4080"},
        {"left end, -45.84 deg, capped", 2.0f, {-1.0f, -10.93f, 0.0f, -1.0f}, "-1.4304 -11.1513 -0.8608 0.5574"},
        {"out of the paddle's reach", 2.0f, {5.9f, -10.93f, 0.0f, -0.4f}, "5.9000 -11.3300 0.0000 -0.4000"},
    };
    for (const auto& c : cases) {
        const float* v = c.before;
        World world = FreeFlight({MakeBall(v[0], v[1], v[2], v[3]), MakeBall(-15.0f, 10.0f, 0.0f, 0.0f)}, c.paddleX);
        AdvanceWorld(world, kFrame, kFrame);
        const Ball& b = world.balls[0];
        char after[80];
        std::snprintf(after, sizeof(after), "%.4f %.4f %.4f %.4f%s", b.x, b.y, b.vx, b.vy, b.active ? "" : " lost");
        EXPECT_EQ(std::make_pair(std::string(after), world.lives), std::make_pair(std::string(c.after), 3)) << c.what;
    }
}

// A ball rising between the Z's first two cells (x = -12 and -10, y = 14) destroys only the first.
TEST(UpdateFrame, ABallBetweenOverlappingZivoCellsDestroysOnlyTheFirst)
{
    World world;
    BuildLevel(world, 3);
    std::tie(world.ballLaunched, world.bricksDirty) = std::tuple(true, false);
    world.balls = {MakeBall(-11.0f, 12.65f, 0.1f, 0.4f)};
    AdvanceWorld(world, kFrame, kFrame);
    EXPECT_EQ(std::make_tuple(world.bricks[0].alive, world.bricks[1].alive, world.score, world.bricksLeft, world.bricksDirty,
                              world.balls[0].vx, world.balls[0].vy < 0.0f), std::make_tuple(0.0f, 1.0f, 100, 38, true, 0.1f, true));
}

// One brick left: the last ball lost (a life, or served again on autoplay) or the last brick destroyed; the score stays.
TEST(UpdateFrame, TheLastBallLostOrTheLastBrickDestroyed)
{
    const struct { bool autoplay, lastBrick; int lives; const char* after; } cases[] = {
        {false, false, 3, "level 5, 2 lives, 1 bricks, score 700, waiting"},
        {false, false, 1, "level 5, 3 lives, 1000 bricks, score 700, waiting"},
        {true, false, 1, "level 5, 1 lives, 1 bricks, score 700, launched, unsampled"},
        {false, true, 2, "level 0, 3 lives, 80 bricks, score 800, waiting"},
        {true, true, 2, "level 0, 3 lives, 80 bricks, score 800, launched, unsampled"},
    };
    for (const auto& c : cases) {
        TestApp t;
        World& world = t.world;
        LoadLevel(t.app, 5);
        for (size_t i = 1; i < world.bricks.size(); ++i) {
            world.bricks[i].alive = 0.0f;
        }
        std::tie(world.bricksLeft, world.score, world.lives, world.ballLaunched) = std::tuple(1, 700, c.lives, true);  // the brick at (-20, 20)
        std::tie(world.autoplay, t.app.bench.phase) = std::tuple(c.autoplay, c.autoplay ? BenchmarkPhase::WarmUp : BenchmarkPhase::Idle);
        world.balls = {c.lastBrick ? MakeBall(-20.0f, 18.8f, 0.0f, 0.4f) : MakeBall(0.0f, -15.9f, 0.0f, -0.5f)};
        const int refreshes = t.platform.panelRefreshes;
        UpdateFrame(t.app, kFrame, kFrame);
        char after[96];
        std::snprintf(after, sizeof(after), "level %d, %d lives, %d bricks, score %d, %s%s", world.levelIndex, world.lives,
                      world.bricksLeft, world.score, world.ballLaunched ? "launched" : "waiting",
                      t.app.bench.skipNextSample ? ", unsampled" : "");
        EXPECT_EQ(std::make_tuple(std::string(after), CountActiveBalls(world), t.platform.panelRefreshes > refreshes),
                  std::make_tuple(std::string(c.after), 1, true));
    }
}

TEST(UpdateFrame, AutoplayFollowsTheLowestFallingBallAboveThePaddle)
{
    // A fifth of the way each frame; with nothing falling, the lowest ball is followed instead.
    const struct { std::vector<Ball> balls; float paddleX; } cases[] = {
        {{MakeBall(-8.0f, 5.0f, 0.0f, -0.1f), MakeBall(6.0f, -2.0f, 0.0f, -0.1f), MakeBall(9.0f, -10.0f, 0.0f, 0.1f),
          MakeBall(-3.0f, -14.0f, 0.0f, -0.1f)}, 6.0f * 0.2f},
        {{MakeBall(-4.0f, 3.0f, 0.0f, 0.1f), MakeBall(-10.0f, 1.0f, 0.0f, 0.1f)}, -10.0f * 0.2f}};
    for (const auto& c : cases) {
        World world = FreeFlight(c.balls);
        world.autoplay = true;
        AdvanceWorld(world, 0.0f, 0.0f);
        EXPECT_NEAR(world.paddleX, c.paddleX, 1e-6);
    }
}

TEST(UpdateFrame, ADeterministicRunStepsInWholeTicksOfTheFrameTime)
{
    World world = FreeFlight({MakeBall(0.0f, 0.0f, 0.1f, 0.1f)});
    world.deterministicRun = true;
    world.explosionQueue.push_back(ExplosionEvent{3.0f, 0, 0});
    // No tick yet, one, three more, and a long frame that the world keeps pace with.
    const struct { float step, rawStep, x; } frames[] = {{0.01f, 0.01f, 0.0f}, {0.01f, 0.01f, 0.1f},
                                                         {0.05f, 0.05f, 0.4f}, {0.05f, 0.2f, 1.6f}};
    for (const auto& f : frames) {
        AdvanceWorld(world, f.step, f.rawStep);
        EXPECT_NEAR(world.balls[0].x, f.x, 1e-5) << f.rawStep;
        EXPECT_EQ(world.currentExplosion.code, f.x == 0.0f ? 3.0f : 0.0f);  // handed over without a tick too
    }
}

TEST(UpdateFrame, TheTelemetryFollowsEachSecondAndThePauseIsNeitherCountedNorTimed)
{
    TestApp t;
    LoadLevel(t.app, 2);
    std::tie(t.world.score, t.world.activeDebris, t.app.width, t.app.height) = std::tuple(-100, 48, 1280u, 720u);
    for (int i = 0; i < 15; ++i) {
        UpdateFrame(t.app, 0.05f, 0.0625f);
        // The GPU's pass times of earlier frames arrive in between; the window averages them.
        ReportGpuPassTimes(t.app, i % 2 == 0 ? GpuPassTimes{0.5, 3.0} : GpuPassTimes{1.5, 5.0});
    }
    const auto shown = [&t] {
        const TelemetryTexts& s = t.platform.telemetry.back();
        return s.title + L"|" + s.fps + L"|" + s.bricks + L"|" + s.debris + L"|" + s.score + L"|" + s.lives + L"|" +
               s.resolution + L"|" + s.gpu;
    };
    UpdateFrame(t.app, 0.05f, 0.0625f);  // the sixteenth frame completes the second
    ASSERT_EQ(t.platform.telemetry.size(), 1u);
    // GPU times: 8 x (0.5, 3) and 7 x (1.5, 5)
    EXPECT_EQ(shown(), L"Orvalis Benchmark DX12 - Zandor | FPS: 16|FPS: 16.0|Current Bricks: 66|Current Debris: 48|"
                       L"Score: -100|Lives: 3|Current: 1280x720|GPU: physics 0.97 ms, render 3.93 ms");
    t.app.gpu.hdrEnabled = true;
    UpdateFrame(t.app, 0.05f, 2.5f);  // one long frame closes the window at once; it had no GPU times
    EXPECT_EQ(shown(), L"Orvalis Benchmark DX12 - Zandor | FPS: 0 | HDR ON|FPS: 0.4|Current Bricks: 66|"
                       L"Current Debris: 48|Score: -100|Lives: 3|Current: 1280x720|");

    // The frames of the benchmark's pause, the one that ends it too, are neither counted nor timed.
    StartConfiguredBenchmark(t.app, 854, 480, 80, false, false);
    while (!t.app.bench.Pausing()) {
        UpdateFrame(t.app, 0.05f, 0.0625f);
    }
    const FrameTiming before = t.app.timing;
    const size_t refreshes = t.platform.telemetry.size();
    int paused = 0;
    for (; t.app.bench.Pausing(); ++paused) {
        UpdateFrame(t.app, 0.05f, 0.0625f);
    }
    EXPECT_EQ(std::make_tuple(paused, t.app.timing.fpsFrames, t.app.timing.fpsSeconds, t.platform.telemetry.size()),
              std::make_tuple(32, before.fpsFrames, before.fpsSeconds, refreshes));
    UpdateFrame(t.app, 0.05f, 0.0625f);
    EXPECT_EQ(t.app.timing.fpsFrames, before.fpsFrames + 1);
}

TEST(FrameClock, CounterTicksBecomeNanosecondsWithoutOverflow)
{
    const struct { int64_t count, frequency, nanoseconds; } cases[] = {
        {123456789, 10000000, 12345678900},                 // 10 MHz: count x 100
        {10000000000, 3000000, 3333333333333},              // count x 10^9 alone would overflow here
        {27670116110564327, 3000000, 9223372036854775666},  // near 2^63 nanoseconds
        {2999999, 3000000, 999999666},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CounterNanoseconds(c.count, c.frequency), c.nanoseconds) << c.count << " at " << c.frequency;
    }
}
