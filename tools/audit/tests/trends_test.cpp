// Dates and quarters, the step test of a unit's dose, and the reference
// levels' file (the shipped example among them).
#include "kv/audit/measured.h"
#include "kv/audit/trends.h"
#include "kv/test_support/work_dir.h"
#include "table_faults.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace kv::audit {
namespace {

TEST(Trends, DatesGiveTheirQuarterAndDayAndOnlyRealDatesDo) {
    struct Case {
        const char* date;
        const char* quarter;
    };
    const Case cases[] = {
        {"20260101", "2026-Q1"},
        {"20260331", "2026-Q1"},
        {"20260401", "2026-Q2"},
        {"20260930", "2026-Q3"},
        {"20261231", "2026-Q4"},
        {"20240229", "2024-Q1"},
        {"20230229", ""},
        {"20261301", ""},
        {"2026-01-01", ""},
        {"2026010", ""},
        {"", ""},
        {"2026O101", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(quarterOf(c.date), c.quarter) << c.date;
        EXPECT_EQ(dayNumber(c.date).has_value(), *c.quarter != '\0') << c.date;
    }
    EXPECT_EQ(dayNumber("19700101"), 0);
    EXPECT_EQ(*dayNumber("20260301") - *dayNumber("20260228"), 1);
    EXPECT_EQ(*dayNumber("20240301") - *dayNumber("20240228"), 2);
    EXPECT_EQ(isoDate(*dayNumber("20240229")), "2024-02-29");
}

// Two exposures a day for `days` days, thicknesses over 30-80 mm, a dose
// that grows with thickness and scatters by 10 %, times `after` from `stepDay` on.
std::vector<DatedDose> unitDoses(int days, int stepDay, double after, bool thinFirst = false) {
    std::mt19937 random(7);
    auto uniform = [&] { return (static_cast<double>(random()) + 0.5) / 4294967296.0; };
    std::vector<DatedDose> v;
    for (int d = 0; d < days; ++d)
        for (int k = 0; k < 2; ++k) {
            const double t = thinFirst ? (d < days / 2 ? 30 : 60) + 20 * uniform() : 30 + 50 * uniform();
            const double noise = std::sqrt(-2 * std::log(uniform())) * std::cos(2 * M_PI * uniform());
            const double agd = 0.4 * std::exp(0.025 * t) * std::exp(0.1 * noise) * (d >= stepDay ? after : 1);
            v.push_back({20000 + d, 36000.0 + 600 * k, t, agd});
        }
    return v;
}

TEST(Trends, AStepInAUnitsDoseIsFoundWhereItIsAndNoneWhereThereIsNone) {
    struct Case {
        const char* name;
        std::vector<DatedDose> doses;
        bool found;
        int day;        // of the step found
        double percent; // its size
    };
    const Case cases[] = {
        {"+15 % halfway", unitDoses(60, 30, 1.15), true, 20030, 15},
        {"-20 % late", unitDoses(60, 45, 0.8), true, 20045, -20},
        {"no change", unitDoses(60, 999, 1), false, 0, 0},
        {"thicker breasts later, same technique", unitDoses(60, 999, 1, true), false, 0, 0},
        {"+3 %: below what counts", unitDoses(60, 30, 1.03), false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<DoseStep> s = findDoseStep(c.doses);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->found, c.found) << "t " << s->t << ", " << s->percent << " %";
        if (!c.found) continue;
        EXPECT_NEAR(s->day, c.day, 2);
        EXPECT_NEAR(s->percent, c.percent, 4);
    }
    // Too few on either side of any day for a test; one day cannot be split.
    EXPECT_FALSE(findDoseStep(unitDoses(9, 5, 2)));
    std::vector<DatedDose> oneDay = unitDoses(30, 999, 1);
    for (DatedDose& d : oneDay)
        d.day = 20000;
    EXPECT_FALSE(findDoseStep(oneDay));
}

TEST(Trends, TheUnitsLineAndItsOutliers) {
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < 30; ++i) {
        const double t = 30 + i * 1.7;
        points.push_back({t, std::exp(-1.2 + 0.031 * t) * (1 + 0.02 * ((i * 7) % 5 - 2))}); // +-4 % scatter
    }
    const LogLine line = fitLogLine(points);
    EXPECT_NEAR(line.slope, 0.031, 2e-3);
    EXPECT_NEAR(line.intercept, -1.2, 0.1);
    struct Case {
        const char* name;
        double factor; // on the 11th point's dose
        bool outlier;
    };
    for (const Case& c : {Case{"as the others", 1, false}, Case{"40 % high", 1.4, true},
                          Case{"halved", 0.5, true}, Case{"6 % high: within the scatter", 1.06, false}}) {
        SCOPED_TRACE(c.name);
        std::vector<std::pair<double, double>> v = points;
        v[10].second *= c.factor;
        const std::vector<double> z = modifiedZ(v);
        ASSERT_EQ(z.size(), v.size());
        EXPECT_EQ(std::fabs(z[10]) > kOutlierZ, c.outlier) << z[10];
        for (size_t i = 0; i < z.size(); ++i)
            if (i != 10) EXPECT_LE(std::fabs(z[i]), kOutlierZ) << i;
    }
    // All on the line: no spread to measure by, nobody an outlier.
    std::vector<std::pair<double, double>> exact = {{30, 1}, {40, std::exp(0.3)}, {50, std::exp(0.6)}};
    for (double z : modifiedZ(exact))
        EXPECT_EQ(z, 0);
    EXPECT_EQ(fitLogLine({}).slope, 0);
}

TEST(Trends, ReferenceLevelsReadInAnyColumnOrderWithTheirBandsAndViews) {
    const auto levels =
        parseReferenceLevels("# ours\r\nmgy,level,thickness_max_mm,modality,thickness_min_mm,View,source\r\n"
                             "1.78,A CC,60,2D,40,cc,\"paper, table 2\"\r\n2.3,B,200,dbt,0,,\r\n",
                             "levels.csv");
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_EQ(levels[0].name, "A CC");
    EXPECT_EQ(levels[0].modality, Modality::Mammography);
    EXPECT_EQ(levels[0].view, "CC");
    EXPECT_EQ(levels[0].band(), "40-60 mm");
    EXPECT_EQ(levels[0].source, "paper, table 2");
    EXPECT_EQ(levels[0].line, 3);
    EXPECT_TRUE(levels[0].holds(40));
    EXPECT_TRUE(levels[0].holds(59.9));
    EXPECT_FALSE(levels[0].holds(60));
    EXPECT_FALSE(levels[0].holds(39.9));
    EXPECT_EQ(levels[1].modality, Modality::Tomosynthesis);
    EXPECT_EQ(levels[1].view, "");
    EXPECT_EQ(levels[1].mgy, 2.3);
}

TEST(Trends, AReferenceLevelFileThatCannotBeUsedNamesItsLineColumnAndValue) {
    const std::string head = "level,modality,thickness_min_mm,thickness_max_mm,mgy\n";
    const test::TableFault cases[] = {
        {"empty", "", MeasuredFault::NoHeader, 1, "", ""},
        {"unknown column", "level,modality,band,mgy\n", MeasuredFault::UnknownColumn, 1, "band", ""},
        {"column twice", "level,level,modality\n", MeasuredFault::RepeatedColumn, 1, "level", ""},
        {"no mgy", "level,modality,thickness_min_mm,thickness_max_mm\n", MeasuredFault::MissingColumn, 1,
         "mgy", ""},
        {"no name", head + ",2d,50,60,2\n", MeasuredFault::MissingColumn, 2, "level", ""},
        {"modality", head + "A,mg,50,60,2\n", MeasuredFault::BadModality, 2, "modality", "mg"},
        {"band backwards", head + "A,2d,60,50,2\n", MeasuredFault::BadBand, 2, "thickness_max_mm", "50"},
        {"band empty", head + "A,2d,50,50,2\n", MeasuredFault::BadBand, 2, "thickness_max_mm", "50"},
        {"not a number", head + "A,2d,5O,60,2\n", MeasuredFault::BadNumber, 2, "thickness_min_mm", "5O"},
        {"no level", head + "A,2d,50,60,0\n", MeasuredFault::BadNumber, 2, "mgy", "0"},
        {"negative", head + "A,2d,50,60,-2\n", MeasuredFault::BadNumber, 2, "mgy", "-2"},
    };
    test::expectTableFaults(cases, "levels.csv", [](const std::string& text, const std::string& file) {
        parseReferenceLevels(text, file);
    });
}

TEST(Trends, TheShippedExampleReadsAndNamesTheSourceOfEachLevel) {
    const auto levels = readReferenceLevels(std::filesystem::path(KV_SOURCE_DIR) /
                                            "tools/audit/examples/reference_levels.csv");
    ASSERT_GE(levels.size(), 3u);
    for (const ReferenceLevel& l : levels) {
        EXPECT_FALSE(l.source.empty()) << l.name;
        EXPECT_GT(l.mgy, 0.5) << l.name;
        EXPECT_LT(l.mgy, 5) << l.name;
    }
}

} // namespace
} // namespace kv::audit
