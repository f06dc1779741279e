#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
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

// The bricks through the view: a cell shows the colour of the first brick centred in it, '.' where none is.
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
    int bricks, debrisCap;
    float halfWidth, halfHeight;
    const char* edges;  // the outermost brick centres: left..right x bottom..top
    View view;
    std::vector<std::string> picture;
};

const Level kLevels[] = {
    {L"1. GRID PRIME", 80, 640, 1.5f, 0.5f, "-12.25..12.25 x 0.50..14.00", {-14.0f, 14.75f, 3.5f, 1.5f, 8, 10},
     {"00000000", "11111111", "22222222", "33333333", "44444444",
      "00000000", "11111111", "22222222", "33333333", "44444444"}},
    {L"2. NEBULA", 80, 640, 1.5f, 0.5f, "-11.56..12.63 x -4.10..19.00", {-13.6f, 19.3f, 3.0f, 3.0f, 9, 8},
     {"..3.11...", ".431004..", "043143334", ".04201223", "1.0414023", ".111240..", "..2334.1.", "...4401.."}},
    {L"3. HEART", 66, 528, 1.5f, 0.5f, "-12.80..12.78 x -5.58..17.54", {-13.75f, 19.3f, 3.0f, 3.0f, 9, 9},
     {".000.000.", "00.000..0", "0...0...0", "0..000..0", "00.....00", ".00...00.", "..00.00..", "...000...",
      "....0...."}},
    {L"4. ZIVO", 39, 312, 1.5f, 0.5f, "-12.00..14.50 x 6.00..14.00", {-13.25f, 15.0f, 2.5f, 2.0f, 12, 5},
     {"0001112.2333",  // Z I V O, a colour each
      "..0.1.2.23.3",
      ".0..1.2.23.3",
      "0...1.2.23.3",
      "000111.2.333"}},
    {L"5. CODE WALL", 148, 1184, 1.2f, 0.8f, "-17.00..16.60 x -4.00..18.00", {-18.4f, 19.0f, 2.8f, 2.0f, 13, 12},
     {"4301334023341", "0121401334002", "2300120401034", "401233.121401", "12342123.0124", "3402234112.00",
      "0.3343023321.", "204.103400234", "30121.0143402", "1333032.43103", "3411230012440", "0023421234012"}},
    {L"6. SPECTRUM", 1000, 8000, 0.45f, 0.45f, "-20.00..19.00 x -4.00..20.00", {-20.5f, 20.5f, 1.0f, 1.0f, 40, 3},
     {"0123456012345601234560123456012345601234",  // the top rows of diagonal stripes
      "1234560123456012345601234560123456012345",
      "2345601234560123456012345601234560123456"}},
};

}  // namespace

// Each level button builds its level as pictured (8 debris per brick outside a benchmark); the score stays.
TEST(Levels, EachButtonBuildsTheLevelOfItsPictureAndStartsAfresh)
{
    for (int level = 0; level < kLevelCount; ++level) {
        const Level& expected = kLevels[level];
        const std::string name = Narrow(expected.button);
        TestApp t;
        World& world = t.world;
        LoadLevel(t.app, level == 0 ? 5 : 0);  // the first level after the small bricks of the last
        std::tie(world.score, world.lives, world.ballGlow, world.activeDebris, world.debrisCursor, world.paddleX,
                 world.ballLaunched, world.bricksDirty) = std::tuple(1200, 1, 4.0f, 64, 7, 5.0f, true, false);
        world.explosionQueue.push_back(ExplosionEvent{1, 2, 3});
        world.balls.push_back(MakeBall(1, 1, 0.1f, 0.1f));
        Click(t, expected.button);
        const Ball& ball = world.balls.at(0);
        EXPECT_EQ(std::make_tuple(world.score, world.lives, world.ballGlow, world.activeDebris, world.debrisCursor,
                                  world.explosionQueue.size(), world.bricksDirty, t.platform.debrisClears),
                  std::make_tuple(1200, 3, 2.0f, 0, 0, size_t{0}, true, 2)) << name;
        EXPECT_EQ(std::make_tuple(world.balls.size(), world.ballLaunched, ball.x, ball.y, ball.vy, ball.active, ball.r),
                  std::make_tuple(size_t{1}, false, 5.0f, -11.0f, 0.0f, true, 1.5f)) << name;
        EXPECT_EQ(std::make_tuple(world.levelIndex, world.bricksTotal, world.bricksLeft, world.debrisCap, world.debrisCount),
                  std::make_tuple(level, expected.bricks, expected.bricks, expected.debrisCap, expected.debrisCap)) << name;
        EXPECT_EQ(std::make_pair(world.brickHalfWidth, world.brickHalfHeight),
                  std::make_pair(expected.halfWidth, expected.halfHeight)) << name;
        EXPECT_EQ(Picture(world, expected.view), expected.picture) << name;
        float left = 1e9f, right = -1e9f, bottom = 1e9f, top = -1e9f;
        for (size_t slot = 0; slot < world.bricks.size(); ++slot) {
            const Brick& b = world.bricks[slot];
            const bool standing = slot < static_cast<size_t>(expected.bricks);
            ASSERT_TRUE(standing ? b.alive == 1.0f : b.x == 0.0f && b.y == 0.0f && b.colorIndex == 0.0f && b.alive == 0.0f)
                << name << " slot " << slot;
            if (standing) {
                left = std::min(left, b.x), right = std::max(right, b.x), bottom = std::min(bottom, b.y), top = std::max(top, b.y);
            }
        }
        char edges[64];
        std::snprintf(edges, sizeof(edges), "%.2f..%.2f x %.2f..%.2f", left, right, bottom, top);
        EXPECT_EQ(std::string(edges), expected.edges) << name;
    }    // A benchmark keeps the debris count it was started with, and a deterministic run serves from the centre.
    TestApp t;
    std::tie(t.world.benchmarkRunning, t.world.deterministicRun, t.world.debrisCount, t.world.paddleX) =
        std::tuple(true, true, 160, 5.0f);
    LoadLevel(t.app, 3);
    EXPECT_EQ(std::make_tuple(t.world.debrisCap, t.world.debrisCount, t.world.paddleX, t.world.balls[0].x),
              std::make_tuple(312, 160, 0.0f, 0.0f));
}
