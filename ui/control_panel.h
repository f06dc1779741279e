#pragma once
// The "Mission Control" tool window: creation, its window procedure, and the
// refresh of its sliders and value fields from the settings.
#include <windows.h>

#include <exception>
#include <string>

#include "ui/panel_handles.h"

struct World;

// What the panel's window asks of the program. The panel keeps its host in
// the window's user data from its creation on, until DetachControlPanel.
class PanelHost {
public:
    virtual ~PanelHost() = default;
    // The panel's windows as the program keeps them: CreateControlPanel fills
    // them in, closing the panel empties them.
    virtual PanelHandles& PanelWindows() = 0;
    // The settings the sliders and value fields show and change (brightness,
    // ball glow, ray steps, debris count).
    virtual World& PanelSettings() = 0;
    // A click on a panel button or check box; `checked` is a check box's state after the click.
    virtual void RunPanelCommand(int id, bool checked) = 0;
    // A failure while the panel handled a message: it must not cross the
    // system's frames, so the program raises it once the message has been dispatched.
    virtual void KeepMessageFailure(std::exception_ptr failure) = 0;
};

// Builds the panel (class, window owned by `owner` 40 pixels in from the
// corner of the work area of owner's monitor and no taller than that area,
// without the focus; every control, the scroll range), shows it and refreshes
// it; the resolution label shows the owner's client size at once. Without a
// panel (creation failed) the program runs on and every panel handle stays null.
void CreateControlPanel(PanelHost& host, HWND owner, HINSTANCE instance);
// The host is going away: the panel's later messages no longer reach it
// (nothing to do for a null handle: there is no panel).
void DetachControlPanel(HWND panel);

LRESULT CALLBACK PanelWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The four sliders and the two check boxes from the settings, then the value fields.
void RefreshPanelControls(const PanelHandles& panel, const World& world);
// The four value fields from the settings (only texts that changed are
// written), except the one being typed into: it shows the value it applied
// once it loses the focus.
void RefreshPanelEdits(const PanelHandles& panel, const World& world);
// Writes the text into the field only when it differs from what the field shows.
void SetEditTextIfChanged(HWND edit, const std::wstring& text);

// A slider notification (the slider's window in lParam); false for a window's
// own scroll bar (a null handle).
bool OnPanelTrackbar(const PanelHandles& panel, World& world, HWND slider);

// The launch and abort buttons, one at a time, and every control that
// changes the work disabled while a benchmark runs; the two check boxes.
void ShowPanelBenchmarkRunning(const PanelHandles& panel, bool running);
void SetPanelCheck(const PanelHandles& panel, int id, bool checked);

// Disables a window (the panel, a modal window's owner) for the lifetime of
// the object, while a box or window above it is open, and enables it again
// however that ends. A window that was disabled already is left alone.
class DisabledWhileOpen {
public:
    explicit DisabledWhileOpen(HWND window) : window_(window != nullptr && IsWindowEnabled(window) ? window : nullptr)
    {
        if (window_ != nullptr) {
            EnableWindow(window_, FALSE);
        }
    }
    // Whether this object disabled the window (and will enable it again).
    bool Disabled() const { return window_ != nullptr; }
    DisabledWhileOpen(const DisabledWhileOpen&) = delete;
    DisabledWhileOpen& operator=(const DisabledWhileOpen&) = delete;
    ~DisabledWhileOpen()
    {
        if (window_ != nullptr && IsWindow(window_)) {
            EnableWindow(window_, TRUE);
        }
    }

private:
    HWND window_;
};
