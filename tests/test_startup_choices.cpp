#include <gtest/gtest.h>

#include "game/world.h"
#include "ui/startup_choices.h"
#include "ui/telemetry.h"

namespace {

DialogChoice Apply(std::initializer_list<int> ids, bool deterministicBox = false)
{
    DialogChoice choice = DefaultDialogChoice();
    for (int id : ids) {
        ApplyDialogCommand(choice, id, deterministicBox);
    }
    return choice;
}

}  // namespace

TEST(StartupChoice, StartWithoutChangesGivesTheDefaultBenchmark)
{
    DialogChoice choice = DefaultDialogChoice();
    EXPECT_EQ(ApplyDialogCommand(choice, 1, false), DialogAction::Close);
    EXPECT_FALSE(choice.cancelled);
    const StartupConfiguration config = ConfigurationFor(choice);
    EXPECT_EQ(config.width, 854u);
    EXPECT_EQ(config.height, 480u);
    EXPECT_EQ(config.presentMode, PresentMode::VsyncOff);
    EXPECT_TRUE(config.benchmarkAtStart);
    EXPECT_TRUE(config.singleRun);
    EXPECT_FALSE(config.deterministic);
    EXPECT_EQ(config.debrisCount, 80);
    EXPECT_EQ(ConfigLogLine(choice), "[DX12] Config: 854x480, debris=80, vsync=off, mode=single\n");
}

TEST(StartupChoice, PresetsMoveResolutionAndDebrisOnly)
{
    DialogChoice choice = Apply({311, 314});
    EXPECT_EQ(ApplyDialogCommand(choice, 318, false), DialogAction::SyncRadios);
    EXPECT_EQ(choice.resolutionIndex, 2);
    EXPECT_EQ(choice.debrisIndex, 4);
    EXPECT_EQ(choice.presentModeIndex, 1);
    EXPECT_TRUE(choice.multiRun);
    EXPECT_EQ(ApplyDialogCommand(choice, 317, false), DialogAction::SyncRadios);
    EXPECT_EQ(choice.resolutionIndex, 1);
    EXPECT_EQ(choice.debrisIndex, 1);
}

TEST(StartupChoice, RunModesPresentModesAndTheDeterministicBox)
{
    DialogChoice play = Apply({318, 314, 315});
    EXPECT_FALSE(ConfigurationFor(play).benchmarkAtStart);
    EXPECT_FALSE(ConfigurationFor(play).singleRun);  // "Just Play" leaves the multi-run choice as it was
    EXPECT_EQ(ConfigLogLine(play), "[DX12] Config: 1920x1080, debris=640, vsync=off, mode=play\n");

    DialogChoice triple = Apply({312, 314, 304, 305});
    EXPECT_EQ(ConfigLogLine(triple), "[DX12] Config: 3840x2160, debris=0, vsync=triple-buffer, mode=multi\n");
    DialogChoice vsync = Apply({311, 314, 313});
    EXPECT_EQ(ConfigLogLine(vsync), "[DX12] Config: 854x480, debris=80, vsync=on, mode=single\n");

    DialogChoice det = Apply({315, 316}, true);
    EXPECT_TRUE(ConfigurationFor(det).deterministic);  // written even for free play
    det = Apply({316}, false);
    EXPECT_FALSE(det.deterministic);
}

TEST(StartupChoice, ExitCancelsAndUnknownIdsGoToDefaultProcessing)
{
    DialogChoice choice = DefaultDialogChoice();
    EXPECT_EQ(ApplyDialogCommand(choice, 2, false), DialogAction::Cancel);
    EXPECT_TRUE(choice.cancelled);
    DialogChoice other = DefaultDialogChoice();
    EXPECT_EQ(ApplyDialogCommand(other, 999, false), DialogAction::NotHandled);
    EXPECT_EQ(ApplyDialogCommand(other, 0, false), DialogAction::NotHandled);
}

TEST(StartupLayout, MatchesTheDesignAt96DotsPerInch)
{
    const StartupLayout layout = BuildStartupLayout(96);
    EXPECT_EQ(layout.clientWidth, 390);
    EXPECT_EQ(layout.contentHeight, 440);
    EXPECT_EQ(layout.fontHeight, 16);
    ASSERT_EQ(layout.controls.size(), 26u);
    auto find = [&](const std::wstring& caption) {
        for (const ControlSpec& c : layout.controls) {
            if (caption == c.caption) {
                return c;
            }
        }
        ADD_FAILURE() << "no control";
        return ControlSpec{};
    };
    const ControlSpec fourK = find(L"4K");
    EXPECT_EQ(fourK.id, 304);
    EXPECT_EQ(fourK.x, 25);
    EXPECT_EQ(fourK.y, 133);
    const ControlSpec noDebris = find(L"No Debris");
    EXPECT_EQ(noDebris.x, 210);
    EXPECT_EQ(noDebris.kind, ControlKind::FirstRadio);
    EXPECT_EQ(find(L"Quick Presets:").y, 167);
    EXPECT_EQ(find(L"Extreme (1080p, 640 debris)").x, 200);
    EXPECT_EQ(find(L"Triple Buffer").x, 165);
    EXPECT_EQ(find(L"Triple Buffer").y, 247);
    EXPECT_EQ(find(L"Just Play (No Benchmark)").y, 327);
    EXPECT_EQ(find(L"Deterministic (60s, ZIVO, no input)").y, 359);
    const ControlSpec exit = find(L"Exit");
    EXPECT_EQ(exit.x, 235);
    EXPECT_EQ(exit.y, 391);
    EXPECT_EQ(exit.h, 34);
    EXPECT_TRUE(find(L"Start").bold);
    EXPECT_FALSE(exit.bold);
}

TEST(StartupLayout, ScalesEachLengthOnItsOwnAt144DotsPerInch)
{
    const StartupLayout layout = BuildStartupLayout(144);
    EXPECT_EQ(layout.clientWidth, 585);
    EXPECT_EQ(layout.fontHeight, 24);
    // 120 dpi rounds terms one by one: 15 -> 19 (18.75), 20 -> 25, 2 -> 3 (2.5 rounds up).
    const StartupLayout at120 = BuildStartupLayout(120);
    EXPECT_EQ(at120.controls[2].y, 19 + 25 + 3);
    EXPECT_EQ(ScaleForDpi(2, 120), 3);
    EXPECT_EQ(ScaleForDpi(5, 120), 6);  // 6.25
}

TEST(StartupScroll, PositionsAreClampedToTheContent)
{
    // On a short screen the window scrolls, and its client area holds the
    // scroll bar beside the whole width of the controls ("Exit", "Extreme").
    const struct {
        int dpi, screenHeight;
        DialogClientArea area;
    } screens[] = {{96, 400, {407, 300, true}}, {96, 1080, {390, 440, false}}, {144, 600, {602, 450, true}}};
    for (const auto& c : screens) {
        const DialogClientArea area = DialogClientAreaFor(BuildStartupLayout(c.dpi), c.screenHeight, c.dpi, 17);
        EXPECT_EQ(area.width, c.area.width) << c.screenHeight;
        EXPECT_EQ(area.visibleHeight, c.area.visibleHeight) << c.screenHeight;
        EXPECT_EQ(area.scrolls, c.area.scrolls) << c.screenHeight;
    }
    ScrollState s{440, 300, 0};
    EXPECT_EQ(ScrollPositionFor(s, ScrollRequest::LineDown, 0), 20);
    EXPECT_EQ(ScrollPositionFor(s, ScrollRequest::LineUp, 0), 0);
    EXPECT_EQ(ScrollPositionFor(s, ScrollRequest::PageDown, 0), 140);
    EXPECT_EQ(ScrollPositionFor(s, ScrollRequest::Bottom, 0), 140);
    EXPECT_EQ(ScrollPositionFor(s, ScrollRequest::Thumb, 65), 65);
    EXPECT_EQ(ScrollPositionFor(s, ScrollRequest::Thumb, 65535), 140);
    s.scrollPos = 100;
    EXPECT_EQ(ScrollPositionFor(s, ScrollRequest::Top, 0), 0);
    EXPECT_EQ(ScrollPositionFor(s, ScrollRequest::Other, 0), 100);
    EXPECT_EQ(ScrollPositionForWheel(s, -120), 140);  // one notch down: 60 pixels, clamped
    EXPECT_EQ(ScrollPositionForWheel(s, 120), 40);
    EXPECT_EQ(ScrollPositionForWheel(s, 30), 85);
    ScrollState fits{440, 440, 0};
    EXPECT_EQ(ScrollPositionFor(fits, ScrollRequest::PageDown, 0), 0);
}

TEST(Telemetry, TitleAndLabelTexts)
{
    World world;
    world.bricksLeft = 66;
    world.activeDebris = 48;
    world.score = -100;
    world.lives = 2;
    TelemetryTexts texts = BuildTelemetryTexts(world, 59.96, 1280, 720, false);
    EXPECT_EQ(texts.title, L"Orvalis Benchmark DX12 - Zandor | FPS: 59");
    EXPECT_EQ(texts.fps, L"FPS: 60.0");
    EXPECT_EQ(texts.bricks, L"Current Bricks: 66");
    EXPECT_EQ(texts.debris, L"Current Debris: 48");
    EXPECT_EQ(texts.score, L"Score: -100");
    EXPECT_EQ(texts.lives, L"Lives: 2");
    EXPECT_EQ(texts.resolution, L"Current: 1280x720");
    EXPECT_EQ(BuildTelemetryTexts(world, 59.96, 1280, 720, true).title, L"Orvalis Benchmark DX12 - Zandor | FPS: 59 | HDR ON");
}
