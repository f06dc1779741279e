#include "gpu/frame_constants.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "game/debris.h"
#include "game/update.h"
#include "game/world.h"

FrameConstants AssembleFrameConstants(const World& world, uint32_t width, uint32_t height, const WorldFrame& frame)
{
    FrameConstants c;
    std::memset(&c, 0, sizeof(c));
    c.paddleX = world.paddleX;
    c.time = static_cast<float>(std::fmod(world.gameTime, kConstantTimeWrap));
    c.frameStep = frame.step;
    c.width = static_cast<float>(width);
    c.height = static_cast<float>(height);
    c.brightness = world.brightness;
    c.paddleDelta = frame.paddleDelta;
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
    // The first twelve active balls: the array can hold lost balls and, after
    // the benchmark's trio, more than twelve records, and a ball in play must
    // be drawn wherever its record stands.
    size_t onGpu = 0;
    for (const Ball& ball : world.balls) {
        if (onGpu == static_cast<size_t>(kBallsDrawn)) {
            break;
        }
        if (!ball.active) {
            continue;
        }
        c.ballPos[onGpu][0] = ball.x;
        c.ballPos[onGpu][1] = ball.y;
        c.ballPos[onGpu][2] = 1.0f;
        c.ballColor[onGpu][0] = ball.r;
        c.ballColor[onGpu][1] = ball.g;
        c.ballColor[onGpu][2] = ball.b;
        c.ballColor[onGpu][3] = 1.0f;
        ++onGpu;
    }
    return c;
}

FrameConstants ConstantsForRender(const FrameConstants& assembled, uint32_t width, uint32_t height)
{
    FrameConstants c = assembled;
    c.width = static_cast<float>(width);
    c.height = static_cast<float>(height);
    return c;
}
