#include <gtest/gtest.h>

#include "game/debris.h"
#include "game/update.h"
#include "test_support.h"

namespace {

// Destroys a brick of the given colour the way a ball hit does.
void DestroyBrick(World& world, int colour)
{
    const float code = static_cast<float>(world.debrisCursor + 1) + 100.0f * static_cast<float>(colour);
    world.explosionQueue.push_back(ExplosionEvent{code, 1.0f, 2.0f});
    AdvanceDebrisRing(world);
}

}  // namespace

TEST(DebrisRing, EightyDebrisMakeATenBurstRing)
{
    World world;
    world.debrisCount = 80;
    for (int brick = 1; brick <= 11; ++brick) {
        DestroyBrick(world, 0);
        EXPECT_EQ(world.activeDebris, std::min(8 * brick, 80)) << "after brick " << brick;
    }
    // The eleventh brick reused burst position 0 (code 1) and left the cursor at 1.
    EXPECT_EQ(world.explosionQueue.back().code, 1.0f);
    EXPECT_EQ(world.explosionQueue[9].code, 10.0f);
    EXPECT_EQ(world.debrisCursor, 1);
}

TEST(DebrisRing, ZeroDebrisKeepsOneBurstAndNothingLive)
{
    World world;
    world.debrisCount = 0;
    for (int i = 0; i < 5; ++i) {
        DestroyBrick(world, 1);
    }
    EXPECT_EQ(world.debrisCursor, 0);
    EXPECT_EQ(world.activeDebris, 0);
    HandOverExplosion(world);
    EXPECT_EQ(world.currentExplosion.code, 101.0f);
    EXPECT_EQ(DebrisDrawCount(world), 0);
}

TEST(DebrisRing, DisabledDebrisStillQueuesAndWrapsAt512)
{
    World world;
    world.debrisEnabled = false;
    world.activeDebris = 40;
    for (int i = 0; i < 513; ++i) {
        DestroyBrick(world, 0);
    }
    EXPECT_EQ(world.debrisCursor, 1);
    EXPECT_EQ(world.activeDebris, 40);
    EXPECT_EQ(world.explosionQueue.size(), 513u);
    HandOverExplosion(world);
    EXPECT_EQ(world.currentExplosion.code, 1.0f);
    EXPECT_EQ(DebrisDrawCount(world), 0);
}

TEST(DebrisRing, ABrickHitQueuesACodeOfCursorAndColour)
{
    World world;
    ClearBricks(world);
    world.bricks[0] = Brick{0.0f, 5.0f, 2.0f, 1.0f};
    world.debrisCount = 640;
    world.debrisCursor = 5;
    world.ballLaunched = true;
    world.balls = {MakeBall(0.0f, 3.5f, 0.0f, 0.4f)};
    AdvanceWorld(world, 1.0f / 60.0f, 1.0f / 60.0f);
    EXPECT_EQ(world.bricks[0].alive, 0.0f);
    EXPECT_EQ(world.currentExplosion.code, 206.0f);  // (5 + 1) + 100 x 2
    EXPECT_EQ(world.currentExplosion.y, 5.0f);
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
