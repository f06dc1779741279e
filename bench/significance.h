#pragma once
// The statistics that tell a real difference from run-to-run noise: sample
// spread, Student's t confidence intervals, Welch's t-test and a bootstrap
// interval. Student's t distribution comes from Boost.Math.
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

class CrtRandom;

struct SampleSummary {
    size_t count = 0;
    double mean = 0.0;
    double standardDeviation = 0.0;  // the sample's (divided by count - 1); 0 for fewer than two values
};
SampleSummary Summarize(const std::vector<double>& values);

struct Interval {
    double low = 0.0;
    double high = 0.0;
    bool Excludes(double value) const { return value < low || value > high; }
};

// The 95 % confidence interval of the mean (Student's t with count - 1
// degrees of freedom); nothing for fewer than two values.
std::optional<Interval> MeanConfidenceInterval95(const std::vector<double>& values);

// Standard deviation / mean in percent; nothing for fewer than two values or a zero mean.
std::optional<double> CoefficientOfVariationPercent(const std::vector<double>& values);

// Welch's t-test of whether two samples (two values or more each) have
// different means, without assuming equal variances.
struct WelchTest {
    double t = 0.0;                 // (mean b - mean a) / its standard error
    double degreesOfFreedom = 0.0;  // Welch-Satterthwaite
    double p = 1.0;                 // two-sided
};
WelchTest WelchTTest(const std::vector<double>& a, const std::vector<double>& b);

// The percentile bootstrap 95 % confidence interval of a statistic:
// `resamples` times, `resampled` draws the data again with replacement (with
// DrawIndex from `random`) and gives the statistic of that draw, or nothing
// where it is undefined; the 2.5th and 97.5th percentiles of the values are
// the interval. The draws come from `random`, so a fixed seed repeats it.
inline constexpr int kBootstrapResamples = 2000;
Interval BootstrapInterval95(const std::function<std::optional<double>(CrtRandom&)>& resampled, CrtRandom& random,
                             int resamples = kBootstrapResamples);

// An index 0..count-1 (count > 0) drawn from `random`.
size_t DrawIndex(CrtRandom& random, size_t count);
