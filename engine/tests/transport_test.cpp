#include "kv/engine/breast_reference.h"
#include "kv/engine/transport.h"
#include "kv/engine/voxel_walk.h"
#include "kv/engine/workbench_sim.h"
#include "test_support.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace kv::engine;

namespace {

Material tissue50() {
    return {"BR12-50", 0.9819, {{1, 0.107}, {6, 0.401}, {7, 0.025}, {8, 0.464}, {15, 0.003}}};
}

TEST(Transport, NarrowBeamTransmissionIsExponential) {
    std::vector<MaterialPhysics> phys;
    phys.emplace_back(tissue50());
    struct Row {
        double keV, thickness;
    };
    for (Row r : {Row{12.0, 0.5}, Row{20.0, 2.0}, Row{30.0, 4.0}, Row{45.0, 6.0}}) {
        // The slab alone in vacuum, an absorber behind it.
        Scene scene({{{{{-1e3, -1e3, 0.0}, {1e3, 1e3, r.thickness}}}, 0, false},
                     {{{{-1e3, -1e3, r.thickness}, {1e3, 1e3, 1e3}}}, kVacuum, true}},
                    Box{{-1e3, -1e3, -1.0}, {1e3, 1e3, 1e3}}, kVacuum);
        struct Scorer {
            bool straight = false;
            void deposit(int, Vec3, double, double, bool) {}
            void leave(const Photon& ph) { straight = !ph.scattered && ph.dir.z == 1.0; }
        };
        Rng rng(5, static_cast<uint64_t>(r.keV));
        const int n = 200000;
        int through = 0;
        for (int i = 0; i < n; ++i) {
            Scorer s;
            transport(Photon{{0, 0, -0.5}, {0, 0, 1}, r.keV, false}, scene, phys, rng, s);
            through += s.straight ? 1 : 0;
        }
        Material m = tissue50();
        double mu = m.density * (MixtureData::photo(m, r.keV) + MixtureData::rayleigh(m, r.keV) +
                                 MixtureData::compton(m, r.keV));
        double p = std::exp(-mu * r.thickness);
        EXPECT_NEAR(static_cast<double>(through) / n, p, 4 * std::sqrt(p * (1 - p) / n)) << r.keV << " keV";
    }
}

// A plate that attenuates only: the photons that cross it untouched go on,
// every other one ends there without a deposit or a scattered photon.
TEST(Transport, ARegionThatStopsAtInteractionAttenuatesButNeverScatters) {
    std::vector<MaterialPhysics> phys;
    phys.emplace_back(materials::pmma());
    const double thickness = 1.0, keV = 18.0;
    Region plate{{{{-1e3, -1e3, 0.0}, {1e3, 1e3, thickness}}}, 0, false};
    plate.stopsAtInteraction = true;
    Scene scene({plate}, Box{{-1e3, -1e3, -1.0}, {1e3, 1e3, 1e3}}, kVacuum);
    struct Scorer {
        int deposits = 0, scattered = 0, through = 0;
        void deposit(int, Vec3, double, double, bool) { ++deposits; }
        void leave(const Photon& ph) {
            scattered += ph.scattered;
            through += !ph.scattered && ph.pos.z > thicknessOf;
        }
        double thicknessOf = 1.0;
    } s;
    Rng rng(9, 1);
    const int n = 100000;
    for (int i = 0; i < n; ++i)
        transport(Photon{{0, 0, -0.5}, {0, 0, 1}, keV, false}, scene, phys, rng, s);
    EXPECT_EQ(s.deposits, 0);
    EXPECT_EQ(s.scattered, 0);
    const Material m = materials::pmma();
    const double mu = m.density * (MixtureData::photo(m, keV) + MixtureData::rayleigh(m, keV) +
                                   MixtureData::compton(m, keV));
    const double p = std::exp(-mu * thickness);
    EXPECT_NEAR(static_cast<double>(s.through) / n, p, 4 * std::sqrt(p * (1 - p) / n));
}

// A narrow beam into a slab: the track-length primary kerma of each layer is
// E k (exp(-mu z0) - exp(-mu z1)) / mu, and over the whole slab the
// track-length and the analogue scores of the same photons agree.
TEST(Transport, TrackLengthKermaOfANarrowBeamMatchesTheAnalyticValue) {
    std::vector<MaterialPhysics> phys;
    phys.emplace_back(tissue50());
    const MaterialPhysics& m = phys[0];
    const double thickness = 3.0;
    const int layers = 12;
    Scene scene({{{{{-1e3, -1e3, 0.0}, {1e3, 1e3, thickness}}}, 0, false}},
                Box{{-1e3, -1e3, -1.0}, {1e3, 1e3, 1e3}}, kVacuum);
    const VoxelGrid grid{{-1e3, -1e3, 0.0}, {2e3, 2e3, thickness / layers}, 1, 1, layers};
    struct Scorer {
        const MaterialPhysics* m;
        const VoxelGrid* grid;
        std::vector<double> primary;
        double track = 0, analogue = 0;
        void deposit(int region, Vec3, double edep, double, bool) { analogue += region == 0 ? edep : 0.0; }
        void leave(const Photon&) {}
        void flight(int region, const Photon& ph, double length) {
            if (region != 0) return;
            double w = ph.energy * m->depositPerCm(ph.energy);
            track += w * length;
            if (!ph.scattered)
                walkVoxels(*grid, ph.pos, ph.dir, length,
                           [&](int, int, int iz, double l) { primary[iz] += w * l; });
        }
    };
    for (double e : {17.0, 30.0}) {
        const int n = 100000;
        Rng rng(3, static_cast<uint64_t>(e));
        std::vector<double> s1(layers, 0.0), s2(layers, 0.0);
        double d1 = 0, d2 = 0, analogue = 0;
        for (int i = 0; i < n; ++i) {
            Scorer sc{&m, &grid, std::vector<double>(layers, 0.0)};
            transport(Photon{{0, 0, -0.5}, {0, 0, 1}, e, false}, scene, phys, rng, sc);
            for (int k = 0; k < layers; ++k)
                s1[k] += sc.primary[k], s2[k] += sc.primary[k] * sc.primary[k];
            double d = sc.track - sc.analogue;
            d1 += d, d2 += d * d, analogue += sc.analogue;
        }
        auto sd = [n](double a, double b) { return std::sqrt(std::max(0.0, b / n - (a / n) * (a / n)) / n); };
        const double mu = m.muTotal(e), k = e * m.depositPerCm(e);
        for (int l = 0; l < layers; ++l) {
            double z0 = l * thickness / layers, z1 = (l + 1) * thickness / layers;
            double expected = k * (std::exp(-mu * z0) - std::exp(-mu * z1)) / mu;
            EXPECT_NEAR(s1[l] / n, expected, 1e-3 * expected + 4 * sd(s1[l], s2[l]))
                << e << " keV, layer " << l;
        }
        EXPECT_NEAR(d1 / n, 0.0, 4 * sd(d1, d2)) << e << " keV, analogue " << analogue / n;
        EXPECT_LT(sd(d1, d2), 0.01 * analogue / n) << e << " keV";
    }
}

TEST(Transport, EnergyIsConserved) {
    // Breast reference geometry (air, several materials, curved surfaces).
    BreastReference ref;
    ReferenceResult r =
        ref.run(readReferenceSpectrum(KV_SOURCE_DIR "/tools/validation/reference/mo30kvp-spectrum.csv"), 15.0,
                {}, 100000, 9, 2);
    EXPECT_NEAR(r.emittedEv, r.depositedEv + r.escapedEv, r.emittedEv * 1e-9);
    EXPECT_GT(r.depositedEv, 0.3 * r.emittedEv);

    // Workbench geometry, tomosynthesis.
    WorkbenchSetup s;
    s.tomosynthesis = true;
    s.angularRange = 25;
    s.phantom = tissue50();
    s.spectrum = test_support::syntheticHeelSpectrum();
    WorkbenchSimulation sim(s);
    struct Balance {
        double dep = 0, left = 0;
        void deposit(int, Vec3, double e, double, bool) { dep += e; }
        void leave(const Photon& ph) { left += ph.energy; }
    } b;
    Rng rng(1, 2);
    double emitted = 0;
    for (int i = 0; i < 100000; ++i) {
        SourcePhoton sp = sim.source().sample(rng);
        emitted += sp.energy;
        transport(Photon{sp.pos, sp.dir, sp.energy, false}, sim.scene(), sim.physics(), rng, b);
    }
    EXPECT_NEAR(emitted, b.dep + b.left, emitted * 1e-12);
}

// Air kerma of the source model: the analytic value at a point against the
// kerma of the sampled photons crossing a small square around it.
// Transport trusts safety() to skip the exit distance: it must never exceed
// it, in a plain box or where it has no cheap bound (overlapped, cylinder, world).
TEST(Scene, SafetyNeverExceedsTheDistanceOut) {
    std::vector<Region> regions;
    regions.push_back({{{{-7.5, 0.0, 55.0}, {7.5, 15.0, 60.0}}}, 0, false});
    regions.push_back({{{{-12.0, 0.0, 54.0}, {12.0, 24.0, 61.0}}}, 1, false}); // overlaps region 0
    Shape cyl{{{-5.0, -5.0, 40.0}, {5.0, 5.0, 45.0}}, true, 0.0, 0.0, 4.0};
    regions.push_back({cyl, 0, false});
    Scene scene(regions, Box{{-100, -100, -100}, {100, 100, 100}}, kVacuum);
    Rng rng(3, 0);
    int checked[4] = {};
    for (int i = 0; i < 200000; ++i) {
        Vec3 p{-13.0 + 26.0 * rng.uniform(), -1.0 + 26.0 * rng.uniform(), 39.0 + 23.0 * rng.uniform()};
        Vec3 d{2.0 * rng.uniform() - 1.0, 2.0 * rng.uniform() - 1.0, 2.0 * rng.uniform() - 1.0};
        if (i % 7 == 0) d = {0.0, 0.0, i % 2 ? 1.0 : -1.0}; // along an axis
        double n = norm(d);
        if (n < 1e-3) continue;
        d = (1.0 / n) * d;
        int region = scene.locate(p);
        if (region == kOutside) continue;
        double safety = scene.safety(region, p);
        ASSERT_LE(safety, scene.distanceOut(region, p, d))
            << region << " at " << p.x << " " << p.y << " " << p.z;
        if (region == 0)
            EXPECT_GT(safety, 0.0);
        else
            EXPECT_EQ(safety, 0.0) << region;
        ++checked[region];
    }
    for (int r = 0; r < 4; ++r)
        EXPECT_GT(checked[r], 100) << r;
}

TEST(Source, AirKermaMatchesTheSampledPhotonsAndFallsWithTheInverseSquare) {
    RaySpectra beam = test_support::syntheticHeelSpectrum();
    Material air = materials::dryAir();
    std::vector<double> muEn;
    for (double e : beam.energies)
        muEn.push_back(MixtureData::energyAbsorption(air, e));
    FieldGeometry g; // mammography: focus at the origin, field 15 x 15 cm at 65 cm
    FieldSource src(g, beam);
    auto kermaAt = [&](Vec3 p) {
        std::vector<double> f = src.fluenceAt(p);
        double k = 0;
        for (size_t i = 0; i < f.size(); ++i)
            k += f[i] * beam.energies[i] * muEn[i];
        return k;
    };
    // The same ray: K r^2 stays constant.
    double k60 = kermaAt({0, 6, 60});
    for (double s : {0.5, 0.8, 1.05}) {
        double r2 = s * s * (36.0 + 3600.0);
        EXPECT_NEAR(kermaAt({0, 6 * s, 60 * s}) * r2 / (k60 * 3636.0), 1.0, 1e-12) << s;
    }
    for (double depth : {40.0, 64.0}) {
        const double half = 1.5;
        Rng rng(17, static_cast<uint64_t>(depth));
        const int n = 600000;
        double sum = 0;
        std::vector<double> byEnergy(beam.energies.size());
        for (size_t i = 0; i < beam.energies.size(); ++i)
            byEnergy[i] = beam.energies[i] * muEn[i];
        for (int i = 0; i < n; ++i) {
            SourcePhoton sp = src.sample(rng);
            double t = depth / sp.dir.z;
            double x = t * sp.dir.x, y = t * sp.dir.y;
            if (std::fabs(x) < half && std::fabs(y - 6.0) < half) {
                size_t bin = static_cast<size_t>(std::lround(sp.energy / 0.2)) - 5;
                sum += byEnergy[bin] / (4 * half * half * sp.dir.z);
            }
        }
        double mc = sum / n;
        double analytic = 0;
        const int m = 40;
        for (int a = 0; a < m; ++a)
            for (int b = 0; b < m; ++b)
                analytic +=
                    kermaAt({-half + 2 * half * (a + 0.5) / m, 6 - half + 2 * half * (b + 0.5) / m, depth});
        analytic /= m * m;
        EXPECT_NEAR(mc / analytic, 1.0, 0.025) << depth << " cm";
    }
}

TEST(Runner, TheSameSeedGivesTheSameResultOnAnyNumberOfThreads) {
    WorkbenchSetup s;
    s.thickness = 2.0;
    s.phantom = tissue50();
    s.spectrum = test_support::syntheticHeelSpectrum();
    WorkbenchSimulation sim(s);
    const uint64_t batch = 8192, n = 7 * batch + 1234;
    RunControl c1, c2, c3, c4;
    WorkbenchResult a = sim.run(n, 42, 1, c1, batch);
    WorkbenchResult b = sim.run(n, 42, 2, c2, batch);
    WorkbenchResult c = sim.run(n, 42, 3, c3, batch);
    WorkbenchResult d = sim.run(n, 43, 2, c4, batch);
    EXPECT_EQ(a.histories, n);
    EXPECT_EQ(c1.historiesDone(), n);
    EXPECT_EQ(a.primary, b.primary);
    EXPECT_EQ(a.scatter, c.scatter);
    EXPECT_EQ(a.referenceDose, c.referenceDose);
    EXPECT_EQ(a.columnRelSigma, b.columnRelSigma);
    EXPECT_NE(a.primary, d.primary);
    // The voxel uncertainty sums squares in the order the batches end.
    for (size_t v = 0; v < a.totalRelSigma.size(); ++v)
        ASSERT_NEAR(a.totalRelSigma[v], c.totalRelSigma[v], 1e-9 * a.totalRelSigma[v]) << v;
}

TEST(Runner, StopEndsTheRunWithTheHistoriesDone) {
    WorkbenchSetup s;
    s.phantom = tissue50();
    s.spectrum = test_support::syntheticHeelSpectrum();
    WorkbenchSimulation sim(s);
    RunControl ctl;
    ctl.requestStop();
    WorkbenchResult r = sim.run(100 * kBatchSize, 1, 2, ctl);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.histories, 0u);
    for (double v : r.primary)
        ASSERT_EQ(v, 0.0);
}

} // namespace

namespace {

// Counts histories per batch; throws in the history it is told to.
struct FaultyWorker {
    uint64_t failAt = ~uint64_t{0};
    uint64_t seen = 0, pending = 0, folded = 0;
    void history(Rng&) {
        if (seen++ == failAt) throw std::runtime_error("out of memory in the voxel sums");
        ++pending;
    }
    void foldHistory(ScalarStats& st) {
        st.n += 1;
        st.s1[0] += 1;
    }
    void endBatch() {
        folded += pending;
        pending = 0;
    }
};

TEST(Runner, AFaultInAWorkerStopsTheRunAndKeepsTheWholeBatches) {
    for (unsigned threads : {1u, 3u}) {
        std::vector<FaultyWorker> workers(threads);
        workers[threads - 1].failAt = 500; // inside its first batch of 1000
        RunControl ctl;
        std::vector<ScalarStats> batches = runBatches(100'000'000, 7, workers, 1, ctl, 1000);
        EXPECT_NE(ctl.failure().find("out of memory in the voxel sums"), std::string::npos) << threads;
        ScalarStats all = mergeInOrder(batches, 1);
        uint64_t folded = 0;
        for (const FaultyWorker& w : workers)
            folded += w.folded;
        // The broken batch is in neither the counts nor the sums; the run stopped early.
        EXPECT_EQ(all.n, folded) << threads;
        EXPECT_EQ(all.n % 1000, 0u) << threads;
        EXPECT_LT(all.n, 100'000'000u) << threads;
    }
}

} // namespace
