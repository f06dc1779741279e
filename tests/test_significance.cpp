#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "bench/recorder.h"
#include "bench/results_file.h"
#include "bench/significance.h"
#include "bench/benchmark_host.h"

using Json = nlohmann::json;

TEST(Significance, MultiRunResultsStateTheScoresSpreadAndTheMeansConfidenceInterval)
{
    BenchmarkRecorder r;
    r.config = BenchmarkConfig{854, 480, 72, 80, true, false, true};
    for (float score : {100.0f, 102.0f, 98.0f, 100.0f}) {
        RunResult run;
        run.records.resize(1);
        run.score = score;
        r.runs.push_back(run);
    }
    const Json across = Json::parse(BuildResultsDocument(r, RunEnvironment{}))["acrossRuns"];
    // Sample deviation sqrt(8 / 3) = 1.63299; t(0.975, 3 degrees of freedom) = 3.18244630528 (tables).
    EXPECT_NEAR(across["scoreCoefficientOfVariationPercent"].get<double>(), 1.6329931618554521, 1e-9);
    EXPECT_NEAR(across["meanScoreConfidenceInterval95"]["low"].get<double>(), 97.401543472749777, 1e-9);
    EXPECT_NEAR(across["meanScoreConfidenceInterval95"]["high"].get<double>(), 102.59845652725022, 1e-9);
    EXPECT_EQ(across["scoreRangePercent"], 4.0);  // deterministic runs: (102 - 98) / 100

    r.runs.resize(1);
    r.config.singleRun = true;
    const Json single = Json::parse(BuildResultsDocument(r, RunEnvironment{}))["acrossRuns"];
    for (const char* figure : {"scoreCoefficientOfVariationPercent", "meanScoreConfidenceInterval95", "scoreRangePercent"}) {
        EXPECT_FALSE(single.contains(figure)) << figure;
    }
}
