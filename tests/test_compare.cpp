#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <tuple>

#include "app/compare_command.h"
#include "bench/compare.h"
#include "bench/results_file.h"
#include "bench/statistics.h"
#include "bench_files.h"
#include "fake_platform.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

const BenchmarkConfig kConfig{854, 480, 72, 80, true, false, false};

// A run of 20 0.1 s records alternating 1 % below and above `fps`
// (6 frames each); its score follows from them, as in a benchmark.
RunResult RunAround(float fps, const BenchmarkConfig& c, bool gpu)
{
    RunResult run;
    std::tie(run.width, run.height, run.raySteps, run.debrisCount, run.debrisEnabled) =
        std::tie(c.width, c.height, c.raySteps, c.debrisCount, c.debrisEnabled);
    for (int i = 0; i < 20; ++i) {
        const float f = fps * (i % 2 == 0 ? 0.99f : 1.01f);
        run.seconds.push_back(SecondRecord{static_cast<float>(i), f, f, f, f, 80, 80, 1, 6, false, i * 0.1, 6.0 / f});
        run.totalFrames += 6;
        run.frameTimes.insert(run.frameTimes.end(), 6, 1.0f / f);
        if (gpu) {
            run.gpuPhysicsMs.insert(run.gpuPhysicsMs.end(), 6, 0.5f);
            run.gpuRenderMs.insert(run.gpuRenderMs.end(), 6, 600.0f / fps);
        }
    }
    ComputeRunStatistics(run);
    return run;
}

// The results file of a benchmark whose runs centre on these frame rates x scale.
std::string Results(const std::vector<float>& runFps, float scale = 1.0f, const BenchmarkConfig& config = kConfig,
                    bool gpu = false, const std::string& adapter = "Test Adapter")
{
    BenchmarkRecorder r;
    r.config = config;
    r.config.singleRun = runFps.size() == 1;
    for (float fps : runFps) {
        r.runs.push_back(RunAround(fps * scale, config, gpu));
    }
    RunEnvironment environment = RecordingPlatform().environment;
    environment.adapter = adapter;
    return BuildResultsDocument(r, environment);
}

ResultsFileContent Content(const std::string& document, const std::string& name)
{
    std::string problem;
    std::optional<ResultsFileContent> content = ParseResultsDocument(document, name, problem);
    EXPECT_TRUE(content) << name << ": " << problem;
    return content.value_or(ResultsFileContent{});
}

void Write(const std::string& name, const std::string& text) { std::ofstream(name, std::ios::binary) << text; }

const std::tm kNow = RecordingPlatform().now;  // the time the command names its page by
const std::vector<float> kTightRuns = {100.0f, 100.4f, 99.6f, 100.2f};

}  // namespace

TEST(Compare, VerdictsWeighTheChangeAgainstTheFilesOwnSpread)
{
    const std::vector<float> veryTight = {100.0f, 100.02f, 99.98f, 100.0f};
    const struct {
        const char* what;
        std::vector<float> runs;
        float scale;
        bool significant;  // Welch's p < 0.05 with several runs, the bootstrap interval excluding 0 with one
        const char* verdict;
        const char* evidence;  // on the page, where it is known by hand
    } cases[] = {
        {"identical four-run files", kTightRuns, 1.0f, false, "within noise", "Welch p = 1.0000</td>"},
        {"10 % faster with tight runs", kTightRuns, 1.10f, true, "faster", "Welch p &lt; 0.0001</td>"},
        {"3 % faster inside a wide run-to-run spread", {80, 100, 120, 100}, 1.03f, false, "within noise", "Welch p = 0."},
        {"0.5 % faster, significant but under 1 %", veryTight, 1.005f, true, "within noise", "Welch p &lt; 0.0001</td>"},
        {"identical single runs", {100.0f}, 1.0f, false, "within noise", "bootstrap 95 % CI of the FPS difference: -"},
        {"single run 10 % faster", {100.0f}, 1.10f, true, "faster", "bootstrap 95 % CI of the FPS difference: "},
        {"single run 3 % slower", {100.0f}, 0.97f, true, "slower", "bootstrap 95 % CI of the FPS difference: -"},
    };
    for (const auto& c : cases) {
        const Comparison comparison =
            CompareResults({Content(Results(c.runs), "a.json"), Content(Results(c.runs, c.scale), "b.json")});
        for (const VerdictFigures& v : {comparison.score[1], comparison.averageFps[1]}) {
            EXPECT_EQ(std::make_tuple(VerdictText(v.verdict), v.welch, v.welch ? v.p < 0.05 : v.fpsDifference.Excludes(0.0)),
                      std::make_tuple(std::string(c.verdict), c.runs.size() > 1, c.significant)) << c.what;
            EXPECT_NEAR(v.changePercent.value_or(-1000.0), (c.scale - 1.0f) * 100.0f, 0.1) << c.what;
        }
        EXPECT_NE(BuildComparisonPage(comparison, std::tm{}).find("\">" + std::string(c.verdict) + "</td><td class=\"change\">" + c.evidence), std::string::npos)
            << c.what;
    }
}

// What the comparison warns of: the settings that make two files measure different work.
TEST(Compare, WarnsOfEverySettingThatDiffersButNotOfAnotherMachine)
{
    const std::string base = Results({100.0f});
    const struct {
        const char* what;
        std::function<void(Json&, Json&)> change;  // of the first and the second file
        const char* warning;
    } cases[] = {
        {"the same settings on another machine", [](Json&, Json& d) { d["system"]["adapter"] = "Other"; }, ""},
        {"another height", [](Json&, Json& d) { d["configuration"]["height"] = 481; }, "resolution"},
        {"another debris count", [](Json&, Json& d) { d["configuration"]["debrisCount"] = 160; }, "debris"},
        {"debris off in both: a debris count that neither used",
         [](Json& a, Json& d) {
             a["configuration"]["debrisEnabled"] = d["configuration"]["debrisEnabled"] = false;
             d["configuration"]["debrisCount"] = 640;
         },
         ""},
        {"everything else too",
         [](Json&, Json& d) {
             d["configuration"] = {{"width", 1920}, {"height", 1080}, {"raySteps", 64}, {"debrisCount", 80},
                                   {"debrisEnabled", false}, {"presentMode", "on"}, {"deterministic", true}};
         },
         "resolution, debris, ray steps, present mode, deterministic"},
    };
    for (const auto& c : cases) {
        Json first = Json::parse(base), second = first;
        c.change(first, second);
        const std::string table =
            BuildComparisonTable(CompareResults({Content(first.dump(), "a.json"), Content(second.dump(), "b.json")}));
        const std::string expected = *c.warning ? "Warning: the configurations differ: " + std::string(c.warning) + ".\n" : "";
        EXPECT_EQ(table.substr(table.find("\n", table.find("\nb.json") + 1) + 1), expected) << c.what;
    }
}

TEST(CompareCommand, BadInputIsNamedWithItsFileAndEndsWithExitCodeTwo)
{
    ScratchDirectory scratch;
    const std::string good = Results({100.0f});
    Write("good.json", good);
    const auto changed = [&good](const std::function<void(Json&)>& change) {
        Json document = Json::parse(good);
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
        {"a score as text", changed([](Json& d) { d["runs"][0]["score"] = "fast"; }),
         "bad.json: \"runs[0].score\" is a string where a number belongs"},
        {"an adapter as a number", changed([](Json& d) { d["system"]["adapter"] = 4090; }),
         "bad.json: \"system.adapter\" is a number where a string belongs"},
        {"GPU figures that are no object", changed([](Json& d) { d["runs"][0]["gpu"] = Json::array(); }),
         "bad.json: \"runs[0].gpu\" is an array where an object belongs"},
        {"a record without its frame rate", changed([](Json& d) { d["runs"][0]["records"][2].erase("avgFps"); }),
         "bad.json: \"runs[0].records[2].avgFps\" is missing"},
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
    // A baseline and a 10 % faster file of four runs each with GPU figures, and
    // an older single run at another resolution (score 960 x 50 x 2.5 / 64 =
    // 1875) from a machine whose adapter name holds a script.
    Write("base.json", Results(kTightRuns, 1.0f, kConfig, true));
    Write("faster.json", Results(kTightRuns, 1.1f, kConfig, true));
    Write("older & other.json",
          Results({50.0f}, 1.0f, {1280, 720, 72, 80, true, false, false}, false, "<script>alert(1)</script>"));

    const CompareCommandResult result = RunCompareCommand(
        {L"--compare", L"base.json", L"faster.json", L"older & other.json", L"--output", L"pages"}, kNow);
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(result.errors + result.output,
              "File                Score    Change    Verdict       Avg FPS  Change    Verdict\n"
              "base.json           2502               (baseline)    100.0\n"
              "faster.json         2752     +10.0 %   faster        110.0    +10.0 %   faster\n"
              "older & other.json  1875     -25.1 %   slower        50.0     -50.0 %   slower\n"
              "Warning: the configurations differ: resolution.\n"
              "Comparison page: pages/comparison_2026-12-06_140509.html\n");

    // What came from the files shows as text, never as markup: the golden holds it escaped.
    ExpectGolden(ReadText("pages/comparison_2026-12-06_140509.html"), "comparison.html");
}
