#pragma once
#include <cstring>

#include "app/app.h"
#include "app/commands.h"
#include "app/frame.h"
#include "fake_platform.h"
#include "game/levels.h"

// An App wired to a recording platform.
struct TestApp {
    RecordingPlatform platform;
    App app{platform};
    World& world = app.world;
};

inline Ball MakeBall(float x, float y, float vx, float vy, bool active = true)
{
    Ball ball;
    ball.x = x;
    ball.y = y;
    ball.vx = vx;
    ball.vy = vy;
    ball.active = active;
    Paint(ball, kOrange);
    return ball;
}

// Clears the brick table so that balls fly freely.
inline void ClearBricks(World& world)
{
    world.bricks.fill(Brick{});
    world.bricksLeft = 1000;  // keeps the level from counting as cleared
}

inline float FloatAt(const void* block, size_t offset)
{
    float value;
    std::memcpy(&value, static_cast<const unsigned char*>(block) + offset, sizeof(value));
    return value;
}
