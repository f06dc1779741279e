#include "game/spawning.h"

#include <cmath>

#include "game/log_line.h"
#include "game/world.h"

void LaunchBall(World& world)
{
    if (world.ballLaunched || world.balls.empty()) {
        return;
    }
    world.ballLaunched = true;
    const float a = static_cast<float>((world.random.NextUnit() - 0.5) * 0.5);
    world.balls[0].vx = std::sin(a) * 0.4f;
    world.balls[0].vy = std::cos(a) * 0.4f;
}

bool CloneBall(World& world, Ball templateBall, bool resetColour)
{
    if (!world.balls.empty() && CountActiveBalls(world) >= kMaxActiveBalls) {
        return false;
    }
    Ball* slot = nullptr;
    for (Ball& ball : world.balls) {
        if (!ball.active) {
            slot = &ball;
            break;
        }
    }
    if (slot == nullptr) {
        if (world.balls.size() >= static_cast<size_t>(kMaxActiveBalls)) {
            return false;
        }
        world.balls.push_back(templateBall);
        slot = &world.balls.back();
    } else {
        *slot = templateBall;
    }
    slot->vx = static_cast<float>(world.random.NextUnit() * 0.4 - 0.2 - templateBall.vx);
    slot->vy = templateBall.vy;
    slot->active = true;
    if (resetColour) {
        Paint(*slot, kOrange);
    }
    return true;
}

namespace {

std::string SpawnAdd(World& world)
{
    if (world.balls.empty()) {
        return {};
    }
    int source = -1;
    float best = -9999.0f;
    for (size_t i = 0; i < world.balls.size(); ++i) {
        if (world.balls[i].active && world.balls[i].y > best) {
            best = world.balls[i].y;
            source = static_cast<int>(i);
        }
    }
    if (source < 0 || CountActiveBalls(world) >= kMaxActiveBalls) {
        return {};
    }
    const Ball templateBall = world.balls[static_cast<size_t>(source)];
    CloneBall(world, templateBall, true);
    return FormatLogLine(128, "SpawnBall: ADD mode created 1 ball (now %d active, %zu array size)\n",
             CountActiveBalls(world), world.balls.size());
}

std::string SpawnDouble(World& world)
{
    const size_t n = world.balls.size();
    int created = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!world.balls[i].active) {
            continue;
        }
        const Ball templateBall = world.balls[i];  // copied: cloning may grow the array
        if (!CloneBall(world, templateBall, false)) {
            break;
        }
        ++created;
    }
    return FormatLogLine(128, "SpawnBall: DOUBLE mode created %d balls (now %d active, %zu array size)\n",
             created, CountActiveBalls(world), world.balls.size());
}

std::string SpawnRgb(World& world)
{
    const size_t n = world.balls.size();
    int processed = 0;
    int created = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!world.balls[i].active) {
            continue;
        }
        // No ball can be added (the benchmark's trio can bring the count above
        // 12): every ball keeps its colour.
        const int free = kMaxActiveBalls - CountActiveBalls(world);
        if (free <= 0) {
            break;
        }
        Paint(world.balls[i], kRed);
        const Ball source = world.balls[i];  // copied: cloning may grow the array
        int madeHere = 0;
        if (free >= 1) {
            Ball green = source;
            Paint(green, kGreen);
            green.vx = source.vx + 0.2f;
            if (CloneBall(world, green, false)) {
                ++madeHere;
            }
        }
        if (free - madeHere >= 1) {
            Ball blue = source;
            Paint(blue, kBlue);
            blue.vx = source.vx - 0.2f;
            if (CloneBall(world, blue, false)) {
                ++madeHere;
            }
        }
        created += madeHere;
        ++processed;
    }
    return FormatLogLine(128, "SpawnBall: RGB mode processed %d balls, created %d new (now %d active, %zu array size)\n",
             processed, created, CountActiveBalls(world), world.balls.size());
}

}  // namespace

WorldEffects SpawnBall(World& world, int mode)
{
    const bool launchedBefore = world.ballLaunched;
    std::string line;
    switch (mode) {
    case kSpawnAdd: line = SpawnAdd(world); break;
    case kSpawnDouble: line = SpawnDouble(world); break;
    case kSpawnRgb: line = SpawnRgb(world); break;
    default: break;
    }
    if (!launchedBefore && !world.balls.empty() && !world.ballLaunched) {
        LaunchBall(world);
    }
    WorldEffects effects;
    if (!line.empty()) {
        effects.logLines.push_back(std::move(line));
    }
    return effects;
}

void SpawnRgbTrio(World& world)
{
    // Each ball heads down along its aim at the aim's length (sqrt(0.12^2 + 0.25^2)
    // = sqrt(0.0769) for the outer two), turned by up to +-0.125 rad.
    struct TrioBall {
        float x, y, dx, dy, speed;
        BallColour colour;
    };
    static constexpr TrioBall kTrio[3] = {
        {-3.0f, 15.0f, -0.12f, -0.25f, 0.27730849f, kRed},
        {0.0f, 15.0f, 0.0f, -0.25f, 0.25f, kGreen},
        {3.0f, 15.0f, 0.12f, -0.25f, 0.27730849f, kBlue},
    };
    for (const TrioBall& t : kTrio) {
        const float speed = t.speed;
        const float angle = static_cast<float>((world.random.NextUnit() - 0.5) * 0.25) + std::atan2(t.dx, t.dy);
        Ball ball;
        ball.x = t.x;
        ball.y = t.y;
        ball.vx = std::sin(angle) * speed;
        ball.vy = std::cos(angle) * speed;
        ball.active = true;
        Paint(ball, t.colour);
        world.balls.push_back(ball);
    }
}
