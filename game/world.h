#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "game/random.h"

// One brick as the compute shader sees it: four 32-bit floats, 16 bytes.
struct Brick {
    float x = 0.0f;
    float y = 0.0f;
    float colorIndex = 0.0f;
    float alive = 0.0f;  // 1.0 while standing, 0.0 once destroyed or for an empty slot
};
static_assert(sizeof(Brick) == 16, "the brick table is copied byte for byte to the GPU");

struct Ball {
    float x = 0.0f, y = 0.0f;
    float vx = 0.0f, vy = 0.0f;  // world units per 1/60 s tick
    bool active = false;
    float r = 0.0f, g = 0.0f, b = 0.0f;
};

// A debris burst waiting to be handed to the GPU. code 0 means "no burst".
struct ExplosionEvent {
    float code = 0.0f;
    float x = 0.0f;
    float y = 0.0f;
};

struct BallColour {
    float r, g, b;
};
inline constexpr BallColour kOrange{1.5f, 0.8f, 0.2f};
inline constexpr BallColour kRed{3.0f, 0.1f, 0.1f};
inline constexpr BallColour kGreen{0.1f, 3.0f, 0.1f};
inline constexpr BallColour kBlue{0.1f, 0.1f, 6.0f};

inline void Paint(Ball& ball, BallColour c)
{
    ball.r = c.r;
    ball.g = c.g;
    ball.b = c.b;
}

// The playfield, on ball centres.
namespace field {
inline constexpr float kSideWall = 19.0f;
inline constexpr float kCeiling = 20.0f;
inline constexpr float kLossLine = -16.0f;
inline constexpr float kRestHeight = -11.0f;
inline constexpr float kPaddleBandLow = -12.5f;
inline constexpr float kPaddleBandHigh = -11.2f;
inline constexpr float kPaddleHalfReach = 3.8f;
inline constexpr float kPaddleTravel = 16.5f;
inline constexpr float kBallRadius = 0.8f;
inline constexpr float kBrickTestFloor = -5.0f;
inline constexpr float kTick = 0.016666668f;  // 1/60 s as a 32-bit float
}  // namespace field

inline constexpr int kBrickSlots = 1024;
inline constexpr int kMaxActiveBalls = 12;
// Balls the renderer draws: the first twelve in play (the benchmark's trio can
// bring the count to fifteen). The score counts no more than are drawn.
inline constexpr int kBallsDrawn = 12;
inline constexpr int kDebrisParticles = 8192;
inline constexpr int kDebrisBurst = 8;

// The game world: plain data inside the App, touched only from the program thread.
struct World {
    std::array<Brick, kBrickSlots> bricks{};
    std::vector<Ball> balls;
    std::deque<ExplosionEvent> explosionQueue;
    int32_t lives = 3;
    int32_t score = 0;
    int32_t levelIndex = 0;
    int32_t bricksLeft = 0;
    int32_t bricksTotal = 0;
    float paddleX = 0.0f;
    float prevPaddleX = 0.0f;
    double gameTime = 0.0;  // seconds of game played, the clamped frame steps added up
    float brickHalfWidth = 1.5f;
    float brickHalfHeight = 0.5f;
    float ballGlow = 2.0f;
    float brightness = 0.15f;
    int32_t raySteps = 64;
    int32_t debrisCount = 80;
    int32_t activeDebris = 0;
    int32_t debrisCap = 640;
    int32_t debrisCursor = 0;
    ExplosionEvent currentExplosion{};
    bool debrisEnabled = true;
    bool autoplay = false;
    bool ballLaunched = false;
    bool moveLeft = false;
    bool moveRight = false;
    bool bricksDirty = false;
    // Set by the benchmark while one runs. Level builds keep a benchmark's
    // debris count; a deterministic run steps in fixed ticks, takes no input
    // and centres the paddle at every serve.
    bool benchmarkRunning = false;
    bool deterministicRun = false;
    float stepAccumulator = 0.0f;  // seconds not yet consumed by fixed 1/60 s ticks
    // The C runtime-compatible generator behind every launch angle, clone
    // velocity, trio jitter and random paddle start.
    CrtRandom random;
};

int CountActiveBalls(const World& world);
// The balls in play that the renderer draws: at most kBallsDrawn.
int CountDrawnBalls(const World& world);
