#include "game/debris.h"

#include <algorithm>

#include "game/world.h"

namespace {
constexpr int kRingWhenDisabled = 512;
}

void AdvanceDebrisRing(World& world)
{
    if (world.debrisEnabled) {
        const int32_t bursts = std::max(world.debrisCount / kDebrisBurst, 1);
        world.debrisCursor = (world.debrisCursor + 1) % bursts;
        world.activeDebris = std::min(world.activeDebris + kDebrisBurst, world.debrisCount);
    } else {
        world.debrisCursor = (world.debrisCursor + 1) % kRingWhenDisabled;
    }
}

void HandOverExplosion(World& world)
{
    world.currentExplosion.code = 0.0f;
    if (!world.explosionQueue.empty()) {
        world.currentExplosion = world.explosionQueue.front();
        world.explosionQueue.pop_front();
    }
}

int32_t DebrisDrawCount(const World& world)
{
    if (!world.debrisEnabled) {
        return 0;
    }
    const int32_t burstEnd = world.currentExplosion.code > 0.5f ? world.debrisCursor * kDebrisBurst + kDebrisBurst : 0;
    return std::min(std::max(world.activeDebris, burstEnd), world.debrisCount);
}

WorldEffects ResetDebris(World& world)
{
    world.activeDebris = 0;
    world.debrisCursor = 0;
    WorldEffects effects;
    effects.clearGpuDebris = true;
    return effects;
}
