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

std::string ConfigLogLine(const DialogChoice& choice)
{
    static const char* const vsyncWords[3] = {"off", "on", "triple-buffer"};
    const ResolutionPreset& preset = resolutionPresets[choice.resolutionIndex];
    const char* mode = choice.justPlay ? "play" : (choice.multiRun ? "multi" : "single");
    char line[160];
    std::snprintf(line, sizeof(line), "[DX12] Config: %ux%u, debris=%d, vsync=%s, mode=%s\n", preset.width,
                  preset.height, debrisPresetCounts[choice.debrisIndex], vsyncWords[choice.presentModeIndex], mode);
    return line;
}

int ScaleForDpi(int value, int dpi)
{
    // MulDiv(value, dpi, 96): the 64-bit product divided with rounding, halves away from zero.
    const int64_t product = static_cast<int64_t>(value) * dpi;
    const int64_t half = 48;
    return static_cast<int>(product >= 0 ? (product + half) / 96 : (product - half) / 96);
}

StartupLayout BuildStartupLayout(int dpi)
{
    auto s = [dpi](int length) { return ScaleForDpi(length, dpi); };
    using K = ControlKind;
    const int M = 15, L = 20, R = 22, P = 26, B = 34, W = 390;

    StartupLayout layout;
    layout.clientWidth = s(W);
    layout.fontHeight = s(16);
    const int c2 = s(W) / 2 + s(5);
    const int indent = s(M) + s(10);
    const int radioTop = s(M) + s(L) + s(2);
    const int rowStep = s(R) + s(2);
    const int presetsLabel = radioTop + 5 * rowStep + s(10);
    const int presetsRow = presetsLabel + s(L) + s(2);
    const int vsyncLabel = presetsRow + s(P) + s(10);
    const int vsyncRow = vsyncLabel + s(L) + s(2);
    const int runLabel = vsyncRow + s(R) + s(10);
    const int runRow = runLabel + s(L) + s(2);
    const int justPlayRow = runRow + s(R) + s(4);
    const int checkRow = justPlayRow + s(R) + s(10);
    const int commandRow = checkRow + s(R) + s(10);
    layout.contentHeight = commandRow + s(B) + s(M);

    auto& c = layout.controls;
    c.push_back({L"Resolution:", 0, K::Label, s(M), s(M), s(150), s(L), true});
    c.push_back({L"Debris Count:", 0, K::Label, c2, s(M), s(150), s(L), true});
    for (int i = 0; i < kPresetCount; ++i) {
        c.push_back({resolutionPresets[i].label, dialog_id::kResolutionFirst + i, i == 0 ? K::FirstRadio : K::Radio,
                     indent, radioTop + i * rowStep, s(100), s(R), false});
    }
    static const wchar_t* const debrisLabels[kPresetCount] = {L"No Debris", L"80 Debris", L"160 Debris", L"320 Debris",
                                                              L"640 Debris"};
    for (int i = 0; i < kPresetCount; ++i) {
        c.push_back({debrisLabels[i], dialog_id::kDebrisFirst + i, i == 0 ? K::FirstRadio : K::Radio, c2 + s(10),
                     radioTop + i * rowStep, s(120), s(R), false});
    }
    c.push_back({L"Quick Presets:", 0, K::Label, s(M), presetsLabel, s(150), s(L), true});
    c.push_back({L"RTX 5090 (720p, 80 debris)", dialog_id::kPresetRtx, K::PresetButton, indent, presetsRow, s(175), s(P), false});
    c.push_back({L"Extreme (1080p, 640 debris)", dialog_id::kPresetExtreme, K::PresetButton, c2, presetsRow, s(175), s(P), false});
    c.push_back({L"VSync:", 0, K::Label, s(M), vsyncLabel, s(150), s(L), true});
    c.push_back({L"Off", dialog_id::kPresentFirst, K::FirstRadio, indent, vsyncRow, s(60), s(R), false});
    c.push_back({L"On", dialog_id::kPresentFirst + 1, K::Radio, s(M) + s(80), vsyncRow, s(60), s(R), false});
    c.push_back({L"Triple Buffer", dialog_id::kPresentFirst + 2, K::Radio, s(M) + s(150), vsyncRow, s(110), s(R), false});
    c.push_back({L"Run Mode:", 0, K::Label, s(M), runLabel, s(150), s(L), true});
    c.push_back({L"Single Run (40 sec)", dialog_id::kSingleRun, K::FirstRadio, indent, runRow, s(160), s(R), false});
    c.push_back({L"Multi Run (4 x 40 sec)", dialog_id::kMultiRun, K::Radio, c2, runRow, s(170), s(R), false});
    c.push_back({L"Just Play (No Benchmark)", dialog_id::kJustPlay, K::Radio, indent, justPlayRow, s(200), s(R), false});
    c.push_back({L"Deterministic (60s, ZIVO, no input)", dialog_id::kDeterministic, K::CheckBox, indent, checkRow, s(280),
                 s(R), false});
    c.push_back({L"Start", dialog_id::kStart, K::CommandButton, s(M), commandRow, s(140), s(B), true});
    c.push_back({L"Exit", dialog_id::kExit, K::CommandButton, s(W) - s(M) - s(140), commandRow, s(140), s(B), false});
    return layout;
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

int VisibleDialogHeight(int contentHeight, int screenHeight, int dpi)
{
    return std::min(contentHeight, screenHeight - ScaleForDpi(100, dpi));
}
