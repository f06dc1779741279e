#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "test_support.h"

namespace {

int StandingBricks(const World& world)
{
    int n = 0;
    for (const Brick& b : world.bricks) {
        n += b.alive != 0.0f ? 1 : 0;
    }
    return n;
}

}  // namespace

TEST(BuildLevel, EachLevelHasItsBrickCountAndLeavesTheRestOfTheTableEmpty)
{
    const int expected[kLevelCount] = {80, 80, 66, 39, 148, 1000};
    World world;
    for (int level = 0; level < kLevelCount; ++level) {
        BuildLevel(world, level);
        EXPECT_EQ(world.levelIndex, level);
        EXPECT_EQ(world.bricksTotal, expected[level]) << "level " << level;
        EXPECT_EQ(world.bricksLeft, expected[level]);
        EXPECT_EQ(StandingBricks(world), expected[level]);
        for (int slot = expected[level]; slot < kBrickSlots; ++slot) {
            const Brick& b = world.bricks[static_cast<size_t>(slot)];
            ASSERT_TRUE(b.x == 0.0f && b.y == 0.0f && b.colorIndex == 0.0f && b.alive == 0.0f) << "slot " << slot;
        }
    }
}

TEST(BuildLevel, GridPrimeAndNebulaPositions)
{
    World world;
    BuildLevel(world, 0);
    const auto& b = world.bricks;
    EXPECT_FLOAT_EQ(b[0].x, -12.25f);
    EXPECT_FLOAT_EQ(b[0].y, 14.0f);
    EXPECT_FLOAT_EQ(b[9].x, -8.75f);   // row 1, column 1
    EXPECT_FLOAT_EQ(b[9].y, 12.5f);
    EXPECT_FLOAT_EQ(b[9].colorIndex, 1.0f);
    EXPECT_FLOAT_EQ(b[79].x, 12.25f);
    EXPECT_FLOAT_EQ(b[79].y, 0.5f);
    EXPECT_FLOAT_EQ(b[79].colorIndex, 4.0f);

    BuildLevel(world, 1);
    EXPECT_FLOAT_EQ(b[0].x, 1.0f);
    EXPECT_FLOAT_EQ(b[0].y, 8.0f);
    EXPECT_NEAR(b[1].x, std::cos(0.4f) * 1.15f, 1e-5);
    EXPECT_NEAR(b[1].y, std::sin(0.4f) * 1.15f + 8.0f, 1e-5);
    EXPECT_FLOAT_EQ(b[7].colorIndex, 2.0f);
}

TEST(BuildLevel, HeartHas63CurvePointsThenThreeCentreBricks)
{
    World world;
    BuildLevel(world, 2);
    const auto& b = world.bricks;
    EXPECT_NEAR(b[0].x, 0.0f, 1e-6);
    EXPECT_NEAR(b[0].y, (13.0f - 5.0f - 2.0f - 1.0f) * 0.8f + 8.0f, 1e-5);
    EXPECT_NEAR(b[62].x, 16.0f * std::pow(std::sin(6.2f), 3.0f) * 0.8f, 1e-3);  // t accumulated to about 6.2
    EXPECT_EQ(b[63].x, 0.0f);
    EXPECT_EQ(b[63].y, 8.0f);
    EXPECT_EQ(b[64].x, -2.0f);
    EXPECT_EQ(b[64].y, 10.0f);
    EXPECT_EQ(b[65].x, 2.0f);
    EXPECT_EQ(b[65].y, 10.0f);
    for (int i = 0; i < 66; ++i) {
        EXPECT_EQ(b[static_cast<size_t>(i)].colorIndex, 0.0f);
    }
}

TEST(BuildLevel, ZivoLettersSitOnTheirRowsWithOneColourPerLetter)
{
    World world;
    BuildLevel(world, 3);
    std::map<int, int> perLetter;
    for (int i = 0; i < world.bricksTotal; ++i) {
        const Brick& b = world.bricks[static_cast<size_t>(i)];
        const int letter = static_cast<int>(b.colorIndex);
        ++perLetter[letter];
        const float x0 = -12.0f + 7.5f * static_cast<float>(letter);
        const float col = (b.x - x0) / 2.0f;
        EXPECT_TRUE(col == 0.0f || col == 1.0f || col == 2.0f) << "brick " << i;
        EXPECT_TRUE(b.y == 14.0f || b.y == 12.0f || b.y == 10.0f || b.y == 8.0f || b.y == 6.0f);
    }
    EXPECT_EQ(perLetter.size(), 4u);
    // Z, I and V use nine cells each, O twelve.
    EXPECT_EQ(perLetter[0], 9);
    EXPECT_EQ(perLetter[1], 9);
    EXPECT_EQ(perLetter[2], 9);
    EXPECT_EQ(perLetter[3], 12);
    EXPECT_FLOAT_EQ(world.brickHalfWidth, 1.5f);
}

TEST(BuildLevel, CodeWallMatchesItsColourGridAndHoles)
{
    // Rows top to bottom, '.' a hole.
    const char* const grid[12] = {
        "4301334023341", "0121401334002", "2300120401034", "401233.121401",
        "12342123.0124", "3402234112.00", "0.3343023321.", "204.103400234",
        "30121.0143402", "1333032.43103", "3411230012440", "0023421234012",
    };
    World world;
    BuildLevel(world, 4);
    EXPECT_FLOAT_EQ(world.brickHalfWidth, 1.2f);
    EXPECT_FLOAT_EQ(world.brickHalfHeight, 0.8f);
    std::map<std::pair<int, int>, int> cells;
    for (int i = 0; i < world.bricksTotal; ++i) {
        const Brick& b = world.bricks[static_cast<size_t>(i)];
        const int c = static_cast<int>(std::lround((b.x + 17.0f) / 2.8f));
        const int r = static_cast<int>(std::lround((18.0f - b.y) / 2.0f));
        EXPECT_NEAR(b.x, -17.0f + 2.8f * static_cast<float>(c), 1e-4);
        cells[{r, c}] = static_cast<int>(b.colorIndex);
    }
    for (int r = 0; r < 12; ++r) {
        for (int c = 0; c < 13; ++c) {
            const char expected = grid[r][c];
            const auto found = cells.find({r, c});
            if (expected == '.') {
                EXPECT_EQ(found, cells.end()) << "hole expected at " << r << "," << c;
            } else {
                ASSERT_NE(found, cells.end()) << "brick expected at " << r << "," << c;
                EXPECT_EQ(found->second, expected - '0') << "colour at " << r << "," << c;
            }
        }
    }
}

TEST(BuildLevel, SpectrumIsAFortyByTwentyFiveGridOfSmallBricks)
{
    World world;
    BuildLevel(world, 5);
    EXPECT_FLOAT_EQ(world.brickHalfWidth, 0.45f);
    EXPECT_FLOAT_EQ(world.brickHalfHeight, 0.45f);
    const auto& b = world.bricks;
    EXPECT_EQ(b[0].x, -20.0f);
    EXPECT_EQ(b[0].y, 20.0f);
    EXPECT_EQ(b[999].x, 19.0f);
    EXPECT_EQ(b[999].y, -4.0f);
    EXPECT_EQ(b[41].colorIndex, static_cast<float>((1 + 1) % 7));
    EXPECT_EQ(b[999].colorIndex, static_cast<float>((24 + 39) % 7));
}

TEST(BuildLevel, ResetsTheWorldButKeepsScoreAndClearsTheGpuDebris)
{
    World world;
    BuildLevel(world, 4);
    world.score = 1200;
    world.lives = 1;
    world.ballGlow = 4.0f;
    world.activeDebris = 64;
    world.debrisCursor = 7;
    world.explosionQueue.push_back(ExplosionEvent{1, 2, 3});
    world.paddleX = 5.0f;
    world.balls.push_back(MakeBall(1, 1, 0.1f, 0.1f));
    world.ballLaunched = true;
    const WorldEffects effects = BuildLevel(world, 6);  // wraps to level 0

    EXPECT_EQ(world.levelIndex, 0);
    EXPECT_FLOAT_EQ(world.brickHalfWidth, 1.5f);
    EXPECT_FLOAT_EQ(world.brickHalfHeight, 0.5f);
    EXPECT_EQ(world.score, 1200);
    EXPECT_EQ(world.lives, 3);
    EXPECT_EQ(world.ballGlow, 2.0f);
    EXPECT_EQ(world.activeDebris, 0);
    EXPECT_EQ(world.debrisCursor, 0);
    EXPECT_TRUE(world.explosionQueue.empty());
    EXPECT_TRUE(world.bricksDirty);
    EXPECT_FALSE(world.ballLaunched);
    ASSERT_EQ(world.balls.size(), 1u);
    EXPECT_EQ(world.balls[0].x, 5.0f);  // paddle kept outside a deterministic run
    EXPECT_EQ(world.balls[0].y, -11.0f);
    EXPECT_TRUE(world.balls[0].active);
    EXPECT_EQ(world.balls[0].r, 1.5f);
    EXPECT_TRUE(effects.clearGpuDebris);
    EXPECT_TRUE(effects.refreshPanel);
}

TEST(BuildLevel, DebrisCapFollowsTheLevelAndTheCountOnlyOutsideABenchmark)
{
    World world;
    BuildLevel(world, 5);
    EXPECT_EQ(world.debrisCap, 8000);
    EXPECT_EQ(world.debrisCount, 8000);
    BuildLevel(world, 2);
    EXPECT_EQ(world.debrisCap, 528);
    EXPECT_EQ(world.debrisCount, 528);

    world.benchmarkRunning = true;
    world.debrisCount = 160;
    BuildLevel(world, 5);
    EXPECT_EQ(world.debrisCap, 8000);
    EXPECT_EQ(world.debrisCount, 160);
}

TEST(ResetBallOnPaddle, CentresThePaddleOnlyInADeterministicRun)
{
    World world;
    world.paddleX = 7.0f;
    world.balls.assign(5, MakeBall(0, 0, 1, 1));
    ResetBallOnPaddle(world);
    EXPECT_EQ(world.balls.size(), 1u);
    EXPECT_EQ(world.balls[0].x, 7.0f);

    world.deterministicRun = true;
    ResetBallOnPaddle(world);
    EXPECT_EQ(world.paddleX, 0.0f);
    EXPECT_EQ(world.balls[0].x, 0.0f);
    EXPECT_EQ(world.balls[0].vx, 0.0f);
    EXPECT_FALSE(world.ballLaunched);
}
