#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "test_support.h"
#include "ui/panel.h"
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

TEST(PanelFields, TypedTextSetsTheSettingAndTheSliderOrChangesNothing)
{
    const std::wstring forty = std::wstring(31, L'0') + L"420000000";  // only the first 31 characters count
    const struct {
        S setting;
        const wchar_t* text;
        std::optional<float> value;  // nothing: the setting is left as it was
        std::optional<int> slider;
    } cases[] = {
        {S::Brightness, L"", std::nullopt, std::nullopt},
        {S::Brightness, L"abc", std::nullopt, std::nullopt},
        {S::RaySteps, L"12abc", 12.0f, 12},
        {S::Brightness, L"1", 1.0f, 100},  // typing " 1.5" key by key
        {S::Brightness, L"1.", 1.0f, 100},
        {S::Brightness, L" 1.5", 1.5f, 150},
        {S::BallGlow, L"nan", std::nullopt, std::nullopt},
        {S::BallGlow, L"inf", std::nullopt, std::nullopt},
        {S::BallGlow, L"-inf", std::nullopt, std::nullopt},
        {S::Brightness, L"1e40", std::nullopt, std::nullopt},  // beyond a float
        {S::RaySteps, L"-3", 1.0f, 1},  // limited to the slider's range
        {S::DebrisCount, L"9000", 8192.0f, 8192},
        {S::DebrisCount, forty.c_str(), 0.0f, 0},
    };
    for (const auto& c : cases) {
        World world;
        world.brightness = 0.5f;
        world.ballGlow = 2.0f;
        const World before = world;
        const std::optional<int> slider = ApplyEditText(world, c.setting, c.text);
        EXPECT_EQ(Setting(world, c.setting), c.value.value_or(Setting(before, c.setting)))
            << std::string(c.text, c.text + std::wcslen(c.text));
        EXPECT_EQ(slider, c.slider) << std::string(c.text, c.text + std::wcslen(c.text));
    }
}

// What is typed is limited to the slider's range, so the next refresh (which
// writes the setting's text, which the field reads back) keeps it.
TEST(PanelFields, ATypedValueSurvivesTheNextRefresh)
{
    const struct {
        S setting;
        const wchar_t* typed;
        const wchar_t* shown;
        float value;
        int slider;
    } cases[] = {
        {S::Brightness, L"12345", L"2.00", 2.0f, 200},
        {S::Brightness, L"-3", L"0.00", 0.0f, 0},
        {S::BallGlow, L"1e30", L"5.00", 5.0f, 500},
        {S::BallGlow, L"0.1", L"0.50", 0.5f, 50},
        {S::BallGlow, L"1.239", L"1.23", 1.23f, 123},  // the text is cut and the slider truncated, not rounded
        {S::RaySteps, L"2000", L"1024", 1024.0f, 1024},
    };
    for (const auto& c : cases) {
        World world;
        ApplyEditText(world, c.setting, c.typed);
        const std::wstring shown = EditText(world, c.setting);
        const std::optional<int> slider = ApplyEditText(world, c.setting, shown);
        const std::string typed(c.typed, c.typed + std::wcslen(c.typed));
        EXPECT_EQ(shown, c.shown) << typed;
        EXPECT_EQ(Setting(world, c.setting), c.value) << typed;
        EXPECT_EQ(slider, c.slider) << typed;
        EXPECT_EQ(SliderPosition(world, c.setting), c.slider) << typed;
    }
}

TEST(PanelFields, SlidersAndTextsFollowTheSettings)
{
    World world;
    world.brightness = 0.15f;
    world.ballGlow = 1.235f;  // 123.5 hundredths: the slider rounds half away from zero
    world.raySteps = 72;
    world.debrisCount = 640;
    EXPECT_EQ(SliderPosition(world, S::Brightness), 15);
    EXPECT_EQ(SliderPosition(world, S::BallGlow), 124);
    EXPECT_EQ(SliderPosition(world, S::RaySteps), 72);
    EXPECT_EQ(EditText(world, S::Brightness), L"0.15");
    EXPECT_EQ(EditText(world, S::RaySteps), L"72");
    EXPECT_EQ(EditText(world, S::DebrisCount), L"640");
    world.ballGlow = 2.0f;
    EXPECT_EQ(EditText(world, S::BallGlow), L"2.00");

    // Whatever a setting holds, its slider stays in range (no overflow on the way).
    for (const float stored : {1e30f, -1e30f, std::nanf("")}) {
        world.brightness = stored;
        world.ballGlow = stored;
        EXPECT_EQ(SliderPosition(world, S::Brightness), stored > 0.0f ? 200 : 0) << stored;
        EXPECT_EQ(SliderPosition(world, S::BallGlow), stored > 0.0f ? 500 : 50) << stored;
    }

    // Sliders keep their settings inside their ranges.
    ApplySliderPosition(world, S::BallGlow, 123);
    EXPECT_FLOAT_EQ(world.ballGlow, 1.23f);
    ApplySliderPosition(world, S::RaySteps, 0);
    EXPECT_EQ(world.raySteps, 1);
    ApplySliderPosition(world, S::RaySteps, 2000);
    EXPECT_EQ(world.raySteps, 1024);
    ApplySliderPosition(world, S::DebrisCount, -5);
    EXPECT_EQ(world.debrisCount, 0);
    ApplySliderPosition(world, S::DebrisCount, 9000);
    EXPECT_EQ(world.debrisCount, 8192);
}

TEST(PanelCommands, PresetsLevelsBallsCheckBoxesAndAbort)
{
    TestApp t;
    BuildLevel(t.app, 0);
    const struct {
        int32_t cap;
        int id;
        int32_t count;
    } presets[] = {{1000, panel_id::kDebrisEighth, 125}, {7, panel_id::kDebrisHalf, 3}, {640, panel_id::kDebrisMax, 640}};
    for (const auto& p : presets) {
        t.world.debrisCap = p.cap;
        const int refreshes = t.platform.panelRefreshes;
        OnPanelCommand(t.app, p.id, false);
        EXPECT_EQ(t.world.debrisCount, p.count);
        EXPECT_EQ(t.platform.panelRefreshes, refreshes + 1);
    }
    OnPanelCommand(t.app, panel_id::kFirstLevel + 5, false);
    EXPECT_EQ(t.world.levelIndex, 5);
    OnPanelCommand(t.app, panel_id::kAutoplay, true);  // the waiting ball leaves at once
    EXPECT_TRUE(t.world.autoplay);
    EXPECT_TRUE(t.world.ballLaunched);
    OnPanelCommand(t.app, panel_id::kAutoplay, false);
    EXPECT_FALSE(t.world.autoplay);
    OnPanelCommand(t.app, panel_id::kSplitBalls, false);
    EXPECT_EQ(CountActiveBalls(t.world), 2);
    OnPanelCommand(t.app, panel_id::kDebris, false);
    EXPECT_FALSE(t.world.debrisEnabled);
    OnPanelCommand(t.app, panel_id::kNative, false);
    OnPanelCommand(t.app, panel_id::k720p, false);
    EXPECT_EQ(t.platform.windowSizes, (std::vector<std::pair<uint32_t, uint32_t>>{{2560, 1440}, {1280, 720}}));

    // "Abort" with no benchmark running changes nothing.
    const size_t shown = t.platform.benchmarkRunningShown.size();
    OnPanelCommand(t.app, panel_id::kAbort, false);
    EXPECT_EQ(t.platform.benchmarkRunningShown.size(), shown);
    EXPECT_TRUE(t.platform.openedReports.empty());
}

TEST(LaunchWindow, ConfirmationStartsTheChosenBenchmarkAndCancelChangesNothing)
{
    const struct {
        std::initializer_list<int> clicks;
        bool deterministicBox;
        int level;
        bool debris;
    } cases[] = {
        {{}, false, 0, true},                                // the defaults
        {{dialog_id::kDebrisFirst}, false, 0, false},        // "No Debris"
        {{dialog_id::kDeterministic}, true, 3, true},        // ZIVO, centred paddle, seed 42
    };
    for (const auto& c : cases) {
        TestApp t;
        BuildLevel(t.app, 2);
        t.world.paddleX = 5.0f;
        DialogChoice choice = LaunchDialogChoice(DefaultDialogChoice());
        for (int id : c.clicks) {
            ApplyDialogCommand(choice, id, c.deterministicBox);
        }
        t.platform.launchChoice = choice;
        OnPanelCommand(t.app, panel_id::kLaunchBenchmark, false);
        EXPECT_EQ(t.platform.windowSizes.back(), std::make_pair(854u, 480u));
        EXPECT_EQ(t.world.levelIndex, c.level);
        EXPECT_EQ(t.world.raySteps, 72);
        EXPECT_EQ(t.world.debrisEnabled, c.debris);
        EXPECT_EQ(t.world.debrisCount, c.debris ? 80 : 0);
        EXPECT_TRUE(t.world.autoplay);
        EXPECT_EQ(t.platform.autoplayChecks.back(), true);
        EXPECT_EQ(t.platform.debrisChecks.back(), c.debris);
        EXPECT_TRUE(t.app.bench.running);
        EXPECT_EQ(t.app.bench.targetRuns, 1);
        EXPECT_EQ(t.app.bench.config.deterministic, c.deterministicBox);
        EXPECT_EQ(t.app.bench.config.width, 854u);
        EXPECT_EQ(t.platform.benchmarkRunningShown.back(), true);
        if (c.deterministicBox) {
            EXPECT_EQ(t.world.paddleX, 0.0f);
            CrtRandom seeded;
            seeded.Seed(42);
            EXPECT_EQ(t.world.random.Next(), seeded.Next());
        }
    }

    TestApp t;
    BuildLevel(t.app, 2);
    t.platform.launchChoice = std::nullopt;  // "Cancel" or the close box
    const int refreshes = t.platform.panelRefreshes;
    OnPanelCommand(t.app, panel_id::kLaunchBenchmark, false);
    EXPECT_EQ(t.platform.launchWindows, 1);
    EXPECT_TRUE(t.platform.windowSizes.empty());
    EXPECT_EQ(t.world.levelIndex, 2);
    EXPECT_FALSE(t.app.bench.running);
    EXPECT_EQ(t.platform.panelRefreshes, refreshes);
}

TEST(LaunchWindow, LayoutScalesTermByTermAndCentresOnTheMainWindow)
{
    const struct {
        int dpi, contentHeight, commandRowY, clientWidth;
    } cases[] = {{96, 364, 311, 390}, {120, 465, 399, 488}, {144, 547, 467, 585}};
    for (const auto& c : cases) {
        const StartupLayout layout = BuildLaunchLayout(c.dpi);
        EXPECT_EQ(layout.contentHeight, c.contentHeight) << c.dpi;
        EXPECT_EQ(layout.clientWidth, c.clientWidth) << c.dpi;
        EXPECT_EQ(layout.controls.back().y, c.commandRowY) << c.dpi;
        EXPECT_EQ(layout.controls.size(), 21u);
    }
    const StartupLayout layout = BuildLaunchLayout(96);
    EXPECT_EQ(std::wstring(layout.controls[layout.controls.size() - 2].caption), L"Start Benchmark");
    EXPECT_EQ(layout.controls[layout.controls.size() - 3].y, 279);  // the deterministic box

    const WindowPlacement centred = CentreOn(-300, 100, 700, 700, 400, 300);
    EXPECT_EQ(centred.x, 0);
    EXPECT_EQ(centred.y, 250);
    EXPECT_EQ(CentreOn(-900, -50, 0, 350, 401, 200).x, -651);  // partly off screen; 499 / 2 truncates
}

TEST(PanelScrolling, NotchesRequestsAndTheSystemsClamp)
{
    const int page = 761;
    EXPECT_EQ(PanelWheelRequest(100, -120), 140);  // one notch down: 40 pixels
    EXPECT_EQ(PanelWheelRequest(100, -60), 100);   // a partial notch moves nothing
    EXPECT_EQ(PanelWheelRequest(100, 240), 20);
    EXPECT_EQ(PanelScrollRequest(100, page, PanelScroll::LineDown, 0), 120);
    EXPECT_EQ(PanelScrollRequest(100, page, PanelScroll::PageUp, 0), -661);
    EXPECT_EQ(PanelScrollRequest(100, page, PanelScroll::Thumb, 250), 250);
    EXPECT_EQ(ClampPanelScroll(PanelScrollRequest(100, page, PanelScroll::Bottom, 0), page), 1090 - page + 1);
    EXPECT_EQ(ClampPanelScroll(PanelScrollRequest(100, page, PanelScroll::PageUp, 0), page), 0);
    EXPECT_EQ(ClampPanelScroll(PanelScrollRequest(100, page, PanelScroll::Top, 0), page), 0);
}
