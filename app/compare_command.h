#pragma once
// OrvalisBench.exe --compare A.json B.json [C.json ...] [--output DIR]: reads
// results files, writes the comparison page "comparison_<date>_<time>.html"
// into DIR (default: the current folder) and prints a short table. No window
// opens and nothing waits for a person.
#include <ctime>
#include <string>
#include <vector>

// Whether the arguments ask for a comparison (any of them is --compare).
bool IsCompareCommand(const std::vector<std::wstring>& arguments);

struct CompareCommandResult {
    int exitCode = 0;     // 0 written; 2 a bad argument or input file; 4 the page could not be written
    std::string output;   // for standard output: the table and where the page went
    std::string errors;   // for standard error: what was wrong, naming the file
};

// Runs the comparison; `now` names the page and is its time stamp. An
// option's value may follow it after "="; --help, -h or /? anywhere prints
// the help instead.
CompareCommandResult RunCompareCommand(const std::vector<std::wstring>& arguments, const std::tm& now);
