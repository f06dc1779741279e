#pragma once
// The folder that a benchmark started from the command line writes its report
// and results file into (--output, else the current folder). It is made ready
// before the benchmark starts, so that a folder that cannot take the files
// ends the program at once rather than after the whole run.
#include <filesystem>
#include <string>

struct OutputFolderCheck {
    int exitCode = 0;     // 0: ready; else the program's exit code (see command_line.h)
    std::string message;  // what was wrong, naming the folder, for whoever started the program
};

// Makes the folder with every missing level, then creates and removes a probe
// file in it. A folder that cannot be made or takes no file means the files
// could not be written (exit code 4).
OutputFolderCheck PrepareOutputFolder(const std::filesystem::path& folder);
