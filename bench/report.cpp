#include "bench/report.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <optional>

#include "bench/benchmark.h"
#include "bench/benchmark_host.h"
#include "bench/compare.h"
#include "bench/recorder.h"
#include "bench/report_stream.h"
#include "bench/statistics.h"
#include "bench/stress.h"

namespace {

// The multiplication sign, UTF-8 encoded.
const char* const kTimes = "\xC3\x97";

void WriteHead(ReportStream& out)
{
    out << "<!DOCTYPE html>\n<html>\n<head>\n"
        << "<meta charset=\"UTF-8\">\n"
        << "<title>Benchmark Results</title>\n";
    WriteChartLibraries(out);
    out << "<style>\n"
        << "body { font-family: Arial, sans-serif; background: #1a1a1a; color: #fff; padding: 20px; }\n"
        << ".stats { background: #2a2a2a; padding: 15px; margin: 20px 0; border-radius: 8px; }\n"
        << ".score-box { background: #0a3a0a; padding: 20px; margin: 20px 0; border-radius: 8px; border: 2px solid #0f0; text-align: center; }\n"
        << ".score-value { font-size: 2.5em; color: #0f0; font-weight: bold; }\n"
        << ".chart-container { background: #2a2a2a; padding: 20px; margin: 20px 0; border-radius: 8px; position: relative; }\n"
        << ".zoom-hint { color: #888; font-size: 0.85em; margin-top: 10px; text-align: center; }\n"
        << "canvas { max-width: 100%; cursor: crosshair; }\n"
        << "table { border-collapse: collapse; width: 100%; margin: 10px 0; }\n"
        << "th, td { padding: 8px; text-align: left; border-bottom: 1px solid #444; }\n"
        << "th { color: #0cf; }\n"
        << ".cleaned { color: #0f0; font-weight: bold; }\n"
        << ".outliers { color: #f90; }\n"
        << ".metadata { color: #888; font-size: 0.9em; margin-top: 30px; }\n"
        << ".zoom-controls { text-align: center; margin: 10px 0; }\n"
        << ".zoom-btn { background: #0078d4; color: white; border: none; padding: 8px 16px; margin: 0 5px; cursor: pointer; border-radius: 4px; font-size: 14px; }\n"
        << ".zoom-btn:hover { background: #106ebe; }\n"
        << "</style>\n</head>\n<body>\n";
}

// A number in fixed notation with `digits` decimals, rounded as the report's
// stream rounds, without touching the precision the stream carries.
std::string Fixed(double value, int digits)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, digits);
    return std::string(buffer, result.ptr);
}

bool IsStressTest(const BenchmarkRecorder& r)
{
    return r.config.stressLoops > 0;
}

void WriteHeading(ReportStream& out, const BenchmarkRecorder& r, size_t runCount)
{
    out << "<h1>DirectX 12 Raymarching Benchmark";
    if (IsStressTest(r)) {
        out << (r.config.deterministic ? " (Deterministic Stress Test - " : " (Stress Test - ") << runCount
            << (runCount == 1 ? " Loop)" : " Loops)");
    } else if (r.config.deterministic) {
        out << " (Deterministic";
        if (r.config.singleRun) {
            out << " - Single Run)";
        } else {
            out << " - " << runCount << " Runs)";
        }
    } else if (r.config.singleRun) {
        out << " (Single Run)";
    } else {
        out << " (" << runCount << " Runs)";
    }
    out << "</h1>\n";
}

void WriteScoreBox(ReportStream& out, const BenchmarkRecorder& r, const CrossRunFigures& f)
{
    out << "<div class=\"score-box\">\n";
    if (r.config.deterministic) {
        out << "<div style=\"display:flex;justify-content:space-around;flex-wrap:wrap;\">\n"
            << "<div style=\"text-align:center;padding:10px;\">\n"
            << "<div style=\"color:#0f0;\">TOTAL FRAMES</div>\n"
            << "<div class=\"score-value\">" << f.framesPerRun << "</div>\n"
            << "<div style=\"color:#888;font-size:11px;\">Raw frame count (" << RunSeconds(r.config) << " sec)</div>\n"
            << "</div>\n"
            << "<div style=\"text-align:center;padding:10px;\">\n"
            << "<div style=\"color:#0cf;\">WEIGHTED SCORE</div>\n"
            << "<div class=\"score-value\" style=\"color:#0cf;\">" << fixedNotation << precision(0) << f.meanScore
            << "</div>\n"
            << "<div style=\"color:#888;font-size:11px;\">Complexity-adjusted</div>\n"
            << "</div>\n"
            << "</div>\n"
            << "<div style=\"color:#666;margin-top:10px;font-size:11px;text-align:center;\">Weighted = (sqrt(Res) " << kTimes
            << " FPS " << kTimes << " (1+Debris/320) " << kTimes << " (1+(Balls-1)/4) " << kTimes
            << " (1+Bricks/80)) / 64</div>\n"
            << "<div style=\"margin-top:10px;\">Average FPS: <span class=\"cleaned\">" << precision(1)
            << f.meanCleaned << "</span></div>\n";
    } else {
        out << "<div>BENCHMARK SCORE</div>\n"
            << "<div class=\"score-value\">" << fixedNotation << precision(0) << f.meanScore << "</div>\n"
            << "<div style=\"color:#888;margin-top:10px;font-size:12px;\">Score = (sqrt(Res) " << kTimes << " FPS "
            << kTimes << " (1+Debris/320) " << kTimes << " (1+(Balls-1)/4) " << kTimes << " (1+Bricks/80)) / 64</div>\n"
            << "<div style=\"margin-top:10px;\">Cleaned Average FPS: <span class=\"cleaned\">" << precision(1)
            << f.meanCleaned << "</span>";
        if (f.totalOutliers > 0) {
            out << " <span class=\"outliers\">(" << f.totalOutliers << " outliers removed)</span>";
        }
        out << "</div>\n";
    }
    out << "<div style=\"margin-top:5px;color:#aaa;\">Avg Debris: " << precision(1) << f.meanDebris
        << " | Avg Balls: " << precision(2) << f.meanBalls << " | Avg Bricks: " << precision(1)
        << f.meanBricks << "</div>\n";
    const BenchmarkConfig& c = r.config;
    out << "<div style=\"margin-top:10px;color:#ccc;font-size:13px;\"><strong>Configuration:</strong> " << c.width
        << "&times;" << c.height << " | Ray Steps: " << c.raySteps;
    if (c.debrisEnabled) {
        out << " | Debris Cap: " << c.debrisCount;
    } else {
        out << " | Debris: OFF";
    }
    out << (IsStressTest(r) ? " | Loop Time: " : " | Run Time: ") << RunSeconds(r.config) << " seconds"
        << (r.config.deterministic ? " (Deterministic)" : "");
    if (IsStressTest(r) && r.config.testLoopSeconds > 0) {
        out << " (shortened for tests by " << kTestLoopSecondsVariable << ")";
    }
    if (const std::string adapter = AdapterNote(r.adapter); !adapter.empty()) {
        out << " | Adapter: " << HtmlEscape(adapter);
    }
    out << "</div>\n";
    // Runs cut short, and the size each run scored with where it is not the one configured.
    for (size_t i = 0; i < r.runs.size(); ++i) {
        const std::string note = RunNote(r.runs[i], c);
        if (!note.empty()) {
            out << "<div style=\"margin-top:5px;color:#f90;font-size:13px;\">" << RunWord(c) << " " << (i + 1) << ": "
                << note << "</div>\n";
        }
    }
    if (!r.endedByDeviceLoss.empty()) {
        out << "<div style=\"margin-top:5px;color:#f90;font-size:13px;\">" << r.endedByDeviceLoss << "</div>\n";
    }
    out << "</div>\n";
}

// The stress test's verdict, its stability, the worst and best loops and the
// trend, above the chart of every loop's average FPS against the pass mark.
void WriteStressSection(ReportStream& out, const StressFigures& f)
{
    const char* colour = f.verdict == StressVerdict::Pass ? "#0f0" : (f.verdict == StressVerdict::Fail ? "#f33" : "#f90");
    std::string verdict = StressVerdictText(f.verdict);
    for (char& ch : verdict) {
        ch = static_cast<char>(ch - 'a' + 'A');
    }
    out << "<div class=\"stats\" style=\"text-align:center;\">\n"
        << "<h2>Stress Test: Frame-Rate Stability</h2>\n"
        << "<div class=\"score-value\" style=\"color:" << colour << ";\">"
        << (f.stabilityPercent ? StabilityText(*f.stabilityPercent) : std::string("-")) << "</div>\n"
        << "<div style=\"color:" << colour << ";font-size:1.4em;font-weight:bold;\">" << verdict << "</div>\n"
        << "<div style=\"color:#888;margin-top:5px;font-size:12px;\">Stability = the worst loop's average FPS as a "
           "percentage of the best loop's; 97 % passes. Loops cut short do not count.</div>\n";
    if (f.stabilityPercent) {
        out << "<div style=\"margin-top:10px;\">Worst: Loop " << f.worstLoop << " at "
            << Fixed(f.loops[f.worstLoop - 1].averageFps, 2) << " FPS | Best: Loop " << f.bestLoop << " at "
            << Fixed(f.loops[f.bestLoop - 1].averageFps, 2) << " FPS";
        if (f.trendPercent) {
            out << " | Trend (first to last loop): " << TrendText(*f.trendPercent);
        }
        out << "</div>\n";
    }
    out << "<div style=\"margin-top:5px;color:#ccc;\">" << f.loopsComplete << " of " << f.loopsAsked << " loops of "
        << f.loopSeconds << " seconds played whole, back to back</div>\n"
        << "</div>\n";
}

// "Run 2", or "Run 2 (cut short at 12.5 s)": the run's row says when it is not a whole run.
std::string RunName(const RunResult& run, size_t index, const BenchmarkConfig& config)
{
    std::string name = RunWord(config);
    name.append(" ").append(std::to_string(index + 1));
    if (const std::string cut = CutShortNote(run); !cut.empty()) {
        name.append(" (").append(cut).append(")");
    }
    return name;
}

void WriteStatisticsTable(ReportStream& out, const BenchmarkRecorder& r, const CrossRunFigures& f)
{
    out << "<div class=\"stats\">\n<h2>" << RunWord(r.config) << " Statistics</h2>\n";
    if (!r.config.deterministic) {
        out << "<table>\n<tr><th>" << RunWord(r.config)
            << "</th><th>Avg FPS</th><th>Cleaned FPS</th><th>Median FPS</th><th>Min FPS</th><th>Max FPS</th>"
               "<th>Cleaned Min</th><th>Cleaned Max</th><th>Avg Debris</th><th>Avg Balls</th>"
               "<th>Avg Bricks</th><th>Outliers</th><th>Score</th></tr>\n";
        for (size_t i = 0; i < r.runs.size(); ++i) {
            const RunResult& run = r.runs[i];
            out << "<tr><td>" << RunName(run, i, r.config) << "</td>"
                << "<td>" << fixedNotation << precision(1) << run.avg << "</td>"
                << "<td class=\"cleaned\">" << run.cleaned << "</td>"
                << "<td>" << run.median << "</td>"
                << "<td>" << run.min << "</td>"
                << "<td>" << run.max << "</td>"
                << "<td class=\"cleaned\">" << run.cleanedMin << "</td>"
                << "<td class=\"cleaned\">" << run.cleanedMax << "</td>"
                << "<td>" << run.avgDebris << "</td>"
                << "<td>" << precision(2) << run.avgBalls << "</td>"
                << "<td>" << precision(1) << run.avgBricks << "</td>"
                << "<td class=\"outliers\">" << run.outliers << "</td>"
                << "<td>" << precision(0) << run.score << "</td></tr>\n";
        }
    } else {
        out << "<table>\n<tr><th>" << RunWord(r.config)
            << "</th><th>Total Frames</th><th>Weighted Score</th><th>Avg FPS</th><th>Min FPS</th><th>Max FPS</th>"
               "<th>Median FPS</th><th>Avg Debris</th><th>Avg Balls</th><th>Avg Bricks</th></tr>\n";
        for (size_t i = 0; i < r.runs.size(); ++i) {
            const RunResult& run = r.runs[i];
            out << "<tr><td>" << RunName(run, i, r.config) << "</td>"
                << "<td class=\"cleaned\" style=\"font-size:1.1em;\">" << run.totalFrames << "</td>"
                << "<td style=\"color:#0cf;\">" << fixedNotation << precision(0) << run.score << "</td>"
                << "<td>" << precision(1) << run.avg << "</td>"
                << "<td>" << run.min << "</td>"
                << "<td>" << run.max << "</td>"
                << "<td>" << run.median << "</td>"
                << "<td>" << run.avgDebris << "</td>"
                << "<td>" << precision(2) << run.avgBalls << "</td>"
                << "<td>" << precision(1) << run.avgBricks << "</td>"
                << "</tr>\n";
        }
        if (r.runs.size() > 1) {
            out << "<tr style=\"background:#1a1a1a;\"><td colspan=\"10\" style=\"text-align:center;\">"
                << "Frame Variance: <span style=\"color:#0f0;\">" << precision(2) << f.frameCountRange
                << "%</span> "
                << "(Range: " << f.minFrames << "-" << f.maxFrames << ") | "
                << "Score Variance: <span style=\"color:#0cf;\">" << f.scoreRange << "%</span> "
                << "(Range: " << precision(0) << f.minScore << "-" << f.maxScore << ")"
                << "</td></tr>\n";
        }
    }
    out << "</table>\n</div>\n";
}

void WriteChartContainer(ReportStream& out, const std::string& canvasId, const std::string& heading)
{
    out << "<div class=\"chart-container\">\n"
        << "<h2>" << heading << "</h2>\n"
        << "<div class=\"zoom-controls\">\n"
        << "<button class=\"zoom-btn\" onclick=\"resetZoom('" << canvasId << "')\">Reset Zoom</button>\n"
        << "</div>\n"
        << "<canvas id=\"" << canvasId << "\"></canvas>\n"
        << "<div class=\"zoom-hint\">[TIP] Mouse Wheel: Zoom | Click & Drag: Pan | Double-Click: Reset</div>\n"
        << "</div>\n";
}

// Each loop's timeline folded away under a line that gives its average: a
// stress test's twenty charts would bury the page.
void WriteLoopTimelines(ReportStream& out, const BenchmarkRecorder& r, const StressFigures& f)
{
    out << "<div class=\"stats\">\n<h2>Loop Timelines</h2>\n";
    for (size_t i = 0; i < r.runs.size(); ++i) {
        const std::string number = std::to_string(i + 1);
        const std::string cut = CutShortNote(r.runs[i]);
        const std::string heading = "Loop " + number + " - Timeline" + (cut.empty() ? "" : " (" + cut + ")");
        out << "<details>\n<summary style=\"cursor:pointer;padding:4px 0;\">" << heading << ": "
            << Fixed(f.loops[i].averageFps, 2) << " FPS" << (f.loops[i].belowPass ? " (below the pass mark)" : "")
            << "</summary>\n";
        WriteChartContainer(out, "chart" + number, heading);
        out << "</details>\n";
    }
    out << "</div>\n";
}

// What the stress chart draws: each loop's average FPS, score and state, and the pass mark.
void WriteStressData(ReportStream& out, const StressFigures& f)
{
    out << "const stressLoops = [\n";
    for (size_t i = 0; i < f.loops.size(); ++i) {
        const StressLoop& loop = f.loops[i];
        out << "  {loop:" << (i + 1) << ",avgFps:" << Fixed(loop.averageFps, 2) << ",score:" << Fixed(loop.score, 0)
            << ",complete:" << (loop.complete ? "true" : "false") << ",belowPass:" << (loop.belowPass ? "true" : "false")
            << "}" << (i + 1 < f.loops.size() ? "," : "") << "\n";
    }
    out << "];\n"
        << "const stressPassFps = " << (f.stabilityPercent ? Fixed(f.passFps, 2) : std::string("null")) << ";\n\n";
}

void WriteRunsData(ReportStream& out, const std::vector<RunResult>& runs)
{
    out << "<script>\n"
        << "const runsData = [\n";
    for (size_t r = 0; r < runs.size(); ++r) {
        const RunResult& run = runs[r];
        out << "  {\n"
            << "    seconds: [\n";
        for (size_t i = 0; i < run.records.size(); ++i) {
            const TenthRecord& s = run.records[i];
            out << "      {time:" << s.time << ",avgFps:" << precision(2) << s.avgFps << ",minFps:" << s.minFps
                << ",maxFps:" << s.maxFps << ",medianFps:" << s.medianFps << ",debris:" << s.debris
                << ",bricks:" << s.bricks << ",balls:" << s.balls << ",isOutlier:" << (s.isOutlier ? "true" : "false")
                << "}";
            if (i + 1 < run.records.size()) {
                out << ",";
            }
            out << "\n";
        }
        out << "    ],\n"
            << "    stats: {avg:" << run.avg << ",min:" << run.min << ",max:" << run.max << ",median:" << run.median
            << ",cleaned:" << run.cleaned << ",outliers:" << run.outliers << ",score:" << precision(0)
            << run.score << "}\n"
            << "  }";
        if (r + 1 < runs.size()) {
            out << ",";
        }
        out << "\n";
    }
    out << "];\n"
        << "const numRuns = " << runs.size() << ";\n\n";
}

}  // namespace

std::string ReportFileName(const std::tm& localTime)
{
    char stamp[64];
    std::strftime(stamp, sizeof(stamp), "%Y-%m-%d_%H%M%S", &localTime);
    return std::string("benchmark_") + stamp + ".html";
}

std::string ToCrlf(const std::string& text)
{
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (char ch : text) {
        if (ch == '\n') {
            result += '\r';
        }
        result += ch;
    }
    return result;
}

std::string BuildReportDocument(const BenchmarkRecorder& r, const std::tm& generatedAt,
                                const std::function<void(const char*)>& log)
{
    // One stream for every number: fixed notation and each precision carry
    // over from one value to the next, exactly as they were last set.
    ReportStream out;
    const CrossRunFigures figures = ComputeCrossRunFigures(r.runs);
    const std::optional<StressFigures> stress = IsStressTest(r) ? std::optional(ComputeStressFigures(r)) : std::nullopt;

    WriteHead(out);
    WriteHeading(out, r, r.runs.size());
    WriteScoreBox(out, r, figures);
    if (stress) {
        WriteStressSection(out, *stress);
        WriteChartContainer(out, "stressChart", "Stress Test - Average FPS per Loop");
    }
    WriteStatisticsTable(out, r, figures);
    log("Checkpoint: Statistics table complete\n");

    if (stress) {
        WriteLoopTimelines(out, r, *stress);
    } else {
        for (size_t i = 0; i < r.runs.size(); ++i) {
            const std::string number = std::to_string(i + 1);
            const std::string cut = CutShortNote(r.runs[i]);
            WriteChartContainer(out, "chart" + number, "Run " + number + " - Timeline" + (cut.empty() ? "" : " (" + cut + ")"));
        }
    }
    log("Checkpoint: Chart containers complete\n");
    WriteChartContainer(out, "scatterChart", "Performance vs Scene Complexity (All Runs)");
    log("Checkpoint: Scatter chart container complete\n");

    out << "<div class=\"metadata\">\n";
    log("Checkpoint: About to generate timestamp\n");
    char stamp[64];
    std::strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S", &generatedAt);
    out << "<p><strong>Generated:</strong> " << stamp << "</p>\n"
        << "</div>\n";
    log("Checkpoint: Timestamp complete, starting JavaScript data\n");

    WriteRunsData(out, r.runs);
    if (stress) {
        WriteStressData(out, *stress);
    }
    log("Checkpoint: JavaScript data array complete\n");

    out << "\n// Chart instance storage for zoom reset\n"
        << "const chartInstances = {};\n\n"
        << "function resetZoom(chartId) {\n"
        << "  if (chartInstances[chartId]) {\n"
        << "    chartInstances[chartId].resetZoom();\n"
        << "  }\n"
        << "}\n\n";

    log("Checkpoint: Starting timeline charts generation\n");
    WriteTimelineCharts(out);
    log("Checkpoint: Timeline charts complete\n");
    log("Checkpoint: Starting scatter plot generation\n");
    WriteScatterChart(out);
    log("Checkpoint: Scatter plot complete\n");
    if (stress) {
        WriteStressChart(out);
    }
    WriteDoubleClickReset(out);

    out << "</script>\n</body>\n</html>";
    return out.str();
}

bool GenerateHTMLReport(BenchmarkRecorder& r, BenchmarkHost& platform)
{
    DebugLog(platform, 512, "=== GenerateHTMLReport START ===\nruns.size() = %d, targetRuns = %d\n",
             static_cast<int>(r.runs.size()), r.targetRuns);
    if (r.runs.empty()) {
        DebugLog(platform, 512, "ERROR: GenerateHTMLReport called without any runs!\n");
        return false;
    }
    for (size_t i = 0; i < r.runs.size(); ++i) {
        DebugLog(platform, 512, "Run %d: seconds.size() = %d\n", static_cast<int>(i + 1),
                 static_cast<int>(r.runs[i].records.size()));
        if (r.runs[i].records.empty()) {
            DebugLog(platform, 512, "ERROR: Run %d has no recorded seconds!\n", static_cast<int>(i + 1));
            return false;
        }
    }
    DebugLog(platform, 512, "All validation passed. Generating HTML...\n");

    r.reportPath = ReportFileName(platform.LocalTime());
    r.reportWritten = false;
    const std::tm generatedAt = platform.LocalTime();
    const std::string document =
        ToCrlf(BuildReportDocument(r, generatedAt, [&](const char* line) { DebugLog(platform, 512, "%s", line); }));

    std::ofstream file(r.reportPath, std::ios::binary | std::ios::trunc);
    const bool created = static_cast<bool>(file);
    if (created) {
        file.write(document.data(), static_cast<std::streamsize>(document.size()));
        file.close();
    }
    if (!created || !file) {
        DebugLog(platform, 512, "ERROR: Could not %s report file %s; it is not opened\n", created ? "write" : "create",
                 r.reportPath.c_str());
        if (created) {
            std::remove(r.reportPath.c_str());  // never leave a cut-off report behind
        }
        return false;
    }
    r.reportWritten = true;
    DebugLog(platform, 512, "=== GenerateHTMLReport COMPLETE - Opening file ===\n");
    platform.OpenReport(r.reportPath);
    return true;
}
