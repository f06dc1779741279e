#include <gtest/gtest.h>

#include "app/commands.h"
#include "game/input.h"
#include "test_support.h"

namespace {

constexpr int64_t kFirstPress = 0x00000001;
constexpr int64_t kRepeat = 0x00000001 | kKeyWasDown;

WorldEffects Press(World& world, uint64_t virtualKey)
{
    return HandleGameKey(world, virtualKey, kFirstPress);
}

}  // namespace

TEST(Keys, SpaceLaunchesOnceAndRepeatsAreIgnored)
{
    World world;
    BuildLevel(world, 0);
    HandleGameKey(world, key::kSpace, kRepeat);
    EXPECT_FALSE(world.ballLaunched);
    Press(world, key::kSpace);
    EXPECT_TRUE(world.ballLaunched);
    const float vx = world.balls[0].vx;
    Press(world, key::kSpace);
    EXPECT_EQ(world.balls[0].vx, vx);
}

TEST(Keys, MoveKeysActOnRepeatsAndReleaseClearsTheSharedFlag)
{
    World world;
    HandleGameKey(world, key::kLeft, kRepeat);
    EXPECT_TRUE(world.moveLeft);
    HandleGameKeyUp(world, key::kA);  // A shares the flag with Left
    EXPECT_FALSE(world.moveLeft);
    HandleGameKey(world, key::kD, kFirstPress);
    EXPECT_TRUE(world.moveRight);
    HandleGameKeyUp(world, key::kRight);
    EXPECT_FALSE(world.moveRight);
}

TEST(Keys, SettingsStayWithinTheirBounds)
{
    struct Case {
        uint64_t virtualKey;
        float before;
        float after;
        float World::*setting;
    };
    const Case floats[] = {
        {key::kG, 0.55f, 0.5f, &World::ballGlow},    {key::kH, 4.95f, 5.0f, &World::ballGlow},
        {key::kBrighter, 1.95f, 2.0f, &World::brightness}, {key::kDarker, 0.05f, 0.0f, &World::brightness},
    };
    for (const Case& c : floats) {
        World world;
        world.*c.setting = c.before;
        Press(world, c.virtualKey);
        EXPECT_EQ(world.*c.setting, c.after) << "key " << c.virtualKey;
    }
    struct IntCase {
        uint64_t virtualKey;
        int32_t before;
        int32_t after;
        int32_t World::*setting;
    };
    const IntCase ints[] = {
        {key::kN, 20, 8, &World::debrisCount},       {key::kM, 8180, 8192, &World::debrisCount},
        {key::kFewerSteps, 5, 1, &World::raySteps},  {key::kMoreSteps, 1020, 1024, &World::raySteps},
        {0xDB, 64, 64, &World::raySteps},            {0xDD, 64, 64, &World::raySteps},  // the bracket keys
    };
    for (const IntCase& c : ints) {
        World world;
        world.*c.setting = c.before;
        Press(world, c.virtualKey);
        EXPECT_EQ(world.*c.setting, c.after) << "key " << c.virtualKey;
    }
    World world;
    Press(world, 0x6B);  // the keypad's plus does nothing
    EXPECT_EQ(world.brightness, World{}.brightness);
}

TEST(Keys, LevelAutoplayAndDebrisCommands)
{
    World world;
    BuildLevel(world, 5);
    EXPECT_TRUE(Press(world, key::kL).clearGpuDebris);
    EXPECT_EQ(world.levelIndex, 0);
    world.lives = 1;
    Press(world, key::kR);
    EXPECT_EQ(world.levelIndex, 0);
    EXPECT_EQ(world.lives, 3);

    Press(world, key::kB);  // on, and the waiting ball is launched
    EXPECT_TRUE(world.autoplay);
    EXPECT_TRUE(world.ballLaunched);
    Press(world, key::kB);
    EXPECT_FALSE(world.autoplay);

    Press(world, key::kV);
    EXPECT_FALSE(world.debrisEnabled);
    world.activeDebris = 40;
    EXPECT_TRUE(Press(world, key::kC).clearGpuDebris);
    EXPECT_EQ(world.activeDebris, 0);
    EXPECT_TRUE(Press(world, key::kP).resizeToScreen);
}

TEST(Keys, EveryKeyRefreshesThePanelThroughTheApp)
{
    TestApp t;
    BuildLevel(t.app, 0);
    const int refreshes = t.platform.panelRefreshes;
    const int clears = t.platform.debrisClears;
    HandleGameKey(t.app, key::k1, kFirstPress);
    EXPECT_EQ(t.world.balls.size(), 2u);
    EXPECT_EQ(t.platform.LinesStartingWith("SpawnBall: ADD mode created 1 ball").size(), 1u);
    HandleGameKey(t.app, key::kC, kFirstPress);
    EXPECT_EQ(t.platform.debrisClears, clears + 1);
    HandleGameKey(t.app, key::kP, kFirstPress);
    ASSERT_EQ(t.platform.windowSizes.size(), 1u);
    EXPECT_EQ(t.platform.windowSizes[0], std::make_pair(2560u, 1440u));
    HandleGameKey(t.app, 0x7B, kFirstPress);  // F12: not a command, but the panel still follows the state
    EXPECT_EQ(t.platform.panelRefreshes, refreshes + 4);
}

TEST(Keys, DeterministicRunIgnoresInputButKeyUpStillReleases)
{
    World world;
    BuildLevel(world, 3);
    world.deterministicRun = true;
    world.moveLeft = true;
    EXPECT_FALSE(Press(world, key::kSpace).refreshPanel);  // not even the refresh
    Press(world, key::kL);
    HandlePointerMove(world, 100, 854);
    HandlePointerClick(world);
    EXPECT_FALSE(world.ballLaunched);
    EXPECT_EQ(world.levelIndex, 3);
    EXPECT_EQ(world.paddleX, 0.0f);
    HandleGameKeyUp(world, key::kLeft);
    EXPECT_FALSE(world.moveLeft);
}

TEST(Pointer, MapsTheClientWidthOntoThePaddleTravel)
{
    World world;
    HandlePointerMove(world, 427, 854);
    EXPECT_FLOAT_EQ(world.paddleX, 0.0f);
    HandlePointerMove(world, 0, 854);
    EXPECT_FLOAT_EQ(world.paddleX, -16.5f);
    HandlePointerMove(world, 854, 854);
    EXPECT_FLOAT_EQ(world.paddleX, 16.5f);
    HandlePointerMove(world, 1000, 854);  // beyond the client: clamped by the next update, not here
    EXPECT_GT(world.paddleX, 16.5f);
    HandlePointerMove(world, 10, 0);
    EXPECT_GT(world.paddleX, 16.5f);

    BuildLevel(world, 0);
    HandlePointerClick(world);
    EXPECT_TRUE(world.ballLaunched);
}
