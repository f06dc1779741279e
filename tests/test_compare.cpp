#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/compare_command.h"
#include "bench/compare.h"
#include "bench/results_file.h"
#include "bench/statistics.h"
#include "fake_platform.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

const BenchmarkConfig kConfig{854, 480, 72, 80, true, false, false};

// A run of `records` 0.1 s records alternating 1 % below and above `fps`
// (6 frames each); its score follows from them, as in a benchmark.
RunResult RunAround(float fps, const BenchmarkConfig& c, bool gpu, int records = 20)
{
    RunResult run;
    run.width = c.width;
    run.height = c.height;
    run.raySteps = c.raySteps;
    run.debrisCount = c.debrisCount;
    run.debrisEnabled = c.debrisEnabled;
    for (int i = 0; i < records; ++i) {
        SecondRecord s;
        s.time = static_cast<float>(i);
        s.avgFps = s.minFps = s.maxFps = s.medianFps = fps * (i % 2 == 0 ? 0.99f : 1.01f);
        s.debris = 80.0f;
        s.bricks = 80.0f;
        s.balls = 1.0f;
        s.frameCount = 6;
        run.seconds.push_back(s);
        run.totalFrames += 6;
        run.frameTimes.insert(run.frameTimes.end(), 6, 1.0f / s.avgFps);
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

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The tests' own working folder, for the lifetime of the object.
class CompareCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() /
               ("orvalis_compare_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        previous_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override
    {
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }
    static void Write(const std::string& name, const std::string& text) { std::ofstream(name, std::ios::binary) << text; }
    static std::tm Now()
    {
        std::tm t{};
        t.tm_year = 2026 - 1900;
        t.tm_mon = 11;
        t.tm_mday = 6;
        t.tm_hour = 14;
        t.tm_min = 5;
        t.tm_sec = 9;
        return t;
    }
    fs::path dir_;
    fs::path previous_;
};

}  // namespace

TEST(Compare, VerdictsWeighTheChangeAgainstTheFilesOwnSpread)
{
    const std::vector<float> tight = {100.0f, 100.4f, 99.6f, 100.2f};
    const std::vector<float> veryTight = {100.0f, 100.02f, 99.98f, 100.0f};
    const std::vector<float> wide = {80.0f, 100.0f, 120.0f, 100.0f};
    const struct {
        const char* what;
        std::vector<float> runs;
        float scale;
        bool significant;  // Welch's p < 0.05 with several runs, the bootstrap interval excluding 0 with one
        const char* verdict;
    } cases[] = {
        {"identical four-run files", tight, 1.0f, false, "within noise"},
        {"10 % faster with tight runs", tight, 1.10f, true, "faster"},
        {"10 % slower with tight runs", tight, 0.90f, true, "slower"},
        {"3 % faster inside a wide run-to-run spread", wide, 1.03f, false, "within noise"},
        {"0.5 % faster, significant but under 1 %", veryTight, 1.005f, true, "within noise"},
        {"identical single runs", {100.0f}, 1.0f, false, "within noise"},
        {"single run 10 % faster", {100.0f}, 1.10f, true, "faster"},
        {"single run 3 % slower", {100.0f}, 0.97f, true, "slower"},
    };
    for (const auto& c : cases) {
        const Comparison comparison =
            CompareResults({Content(Results(c.runs), "a.json"), Content(Results(c.runs, c.scale), "b.json")});
        for (const VerdictFigures& v : {comparison.score[1], comparison.averageFps[1]}) {
            EXPECT_EQ(VerdictText(v.verdict), std::string(c.verdict)) << c.what;
            EXPECT_EQ(v.welch, c.runs.size() > 1) << c.what;
            EXPECT_EQ(v.welch ? v.p < 0.05 : v.fpsDifference.Excludes(0.0), c.significant) << c.what;
            ASSERT_TRUE(v.changePercent);
            EXPECT_NEAR(*v.changePercent, (c.scale - 1.0f) * 100.0f, 0.1) << c.what;
        }
        EXPECT_TRUE(comparison.differingSettings.empty()) << c.what;
    }
}

TEST_F(CompareCommandTest, BadInputIsNamedWithItsFileAndEndsWithExitCodeTwo)
{
    const std::string good = Results({100.0f});
    Write("good.json", good);
    const auto changed = [&good](const std::function<void(Json&)>& change) {
        Json document = Json::parse(good);
        change(document);
        return document.dump(2);
    };
    const struct {
        const char* what;
        std::vector<std::wstring> arguments;
        std::string content;  // of bad.json
        const char* error;
    } cases[] = {
        {"one file", {L"--compare", L"good.json"}, "", "needs at least two results files to compare (got 1)"},
        {"no file", {L"--compare"}, "", "needs at least two results files to compare (got 0)"},
        {"another option", {L"--compare", L"good.json", L"good.json", L"--benchmark", L"single"}, "",
         "\"--benchmark\" cannot be combined with --compare"},
        {"output without a folder", {L"--compare", L"good.json", L"good.json", L"--output"}, "", "--output needs a folder"},
        {"a missing file", {L"--compare", L"good.json", L"gone.json"}, "", "gone.json: no such file"},
        {"not JSON", {L"--compare", L"good.json", L"bad.json"}, "Score: 2501\n", "bad.json: not JSON (invalid at byte 1)"},
        {"JSON but not a results file", {L"--compare", L"bad.json", L"good.json"}, "{\"runs\": []}",
         "bad.json: not a results file of this program (no \"formatVersion\")"},
        {"a later format", {L"--compare", L"good.json", L"bad.json"}, changed([](Json& d) { d["formatVersion"] = 2; }),
         "bad.json: unknown formatVersion 2 (this program reads version 1)"},
        {"a score as text", {L"--compare", L"good.json", L"bad.json"},
         changed([](Json& d) { d["runs"][0]["score"] = "fast"; }),
         "bad.json: \"runs[0].score\" is a string where a number belongs"},
        {"an adapter as a number", {L"--compare", L"good.json", L"bad.json"},
         changed([](Json& d) { d["system"]["adapter"] = 4090; }),
         "bad.json: \"system.adapter\" is a number where a string belongs"},
        {"GPU figures that are no object", {L"--compare", L"good.json", L"bad.json"},
         changed([](Json& d) { d["runs"][0]["gpu"] = Json::array(); }),
         "bad.json: \"runs[0].gpu\" is an array where an object belongs"},
        {"a record without its frame rate", {L"--compare", L"good.json", L"bad.json"},
         changed([](Json& d) { d["runs"][0]["records"][2].erase("avgFps"); }),
         "bad.json: \"runs[0].records[2].avgFps\" is missing"},
        {"a file over 64 MB", {L"--compare", L"good.json", L"huge.json"}, "",
         "huge.json: 65.0 MB, larger than the 64 MB a results file may have; not read"},
    };
    std::ofstream("huge.json").close();
    fs::resize_file("huge.json", 65ull << 20);  // sparse: nothing is written
    for (const auto& c : cases) {
        Write("bad.json", c.content);
        const CompareCommandResult result = RunCompareCommand(c.arguments, Now());
        EXPECT_EQ(result.exitCode, 2) << c.what;
        EXPECT_EQ(result.errors, std::string("OrvalisBench: --compare: ") + c.error + "\n") << c.what;
        EXPECT_TRUE(result.output.empty()) << c.what;
    }
    EXPECT_FALSE(fs::exists("comparison_2026-12-06_140509.html"));
}

TEST_F(CompareCommandTest, WritesThePageAndPrintsTheTable)
{
    // A baseline and a 10 % faster file of four runs each with GPU figures, and
    // an older single run at another resolution (score 960 x 50 x 2.5 / 64 =
    // 1875) from a machine whose adapter name holds a script.
    const std::vector<float> runs = {100.0f, 100.4f, 99.6f, 100.2f};
    BenchmarkConfig hd = kConfig;
    hd.width = 1280;
    hd.height = 720;
    Write("base.json", Results(runs, 1.0f, kConfig, true));
    Write("faster.json", Results(runs, 1.1f, kConfig, true));
    Write("older & other.json", Results({50.0f}, 1.0f, hd, false, "<script>alert(1)</script>"));

    const CompareCommandResult result = RunCompareCommand(
        {L"--compare", L"base.json", L"faster.json", L"older & other.json", L"--output", L"pages"}, Now());
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(result.errors, "");
    EXPECT_EQ(result.output,
              "File                Score    Change    Verdict       Avg FPS  Change    Verdict\n"
              "base.json           2502               (baseline)    100.0\n"
              "faster.json         2752     +10.0 %   faster        110.1    +10.0 %   faster\n"
              "older & other.json  1875     -25.1 %   slower        50.0     -50.0 %   slower\n"
              "Warning: the configurations differ: resolution.\n"
              "Comparison page: pages/comparison_2026-12-06_140509.html\n");

    const std::string page = ReadBytes("pages/comparison_2026-12-06_140509.html");
    const fs::path golden = fs::path(ORVALIS_TEST_DATA) / "comparison.html";
    if (std::getenv("ORVALIS_UPDATE_GOLDENS") != nullptr) {
        std::ofstream(golden, std::ios::binary) << page;
    }
    EXPECT_EQ(page, ReadBytes(golden)) << "the page differs from " << golden;
    // What came from the files shows as text, never as markup.
    EXPECT_NE(page.find("<td class=\"adapter\">&lt;script&gt;alert(1)&lt;/script&gt;</td>"), std::string::npos);
    EXPECT_NE(page.find("older &amp; other.json"), std::string::npos);
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_NE(page.find(HtmlEscape(kVerdictRule)), std::string::npos);
}
