#include "ui/startup_dialog.h"

#include <dwmapi.h>

#include <cstdio>
#include <string>

#include "ui/control_panel.h"

DialogChoice dialogChoice;

namespace {

// Scroll state and theme state, shared by the configuration windows.
ScrollState scroll;
bool darkTheme = true;
COLORREF dialogBackColour = RGB(0x20, 0x20, 0x20);
COLORREF dialogTextColour = RGB(0xFF, 0xFF, 0xFF);
HBRUSH controlBackBrush = nullptr;

// One window class per configuration window, registered for one theme at a time.
struct DialogClass {
    const wchar_t* name;
    bool registered = false;
    bool registeredDark = false;
    HBRUSH background = nullptr;
};
DialogClass startupClass{L"OrvalisBenchStartup"};
DialogClass launchClass{L"OrvalisBenchLaunch"};

constexpr DWORD kDarkModeAttribute = 20;  // DWMWA_USE_IMMERSIVE_DARK_MODE

void RegisterDialogClass(DialogClass& cls, HINSTANCE instance)
{
    if (cls.registered && cls.registeredDark == darkTheme) {
        return;
    }
    if (cls.registered) {
        UnregisterClassW(cls.name, instance);
        DeleteObject(cls.background);
        cls.registered = false;
    }
    cls.background = CreateSolidBrush(dialogBackColour);
    WNDCLASSW wc{};
    wc.lpfnWndProc = BenchDialogProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = cls.background;
    wc.lpszClassName = cls.name;
    RegisterClassW(&wc);
    cls.registered = true;
    cls.registeredDark = darkTheme;
}

// The keyboard moves as in every dialog: Tab from one control (or radio
// group) to the next, the arrows within a radio group, which ends where the
// next group (every other control is one) begins.
DWORD StyleFor(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Label: return WS_GROUP;
    case ControlKind::FirstRadio: return WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON;
    case ControlKind::Radio: return BS_AUTORADIOBUTTON;
    case ControlKind::PresetButton: return WS_GROUP | WS_TABSTOP;
    case ControlKind::CheckBox: return WS_GROUP | WS_TABSTOP | BS_AUTOCHECKBOX;
    case ControlKind::CommandButton: return WS_GROUP | WS_TABSTOP;
    case ControlKind::Note: return WS_GROUP | SS_NOPREFIX | SS_ENDELLIPSIS;
    }
    return 0;
}

HFONT MakeFont(int height, int weight)
{
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0, L"Segoe UI");
}

int ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

void ScrollTo(HWND window, int position)
{
    if (position == scroll.scrollPos) {
        return;
    }
    ScrollWindow(window, 0, scroll.scrollPos - position, nullptr, nullptr);
    SetScrollPos(window, SB_VERT, position, TRUE);
    UpdateWindow(window);
    scroll.scrollPos = position;
}

// Set on a launch window that disabled its owner while it is open.
const wchar_t kOwnerDisabled[] = L"OrvalisOwnerDisabled";

// Closes a configuration window. An owner it disabled is enabled first, so
// that it, not some other program, is activated; an owner that something
// else disabled (a box of the main window) stays as it is.
void CloseDialog(HWND window)
{
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner != nullptr && RemovePropW(window, kOwnerDisabled) != nullptr) {
        EnableWindow(owner, TRUE);
    }
    DestroyWindow(window);
}

ScrollRequest RequestFor(WORD code)
{
    switch (code) {
    case SB_LINEUP: return ScrollRequest::LineUp;
    case SB_LINEDOWN: return ScrollRequest::LineDown;
    case SB_PAGEUP: return ScrollRequest::PageUp;
    case SB_PAGEDOWN: return ScrollRequest::PageDown;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: return ScrollRequest::Thumb;
    case SB_TOP: return ScrollRequest::Top;
    case SB_BOTTOM: return ScrollRequest::Bottom;
    default: return ScrollRequest::Other;
    }
}

}  // namespace

bool IsDarkTheme()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize", 0,
                      KEY_READ, &key) != ERROR_SUCCESS) {
        return true;
    }
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    const LSTATUS status =
        RegQueryValueExW(key, L"AppsUseLightTheme", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return status != ERROR_SUCCESS || value == 0;
}

void SyncDialogRadios(HWND window)
{
    CheckRadioButton(window, dialog_id::kResolutionFirst, dialog_id::kResolutionFirst + 4,
                     dialog_id::kResolutionFirst + dialogChoice.resolutionIndex);
    CheckRadioButton(window, dialog_id::kDebrisFirst, dialog_id::kDebrisFirst + 4,
                     dialog_id::kDebrisFirst + dialogChoice.debrisIndex);
    CheckRadioButton(window, dialog_id::kPresentFirst, dialog_id::kPresentFirst + 2,
                     dialog_id::kPresentFirst + dialogChoice.presentModeIndex);
}

LRESULT CALLBACK BenchDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const bool deterministicChecked =
            id == dialog_id::kDeterministic && IsDlgButtonChecked(window, dialog_id::kDeterministic) == BST_CHECKED;
        switch (ApplyDialogCommand(dialogChoice, id, deterministicChecked)) {
        case DialogAction::None: return 0;
        case DialogAction::SyncRadios: SyncDialogRadios(window); return 0;
        case DialogAction::Close:
        case DialogAction::Cancel: CloseDialog(window); return 0;
        case DialogAction::NotHandled: break;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_CLOSE:
        dialogChoice.cancelled = true;
        CloseDialog(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case DM_GETDEFID: {
        // Enter presses the focused push button, else "Start" (Esc: "Exit" or "Cancel").
        const int focused = GetDlgCtrlID(GetFocus());
        const bool button = focused == dialog_id::kExit || focused == dialog_id::kPresetRtx ||
                            focused == dialog_id::kPresetExtreme;
        return MAKELRESULT(button ? focused : dialog_id::kStart, DC_HASDEFID);
    }
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, dialogTextColour);
        SetBkColor(dc, dialogBackColour);
        if (controlBackBrush == nullptr) {
            controlBackBrush = CreateSolidBrush(dialogBackColour);
        }
        return reinterpret_cast<LRESULT>(controlBackBrush);
    }
    case WM_VSCROLL:
        ScrollTo(window, ScrollPositionFor(scroll, RequestFor(LOWORD(wParam)), HIWORD(wParam)));
        return 0;
    case WM_MOUSEWHEEL:
        ScrollTo(window, ScrollPositionForWheel(scroll, GET_WHEEL_DELTA_WPARAM(wParam)));
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

namespace {

// Step 1 of building either window: the theme and its colours.
void PrepareTheme()
{
    darkTheme = IsDarkTheme();
    dialogBackColour = darkTheme ? RGB(0x20, 0x20, 0x20) : RGB(0xF3, 0xF3, 0xF3);
    dialogTextColour = darkTheme ? RGB(0xFF, 0xFF, 0xFF) : RGB(0x00, 0x00, 0x00);
    if (controlBackBrush != nullptr) {
        DeleteObject(controlBackBrush);
        controlBackBrush = nullptr;
    }
}

struct DialogFonts {
    HFONT normal = nullptr;
    HFONT bold = nullptr;
    ~DialogFonts()
    {
        DeleteObject(normal);
        DeleteObject(bold);
    }
};

// Creates a configuration window for the layout; `place` turns the window's
// outer size into its position. Null when the window could not be created.
template <typename Place>
HWND CreateConfigurationWindow(DialogClass& cls, HINSTANCE instance, const StartupLayout& layout, int dpi,
                               const DialogFonts& fonts, const wchar_t* title, HWND owner, Place place,
                               HWND& commandButton)
{
    const DialogClientArea area =
        DialogClientAreaFor(layout, GetSystemMetrics(SM_CYSCREEN), dpi, GetSystemMetrics(SM_CXVSCROLL));
    scroll.contentHeight = layout.contentHeight;
    scroll.visibleHeight = area.visibleHeight;
    scroll.scrollPos = 0;
    const bool scrolls = area.scrolls;

    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | (scrolls ? WS_VSCROLL : 0);
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST;
    RECT rect{0, 0, area.width, scroll.visibleHeight};  // the scroll bar is not counted by AdjustWindowRectEx
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    const int windowWidth = rect.right - rect.left;
    const int windowHeight = rect.bottom - rect.top;
    const WindowPlacement at = place(windowWidth, windowHeight);
    HWND window = CreateWindowExW(exStyle, cls.name, title, style, at.x, at.y, windowWidth, windowHeight, owner,
                                  nullptr, instance, nullptr);
    if (window == nullptr) {
        return nullptr;
    }
    if (scrolls) {
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = 0;
        info.nMax = scroll.contentHeight;
        info.nPage = static_cast<UINT>(scroll.visibleHeight);
        info.nPos = 0;
        SetScrollInfo(window, SB_VERT, &info, TRUE);
    }
    const BOOL darkTitle = darkTheme ? TRUE : FALSE;
    DwmSetWindowAttribute(window, kDarkModeAttribute, &darkTitle, sizeof(darkTitle));

    for (const ControlSpec& c : layout.controls) {
        const wchar_t* controlClass = c.kind == ControlKind::Label || c.kind == ControlKind::Note ? L"STATIC" : L"BUTTON";
        HWND control = CreateWindowExW(0, controlClass, c.caption, WS_CHILD | WS_VISIBLE | StyleFor(c.kind), c.x, c.y,
                                       c.w, c.h, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance,
                                       nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(c.bold ? fonts.bold : fonts.normal), TRUE);
        if (c.id == dialog_id::kStart) {
            commandButton = control;
        }
    }
    return window;
}

// The window's own loop, until its destruction posts the quit message. The
// window's keys are a dialog's (Tab, the arrows, Enter, Esc); every other
// message of the thread is dispatched as usual.
void RunDialogLoop(HWND window)
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

}  // namespace

std::optional<StartupConfiguration> ShowStartupDialog(HINSTANCE instance, const std::wstring& adapterLine)
{
    PrepareTheme();
    RegisterDialogClass(startupClass, instance);
    const int dpi = ScreenDpi();
    const StartupLayout layout = BuildStartupLayout(dpi);
    DialogFonts fonts;
    fonts.normal = MakeFont(layout.fontHeight, FW_NORMAL);
    fonts.bold = MakeFont(layout.fontHeight, FW_BOLD);
    HWND startButton = nullptr;
    HWND window = CreateConfigurationWindow(
        startupClass, instance, layout, dpi, fonts, L"Orvalis Benchmark - Configuration", nullptr,
        [](int w, int h) {
            return WindowPlacement{(GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2};
        },
        startButton);
    if (window == nullptr) {
        return std::nullopt;
    }

    SetDlgItemTextW(window, dialog_id::kAdapter, adapterLine.c_str());
    dialogChoice = DefaultDialogChoice();
    SyncDialogRadios(window);  // 480p, 80 Debris, Off
    CheckRadioButton(window, dialog_id::kSingleRun, dialog_id::kJustPlay, dialog_id::kSingleRun);

    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetFocus(startButton);
    UpdateWindow(window);
    RunDialogLoop(window);

    if (dialogChoice.cancelled) {
        return std::nullopt;
    }
    const StartupConfiguration config = ConfigurationFor(dialogChoice);
    const std::string line = ConfigLogLine(dialogChoice);
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
    return config;
}

std::optional<DialogChoice> ShowLaunchDialog(HWND mainWindow, HWND panelWindow)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    PrepareTheme();
    RegisterDialogClass(launchClass, instance);
    const int dpi = ScreenDpi();
    const StartupLayout layout = BuildLaunchLayout(dpi);
    DialogFonts fonts;
    fonts.normal = MakeFont(layout.fontHeight, FW_NORMAL);
    fonts.bold = MakeFont(layout.fontHeight, FW_BOLD);
    RECT owner{};
    GetWindowRect(mainWindow, &owner);
    HWND startButton = nullptr;
    HWND window = CreateConfigurationWindow(
        launchClass, instance, layout, dpi, fonts, L"Benchmark Configuration", mainWindow,
        [&owner](int w, int h) { return CentreOn(owner.left, owner.top, owner.right, owner.bottom, w, h); },
        startButton);
    if (window == nullptr) {
        return std::nullopt;
    }
    // While it is open the main window and the panel take no input, so no
    // second launch window can share this one's choice; both come back
    // however the window ends.
    const DisabledWhileOpen mainDisabled(mainWindow);
    if (mainDisabled.Disabled()) {
        SetPropW(window, kOwnerDisabled, mainWindow);
    }
    const DisabledWhileOpen panelDisabled(panelWindow);

    dialogChoice = LaunchDialogChoice(dialogChoice);
    CheckRadioButton(window, dialog_id::kResolutionFirst, dialog_id::kResolutionFirst + 4, dialog_id::kResolutionFirst);
    CheckRadioButton(window, dialog_id::kDebrisFirst, dialog_id::kDebrisFirst + 4, dialog_id::kDebrisFirst + 1);
    CheckRadioButton(window, dialog_id::kSingleRun, dialog_id::kMultiRun, dialog_id::kSingleRun);

    ShowWindow(window, SW_SHOW);
    SetFocus(startButton);
    UpdateWindow(window);
    RunDialogLoop(window);

    if (dialogChoice.cancelled) {
        return std::nullopt;
    }
    return dialogChoice;
}
