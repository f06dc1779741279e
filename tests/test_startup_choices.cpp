#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "test_support.h"

// Clicks in the startup window, then "Start": the configuration it sets and the line it logs.
TEST(StartupWindow, StartGivesTheChosenConfigurationAndLogsIt)
{
    const struct { std::vector<int> clicks; const char* config; } cases[] = {
        {{}, "854x480 debris 80 present 0 benchmark single"},
        {{301, 305, 311}, "1280x720 debris 0 present 1 benchmark single"},
        {{302, 307, 312, 314}, "1920x1080 debris 160 present 2 benchmark multi"},
        {{303, 308, 311, 310, 314, 315}, "2560x1440 debris 320 present 0 play multi"},  // play keeps "multi"
        {{304, 309}, "3840x2160 debris 640 present 0 benchmark single"},
        {{304, 309, 300, 306, 314, 313}, "854x480 debris 80 present 0 benchmark single"},
        {{311, 314, 318}, "1920x1080 debris 640 present 1 benchmark multi"},  // presets: resolution, debris
        {{318, 317}, "1280x720 debris 80 present 0 benchmark single"},
        {{315, 316}, "854x480 debris 80 present 0 play single deterministic"},  // even for free play
    };
    for (const auto& c : cases) {
        DialogChoice choice = DefaultDialogChoice();
        for (int id : c.clicks) {
            EXPECT_EQ(ApplyDialogCommand(choice, id, id == dialog_id::kDeterministic),
                      id >= 317 ? DialogAction::SyncRadios : DialogAction::None) << id;
        }
        EXPECT_EQ(std::make_tuple(ApplyDialogCommand(choice, dialog_id::kStart, false), choice.cancelled,
                                  Describe(ConfigurationFor(choice))), std::make_tuple(DialogAction::Close, false, std::string(c.config)));
    }
    EXPECT_EQ(ConfigLogLine(DialogChoice{}), "[DX12] Config: 854x480, debris=80, vsync=off, mode=single\n");
    EXPECT_EQ(ConfigLogLine(DialogChoice{1, 0, 1, true}), "[DX12] Config: 1280x720, debris=0, vsync=on, mode=multi\n");
    EXPECT_EQ(ConfigLogLine(DialogChoice{4, 4, 2, true, true}),
              "[DX12] Config: 3840x2160, debris=640, vsync=triple-buffer, mode=play\n");

    DialogChoice choice = DefaultDialogChoice();
    EXPECT_EQ(std::make_pair(ApplyDialogCommand(choice, dialog_id::kExit, false), choice.cancelled),
              std::make_pair(DialogAction::Cancel, true));
    for (int id : {0, 3, 299, 319, 999}) {
        EXPECT_EQ(ApplyDialogCommand(choice, id, false), DialogAction::NotHandled) << id;
    }
    // The launch window opens with its defaults; the present mode stays as started.
    const DialogChoice launch = LaunchDialogChoice(DialogChoice{4, 0, 2, true, true, true, true});
    EXPECT_EQ(Describe(ConfigurationFor(launch)) + (launch.cancelled ? " cancelled" : ""), "854x480 debris 80 present 2 play single");
}

// Both windows at 96 dpi: captions and ids in order ("^" starts a radio group), bold where due, no overlaps.
TEST(StartupWindow, ControlsKeepTheirOrderAndNeverOverlap)
{
    const std::string shared = "Resolution: 0|Debris Count: 0|480p 300^|720p 301|1080p 302|2.5K 303|4K 304|No Debris 305^|"
                               "80 Debris 306|160 Debris 307|320 Debris 308|640 Debris 309|Quick Presets: 0|"
                               "RTX 5090 (720p, 80 debris) 317|Extreme (1080p, 640 debris) 318|";
    const std::string run = "Run Mode: 0|Single Run (40 sec) 313^|Multi Run (4 x 40 sec) 314|";
    const std::string check = "Deterministic (60s, ZIVO, no input) 316|";
    const struct { StartupLayout (*build)(int); std::string captions; } windows[] = {
        {BuildStartupLayout, shared + "VSync: 0|Off 310^|On 311|Triple Buffer 312|" + run + "Just Play (No Benchmark) 315|" +
                                 check + "Start 1|Exit 2| 319|"},
        {BuildLaunchLayout, shared + run + check + "Start Benchmark 1|Cancel 2|"}};
    for (const auto& window : windows) {
        const StartupLayout layout = window.build(96);
        std::string captions;
        for (size_t i = 0; i < layout.controls.size(); ++i) {
            const ControlSpec& c = layout.controls[i];
            const std::string name = Narrow(c.caption);
            captions += name + " " + std::to_string(c.id) + (c.kind == ControlKind::FirstRadio ? "^|" : "|");
            EXPECT_EQ(c.bold, c.kind == ControlKind::Label || c.id == dialog_id::kStart) << name;
            EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.x + c.w <= layout.clientWidth && c.y + c.h <= layout.contentHeight) << name;
            for (size_t j = i + 1; j < layout.controls.size(); ++j) {
                const ControlSpec& d = layout.controls[j];
                EXPECT_FALSE(c.x < d.x + d.w && d.x < c.x + c.w && c.y < d.y + d.h && d.y < c.y + c.h)
                    << name << " and " << Narrow(d.caption);
            }
        }
        EXPECT_EQ(captions, window.captions);
    }
}

// Lengths scale one by one (MulDiv rounds halves away): at 120 dpi 15 -> 19, 20 -> 25, 2 -> 3; a short screen scrolls.
TEST(StartupWindow, LayoutScalesTermByTermAndFitsTheScreen)
{
    const struct {
        int dpi, clientWidth, fontHeight, height, commandRow, launchHeight, launchCommandRow, screen;
        const char* area;
    } cases[] = {{96, 390, 16, 470, 391, 364, 311, 400, "407x300 scrolls"}, {96, 390, 16, 470, 391, 364, 311, 1080, "390x470"},
                 {120, 488, 20, 601, 501, 465, 399, 1080, "488x601"}, {144, 585, 24, 706, 587, 547, 467, 600, "602x450 scrolls"}};
    const auto startRow = [](const StartupLayout& layout) {
        return std::find_if(layout.controls.begin(), layout.controls.end(),
                            [](const ControlSpec& c) { return c.id == dialog_id::kStart; })->y;
    };
    for (const auto& c : cases) {
        const StartupLayout startup = BuildStartupLayout(c.dpi);
        const StartupLayout launch = BuildLaunchLayout(c.dpi);
        EXPECT_EQ(std::make_tuple(startup.clientWidth, startup.fontHeight, startup.contentHeight, startRow(startup),
                                  launch.contentHeight, startRow(launch)),
                  std::make_tuple(c.clientWidth, c.fontHeight, c.height, c.commandRow, c.launchHeight, c.launchCommandRow))
            << c.dpi;
        const DialogClientArea area = DialogClientAreaFor(startup, c.screen, c.dpi, 17);
        EXPECT_EQ(std::to_string(area.width) + "x" + std::to_string(area.visibleHeight) + (area.scrolls ? " scrolls" : ""),
                  c.area) << c.dpi;
    }
    EXPECT_EQ(std::make_pair(BuildStartupLayout(120).controls[2].y, ScaleForDpi(-5, 120)), std::make_pair(19 + 25 + 3, -6));
    // The launch window centres on the main window, partly off screen too (499 / 2 truncates).
    const WindowPlacement centred = CentreOn(-300, 100, 700, 700, 400, 300);
    EXPECT_EQ(std::make_tuple(centred.x, centred.y, CentreOn(-900, -50, 0, 350, 401, 200).x), std::make_tuple(0, 250, -651));
}

// The window scrolls within its content: 440 pixels, 300 shown.
TEST(StartupWindow, ScrollsWithinItsContent)
{
    using R = ScrollRequest;
    const struct { R request; int thumb, wheel, from, to; } scrolls[] = {  // a wheel turn when wheel is not 0
        {R::LineDown, 0, 0, 0, 20}, {R::LineUp, 0, 0, 30, 10},    {R::LineUp, 0, 0, 0, 0},    {R::PageDown, 0, 0, 0, 140},
        {R::PageUp, 0, 0, 139, 0},  {R::Bottom, 0, 0, 0, 140},    {R::Top, 0, 0, 100, 0},     {R::Thumb, 65, 0, 0, 65},
        {R::Thumb, 65535, 0, 0, 140}, {R::Other, 0, 0, 100, 100}, {R::Other, 0, -120, 100, 140},  // a notch: 60 pixels
        {R::Other, 0, 120, 100, 40}, {R::Other, 0, 30, 100, 85},
    };
    for (const auto& s : scrolls) {
        const ScrollState state{440, 300, s.from};
        const int to = s.wheel != 0 ? ScrollPositionForWheel(state, s.wheel) : ScrollPositionFor(state, s.request, s.thumb);
        EXPECT_EQ(to, s.to) << static_cast<int>(s.request) << " from " << s.from;
    }
    EXPECT_EQ(ScrollPositionFor(ScrollState{440, 440, 0}, R::PageDown, 0), 0);
}
