#include <gtest/gtest.h>

#include <cmath>

#include "game/spawning.h"
#include "test_support.h"

namespace {

// The n-th value (from 0) of the runtime sequence from its default state.
int NthRand(int n)
{
    CrtRandom r;
    int v = 0;
    for (int i = 0; i <= n; ++i) {
        v = r.Next();
    }
    return v;
}

float CloneVx(int randValue, float templateVx)
{
    return static_cast<float>(randValue / 32767.0 * 0.4 - 0.2 - templateVx);
}

void FillActive(World& world, int count)
{
    world.balls.clear();
    for (int i = 0; i < count; ++i) {
        world.balls.push_back(MakeBall(static_cast<float>(i), static_cast<float>(i), 0.1f, 0.2f));
    }
    world.ballLaunched = true;
}

}  // namespace

TEST(LaunchBall, GivesTheFirstBallSpeedPointFourWithinAQuarterRadianOfVertical)
{
    World world;
    ResetBallOnPaddle(world);
    LaunchBall(world);
    const float a = static_cast<float>((41 / 32767.0 - 0.5) * 0.5);
    EXPECT_TRUE(world.ballLaunched);
    EXPECT_FLOAT_EQ(world.balls[0].vx, std::sin(a) * 0.4f);
    EXPECT_FLOAT_EQ(world.balls[0].vy, std::cos(a) * 0.4f);
    EXPECT_NEAR(std::hypot(world.balls[0].vx, world.balls[0].vy), 0.4, 1e-6);

    // A second launch changes nothing and consumes no random value.
    const Ball before = world.balls[0];
    LaunchBall(world);
    EXPECT_EQ(world.balls[0].vx, before.vx);
    EXPECT_EQ(world.random.Next(), NthRand(1));
}

TEST(LaunchBall, DoesNothingWithoutBalls)
{
    World world;
    LaunchBall(world);
    EXPECT_FALSE(world.ballLaunched);
    EXPECT_EQ(world.random.Next(), NthRand(0));
}

TEST(SpawnBall, AddClonesTheHighestBallInOrangeAndRespectsTheLimit)
{
    World world;
    WorldEffects effects;
    FillActive(world, 3);
    world.balls[1].y = 9.0f;  // highest
    world.balls[1].vx = 0.3f;
    Paint(world.balls[1], kBlue);
    effects = SpawnBall(world, kSpawnAdd);
    ASSERT_EQ(world.balls.size(), 4u);
    const Ball& added = world.balls[3];
    EXPECT_EQ(added.y, 9.0f);
    EXPECT_FLOAT_EQ(added.vx, CloneVx(NthRand(0), 0.3f));
    EXPECT_EQ(added.vy, world.balls[1].vy);
    EXPECT_EQ(added.r, 1.5f);
    EXPECT_EQ(added.b, 0.2f);
    EXPECT_EQ(effects.logLines.back(), "SpawnBall: ADD mode created 1 ball (now 4 active, 4 array size)\n");

    FillActive(world, 12);
    effects = SpawnBall(world, kSpawnAdd);
    EXPECT_EQ(world.balls.size(), 12u);
    EXPECT_TRUE(effects.logLines.empty());
}

TEST(SpawnBall, DoubleWithSevenActiveCreatesFiveAndStopsAtTwelve)
{
    World world;
    WorldEffects effects;
    FillActive(world, 7);
    effects = SpawnBall(world, kSpawnDouble);
    EXPECT_EQ(CountActiveBalls(world), 12);
    EXPECT_EQ(world.balls.size(), 12u);
    EXPECT_EQ(effects.logLines.back(), "SpawnBall: DOUBLE mode created 5 balls (now 12 active, 12 array size)\n");
    // Each clone keeps its source's colour and position.
    EXPECT_EQ(world.balls[7].x, world.balls[0].x);
    EXPECT_EQ(world.balls[11].x, world.balls[4].x);
    EXPECT_EQ(world.balls[11].r, world.balls[4].r);
}

TEST(SpawnBall, DoubleCopiesItsTemplateBeforeTheArrayGrows)
{
    World world;
    WorldEffects effects;
    FillActive(world, 3);
    for (int i = 0; i < 3; ++i) {
        world.balls[static_cast<size_t>(i)].vx = 0.05f * static_cast<float>(i + 1);
        world.balls[static_cast<size_t>(i)].vy = -0.1f * static_cast<float>(i + 1);
    }
    world.balls.shrink_to_fit();  // the first append must move the array
    effects = SpawnBall(world, kSpawnDouble);
    ASSERT_EQ(world.balls.size(), 6u);
    for (int i = 0; i < 3; ++i) {
        const Ball& clone = world.balls[static_cast<size_t>(3 + i)];
        EXPECT_EQ(clone.x, static_cast<float>(i));
        EXPECT_FLOAT_EQ(clone.vy, -0.1f * static_cast<float>(i + 1));
        EXPECT_FLOAT_EQ(clone.vx, CloneVx(NthRand(i), 0.05f * static_cast<float>(i + 1)));
    }
}

TEST(SpawnBall, ReusesLostSlotsBeforeGrowingAndClonesAReusedSlotInTurn)
{
    World world;
    WorldEffects effects;
    FillActive(world, 12);
    for (size_t i = 1; i < 12; ++i) {
        world.balls[i].active = false;
    }
    world.balls[0].x = 4.0f;
    effects = SpawnBall(world, kSpawnDouble);
    // Ball 0 is cloned into slot 1; slot 1 is active when the loop reaches it
    // and is cloned into slot 2, and so on: the array never grows.
    EXPECT_EQ(world.balls.size(), 12u);
    EXPECT_EQ(CountActiveBalls(world), 12);
    for (const Ball& b : world.balls) {
        EXPECT_EQ(b.x, 4.0f);
    }
    EXPECT_EQ(effects.logLines.back(), "SpawnBall: DOUBLE mode created 11 balls (now 12 active, 12 array size)\n");
}

TEST(SpawnBall, RgbSplitsOneBallIntoRedGreenAndBlue)
{
    World world;
    WorldEffects effects;
    FillActive(world, 1);
    world.balls[0].vx = 0.1f;
    effects = SpawnBall(world, kSpawnRgb);
    ASSERT_EQ(world.balls.size(), 3u);
    EXPECT_EQ(world.balls[0].r, 3.0f);
    EXPECT_EQ(world.balls[1].g, 3.0f);
    EXPECT_EQ(world.balls[2].b, 6.0f);
    EXPECT_FLOAT_EQ(world.balls[1].vx, CloneVx(NthRand(0), 0.1f + 0.2f));
    EXPECT_FLOAT_EQ(world.balls[2].vx, CloneVx(NthRand(1), 0.1f - 0.2f));
    EXPECT_EQ(effects.logLines.back(),
              "SpawnBall: RGB mode processed 1 balls, created 2 new (now 3 active, 3 array size)\n");
}

TEST(SpawnBall, RgbWithElevenActiveGivesOnlyAGreenPartner)
{
    World world;
    WorldEffects effects;
    FillActive(world, 11);
    effects = SpawnBall(world, kSpawnRgb);
    EXPECT_EQ(CountActiveBalls(world), 12);
    EXPECT_EQ(world.balls[0].r, 3.0f);
    EXPECT_EQ(world.balls[11].g, 3.0f);
    EXPECT_EQ(world.balls[1].r, 1.5f);  // the loop stopped: no slot left
    EXPECT_EQ(effects.logLines.back(),
              "SpawnBall: RGB mode processed 1 balls, created 1 new (now 12 active, 12 array size)\n");
}

TEST(SpawnBall, AddWhileWaitingClonesTheWaitingBallAndLaunchesIt)
{
    World world;
    WorldEffects effects;
    BuildLevel(world, 0);
    effects = SpawnBall(world, kSpawnAdd);
    ASSERT_EQ(world.balls.size(), 2u);
    EXPECT_EQ(world.balls[1].vy, 0.0f);
    EXPECT_EQ(world.balls[1].y, -11.0f);
    EXPECT_TRUE(world.ballLaunched);
    const float a = static_cast<float>((NthRand(1) / 32767.0 - 0.5) * 0.5);
    EXPECT_FLOAT_EQ(world.balls[0].vy, std::cos(a) * 0.4f);

    // Any other mode still launches a waiting ball.
    BuildLevel(world, 0);
    effects = SpawnBall(world, 9);
    EXPECT_TRUE(world.ballLaunched);
    EXPECT_EQ(world.balls.size(), 1u);
}

TEST(SpawnRgbTrio, AppendsThreeColouredBallsBeyondTheLimit)
{
    World world;
    FillActive(world, 11);
    SpawnRgbTrio(world);
    ASSERT_EQ(world.balls.size(), 14u);
    EXPECT_EQ(CountActiveBalls(world), 14);
    const Ball& red = world.balls[11];
    const Ball& green = world.balls[12];
    const Ball& blue = world.balls[13];
    EXPECT_EQ(red.x, -3.0f);
    EXPECT_EQ(green.x, 0.0f);
    EXPECT_EQ(blue.x, 3.0f);
    EXPECT_EQ(red.y, 15.0f);
    EXPECT_EQ(red.r, 3.0f);
    EXPECT_EQ(green.g, 3.0f);
    EXPECT_EQ(blue.b, 6.0f);
    EXPECT_NEAR(std::hypot(red.vx, red.vy), std::sqrt(0.0769), 1e-6);
    EXPECT_NEAR(std::hypot(green.vx, green.vy), 0.25, 1e-6);
    const float greenAngle = static_cast<float>((NthRand(1) / 32767.0 - 0.5) * 0.25) + std::atan2(0.0f, -0.25f);
    EXPECT_FLOAT_EQ(green.vx, std::sin(greenAngle) * 0.25f);
    EXPECT_LT(red.vx, 0.0f);
    EXPECT_GT(blue.vx, 0.0f);
    EXPECT_LT(blue.vy, 0.0f);

    // Further clones are refused until enough balls are lost.
    EXPECT_FALSE(CloneBall(world, red, true));
    EXPECT_EQ(world.balls.size(), 14u);

    // RGB over the limit still visits every active ball: all turn red, none gets a partner.
    const WorldEffects effects = SpawnBall(world, kSpawnRgb);
    for (const Ball& ball : world.balls) {
        EXPECT_EQ(ball.r, 3.0f);
    }
    EXPECT_EQ(world.balls.size(), 14u);
    EXPECT_EQ(effects.logLines.back(),
              "SpawnBall: RGB mode processed 14 balls, created 0 new (now 14 active, 14 array size)\n");
}
