#include "game/update.h"

#include <algorithm>
#include <cmath>

#include "app/app.h"
#include "bench/benchmark.h"
#include "game/debris.h"
#include "game/levels.h"
#include "game/spawning.h"
#include "gpu/frame_constants.h"
#include "ui/telemetry.h"

namespace {

constexpr float kPaddleKeySpeed = 30.0f;  // world units per second
constexpr float kAutoplayFollow = 0.2f;   // fraction of the distance per update
constexpr int kSubSteps = 4;

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

void HitBrick(App& app, Ball& ball, Brick& brick)
{
    World& world = app.world;
    brick.alive = 0.0f;
    world.score += 100;
    world.bricksLeft -= 1;
    ball.vy = -ball.vy;
    const float code = static_cast<float>(world.debrisCursor + 1) + 100.0f * brick.colorIndex;
    world.explosionQueue.push_back(ExplosionEvent{code, brick.x, brick.y});
    AdvanceDebrisRing(world);
    world.bricksDirty = true;
}

void MoveBall(App& app, Ball& ball, float s)
{
    World& world = app.world;
    ball.x += ball.vx * s;
    ball.y += ball.vy * s;
    if (std::fabs(ball.x) > field::kSideWall) {
        ball.vx = -ball.vx;
    }
    if (ball.y > field::kCeiling) {
        ball.vy = -ball.vy;
    }
    if (ball.y < field::kLossLine) {
        ball.active = false;
    }
    if (ball.y > field::kPaddleBandLow && ball.y < field::kPaddleBandHigh &&
        std::fabs(ball.x - world.paddleX) < field::kPaddleHalfReach && ball.vy < 0.0f) {
        const float d = ball.x - world.paddleX;
        const float angle = d / 3.0f * 0.8f + 1.5707964f;
        const float speed = std::min(0.8f, std::sqrt(ball.vx * ball.vx + ball.vy * ball.vy) * 1.02f);
        ball.vx = -std::cos(angle) * speed * 1.5f;
        ball.vy = std::fabs(std::sin(angle) * speed);
    }
    if (ball.y > field::kBrickTestFloor) {
        const float reachX = world.brickHalfWidth + field::kBallRadius;
        const float reachY = world.brickHalfHeight + field::kBallRadius;
        for (Brick& brick : world.bricks) {
            if (brick.alive != 0.0f && std::fabs(ball.x - brick.x) < reachX && std::fabs(ball.y - brick.y) < reachY) {
                HitBrick(app, ball, brick);
                break;
            }
        }
    }
}

void SubStep(App& app, float s)
{
    for (Ball& ball : app.world.balls) {
        if (ball.active) {
            MoveBall(app, ball, s);
        }
    }
}

void EndOfUpdateChecks(App& app)
{
    World& world = app.world;
    if (CountActiveBalls(world) == 0) {
        if (world.autoplay) {
            ResetBallOnPaddle(app);
            LaunchBall(app);
            if (app.bench.running) {
                app.bench.skipNextSample = true;
            }
        } else {
            world.lives -= 1;
            if (world.lives > 0) {
                ResetBallOnPaddle(app);
            } else {
                BuildLevel(app, world.levelIndex);
            }
        }
        app.platform->RefreshPanelControls();
    }
    if (world.bricksLeft <= 0) {
        BuildLevel(app, world.levelIndex + 1);
        if (world.autoplay) {
            LaunchBall(app);
        }
        if (app.bench.running) {
            app.bench.skipNextSample = true;
        }
    }
}

void SteerByAutoplay(App& app)
{
    World& world = app.world;
    if (!world.ballLaunched) {
        LaunchBall(app);
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

void FixedTick(App& app)
{
    World& world = app.world;
    if (world.autoplay) {
        SteerByAutoplay(app);
    }
    world.paddleX = std::clamp(world.paddleX, -field::kPaddleTravel, field::kPaddleTravel);
    if (BallWaitsOnPaddle(world)) {
        return;
    }
    for (int i = 0; i < kSubSteps; ++i) {
        SubStep(app, 0.25f);
    }
    EndOfUpdateChecks(app);
}

void VariableStep(App& app, float step)
{
    World& world = app.world;
    if (world.autoplay) {
        SteerByAutoplay(app);
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
        return;
    }
    const float s = step * 60.0f * 0.25f;
    for (int i = 0; i < kSubSteps; ++i) {
        SubStep(app, s);
    }
    EndOfUpdateChecks(app);
}

void AdvanceFrameRateWindow(App& app, float rawStep)
{
    FrameTiming& timing = app.timing;
    timing.fpsFrames += 1;
    timing.fpsSeconds += static_cast<double>(rawStep);
    if (timing.fpsSeconds >= 1.0) {
        timing.fps = static_cast<double>(timing.fpsFrames) / timing.fpsSeconds;
        timing.fpsFrames = 0;
        timing.fpsSeconds = 0.0;
        RefreshTelemetry(app);
    }
}

}  // namespace

void UpdateFrame(App& app, float step, float rawStep)
{
    if (BenchmarkFrameStep(app, rawStep)) {
        return;  // the pause between benchmark runs: the previous constants stay
    }
    World& world = app.world;
    world.gameTime += step;
    world.currentExplosion.code = 0.0f;
    const float paddleDelta = world.paddleX - world.prevPaddleX;
    world.prevPaddleX = world.paddleX;

    if (DeterministicRunActive(app)) {
        app.timing.stepAccumulator += step;
        while (app.timing.stepAccumulator >= field::kTick) {
            app.timing.stepAccumulator -= field::kTick;
            FixedTick(app);
        }
    } else {
        VariableStep(app, step);
    }

    HandOverExplosion(world);
    app.gpu.frameConstants = AssembleFrameConstants(app, paddleDelta);
    AdvanceFrameRateWindow(app, rawStep);
}
