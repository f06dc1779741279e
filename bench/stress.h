#pragma once
// The stress test: the chosen configuration's run played as loops back to
// back (no pause between them, deterministic from the command line, so each
// loop plays the same game), each loop recorded like a run. What it tells is
// whether the card holds its frame rate as it heats up: the frame-rate
// stability, the worst loop's average FPS as a percentage of the best loop's,
// passes at 97 %, and the trend from the first loop to the last.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct BenchmarkConfig;
struct BenchmarkRecorder;
struct RunResult;

inline constexpr uint32_t kDefaultStressLoops = 20;
inline constexpr uint32_t kFewestStressLoops = 2;  // one loop has nothing to be stable against
// 100 loops of 60 s play 100 minutes; their results file stays near 20 MB,
// well inside what the comparison reads.
inline constexpr uint32_t kMostStressLoops = 100;
// The pass mark reviewers use: the worst loop keeps 97 % of the best loop's frame rate.
inline constexpr double kStressPassPercent = 97.0;

// The environment variable with which the end-to-end tests play a stress test
// in seconds instead of minutes: the loop length in whole seconds, from 1 to
// the configuration's run length. Only a stress test reads it, and every file
// and summary of such a test says that its loops were shortened.
inline constexpr const char* kTestLoopSecondsVariable = "ORVALIS_TEST_LOOP_SECONDS";

// The loop length the variable's value asks for; nothing, with `error`
// naming the variable and what it takes, when the value is not a whole number
// of seconds from 1 to runSeconds.
std::optional<int32_t> ParseTestLoopSeconds(const std::string& value, int32_t runSeconds, std::string& error);

enum class StressVerdict {
    Pass,        // every loop played whole, and the worst kept 97 % of the best
    Fail,        // the worst loop fell below 97 % of the best (more loops could only lower the figure)
    Incomplete,  // cut short (an abort, a device loss) before a fail showed: no pass can be given
};
const char* StressVerdictText(StressVerdict verdict);  // "pass", "fail", "incomplete"

struct StressLoop {
    double averageFps = 0.0;  // the loop's frames over their time
    double score = 0.0;
    bool complete = true;     // played to its full length
    bool belowPass = false;   // a complete loop under 97 % of the best loop's frame rate
};

// The figures of a stress test. Only complete loops count for the stability,
// the worst and best loops and the trend: a loop cut short is kept and shown,
// but it did not carry the load for its length.
struct StressFigures {
    uint32_t loopsAsked = 0;
    int32_t loopSeconds = 0;
    bool shortenedForTests = false;
    std::vector<StressLoop> loops;  // one per recorded run, in order
    size_t loopsComplete = 0;
    bool complete = false;  // every loop asked for was played whole
    std::optional<double> stabilityPercent;  // worst / best complete loop's average FPS x 100
    size_t worstLoop = 0;                    // loop numbers from 1; 0 without a complete loop
    size_t bestLoop = 0;
    double passFps = 0.0;                    // 97 % of the best complete loop's average FPS
    std::optional<double> trendPercent;      // last complete loop against the first, in percent
    StressVerdict verdict = StressVerdict::Incomplete;
};

StressFigures ComputeStressFigures(const BenchmarkRecorder& recorder);

// The test in one line, as the summary box ("Stress test: ...") and standard
// output ("stress: ...") give it, for example "pass, stability 98.7 % (97 %
// needed), trend -1.2 % from the first loop to the last, 20 of 20 loops of 60 s".
std::string StressSummaryLine(const StressFigures& figures);

// A percentage as the report and the summaries show it: one decimal, cut
// rather than rounded, so that a stability shown as 97.0 % has passed.
std::string StabilityText(double percent);

// A trend with its sign and one decimal: "+0.4 %", "-1.2 %".
std::string TrendText(double percent);
