#include "app/compare_command.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "app/command_line.h"
#include "bench/compare.h"
#include "bench/report.h"

namespace {

namespace fs = std::filesystem;

// UTF-8 of a command-line argument (UTF-16 on Windows, UTF-32 elsewhere).
std::string Utf8(const std::wstring& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = static_cast<uint32_t>(text[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            const uint32_t low = static_cast<uint32_t>(text[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// "text" in double quotes.
std::string Quoted(const std::string& text)
{
    std::string quoted(1, '"');
    quoted.append(text).append(1, '"');
    return quoted;
}

CompareCommandResult BadInput(const std::string& text)
{
    CompareCommandResult result;
    result.exitCode = exit_code::kBadArguments;
    result.errors = "OrvalisBench: --compare: " + text + "\n";
    return result;
}

}  // namespace

bool IsCompareCommand(const std::vector<std::wstring>& arguments)
{
    for (const std::wstring& argument : arguments) {
        if (argument == L"--compare" || argument.rfind(L"--compare=", 0) == 0) {
            return true;
        }
    }
    return false;
}

CompareCommandResult RunCompareCommand(const std::vector<std::wstring>& given, const std::tm& now)
{
    // "--option=value" is "--option value"; --help anywhere asks for the help.
    std::vector<std::wstring> arguments;
    for (const std::wstring& argument : given) {
        if (IsHelpOption(argument)) {
            CompareCommandResult help;
            help.output = CommandLineHelp();
            return help;
        }
        const size_t equals = argument.find(L'=');
        arguments.push_back(argument.substr(0, argument.rfind(L"--", 0) == 0 ? equals : std::wstring::npos));
        if (argument.rfind(L"--", 0) == 0 && equals != std::wstring::npos) {
            arguments.push_back(argument.substr(equals + 1));
        }
    }
    std::vector<std::wstring> files;
    std::optional<std::wstring> output;
    bool compareSeen = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (argument == L"--compare") {
            if (compareSeen) {
                return BadInput("--compare is given twice");
            }
            compareSeen = true;
        } else if (argument == L"--output") {
            if (output) {
                return BadInput("--output is given twice");
            }
            if (i + 1 >= arguments.size() || arguments[i + 1].empty() || arguments[i + 1].rfind(L"--", 0) == 0) {
                return BadInput("--output needs a folder");
            }
            output = arguments[++i];
        } else if (argument.rfind(L"--", 0) == 0) {
            return BadInput(Quoted(Utf8(argument)) + " cannot be combined with --compare");
        } else if (!compareSeen) {
            return BadInput("unexpected argument " + Quoted(Utf8(argument)) + " before --compare");
        } else {
            files.push_back(argument);
        }
    }
    if (files.size() < 2) {
        return BadInput("needs at least two results files to compare (got " + std::to_string(files.size()) + ")");
    }

    std::vector<ResultsFileContent> contents;
    for (const std::wstring& file : files) {
        std::string problem;
        std::optional<ResultsFileContent> content = ReadResultsFile(fs::path(file), Utf8(file), problem);
        if (!content) {
            return BadInput(Utf8(file) + ": " + problem);
        }
        contents.push_back(std::move(*content));
    }
    const Comparison comparison = CompareResults(std::move(contents));

    const fs::path folder = output ? fs::path(*output) : fs::path();
    const std::string name = ComparisonFileName(now);
    const fs::path page = folder / name;
    const std::u8string pageText = page.u8string();
    const std::string shown(reinterpret_cast<const char*>(pageText.data()), pageText.size());
    std::error_code error;
    if (output) {
        fs::create_directories(folder, error);
    }
    const std::string document = ToCrlf(BuildComparisonPage(comparison, now));
    std::ofstream stream(page, std::ios::binary | std::ios::trunc);
    const bool created = static_cast<bool>(stream);
    if (created) {
        stream.write(document.data(), static_cast<std::streamsize>(document.size()));
        stream.close();
    }
    CompareCommandResult result;
    result.output = BuildComparisonTable(comparison);
    if (!created || !stream) {
        if (created) {
            fs::remove(page, error);  // never leave a cut-off page behind
        }
        result.exitCode = exit_code::kFilesNotWritten;
        result.errors = "OrvalisBench: --compare: the comparison page could not be written: " + shown + "\n";
        return result;
    }
    result.output += "Comparison page: " + shown + "\n";
    return result;
}
