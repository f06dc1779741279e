#include "ui/panel.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cwchar>

#include "game/levels.h"
#include "game/spawning.h"
#include "game/world.h"

namespace {

using K = PanelControlKind;
using H = PanelHandle;

constexpr size_t kEditCharacters = 31;  // what a 32-character buffer takes of a field

float* FloatSetting(World& world, PanelSetting setting)
{
    return setting == PanelSetting::Brightness ? &world.brightness : &world.ballGlow;
}

bool InHundredths(PanelSetting setting)
{
    return setting == PanelSetting::Brightness || setting == PanelSetting::BallGlow;
}

}  // namespace

const std::vector<PanelControl>& PanelControls()
{
    static_assert(kLevelCount == 6, "the panel lays out six level buttons in three rows");
    static const std::vector<PanelControl> controls = {
        {L"TELEMETRY", 0, K::Header, 15, 15, 350, 24, true, H::None},
        {L"FPS: 0.0", 0, K::Label, 15, 43, 200, 24, false, H::FpsLabel},
        {L"Current Bricks: 0", 0, K::Label, 15, 67, 200, 24, false, H::BricksLabel},
        {L"Current Debris: 0", 0, K::Label, 15, 91, 200, 24, false, H::DebrisLabel},
        {L"Score: 0", 0, K::Label, 15, 115, 200, 24, false, H::ScoreLabel},
        {L"Lives: 3", 0, K::Label, 15, 139, 200, 24, false, H::LivesLabel},
        {L"", 0, K::Label, 15, 163, 350, 24, false, H::GpuLabel},  // the GPU time per pass, when there is one
        {L"", 0, K::Separator, 15, 193, 350, 2, false, H::None},
        {L"RESOLUTION", 0, K::Header, 15, 208, 350, 24, true, H::None},
        {L"Current: 1920x1080", 0, K::Label, 15, 236, 200, 24, false, H::ResolutionLabel},
        {L"Native", panel_id::kNative, K::PushButton, 15, 264, 52, 32, false, H::None},
        {L"4K", panel_id::k4K, K::PushButton, 72, 264, 48, 32, false, H::None},
        {L"2.5K", panel_id::k25K, K::PushButton, 125, 264, 48, 32, false, H::None},
        {L"1080p", panel_id::k1080p, K::PushButton, 178, 264, 54, 32, false, H::None},
        {L"720p", panel_id::k720p, K::PushButton, 237, 264, 54, 32, false, H::None},
        {L"480p", panel_id::k480p, K::PushButton, 296, 264, 54, 32, false, H::None},
        {L"", 0, K::Separator, 15, 304, 350, 2, false, H::None},
        {L"SIMULATION", 0, K::Header, 15, 319, 350, 24, true, H::None},
        {L"Enable Physics Debris", panel_id::kDebris, K::CheckBox, 15, 347, 220, 24, false, H::None},
        {L"Debris Cap", 0, K::Label, 15, 379, 200, 24, false, H::None},
        {L"", 0, K::Slider, 110, 399, 170, 32, false, H::DebrisCountSlider},
        {L"", panel_id::kDebrisCountEdit, K::Edit, 285, 401, 60, 28, false, H::DebrisCountEdit},
        {L"Debris Presets", 0, K::Label, 15, 441, 200, 24, false, H::None},
        {L"MAX", panel_id::kDebrisMax, K::PushButton, 15, 469, 76, 32, false, H::None},
        {L"1/2", panel_id::kDebrisHalf, K::PushButton, 96, 469, 76, 32, false, H::None},
        {L"1/4", panel_id::kDebrisQuarter, K::PushButton, 177, 469, 76, 32, false, H::None},
        {L"1/8", panel_id::kDebrisEighth, K::PushButton, 258, 469, 76, 32, false, H::None},
        {L"", 0, K::Separator, 15, 509, 350, 2, false, H::None},
        {L"AUTOPLAY (Manual Benchmark)", panel_id::kAutoplay, K::CheckBox, 15, 524, 280, 24, false, H::None},
        {L"+1 Ball", panel_id::kAddBall, K::PushButton, 15, 556, 103, 32, false, H::None},
        {L"x2 Split", panel_id::kSplitBalls, K::PushButton, 123, 556, 103, 32, false, H::None},
        {L"RGB Split", panel_id::kRgbSplit, K::PushButton, 231, 556, 103, 32, false, H::None},
        {L"", 0, K::Separator, 15, 596, 350, 2, false, H::None},
        {L"AUTOMATED BENCHMARK", 0, K::Header, 15, 611, 350, 24, true, H::None},
        {L"Launch Benchmark", panel_id::kLaunchBenchmark, K::PushButton, 15, 639, 155, 40, true, H::None},
        {L"Abort", panel_id::kAbort, K::PushButton, 175, 639, 155, 40, true, H::None},
        {L"", 0, K::Separator, 15, 689, 350, 2, false, H::None},
        {L"VISUALS", 0, K::Header, 15, 704, 350, 24, true, H::None},
        {L"Brightness", 0, K::Label, 15, 732, 200, 24, false, H::None},
        {L"", 0, K::Slider, 110, 752, 170, 32, false, H::BrightnessSlider},
        {L"", panel_id::kBrightnessEdit, K::Edit, 285, 754, 60, 28, false, H::BrightnessEdit},
        {L"Ball Glow", 0, K::Label, 15, 792, 200, 24, false, H::None},
        {L"", 0, K::Slider, 110, 812, 170, 32, false, H::BallGlowSlider},
        {L"", panel_id::kBallGlowEdit, K::Edit, 285, 814, 60, 28, false, H::BallGlowEdit},
        {L"Ray Steps", 0, K::Label, 15, 852, 200, 24, false, H::None},
        {L"", 0, K::Slider, 110, 872, 170, 32, false, H::RayStepsSlider},
        {L"", panel_id::kRayStepsEdit, K::Edit, 285, 874, 60, 28, false, H::RayStepsEdit},
        {L"LEVEL SELECT", 0, K::Header, 15, 918, 350, 24, true, H::None},
        {kLevelNames[0], panel_id::kFirstLevel + 0, K::PushButton, 15, 946, 160, 32, false, H::None},
        {kLevelNames[1], panel_id::kFirstLevel + 1, K::PushButton, 180, 946, 160, 32, false, H::None},
        {kLevelNames[2], panel_id::kFirstLevel + 2, K::PushButton, 15, 982, 160, 32, false, H::None},
        {kLevelNames[3], panel_id::kFirstLevel + 3, K::PushButton, 180, 982, 160, 32, false, H::None},
        {kLevelNames[4], panel_id::kFirstLevel + 4, K::PushButton, 15, 1018, 160, 32, false, H::None},
        {kLevelNames[5], panel_id::kFirstLevel + 5, K::PushButton, 180, 1018, 160, 32, false, H::None},
    };
    return controls;
}

PanelPlacement PanelPlacementFor(int workLeft, int workTop, int, int workBottom)
{
    constexpr int kInset = 40;
    constexpr int kLowest = 120;  // a caption and a row of controls, on a work area too short for more
    const int y = workTop + kInset;
    return {workLeft + kInset, y, kPanelOuterWidth, std::max(std::min(kPanelOuterHeight, workBottom - y), kLowest)};
}

bool PanelControlEnabled(const PanelControl& control, bool benchmarkRunning)
{
    switch (control.kind) {
    case K::Header:
    case K::Label:
    case K::Separator: return true;
    case K::PushButton:
    case K::CheckBox:
    case K::Slider:
    case K::Edit: break;
    }
    return !benchmarkRunning || control.id == panel_id::kAbort;
}

SliderRange SliderRangeFor(PanelSetting setting)
{
    switch (setting) {
    case PanelSetting::Brightness: return {0, 200};
    case PanelSetting::BallGlow: return {50, 500};
    case PanelSetting::RaySteps: return {1, 1024};
    case PanelSetting::DebrisCount: return {0, kDebrisParticles};
    }
    return {0, 0};
}

int SliderPosition(const World& world, PanelSetting setting)
{
    // Limited to the slider's range before any conversion: a value stored
    // from elsewhere may be far beyond an int in hundredths, or not a number.
    const SliderRange range = SliderRangeFor(setting);
    double position = 0.0;
    switch (setting) {
    case PanelSetting::Brightness: position = std::round(static_cast<double>(world.brightness) * 100.0); break;
    case PanelSetting::BallGlow: position = std::round(static_cast<double>(world.ballGlow) * 100.0); break;
    case PanelSetting::RaySteps: position = world.raySteps; break;
    case PanelSetting::DebrisCount: position = world.debrisCount; break;
    }
    if (!(position >= range.min)) {
        return range.min;
    }
    return position > range.max ? range.max : static_cast<int>(position);
}

std::wstring EditText(const World& world, PanelSetting setting)
{
    if (!InHundredths(setting)) {
        return std::to_wstring(setting == PanelSetting::RaySteps ? world.raySteps : world.debrisCount);
    }
    const float value = setting == PanelSetting::Brightness ? world.brightness : world.ballGlow;
    wchar_t text[64];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), L"%f", static_cast<double>(value));
    return std::wstring(text).substr(0, 4);
}

std::optional<float> ParseEditNumber(const std::wstring& text)
{
    const std::wstring field = text.substr(0, kEditCharacters);
    wchar_t* end = nullptr;
    errno = 0;
    const float value = std::wcstof(field.c_str(), &end);
    if (end == field.c_str() || errno == ERANGE || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> ApplyEditText(World& world, PanelSetting setting, const std::wstring& text)
{
    const std::optional<float> number = ParseEditNumber(text);
    if (!number || world.benchmarkRunning) {
        return std::nullopt;
    }
    // Every setting is limited to its slider's range: the renderer and the
    // 8192-record debris buffer are built for these ranges, the field shows
    // only four characters of brightness and ball glow, and a float beyond
    // int is undefined.
    const SliderRange range = SliderRangeFor(setting);
    if (InHundredths(setting)) {
        const float value = std::clamp(*number, static_cast<float>(range.min) / 100.0f,
                                       static_cast<float>(range.max) / 100.0f);
        *FloatSetting(world, setting) = value;
        return static_cast<int>(value * 100.0f);  // truncated toward zero
    }
    const int value = static_cast<int>(
        std::clamp(*number, static_cast<float>(range.min), static_cast<float>(range.max)));
    (setting == PanelSetting::RaySteps ? world.raySteps : world.debrisCount) = value;
    return value;
}

void ApplySliderPosition(World& world, PanelSetting setting, int position)
{
    if (world.benchmarkRunning) {
        return;
    }
    const SliderRange range = SliderRangeFor(setting);
    switch (setting) {
    case PanelSetting::Brightness: world.brightness = static_cast<float>(position / 100.0); break;
    case PanelSetting::BallGlow: world.ballGlow = static_cast<float>(position / 100.0); break;
    case PanelSetting::RaySteps: world.raySteps = std::clamp(position, range.min, range.max); break;
    case PanelSetting::DebrisCount: world.debrisCount = std::clamp(position, range.min, range.max); break;
    }
}

PanelCommand CommandFor(int id)
{
    using Kind = PanelCommand::Kind;
    switch (id) {
    case panel_id::kNative: return {Kind::ResizeToScreen};
    case panel_id::k4K: return {Kind::Resize, 0, 3840, 2160};
    case panel_id::k25K: return {Kind::Resize, 0, 2560, 1440};
    case panel_id::k1080p: return {Kind::Resize, 0, 1920, 1080};
    case panel_id::k720p: return {Kind::Resize, 0, 1280, 720};
    case panel_id::k480p: return {Kind::Resize, 0, 854, 480};
    case panel_id::kDebrisMax: return {Kind::DebrisPreset, 1};
    case panel_id::kDebrisHalf: return {Kind::DebrisPreset, 2};
    case panel_id::kDebrisQuarter: return {Kind::DebrisPreset, 4};
    case panel_id::kDebrisEighth: return {Kind::DebrisPreset, 8};
    case panel_id::kAddBall: return {Kind::Spawn, kSpawnAdd};
    case panel_id::kSplitBalls: return {Kind::Spawn, kSpawnDouble};
    case panel_id::kRgbSplit: return {Kind::Spawn, kSpawnRgb};
    case panel_id::kAutoplay: return {Kind::Autoplay};
    case panel_id::kDebris: return {Kind::Debris};
    case panel_id::kLaunchBenchmark: return {Kind::Launch};
    case panel_id::kAbort: return {Kind::Abort};
    default: break;
    }
    if (id >= panel_id::kFirstLevel && id < panel_id::kFirstLevel + kLevelCount) {
        return {Kind::Level, id - panel_id::kFirstLevel};
    }
    return {};
}

int32_t DebrisPresetCount(int32_t debrisCap, int divisor)
{
    return debrisCap / divisor;
}

int PanelScrollRequest(int position, int page, PanelScroll request, int trackPosition)
{
    switch (request) {
    case PanelScroll::LineUp: return position - 20;
    case PanelScroll::LineDown: return position + 20;
    case PanelScroll::PageUp: return position - page;
    case PanelScroll::PageDown: return position + page;
    case PanelScroll::Thumb: return trackPosition;
    case PanelScroll::Top: return 0;
    case PanelScroll::Bottom: return kPanelContentHeight;
    case PanelScroll::Other: return position;
    }
    return position;
}

int PanelWheelRequest(int position, int wheelDelta)
{
    return position - wheelDelta / 120 * 40;  // whole notches only
}

int ClampPanelScroll(int position, int page)
{
    return std::clamp(position, 0, std::max(0, kPanelContentHeight - std::max(page, 1) + 1));
}
