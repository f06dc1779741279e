#include "bench/report.h"

#include <cstdio>
#include <fstream>

#include "bench/benchmark.h"
#include "bench/benchmark_host.h"
#include "bench/compare.h"
#include "bench/recorder.h"
#include "bench/report_stream.h"
#include "bench/statistics.h"

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

void WriteHeading(ReportStream& out, const BenchmarkRecorder& r, size_t runCount)
{
    out << "<h1>DirectX 12 Raymarching Benchmark";
    if (r.config.deterministic) {
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
            << "<div style=\"color:#888;font-size:11px;\">Raw frame count (60 sec)</div>\n"
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
    out << (r.config.deterministic ? " | Run Time: 60 seconds (Deterministic)" : " | Run Time: 40 seconds");
    if (const std::string adapter = AdapterNote(r.adapter); !adapter.empty()) {
        out << " | Adapter: " << HtmlEscape(adapter);
    }
    out << "</div>\n";
    // Runs cut short, and the size each run scored with where it is not the one configured.
    for (size_t i = 0; i < r.runs.size(); ++i) {
        const std::string note = RunNote(r.runs[i], c);
        if (!note.empty()) {
            out << "<div style=\"margin-top:5px;color:#f90;font-size:13px;\">Run " << (i + 1) << ": " << note
                << "</div>\n";
        }
    }
    if (!r.endedByDeviceLoss.empty()) {
        out << "<div style=\"margin-top:5px;color:#f90;font-size:13px;\">" << r.endedByDeviceLoss << "</div>\n";
    }
    out << "</div>\n";
}

// "Run 2", or "Run 2 (cut short at 12.5 s)": the run's row says when it is not a whole run.
std::string RunName(const RunResult& run, size_t index)
{
    const std::string cut = CutShortNote(run);
    return "Run " + std::to_string(index + 1) + (cut.empty() ? "" : " (" + cut + ")");
}

void WriteStatisticsTable(ReportStream& out, const BenchmarkRecorder& r, const CrossRunFigures& f)
{
    out << "<div class=\"stats\">\n<h2>Run Statistics</h2>\n";
    if (!r.config.deterministic) {
        out << "<table>\n<tr><th>Run</th><th>Avg FPS</th><th>Cleaned FPS</th><th>Median FPS</th><th>Min FPS</th>"
               "<th>Max FPS</th><th>Cleaned Min</th><th>Cleaned Max</th><th>Avg Debris</th><th>Avg Balls</th>"
               "<th>Avg Bricks</th><th>Outliers</th><th>Score</th></tr>\n";
        for (size_t i = 0; i < r.runs.size(); ++i) {
            const RunResult& run = r.runs[i];
            out << "<tr><td>" << RunName(run, i) << "</td>"
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
        out << "<table>\n<tr><th>Run</th><th>Total Frames</th><th>Weighted Score</th><th>Avg FPS</th><th>Min FPS</th>"
               "<th>Max FPS</th><th>Median FPS</th><th>Avg Debris</th><th>Avg Balls</th><th>Avg Bricks</th></tr>\n";
        for (size_t i = 0; i < r.runs.size(); ++i) {
            const RunResult& run = r.runs[i];
            out << "<tr><td>" << RunName(run, i) << "</td>"
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
                << "Frame Variance: <span style=\"color:#0f0;\">" << precision(2) << f.frameVariance
                << "%</span> "
                << "(Range: " << f.minFrames << "-" << f.maxFrames << ") | "
                << "Score Variance: <span style=\"color:#0cf;\">" << f.scoreVariance << "%</span> "
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

void WriteRunsData(ReportStream& out, const std::vector<RunResult>& runs)
{
    out << "<script>\n"
        << "const runsData = [\n";
    for (size_t r = 0; r < runs.size(); ++r) {
        const RunResult& run = runs[r];
        out << "  {\n"
            << "    seconds: [\n";
        for (size_t i = 0; i < run.seconds.size(); ++i) {
            const SecondRecord& s = run.seconds[i];
            out << "      {time:" << s.time << ",avgFps:" << precision(2) << s.avgFps << ",minFps:" << s.minFps
                << ",maxFps:" << s.maxFps << ",medianFps:" << s.medianFps << ",debris:" << s.debris
                << ",bricks:" << s.bricks << ",balls:" << s.balls << ",isOutlier:" << (s.isOutlier ? "true" : "false")
                << "}";
            if (i + 1 < run.seconds.size()) {
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

    WriteHead(out);
    WriteHeading(out, r, r.runs.size());
    WriteScoreBox(out, r, figures);
    WriteStatisticsTable(out, r, figures);
    log("Checkpoint: Statistics table complete\n");

    for (size_t i = 0; i < r.runs.size(); ++i) {
        const std::string number = std::to_string(i + 1);
        const std::string cut = CutShortNote(r.runs[i]);
        WriteChartContainer(out, "chart" + number, "Run " + number + " - Timeline" + (cut.empty() ? "" : " (" + cut + ")"));
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
                 static_cast<int>(r.runs[i].seconds.size()));
        if (r.runs[i].seconds.empty()) {
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
