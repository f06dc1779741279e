#include "bench/frame_log.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "bench/benchmark_host.h"
#include "bench/gpu_timing.h"
#include "bench/recorder.h"
#include "bench/results_file.h"

namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

template <typename T>
uint16_t Narrow16(T value)
{
    return static_cast<uint16_t>(std::clamp<T>(value, 0, 65535));
}

float Milliseconds(int64_t nanoseconds)
{
    return static_cast<float>(static_cast<double>(nanoseconds) * 1e-6);
}

// Appends a number in fixed notation (locale-independent), or nothing for NaN.
void AppendFixed(std::string& out, double value, int decimals)
{
    if (std::isnan(value)) {
        return;
    }
    char text[64];
    const std::to_chars_result end = std::to_chars(text, text + sizeof(text), value, std::chars_format::fixed, decimals);
    out.append(text, end.ptr);
}

// A text as one CSV field: quoted, its quotes doubled, when it holds a comma, a quote or a line end.
std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char ch : text) {
        quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    }
    return quoted + "\"";
}

void AppendInteger(std::string& out, int64_t value)
{
    char text[24];
    const std::to_chars_result end = std::to_chars(text, text + sizeof(text), value);
    out.append(text, end.ptr);
}

// Whether each line's frame lies in a record the spike filter flagged: a
// run's lines are its sampled frames in order, and its records hold them in
// order, frameCount each.
class OutlierCursor {
public:
    explicit OutlierCursor(const std::vector<RunResult>& runs) : runs_(runs) {}

    // False when the line's run is not among the runs (it then has no record).
    bool Next(int run, bool& outlier)
    {
        if (run != run_) {
            run_ = run;
            record_ = 0;
            taken_ = 0;
        }
        if (run < 1 || static_cast<size_t>(run) > runs_.size()) {
            return false;
        }
        const std::vector<TenthRecord>& records = runs_[run - 1].records;
        while (record_ < records.size() && taken_ >= records[record_].frameCount) {
            ++record_;
            taken_ = 0;
        }
        if (record_ >= records.size()) {
            return false;
        }
        ++taken_;
        outlier = records[record_].isOutlier;
        return true;
    }

private:
    const std::vector<RunResult>& runs_;
    int run_ = 0;
    size_t record_ = 0;
    int32_t taken_ = 0;
};

}  // namespace

void ClearFrameLog(FrameLog& log)
{
    FrameLog cleared;
    cleared.enabled = log.enabled;
    cleared.maxRows = log.maxRows;
    log = std::move(cleared);
}

void RecordPresent(BenchmarkRecorder& r, const PresentCall& call)
{
    FrameLog& log = r.frameLog;
    if (!log.enabled || !r.Running()) {
        return;
    }
    if (!log.started) {
        log.started = true;
        log.originNs = call.beginNs;
        log.previousPresentNs = call.beginNs;
        log.prepareNs = call.beginNs;
    } else {
        log.previousPresentNs = log.last.beginNs;
    }
    log.last = call;
    log.lastTaken = false;
    log.presentsSincePrepare += 1;
}

void LogFrame(BenchmarkRecorder& r, uint32_t debris, uint32_t bricks, int balls)
{
    FrameLog& log = r.frameLog;
    if (!log.enabled) {
        return;
    }
    if (log.rows >= log.maxRows) {
        log.framesNotLogged += 1;
        return;
    }
    while (log.runStarts.size() < static_cast<size_t>(r.currentRun)) {
        log.runStarts.push_back(log.rows);
    }
    const size_t block = log.rows / kFrameLogBlockRows;
    if (block == log.blocks.size()) {
        // Not prepared: its pages come in one at a time as the frames fill them.
        log.blocks.emplace_back().reserve(kFrameLogBlockRows);
    }
    FrameLogRow row{0, kNone, kNone, kNone, kNone, Narrow16(debris), Narrow16(bricks), 0,
                    static_cast<uint8_t>(std::clamp(balls, 0, 255)), 0};
    if (!log.lastTaken) {
        const PresentCall& p = log.last;
        row.presentNs = p.beginNs;
        row.msBetweenPresents = Milliseconds(p.beginNs - log.previousPresentNs);
        row.msInPresent = Milliseconds(p.endNs - p.beginNs);
        row.syncInterval = static_cast<uint8_t>(std::min(p.syncInterval, 255u));
        row.presentFlags = static_cast<uint16_t>(std::min(p.flags, 65535u));
        log.pending[log.nextPending] = FrameLog::Pending{p.frame, log.rows};
        log.nextPending = (log.nextPending + 1) % std::size(log.pending);
        log.lastTaken = true;
    }
    log.blocks[block].push_back(row);
    log.rows += 1;
}

void LogGpuPassTimes(FrameLog& log, const GpuPassTimes& times)
{
    if (!log.enabled || times.frame == 0) {
        return;
    }
    for (const FrameLog::Pending& p : log.pending) {
        if (p.frame == times.frame && p.row < log.rows) {
            FrameLogRow& row = log.blocks[p.row / kFrameLogBlockRows][p.row % kFrameLogBlockRows];
            row.gpuPhysicsMs = static_cast<float>(times.physicsMs);
            row.gpuRenderMs = static_cast<float>(times.renderMs);
            return;
        }
    }
}

void PrepareFrameLog(FrameLog& log, double nextRunSeconds)
{
    if (!log.enabled || !log.started) {
        return;
    }
    const double seconds = static_cast<double>(log.last.beginNs - log.prepareNs) * 1e-9;
    const double fps = seconds > 0.0 ? static_cast<double>(log.presentsSincePrepare) / seconds : 0.0;
    log.presentsSincePrepare = 0;
    log.prepareNs = log.last.beginNs;
    const double wanted = std::min(fps * nextRunSeconds * 1.25, static_cast<double>(log.maxRows));
    const size_t rows = std::min(log.maxRows, log.rows + static_cast<size_t>(wanted));
    // Every block up to that line is allocated and its pages touched now (the
    // values are overwritten before they are read), not by measured frames.
    for (size_t block = log.rows / kFrameLogBlockRows; block * kFrameLogBlockRows < rows; ++block) {
        if (block == log.blocks.size()) {
            log.blocks.emplace_back();
        }
        std::vector<FrameLogRow>& lines = log.blocks[block];
        if (lines.capacity() < kFrameLogBlockRows) {
            lines.reserve(kFrameLogBlockRows);
        }
        const size_t used = lines.size();
        lines.resize(kFrameLogBlockRows);
        lines.resize(used);
    }
}

const FrameLogRow& FrameLogLine(const FrameLog& log, size_t i)
{
    return log.blocks[i / kFrameLogBlockRows][i % kFrameLogBlockRows];
}

int FrameLogRun(const FrameLog& log, size_t i)
{
    return static_cast<int>(std::upper_bound(log.runStarts.begin(), log.runStarts.end(), i) - log.runStarts.begin());
}

std::string FrameLogFileName(const std::string& reportPath)
{
    return ReportBaseName(reportPath) + "_frames.csv";
}

bool WriteFrameLog(BenchmarkRecorder& r, BenchmarkHost& host)
{
    FrameLog& log = r.frameLog;
    log.path = FrameLogFileName(r.reportPath);
    log.written = false;
    log.framesWritten = 0;
    const RunEnvironment environment = host.DescribeEnvironment();
    bool gpuTimes = false;
    for (size_t i = 0; i < log.rows && !gpuTimes; ++i) {
        gpuTimes = !std::isnan(FrameLogLine(log, i).gpuPhysicsMs);
    }
    // The columns every line starts with that hold the same on each line.
    std::string fixed = CsvField(environment.executableName) + ",";
    AppendInteger(fixed, environment.processId);
    fixed += ",DXGI,";

    const std::string temporary = log.path + ".partial";
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    std::string text = "Application,ProcessID,Runtime,SyncInterval,PresentFlags,AllowsTearing,TimeInSeconds,"
                       "MsBetweenPresents,MsInPresentAPI,Run,";
    text += gpuTimes ? "GpuPhysicsMs,GpuRenderMs,Debris,Balls,Bricks,IsOutlierRecord\r\n"
                     : "Debris,Balls,Bricks,IsOutlierRecord\r\n";
    OutlierCursor outliers(r.runs);
    for (size_t i = 0; i < log.rows && file; ++i) {
        const FrameLogRow& row = FrameLogLine(log, i);
        const int run = FrameLogRun(log, i);
        bool outlier = false;
        if (!outliers.Next(run, outlier)) {
            continue;  // a frame of a run that was not kept
        }
        text += fixed;
        if (!std::isnan(row.msInPresent)) {
            AppendInteger(text, row.syncInterval);
            text += ',';
            AppendInteger(text, row.presentFlags);
            text += (row.presentFlags & kPresentAllowTearing) != 0 ? ",1," : ",0,";
            AppendFixed(text, static_cast<double>(row.presentNs - log.originNs) * 1e-9, 7);
        } else {
            text += ",,,";
        }
        text += ',';
        AppendFixed(text, row.msBetweenPresents, 4);
        text += ',';
        AppendFixed(text, row.msInPresent, 4);
        text += ',';
        AppendInteger(text, run);
        text += ',';
        if (gpuTimes) {
            AppendFixed(text, row.gpuPhysicsMs, 4);
            text += ',';
            AppendFixed(text, row.gpuRenderMs, 4);
            text += ',';
        }
        AppendInteger(text, row.debris);
        text += ',';
        AppendInteger(text, row.balls);
        text += ',';
        AppendInteger(text, row.bricks);
        text += outlier ? ",1\r\n" : ",0\r\n";
        log.framesWritten += 1;
        if (text.size() >= (size_t{1} << 20)) {
            file.write(text.data(), static_cast<std::streamsize>(text.size()));
            text.clear();
        }
    }
    if (file) {
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
        file.close();
    }
    // The lines are written or lost: either way their memory goes back now.
    log.blocks = {};
    log.runStarts.clear();
    log.rows = 0;
    std::error_code error;
    if (file) {
        std::filesystem::rename(temporary, log.path, error);
    }
    if (!file || error) {
        std::remove(temporary.c_str());
        DebugLog(host, 512, "ERROR: Could not write the frame log %s\n", log.path.c_str());
        return false;
    }
    log.written = true;
    DebugLog(host, 512, "Frame log written to %s\n", log.path.c_str());
    return true;
}
