#include <gtest/gtest.h>

#include <cstring>

#include "app/commands.h"
#include "app/frame.h"
#include "gpu/frame_constants.h"
#include "test_support.h"

TEST(FrameConstants, ScalarsSitAtTheirShaderOffsets)
{
    World w;
    w.paddleX = 2.5f;
    w.gameTime = 12.25f;
    w.brightness = 0.35f;
    w.currentExplosion = ExplosionEvent{203.0f, -4.0f, 9.0f};
    w.raySteps = 72;
    w.debrisCount = 640;
    w.activeDebris = 24;
    w.debrisCursor = 9;
    w.bricksTotal = 148;
    w.ballGlow = 3.0f;
    w.autoplay = true;
    w.brickHalfWidth = 1.2f;
    w.brickHalfHeight = 0.8f;
    const FrameConstants c = AssembleFrameConstants(w, 1280, 720, -0.75f);
    const struct {
        size_t offset;
        float value;
    } expected[] = {
        {0, 2.5f}, {4, 12.25f}, {8, 1280.0f}, {12, 720.0f}, {16, 0.35f}, {20, 0.0f}, {24, -0.75f},
        {28, 203.0f}, {32, -4.0f}, {36, 9.0f}, {40, 72.0f}, {44, 80.0f}, {48, 148.0f}, {52, 3.0f},
        {56, 1.0f}, {60, 1.2f}, {64, 0.8f}, {68, 0.0f}, {72, 0.0f}, {76, 0.0f},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(FloatAt(&c, e.offset), e.value) << "offset " << e.offset;
    }
    for (size_t offset = 464; offset < 512; offset += 4) {
        EXPECT_EQ(FloatAt(&c, offset), 0.0f);
    }
}

TEST(FrameConstants, TheFirstTwelveActiveBallsReachTheGpuWhereverTheirRecordsStand)
{
    World world;
    for (int i = 0; i < 16; ++i) {
        Ball b = MakeBall(static_cast<float>(i), static_cast<float>(-i), 0, 0, i != 3);  // record 3 is lost
        Paint(b, kBlue);
        world.balls.push_back(b);
    }
    const FrameConstants c = AssembleFrameConstants(world, 1920, 1080, 0.0f);
    const float expectedX[12] = {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // record 12 is drawn, 13 to 15 are not
    for (int i = 0; i < 12; ++i) {
        const size_t pos = 80 + 16 * static_cast<size_t>(i);
        const size_t col = 272 + 16 * static_cast<size_t>(i);
        EXPECT_EQ(FloatAt(&c, pos), expectedX[i]);
        EXPECT_EQ(FloatAt(&c, pos + 4), -expectedX[i]);
        EXPECT_EQ(FloatAt(&c, pos + 8), 1.0f);
        EXPECT_EQ(FloatAt(&c, pos + 12), 0.0f);
        EXPECT_EQ(FloatAt(&c, col + 8), 6.0f);
        EXPECT_EQ(FloatAt(&c, col + 12), 1.0f);
    }

    // The dispatch reads the size of the texture it writes, even after a resize since the update.
    const FrameConstants rendered = ConstantsForRender(c, 1280, 720);
    EXPECT_EQ(FloatAt(&rendered, 8), 1280.0f);
    EXPECT_EQ(FloatAt(&rendered, 12), 720.0f);
    EXPECT_EQ(std::memcmp(&rendered.ballPos, &c.ballPos, sizeof(c.ballPos)), 0);
}

TEST(FrameConstants, NoBallsAndDisabledDebrisGiveZeros)
{
    World world;
    world.debrisEnabled = false;
    world.activeDebris = 400;
    world.currentExplosion.code = 5.0f;
    const FrameConstants c = AssembleFrameConstants(world, 1920, 1080, 0.0f);
    EXPECT_EQ(c.liveDebris, 0.0f);
    for (size_t offset = 80; offset < 464; offset += 4) {
        ASSERT_EQ(FloatAt(&c, offset), 0.0f) << "offset " << offset;
    }
}

TEST(FrameConstants, UpdateFrameWritesTheBlockAndPausedFramesKeepIt)
{
    TestApp t;
    BuildLevel(t.app, 0);
    t.world.paddleX = 3.0f;  // moved by the pointer since the last update
    UpdateFrame(t.app, 0.0f, 0.0f);
    EXPECT_EQ(t.app.frameConstants.paddleDelta, 3.0f);
    EXPECT_EQ(t.app.frameConstants.width, 1920.0f);
    EXPECT_EQ(t.app.frameConstants.brickCount, 80.0f);

    t.app.bench.pausing = true;
    t.app.bench.running = true;
    t.world.paddleX = -3.0f;
    UpdateFrame(t.app, 0.016f, 0.016f);
    EXPECT_EQ(t.app.frameConstants.paddleX, 3.0f);  // the previous block stays
}
