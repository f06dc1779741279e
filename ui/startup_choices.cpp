#include "ui/startup_choices.h"

#include <algorithm>
#include <cstdio>


const ResolutionPreset resolutionPresets[kPresetCount] = {
    {854, 480, L"480p"}, {1280, 720, L"720p"}, {1920, 1080, L"1080p"}, {2560, 1440, L"2.5K"}, {3840, 2160, L"4K"},
};
const int32_t debrisPresetCounts[kPresetCount] = {0, 80, 160, 320, 640};

DialogChoice DefaultDialogChoice()
{
    return DialogChoice{};
}

DialogAction ApplyDialogCommand(DialogChoice& choice, int id, bool deterministicChecked)
{
    using namespace dialog_id;
    if (id >= kResolutionFirst && id < kResolutionFirst + kPresetCount) {
        choice.resolutionIndex = id - kResolutionFirst;
        return DialogAction::None;
    }
    if (id >= kDebrisFirst && id < kDebrisFirst + kPresetCount) {
        choice.debrisIndex = id - kDebrisFirst;
        return DialogAction::None;
    }
    if (id >= kPresentFirst && id < kPresentFirst + 3) {
        choice.presentModeIndex = id - kPresentFirst;
        return DialogAction::None;
    }
    switch (id) {
    case kSingleRun:
        choice.multiRun = false;
        choice.justPlay = false;
        return DialogAction::None;
    case kMultiRun:
        choice.multiRun = true;
        choice.justPlay = false;
        return DialogAction::None;
    case kJustPlay:
        choice.justPlay = true;
        return DialogAction::None;
    case kDeterministic:
        choice.deterministic = deterministicChecked;
        return DialogAction::None;
    case kPresetRtx:
        choice.resolutionIndex = 1;
        choice.debrisIndex = 1;
        return DialogAction::SyncRadios;
    case kPresetExtreme:
        choice.resolutionIndex = 2;
        choice.debrisIndex = 4;
        return DialogAction::SyncRadios;
    case kStart:
        return DialogAction::Close;
    case kExit:
        choice.cancelled = true;
        return DialogAction::Cancel;
    default:
        return DialogAction::NotHandled;
    }
}

StartupConfiguration ConfigurationFor(const DialogChoice& choice)
{
    const ResolutionPreset& preset = resolutionPresets[choice.resolutionIndex];
    StartupConfiguration config;
    config.width = preset.width;
    config.height = preset.height;
    config.presentMode = static_cast<PresentMode>(choice.presentModeIndex);
    config.benchmarkAtStart = !choice.justPlay;
    config.singleRun = !choice.multiRun;
    config.deterministic = choice.deterministic;
    config.debrisCount = debrisPresetCounts[choice.debrisIndex];
    return config;
}

std::string ConfigLogLine(const DialogChoice& choice, uint32_t stressLoops)
{
    static const char* const vsyncWords[3] = {"off", "on", "triple-buffer"};
    const ResolutionPreset& preset = resolutionPresets[choice.resolutionIndex];
    const char* mode = choice.justPlay ? "play" : (choice.multiRun ? "multi" : "single");
    char line[160];
    const std::string stress = stressLoops > 0 ? ", loops=" + std::to_string(stressLoops) : "";
    std::snprintf(line, sizeof(line), "[DX12] Config: %ux%u, debris=%d, vsync=%s, mode=%s%s\n", preset.width,
                  preset.height, debrisPresetCounts[choice.debrisIndex], vsyncWords[choice.presentModeIndex],
                  stressLoops > 0 ? "stress" : mode, stress.c_str());
    return line;
}

int ScaleForDpi(int value, int dpi)
{
    // MulDiv(value, dpi, 96): the 64-bit product divided with rounding, halves away from zero.
    const int64_t product = static_cast<int64_t>(value) * dpi;
    const int64_t half = 48;
    return static_cast<int>(product >= 0 ? (product + half) / 96 : (product - half) / 96);
}

namespace {

// The parts both configuration windows share: the metrics, and the
// resolution, debris and preset rows with their labels.
struct DialogMetrics {
    explicit DialogMetrics(int dpi) : dpi_(dpi) {}
    int operator()(int length) const { return ScaleForDpi(length, dpi_); }

    static constexpr int M = 15, L = 20, R = 22, P = 26, B = 34, W = 390;
    int C2() const { return (*this)(W) / 2 + (*this)(5); }
    int Indent() const { return (*this)(M) + (*this)(10); }
    int RadioTop() const { return (*this)(M) + (*this)(L) + (*this)(2); }
    int RowStep() const { return (*this)(R) + (*this)(2); }
    int PresetsLabel() const { return RadioTop() + 5 * RowStep() + (*this)(10); }
    int PresetsRow() const { return PresetsLabel() + (*this)(L) + (*this)(2); }

private:
    int dpi_;
};

StartupLayout SharedRows(const DialogMetrics& s)
{
    using K = ControlKind;
    using D = DialogMetrics;
    StartupLayout layout;
    layout.clientWidth = s(D::W);
    layout.fontHeight = s(16);
    auto& c = layout.controls;
    c.push_back({L"Resolution:", 0, K::Label, s(D::M), s(D::M), s(150), s(D::L), true});
    c.push_back({L"Debris Count:", 0, K::Label, s.C2(), s(D::M), s(150), s(D::L), true});
    for (int i = 0; i < kPresetCount; ++i) {
        c.push_back({resolutionPresets[i].label, dialog_id::kResolutionFirst + i, i == 0 ? K::FirstRadio : K::Radio,
                     s.Indent(), s.RadioTop() + i * s.RowStep(), s(100), s(D::R), false});
    }
    static const wchar_t* const debrisLabels[kPresetCount] = {L"No Debris", L"80 Debris", L"160 Debris", L"320 Debris",
                                                              L"640 Debris"};
    for (int i = 0; i < kPresetCount; ++i) {
        c.push_back({debrisLabels[i], dialog_id::kDebrisFirst + i, i == 0 ? K::FirstRadio : K::Radio,
                     s.C2() + s(10), s.RadioTop() + i * s.RowStep(), s(120), s(D::R), false});
    }
    c.push_back({L"Quick Presets:", 0, K::Label, s(D::M), s.PresetsLabel(), s(150), s(D::L), true});
    c.push_back({L"RTX 5090 (720p, 80 debris)", dialog_id::kPresetRtx, K::PresetButton, s.Indent(), s.PresetsRow(),
                 s(175), s(D::P), false});
    c.push_back({L"Extreme (1080p, 640 debris)", dialog_id::kPresetExtreme, K::PresetButton, s.C2(), s.PresetsRow(),
                 s(175), s(D::P), false});
    return layout;
}

}  // namespace

StartupLayout BuildStartupLayout(int dpi)
{
    const DialogMetrics s(dpi);
    using K = ControlKind;
    using D = DialogMetrics;
    StartupLayout layout = SharedRows(s);
    const int vsyncLabel = s.PresetsRow() + s(D::P) + s(10);
    const int vsyncRow = vsyncLabel + s(D::L) + s(2);
    const int runLabel = vsyncRow + s(D::R) + s(10);
    const int runRow = runLabel + s(D::L) + s(2);
    const int justPlayRow = runRow + s(D::R) + s(4);
    const int checkRow = justPlayRow + s(D::R) + s(10);
    const int commandRow = checkRow + s(D::R) + s(10);
    const int adapterRow = commandRow + s(D::B) + s(10);
    layout.contentHeight = adapterRow + s(D::L) + s(D::M);

    auto& c = layout.controls;
    c.push_back({L"VSync:", 0, K::Label, s(D::M), vsyncLabel, s(150), s(D::L), true});
    c.push_back({L"Off", dialog_id::kPresentFirst, K::FirstRadio, s.Indent(), vsyncRow, s(60), s(D::R), false});
    c.push_back({L"On", dialog_id::kPresentFirst + 1, K::Radio, s(D::M) + s(80), vsyncRow, s(60), s(D::R), false});
    c.push_back({L"Triple Buffer", dialog_id::kPresentFirst + 2, K::Radio, s(D::M) + s(150), vsyncRow, s(110), s(D::R),
                 false});
    c.push_back({L"Run Mode:", 0, K::Label, s(D::M), runLabel, s(150), s(D::L), true});
    c.push_back({L"Single Run (40 sec)", dialog_id::kSingleRun, K::FirstRadio, s.Indent(), runRow, s(160), s(D::R), false});
    c.push_back({L"Multi Run (4 x 40 sec)", dialog_id::kMultiRun, K::Radio, s.C2(), runRow, s(170), s(D::R), false});
    c.push_back({L"Just Play (No Benchmark)", dialog_id::kJustPlay, K::Radio, s.Indent(), justPlayRow, s(200), s(D::R),
                 false});
    c.push_back({L"Deterministic (60s, ZIVO, no input)", dialog_id::kDeterministic, K::CheckBox, s.Indent(), checkRow,
                 s(280), s(D::R), false});
    c.push_back({L"Start", dialog_id::kStart, K::CommandButton, s(D::M), commandRow, s(140), s(D::B), true});
    c.push_back({L"Exit", dialog_id::kExit, K::CommandButton, s(D::W) - s(D::M) - s(140), commandRow, s(140), s(D::B),
                 false});
    c.push_back({L"", dialog_id::kAdapter, K::Note, s(D::M), adapterRow, s(D::W) - s(D::M) - s(D::M), s(D::L), false});
    return layout;
}

std::wstring AdapterLine(const std::string& adapterName)
{
    return adapterName.empty() ? L"Adapter: none found" : L"Adapter: " + std::wstring(adapterName.begin(), adapterName.end());
}

StartupLayout BuildLaunchLayout(int dpi)
{
    const DialogMetrics s(dpi);
    using K = ControlKind;
    using D = DialogMetrics;
    StartupLayout layout = SharedRows(s);
    const int runLabel = s.PresetsRow() + s(D::P) + s(10);
    const int runRow = runLabel + s(D::L) + s(2);
    const int checkRow = runRow + s(D::R) + s(10);
    const int commandRow = checkRow + s(D::R) + s(10);
    // The window's content height, each term scaled on its own (the controls end 19 pixels above it at 96 dpi).
    layout.contentHeight = 2 * (s(D::L) + s(D::R) + s(D::M)) + 5 * (s(2) + s(D::R)) + s(10) + s(20) + (s(D::P) + s(10)) +
                           (s(D::L) + s(2)) + s(2) + s(2) + s(4) + s(D::B);

    auto& c = layout.controls;
    c.push_back({L"Run Mode:", 0, K::Label, s(D::M), runLabel, s(150), s(D::L), true});
    c.push_back({L"Single Run (40 sec)", dialog_id::kSingleRun, K::FirstRadio, s.Indent(), runRow, s(160), s(D::R), false});
    c.push_back({L"Multi Run (4 x 40 sec)", dialog_id::kMultiRun, K::Radio, s.C2(), runRow, s(170), s(D::R), false});
    c.push_back({L"Deterministic (60s, ZIVO, no input)", dialog_id::kDeterministic, K::CheckBox, s.Indent(), checkRow,
                 s(280), s(D::R), false});
    c.push_back({L"Start Benchmark", dialog_id::kStart, K::CommandButton, s(D::M), commandRow, s(140), s(D::B), true});
    c.push_back({L"Cancel", dialog_id::kExit, K::CommandButton, s(D::W) - s(D::M) - s(140), commandRow, s(140), s(D::B),
                 false});
    return layout;
}

DialogChoice LaunchDialogChoice(const DialogChoice& previous)
{
    DialogChoice choice = previous;
    choice.resolutionIndex = 0;
    choice.debrisIndex = 1;
    choice.multiRun = false;
    choice.cancelled = false;
    choice.deterministic = false;
    return choice;
}

WindowPlacement CentreOn(int left, int top, int right, int bottom, int width, int height)
{
    return {left + (right - left - width) / 2, top + (bottom - top - height) / 2};
}

namespace {

int ClampScroll(const ScrollState& state, int position)
{
    return std::clamp(position, 0, std::max(0, state.contentHeight - state.visibleHeight));
}

}  // namespace

int ScrollPositionFor(const ScrollState& state, ScrollRequest request, int thumbPosition)
{
    int position = state.scrollPos;
    switch (request) {
    case ScrollRequest::LineUp: position -= 20; break;
    case ScrollRequest::LineDown: position += 20; break;
    case ScrollRequest::PageUp: position -= state.visibleHeight; break;
    case ScrollRequest::PageDown: position += state.visibleHeight; break;
    case ScrollRequest::Thumb: position = thumbPosition; break;
    case ScrollRequest::Top: position = 0; break;
    case ScrollRequest::Bottom: position = state.contentHeight - state.visibleHeight; break;
    case ScrollRequest::Other: break;
    }
    return ClampScroll(state, position);
}

int ScrollPositionForWheel(const ScrollState& state, int delta)
{
    return ClampScroll(state, state.scrollPos - delta / 2);
}

DialogClientArea DialogClientAreaFor(const StartupLayout& layout, int screenHeight, int dpi, int scrollBarWidth)
{
    DialogClientArea area;
    area.visibleHeight = std::min(layout.contentHeight, screenHeight - ScaleForDpi(100, dpi));
    area.scrolls = layout.contentHeight > area.visibleHeight;
    area.width = layout.clientWidth + (area.scrolls ? scrollBarWidth : 0);
    return area;
}
