#include <gtest/gtest.h>

#include "game/debris.h"
#include "game/update.h"
#include "test_support.h"

namespace {

// A ball destroys a brick of the given colour, and the burst that hit queued
// is handed over in the same frame: the code is the program's own.
float HitBrick(World& world, int colour)
{
    world.bricks[0] = Brick{0.0f, 5.0f, static_cast<float>(colour), 1.0f};
    world.bricksLeft = 1000;  // the level never counts as cleared
    world.ballLaunched = true;
    world.balls = {MakeBall(0.0f, 3.5f, 0.0f, 0.4f)};
    AdvanceWorld(world, 1.0f / 60.0f, 1.0f / 60.0f);
    EXPECT_EQ(world.bricks[0].alive, 0.0f);
    EXPECT_EQ(world.currentExplosion.y, 5.0f);
    return world.currentExplosion.code;
}

}  // namespace

TEST(DebrisRing, EightyDebrisMakeATenBurstRing)
{
    World world;
    world.debrisCount = 80;
    for (int brick = 1; brick <= 11; ++brick) {
        // Burst positions 1..10 (colour 0), then position 1 again.
        EXPECT_EQ(HitBrick(world, 0), static_cast<float>((brick - 1) % 10 + 1)) << "brick " << brick;
        EXPECT_EQ(world.activeDebris, std::min(8 * brick, 80)) << "after brick " << brick;
    }
    EXPECT_EQ(world.debrisCursor, 1);
}

TEST(DebrisRing, ZeroDebrisKeepsOneBurstAndNothingLive)
{
    World world;
    world.debrisCount = 0;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(HitBrick(world, 1), 101.0f);  // position 1 + 100 x colour 1
    }
    EXPECT_EQ(world.debrisCursor, 0);
    EXPECT_EQ(world.activeDebris, 0);
    EXPECT_EQ(DebrisDrawCount(world), 0);
}

TEST(DebrisRing, DisabledDebrisStillCountsBurstsAndWrapsAt512)
{
    World world;
    world.debrisEnabled = false;
    world.activeDebris = 40;
    for (int i = 0; i < 511; ++i) {
        HitBrick(world, 0);
    }
    EXPECT_EQ(HitBrick(world, 3), 812.0f);  // position 512 + 100 x colour 3
    EXPECT_EQ(HitBrick(world, 0), 1.0f);
    EXPECT_EQ(world.debrisCursor, 1);
    EXPECT_EQ(world.activeDebris, 40);
    EXPECT_EQ(DebrisDrawCount(world), 0);
}

TEST(DebrisRing, ABrickHitQueuesACodeOfCursorAndColour)
{
    World world;
    world.debrisCount = 640;
    world.debrisCursor = 5;
    EXPECT_EQ(HitBrick(world, 2), 206.0f);  // (5 + 1) + 100 x 2
    EXPECT_EQ(world.debrisCursor, 6);
}

TEST(DebrisHandOver, BurstsReachTheGpuOnePerFrameInHitOrder)
{
    World world;
    world.explosionQueue.push_back(ExplosionEvent{1, 10, 11});
    world.explosionQueue.push_back(ExplosionEvent{2, 20, 21});
    world.explosionQueue.push_back(ExplosionEvent{3, 30, 31});
    for (float code = 1; code <= 3; ++code) {
        HandOverExplosion(world);
        EXPECT_EQ(world.currentExplosion.code, code);
        EXPECT_EQ(world.currentExplosion.x, code * 10);
    }
    HandOverExplosion(world);
    EXPECT_EQ(world.currentExplosion.code, 0.0f);
    EXPECT_EQ(world.currentExplosion.x, 30.0f);  // position kept, code cleared
}

TEST(DebrisDrawCount, CoversTheBurstBeingStartedButNeverExceedsTheLimit)
{
    World world;
    world.debrisCount = 80;
    world.activeDebris = 8;
    world.debrisCursor = 4;
    world.currentExplosion.code = 0.0f;
    EXPECT_EQ(DebrisDrawCount(world), 8);
    world.currentExplosion.code = 105.0f;
    EXPECT_EQ(DebrisDrawCount(world), 40);
    world.debrisCursor = 12;
    EXPECT_EQ(DebrisDrawCount(world), 80);
}

TEST(ResetDebris, ClearsTheGpuBufferAndRingButKeepsQueuedBursts)
{
    TestApp t;
    t.world.activeDebris = 48;
    t.world.debrisCursor = 6;
    t.world.explosionQueue.push_back(ExplosionEvent{3, 0, 0});
    ResetDebris(t.app);
    ResetDebris(t.app);
    EXPECT_EQ(t.platform.debrisClears, 2);
    EXPECT_EQ(t.world.activeDebris, 0);
    EXPECT_EQ(t.world.debrisCursor, 0);
    EXPECT_EQ(t.world.explosionQueue.size(), 1u);
}

TEST(ResetDebris, FirstBrickOfALevelQueuesCodeOnePlusColourAndEightLiveDebris)
{
    TestApp t;
    BuildLevel(t.app, 0);
    t.world.debrisCount = 80;
    // Aim the first ball at the lowest row (y = 0.5, colour 4).
    t.world.ballLaunched = true;
    t.world.balls[0] = MakeBall(-12.25f, -0.8f, 0.0f, 0.4f);
    UpdateFrame(t.app, 1.0f / 60.0f, 1.0f / 60.0f);
    EXPECT_EQ(t.world.bricksLeft, 79);
    EXPECT_EQ(t.world.activeDebris, 8);
    EXPECT_EQ(t.world.currentExplosion.code, 401.0f);
    // The ring has already moved on to position 1 when the constants are written.
    EXPECT_EQ(t.app.frameConstants.liveDebris, 16.0f);
}
