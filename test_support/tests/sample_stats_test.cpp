#include "kv/test_support/sample_stats.h"

#include <gtest/gtest.h>
#include <vector>

using namespace kv::test_support;

namespace {

struct Case {
    const char* name;
    std::vector<double> values;
    double mean, deviation, rms;
};

TEST(SampleStats, MeanDeviationAndRootMeanSquare) {
    const Case cases[] = {
        // the deviation divides by n - 1: (1, 3) spreads by sqrt(2), not 1
        {"two values", {1.0, 3.0}, 2.0, 1.4142135623730951, 2.23606797749979},
        {"a constant has no spread", {5.0, 5.0, 5.0}, 5.0, 0.0, 5.0},
        {"signs cancel in the mean, not in the squares",
         {-2.0, 2.0, -2.0, 2.0},
         0.0,
         2.3094010767585029,
         2.0},
        {"one value states no spread", {7.0}, 7.0, 0.0, 7.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DOUBLE_EQ(sampleMean(c.values), c.mean);
        EXPECT_NEAR(sampleDeviation(c.values), c.deviation, 1e-12);
        EXPECT_NEAR(rootMeanSquare(c.values), c.rms, 1e-12);
    }
}

} // namespace
