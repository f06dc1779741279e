#include <gtest/gtest.h>

#include <filesystem>

#include "app/command_line.h"
#include "app/output_folder.h"

namespace {

CommandLine Parse(std::vector<std::wstring> arguments)
{
    return ParseCommandLine(arguments);
}

}  // namespace

TEST(CommandLine, OptionsTakeThePresetsAndDefaults)
{
    EXPECT_EQ(Parse({}).action, CommandLine::Action::Interactive);
    EXPECT_EQ(Parse({L"--debris", L"80", L"--help"}).action, CommandLine::Action::Help);

    const CommandLine plain = Parse({L"--benchmark", L"single"});
    ASSERT_EQ(plain.action, CommandLine::Action::Benchmark);
    EXPECT_EQ(plain.config.width, 854u);
    EXPECT_EQ(plain.config.height, 480u);
    EXPECT_EQ(plain.config.debrisCount, 80);
    EXPECT_EQ(plain.config.presentMode, PresentMode::VsyncOff);
    EXPECT_TRUE(plain.config.benchmarkAtStart);
    EXPECT_TRUE(plain.config.singleRun);
    EXPECT_FALSE(plain.config.deterministic);
    EXPECT_TRUE(plain.outputDirectory.empty());

    const CommandLine full = Parse({L"--output", L"C:\\results", L"--vsync", L"triple", L"--debris", L"0",
                                    L"--resolution", L"2560x1440", L"--deterministic", L"--benchmark", L"multi"});
    ASSERT_EQ(full.action, CommandLine::Action::Benchmark);
    EXPECT_EQ(full.config.width, 2560u);
    EXPECT_EQ(full.config.height, 1440u);
    EXPECT_EQ(full.config.debrisCount, 0);
    EXPECT_EQ(full.config.presentMode, PresentMode::TripleBuffer);
    EXPECT_FALSE(full.config.singleRun);
    EXPECT_TRUE(full.config.deterministic);
    EXPECT_EQ(full.outputDirectory, L"C:\\results");
    EXPECT_EQ(Parse({L"--benchmark", L"single", L"--vsync", L"on"}).config.presentMode, PresentMode::VsyncOn);
}

TEST(CommandLine, BadArgumentsAreNamed)
{
    const struct {
        std::vector<std::wstring> arguments;
        const char* error;
    } cases[] = {
        {{L"--fullscreen"}, "unknown option \"--fullscreen\""},
        {{L"benchmark"}, "unexpected argument \"benchmark\""},
        {{L"--benchmark"}, "--benchmark needs a value"},
        {{L"--benchmark", L"--deterministic"}, "--benchmark needs a value"},
        {{L"--benchmark", L"double"}, "\"--benchmark double\": the benchmark is \"single\" or \"multi\""},
        {{L"--benchmark", L"single", L"--resolution", L"1000x700"},
         "\"--resolution 1000x700\": the resolution is one of 854x480, 1280x720, 1920x1080, 2560x1440, 3840x2160"},
        {{L"--benchmark", L"single", L"--debris", L"100"},
         "\"--debris 100\": the debris count is one of 0, 80, 160, 320, 640"},
        {{L"--benchmark", L"single", L"--vsync", L"adaptive"},
         "\"--vsync adaptive\": vertical sync is \"off\", \"on\" or \"triple\""},
        {{L"--benchmark", L"single", L"--debris", L"80", L"--debris", L"160"}, "--debris is given twice"},
        {{L"--deterministic", L"--benchmark", L"single", L"--deterministic"}, "--deterministic is given twice"},
        {{L"--debris", L"160"}, "--debris needs --benchmark single|multi"},
        {{L"--benchmark", L"single", L"--output", L""}, "--output needs a folder"},
    };
    for (const auto& c : cases) {
        const CommandLine parsed = ParseCommandLine(c.arguments);
        EXPECT_EQ(parsed.action, CommandLine::Action::Error) << c.error;
        EXPECT_EQ(parsed.error, c.error);
    }
}

TEST(OutputFolder, MadeWithEveryLevelAndCheckedBeforeTheBenchmark)
{
    namespace fs = std::filesystem;
    const fs::path scratch = fs::temp_directory_path() / "orvalis_output_folder";
    fs::remove_all(scratch);
    const struct {
        fs::path folder;
        int exitCode;
        const char* message;
    } cases[] = {
        {scratch / "new" / "a" / "b", exit_code::kSuccess, ""},
        {scratch / "new", exit_code::kSuccess, ""},  // already there
        {"/proc", exit_code::kFilesNotWritten, "OrvalisBench: --output: the folder \"/proc\" cannot be written\n"},
        {"/proc/orvalis/a", exit_code::kBadArguments, "OrvalisBench: --output: the folder \"/proc/orvalis/a\" cannot be created ("},
    };
    for (const auto& c : cases) {
        const OutputFolderCheck check = PrepareOutputFolder(c.folder);
        EXPECT_EQ(check.exitCode, c.exitCode) << c.folder;
        EXPECT_EQ(check.message.rfind(c.message, 0), 0u) << check.message;
    }
    EXPECT_TRUE(fs::is_empty(scratch / "new" / "a" / "b"));  // the probe file is gone
    fs::remove_all(scratch);
}
