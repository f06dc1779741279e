#pragma once
#include <string>
#include <vector>

// What a world operation asks of the rest of the program. The game changes
// only the world; whoever called it carries these out (the GPU's debris
// particles, the control panel, the benchmark's sampling, the main window
// and the debugger output are not the game's to touch).
struct WorldEffects {
    bool clearGpuDebris = false;  // a level was built or the debris reset: the GPU particles must go
    bool refreshPanel = false;    // settings may have changed: the panel's sliders and fields follow
    bool sceneRebuilt = false;    // a new level, or a serve after every ball was lost
    bool resizeToScreen = false;  // the main window takes the size of the screen
    std::vector<std::string> logLines;  // for the debugger output, in order

    WorldEffects& operator+=(const WorldEffects& other)
    {
        clearGpuDebris = clearGpuDebris || other.clearGpuDebris;
        refreshPanel = refreshPanel || other.refreshPanel;
        sceneRebuilt = sceneRebuilt || other.sceneRebuilt;
        resizeToScreen = resizeToScreen || other.resizeToScreen;
        logLines.insert(logLines.end(), other.logLines.begin(), other.logLines.end());
        return *this;
    }
};
