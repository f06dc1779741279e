#pragma once
#include <cstdint>

#include "game/effects.h"

struct World;

// Virtual-key codes of the game's keys.
namespace key {
inline constexpr uint64_t kSpace = 0x20;
inline constexpr uint64_t kLeft = 0x25;
inline constexpr uint64_t kRight = 0x27;
inline constexpr uint64_t k1 = 0x31;
inline constexpr uint64_t k2 = 0x32;
inline constexpr uint64_t k3 = 0x33;
inline constexpr uint64_t kA = 0x41;
inline constexpr uint64_t kB = 0x42;
inline constexpr uint64_t kC = 0x43;
inline constexpr uint64_t kD = 0x44;
inline constexpr uint64_t kG = 0x47;
inline constexpr uint64_t kH = 0x48;
inline constexpr uint64_t kL = 0x4C;
inline constexpr uint64_t kM = 0x4D;
inline constexpr uint64_t kN = 0x4E;
inline constexpr uint64_t kP = 0x50;
inline constexpr uint64_t kR = 0x52;
inline constexpr uint64_t kV = 0x56;
inline constexpr uint64_t kFewerSteps = 0xDB;  // VK_OEM_4: '[' on a US keyboard
inline constexpr uint64_t kMoreSteps = 0xDD;   // VK_OEM_6: ']'
// The codes the ray-step keys once had: the character codes of '[' and ']',
// which as virtual keys are the left Windows key and the Applications key.
inline constexpr uint64_t kFewerStepsOld = 0x5B;  // VK_LWIN
inline constexpr uint64_t kMoreStepsOld = 0x5D;   // VK_APPS
inline constexpr uint64_t kBrighter = 0xBB;    // VK_OEM_PLUS
inline constexpr uint64_t kDarker = 0xBD;      // VK_OEM_MINUS
}  // namespace key

// keyData bit 30: the key was already down (an auto-repeat).
inline constexpr int64_t kKeyWasDown = int64_t{1} << 30;

// While a benchmark runs the game takes no input at all: keys, pointer moves
// and clicks would change the work being measured (the level, the balls, the
// settings, where the paddle sends the balls), and the benchmark plays itself.

// A key-down of the main window: virtualKey is the message's wParam, keyData
// its lParam. Every key (acted on or not) asks for a panel refresh, except
// during a benchmark, which takes no key.
WorldEffects HandleGameKey(World& world, uint64_t virtualKey, int64_t keyData);

// A key-up of the main window: releases the move keys (also during a benchmark).
void HandleGameKeyUp(World& world, uint64_t virtualKey);

// Pointer moved to client x (the low 16 bits of lParam, unsigned) of a client
// area `clientWidth` pixels wide (the window's, not the size drawn, which
// stops at 8192): its left edge puts the paddle at one end, its right edge at
// the other.
void HandlePointerMove(World& world, uint32_t clientX, uint32_t clientWidth);

// Left button pressed: launches the waiting ball.
void HandlePointerClick(World& world);
