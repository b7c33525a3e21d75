#include "kv/engine/fast_exp.h"
#include "kv/engine/physics.h"
#include "kv/engine/source.h"

#include <cmath>
#include <gtest/gtest.h>
#include <xraylib.h>

using namespace kv::engine;

namespace {

Material tissue50() {
    return {"BR12-50", 0.9819, {{1, 0.107}, {6, 0.401}, {7, 0.025}, {8, 0.464}, {15, 0.003}}};
}

// Pearson chi-square of sampled cosines against a density on [-1, 1].
template <class Density>
double chiSquarePerDof(const std::vector<double>& samples, Density density, int bins, int& dof) {
    std::vector<double> expected(bins, 0.0), observed(bins, 0.0);
    double total = 0;
    for (int b = 0; b < bins; ++b) {
        // Simpson over the bin
        double lo = -1.0 + 2.0 * b / bins, hi = lo + 2.0 / bins;
        const int n = 16;
        double s = 0, h = (hi - lo) / n;
        for (int i = 0; i <= n; ++i)
            s += (i == 0 || i == n ? 1 : (i % 2 ? 4 : 2)) * density(lo + i * h);
        expected[b] = s * h / 3;
        total += expected[b];
    }
    for (double c : samples)
        observed[std::min(bins - 1, static_cast<int>((c + 1.0) / 2.0 * bins))] += 1;
    double chi = 0;
    dof = 0;
    for (int b = 0; b < bins; ++b) {
        double e = expected[b] / total * static_cast<double>(samples.size());
        if (e < 5) continue; // too few to judge
        chi += (observed[b] - e) * (observed[b] - e) / e;
        ++dof;
    }
    dof -= 1;
    return chi / dof;
}

TEST(EnergyGrid, CellsCoverTheRangeInOrder) {
    for (double e : {1.0, 1.0001, 1.5, 2.0, 16.8, 17.48, 31.999, 50.0, 127.9}) {
        GridPoint g = gridPoint(e);
        ASSERT_LT(g.cell, static_cast<uint32_t>(kCells)) << e;
        EXPECT_LE(cellEnergy(g.cell), e);
        EXPECT_GT(cellEnergy(g.cell + 1), e);
        EXPECT_NEAR(cellEnergy(g.cell) + g.offset, e, 1e-12);
    }
    EXPECT_EQ(gridPoint(0.3).cell, 0u); // below the grid: the first cell
}

// The tables shared within a process are those of the material asked for,
// never of one that only resembles it (a row of another glandular fraction,
// density or name), whichever was asked for first.
TEST(MaterialPhysics, SharedTablesAreTheMaterialsOwn) {
    struct Case {
        const char* name;
        Material material;
    };
    Material denser = tissue50(), leaner = tissue50(), renamed = tissue50();
    denser.density = 1.02;
    leaner.elements[1].massFraction = 0.400;
    leaner.elements[3].massFraction = 0.465;
    renamed.name = "BR12-50 copy";
    const Case cases[] = {
        {"first use", tissue50()},
        {"another density", denser},
        {"another composition", leaner},
        {"another name", renamed},
        {"asked again", tissue50()},
        {"the plates", materials::pmma()},
        {"asked again after others", denser},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MaterialPhysics shared = MaterialPhysics::shared(c.material);
        const MaterialPhysics own(c.material);
        EXPECT_EQ(shared.material().name, c.material.name);
        EXPECT_EQ(shared.density(), c.material.density);
        for (double e : {1.5, 8.0, 17.48, 28.0, 49.9}) {
            EXPECT_EQ(shared.muTotal(e), own.muTotal(e)) << e;
            EXPECT_EQ(shared.muEnOverRho(e), own.muEnOverRho(e)) << e;
            EXPECT_EQ(shared.depositPerCm(e), own.depositPerCm(e)) << e;
        }
        Rng a(7, 1), b(7, 1);
        for (int i = 0; i < 50; ++i) {
            EXPECT_EQ(shared.sampleComptonCosine(20.0, a), own.sampleComptonCosine(20.0, b));
            EXPECT_EQ(shared.sampleRayleighCosine(20.0, a), own.sampleRayleighCosine(20.0, b));
        }
    }
}

TEST(MaterialPhysics, TablesFollowTheCrossSectionsOfTheMixture) {
    Material m = tissue50();
    MaterialPhysics p(m);
    for (double e : {1.2, 3.3, 8.0, 12.7, 16.8, 17.4, 20.0, 28.3, 35.0, 49.9}) {
        double direct =
            m.density * (MixtureData::photo(m, e) + MixtureData::rayleigh(m, e) + MixtureData::compton(m, e));
        EXPECT_NEAR(p.muTotal(e) / direct, 1.0, 5e-4) << e << " keV";
        EXPECT_NEAR(p.muEnOverRho(e) / MixtureData::energyAbsorption(m, e), 1.0, 5e-4) << e << " keV";
    }
}

// The tables are built from per-element values kept across materials: at
// each node they are the mixture's own cross sections to the bit, whichever
// material met an element first.
TEST(MaterialPhysics, NodesAreTheMixturesCrossSectionsExactly) {
    Material water = materialFromFormula("water", "H2O", 1.0);
    const Material cases[] = {materials::pmma(), tissue50(), water, materials::glandular(),
                              materials::dryAir()};
    for (const Material& m : cases) {
        SCOPED_TRACE(m.name);
        const MaterialPhysics p(m);
        for (uint32_t i : {0u, 1u, 255u, 700u, 1100u, 1500u, static_cast<uint32_t>(kCells - 1)}) {
            const double e = cellEnergy(i);
            const double mu = m.density * (MixtureData::photo(m, e) + MixtureData::rayleigh(m, e) +
                                           MixtureData::compton(m, e));
            EXPECT_EQ(p.cell(i).mu, mu) << e;
            EXPECT_EQ(p.cell(i).photo, m.density * MixtureData::photo(m, e)) << e;
            EXPECT_EQ(p.cell(i).coh, m.density * (MixtureData::photo(m, e) + MixtureData::rayleigh(m, e)))
                << e;
            EXPECT_EQ(p.muEnOverRho(e), MixtureData::energyAbsorption(m, e)) << e;
        }
    }
}

// The track-length weight is the mean of what an interaction deposits: the
// sampled electron energies of incoherent scatters agree with it, and it is
// the energy absorption coefficient of these fluorescence-free materials.
TEST(MaterialPhysics, DepositPerCmIsTheMeanOfTheAnalogueDeposits) {
    Material breast{"breast 20 %", 0.952, {{1, 0.110}, {6, 0.532}, {7, 0.020}, {8, 0.336}, {15, 0.0018}}};
    for (const Material& m : {tissue50(), breast}) {
        MaterialPhysics p(m);
        for (double e : {8.0, 16.0, 20.0, 32.0, 48.0}) { // grid nodes: no interpolation in the table
            const int n = 200000;
            Rng rng(11, static_cast<uint64_t>(e));
            double s1 = 0, s2 = 0;
            for (int i = 0; i < n; ++i) {
                double cost = p.sampleComptonCosine(e, rng);
                double loss = 1.0 - 1.0 / (1.0 + e / kElectronMass * (1.0 - cost));
                s1 += loss;
                s2 += loss * loss;
            }
            double mean = s1 / n, sd = std::sqrt((s2 / n - mean * mean) / n);
            double photo = m.density * MixtureData::photo(m, e),
                   compton = m.density * MixtureData::compton(m, e);
            double fromTable = (p.depositPerCm(e) - photo) / compton;
            EXPECT_NEAR(fromTable, mean, 4 * sd) << m.name << " " << e << " keV";
            EXPECT_NEAR(p.depositPerCm(e) / (m.density * MixtureData::energyAbsorption(m, e)), 1.0, 2e-3)
                << m.name << " " << e << " keV";
        }
    }
}

TEST(MixtureData, AttenuationAndEnergyAbsorptionAgreeWithTheStandardTables) {
    // mu/rho (coherent included) and mu_en/rho in cm2/g from the standard tables.
    Material water{"water", 1.0, {{1, 0.111894}, {8, 0.888106}}};
    Material air = materials::dryAir();
    struct Row {
        const Material* m;
        double keV, mu, muEn;
    };
    const Row rows[] = {
        {&water, 10, 5.329, 4.944},   {&water, 15, 1.673, 1.374},    {&water, 20, 0.8096, 0.5503},
        {&water, 30, 0.3756, 0.1557}, {&water, 50, 0.2269, 0.04223}, {&air, 10, 5.120, 4.742},
        {&air, 20, 0.7779, 0.5389},   {&air, 30, 0.3538, 0.1537},    {&air, 50, 0.2080, 0.04098},
    };
    for (const Row& r : rows) {
        double mu = MixtureData::photo(*r.m, r.keV) + MixtureData::rayleigh(*r.m, r.keV) +
                    MixtureData::compton(*r.m, r.keV);
        EXPECT_NEAR(mu / r.mu, 1.0, 0.02) << r.m->name << " " << r.keV << " keV";
        EXPECT_NEAR(MixtureData::energyAbsorption(*r.m, r.keV) / r.muEn, 1.0, 0.02)
            << r.m->name << " " << r.keV << " keV";
    }
}

// Sampled polar cosines at 8, 20 and 50 keV against the density the sampler stands for.
template <class Sample, class Density>
void expectAnglesFollow(Sample sample, Density density, uint64_t seed) {
    for (double e : {8.0, 20.0, 50.0}) {
        Rng rng(seed, static_cast<uint64_t>(e));
        std::vector<double> c(200000);
        for (double& v : c)
            v = sample(e, rng);
        int dof = 0;
        double chi = chiSquarePerDof(
            c, [&](double cost) { return density(e, cost); }, 100, dof);
        EXPECT_LT(chi, 1.0 + 4.0 * std::sqrt(2.0 / dof)) << e << " keV, dof " << dof;
    }
}

double momentumTransfer(double e, double cost) {
    return e / kHcKevAngstrom * std::sqrt(0.5 * (1.0 - cost));
}

TEST(MaterialPhysics, IncoherentAnglesFollowKleinNishinaTimesTheScatteringFunction) {
    Material m = tissue50();
    MaterialPhysics p(m);
    expectAnglesFollow([&](double e, Rng& rng) { return p.sampleComptonCosine(e, rng); },
                       [&](double e, double cost) {
                           double eps = 1.0 / (1.0 + e / kElectronMass * (1.0 - cost));
                           double kn = eps * eps * (eps + 1.0 / eps - (1.0 - cost * cost));
                           return kn * MixtureData::scatteringFunction(m, momentumTransfer(e, cost));
                       },
                       7);
}

TEST(MaterialPhysics, CoherentAnglesFollowThomsonTimesTheFormFactor) {
    Material m = tissue50();
    MaterialPhysics p(m);
    expectAnglesFollow([&](double e, Rng& rng) { return p.sampleRayleighCosine(e, rng); },
                       [&](double e, double cost) {
                           return (1.0 + cost * cost) *
                                  MixtureData::formFactorSquared(m, momentumTransfer(e, cost));
                       },
                       11);
}

TEST(AliasTable, DrawsBinsInProportionToTheirWeights) {
    std::vector<double> w = {0.0, 1.0, 5.0, 0.5, 0.0, 3.5};
    AliasTable t(w);
    Rng rng(3, 0);
    std::vector<double> n(w.size(), 0);
    const int draws = 1'000'000;
    for (int i = 0; i < draws; ++i)
        n[t.sample(rng)] += 1;
    for (size_t i = 0; i < w.size(); ++i) {
        double p = w[i] / 10.0;
        EXPECT_NEAR(n[i] / draws, p, 5 * std::sqrt(p * (1 - p) / draws) + 1e-12) << "bin " << i;
    }
    EXPECT_THROW(AliasTable(std::vector<double>{0.0, 0.0}), std::invalid_argument);
}

TEST(Rng, StreamsDifferAndRepeat) {
    Rng a(1, 0), b(1, 0), c(1, 1), d(2, 0);
    uint64_t x = a.next();
    EXPECT_EQ(x, b.next());
    EXPECT_NE(x, c.next());
    EXPECT_NE(x, d.next());
    double sum = 0;
    for (int i = 0; i < 100000; ++i) {
        double u = a.uniformOpen();
        ASSERT_GT(u, 0.0);
        ASSERT_LE(u, 1.0);
        sum += u;
    }
    EXPECT_NEAR(sum / 100000, 0.5, 0.005);
}

} // namespace

namespace {

// The inline exponential against the library's over the attenuations a
// history meets (and the clamp beyond), and 1 - exp(-x) where the plain
// form would cancel.
TEST(FastExp, WithinTwoRoundingsOfTheLibrarys) {
    struct Range {
        double from, to, relative;
    };
    for (const Range r : {Range{-1e-300, 1e-300, 2.3e-16}, Range{-0.01, 0.01, 2.3e-16}, Range{-1, 1, 2.3e-16},
                          Range{-50, 0, 2.3e-16}, Range{-700, -50, 2.3e-16}, Range{0, 700, 2.3e-16}}) {
        SCOPED_TRACE(testing::Message() << r.from << ".." << r.to);
        for (int i = 0; i <= 20000; ++i) {
            const double x = r.from + (r.to - r.from) * i / 20000.0;
            ASSERT_NEAR(fastExp(x) / std::exp(x), 1.0, r.relative) << x;
        }
    }
    EXPECT_EQ(fastExp(0.0), 1.0);
    EXPECT_EQ(fastExp(-1000.0), fastExp(-708.0));
    EXPECT_GT(fastExp(-708.0), 0.0);
    for (double x : {1e-12, 1e-6, 1e-3, 0.0054, 0.01, 0.1, 1.0, 30.0}) {
        const double relative = x < 0.0054 ? 4.5e-16 : 2e-14;
        EXPECT_NEAR(fastOneMinusExpNeg(x) / -std::expm1(-x), 1.0, relative) << x;
    }
}

// The source's tangent: its series up to 0.1 and the library's beyond,
// with no step where they meet.
TEST(TanOfHalfAngle, WithinARoundingOfTheLibrarys) {
    for (int i = -30000; i <= 30000; ++i) {
        const double x = 0.15 * i / 30000.0;
        ASSERT_NEAR(tanOfHalfAngle(x), std::tan(x), 2.3e-16 * std::fabs(std::tan(x))) << x;
    }
    for (double x : {0.0, 1e-300, 1e-8, 0.1, std::nextafter(0.1, 1.0), 1.2})
        EXPECT_NEAR(tanOfHalfAngle(x), std::tan(x), 2.3e-16 * std::tan(x)) << x;
    EXPECT_TRUE(std::isnan(tanOfHalfAngle(std::nan(""))));
}

} // namespace
