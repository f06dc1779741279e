#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "gpu/present_mode.h"

struct ResolutionPreset {
    uint32_t width;
    uint32_t height;
    const wchar_t* label;
};
inline constexpr int kPresetCount = 5;
extern const ResolutionPreset resolutionPresets[kPresetCount];
extern const int32_t debrisPresetCounts[kPresetCount];

// What the user chose in the startup (or launch) window.
struct DialogChoice {
    int32_t resolutionIndex = 0;
    int32_t debrisIndex = 1;
    int32_t presentModeIndex = 0;
    bool multiRun = false;
    bool justPlay = false;
    bool deterministic = false;
    bool cancelled = false;
};

// Control identifiers of the configuration windows.
namespace dialog_id {
inline constexpr int kStart = 1;
inline constexpr int kExit = 2;
inline constexpr int kResolutionFirst = 300;
inline constexpr int kDebrisFirst = 305;
inline constexpr int kPresentFirst = 310;
inline constexpr int kSingleRun = 313;
inline constexpr int kMultiRun = 314;
inline constexpr int kJustPlay = 315;
inline constexpr int kDeterministic = 316;
inline constexpr int kPresetRtx = 317;
inline constexpr int kPresetExtreme = 318;
inline constexpr int kAdapter = 319;  // the startup window's line that names the adapter
}  // namespace dialog_id

// What the window must do after a command has updated the choice.
enum class DialogAction {
    None,          // handled, nothing more
    SyncRadios,    // re-check the radio groups from the choice
    Close,         // "Start": destroy the window, the choice stands
    Cancel,        // "Exit": destroy the window, the choice is cancelled
    NotHandled,    // an unknown id: default processing
};

// A WM_COMMAND with the given control id; deterministicChecked is the state
// of the Deterministic check box (only read for its own id).
DialogAction ApplyDialogCommand(DialogChoice& choice, int id, bool deterministicChecked);

// The state of a fresh dialog and the radio buttons that start checked.
DialogChoice DefaultDialogChoice();

// The run configuration that a confirmed choice sets.
struct StartupConfiguration {
    uint32_t width = 1920;
    uint32_t height = 1080;
    PresentMode presentMode = PresentMode::VsyncOff;
    bool benchmarkAtStart = false;
    bool singleRun = false;
    bool deterministic = false;
    int32_t debrisCount = 80;  // the benchmark's debris preset
};
StartupConfiguration ConfigurationFor(const DialogChoice& choice);

// "[DX12] Config: 854x480, debris=80, vsync=off, mode=single\n"; for a
// stress test of 20 loops "..., mode=stress, loops=20\n".
std::string ConfigLogLine(const DialogChoice& choice, uint32_t stressLoops = 0);

// MulDiv(value, dpi, 96): scaled and rounded to the nearest, halves away from zero.
int ScaleForDpi(int value, int dpi);

// A Note is a line whose text the program sets (the adapter's name): shown
// as it is (no & prefixes) and cut with an ellipsis where it is too long.
enum class ControlKind { Label, FirstRadio, Radio, PresetButton, CheckBox, CommandButton, Note };

struct ControlSpec {
    const wchar_t* caption;
    int id;
    ControlKind kind;
    int x, y, w, h;
    bool bold;
};

struct StartupLayout {
    int clientWidth = 0;
    int contentHeight = 0;
    int fontHeight = 0;
    std::vector<ControlSpec> controls;
};

// Every control of the startup window at the given dots per inch; each length
// is scaled on its own and positions are sums of scaled lengths. Under the
// command row a note names the adapter the program will use.
StartupLayout BuildStartupLayout(int dpi);

// The startup window's note: "Adapter: " and the adapter's name, or that
// the system lists none.
std::wstring AdapterLine(const std::string& adapterName);

// The benchmark launch window ("Benchmark Configuration"): the startup
// window's resolution, debris and preset rows, then the run mode, the
// deterministic box and "Start Benchmark"/"Cancel".
StartupLayout BuildLaunchLayout(int dpi);

// The choice a launch window opens with: defaults for what it shows, the
// present mode and free-play choice left as they were.
DialogChoice LaunchDialogChoice(const DialogChoice& previous);

// The top-left corner that centres a width x height window on a rectangle
// (it may lie partly off the screen).
struct WindowPlacement {
    int x, y;
};
WindowPlacement CentreOn(int left, int top, int right, int bottom, int width, int height);

// The vertical scrolling of a configuration window taller than the screen.
struct ScrollState {
    int contentHeight = 0;
    int visibleHeight = 0;
    int scrollPos = 0;
};

enum class ScrollRequest { LineUp, LineDown, PageUp, PageDown, Thumb, Top, Bottom, Other };

// The clamped new position for a scroll-bar request (thumb: the 16-bit track position).
int ScrollPositionFor(const ScrollState& state, ScrollRequest request, int thumbPosition);
// The clamped new position for a wheel turn of `delta` (120 per notch).
int ScrollPositionForWheel(const ScrollState& state, int delta);
// The client area a configuration window asks for on a screen screenHeight
// high: at most the screen less 100 (scaled) in height, and, when the content
// is taller than that and the window scrolls, the layout's width plus the
// vertical scroll bar's (scrollBarWidth), which takes its place inside the
// client area the window is given.
struct DialogClientArea {
    int width = 0;
    int visibleHeight = 0;
    bool scrolls = false;
};
DialogClientArea DialogClientAreaFor(const StartupLayout& layout, int screenHeight, int dpi, int scrollBarWidth);
