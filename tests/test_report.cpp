#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "bench/report.h"
#include "bench/results_file.h"
#include "bench/statistics.h"
#include "fake_platform.h"

namespace {

namespace fs = std::filesystem;

SecondRecord Record(float time, float fps, float debris, float bricks, float balls, int frames)
{
    SecondRecord s;
    s.time = time;
    s.avgFps = fps;
    s.minFps = fps - 1.25f;
    s.maxFps = fps + 2.5f;
    s.medianFps = fps + 0.125f;
    s.debris = debris;
    s.bricks = bricks;
    s.balls = balls;
    s.frameCount = frames;
    return s;
}

RunResult Run(const BenchmarkConfig& c, bool deterministic, std::vector<SecondRecord> records)
{
    RunResult run;
    run.width = c.width;
    run.height = c.height;
    run.raySteps = c.raySteps;
    run.debrisCount = c.debrisCount;
    run.debrisEnabled = c.debrisEnabled;
    run.deterministic = deterministic;
    run.seconds = std::move(records);
    for (const SecondRecord& s : run.seconds) {
        run.totalFrames += s.frameCount;
    }
    ComputeRunStatistics(run);
    return run;
}

BenchmarkRecorder Recorder(bool singleRun, bool deterministic, const BenchmarkConfig& config)
{
    BenchmarkRecorder r;
    r.config = config;
    r.config.singleRun = singleRun;
    r.config.deterministic = deterministic;
    r.targetRuns = singleRun ? 1 : 4;
    return r;
}

BenchmarkRecorder SmallSingle()
{
    BenchmarkRecorder r = Recorder(true, false, BenchmarkConfig{854, 480, 72, 80, true});
    r.runs.push_back(Run(r.config, false,
                         {Record(0, 59.5f, 8, 80, 1, 6), Record(1, 61.25f, 16, 79, 1, 6),
                          Record(2, 60.125f, 24, 78.5f, 1.5f, 6), Record(3, 58.75f, 32, 77, 2, 5)}));
    return r;
}

BenchmarkRecorder SmallMulti()
{
    // Debris off; the second run holds a single-record spike that the filter removes.
    BenchmarkRecorder r = Recorder(false, false, BenchmarkConfig{1280, 720, 72, 0, false});
    r.runs.push_back(Run(r.config, false,
                         {Record(0, 100, 0, 80, 1, 10), Record(1, 101, 0, 79, 1, 10), Record(2, 99.5f, 0, 78, 1, 10)}));
    r.runs.push_back(Run(r.config, false,
                         {Record(0, 100, 0, 80, 1, 10), Record(1, 240, 0, 80, 1, 24), Record(2, 100, 0, 79, 2.4f, 10),
                          Record(4, 98, 0, 78, 2.6f, 10)}));
    return r;
}

BenchmarkRecorder SmallDeterministicSingle()
{
    BenchmarkRecorder r = Recorder(true, true, BenchmarkConfig{1920, 1080, 72, 640, true});
    r.runs.push_back(Run(r.config, true,
                         {Record(0, 30.5f, 8, 39, 1, 3), Record(1, 31, 16, 38, 1, 3), Record(2, 29.75f, 24, 38, 1, 3)}));
    return r;
}

BenchmarkRecorder SmallDeterministicMulti()
{
    BenchmarkRecorder r = Recorder(false, true, BenchmarkConfig{2560, 1440, 72, 160, true});
    r.runs.push_back(Run(r.config, true, {Record(0, 20, 8, 39, 1, 2), Record(1, 21, 16, 38, 1, 2)}));
    r.runs.push_back(Run(r.config, true, {Record(0, 20.5f, 8, 39, 1, 2), Record(1, 22, 16, 37, 1, 3)}));
    return r;
}

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("orvalis_report_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        previous_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override
    {
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }

    // Writes the report and compares its bytes with the golden file of that name.
    void ExpectGolden(BenchmarkRecorder recorder, const std::string& golden)
    {
        RecordingPlatform platform;
        ASSERT_TRUE(GenerateHTMLReport(recorder, platform));
        ASSERT_EQ(platform.openedReports, std::vector<std::string>{"benchmark_2026-12-06_140509.html"});
        ExpectFileMatchesGolden(dir_ / recorder.reportPath, golden);
    }

    static void ExpectFileMatchesGolden(const fs::path& file, const std::string& golden)
    {
        const std::string written = ReadBytes(file);
        const fs::path goldenPath = fs::path(ORVALIS_TEST_DATA) / golden;
        if (std::getenv("ORVALIS_UPDATE_GOLDENS") != nullptr) {
            std::ofstream(goldenPath, std::ios::binary) << written;
        }
        const std::string expected = ReadBytes(goldenPath);
        ASSERT_FALSE(expected.empty()) << "missing golden " << goldenPath;
        EXPECT_EQ(written, expected) << file << " differs from " << goldenPath;
    }

    fs::path dir_;
    fs::path previous_;
};

}  // namespace

TEST_F(ReportTest, SingleRunReportMatchesItsGolden)
{
    ExpectGolden(SmallSingle(), "report_single.html");
}

TEST_F(ReportTest, MultiRunReportMatchesItsGolden)
{
    ExpectGolden(SmallMulti(), "report_multi.html");
}

TEST_F(ReportTest, DeterministicSingleReportMatchesItsGolden)
{
    ExpectGolden(SmallDeterministicSingle(), "report_deterministic_single.html");
}

TEST_F(ReportTest, DeterministicMultiReportMatchesItsGolden)
{
    ExpectGolden(SmallDeterministicMulti(), "report_deterministic_multi.html");
}

TEST_F(ReportTest, FileIsCrlfWithTwoMultiplicationSignsAndNoLineEndAfterHtml)
{
    BenchmarkRecorder r = SmallMulti();
    RecordingPlatform platform;
    ASSERT_TRUE(GenerateHTMLReport(r, platform));
    const std::string bytes = ReadBytes(r.reportPath);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ASSERT_GT(i, 0u);
            ASSERT_EQ(bytes[i - 1], '\r') << "bare line feed at byte " << i;
        }
    }
    EXPECT_EQ(bytes.substr(bytes.size() - 9), "\r\n</html>");
    size_t signs = 0;
    for (size_t at = bytes.find("\xC3\x97"); at != std::string::npos; at = bytes.find("\xC3\x97", at + 1)) {
        ++signs;
    }
    EXPECT_EQ(signs, 4u);  // the one formula line of this variant
    EXPECT_NE(bytes.find("Score = (sqrt(Res) \xC3\x97 FPS \xC3\x97 (1+Debris/320) \xC3\x97 (1+(Balls-1)/4) "
                         "\xC3\x97 (1+Bricks/80)) / 64</div>"),
              std::string::npos);
}

TEST_F(ReportTest, NumbersFollowTheStreamsCarriedPrecision)
{
    // The first time of each run carries the precision the value before it
    // left (0 decimals after a score); the others 2. Halfway cases round to even.
    const std::string multi = BuildReportDocument(SmallMulti(), std::tm{}, [](const char*) {});
    EXPECT_NE(multi.find("      {time:0,avgFps:100.00,"), std::string::npos);
    EXPECT_NE(multi.find("      {time:1.00,avgFps:240.00,minFps:238.75,maxFps:242.50,medianFps:240.12,"),
              std::string::npos);
    EXPECT_NE(multi.find("      {time:4.00,"), std::string::npos);  // the gap in time is kept
    const std::string detSingle = BuildReportDocument(SmallDeterministicSingle(), std::tm{}, [](const char*) {});
    EXPECT_NE(detSingle.find("      {time:0.0,avgFps:30.50,"), std::string::npos);  // left by the Avg Bricks cell
}

TEST_F(ReportTest, ProgressLinesAreLoggedInOrder)
{
    BenchmarkRecorder r = SmallSingle();
    RecordingPlatform platform;
    ASSERT_TRUE(GenerateHTMLReport(r, platform));
    const std::vector<std::string> expected = {
        "=== GenerateHTMLReport START ===\nruns.size() = 1, targetRuns = 1\n",
        "Run 1: seconds.size() = 4\n",
        "All validation passed. Generating HTML...\n",
        "Checkpoint: Statistics table complete\n",
        "Checkpoint: Chart containers complete\n",
        "Checkpoint: Scatter chart container complete\n",
        "Checkpoint: About to generate timestamp\n",
        "Checkpoint: Timestamp complete, starting JavaScript data\n",
        "Checkpoint: JavaScript data array complete\n",
        "Checkpoint: Starting timeline charts generation\n",
        "Checkpoint: Timeline charts complete\n",
        "Checkpoint: Starting scatter plot generation\n",
        "Checkpoint: Scatter plot complete\n",
        "=== GenerateHTMLReport COMPLETE - Opening file ===\n",
    };
    EXPECT_EQ(platform.log, expected);
}

TEST_F(ReportTest, NothingIsWrittenWithoutRunsOrWithAnEmptyRun)
{
    RecordingPlatform platform;
    BenchmarkRecorder none = Recorder(true, false, BenchmarkConfig{854, 480, 72, 80, true});
    none.reportPath = "benchmark_previous.html";
    EXPECT_FALSE(GenerateHTMLReport(none, platform));
    EXPECT_EQ(platform.log.back(), "ERROR: GenerateHTMLReport called without any runs!\n");

    BenchmarkRecorder empty = SmallMulti();
    empty.runs[1].seconds.clear();
    EXPECT_FALSE(GenerateHTMLReport(empty, platform));
    EXPECT_EQ(platform.log.back(), "ERROR: Run 2 has no recorded seconds!\n");
    EXPECT_TRUE(platform.openedReports.empty());
    EXPECT_EQ(none.reportPath, "benchmark_previous.html");
    EXPECT_TRUE(fs::is_empty(fs::current_path()));
}

TEST_F(ReportTest, AReportThatCannotBeCreatedIsNeitherOpenedNorLeftBehind)
{
    // The report's name is taken by a directory: the file cannot be created, even by root.
    fs::create_directory("benchmark_2026-12-06_140509.html");
    BenchmarkRecorder r = SmallSingle();
    RecordingPlatform platform;
    EXPECT_FALSE(GenerateHTMLReport(r, platform));
    EXPECT_FALSE(r.reportWritten);
    EXPECT_TRUE(platform.openedReports.empty());
    EXPECT_TRUE(fs::is_directory("benchmark_2026-12-06_140509.html"));  // what was there is kept
    EXPECT_EQ(platform.log.back(),
              "ERROR: Could not create report file benchmark_2026-12-06_140509.html; it is not opened\n");
}

TEST(ReportFileName, UsesTheLocalTimeStamp)
{
    std::tm t{};
    t.tm_year = 2027 - 1900;
    t.tm_mon = 0;
    t.tm_mday = 2;
    t.tm_hour = 3;
    t.tm_min = 4;
    t.tm_sec = 5;
    EXPECT_EQ(ReportFileName(t), "benchmark_2027-01-02_030405.html");
}

TEST(FrameTimeFigures, NearestRankPercentilesAndLowsOfHandWorkedLists)
{
    // 100 frames: 97 of 10 ms, then 20, 30 and 50 ms.
    std::vector<float> hundred(97, 0.010f);
    hundred.insert(hundred.end(), {0.050f, 0.020f, 0.030f});
    FrameTimeFigures f = ComputeFrameTimeFigures(hundred);
    EXPECT_EQ(f.frames, 100u);
    EXPECT_NEAR(f.p50Ms, 10.0, 1e-4);      // the 50th smallest
    EXPECT_NEAR(f.p95Ms, 10.0, 1e-4);      // the 95th
    EXPECT_NEAR(f.p99Ms, 30.0, 1e-4);      // the 99th
    EXPECT_NEAR(f.low1PercentFps, 20.0, 1e-3);   // the slowest 1 frame: 50 ms
    EXPECT_NEAR(f.low01PercentFps, 20.0, 1e-3);  // still at least one frame

    // Three frames: ranks ceil(1.5) = 2 and ceil(2.85) = 3.
    f = ComputeFrameTimeFigures({0.040f, 0.010f, 0.020f});
    EXPECT_NEAR(f.p50Ms, 20.0, 1e-4);
    EXPECT_NEAR(f.p95Ms, 40.0, 1e-4);
    EXPECT_NEAR(f.low1PercentFps, 25.0, 1e-3);

    // 2000 frames: the 1 % low averages the slowest 20 (10 of 100 ms, 10 of 50 ms).
    std::vector<float> many(1980, 0.010f);
    many.insert(many.end(), 10, 0.100f);
    many.insert(many.end(), 10, 0.050f);
    f = ComputeFrameTimeFigures(many);
    EXPECT_NEAR(f.low1PercentFps, 1.0 / 0.075, 1e-3);
    EXPECT_NEAR(f.low01PercentFps, 10.0, 1e-3);  // the slowest 2

    const FrameTimeFigures none = ComputeFrameTimeFigures({});
    EXPECT_EQ(none.frames, 0u);
    for (const double figure : {none.low1PercentFps, none.low01PercentFps, none.p50Ms, none.p95Ms, none.p99Ms}) {
        EXPECT_EQ(figure, 0.0);  // a finite zero, nothing a results file cannot hold
    }
}

TEST_F(ReportTest, ResultsFileSitsBesideTheReportAndReadsBackToItsFigures)
{
    BenchmarkRecorder r = SmallMulti();
    r.runs[0].frameTimes = {0.010f, 0.0125f, 0.009f, 0.011f, 0.020f};
    RecordingPlatform platform;
    ASSERT_TRUE(GenerateHTMLReport(r, platform));
    ASSERT_TRUE(WriteResultsFile(r, platform));
    EXPECT_EQ(r.resultsPath, "benchmark_2026-12-06_140509.json");
    EXPECT_TRUE(r.resultsWritten);
    EXPECT_FALSE(fs::exists(dir_ / (r.resultsPath + ".partial")));
    ExpectFileMatchesGolden(dir_ / r.resultsPath, "results_multi.json");

    const auto json = nlohmann::json::parse(ReadBytes(dir_ / r.resultsPath));
    EXPECT_EQ(json["formatVersion"], kResultsFormatVersion);
    EXPECT_EQ(json["report"], "benchmark_2026-12-06_140509.html");
    EXPECT_EQ(json["configuration"]["width"], 1280);
    EXPECT_EQ(json["configuration"]["runs"], "multi");
    EXPECT_EQ(json["configuration"]["debrisEnabled"], false);
    EXPECT_EQ(json["system"]["vendorId"], 0x10DE);
    EXPECT_EQ(json["system"]["driverVersion"], "31.0.15.5222");
    ASSERT_EQ(json["runs"].size(), r.runs.size());
    for (size_t i = 0; i < r.runs.size(); ++i) {
        const RunResult& run = r.runs[i];
        const auto& j = json["runs"][i];
        EXPECT_EQ(j["score"].get<float>(), run.score);
        EXPECT_EQ(j["averageFps"].get<float>(), run.avg);
        EXPECT_EQ(j["cleanedFps"].get<float>(), run.cleaned);
        EXPECT_EQ(j["minFps"].get<float>(), run.min);
        EXPECT_EQ(j["maxFps"].get<float>(), run.max);
        EXPECT_EQ(j["outliers"].get<int>(), run.outliers);
        ASSERT_EQ(j["records"].size(), run.seconds.size());
        for (size_t k = 0; k < run.seconds.size(); ++k) {
            EXPECT_EQ(j["records"][k]["avgFps"].get<float>(), run.seconds[k].avgFps);
            EXPECT_EQ(j["records"][k]["balls"].get<float>(), run.seconds[k].balls);
            EXPECT_EQ(j["records"][k]["isOutlier"].get<bool>(), run.seconds[k].isOutlier);
        }
    }
    EXPECT_EQ(json["runs"][0]["frameTimes"]["frames"], 5);
    EXPECT_NEAR(json["runs"][0]["frameTimes"]["p50Ms"].get<double>(), 11.0, 1e-4);
    EXPECT_NEAR(json["runs"][0]["frameTimes"]["low1PercentFps"].get<double>(), 50.0, 1e-3);
    const CrossRunFigures across = ComputeCrossRunFigures(r.runs);
    EXPECT_EQ(json["acrossRuns"]["meanScore"].get<float>(), across.meanScore);
    EXPECT_EQ(json["acrossRuns"]["totalOutliers"], across.totalOutliers);
    EXPECT_FALSE(json["acrossRuns"].contains("scoreVariancePercent"));  // deterministic reports only

    // A folder where nothing can be written: no file, not even a partial one.
    fs::current_path("/proc");
    EXPECT_FALSE(WriteResultsFile(r, platform));
    EXPECT_FALSE(r.resultsWritten);
    EXPECT_EQ(platform.LinesStartingWith("ERROR: Could not write the results file").size(), 1u);
}
