#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "game/spawning.h"
#include "test_support.h"

// The draws start 41, 18467, 6334, 26500; a clone's vx is draw / 32767 x 0.4 - 0.2 minus its template's.

namespace {

// `active` balls in play at x = y = 0, 1, 2, ... (vx 0.1, vy 0.2), followed by `lost` ones.
World WithBalls(int active, int lost = 0)
{
    World world;
    for (int i = 0; i < active + lost; ++i) {
        world.balls.push_back(MakeBall(static_cast<float>(i), static_cast<float>(i), 0.1f, 0.2f, i < active));
    }
    world.balls.shrink_to_fit();  // the first clone moves the array
    world.ballLaunched = true;
    return world;
}

// Each ball as "x y vx vy colour", the colour O(range), R(ed), G(reen) or B(lue).
std::vector<std::string> Balls(const World& world, size_t from = 0)
{
    std::vector<std::string> shown;
    for (size_t i = from; i < world.balls.size(); ++i) {
        const Ball& b = world.balls[i];
        const char colour = b.r == kOrange.r ? 'O' : b.r == kRed.r ? 'R' : b.g == kGreen.g ? 'G' : b.b == kBlue.b ? 'B' : '?';
        char text[80];
        std::snprintf(text, sizeof(text), "%g %g %.4f %.4f %c", b.x, b.y, b.vx, b.vy, colour);
        shown.emplace_back(text);
    }
    return shown;
}

}  // namespace

// No more than twelve balls come into play through the ball commands; lost balls' slots fill before the array grows.
TEST(SpawnBall, EachModeAddsUpToTwelveBallsInPlayAndSaysHowMany)
{
    const struct {
        int active, lost, mode, activeAfter;
        size_t sizeAfter;
        const char* log;  // "" for none
    } cases[] = {
        {3, 0, kSpawnAdd, 4, 4, "ADD mode created 1 ball (now 4 active, 4 array size)"},
        {12, 0, kSpawnAdd, 12, 12, ""},
        {11, 1, kSpawnAdd, 12, 12, "ADD mode created 1 ball (now 12 active, 12 array size)"},
        {7, 0, kSpawnDouble, 12, 12, "DOUBLE mode created 5 balls (now 12 active, 12 array size)"},
        // Ball 0 is cloned into slot 1, which is in play when the loop reaches it, and so on.
        {1, 11, kSpawnDouble, 12, 12, "DOUBLE mode created 11 balls (now 12 active, 12 array size)"},
        {1, 0, kSpawnRgb, 3, 3, "RGB mode processed 1 balls, created 2 new (now 3 active, 3 array size)"},
        {11, 0, kSpawnRgb, 12, 12, "RGB mode processed 1 balls, created 1 new (now 12 active, 12 array size)"},
        // Twelve in play (after the benchmark's trio) and lost balls' slots free: still the limit.
        {12, 3, kSpawnDouble, 12, 15, "DOUBLE mode created 0 balls (now 12 active, 15 array size)"},
        {12, 3, kSpawnRgb, 12, 15, "RGB mode processed 0 balls, created 0 new (now 12 active, 15 array size)"},
        // Beyond the limit no ball can be added: every ball keeps its colour.
        {14, 0, kSpawnRgb, 14, 14, "RGB mode processed 0 balls, created 0 new (now 14 active, 14 array size)"},
    };
    for (const auto& c : cases) {
        World world = WithBalls(c.active, c.lost);
        const WorldEffects effects = SpawnBall(world, c.mode);
        const std::string line = *c.log ? "SpawnBall: " + std::string(c.log) + "\n" : "";
        const char firstColour = c.mode == kSpawnRgb && c.activeAfter > c.active ? 'R' : 'O';
        EXPECT_EQ(std::make_tuple(CountActiveBalls(world), world.balls.size(), effects.logLines, Balls(world)[0].back()),
                  std::make_tuple(c.activeAfter, c.sizeAfter, line.empty() ? std::vector<std::string>{} : std::vector{line},
                                  firstColour))
            << "mode " << c.mode << " with " << c.active;
    }
}

// ADD clones the highest ball in orange, DOUBLE every ball, RGB paints each red and adds a green and a blue at vx -/+ 0.2.
TEST(SpawnBall, ClonesStartWhereTheirSourcesAreWithTheirOwnSpeedAndColour)
{
    const struct { int mode; std::vector<std::string> balls; } cases[] = {
        {kSpawnAdd, {"0 0 0.1000 0.2000 O", "1 9 0.3000 0.2000 B", "1 9 -0.4995 0.2000 O"}},
        {kSpawnDouble, {"0 0 0.1000 0.2000 O", "1 9 0.3000 0.2000 B", "0 0 -0.2995 0.2000 O", "1 9 -0.2746 0.2000 B"}},
        {kSpawnRgb, {"0 0 0.1000 0.2000 R", "1 9 0.3000 0.2000 R", "0 0 -0.4995 0.2000 G", "0 0 0.1254 0.2000 B",
                     "1 9 -0.6227 0.2000 G", "1 9 0.0235 0.2000 B"}},
    };
    for (const auto& c : cases) {
        World world = WithBalls(2);
        world.balls[1] = MakeBall(1.0f, 9.0f, 0.3f, 0.2f);
        Paint(world.balls[1], kBlue);
        SpawnBall(world, c.mode);
        EXPECT_EQ(Balls(world), c.balls) << "mode " << c.mode;
    }
}

// A click launches the waiting ball (0.4, turned 0.2494 rad left by the first draw) once; a ball button draws first.
TEST(LaunchBall, AClickOrABallButtonLaunchesTheWaitingBallOnce)
{
    const struct { const wchar_t* button; int balls; const char* launched; int nextDraw; } cases[] = {
        {L"", 1, "0 -11 -0.0987 0.3876 O", 18467},      {L"+1 Ball", 2, "0 -11 0.0127 0.3998 O", 6334},
        {L"x2 Split", 2, "0 -11 0.0127 0.3998 O", 6334}, {L"RGB Split", 3, "0 -11 -0.0611 0.3953 R", 26500}};
    for (const auto& c : cases) {
        TestApp t;
        LoadLevel(t.app, 0);
        if (*c.button) {
            Click(t, c.button);
        }
        OnPointerClick(t.app);
        EXPECT_EQ(std::make_tuple(t.world.ballLaunched, CountActiveBalls(t.world), Balls(t.world)[0], t.world.random.Next(),
                                  t.platform.LinesStartingWith("SpawnBall: ").size()),
                  std::make_tuple(true, c.balls, c.launched, c.nextDraw, *c.button ? 1u : 0u)) << Narrow(c.button);
    }
    World empty;
    LaunchBall(empty);
    EXPECT_EQ(std::make_pair(empty.ballLaunched, empty.random.Next()), std::make_pair(false, 41));
}

TEST(SpawnRgbTrio, DropsRedGreenAndBlueFromTheTopBeyondTheLimit)
{
    World world = WithBalls(11);
    SpawnRgbTrio(world);
    // Down along their aims, turned by the draws.
    EXPECT_EQ(std::make_pair(CountActiveBalls(world), Balls(world, 11)),
              std::make_pair(14, std::vector<std::string>{"-3 15 -0.0880 -0.2630 R", "0 15 -0.0040 -0.2500 G", "3 15 0.1388 -0.2401 B"}));
}
