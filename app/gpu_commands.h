#pragma once
// The GPU backend's operations on the App: each hands the backend its own
// objects, the surface the App draws into and the frame's inputs, and carries
// back what the backend found out (tearing support, the size the swap chain took).
#include <cstdint>

struct App;

// Device objects, swap chain into the main window, shader-visible heap and GPU buffers.
void CreateGpuForMainWindow(App& app);

// Draws and presents the frame that UpdateFrame assembled; the bricks are
// uploaded when they changed. The GPU time per pass of earlier frames that
// the backend read back goes to ReportGpuPassTimes, the Present call's
// timing to the benchmark's frame log.
void DrawFrame(App& app);
// Follows a new client size; never throws, recovers from failures itself and
// reports them in the "Resize Failed" box (not in an unattended run). True when
// the swap chain and the output texture took the new size.
bool OnWindowResized(App& app, uint32_t newWidth, uint32_t newHeight);
// After a present found the main window hidden: whether it still is (asked
// without presenting).
bool MainWindowStillHidden(App& app);
