#pragma once
// Sampling: how the frames of a benchmark become a run's 0.1 s records.
#include <cstdint>

#include "bench/recorder.h"

class BenchmarkHost;
struct World;

// The shortest frame time a sample counts: the frame clock's unit. Two clock
// readings within one tick give a frame time of zero, which has no frame
// rate; it counts as one nanosecond. No other bound applies to a frame.
inline constexpr double kShortestFrameSeconds = 1e-9;

// The frame that has just ended, `frameSeconds` long, with what the world
// draws now: sampled (RecordFrame) unless it is the first of a run or follows
// a rebuilt scene (skipNextSample); a recorded run takes the swap chain's size
// on its first sampled frame and notes any later change of it.
void SampleFrame(BenchmarkRecorder& recorder, const World& world, BenchmarkHost& host, double frameSeconds);

// Adds one sampled frame of frameSeconds to the open 0.1 s bucket, closing
// the previous bucket when the frame ends in a new one. Nothing happens in
// the warm-up beyond the elapsed time, nor in the pause or with no benchmark.
void RecordFrame(BenchmarkRecorder& recorder, BenchmarkHost& platform, double frameSeconds, uint32_t debris,
                 uint32_t bricks, int balls);

// Turns the open bucket into a record of the current run (if it holds samples).
void CloseBucket(BenchmarkRecorder& recorder);
