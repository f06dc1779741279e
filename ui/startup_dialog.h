#pragma once
// The startup configuration window ("Orvalis Benchmark - Configuration").
#include <windows.h>

#include "ui/startup_choices.h"

struct App;

// The choices of the open (or last) configuration window.
extern DialogChoice dialogChoice;

// Shows the window and runs its message loop until it is gone. True when the
// user pressed "Start": the run configuration is then written into the App and
// logged on standard output.
bool ShowStartupDialog(App& app, HINSTANCE instance);

// The window procedure of the configuration windows.
LRESULT CALLBACK BenchDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Re-checks the three radio groups from dialogChoice.
void SyncDialogRadios(HWND window);

// The system's app theme: dark unless "AppsUseLightTheme" reads as non-zero.
bool IsDarkTheme();
