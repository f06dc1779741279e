#include "game/levels.h"

#include <algorithm>
#include <cmath>

#include "game/world.h"
#include "game/debris.h"

const wchar_t* const kLevelNames[kLevelCount] = {
    L"1. GRID PRIME", L"2. NEBULA", L"3. HEART", L"4. ZIVO", L"5. CODE WALL", L"6. SPECTRUM",
};

namespace {

// Block letters Z, I, V, O: 5 rows of 3 cells, row 0 at the top.
constexpr int kZivoGlyphs[4][5][3] = {
    {{1, 1, 1}, {0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {1, 1, 1}},  // Z
    {{1, 1, 1}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {1, 1, 1}},  // I
    {{1, 0, 1}, {1, 0, 1}, {1, 0, 1}, {1, 0, 1}, {0, 1, 0}},  // V
    {{1, 1, 1}, {1, 0, 1}, {1, 0, 1}, {1, 0, 1}, {1, 1, 1}},  // O
};

class BrickWriter {
public:
    explicit BrickWriter(World& world) : world_(world) {}

    void Add(float x, float y, int colorIndex)
    {
        if (count_ >= kBrickSlots) {
            return;  // the table is full: further bricks are dropped
        }
        world_.bricks[static_cast<size_t>(count_)] = Brick{x, y, static_cast<float>(colorIndex), 1.0f};
        ++count_;
    }

    int Count() const { return count_; }

private:
    World& world_;
    int count_ = 0;
};

void GridPrime(BrickWriter& out)
{
    for (int r = 0; r < 10; ++r) {
        for (int c = 0; c < 8; ++c) {
            out.Add(-12.25f + 3.5f * static_cast<float>(c), 14.0f - 1.5f * static_cast<float>(r), r % 5);
        }
    }
}

void Nebula(BrickWriter& out)
{
    float angle = 0.0f;
    float radius = 1.0f;
    for (int i = 0; i < 80; ++i) {
        out.Add(std::cos(angle) * radius, std::sin(angle) * radius + 8.0f, i % 5);
        angle += 0.4f;
        radius += 0.15f;
    }
}

void Heart(BrickWriter& out)
{
    for (float t = 0.0f; t < 6.2831855f; t += 0.1f) {
        const float x = 16.0f * std::pow(std::sin(t), 3.0f) * 0.8f;
        const float y = (13.0f * std::cos(t) - 5.0f * std::cos(2.0f * t) - 2.0f * std::cos(3.0f * t) -
                         std::cos(4.0f * t)) * 0.8f + 8.0f;
        out.Add(x, y, 0);
    }
    out.Add(0.0f, 8.0f, 0);
    out.Add(-2.0f, 10.0f, 0);
    out.Add(2.0f, 10.0f, 0);
}

void Zivo(BrickWriter& out)
{
    for (int letter = 0; letter < 4; ++letter) {
        const float x0 = -12.0f + 7.5f * static_cast<float>(letter);
        for (int row = 0; row < 5; ++row) {
            for (int col = 0; col < 3; ++col) {
                if (kZivoGlyphs[letter][row][col] != 0) {
                    out.Add(x0 + 2.0f * static_cast<float>(col), 14.0f - 2.0f * static_cast<float>(row), letter);
                }
            }
        }
    }
}

void CodeWall(World& world, BrickWriter& out)
{
    world.brickHalfWidth = 1.2f;
    world.brickHalfHeight = 0.8f;
    for (int r = 0; r < 12; ++r) {
        for (int c = 0; c < 13; ++c) {
            if (r >= 3 && r <= 9 && (13 * r + 17 * c) % 47 < 4) {
                continue;  // a hole in the wall
            }
            int colour;
            if ((r + c) % 4 == 0) {
                colour = (23 * r + 89 + (17 * r + 31) * c) % 5;
            } else if (r % 3 == 0 && c % 4 == 1) {
                colour = 3;
            } else {
                colour = (7 * r + 13 + 11 * c) % 5;
            }
            const float x = (2.0f * world.brickHalfWidth + 0.4f) * static_cast<float>(c) - 17.0f;
            const float y = 18.0f - (2.0f * world.brickHalfHeight + 0.4f) * static_cast<float>(r);
            out.Add(x, y, colour);
        }
    }
}

void Spectrum(World& world, BrickWriter& out)
{
    world.brickHalfWidth = 0.45f;
    world.brickHalfHeight = 0.45f;
    for (int r = 0; r < 25; ++r) {
        for (int c = 0; c < 40; ++c) {
            out.Add(static_cast<float>(c - 20), static_cast<float>(20 - r), (r + c) % 7);
        }
    }
}

}  // namespace

void ResetBallOnPaddle(World& world)
{
    if (world.deterministicRun) {
        world.paddleX = 0.0f;
    }
    world.balls.clear();
    Ball ball;
    ball.x = world.paddleX;
    ball.y = field::kRestHeight;
    ball.active = true;
    Paint(ball, kOrange);
    world.balls.push_back(ball);
    world.ballLaunched = false;
}

WorldEffects BuildLevel(World& world, int32_t n)
{
    world.brickHalfWidth = 1.5f;
    world.brickHalfHeight = 0.5f;
    world.levelIndex = n % kLevelCount;
    world.bricks.fill(Brick{});

    BrickWriter out(world);
    switch (world.levelIndex) {
    case 0: GridPrime(out); break;
    case 1: Nebula(out); break;
    case 2: Heart(out); break;
    case 3: Zivo(out); break;
    case 4: CodeWall(world, out); break;
    default: Spectrum(world, out); break;
    }

    world.bricksLeft = out.Count();
    world.bricksTotal = out.Count();
    world.ballLaunched = false;
    world.lives = 3;
    world.ballGlow = 2.0f;
    world.activeDebris = 0;
    world.debrisCursor = 0;
    world.explosionQueue.clear();

    ResetBallOnPaddle(world);

    world.debrisCap = std::min(kDebrisBurst * out.Count(), kDebrisParticles);
    if (!world.benchmarkRunning) {
        world.debrisCount = world.debrisCap;
    }
    world.bricksDirty = true;

    WorldEffects effects = ResetDebris(world);
    effects.refreshPanel = true;
    return effects;
}
