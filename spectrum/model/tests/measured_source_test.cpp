#include "kv/spectrum/model/measured_source.h"
#include "shipped_data.h"

#include <gtest/gtest.h>
#include <numeric>

namespace {

using namespace kv::spectrum;
using kv::formats::MeasuredBin;
using kv::spectrum::testing::shippedData;

MeasuredSpectrum spectrum(std::vector<MeasuredBin> bins) {
    MeasuredSpectrum m;
    m.bins = std::move(bins);
    return m;
}

TEST(MeasuredSource, PhotonsMoveOntoTheBinsTheyOverlap) {
    // Our bin i spans 0.2·i ± 0.1 keV; expected photons of the bins named.
    struct Row {
        const char* name;
        MeasuredSpectrum m;
        double kv;
        std::vector<std::pair<int, double>> bins; // every other bin holds 0
    };
    const Row rows[] = {
        {"0.25 keV bins of 4 per keV over 10-11 keV",
         spectrum({{10.25, 4}, {10.5, 4}, {10.75, 4}, {11.0, 4}}),
         30,
         {{50, 0.4}, {51, 0.8}, {52, 0.8}, {53, 0.8}, {54, 0.8}, {55, 0.4}}},
        {"the lowest bin as wide as the next: 1 keV bins up to 6 keV",
         spectrum({{5, 2}, {6, 1}}),
         30,
         {{20, 0.2},
          {21, 0.4},
          {22, 0.4},
          {23, 0.4},
          {24, 0.4},
          {25, 0.3},
          {26, 0.2},
          {27, 0.2},
          {28, 0.2},
          {29, 0.2},
          {30, 0.1}}},
        {"cut at the tube voltage: bin 100 ends at 20.1 keV",
         spectrum({{20, 1}, {21, 1}}),
         20,
         {{95, 0.1}, {96, 0.2}, {97, 0.2}, {98, 0.2}, {99, 0.2}, {100, 0.2}}},
        {"one bin reaches down to 0, bin 1 is never filled", spectrum({{0.5, 10}}), 30, {{2, 2.0}}},
        {"a zero fluence moves nothing", spectrum({{10, 0}, {11, 0}}), 30, {}},
    };
    for (const Row& r : rows) {
        const auto got = rebinnedFluence(r.m, r.kv);
        std::array<double, kBins> expected{};
        for (auto [bin, photons] : r.bins)
            expected[bin] = photons;
        for (int i = 0; i < kBins; ++i)
            ASSERT_NEAR(got[i], expected[i], 1e-12) << r.name << ": bin " << i;
    }
}

TEST(MeasuredSource, EveryRayCarriesTheFilteredSpectrumAndNothingBelowIsRefused) {
    const MeasuredSpectrum m = spectrum({{16, 5}, {18, 4}, {20, 3}, {22, 2}, {24, 1}});
    const SpectrumFields bare{"23", "16", "6", "0", "0", "0", "0", "0", "0"};
    SpectrumFields rh = bare;
    rh.rhodium = "0.05";
    const SpectrumResult a = measuredSpectrumTable(m, "m.dat", shippedData(), bare);
    const SpectrumResult b = measuredSpectrumTable(m, "m.dat", shippedData(), rh);
    EXPECT_EQ(a.lastBin, 115);
    double total = 0;
    for (int k = 1; k < kColumns; ++k) {
        EXPECT_EQ(a.table[k], a.table[1]) << k;
        total += std::accumulate(a.table[k].begin(), a.table[k].end(), 0.0);
    }
    EXPECT_NEAR(total, 1.0, 1e-9);
    // Column 0 keeps the photons as they are, for the plot and the beam quality.
    EXPECT_NEAR(a.table[0][79], 5 * 0.2, 1e-12);           // 15.7-15.9 keV
    EXPECT_NEAR(a.table[0][80], 5 * 0.1 + 4 * 0.1, 1e-12); // 15.9-16.1 keV: two measured bins
    EXPECT_NEAR(a.plotMaximum, 1.0, 1e-12);
    // Rhodium's K edge at 23.22 keV lies above 23 kV: the filter hardens the beam below it.
    EXPECT_LT(b.table[1][80] / b.table[1][110], a.table[1][80] / a.table[1][110]);

    try {
        measuredSpectrumTable(spectrum({{30, 1}, {31, 1}}), "high.dat", shippedData(), bare);
        ADD_FAILURE() << "nothing below 23 kV was taken";
    } catch (const kv::formats::MeasuredSpectrumError& e) {
        EXPECT_EQ(e.reason, kv::formats::MeasuredFault::NothingBelowTubeVoltage);
        EXPECT_EQ(e.file, "high.dat");
        EXPECT_EQ(e.value, "23");
    }
}

} // namespace
