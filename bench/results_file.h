#pragma once
// The results file: beside each HTML report, a JSON file with the same base
// name that a program can read (the configuration, the machine, every run's
// figures and records, its frame-time lows and percentiles, and the figures
// across runs).
#include <string>

struct BenchmarkRecorder;
struct RunEnvironment;
class BenchmarkHost;

// Version 2: each run says whether it is complete and how long it measured;
// records give their start and length in seconds instead of a bucket number.
inline constexpr int kResultsFormatVersion = 2;

// The document, two-space indented, numbers written locale-independently so
// that they read back to the same values.
std::string BuildResultsDocument(const BenchmarkRecorder& recorder, const RunEnvironment& environment);

// "benchmark_....html" gives "benchmark_....", the base name the files beside the report share.
std::string ReportBaseName(const std::string& reportPath);

// "benchmark_....html" gives "benchmark_....json".
std::string ResultsFileName(const std::string& reportPath);

// Writes the document beside the report (reportPath): first under a temporary
// name, then renamed, so that no half-written file ever carries the name.
// Stores resultsPath and resultsWritten; a failure is logged and reported.
bool WriteResultsFile(BenchmarkRecorder& recorder, BenchmarkHost& host);
