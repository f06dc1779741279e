#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <functional>
#include <tuple>

#include "app/compare_command.h"
#include "bench/compare.h"
#include "bench_files.h"
#include "fake_platform.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// A run: records cycling through (frames, seconds) pairs, and its score.
struct RunSpec {
    std::vector<std::pair<int, double>> pattern;
    double score = 2500.0;
    size_t records = 400;
    bool complete = true;
};

// 0.1 s records alternately 1 % below and above `fps`, scored 25 x fps.
RunSpec Around(double fps, size_t records = 100)
{
    RunSpec run{{}, 25.0 * fps, records};
    for (double f : {0.99 * fps, 1.01 * fps}) {
        const int frames = std::max(1, static_cast<int>(std::lround(f / 10.0)));
        run.pattern.emplace_back(frames, frames / f);
    }
    return run;
}

// A results document: version 1 records carry a 0.1 s index, version 2 a start and duration and runs completeness.
Json Document(int version, const std::vector<RunSpec>& runs, bool deterministic = true)
{
    Json list = Json::array();
    for (const RunSpec& spec : runs) {
        Json records = Json::array();
        double start = 0.0;
        for (size_t i = 0; i < spec.records; ++i) {
            const auto [frames, seconds] = spec.pattern[i % spec.pattern.size()];
            records.push_back({{"avgFps", frames / seconds}, {"frameCount", frames}});
            records.back().update(version == 1 ? Json{{"time", i}} : Json{{"startSeconds", start}, {"durationSeconds", seconds}});
            start += seconds;
        }
        Json run{{"score", spec.score}, {"renderedWidth", 854}, {"renderedHeight", 480}, {"records", records},
                 {"frameTimes", {{"low1PercentFps", 50.0}, {"low01PercentFps", 40.0}, {"p50Ms", 10.0}, {"p95Ms", 12.5}, {"p99Ms", 20.0}}}};
        if (version == 2) {
            run.update({{"complete", spec.complete}, {"measuredSeconds", start}});
        }
        list.push_back(run);
    }
    return Json{{"formatVersion", version},
                {"configuration", {{"width", 854}, {"height", 480}, {"raySteps", 72}, {"debrisEnabled", true},
                                   {"debrisCount", 80}, {"presentMode", "off"}, {"deterministic", deterministic}}},
                {"system", {{"adapter", "Test Adapter"}, {"driverVersion", "31.0.15.5222"}}},
                {"runs", list}};
}

std::vector<RunSpec> Runs(std::vector<double> fps, double scale = 1.0, size_t records = 100)
{
    std::vector<RunSpec> runs;
    std::transform(fps.begin(), fps.end(), std::back_inserter(runs), [&](double f) { return Around(f * scale, records); });
    return runs;
}

ResultsFileContent Content(const Json& document, const std::string& name)
{
    std::string problem;
    std::optional<ResultsFileContent> content = ParseResultsDocument(document.dump(), name, problem);
    EXPECT_TRUE(content) << name << ": " << problem;
    return content.value_or(ResultsFileContent{});
}

Comparison Compare(const Json& a, const Json& b)
{
    return CompareResults({Content(a, "a.json"), Content(b, "b.json")});
}

void Write(const std::string& name, const std::string& text) { std::ofstream(name, std::ios::binary) << text; }

const std::tm kNow = RecordingPlatform().now;  // the time the command names its page by
const std::vector<double> kTightRuns = {100.0, 100.4, 99.6, 100.2};

}  // namespace

// Only complete runs count; change and evidence measure one quantity (the score, or frames over time).
TEST(Compare, VerdictsWeighTheChangeAgainstTheFilesOwnSpread)
{
    std::vector<RunSpec> withCutShort = Runs(kTightRuns);
    withCutShort.push_back(RunSpec{Around(300.0).pattern, 9999.0, 40, false});
    // 21 frames in 0.6 s (35 FPS) against 50 FPS, though the mean of the first file's record rates (2, 200) is 101.
    const RunSpec uneven{{{1, 0.5}, {20, 0.1}}, 875.0}, steady{{{5, 0.1}}, 1250.0};
    const struct {
        const char* what;
        Json a, b;
        const char* verdicts;  // of the score and of the frame rate (Welch's with several runs, else the bootstrap's)
        double change;         // of both, in percent
    } cases[] = {
        {"10 % faster with tight runs", Document(2, Runs(kTightRuns)), Document(2, Runs(kTightRuns, 1.1)), "faster faster", 10.0},
        {"0.5 % faster: significant, under 1 %", Document(2, Runs({100, 100.02, 99.98, 100})),
         Document(2, Runs({100, 100.02, 99.98, 100}, 1.005)), "within noise within noise", 0.5},
        {"a cut-short run of 300 FPS", Document(2, Runs(kTightRuns)), Document(2, withCutShort), "within noise within noise", 0.0},
        {"single run 10 % faster, version 1 baseline", Document(1, Runs({100}, 1.0, 600)), Document(2, Runs({100}, 1.1)),
         "too few runs faster", 10.0},
        {"single run 3 % slower", Document(2, Runs({100})), Document(2, Runs({97})), "too few runs slower", -3.0},
        {"frames over time, not record rates", Document(2, {uneven}), Document(2, {steady}), "too few runs faster",
         (50.0 / 35.0 - 1.0) * 100.0},
        {"single runs of 29 records", Document(2, Runs({100}, 1.0, 29)), Document(2, Runs({100}, 1.1, 29)),
         "too few runs too few records", 10.0},
    };
    for (const auto& c : cases) {
        const Comparison comparison = Compare(c.a, c.b);
        const VerdictFigures& score = comparison.score[1];
        const VerdictFigures& fps = comparison.averageFps[1];
        EXPECT_EQ(VerdictText(score.verdict) + std::string(" ") + VerdictText(fps.verdict), c.verdicts) << c.what;
        EXPECT_NEAR(fps.changePercent.value_or(-1000.0), c.change, 0.1) << c.what;
        EXPECT_NEAR(score.changePercent.value_or(-1000.0), c.change, 0.1) << c.what;
        if (fps.test == VerdictFigures::Test::Bootstrap) {
            EXPECT_TRUE(fps.changeInterval.low <= *fps.changePercent && *fps.changePercent <= fps.changeInterval.high)
                << c.what << ": " << fps.changeInterval.low << " to " << fps.changeInterval.high;
        }
    }
}

TEST(Compare, WarnsOfWhatMakesTheFilesMeasureDifferentWork)
{
    const Json base = Document(2, Runs({100, 100}));
    const auto machine = [](Json& d, const char* name, const char* adapter, int index) {
        d["system"]["machineName"] = name, d["system"]["adapter"] = adapter, d["system"]["adapterIndex"] = index;
    };
    const std::string cutShort = " s; it is left out of the figures and the verdicts.";
    const std::string free = " not deterministic: gameplay alone moves a free run's score (12 runs at exactly 60 FPS "
                             "scored 2975 to 3484). Compare benchmarks run with --deterministic.";
    const auto differ = [](const std::string& settings) {
        return "The configurations differ: " + settings + ". The files did not measure the same work, so their differences "
                                                          "are not the hardware's alone.";
    };
    const struct {
        const char* what;
        std::function<void(Json&, Json&)> change;  // of the first and the second file
        std::vector<std::string> warnings;
    } cases[] = {
        {"another adapter on another machine", [&](Json& a, Json& b) { machine(a, "LAB-1", "A", 0), machine(b, "LAB-2", "B", 0); }, {}},
        {"two adapters on one machine", [&](Json& a, Json& b) { machine(a, "LAB-1", "A", 0), machine(b, "LAB-1", "B", 1); },
         {"Different adapters were measured on the same machine, LAB-1: a.json (A #0) and b.json (B #1)."}},
        {"two cards of one model on one machine", [&](Json& a, Json& b) { machine(a, "LAB", "A", 0), machine(b, "LAB", "A", 1); },
         {"Different adapters were measured on the same machine, LAB: a.json (A #0) and b.json (A #1)."}},
        {"the size asked for, rendered smaller",
         [](Json&, Json& b) { b["runs"][0]["renderedHeight"] = b["runs"][1]["renderedHeight"] = 208; },
         {differ("rendered size")}},
        {"a size changed mid-run, another run at another size",
         [](Json&, Json& b) { b["runs"][0]["renderedSizeChanged"] = true, b["runs"][1]["renderedWidth"] = 800; },
         {differ("rendered size"), "b.json: run 1 changed its rendered size during the run.",
          "b.json: the runs rendered different sizes (854 x 480 and 800 x 480)."}},
        {"runs cut short in both versions",
         [](Json& a, Json& b) { a = Document(1, {Around(100, 600), Around(100, 125)}), b["runs"][1]["complete"] = false,
                                b["runs"][1]["measuredSeconds"] = 7.5; },
         {"a.json: run 2 was cut short at 12.5 s of its 60" + cutShort, "b.json: run 2 was cut short at 7.5 s of its 60" + cutShort,
          "The scores of a.json (results format 1) weigh each frame by 1 / its time, at most 400 FPS, and do not compare "
          "with the scores of format 2 files; the frame rates here are frames over time in both."}},
        {"debris off in both: a debris count that neither used",
         [](Json& a, Json& b) { a["configuration"]["debrisEnabled"] = b["configuration"]["debrisEnabled"] = false,
                                b["configuration"]["debrisCount"] = 640; }, {}},
        {"every setting",
         [](Json& a, Json& b) { a["configuration"]["deterministic"] = false, b["configuration"]["debrisCount"] = 160,
                                b["configuration"]["raySteps"] = 64, b["configuration"]["presentMode"] = "on",
                                b["runs"][0]["renderedWidth"] = b["runs"][1]["renderedWidth"] = 1280; },
         {differ("rendered size, debris, ray steps, present mode, deterministic"), "a.json was" + free}},
        {"free runs", [](Json& a, Json& b) { a["configuration"]["deterministic"] = b["configuration"]["deterministic"] = false; },
         {"a.json and b.json were" + free}},
    };
    for (const auto& c : cases) {
        Json a = base, b = base;
        c.change(a, b);
        EXPECT_EQ(Compare(a, b).warnings, c.warnings) << c.what;
    }
}

TEST(CompareCommand, BadInputIsNamedWithItsFileAndEndsWithExitCodeTwo)
{
    ScratchDirectory scratch;
    const Json good = Document(2, Runs({100}));
    Write("good.json", good.dump());
    const auto changed = [&good](const std::function<void(Json&)>& change) {
        Json document = good;
        change(document);
        return document.dump(2);
    };
    const struct {
        const char* what;
        std::string content;  // of bad.json
        const char* error;
        std::vector<std::wstring> arguments = {L"--compare", L"good.json", L"bad.json"};
    } cases[] = {
        {"one file", "", "needs at least two results files to compare (got 1)", {L"--compare", L"good.json"}},
        {"another option", "", "\"--benchmark\" cannot be combined with --compare",
         {L"--compare", L"good.json", L"good.json", L"--benchmark", L"single"}},
        {"output without a folder", "", "--output needs a folder", {L"--compare", L"good.json", L"good.json", L"--output"}},
        {"a missing file", "", "gone.json: no such file", {L"--compare", L"good.json", L"gone.json"}},
        {"a folder", "", "folder: a folder, not a results file", {L"--compare", L"good.json", L"folder"}},
        {"a file over 64 MB", "", "huge.json: 65.0 MB, larger than the 64 MB a results file may have; not read",
         {L"--compare", L"good.json", L"huge.json"}},
        {"not JSON", "Score: 2501\n", "bad.json: not JSON (invalid at byte 1)"},
        {"JSON but not a results file", "{\"runs\": []}", "bad.json: not a results file of this program (no \"formatVersion\")",
         {L"--compare", L"bad.json", L"good.json"}},
        {"a later format", changed([](Json& d) { d["formatVersion"] = 3; }),
         "bad.json: unknown formatVersion 3 (this program reads versions 1 to 2)"},
        {"a number beyond a double", R"({"formatVersion": 2, "runs": [{"records": [{"avgFps": 1, "frameCount": 1e400}]}]})",
         "bad.json: \"runs[0].records[0].frameCount\" is 1e400, a number out of range"},
        {"a score as text", changed([](Json& d) { d["runs"][0]["score"] = "fast"; }),
         "bad.json: \"runs[0].score\" is a string where a number belongs"},
        {"an adapter as a number", changed([](Json& d) { d["system"]["adapter"] = 4090; }),
         "bad.json: \"system.adapter\" is a number where a string belongs"},
        {"GPU figures that are no object", changed([](Json& d) { d["runs"][0]["gpu"] = Json::array(); }),
         "bad.json: \"runs[0].gpu\" is an array where an object belongs"},
        {"a version 2 record without its duration", changed([](Json& d) { d["runs"][0]["records"][2].erase("durationSeconds"); }),
         "bad.json: \"runs[0].records[2].durationSeconds\" is missing"},
        {"a record of no time", changed([](Json& d) { d["runs"][0]["records"][1]["durationSeconds"] = 0; }),
         "bad.json: \"runs[0].records[1].durationSeconds\" is not above 0"},
        {"version 1 records out of order", Document(1, Runs({100}, 1.0, 3)).dump().replace(
             Document(1, Runs({100}, 1.0, 3)).dump().find("\"time\":2"), 8, "\"time\":1"),
         "bad.json: \"runs[0].records[2].time\" does not follow the record before it"},
        {"a frame count of 2.5", changed([](Json& d) { d["runs"][0]["records"][0]["frameCount"] = 2.5; }),
         "bad.json: \"runs[0].records[0].frameCount\" is not a whole number"},
        {"a width of null", changed([](Json& d) { d["configuration"]["width"] = nullptr; }),
         "bad.json: \"configuration.width\" is null where a number belongs"},
        {"no runs", changed([](Json& d) { d["runs"] = Json::array(); }), "bad.json: \"runs\" is empty"},
    };
    fs::create_directory("folder");
    std::ofstream("huge.json").close();
    fs::resize_file("huge.json", 65ull << 20);  // sparse: nothing is written
    for (const auto& c : cases) {
        Write("bad.json", c.content);
        const CompareCommandResult result = RunCompareCommand(c.arguments, kNow);
        EXPECT_EQ(std::make_tuple(result.exitCode, result.errors, result.output),
                  std::make_tuple(2, "OrvalisBench: --compare: " + std::string(c.error) + "\n", std::string())) << c.what;
    }
    EXPECT_FALSE(fs::exists("comparison_2026-12-06_140509.html"));
}

TEST(CompareCommand, WritesThePageAndPrintsTheTable)
{
    ScratchDirectory scratch;
    // A baseline, a 10 % faster file (two adapters; a machine name with control characters) and an older free run 165 times
    // as fast at another size, whose adapter name holds a script.
    std::vector<Json> files = {Document(2, Runs(kTightRuns)), Document(2, Runs(kTightRuns, 1.1)),
                               Document(1, Runs({16500.0}, 1.0, 400), false)};
    for (int i : {0, 1}) {
        for (Json& run : files[i]["runs"]) {
            run["gpu"] = {{"physicsMs", {{"mean", 0.5}}}, {"renderMs", {{"mean", 6.0 / (1.0 + 0.1 * i)}}}};
            run["limitedBy"] = "gpu";
        }
    }
    files[1]["runs"][0]["limitedBy"] = "cpu-or-gpu";
    files[2]["configuration"]["width"] = files[2]["runs"][0]["renderedWidth"] = 1280;
    files[2]["system"]["adapter"] = "<script>alert(1)</script>";
    for (int i : {0, 1}) {
        files[i]["system"].update({{"machineName", std::string("LAB\x1b[2J\0", 8)}, {"adapterIndex", i},
                                   {"adapterChoice", i == 0 ? "default" : "asked"}});
    }
    Write("base.json", files[0].dump());
    Write("faster.json", files[1].dump());
    Write("older & other.json", files[2].dump());

    const CompareCommandResult result = RunCompareCommand(
        {L"--compare", L"base.json", L"faster.json", L"older & other.json", L"--output=pages"}, kNow);
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(result.errors + result.output,
              "File                Score   Change      Verdict       Avg FPS  Change      Verdict\n"
              "base.json           2501                (baseline)    100.0\n"
              "faster.json         2751    +10.0 %     faster        110.0    +10.0 %     faster\n"
              "older & other.json  412500  +16391.8 %  too few runs  16505.0  +16398.4 %  faster\n"
              "Warning: The configurations differ: rendered size, deterministic. The files did not measure the same work, "
              "so their differences are not the hardware's alone.\n"
              "Warning: Different adapters were measured on the same machine, LAB?[2J?: base.json (Test Adapter #0) and "
              "faster.json (Test Adapter #1).\n"
              "Warning: older & other.json was not deterministic: gameplay alone moves a free run's score (12 runs at "
              "exactly 60 FPS scored 2975 to 3484). Compare benchmarks run with --deterministic.\n"
              "Warning: The scores of older & other.json (results format 1) weigh each frame by 1 / its time, at most "
              "400 FPS, and do not compare with the scores of format 2 files; the frame rates here are frames over time "
              "in both.\n"
              "Comparison page: pages/comparison_2026-12-06_140509.html\n");

    // What came from the files shows as text, never as markup: the golden holds it escaped.
    ExpectGolden(ReadText("pages/comparison_2026-12-06_140509.html"), "comparison.html");

    // Numbers too large for a short buffer are written whole (1e300's 301 digits), or as a dash where their mean overflows.
    const std::string digits = "10000000000000000525047602552044202487044685811081591549158541155118024579889081957863713750804";
    Json huge = files[0];
    for (Json& run : huge["runs"]) {
        run["score"] = 1e300;
        run["frameTimes"]["low1PercentFps"] = 1.7e308;
    }
    Write("huge.json", huge.dump());
    const CompareCommandResult large = RunCompareCommand({L"--compare", L"huge.json", L"base.json"}, kNow);
    const std::string page = ReadText("comparison_2026-12-06_140509.html");
    EXPECT_NE(large.output.find("\nhuge.json  " + digits), std::string::npos) << large.output;
    EXPECT_NE(large.output.find("59400540160            (baseline)  100.0\n"), std::string::npos) << large.output;
    EXPECT_NE(page.find("59400540160</td><td>100.0</td><td>&ndash;</td>"), std::string::npos);
    for (const std::string* text : {&large.output, &page}) {
        EXPECT_TRUE(std::all_of(text->begin(), text->end(), [](char ch) { return ch == '\n' || ch == '\r' || ch >= 0x20 || ch < 0; }));
    }
}
