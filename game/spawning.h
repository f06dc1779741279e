#pragma once
#include "game/effects.h"

struct World;
struct Ball;

enum SpawnMode : int { kSpawnAdd = 1, kSpawnDouble = 2, kSpawnRgb = 3 };

// Starts the first ball from the paddle (one random draw); nothing if it already left.
void LaunchBall(World& world);

// Adds one ball derived from the template, reusing a lost ball's slot first.
// False when the 12-ball limit (or the 12-record array limit) refuses it.
// The template is taken by value: it may come from `balls`, which can grow here.
bool CloneBall(World& world, Ball templateBall, bool resetColour);

// ADD (1), DOUBLE (2) or RGB (3); spawning while the first ball waits launches
// it. The mode's log line comes back for the debugger output.
WorldEffects SpawnBall(World& world, int mode);

// The benchmark's red, green and blue balls, dropped from the top of the field.
void SpawnRgbTrio(World& world);
