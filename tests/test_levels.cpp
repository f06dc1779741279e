#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "test_support.h"

namespace {

// A window on the playfield cut into cells of w x h world units, from (left, top).
struct View {
    float left, top, w, h;
    int cols, rows;
};

// The bricks as the player sees them through the view: one character per cell,
// the colour of the first brick whose centre lies in it, '.' where none does.
std::vector<std::string> Picture(const World& world, const View& v)
{
    std::vector<std::string> rows(static_cast<size_t>(v.rows), std::string(static_cast<size_t>(v.cols), '.'));
    for (const Brick& b : world.bricks) {
        const int c = static_cast<int>(std::floor((b.x - v.left) / v.w));
        const int r = static_cast<int>(std::floor((v.top - b.y) / v.h));
        if (b.alive != 0.0f && c >= 0 && c < v.cols && r >= 0 && r < v.rows && rows[r][c] == '.') {
            rows[r][c] = static_cast<char>('0' + static_cast<int>(b.colorIndex));
        }
    }
    return rows;
}

struct Level {
    const wchar_t* button;
    int bricks;
    float halfWidth, halfHeight;
    float left, right, bottom, top;  // the outermost brick centres
    View view;
    std::vector<std::string> picture;
};

const Level kLevels[] = {
    {L"1. GRID PRIME", 80, 1.5f, 0.5f, -12.25f, 12.25f, 0.5f, 14.0f, {-14.0f, 14.75f, 3.5f, 1.5f, 8, 10},
     {"00000000", "11111111", "22222222", "33333333", "44444444",
      "00000000", "11111111", "22222222", "33333333", "44444444"}},
    {L"2. NEBULA", 80, 1.5f, 0.5f, -11.56f, 12.63f, -4.10f, 19.00f, {-13.6f, 19.3f, 3.0f, 3.0f, 9, 8},
     {"..3.11...", ".431004..", "043143334", ".04201223", "1.0414023", ".111240..", "..2334.1.", "...4401.."}},
    {L"3. HEART", 66, 1.5f, 0.5f, -12.80f, 12.78f, -5.58f, 17.54f, {-13.75f, 19.3f, 3.0f, 3.0f, 9, 9},
     {".000.000.", "00.000..0", "0...0...0", "0..000..0", "00.....00", ".00...00.", "..00.00..", "...000...",
      "....0...."}},
    {L"4. ZIVO", 39, 1.5f, 0.5f, -12.0f, 14.5f, 6.0f, 14.0f, {-13.25f, 15.0f, 2.5f, 2.0f, 12, 5},
     {"0001112.2333",  // Z I V O, a colour each
      "..0.1.2.23.3",
      ".0..1.2.23.3",
      "0...1.2.23.3",
      "000111.2.333"}},
    {L"5. CODE WALL", 148, 1.2f, 0.8f, -17.0f, 16.6f, -4.0f, 18.0f, {-18.4f, 19.0f, 2.8f, 2.0f, 13, 12},
     {"4301334023341", "0121401334002", "2300120401034", "401233.121401", "12342123.0124", "3402234112.00",
      "0.3343023321.", "204.103400234", "30121.0143402", "1333032.43103", "3411230012440", "0023421234012"}},
    {L"6. SPECTRUM", 1000, 0.45f, 0.45f, -20.0f, 19.0f, -4.0f, 20.0f, {-20.5f, 20.5f, 1.0f, 1.0f, 40, 3},
     {"0123456012345601234560123456012345601234",  // the top rows of diagonal stripes
      "1234560123456012345601234560123456012345",
      "2345601234560123456012345601234560123456"}},
};

}  // namespace

// Each level button builds its level: the bricks stand where its picture shows
// them, in its colours, the outermost ones at its edges, and the rest of the
// brick table is empty.
TEST(Levels, EachButtonBuildsTheLevelOfItsPicture)
{
    for (int level = 0; level < kLevelCount; ++level) {
        const Level& expected = kLevels[level];
        const std::string name = Narrow(expected.button);
        TestApp t;
        BuildLevel(t.app, level == 0 ? 1 : 0);
        Click(t, expected.button);
        const World& world = t.world;
        EXPECT_EQ(std::make_tuple(world.levelIndex, world.bricksTotal, world.bricksLeft),
                  std::make_tuple(level, expected.bricks, expected.bricks)) << name;
        EXPECT_EQ(std::make_pair(world.brickHalfWidth, world.brickHalfHeight),
                  std::make_pair(expected.halfWidth, expected.halfHeight)) << name;
        EXPECT_EQ(Picture(world, expected.view), expected.picture) << name;
        float edges[4] = {1e9f, -1e9f, 1e9f, -1e9f};  // left, right, bottom, top
        for (int slot = 0; slot < kBrickSlots; ++slot) {
            const Brick& b = world.bricks[static_cast<size_t>(slot)];
            const bool standing = slot < expected.bricks;
            ASSERT_TRUE(standing ? b.alive == 1.0f : b.x == 0.0f && b.y == 0.0f && b.colorIndex == 0.0f && b.alive == 0.0f)
                << name << " slot " << slot;
            if (standing) {
                edges[0] = std::min(edges[0], b.x);
                edges[1] = std::max(edges[1], b.x);
                edges[2] = std::min(edges[2], b.y);
                edges[3] = std::max(edges[3], b.y);
            }
        }
        const float expectedEdges[4] = {expected.left, expected.right, expected.bottom, expected.top};
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(edges[i], expectedEdges[i], 0.005) << name << " edge " << i;
        }
    }
}

// The next level after the last is the first; a new level starts with a ball
// waiting on the paddle, three lives, the normal glow and no debris, but the
// score stays. A deterministic run serves from the centre.
TEST(Levels, ANewLevelStartsAfreshButKeepsTheScore)
{
    TestApp t;
    World& world = t.world;
    BuildLevel(t.app, 5);
    world.score = 1200;
    world.lives = 1;
    world.ballGlow = 4.0f;
    world.activeDebris = 64;
    world.debrisCursor = 7;
    world.explosionQueue.push_back(ExplosionEvent{1, 2, 3});
    world.paddleX = 5.0f;
    world.balls.push_back(MakeBall(1, 1, 0.1f, 0.1f));
    world.ballLaunched = true;
    world.bricksDirty = false;
    BuildLevel(t.app, 6);
    EXPECT_EQ(world.levelIndex, 0);
    EXPECT_EQ(world.brickHalfWidth, 1.5f);  // back from the small bricks of the last level
    EXPECT_EQ(std::make_tuple(world.score, world.lives, world.ballGlow), std::make_tuple(1200, 3, 2.0f));
    EXPECT_EQ(std::make_tuple(world.activeDebris, world.debrisCursor, world.explosionQueue.size()),
              std::make_tuple(0, 0, size_t{0}));
    EXPECT_TRUE(world.bricksDirty);
    EXPECT_FALSE(world.ballLaunched);
    ASSERT_EQ(world.balls.size(), 1u);
    const Ball& ball = world.balls[0];
    EXPECT_EQ(std::make_tuple(ball.x, ball.y, ball.vy, ball.active, ball.r), std::make_tuple(5.0f, -11.0f, 0.0f, true, 1.5f));
    EXPECT_EQ(std::make_pair(t.platform.debrisClears, t.platform.panelRefreshes), std::make_pair(2, 2));

    world.deterministicRun = true;
    BuildLevel(t.app, 3);
    EXPECT_EQ(std::make_pair(world.paddleX, world.balls[0].x), std::make_pair(0.0f, 0.0f));
}

// Outside a benchmark the debris count follows the level, 8 per brick; a
// benchmark keeps the count it was started with.
TEST(Levels, TheDebrisCapIsEightPerBrickAndABenchmarkKeepsItsCount)
{
    const struct {
        int level;
        bool benchmark;
        int32_t cap, count;
    } cases[] = {{5, false, 8000, 8000}, {2, false, 528, 528}, {5, true, 8000, 160}, {3, true, 312, 160}};
    for (const auto& c : cases) {
        World world;
        world.benchmarkRunning = c.benchmark;
        world.debrisCount = 160;
        BuildLevel(world, c.level);
        EXPECT_EQ(std::make_pair(world.debrisCap, world.debrisCount), std::make_pair(c.cap, c.count)) << c.level;
    }
}
