#include "app/command_line.h"

#include <cmath>
#include <optional>
#include <set>
#include <string>

#include "bench/benchmark.h"
#include "bench/stress.h"

namespace {

std::string Narrow(const std::wstring& text)
{
    std::string result;
    for (wchar_t ch : text) {
        result += (ch >= 32 && ch < 127) ? static_cast<char>(ch) : '?';
    }
    return result;
}

std::string Quoted(const std::wstring& option, const std::wstring& value)
{
    std::string text(1, '"');
    text.append(Narrow(option)).append(1, ' ').append(Narrow(value)).append(1, '"');
    return text;
}

// The preset row whose text (for example "1280x720" or "1280X720") matches, or -1.
int ResolutionRow(std::wstring text)
{
    if (const size_t x = text.find(L'X'); x != std::wstring::npos) {
        text[x] = L'x';
    }
    for (int i = 0; i < kPresetCount; ++i) {
        const std::wstring row = std::to_wstring(resolutionPresets[i].width) + L"x" + std::to_wstring(resolutionPresets[i].height);
        if (text == row) {
            return i;
        }
    }
    return -1;
}

int DebrisRow(const std::wstring& text)
{
    for (int i = 0; i < kPresetCount; ++i) {
        if (text == std::to_wstring(debrisPresetCounts[i])) {
            return i;
        }
    }
    return -1;
}

CommandLine Failure(std::string error)
{
    CommandLine result;
    result.action = CommandLine::Action::Error;
    result.error = std::move(error);
    return result;
}

}  // namespace

bool IsHelpOption(const std::wstring& argument)
{
    return argument == L"--help" || argument == L"-h" || argument == L"/?";
}

CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments)
{
    CommandLine result;
    DialogChoice choice = DefaultDialogChoice();
    std::set<std::wstring> seen;
    std::wstring firstOption;
    bool benchmark = false;
    for (const std::wstring& argument : arguments) {
        if (IsHelpOption(argument)) {
            result.action = CommandLine::Action::Help;
            return result;
        }
    }
    for (const std::wstring& argument : arguments) {
        if (argument == L"--list-adapters") {
            result.action = CommandLine::Action::ListAdapters;
            return result;
        }
    }
    for (size_t i = 0; i < arguments.size(); ++i) {
        // "--option=value" is "--option value".
        std::wstring option = arguments[i];
        std::optional<std::wstring> inlineValue;
        if (const size_t equals = option.find(L'='); option.rfind(L"--", 0) == 0 && equals != std::wstring::npos) {
            inlineValue = option.substr(equals + 1);
            option.resize(equals);
        }
        if (option == L"--stress") {
            // A stress test in place of --benchmark; its loop count may follow.
            if (!seen.insert(option).second) {
                return Failure("--stress is given twice");
            }
            firstOption = firstOption.empty() ? option : firstOption;
            result.stressLoops = kDefaultStressLoops;
            if (inlineValue || (i + 1 < arguments.size() && arguments[i + 1].rfind(L"--", 0) != 0)) {
                const std::wstring value = inlineValue ? *inlineValue : arguments[++i];
                const bool digits =
                    !value.empty() && value.size() <= 4 && value.find_first_not_of(L"0123456789") == std::wstring::npos;
                result.stressLoops = digits ? static_cast<uint32_t>(std::stoul(value)) : 0;
                if (result.stressLoops < kFewestStressLoops || result.stressLoops > kMostStressLoops) {
                    return Failure(Quoted(option, value) + ": the loops are a whole number from " +
                                   std::to_string(kFewestStressLoops) + " to " + std::to_string(kMostStressLoops));
                }
            }
            continue;
        }
        const bool takesValue = option == L"--benchmark" || option == L"--resolution" || option == L"--debris" ||
                                option == L"--vsync" || option == L"--output" || option == L"--adapter";
        if (!takesValue && option != L"--deterministic" && option != L"--frame-log") {
            return Failure(option.rfind(L"-", 0) == 0 ? "unknown option \"" + Narrow(option) + "\""
                                                      : "unexpected argument \"" + Narrow(option) + "\"");
        }
        if (!seen.insert(option).second) {
            return Failure(Narrow(option) + " is given twice");
        }
        if (firstOption.empty()) {
            firstOption = option;
        }
        if (option == L"--deterministic" || option == L"--frame-log") {
            if (inlineValue) {
                return Failure(Narrow(option) + " takes no value");
            }
            (option == L"--frame-log" ? result.frameLog : choice.deterministic) = true;
            continue;
        }
        if (!inlineValue && (i + 1 >= arguments.size() || arguments[i + 1].rfind(L"--", 0) == 0)) {
            return Failure(Narrow(option) + " needs a value");
        }
        const std::wstring value = inlineValue ? *inlineValue : arguments[++i];
        if (option == L"--benchmark") {
            if (value != L"single" && value != L"multi") {
                return Failure(Quoted(option, value) + ": the benchmark is \"single\" or \"multi\"");
            }
            benchmark = true;
            choice.multiRun = value == L"multi";
        } else if (option == L"--resolution") {
            const int row = ResolutionRow(value);
            if (row < 0) {
                return Failure(Quoted(option, value) +
                               ": the resolution is one of 854x480, 1280x720, 1920x1080, 2560x1440, 3840x2160");
            }
            choice.resolutionIndex = row;
        } else if (option == L"--debris") {
            const int row = DebrisRow(value);
            if (row < 0) {
                return Failure(Quoted(option, value) + ": the debris count is one of 0, 80, 160, 320, 640");
            }
            choice.debrisIndex = row;
        } else if (option == L"--vsync") {
            if (value == L"off" || value == L"on" || value == L"triple") {
                choice.presentModeIndex = value == L"off" ? 0 : (value == L"on" ? 1 : 2);
            } else {
                return Failure(Quoted(option, value) + ": vertical sync is \"off\", \"on\" or \"triple\"");
            }
        } else if (option == L"--adapter") {
            // Whether adapter N exists is for the system to say, once it is asked.
            if (value.empty() || value.size() > 4 || value.find_first_not_of(L"0123456789") != std::wstring::npos) {
                return Failure(Quoted(option, value) + ": the adapter is a number that --list-adapters shows");
            }
            result.adapter = static_cast<uint32_t>(std::stoul(value));
        } else {
            if (value.empty()) {
                return Failure("--output needs a folder");
            }
            result.outputDirectory = value;
        }
    }
    if (result.stressLoops > 0) {
        if (benchmark) {
            return Failure("--stress and --benchmark cannot be combined: a stress test plays its own loops");
        }
        // Each loop plays the same game, so that only the card can change between them.
        benchmark = true;
        choice.multiRun = false;
        choice.deterministic = true;
    }
    if (!benchmark && !firstOption.empty()) {
        return Failure(Narrow(firstOption) + " needs --benchmark single|multi");
    }
    if (benchmark) {
        result.action = CommandLine::Action::Benchmark;
        result.config = ConfigurationFor(choice);
        result.choice = choice;
    }
    return result;
}

std::string CommandLineHelp()
{
    return "Usage: OrvalisBench.exe [--benchmark single|multi [options]]\n"
           "       OrvalisBench.exe --stress [LOOPS] [options]\n"
           "       OrvalisBench.exe --compare A.json B.json [C.json ...] [--output DIR]\n"
           "       OrvalisBench.exe --list-adapters\n"
           "\n"
           "Without arguments the startup window opens. With --benchmark the program runs one\n"
           "benchmark with no window waiting for a person, writes its HTML report and a JSON\n"
           "results file with the same name into the output folder, and ends.\n"
           "\n"
           "  --benchmark single|multi  one recorded run or four (40 s each; 60 s deterministic)\n"
           "  --deterministic           fixed random seed 42, the ZIVO level, fixed ticks, no input\n"
           "  --stress [LOOPS]          a stress test instead: LOOPS deterministic runs (2 to 100,\n"
           "                            default 20) back to back with no pause; the report and the\n"
           "                            results give the frame-rate stability, the worst loop's\n"
           "                            average FPS as a percentage of the best's (97 % passes)\n"
           "  --resolution WxH          854x480 (default), 1280x720, 1920x1080, 2560x1440 or 3840x2160\n"
           "  --debris N                0, 80 (default), 160, 320 or 640\n"
           "  --vsync off|on|triple     vertical sync off (default), on, or triple buffering\n"
           "  --output DIR              the folder for the report and the results (created if\n"
           "                            missing; default: the current folder)\n"
           "  --adapter N               the graphics adapter to measure: its number in\n"
           "                            --list-adapters (default: the high-performance one)\n"
           "  --frame-log               also writes every measured frame, one CSV line each,\n"
           "                            into <report name>_frames.csv beside the results\n"
           "  --list-adapters           lists the graphics adapters and ends\n"
           "  --help, -h, /?            this text\n"
           "\n"
           "An option's value may also follow it after \"=\", as in --resolution=1280x720.\n"
           "\n"
           "With --compare the program reads results files (the first is the baseline), writes\n"
           "comparison_<date>_<time>.html into DIR (default: the current folder), prints a\n"
           "short table and ends: 0 written, 2 a bad argument or file, 4 the page not written.\n"
           "\n"
           "Exit codes: 0 the benchmark completed and its files were written; 1 a fatal error;\n"
           "2 a bad argument; 3 the program ended before the benchmark did; 4 the report or the\n"
           "results file (or the frame log asked for) could not be written.\n";
}

StarterText CommandLineSummary(const BenchmarkRecorder& bench, const std::filesystem::path& folder)
{
    StarterText text;
    if (bench.runs.empty()) {
        text.errors = "OrvalisBench: no run was recorded, so no report or results file was written\n";
        return text;
    }
    double scores = 0.0;
    for (const RunResult& run : bench.runs) {
        scores += static_cast<double>(run.score);
    }
    text.output = "score: " + std::to_string(std::llround(scores / static_cast<double>(bench.runs.size()))) + "\n";
    if (bench.config.stressLoops > 0) {
        text.output += "stress: " + StressSummaryLine(ComputeStressFigures(bench)) + "\n";
    }
    for (size_t i = 0; i < bench.runs.size(); ++i) {
        if (const std::string note = RenderedSizeNote(bench.runs[i], bench.config); !note.empty()) {
            text.output += "note: run " + std::to_string(i + 1) + " " + note + "\n";
        }
    }
    const struct {
        const char* line;
        const char* what;
        const std::string& path;
        bool written;
    } files[] = {{"report", "the report file", bench.reportPath, bench.reportWritten},
                 {"results", "the results file", bench.resultsPath, bench.resultsWritten},
                 {"frames", "the frame log", bench.frameLog.path, bench.frameLog.written}};
    for (const auto& file : files) {
        if (&file == &files[2] && !bench.frameLog.enabled) {
            continue;
        }
        const std::u8string path = (folder / file.path).u8string();
        const std::string shown(reinterpret_cast<const char*>(path.data()), path.size());
        if (file.written) {
            text.output += std::string(file.line) + ": " + shown + "\n";
        } else {
            text.errors += "OrvalisBench: " + std::string(file.what) + " could not be written: " + shown + "\n";
        }
    }
    return text;
}
