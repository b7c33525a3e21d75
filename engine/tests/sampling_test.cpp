// Quasi-random source points: the scrambled sequence keeps its even spread,
// and the source's inversion draws the photons of the rejection sampler.
#include "kv/engine/quasi_random.h"
#include "kv/engine/runner.h"
#include "kv/engine/source.h"
#include "test_support.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using namespace kv::engine;

namespace {

// Point by point, the sequence's own points in Gray-code order, each
// coordinate scrambled by its seed and then shifted: one by one and, where
// the processor has it, in one vector.
TEST(ScrambledSobol, StepByStepPointsAreTheSequencesPoints) {
    for (bool vectorised : {false, true}) {
        SCOPED_TRACE(vectorised ? "vectorised" : "one by one");
        ScrambledSobol s(vectorised);
        EXPECT_EQ(s.vectorised(), vectorised && ScrambledSobol::vectorAvailable());
        // Dimension 1 is van der Corput: Gray codes 1 and 3 give 1/2 and 3/4.
        EXPECT_EQ(s.raw(1, 0), 0x80000000u);
        EXPECT_EQ(s.raw(2, 0), 0xc0000000u);
        // Dimension 2 (x + 1): direction numbers 1/2, 3/4, 5/8, ...
        EXPECT_EQ(s.raw(1, 1), 0x80000000u);
        EXPECT_EQ(s.raw(3, 1), 0xc0000000u); // Gray code 2: the second direction number alone
        for (const auto& [seeds, shifts] :
             {std::pair{std::array<uint32_t, 3>{0, 0, 0}, std::array<uint64_t, 3>{0, 0, 0}},
              std::pair{std::array<uint32_t, 3>{12345, 7, 0xfffffffeu},
                        std::array<uint64_t, 3>{0x0123456789abcdefull, 1, 0xffffffffffffffffull}}}) {
            s.restart(seeds, shifts);
            for (uint32_t i = 0; i < 3000; ++i) {
                const std::array<double, 3> u = s.next();
                for (int d = 0; d < 3; ++d) {
                    const uint64_t bits =
                        (uint64_t{ScrambledSobol::scramble(s.raw(i, d), seeds[d])} << 32) ^ shifts[d];
                    EXPECT_EQ(u[d], static_cast<double>(bits >> 11) * 0x1.0p-53) << i << ", " << d;
                }
            }
        }
    }
}

// Every run of 2^m points from index 0, scrambled and shifted, puts one
// point into each of the 2^m equal intervals of every axis, and one into
// each elementary box of 2^a x 2^(m-a) cells of the first two axes.
TEST(ScrambledSobol, EachRestartSpreadsItsFirstPowerOfTwoPointsEvenly) {
    ScrambledSobol s;
    Rng rng(7, 3);
    constexpr int m = 10;
    constexpr uint32_t n = 1u << m;
    for (int restart = 0; restart < 3; ++restart) {
        s.restart(rng);
        std::vector<std::array<double, 3>> pts(n);
        for (auto& p : pts)
            p = s.next();
        for (int d = 0; d < 3; ++d) {
            std::vector<int> hits(n, 0);
            for (const auto& p : pts)
                ++hits[static_cast<size_t>(p[d] * n)];
            EXPECT_EQ(*std::min_element(hits.begin(), hits.end()), 1) << "axis " << d;
        }
        for (int a = 0; a <= m; ++a) {
            const uint32_t nx = 1u << a, ny = n / nx;
            std::vector<int> hits(n, 0);
            for (const auto& p : pts)
                ++hits[static_cast<size_t>(p[0] * nx) * ny + static_cast<size_t>(p[1] * ny)];
            EXPECT_EQ(*std::max_element(hits.begin(), hits.end()), 1) << "boxes " << nx << " x " << ny;
        }
    }
}

// Each point is uniform over the restarts: the mean of one coordinate of a
// fixed point over many restarts is 1/2 within its standard error.
TEST(ScrambledSobol, AFixedPointIsUniformOverRestarts) {
    ScrambledSobol s;
    Rng rng(11, 5);
    for (int index : {0, 1, 37}) {
        double sum[3] = {}, sum2[3] = {};
        const int restarts = 20000;
        for (int r = 0; r < restarts; ++r) {
            s.restart(rng);
            std::array<double, 3> p{};
            for (int i = 0; i <= index; ++i)
                p = s.next();
            for (int d = 0; d < 3; ++d)
                sum[d] += p[d], sum2[d] += p[d] * p[d];
        }
        for (int d = 0; d < 3; ++d) {
            EXPECT_NEAR(sum[d] / restarts, 0.5, 4 * std::sqrt(1.0 / 12 / restarts)) << index << ", " << d;
            EXPECT_NEAR(sum2[d] / restarts, 1.0 / 3, 4 * std::sqrt(4.0 / 45 / restarts))
                << index << ", " << d;
        }
    }
}

FieldSource fixedFocus(FieldGeometry g = {}) {
    return FieldSource(g, test_support::syntheticHeelSpectrum());
}

// The inversion and the rejection sampler draw the same photons: counts in
// cells of position on the detector and in energy bands agree within their
// statistics.
TEST(FieldSource, InversionDrawsTheRejectionSamplersPhotons) {
    FieldGeometry narrow;
    narrow.x0 = -3.0, narrow.x1 = 3.0, narrow.y0 = -2.0, narrow.y1 = 20.0; // rows on both sides of the focus
    for (const FieldGeometry& g : {FieldGeometry{}, narrow}) {
        FieldSource src = fixedFocus(g);
        ASSERT_TRUE(src.invertible());
        constexpr int kCells = 8, kBands = 6;
        const int draws = 400000;
        auto cellOf = [&](const SourcePhoton& p) {
            const double t = (g.detectorZ - p.pos.z) / p.dir.z;
            const double x = p.pos.x + t * p.dir.x, y = p.pos.y + t * p.dir.y;
            EXPECT_GE(x, g.x0 - 1e-9);
            EXPECT_LE(x, g.x1 + 1e-9);
            EXPECT_GE(y, g.y0 - 1e-9);
            EXPECT_LE(y, g.y1 + 1e-9);
            int cx = std::clamp(static_cast<int>((x - g.x0) / (g.x1 - g.x0) * kCells), 0, kCells - 1);
            int cy = std::clamp(static_cast<int>((y - g.y0) / (g.y1 - g.y0) * kCells), 0, kCells - 1);
            int band = std::clamp(static_cast<int>((p.energy - 5.0) / 4.0), 0, kBands - 1);
            return (cy * kCells + cx) * kBands + band;
        };
        std::vector<double> rejected(kCells * kCells * kBands, 0.0), inverted(rejected.size(), 0.0);
        Rng a(3, 1), b(3, 2);
        for (int i = 0; i < draws; ++i) {
            rejected[static_cast<size_t>(cellOf(src.sample(a)))] += 1;
            inverted[static_cast<size_t>(
                cellOf(src.sampleInverted({b.uniform(), b.uniform(), b.uniform()})))] += 1;
        }
        double chi2 = 0;
        int dof = 0;
        for (size_t c = 0; c < rejected.size(); ++c) {
            if (rejected[c] + inverted[c] < 20) continue;
            chi2 += std::pow(rejected[c] - inverted[c], 2) / (rejected[c] + inverted[c]);
            ++dof;
        }
        // chi-square of `dof` degrees of freedom: mean dof, sd sqrt(2 dof)
        EXPECT_LT(chi2, dof + 5 * std::sqrt(2.0 * dof)) << "over " << dof << " cells";
        EXPECT_GT(dof, 100);
    }
}

TEST(FieldSource, OnlyAStillFocusAboveTheFieldsMiddleIsInverted) {
    FieldGeometry offCentre, sweep;
    offCentre.x0 = -5.0, offCentre.x1 = 7.5;
    sweep.angleMinDeg = -7.5, sweep.angleMaxDeg = 7.5;
    EXPECT_TRUE(fixedFocus().invertible());
    EXPECT_FALSE(fixedFocus(offCentre).invertible());
    EXPECT_FALSE(fixedFocus(sweep).invertible());
}

// The emission into a field is worked out once per process: a source built
// again, in any order among others, states what the first one did, and one
// of another field or spectrum is not given the first's (twice the weights
// give exactly twice the emission, the sum being the same with every term
// doubled).
TEST(FieldSource, EmissionKeptPerFieldAndSpectrum) {
    FieldGeometry narrow, sweep, farther;
    narrow.x0 = -3.0, narrow.x1 = 3.0;
    sweep.angleMinDeg = -7.5, sweep.angleMaxDeg = 7.5;
    farther.detectorZ = 70.0;
    RaySpectra doubled = test_support::syntheticHeelSpectrum();
    for (std::vector<double>& ray : doubled.weights)
        for (double& w : ray)
            w *= 2;
    const FieldGeometry fields[] = {FieldGeometry{}, narrow, sweep, farther};
    std::vector<double> first;
    for (const FieldGeometry& g : fields)
        first.push_back(fixedFocus(g).emittedIntoField());
    for (size_t i = 0; i < first.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            EXPECT_NE(first[i], first[j]) << i << " and " << j;
    for (size_t i = first.size(); i-- > 0;) {
        EXPECT_EQ(fixedFocus(fields[i]).emittedIntoField(), first[i]) << i;
        EXPECT_EQ(FieldSource(fields[i], doubled).emittedIntoField(), 2 * first[i]) << i;
    }
}

// The uncertainty of a mean from units: the histories' own spread until
// there are enough units, then the units' spread.
TEST(ScalarStats, UnitsGiveTheUncertaintyOnceThereAreEnough) {
    ScalarStats st(1), unit(1);
    // Units of four histories whose scores cancel within the unit: the units
    // agree exactly, the histories do not.
    const double scores[4] = {1.0, 3.0, 3.0, 1.0};
    for (uint64_t u = 0; u < ScalarStats::kMinUnits; ++u) {
        if (u + 1 == ScalarStats::kMinUnits) {
            EXPECT_GT(st.sigma(0), 0.0) << "histories' spread";
        }
        for (double x : scores) {
            unit.n += 1;
            unit.s1[0] += x;
            unit.s2[0] += x * x;
        }
        st.closeUnit(unit);
        EXPECT_EQ(unit.n, 0u);
    }
    EXPECT_EQ(st.units, ScalarStats::kMinUnits);
    EXPECT_EQ(st.n, 4 * ScalarStats::kMinUnits);
    EXPECT_DOUBLE_EQ(st.mean(0), 2.0);
    EXPECT_NEAR(st.sigma(0), 0.0, 1e-12);
    // Units of one history are the plain per-history estimate.
    ScalarStats plain(1), one(1);
    for (double x : {1.0, 2.0, 4.0, 8.0, 3.0, 5.0, 7.0, 6.0, 2.0}) {
        one.n = 1, one.s1[0] = x, one.s2[0] = x * x;
        plain.closeUnit(one);
    }
    const double n = 9, m = plain.mean(0);
    EXPECT_NEAR(plain.sigma(0), std::sqrt((plain.s2[0] / n - m * m) / (n - 1)), 1e-12);
}

// What the progress shows while a unit is under way: with enough units their
// spread, untouched by the open unit's histories (which once drove it to
// 0.00 % for a whole run with maps); before that, every history.
TEST(RunControl, LiveUncertaintyLeavesTheOpenUnitOutOnceUnitsGiveIt) {
    auto unitOf = [](double total) {
        ScalarStats u(1);
        for (double x : {total / 2 - 1, total / 2 + 1}) {
            u.n += 1;
            u.s1[0] += x;
            u.s2[0] += x * x;
        }
        return u;
    };
    ScalarStats open(1);
    for (int i = 0; i < 1000; ++i) {
        open.n += 1;
        open.s1[0] += 5.0;
        open.s2[0] += 25.0;
    }
    for (uint64_t units : {ScalarStats::kMinUnits - 1, ScalarStats::kMinUnits + 4}) {
        RunControl ctl;
        ctl.begin(1, 1, 100);
        ScalarStats closed(1), none(1);
        for (uint64_t k = 0; k < units; ++k) {
            ScalarStats u = unitOf(k % 2 ? 9.0 : 11.0);
            closed.closeUnit(u);
        }
        ctl.publish(0, closed, none, open, 1);
        const ScalarStats live = ctl.liveStats();
        if (units < ScalarStats::kMinUnits) {
            EXPECT_EQ(live.n, closed.n + open.n);
        } else {
            EXPECT_EQ(live.n, closed.n);
            EXPECT_GT(live.sigma(0), 0.0);
            EXPECT_DOUBLE_EQ(live.sigma(0), closed.sigma(0));
        }
    }
}

TEST(MapSums, MedianSigmaEstimatesTheSigmaNotTheMedianOfItsEstimates) {
    // Voxels of known sigma: batch totals drawn normally about 1000 with sd 100.
    Rng rng(5, 9);
    const uint64_t batches = 8, perBatch = 1000;
    MapSums m;
    m.batches = batches;
    m.histories = batches * perBatch;
    for (int v = 0; v < 20000; ++v) {
        int64_t total = 0;
        uint64_t squares = 0;
        for (uint64_t b = 0; b < batches; ++b) {
            double u1 = rng.uniformOpen(), u2 = rng.uniform();
            int64_t t =
                std::llround(1000.0 + 100.0 * std::sqrt(-2 * std::log(u1)) * std::cos(6.283185307 * u2));
            total += t;
            squares += scaledSquare(t, 1.0 / perBatch);
        }
        m.total.push_back(total);
        m.squares.push_back(squares);
    }
    // sigma of the total of 8 batches relative to it: sqrt(8) 100 / 8000
    EXPECT_NEAR(medianRelativeSigma(m), std::sqrt(8.0) * 100 / 8000, 0.02 * std::sqrt(8.0) * 100 / 8000);
    m.batches = 1;
    EXPECT_EQ(medianRelativeSigma(m), 1.0);
}

} // namespace

namespace {

// The exponential variates: a million draws against exp(-x) at points inside
// layers, at the base's edge and in the tail, each share within 5 of its
// binomial sigmas, and the mean and variance of a unit exponential.
TEST(Rng, ExponentialVariatesFollowTheExponentialLaw) {
    Rng rng(20261209, 1);
    constexpr int n = 1000000;
    const double edge = kExponentialZiggurat.edge;
    const std::vector<double> at = {0.01, 0.1, 0.5, 1.0, 2.0, 4.0, edge - 0.01, edge, edge + 1.0, 10.0};
    std::vector<int> beyond(at.size(), 0);
    double sum = 0, squares = 0;
    for (int i = 0; i < n; ++i) {
        const double x = rng.exponential();
        ASSERT_TRUE(x >= 0 && std::isfinite(x)) << x;
        sum += x, squares += x * x;
        for (size_t k = 0; k < at.size(); ++k)
            beyond[k] += x > at[k];
    }
    for (size_t k = 0; k < at.size(); ++k) {
        const double p = std::exp(-at[k]);
        EXPECT_NEAR(beyond[k] / double(n), p, 5 * std::sqrt(p * (1 - p) / n) + 1e-7) << "x > " << at[k];
    }
    const double mean = sum / n;
    EXPECT_NEAR(mean, 1.0, 5e-3);
    EXPECT_NEAR(squares / n - mean * mean, 1.0, 1.5e-2);
}

// The importance density: warped uniforms weighted by the returned weight
// integrate any function as the plain uniform does, the weight is 1 over the
// density, and a ratio of 1 or an interval over all of [0, 1] changes nothing.
TEST(IntervalImportance, WeightsKeepEveryIntegral) {
    struct Case {
        double lo, hi, ratio;
        bool active;
    };
    for (const Case c :
         {Case{0.3, 0.7, 2.5, true}, Case{0.0, 0.2, 4.0, true}, Case{0.9, 1.0, 0.5, true},
          Case{0.3, 0.7, 1.0, false}, Case{-1.0, 2.0, 3.0, false}, Case{0.5, 0.5, 3.0, false}}) {
        SCOPED_TRACE(testing::Message() << c.lo << ".." << c.hi << " x" << c.ratio);
        const IntervalImportance imp(c.lo, c.hi, c.ratio);
        EXPECT_EQ(imp.active(), c.active);
        constexpr int n = 1 << 16;
        double weights = 0, firstMoment = 0, inside = 0;
        for (int i = 0; i < n; ++i) {
            double u = (i + 0.5) / n;
            const double w = imp.warp(u);
            ASSERT_TRUE(u >= 0 && u <= 1) << u;
            if (!c.active) {
                EXPECT_EQ(u, (i + 0.5) / n);
            }
            weights += w, firstMoment += w * u * u, inside += u >= c.lo && u < c.hi;
        }
        // the one cell that holds an edge of the interval takes one weight: 1 / n off at most
        EXPECT_NEAR(weights / n, 1.0, 1e-4);
        EXPECT_NEAR(firstMoment / n, 1.0 / 3.0, 1e-4);
        // the points' share inside the interval is its length times the ratio, over the density's total
        if (c.active) {
            const double len = c.hi - c.lo;
            EXPECT_NEAR(inside / n, c.ratio * len / (1 - len + c.ratio * len), 1e-4);
        }
    }
}

} // namespace
