#include "bench/results_file.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "bench/benchmark.h"
#include "bench/benchmark_host.h"
#include "bench/gpu_timing.h"
#include "bench/recorder.h"
#include "bench/significance.h"
#include "bench/statistics.h"
#include "bench/stress.h"

namespace {

using Json = nlohmann::ordered_json;

Json Configuration(const BenchmarkRecorder& r, const RunEnvironment& environment)
{
    const BenchmarkConfig& c = r.config;
    return Json{{"width", c.width},
                {"height", c.height},
                {"raySteps", c.raySteps},
                {"debrisEnabled", c.debrisEnabled},
                {"debrisCount", c.debrisCount},
                {"presentMode", environment.presentMode},
                {"runs", c.stressLoops > 0 ? "stress" : (c.singleRun ? "single" : "multi")},
                {"deterministic", c.deterministic}};
}

Json System(const RunEnvironment& e, const MeasuredAdapter& adapter)
{
    Json system{{"machineName", e.machineName}, {"adapter", e.adapter}};
    if (adapter.index >= 0) {
        // Where the adapter stands in --list-adapters, and whether the user named it.
        system["adapterIndex"] = adapter.index;
        system["adapterChoice"] = adapter.asked ? "asked" : "default";
    }
    system["vendorId"] = e.vendorId;
    system["deviceId"] = e.deviceId;
    system["dedicatedVideoMemory"] = e.dedicatedVideoMemory;
    system["driverVersion"] = e.driverVersion;
    system["windowsVersion"] = e.windowsVersion;
    return system;
}

Json Records(const RunResult& run)
{
    Json records = Json::array();
    for (const TenthRecord& s : run.records) {
        records.push_back(Json{{"startSeconds", s.startSeconds},
                               {"durationSeconds", s.durationSeconds},
                               {"avgFps", s.avgFps},
                               {"minFps", s.minFps},
                               {"maxFps", s.maxFps},
                               {"medianFps", s.medianFps},
                               {"debris", s.debris},
                               {"bricks", s.bricks},
                               {"balls", s.balls},
                               {"frameCount", s.frameCount},
                               {"isOutlier", s.isOutlier}});
        if (s.gpuFrames > 0) {
            records.back()["gpuPhysicsMs"] = s.gpuPhysicsMs;
            records.back()["gpuRenderMs"] = s.gpuRenderMs;
        }
    }
    return records;
}

Json PassFigures(const GpuPassFigures& f)
{
    return Json{{"mean", f.meanMs}, {"p50", f.p50Ms}, {"p95", f.p95Ms}, {"p99", f.p99Ms}};
}

// GPU milliseconds per pass and the share of the frame time the GPU was busy;
// left out when the device gave no timestamps.
void AddGpuFigures(Json& json, const RunResult& run)
{
    if (const std::optional<GpuRunFigures> gpu = ComputeGpuRunFigures(run)) {
        json["gpu"] = Json{{"frames", gpu->frames},
                           {"physicsMs", PassFigures(gpu->physics)},
                           {"renderMs", PassFigures(gpu->render)},
                           {"busyPercent", gpu->busyPercent}};
        json["limitedBy"] = gpu->limitedBy;
    }
}

Json Run(const RunResult& run, size_t number, const BenchmarkConfig& config)
{
    const FrameTimeFigures f = ComputeFrameTimeFigures(run.frameTimes);
    Json result{{"run", number},
                {"complete", run.complete},
                {"measuredSeconds", run.measuredSeconds},
                {"score", run.score},
                {"averageFps", run.avg},
                {"cleanedFps", run.cleaned},
                {"minFps", run.min},
                {"maxFps", run.max},
                {"medianFps", run.median},
                {"cleanedMinFps", run.cleanedMin},
                {"cleanedMaxFps", run.cleanedMax},
                {"outliers", run.outliers},
                {"totalFrames", run.totalFrames},
                {"averageDebris", run.avgDebris},
                {"averageBalls", run.avgBalls},
                {"averageBricks", run.avgBricks},
                {"renderedWidth", run.width},
                {"renderedHeight", run.height},
                {"renderedSizeChanged", run.sizeChanged},
                {"renderedSizeNote", RenderedSizeNote(run, config)},
                {"frameTimes",
                 Json{{"frames", f.frames},
                      {"framesNotKept", run.frameTimesDropped},
                      {"low1PercentFps", f.low1PercentFps},
                      {"low01PercentFps", f.low01PercentFps},
                      {"p50Ms", f.p50Ms},
                      {"p95Ms", f.p95Ms},
                      {"p99Ms", f.p99Ms}}}};
    AddGpuFigures(result, run);
    if (run.videoMemory) {
        result["videoMemory"] = Json{{"peakUsageBytes", run.videoMemory->peakUsageBytes},
                                     {"budgetBytes", run.videoMemory->budgetBytes}};
    }
    if (run.occluded) {
        result["occluded"] = true;  // the window could not be seen for part of the run
    }
    result["records"] = Records(run);
    return result;
}

Json AcrossRuns(const BenchmarkRecorder& r)
{
    const CrossRunFigures f = ComputeCrossRunFigures(r.runs);
    Json across{{"meanScore", f.meanScore},       {"meanCleanedFps", f.meanCleaned}, {"meanDebris", f.meanDebris},
                {"meanBalls", f.meanBalls},       {"meanBricks", f.meanBricks},      {"totalOutliers", f.totalOutliers},
                {"framesPerRun", f.framesPerRun}};
    if (r.config.deterministic && r.runs.size() > 1) {
        across["frameCountRangePercent"] = f.frameCountRange;
        across["scoreRangePercent"] = f.scoreRange;
    }
    // How far the runs' scores agree: their spread, and where the mean score
    // lies with 95 % confidence (Student's t).
    std::vector<double> scores;
    for (const RunResult& run : r.runs) {
        scores.push_back(run.score);
    }
    const std::optional<double> variation = CoefficientOfVariationPercent(scores);
    const std::optional<Interval> interval = MeanConfidenceInterval95(scores);
    if (!r.config.singleRun && variation && interval) {
        across["scoreCoefficientOfVariationPercent"] = *variation;
        across["meanScoreConfidenceInterval95"] = Json{{"low", interval->low}, {"high", interval->high}};
    }
    return across;
}

// A stress test's loops (its runs) and what they say: the stability, the
// verdict against 97 % and the trend. Figures that need complete loops are
// left out where there are none (or, for the trend, fewer than two).
Json Stress(const BenchmarkRecorder& r)
{
    const StressFigures f = ComputeStressFigures(r);
    Json loops = Json::array();
    for (size_t i = 0; i < f.loops.size(); ++i) {
        // The very figures of runs[i], written as they are there.
        const RunResult& run = r.runs[i];
        loops.push_back(Json{{"loop", i + 1}, {"averageFps", run.avg}, {"score", run.score}, {"complete", run.complete}});
    }
    Json stress{{"loopsAsked", f.loopsAsked},
                {"loopSeconds", f.loopSeconds},
                {"shortenedForTests", f.shortenedForTests},
                {"loopsComplete", f.loopsComplete},
                {"complete", f.complete},
                {"loops", loops},
                {"passPercent", kStressPassPercent}};
    if (f.stabilityPercent) {
        stress["stabilityPercent"] = *f.stabilityPercent;
        stress["worstLoop"] = f.worstLoop;
        stress["bestLoop"] = f.bestLoop;
    }
    if (f.trendPercent) {
        stress["trendPercent"] = *f.trendPercent;
    }
    stress["verdict"] = StressVerdictText(f.verdict);
    return stress;
}

}  // namespace

std::string BuildResultsDocument(const BenchmarkRecorder& r, const RunEnvironment& environment)
{
    Json runs = Json::array();
    for (size_t i = 0; i < r.runs.size(); ++i) {
        runs.push_back(Run(r.runs[i], i + 1, r.config));
    }
    Json document{{"formatVersion", kResultsFormatVersion}, {"report", r.reportPath}};
    if (!r.endedByDeviceLoss.empty()) {
        document["endedByDeviceLoss"] = r.endedByDeviceLoss;  // the runs stop where the device was lost
    }
    if (r.frameLog.written) {
        // Every sampled frame, in the file beside this one; frames beyond the log's bound are only counted.
        document["frameLog"] = Json{{"file", r.frameLog.path},
                                    {"frames", r.frameLog.framesWritten},
                                    {"framesNotKept", r.frameLog.framesNotLogged}};
    }
    document["configuration"] = Configuration(r, environment);
    document["system"] = System(environment, r.adapter);
    document["runs"] = runs;
    document["acrossRuns"] = AcrossRuns(r);
    if (r.config.stressLoops > 0) {
        document["stress"] = Stress(r);
    }
    return document.dump(2) + "\n";
}

std::string ReportBaseName(const std::string& reportPath)
{
    const std::string html = ".html";
    const bool endsInHtml = reportPath.size() >= html.size() &&
                            reportPath.compare(reportPath.size() - html.size(), html.size(), html) == 0;
    return endsInHtml ? reportPath.substr(0, reportPath.size() - html.size()) : reportPath;
}

std::string ResultsFileName(const std::string& reportPath)
{
    return ReportBaseName(reportPath) + ".json";
}

bool WriteResultsFile(BenchmarkRecorder& r, BenchmarkHost& host)
{
    r.resultsPath = ResultsFileName(r.reportPath);
    r.resultsWritten = false;
    const std::string document = BuildResultsDocument(r, host.DescribeEnvironment());
    const std::string temporary = r.resultsPath + ".partial";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (file) {
            file.write(document.data(), static_cast<std::streamsize>(document.size()));
            file.close();
        }
        if (!file) {
            std::remove(temporary.c_str());
            DebugLog(host, 512, "ERROR: Could not write the results file %s\n", r.resultsPath.c_str());
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, r.resultsPath, error);
    if (error) {
        std::remove(temporary.c_str());
        DebugLog(host, 512, "ERROR: Could not write the results file %s (%s)\n", r.resultsPath.c_str(),
                 error.message().c_str());
        return false;
    }
    r.resultsWritten = true;
    DebugLog(host, 512, "Results written to %s\n", r.resultsPath.c_str());
    return true;
}
