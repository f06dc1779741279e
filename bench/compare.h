#pragma once
// Comparing results files (this program's, from any machine): reading and
// checking them, the figures side by side with their change against the
// first file (the baseline), a verdict for the score and the average frame
// rate that weighs the change against each file's own spread, and warnings
// of whatever makes a difference not the hardware's alone.
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench/significance.h"

// A results file larger than this is refused unread.
inline constexpr std::uintmax_t kMaxResultsFileBytes = 64ull * 1024 * 1024;

// The versions of the results file this program reads. Version 1 gives each
// 0.1 s record its bucket index ("time") and does not mark runs cut short;
// version 2 gives its start and the sum of its frame times in seconds, and
// says of each run whether it ran its full length.
inline constexpr int kOldestReadFormatVersion = 1;
inline constexpr int kNewestReadFormatVersion = 2;

struct ComparedRecord {
    double startSeconds = 0.0;     // sampled time at the record's start
    double durationSeconds = 0.0;  // the sum of its frame times (version 1: see ReadResultsFile)
    double avgFps = 0.0;           // as the file gives it (the charts)
    int64_t frameCount = 0;
};

struct ComparedRun {
    double score = 0.0;
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
    // The size the run rendered (the size asked for in files written before
    // the program recorded it) and whether it changed during the run.
    uint32_t renderedWidth = 0;
    uint32_t renderedHeight = 0;
    bool renderedSizeChanged = false;
    bool complete = true;          // ran its full length
    double measuredSeconds = 0.0;  // its sampled time
    std::vector<ComparedRecord> records;
};

// What the comparison reads from one results file. Texts are as the file
// holds them: they come from other machines and people, and are escaped
// wherever they are shown.
struct ResultsFileContent {
    std::string name;  // the file as given on the command line
    int formatVersion = kNewestReadFormatVersion;
    std::string machineName;  // empty where the file does not say
    std::string adapter;
    std::optional<uint32_t> adapterIndex;
    std::string adapterChoice;  // "default", "asked", or empty
    std::string driverVersion;
    std::string presentMode;
    uint32_t width = 0;  // the size asked for
    uint32_t height = 0;
    uint32_t raySteps = 0;
    uint32_t debrisCount = 0;
    bool debrisEnabled = false;
    bool deterministic = false;
    std::vector<ComparedRun> runs;
};

// Reads and checks a results file; `name` is how messages and the page call
// it. Nothing, with `problem` saying what is wrong (naming the field by its
// path), when the file is missing, too large, not JSON, not a results file,
// of an unknown formatVersion, or has a field that is missing, of the wrong
// type or out of range.
//
// A version 1 record does not hold its duration. It covered the sampled time
// from the previous record's end to its own: (its index - the previous
// record's index) x 0.1 s, the first from 0. Over a run these add up to the
// run's sampled time within a frame, so a run's frames over time (what
// version 2 files give) comes out right; the file's own averageFps of that
// version, a mean of 1 / frame time, is not used. A version 1 run whose
// records end before its length (40 s, 60 s deterministic) was cut short.
std::optional<ResultsFileContent> ReadResultsFile(const std::filesystem::path& path, const std::string& name,
                                                  std::string& problem);
std::optional<ResultsFileContent> ParseResultsDocument(const std::string& text, const std::string& name,
                                                       std::string& problem);

// A run's frame rate: its frames over the sum of its records' durations.
double FramesOverTime(const ComparedRun& run);

enum class Verdict { WithinNoise, Faster, Slower, TooFewRuns, TooFewRecords };
// "within noise", "faster", "slower", "too few runs", "too few records"
const char* VerdictText(Verdict verdict);

// A change counts when it is at least this large and significant.
inline constexpr double kSmallestChangePercent = 1.0;
inline constexpr double kSignificanceLevel = 0.05;
inline constexpr uint32_t kBootstrapSeed = 42;
// The percentile bootstrap of a mean over n values gives an interval too
// narrow by about sqrt((n - 1) / n) x 1.96 / t(0.975, n - 1): 6 % at 30
// values, 18 % at 10, 37 % at 5, and a single point at 1. Below 30 records
// in a run (3 s of it; a complete run has 400 or 600) there is no verdict.
inline constexpr size_t kMinimumRecordsPerRun = 30;

// The rule the verdicts follow, as the page states it.
extern const char* const kVerdictRule;

struct VerdictFigures {
    enum class Test { None, Welch, Bootstrap };
    std::optional<double> changePercent;  // of the mean over the complete runs, against the baseline's
    Verdict verdict = Verdict::WithinNoise;
    Test test = Test::None;
    double p = 1.0;          // Welch: its p-value
    Interval changeInterval;  // Bootstrap: the 95 % interval of changePercent
};

// A file's figures: means over its complete runs (none without one).
struct FileFigures {
    size_t completeRuns = 0;
    std::optional<double> score;
    std::optional<double> averageFps;  // frames over time (FramesOverTime)
    std::optional<double> low1PercentFps;
    std::optional<double> low01PercentFps;
    std::optional<double> p50Ms;
    std::optional<double> p95Ms;
    std::optional<double> p99Ms;
    std::optional<double> gpuPhysicsMs;  // when every complete run has it
    std::optional<double> gpuRenderMs;
    std::string limitedBy;  // the runs' "limitedBy", each value once; empty without GPU figures
};

struct Comparison {
    std::vector<ResultsFileContent> files;  // the first is the baseline
    std::vector<FileFigures> figures;       // one per file
    // One per file; the baseline's is its own, "within noise". Only complete
    // runs count: the score by Welch's t-test over the runs, the frame rate
    // by it or, with a single run on either side, by a bootstrap of the
    // change over the runs' 0.1 s records.
    std::vector<VerdictFigures> score;
    std::vector<VerdictFigures> averageFps;
    // Which settings differ between the files: "rendered size", "debris",
    // "ray steps", "present mode", "deterministic" (in this order).
    std::vector<std::string> differingSettings;
    // Sentences (plain text) on what makes the differences not the hardware's
    // alone: differing settings, sizes that changed, runs cut short, free
    // runs, different adapters on one machine, scores of both versions.
    std::vector<std::string> warnings;
};

// Two files or more; the first is the baseline.
Comparison CompareResults(std::vector<ResultsFileContent> files);

// (value - baseline) / baseline in percent; nothing when the baseline is 0.
std::optional<double> ChangePercent(double baseline, double value);

// "comparison_%Y-%m-%d_%H%M%S.html" for the given local time.
std::string ComparisonFileName(const std::tm& localTime);

// The frame time below which each whole percent (0..100) of a file's frames
// lie, by nearest rank over the frames of its complete runs, each frame
// taking its 0.1 s record's mean frame time: the frame-time distribution.
std::vector<std::pair<double, double>> PercentileCurve(const ResultsFileContent& file);

// The page (plain line feeds; it is written with CR LF like the report) and
// the short table for standard output.
std::string BuildComparisonPage(const Comparison& comparison, const std::tm& generatedAt);
std::string BuildComparisonTable(const Comparison& comparison);

// Text from outside the program as HTML text: & < > " ' escaped, control
// characters shown as U+FFFD.
std::string HtmlEscape(const std::string& text);
