#pragma once
#include <cstdint>

#include "game/effects.h"

struct World;

inline constexpr int kLevelCount = 6;
inline constexpr int kZivoLevel = 3;

// The names of the levels, as the control panel's level buttons show them.
extern const wchar_t* const kLevelNames[kLevelCount];

// Empties the balls and puts one orange ball on the paddle, waiting for launch.
// In a deterministic benchmark run the paddle is centred first.
void ResetBallOnPaddle(World& world);

// Builds level n mod 6 into the brick table and resets the world to its
// start-of-level state: one ball on the paddle, three lives, the debris ring
// at its start. The GPU particles are to be cleared and the panel refreshed.
WorldEffects BuildLevel(World& world, int32_t n);
