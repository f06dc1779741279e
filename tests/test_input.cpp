#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "game/input.h"
#include "test_support.h"

namespace {

constexpr int64_t kFirstPress = 0x00000001;
constexpr int64_t kRepeat = 0x00000001 | kKeyWasDown;

std::string State(const TestApp& t)
{
    const World& w = t.world;
    char text[160];
    std::snprintf(text, sizeof(text), "level %d, %d balls %s%s, debris %s, %d live, %d clears, %zu resizes", w.levelIndex,
                  CountActiveBalls(w), w.ballLaunched ? "launched" : "waiting", w.autoplay ? ", autoplay" : "",
                  w.debrisEnabled ? "on" : "off", w.activeDebris, t.platform.debrisClears, t.platform.windowSizes.size());
    return text;
}

}  // namespace

// Left and A, Right and D share their flags; repeats keep moving; the pointer across the client area spans the travel.
TEST(Paddle, FollowsAHeldMoveKeyThirtyUnitsASecondAndThePointer)
{
    TestApp t;
    LoadLevel(t.app, 0);
    t.app.width = 854;
    const struct { uint64_t down, up; int64_t data; int frames; float paddleX; } keys[] = {
        {key::kLeft, 0, kRepeat, 1, -1.5f}, {key::kD, 0, kFirstPress, 1, -1.5f},  // both held: still
        {0, key::kRight, 0, 40, -16.5f},  // to the end of its travel
        {key::kRight, key::kA, kFirstPress, 1, -15.0f}};
    for (const auto& s : keys) {
        OnKeyDown(t.app, s.down, s.data);
        OnKeyUp(t.app, s.up);
        for (int i = 0; i < s.frames; ++i) {
            UpdateFrame(t.app, 0.05f, 0.05f);
        }
        EXPECT_EQ(std::make_pair(t.world.paddleX, t.world.balls[0].x), std::make_pair(s.paddleX, s.paddleX));  // the ball rides along
    }
    OnKeyUp(t.app, key::kRight);
    // Beyond the client area the next update clamps; the window's width (not the size drawn) spans the travel.
    const struct { uint32_t x, width; float paddleX; } pointer[] = {
        {427, 854, 0.0f}, {0, 854, -16.5f}, {854, 854, 16.5f}, {9000, 10000, 13.2f}, {1000, 854, 22.14169f},
        {10, 0, 22.14169f}};
    for (const auto& p : pointer) {
        OnPointerMove(t.app, p.x, p.width);
        EXPECT_NEAR(t.world.paddleX, p.paddleX, 1e-5) << p.x;
    }
}

// A setting key steps its setting once per press, within its bounds (hundredths as the slider shows them).
TEST(Keys, SettingKeysStepOnTheFirstPressWithinTheirBounds)
{
    using S = PanelSetting;
    const struct { uint64_t virtualKey; S setting; int before, after; } cases[] = {
        {key::kG, S::BallGlow, 55, 50},           {key::kG, S::BallGlow, 200, 190},       {key::kH, S::BallGlow, 495, 500},
        {key::kH, S::BallGlow, 200, 210},         {key::kBrighter, S::Brightness, 195, 200}, {key::kBrighter, S::Brightness, 15, 25},
        {key::kDarker, S::Brightness, 5, 0},      {key::kDarker, S::Brightness, 15, 5},   {0x6B, S::Brightness, 15, 15},  // keypad +
        {key::kN, S::DebrisCount, 20, 8},         {key::kN, S::DebrisCount, 100, 68},     {key::kM, S::DebrisCount, 8180, 8192},
        {key::kM, S::DebrisCount, 100, 132},      {key::kFewerSteps, S::RaySteps, 5, 1},  {key::kFewerSteps, S::RaySteps, 64, 56},
        {key::kMoreSteps, S::RaySteps, 1020, 1024}, {key::kMoreSteps, S::RaySteps, 64, 72},
        {key::kFewerStepsOld, S::RaySteps, 64, 56}, {key::kMoreStepsOld, S::RaySteps, 64, 72},  // '[' and ']' as character codes
    };
    for (const auto& c : cases) {
        World world;
        ApplySliderPosition(world, c.setting, c.before);
        HandleGameKey(world, c.virtualKey, kFirstPress);
        HandleGameKey(world, c.virtualKey, kRepeat);  // held down: no further step
        EXPECT_EQ(SliderPosition(world, c.setting), c.after) << "key " << c.virtualKey << " at " << c.before;
    }
}

// No key, pointer move or click acts during a benchmark (a release clears its flag); afterwards every key refreshes.
TEST(Keys, CommandKeysActOnTheGameOnceButNotDuringABenchmark)
{
    TestApp t;
    LoadLevel(t.app, 5);
    StartConfiguredBenchmark(t.app, 854, 480, 80, true, false);
    const std::string running = Work(t);
    using namespace key;
    for (const uint64_t k : {kSpace, kLeft, kRight, kA, kD, k1, k2, k3, kB, kC, kG, kH, kL, kM, kN, kP, kR, kV,
                             kFewerSteps, kMoreSteps, kFewerStepsOld, kMoreStepsOld, kBrighter, kDarker}) {
        OnKeyDown(t.app, k, kFirstPress);
        EXPECT_EQ(Work(t), running) << "key " << k;
    }
    OnPointerMove(t.app, 100, 854);
    OnPointerClick(t.app);
    t.world.moveLeft = true;
    OnKeyUp(t.app, kA);
    EXPECT_EQ(Work(t), running);
    EndBenchmarkByAbort(t.app);
    t.world.activeDebris = 40;
    const struct { uint64_t virtualKey; int64_t data; const char* state; } presses[] = {
        {key::kSpace, kRepeat, "level 5, 1 balls waiting, debris on, 40 live, 1 clears, 0 resizes"},
        {key::kSpace, kFirstPress, "level 5, 1 balls launched, debris on, 40 live, 1 clears, 0 resizes"},
        {key::kC, kFirstPress, "level 5, 1 balls launched, debris on, 0 live, 2 clears, 0 resizes"},
        {key::kL, kFirstPress, "level 0, 1 balls waiting, debris on, 0 live, 3 clears, 0 resizes"},  // after the last, the first
        {key::kB, kFirstPress, "level 0, 1 balls launched, autoplay, debris on, 0 live, 3 clears, 0 resizes"},
        {key::kR, kFirstPress, "level 0, 1 balls waiting, autoplay, debris on, 0 live, 4 clears, 0 resizes"},
        {key::kB, kFirstPress, "level 0, 1 balls waiting, debris on, 0 live, 4 clears, 0 resizes"},
        {key::k1, kFirstPress, "level 0, 2 balls launched, debris on, 0 live, 4 clears, 0 resizes"},
        {key::k2, kFirstPress, "level 0, 4 balls launched, debris on, 0 live, 4 clears, 0 resizes"},
        {key::k3, kFirstPress, "level 0, 12 balls launched, debris on, 0 live, 4 clears, 0 resizes"},
        {key::kV, kFirstPress, "level 0, 12 balls launched, debris off, 0 live, 4 clears, 0 resizes"},
        {key::kP, kFirstPress, "level 0, 12 balls launched, debris off, 0 live, 4 clears, 1 resizes"},
        {0x7B, kFirstPress, "level 0, 12 balls launched, debris off, 0 live, 4 clears, 1 resizes"},  // F12
    };
    for (const auto& p : presses) {
        const int refreshes = t.platform.panelRefreshes;
        OnKeyDown(t.app, p.virtualKey, p.data);
        EXPECT_EQ(std::make_pair(State(t), t.platform.panelRefreshes), std::make_pair(std::string(p.state), refreshes + 1))
            << "key " << p.virtualKey;
    }
    EXPECT_EQ(t.platform.windowSizes.back(), std::make_pair(2560u, 1440u));  // P: the screen's size
}
