#include "ui/control_panel.h"

#include <commctrl.h>
#include <dwmapi.h>

#include "game/world.h"
#include "ui/panel.h"
#include "ui/telemetry.h"

struct PanelGdiObjects {
    HBRUSH editBrush = nullptr;
    HBRUSH backBrush = nullptr;
    HFONT font = nullptr;
    HFONT headerFont = nullptr;
};

void PanelGdiRelease::operator()(PanelGdiObjects* objects) const noexcept
{
    if (objects == nullptr) {
        return;
    }
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(objects->editBrush), static_cast<HGDIOBJ>(objects->backBrush),
                           static_cast<HGDIOBJ>(objects->font), static_cast<HGDIOBJ>(objects->headerFont)}) {
        if (object != nullptr) {
            DeleteObject(object);
        }
    }
    delete objects;
}

namespace {

const wchar_t kPanelClass[] = L"TechDemoCtrlPanel";
constexpr COLORREF kPanelBack = RGB(0x20, 0x20, 0x20);
constexpr COLORREF kEditBack = RGB(0x2D, 0x2D, 0x2D);
constexpr COLORREF kText = RGB(0xFF, 0xFF, 0xFF);
constexpr DWORD kDarkModeAttribute = 20;  // DWMWA_USE_IMMERSIVE_DARK_MODE

HWND Hwnd(WindowHandle handle)
{
    return static_cast<HWND>(handle);
}

PanelHost* HostOf(HWND panel)
{
    return reinterpret_cast<PanelHost*>(GetWindowLongPtrW(panel, GWLP_USERDATA));
}

WindowHandle* Slot(PanelHandles& p, PanelHandle which)
{
    switch (which) {
    case PanelHandle::None: return nullptr;
    case PanelHandle::FpsLabel: return &p.fpsLabel;
    case PanelHandle::BricksLabel: return &p.bricksLabel;
    case PanelHandle::DebrisLabel: return &p.debrisLabel;
    case PanelHandle::ScoreLabel: return &p.scoreLabel;
    case PanelHandle::LivesLabel: return &p.livesLabel;
    case PanelHandle::ResolutionLabel: return &p.resolutionLabel;
    case PanelHandle::DebrisCountSlider: return &p.debrisCountTrackbar;
    case PanelHandle::DebrisCountEdit: return &p.debrisCountEdit;
    case PanelHandle::BrightnessSlider: return &p.brightnessTrackbar;
    case PanelHandle::BrightnessEdit: return &p.brightnessEdit;
    case PanelHandle::BallGlowSlider: return &p.ballGlowTrackbar;
    case PanelHandle::BallGlowEdit: return &p.ballGlowEdit;
    case PanelHandle::RayStepsSlider: return &p.rayStepsTrackbar;
    case PanelHandle::RayStepsEdit: return &p.rayStepsEdit;
    case PanelHandle::GpuLabel: return &p.gpuLabel;
    }
    return nullptr;
}

WindowHandle HandleOf(const PanelHandles& p, PanelHandle which)
{
    WindowHandle* slot = Slot(const_cast<PanelHandles&>(p), which);
    return slot != nullptr ? *slot : nullptr;
}

// The window of a control of the table: by its id, or by its handle for the sliders (id 0).
HWND ControlWindow(const PanelHandles& p, const PanelControl& c)
{
    return c.id != 0 ? GetDlgItem(Hwnd(p.panelWindow), c.id) : Hwnd(HandleOf(p, c.handle));
}

const PanelControl* ControlWithId(int id)
{
    for (const PanelControl& c : PanelControls()) {
        if (c.id == id && id != 0) {
            return &c;
        }
    }
    return nullptr;
}

// The game's keys go to the main window: after a click on a button or check
// box the focus goes back there, so that Space launches a ball instead of
// pressing the button again, and the arrows steer the paddle.
void ReturnFocusToOwner(HWND panel)
{
    HWND owner = GetWindow(panel, GW_OWNER);
    if (owner != nullptr && IsWindowEnabled(owner) && IsWindowVisible(owner)) {
        SetForegroundWindow(owner);
    }
}

WNDPROC valueFieldProc = nullptr;  // the edit class's own procedure, which the value fields pass on to

// Enter in a value field takes the entry: the focus returns to the main
// window, and the field shows the value applied.
LRESULT CALLBACK ValueFieldProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    if ((message == WM_KEYDOWN || message == WM_CHAR) && wParam == VK_RETURN) {
        if (message == WM_KEYDOWN) {
            ReturnFocusToOwner(GetParent(edit));
        }
        return 0;  // a single-line field would only beep
    }
    return CallWindowProcW(valueFieldProc, edit, message, wParam, lParam);
}

struct SettingWindows {
    PanelSetting setting;
    WindowHandle PanelHandles::*slider;
    WindowHandle PanelHandles::*edit;
};
// In the order the value fields are refreshed.
constexpr SettingWindows kSettingWindows[] = {
    {PanelSetting::Brightness, &PanelHandles::brightnessTrackbar, &PanelHandles::brightnessEdit},
    {PanelSetting::BallGlow, &PanelHandles::ballGlowTrackbar, &PanelHandles::ballGlowEdit},
    {PanelSetting::RaySteps, &PanelHandles::rayStepsTrackbar, &PanelHandles::rayStepsEdit},
    {PanelSetting::DebrisCount, &PanelHandles::debrisCountTrackbar, &PanelHandles::debrisCountEdit},
};

const SettingWindows* SliderSetting(const PanelHandles& p, HWND window)
{
    for (const SettingWindows& s : kSettingWindows) {
        if (window != nullptr && Hwnd(p.*s.slider) == window) {
            return &s;
        }
    }
    return nullptr;
}

const SettingWindows* EditSetting(const PanelHandles& p, HWND window)
{
    for (const SettingWindows& s : kSettingWindows) {
        if (window != nullptr && Hwnd(p.*s.edit) == window) {
            return &s;
        }
    }
    return nullptr;
}

HFONT MakePanelFont(int weight)
{
    return CreateFontW(16, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0, L"Segoe UI");
}

void RegisterPanelClass(HINSTANCE instance)
{
    static bool registered = false;
    if (registered) {
        return;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = PanelWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(kPanelBack);  // lives as long as the process
    wc.lpszClassName = kPanelClass;
    RegisterClassW(&wc);
    registered = true;
}

// The panel's (unscrolled) controls, in table order.
void CreatePanelControls(PanelHandles& p, HWND panel, HINSTANCE instance)
{
    const PanelGdiObjects& gdi = *p.gdi;
    for (const PanelControl& c : PanelControls()) {
        const wchar_t* cls = L"STATIC";
        DWORD style = WS_CHILD | (c.id == panel_id::kAbort ? 0 : WS_VISIBLE);
        DWORD exStyle = 0;
        switch (c.kind) {
        case PanelControlKind::Header:
        case PanelControlKind::Label: style |= SS_LEFT; break;
        case PanelControlKind::Separator: style |= SS_ETCHEDHORZ; break;
        case PanelControlKind::PushButton: cls = L"BUTTON"; style |= BS_CENTER; break;
        case PanelControlKind::CheckBox: cls = L"BUTTON"; style |= BS_AUTOCHECKBOX; break;
        case PanelControlKind::Slider: cls = TRACKBAR_CLASSW; style |= TBS_AUTOTICKS; break;
        case PanelControlKind::Edit:
            cls = L"EDIT";
            style |= ES_CENTER | ES_AUTOHSCROLL;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        }
        HWND control = CreateWindowExW(exStyle, cls, c.caption, style, c.x, c.y, c.w, c.h, panel,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
        if (c.kind != PanelControlKind::Separator && c.kind != PanelControlKind::Slider) {
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(c.headerFont ? gdi.headerFont : gdi.font), TRUE);
        }
        if (WindowHandle* slot = Slot(p, c.handle)) {
            *slot = control;
        }
        if (c.kind == PanelControlKind::Edit && control != nullptr) {
            valueFieldProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ValueFieldProc)));
        }
        if (c.id == panel_id::kDebris) {
            CheckDlgButton(panel, panel_id::kDebris, BST_CHECKED);
        }
    }
    for (const SettingWindows& s : kSettingWindows) {
        const SliderRange range = SliderRangeFor(s.setting);
        SendMessageW(Hwnd(p.*s.slider), TBM_SETRANGE, TRUE, MAKELPARAM(range.min, range.max));
    }
}

void SetScrollRange(HWND panel, bool withPosition)
{
    RECT client{};
    GetClientRect(panel, &client);
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | (withPosition ? SIF_POS : 0);
    info.nMin = 0;
    info.nMax = kPanelContentHeight;
    info.nPage = static_cast<UINT>(client.bottom - client.top);
    info.nPos = 0;
    SetScrollInfo(panel, SB_VERT, &info, TRUE);
}

PanelScroll ScrollFor(WORD code)
{
    switch (code) {
    case SB_LINEUP: return PanelScroll::LineUp;
    case SB_LINEDOWN: return PanelScroll::LineDown;
    case SB_PAGEUP: return PanelScroll::PageUp;
    case SB_PAGEDOWN: return PanelScroll::PageDown;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: return PanelScroll::Thumb;
    case SB_TOP: return PanelScroll::Top;
    case SB_BOTTOM: return PanelScroll::Bottom;
    default: return PanelScroll::Other;
    }
}

// Writes the asked position, reads back what the system kept, and moves the content.
void ScrollPanel(PanelHandles& p, HWND panel, int (*request)(int position, int page, WPARAM wParam, int track), WPARAM wParam)
{
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    GetScrollInfo(panel, SB_VERT, &info);
    const int old = info.nPos;
    const int page = static_cast<int>(info.nPage);
    info.fMask = SIF_POS;
    info.nPos = ClampPanelScroll(request(old, page, wParam, info.nTrackPos), page);
    SetScrollInfo(panel, SB_VERT, &info, TRUE);
    info.fMask = SIF_POS;
    GetScrollInfo(panel, SB_VERT, &info);
    if (info.nPos != old) {
        ScrollWindow(panel, 0, old - info.nPos, nullptr, nullptr);
        UpdateWindow(panel);
    }
    p.panelScrollPos = info.nPos;
}

int ScrollBarRequest(int position, int page, WPARAM wParam, int track)
{
    return PanelScrollRequest(position, page, ScrollFor(LOWORD(wParam)), track);
}

int WheelRequest(int position, int, WPARAM wParam, int)
{
    return PanelWheelRequest(position, GET_WHEEL_DELTA_WPARAM(wParam));
}

void HandleEditChange(const PanelHandles& p, World& world, HWND edit)
{
    const SettingWindows* s = EditSetting(p, edit);
    if (s == nullptr) {
        return;
    }
    wchar_t text[32] = {};
    GetWindowTextW(edit, text, 32);
    if (const std::optional<int> position = ApplyEditText(world, s->setting, text)) {
        if (HWND slider = Hwnd(p.*s->slider)) {
            SendMessageW(slider, TBM_SETPOS, TRUE, *position);
        }
    }
}

void HandlePanelCommand(PanelHost& host, HWND panel, WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    if (HIWORD(wParam) == EN_CHANGE) {
        HandleEditChange(host.PanelWindows(), host.PanelSettings(), reinterpret_cast<HWND>(lParam));
        return;
    }
    if (HIWORD(wParam) == EN_KILLFOCUS) {
        // The entry is taken: the field shows what was applied ("2000" became 1024).
        if (const SettingWindows* s = EditSetting(host.PanelWindows(), reinterpret_cast<HWND>(lParam))) {
            SetEditTextIfChanged(reinterpret_cast<HWND>(lParam), EditText(host.PanelSettings(), s->setting));
        }
        return;
    }
    if (id < panel_id::kNative || id > panel_id::kAbort) {
        return;
    }
    const bool checked = (id == panel_id::kAutoplay || id == panel_id::kDebris) && IsDlgButtonChecked(panel, id) == BST_CHECKED;
    host.RunPanelCommand(id, checked);
    const PanelControl* control = ControlWithId(id);
    if (HIWORD(wParam) == BN_CLICKED && control != nullptr &&
        (control->kind == PanelControlKind::PushButton || control->kind == PanelControlKind::CheckBox)) {
        // A check box ticks itself; the command may have refused the change.
        const World& world = host.PanelSettings();
        SetPanelCheck(host.PanelWindows(), panel_id::kAutoplay, world.autoplay);
        SetPanelCheck(host.PanelWindows(), panel_id::kDebris, world.debrisEnabled);
        ReturnFocusToOwner(panel);
    }
}

LRESULT RoutePanelMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The host comes with the window's creation and stays in its user data
    // until the program detaches it.
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    PanelHost* host = HostOf(window);
    if (host == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    PanelHandles& p = host->PanelWindows();
    switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
        if (!p.gdi) {
            break;
        }
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, kText);
        if (message == WM_CTLCOLOREDIT) {
            SetBkColor(dc, kEditBack);
            return reinterpret_cast<LRESULT>(p.gdi->editBrush);
        }
        SetBkColor(dc, kPanelBack);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(p.gdi->backBrush);
    }
    case WM_COMMAND:
        HandlePanelCommand(*host, window, wParam, lParam);
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_HSCROLL:
        if (OnPanelTrackbar(p, host->PanelSettings(), reinterpret_cast<HWND>(lParam))) {
            return 0;
        }
        break;
    case WM_VSCROLL:
        if (p.panelWindow != nullptr) {
            ScrollPanel(p, window, ScrollBarRequest, wParam);
        }
        return 0;
    case WM_MOUSEWHEEL:
        if (p.panelWindow != nullptr) {
            ScrollPanel(p, window, WheelRequest, wParam);
        }
        return 0;
    case WM_SIZE:
        if (p.panelWindow != nullptr) {
            SetScrollRange(window, false);
        }
        return 0;
    case WM_DESTROY:
        // Closed by its close box (or with the main window): no later update
        // may reach its controls. The brushes and fonts stay until the program goes.
        if (Hwnd(p.panelWindow) == window) {
            auto gdi = std::move(p.gdi);
            p = PanelHandles{};
            p.gdi = std::move(gdi);
        }
        break;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void CreateControlPanel(PanelHost& host, HWND owner, HINSTANCE instance)
{
    PanelHandles& p = host.PanelWindows();
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
    RegisterPanelClass(instance);

    auto gdi = std::unique_ptr<PanelGdiObjects, PanelGdiRelease>(new PanelGdiObjects);
    gdi->editBrush = CreateSolidBrush(kEditBack);
    gdi->backBrush = CreateSolidBrush(kPanelBack);
    gdi->font = MakePanelFont(FW_NORMAL);
    gdi->headerFont = MakePanelFont(FW_SEMIBOLD);
    p.gdi = std::move(gdi);

    // On a short screen (a laptop's 768 pixels less the taskbar) the panel
    // ends at the work area's bottom, and the rest is scrolled to.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        work = monitor.rcWork;
    }
    const PanelPlacement place = PanelPlacementFor(work.left, work.top, work.right, work.bottom);
    HWND panel = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kPanelClass, L"Mission Control",
                                 WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VSCROLL, CW_USEDEFAULT, CW_USEDEFAULT,
                                 place.width, place.height, owner, nullptr, instance, &host);
    if (panel == nullptr) {
        return;  // the program runs without a panel
    }
    p.panelWindow = panel;
    const BOOL dark = TRUE;
    DwmSetWindowAttribute(panel, kDarkModeAttribute, &dark, sizeof(dark));
    SetWindowPos(panel, HWND_TOPMOST, place.x, place.y, place.width, place.height, SWP_NOACTIVATE);
    CreatePanelControls(p, panel, instance);
    RECT client{};
    if (p.resolutionLabel != nullptr && GetClientRect(owner, &client)) {
        SetWindowTextW(Hwnd(p.resolutionLabel), ResolutionText(static_cast<uint32_t>(client.right),
                                                               static_cast<uint32_t>(client.bottom)).c_str());
    }
    p.panelContentHeight = kPanelContentHeight;
    SetScrollRange(panel, true);
    p.panelScrollPos = 0;
    // Shown without taking the focus from the main window.
    ShowWindow(panel, SW_SHOWNOACTIVATE);
    RefreshPanelControls(p, host.PanelSettings());
}

void DetachControlPanel(HWND panel)
{
    if (panel != nullptr) {
        SetWindowLongPtrW(panel, GWLP_USERDATA, 0);
    }
}

LRESULT CALLBACK PanelWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return RoutePanelMessage(window, message, wParam, lParam);
    } catch (...) {
        if (PanelHost* host = HostOf(window)) {
            host->KeepMessageFailure(std::current_exception());
        }
        return 0;
    }
}

void RefreshPanelControls(const PanelHandles& panel, const World& world)
{
    for (const SettingWindows& s : kSettingWindows) {
        if (HWND slider = Hwnd(panel.*s.slider)) {
            SendMessageW(slider, TBM_SETPOS, TRUE, SliderPosition(world, s.setting));
        }
    }
    // Whatever changed them (a key, the benchmark, a click).
    SetPanelCheck(panel, panel_id::kAutoplay, world.autoplay);
    SetPanelCheck(panel, panel_id::kDebris, world.debrisEnabled);
    RefreshPanelEdits(panel, world);
}

void RefreshPanelEdits(const PanelHandles& panel, const World& world)
{
    HWND typing = GetFocus();
    for (const SettingWindows& s : kSettingWindows) {
        // A half-typed "1" must not become "1.00" under the typist's cursor.
        if (Hwnd(panel.*s.edit) != typing) {
            SetEditTextIfChanged(Hwnd(panel.*s.edit), EditText(world, s.setting));
        }
    }
}

void SetEditTextIfChanged(HWND edit, const std::wstring& text)
{
    if (edit == nullptr) {
        return;
    }
    wchar_t shown[32] = {};
    GetWindowTextW(edit, shown, 32);
    if (text != shown) {
        SetWindowTextW(edit, text.c_str());
    }
}

bool OnPanelTrackbar(const PanelHandles& panel, World& world, HWND slider)
{
    if (slider == nullptr) {
        return false;
    }
    if (const SettingWindows* s = SliderSetting(panel, slider)) {
        const int position = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
        ApplySliderPosition(world, s->setting, position);
        RefreshPanelEdits(panel, world);
    }
    return true;
}

void ShowPanelBenchmarkRunning(const PanelHandles& p, bool running)
{
    HWND panel = Hwnd(p.panelWindow);
    if (panel == nullptr) {
        return;
    }
    if (HWND launch = GetDlgItem(panel, panel_id::kLaunchBenchmark)) {
        ShowWindow(launch, running ? SW_HIDE : SW_SHOW);
    }
    if (HWND abort = GetDlgItem(panel, panel_id::kAbort)) {
        ShowWindow(abort, running ? SW_SHOW : SW_HIDE);
    }
    for (const PanelControl& c : PanelControls()) {
        if (HWND control = ControlWindow(p, c)) {
            EnableWindow(control, PanelControlEnabled(c, running) ? TRUE : FALSE);
        }
    }
}

void SetPanelCheck(const PanelHandles& p, int id, bool checked)
{
    if (HWND panel = Hwnd(p.panelWindow)) {
        CheckDlgButton(panel, id, checked ? BST_CHECKED : BST_UNCHECKED);
    }
}
