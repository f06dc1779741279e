#include <gtest/gtest.h>

#include "game/input.h"
#include "test_support.h"

namespace {

constexpr int64_t kFirstPress = 0x00000001;
constexpr int64_t kRepeat = 0x40000001;  // bit 30: the key was already down

void Press(TestApp& t, uint64_t key)
{
    HandleGameKey(t.app, key, kFirstPress);
}

}  // namespace

TEST(Keys, SpaceLaunchesOnceAndRepeatsAreIgnored)
{
    TestApp t;
    BuildLevel(t.app, 0);
    HandleGameKey(t.app, 0x20, kRepeat);
    EXPECT_FALSE(t.world.ballLaunched);
    Press(t, 0x20);
    EXPECT_TRUE(t.world.ballLaunched);
    const float vx = t.world.balls[0].vx;
    Press(t, 0x20);
    EXPECT_EQ(t.world.balls[0].vx, vx);
}

TEST(Keys, MoveKeysActOnRepeatsAndReleaseClearsTheSharedFlag)
{
    TestApp t;
    HandleGameKey(t.app, 0x25, kRepeat);
    EXPECT_TRUE(t.world.moveLeft);
    HandleGameKeyUp(t.app, 0x41);  // A shares the flag with Left
    EXPECT_FALSE(t.world.moveLeft);
    HandleGameKey(t.app, 0x44, kFirstPress);
    EXPECT_TRUE(t.world.moveRight);
    HandleGameKeyUp(t.app, 0x27);
    EXPECT_FALSE(t.world.moveRight);
}

TEST(Keys, SettingsStayWithinTheirBounds)
{
    TestApp t;
    t.world.debrisCount = 20;
    Press(t, 'N');
    EXPECT_EQ(t.world.debrisCount, 8);
    t.world.debrisCount = 8180;
    Press(t, 'M');
    EXPECT_EQ(t.world.debrisCount, 8192);
    t.world.ballGlow = 0.55f;
    Press(t, 'G');
    EXPECT_EQ(t.world.ballGlow, 0.5f);
    t.world.ballGlow = 4.95f;
    Press(t, 'H');
    EXPECT_EQ(t.world.ballGlow, 5.0f);
    t.world.raySteps = 5;
    Press(t, 0x5B);
    EXPECT_EQ(t.world.raySteps, 1);
    t.world.raySteps = 1020;
    Press(t, 0x5D);
    EXPECT_EQ(t.world.raySteps, 1024);
    t.world.brightness = 1.95f;
    Press(t, 0xBB);
    EXPECT_EQ(t.world.brightness, 2.0f);
    t.world.brightness = 0.05f;
    Press(t, 0xBD);
    EXPECT_EQ(t.world.brightness, 0.0f);
    // The bracket keys and the keypad's plus and minus do nothing.
    const int32_t steps = t.world.raySteps;
    Press(t, 0xDB);
    Press(t, 0xDD);
    Press(t, 0x6B);
    EXPECT_EQ(t.world.raySteps, steps);
    EXPECT_EQ(t.world.brightness, 0.0f);
}

TEST(Keys, LevelAutoplayDebrisAndWindowCommands)
{
    TestApp t;
    BuildLevel(t.app, 5);
    Press(t, 'L');
    EXPECT_EQ(t.world.levelIndex, 0);
    t.world.lives = 1;
    Press(t, 'R');
    EXPECT_EQ(t.world.levelIndex, 0);
    EXPECT_EQ(t.world.lives, 3);

    Press(t, 'B');  // on, and the waiting ball is launched
    EXPECT_TRUE(t.world.autoplay);
    EXPECT_TRUE(t.world.ballLaunched);
    Press(t, 'B');
    EXPECT_FALSE(t.world.autoplay);

    Press(t, 'V');
    EXPECT_FALSE(t.world.debrisEnabled);
    t.world.activeDebris = 40;
    const int clears = t.platform.debrisClears;
    Press(t, 'C');
    EXPECT_EQ(t.platform.debrisClears, clears + 1);
    EXPECT_EQ(t.world.activeDebris, 0);

    Press(t, 'P');
    ASSERT_EQ(t.platform.windowSizes.size(), 1u);
    EXPECT_EQ(t.platform.windowSizes[0], std::make_pair(2560u, 1440u));
}

TEST(Keys, SpawnKeysAndPanelRefreshAfterEveryKey)
{
    TestApp t;
    BuildLevel(t.app, 0);
    const int refreshes = t.platform.panelRefreshes;
    Press(t, '1');
    EXPECT_EQ(t.world.balls.size(), 2u);
    Press(t, '2');
    EXPECT_EQ(CountActiveBalls(t.world), 4);
    Press(t, '3');
    EXPECT_EQ(CountActiveBalls(t.world), 12);
    Press(t, 0x7B);  // F12: not a command, but the panel still follows the state
    EXPECT_EQ(t.platform.panelRefreshes, refreshes + 4);
}

TEST(Keys, DeterministicRunIgnoresInputButKeyUpStillReleases)
{
    TestApp t;
    BuildLevel(t.app, 3);
    t.app.bench.running = true;
    t.app.bench.deterministic = true;
    t.world.moveLeft = true;
    const int refreshes = t.platform.panelRefreshes;
    Press(t, 0x20);
    Press(t, 'L');
    HandlePointerMove(t.app, 100);
    HandlePointerClick(t.app);
    EXPECT_FALSE(t.world.ballLaunched);
    EXPECT_EQ(t.world.levelIndex, 3);
    EXPECT_EQ(t.world.paddleX, 0.0f);
    EXPECT_EQ(t.platform.panelRefreshes, refreshes);  // not even the refresh
    HandleGameKeyUp(t.app, 0x25);
    EXPECT_FALSE(t.world.moveLeft);
}

TEST(Pointer, MapsTheClientWidthOntoThePaddleTravel)
{
    TestApp t;
    t.app.width = 854;
    HandlePointerMove(t.app, 427);
    EXPECT_FLOAT_EQ(t.world.paddleX, 0.0f);
    HandlePointerMove(t.app, 0);
    EXPECT_FLOAT_EQ(t.world.paddleX, -16.5f);
    HandlePointerMove(t.app, 854);
    EXPECT_FLOAT_EQ(t.world.paddleX, 16.5f);
    HandlePointerMove(t.app, 1000);  // beyond the client: clamped by the next update, not here
    EXPECT_GT(t.world.paddleX, 16.5f);
    t.app.width = 0;
    HandlePointerMove(t.app, 10);
    EXPECT_GT(t.world.paddleX, 16.5f);

    BuildLevel(t.app, 0);
    HandlePointerClick(t.app);
    EXPECT_TRUE(t.world.ballLaunched);
}
