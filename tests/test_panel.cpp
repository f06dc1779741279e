#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <tuple>

#include "test_support.h"

using S = PanelSetting;

// Typed text sets the setting within its slider's range (no number: no change), and survives the refresh.
TEST(PanelFields, TypedTextSetsTheSettingAndTheSliderAndSurvivesTheRefresh)
{
    const std::wstring fortyDigits = std::wstring(31, L'0') + L"420000000";  // only 31 characters are read
    const struct { S setting; std::wstring typed; std::optional<int> slider; const wchar_t* shown; } cases[] = {
        {S::Brightness, L"", std::nullopt, L"0.50"},    {S::BallGlow, L"-inf", std::nullopt, L"2.00"},
        {S::Brightness, L"1e40", std::nullopt, L"0.50"},  // beyond a float
        {S::Brightness, L"1", 100, L"1.00"},            {S::Brightness, L" 1.5", 150, L"1.50"},
        {S::Brightness, L"12345", 200, L"2.00"},        {S::Brightness, L"-3", 0, L"0.00"},
        {S::BallGlow, L"1e30", 500, L"5.00"},           {S::BallGlow, L"0.1", 50, L"0.50"},
        {S::BallGlow, L"1.239", 123, L"1.23"},          // cut and truncated, not rounded
        {S::RaySteps, L"12abc", 12, L"12"},             {S::RaySteps, L"-3", 1, L"1"},
        {S::RaySteps, L"2000", 1024, L"1024"},          {S::DebrisCount, L"9000", 8192, L"8192"},
        {S::DebrisCount, L"640.9", 640, L"640"},        {S::DebrisCount, fortyDigits, 0, L"0"},
    };
    for (const auto& c : cases) {
        World world;
        world.brightness = 0.5f;
        for (const std::wstring& typed : {c.typed, std::wstring(c.shown)}) {  // what was typed, then the refresh
            const std::optional<int> slider = ApplyEditText(world, c.setting, typed);
            EXPECT_EQ(std::make_pair(slider, EditText(world, c.setting)), std::make_pair(c.slider, std::wstring(c.shown)))
                << Narrow(typed);
            if (!c.slider) {
                break;
            }
        }
    }
}

// A slider shows its setting (hundredths, rounded) within its range; moving it sets the setting.
TEST(PanelFields, SlidersShowTheSettingsInTheirRangeAndMovingThemSetsThem)
{
    const struct { S setting; float stored; int position; } shown[] = {
        {S::Brightness, 0.15f, 15},   {S::BallGlow, 1.235f, 124},       {S::RaySteps, 72.0f, 72},
        {S::DebrisCount, 640.0f, 640}, {S::Brightness, 1e30f, 200},     {S::Brightness, -1e30f, 0},
        {S::BallGlow, 7.0f, 500},     {S::BallGlow, std::nanf(""), 50}, {S::RaySteps, 5000.0f, 1024},
        {S::RaySteps, -4.0f, 1},      {S::DebrisCount, -5.0f, 0},       {S::DebrisCount, 9000.0f, 8192},
    };
    for (const auto& c : shown) {
        World world;
        world.brightness = world.ballGlow = c.stored;
        world.raySteps = world.debrisCount = std::isnan(c.stored) ? 0 : static_cast<int32_t>(c.stored);
        EXPECT_EQ(SliderPosition(world, c.setting), c.position) << c.stored;
    }
    const struct { S setting; int position; const wchar_t* text; } moved[] = {
        {S::RaySteps, 0, L"1"}, {S::RaySteps, 2000, L"1024"}, {S::DebrisCount, -5, L"0"}, {S::DebrisCount, 9000, L"8192"}};
    for (const auto& c : moved) {
        World world;
        ApplySliderPosition(world, c.setting, c.position);
        EXPECT_EQ(EditText(world, c.setting), c.text) << c.position;
    }
}

// During a benchmark only "Abort" acts and is enabled; afterwards each button does what its caption says.
TEST(PanelButtons, OnlyAbortActsDuringABenchmarkAndAfterItEachButtonDoesWhatItsCaptionSays)
{
    TestApp t;
    std::tie(t.platform.screenWidth, t.platform.screenHeight) = std::tuple(1366, 768);
    LoadLevel(t.app, 0);
    t.platform.launchChoice = DefaultDialogChoice();
    StartConfiguredBenchmark(t.app, 854, 480, 80, true, false);
    const std::string running = Work(t);
    for (const PanelControl& c : PanelControls()) {
        const bool label = c.kind == PanelControlKind::Header || c.kind == PanelControlKind::Label ||
                           c.kind == PanelControlKind::Separator;
        EXPECT_EQ(std::make_pair(PanelControlEnabled(c, true), PanelControlEnabled(c, false)),
                  std::make_pair(label || c.id == panel_id::kAbort, true)) << Narrow(c.caption);
        if (c.id != panel_id::kAbort) {
            OnPanelCommand(t.app, c.id, !(c.id == panel_id::kAutoplay ? t.world.autoplay : t.world.debrisEnabled));
        }
        EXPECT_EQ(Work(t), running) << Narrow(c.caption);
    }
    ApplySliderPosition(t.world, S::RaySteps, 3);
    EXPECT_EQ(std::make_pair(ApplyEditText(t.world, S::Brightness, L"1"), Work(t)), std::make_pair(std::optional<int>{}, running));
    EndBenchmarkByAbort(t.app);
    for (const wchar_t* button : {L"Native", L"4K", L"2.5K", L"1080p", L"720p", L"480p", L"Abort"}) {
        Click(t, button);  // "Abort" with no benchmark running does nothing
    }
    EXPECT_EQ(t.platform.windowSizes, (std::vector<std::pair<uint32_t, uint32_t>>{
                                          {1366, 768}, {3840, 2160}, {2560, 1440}, {1920, 1080}, {1280, 720}, {854, 480}}));

    const struct { int32_t cap; const wchar_t* button; int32_t count; } presets[] = {
        {1000, L"MAX", 1000}, {1000, L"1/2", 500}, {1000, L"1/4", 250}, {1000, L"1/8", 125}, {7, L"1/2", 3}};
    for (const auto& p : presets) {
        t.world.debrisCap = p.cap;
        const int refreshes = t.platform.panelRefreshes;
        Click(t, p.button);
        EXPECT_EQ(std::make_pair(t.world.debrisCount, t.platform.panelRefreshes), std::make_pair(p.count, refreshes + 1));
    }

    // The check boxes set what they show; checking autoplay launches the waiting ball, once.
    const wchar_t* const autoplay = L"AUTOPLAY (Manual Benchmark)";
    const struct { const wchar_t* box; bool checked, autoplayAfter, debrisAfter; } boxes[] = {
        {autoplay, true, true, true}, {autoplay, false, false, true}, {autoplay, true, true, true},
        {L"Enable Physics Debris", false, true, false}, {L"Enable Physics Debris", true, true, true}};
    for (const auto& b : boxes) {
        Click(t, b.box, b.checked);
        EXPECT_EQ(std::make_tuple(t.world.autoplay, t.world.debrisEnabled, t.world.ballLaunched),
                  std::make_tuple(b.autoplayAfter, b.debrisAfter, true)) << Narrow(b.box);
    }
    EXPECT_EQ(t.world.random.Next(), 18467);  // a single launch drew

    // The value fields' ids and ids without a control do nothing.
    for (int id : {205, 232, 234, panel_id::kBrightnessEdit}) {
        OnPanelCommand(t.app, id, false);
    }
    EXPECT_EQ(std::make_tuple(t.platform.benchmarkRunningShown.size(), t.platform.windowSizes.size(), t.world.autoplay,
                              t.world.debrisEnabled), std::make_tuple(size_t{2}, size_t{6}, true, true));
}

// "Launch Benchmark" starts what the launch window gives; "Cancel" changes nothing.
TEST(PanelButtons, LaunchBenchmarkStartsTheChosenBenchmarkAndCancelChangesNothing)
{
    const struct { int click; int level; bool debris, deterministic; int draw; } cases[] = {
        {0, 0, true, false, 41}, {dialog_id::kDebrisFirst, 0, false, false, 41}, {dialog_id::kDeterministic, 3, true, true, 175}};
    for (const auto& c : cases) {
        TestApp t;
        LoadLevel(t.app, 2);
        t.world.paddleX = 5.0f;
        DialogChoice choice = LaunchDialogChoice(DefaultDialogChoice());
        ApplyDialogCommand(choice, c.click, c.deterministic);
        t.platform.launchChoice = choice;
        Click(t, L"Launch Benchmark");
        const World& w = t.world;
        EXPECT_EQ(std::make_tuple(t.platform.windowSizes.back(), w.levelIndex, w.raySteps, w.debrisEnabled, w.debrisCount,
                                  w.paddleX == 0.0f, t.world.random.Next()),
                  std::make_tuple(std::make_pair(854u, 480u), c.level, 72, c.debris, c.debris ? 80 : 0, c.deterministic, c.draw));
        EXPECT_EQ(std::make_tuple(w.autoplay, t.platform.autoplayChecks.back(), t.platform.debrisChecks.back(), t.app.bench.Running(),
                                  t.platform.benchmarkRunningShown.back(), t.app.bench.targetRuns, t.app.bench.config.deterministic),
                  std::make_tuple(true, true, c.debris, true, true, 1, c.deterministic));
    }

    TestApp t;
    LoadLevel(t.app, 2);
    const int refreshes = t.platform.panelRefreshes;
    Click(t, L"Launch Benchmark");  // the launch window gives no choice back: "Cancel" or the close box
    EXPECT_EQ(std::make_tuple(t.platform.launchWindows, t.platform.windowSizes.size(), t.world.levelIndex,
                              t.app.bench.Running(), t.platform.panelRefreshes),
              std::make_tuple(1, size_t{0}, 2, false, refreshes));
}

// The panel's grid (bold headers, separators, buttons 5 apart, no overlaps) fits a short work area and scrolls to its end.
TEST(PanelLayout, FollowsThePanelsGridAndFitsTheWorkArea)
{
    const struct { int top, bottom, height; } areas[] = {{0, 768, 728}, {40, 768, 688}, {0, 720, 680}, {0, 600, 560},
                                                         {0, 1400, 800}};
    for (const auto& a : areas) {
        const PanelPlacement p = PanelPlacementFor(-1366, a.top, 0, a.bottom);
        const int page = p.height - 60;  // the client area a 144-dpi frame leaves
        EXPECT_EQ(std::make_tuple(p.x, p.y, p.height, page >= 40 && ClampPanelScroll(kPanelContentHeight, page) + page > 1090),
                  std::make_tuple(-1326, a.top + 40, a.height, true)) << a.bottom;
    }
    const std::vector<PanelControl>& controls = PanelControls();
    for (size_t i = 0; i < controls.size(); ++i) {
        const PanelControl& c = controls[i];
        const std::string name = Narrow(c.caption) + " at " + std::to_string(c.y);
        const bool wide = c.kind == PanelControlKind::Header || c.kind == PanelControlKind::Separator;
        EXPECT_EQ(c.headerFont, c.kind == PanelControlKind::Header || c.id == panel_id::kLaunchBenchmark ||
                                    c.id == panel_id::kAbort) << name;
        EXPECT_TRUE(!wide || (c.x == 15 && c.w == 350)) << name;
        if (c.kind == PanelControlKind::Separator) {
            EXPECT_EQ(std::make_pair(c.h, controls.at(i + 1).y), std::make_pair(2, c.y + 15)) << name;
        }
        EXPECT_TRUE(c.x >= 15 && c.x + c.w <= 365 && c.y + c.h <= kPanelContentHeight) << name;
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const PanelControl& d = controls[j];
            const bool overlap = c.x < d.x + d.w && d.x < c.x + c.w && c.y < d.y + d.h && d.y < c.y + c.h;
            const bool sliderLabel = c.kind == PanelControlKind::Label && d.kind == PanelControlKind::Slider;
            EXPECT_TRUE(!overlap || sliderLabel) << name << " and " << Narrow(d.caption);
        }
        const PanelControl& left = controls[i > 0 ? i - 1 : 0];
        if (c.kind == PanelControlKind::PushButton && left.kind == c.kind && c.x > left.x) {
            EXPECT_EQ(std::make_tuple(c.x, c.y, c.h), std::make_tuple(left.x + left.w + 5, left.y, left.h)) << name;
        }
    }
}

TEST(PanelScrolling, NotchesRequestsAndTheSystemsClamp)
{
    const int page = 761;
    using P = PanelScroll;
    const struct {
        P request;
        int track, wheel, from, to;  // a wheel turn when wheel is not 0
    } cases[] = {
        {P::Other, 0, -120, 100, 140}, {P::Other, 0, -60, 100, 100},  {P::Other, 0, 240, 100, 20},  // 40 per notch
        {P::Other, 0, 0, 100, 100},    {P::LineDown, 0, 0, 100, 120}, {P::LineUp, 0, 0, 100, 80},
        {P::PageDown, 0, 0, 100, 330}, {P::PageUp, 0, 0, 200, 0},     {P::Thumb, 250, 0, 100, 250},
        {P::Top, 0, 0, 100, 0},        {P::Bottom, 0, 0, 100, 1090 - page + 1},
    };
    for (const auto& c : cases) {
        const int asked = c.wheel != 0 ? PanelWheelRequest(c.from, c.wheel)
                                       : PanelScrollRequest(c.from, page, c.request, c.track);
        EXPECT_EQ(ClampPanelScroll(asked, page), c.to) << static_cast<int>(c.request) << " from " << c.from;
    }
}
