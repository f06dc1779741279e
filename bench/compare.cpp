#include "bench/compare.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

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

// Whether a results document holds optional field `key` (its type is checked
// when it is read).
bool Has(const Json& object, const char* key)
{
    return object.contains(key);
}

bool ReadGpu(DocumentReader& in, const Json& run, const std::string& where, ComparedRun& out)
{
    if (!Has(run, "gpu")) {
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

// The size the run rendered; files written before the program recorded it
// rendered the size asked for, as far as they know.
bool ReadRenderedSize(DocumentReader& in, const Json& run, const std::string& where, const ResultsFileContent& file,
                      ComparedRun& out)
{
    out.renderedWidth = file.width;
    out.renderedHeight = file.height;
    if (!Has(run, "renderedWidth") && !Has(run, "renderedHeight")) {
        return true;
    }
    return in.Count(run, "renderedWidth", where, out.renderedWidth) &&
           in.Count(run, "renderedHeight", where, out.renderedHeight) &&
           (!Has(run, "renderedSizeChanged") || in.Flag(run, "renderedSizeChanged", where, out.renderedSizeChanged));
}

// A run's length in seconds as the benchmark plays it.
double RunLengthSeconds(bool deterministic)
{
    return deterministic ? 60.0 : 40.0;
}

bool ReadRecords(DocumentReader& in, const Json& records, const std::string& where, int version, ComparedRun& out)
{
    double previousIndex = -1.0;
    for (size_t i = 0; i < records.size(); ++i) {
        const Json& record = records[i];
        const std::string at = where + ".records[" + std::to_string(i) + "]";
        if (!record.is_object()) {
            return in.Fail("\"" + at + "\" is not an object");
        }
        ComparedRecord r;
        uint32_t frameCount = 0;
        if (!in.Number(record, "avgFps", at, r.avgFps) || !in.Count(record, "frameCount", at, frameCount)) {
            return false;
        }
        r.frameCount = frameCount;
        if (version == 1) {
            uint32_t index = 0;
            if (!in.Count(record, "time", at, index)) {
                return false;
            }
            if (index <= previousIndex) {
                return in.Fail(Named(at, "time") + " does not follow the record before it");
            }
            r.startSeconds = index / 10.0;
            r.durationSeconds = (index - previousIndex) / 10.0;
            previousIndex = index;
        } else if (!in.Number(record, "startSeconds", at, r.startSeconds) ||
                   !in.Number(record, "durationSeconds", at, r.durationSeconds)) {
            return false;
        } else if (!(r.durationSeconds > 0.0)) {
            return in.Fail(Named(at, "durationSeconds") + " is not above 0");
        }
        out.records.push_back(r);
    }
    if (out.records.empty()) {
        return in.Fail("\"" + where + ".records\" is empty");
    }
    if (version == 1) {
        out.measuredSeconds = (previousIndex + 1.0) / 10.0;
    }
    return true;
}

bool ReadRun(DocumentReader& in, const Json& run, const std::string& where, const ResultsFileContent& file,
             ComparedRun& out)
{
    if (!run.is_object()) {
        return in.Fail("\"" + where + "\" is not an object");
    }
    const std::string frames = where + ".frameTimes";
    const Json* frameTimes = nullptr;
    const Json* records = nullptr;
    if (!in.Number(run, "score", where, out.score) ||
        (frameTimes = in.Typed(run, "frameTimes", where, Json::value_t::object)) == nullptr ||
        !in.Number(*frameTimes, "low1PercentFps", frames, out.low1PercentFps) ||
        !in.Number(*frameTimes, "low01PercentFps", frames, out.low01PercentFps) ||
        !in.Number(*frameTimes, "p50Ms", frames, out.p50Ms) || !in.Number(*frameTimes, "p95Ms", frames, out.p95Ms) ||
        !in.Number(*frameTimes, "p99Ms", frames, out.p99Ms) || !ReadGpu(in, run, where, out) ||
        !ReadRenderedSize(in, run, where, file, out) ||
        (file.formatVersion >= 2 && (!in.Flag(run, "complete", where, out.complete) ||
                                     !in.Number(run, "measuredSeconds", where, out.measuredSeconds))) ||
        (records = in.Typed(run, "records", where, Json::value_t::array)) == nullptr ||
        !ReadRecords(in, *records, where, file.formatVersion, out)) {
        return false;
    }
    if (file.formatVersion == 1) {
        out.complete = out.measuredSeconds >= RunLengthSeconds(file.deterministic);
    }
    return true;
}

// Where a document that cannot be parsed goes wrong: the path of the value
// being read when the parser stopped, and why.
class ParseFailureLocator : public nlohmann::json_sax<Json> {
public:
    std::string problem;

    bool null() override { return Value(); }
    bool boolean(bool) override { return Value(); }
    bool number_integer(number_integer_t) override { return Value(); }
    bool number_unsigned(number_unsigned_t) override { return Value(); }
    bool number_float(number_float_t, const string_t&) override { return Value(); }
    bool string(string_t&) override { return Value(); }
    bool binary(binary_t&) override { return Value(); }
    bool start_object(std::size_t) override { return Open(false); }
    bool key(string_t& key) override
    {
        levels_.back().key = key;
        return true;
    }
    bool end_object() override { return Close(); }
    bool start_array(std::size_t) override { return Open(true); }
    bool end_array() override { return Close(); }
    bool parse_error(std::size_t position, const std::string& token, const nlohmann::detail::exception& e) override
    {
        if (e.id == 406) {
            // A number beyond the range of a double (1e400).
            std::string path;
            for (const Level& level : levels_) {
                if (level.array) {
                    path.append(1, '[').append(std::to_string(level.index)).append(1, ']');
                } else {
                    path.append(path.empty() ? "" : ".").append(level.key);
                }
            }
            problem.assign(1, '"').append(path).append("\" is ").append(token).append(", a number out of range");
        } else {
            problem = "not JSON (invalid at byte " + std::to_string(position) + ")";
        }
        return false;
    }

private:
    struct Level {
        bool array = false;
        std::string key;
        size_t index = 0;
    };
    bool Open(bool array)
    {
        levels_.push_back(Level{array, {}, 0});
        return true;
    }
    bool Close()
    {
        levels_.pop_back();
        return Value();
    }
    bool Value()
    {
        if (!levels_.empty() && levels_.back().array) {
            levels_.back().index += 1;
        }
        return true;
    }
    std::vector<Level> levels_;
};

}  // namespace

std::optional<ResultsFileContent> ParseResultsDocument(const std::string& text, const std::string& name,
                                                       std::string& problem)
{
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::exception&) {
        ParseFailureLocator locator;
        Json::sax_parse(text, &locator);
        problem = locator.problem.empty() ? std::string("not JSON") : locator.problem;
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
    if (!version.is_number_integer() || version.get<int64_t>() < kOldestReadFormatVersion ||
        version.get<int64_t>() > kNewestReadFormatVersion) {
        problem = "unknown formatVersion " + version.dump() + " (this program reads versions " +
                  std::to_string(kOldestReadFormatVersion) + " to " + std::to_string(kNewestReadFormatVersion) + ")";
        return std::nullopt;
    }

    DocumentReader in;
    ResultsFileContent file;
    file.name = name;
    file.formatVersion = version.get<int>();
    const Json* configuration = in.Typed(document, "configuration", "", Json::value_t::object);
    const Json* system = configuration != nullptr ? in.Typed(document, "system", "", Json::value_t::object) : nullptr;
    const Json* runs = system != nullptr ? in.Typed(document, "runs", "", Json::value_t::array) : nullptr;
    uint32_t adapterIndex = 0;
    const bool read = runs != nullptr && in.Count(*configuration, "width", "configuration", file.width) &&
                      in.Count(*configuration, "height", "configuration", file.height) &&
                      in.Count(*configuration, "raySteps", "configuration", file.raySteps) &&
                      in.Count(*configuration, "debrisCount", "configuration", file.debrisCount) &&
                      in.Flag(*configuration, "debrisEnabled", "configuration", file.debrisEnabled) &&
                      in.Text(*configuration, "presentMode", "configuration", file.presentMode) &&
                      in.Flag(*configuration, "deterministic", "configuration", file.deterministic) &&
                      in.Text(*system, "adapter", "system", file.adapter) &&
                      in.Text(*system, "driverVersion", "system", file.driverVersion) &&
                      (!Has(*system, "machineName") || in.Text(*system, "machineName", "system", file.machineName)) &&
                      (!Has(*system, "adapterChoice") ||
                       in.Text(*system, "adapterChoice", "system", file.adapterChoice)) &&
                      (!Has(*system, "adapterIndex") || in.Count(*system, "adapterIndex", "system", adapterIndex));
    if (read && Has(*system, "adapterIndex")) {
        file.adapterIndex = adapterIndex;
    }
    if (read && runs->empty()) {
        in.Fail("\"runs\" is empty");
    }
    if (read && in.problem.empty()) {
        for (size_t i = 0; i < runs->size(); ++i) {
            ComparedRun run;
            if (!ReadRun(in, (*runs)[i], "runs[" + std::to_string(i) + "]", file, run)) {
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

double FramesOverTime(const ComparedRun& run)
{
    double frames = 0.0;
    double seconds = 0.0;
    for (const ComparedRecord& r : run.records) {
        frames += static_cast<double>(r.frameCount);
        seconds += r.durationSeconds;
    }
    return seconds > 0.0 ? frames / seconds : 0.0;
}

const char* VerdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Faster: return "faster";
    case Verdict::Slower: return "slower";
    case Verdict::TooFewRuns: return "too few runs";
    case Verdict::TooFewRecords: return "too few records";
    case Verdict::WithinNoise: break;
    }
    return "within noise";
}

const char* const kVerdictRule =
    "Only complete runs count; runs cut short are left out. A change counts as faster or slower only when it is at "
    "least 1 % and significant. The score: Welch's t-test over the runs' scores gives p < 0.05; a score needs several "
    "runs in both files. The average FPS, frames over time: with several runs in both files, Welch's t-test over the "
    "runs' FPS gives p < 0.05; otherwise the bootstrap 95 % interval of the change (2000 resamples of the 0.1 s "
    "records within each run, fixed seed) excludes 0, which needs at least 30 records in every run.";

std::optional<double> ChangePercent(double baseline, double value)
{
    if (baseline == 0.0) {
        return std::nullopt;
    }
    return (value - baseline) / baseline * 100.0;
}

namespace {

std::vector<const ComparedRun*> CompleteRuns(const ResultsFileContent& file)
{
    std::vector<const ComparedRun*> runs;
    for (const ComparedRun& run : file.runs) {
        if (run.complete) {
            runs.push_back(&run);
        }
    }
    return runs;
}

template <typename Field>
std::vector<double> PerRun(const ResultsFileContent& file, Field field)
{
    std::vector<double> values;
    for (const ComparedRun* run : CompleteRuns(file)) {
        values.push_back(field(*run));
    }
    return values;
}

std::optional<double> Mean(const std::vector<double>& values)
{
    if (values.empty()) {
        return std::nullopt;
    }
    return Summarize(values).mean;
}

double Score(const ComparedRun& run) { return run.score; }

FileFigures Figures(const ResultsFileContent& file)
{
    FileFigures f;
    f.completeRuns = CompleteRuns(file).size();
    f.score = Mean(PerRun(file, Score));
    f.averageFps = Mean(PerRun(file, FramesOverTime));
    f.low1PercentFps = Mean(PerRun(file, [](const ComparedRun& r) { return r.low1PercentFps; }));
    f.low01PercentFps = Mean(PerRun(file, [](const ComparedRun& r) { return r.low01PercentFps; }));
    f.p50Ms = Mean(PerRun(file, [](const ComparedRun& r) { return r.p50Ms; }));
    f.p95Ms = Mean(PerRun(file, [](const ComparedRun& r) { return r.p95Ms; }));
    f.p99Ms = Mean(PerRun(file, [](const ComparedRun& r) { return r.p99Ms; }));
    bool allGpu = f.completeRuns > 0;
    std::vector<std::string> limits;
    for (const ComparedRun* run : CompleteRuns(file)) {
        allGpu = allGpu && run->gpuPhysicsMs && run->gpuRenderMs;
        if (!run->limitedBy.empty() && std::find(limits.begin(), limits.end(), run->limitedBy) == limits.end()) {
            limits.push_back(run->limitedBy);
            f.limitedBy += (f.limitedBy.empty() ? "" : ", ") + run->limitedBy;
        }
    }
    if (allGpu) {
        f.gpuPhysicsMs = Mean(PerRun(file, [](const ComparedRun& r) { return *r.gpuPhysicsMs; }));
        f.gpuRenderMs = Mean(PerRun(file, [](const ComparedRun& r) { return *r.gpuRenderMs; }));
    }
    return f;
}

// A faster or slower verdict when the change is significant and large enough.
void Decide(VerdictFigures& v, bool significant)
{
    if (significant && v.changePercent && std::fabs(*v.changePercent) >= kSmallestChangePercent) {
        v.verdict = *v.changePercent > 0.0 ? Verdict::Faster : Verdict::Slower;
    }
}

// Welch's t-test over the runs' values, which needs two runs or more on both sides.
VerdictFigures JudgeByRuns(const std::vector<double>& baseline, const std::vector<double>& values)
{
    VerdictFigures v;
    const std::optional<double> baselineMean = Mean(baseline);
    const std::optional<double> mean = Mean(values);
    if (baselineMean && mean) {
        v.changePercent = ChangePercent(*baselineMean, *mean);
    }
    if (baseline.size() < 2 || values.size() < 2) {
        v.verdict = Verdict::TooFewRuns;
        return v;
    }
    v.test = VerdictFigures::Test::Welch;
    v.p = WelchTTest(baseline, values).p;
    Decide(v, v.p < kSignificanceLevel);
    return v;
}

// The mean over the runs of each run's frames over time, its records drawn
// again with replacement.
double ResampledFps(const std::vector<const ComparedRun*>& runs, CrtRandom& random)
{
    double sum = 0.0;
    for (const ComparedRun* run : runs) {
        double frames = 0.0;
        double seconds = 0.0;
        for (size_t i = 0; i < run->records.size(); ++i) {
            const ComparedRecord& r = run->records[DrawIndex(random, run->records.size())];
            frames += static_cast<double>(r.frameCount);
            seconds += r.durationSeconds;
        }
        sum += frames / seconds;
    }
    return sum / static_cast<double>(runs.size());
}

// The frame rate: by Welch's t-test over the runs when both files have
// several; otherwise the bootstrap interval of the very change in percent,
// resampling each run's records.
VerdictFigures JudgeFps(const ResultsFileContent& baseline, const ResultsFileContent& file)
{
    VerdictFigures v = JudgeByRuns(PerRun(baseline, FramesOverTime), PerRun(file, FramesOverTime));
    const std::vector<const ComparedRun*> a = CompleteRuns(baseline);
    const std::vector<const ComparedRun*> b = CompleteRuns(file);
    if (v.test == VerdictFigures::Test::Welch || a.empty() || b.empty()) {
        return v;
    }
    for (const std::vector<const ComparedRun*>* runs : {&a, &b}) {
        for (const ComparedRun* run : *runs) {
            if (run->records.size() < kMinimumRecordsPerRun) {
                v.verdict = Verdict::TooFewRecords;
                return v;
            }
        }
    }
    v.verdict = Verdict::WithinNoise;
    v.test = VerdictFigures::Test::Bootstrap;
    // Every pair draws the same sequence, so the page repeats whatever the order of the files.
    CrtRandom random;
    random.Seed(kBootstrapSeed);
    v.changeInterval = BootstrapInterval95(
        [&a, &b](CrtRandom& r) {
            const double before = ResampledFps(a, r);
            return ChangePercent(before, ResampledFps(b, r));
        },
        random);
    Decide(v, v.changeInterval.Excludes(0.0));
    return v;
}

std::string Size(uint32_t width, uint32_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

// A list of names: "a", "a and b", "a, b and c".
std::string Listed(const std::vector<std::string>& names)
{
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : (i + 1 == names.size() ? " and " : ", ")) + names[i];
    }
    return text;
}

// The size a file's complete runs rendered, "" when they differ or there are none.
std::string RenderedSize(const ResultsFileContent& file)
{
    std::string size;
    for (const ComparedRun* run : CompleteRuns(file)) {
        const std::string s = Size(run->renderedWidth, run->renderedHeight);
        if (!size.empty() && s != size) {
            return "";
        }
        size = s;
    }
    return size;
}

std::vector<std::string> DifferingSettings(const std::vector<ResultsFileContent>& files)
{
    const ResultsFileContent& base = files.front();
    bool size = false, debris = false, raySteps = false, presentMode = false, deterministic = false;
    for (const ResultsFileContent& f : files) {
        size = size || RenderedSize(f) != RenderedSize(base);
        debris = debris || f.debrisEnabled != base.debrisEnabled || (f.debrisEnabled && f.debrisCount != base.debrisCount);
        raySteps = raySteps || f.raySteps != base.raySteps;
        presentMode = presentMode || f.presentMode != base.presentMode;
        deterministic = deterministic || f.deterministic != base.deterministic;
    }
    std::vector<std::string> differing;
    const std::pair<bool, const char*> settings[] = {{size, "rendered size"},
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

std::string OneDecimal(double value)
{
    char text[400];  // the largest double has 309 digits before the point
    std::snprintf(text, sizeof(text), "%.1f", value);
    return text;
}

// The adapter as the warnings name it: two cards of one model differ by their index.
std::string AdapterName(const ResultsFileContent& f)
{
    return f.adapterIndex ? f.adapter + " #" + std::to_string(*f.adapterIndex) : f.adapter;
}

std::vector<std::string> Warnings(const Comparison& c)
{
    std::vector<std::string> warnings;
    if (!c.differingSettings.empty()) {
        std::string settings;
        for (const std::string& setting : c.differingSettings) {
            settings += (settings.empty() ? "" : ", ") + setting;
        }
        warnings.push_back("The configurations differ: " + settings +
                           ". The files did not measure the same work, so their differences are not the hardware's "
                           "alone.");
    }
    std::vector<std::string> free, versionOne, versionTwo;
    std::vector<std::pair<std::string, std::vector<std::string>>> machines;  // machine name, "file (adapter)"
    for (const ResultsFileContent& f : c.files) {
        std::vector<std::string> sizes;
        for (size_t i = 0; i < f.runs.size(); ++i) {
            const ComparedRun& run = f.runs[i];
            const std::string which = f.name + ": run " + std::to_string(i + 1);
            if (!run.complete) {
                warnings.push_back(which + " was cut short at " + OneDecimal(run.measuredSeconds) + " s of its " +
                                   std::to_string(static_cast<int>(RunLengthSeconds(f.deterministic))) +
                                   " s; it is left out of the figures and the verdicts.");
                continue;
            }
            if (run.renderedSizeChanged) {
                warnings.push_back(which + " changed its rendered size during the run.");
            }
            const std::string size = Size(run.renderedWidth, run.renderedHeight);
            if (std::find(sizes.begin(), sizes.end(), size) == sizes.end()) {
                sizes.push_back(size);
            }
        }
        if (sizes.size() > 1) {
            warnings.push_back(f.name + ": the runs rendered different sizes (" + Listed(sizes) + ").");
        }
        if (!f.deterministic) {
            free.push_back(f.name);
        }
        (f.formatVersion == 1 ? versionOne : versionTwo).push_back(f.name);
        if (!f.machineName.empty()) {
            auto machine = std::find_if(machines.begin(), machines.end(),
                                        [&f](const auto& m) { return m.first == f.machineName; });
            if (machine == machines.end()) {
                machine = machines.insert(machines.end(), {f.machineName, {}});
            }
            machine->second.push_back(f.name + " (" + AdapterName(f) + ")");
        }
    }
    for (const auto& [machine, measured] : machines) {
        std::vector<std::string> adapters;
        for (const ResultsFileContent& f : c.files) {
            const std::string adapter = AdapterName(f);
            if (f.machineName == machine && std::find(adapters.begin(), adapters.end(), adapter) == adapters.end()) {
                adapters.push_back(adapter);
            }
        }
        if (adapters.size() > 1) {
            warnings.push_back("Different adapters were measured on the same machine, " + machine + ": " +
                               Listed(measured) + ".");
        }
    }
    if (!free.empty()) {
        warnings.push_back(Listed(free) + (free.size() == 1 ? " was" : " were") +
                           " not deterministic: gameplay alone moves a free run's score (12 runs at exactly 60 FPS "
                           "scored 2975 to 3484). Compare benchmarks run with --deterministic.");
    }
    if (!versionOne.empty() && !versionTwo.empty()) {
        warnings.push_back("The scores of " + Listed(versionOne) +
                           " (results format 1) weigh each frame by 1 / its time, at most 400 FPS, and do not compare "
                           "with the scores of format 2 files; the frame rates here are frames over time in both.");
    }
    return warnings;
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
    for (const ResultsFileContent& file : c.files) {
        c.score.push_back(JudgeByRuns(PerRun(base, Score), PerRun(file, Score)));
        c.averageFps.push_back(JudgeFps(base, file));
    }
    c.differingSettings = DifferingSettings(c.files);
    c.warnings = Warnings(c);
    return c;
}

std::string ComparisonFileName(const std::tm& localTime)
{
    char stamp[64];
    std::strftime(stamp, sizeof(stamp), "%Y-%m-%d_%H%M%S", &localTime);
    return std::string("comparison_") + stamp + ".html";
}

std::vector<std::pair<double, double>> PercentileCurve(const ResultsFileContent& file)
{
    std::vector<std::pair<double, int64_t>> records;  // mean frame time ms, frames
    int64_t frames = 0;
    for (const ComparedRun* run : CompleteRuns(file)) {
        for (const ComparedRecord& r : run->records) {
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
    int64_t upTo = records[0].second;  // frames up to and including records[at]
    for (int64_t percent = 0; percent <= 100; ++percent) {
        // The nearest rank, ceil(percent x frames / 100), in integers (and at least 1).
        const int64_t rank =
            std::max<int64_t>(1, frames / 100 * percent + (frames % 100 * percent + 99) / 100);
        while (upTo < rank && at + 1 < records.size()) {
            upTo += records[++at].second;
        }
        curve.emplace_back(static_cast<double>(percent), records[at].first);
    }
    return curve;
}
