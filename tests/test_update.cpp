#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "app/frame.h"
#include "app/commands.h"
#include "app/frame_clock.h"
#include "bench/benchmark.h"
#include "bench/gpu_timing.h"
#include "game/update.h"
#include "test_support.h"

namespace {

constexpr float kFrame = 1.0f / 60.0f;

// A world with no bricks in the way and one launched ball.
void FreeFlight(World& world, Ball ball)
{
    BuildLevel(world, 0);
    ClearBricks(world);
    world.balls = {ball};
    world.ballLaunched = true;
}

// One frame of the game alone.
WorldFrame Advance(World& world, float step)
{
    return AdvanceWorld(world, step, step);
}

}  // namespace

TEST(UpdateFrame, OneSixtiethOfASecondMovesABallByItsVelocity)
{
    World world;
    FreeFlight(world, MakeBall(1.0f, 2.0f, 0.3f, -0.2f));
    Advance(world, kFrame);
    EXPECT_NEAR(world.balls[0].x, 1.3f, 1e-5);
    EXPECT_NEAR(world.balls[0].y, 1.8f, 1e-5);
    EXPECT_NEAR(world.gameTime, kFrame, 1e-7);
}

TEST(UpdateFrame, ZeroStepMovesNothingButHandsOverABurstAndWritesConstants)
{
    TestApp t;
    FreeFlight(t.world, MakeBall(1.0f, 2.0f, 0.3f, -0.2f));
    t.world.explosionQueue.push_back(ExplosionEvent{7.0f, 1.0f, 1.0f});
    t.world.explosionQueue.push_back(ExplosionEvent{8.0f, 1.0f, 1.0f});
    UpdateFrame(t.app, 0.0f, 0.0f);
    EXPECT_EQ(t.world.balls[0].x, 1.0f);
    EXPECT_EQ(t.world.balls[0].y, 2.0f);
    EXPECT_EQ(t.world.currentExplosion.code, 7.0f);
    EXPECT_EQ(t.app.frameConstants.explosionCode, 7.0f);
    EXPECT_EQ(t.world.explosionQueue.size(), 1u);
}

TEST(UpdateFrame, CeilingTurnsBackRisingBallsAndTheLossLineRemoves)
{
    World world;
    FreeFlight(world, MakeBall(0.0f, 19.9f, 0.0f, 0.4f));
    Advance(world, kFrame);
    EXPECT_LT(world.balls[0].vy, 0.0f);

    // A brick at the ceiling turns the ball back up in the sub-step it crosses
    // y = 20 (level 5's small bricks, a third one far away): it still comes back.
    BuildLevel(world, 5);
    ClearBricks(world);
    world.bricks[0] = Brick{2.0f, 20.0f, 0.0f, 1.0f};
    world.bricks[1] = Brick{3.0f, 20.0f, 0.0f, 1.0f};
    world.bricks[2] = Brick{-15.0f, 0.0f, 0.0f, 1.0f};
    world.bricksLeft = 3;
    world.ballLaunched = true;
    world.balls = {MakeBall(0.67f, 19.95f, 0.36f, 0.4f)};
    for (int i = 0; i < 60 && world.balls[0].y >= 19.0f; ++i) {
        Advance(world, kFrame);
    }
    EXPECT_LT(world.balls[0].y, 19.0f);

    // Passing the paddle band far from the paddle is not yet a loss.
    FreeFlight(world, MakeBall(15.0f, -15.0f, 0.0f, -0.6f));
    world.paddleX = -15.0f;
    Ball second = MakeBall(-15.0f, 10.0f, 0.0f, 0.0f);  // keeps the game going
    world.balls.push_back(second);
    Advance(world, kFrame);
    EXPECT_TRUE(world.balls[0].active);  // at -15.6
    Advance(world, kFrame);
    EXPECT_FALSE(world.balls[0].active);  // below -16
    EXPECT_EQ(world.lives, 3);
}

TEST(UpdateFrame, SideWallsTurnBackOnlyBallsMovingOutward)
{
    const struct {
        float x, vx, vxAfter;
    } cases[] = {
        {18.95f, 0.4f, -0.4f},  // an ordinary bounce from inside
        {-18.95f, -0.4f, 0.4f},
        {19.5f, 0.3f, -0.3f},   // beyond the wall and still moving out
        {19.5f, -0.3f, -0.3f},  // beyond the wall but already heading back: kept
        {-19.5f, 0.3f, 0.3f},
    };
    for (const auto& c : cases) {
        World world;
        FreeFlight(world, MakeBall(c.x, 0.0f, c.vx, 0.0f));
        Advance(world, kFrame);
        EXPECT_EQ(world.balls[0].vx, c.vxAfter) << "x " << c.x << ", vx " << c.vx;
    }

    // The paddle, reaching past the wall, sends a ball outward there: it comes back in.
    World world;
    FreeFlight(world, MakeBall(19.5f, -11.5f, 0.0f, -0.4f));
    world.paddleX = 16.5f;
    world.prevPaddleX = 16.5f;
    for (int i = 0; i < 10; ++i) {
        Advance(world, kFrame);
    }
    EXPECT_LT(world.balls[0].x, 19.0f);
    EXPECT_LT(world.balls[0].vx, 0.0f);
    EXPECT_GT(world.balls[0].vy, 0.0f);
}

// A paddle hit d units from its centre sends the ball off at d / 3 x 0.8 rad
// from the vertical, 2 % faster up to 0.8, its horizontal part then stretched by 1.5.
TEST(UpdateFrame, PaddleHitsSetTheAngleBySpotAndStretchTheHorizontal)
{
    const struct {
        float d, vy, speed, degrees;
    } cases[] = {
        {0.0f, -0.4f, 0.408f, 0.0f},      // the centre: straight up
        {2.0f, -1.0f, 0.8f, 30.5577f},    // right of centre sends it right, at the 0.8 cap
        {-3.0f, -1.0f, 0.8f, -45.8366f},  // the left end
        {1.0f, -0.5f, 0.51f, 15.2789f},
    };
    for (const auto& c : cases) {
        World world;
        FreeFlight(world, MakeBall(2.0f + c.d, -11.0f, 0.0f, c.vy));
        world.paddleX = 2.0f;
        world.prevPaddleX = 2.0f;
        Advance(world, kFrame);
        const Ball& b = world.balls[0];
        const double unstretched = b.vx / 1.5;
        EXPECT_NEAR(std::atan2(unstretched, b.vy) * 180.0 / 3.14159265358979, c.degrees, 1e-3) << c.d;
        EXPECT_NEAR(std::hypot(unstretched, b.vy), c.speed, 1e-5) << c.d;
    }
}

TEST(UpdateFrame, OverlappingZivoCellsLoseOnlyTheLowerSlotPerSubStep)
{
    World world;
    BuildLevel(world, 3);
    // The Z's top row: slots 0, 1, 2 at x = -12, -10, -8, y = 14; their reach overlaps.
    world.ballLaunched = true;
    // Between the first two cells, rising into both: the first sub-step reaches y = 12.75.
    world.balls = {MakeBall(-11.0f, 12.65f, 0.0f, 0.4f)};
    Advance(world, kFrame);
    EXPECT_EQ(world.bricks[0].alive, 0.0f);
    EXPECT_EQ(world.bricks[1].alive, 1.0f);
    EXPECT_EQ(world.score, 100);
    EXPECT_EQ(world.bricksLeft, 38);
    EXPECT_TRUE(world.bricksDirty);
}

TEST(UpdateFrame, LosingTheLastBallCostsALifeAndGameOverRestartsTheLevel)
{
    World world;
    BuildLevel(world, 1);
    world.score = 700;
    world.ballLaunched = true;
    world.balls = {MakeBall(0.0f, -15.9f, 0.0f, -0.5f)};
    Advance(world, kFrame);
    EXPECT_EQ(world.lives, 2);
    EXPECT_FALSE(world.ballLaunched);

    world.lives = 1;
    world.bricks[0].alive = 0.0f;
    world.bricksLeft -= 1;
    world.ballLaunched = true;
    world.balls = {MakeBall(0.0f, -15.9f, 0.0f, -0.5f)};
    Advance(world, kFrame);
    EXPECT_EQ(world.levelIndex, 1);
    EXPECT_EQ(world.lives, 3);
    EXPECT_EQ(world.bricksLeft, 80);
    EXPECT_EQ(world.score, 700);
    EXPECT_FALSE(world.ballLaunched);
    EXPECT_EQ(world.balls.size(), 1u);
}

TEST(UpdateFrame, AutoplayNeverLosesLivesAndMarksTheNextBenchmarkSampleSkipped)
{
    TestApp t;
    BuildLevel(t.app, 0);
    t.world.autoplay = true;
    t.app.bench.running = true;
    t.world.ballLaunched = true;
    t.world.balls = {MakeBall(10.0f, -15.9f, 0.0f, -0.5f)};
    UpdateFrame(t.app, kFrame, kFrame);
    EXPECT_EQ(t.world.lives, 3);
    EXPECT_TRUE(t.world.ballLaunched);
    EXPECT_EQ(CountActiveBalls(t.world), 1);
    EXPECT_TRUE(t.app.bench.skipNextSample);
}

TEST(UpdateFrame, ClearingTheLastLevelBuildsTheFirst)
{
    World world;
    BuildLevel(world, 5);
    for (int i = 1; i < 1000; ++i) {
        world.bricks[static_cast<size_t>(i)].alive = 0.0f;
    }
    world.bricksLeft = 1;
    world.autoplay = true;
    world.ballLaunched = true;
    const Brick& last = world.bricks[0];
    world.balls = {MakeBall(last.x, last.y - 1.2f, 0.0f, 0.4f)};
    Advance(world, kFrame);
    EXPECT_EQ(world.levelIndex, 0);
    EXPECT_EQ(world.bricksLeft, 80);
    EXPECT_TRUE(world.ballLaunched);  // autoplay serves at once
    EXPECT_EQ(world.score, 100);
}

TEST(UpdateFrame, MoveKeysSteerAtThirtyUnitsPerSecondAndCancelOut)
{
    World world;
    BuildLevel(world, 0);
    world.moveLeft = true;
    Advance(world, 0.05f);
    EXPECT_NEAR(world.paddleX, -1.5f, 1e-6);
    world.moveRight = true;
    Advance(world, 0.05f);
    EXPECT_NEAR(world.paddleX, -1.5f, 1e-6);
    world.moveRight = false;
    for (int i = 0; i < 40; ++i) {
        Advance(world, 0.05f);
    }
    EXPECT_EQ(world.paddleX, -16.5f);
    EXPECT_EQ(world.balls[0].x, -16.5f);  // the waiting ball rides along
}

TEST(UpdateFrame, AutoplayFollowsTheLowestFallingBall)
{
    World world;
    FreeFlight(world, MakeBall(-8.0f, 5.0f, 0.0f, -0.1f));
    world.balls.push_back(MakeBall(6.0f, -2.0f, 0.0f, -0.1f));   // lowest falling: the target
    world.balls.push_back(MakeBall(9.0f, -10.0f, 0.0f, 0.1f));   // lower, but rising
    world.autoplay = true;
    Advance(world, 0.0f);
    EXPECT_NEAR(world.paddleX, 6.0f * 0.2f, 1e-6);

    // Nothing falling: the lowest active ball is followed instead.
    world.balls = {MakeBall(-4.0f, 3.0f, 0.0f, 0.1f), MakeBall(-10.0f, 1.0f, 0.0f, 0.1f)};
    world.paddleX = 0.0f;
    Advance(world, 0.0f);
    EXPECT_NEAR(world.paddleX, -2.0f, 1e-6);
}

TEST(UpdateFrame, FixedStepRunsOnlyWholeTicks)
{
    World world;
    BuildLevel(world, 3);
    ClearBricks(world);
    world.deterministicRun = true;
    world.ballLaunched = true;
    world.balls = {MakeBall(0.0f, 0.0f, 0.1f, 0.1f)};
    world.explosionQueue.push_back(ExplosionEvent{3.0f, 0, 0});
    Advance(world, 0.01f);
    EXPECT_EQ(world.balls[0].x, 0.0f);  // no tick yet
    EXPECT_EQ(world.currentExplosion.code, 3.0f);
    Advance(world, 0.01f);
    EXPECT_NEAR(world.balls[0].x, 0.1f, 1e-6);  // one tick of 1/60 s
    Advance(world, 0.05f);
    EXPECT_NEAR(world.balls[0].x, 0.4f, 1e-5);  // three more ticks
    AdvanceWorld(world, 0.05f, 0.2f);
    EXPECT_NEAR(world.balls[0].x, 1.6f, 1e-5);  // a long frame: the world keeps pace with the clock
}

TEST(UpdateFrame, FrameRateWindowClosesOnTheFrameThatReachesOneSecondAndSkipsThePause)
{
    TestApp t;
    BuildLevel(t.app, 0);
    for (int i = 0; i < 15; ++i) {
        UpdateFrame(t.app, 0.05f, 0.0625f);
        // The GPU's pass times of earlier frames arrive in between; the window averages them.
        ReportGpuPassTimes(t.app, i % 2 == 0 ? GpuPassTimes{0.5, 3.0} : GpuPassTimes{1.5, 5.0});
    }
    EXPECT_TRUE(t.platform.telemetry.empty());
    UpdateFrame(t.app, 0.05f, 0.0625f);
    ASSERT_EQ(t.platform.telemetry.size(), 1u);
    EXPECT_EQ(t.app.timing.fps, 16.0);
    EXPECT_EQ(t.platform.telemetry[0].title, L"Orvalis Benchmark DX12 - Zandor | FPS: 16");
    EXPECT_EQ(t.platform.telemetry[0].fps, L"FPS: 16.0");
    EXPECT_EQ(t.platform.telemetry[0].gpu, L"GPU: physics 0.97 ms, render 3.93 ms");  // 8 x (0.5, 3) and 7 x (1.5, 5)
    EXPECT_EQ(t.app.timing.fpsFrames, 0u);

    UpdateFrame(t.app, 0.05f, 2.5f);  // one long frame closes the window at once
    EXPECT_EQ(t.platform.telemetry.back().title, L"Orvalis Benchmark DX12 - Zandor | FPS: 0");
    EXPECT_EQ(t.platform.telemetry.back().fps, L"FPS: 0.4");
    EXPECT_EQ(t.platform.telemetry.back().gpu, L"");  // no pass times in that window (no timestamps)

    // The frames of the benchmark's pause, the one that ends it too, are neither counted nor timed.
    StartConfiguredBenchmark(t.app, 854, 480, 80, false, false);
    while (!t.app.bench.pausing) {
        UpdateFrame(t.app, 0.05f, 0.0625f);
    }
    const FrameTiming before = t.app.timing;
    const size_t shown = t.platform.telemetry.size();
    int paused = 0;
    for (; t.app.bench.pausing; ++paused) {
        UpdateFrame(t.app, 0.05f, 0.0625f);
    }
    EXPECT_EQ(paused, 32);
    EXPECT_EQ(t.app.timing.fpsFrames, before.fpsFrames);
    EXPECT_EQ(t.app.timing.fpsSeconds, before.fpsSeconds);
    EXPECT_EQ(t.platform.telemetry.size(), shown);
    UpdateFrame(t.app, 0.05f, 0.0625f);
    EXPECT_EQ(t.app.timing.fpsFrames, before.fpsFrames + 1);
}

TEST(FrameClock, CounterTicksBecomeNanosecondsWithoutOverflow)
{
    const struct {
        int64_t count, frequency, nanoseconds;
    } cases[] = {
        {123456789, 10000000, 12345678900},          // 10 MHz: count x 100
        {10000000000, 3000000, 3333333333333},       // count x 10^9 alone would overflow here
        {27670116110564327, 3000000, 9223372036854775666},  // near 2^63 nanoseconds
        {2999999, 3000000, 999999666},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CounterNanoseconds(c.count, c.frequency), c.nanoseconds) << c.count << " at " << c.frequency;
    }
}
