#pragma once
// The message pump that doubles as the frame loop, and the last-resort box.
// One frame, in call order (RunFrame):
//   1. the frame clock: rawStep, the time since the last frame, and step,
//      the same clamped to 0..0.05 s;
//   2. UpdateFrame (app/frame.cpp, portable): the benchmark's frame step, the
//      game's advance, the frame constants and the frame-rate window;
//   3. DrawFrame (app/gpu_commands.cpp): the backend's Render records the
//      frame (gpu/frame_recording.cpp decides, gpu/d3d_frame.cpp translates),
//      submits and presents it; the GPU pass times read back, the Present
//      call and the video memory go to the benchmark.
struct App;

// One frame, in the order above. A failure that a window
// procedure kept meanwhile (a message dispatched by a modal loop inside the
// frame, such as the summary box) is raised as soon as the work that ran the
// loop returns, before the frame goes on, so the first failure is the one reported.
void RunFrame(App& app);

// Dispatches every waiting message, then runs a frame; returns when WM_QUIT
// arrives, after the GPU has finished. While nothing can be drawn (a failed
// resize recovery) it waits for messages instead of spinning; a benchmark
// started from the command line, which nobody will resize, throws the
// failure's text instead. A failure after the device was lost ends as
// RethrowNamingDeviceLoss says.
void RunMessageLoop(App& app);

// Inside a catch block: rethrows the failure being handled. When the device
// has been removed or reset, a benchmark in progress first ends with the runs
// so far (EndBenchmarkByDeviceLoss: report, results file and, where no report
// could be written, the summary box), and the text thrown instead is the
// device's removal text, then the failure's ("Device removed: 0x887a0006
// DXGI_ERROR_DEVICE_HUNG (...)\nPresent (hr=0x887a0005)").
[[noreturn]] void RethrowNamingDeviceLoss(App& app);

// The "Fatal error" box with the failure's text. A quit message already
// posted (the main window's destruction) would end the box at once, unseen:
// it is taken off the queue first.
void ShowFatalError(const char* text);
