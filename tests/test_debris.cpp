#include <gtest/gtest.h>

#include <tuple>

#include "game/input.h"
#include "test_support.h"

// A destroyed brick queues a burst of 8 at the next ring position, coded position + 100 x colour, live up to the count.
TEST(Debris, EachBrickQueuesABurstAtTheNextRingPositionUpToTheDebrisCount)
{
    const struct {
        int32_t count;
        bool enabled;
        int32_t cursor, active, colour, bricks;
        float code, drawn;  // the last burst, handed over in its frame, and the debris the GPU draws then
        int32_t cursorAfter, activeAfter;
    } cases[] = {
        {80, true, 0, 0, 4, 1, 401.0f, 16.0f, 1, 8},      // a level's first brick
        {80, true, 0, 0, 0, 10, 10.0f, 80.0f, 0, 80},     // 80 debris: ten positions
        {80, true, 0, 0, 0, 11, 1.0f, 80.0f, 1, 80},      // the eleventh brick reuses the first
        {640, true, 5, 8, 2, 1, 206.0f, 56.0f, 6, 16},
        {0, true, 0, 0, 1, 5, 101.0f, 0.0f, 0, 0},        // no debris: one position, nothing live
        {16, true, 0, 64, 0, 0, 0.0f, 16.0f, 0, 64},      // the count lowered below the live debris
        {80, false, 0, 40, 3, 512, 812.0f, 0.0f, 0, 40},  // debris off: the ring still turns, over 512
        {80, false, 0, 40, 0, 513, 1.0f, 0.0f, 1, 40},
    };
    for (const auto& c : cases) {
        TestApp t;
        World& world = t.world;
        std::tie(world.debrisCount, world.debrisEnabled, world.debrisCursor, world.activeDebris, world.ballLaunched,
                 world.bricksLeft) = std::tuple(c.count, c.enabled, c.cursor, c.active, true, 1000);  // never cleared
        world.balls = {MakeBall(0.0f, -15.0f, 0.0f, 0.0f)};  // keeps the game going
        for (int i = 0; i < c.bricks; ++i) {
            world.bricks[0] = Brick{0.0f, 5.0f, static_cast<float>(c.colour), 1.0f};
            world.balls.push_back(MakeBall(0.0f, 3.5f, 0.0f, 0.4f));
            UpdateFrame(t.app, 1.0f / 60.0f, 1.0f / 60.0f);
            world.balls.pop_back();
        }
        if (c.bricks == 0) {
            UpdateFrame(t.app, 0.0f, 0.0f);
        }
        EXPECT_EQ(std::make_tuple(t.app.frameConstants.explosionCode, t.app.frameConstants.liveDebris, world.debrisCursor,
                                  world.activeDebris),
                  std::make_tuple(c.code, c.drawn, c.cursorAfter, c.activeAfter)) << c.bricks << " bricks, " << c.count;
    }
}

TEST(Debris, BurstsReachTheGpuOnePerFrameInHitOrderEvenAfterADebrisReset)
{
    TestApp t;
    LoadLevel(t.app, 0);
    t.world.ballLaunched = true;
    // Three balls under the lowest row (y = 0.5, colour 4) hit three bricks in one frame.
    t.world.balls = {MakeBall(-12.25f, -0.8f, 0.0f, 0.4f), MakeBall(-5.25f, -0.8f, 0.0f, 0.4f),
                     MakeBall(1.75f, -0.8f, 0.0f, 0.4f)};
    UpdateFrame(t.app, 1.0f / 60.0f, 1.0f / 60.0f);
    const FrameConstants& gpu = t.app.frameConstants;
    // 24 live, and the ring has moved on to 3; then C: the particles go, the queued bursts stay.
    const float expected[][3] = {{401.0f, -12.25f, 32.0f}, {402.0f, -5.25f, 8.0f}, {403.0f, 1.75f, 8.0f}, {0.0f, 1.75f, 0.0f}};
    for (const auto& e : expected) {
        EXPECT_EQ(std::make_tuple(gpu.explosionCode, gpu.explosionX, gpu.liveDebris), std::make_tuple(e[0], e[1], e[2]));
        if (e[0] == 401.0f) {
            OnKeyDown(t.app, key::kC, 1);
        }
        UpdateFrame(t.app, 0.0f, 0.0f);
    }
}
