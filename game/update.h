#pragma once
#include <functional>

#include "game/effects.h"

struct World;

// What one frame of the game did.
struct WorldFrame {
    float paddleDelta = 0.0f;  // the paddle's movement since the previous update
    WorldEffects effects;
};

// Runs before every fixed tick of a deterministic run (the benchmark's events
// are timed in ticks there).
using TickHook = std::function<void(World&)>;

// One frame of the game, step being the frame time clamped to 0..0.05 s:
// game time, paddle, balls, collisions, score, lives and level progression,
// then the hand-over of one queued debris burst. A deterministic run advances
// in fixed 1/60 s ticks of the time gathered in its step accumulator;
// otherwise the world moves by the frame's step.
WorldFrame AdvanceWorld(World& world, float step, const TickHook& beforeTick = {});
