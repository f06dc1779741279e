#pragma once

struct App;
struct Ball;

enum SpawnMode : int { kSpawnAdd = 1, kSpawnDouble = 2, kSpawnRgb = 3 };

// Starts the first ball from the paddle (one random draw); nothing if it already left.
void LaunchBall(App& app);

// Adds one ball derived from the template, reusing a lost ball's slot first.
// False when the 12-ball limit (or the 12-record array limit) refuses it.
// The template is taken by value: it may come from `balls`, which can grow here.
bool CloneBall(App& app, Ball templateBall, bool resetColour);

// ADD (1), DOUBLE (2) or RGB (3); spawning while the first ball waits launches it.
void SpawnBall(App& app, int mode);

// The benchmark's red, green and blue balls, dropped from the top of the field.
void SpawnRgbTrio(App& app);
