#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

// The machine and the presentation a benchmark ran on, for its results file.
struct RunEnvironment {
    std::string presentMode;  // "off", "on" or "triple-buffer"
    std::string adapter;      // the adapter's description
    uint32_t vendorId = 0;
    uint32_t deviceId = 0;
    uint64_t dedicatedVideoMemory = 0;  // bytes
    std::string driverVersion;          // the user-mode driver version the adapter reports, "a.b.c.d"
    std::string windowsVersion;         // "major.minor.build"
    std::string machineName;            // the computer's name
    std::string executableName;         // the program's file name, "OrvalisBench.exe"
    uint32_t processId = 0;
};

// What the benchmark asks of the world outside it: the debugger output, the
// local time (report names and time stamps), the modal summary box, the shell
// that opens a written report, and a description of the machine.
class BenchmarkHost {
public:
    virtual ~BenchmarkHost() = default;

    // One line for the debugger output (already formatted and cut to its buffer).
    virtual void DebugOutput(const char* text) = 0;

    // The local wall-clock time.
    virtual std::tm LocalTime() = 0;

    // The modal "Benchmark Finished" box; returns when it is dismissed.
    virtual void ShowBenchmarkSummary(const std::wstring& text) = 0;

    // Open a written report with the shell's default action.
    virtual void OpenReport(const std::string& path) = 0;

    // The adapter, driver, Windows version, computer name and present mode of this run.
    virtual RunEnvironment DescribeEnvironment() = 0;
};

// printf-style debugger output through a fixed buffer of bufferSize
// characters; longer text is cut.
inline void DebugLog(BenchmarkHost& host, std::size_t bufferSize, const char* format, ...)
{
    std::vector<char> buffer(bufferSize, '\0');
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    host.DebugOutput(buffer.data());
}
