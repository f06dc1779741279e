#include <gtest/gtest.h>

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
    ClearBricks(world);
    world.balls = std::move(balls);
    world.ballLaunched = true;
    world.paddleX = world.prevPaddleX = paddleX;
    return world;
}

}  // namespace

// One 1/60 s frame of a ball (in four sub-steps): it moves by its velocity, walls
// turn back only balls moving outward, the paddle sends a ball off at d / 3 x 0.8 rad
// from the vertical (d from its centre), 2 % faster up to 0.8, the horizontal part
// stretched by 1.5, and a ball is lost below y = -16.
TEST(UpdateFrame, OneFrameOfABall)
{
    const struct {
        const char* what;
        float paddleX, before[4], after[4];  // x, y, vx, vy
        bool active;
    } cases[] = {
        {"free flight", 0.0f, {1.0f, 2.0f, 0.3f, -0.2f}, {1.3f, 1.8f, 0.3f, -0.2f}, true},
        {"right wall", 0.0f, {18.95f, 0.0f, 0.4f, 0.0f}, {18.75f, 0.0f, -0.4f, 0.0f}, true},
        {"left wall", 0.0f, {-18.95f, 0.0f, -0.4f, 0.0f}, {-18.75f, 0.0f, 0.4f, 0.0f}, true},
        {"past the wall, outward", 0.0f, {19.5f, 0.0f, 0.3f, 0.0f}, {19.35f, 0.0f, -0.3f, 0.0f}, true},
        {"past the wall, back", 0.0f, {19.5f, 0.0f, -0.3f, 0.0f}, {19.2f, 0.0f, -0.3f, 0.0f}, true},
        {"past the left wall, back", 0.0f, {-19.5f, 0.0f, 0.3f, 0.0f}, {-19.2f, 0.0f, 0.3f, 0.0f}, true},
        {"ceiling", 0.0f, {0.0f, 19.95f, 0.0f, 0.4f}, {0.0f, 19.75f, 0.0f, -0.4f}, true},
        {"past the ceiling, back", 0.0f, {0.0f, 20.5f, 0.0f, -0.4f}, {0.0f, 20.1f, 0.0f, -0.4f}, true},
        {"under the paddle's band", 0.0f, {0.0f, -12.55f, 0.0f, -0.6f}, {0.0f, -13.15f, 0.0f, -0.6f}, true},
        {"lost", 0.0f, {0.0f, -15.9f, 0.0f, -0.5f}, {0.0f, -16.025f, 0.0f, -0.5f}, false},
        {"paddle centre: up", 2.0f, {2.0f, -10.93f, 0.0f, -0.4f}, {2.0f, -11.128f, 0.0f, 0.408f}, true},
        {"30.56 deg, capped", 2.0f, {4.0f, -10.93f, 0.0f, -1.0f}, {4.305f, -11.0856f, 0.6101f, 0.6889f}, true},
        {"left end, -45.84 deg", 2.0f, {-1.0f, -10.93f, 0.0f, -1.0f}, {-1.4304f, -11.1513f, -0.8608f, 0.5574f}, true},
        {"15.28 deg", 2.0f, {3.0f, -10.93f, 0.0f, -0.5f}, {3.0504f, -11.182f, 0.2016f, 0.492f}, true},
        {"out of the paddle's reach", 2.0f, {5.9f, -10.93f, 0.0f, -0.4f}, {5.9f, -11.33f, 0.0f, -0.4f}, true},
    };
    for (const auto& c : cases) {
        const float* v = c.before;
        World world = FreeFlight({MakeBall(v[0], v[1], v[2], v[3]), MakeBall(-15.0f, 10.0f, 0.0f, 0.0f)}, c.paddleX);
        AdvanceWorld(world, kFrame, kFrame);
        const Ball& b = world.balls[0];
        const float after[4] = {b.x, b.y, b.vx, b.vy};
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(after[i], c.after[i], 1e-4) << c.what << " #" << i;
        }
        EXPECT_EQ(std::make_pair(b.active, world.lives), std::make_pair(c.active, 3)) << c.what;
    }
}

TEST(UpdateFrame, ABallBetweenOverlappingZivoCellsDestroysOnlyTheFirst)
{
    World world;
    BuildLevel(world, 3);
    // Between the Z's first two cells (x = -12 and -10, y = 14), rising into both.
    world.ballLaunched = true;
    world.balls = {MakeBall(-11.0f, 12.65f, 0.1f, 0.4f)};
    world.bricksDirty = false;
    AdvanceWorld(world, kFrame, kFrame);
    EXPECT_EQ(std::make_pair(world.bricks[0].alive, world.bricks[1].alive), std::make_pair(0.0f, 1.0f));
    EXPECT_EQ(std::make_tuple(world.score, world.bricksLeft, world.bricksDirty), std::make_tuple(100, 38, true));
    EXPECT_LT(world.balls[0].vy, 0.0f);  // turned back down, the horizontal kept
    EXPECT_EQ(world.balls[0].vx, 0.1f);
}

// Without autoplay a lost last ball costs a life and the last life restarts the
// level (the score stays); autoplay serves again at once and the benchmark
// leaves that frame unsampled.
TEST(UpdateFrame, LosingTheLastBall)
{
    const struct {
        bool autoplay;
        int lives, livesAfter, bricksAfter;
        bool launched;
    } cases[] = {{false, 3, 2, 79, false}, {false, 1, 3, 80, false}, {true, 1, 1, 79, true}};
    for (const auto& c : cases) {
        TestApp t;
        World& world = t.world;
        BuildLevel(t.app, 1);
        world.score = 700;
        world.bricks[0].alive = 0.0f;
        world.bricksLeft -= 1;
        world.lives = c.lives;
        world.autoplay = t.app.bench.running = c.autoplay;
        world.ballLaunched = true;
        world.balls = {MakeBall(0.0f, -15.9f, 0.0f, -0.5f)};
        const int refreshes = t.platform.panelRefreshes;
        UpdateFrame(t.app, kFrame, kFrame);
        EXPECT_EQ(std::make_tuple(world.lives, world.bricksLeft, world.ballLaunched, t.app.bench.skipNextSample),
                  std::make_tuple(c.livesAfter, c.bricksAfter, c.launched, c.autoplay)) << c.lives;
        EXPECT_EQ(std::make_tuple(world.levelIndex, world.score, CountActiveBalls(world)), std::make_tuple(1, 700, 1));
        EXPECT_GT(t.platform.panelRefreshes, refreshes);
    }
}

TEST(UpdateFrame, ClearingTheLastLevelBuildsTheFirst)
{
    World world;
    BuildLevel(world, 5);
    for (size_t i = 1; i < 1000; ++i) {
        world.bricks[i].alive = 0.0f;
    }
    world.bricksLeft = 1;
    world.autoplay = true;
    world.ballLaunched = true;
    world.balls = {MakeBall(world.bricks[0].x, world.bricks[0].y - 1.2f, 0.0f, 0.4f)};
    AdvanceWorld(world, kFrame, kFrame);
    EXPECT_EQ(std::make_tuple(world.levelIndex, world.bricksLeft, world.score), std::make_tuple(0, 80, 100));
    EXPECT_TRUE(world.ballLaunched);  // autoplay serves at once
}

TEST(UpdateFrame, AutoplayFollowsTheLowestFallingBallAboveThePaddle)
{
    World world = FreeFlight({MakeBall(-8.0f, 5.0f, 0.0f, -0.1f), MakeBall(6.0f, -2.0f, 0.0f, -0.1f),
                              MakeBall(9.0f, -10.0f, 0.0f, 0.1f), MakeBall(-3.0f, -14.0f, 0.0f, -0.1f)});
    world.autoplay = true;
    AdvanceWorld(world, 0.0f, 0.0f);
    EXPECT_NEAR(world.paddleX, 6.0f * 0.2f, 1e-6);  // a fifth of the way each frame

    // Nothing falling: the lowest ball is followed instead.
    world.balls = {MakeBall(-4.0f, 3.0f, 0.0f, 0.1f), MakeBall(-10.0f, 1.0f, 0.0f, 0.1f)};
    world.paddleX = 0.0f;
    AdvanceWorld(world, 0.0f, 0.0f);
    EXPECT_NEAR(world.paddleX, -2.0f, 1e-6);
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
    BuildLevel(t.app, 2);
    t.world.score = -100;
    t.world.activeDebris = 48;
    t.app.width = 1280;
    t.app.height = 720;
    for (int i = 0; i < 15; ++i) {
        UpdateFrame(t.app, 0.05f, 0.0625f);
        // The GPU's pass times of earlier frames arrive in between; the window averages them.
        ReportGpuPassTimes(t.app, i % 2 == 0 ? GpuPassTimes{0.5, 3.0} : GpuPassTimes{1.5, 5.0});
    }
    EXPECT_TRUE(t.platform.telemetry.empty());
    UpdateFrame(t.app, 0.05f, 0.0625f);
    ASSERT_EQ(t.platform.telemetry.size(), 1u);
    const TelemetryTexts& shown = t.platform.telemetry[0];
    EXPECT_EQ(shown.title, L"Orvalis Benchmark DX12 - Zandor | FPS: 16");
    EXPECT_EQ(shown.fps + L"|" + shown.bricks + L"|" + shown.debris + L"|" + shown.score + L"|" + shown.lives,
              L"FPS: 16.0|Current Bricks: 66|Current Debris: 48|Score: -100|Lives: 3");
    EXPECT_EQ(shown.resolution, L"Current: 1280x720");
    EXPECT_EQ(shown.gpu, L"GPU: physics 0.97 ms, render 3.93 ms");  // 8 x (0.5, 3) and 7 x (1.5, 5)

    t.app.gpu.hdrEnabled = true;
    UpdateFrame(t.app, 0.05f, 2.5f);  // one long frame closes the window at once
    EXPECT_EQ(t.platform.telemetry.back().title, L"Orvalis Benchmark DX12 - Zandor | FPS: 0 | HDR ON");
    EXPECT_EQ(t.platform.telemetry.back().fps, L"FPS: 0.4");
    EXPECT_EQ(t.platform.telemetry.back().gpu, L"");  // no pass times in that window

    // The frames of the benchmark's pause, the one that ends it too, are neither counted nor timed.
    StartConfiguredBenchmark(t.app, 854, 480, 80, false, false);
    while (!t.app.bench.pausing) {
        UpdateFrame(t.app, 0.05f, 0.0625f);
    }
    const FrameTiming before = t.app.timing;
    const size_t refreshes = t.platform.telemetry.size();
    int paused = 0;
    for (; t.app.bench.pausing; ++paused) {
        UpdateFrame(t.app, 0.05f, 0.0625f);
    }
    EXPECT_EQ(paused, 32);
    EXPECT_EQ(std::make_tuple(t.app.timing.fpsFrames, t.app.timing.fpsSeconds, t.platform.telemetry.size()),
              std::make_tuple(before.fpsFrames, before.fpsSeconds, refreshes));
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
