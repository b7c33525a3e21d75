#include "kv/engine/workbench_sim.h"
#include "test_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>
#include <utility>
#include <vector>

using namespace kv::engine;

namespace {

Material tissue50() {
    return {"BR12-50", 0.9819, {{1, 0.107}, {6, 0.401}, {7, 0.025}, {8, 0.464}, {15, 0.003}}};
}

WorkbenchSetup setup(double thickness, bool tomo = false) {
    WorkbenchSetup s;
    s.tomosynthesis = tomo;
    s.angularRange = tomo ? 7.5 : 0.0;
    s.thickness = thickness;
    s.phantom = tissue50();
    s.spectrum = test_support::syntheticHeelSpectrum();
    return s;
}

// Mean dose of a layer over the reference region.
double layerMean(const WorkbenchResult& r, int iz, bool scatter = false, bool both = true) {
    double sum = 0;
    for (int iy = kRefYBegin; iy < kRefYEnd; ++iy)
        for (int ix = 0; ix < kRefXEnd; ++ix) {
            size_t v = (static_cast<size_t>(iz) * kVoxelsY + iy) * kVoxelsX + ix;
            sum += both ? r.primary[v] + r.scatter[v] : (scatter ? r.scatter[v] : r.primary[v]);
        }
    return sum / 2000.0;
}

TEST(WorkbenchSimulation, LayersFollowTheThicknessAndItsLimits) {
    struct Row {
        double thickness;
        int layers;
    };
    for (Row r : {Row{0.1, 1}, Row{4.3, 43}, Row{5.0, 50}, Row{6.0, 60}, Row{2.25, 23}})
        EXPECT_EQ(WorkbenchSimulation(setup(r.thickness)).layers(), r.layers) << r.thickness;
    for (double bad : {0.0, 0.05, 6.01, 12.0, -1.0})
        EXPECT_THROW(WorkbenchSimulation(setup(bad)), std::invalid_argument) << bad;
}

TEST(WorkbenchSimulation, DoseFallsWithDepthAndMatchesItsOwnSummaries) {
    for (bool tomo : {false, true}) {
        WorkbenchSimulation sim(setup(5.0, tomo));
        RunControl ctl;
        WorkbenchResult r = sim.run(600000, 5, 2, ctl);
        ASSERT_EQ(r.layers, 50);
        // Summaries computed per history agree with the voxel tallies.
        EXPECT_NEAR(layerMean(r, 0) / r.referenceDose, 1.0, 1e-6);
        double column = 0;
        for (int iz = 0; iz < r.layers; ++iz)
            column += layerMean(r, iz);
        EXPECT_NEAR(column / r.layers / r.columnDose, 1.0, 1e-6);
        // Falling depth dose, primary falling faster than scatter.
        EXPECT_GT(layerMean(r, 0), layerMean(r, 10));
        EXPECT_GT(layerMean(r, 10), layerMean(r, 25));
        EXPECT_GT(layerMean(r, 25), layerMean(r, 49));
        double spr0 = layerMean(r, 0, true, false) / layerMean(r, 0, false, false);
        double spr40 = layerMean(r, 40, true, false) / layerMean(r, 40, false, false);
        EXPECT_GT(spr40, spr0);
        EXPECT_GT(spr0, 0.02);
        // Entrance dose and sAGD per unit air kerma: plausible for this soft test beam.
        EXPECT_GT(r.referenceDose / r.airKerma, 0.6);
        EXPECT_LT(r.referenceDose / r.airKerma, 1.3);
        EXPECT_GT(r.columnDose / r.airKerma, 0.08);
        EXPECT_LT(r.columnDose / r.airKerma, 0.40);
        EXPECT_LT(r.referenceRelSigma, 0.02);
        EXPECT_LT(r.columnRelSigma, 0.02);
        // Nothing reaches voxels beyond the phantom's thickness or outside the grid.
        EXPECT_EQ(r.primary.size(), static_cast<size_t>(kVoxelsX) * kVoxelsY * 50);
    }
}

// A monoenergetic beam: the primary dose of the entrance layer follows from
// the fluence, the paddle's attenuation and mu_en of glandular tissue, all
// taken from the air kerma's own normalisation.
TEST(WorkbenchSimulation, EntrancePrimaryDoseMatchesTheAnalyticValue) {
    // The second beam crosses a paddle of another material and thickness.
    for (auto [e, thick] : {std::pair{17.0, false}, std::pair{25.0, true}}) {
        WorkbenchSetup s = setup(5.0);
        if (thick) s.paddle = materials::pmma(), s.paddleThickness = 0.3;
        s.spectrum.energies = {e};
        s.spectrum.weights.assign(42, {1.0});
        WorkbenchSimulation sim(s);
        RunControl ctl;
        WorkbenchResult r = sim.run(1'500'000, 8, 2, ctl);
        MaterialPhysics paddle(s.paddle), phantom(s.phantom);
        double glandMuEn = MixtureData::energyAbsorption(materials::glandular(), e);
        double muEn = MixtureData::energyAbsorption(s.phantom, e);
        // Per history: fluence = 1 / (emitted * r^2) at the layer's top face;
        // first interactions in the layer's 1 mm, averaged over the reference
        // region. The deep layer's primary is what the expected track scores
        // of every primary photon, whether or not it gets there.
        for (int layer : {0, 20}) {
            double top = sim.phantomTop() + layer * kVoxel, expected = 0;
            int n = 0;
            for (int iy = kRefYBegin; iy < kRefYEnd; iy += 3)
                for (int ix = 0; ix < kRefXEnd; ix += 2) {
                    Vec3 p{(ix + 0.5) * kVoxel, (iy + 0.5) * kVoxel, top};
                    double r2 = dot(p, p), cosPsi = p.z / std::sqrt(r2);
                    double fluence = 1.0 / (sim.source().emittedIntoField() * r2);
                    double mu = phantom.muTotal(e), path = kVoxel / cosPsi;
                    double firstInLayer = std::exp(-mu * layer * path) * (1.0 - std::exp(-mu * path)) *
                                          (muEn * s.phantom.density / mu);
                    expected += fluence * std::exp(-paddle.muTotal(e) * s.paddleThickness / cosPsi) *
                                firstInLayer / (s.phantom.density * kVoxel) * cosPsi * e * 1000.0 *
                                glandMuEn / muEn;
                    ++n;
                }
            expected /= n;
            double primary = layerMean(r, layer, false, false);
            EXPECT_NEAR(primary / expected, 1.0, (layer == 0 ? 0.005 : 0.01) + 4 * r.referenceRelSigma)
                << e << " keV, layer " << layer << ", sd " << r.referenceRelSigma;
        }
    }
}

double medianReferenceSigma(const WorkbenchResult& r) {
    std::vector<double> rel;
    for (int iz = 0; iz < r.layers; ++iz)
        for (int iy = kRefYBegin; iy < kRefYEnd; ++iy)
            for (int ix = 0; ix < kRefXEnd; ++ix)
                rel.push_back(r.totalRelSigma[(static_cast<size_t>(iz) * kVoxelsY + iy) * kVoxelsX + ix]);
    std::nth_element(rel.begin(), rel.begin() + static_cast<long>(rel.size() / 2), rel.end());
    return rel[rel.size() / 2];
}

// The same photons scored each way (the scoring draws no random numbers):
// the 100 % dose and the sAGD agree within 2 sigma, the voxels are much less
// noisy with the track-length estimators, least with the expected track, and
// the summaries still add up from the voxels, also with a thinner last layer.
TEST(WorkbenchSimulation, TrackLengthAndAnalogueScoringAgree) {
    for (double thickness : {4.25, 2.0}) {
        WorkbenchSetup s = setup(thickness);
        s.quasiRandom = false; // the estimators' own noise, under independent draws
        std::vector<WorkbenchResult> r;
        for (DoseEstimator e :
             {DoseEstimator::Analogue, DoseEstimator::TrackLength, DoseEstimator::ExpectedTrack}) {
            s.estimator = e;
            RunControl ctl;
            r.push_back(WorkbenchSimulation(s).run(400000, 21, 2, ctl, 16384));
        }
        const WorkbenchResult &a = r[0], &tl = r[1], &et = r[2];
        auto within2Sigma = [](double x, double sx, double y, double sy) {
            return std::fabs(x - y) <= 2.0 * std::hypot(x * sx, y * sy);
        };
        for (const WorkbenchResult* t : {&tl, &et}) {
            const char* name = t == &tl ? " cm, track length: " : " cm, expected track: ";
            EXPECT_TRUE(
                within2Sigma(a.referenceDose, a.referenceRelSigma, t->referenceDose, t->referenceRelSigma))
                << thickness << name << a.referenceDose << " vs " << t->referenceDose;
            EXPECT_TRUE(within2Sigma(a.columnDose, a.columnRelSigma, t->columnDose, t->columnRelSigma))
                << thickness << name << a.columnDose << " vs " << t->columnDose;
            EXPECT_LT(t->referenceRelSigma, 0.6 * a.referenceRelSigma) << thickness << name;
            EXPECT_LT(medianReferenceSigma(*t), 0.4 * medianReferenceSigma(a)) << thickness << name;
        }
        EXPECT_LT(medianReferenceSigma(et), 0.85 * medianReferenceSigma(tl)) << thickness;
        EXPECT_LT(et.columnRelSigma, tl.columnRelSigma) << thickness;
        for (const WorkbenchResult& x : r) {
            EXPECT_NEAR(layerMean(x, 0) / x.referenceDose, 1.0, 1e-6) << thickness;
            double column = 0;
            for (int iz = 0; iz < x.layers; ++iz)
                column += layerMean(x, iz);
            EXPECT_NEAR(column / x.layers / x.columnDose, 1.0, 1e-6) << thickness;
        }
    }
}

// The batch estimate of a voxel's uncertainty against the spread of
// independent runs: their medians over the reference region agree.
TEST(WorkbenchSimulation, BatchUncertaintyMatchesTheSpreadOfIndependentRuns) {
    WorkbenchSimulation sim(setup(2.0));
    const int runs = 6;
    std::vector<WorkbenchResult> r;
    for (int k = 0; k < runs; ++k) {
        RunControl ctl;
        r.push_back(sim.run(150000, 100 + k, 2, ctl, 8192));
    }
    std::vector<double> spread;
    for (int iz = 0; iz < r[0].layers; ++iz)
        for (int iy = kRefYBegin; iy < kRefYEnd; ++iy)
            for (int ix = 0; ix < kRefXEnd; ++ix) {
                size_t v = (static_cast<size_t>(iz) * kVoxelsY + iy) * kVoxelsX + ix;
                double m = 0, q = 0;
                for (const auto& x : r)
                    m += (x.primary[v] + x.scatter[v]) / runs;
                for (const auto& x : r)
                    q += std::pow(x.primary[v] + x.scatter[v] - m, 2);
                spread.push_back(std::sqrt(q / (runs - 1)) / m);
            }
    std::nth_element(spread.begin(), spread.begin() + static_cast<long>(spread.size() / 2), spread.end());
    // The median of a sample deviation of 5 degrees of freedom is 0.9427 sigma.
    double fromRuns = spread[spread.size() / 2] / 0.9427;
    double fromBatches = 0;
    for (const auto& x : r)
        fromBatches += medianReferenceSigma(x) / runs;
    EXPECT_NEAR(fromBatches / fromRuns, 1.0, 0.1) << fromBatches << " vs " << fromRuns;
}

TEST(WorkbenchSimulation, AirKermaFollowsTheInverseSquareOfTheFcd) {
    WorkbenchSetup a = setup(5.0), b = setup(5.0);
    a.fcd = 30.0;
    b.fcd = 60.0;
    // Different heel rays at the two chambers; compare against the ray-corrected ratio.
    double ka = WorkbenchSimulation(a).airKerma(), kb = WorkbenchSimulation(b).airKerma();
    double ra2 = 36.0 + 900.0, rb2 = 36.0 + 3600.0;
    // Chamber at Y = 6: ray 22 (11.3 deg) at 30 cm, ray 11 (5.7 deg) at 60 cm; the
    // synthetic table falls 1.5 % per ray.
    double heel = (1.0 - 0.015 * 22) / (1.0 - 0.015 * 11);
    EXPECT_NEAR(ka * ra2 / (kb * rb2), heel, 1e-9);
}

} // namespace

namespace {

// Two shares run side by side the way two processes do, with a coordinator
// standing in for the exchange between them.
RunPart combinedShares(const WorkbenchSimulation& sim, uint64_t histories, uint64_t seed, double target,
                       uint64_t batchSize, double mapTarget = 0.0) {
    RunControl ctl[2];
    RunPart part[2];
    std::atomic<bool> finished[2] = {false, false};
    std::vector<std::thread> runs;
    for (unsigned p = 0; p < 2; ++p) {
        ctl[p].setShare({p, 2});
        ctl[p].setExternalCheckpoints(true);
        ctl[p].setTarget(target, 1);
        ctl[p].setMapTarget(mapTarget);
        runs.emplace_back([&, p] {
            part[p] = sim.runPart(histories, seed, p + 1, ctl[p], batchSize);
            finished[p].store(true);
        });
    }
    while (!(finished[0].load() && finished[1].load())) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        bool waiting[2], ready[2];
        for (int p = 0; p < 2; ++p) {
            bool done = finished[p].load();
            waiting[p] = !done && ctl[p].atCheckpoint();
            ready[p] = waiting[p] || done;
        }
        // Judged once both stand at the checkpoint or are through.
        if (!(waiting[0] || waiting[1]) || !ready[0] || !ready[1]) continue;
        std::vector<ScalarStats> a = ctl[0].checkpointBatches(), b = ctl[1].checkpointBatches();
        for (size_t i = 0; i < a.size(); ++i)
            a[i].add(b[i]);
        double mapSigma = 0.0;
        if (ctl[0].mapJudgedAtCheckpoint()) {
            MapSums m = ctl[0].mapSums(), o = ctl[1].mapSums();
            for (size_t i = 0; i < m.total.size() && i < o.total.size(); ++i)
                m.total[i] += o.total[i], m.squares[i] += o.squares[i];
            if (m.total.empty())
                m = o; // a share that ran no batch yet holds no sums
            else
                m.batches += o.batches, m.histories += o.histories;
            mapSigma = medianRelativeSigma(m);
        }
        for (RunControl& c : ctl)
            c.passCheckpoint(a, mapSigma);
    }
    for (std::thread& t : runs)
        t.join();
    RunPart all = part[0];
    for (size_t b = 0; b < all.batches.size(); ++b)
        all.batches[b].add(part[1].batches[b]);
    for (size_t i = 0; i < all.tally.size(); ++i)
        all.tally[i] += part[1].tally[i];
    for (size_t i = 0; i < all.squares.size(); ++i)
        all.squares[i] += part[1].squares[i];
    return all;
}

TEST(WorkbenchSimulation, SharesOfARunAddUpToTheWholeRunBitForBit) {
    WorkbenchSimulation sim(setup(2.0));
    // Batches of 4096, so that a stop (from 16 units on) can come well before the count.
    constexpr uint64_t kHistories = 120000, kBatch = 4096;
    struct Case {
        double target; // relative; 0 runs every history
        unsigned threads;
        double mapTarget = 0.0;
    };
    for (Case c : {Case{0.0, 1}, Case{0.0, 2}, Case{0.03, 1}, Case{0.03, 2}}) {
        RunControl ctl;
        ctl.setTarget(c.target, 1);
        WorkbenchResult whole = sim.run(kHistories, 99, c.threads, ctl, kBatch);
        WorkbenchResult shared = sim.finish(combinedShares(sim, kHistories, 99, c.target, kBatch));
        SCOPED_TRACE(testing::Message() << "target " << c.target << ", threads " << c.threads);
        EXPECT_EQ(shared.histories, whole.histories);
        EXPECT_EQ(shared.targetReached, whole.targetReached);
        EXPECT_EQ(shared.primary, whole.primary);
        EXPECT_EQ(shared.scatter, whole.scatter);
        EXPECT_EQ(shared.totalRelSigma, whole.totalRelSigma);
        EXPECT_EQ(shared.columnRelSigma, whole.columnRelSigma);
        if (c.target > 0) {
            // Stopped at a checkpoint short of the count, inside the target.
            EXPECT_TRUE(whole.targetReached);
            EXPECT_LT(whole.histories, kHistories);
            EXPECT_EQ(whole.histories % kBatch, 0u);
            EXPECT_LE(whole.columnRelSigma, c.target);
            EXPECT_FALSE(whole.stopped);
        } else {
            EXPECT_EQ(whole.histories, kHistories);
        }
    }
}

// A target on the map's median voxel uncertainty, alone or with the sAGD's,
// ends the run at the same checkpoint on one or two threads and over two
// shares, never before the batch a voxel's uncertainty needs, and with the map within it.
TEST(WorkbenchSimulation, AMapTargetEndsTheRunAtTheSameBatchWhateverRunsIt) {
    WorkbenchSimulation sim(setup(2.0));
    constexpr uint64_t kHistories = 400000, kBatch = 8192;
    struct Case {
        double sagd, map;
        uint64_t atLeast; // batches
    };
    for (Case c : {Case{0.0, 0.4, RunControl::kFirstMapBatch}, Case{0.01, 0.4, RunControl::kFirstMapBatch},
                   Case{0.0, 0.9, RunControl::kFirstMapBatch}}) {
        SCOPED_TRACE(testing::Message() << "sAGD " << c.sagd << ", map " << c.map);
        std::vector<WorkbenchResult> r;
        for (unsigned threads : {1u, 2u}) {
            RunControl ctl;
            ctl.setTarget(c.sagd, 1);
            ctl.setMapTarget(c.map);
            r.push_back(sim.run(kHistories, 31, threads, ctl, kBatch));
        }
        r.push_back(sim.finish(combinedShares(sim, kHistories, 31, c.sagd, kBatch, c.map)));
        for (const WorkbenchResult& x : r) {
            EXPECT_TRUE(x.targetReached);
            EXPECT_EQ(x.histories, r[0].histories);
            EXPECT_EQ(x.primary, r[0].primary);
            EXPECT_EQ(x.scatter, r[0].scatter);
            EXPECT_EQ(x.mapRelSigma, r[0].mapRelSigma);
        }
        EXPECT_GE(r[0].histories, c.atLeast * kBatch);
        EXPECT_LT(r[0].histories, kHistories);
        EXPECT_LE(r[0].mapRelSigma, c.map) << r[0].histories;
        if (c.sagd > 0) {
            EXPECT_LE(r[0].columnRelSigma, c.sagd);
        }
    }
    // Far out of reach, the map target runs every history.
    RunControl ctl;
    ctl.setMapTarget(0.001);
    WorkbenchResult all = sim.run(100000, 3, 2, ctl, kBatch);
    EXPECT_EQ(all.histories, 100000u);
    EXPECT_FALSE(all.targetReached);
}

// The ways of running one case, each with its own seeds, agree on the 100 %
// dose and the sAGD within three standard deviations of their difference,
// and each stated uncertainty is what the spread of independent runs shows.
TEST(WorkbenchSimulation, WithAndWithoutMapsAndQuasiRandomPointsTheNumbersAgree) {
    struct Mode {
        const char* name;
        bool maps, quasi;
    };
    const Mode modes[] = {{"maps, independent draws", true, false},
                          {"maps, quasi-random", true, true},
                          {"no maps, independent draws", false, false},
                          {"no maps, quasi-random", false, true}};
    constexpr int kRuns = 8;
    constexpr uint64_t kHistories = 1 << 17;
    struct Summary {
        double ref = 0, refSigma = 0, sagd = 0, sagdSigma = 0, statedSagd = 0;
    };
    std::vector<Summary> s;
    for (const Mode& m : modes) {
        WorkbenchSetup ws = setup(3.0);
        ws.maps = m.maps;
        ws.quasiRandom = m.quasi;
        WorkbenchSimulation sim(ws);
        EXPECT_EQ(sim.quasiRandom(), m.quasi) << m.name;
        std::vector<double> refs, sagds, stated;
        for (int k = 0; k < kRuns; ++k) {
            RunControl ctl;
            WorkbenchResult r = sim.run(kHistories, 500 + k, 2, ctl, 4096);
            EXPECT_EQ(r.maps, m.maps);
            refs.push_back(r.referenceDose);
            sagds.push_back(r.columnDose);
            stated.push_back(r.columnRelSigma);
            // The reference region of the map is the summaries' own.
            EXPECT_NEAR(layerMean(r, 0) / r.referenceDose, 1.0, 1e-6) << m.name;
            if (k > 0) continue;
            // The reference voxels have their sigma (bar the odd one nothing
            // reached); without the maps no other voxel has one.
            size_t known = 0, knownOutside = 0;
            for (int iz = 0; iz < r.layers; ++iz)
                for (int iy = 0; iy < kVoxelsY; ++iy)
                    for (int ix = 0; ix < kVoxelsX; ++ix) {
                        const bool ref = ix < kRefXEnd && iy >= kRefYBegin && iy < kRefYEnd;
                        const bool has =
                            r.totalRelSigma[(static_cast<size_t>(iz) * kVoxelsY + iy) * kVoxelsX + ix] > 0;
                        known += ref && has;
                        knownOutside += !ref && has;
                    }
            EXPECT_GT(known, kReferenceColumnVoxels * static_cast<size_t>(r.layers) * 99 / 100) << m.name;
            if (m.maps)
                EXPECT_GT(knownOutside, 0u) << m.name;
            else
                EXPECT_EQ(knownOutside, 0u) << m.name;
        }
        auto meanAndSigma = [](const std::vector<double>& v, double& mean, double& sigmaOfMean) {
            mean = 0;
            for (double x : v)
                mean += x / static_cast<double>(v.size());
            double q = 0;
            for (double x : v)
                q += (x - mean) * (x - mean);
            sigmaOfMean = std::sqrt(q / static_cast<double>(v.size() - 1) / static_cast<double>(v.size()));
        };
        Summary x;
        meanAndSigma(refs, x.ref, x.refSigma);
        meanAndSigma(sagds, x.sagd, x.sagdSigma);
        std::sort(stated.begin(), stated.end());
        x.statedSagd = stated[kRuns / 2] * x.sagd;
        // One run's stated sigma against the spread of the runs (7 degrees of
        // freedom: at the 3-sigma levels of chi-square, the spread lies
        // between 0.35 and 1.8 times the sigma; the stated sigma's own
        // accuracy is uncertainty_test.cpp's).
        const double spreadOfOne = x.sagdSigma * std::sqrt(static_cast<double>(kRuns));
        EXPECT_LT(x.statedSagd, spreadOfOne / 0.35) << m.name;
        EXPECT_GT(x.statedSagd, spreadOfOne / 1.8) << m.name;
        s.push_back(x);
    }
    for (size_t i = 1; i < s.size(); ++i) {
        EXPECT_LT(std::fabs(s[i].ref - s[0].ref), 3 * std::hypot(s[i].refSigma, s[0].refSigma))
            << modes[i].name;
        EXPECT_LT(std::fabs(s[i].sagd - s[0].sagd), 3 * std::hypot(s[i].sagdSigma, s[0].sagdSigma))
            << modes[i].name;
    }
}

TEST(WorkbenchSimulation, ATargetOutOfReachRunsEveryHistory) {
    WorkbenchSimulation sim(setup(2.0));
    RunControl ctl;
    ctl.setTarget(1e-6, 1);
    WorkbenchResult r = sim.run(50000, 3, 2, ctl, 8192);
    EXPECT_EQ(r.histories, 50000u);
    EXPECT_FALSE(r.targetReached);
    EXPECT_FALSE(r.stopped);
    EXPECT_DOUBLE_EQ(r.targetRelSigma, 1e-6);
}

TEST(RunControl, CheckpointsGrowByAQuarterFromTwoBatches) {
    std::vector<uint64_t> seen;
    for (uint64_t g = nextCheckpoint(0); seen.size() < 8; g = nextCheckpoint(g))
        seen.push_back(g);
    EXPECT_EQ(seen, (std::vector<uint64_t>{2, 4, 6, 8, 10, 12, 15, 18}));
    EXPECT_EQ(nextCheckpoint(400), 500u);
}

} // namespace
