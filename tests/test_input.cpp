#include <gtest/gtest.h>

#include "game/input.h"
#include "test_support.h"

namespace {

constexpr int64_t kFirstPress = 0x00000001;
constexpr int64_t kRepeat = 0x00000001 | kKeyWasDown;

}  // namespace

// Left and A, Right and D share their flags; repeats keep the paddle moving.
TEST(Keys, AHeldMoveKeyMovesThePaddleThirtyUnitsASecondUntilReleased)
{
    TestApp t;
    BuildLevel(t.app, 0);
    const struct {
        uint64_t down, up;
        int64_t data;
        int frames;
        float paddleX;
    } steps[] = {{key::kLeft, 0, kRepeat, 1, -1.5f}, {key::kD, 0, kFirstPress, 1, -1.5f},  // both held: still
                 {0, key::kRight, 0, 40, -16.5f},  // to the end of its travel
                 {key::kRight, key::kA, kFirstPress, 1, -15.0f}};
    for (const auto& s : steps) {
        HandleGameKey(t.app, s.down, s.data);
        HandleGameKeyUp(t.app, s.up);
        for (int i = 0; i < s.frames; ++i) {
            UpdateFrame(t.app, 0.05f, 0.05f);
        }
        EXPECT_NEAR(t.world.paddleX, s.paddleX, 1e-6);
        EXPECT_EQ(t.world.balls[0].x, t.world.paddleX);  // the waiting ball rides along
    }
}

TEST(Keys, SettingKeysStepOnTheFirstPressWithinTheirBounds)
{
    const struct {
        uint64_t virtualKey;
        float before, after;
        float World::*setting;
    } floats[] = {
        {key::kG, 0.55f, 0.5f, &World::ballGlow},          {key::kG, 2.0f, 1.9f, &World::ballGlow},
        {key::kH, 4.95f, 5.0f, &World::ballGlow},          {key::kH, 2.0f, 2.1f, &World::ballGlow},
        {key::kBrighter, 1.95f, 2.0f, &World::brightness}, {key::kBrighter, 0.15f, 0.25f, &World::brightness},
        {key::kDarker, 0.05f, 0.0f, &World::brightness},   {key::kDarker, 0.15f, 0.05f, &World::brightness},
        {0x6B, 0.15f, 0.15f, &World::brightness},  // the keypad's plus does nothing
    };
    for (const auto& c : floats) {
        World world;
        world.*c.setting = c.before;
        HandleGameKey(world, c.virtualKey, kFirstPress);
        HandleGameKey(world, c.virtualKey, kRepeat);  // held down: no further step
        EXPECT_NEAR(world.*c.setting, c.after, 1e-6) << "key " << c.virtualKey << " at " << c.before;
    }
    const struct {
        uint64_t virtualKey;
        int32_t before, after;
        int32_t World::*setting;
    } counts[] = {
        {key::kN, 20, 8, &World::debrisCount},           {key::kN, 100, 68, &World::debrisCount},
        {key::kM, 8180, 8192, &World::debrisCount},      {key::kM, 100, 132, &World::debrisCount},
        {key::kFewerSteps, 5, 1, &World::raySteps},      {key::kFewerSteps, 64, 56, &World::raySteps},
        {key::kMoreSteps, 1020, 1024, &World::raySteps}, {key::kMoreSteps, 64, 72, &World::raySteps},
        {0xDB, 64, 64, &World::raySteps},                {0xDD, 64, 64, &World::raySteps},  // the bracket keys
    };
    for (const auto& c : counts) {
        World world;
        world.*c.setting = c.before;
        HandleGameKey(world, c.virtualKey, kFirstPress);
        EXPECT_EQ(world.*c.setting, c.after) << "key " << c.virtualKey << " at " << c.before;
    }
}

TEST(Keys, CommandKeysActOnTheGameOnceAndEveryKeyRefreshesThePanel)
{
    TestApp t;
    World& world = t.world;
    BuildLevel(t.app, 5);
    const int refreshes = t.platform.panelRefreshes;
    HandleGameKey(t.app, key::kSpace, kRepeat);  // a repeat launches nothing
    EXPECT_FALSE(world.ballLaunched);
    HandleGameKey(t.app, key::kSpace, kFirstPress);
    EXPECT_TRUE(world.ballLaunched);
    const float vx = world.balls[0].vx;
    HandleGameKey(t.app, key::kSpace, kFirstPress);  // a launched ball is not launched again
    EXPECT_EQ(world.balls[0].vx, vx);
    HandleGameKey(t.app, key::kL, kFirstPress);  // the next level, after the last the first
    EXPECT_EQ(world.levelIndex, 0);
    world.lives = 1;
    HandleGameKey(t.app, key::kR, kFirstPress);  // the same level again
    EXPECT_EQ(world.levelIndex, 0);
    EXPECT_EQ(world.lives, 3);
    EXPECT_EQ(t.platform.debrisClears, 3);
    HandleGameKey(t.app, key::kB, kFirstPress);  // autoplay on, and the waiting ball is launched
    EXPECT_TRUE(world.autoplay && world.ballLaunched);
    HandleGameKey(t.app, key::kB, kFirstPress);
    EXPECT_FALSE(world.autoplay);
    for (const auto& [virtualKey, balls] : {std::pair{key::k1, 2}, {key::k2, 4}, {key::k3, 12}}) {
        HandleGameKey(t.app, virtualKey, kFirstPress);
        EXPECT_EQ(CountActiveBalls(world), balls) << virtualKey;
    }
    HandleGameKey(t.app, key::kV, kFirstPress);
    EXPECT_FALSE(world.debrisEnabled);
    world.activeDebris = 40;
    HandleGameKey(t.app, key::kC, kFirstPress);
    EXPECT_EQ(world.activeDebris, 0);
    EXPECT_EQ(t.platform.debrisClears, 4);
    HandleGameKey(t.app, key::kP, kFirstPress);  // the window takes the screen's size
    EXPECT_EQ(t.platform.windowSizes, (std::vector<std::pair<uint32_t, uint32_t>>{{2560, 1440}}));
    HandleGameKey(t.app, 0x7B, kFirstPress);  // F12: not a command, but the panel still follows the state
    EXPECT_EQ(t.platform.panelRefreshes, refreshes + 14);
}

TEST(Keys, ADeterministicRunTakesNoInputButAKeyReleaseStillCounts)
{
    TestApp t;
    BuildLevel(t.app, 3);
    t.world.deterministicRun = true;
    t.world.moveLeft = true;
    const int refreshes = t.platform.panelRefreshes;
    for (uint64_t virtualKey : {key::kSpace, key::kL, key::kRight, key::kP}) {
        HandleGameKey(t.app, virtualKey, kFirstPress);
    }
    HandlePointerMove(t.app, 100);
    HandlePointerClick(t.app);
    EXPECT_EQ(t.platform.panelRefreshes, refreshes);  // not even the refresh
    EXPECT_FALSE(t.world.ballLaunched || t.world.moveRight);
    EXPECT_EQ(t.world.levelIndex, 3);
    EXPECT_EQ(t.world.paddleX, 0.0f);
    EXPECT_TRUE(t.platform.windowSizes.empty());
    HandleGameKeyUp(t.app, key::kLeft);
    EXPECT_FALSE(t.world.moveLeft);
}

TEST(Pointer, TheClientWidthSpansThePaddlesTravelAndAClickLaunches)
{
    TestApp t;
    t.app.width = 854;
    const struct {
        uint32_t x;
        float paddleX;
    } cases[] = {{427, 0.0f}, {0, -16.5f}, {854, 16.5f}, {1000, 22.14169f}};  // beyond: the next update clamps
    for (const auto& c : cases) {
        HandlePointerMove(t.app, c.x);
        EXPECT_NEAR(t.world.paddleX, c.paddleX, 1e-5) << c.x;
    }
    t.app.width = 0;  // no client area: the paddle stays
    HandlePointerMove(t.app, 10);
    EXPECT_NEAR(t.world.paddleX, 22.14169f, 1e-5);
    BuildLevel(t.app, 0);
    HandlePointerClick(t.app);
    EXPECT_TRUE(t.world.ballLaunched);
}
