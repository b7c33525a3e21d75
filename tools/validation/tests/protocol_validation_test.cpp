// The published tables as read, and the protocol breast against them on the
// few rows CI can afford: g of Mo/Mo (Dance 1990; Dance et al. 2000, 50 %
// glandular) within 3 %, g x s of W/Rh (Dance et al. 2000) within 4 %.
#include "kv/common/format.h"
#include "kv/spectrum/model/physical_data.h"
#include "kv/test_support/work_dir.h"
#include "kv/validation/protocol_validation.h"
#include "kv/validation/tomosynthesis_validation.h"

#include <gtest/gtest.h>

using namespace kv::validation;
namespace fs = std::filesystem;

namespace {

const fs::path kReference = KV_VALIDATION_REFERENCE_DIR;

TEST(PublishedTables, GIsLookedUpInItsRowAndInterpolatedInHvl) {
    const FactorTable g = readFactorTable(kReference / "dance2000-g-factors.csv");
    ASSERT_EQ(g.hvls.size(), 7u);
    EXPECT_EQ(g.rows.size(), 8u);
    struct Row {
        double thickness, hvl;
        std::optional<double> g;
    };
    const Row rows[] = {
        {4.5, 0.30, 0.183}, {4.5, 0.35, 0.208},        {4.5, 0.325, 0.1955},      {2, 0.60, 0.587},
        {8, 0.42, 0.1316},  {4.5, 0.29, std::nullopt}, {4.5, 0.61, std::nullopt}, {2.5, 0.4, std::nullopt},
    };
    for (const Row& r : rows) {
        const std::optional<double> v = lookUp(g, r.thickness, r.hvl);
        ASSERT_EQ(v.has_value(), r.g.has_value()) << r.thickness << " cm, " << r.hvl;
        if (v) {
            EXPECT_NEAR(*v, *r.g, 1e-9) << r.thickness << " cm, " << r.hvl;
        }
    }
    const auto s = readSpectrumFactors(kReference / "dance2000-s-factors.csv");
    EXPECT_EQ(s.at("Mo/Mo"), 1.0);
    EXPECT_EQ(s.at("W/Rh"), 1.042);
    EXPECT_THROW(readFactorTable(kReference / "no-such.csv"), std::runtime_error);
}

TEST(ProtocolBreast, ReducedRowsAgreeWithThePublishedFactors) {
    kv::test_support::TempDir d;
    const fs::path data = KV_RUN_DIR;
    const std::vector<Case> cases = validationCases(true, kv::formats::readEquipment(data), 3e5);
    ASSERT_EQ(cases.size(), 3u);
    const kv::spectrum::PhysicalData physical = kv::spectrum::LoadPhysicalData(data);
    std::vector<kv::factors::RowFactors> factors;
    for (const Case& c : cases)
        factors.push_back(kv::factors::runGridRow(c.row, data, physical, d.path(), {.threads = 2}).factors);
    const std::vector<Comparison> all =
        compare(cases, factors, readFactorTable(kReference / "dance2000-g-factors.csv"),
                readSpectrumFactors(kReference / "dance2000-s-factors.csv"));
    for (const Comparison& c : all) {
        ASSERT_TRUE(c.deviationPercent)
            << c.ours.kv << " kV: HVL " << c.ours.hvlPaddle << " outside the table";
        const double tolerance = (c.c.group == Group::G ? 3.0 : 4.0) + 3 * c.ours.mgdSigmaPercent;
        EXPECT_LT(std::fabs(*c.deviationPercent), tolerance)
            << c.ours.target << "/" << c.ours.filters << " " << c.ours.kv << " kV: mgd " << c.ours.mgd
            << ", published " << *c.expectedMgd;
    }
    // The W/Rh row's s against our own Mo/Mo rows, which bracket its HVL.
    ASSERT_TRUE(all[2].ours.s);
    EXPECT_NEAR(*all[2].ours.s, 1.042, 0.04);
    // And against the published g, which does not lean on how our Mo/Mo rows reach that HVL.
    ASSERT_TRUE(all[2].sAgainstPublishedG);
    EXPECT_NEAR(*all[2].sAgainstPublishedG, 1.042, 0.04);

    // The document's generated part goes between its markers, the prose around it stays.
    const fs::path doc = d.path() / "validation.md";
    kv::test_support::writeFile(doc, "# Validation\n\nprose before\n\n" + std::string(kBeginMarker) +
                                         "\nold\n" + std::string(kEndMarker) + "\n\nprose after\n");
    replaceGenerated(doc, generatedMarkdown(all, "kv-protocol-validate --reduced"));
    const std::string text = kv::test_support::readFile(doc);
    EXPECT_EQ(text.rfind("# Validation\n\nprose before\n\n", 0), 0u);
    EXPECT_NE(text.find("within 3 %: 2 of 2"), std::string::npos) << text;
    EXPECT_EQ(text.find("\nold\n"), std::string::npos);
    // One W/Rh row at one thickness: its mgd / g is the whole range of the summary by thickness.
    const std::string wRh = kv::format(*all[2].sAgainstPublishedG, "0.000");
    EXPECT_NE(text.find("| beam | 4.5 cm |\n|---|---|\n| W/Rh 0.025 | " + wRh + " - " + wRh + " |\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.substr(text.size() - 13), "\nprose after\n");
}

} // namespace

namespace {

using kv::validation::TomoCase;
using kv::validation::TomoLine;

TEST(Tomosynthesis, EachScanRowIsOverTheZeroDegreeRowOfItsOwnBreastAndBeam) {
    const std::vector<TomoCase> cases =
        kv::validation::tomosynthesisCases(false, kv::formats::readEquipment(KV_RUN_DIR), 1e5);
    // 6 thicknesses x 3 beams x (the 0 deg row and two sweeps).
    ASSERT_EQ(cases.size(), 54u);
    std::vector<kv::factors::RowFactors> f(cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        // A made-up dose that tells the rows apart: it falls with range and thickness.
        f[i].mgd = (1 - 0.002 * cases[i].rangeDeg) * (1 - 0.05 * cases[i].row.thickness) *
                   (cases[i].beam[0] == 'W' ? 1.1 : 1);
        f[i].mgdSigmaPercent = cases[i].zero() ? 0.3 : 0.4;
        EXPECT_EQ(cases[i].row.tomosynthesis, !cases[i].zero());
        EXPECT_EQ(cases[i].row.angularRange, cases[i].rangeDeg);
    }
    const std::vector<TomoLine> lines = kv::validation::tomosynthesisLines(cases, f);
    ASSERT_EQ(lines.size(), 36u);
    for (const TomoLine& l : lines) {
        SCOPED_TRACE(l.c.beam + " " + std::to_string(l.c.row.thickness));
        EXPECT_NEAR(l.T, 1 - 0.002 * l.c.rangeDeg, 1e-12);
        EXPECT_NEAR(l.tSigmaPercent, 0.5, 1e-12);
    }
    // A scan row without its 0 deg row has no T.
    const std::vector<TomoCase> alone(cases.begin() + 1, cases.begin() + 3);
    EXPECT_TRUE(kv::validation::tomosynthesisLines(alone, {f[1], f[2]}).empty());
    EXPECT_THROW(kv::validation::tomosynthesisLines(cases, {f[0]}), std::logic_error);

    const std::string md =
        kv::validation::tomosynthesisMarkdown(lines, "kv-protocol-validate --tomosynthesis");
    EXPECT_NE(md.find("#### T of continuous sweeps, W/Al 30 kV\n\n| thickness (cm) | ±7.5° | ±25° |"),
              std::string::npos)
        << md;
    EXPECT_NE(md.find("| 11 | 0.985 ± 0.005 | 0.950 ± 0.005 |"), std::string::npos) << md;
}

// The engine's sweeps on the reduced rows: T just under 1 at +-7.5 deg, lower at +-25 deg.
TEST(Tomosynthesis, ReducedSweepsFallWithTheirRange) {
    kv::test_support::TempDir d;
    const fs::path data = KV_RUN_DIR;
    const std::vector<TomoCase> cases =
        kv::validation::tomosynthesisCases(true, kv::formats::readEquipment(data), 3e5);
    ASSERT_EQ(cases.size(), 3u);
    const kv::spectrum::PhysicalData physical = kv::spectrum::LoadPhysicalData(data);
    std::vector<kv::factors::RowFactors> factors;
    for (const TomoCase& c : cases)
        factors.push_back(kv::factors::runGridRow(c.row, data, physical, d.path(), {.threads = 2}).factors);
    const std::vector<TomoLine> lines = kv::validation::tomosynthesisLines(cases, factors);
    ASSERT_EQ(lines.size(), 2u);
    const TomoLine &narrow = lines[0], &wide = lines[1];
    ASSERT_EQ(narrow.c.rangeDeg, 7.5);
    ASSERT_EQ(wide.c.rangeDeg, 25);
    EXPECT_NEAR(narrow.T, 1, 0.01 + 3 * narrow.tSigmaPercent / 100);
    EXPECT_LT(wide.T, 1);
    EXPECT_GT(wide.T, 0.9);
    // The two sweeps share their 0 deg row: their difference has only their own spread.
    EXPECT_LT(wide.T, narrow.T + 3 * std::hypot(narrow.mgdSigmaPercent, wide.mgdSigmaPercent) / 100);
}

} // namespace
