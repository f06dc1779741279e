#include "gpu/frame_constants.h"

#include <algorithm>
#include <cstring>

#include "game/debris.h"
#include "game/world.h"

FrameConstants AssembleFrameConstants(const World& world, uint32_t width, uint32_t height, float paddleDelta)
{
    FrameConstants c;
    std::memset(&c, 0, sizeof(c));
    c.paddleX = world.paddleX;
    c.time = world.gameTime;
    c.width = static_cast<float>(width);
    c.height = static_cast<float>(height);
    c.brightness = world.brightness;
    c.paddleDelta = paddleDelta;
    c.explosionCode = world.currentExplosion.code;
    c.explosionX = world.currentExplosion.x;
    c.explosionY = world.currentExplosion.y;
    c.raySteps = static_cast<float>(world.raySteps);
    c.liveDebris = static_cast<float>(DebrisDrawCount(world));
    c.brickCount = static_cast<float>(world.bricksTotal);
    c.ballGlow = world.ballGlow;
    c.autoplay = world.autoplay ? 1.0f : 0.0f;
    c.brickHalfWidth = world.brickHalfWidth;
    c.brickHalfHeight = world.brickHalfHeight;
    const size_t onGpu = std::min(world.balls.size(), static_cast<size_t>(kBallsOnGpu));
    for (size_t i = 0; i < onGpu; ++i) {
        const Ball& ball = world.balls[i];
        c.ballPos[i][0] = ball.x;
        c.ballPos[i][1] = ball.y;
        c.ballPos[i][2] = ball.active ? 1.0f : 0.0f;
        c.ballColor[i][0] = ball.r;
        c.ballColor[i][1] = ball.g;
        c.ballColor[i][2] = ball.b;
        c.ballColor[i][3] = 1.0f;
    }
    return c;
}
