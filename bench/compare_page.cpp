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

std::string Fixed(double value, int decimals)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

// "+10.0 %", "-3.2 %", "+0.0 %".
std::string SignedPercent(double value)
{
    std::string text = Fixed(value, 1);
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

std::string Resolution(const ResultsFileContent& f)
{
    return std::to_string(f.width) + "&times;" + std::to_string(f.height);
}

std::string Debris(const ResultsFileContent& f)
{
    return f.debrisEnabled ? std::to_string(f.debrisCount) : std::string("off");
}

void WriteFilesTable(ReportStream& out, const Comparison& c)
{
    out << "<div class=\"stats\">\n<h2>Files</h2>\n<table>\n"
        << "<tr><th>#</th><th>File</th><th>Adapter</th><th>Driver</th><th>Resolution</th><th>Debris</th>"
           "<th>Ray Steps</th><th>Present Mode</th><th>Deterministic</th><th>Runs</th><th>Limited By</th></tr>\n";
    for (size_t i = 0; i < c.files.size(); ++i) {
        const ResultsFileContent& f = c.files[i];
        const std::string& limitedBy = c.figures[i].limitedBy;
        out << "<tr><td>" << (i + 1) << "</td><td class=\"file\">" << HtmlEscape(f.name)
            << (i == 0 ? " (baseline)" : "") << "</td><td class=\"adapter\">" << HtmlEscape(f.adapter)
            << "</td><td>" << HtmlEscape(f.driverVersion) << "</td><td>" << Resolution(f) << "</td><td>" << Debris(f)
            << "</td><td>" << f.raySteps << "</td><td>" << HtmlEscape(f.presentMode) << "</td><td>"
            << (f.deterministic ? "yes" : "no") << "</td><td>" << f.runs.size() << "</td><td>"
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
    std::string cell = "<td>" + Fixed(*value, decimals);
    if (!isBaseline) {
        const std::optional<double> change = baseline ? ChangePercent(*baseline, *value) : std::nullopt;
        cell += " <span class=\"change\">(" + (change ? SignedPercent(*change) : std::string("&ndash;")) + ")</span>";
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
    case Verdict::WithinNoise: break;
    }
    return "noise";
}

std::string Evidence(const VerdictFigures& v)
{
    if (v.welch) {
        return v.p < 0.0001 ? std::string("Welch p &lt; 0.0001") : "Welch p = " + Fixed(v.p, 4);
    }
    return "bootstrap 95 % CI of the FPS difference: " + Fixed(v.fpsDifference.low, 2) + " to " +
           Fixed(v.fpsDifference.high, 2);
}

void WriteVerdictCells(ReportStream& out, const VerdictFigures& v)
{
    out << "<td>" << (v.changePercent ? SignedPercent(*v.changePercent) : std::string("&ndash;"))
        << "</td><td class=\"verdict " << VerdictClass(v.verdict) << "\">" << VerdictText(v.verdict)
        << "</td><td class=\"change\">" << Evidence(v) << "</td>";
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

// The frame time (from each 0.1 s record's mean frame rate) below which the
// given share of a file's frames lie, for every whole percent: the file's
// frame-time distribution as a percentile curve.
std::vector<std::pair<double, double>> PercentileCurve(const ResultsFileContent& file)
{
    std::vector<std::pair<double, int64_t>> records;  // frame time ms, frames
    int64_t frames = 0;
    for (const ComparedRun& run : file.runs) {
        for (const ComparedRecord& r : run.records) {
            if (r.avgFps > 0.0 && r.frameCount > 0) {
                records.emplace_back(1000.0 / r.avgFps, r.frameCount);
                frames += r.frameCount;
            }
        }
    }
    std::vector<std::pair<double, double>> curve;
    if (records.empty()) {
        return curve;
    }
    std::sort(records.begin(), records.end());
    size_t at = 0;
    int64_t below = records[0].second;
    for (int percent = 0; percent <= 100; ++percent) {
        const double wanted = std::max(1.0, std::ceil(percent / 100.0 * static_cast<double>(frames)));
        while (static_cast<double>(below) < wanted && at + 1 < records.size()) {
            below += records[++at].second;
        }
        curve.emplace_back(percent, records[at].first);
    }
    return curve;
}

// Each record time's frame rate, averaged over the file's runs.
std::vector<std::pair<double, double>> Timeline(const ResultsFileContent& file)
{
    std::map<double, std::pair<double, int>> byTime;
    for (const ComparedRun& run : file.runs) {
        for (const ComparedRecord& r : run.records) {
            auto& [sum, count] = byTime[r.time];
            sum += r.avgFps;
            count += 1;
        }
    }
    std::vector<std::pair<double, double>> line;
    for (const auto& [time, entry] : byTime) {
        line.emplace_back(time / 10.0, entry.first / entry.second);
    }
    return line;
}

void WritePoints(ReportStream& out, const std::vector<std::pair<double, double>>& points, int xDecimals)
{
    out << "[";
    for (size_t i = 0; i < points.size(); ++i) {
        out << (i > 0 ? "," : "") << "{x:" << Fixed(points[i].first, xDecimals) << ",y:" << Fixed(points[i].second, 2)
            << "}";
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
        default: out += ch;
        }
    }
    return out;
}

std::string BuildComparisonPage(const Comparison& c, const std::tm& generatedAt)
{
    ReportStream out;
    WriteHead(out);
    out << "<h1>Benchmark Comparison (" << c.files.size() << " Files)</h1>\n";
    if (!c.differingSettings.empty()) {
        std::string settings;
        for (const std::string& s : c.differingSettings) {
            settings += (settings.empty() ? "" : ", ") + s;
        }
        out << "<div class=\"warning\"><strong>The configurations differ:</strong> " << settings
            << ". The files did not measure the same work, so their differences are not the hardware's alone.</div>\n";
    }
    WriteFilesTable(out, c);
    WriteFiguresTable(out, c);
    WriteVerdictTable(out, c);
    WriteChartContainer(out, "percentileChart", "Frame Time Distribution (0.1 s records, all runs)");
    WriteChartContainer(out, "timelineChart", "FPS Timeline (mean over the runs of each file)");
    char stamp[64];
    std::strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S", &generatedAt);
    out << "<div class=\"metadata\">\n<p><strong>Generated:</strong> " << stamp << "</p>\n</div>\n";
    WriteData(out, c);
    WriteCharts(out);
    out << "</script>\n</body>\n</html>";
    return out.str();
}

std::string BuildComparisonTable(const Comparison& c)
{
    size_t width = 4;
    for (const ResultsFileContent& f : c.files) {
        width = std::max(width, f.name.size());
    }
    const auto pad = [](std::string text, size_t n) {
        text.resize(std::max(text.size(), n), ' ');
        return text;
    };
    const auto change = [](const VerdictFigures& v) {
        return v.changePercent ? SignedPercent(*v.changePercent) : std::string("-");
    };
    std::string table = pad("File", width) + "  " + pad("Score", 9) + pad("Change", 10) + pad("Verdict", 14) +
                        pad("Avg FPS", 9) + pad("Change", 10) + "Verdict\n";
    for (size_t i = 0; i < c.files.size(); ++i) {
        const FileFigures& f = c.figures[i];
        std::string line = pad(c.files[i].name, width) + "  " + pad(Fixed(f.score, 0), 9);
        if (i == 0) {
            line += pad("", 10) + pad("(baseline)", 14) + Fixed(f.averageFps, 1);
        } else {
            line += pad(change(c.score[i]), 10) + pad(VerdictText(c.score[i].verdict), 14) +
                    pad(Fixed(f.averageFps, 1), 9) + pad(change(c.averageFps[i]), 10) +
                    VerdictText(c.averageFps[i].verdict);
        }
        table += line + "\n";
    }
    if (!c.differingSettings.empty()) {
        std::string settings;
        for (const std::string& s : c.differingSettings) {
            settings += (settings.empty() ? "" : ", ") + s;
        }
        table += "Warning: the configurations differ: " + settings + ".\n";
    }
    return table;
}
