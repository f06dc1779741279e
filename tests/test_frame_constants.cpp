#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "bench/benchmark.h"
#include "game/update.h"
#include "gpu/frame_constants.h"
#include "test_support.h"

// The block both shaders read: the texture's size after a resize, the step after 40 hours, the pause without a burst.
TEST(FrameConstants, EachFrameWritesTheBlockTheShadersRead)
{
    TestApp t;
    World& w = t.world;
    w.paddleX = 2.5f;  // moved by the pointer since the last frame; the ball waits there
    LoadLevel(t.app, 4);  // CODE WALL: 148 bricks of 2.4 x 1.6
    // The burst at ring position 10 (the cursor at 9) draws up to debris 80.
    std::tie(w.gameTime, w.brightness, w.raySteps, w.ballGlow, w.autoplay, w.activeDebris, w.debrisCursor, t.app.width,
             t.app.height) = std::tuple(12.25f, 0.35f, 72, 3.0f, true, 24, 9, 1280u, 720u);
    w.explosionQueue.push_back(ExplosionEvent{210.0f, -4.0f, 9.0f});
    UpdateFrame(t.app, 0.0f, 0.0f);
    const FrameConstants& c = t.app.frameConstants;
    float block[128];  // as the shaders read it: a float every 4 bytes
    std::memcpy(block, &c, sizeof(block));
    EXPECT_EQ(std::vector<float>(block, block + 24),
              std::vector<float>({2.5f, 12.25f, 1280.0f, 720.0f, 0.35f, 0.0f, 2.5f, 210.0f, -4.0f, 9.0f, 72.0f, 80.0f,
                                  148.0f, 3.0f, 1.0f, 1.2f, 0.8f, 0.0f, 0.0f, 0.0f, 2.5f, -11.0f, 1.0f, 0.0f}));
    EXPECT_EQ(std::vector<float>(block + 116, block + 128), std::vector<float>(12, 0.0f));  // offsets 464 to 511
    const FrameConstants rendered = ConstantsForRender(c, 854, 480);
    EXPECT_EQ(std::make_pair(rendered.width, rendered.height), std::make_pair(854.0f, 480.0f));
    EXPECT_EQ(std::memcmp(&rendered.ballPos, &c.ballPos, sizeof(c.ballPos) + sizeof(c.ballColor)), 0);

    w.gameTime = 40 * 3600.0;
    UpdateFrame(t.app, 0.0125, 0.0125);
    EXPECT_NEAR(w.gameTime - 40 * 3600.0, 0.0125, 1e-9);
    EXPECT_EQ(std::make_pair(c.frameStep, c.time), std::make_pair(0.0125f, 640.0125f));  // 144000 s wrap at 1024 s

    t.app.bench.phase = BenchmarkPhase::Pause;
    w.paddleX = -3.0f;
    const float paddleX = c.paddleX;
    UpdateFrame(t.app, 0.016f, 0.016f);
    EXPECT_EQ(std::make_tuple(c.paddleX, c.explosionCode, c.frameStep), std::make_tuple(paddleX, 0.0f, 0.0f));  // a burst starts once
}

// The first twelve balls in play reach the GPU in their colours, no gaps, unused entries zero; the benchmark samples them.
TEST(FrameConstants, TheFirstTwelveBallsInPlayReachTheGpuInTheirColoursAndTheScore)
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
        const FrameConstants k = AssembleFrameConstants(world, 1920, 1080, WorldFrame{});
        RecordingPlatform platform;
        BenchmarkRecorder bench;
        std::tie(bench.phase, bench.currentRun) = std::tuple(BenchmarkPhase::Recording, 1);
        BenchmarkFrameStep(bench, world, platform, 0.01);
        EXPECT_EQ(bench.bucket.frames.at(0).balls, static_cast<float>(c.drawnX.size())) << c.records << " records";
        for (size_t i = 0; i < 12; ++i) {
            const bool drawn = i < c.drawnX.size();
            const float x = drawn ? c.drawnX[i] : 0.0f;
            const BallColour colour = colours[static_cast<int>(x) % 3];
            const std::vector<float> posAndColour = {k.ballPos[i][0],   k.ballPos[i][1],   k.ballPos[i][2],   k.ballPos[i][3],
                                                     k.ballColor[i][0], k.ballColor[i][1], k.ballColor[i][2], k.ballColor[i][3]};
            EXPECT_EQ(posAndColour, drawn ? std::vector<float>({x, -x, 1, 0, colour.r, colour.g, colour.b, 1})
                                          : std::vector<float>(8, 0.0f)) << i;
        }
    }
}
