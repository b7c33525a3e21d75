// What an AGD's uncertainty is made of, the file that states the inputs', and
// the interval of a median.
#include "kv/audit/uncertainty.h"

#include <cmath>
#include <gtest/gtest.h>

namespace kv::audit {
namespace {

TEST(Uncertainty, TheFileSetsWhatItNamesAndLeavesTheRest) {
    const InputUncertainties d;
    struct Case {
        const char* name;
        const char* text;
        double InputUncertainties::*field;
        double value;
    };
    const Case cases[] = {
        {"k from output", "input,sigma_percent\nk_output,7.5\n", &InputUncertainties::kOutput, 7.5},
        {"k from header, any case", "Input,Sigma_Percent\r\nK_HEADER, 20\r\n", &InputUncertainties::kHeader,
         20},
        {"measured hvl", "input,sigma_percent\n# ours\nhvl_measured,0\n", &InputUncertainties::hvlMeasured,
         0},
        {"header hvl", "input,sigma_percent\nhvl_header,5\n", &InputUncertainties::hvlHeader, 5},
        {"model hvl", "input,sigma_percent\nhvl_model,100\n", &InputUncertainties::hvlModel, 100},
        {"glandularity", "input,sigma_percent\nglandularity,6\n", &InputUncertainties::glandularity, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const InputUncertainties u = parseUncertainties(c.text, "u.csv");
        for (double InputUncertainties::*f :
             {&InputUncertainties::kOutput, &InputUncertainties::kHeader, &InputUncertainties::hvlMeasured,
              &InputUncertainties::hvlHeader, &InputUncertainties::hvlModel,
              &InputUncertainties::glandularity})
            EXPECT_EQ(u.*f, f == c.field ? c.value : d.*f);
    }
    EXPECT_EQ(parseUncertainties("input,sigma_percent\n", "u.csv").kOutput, d.kOutput);
}

TEST(Uncertainty, TheShippedExampleStatesTheDefaults) {
    const InputUncertainties d, u = readUncertainties(std::filesystem::path(KV_SOURCE_DIR) /
                                                      "tools/audit/examples/uncertainties.csv");
    for (double InputUncertainties::*f :
         {&InputUncertainties::kOutput, &InputUncertainties::kHeader, &InputUncertainties::hvlMeasured,
          &InputUncertainties::hvlHeader, &InputUncertainties::hvlModel, &InputUncertainties::glandularity})
        EXPECT_EQ(u.*f, d.*f);
}

TEST(Uncertainty, AFileThatCannotBeUsedNamesItsLineAndValue) {
    struct Case {
        const char* name;
        const char* text;
        UncertaintyFault fault;
        int line;
        const char* value;
    };
    const Case cases[] = {
        {"empty", "", UncertaintyFault::NoHeader, 1, ""},
        {"no header", "k_output,5\n", UncertaintyFault::NoHeader, 1, "k_output,5"},
        {"unknown input", "input,sigma_percent\nk_dap,5\n", UncertaintyFault::UnknownInput, 2, "k_dap"},
        {"not a number", "input,sigma_percent\nk_output,five\n", UncertaintyFault::BadNumber, 2, "five"},
        {"negative", "input,sigma_percent\nk_output,-1\n", UncertaintyFault::BadNumber, 2, "-1"},
        {"above 100", "input,sigma_percent\nk_output,101\n", UncertaintyFault::BadNumber, 2, "101"},
        {"no value", "input,sigma_percent\n\nglandularity\n", UncertaintyFault::BadNumber, 3, ""},
        {"a third cell", "input,sigma_percent\nk_output,5,6\n", UncertaintyFault::BadNumber, 2, "5"},
        {"twice", "input,sigma_percent\nk_output,5\nk_output,6\n", UncertaintyFault::Repeated, 3, "k_output"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            parseUncertainties(c.text, "u.csv");
            ADD_FAILURE() << "accepted";
        } catch (const UncertaintyError& e) {
            EXPECT_EQ(e.fault, c.fault);
            EXPECT_EQ(e.line, c.line);
            EXPECT_EQ(e.value, c.value);
            EXPECT_EQ(e.file, "u.csv");
        }
    }
}

TEST(Uncertainty, InterpolationErrorFollowsTheMeasuredDepthsAndIsNoneOnANode) {
    struct Case {
        double mm;
        bool onNode;
        double percent;
    };
    const Case cases[] = {
        {45, true, 0},     {22, false, 0.55},  {12, false, 0.55}, {43, false, 0.31},  {52.5, false, 0.19},
        {62, false, 0.07}, {72, false, 0.055}, {82, false, 0.04}, {108, false, 0.04},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(interpolationPercent(c.mm, c.onNode), c.percent, 1e-9) << c.mm;
}

TEST(Uncertainty, PartsAddInQuadratureAndTheIntervalIs196Sigma) {
    EXPECT_NEAR(combinedPercent({3, 0, 4, 0, 0}), 5, 1e-12);
    EXPECT_NEAR(combinedPercent({0.2, 0.1, 12, 9, 4}), std::sqrt(0.04 + 0.01 + 144 + 81 + 16), 1e-12);
    const auto [lo, hi] = interval95(2.0, 10);
    EXPECT_NEAR(lo, 2.0 * (1 - 0.196), 1e-12);
    EXPECT_NEAR(hi, 2.0 * (1 + 0.196), 1e-12);
    EXPECT_EQ(interval95(2.0, 60).first, 0); // never below zero
}

TEST(Uncertainty, MedianIntervalTakesTheBinomialRanks) {
    auto ramp = [](size_t n) {
        std::vector<double> v;
        for (size_t i = n; i > 0; --i)
            v.push_back(static_cast<double>(i)); // given backwards: the ranks are of the sorted values
        return v;
    };
    EXPECT_FALSE(medianInterval95(ramp(5)));
    EXPECT_FALSE(medianInterval95({}));
    struct Case {
        size_t n;
        double lo, hi; // ranks, 1-based (Conover's table of the median's 95 % interval)
    };
    for (const Case& c : {Case{6, 1, 6}, Case{10, 2, 9}, Case{20, 6, 15}, Case{100, 40, 61}}) {
        const auto ci = medianInterval95(ramp(c.n));
        ASSERT_TRUE(ci) << c.n;
        EXPECT_EQ(ci->first, c.lo) << c.n;
        EXPECT_EQ(ci->second, c.hi) << c.n;
    }
    // Thousands of values: near the normal approximation's n/2 -+ 1.96 sqrt(n)/2, not the median alone.
    const auto big = medianInterval95(ramp(4000));
    ASSERT_TRUE(big);
    EXPECT_NEAR(big->first, 2000 - 1.96 * std::sqrt(4000.0) / 2, 2);
    EXPECT_NEAR(big->second, 2001 + 1.96 * std::sqrt(4000.0) / 2, 2);
}

} // namespace
} // namespace kv::audit
