#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "app/command_line.h"
#include "app/compare_command.h"
#include "app/commands.h"
#include "app/frame.h"
#include "bench/benchmark.h"
#include "app/output_folder.h"
#include "bench/stress.h"
#include "bench_files.h"
#include "test_support.h"

TEST(CommandLine, OptionsChooseAmongTheStartupWindowsPresets)
{
    EXPECT_EQ(std::make_tuple(ParseCommandLine({}).action, ParseCommandLine({L"--debris", L"81", L"--help"}).action,
                              ParseCommandLine({L"/?"}).action, ParseCommandLine({L"--vsync=sometimes", L"-h"}).action,
                              ParseCommandLine({L"--debris", L"80", L"--list-adapters"}).action),
              std::make_tuple(CommandLine::Action::Interactive, CommandLine::Action::Help, CommandLine::Action::Help,
                              CommandLine::Action::Help, CommandLine::Action::ListAdapters));
    // An adapter by its number; whether the system has it is checked once the system is asked.
    EXPECT_EQ(std::make_pair(ParseCommandLine({L"--adapter=12", L"--benchmark", L"multi"}).adapter,
                             ParseCommandLine({L"--benchmark", L"multi"}).adapter),
              std::make_pair(std::optional<uint32_t>(12), std::optional<uint32_t>()));
    // --help wherever it stands, also in a comparison, whose files it does not read.
    const CompareCommandResult help = RunCompareCommand({L"--compare", L"-h", L"x.json"}, std::tm{});
    EXPECT_EQ(std::make_tuple(IsCompareCommand({L"--compare=x"}), help.exitCode, help.output), std::make_tuple(true, 0, CommandLineHelp()));
    EXPECT_EQ(std::make_pair(ParseCommandLine({L"--frame-log", L"--benchmark", L"multi"}).frameLog,
                             ParseCommandLine({L"--benchmark", L"multi"}).frameLog), std::make_pair(true, false));
    const struct { std::vector<std::wstring> arguments; const char* config; const wchar_t* output; uint32_t loops = 0; } cases[] = {
        {{L"--benchmark", L"single"}, "854x480 debris 80 present 0 benchmark single", L""},
        {{L"--resolution", L"1280x720", L"--vsync", L"on", L"--debris", L"0", L"--benchmark", L"multi"},
         "1280x720 debris 0 present 1 benchmark multi", L""},
        {{L"--benchmark", L"single", L"--resolution", L"1920x1080", L"--vsync", L"triple", L"--debris", L"640",
          L"--deterministic"}, "1920x1080 debris 640 present 2 benchmark single deterministic", L""},
        {{L"--output", L"C:\\results", L"--benchmark", L"multi", L"--resolution", L"854x480", L"--vsync", L"off"},
         "854x480 debris 80 present 0 benchmark multi", L"C:\\results"},
        {{L"--benchmark=single", L"--resolution=2560X1440", L"--debris=160", L"--vsync=on", L"--output=C:\\a=b"},
         "2560x1440 debris 160 present 1 benchmark single", L"C:\\a=b"},
        // A stress test is deterministic, of 20 loops unless a number follows.
        {{L"--stress", L"--debris", L"0"}, "854x480 debris 0 present 0 benchmark single deterministic", L"", 20},
        {{L"--resolution", L"1280x720", L"--stress=100"}, "1280x720 debris 80 present 0 benchmark single deterministic", L"", 100},
    };
    for (const auto& c : cases) {
        const CommandLine parsed = ParseCommandLine(c.arguments);
        ASSERT_EQ(parsed.action, CommandLine::Action::Benchmark) << parsed.error;
        // The configuration, also as the startup window records it, and the output folder.
        EXPECT_EQ(std::make_tuple(Describe(parsed.config), Describe(ConfigurationFor(parsed.choice)), parsed.outputDirectory,
                                  parsed.stressLoops),
                  std::make_tuple(std::string(c.config), std::string(c.config), std::wstring(c.output), c.loops));
    }
}

TEST(CommandLine, BadArgumentsAreNamedAsTyped)
{
    const struct { std::vector<std::wstring> arguments; const char* error; } cases[] = {
        {{L"--fullscreen"}, "unknown option \"--fullscreen\""},
        {{L"benchmark"}, "unexpected argument \"benchmark\""},
        {{L"--benchmark"}, "--benchmark needs a value"},
        {{L"--benchmark", L"--deterministic"}, "--benchmark needs a value"},
        {{L"--benchmark", L"double"}, "\"--benchmark double\": the benchmark is \"single\" or \"multi\""},
        {{L"--benchmark", L"single", L"--resolution", L"1280 x 720"},
         "\"--resolution 1280 x 720\": the resolution is one of 854x480, 1280x720, 1920x1080, 2560x1440, 3840x2160"},
        {{L"--benchmark", L"single", L"--debris", L"100"},
         "\"--debris 100\": the debris count is one of 0, 80, 160, 320, 640"},
        {{L"--benchmark", L"single", L"--vsync", L"\u00e9teint~"},  // shown in ASCII, what is not as ?
         "\"--vsync ?teint~\": vertical sync is \"off\", \"on\" or \"triple\""},
        {{L"--benchmark", L"single", L"--debris", L"80", L"--debris", L"160"}, "--debris is given twice"},
        {{L"--deterministic", L"--benchmark", L"single", L"--deterministic"}, "--deterministic is given twice"},
        {{L"--debris", L"160"}, "--debris needs --benchmark single|multi"},
        {{L"--deterministic"}, "--deterministic needs --benchmark single|multi"},
        {{L"--frame-log"}, "--frame-log needs --benchmark single|multi"},
        {{L"--benchmark", L"single", L"--output", L""}, "--output needs a folder"},
        {{L"--benchmark", L"single", L"--adapter", L"-1"}, "\"--adapter -1\": the adapter is a number that --list-adapters shows"},
        {{L"--adapter", L"1"}, "--adapter needs --benchmark single|multi"},
        {{L"--benchmark", L"single", L"--output="}, "--output needs a folder"},
        {{L"--benchmark=single", L"--deterministic=yes"}, "--deterministic takes no value"},
        {{L"--benchmark=single", L"--resolution=1280*720"},
         "\"--resolution 1280*720\": the resolution is one of 854x480, 1280x720, 1920x1080, 2560x1440, 3840x2160"},
        {{L"--stress", L"1"}, "\"--stress 1\": the loops are a whole number from 2 to 100"},
        {{L"--stress", L"twenty"}, "\"--stress twenty\": the loops are a whole number from 2 to 100"},
        {{L"--stress", L"--benchmark", L"multi"}, "--stress and --benchmark cannot be combined: a stress test plays its own loops"},
    };
    for (const auto& c : cases) {
        const CommandLine parsed = ParseCommandLine(c.arguments);
        EXPECT_EQ(std::make_pair(parsed.action, parsed.error), std::make_pair(CommandLine::Action::Error, std::string(c.error)));
    }
    // The tests' shorter stress loops: whole seconds up to the run's length, else a clear error.
    std::string error;
    EXPECT_EQ(std::make_pair(ParseTestLoopSeconds("2", 60, error), error), std::make_pair(std::optional<int32_t>(2), std::string()));
    for (const std::string value : {"0", "61", "1.5", ""}) {
        EXPECT_EQ(ParseTestLoopSeconds(value, 60, error), std::nullopt) << value;
        EXPECT_EQ(error, "ORVALIS_TEST_LOOP_SECONDS=" + value + ": a test's loop length is a whole number of seconds from 1 to 60");
    }
}

TEST(OutputFolder, MadeWithEveryLevelAndCheckedBeforeTheBenchmark)
{
    ScratchDirectory scratch;
    std::ofstream("file").close();
    const struct { std::filesystem::path folder; int exitCode; const char* message; } cases[] = {
        {"new/a/b", exit_code::kSuccess, ""},
        {"new", exit_code::kSuccess, ""},  // already there
        {"/proc", exit_code::kFilesNotWritten,
         "OrvalisBench: the output folder \"/proc\" cannot be written; --output DIR chooses another\n"},
        {"/proc/orvalis/a", exit_code::kFilesNotWritten, "OrvalisBench: the output folder \"/proc/orvalis/a\" cannot be created ("},
        {"file/a", exit_code::kFilesNotWritten, "OrvalisBench: the output folder \"file/a\" cannot be created ("},
    };
    for (const auto& c : cases) {
        const OutputFolderCheck check = PrepareOutputFolder(c.folder);
        EXPECT_EQ(check.exitCode, c.exitCode) << c.folder;
        EXPECT_EQ(check.message.rfind(c.message, 0), 0u) << check.message;
    }
    EXPECT_TRUE(std::filesystem::is_empty("new/a/b"));  // the probe file is gone
}

// A command-line benchmark opens no launch window; "Abort" ends it with 3, and its last lines say where the files went.
TEST(CommandLine, ARunEndsWithItsAbortAndSaysWhereItsFilesWent)
{
    ScratchDirectory scratch;
    TestApp t;
    t.app.start.unattended = true;
    std::tie(t.app.width, t.app.height) = std::tuple(854u, 480u);
    StartConfiguredBenchmark(t.app, 854, 480, 80, false, false);
    for (int frame = 0; !(t.app.bench.currentRun == 2 && t.app.bench.runElapsed > 1.0f) && frame < 5000; ++frame) {
        UpdateFrame(t.app, 1.0f / 64.0f, 1.0f / 64.0f);
    }
    OnPanelCommand(t.app, panel_id::kLaunchBenchmark, false);
    OnPanelCommand(t.app, panel_id::kAbort, false);
    EXPECT_EQ(std::make_tuple(t.platform.launchWindows, t.platform.programEnds, t.app.start.exitCode, t.app.bench.runs.size()),
              std::make_tuple(0, 1, exit_code::kNotCompleted, size_t{2}));

    BenchmarkRecorder& b = t.app.bench;
    const std::string mean = std::to_string(std::llround((b.runs[0].score + b.runs[1].score) / 2.0));
    const std::string files = "report: out/" + b.reportPath + "\nresults: out/" + b.resultsPath + "\n";
    EXPECT_EQ(CommandLineSummary(b, "out").output, "score: " + mean + "\n" + files);
    b.runs.resize(1);
    b.runs[0].width = 800;
    b.reportWritten = false;
    const StarterText cut = CommandLineSummary(b, "out");
    EXPECT_EQ(cut.output + cut.errors, "score: " + std::to_string(std::lround(b.runs[0].score)) +
                                           "\nnote: run 1 rendered 800 x 480; 854 x 480 does not fit this screen\n" +
                                           files.substr(files.find("results")) +
                                           "OrvalisBench: the report file could not be written: out/" + b.reportPath + "\n");
    // A frame log asked for is named as the files are.
    std::tie(b.frameLog.enabled, b.frameLog.path) = std::tuple(true, "f_frames.csv");
    for (const bool written : {true, false}) {
        b.frameLog.written = written;
        const StarterText logged = CommandLineSummary(b, "out");
        EXPECT_EQ((written ? logged.output : logged.errors).substr((written ? cut.output : cut.errors).size()),
                  written ? "frames: out/f_frames.csv\n" : "OrvalisBench: the frame log could not be written: out/f_frames.csv\n");
    }
    b.runs.clear();
    EXPECT_EQ(CommandLineSummary(b, "out").errors, "OrvalisBench: no run was recorded, so no report or results file was written\n");
}
