// The tomosynthesis scan: how the tube loading of each projection is
// normalised, the per-projection tallies, and t(theta) against a calculation
// by hand.
#include "kv/engine/workbench_sim.h"
#include "test_support.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using namespace kv::engine;

namespace {

constexpr double kDeg = std::numbers::pi / 180;

// One energy, one ray: the hand calculation needs no spectrum.
RaySpectra monoenergetic(double kev) {
    RaySpectra s;
    s.energies = {kev};
    s.weights = {{1.0}};
    return s;
}

double muOf(const Material& m, double e) {
    return m.density * (MixtureData::photo(m, e) + MixtureData::rayleigh(m, e) + MixtureData::compton(m, e));
}

WorkbenchSetup protocolScan(double thickness, double range) {
    WorkbenchSetup s;
    s.thickness = thickness;
    s.phantom = materials::breastTissue(50);
    s.spectrum = test_support::syntheticHeelSpectrum();
    s.protocol = ProtocolBreast{kProtocolRadius, 0.5, materials::adipose()};
    s.platesScatter = false;
    s.maps = false;
    s.tomosynthesis = true;
    s.angularRange = range;
    return s;
}

struct Dose {
    double perKs, relSigma; // whole-breast mean glandular dose per the 0 deg surface kerma
};

Dose wholeBreast(const WorkbenchSetup& s, uint64_t histories, uint64_t seed = 11) {
    WorkbenchSimulation sim(s);
    RunControl ctl;
    const WorkbenchResult r = sim.run(histories, seed, 2, ctl);
    return {r.breastDose / r.airKermaSurface, r.breastRelSigma};
}

// A primary-only flat slab: the box phantom's primary dose per the 0 deg
// surface kerma, summed over the reference column, at tube angle theta over
// the same at 0 deg, against inverse square and the slant path through
// paddle and slab (each voxel's centre, both folded halves).
TEST(ScanNormalisation, PrimarySlabDoseFollowsInverseSquareAndSlantPath) {
    struct Row {
        const char* name;
        double angle, axisHeight;
    };
    const Row rows[] = {
        {"+25 deg about 5 cm above the detector", 25, 5},
        {"-25 deg, the same", -25, 5},
        {"15 deg about the detector plane", 15, 0},
        {"30 deg about 10 cm", 30, 10},
        {"-10 deg about 5 cm", -10, 5},
    };
    const double kev = 20.0;
    auto setupAt = [&](double angle, double axis) {
        WorkbenchSetup s;
        s.thickness = 4.0;
        s.phantom = materials::breastTissue(50);
        s.spectrum = monoenergetic(kev);
        s.maps = false;
        s.tomosynthesis = true;
        s.fad = s.fid - axis;
        s.singleAngle = angle;
        return s;
    };
    // Sum over the reference column of primary dose / Ks, and its hand value.
    auto engineSum = [](const WorkbenchSimulation& sim, const WorkbenchResult& r) {
        double sum = 0;
        for (int iz = 0; iz < r.layers; ++iz)
            for (int iy = kRefYBegin; iy < kRefYEnd; ++iy)
                for (int ix = 0; ix < kRefXEnd; ++ix)
                    sum += r.primary[(static_cast<size_t>(iz) * kVoxelsY + iy) * kVoxelsX + ix];
        return sum / sim.airKermaSurface();
    };
    auto handSum = [&](const WorkbenchSimulation& sim, double angle, double pivot) {
        const WorkbenchSetup& s = sim.setup();
        const Vec3 focus{pivot * std::sin(angle * kDeg), 0.0, pivot * (1 - std::cos(angle * kDeg))};
        const double muSlab = muOf(s.phantom, kev), muPaddle = muOf(s.paddle, kev);
        double sum = 0;
        for (int iz = 0; iz < sim.layers(); ++iz)
            for (int iy = kRefYBegin; iy < kRefYEnd; ++iy)
                for (int ix = 0; ix < kRefXEnd; ++ix)
                    for (double side : {-1.0, 1.0}) {
                        const Vec3 p{side * (ix + 0.5) * kVoxel, (iy + 0.5) * kVoxel,
                                     sim.phantomTop() + (iz + 0.5) * kVoxel};
                        const Vec3 d = p - focus;
                        const double r2 = dot(d, d), cosa = d.z / std::sqrt(r2);
                        const double depth = p.z - sim.phantomTop();
                        sum += std::exp(-(muSlab * depth + muPaddle * s.paddleThickness) / cosa) / r2;
                    }
        return sum;
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const WorkbenchSimulation at0(setupAt(0.0, row.axisHeight)), at(setupAt(row.angle, row.axisHeight));
        RunControl c0, c1;
        const WorkbenchResult r0 = at0.run(400000, 5, 2, c0), r1 = at.run(400000, 6, 2, c1);
        const double engine = engineSum(at, r1) / engineSum(at0, r0);
        const double pivot = at.setup().fad;
        const double hand = handSum(at, row.angle, pivot) / handSum(at0, 0.0, pivot);
        // The sums' sigma: the column sum's (expected-track primaries) is well below the sAGD's.
        const double sigma = std::hypot(r0.columnRelSigma, r1.columnRelSigma);
        EXPECT_NEAR(engine / hand, 1.0, 3 * sigma + 0.003) << "engine " << engine << ", hand " << hand;
        // The slant path matters: the ratio is not 1.
        EXPECT_LT(hand, 0.99);
    }
}

// A discrete scan's histories: projection i's share is loading_i x the solid
// angle of its field, over the sum; the draw matches within its binomial spread.
TEST(ScanNormalisation, HistoriesFollowLoadingTimesSolidAngle) {
    FieldGeometry g;
    g.detectorZ = 65, g.pivotDepth = 60;
    g.x0 = -15, g.x1 = 15, g.y0 = 0, g.y1 = 24;
    g.projectionAngles = {-25, 0, 10, 25};
    g.projectionLoading = {1, 2, 0, 1};
    const FieldSource src(g, monoenergetic(20));
    const auto& shares = src.loadingShares();
    ASSERT_EQ(shares.size(), 4u);
    EXPECT_DOUBLE_EQ(shares[1], 0.5);
    double emitted = 0;
    for (size_t i = 0; i < shares.size(); ++i)
        emitted += shares[i] * src.projectionEmission()[i];
    EXPECT_NEAR(src.emittedIntoField() / emitted, 1.0, 1e-12);
    // A swung focus sees the field at a smaller solid angle.
    EXPECT_LT(src.projectionEmission()[0], src.projectionEmission()[1]);
    EXPECT_NEAR(src.projectionEmission()[0] / src.projectionEmission()[3], 1.0, 1e-9);
    Rng rng(7, 0);
    const int n = 400000;
    std::vector<int> count(4, 0);
    for (int k = 0; k < n; ++k) {
        const SourcePhoton p = src.sample(rng);
        ASSERT_LT(p.projection, 4u);
        ++count[p.projection];
        // The photon leaves the focus of its projection.
        const Vec3 f = src.focus(g.projectionAngles[p.projection]);
        ASSERT_NEAR(p.pos.x, f.x, 1e-9);
    }
    EXPECT_EQ(count[2], 0) << "a projection without loading gets no histories";
    for (size_t i = 0; i < 4; ++i) {
        const double expected = shares[i] * src.projectionEmission()[i] / emitted;
        EXPECT_NEAR(count[i] / double(n), expected, 4 * std::sqrt(expected * (1 - expected) / n) + 1e-12)
            << "projection " << i;
    }
}

TEST(ScanAngles, EquallySpacedFromMinusToPlusRangeWithAnExactZero) {
    EXPECT_EQ(scanAngles(3, 25), (std::vector<double>{-25, 0, 25}));
    EXPECT_EQ(scanAngles(2, 7.5), (std::vector<double>{-7.5, 7.5}));
    const std::vector<double> a = scanAngles(15, 7.5);
    ASSERT_EQ(a.size(), 15u);
    EXPECT_EQ(a[7], 0.0);
    EXPECT_NEAR(a[1] - a[0], 15.0 / 14, 1e-12);
    EXPECT_EQ(a.front(), -7.5);
    EXPECT_EQ(a.back(), 7.5);
}

// A single projection at 0 deg is the mammography exposure of the same
// breast: the scan's detector field beyond the breast's shadow meets only
// absorbing plates.
TEST(ProtocolScanDose, SingleProjectionAtZeroIsTheMammographyRow) {
    for (double thickness : {2.0, 6.0}) {
        SCOPED_TRACE(thickness);
        WorkbenchSetup mammo = protocolScan(thickness, 0);
        mammo.tomosynthesis = false;
        WorkbenchSetup single = protocolScan(thickness, 25);
        single.singleAngle = 0.0;
        const Dose m = wholeBreast(mammo, 300000, 3), s = wholeBreast(single, 300000, 4);
        EXPECT_NEAR(s.perKs / m.perKs, 1.0, 3 * std::hypot(m.relSigma, s.relSigma));
    }
}

// t(theta): a single projection over the 0 deg one falls with the angle.
// With the thickness it falls less in this geometry, not more: a swung focus
// sees a thick half-cylinder's rim, whose share of the view grows as sin
// theta while the top's shrinks as cos theta. A primary-only integration of
// the same breast (one attenuation coefficient of 0.8 /cm, the whole detector
// field, axis 5 cm above the detector) gives 0.95 for 2 cm and 1.00 for 8 cm
// at 30 deg; with the axis at the detector 0.92 and 0.97.
TEST(ProtocolScanDose, TFallsWithAngleAndLessForAThickBreastsRim) {
    struct T {
        double value, relSigma;
    };
    auto t = [](double thickness, double angle) {
        WorkbenchSetup zero = protocolScan(thickness, 0), at = protocolScan(thickness, 0);
        zero.singleAngle = 0.0, at.singleAngle = angle;
        const Dose d0 = wholeBreast(zero, 250000, 8), d = wholeBreast(at, 250000, 9);
        return T{d.perKs / d0.perKs, std::hypot(d0.relSigma, d.relSigma)};
    };
    const T thin15 = t(2, 15), thin30 = t(2, 30), thick15 = t(8, 15), thick30 = t(8, 30);
    EXPECT_LT(thin30.value, 1.0 - 3 * thin30.relSigma);
    EXPECT_LT(thin30.value, thin15.value - 3 * std::hypot(thin15.relSigma, thin30.relSigma));
    EXPECT_LT(thick30.value, thick15.value + 3 * std::hypot(thick15.relSigma, thick30.relSigma));
    EXPECT_GT(thick30.value, thin30.value + 3 * std::hypot(thin30.relSigma, thick30.relSigma));
}

// With 5 mm of adipose round the curved edge as well, the swung focus no
// longer sees glandular tissue through a bare side: t falls with the angle
// and with the thickness. The primary-only integration (docs/validation.md,
// "Why t of a thick breast exceeds 1", --rim 0.5, axis 5 cm up) gives t(25 deg)
// 0.938 for 2 cm and 0.887 for 11 cm; without the rim 11 cm gives 1.037.
TEST(ProtocolScanDose, WithAnAdiposeRimTFallsWithAngleAndThickness) {
    struct T {
        double value, relSigma;
    };
    auto t = [](double thickness, double angle) {
        WorkbenchSetup zero = protocolScan(thickness, 0), at = protocolScan(thickness, 0);
        zero.protocol->rim = at.protocol->rim = 0.5;
        zero.singleAngle = 0.0, at.singleAngle = angle;
        const Dose d0 = wholeBreast(zero, 400000, 12), d = wholeBreast(at, 400000, 13);
        return T{d.perKs / d0.perKs, std::hypot(d0.relSigma, d.relSigma)};
    };
    const T thin = t(2, 25), thick = t(11, 25);
    EXPECT_LT(thick.value, 1.0 - 4 * thick.value * thick.relSigma);
    EXPECT_LT(thick.value,
              thin.value - 3 * std::hypot(thin.value * thin.relSigma, thick.value * thick.relSigma));
}

// One run of a step scan scores each projection; they add up to the whole
// breast, each projection's dose per its own loading does not depend on the
// loading of the others, and many projections give the continuous sweep.
TEST(ProtocolScanDose, PerProjectionTalliesWeightAndAddUp) {
    WorkbenchSetup equal = protocolScan(4.5, 25);
    equal.projections = 3;
    WorkbenchSetup unequal = equal;
    unequal.projectionLoading = {1, 3, 1};
    auto run = [](const WorkbenchSetup& s, uint64_t seed) {
        WorkbenchSimulation sim(s);
        RunControl ctl;
        return sim.run(300000, seed, 2, ctl);
    };
    const WorkbenchResult a = run(equal, 1), b = run(unequal, 2);
    for (const WorkbenchResult* r : {&a, &b}) {
        ASSERT_EQ(r->projectionDose.size(), 3u);
        double sum = 0;
        for (double d : r->projectionDose)
            sum += d;
        EXPECT_NEAR(sum / r->breastDose, 1.0, 1e-9);
    }
    EXPECT_NEAR(b.loadingShares[1], 0.6, 1e-12);
    // The dose of projection i per its own loading (per the scan's 0 deg kerma, times 1/alpha_i).
    auto perLoading = [](const WorkbenchResult& r, size_t i) {
        return r.projectionDose[i] / (r.loadingShares[i] * r.airKermaSurface);
    };
    for (size_t i = 0; i < 3; ++i) {
        const double sigma = std::hypot(a.projectionRelSigma[i], b.projectionRelSigma[i]);
        EXPECT_NEAR(perLoading(b, i) / perLoading(a, i), 1.0, 3 * sigma) << "projection " << i;
    }
    // T = sum alpha_i t_i: the unequal scan puts more loading at 0 deg, so its T is higher.
    auto bigT = [&](const WorkbenchResult& r) {
        double sum = 0;
        for (size_t i = 0; i < 3; ++i)
            sum += r.loadingShares[i] * perLoading(r, i) / perLoading(r, 1);
        return sum;
    };
    EXPECT_GT(bigT(b), bigT(a));
    EXPECT_LT(bigT(a), 1.0);
    // The whole-breast mean per the 0 deg kerma is the scan's g c s T.
    EXPECT_NEAR(a.breastDose / a.airKermaSurface / perLoading(a, 1), bigT(a), 1e-9);
    // T against the scan's own 0 deg projection and against a 0 deg run beside it agree.
    WorkbenchSetup zero = protocolScan(4.5, 25);
    zero.singleAngle = 0.0;
    const Dose z = wholeBreast(zero, 300000, 7);
    const double againstRun = a.breastDose / a.airKermaSurface / z.perKs;
    EXPECT_NEAR(againstRun / bigT(a), 1.0, 3 * std::hypot(z.relSigma, a.projectionRelSigma[1]));

    WorkbenchSetup many = protocolScan(4.5, 25);
    many.projections = 25;
    const Dose continuous = wholeBreast(protocolScan(4.5, 25), 300000, 5),
               steps = wholeBreast(many, 300000, 6);
    EXPECT_NEAR(steps.perKs / continuous.perKs, 1.0, 3 * std::hypot(steps.relSigma, continuous.relSigma));
}

} // namespace
