#include "game/input.h"

#include <algorithm>

#include "game/debris.h"
#include "game/levels.h"
#include "game/spawning.h"
#include "game/world.h"

namespace {

// Commands that act on a first press only.
WorldEffects FirstPressCommand(World& world, uint64_t virtualKey)
{
    WorldEffects effects;
    switch (virtualKey) {
    case key::kSpace: LaunchBall(world); break;
    case key::k1: effects = SpawnBall(world, kSpawnAdd); break;
    case key::k2: effects = SpawnBall(world, kSpawnDouble); break;
    case key::k3: effects = SpawnBall(world, kSpawnRgb); break;
    case key::kB:
        world.autoplay = !world.autoplay;
        if (world.autoplay && !world.ballLaunched) {
            LaunchBall(world);
        }
        break;
    case key::kC: effects = ResetDebris(world); break;
    case key::kG: world.ballGlow = std::max(world.ballGlow - 0.1f, 0.5f); break;
    case key::kH: world.ballGlow = std::min(world.ballGlow + 0.1f, 5.0f); break;
    case key::kL: effects = BuildLevel(world, world.levelIndex + 1); break;
    case key::kM: world.debrisCount = std::min(world.debrisCount + 32, kDebrisParticles); break;
    case key::kN: world.debrisCount = std::max(world.debrisCount - 32, 8); break;
    case key::kP: effects.resizeToScreen = true; break;
    case key::kR: effects = BuildLevel(world, world.levelIndex); break;
    case key::kV: world.debrisEnabled = !world.debrisEnabled; break;
    case key::kFewerSteps:
    case key::kFewerStepsOld: world.raySteps = std::max(world.raySteps - 8, 1); break;
    case key::kMoreSteps:
    case key::kMoreStepsOld: world.raySteps = std::min(world.raySteps + 8, 1024); break;
    case key::kBrighter: world.brightness = std::min(world.brightness + 0.1f, 2.0f); break;
    case key::kDarker: world.brightness = std::max(world.brightness - 0.1f, 0.0f); break;
    default: break;
    }
    return effects;
}

}  // namespace

WorldEffects HandleGameKey(World& world, uint64_t virtualKey, int64_t keyData)
{
    if (world.benchmarkRunning) {
        return {};
    }
    WorldEffects effects;
    const bool firstPress = (keyData & kKeyWasDown) == 0;
    if (virtualKey == key::kLeft || virtualKey == key::kA) {
        world.moveLeft = true;
    } else if (virtualKey == key::kRight || virtualKey == key::kD) {
        world.moveRight = true;
    } else if (firstPress) {
        effects = FirstPressCommand(world, virtualKey);
    }
    effects.refreshPanel = true;
    return effects;
}

void HandleGameKeyUp(World& world, uint64_t virtualKey)
{
    if (virtualKey == key::kLeft || virtualKey == key::kA) {
        world.moveLeft = false;
    } else if (virtualKey == key::kRight || virtualKey == key::kD) {
        world.moveRight = false;
    }
}

void HandlePointerMove(World& world, uint32_t clientX, uint32_t clientWidth)
{
    if (world.benchmarkRunning || clientWidth == 0) {
        return;
    }
    world.paddleX = static_cast<float>(clientX) / static_cast<float>(clientWidth) * 33.0f - 16.5f;
}

void HandlePointerClick(World& world)
{
    if (world.benchmarkRunning) {
        return;
    }
    LaunchBall(world);
}
