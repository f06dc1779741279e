#pragma once
// Comparing results files (this program's, from any machine): reading and
// checking them, the figures side by side with their change against the
// first file (the baseline), and a verdict for the score and the average
// frame rate that takes each file's own spread into account.
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench/significance.h"

// A results file larger than this is refused unread.
inline constexpr std::uintmax_t kMaxResultsFileBytes = 64ull * 1024 * 1024;

struct ComparedRecord {
    double time = 0.0;  // tenths of a second since the run began
    double avgFps = 0.0;
    int64_t frameCount = 0;
};

struct ComparedRun {
    double score = 0.0;
    double averageFps = 0.0;
    double low1PercentFps = 0.0;
    double low01PercentFps = 0.0;
    double p50Ms = 0.0;
    double p95Ms = 0.0;
    double p99Ms = 0.0;
    // GPU milliseconds per pass (means) and what limited the run; files
    // written before the program measured them have none.
    std::optional<double> gpuPhysicsMs;
    std::optional<double> gpuRenderMs;
    std::string limitedBy;
    std::vector<ComparedRecord> records;
};

// What the comparison reads from one results file. Texts are as the file
// holds them: they come from other machines and people, and are escaped
// wherever they are shown.
struct ResultsFileContent {
    std::string name;  // the file as given on the command line
    std::string adapter;
    std::string driverVersion;
    std::string presentMode;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t raySteps = 0;
    uint32_t debrisCount = 0;
    bool debrisEnabled = false;
    bool deterministic = false;
    std::vector<ComparedRun> runs;
};

// Reads and checks a results file; `name` is how messages and the page call
// it. Nothing, with `problem` saying what is wrong, when the file is missing,
// too large, not JSON, not a results file, of an unknown formatVersion, or
// has a field missing or of the wrong type.
std::optional<ResultsFileContent> ReadResultsFile(const std::filesystem::path& path, const std::string& name,
                                                  std::string& problem);
std::optional<ResultsFileContent> ParseResultsDocument(const std::string& text, const std::string& name,
                                                       std::string& problem);

enum class Verdict { WithinNoise, Faster, Slower };
const char* VerdictText(Verdict verdict);  // "within noise", "faster", "slower"

// A change counts when it is at least this large and significant.
inline constexpr double kSmallestChangePercent = 1.0;
inline constexpr double kSignificanceLevel = 0.05;
inline constexpr uint32_t kBootstrapSeed = 42;

// The rule the verdicts follow, as the page states it.
extern const char* const kVerdictRule;

struct VerdictFigures {
    std::optional<double> changePercent;  // against the baseline's mean
    Verdict verdict = Verdict::WithinNoise;
    bool welch = false;      // both files hold several runs: Welch's t-test over the runs
    double p = 1.0;          // its p-value
    Interval fpsDifference;  // otherwise: the bootstrap 95 % interval of mean record FPS (this - baseline)
};

// A file's figures: means over its runs.
struct FileFigures {
    double score = 0.0;
    double averageFps = 0.0;
    double low1PercentFps = 0.0;
    double low01PercentFps = 0.0;
    double p50Ms = 0.0;
    double p95Ms = 0.0;
    double p99Ms = 0.0;
    std::optional<double> gpuPhysicsMs;  // when every run has it
    std::optional<double> gpuRenderMs;
    std::string limitedBy;  // the runs' "limitedBy" (joined when they differ); empty without GPU figures
};

struct Comparison {
    std::vector<ResultsFileContent> files;  // the first is the baseline
    std::vector<FileFigures> figures;       // one per file
    std::vector<VerdictFigures> score;      // one per file; the baseline's is its own, "within noise"
    std::vector<VerdictFigures> averageFps;
    // Which settings differ between the files: "resolution", "debris",
    // "ray steps", "present mode", "deterministic" (in this order).
    std::vector<std::string> differingSettings;
};

// Two files or more; the first is the baseline.
Comparison CompareResults(std::vector<ResultsFileContent> files);

// (value - baseline) / baseline in percent; nothing when the baseline is 0.
std::optional<double> ChangePercent(double baseline, double value);

// "comparison_%Y-%m-%d_%H%M%S.html" for the given local time.
std::string ComparisonFileName(const std::tm& localTime);

// The page (plain line feeds; it is written with CR LF like the report) and
// the short table for standard output.
std::string BuildComparisonPage(const Comparison& comparison, const std::tm& generatedAt);
std::string BuildComparisonTable(const Comparison& comparison);

// Text from outside the program as HTML text: & < > " ' escaped.
std::string HtmlEscape(const std::string& text);
