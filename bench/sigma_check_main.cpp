// The stated uncertainties of the workbench case (Mo/Mo 28 kV from the
// spectrum model, 5 cm of 50 %, FID 65, FCD 60) against the spread of
// independent seeded runs, in one mode per call:
//   kv_sigma_check [--runs R] [--histories N] [--threads T] [--no-maps] [--tomo]
//                  [--target P] [--target-runs K]
// prints, per quantity, the root mean square of the runs' stated sigma and the
// spread of their results (their ratio should be 1 within the spread's own
// uncertainty, 1 / sqrt(2 (R - 1))); with --target P (percent) it then runs K
// runs that stop at that sAGD target and counts those whose true sigma (the
// spread above scaled by the square root of the histories) met it at the stop.
// engine/tests/uncertainty_test.cpp is the same check, small, in CI.
#include "kv/test_support/sample_stats.h"
#include "workbench_case.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

using namespace kv::engine;
using kv::test_support::rootMeanSquare;
using kv::test_support::sampleDeviation;
using kv::test_support::sampleMean;

namespace {

constexpr const char* kUsage =
    "usage: kv_sigma_check [--runs R] [--histories N] [--threads T] [--no-maps] [--tomo]\n"
    "                      [--target P] [--target-runs K]\n";

} // namespace

int main(int argc, char** argv) {
    int runs = 40, targetRuns = 40;
    uint64_t histories = uint64_t{1} << 20;
    unsigned threads = 2;
    bool maps = true, tomo = false;
    double targetPercent = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--runs" && more)
            runs = std::atoi(argv[++i]);
        else if (a == "--histories" && more)
            histories = static_cast<uint64_t>(std::atof(argv[++i]));
        else if (a == "--threads" && more)
            threads = static_cast<unsigned>(std::atoi(argv[++i]));
        else if (a == "--no-maps")
            maps = false;
        else if (a == "--tomo")
            tomo = true;
        else if (a == "--target" && more)
            targetPercent = std::atof(argv[++i]);
        else if (a == "--target-runs" && more)
            targetRuns = std::atoi(argv[++i]);
        else
            return std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h"
                       ? (std::fputs(kUsage, stdout), 0)
                       : (std::fputs(kUsage, stderr), 2);
    }
    if (runs < 2 || histories == 0 || threads == 0) return std::fputs(kUsage, stderr), 2;
    kv::formats::SpectrumFields fields;
    fields.tubeVoltage = "28";
    WorkbenchSetup setup = workbenchCaseSetup(fields);
    setup.maps = maps;
    setup.tomosynthesis = tomo;
    setup.angularRange = tomo ? 7.5 : 0.0;
    const WorkbenchSimulation sim(setup);
    std::printf("Workbench case, %s, %s, %d runs of %llu histories on %u threads\n",
                tomo ? "tomosynthesis" : "mammography", maps ? "maps" : "no maps", runs,
                static_cast<unsigned long long>(histories), threads);
    struct Channel {
        const char* name;
        double WorkbenchResult::*value;
        double WorkbenchResult::*relSigma;
    };
    const Channel channels[] = {
        {"100 % dose", &WorkbenchResult::referenceDose, &WorkbenchResult::referenceRelSigma},
        {"sAGD", &WorkbenchResult::columnDose, &WorkbenchResult::columnRelSigma},
        {"whole-breast mean", &WorkbenchResult::breastDose, &WorkbenchResult::breastRelSigma},
    };
    std::vector<std::vector<double>> values(3), stated(3);
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < runs; ++k) {
        RunControl ctl;
        const WorkbenchResult r = sim.run(histories, 1 + static_cast<uint64_t>(k), threads, ctl);
        for (size_t c = 0; c < 3; ++c) {
            values[c].push_back(r.*channels[c].value);
            stated[c].push_back(r.*channels[c].relSigma * r.*channels[c].value);
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (size_t c = 0; c < 3; ++c) {
        const double m = sampleMean(values[c]), s = sampleDeviation(values[c]),
                     st = rootMeanSquare(stated[c]);
        std::printf("  %-18s stated %.4f %%  spread %.4f %%  ratio %.3f (+- %.3f)\n", channels[c].name,
                    100 * st / m, 100 * s / m, st / s, 1 / std::sqrt(2.0 * (runs - 1)));
    }
    std::printf("  %.1f s for the runs\n", seconds);
    if (targetPercent <= 0) return 0;
    const double target = targetPercent / 100;
    const double perHistory =
        sampleDeviation(values[1]) / sampleMean(values[1]) * std::sqrt(static_cast<double>(histories));
    int within = 0;
    std::vector<double> done, reached;
    for (int k = 0; k < targetRuns; ++k) {
        RunControl ctl;
        ctl.setTarget(target, 1);
        const WorkbenchResult r = sim.run(uint64_t{1} << 34, 100000 + static_cast<uint64_t>(k), threads, ctl);
        const double trueSigma = perHistory / std::sqrt(static_cast<double>(r.histories));
        within += trueSigma <= target;
        done.push_back(static_cast<double>(r.histories));
        reached.push_back(r.columnRelSigma);
    }
    std::printf(
        "  target %.3f %%: %d of %d runs stopped with their true sigma within it; mean %.3g histories, "
        "stated %.4f %% on average, true sigma at the mean stop %.4f %%\n",
        targetPercent, within, targetRuns, sampleMean(done), 100 * sampleMean(reached),
        100 * perHistory / std::sqrt(sampleMean(done)));
    return 0;
}
