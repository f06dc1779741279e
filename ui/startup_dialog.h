#pragma once
// The two configuration windows: at start ("Orvalis Benchmark - Configuration")
// and from the panel ("Benchmark Configuration").
#include <windows.h>

#include <optional>
#include <string>

#include "ui/startup_choices.h"

// The choices of the open (or last) configuration window.
extern DialogChoice dialogChoice;

// Shows the window, with `adapterLine` naming the adapter the program will
// use (AdapterLine), and runs its message loop until it is gone. When the user
// pressed "Start" the run configuration is logged on standard output and
// returned (with the chosen debris count), for the program to apply; nothing
// when the window was closed or could not be created.
std::optional<StartupConfiguration> ShowStartupDialog(HINSTANCE instance, const std::wstring& adapterLine);

// The launch window, centred on the main window, with its own message loop.
// The main window and the panel (null when there is none) are disabled while
// it is open (a second one cannot be opened from it) and enabled again however
// it ends. The confirmed choice, or nothing.
std::optional<DialogChoice> ShowLaunchDialog(HWND mainWindow, HWND panelWindow);

// The window procedure of the configuration windows.
LRESULT CALLBACK BenchDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Re-checks the three radio groups from dialogChoice.
void SyncDialogRadios(HWND window);

// The system's app theme: dark unless "AppsUseLightTheme" reads as non-zero.
bool IsDarkTheme();
