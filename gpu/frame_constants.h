#pragma once
#include <cstddef>
#include <cstdint>

#include "game/world.h"

struct WorldFrame;

// The 512-byte constant block that both compute programs read (register b0).
// Every field is a 32-bit little-endian float at the offset the shader's
// cbuffer declaration gives it under HLSL packing.
struct FrameConstants {
    float paddleX;
    float time;  // game time modulo kConstantTimeWrap: only seeds the bursts' randomness
    float width;
    float height;
    float brightness;
    float frameStep;  // the game time this frame advanced by: the debris step
    float paddleDelta;
    float explosionCode;
    float explosionX;
    float explosionY;
    float raySteps;
    float liveDebris;
    float brickCount;
    float ballGlow;
    float autoplay;
    float brickHalfWidth;
    float brickHalfHeight;
    float zero1[3];
    float ballPos[12][4];
    float ballColor[12][4];
    float zero2[12];
};
static_assert(sizeof(FrameConstants) == 512, "the constant block is 512 bytes");
static_assert(offsetof(FrameConstants, frameStep) == 20, "frame step at 20");
static_assert(offsetof(FrameConstants, paddleDelta) == 24, "paddle delta at 24");
static_assert(offsetof(FrameConstants, explosionCode) == 28, "explosion code at 28");
static_assert(offsetof(FrameConstants, liveDebris) == 44, "live debris at 44");
static_assert(offsetof(FrameConstants, brickHalfHeight) == 64, "brick half height at 64");
static_assert(offsetof(FrameConstants, ballPos) == 80, "ballPos at 80");
static_assert(offsetof(FrameConstants, ballColor) == 272, "ballColor at 272");

static_assert(sizeof(FrameConstants::ballPos) / sizeof(FrameConstants::ballPos[0]) == kBallsDrawn,
              "a ball entry for every ball drawn");

// The shader's time wraps here, so that a float keeps it to a tenth of a
// millisecond after any number of hours; nothing moves by it.
inline constexpr double kConstantTimeWrap = 1024.0;

// Assembles the whole block (zero-filled first) from the world after this
// frame's simulation step, for a width x height output: the frame's paddle
// movement (taken at the start of the update) and step come from `frame`.
// The ball entries hold the first kBallsDrawn active balls (x, y, 1, 0 and
// r, g, b, 1); the rest are zero.
FrameConstants AssembleFrameConstants(const World& world, uint32_t width, uint32_t height, const WorldFrame& frame);

// The block a frame's dispatches read: the assembled one with the size of the
// output texture they write now (a resize may have come after the update).
FrameConstants ConstantsForRender(const FrameConstants& assembled, uint32_t width, uint32_t height);
