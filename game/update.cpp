#include "game/update.h"

#include <algorithm>
#include <cmath>

#include "game/debris.h"
#include "game/levels.h"
#include "game/spawning.h"
#include "game/world.h"

namespace {

constexpr float kPaddleKeySpeed = 30.0f;  // world units per second
constexpr float kAutoplayFollow = 0.2f;   // fraction of the distance per update
constexpr int kSubSteps = 4;
// The share of a tick each sub-step moves the balls by.
constexpr float kSubStepShare = 1.0f / kSubSteps;

// The paddle's bounce. The hit's distance from the paddle's centre turns the
// ball away from straight up (pi / 2), so a player aims with the paddle:
// 3 units off centre turn it by 0.8 rad (46 degrees), the edge of the paddle
// (3.8 units) by about 58 degrees, so a bounce always climbs.
constexpr float kPaddleAimUnits = 3.0f;
constexpr float kPaddleAimTurn = 0.8f;
constexpr float kStraightUp = 1.5707964f;
// Each bounce speeds the ball by 2 %, so a long rally grows harder ...
constexpr float kBounceSpeedUp = 1.02f;
// ... up to 0.8 units a tick. The vertical speed stays within it, 0.2 units
// a sub-step at fixed ticks: far less than the paddle's band (1.3 units) or a
// brick's reach, so no ball jumps over them.
constexpr float kBounceTopSpeed = 0.8f;
// The horizontal part is stretched by half, so an aimed bounce crosses the
// field (38 units wide) sooner; the speed may then exceed the cap.
constexpr float kBounceSideStretch = 1.5f;

// The lowest falling ball above y = -13 wins; failing that, the lowest active ball.
float AutoplayTarget(const World& world)
{
    float best = 1000.0f;
    float target = world.paddleX;
    bool found = false;
    for (const Ball& ball : world.balls) {
        if (ball.active && ball.vy < 0.0f && ball.y > -13.0f && ball.y < best) {
            best = ball.y;
            target = ball.x;
            found = true;
        }
    }
    if (!found) {
        for (const Ball& ball : world.balls) {
            if (ball.active && ball.y < best) {
                best = ball.y;
                target = ball.x;
            }
        }
    }
    return target;
}

void HitBrick(World& world, Ball& ball, Brick& brick)
{
    brick.alive = 0.0f;
    world.score += 100;
    world.bricksLeft -= 1;
    ball.vy = -ball.vy;
    const float code = static_cast<float>(world.debrisCursor + 1) + 100.0f * brick.colorIndex;
    world.explosionQueue.push_back(ExplosionEvent{code, brick.x, brick.y});
    AdvanceDebrisRing(world);
    world.bricksDirty = true;
}

void MoveBall(World& world, Ball& ball, float s)
{
    ball.x += ball.vx * s;
    ball.y += ball.vy * s;
    // A wall turns back only a ball that moves outward: one the paddle (or,
    // at the ceiling, a brick) sent outward while it was already past the wall
    // must not flip every sub-step.
    if (std::fabs(ball.x) > field::kSideWall && ball.x * ball.vx > 0.0f) {
        ball.vx = -ball.vx;
    }
    if (ball.y > field::kCeiling && ball.vy > 0.0f) {
        ball.vy = -ball.vy;
    }
    if (ball.y < field::kLossLine) {
        ball.active = false;
    }
    if (ball.y > field::kPaddleBandLow && ball.y < field::kPaddleBandHigh &&
        std::fabs(ball.x - world.paddleX) < field::kPaddleHalfReach && ball.vy < 0.0f) {
        const float d = ball.x - world.paddleX;
        const float angle = d / kPaddleAimUnits * kPaddleAimTurn + kStraightUp;
        const float speed = std::min(kBounceTopSpeed, std::sqrt(ball.vx * ball.vx + ball.vy * ball.vy) * kBounceSpeedUp);
        ball.vx = -std::cos(angle) * speed * kBounceSideStretch;
        ball.vy = std::fabs(std::sin(angle) * speed);
    }
    if (ball.y > field::kBrickTestFloor) {
        const float reachX = world.brickHalfWidth + field::kBallRadius;
        const float reachY = world.brickHalfHeight + field::kBallRadius;
        for (Brick& brick : world.bricks) {
            if (brick.alive != 0.0f && std::fabs(ball.x - brick.x) < reachX && std::fabs(ball.y - brick.y) < reachY) {
                HitBrick(world, ball, brick);
                break;
            }
        }
    }
}

void SubStep(World& world, float s)
{
    for (Ball& ball : world.balls) {
        if (ball.active) {
            MoveBall(world, ball, s);
        }
    }
}

WorldEffects EndOfUpdateChecks(World& world)
{
    WorldEffects effects;
    if (CountActiveBalls(world) == 0) {
        if (world.autoplay) {
            ResetBallOnPaddle(world);
            LaunchBall(world);
            effects.sceneRebuilt = true;
        } else {
            world.lives -= 1;
            if (world.lives > 0) {
                ResetBallOnPaddle(world);
            } else {
                effects += BuildLevel(world, world.levelIndex);
            }
        }
        effects.refreshPanel = true;
    }
    if (world.bricksLeft <= 0) {
        effects += BuildLevel(world, world.levelIndex + 1);
        if (world.autoplay) {
            LaunchBall(world);
        }
        effects.sceneRebuilt = true;
    }
    return effects;
}

void SteerByAutoplay(World& world)
{
    if (!world.ballLaunched) {
        LaunchBall(world);
    }
    world.paddleX += (AutoplayTarget(world) - world.paddleX) * kAutoplayFollow;
}

// Places the waiting ball on the paddle; true while the first ball has not left it.
bool BallWaitsOnPaddle(World& world)
{
    if (world.ballLaunched) {
        return false;
    }
    if (!world.balls.empty()) {
        world.balls[0].x = world.paddleX;
        world.balls[0].y = field::kRestHeight;
    }
    return true;
}

WorldEffects FixedTick(World& world)
{
    if (world.autoplay) {
        SteerByAutoplay(world);
    }
    world.paddleX = std::clamp(world.paddleX, -field::kPaddleTravel, field::kPaddleTravel);
    if (BallWaitsOnPaddle(world)) {
        return {};
    }
    for (int i = 0; i < kSubSteps; ++i) {
        SubStep(world, kSubStepShare);
    }
    return EndOfUpdateChecks(world);
}

WorldEffects VariableStep(World& world, float step)
{
    if (world.autoplay) {
        SteerByAutoplay(world);
    } else {
        if (world.moveLeft) {
            world.paddleX -= step * kPaddleKeySpeed;
        }
        if (world.moveRight) {
            world.paddleX += step * kPaddleKeySpeed;
        }
    }
    world.paddleX = std::clamp(world.paddleX, -field::kPaddleTravel, field::kPaddleTravel);
    if (BallWaitsOnPaddle(world)) {
        return {};
    }
    const float s = step * 60.0f * kSubStepShare;
    for (int i = 0; i < kSubSteps; ++i) {
        SubStep(world, s);
    }
    return EndOfUpdateChecks(world);
}

}  // namespace

WorldFrame AdvanceWorld(World& world, double step, double rawStep, const TickHook& beforeTick)
{
    WorldFrame frame;
    world.gameTime += step;
    frame.step = static_cast<float>(step);
    world.currentExplosion.code = 0.0f;
    frame.paddleDelta = world.paddleX - world.prevPaddleX;
    world.prevPaddleX = world.paddleX;

    if (world.deterministicRun) {
        // The accumulator holds less than a tick between frames, so a float
        // keeps it exact enough, and ticks fall on the frames they always did.
        world.stepAccumulator += static_cast<float>(std::clamp(rawStep, 0.0, static_cast<double>(kDeterministicCatchUp)));
        while (world.stepAccumulator >= field::kTick) {
            world.stepAccumulator -= field::kTick;
            if (beforeTick) {
                beforeTick(world);
            }
            frame.effects += FixedTick(world);
        }
    } else {
        frame.effects += VariableStep(world, frame.step);
    }

    HandOverExplosion(world);
    return frame;
}
