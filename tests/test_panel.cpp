#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>
#include <optional>
#include <string>
#include <tuple>

#include "test_support.h"
#include "ui/startup_choices.h"

namespace {

using S = PanelSetting;

float Setting(const World& world, S setting)
{
    return setting == S::Brightness ? world.brightness
           : setting == S::BallGlow ? world.ballGlow
           : setting == S::RaySteps ? static_cast<float>(world.raySteps)
                                    : static_cast<float>(world.debrisCount);
}

}  // namespace

// Typing into a value field sets the setting, limited to its slider's range,
// and moves the slider; text that reads as no number changes nothing. The
// refresh that follows writes the setting's text, which the field reads back:
// the value stays.
TEST(PanelFields, TypedTextSetsTheSettingAndTheSliderAndSurvivesTheRefresh)
{
    const std::wstring fortyDigits = std::wstring(31, L'0') + L"420000000";  // only 31 characters are read
    const struct {
        S setting;
        std::wstring typed;
        std::optional<float> value;  // nothing: the setting stays as it was
        int slider;
        const wchar_t* shown;
    } cases[] = {
        {S::Brightness, L"", std::nullopt, 0, L"0.50"},      {S::Brightness, L"abc", std::nullopt, 0, L"0.50"},
        {S::BallGlow, L"nan", std::nullopt, 0, L"2.00"},     {S::BallGlow, L"-inf", std::nullopt, 0, L"2.00"},
        {S::Brightness, L"1e40", std::nullopt, 0, L"0.50"},  // beyond a float
        {S::Brightness, L"1", 1.0f, 100, L"1.00"},           // typing " 1.5" key by key
        {S::Brightness, L"1.", 1.0f, 100, L"1.00"},          {S::Brightness, L" 1.5", 1.5f, 150, L"1.50"},
        {S::Brightness, L"12345", 2.0f, 200, L"2.00"},       {S::Brightness, L"-3", 0.0f, 0, L"0.00"},
        {S::BallGlow, L"1e30", 5.0f, 500, L"5.00"},          {S::BallGlow, L"0.1", 0.5f, 50, L"0.50"},
        {S::BallGlow, L"1.239", 1.239f, 123, L"1.23"},       // cut and truncated, not rounded
        {S::RaySteps, L"12abc", 12.0f, 12, L"12"},           {S::RaySteps, L"-3", 1.0f, 1, L"1"},
        {S::RaySteps, L"2000", 1024.0f, 1024, L"1024"},      {S::DebrisCount, L"9000", 8192.0f, 8192, L"8192"},
        {S::DebrisCount, L"640.9", 640.0f, 640, L"640"},     {S::DebrisCount, fortyDigits, 0.0f, 0, L"0"},
    };
    for (const auto& c : cases) {
        World world;
        world.brightness = 0.5f;
        const float before = Setting(world, c.setting);
        const std::optional<int> slider = ApplyEditText(world, c.setting, c.typed);
        EXPECT_EQ(std::make_tuple(Setting(world, c.setting), slider, EditText(world, c.setting)),
                  std::make_tuple(c.value.value_or(before), c.value ? std::optional<int>(c.slider) : std::nullopt,
                                  std::wstring(c.shown))) << Narrow(c.typed);
        if (c.value) {  // the refresh
            EXPECT_EQ(ApplyEditText(world, c.setting, c.shown), c.slider) << Narrow(c.typed);
            EXPECT_EQ(Setting(world, c.setting), std::stof(c.shown)) << Narrow(c.typed);
        }
    }
}

// A slider shows its setting (in hundredths, rounded, for brightness and ball
// glow) and never leaves its range; moving it sets the setting and the field.
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
    const struct { S setting; int position; const wchar_t* text; } moved[] = {{S::BallGlow, 123, L"1.23"}, {S::Brightness, 150, L"1.50"}, {S::RaySteps, 0, L"1"},
                 {S::RaySteps, 2000, L"1024"}, {S::DebrisCount, -5, L"0"},  {S::DebrisCount, 9000, L"8192"}};
    for (const auto& c : moved) {
        World world;
        ApplySliderPosition(world, c.setting, c.position);
        EXPECT_EQ(EditText(world, c.setting), c.text) << c.position;
    }
}

TEST(PanelButtons, EachButtonDoesWhatItsCaptionSays)
{
    TestApp t;
    t.platform.screenWidth = 1366;
    t.platform.screenHeight = 768;
    BuildLevel(t.app, 0);
    for (const wchar_t* button : {L"Native", L"4K", L"2.5K", L"1080p", L"720p", L"480p"}) {
        Click(t, button);
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

    Click(t, L"AUTOPLAY (Manual Benchmark)", true);  // the waiting ball leaves at once
    EXPECT_TRUE(t.world.autoplay && t.world.ballLaunched);
    const float vx = t.world.balls[0].vx;
    Click(t, L"AUTOPLAY (Manual Benchmark)", false);
    EXPECT_FALSE(t.world.autoplay);
    Click(t, L"AUTOPLAY (Manual Benchmark)", true);  // no second launch
    EXPECT_EQ(t.world.balls[0].vx, vx);
    Click(t, L"Enable Physics Debris", false);
    EXPECT_FALSE(t.world.debrisEnabled);
    Click(t, L"Enable Physics Debris", true);
    EXPECT_TRUE(t.world.debrisEnabled);

    // "Abort" with no benchmark running, the value fields' ids and ids without a control do nothing.
    for (int id : {panel_id::kAbort, 205, 232, 234, panel_id::kBrightnessEdit}) {
        OnPanelCommand(t.app, id, false);
    }
    EXPECT_TRUE(t.platform.benchmarkRunningShown.empty());
    EXPECT_TRUE(t.platform.openedReports.empty());
    EXPECT_TRUE(t.world.autoplay);
    EXPECT_EQ(t.platform.windowSizes.size(), 6u);
}

TEST(PanelButtons, LaunchBenchmarkStartsTheChosenBenchmarkAndCancelChangesNothing)
{
    // The defaults, "No Debris", and the deterministic ZIVO run.
    const struct { int click; bool deterministic; int level; bool debris; } cases[] = {
        {0, false, 0, true}, {dialog_id::kDebrisFirst, false, 0, false}, {dialog_id::kDeterministic, true, 3, true}};
    for (const auto& c : cases) {
        TestApp t;
        BuildLevel(t.app, 2);
        t.world.paddleX = 5.0f;
        DialogChoice choice = LaunchDialogChoice(DefaultDialogChoice());
        ApplyDialogCommand(choice, c.click, c.deterministic);
        t.platform.launchChoice = choice;
        Click(t, L"Launch Benchmark");
        EXPECT_EQ(t.platform.windowSizes.back(), std::make_pair(854u, 480u));
        EXPECT_EQ(std::make_tuple(t.world.levelIndex, t.world.raySteps, t.world.debrisEnabled, t.world.debrisCount),
                  std::make_tuple(c.level, 72, c.debris, c.debris ? 80 : 0));
        EXPECT_TRUE(t.world.autoplay && t.platform.autoplayChecks.back());
        EXPECT_EQ(t.platform.debrisChecks.back(), c.debris);
        EXPECT_TRUE(t.app.bench.running && t.platform.benchmarkRunningShown.back());
        EXPECT_EQ(std::make_pair(t.app.bench.targetRuns, t.app.bench.config.deterministic), std::make_pair(1, c.deterministic));
        EXPECT_EQ(t.world.paddleX == 0.0f, c.deterministic);
        EXPECT_EQ(t.world.random.Next(), c.deterministic ? 175 : 41);  // srand(42)'s first value
    }

    TestApp t;
    BuildLevel(t.app, 2);
    t.platform.launchChoice = std::nullopt;  // "Cancel" or the close box
    const int refreshes = t.platform.panelRefreshes;
    Click(t, L"Launch Benchmark");
    EXPECT_EQ(std::make_tuple(t.platform.launchWindows, t.platform.windowSizes.size(), t.world.levelIndex,
                              t.app.bench.running, t.platform.panelRefreshes),
              std::make_tuple(1, size_t{0}, 2, false, refreshes));
}

// The panel's look: headers (and the two benchmark buttons) in the bold font;
// headers and separators across the column; the buttons of a row side by side,
// 5 pixels apart; only a slider's label reaches into it; all inside the column.
TEST(PanelLayout, FollowsThePanelsGrid)
{
    const std::vector<PanelControl>& controls = PanelControls();
    for (size_t i = 0; i < controls.size(); ++i) {
        const PanelControl& c = controls[i];
        const std::string name = Narrow(c.caption) + " at " + std::to_string(c.y);
        const bool wide = c.kind == PanelControlKind::Header || c.kind == PanelControlKind::Separator;
        EXPECT_EQ(c.headerFont, c.kind == PanelControlKind::Header || c.id == panel_id::kLaunchBenchmark ||
                                    c.id == panel_id::kAbort) << name;
        EXPECT_TRUE(!wide || (c.x == 15 && c.w == 350)) << name;
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
