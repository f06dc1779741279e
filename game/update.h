#pragma once
#include <functional>

#include "game/effects.h"

struct World;

// What one frame of the game did.
struct WorldFrame {
    float paddleDelta = 0.0f;  // the paddle's movement since the previous update
    float step = 0.0f;         // the game time it advanced by: the debris moves as far
    WorldEffects effects;
};

// Runs before every fixed tick of a deterministic run (the benchmark's events
// are timed in ticks there).
using TickHook = std::function<void(World&)>;

// One frame of the game, step being the frame time clamped to 0..0.05 s and
// rawStep the frame time itself: game time, paddle, balls, collisions, score,
// lives and level progression, then the hand-over of one queued debris burst.
// Otherwise the world moves by the frame's step; a deterministic run advances
// in fixed 1/60 s ticks of the frame time gathered in its step accumulator,
// the unclamped time up to kDeterministicCatchUp per frame, so that its world
// keeps pace with the benchmark's sampled time even below 20 frames a second.
inline constexpr float kDeterministicCatchUp = 1.0f;
WorldFrame AdvanceWorld(World& world, double step, double rawStep, const TickHook& beforeTick = {});
