#pragma once
// The program's operations on the App: each calls the game or the benchmark
// and then carries out what they asked of the rest of the program.
#include <cstdint>
#include <string>

#include "game/effects.h"

struct App;
struct DialogChoice;
struct StartupConfiguration;

// Debugger lines, the GPU debris clear, the window size, the panel refresh,
// and an unsampled benchmark frame after a scene was rebuilt mid-run.
void ApplyWorldEffects(App& app, const WorldEffects& effects);

// Builds level n and carries out what the build asks (the GPU debris clear).
void LoadLevel(App& app, int32_t n);

// Key, pointer and click input of the main window.
void OnKeyDown(App& app, uint64_t virtualKey, int64_t keyData);
void OnKeyUp(App& app, uint64_t virtualKey);
void OnPointerMove(App& app, uint32_t clientX, uint32_t clientWidth);
void OnPointerClick(App& app);

// What initialisation and the launch window do once the benchmark's level is
// built: the benchmark's settings (ray steps 72, the debris preset, autoplay),
// the panel's check boxes and sliders, the accumulator, the start itself and
// the launch/abort buttons. width x height is the chosen resolution preset.
// With stressLoops a stress test of so many loops starts instead (of
// testLoopSeconds each where the tests shortened them, bench/stress.h).
void StartConfiguredBenchmark(App& app, uint32_t width, uint32_t height, int32_t debrisCount, bool singleRun,
                              bool deterministic, uint32_t stressLoops = 0, int32_t testLoopSeconds = 0);

// The panel's "Abort": keeps and reports the runs so far, then shows "Launch
// Benchmark" again. When their report could not be written, the summary box
// shows them instead.
void EndBenchmarkByAbort(App& app);

// The device has been lost (`reason`: its removal text): a benchmark in
// progress ends as an abort does, keeping and reporting the runs so far, and
// its report, results file and summary box say where the loss ended it.
void EndBenchmarkByDeviceLoss(App& app, const std::string& reason);

// A failure that nobody can mend (a command-line benchmark whose window can no
// longer be drawn into) ends a benchmark in progress as an abort does: the
// runs so far, the one under way cut short, are kept and written.
void EndBenchmarkByFailure(App& app, const std::string& failure);

// The window title and the panel's telemetry labels from the current state.
void RefreshTelemetry(App& app);

// A click on a panel control; `checked` is the state of a check box after the
// click. While a benchmark runs only "Abort" acts.
void OnPanelCommand(App& app, int id, bool checked);

// What a confirmed launch window does: the main window takes the chosen size,
// the benchmark's level is built, then its settings, the panel and the start.
void StartBenchmarkFromLaunchChoice(App& app, const DialogChoice& choice);

// The startup window's confirmed choice becomes the run configuration.
void ApplyStartupConfiguration(App& app, const StartupConfiguration& config);
