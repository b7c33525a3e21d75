// The rhodium target against values worked out by hand, its K lines against
// xraylib, and the behaviour at the tube voltage and without its data.
#include "kv/photon/xray_data.h"
#include "kv/spectrum/model/spectrum_model.h"
#include "kv/test_support/work_dir.h"
#include "shipped_data.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using namespace kv::spectrum;
using kv::spectrum::testing::shippedData;
using kv::test_support::TempDir;

SpectrumFields tube(const char* kv, const char* rh = "0", const char* ag = "0") {
    // The measured catalogue's tube: anode angle 18°, its central ray 2.75° from the vertical line.
    return {kv, "18", "2.75", "0", "0", "0", rh, ag, "0"};
}

constexpr double kCentralRay = 2.75;

TEST(Rhodium, BinWorkedOutByHand) {
    // Bin 100 (20.0 keV) of the central ray at 20.5 kV, no filter. Three
    // electron energies T reach it; with d = (20.5 − 30)/10 = −0.95,
    // W(u) = 1 + Σ (s_n + r_n·d)·u^n; S(T) from Rh-STP.dat (20 keV 7.127,
    // 25 keV 6.102, log-log); x = (V² − T²)/(C·12.41) with the Whiddington
    // C(20.5) = 348906.2455; exit path X·x with X = 1/tan(18°) = 3.0776863
    // (π as 3.14159) and μ_Rh(20.0 keV) = 200.291 /cm (MUs12.dat).
    struct Slice {
        double t, w, s, attenuation;
    };
    const Slice slices[] = {
        {20.0, 0.088189, 7.12700, 0.997121}, // x = 4.676754e-06 cm
        {20.2, 0.083113, 7.07782, 0.998263}, // x = 2.819909e-06 cm
        {20.4, 0.078650, 7.02947, 0.999418}, // x = 9.445888e-07 cm
    };
    double sum = 0;
    for (const Slice& s : slices)
        sum += s.attenuation * s.w * (511 / s.t + 1) / s.s;
    const double expected = sum / (0.2 * 100); // 0.0463563
    const auto ray = raySpectrum(TargetMaterial::Rhodium, shippedData(), tube("20.5"), kCentralRay);
    EXPECT_NEAR(ray[100] / expected, 1.0, 2e-5) << ray[100];
}

TEST(Rhodium, LinesStandOnTheirBinsByTheFittedFraction) {
    // At 30 kV, V/E_K − 1 = 30/23.2199 − 1 = 0.2919952: f(Kα) = 33.594 ·
    // 0.2919952^0.889603 = 11.23721, f(Kβ) = 8.2387 · 0.2919952^0.723206 =
    // 3.382324; a bin with a line is its continuum times 1 + f · share.
    struct Row {
        const char* name;
        int bin;
        double factor;
    };
    const Row rows[] = {
        {"Kα1, 20.2 keV", 101, 8.354303}, {"Kα2, 20.0 keV", 100, 4.882905}, {"Kβ1, 22.8 keV", 114, 3.015696},
        {"Kβ3, 22.6 keV", 113, 2.034585}, {"Kβ2, 23.2 keV", 116, 1.332077}, {"no line, 21.0 keV", 105, 1.0},
    };
    RhodiumConstants noLines = kRhodiumConstants;
    noLines.alphaScale = noLines.betaScale = 0;
    for (const char* rh : {"0", "0.025"}) // the filter takes line and continuum alike
        for (const char* ag : {"0", "0.05"}) {
            const auto with =
                raySpectrum(TargetMaterial::Rhodium, shippedData(), tube("30", rh, ag), kCentralRay);
            const auto without =
                raySpectrum(TargetMaterial::Rhodium, shippedData(), tube("30", rh, ag), kCentralRay, noLines);
            for (const Row& r : rows)
                EXPECT_NEAR(with[r.bin] / without[r.bin], r.factor, 2e-6)
                    << r.name << ", Rh " << rh << ", Ag " << ag;
        }
}

TEST(Rhodium, LineEnergiesAndSharesAreXraylibs) {
    namespace xray = kv::photon::xray;
    const xray::KLine order[] = {xray::KLine::Alpha1, xray::KLine::Alpha2, xray::KLine::Beta1,
                                 xray::KLine::Beta3, xray::KLine::Beta2};
    double alpha = 0, beta = 0;
    for (xray::KLine l : order)
        (l == xray::KLine::Alpha1 || l == xray::KLine::Alpha2 ? alpha : beta) += xray::kLine(45, l).rate;
    ASSERT_EQ(std::size(kRhodiumLines), std::size(order));
    for (size_t n = 0; n < std::size(order); ++n) {
        const xray::LineData x = xray::kLine(45, order[n]);
        const RhodiumLine& line = kRhodiumLines[n];
        EXPECT_EQ(line.bin, std::lround(x.energy / 0.2)) << n << ": " << x.energy << " keV";
        EXPECT_NEAR(line.share, x.rate / (line.alpha ? alpha : beta), 1e-5) << n;
    }
    // Kα about 20.2 keV, Kβ about 22.7 keV.
    EXPECT_NEAR(xray::kLine(45, xray::KLine::Alpha1).energy, 20.2, 0.05);
    EXPECT_NEAR(xray::kLine(45, xray::KLine::Beta1).energy, 22.7, 0.05);
    EXPECT_NEAR(kRhodiumKEdge, xray::kEdgeEnergy(45), 1e-4);
}

TEST(Rhodium, SpectrumEndsAtTheTubeVoltageAndLinesNeedTheKEdge) {
    struct Row {
        const char* kv;
        int lastBin;
        bool lines; // above the K edge of 23.22 keV
    };
    for (Row r : {Row{"15", 75, false}, Row{"23.2", 116, false}, Row{"23.3", 116, true}, Row{"28", 140, true},
                  Row{"35.5", 177, true}, Row{"50", 250, true}}) {
        const SpectrumResult s = computeSpectrum(TargetMaterial::Rhodium, shippedData(),
                                                 {r.kv, "16", "6", "0.8", "0", "0", "0.025", "0", "60"});
        EXPECT_EQ(s.lastBin, r.lastBin) << r.kv;
        for (int k = 0; k < kColumns; ++k) {
            EXPECT_EQ(s.table[k][1], 0.0) << r.kv;
            for (int i = r.lastBin + 1; i < kBins; ++i)
                ASSERT_EQ(s.table[k][i], 0.0) << r.kv << " kV, column " << k << ", bin " << i;
            for (int i = 2; i <= r.lastBin; ++i)
                ASSERT_GE(s.table[k][i], 0.0) << r.kv << " kV, column " << k << ", bin " << i;
        }
        EXPECT_GT(s.table[21][r.lastBin - 1], 0.0) << r.kv;
        // Kα1 (bin 101) against its neighbours.
        if (r.lastBin >= 103) {
            const double peak = s.table[0][101] / (0.5 * (s.table[0][99] + s.table[0][103]));
            if (r.lines)
                EXPECT_GT(peak, 1.05) << r.kv;
            else
                EXPECT_NEAR(peak, 1.0, 0.05) << r.kv;
        }
    }
}

TEST(Rhodium, WithoutItsStoppingPowersOnlyRhodiumIsRefused) {
    for (const char* content : {"", "Energy, S\r\n1.0, 30\r\n"}) {
        TempDir dir;
        dir.copyShipped(kAttenuationFileName);
        dir.copyShipped(kStoppingPowerFileName);
        if (*content) dir.write(kRhodiumStoppingPowerFileName, content);
        const PhysicalData d = LoadPhysicalData(dir.path());
        const SpectrumFields f{"28", "16", "6", "0.8", "0", "0", "0.025", "0", "60"};
        EXPECT_FALSE(computeSpectrum(TargetMaterial::Molybdenum, d, f).empty());
        EXPECT_FALSE(computeSpectrum(TargetMaterial::Tungsten, d, f).empty());
        try {
            computeSpectrum(TargetMaterial::Rhodium, d, f);
            ADD_FAILURE() << "computed without " << kRhodiumStoppingPowerFileName;
        } catch (const FileError& e) {
            EXPECT_EQ(e.file, kRhodiumStoppingPowerFileName);
            EXPECT_EQ(e.fault, *content ? FileFault::EndsEarly : FileFault::Missing) << e.what();
        }
    }
}

TEST(Rhodium, HeelEffectAsForTheOtherTargets) {
    // The rays further from the anode side cross more target: fewer soft photons, a harder spectrum.
    const SpectrumResult s = computeSpectrum(TargetMaterial::Rhodium, shippedData(),
                                             {"28", "16", "6", "0.8", "0", "0", "0.025", "0", "60"});
    auto mean = [&](int k) {
        double n = 0, e = 0;
        for (int i = 1; i < kBins; ++i)
            n += s.table[k][i], e += s.table[k][i] * binEnergy(i);
        return e / n;
    };
    double total = 0;
    for (int k = 1; k < kColumns; ++k)
        for (double x : s.table[k])
            total += x;
    EXPECT_NEAR(total, 1.0, 1e-6);
    EXPECT_LT(mean(1), mean(21));
    EXPECT_LT(mean(21), mean(42));
}

} // namespace
