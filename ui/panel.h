#pragma once
// The "Mission Control" panel without the windows: its layout, what each
// control does to the settings, the value fields' texts and parsing, the
// sliders' positions, and its scrolling.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct World;

// Control identifiers of the panel.
namespace panel_id {
inline constexpr int kNative = 206;
inline constexpr int k4K = 207;
inline constexpr int k25K = 208;
inline constexpr int k1080p = 209;
inline constexpr int k720p = 210;
inline constexpr int k480p = 211;
inline constexpr int kFirstLevel = 212;  // 212..217: levels 0..5
inline constexpr int kDebrisMax = 218;
inline constexpr int kDebrisHalf = 219;
inline constexpr int kDebrisQuarter = 220;
inline constexpr int kDebrisEighth = 221;
inline constexpr int kAddBall = 222;
inline constexpr int kSplitBalls = 223;
inline constexpr int kRgbSplit = 224;
inline constexpr int kAutoplay = 225;
inline constexpr int kDebris = 226;
inline constexpr int kDebrisCountEdit = 227;
inline constexpr int kBrightnessEdit = 228;
inline constexpr int kBallGlowEdit = 229;
inline constexpr int kRayStepsEdit = 230;
inline constexpr int kLaunchBenchmark = 231;
inline constexpr int kAbort = 233;
}  // namespace panel_id

// The four settings that have a slider and a value field.
enum class PanelSetting { Brightness, BallGlow, RaySteps, DebrisCount };

enum class PanelControlKind { Header, Label, Separator, PushButton, CheckBox, Slider, Edit };

// Which App handle a control's window goes to.
enum class PanelHandle {
    None, FpsLabel, BricksLabel, DebrisLabel, ScoreLabel, LivesLabel, ResolutionLabel,
    DebrisCountSlider, DebrisCountEdit, BrightnessSlider, BrightnessEdit, BallGlowSlider, BallGlowEdit,
    RayStepsSlider, RayStepsEdit, GpuLabel,
};

struct PanelControl {
    const wchar_t* caption;
    int id;
    PanelControlKind kind;
    int x, y, w, h;  // client pixels before scrolling, never scaled
    bool headerFont;
    PanelHandle handle;
};

inline constexpr int kPanelContentHeight = 1090;
inline constexpr int kPanelOuterWidth = 440;
inline constexpr int kPanelOuterHeight = 800;

// Every control of the panel in creation order.
const std::vector<PanelControl>& PanelControls();

// Where the panel goes on a monitor whose work area (the screen less the
// taskbar) is the given rectangle: 40 pixels in from its top-left corner, 440
// wide and 800 high where that fits, else as high as the work area leaves
// below it (what does not fit is scrolled to).
struct PanelPlacement {
    int x, y, width, height;
};
PanelPlacement PanelPlacementFor(int workLeft, int workTop, int workRight, int workBottom);

// Whether a control takes input. From a benchmark's start to its end or
// abort nothing that changes the work may change: every button, check box,
// slider and value field is disabled but "Abort"; the telemetry stays.
bool PanelControlEnabled(const PanelControl& control, bool benchmarkRunning);

struct SliderRange {
    int min, max;
};
SliderRange SliderRangeFor(PanelSetting setting);

// The slider position that shows the setting: brightness and ball glow in
// hundredths, rounded; ray steps and debris as counts; whatever the stored
// value, a position inside the slider's range.
int SliderPosition(const World& world, PanelSetting setting);

// The value field's text: the first four characters of "%f" for brightness
// and ball glow (cut, not rounded), the count in decimal otherwise.
std::wstring EditText(const World& world, PanelSetting setting);

// The longest leading part of the text (its first 31 characters, as the field
// hands them over) that reads as a floating-point number by the C library's
// wcstof rules. Nothing when nothing parses, or when the number is not finite
// or out of the range of a float.
std::optional<float> ParseEditNumber(const std::wstring& text);

// A value field changed (by typing or by a refresh). Sets the setting from its
// text and returns the slider position to show, or nothing when the text
// changed nothing. Every setting is limited to its slider's range, whatever
// was typed (brightness 0..2, ball glow 0.5..5, ray steps 1..1024, debris
// 0..8192). While a benchmark runs nothing changes.
std::optional<int> ApplyEditText(World& world, PanelSetting setting, const std::wstring& text);

// A slider moved: the setting follows its position (limited to the range),
// except while a benchmark runs.
void ApplySliderPosition(World& world, PanelSetting setting, int position);

// What a click on a panel control asks for.
struct PanelCommand {
    enum class Kind { None, Resize, ResizeToScreen, Level, DebrisPreset, Spawn, Autoplay, Debris, Launch, Abort };
    Kind kind = Kind::None;
    int value = 0;     // level, preset divisor or spawn mode
    uint32_t width = 0, height = 0;  // for Resize
};
PanelCommand CommandFor(int id);

// The debris count a preset gives: the level's cap divided by 1, 2, 4 or 8 (integer division).
int32_t DebrisPresetCount(int32_t debrisCap, int divisor);

// Vertical scrolling: the position a scroll-bar request or a wheel turn asks
// for, and the position the system keeps of it (0 .. content - page + 1).
enum class PanelScroll { LineUp, LineDown, PageUp, PageDown, Thumb, Top, Bottom, Other };
int PanelScrollRequest(int position, int page, PanelScroll request, int trackPosition);
int PanelWheelRequest(int position, int wheelDelta);
int ClampPanelScroll(int position, int page);
