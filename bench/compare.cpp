#include "bench/compare.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

#include "bench/results_file.h"
#include "game/random.h"

namespace {

using Json = nlohmann::json;

// "where.key" in double quotes: how a message names a field.
std::string Named(const std::string& where, const char* key)
{
    std::string name(1, '"');
    if (!where.empty()) {
        name.append(where).append(1, '.');
    }
    return name.append(key).append(1, '"');
}

// Reads the fields of a results document, stopping at the first that is
// missing or of the wrong type; `problem` then names it by its path.
class DocumentReader {
public:
    std::string problem;

    const Json* Field(const Json& object, const char* key, const std::string& where)
    {
        const auto found = object.find(key);
        if (found == object.end()) {
            Fail(Named(where, key) + " is missing");
            return nullptr;
        }
        return &*found;
    }

    // The field `key` of `object`, of the type `expected` names (number_float: any number).
    const Json* Typed(const Json& object, const char* key, const std::string& where, Json::value_t expected)
    {
        const Json* value = Field(object, key, where);
        if (value == nullptr) {
            return nullptr;
        }
        const bool matches = expected == Json::value_t::number_float ? value->is_number() : value->type() == expected;
        if (!matches) {
            Fail(Named(where, key) + " is " + Article(value->type_name()) + " where " + Article(TypeName(expected)) +
                 " belongs");
            return nullptr;
        }
        return value;
    }

    bool Number(const Json& object, const char* key, const std::string& where, double& out)
    {
        const Json* value = Typed(object, key, where, Json::value_t::number_float);
        if (value != nullptr) {
            out = value->get<double>();
        }
        return value != nullptr;
    }

    bool Count(const Json& object, const char* key, const std::string& where, uint32_t& out)
    {
        double value = 0.0;
        if (!Number(object, key, where, value)) {
            return false;
        }
        if (value < 0.0 || value > 4294967295.0 || value != std::floor(value)) {
            Fail(Named(where, key) + " is not a whole number");
            return false;
        }
        out = static_cast<uint32_t>(value);
        return true;
    }

    bool Text(const Json& object, const char* key, const std::string& where, std::string& out)
    {
        const Json* value = Typed(object, key, where, Json::value_t::string);
        if (value != nullptr) {
            out = value->get<std::string>();
        }
        return value != nullptr;
    }

    bool Flag(const Json& object, const char* key, const std::string& where, bool& out)
    {
        const Json* value = Typed(object, key, where, Json::value_t::boolean);
        if (value != nullptr) {
            out = value->get<bool>();
        }
        return value != nullptr;
    }

    bool Fail(std::string text)
    {
        if (problem.empty()) {
            problem = std::move(text);
        }
        return false;
    }

private:
    static const char* TypeName(Json::value_t type)
    {
        switch (type) {
        case Json::value_t::string: return "string";
        case Json::value_t::boolean: return "boolean";
        case Json::value_t::object: return "object";
        case Json::value_t::array: return "array";
        default: return "number";
        }
    }
    static std::string Article(const std::string& typeName)
    {
        if (typeName == "null") {
            return "null";
        }
        return (typeName == "array" || typeName == "object" ? "an " : "a ") + typeName;
    }
};

bool ReadGpu(DocumentReader& in, const Json& run, const std::string& where, ComparedRun& out)
{
    if (!run.contains("gpu")) {
        return true;  // written before the program measured the GPU per pass, or without timestamps
    }
    const Json* gpu = in.Typed(run, "gpu", where, Json::value_t::object);
    if (gpu == nullptr) {
        return false;
    }
    const std::string at = where + ".gpu";
    const Json* physics = in.Typed(*gpu, "physicsMs", at, Json::value_t::object);
    const Json* render = physics != nullptr ? in.Typed(*gpu, "renderMs", at, Json::value_t::object) : nullptr;
    double physicsMean = 0.0;
    double renderMean = 0.0;
    if (render == nullptr || !in.Number(*physics, "mean", at + ".physicsMs", physicsMean) ||
        !in.Number(*render, "mean", at + ".renderMs", renderMean) || !in.Text(run, "limitedBy", where, out.limitedBy)) {
        return false;
    }
    out.gpuPhysicsMs = physicsMean;
    out.gpuRenderMs = renderMean;
    return true;
}

bool ReadRun(DocumentReader& in, const Json& run, const std::string& where, int64_t formatVersion, ComparedRun& out)
{
    if (!run.is_object()) {
        return in.Fail("\"" + where + "\" is not an object");
    }
    const std::string frames = where + ".frameTimes";
    const Json* frameTimes = nullptr;
    if (!in.Number(run, "score", where, out.score) || !in.Number(run, "averageFps", where, out.averageFps) ||
        (frameTimes = in.Typed(run, "frameTimes", where, Json::value_t::object)) == nullptr ||
        !in.Number(*frameTimes, "low1PercentFps", frames, out.low1PercentFps) ||
        !in.Number(*frameTimes, "low01PercentFps", frames, out.low01PercentFps) ||
        !in.Number(*frameTimes, "p50Ms", frames, out.p50Ms) || !in.Number(*frameTimes, "p95Ms", frames, out.p95Ms) ||
        !in.Number(*frameTimes, "p99Ms", frames, out.p99Ms) || !ReadGpu(in, run, where, out)) {
        return false;
    }
    const Json* records = in.Typed(run, "records", where, Json::value_t::array);
    if (records == nullptr) {
        return false;
    }
    for (size_t i = 0; i < records->size(); ++i) {
        const Json& record = (*records)[i];
        const std::string at = where + ".records[" + std::to_string(i) + "]";
        if (!record.is_object()) {
            return in.Fail("\"" + at + "\" is not an object");
        }
        ComparedRecord r;
        uint32_t frameCount = 0;
        // Version 1 numbers the tenths of a second; version 2 gives each
        // record's start in seconds.
        double start = 0.0;
        const bool timed = formatVersion == 1 ? in.Number(record, "time", at, r.time)
                                              : in.Number(record, "startSeconds", at, start);
        if (!timed || !in.Number(record, "avgFps", at, r.avgFps) || !in.Count(record, "frameCount", at, frameCount)) {
            return false;
        }
        if (formatVersion != 1) {
            r.time = std::round(start * 10.0);
        }
        r.frameCount = frameCount;
        out.records.push_back(r);
    }
    if (out.records.empty()) {
        return in.Fail("\"" + where + ".records\" is empty");
    }
    return true;
}

}  // namespace

std::optional<ResultsFileContent> ParseResultsDocument(const std::string& text, const std::string& name,
                                                       std::string& problem)
{
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::parse_error& e) {
        problem = "not JSON (invalid at byte " + std::to_string(e.byte) + ")";
        return std::nullopt;
    }
    if (!document.is_object() || !document.contains("formatVersion")) {
        problem = "not a results file of this program (no \"formatVersion\")";
        return std::nullopt;
    }
    const Json& version = document["formatVersion"];
    if (!version.is_number()) {
        problem = "\"formatVersion\" is not a number";
        return std::nullopt;
    }
    if (!version.is_number_integer() || version.get<int64_t>() < 1 || version.get<int64_t>() > kResultsFormatVersion) {
        problem = "unknown formatVersion " + version.dump() + " (this program reads versions 1 to " +
                  std::to_string(kResultsFormatVersion) + ")";
        return std::nullopt;
    }

    DocumentReader in;
    ResultsFileContent file;
    file.name = name;
    const Json* configuration = in.Typed(document, "configuration", "", Json::value_t::object);
    const Json* system = configuration != nullptr ? in.Typed(document, "system", "", Json::value_t::object) : nullptr;
    const Json* runs = system != nullptr ? in.Typed(document, "runs", "", Json::value_t::array) : nullptr;
    const bool read = runs != nullptr && in.Count(*configuration, "width", "configuration", file.width) &&
                      in.Count(*configuration, "height", "configuration", file.height) &&
                      in.Count(*configuration, "raySteps", "configuration", file.raySteps) &&
                      in.Count(*configuration, "debrisCount", "configuration", file.debrisCount) &&
                      in.Flag(*configuration, "debrisEnabled", "configuration", file.debrisEnabled) &&
                      in.Text(*configuration, "presentMode", "configuration", file.presentMode) &&
                      in.Flag(*configuration, "deterministic", "configuration", file.deterministic) &&
                      in.Text(*system, "adapter", "system", file.adapter) &&
                      in.Text(*system, "driverVersion", "system", file.driverVersion);
    if (read && runs->empty()) {
        in.Fail("\"runs\" is empty");
    }
    if (read && in.problem.empty()) {
        for (size_t i = 0; i < runs->size(); ++i) {
            ComparedRun run;
            if (!ReadRun(in, (*runs)[i], "runs[" + std::to_string(i) + "]", version.get<int64_t>(), run)) {
                break;
            }
            file.runs.push_back(std::move(run));
        }
    }
    if (!in.problem.empty()) {
        problem = in.problem;
        return std::nullopt;
    }
    return file;
}

std::optional<ResultsFileContent> ReadResultsFile(const std::filesystem::path& path, const std::string& name,
                                                  std::string& problem)
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        problem = "no such file";
        return std::nullopt;
    }
    if (std::filesystem::is_directory(status)) {
        problem = "a folder, not a results file";
        return std::nullopt;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > kMaxResultsFileBytes) {
        char text[128];
        std::snprintf(text, sizeof(text), "%.1f MB, larger than the %d MB a results file may have; not read",
                      static_cast<double>(size) / (1024.0 * 1024.0), static_cast<int>(kMaxResultsFileBytes >> 20));
        problem = text;
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file && !file.eof()) {
        problem = "cannot be read";
        return std::nullopt;
    }
    return ParseResultsDocument(text, name, problem);
}

const char* VerdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Faster: return "faster";
    case Verdict::Slower: return "slower";
    case Verdict::WithinNoise: break;
    }
    return "within noise";
}

const char* const kVerdictRule =
    "A change counts as faster or slower only when it is at least 1 % and significant: with several runs in both "
    "files, Welch's t-test over the runs' values gives p < 0.05; otherwise, the bootstrap 95 % confidence interval "
    "(2000 resamples, fixed seed) of the difference of the mean 0.1 s record FPS excludes 0.";

std::optional<double> ChangePercent(double baseline, double value)
{
    if (baseline == 0.0) {
        return std::nullopt;
    }
    return (value - baseline) / baseline * 100.0;
}

namespace {

template <typename Field>
std::vector<double> PerRun(const ResultsFileContent& file, Field field)
{
    std::vector<double> values;
    for (const ComparedRun& run : file.runs) {
        values.push_back(field(run));
    }
    return values;
}

double Mean(const std::vector<double>& values)
{
    return Summarize(values).mean;
}

std::vector<double> RecordFps(const ResultsFileContent& file)
{
    std::vector<double> fps;
    for (const ComparedRun& run : file.runs) {
        for (const ComparedRecord& record : run.records) {
            fps.push_back(record.avgFps);
        }
    }
    return fps;
}

FileFigures Figures(const ResultsFileContent& file)
{
    FileFigures f;
    f.score = Mean(PerRun(file, [](const ComparedRun& r) { return r.score; }));
    f.averageFps = Mean(PerRun(file, [](const ComparedRun& r) { return r.averageFps; }));
    f.low1PercentFps = Mean(PerRun(file, [](const ComparedRun& r) { return r.low1PercentFps; }));
    f.low01PercentFps = Mean(PerRun(file, [](const ComparedRun& r) { return r.low01PercentFps; }));
    f.p50Ms = Mean(PerRun(file, [](const ComparedRun& r) { return r.p50Ms; }));
    f.p95Ms = Mean(PerRun(file, [](const ComparedRun& r) { return r.p95Ms; }));
    f.p99Ms = Mean(PerRun(file, [](const ComparedRun& r) { return r.p99Ms; }));
    bool allGpu = true;
    for (const ComparedRun& run : file.runs) {
        allGpu = allGpu && run.gpuPhysicsMs && run.gpuRenderMs;
        if (!run.limitedBy.empty() && f.limitedBy.find(run.limitedBy) == std::string::npos) {
            f.limitedBy += (f.limitedBy.empty() ? "" : ", ") + run.limitedBy;
        }
    }
    if (allGpu) {
        f.gpuPhysicsMs = Mean(PerRun(file, [](const ComparedRun& r) { return *r.gpuPhysicsMs; }));
        f.gpuRenderMs = Mean(PerRun(file, [](const ComparedRun& r) { return *r.gpuRenderMs; }));
    }
    return f;
}

VerdictFigures Judge(const std::vector<double>& baselineRuns, const std::vector<double>& runs, double baselineMean,
                     double mean, const Interval& fpsDifference)
{
    VerdictFigures v;
    v.changePercent = ChangePercent(baselineMean, mean);
    v.welch = baselineRuns.size() > 1 && runs.size() > 1;
    bool significant = false;
    if (v.welch) {
        v.p = WelchTTest(baselineRuns, runs).p;
        significant = v.p < kSignificanceLevel;
    } else {
        v.fpsDifference = fpsDifference;
        significant = fpsDifference.Excludes(0.0);
    }
    if (significant && v.changePercent && std::fabs(*v.changePercent) >= kSmallestChangePercent) {
        v.verdict = *v.changePercent > 0.0 ? Verdict::Faster : Verdict::Slower;
    }
    return v;
}

std::vector<std::string> DifferingSettings(const std::vector<ResultsFileContent>& files)
{
    const ResultsFileContent& base = files.front();
    bool resolution = false, debris = false, raySteps = false, presentMode = false, deterministic = false;
    for (const ResultsFileContent& f : files) {
        resolution = resolution || f.width != base.width || f.height != base.height;
        debris = debris || f.debrisEnabled != base.debrisEnabled || (f.debrisEnabled && f.debrisCount != base.debrisCount);
        raySteps = raySteps || f.raySteps != base.raySteps;
        presentMode = presentMode || f.presentMode != base.presentMode;
        deterministic = deterministic || f.deterministic != base.deterministic;
    }
    std::vector<std::string> differing;
    const std::pair<bool, const char*> settings[] = {{resolution, "resolution"},
                                                     {debris, "debris"},
                                                     {raySteps, "ray steps"},
                                                     {presentMode, "present mode"},
                                                     {deterministic, "deterministic"}};
    for (const auto& [differs, setting] : settings) {
        if (differs) {
            differing.emplace_back(setting);
        }
    }
    return differing;
}

}  // namespace

Comparison CompareResults(std::vector<ResultsFileContent> files)
{
    Comparison c;
    c.files = std::move(files);
    if (c.files.empty()) {
        return c;
    }
    for (const ResultsFileContent& file : c.files) {
        c.figures.push_back(Figures(file));
    }
    const ResultsFileContent& base = c.files.front();
    const auto scores = [](const ResultsFileContent& f) { return PerRun(f, [](const ComparedRun& r) { return r.score; }); };
    const auto fps = [](const ResultsFileContent& f) { return PerRun(f, [](const ComparedRun& r) { return r.averageFps; }); };
    const std::vector<double> baseRecords = RecordFps(base);
    for (size_t i = 0; i < c.files.size(); ++i) {
        const ResultsFileContent& file = c.files[i];
        // Every pair draws the same sequence, so the page repeats whatever the order of the files.
        CrtRandom random;
        random.Seed(kBootstrapSeed);
        const Interval difference = BootstrapMeanDifference95(baseRecords, RecordFps(file), random);
        c.score.push_back(Judge(scores(base), scores(file), c.figures[0].score, c.figures[i].score, difference));
        c.averageFps.push_back(
            Judge(fps(base), fps(file), c.figures[0].averageFps, c.figures[i].averageFps, difference));
    }
    c.differingSettings = DifferingSettings(c.files);
    return c;
}

std::string ComparisonFileName(const std::tm& localTime)
{
    char stamp[64];
    std::strftime(stamp, sizeof(stamp), "%Y-%m-%d_%H%M%S", &localTime);
    return std::string("comparison_") + stamp + ".html";
}
