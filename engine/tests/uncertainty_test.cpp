// The uncertainties a run states against the spread of independent seeded
// runs, in every mode: maps or none, mammography (quasi-random units) or
// tomosynthesis (independent histories), one thread or two. Small units and
// batches keep it cheap: what is tested is the estimator, which does not
// depend on the unit's size.
//
// Tolerances: 200 runs of 16 units each (of 128 histories). The spread of 200 results is itself
// uncertain by 1 / sqrt(2 x 199) = 5 %, so 15 % is three of its sigmas; the
// seeds are fixed, so the test is stable in CI. The runs with a target use
// the spread of the fixed runs as the true sigma (it falls as 1 / sqrt(units))
// and want it within the target at the stop in at least 90 % of 100 runs.
// kv_sigma_check (bench/) is the same check on the workbench case itself.
#include "kv/engine/workbench_sim.h"
#include "kv/test_support/sample_stats.h"
#include "test_support.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace kv::engine;
using kv::test_support::rootMeanSquare;
using kv::test_support::sampleDeviation;
using kv::test_support::sampleMean;

namespace {

constexpr uint64_t kUnit = 128, kUnitsPerRun = 16, kBatch = 8 * kUnit;
constexpr int kRuns = 200, kTargetRuns = 100;

struct Mode {
    const char* name;
    bool maps, tomo;
};
constexpr Mode kModes[] = {
    {"MapsMammography", true, false},
    {"NoMapsMammography", false, false},
    {"MapsTomosynthesis", true, true},
    {"NoMapsTomosynthesis", false, true},
};

WorkbenchSetup thinCase(const Mode& m) {
    WorkbenchSetup s;
    s.tomosynthesis = m.tomo;
    s.angularRange = m.tomo ? 7.5 : 0.0;
    s.thickness = 0.5;
    s.phantom = {"BR12-50", 0.9819, {{1, 0.107}, {6, 0.401}, {7, 0.025}, {8, 0.464}, {15, 0.003}}};
    s.spectrum = test_support::syntheticHeelSpectrum();
    s.maps = m.maps;
    s.unitHistories = kUnit;
    return s;
}

// The three per-history channels and what a result states of each.
struct Channel {
    const char* name;
    double WorkbenchResult::*value;
    double WorkbenchResult::*relSigma;
};
constexpr Channel kChannels[] = {
    {"100 % dose", &WorkbenchResult::referenceDose, &WorkbenchResult::referenceRelSigma},
    {"sAGD", &WorkbenchResult::columnDose, &WorkbenchResult::columnRelSigma},
    {"whole-breast mean", &WorkbenchResult::breastDose, &WorkbenchResult::breastRelSigma},
};

// What one mode's runs give: per run the three quantities and their stated sigmas.
struct Runs {
    std::vector<WorkbenchResult> fixed, targeted;
    double target = 0;
};

Runs runMode(const Mode& m, unsigned threads, int fixedRuns, int targetRuns, double target) {
    const WorkbenchSimulation sim(thinCase(m));
    Runs out;
    out.target = target;
    for (int k = 0; k < fixedRuns; ++k) {
        RunControl ctl;
        out.fixed.push_back(
            sim.run(kUnit * kUnitsPerRun, 1000 + static_cast<uint64_t>(k), threads, ctl, kBatch));
    }
    for (int k = 0; k < targetRuns; ++k) {
        RunControl ctl;
        ctl.setTarget(target, 1);
        out.targeted.push_back(
            sim.run(400 * kUnit * kUnitsPerRun, 5000 + static_cast<uint64_t>(k), threads, ctl, kBatch));
    }
    return out;
}

bool sameResult(const WorkbenchResult& a, const WorkbenchResult& b) {
    return a.histories == b.histories && a.columnDose == b.columnDose &&
           a.columnRelSigma == b.columnRelSigma && a.referenceRelSigma == b.referenceRelSigma &&
           a.breastRelSigma == b.breastRelSigma && a.primary == b.primary && a.scatter == b.scatter;
}

class StatedUncertainty : public testing::TestWithParam<Mode> {};

// One thread: the statistics. Two threads: the same seeds give the same
// results and stated sigmas bit for bit (on a tenth of the seeds), so the
// statistics of one thread are theirs.
TEST_P(StatedUncertainty, MatchesTheSpreadOfSeededRunsAndTargetsHold) {
    const Mode& m = GetParam();
    ASSERT_EQ(WorkbenchSimulation(thinCase(m)).quasiRandom(), !m.tomo);
    Runs one = runMode(m, 1, kRuns, 0, 0);
    // A target a run meets at about two and a half times the fixed runs' units.
    std::vector<double> sagd;
    for (const WorkbenchResult& r : one.fixed)
        sagd.push_back(r.columnDose);
    const double perRun = sampleDeviation(sagd) / sampleMean(sagd);
    one.target = perRun / 1.6;
    one.targeted = runMode(m, 1, 0, kTargetRuns, one.target).targeted;
    for (const Channel& c : kChannels) {
        std::vector<double> values, stated;
        for (const WorkbenchResult& r : one.fixed) {
            values.push_back(r.*c.value);
            stated.push_back(r.*c.relSigma * r.*c.value);
        }
        EXPECT_NEAR(rootMeanSquare(stated) / sampleDeviation(values), 1.0, 0.15) << c.name;
    }
    // The true sigma falls as 1 / sqrt(units) from that of the fixed runs.
    const double unitsPerRun = static_cast<double>(m.tomo ? kUnit * kUnitsPerRun : kUnitsPerRun);
    const double perUnit = perRun * std::sqrt(unitsPerRun);
    int within = 0;
    for (const WorkbenchResult& r : one.targeted) {
        ASSERT_TRUE(r.targetReached) << r.histories;
        EXPECT_LE(r.columnRelSigma, one.target);
        const double units = static_cast<double>(m.tomo ? r.histories : r.histories / kUnit);
        within += perUnit / std::sqrt(units) <= one.target;
    }
    EXPECT_GE(within, kTargetRuns * 9 / 10) << "runs whose true sigma met the target at the stop";

    const Runs two = runMode(m, 2, kRuns / 10, kTargetRuns / 10, one.target);
    for (size_t k = 0; k < two.fixed.size(); ++k)
        EXPECT_TRUE(sameResult(two.fixed[k], one.fixed[k])) << "two threads, run " << k;
    for (size_t k = 0; k < two.targeted.size(); ++k)
        EXPECT_TRUE(sameResult(two.targeted[k], one.targeted[k])) << "two threads, target run " << k;
}

INSTANTIATE_TEST_SUITE_P(Modes, StatedUncertainty, testing::ValuesIn(kModes),
                         [](const testing::TestParamInfo<Mode>& i) { return std::string(i.param.name); });

} // namespace
