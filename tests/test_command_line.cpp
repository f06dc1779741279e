#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "app/command_line.h"
#include "app/output_folder.h"
#include "bench/stress.h"
#include "bench_files.h"
#include "test_support.h"

TEST(CommandLine, OptionsChooseAmongTheStartupWindowsPresets)
{
    EXPECT_EQ(std::make_tuple(ParseCommandLine({}).action, ParseCommandLine({L"--debris", L"80", L"--help"}).action,
                              ParseCommandLine({L"/?"}).action, ParseCommandLine({L"--debris", L"80", L"--list-adapters"}).action),
              std::make_tuple(CommandLine::Action::Interactive, CommandLine::Action::Help, CommandLine::Action::Help,
                              CommandLine::Action::ListAdapters));
    // An adapter by its number; whether the system has it is checked once the system is asked.
    EXPECT_EQ(std::make_pair(ParseCommandLine({L"--adapter", L"12", L"--benchmark", L"multi"}).adapter,
                             ParseCommandLine({L"--benchmark", L"multi"}).adapter),
              std::make_pair(std::optional<uint32_t>(12), std::optional<uint32_t>()));
    const struct { std::vector<std::wstring> arguments; const char* config; const wchar_t* output; uint32_t loops = 0; } cases[] = {
        {{L"--benchmark", L"single"}, "854x480 debris 80 present 0 benchmark single", L""},
        {{L"--resolution", L"1280x720", L"--vsync", L"on", L"--debris", L"0", L"--benchmark", L"multi"},
         "1280x720 debris 0 present 1 benchmark multi", L""},
        {{L"--benchmark", L"single", L"--resolution", L"1920x1080", L"--vsync", L"triple", L"--debris", L"640",
          L"--deterministic"}, "1920x1080 debris 640 present 2 benchmark single deterministic", L""},
        {{L"--output", L"C:\\results", L"--benchmark", L"multi", L"--resolution", L"854x480", L"--vsync", L"off"},
         "854x480 debris 80 present 0 benchmark multi", L"C:\\results"},
        // A stress test is deterministic, of 20 loops unless a number follows.
        {{L"--stress", L"--debris", L"0"}, "854x480 debris 0 present 0 benchmark single deterministic", L"", 20},
        {{L"--resolution", L"1280x720", L"--stress", L"100"}, "1280x720 debris 80 present 0 benchmark single deterministic", L"", 100},
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
        {{L"--benchmark", L"single", L"--output", L""}, "--output needs a folder"},
        {{L"--benchmark", L"single", L"--adapter", L"-1"}, "\"--adapter -1\": the adapter is a number that --list-adapters shows"},
        {{L"--adapter", L"1"}, "--adapter needs --benchmark single|multi"},
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
    const struct { std::filesystem::path folder; int exitCode; const char* message; } cases[] = {
        {"new/a/b", exit_code::kSuccess, ""},
        {"new", exit_code::kSuccess, ""},  // already there
        {"/proc", exit_code::kFilesNotWritten, "OrvalisBench: --output: the folder \"/proc\" cannot be written\n"},
        {"/proc/orvalis/a", exit_code::kBadArguments, "OrvalisBench: --output: the folder \"/proc/orvalis/a\" cannot be created ("},
    };
    for (const auto& c : cases) {
        const OutputFolderCheck check = PrepareOutputFolder(c.folder);
        EXPECT_EQ(check.exitCode, c.exitCode) << c.folder;
        EXPECT_EQ(check.message.rfind(c.message, 0), 0u) << check.message;
    }
    EXPECT_TRUE(std::filesystem::is_empty("new/a/b"));  // the probe file is gone
}
