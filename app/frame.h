#pragma once

struct App;

// One frame of the program, before it is drawn: the benchmark's frame step,
// the game update, the frame constants and the frame-rate window with its
// telemetry. step is the frame time clamped to 0..0.05 s; rawStep is the
// unclamped time.
void UpdateFrame(App& app, float step, float rawStep);
