#pragma once
// The "Mission Control" tool window: creation, its window procedure, and the
// refresh of its sliders and value fields from the settings.
#include <windows.h>

#include <string>

struct App;

// Builds the panel (class, window at (40, 40) without the focus, every
// control, the scroll range), shows it and refreshes it. Without a panel
// (creation failed) the program runs on and every panel handle stays null.
void CreateControlPanel(App& app, HINSTANCE instance);

LRESULT CALLBACK PanelWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The four sliders from the settings, then the value fields.
void RefreshPanelControls(App& app);
// The four value fields from the settings (only texts that changed are written).
void RefreshPanelEdits(App& app);
// Writes the text into the field only when it differs from what the field shows.
void SetEditTextIfChanged(HWND edit, const std::wstring& text);

// A slider notification (the slider's window in lParam); false for a window's
// own scroll bar (a null handle).
bool OnPanelTrackbar(App& app, HWND slider);

// The launch and abort buttons, one at a time; the two check boxes.
void ShowPanelBenchmarkRunning(App& app, bool running);
void SetPanelCheck(App& app, int id, bool checked);
