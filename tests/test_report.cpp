#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bench/report.h"
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
        const std::string written = ReadBytes(dir_ / recorder.reportPath);
        const fs::path goldenPath = fs::path(ORVALIS_TEST_DATA) / golden;
        if (std::getenv("ORVALIS_UPDATE_GOLDENS") != nullptr) {
            std::ofstream(goldenPath, std::ios::binary) << written;
        }
        const std::string expected = ReadBytes(goldenPath);
        ASSERT_FALSE(expected.empty()) << "missing golden " << goldenPath;
        EXPECT_EQ(written, expected) << "report differs from " << goldenPath;
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
