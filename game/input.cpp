#include "game/input.h"

#include <algorithm>

#include "app/app.h"
#include "game/debris.h"
#include "game/levels.h"
#include "game/spawning.h"

namespace {

enum : uint64_t {
    kKeySpace = 0x20,
    kKeyLeft = 0x25,
    kKeyRight = 0x27,
    kKey1 = 0x31,
    kKey2 = 0x32,
    kKey3 = 0x33,
    kKeyA = 0x41,
    kKeyB = 0x42,
    kKeyC = 0x43,
    kKeyD = 0x44,
    kKeyG = 0x47,
    kKeyH = 0x48,
    kKeyL = 0x4C,
    kKeyM = 0x4D,
    kKeyN = 0x4E,
    kKeyP = 0x50,
    kKeyR = 0x52,
    kKeyV = 0x56,
    kKeyFewerSteps = 0x5B,  // VK_LWIN
    kKeyMoreSteps = 0x5D,   // VK_APPS
    kKeyBrighter = 0xBB,    // VK_OEM_PLUS
    kKeyDarker = 0xBD,      // VK_OEM_MINUS
};

constexpr int64_t kPreviousKeyState = int64_t{1} << 30;

// Commands that act on a first press only.
void FirstPressCommand(App& app, uint64_t key)
{
    World& world = app.world;
    switch (key) {
    case kKeySpace: LaunchBall(app); break;
    case kKey1: SpawnBall(app, kSpawnAdd); break;
    case kKey2: SpawnBall(app, kSpawnDouble); break;
    case kKey3: SpawnBall(app, kSpawnRgb); break;
    case kKeyB:
        world.autoplay = !world.autoplay;
        if (world.autoplay && !world.ballLaunched) {
            LaunchBall(app);
        }
        break;
    case kKeyC: ResetDebris(app); break;
    case kKeyG: world.ballGlow = std::max(world.ballGlow - 0.1f, 0.5f); break;
    case kKeyH: world.ballGlow = std::min(world.ballGlow + 0.1f, 5.0f); break;
    case kKeyL: BuildLevel(app, world.levelIndex + 1); break;
    case kKeyM: world.debrisCount = std::min(world.debrisCount + 32, 8192); break;
    case kKeyN: world.debrisCount = std::max(world.debrisCount - 32, 8); break;
    case kKeyP: {
        int w = 0;
        int h = 0;
        app.platform->PrimaryScreenSize(w, h);
        app.platform->SetMainWindowClientSize(static_cast<uint32_t>(std::max(w, 0)), static_cast<uint32_t>(std::max(h, 0)));
        break;
    }
    case kKeyR: BuildLevel(app, world.levelIndex); break;
    case kKeyV: world.debrisEnabled = !world.debrisEnabled; break;
    case kKeyFewerSteps: world.raySteps = std::max(world.raySteps - 8, 1); break;
    case kKeyMoreSteps: world.raySteps = std::min(world.raySteps + 8, 1024); break;
    case kKeyBrighter: world.brightness = std::min(world.brightness + 0.1f, 2.0f); break;
    case kKeyDarker: world.brightness = std::max(world.brightness - 0.1f, 0.0f); break;
    default: break;
    }
}

}  // namespace

void HandleGameKey(App& app, uint64_t virtualKey, int64_t keyData)
{
    if (DeterministicRunActive(app)) {
        return;
    }
    const bool firstPress = (keyData & kPreviousKeyState) == 0;
    if (virtualKey == kKeyLeft || virtualKey == kKeyA) {
        app.world.moveLeft = true;
    } else if (virtualKey == kKeyRight || virtualKey == kKeyD) {
        app.world.moveRight = true;
    } else if (firstPress) {
        FirstPressCommand(app, virtualKey);
    }
    app.platform->RefreshPanelControls();
}

void HandleGameKeyUp(App& app, uint64_t virtualKey)
{
    if (virtualKey == kKeyLeft || virtualKey == kKeyA) {
        app.world.moveLeft = false;
    } else if (virtualKey == kKeyRight || virtualKey == kKeyD) {
        app.world.moveRight = false;
    }
}

void HandlePointerMove(App& app, uint32_t clientX)
{
    if (DeterministicRunActive(app) || app.width == 0) {
        return;
    }
    app.world.paddleX = static_cast<float>(clientX) / static_cast<float>(app.width) * 33.0f - 16.5f;
}

void HandlePointerClick(App& app)
{
    if (DeterministicRunActive(app)) {
        return;
    }
    LaunchBall(app);
}
