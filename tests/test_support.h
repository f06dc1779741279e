#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/app.h"
#include "app/commands.h"
#include "app/frame.h"
#include "fake_platform.h"
#include "game/levels.h"
#include "ui/panel.h"
#include "ui/startup_choices.h"

// An App wired to a recording platform.
struct TestApp {
    RecordingPlatform platform;
    App app{platform};
    World& world = app.world;
};

inline Ball MakeBall(float x, float y, float vx, float vy, bool active = true)
{
    return Ball{x, y, vx, vy, active, kOrange.r, kOrange.g, kOrange.b};
}

inline std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());  // the captions are ASCII
}

// A run configuration as "854x480 debris 80 present 0 benchmark single".
inline std::string Describe(const StartupConfiguration& c)
{
    return std::to_string(c.width) + "x" + std::to_string(c.height) + " debris " + std::to_string(c.debrisCount) +
           " present " + std::to_string(static_cast<int>(c.presentMode)) + (c.benchmarkAtStart ? " benchmark" : " play") +
           (c.singleRun ? " single" : " multi") + (c.deterministic ? " deterministic" : "");
}

// What a key, the pointer or the panel can change of a benchmark's work, and what the program was asked for meanwhile.
inline std::string Work(const TestApp& t)
{
    const World& w = t.world;
    char text[256];
    std::snprintf(text, sizeof(text), "level %d, %d balls%s%s%s%s, paddle %g, debris %d %d, steps %d, brightness %g, "
                  "glow %g; %d clears, %zu resizes, %d refreshes, %d launches", w.levelIndex, CountActiveBalls(w),
                  w.ballLaunched ? " launched" : "", w.autoplay ? ", autoplay" : "", w.moveLeft ? ", left" : "",
                  w.moveRight ? ", right" : "", static_cast<double>(w.paddleX), w.debrisEnabled, w.debrisCount, w.raySteps,
                  static_cast<double>(w.brightness), static_cast<double>(w.ballGlow), t.platform.debrisClears,
                  t.platform.windowSizes.size(), t.platform.panelRefreshes, t.platform.launchWindows);
    return text;
}

// Presses the panel control with this caption; a check box is `checked` after the click.
inline void Click(TestApp& t, const std::wstring& caption, bool checked = false)
{
    for (const PanelControl& control : PanelControls()) {
        if (caption == control.caption) {
            OnPanelCommand(t.app, control.id, checked);
            return;
        }
    }
    ADD_FAILURE() << "the panel has no control \"" << Narrow(caption) << "\"";
}
