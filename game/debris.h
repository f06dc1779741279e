#pragma once
#include <cstdint>

#include "game/effects.h"

struct World;

// Advances the ring of burst positions after a destroyed brick's event was queued.
void AdvanceDebrisRing(World& world);

// Once per frame: clears the current burst, then hands the oldest queued burst
// (if any) over to the GPU as currentExplosion.
void HandOverExplosion(World& world);

// The number of debris particles the GPU should treat as live this frame.
int32_t DebrisDrawCount(const World& world);

// Sets the ring back to its start and asks for the GPU particles to be
// cleared. Queued bursts are kept.
WorldEffects ResetDebris(World& world);
