#pragma once
// The control panel's windows as the program keeps them.
#include <cstdint>
#include <memory>

// Window and control handles are opaque pointers in the portable core; the
// Windows build stores HWNDs and GDI handles in them.
using WindowHandle = void*;

// The panel's two brushes and two fonts. They exist only in the Windows
// build, which deletes them when the App goes (edit brush, back brush, font,
// header font, in this order).
struct PanelGdiObjects;
struct PanelGdiRelease {
    void operator()(PanelGdiObjects* objects) const noexcept;
};

// The control panel's windows. All null while there is no panel (creation
// failed, or the user closed it).
struct PanelHandles {
    WindowHandle panelWindow = nullptr;
    int32_t panelScrollPos = 0;
    int32_t panelContentHeight = 0;
    WindowHandle brightnessTrackbar = nullptr;
    WindowHandle ballGlowTrackbar = nullptr;
    WindowHandle rayStepsTrackbar = nullptr;
    WindowHandle debrisCountTrackbar = nullptr;
    WindowHandle brightnessEdit = nullptr;
    WindowHandle ballGlowEdit = nullptr;
    WindowHandle rayStepsEdit = nullptr;
    WindowHandle debrisCountEdit = nullptr;
    WindowHandle fpsLabel = nullptr;
    WindowHandle scoreLabel = nullptr;
    WindowHandle livesLabel = nullptr;
    WindowHandle bricksLabel = nullptr;
    WindowHandle debrisLabel = nullptr;
    WindowHandle resolutionLabel = nullptr;
    WindowHandle gpuLabel = nullptr;  // "GPU: physics X.XX ms, render Y.YY ms"
    std::unique_ptr<PanelGdiObjects, PanelGdiRelease> gdi;
};
