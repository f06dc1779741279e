#pragma once
// The main window: class "TechDemoDX12", sizing and message routing.
#include <windows.h>

#include <cstdint>
#include <exception>

struct App;

// The App that window procedures reach; null until the main window has been
// shown and again once the App is being destroyed, so that no message can
// reach an App that does not exist.
extern App* theApp;

// Window procedures reach the App through theApp (the panel through its host)
// while a binding lasts. Both are cut before the App goes, on every path: the
// windows outlive the App while the "Fatal error" box runs its own message
// loop, and their messages must then find no App.
class AppBinding {
public:
    AppBinding() = default;
    AppBinding(const AppBinding&) = delete;
    AppBinding& operator=(const AppBinding&) = delete;
    ~AppBinding();
    void Bind(App& app) { theApp = &app; }
};

// Makes the process aware of each monitor's dots per inch: per-monitor (v2)
// where the system has it, looked up at run time (Windows 10 1703 on; an
// import of it would stop the program from starting on 1607), else the older
// per-monitor awareness of Windows 8.1, else system awareness.
void MakeProcessDpiAware();

// Registers the class, creates the window centred for the App's client size and shows it.
HWND CreateMainWindow(App& app, HINSTANCE instance);

// Resizes the main window so that its client area is w x h, centred on the primary screen.
void SetWindowSize(App& app, uint32_t clientWidth, uint32_t clientHeight);

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// An exception raised by a message handler is not left to cross the system's
// frames: the window procedure keeps it and the frame loop rethrows it here,
// after DispatchMessageW has returned.
void RethrowWindowProcedureFailure();

// A window procedure's failure, kept (the first one) for RethrowWindowProcedureFailure.
void KeepWindowProcedureFailure(std::exception_ptr failure);
