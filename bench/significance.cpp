#include "bench/significance.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include <boost/math/distributions/students_t.hpp>

#include "game/random.h"

SampleSummary Summarize(const std::vector<double>& values)
{
    SampleSummary s;
    s.count = values.size();
    if (values.empty()) {
        return s;
    }
    double sum = 0.0;
    for (double v : values) {
        sum += v;
    }
    s.mean = sum / static_cast<double>(s.count);
    if (s.count > 1) {
        double squares = 0.0;
        for (double v : values) {
            squares += (v - s.mean) * (v - s.mean);
        }
        s.standardDeviation = std::sqrt(squares / static_cast<double>(s.count - 1));
    }
    return s;
}

std::optional<Interval> MeanConfidenceInterval95(const std::vector<double>& values)
{
    const SampleSummary s = Summarize(values);
    if (s.count < 2) {
        return std::nullopt;
    }
    const boost::math::students_t t(static_cast<double>(s.count - 1));
    const double half = boost::math::quantile(t, 0.975) * s.standardDeviation / std::sqrt(static_cast<double>(s.count));
    return Interval{s.mean - half, s.mean + half};
}

std::optional<double> CoefficientOfVariationPercent(const std::vector<double>& values)
{
    const SampleSummary s = Summarize(values);
    if (s.count < 2 || s.mean == 0.0) {
        return std::nullopt;
    }
    return s.standardDeviation / std::fabs(s.mean) * 100.0;
}

WelchTest WelchTTest(const std::vector<double>& a, const std::vector<double>& b)
{
    WelchTest w;
    const SampleSummary sa = Summarize(a);
    const SampleSummary sb = Summarize(b);
    if (sa.count < 2 || sb.count < 2) {
        return w;
    }
    const double va = sa.standardDeviation * sa.standardDeviation / static_cast<double>(sa.count);
    const double vb = sb.standardDeviation * sb.standardDeviation / static_cast<double>(sb.count);
    const double difference = sb.mean - sa.mean;
    if (va + vb == 0.0) {
        // Both samples without any spread: equal means are the same, any difference is certain.
        w.p = difference == 0.0 ? 1.0 : 0.0;
        w.t = difference == 0.0 ? 0.0 : std::copysign(std::numeric_limits<double>::infinity(), difference);
        return w;
    }
    w.t = difference / std::sqrt(va + vb);
    w.degreesOfFreedom = (va + vb) * (va + vb) /
                         (va * va / static_cast<double>(sa.count - 1) + vb * vb / static_cast<double>(sb.count - 1));
    if (!std::isfinite(w.t) || !std::isfinite(w.degreesOfFreedom) || w.degreesOfFreedom <= 0.0) {
        w.p = 1.0;  // values too large to weigh: nothing can be said
        return w;
    }
    const boost::math::students_t t(w.degreesOfFreedom);
    w.p = 2.0 * boost::math::cdf(boost::math::complement(t, std::fabs(w.t)));
    return w;
}

// Two draws of 15 bits each.
size_t DrawIndex(CrtRandom& random, size_t count)
{
    const uint32_t high = static_cast<uint32_t>(random.Next());
    const uint32_t wide = (high << 15) | static_cast<uint32_t>(random.Next());
    return static_cast<size_t>(wide) % count;
}

Interval BootstrapInterval95(const std::function<std::optional<double>(CrtRandom&)>& resampled, CrtRandom& random,
                             int resamples)
{
    std::vector<double> values;
    values.reserve(static_cast<size_t>(std::max(resamples, 0)));
    for (int i = 0; i < resamples; ++i) {
        if (const std::optional<double> value = resampled(random)) {
            values.push_back(*value);
        }
    }
    if (values.empty()) {
        return {};
    }
    std::sort(values.begin(), values.end());
    const auto at = [&](double share) {
        const size_t index = static_cast<size_t>(std::floor(share * static_cast<double>(values.size())));
        return values[std::min(index, values.size() - 1)];
    };
    return Interval{at(0.025), at(0.975)};
}
