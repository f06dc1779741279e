#pragma once
#include <cstdint>

struct App;

inline constexpr int kLevelCount = 6;
inline constexpr int kZivoLevel = 3;

// The names the control panel shows on its level buttons.
extern const wchar_t* const kLevelNames[kLevelCount];

// Empties the balls and puts one orange ball on the paddle, waiting for launch.
// In a deterministic benchmark run the paddle is centred first.
void ResetBallOnPaddle(App& app);

// Builds level n mod 6 into the brick table and resets the world to its
// start-of-level state: one ball on the paddle, three lives, no debris.
void BuildLevel(App& app, int32_t n);
