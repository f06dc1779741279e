#pragma once

struct App;

// One frame of the game: the benchmark's frame step first, then paddle, balls,
// collisions, score, lives and level progression, the debris hand-over, the
// frame constants and the frame-rate window. step is the frame time clamped
// to 0..0.05 s; rawStep is the unclamped time.
void UpdateFrame(App& app, float step, float rawStep);
