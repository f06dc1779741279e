#include <gtest/gtest.h>

#include <vector>

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
    const float expected[20] = {2.5f, 12.25f, 1280.0f, 720.0f, 0.35f, 0.0f, -0.75f, 203.0f, -4.0f, 9.0f,
                                72.0f, 80.0f, 148.0f, 3.0f, 1.0f, 1.2f, 0.8f, 0.0f, 0.0f, 0.0f};
    for (size_t i = 0; i < 20; ++i) {
        EXPECT_EQ(FloatAt(&c, 4 * i), expected[i]) << "offset " << 4 * i;
    }
    for (size_t offset = 464; offset < 512; offset += 4) {
        EXPECT_EQ(FloatAt(&c, offset), 0.0f) << "offset " << offset;
    }
    w.autoplay = false;
    EXPECT_EQ(AssembleFrameConstants(w, 1280, 720, 0.0f).autoplay, 0.0f);

    // The dispatch reads the size of the texture it writes, even after a resize since the update.
    const FrameConstants rendered = ConstantsForRender(c, 854, 480);
    EXPECT_EQ(FloatAt(&rendered, 8), 854.0f);
    EXPECT_EQ(FloatAt(&rendered, 12), 480.0f);
    EXPECT_EQ(std::memcmp(&rendered.ballPos, &c.ballPos, sizeof(c.ballPos) + sizeof(c.ballColor)), 0);
}

// The GPU draws the first twelve balls in play in their colours, wherever
// their records stand; lost balls leave no gap and unused entries are zero.
TEST(FrameConstants, TheFirstTwelveBallsInPlayReachTheGpuInTheirColours)
{
    const struct {
        int records;
        std::vector<float> drawnX;
    } cases[] = {{5, {0, 1, 2, 4}}, {16, {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12}}};
    const BallColour colours[3] = {kRed, kGreen, kBlue};
    for (const auto& c : cases) {
        World world;
        for (int i = 0; i < c.records; ++i) {
            Ball b = MakeBall(static_cast<float>(i), static_cast<float>(-i), 0, 0, i != 3);  // record 3 is lost
            Paint(b, colours[i % 3]);
            world.balls.push_back(b);
        }
        const FrameConstants k = AssembleFrameConstants(world, 1920, 1080, 0.0f);
        for (size_t i = 0; i < 12; ++i) {
            const bool drawn = i < c.drawnX.size();
            const float x = drawn ? c.drawnX[i] : 0.0f;
            const BallColour colour = colours[static_cast<int>(x) % 3];
            const std::vector<float> pos(k.ballPos[i], k.ballPos[i] + 4);
            const std::vector<float> rgb(k.ballColor[i], k.ballColor[i] + 4);
            const std::vector<float> none(4, 0.0f);
            EXPECT_EQ(pos, drawn ? std::vector<float>({x, -x, 1, 0}) : none) << i;
            EXPECT_EQ(rgb, drawn ? std::vector<float>({colour.r, colour.g, colour.b, 1}) : none) << i;
        }
    }
}

TEST(FrameConstants, EachFrameWritesTheBlockAndThePauseResendsItWithoutItsBurst)
{
    TestApp t;
    BuildLevel(t.app, 0);
    t.world.paddleX = 3.0f;  // moved by the pointer since the last update
    t.world.explosionQueue.push_back(ExplosionEvent{5.0f, 1.0f, 2.0f});
    UpdateFrame(t.app, 0.0f, 0.0f);
    EXPECT_EQ(t.app.frameConstants.paddleDelta, 3.0f);
    EXPECT_EQ(t.app.frameConstants.width, 1920.0f);
    EXPECT_EQ(t.app.frameConstants.brickCount, 80.0f);
    EXPECT_EQ(t.app.frameConstants.explosionCode, 5.0f);

    t.app.bench.pausing = true;
    t.app.bench.running = true;
    t.world.paddleX = -3.0f;
    UpdateFrame(t.app, 0.016f, 0.016f);
    EXPECT_EQ(t.app.frameConstants.paddleX, 3.0f);  // the previous block stays
    EXPECT_EQ(t.app.frameConstants.explosionCode, 0.0f);  // a burst starts once
}
