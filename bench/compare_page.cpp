// The comparison page (the report's look and chart library) and the short
// table the command prints.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>

#include "bench/compare.h"
#include "bench/report.h"
#include "bench/report_stream.h"

namespace {

// A number in fixed notation; `otherwise` for one that is not finite (a
// mean or a change of numbers near the largest a file may hold).
std::string Fixed(double value, int decimals, const char* otherwise)
{
    // The largest double has 309 digits before the point.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, decimals);
    if (!std::isfinite(value) || result.ec != std::errc()) {
        return otherwise;
    }
    return std::string(buffer, result.ptr);
}

// "+10.0 %", "-3.2 %", "+0.0 %"; `otherwise` when there is no finite change.
std::string SignedPercent(const std::optional<double>& value, const char* otherwise)
{
    std::string text = Fixed(value.value_or(NAN), 1, "");
    if (text.empty()) {
        return otherwise;
    }
    if (text == "-0.0") {
        text = "0.0";
    }
    return (text[0] == '-' ? text : "+" + text) + " %";
}

// A JavaScript string literal that cannot end the script element or the string early.
std::string ScriptString(const std::string& text)
{
    std::string out = "'";
    for (unsigned char ch : text) {
        if (ch == '\\' || ch == '\'' || ch == '"' || ch == '<' || ch == '>' || ch == '&' || ch < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\x%02x", ch);
            out += escape;
        } else {
            out += static_cast<char>(ch);
        }
    }
    return out + "'";
}

void WriteHead(ReportStream& out)
{
    // The report's look: its scripts and the rules this page shares with it.
    out << "<!DOCTYPE html>\n<html>\n<head>\n"
        << "<meta charset=\"UTF-8\">\n"
        << "<title>Benchmark Comparison</title>\n";
    WriteChartLibraries(out);
    out << "<style>\n"
        << "body { font-family: Arial, sans-serif; background: #1a1a1a; color: #fff; padding: 20px; }\n"
        << ".stats { background: #2a2a2a; padding: 15px; margin: 20px 0; border-radius: 8px; }\n"
        << ".chart-container { background: #2a2a2a; padding: 20px; margin: 20px 0; border-radius: 8px; position: relative; }\n"
        << ".zoom-hint { color: #888; font-size: 0.85em; margin-top: 10px; text-align: center; }\n"
        << "canvas { max-width: 100%; cursor: crosshair; }\n"
        << "table { border-collapse: collapse; width: 100%; margin: 10px 0; }\n"
        << "th, td { padding: 8px; text-align: left; border-bottom: 1px solid #444; }\n"
        << "th { color: #0cf; }\n"
        << ".metadata { color: #888; font-size: 0.9em; margin-top: 30px; }\n"
        << ".zoom-controls { text-align: center; margin: 10px 0; }\n"
        << ".zoom-btn { background: #0078d4; color: white; border: none; padding: 8px 16px; margin: 0 5px; cursor: pointer; border-radius: 4px; font-size: 14px; }\n"
        << ".zoom-btn:hover { background: #106ebe; }\n"
        << ".warning { background: #3a2a0a; border: 2px solid #f90; color: #fc6; padding: 15px; margin: 20px 0; border-radius: 8px; }\n"
        << ".change { color: #aaa; font-size: 0.9em; }\n"
        << ".verdict { font-weight: bold; }\n"
        << ".faster { color: #0f0; }\n"
        << ".slower { color: #f66; }\n"
        << ".noise { color: #ccc; }\n"
        << ".rule { color: #ccc; font-size: 0.95em; }\n"
        << "</style>\n</head>\n<body>\n";
}

// The size the complete runs rendered, and the size asked for where it differs.
std::string Resolution(const ResultsFileContent& f)
{
    std::string rendered;
    for (const ComparedRun& run : f.runs) {
        const std::string size = std::to_string(run.renderedWidth) + "&times;" + std::to_string(run.renderedHeight);
        if (run.complete && rendered.find(size) == std::string::npos) {
            rendered += (rendered.empty() ? "" : ", ") + size;
        }
    }
    const std::string asked = std::to_string(f.width) + "&times;" + std::to_string(f.height);
    if (rendered.empty() || rendered == asked) {
        return asked;
    }
    return rendered + " (" + asked + " asked)";
}

std::string Adapter(const ResultsFileContent& f)
{
    std::string text = HtmlEscape(f.adapter);
    if (f.adapterIndex || !f.adapterChoice.empty()) {
        text += " <span class=\"change\">(";
        text += f.adapterIndex ? "#" + std::to_string(*f.adapterIndex) : std::string();
        text += f.adapterIndex && !f.adapterChoice.empty() ? ", " : "";
        text += HtmlEscape(f.adapterChoice) + ")</span>";
    }
    return text;
}

std::string Runs(const ResultsFileContent& f)
{
    const size_t cutShort = f.runs.size() - static_cast<size_t>(std::count_if(
        f.runs.begin(), f.runs.end(), [](const ComparedRun& run) { return run.complete; }));
    return std::to_string(f.runs.size()) + (cutShort > 0 ? " (" + std::to_string(cutShort) + " cut short)" : "");
}

std::string Debris(const ResultsFileContent& f)
{
    return f.debrisEnabled ? std::to_string(f.debrisCount) : std::string("off");
}

void WriteFilesTable(ReportStream& out, const Comparison& c)
{
    out << "<div class=\"stats\">\n<h2>Files</h2>\n<table>\n"
        << "<tr><th>#</th><th>File</th><th>Machine</th><th>Adapter</th><th>Driver</th><th>Rendered Size</th>"
           "<th>Debris</th><th>Ray Steps</th><th>Present Mode</th><th>Deterministic</th><th>Runs</th>"
           "<th>Limited By</th></tr>\n";
    for (size_t i = 0; i < c.files.size(); ++i) {
        const ResultsFileContent& f = c.files[i];
        const std::string& limitedBy = c.figures[i].limitedBy;
        out << "<tr><td>" << (i + 1) << "</td><td class=\"file\">" << HtmlEscape(f.name)
            << (i == 0 ? " (baseline)" : "") << "</td><td>"
            << (f.machineName.empty() ? std::string("&ndash;") : HtmlEscape(f.machineName))
            << "</td><td class=\"adapter\">" << Adapter(f) << "</td><td>" << HtmlEscape(f.driverVersion)
            << "</td><td>" << Resolution(f) << "</td><td>" << Debris(f) << "</td><td>" << f.raySteps << "</td><td>"
            << HtmlEscape(f.presentMode) << "</td><td>" << (f.deterministic ? "yes" : "no") << "</td><td>" << Runs(f)
            << "</td><td>"
            << (limitedBy.empty() ? std::string("&ndash;") : HtmlEscape(limitedBy)) << "</td></tr>\n";
    }
    out << "</table>\n</div>\n";
}

// A figure, and below the baseline its change against the baseline.
std::string Cell(const std::optional<double>& value, const std::optional<double>& baseline, int decimals, bool isBaseline)
{
    if (!value) {
        return "<td>&ndash;</td>";
    }
    std::string cell = "<td>" + Fixed(*value, decimals, "&ndash;");
    if (!isBaseline) {
        const std::optional<double> change = baseline ? ChangePercent(*baseline, *value) : std::nullopt;
        cell += " <span class=\"change\">(" + SignedPercent(change, "&ndash;") + ")</span>";
    }
    return cell + "</td>";
}

void WriteFiguresTable(ReportStream& out, const Comparison& c)
{
    out << "<div class=\"stats\">\n<h2>Figures</h2>\n<table>\n"
        << "<tr><th>#</th><th>Score</th><th>Avg FPS</th><th>1% Low FPS</th><th>0.1% Low FPS</th>"
           "<th>50th Percentile ms</th><th>95th Percentile ms</th><th>99th Percentile ms</th>"
           "<th>GPU Physics ms</th><th>GPU Render ms</th></tr>\n";
    const FileFigures& b = c.figures.front();
    for (size_t i = 0; i < c.figures.size(); ++i) {
        const FileFigures& f = c.figures[i];
        const bool base = i == 0;
        out << "<tr><td>" << (i + 1) << "</td>" << Cell(f.score, b.score, 0, base)
            << Cell(f.averageFps, b.averageFps, 1, base) << Cell(f.low1PercentFps, b.low1PercentFps, 1, base)
            << Cell(f.low01PercentFps, b.low01PercentFps, 1, base) << Cell(f.p50Ms, b.p50Ms, 2, base)
            << Cell(f.p95Ms, b.p95Ms, 2, base) << Cell(f.p99Ms, b.p99Ms, 2, base)
            << Cell(f.gpuPhysicsMs, b.gpuPhysicsMs, 2, base) << Cell(f.gpuRenderMs, b.gpuRenderMs, 2, base)
            << "</tr>\n";
    }
    out << "</table>\n</div>\n";
}

const char* VerdictClass(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Faster: return "faster";
    case Verdict::Slower: return "slower";
    case Verdict::WithinNoise:
    case Verdict::TooFewRuns:
    case Verdict::TooFewRecords: break;
    }
    return "noise";
}

std::string Evidence(const VerdictFigures& v)
{
    switch (v.test) {
    case VerdictFigures::Test::Welch:
        return v.p < 0.0001 ? std::string("Welch p &lt; 0.0001") : "Welch p = " + Fixed(v.p, 4, "&ndash;");
    case VerdictFigures::Test::Bootstrap:
        return "bootstrap 95 % interval of the change: " + SignedPercent(v.changeInterval.low, "&ndash;") + " to " +
               SignedPercent(v.changeInterval.high, "&ndash;");
    case VerdictFigures::Test::None: break;
    }
    return v.verdict == Verdict::TooFewRecords ? "fewer than " + std::to_string(kMinimumRecordsPerRun) + " records in a run"
                                               : std::string("needs several complete runs in both files");
}

void WriteVerdictCells(ReportStream& out, const VerdictFigures& v)
{
    out << "<td>" << SignedPercent(v.changePercent, "&ndash;") << "</td><td class=\"verdict "
        << VerdictClass(v.verdict) << "\">" << VerdictText(v.verdict) << "</td><td class=\"change\">" << Evidence(v)
        << "</td>";
}

void WriteVerdictTable(ReportStream& out, const Comparison& c)
{
    out << "<div class=\"stats\">\n<h2>Verdicts against the baseline</h2>\n<table>\n"
        << "<tr><th>#</th><th>Score Change</th><th>Score</th><th>Evidence</th>"
           "<th>Avg FPS Change</th><th>Avg FPS</th><th>Evidence</th></tr>\n";
    for (size_t i = 1; i < c.files.size(); ++i) {
        out << "<tr><td>" << (i + 1) << "</td>";
        WriteVerdictCells(out, c.score[i]);
        WriteVerdictCells(out, c.averageFps[i]);
        out << "</tr>\n";
    }
    out << "</table>\n"
        << "<p class=\"rule\">" << HtmlEscape(kVerdictRule) << "</p>\n"
        << "</div>\n";
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

// The complete runs' record frame rates, averaged over the runs at each
// tenth of a second of their start.
std::vector<std::pair<double, double>> Timeline(const ResultsFileContent& file)
{
    std::map<double, std::pair<double, int>> byTenth;
    for (const ComparedRun& run : file.runs) {
        for (const ComparedRecord& r : run.records) {
            if (run.complete) {
                auto& [sum, count] = byTenth[std::round(r.startSeconds * 10.0)];
                sum += r.avgFps;
                count += 1;
            }
        }
    }
    std::vector<std::pair<double, double>> line;
    for (const auto& [tenth, entry] : byTenth) {
        line.emplace_back(tenth / 10.0, entry.first / entry.second);
    }
    return line;
}

void WritePoints(ReportStream& out, const std::vector<std::pair<double, double>>& points, int xDecimals)
{
    out << "[";
    for (size_t i = 0; i < points.size(); ++i) {
        out << (i > 0 ? "," : "") << "{x:" << Fixed(points[i].first, xDecimals, "null")
            << ",y:" << Fixed(points[i].second, 2, "null") << "}";
    }
    out << "]";
}

void WriteData(ReportStream& out, const Comparison& c)
{
    out << "<script>\n"
        << "const comparison = {\n"
        << "  files: [";
    for (size_t i = 0; i < c.files.size(); ++i) {
        out << (i > 0 ? ", " : "") << ScriptString(std::to_string(i + 1) + ": " + c.files[i].name);
    }
    out << "],\n  percentiles: [\n";
    for (size_t i = 0; i < c.files.size(); ++i) {
        out << "    ";
        WritePoints(out, PercentileCurve(c.files[i]), 0);
        out << (i + 1 < c.files.size() ? ",\n" : "\n");
    }
    out << "  ],\n  timelines: [\n";
    for (size_t i = 0; i < c.files.size(); ++i) {
        out << "    ";
        WritePoints(out, Timeline(c.files[i]), 1);
        out << (i + 1 < c.files.size() ? ",\n" : "\n");
    }
    out << "  ]\n};\n\n";
}

void WriteCharts(ReportStream& out)
{
    out << "const chartInstances = {};\n\n"
           "function resetZoom(chartId) {\n"
           "  if (chartInstances[chartId]) {\n"
           "    chartInstances[chartId].resetZoom();\n"
           "  }\n"
           "}\n\n"
           "const fileColors = ['#00ccff', '#ff9900', '#00ff00', '#ff0099', '#ffff00', '#ff0000', '#ffffff'];\n\n"
           "// One line per file on the canvas; x and y are titled.\n"
           "function overlayChart(canvasId, lines, xTitle, yTitle) {\n"
           "  const ctx = document.getElementById(canvasId).getContext('2d');\n"
           "  chartInstances[canvasId] = new Chart(ctx, {\n"
           "    type: 'line',\n"
           "    data: {\n"
           "      datasets: lines.map((points, i) => ({\n"
           "        label: comparison.files[i],\n"
           "        data: points,\n"
           "        borderColor: fileColors[i % fileColors.length],\n"
           "        backgroundColor: fileColors[i % fileColors.length],\n"
           "        borderWidth: 2,\n"
           "        tension: 0.1,\n"
           "        pointRadius: 0\n"
           "      }))\n"
           "    },\n"
           "    options: {\n"
           "      responsive: true,\n"
           "      interaction: { mode: 'nearest', axis: 'x', intersect: false },\n"
           "      plugins: {\n"
           "        zoom: {\n"
           "          zoom: { wheel: { enabled: true, speed: 0.1 }, pinch: { enabled: true }, mode: 'xy' },\n"
           "          pan: { enabled: true, mode: 'xy' },\n"
           "          limits: { x: { min: 'original', max: 'original' }, y: { min: 'original', max: 'original' } }\n"
           "        },\n"
           "        legend: { labels: { color: '#fff' } }\n"
           "      },\n"
           "      scales: {\n"
           "        x: { type: 'linear', title: { display: true, text: xTitle, color: '#fff' }, ticks: { color: '#fff' } },\n"
           "        y: { title: { display: true, text: yTitle, color: '#fff' }, ticks: { color: '#fff' }, beginAtZero: true }\n"
           "      }\n"
           "    }\n"
           "  });\n"
           "}\n\n"
           "overlayChart('percentileChart', comparison.percentiles, 'Share of frames (%)', 'Frame time (ms)');\n"
           "overlayChart('timelineChart', comparison.timelines, 'Time (seconds)', 'FPS');\n";
    WriteDoubleClickReset(out);
}

}  // namespace

std::string HtmlEscape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) {
                out += "\xEF\xBF\xBD";  // U+FFFD: a control character is no text to show
            } else {
                out += ch;
            }
        }
    }
    return out;
}

std::string BuildComparisonPage(const Comparison& c, const std::tm& generatedAt)
{
    ReportStream out;
    WriteHead(out);
    out << "<h1>Benchmark Comparison (" << c.files.size() << " Files)</h1>\n";
    for (const std::string& warning : c.warnings) {
        out << "<div class=\"warning\">" << HtmlEscape(warning) << "</div>\n";
    }
    WriteFilesTable(out, c);
    WriteFiguresTable(out, c);
    WriteVerdictTable(out, c);
    WriteChartContainer(out, "percentileChart", "Frame Time Distribution (0.1 s records of the complete runs)");
    WriteChartContainer(out, "timelineChart", "FPS Timeline (mean over the complete runs of each file)");
    char stamp[64];
    std::strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S", &generatedAt);
    out << "<div class=\"metadata\">\n<p><strong>Generated:</strong> " << stamp << "</p>\n</div>\n";
    WriteData(out, c);
    WriteCharts(out);
    out << "</script>\n</body>\n</html>";
    return out.str();
}

namespace {

// Text from a file for a terminal: control characters (which could move
// the cursor or clear the screen) shown as '?'.
std::string Printable(const std::string& text)
{
    std::string out = text;
    for (char& ch : out) {
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) {
            ch = '?';
        }
    }
    return out;
}

}  // namespace

std::string BuildComparisonTable(const Comparison& c)
{
    std::vector<std::vector<std::string>> rows = {{"File", "Score", "Change", "Verdict", "Avg FPS", "Change", "Verdict"}};
    for (size_t i = 0; i < c.files.size(); ++i) {
        const FileFigures& f = c.figures[i];
        const bool base = i == 0;
        rows.push_back({Printable(c.files[i].name), f.score ? Fixed(*f.score, 0, "-") : "-",
                        base ? "" : SignedPercent(c.score[i].changePercent, "-"),
                        base ? "(baseline)" : VerdictText(c.score[i].verdict),
                        f.averageFps ? Fixed(*f.averageFps, 1, "-") : "-",
                        base ? "" : SignedPercent(c.averageFps[i].changePercent, "-"),
                        base ? "" : VerdictText(c.averageFps[i].verdict)});
    }
    // Each column as wide as its widest entry, two spaces apart.
    std::vector<size_t> widths(rows.front().size(), 0);
    for (const std::vector<std::string>& row : rows) {
        for (size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    std::string table;
    for (const std::vector<std::string>& row : rows) {
        std::string line;
        for (size_t column = 0; column < row.size(); ++column) {
            line += row[column];
            line.append(column + 1 < row.size() ? widths[column] - row[column].size() + 2 : 0, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        table += line + "\n";
    }
    for (const std::string& warning : c.warnings) {
        table += "Warning: " + Printable(warning) + "\n";
    }
    return table;
}
