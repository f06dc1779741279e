#pragma once
#include <ctime>
#include <functional>
#include <string>

struct BenchmarkRecorder;
class BenchmarkHost;

// Writes the HTML report of every recorded run into the current directory as
// "benchmark_<local time>.html", stores the name in reportPath and opens it
// with the shell. Returns whether the file was written whole; a report that
// could not be written is logged and not opened.
bool GenerateHTMLReport(BenchmarkRecorder& recorder, BenchmarkHost& platform);

// "benchmark_%Y-%m-%d_%H%M%S.html" for the given local time.
std::string ReportFileName(const std::tm& localTime);

// The document itself, with plain line feeds (the file stores them as CR LF).
// `log` receives the progress lines; `generatedAt` is the metadata time stamp.
std::string BuildReportDocument(const BenchmarkRecorder& recorder, const std::tm& generatedAt,
                                const std::function<void(const char*)>& log);

// Every line feed becomes carriage return + line feed.
std::string ToCrlf(const std::string& text);

class ReportStream;

// The two chart scripts (timeline per run, scatter over all runs).
void WriteTimelineCharts(ReportStream& out);
void WriteScatterChart(ReportStream& out);
// A stress test's chart: every loop's average FPS (from stressLoops) against
// the pass mark (stressPassFps), loops below it in red, loops cut short crossed.
void WriteStressChart(ReportStream& out);
// chart.js, Hammer.js and the zoom plug-in, each written whole in its own
// script element, so that a page draws its charts with no network.
void WriteChartLibraries(ReportStream& out);
// A double-click on any chart resets its zoom and pan, as the charts' hint says.
void WriteDoubleClickReset(ReportStream& out);
