#pragma once
// The program's command line: without arguments the startup window opens;
// with --benchmark a benchmark runs and the program ends, with no window that
// waits for a person.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ui/startup_choices.h"

struct CommandLine {
    enum class Action { Interactive, Benchmark, Help, ListAdapters, Error };
    Action action = Action::Interactive;
    StartupConfiguration config;   // Benchmark: what to run (the startup window's presets and defaults)
    DialogChoice choice;           // Benchmark: the same, as the startup window would have recorded it
    std::wstring outputDirectory;  // Benchmark: where the report and the results go; empty: the current folder
    std::optional<uint32_t> adapter;  // Benchmark: --adapter N; nothing: the default adapter
    bool frameLog = false;         // Benchmark: --frame-log, every sampled frame in a CSV file beside the results
    uint32_t stressLoops = 0;      // Benchmark: --stress, a deterministic stress test of so many loops; 0: none
    std::string error;             // Error: what was wrong, naming the argument
};

// The arguments after the program's name.
CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments);

// The text of --help.
std::string CommandLineHelp();

struct BenchmarkRecorder;

// What a benchmark started from the command line tells whoever started it
// when it ends, one line each for a script to read: on standard output
// "score: 2502" (the mean over its runs), "note: run 1 rendered ..." where a
// run did not render the size asked for, "report: PATH" and "results: PATH"
// (the files in `folder`); on standard error what was not written.
struct StarterText {
    std::string output;
    std::string errors;
};
StarterText CommandLineSummary(const BenchmarkRecorder& bench, const std::filesystem::path& folder);

// --help, -h or /?: wherever one of them stands, the program prints the help.
bool IsHelpOption(const std::wstring& argument);

// Exit codes of a benchmark started from the command line.
namespace exit_code {
inline constexpr int kSuccess = 0;          // completed, report and results written
inline constexpr int kFatalError = 1;       // the "Fatal error" of an interactive run
inline constexpr int kBadArguments = 2;
inline constexpr int kNotCompleted = 3;     // the program ended before the benchmark did
inline constexpr int kFilesNotWritten = 4;  // the report, the results file or the frame log asked for could not be written
}  // namespace exit_code
