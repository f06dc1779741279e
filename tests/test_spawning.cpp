#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "game/spawning.h"
#include "test_support.h"

// The random source starts as the Windows C runtime's: 41, 18467, 6334, ...
// A clone's horizontal speed is its source's mirrored plus draw / 32767 x 0.4 - 0.2:
// -0.19950 for the first draw, +0.02543 for the second.

namespace {

// `active` balls in play at x = y = 0, 1, 2, ... (vx 0.1, vy 0.2), followed by `lost` ones.
World WithBalls(int active, int lost = 0)
{
    World world;
    for (int i = 0; i < active + lost; ++i) {
        world.balls.push_back(MakeBall(static_cast<float>(i), static_cast<float>(i), 0.1f, 0.2f, i < active));
    }
    world.ballLaunched = true;
    return world;
}

std::tuple<float, float, float> Rgb(const Ball& ball) { return {ball.r, ball.g, ball.b}; }
std::tuple<float, float, float> Rgb(BallColour colour) { return {colour.r, colour.g, colour.b}; }

}  // namespace

TEST(LaunchBall, TheWaitingBallLeavesUpwardsAtSpeedPointFourOnce)
{
    World world;
    BuildLevel(world, 0);
    LaunchBall(world);
    LaunchBall(world);  // once launched, nothing changes and nothing is drawn
    EXPECT_TRUE(world.ballLaunched);
    EXPECT_NEAR(world.balls[0].vx, -0.098719, 1e-6);  // the first draw: 0.2494 rad left of vertical
    EXPECT_NEAR(world.balls[0].vy, 0.387627, 1e-6);
    EXPECT_EQ(world.random.Next(), 18467);
    World empty;
    LaunchBall(empty);
    EXPECT_FALSE(empty.ballLaunched);
    EXPECT_EQ(empty.random.Next(), 41);
}

// No more than twelve balls are ever in play through the ball commands, and
// the slots of lost balls are filled before the array grows.
TEST(SpawnBall, EachModeAddsUpToTwelveBallsInPlayAndSaysHowMany)
{
    const struct {
        int active, lost, mode, activeAfter;
        size_t sizeAfter;
        const char* log;  // "" for none
    } cases[] = {
        {3, 0, kSpawnAdd, 4, 4, "ADD mode created 1 ball (now 4 active, 4 array size)"},
        {12, 0, kSpawnAdd, 12, 12, ""},
        {7, 0, kSpawnDouble, 12, 12, "DOUBLE mode created 5 balls (now 12 active, 12 array size)"},
        // Ball 0 is cloned into slot 1, which is in play when the loop reaches it, and so on.
        {1, 11, kSpawnDouble, 12, 12, "DOUBLE mode created 11 balls (now 12 active, 12 array size)"},
        {1, 0, kSpawnRgb, 3, 3, "RGB mode processed 1 balls, created 2 new (now 3 active, 3 array size)"},
        {11, 0, kSpawnRgb, 12, 12, "RGB mode processed 1 balls, created 1 new (now 12 active, 12 array size)"},
        // Twelve in play (after the benchmark's trio) and lost balls' slots free: still the limit.
        {12, 3, kSpawnAdd, 12, 15, ""},
        {12, 3, kSpawnDouble, 12, 15, "DOUBLE mode created 0 balls (now 12 active, 15 array size)"},
        {12, 3, kSpawnRgb, 12, 15, "RGB mode processed 0 balls, created 0 new (now 12 active, 15 array size)"},
    };
    for (const auto& c : cases) {
        World world = WithBalls(c.active, c.lost);
        const WorldEffects effects = SpawnBall(world, c.mode);
        const std::string name = "mode " + std::to_string(c.mode) + " with " + std::to_string(c.active);
        EXPECT_EQ(CountActiveBalls(world), c.activeAfter) << name;
        EXPECT_EQ(world.balls.size(), c.sizeAfter) << name;
        const std::string line = *c.log ? "SpawnBall: " + std::string(c.log) + "\n" : "";
        EXPECT_EQ(effects.logLines, line.empty() ? std::vector<std::string>{} : std::vector<std::string>{line}) << name;
    }
}

TEST(SpawnBall, AddClonesTheHighestBallInOrangeAndDoubleKeepsEachColour)
{
    World world = WithBalls(3);
    world.balls[1].y = 9.0f;  // the highest
    world.balls[1].vx = 0.3f;
    Paint(world.balls[1], kBlue);
    world.balls.shrink_to_fit();  // the first clone moves the array
    SpawnBall(world, kSpawnAdd);
    ASSERT_EQ(world.balls.size(), 4u);
    const Ball& added = world.balls[3];
    EXPECT_EQ(std::make_tuple(added.x, added.y, added.vy), std::make_tuple(1.0f, 9.0f, 0.2f));
    EXPECT_NEAR(added.vx, -0.3f - 0.1995f, 1e-4);
    EXPECT_EQ(Rgb(added), Rgb(kOrange));

    SpawnBall(world, kSpawnDouble);
    ASSERT_EQ(world.balls.size(), 8u);
    for (size_t i = 0; i < 4; ++i) {
        const Ball& source = world.balls[i];
        const Ball& clone = world.balls[4 + i];
        EXPECT_EQ(std::make_tuple(clone.x, clone.y, clone.vy), std::make_tuple(source.x, source.y, source.vy)) << i;
        EXPECT_EQ(Rgb(clone), Rgb(source)) << i;
    }
    EXPECT_NEAR(world.balls[4].vx, -0.1f + 0.0254f, 1e-4);  // the second draw
}

TEST(SpawnBall, RgbTurnsABallRedAndSendsAGreenAndABlueOffToEitherSide)
{
    World world = WithBalls(1);
    SpawnBall(world, kSpawnRgb);
    ASSERT_EQ(world.balls.size(), 3u);
    EXPECT_EQ(Rgb(world.balls[0]), Rgb(kRed));
    EXPECT_EQ(Rgb(world.balls[1]), Rgb(kGreen));
    EXPECT_EQ(Rgb(world.balls[2]), Rgb(kBlue));
    EXPECT_NEAR(world.balls[1].vx, -(0.1f + 0.2f) - 0.1995f, 1e-4);
    EXPECT_NEAR(world.balls[2].vx, -(0.1f - 0.2f) + 0.0254f, 1e-4);
    EXPECT_EQ(world.balls[1].vy, 0.2f);
}

TEST(SpawnBall, TheBallButtonsCloneAWaitingBallAndLaunchIt)
{
    for (const auto& [button, balls] : {std::pair{L"+1 Ball", 2}, {L"x2 Split", 2}, {L"RGB Split", 3}}) {
        TestApp t;
        BuildLevel(t.app, 0);
        Click(t, button);
        EXPECT_TRUE(t.world.ballLaunched);
        EXPECT_EQ(CountActiveBalls(t.world), balls);
        EXPECT_EQ(std::make_tuple(t.world.balls[1].y, t.world.balls[1].vy), std::make_tuple(-11.0f, 0.0f));
    }
    TestApp t;  // the clone drew first, so the launch takes the second draw
    BuildLevel(t.app, 0);
    Click(t, L"+1 Ball");
    EXPECT_NEAR(t.world.balls[0].vx, 0.012715, 1e-6);
    EXPECT_EQ(t.platform.LinesStartingWith("SpawnBall: ADD mode created 1 ball (now 2 active").size(), 1u);
}

TEST(SpawnRgbTrio, DropsRedGreenAndBlueFromTheTopBeyondTheLimit)
{
    World world = WithBalls(11);
    SpawnRgbTrio(world);
    ASSERT_EQ(world.balls.size(), 14u);
    EXPECT_EQ(CountActiveBalls(world), 14);
    const struct {
        float x, vx, vy;
        BallColour colour;
    } expected[] = {{-3.0f, -0.087977f, -0.262983f, kRed}, {0.0f, -0.003974f, -0.249968f, kGreen},
                    {3.0f, 0.138797f, -0.240074f, kBlue}};  // down along their aims, turned by the draws
    for (size_t i = 0; i < 3; ++i) {
        const Ball& ball = world.balls[11 + i];
        EXPECT_EQ(std::make_tuple(ball.x, ball.y), std::make_tuple(expected[i].x, 15.0f));
        EXPECT_NEAR(ball.vx, expected[i].vx, 1e-6) << i;
        EXPECT_NEAR(ball.vy, expected[i].vy, 1e-6) << i;
        EXPECT_EQ(Rgb(ball), Rgb(expected[i].colour));
    }

    // Over the limit RGB still turns every ball red, but none gets a partner.
    const WorldEffects effects = SpawnBall(world, kSpawnRgb);
    for (const Ball& ball : world.balls) {
        EXPECT_EQ(ball.r, kRed.r);
    }
    EXPECT_EQ(effects.logLines.back(),
              "SpawnBall: RGB mode processed 14 balls, created 0 new (now 14 active, 14 array size)\n");
}
