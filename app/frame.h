#pragma once

struct App;

// One frame of the program, before it is drawn: the benchmark's frame step,
// the game update, the frame constants and the frame-rate window with its
// telemetry. step is the frame time clamped to 0..0.05 s; rawStep is the
// unclamped time.
void UpdateFrame(App& app, double step, double rawStep);

struct GpuPassTimes;

// One frame's GPU time per pass, handed over by DrawFrame(App&) when the GPU
// backend has read the frame's timestamps back (a frame or two after it was
// drawn; see gpu/gpu_timing.h). They enter the telemetry's "GPU: ..." line,
// averaged over the frame-rate window, and the benchmark's record and run
// figures.
void ReportGpuPassTimes(App& app, const GpuPassTimes& times);

// The frame just drawn could not be seen (the window minimised or covered):
// a recorded run notes it (its frames go on, the benchmark's time runs).
void ReportOccludedFrame(App& app);
