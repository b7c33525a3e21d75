#include "kv/common/format.h"
#include "kv/spectrum/model/spectrum_model.h"
#include "shipped_data.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <tuple>

namespace {

using namespace kv::spectrum;
using kv::spectrum::testing::shippedData;

SpectrumFields fields(const char* kv, const char* theta, const char* phi, const char* be, const char* al,
                      const char* mo, const char* rh, const char* ag, const char* air) {
    SpectrumFields f;
    f.tubeVoltage = kv;
    f.targetAngle = theta;
    f.tubeTiltAngle = phi;
    f.beryllium = be;
    f.aluminum = al;
    f.molybdenum = mo;
    f.rhodium = rh;
    f.silver = ag;
    f.airLayer = air;
    return f;
}

// The procedure written down step by step, without the precomputation the
// model does, to hold the model to the same arithmetic in the same order.
SpectrumTable reference(TargetMaterial target, const PhysicalData& d, const SpectrumFields& f) {
    const double pi = 3.14159;
    SpectrumTable table{};
    const double v = kv::parseNumber(f.tubeVoltage);
    const double theta = kv::parseNumber(f.targetAngle), phi = kv::parseNumber(f.tubeTiltAngle);
    const double tBe = kv::parseNumber(f.beryllium) * 0.1, tAl = kv::parseNumber(f.aluminum) * 0.1;
    const double tMo = kv::parseNumber(f.molybdenum) * 0.1, tRh = kv::parseNumber(f.rhodium) * 0.1;
    const double tAir = kv::parseNumber(f.airLayer), tAg = kv::parseNumber(f.silver) * 0.1;
    const bool mo = target == TargetMaterial::Molybdenum;
    const double rho = mo ? 10.22 : 19.3;
    const auto& muTarget = mo ? d.molybdenum : d.tungsten;
    for (int k = 0; k <= 42 && (0.5 * k - 0.25) < (phi + theta); ++k) {
        double a = 0.5 * k - 0.25;
        if (a < 0) a = 0;
        const double t = std::tan((a - phi) * pi / 180);
        const double x = std::sqrt(1 - t * t) / (std::tan(theta * pi / 180) - t);
        const double c =
            141766 + 12157 * v - 111.046 * (v * v) + 0.552536 * (v * v * v) - 0.000970158 * (v * v * v * v);
        double binSum[251] = {};
        for (int i = 2; i <= 5 * v; ++i) {
            const double e = 0.2 * i;
            double sum = 0;
            for (double tt = e; tt <= v; tt = tt + 0.2) {
                const double u = e / tt;
                double w, s;
                if (mo) {
                    w = (0.03058 - 7.494e-05 * v) *
                        (1 - 4.238 * u + 7.799 * (u * u) - 6.739 * (u * u * u) + 2.313 * (u * u * u * u));
                    if (tt <= 1.0) {
                        s = d.stoppingPower[1];
                    } else {
                        int n = 1;
                        while (tt > d.stoppingEnergy[n])
                            ++n;
                        const double lsn = std::log(d.stoppingPower[n]);
                        s = std::exp(lsn -
                                     (lsn - std::log(d.stoppingPower[n - 1])) *
                                         (std::log(d.stoppingEnergy[n]) - std::log(tt)) /
                                         (std::log(d.stoppingEnergy[n]) - std::log(d.stoppingEnergy[n - 1])));
                    }
                } else {
                    w = (0.03658 + 2.9e-05 * e) *
                        (1 - 5.049 * u + 10.847 * (u * u) - 10.516 * (u * u * u) + 3.842 * (u * u * u * u));
                    s = 1036.1 * std::exp(-0.04695 * tt) + 202.41;
                }
                const double depth = (v * v - tt * tt) / (c * rho);
                const double path = x * depth;
                const double q = (w * (511 / tt + 1)) / s;
                sum = sum + std::exp(-muTarget[i] * path) * q;
            }
            binSum[i] = sum;
        }
        for (int i = 2; i <= 5 * v; ++i)
            table[k][i] = table[k][i] + binSum[i];
        double total = 0;
        for (int i = 2; i <= 5 * v; ++i) {
            table[k][i] = table[k][i] * std::exp(-d.beryllium[i] * tBe) * std::exp(-d.aluminum[i] * tAl) *
                          std::exp(-d.molybdenum[i] * tMo) * std::exp(-d.rhodium[i] * tRh) *
                          std::exp(-d.air[i] * tAir) * std::exp(-d.silver[i] * tAg) / (0.2 * i);
            total += table[k][i];
        }
        if (mo) {
            const double frac = (tMo > 0 ? 0.0379 : 0.0323) * v - 0.6543;
            const double w[3][5] = {{0.543, 0.283, 0.101, 0.051, 0.022},
                                    {0.538, 0.282, 0.104, 0.053, 0.023},
                                    {0.556, 0.292, 0.088, 0.045, 0.043}};
            const int row = tMo > 0 ? 0 : tRh > 0 ? 1 : 2;
            const int bins[5] = {87, 87, 98, 98, 100};
            for (int n = 0; n < 5; ++n)
                if (bins[n] <= 5 * v) table[k][bins[n]] = table[k][bins[n]] + w[row][n] * (frac * total);
        }
    }
    double n = 0;
    for (int k = 1; k <= 42; ++k)
        for (int i = 1; i <= 250; ++i)
            n = n + table[k][i];
    for (int k = 1; k <= 42; ++k)
        for (int i = 1; i <= 250; ++i) {
            table[k][i] = table[k][i] / n;
            if (table[k][i] <= 1e-10) table[k][i] = 0;
        }
    return table;
}

struct Case {
    const char* name;
    TargetMaterial target;
    SpectrumFields f;
};

const Case kCases[] = {
    {"Mo 30 kV, Mo filter, 16+6", TargetMaterial::Molybdenum,
     fields("30", "16", "6", "0.8", "0", "0.03", "0", "0", "60")},
    {"Mo 18 kV, Rh filter, 12+10", TargetMaterial::Molybdenum,
     fields("18", "12", "10", "1", "0", "0", "0.025", "0", "60")},
    {"Mo 50 kV, all filters, 20.5", TargetMaterial::Molybdenum,
     fields("50", "14.5", "6", "0.5", "0.1", "0.01", "0.01", "0.01", "30")},
    {"Mo 28.1 kV, no filter", TargetMaterial::Molybdenum,
     fields("28.1", "16", "6", "0", "0", "0", "0", "0", "0")},
    {"W 28 kV, Rh filter, 16+6", TargetMaterial::Tungsten,
     fields("28", "16", "6", "1", "0", "0", "0.05", "0", "60")},
    {"W 50 kV, Ag filter, 22+0", TargetMaterial::Tungsten,
     fields("50", "22", "0", "0.8", "0", "0", "0", "0.05", "60")},
    {"W 15 kV, tilt -5", TargetMaterial::Tungsten,
     fields("15", "27", "-5", "0.8", "0.5", "0", "0", "0", "60")},
};

TEST(SpectrumModel, SameArithmeticAsTheStepByStepProcedure) {
    for (const Case& c : kCases) {
        ASSERT_EQ(checkDrawSpectrum(c.f), DrawCheck::Accepted) << c.name;
        const SpectrumResult r = computeSpectrum(c.target, shippedData(), c.f);
        const SpectrumTable expected = reference(c.target, shippedData(), c.f);
        for (int k = 0; k < kColumns; ++k)
            for (int i = 0; i < kBins; ++i)
                ASSERT_EQ(r.table[k][i], expected[k][i]) << c.name << ": column " << k << ", bin " << i;
    }
}

TEST(SpectrumModel, ColumnLoopStopsAtTheApparentAngleOrAfterColumn42) {
    struct Row {
        const char* theta;
        const char* phi;
        int lastColumn;
    };
    for (Row row : {Row{"16", "6", 42}, Row{"14.5", "6", 41}, Row{"20.31", "0", 41}, Row{"10", "10.5", 41}}) {
        const SpectrumResult r =
            computeSpectrum(TargetMaterial::Molybdenum, shippedData(),
                            fields("30", row.theta, row.phi, "0.8", "0", "0.03", "0", "0", "60"));
        for (int k = 0; k < kColumns; ++k) {
            double sum = 0;
            for (double x : r.table[k])
                sum += x;
            if (k <= row.lastColumn)
                EXPECT_GT(sum, 0) << row.theta << "+" << row.phi << " column " << k;
            else
                EXPECT_EQ(sum, 0) << row.theta << "+" << row.phi << " column " << k;
        }
    }
}

TEST(SpectrumModel, BinsFilledUpToFiveTimesTheVoltageAndBinOneNever) {
    struct Row {
        TargetMaterial target;
        const char* kv;
        int lastBin;
    };
    for (Row row : {Row{TargetMaterial::Molybdenum, "30", 150}, Row{TargetMaterial::Molybdenum, "28.1", 140},
                    Row{TargetMaterial::Tungsten, "50", 250}, Row{TargetMaterial::Tungsten, "24.99", 124}}) {
        for (const char* be : {"0", "0.8"}) {
            const SpectrumResult r = computeSpectrum(row.target, shippedData(),
                                                     fields(row.kv, "16", "6", be, "0", "0", "0", "0", "0"));
            EXPECT_EQ(r.lastBin, row.lastBin);
            for (int k = 0; k < kColumns; ++k) {
                EXPECT_EQ(r.table[k][1], 0.0) << row.kv << " column " << k;
                for (int i = row.lastBin + 1; i < kBins; ++i)
                    ASSERT_EQ(r.table[k][i], 0.0) << row.kv << " bin " << i;
            }
            // Without a beryllium window and air every bin up to 5·V carries photons.
            if (be == std::string("0")) {
                for (int i = 2; i <= row.lastBin; ++i)
                    ASSERT_GT(r.table[0][i], 0) << row.kv << " bin " << i;
            }
            EXPECT_GT(r.table[21][row.lastBin - 1], 0.0) << row.kv;
        }
    }
}

TEST(SpectrumModel, MolybdenumKLinesStandOutAt30kV) {
    const SpectrumResult r = computeSpectrum(TargetMaterial::Molybdenum, shippedData(),
                                             fields("30", "16", "6", "0.8", "0", "0.03", "0", "0", "60"));
    for (int k : {0, 1, 21, 42}) {
        for (int bin : {87, 98}) {
            EXPECT_GT(r.table[k][bin], 2 * r.table[k][bin - 2]) << "column " << k << " bin " << bin;
            EXPECT_GT(r.table[k][bin], 2 * r.table[k][bin + 2]) << "column " << k << " bin " << bin;
        }
        // Above the filter's K edge the continuum is low; the weakest line still shows.
        EXPECT_GT(r.table[k][100], 1.5 * r.table[k][101]) << "column " << k;
    }
    // Kα (bin 87) carries most of the line weight.
    EXPECT_GT(r.table[0][87], 3 * r.table[0][98]);
}

TEST(SpectrumModel, NegativeKLinesBelowTheirThresholdEndAsZero) {
    // f = 0.0323·18 − 0.6543 < 0 without a Mo filter: the line bin within reach loses.
    const SpectrumResult r = computeSpectrum(TargetMaterial::Molybdenum, shippedData(),
                                             fields("18", "16", "6", "0.8", "0", "0", "0", "0", "60"));
    EXPECT_EQ(r.lastBin, 90);
    EXPECT_LT(r.table[0][87], r.table[0][86]);
    for (int k = 1; k < kColumns; ++k)
        for (int i = 0; i < kBins; ++i)
            ASSERT_GE(r.table[k][i], 0.0) << k << "," << i;
}

TEST(SpectrumModel, NoLineAndNoPhotonAboveTheTubeVoltage) {
    // Kα 17.4 keV (bin 87), Kβ 19.6 and 20.0 keV (bins 98, 100): below 20 kV
    // some of them lie above what the electrons can give.
    const struct {
        const char* kv;
        const char* mo;
        const char* rh;
    } rows[] = {{"17", "0.03", "0"}, {"19", "0.03", "0"}, {"19.9", "0", "0.025"}, {"15", "0", "0"}};
    for (const auto& row : rows) {
        const SpectrumResult r =
            computeSpectrum(TargetMaterial::Molybdenum, shippedData(),
                            fields(row.kv, "16", "6", "0.8", "0", row.mo, row.rh, "0", "60"));
        ASSERT_GT(r.lastBin, 0) << row.kv;
        for (int k = 0; k < kColumns; ++k)
            for (int i = r.lastBin + 1; i < kBins; ++i)
                ASSERT_EQ(r.table[k][i], 0.0) << row.kv << " kV, column " << k << ", bin " << i;
    }
}

TEST(SpectrumModel, TungstenVoltageIsClampedAndReported) {
    const auto base = fields("10", "16", "6", "0.8", "0", "0", "0.025", "0", "60");
    const SpectrumResult r = computeSpectrum(TargetMaterial::Tungsten, shippedData(), base);
    ASSERT_TRUE(r.tubeVoltageText.has_value());
    EXPECT_EQ(*r.tubeVoltageText, "15");
    EXPECT_EQ(r.lastBin, 75);
    SpectrumFields at15 = base;
    at15.tubeVoltage = "15";
    const SpectrumResult r15 = computeSpectrum(TargetMaterial::Tungsten, shippedData(), at15);
    EXPECT_FALSE(r15.tubeVoltageText.has_value());
    EXPECT_EQ(r.table, r15.table);
}

TEST(SpectrumFieldCheck, TheScreenLetsTungstenBelow15kVThroughAndNothingElse) {
    const struct {
        TargetMaterial target;
        const char* kv;
        bool accepted;
    } rows[] = {{TargetMaterial::Tungsten, "10", true},    {TargetMaterial::Tungsten, "0.3", true},
                {TargetMaterial::Tungsten, "0", false},    {TargetMaterial::Tungsten, "-5", false},
                {TargetMaterial::Tungsten, "50.1", false}, {TargetMaterial::Tungsten, "1O", false},
                {TargetMaterial::Molybdenum, "10", false}, {TargetMaterial::Molybdenum, "15", true}};
    for (const auto& row : rows) {
        EXPECT_EQ(
            !refusedOnScreen(fields(row.kv, "16", "6", "0.8", "0", "0", "0.025", "0", "60"), row.target),
            row.accepted)
            << row.kv << " kV, target " << static_cast<int>(row.target);
    }
    // The other fields are still checked when the voltage is below 15 kV.
    const auto angle = refusedOnScreen(fields("10", "90", "6", "0.8", "0", "0", "0.025", "0", "60"),
                                       TargetMaterial::Tungsten);
    ASSERT_TRUE(angle);
    EXPECT_EQ(angle->field, SpectrumField::TargetAngle);
}

TEST(SpectrumFieldCheck, BothTargetsTakeTubeVoltagesFrom15To50kVOnly) {
    // What the command-line tools read: no voltage they were not given.
    const struct {
        const char* kv;
        bool accepted;
    } rows[] = {{"0.3", false}, {"10", false}, {"14.9", false}, {"15", true},
                {"28", true},   {"50", true},  {"50.1", false}};
    for (const TargetMaterial target : {TargetMaterial::Molybdenum, TargetMaterial::Tungsten})
        for (const auto& row : rows) {
            const SpectrumFields f = fields(row.kv, "16", "6", "0.8", "0", "0", "0.025", "0", "60");
            const auto refused = refusedField(f);
            ASSERT_EQ(!refused, row.accepted) << row.kv << " kV, target " << static_cast<int>(target);
            if (refused) {
                EXPECT_EQ(refused->field, SpectrumField::TubeVoltage);
                EXPECT_EQ(refused->number.fault, kv::TypedNumberFault::OutOfRange);
                continue;
            }
            // Computed at the voltage typed: photons up to 5 bins per kV and none above.
            const SpectrumResult r = computeSpectrum(target, shippedData(), f);
            EXPECT_EQ(r.lastBin, static_cast<int>(5 * std::stod(row.kv))) << row.kv;
        }
    const auto r = refusedField(fields("10", "16", "6", "0.8", "0", "0", "0.025", "0", "60"));
    ASSERT_TRUE(r);
    for (const auto& [t, numbers, says] :
         {std::tuple{&kv::texts::englishSpectrumFileTexts, &kv::texts::englishTypedNumberTexts,
                     "Tube voltage: \"10\" is outside the range 15 to 50 kV."},
          std::tuple{&kv::texts::japaneseSpectrumFileTexts, &kv::texts::japaneseTypedNumberTexts,
                     "管電圧：「10」は 15 ～ 50 kV の範囲外です。"}})
        EXPECT_EQ(fieldRefusalMessage(*r, fieldName(r->field, *t), *t, *numbers).text, says);
}

TEST(SpectrumModel, NormalisedColumnsSumToOneAndColumnZeroStaysRaw) {
    for (const Case& c : kCases) {
        const SpectrumResult r = computeSpectrum(c.target, shippedData(), c.f);
        // Below the K-line threshold the negative line entries are dropped
        // after the sum was taken, so what remains adds up to more than 1.
        const bool negativeLines =
            std::any_of(r.table[0].begin(), r.table[0].end(), [](double x) { return x < 0; });
        double sum = 0, max0 = 0;
        for (int k = 1; k < kColumns; ++k)
            for (double x : r.table[k])
                sum += x;
        for (double x : r.table[0])
            max0 = std::max(max0, x);
        if (negativeLines) {
            EXPECT_GT(sum, 1.0) << c.name;
        } else {
            EXPECT_NEAR(sum, 1.0, 1e-7) << c.name;
        }
        EXPECT_EQ(r.plotMaximum, max0) << c.name;
    }
}

TEST(SpectrumModel, NormalisationThresholdAndEmptyTables) {
    SpectrumTable t{};
    t[1][5] = 1e-10;
    t[2][6] = 1.0000001e-10;
    t[3][7] = 1.0 - t[1][5] - t[2][6];
    double n = t[1][5] + t[2][6] + t[3][7];
    ASSERT_EQ(n, 1.0);
    normaliseSpectrumTable(t);
    EXPECT_EQ(t[1][5], 0.0);
    EXPECT_EQ(t[2][6], 1.0000001e-10);

    SpectrumTable empty{};
    normaliseSpectrumTable(empty);
    EXPECT_EQ(empty, SpectrumTable{});
    // A Mo tube voltage below 0.4 kV fills no bin: an empty table and nothing to plot.
    for (const char* kv : {"0.3", "0", "-5", ""}) {
        const SpectrumResult r = computeSpectrum(TargetMaterial::Molybdenum, shippedData(),
                                                 fields(kv, "16", "6", "0.8", "0", "0.03", "0", "0", "60"));
        EXPECT_EQ(r.table, SpectrumTable{}) << kv;
        EXPECT_EQ(r.plotMaximum, 0.0) << kv;
        EXPECT_EQ(r.lastBin, 0) << kv;
    }
    // A "filter" so negative that the result overflows has no scale either.
    const SpectrumResult overflow = computeSpectrum(
        TargetMaterial::Tungsten, shippedData(), fields("30", "16", "6", "-1e300", "0", "0", "0", "0", "60"));
    EXPECT_EQ(overflow.table, SpectrumTable{});
    EXPECT_EQ(overflow.plotMaximum, 0.0);
}

TEST(SpectrumModel, DrawChecksInTheirOrder) {
    struct Row {
        const char *kv, *theta, *phi;
        DrawCheck check;
    };
    const Row rows[] = {
        {"50", "16", "6", DrawCheck::Accepted},
        {"50.1", "16", "6", DrawCheck::TubeVoltageTooHigh},
        {"60", "100", "60", DrawCheck::TubeVoltageTooHigh},
        {"30", "14.3", "6", DrawCheck::AngleCannotCoverField},
        {"30", "14.31", "6", DrawCheck::Accepted},
        {"30kV", "", "", DrawCheck::AngleCannotCoverField},
        {"30", "16", "50", DrawCheck::TubeTiltOutOfRange},  // the vertical ray is 50° off the tube axis
        {"30", "46", "-25", DrawCheck::TubeTiltOutOfRange}, // the ray at 20.25° reaches 45.25°
        {"30", "46", "-24", DrawCheck::Accepted},           // the last ray, 20.75°, stays at 44.75°
        {"30", "-10", "44.9", DrawCheck::Accepted},
        {"30", "-10", "45", DrawCheck::TubeTiltOutOfRange},
        {"30", "100", "0", DrawCheck::TargetAngleOutOfRange}, // no exit path through the target
        {"30", "89", "0", DrawCheck::Accepted},
    };
    for (const Row& row : rows) {
        const auto f = fields(row.kv, row.theta, row.phi, "0.8", "0", "0.03", "0", "0", "60");
        EXPECT_EQ(checkDrawSpectrum(f), row.check) << row.kv << " " << row.theta << " " << row.phi;
        if (row.check == DrawCheck::Accepted) {
            for (TargetMaterial target : {TargetMaterial::Molybdenum, TargetMaterial::Tungsten}) {
                const SpectrumResult r = computeSpectrum(target, shippedData(), f);
                for (const auto& column : r.table)
                    for (double x : column)
                        ASSERT_TRUE(std::isfinite(x)) << row.theta << " " << row.phi;
            }
        } else {
            EXPECT_THROW(computeSpectrum(TargetMaterial::Molybdenum, shippedData(), f), std::domain_error);
            EXPECT_FALSE(refusalMessage(row.check, kv::texts::englishSpectrumFileTexts).empty());
        }
    }
    EXPECT_EQ(refusalMessage(DrawCheck::TubeTiltOutOfRange, kv::texts::japaneseSpectrumFileTexts),
              "管球傾斜角度が範囲外です");
    EXPECT_EQ(refusalMessage(DrawCheck::TubeVoltageTooHigh, kv::texts::englishSpectrumFileTexts),
              "The tube voltage exceeds the maximum value");
}

// The typed fields are read strictly before the model's lenient reading sees them.
TEST(SpectrumFieldCheck, RefusesTheFirstFieldThatIsNotAUsableNumber) {
    using F = SpectrumField;
    using Fault = kv::TypedNumberFault;
    const struct {
        const char* row;
        TargetMaterial target;
        SpectrumFields f;
        std::optional<F> field;
        Fault fault;
    } rows[] = {
        {"shipped start values", TargetMaterial::Molybdenum,
         fields("30", "16", "6", "0.8", "0", "0.03", "0", "0", "60"), std::nullopt, Fault::None},
        {"decimal comma in kV", TargetMaterial::Molybdenum,
         fields("28,5", "16", "6", "0.8", "0", "0.03", "0", "0", "60"), F::TubeVoltage, Fault::DecimalComma},
        {"Mo filter 7,5", TargetMaterial::Molybdenum,
         fields("28", "16", "6", "0.8", "0", "7,5", "0", "0", "60"), F::Molybdenum, Fault::DecimalComma},
        {"Be 0,8", TargetMaterial::Molybdenum, fields("28", "16", "6", "0,8", "0", "0.03", "0", "0", "60"),
         F::Beryllium, Fault::DecimalComma},
        {"empty Al", TargetMaterial::Molybdenum, fields("28", "16", "6", "0.8", "", "0.03", "0", "0", "60"),
         F::Aluminum, Fault::Empty},
        {"air nan", TargetMaterial::Molybdenum, fields("28", "16", "6", "0.8", "0", "0.03", "0", "0", "nan"),
         F::AirLayer, Fault::NotFinite},
        {"Rh inf", TargetMaterial::Tungsten, fields("28", "16", "6", "0.8", "0", "0", "inf", "0", "60"),
         F::Rhodium, Fault::NotFinite},
        {"Ag abc", TargetMaterial::Tungsten, fields("28", "16", "6", "0.8", "0", "0", "0.025", "abc", "60"),
         F::Silver, Fault::NotANumber},
        {"kV with unit", TargetMaterial::Molybdenum,
         fields("28kV", "16", "6", "0.8", "0", "0.03", "0", "0", "60"), F::TubeVoltage, Fault::TrailingText},
        {"target angle 90", TargetMaterial::Molybdenum,
         fields("28", "90", "6", "0.8", "0", "0.03", "0", "0", "60"), F::TargetAngle, Fault::OutOfRange},
        {"target angle 0", TargetMaterial::Molybdenum,
         fields("28", "0", "21", "0.8", "0", "0.03", "0", "0", "60"), F::TargetAngle, Fault::OutOfRange},
        {"tilt 31", TargetMaterial::Molybdenum, fields("28", "16", "31", "0.8", "0", "0.03", "0", "0", "60"),
         F::TubeTiltAngle, Fault::OutOfRange},
        {"Mo at 1 kV", TargetMaterial::Molybdenum, fields("1", "16", "6", "0.8", "0", "0.03", "0", "0", "60"),
         F::TubeVoltage, Fault::OutOfRange},
        {"Mo at 14.9 kV", TargetMaterial::Molybdenum,
         fields("14.9", "16", "6", "0.8", "0", "0.03", "0", "0", "60"), F::TubeVoltage, Fault::OutOfRange},
        {"W at 10 kV", TargetMaterial::Tungsten, fields("10", "16", "6", "0.8", "0", "0", "0.025", "0", "60"),
         F::TubeVoltage, Fault::OutOfRange},
        {"W at 0 kV", TargetMaterial::Tungsten, fields("0", "16", "6", "0.8", "0", "0", "0.025", "0", "60"),
         F::TubeVoltage, Fault::OutOfRange},
        {"50.1 kV", TargetMaterial::Tungsten, fields("50.1", "16", "6", "0.8", "0", "0", "0.025", "0", "60"),
         F::TubeVoltage, Fault::OutOfRange},
        {"negative filter", TargetMaterial::Molybdenum,
         fields("28", "16", "6", "0.8", "-0.5", "0.03", "0", "0", "60"), F::Aluminum, Fault::OutOfRange},
        {"a metre of air too many", TargetMaterial::Molybdenum,
         fields("28", "16", "6", "0.8", "0", "0.03", "0", "0", "501"), F::AirLayer, Fault::OutOfRange},
        {"full-width digits", TargetMaterial::Molybdenum,
         fields("\uFF12\uFF18", "\uFF11\uFF16", "\uFF16", "\uFF10\uFF0E\uFF18", "0", "0.03", "0", "0", "60"),
         std::nullopt, Fault::None},
    };
    for (const auto& r : rows) {
        const auto refused = refusedField(r.f);
        ASSERT_EQ(refused.has_value(), r.field.has_value()) << r.row;
        if (!refused) {
            EXPECT_FALSE(computeSpectrum(r.target, shippedData(), typedFields(r.f)).empty()) << r.row;
            continue;
        }
        EXPECT_EQ(refused->field, *r.field) << r.row;
        EXPECT_EQ(refused->number.fault, r.fault) << r.row;
    }
}

TEST(SpectrumFieldCheck, TypedFieldsAreWhatTheModelAndTheFilesTake) {
    const SpectrumFields typed = typedFields(
        fields("\uFF12\uFF18", " 26 ", "\u22122", "\uFF10\u3002\uFF18", "0", "0.03", "0", "0", "60"));
    EXPECT_EQ(typed, fields("28", "26", "-2", "0.8", "0", "0.03", "0", "0", "60"));
    // What the full-width text spells computes what the ASCII text computes.
    EXPECT_EQ(computeSpectrum(TargetMaterial::Molybdenum, shippedData(), typed).table,
              computeSpectrum(TargetMaterial::Molybdenum, shippedData(),
                              fields("28", "26", "-2", "0.8", "0", "0.03", "0", "0", "60"))
                  .table);
}

TEST(SpectrumFieldCheck, MessagesNameFieldTextAndRange) {
    const auto& en = kv::texts::englishSpectrumFileTexts;
    const auto& numbers = kv::texts::englishTypedNumberTexts;
    auto message = [&](const SpectrumFields& f) {
        const auto r = refusedField(f);
        return fieldRefusalMessage(*r, fieldName(r->field, en), en, numbers);
    };
    const FieldMessage comma = message(fields("30", "16", "6", "0.8", "0", "7,5", "0", "0", "60"));
    EXPECT_EQ(comma.text.rfind("Molybdenum: \"7,5\" has a decimal comma.", 0), 0u) << comma.text;
    EXPECT_TRUE(comma.detail.empty());
    // Above 50 kV the screen's own message leads and the field is its detail.
    const FieldMessage high = message(fields("50.1", "16", "6", "0.8", "0", "0.03", "0", "0", "60"));
    EXPECT_EQ(high.text, "The tube voltage exceeds the maximum value");
    EXPECT_EQ(high.detail, "Tube voltage: \"50.1\" is outside the range 15 to 50 kV.");
    const FieldMessage angle = message(fields("30", "46", "6", "0.8", "0", "0.03", "0", "0", "60"));
    EXPECT_EQ(angle.text, "Target angle: \"46\" must be more than 0 and at most 45 deg.");
    const auto r = refusedField(fields("30", "16", "6", "0.8", "0", "0.03", "0", "0", "-1"));
    EXPECT_EQ(fieldRefusalMessage(*r, fieldName(r->field, kv::texts::japaneseSpectrumFileTexts),
                                  kv::texts::japaneseSpectrumFileTexts, kv::texts::japaneseTypedNumberTexts)
                  .text,
              "空気層：「-1」は 0 ～ 500 cm の範囲外です。");
}

} // namespace
