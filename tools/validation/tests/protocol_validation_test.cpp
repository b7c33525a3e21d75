// The published tables as read, and the protocol breast against them on the
// few rows CI can afford: g of Mo/Mo (Dance 1990; Dance et al. 2000, 50 %
// glandular) within 3 %, g x s of W/Rh (Dance et al. 2000) within 4 %.
#include "kv/common/format.h"
#include "kv/formats/geometry_file.h"
#include "kv/spectrum/model/beam_quality.h"
#include "kv/spectrum/model/measured_source.h"
#include "kv/spectrum/model/physical_data.h"
#include "kv/spectrum/model/spectrum_model.h"
#include "kv/test_support/work_dir.h"
#include "kv/validation/protocol_validation.h"
#include "kv/validation/tomosynthesis_validation.h"

#include <gtest/gtest.h>
#include <map>

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

// A row's first HVL (the paddle in the beam, on the surface's ray) from its spectrum alone, as the
// row runner has it before the engine starts.
double hvlOf(const kv::factors::Row& r, const kv::spectrum::PhysicalData& physical,
             const kv::formats::Geometry& plates) {
    const kv::spectrum::SpectrumResult s =
        r.measured ? kv::spectrum::measuredSpectrumTable(*r.measured, r.spectrumFile, physical, r.spectrum)
                   : kv::spectrum::computeSpectrum(r.target, physical, r.spectrum);
    return kv::spectrum::beamQuality(s.table[1], physical.aluminum,
                                     kv::spectrum::paddleTransmission(kv::factors::rowGeometry(r, plates)))
        ->firstHvl;
}

// s is a beam's mgd over our Mo/Mo mgd interpolated at its HVL, and none beyond our Mo/Mo rows. In
// both grids every beam that is compared (a published-factor row within the published g's HVLs, a
// measured spectrum) must therefore lie between the Mo/Mo model rows of its thickness.
TEST(ProtocolBreast, EveryComparedBeamLiesWithinTheMoMoRowsOfItsThickness) {
    const fs::path data = KV_RUN_DIR;
    const kv::formats::EquipmentRecord equipment = kv::formats::readEquipment(data);
    const kv::spectrum::PhysicalData physical = kv::spectrum::LoadPhysicalData(data);
    const kv::formats::Geometry plates = kv::formats::readGeometry(data);
    const double lastPublishedHvl = readFactorTable(kReference / "dance2000-g-factors.csv").hvls.back();
    std::vector<kv::factors::Row> published;
    for (const Case& c : validationCases(false, equipment, 1e5))
        published.push_back(c.row);
    const struct {
        const char* grid;
        std::vector<kv::factors::Row> rows;
        bool measuredOnly; // the grid compares its measured rows only
    } grids[] = {{"published factors", published, false},
                 {"measured spectra",
                  measuredCases(kReference / "measured-spectra-grid.csv", equipment, false, 0), true}};
    for (const auto& g : grids) {
        // (thickness, glandularity) -> the lowest and highest HVL of the Mo/Mo model rows
        std::map<std::pair<double, double>, std::pair<double, double>> moMo;
        std::vector<std::pair<const kv::factors::Row*, double>> compared;
        for (const kv::factors::Row& r : g.rows) {
            const double hvl = hvlOf(r, physical, plates);
            if (beamName(r) == "Mo/Mo" && !r.measured) {
                auto [at, fresh] = moMo.try_emplace({r.thickness, r.glandular}, hvl, hvl);
                at->second = {std::min(at->second.first, hvl), std::max(at->second.second, hvl)};
            } else if (g.measuredOnly ? r.measured != nullptr : hvl <= lastPublishedHvl) {
                compared.emplace_back(&r, hvl);
            }
        }
        EXPECT_FALSE(compared.empty()) << g.grid;
        for (const auto& [r, hvl] : compared) {
            SCOPED_TRACE(std::string(g.grid) + ": " + beamName(*r) + " " + r->spectrum.tubeVoltage + " kV, " +
                         kv::plainDecimal(r->thickness) + " cm, HVL " + kv::format(hvl, "0.000"));
            const auto range = moMo.find({r->thickness, r->glandular});
            ASSERT_NE(range, moMo.end());
            EXPECT_GE(hvl, range->second.first);
            EXPECT_LE(hvl, range->second.second);
        }
    }
}

// The measured grid's rows as the comparison reads them, against factors made up so that the
// interpolation can be worked by hand: our model's Rh/Rh rows at HVL 0.33, 0.37 and 0.41 mm Al.
TEST(MeasuredSpectra, EachMeasuredRowIsSetAgainstOurModelAtItsHvl) {
    const std::vector<kv::factors::Row> rows = measuredCases(
        kReference / "measured-spectra-grid.csv", kv::formats::readEquipment(KV_RUN_DIR), true, 1e5);
    ASSERT_EQ(rows.size(), 6u) << "Rh/Rh at 25, 28 and 31 kV, model and measured";
    struct Made {
        bool measured;
        double hvl, mgd;
        std::optional<double> model, difference; // expected
    };
    const Made made[] = {
        {false, 0.33, 0.20, {}, {}},          {false, 0.37, 0.23, {}, {}}, {false, 0.41, 0.26, {}, {}},
        {true, 0.35, 0.2107, 0.215, -2.0},    // halfway: (0.20 + 0.23) / 2; 0.2107 / 0.215 - 1
        {true, 0.41, 0.2652, 0.26, +2.0},     // on the last row
        {true, 0.45, 0.29, std::nullopt, {}}, // beyond the model's rows
    };
    std::vector<kv::factors::RowFactors> factors;
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].histories, 1e5);
        // The model rows come first in the grid, the measured ones after.
        EXPECT_EQ(rows[i].measured != nullptr, made[i].measured) << "row " << i;
        kv::factors::RowFactors f;
        f.hvl1Paddle = made[i].hvl, f.mgd = made[i].mgd, f.mgdSigmaPercent = 0.2;
        factors.push_back(f);
    }
    const std::vector<MeasuredComparison> all = compareMeasured(rows, factors);
    ASSERT_EQ(all.size(), 3u);
    for (size_t i = 0; i < all.size(); ++i) {
        const Made& m = made[3 + i];
        ASSERT_EQ(all[i].modelMgd.has_value(), m.model.has_value()) << "row " << i;
        if (!m.model) continue;
        EXPECT_NEAR(*all[i].modelMgd, *m.model, 1e-12) << "row " << i;
        EXPECT_NEAR(*all[i].differencePercent, *m.difference, 1e-9) << "row " << i;
    }
    EXPECT_EQ(all[0].measured.target + "/" + all[0].measured.filters, "Rh/Rh 0.025");
    EXPECT_NE(all[0].spectrumFile.find("Rh_25kV.dat"), std::string::npos);
    const std::string md = measuredMarkdown(all, "kv-protocol-validate --reduced");
    EXPECT_NE(md.find("| Rh/Rh 0.025 | 25 | 0.350 | 0.2107 ± 0.20 % | 0.2150 | -2.0 % |"), std::string::npos)
        << md;
    EXPECT_NE(md.find("| Rh/Rh 0.025 | 31 | 0.450 | 0.2900 ± 0.20 % | - (beyond the model's rows) | - |"),
              std::string::npos)
        << md;
}

// The same rows through the engine with CI's histories: at the same HVL the measured rhodium
// spectra give within a few per cent of our model's dose (-1 % with the full histories).
TEST(MeasuredSpectra, ReducedRowsAgreeWithOurModelAtTheSameHvl) {
    kv::test_support::TempDir d;
    const fs::path data = KV_RUN_DIR;
    const std::vector<kv::factors::Row> rows =
        measuredCases(kReference / "measured-spectra-grid.csv", kv::formats::readEquipment(data), true, 1e5);
    const kv::spectrum::PhysicalData physical = kv::spectrum::LoadPhysicalData(data);
    std::vector<kv::factors::RowFactors> factors;
    for (const kv::factors::Row& r : rows)
        factors.push_back(kv::factors::runGridRow(r, data, physical, d.path(), {.threads = 2}).factors);
    int compared = 0;
    for (const MeasuredComparison& m : compareMeasured(rows, factors)) {
        if (!m.differencePercent) continue;
        ++compared;
        EXPECT_LT(std::fabs(*m.differencePercent), 4.0 + 3 * m.measured.mgdSigmaPercent)
            << m.measured.kv << " kV: measured mgd " << m.measured.mgd << ", model " << *m.modelMgd;
    }
    EXPECT_GE(compared, 1) << "no measured row's HVL lies between our model's rows";
}

} // namespace

namespace {

using kv::validation::TomoCase;
using kv::validation::TomoKind;
using kv::validation::TomoLine;

// A made-up dose that tells every case apart, over its 0 deg projection.
double madeUp(const TomoCase& c) {
    switch (c.kind) {
    case TomoKind::Mammography:
        return 1.004;
    case TomoKind::Single:
        return 1 - c.angleDeg * (c.axisCm ? 0.0018 : 0.0012);
    case TomoKind::Step:
        return 1 - 0.002 * c.rangeDeg - 0.00013 * c.projections;
    case TomoKind::Sweep:
        return 1 - 0.002 * c.rangeDeg;
    }
    return 0;
}

TEST(Tomosynthesis, EachCaseIsOverTheZeroDegreeProjectionOfItsOwnBreastBeamAndAxis) {
    const std::vector<TomoCase> cases =
        kv::validation::tomosynthesisCases(false, kv::formats::readEquipment(KV_RUN_DIR), 1e5);
    // 6 thicknesses x 3 beams x (the 2D row, 7 angles and 6 scan designs at each of 2 axes), and
    // Mo/Mo's 6 thicknesses with a rim x (the 2D row, 7 angles at one axis, 6 scan designs).
    ASSERT_EQ(cases.size(), 486u + 84u);
    std::vector<kv::factors::RowFactors> f(cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const TomoCase& c = cases[i];
        // A rim's rows over a bare rim's 0 deg projection would be 10 % off, a scan about the
        // detector over the 0 deg projection about FID - FAD 5 %.
        f[i].mgd = madeUp(c) * (1 - 0.05 * c.row.thickness) * (c.beam[0] == 'W' ? 1.1 : 1) *
                   (c.adiposeRimMm != 0 ? 0.9 : 1) * (c.axisCm == 0.0 ? 0.95 : 1);
        f[i].mgdSigmaPercent = c.reference() ? 0.3 : 0.4;
        // The grid row is the case it stands for.
        EXPECT_EQ(c.row.tomosynthesis, c.kind != TomoKind::Mammography);
        EXPECT_EQ(c.row.projections, c.kind == TomoKind::Step ? c.projections : 0);
        EXPECT_EQ(c.row.projectionAngle.has_value(), c.kind == TomoKind::Single);
        EXPECT_EQ(c.row.rotationAxis, c.kind == TomoKind::Mammography ? std::nullopt : c.axisCm);
        EXPECT_EQ(c.row.adiposeRimMm, c.adiposeRimMm);
        if (c.adiposeRimMm != 0) {
            EXPECT_EQ(c.adiposeRimMm, 5.0);
            EXPECT_EQ(c.beam, "Mo/Mo 28 kV");
            EXPECT_FALSE(c.axisCm);
        }
        if (c.kind == TomoKind::Step || c.kind == TomoKind::Sweep) {
            EXPECT_EQ(c.row.angularRange, c.rangeDeg);
        }
    }
    const std::vector<TomoLine> lines = kv::validation::tomosynthesisLines(cases, f);
    ASSERT_EQ(lines.size(), 486u - 36u + 84u - 6u);
    for (const TomoLine& l : lines) {
        SCOPED_TRACE(l.c.beam + " " + std::to_string(l.c.row.thickness));
        EXPECT_NEAR(l.value, madeUp(l.c), 1e-12);
        EXPECT_NEAR(l.sigmaPercent, 0.5, 1e-12);
    }
    // A case without its 0 deg projection has no line.
    const std::vector<TomoCase> alone = {cases[0], cases[3]};
    EXPECT_TRUE(kv::validation::tomosynthesisLines(alone, {f[0], f[3]}).empty());
    EXPECT_THROW(kv::validation::tomosynthesisLines(cases, {f[0]}), std::logic_error);

    const std::string md =
        kv::validation::tomosynthesisMarkdown(lines, "kv-protocol-validate --tomosynthesis");
    for (const char* expected : {
             "#### t(θ), W/Al 30 kV, rotation axis 0 cm above the detector\n\n| thickness (cm) | 5° | 10° | "
             "15° | 20° | "
             "25° | 30° |\n",
             "#### t(θ), W/Al 30 kV, rotation axis at FID - FAD\n",
             // The axis at the detector first, then above it.
             "| 11 | 0.991 ± 0.005 | 0.982 ± 0.005 | 0.973 ± 0.005 | 0.964 ± 0.005 | 0.955 ± 0.005 | 0.946 ± "
             "0.005 |\n",
             "| 11 | 0.994 ± 0.005 | 0.988 ± 0.005 | 0.982 ± 0.005 | 0.976 ± 0.005 | 0.970 ± 0.005 | 0.964 ± "
             "0.005 |\n",
             "| thickness (cm) | 2D / 0° | 15 x ±7.5° | 9 x ±12.5° | 21 x ±20° | 25 x ±25° | sweep ±7.5° | "
             "sweep ±25° |",
             "| 2 | 1.004 ± 0.005 | 0.983 ± 0.005 | 0.974 ± 0.005 | 0.957 ± 0.005 | 0.947 ± 0.005 | 0.985 ± "
             "0.005 | 0.950 ± 0.005 |",
             "#### t(θ), Mo/Mo 28 kV, rotation axis at FID - FAD, 5 mm adipose round the curved edge\n\n"
             "| thickness (cm) | 5° | 10° | 15° | 20° | 25° | 30° |\n|---|---|---|---|---|---|---|\n"
             "| 2 | 0.994 ± 0.005 |",
             "#### T of the scan designs, Mo/Mo 28 kV, rotation axis at FID - FAD, 5 mm adipose round the "
             "curved "
             "edge\n\n| thickness (cm) | 2D / 0° |",
             "#### T of the scan designs, W/Rh 29 kV, rotation axis 0 cm above the detector\n\n"
             "| thickness (cm) | 2D / 0° | 15 x ±7.5° |",
         })
        EXPECT_NE(md.find(expected), std::string::npos) << expected << "\n" << md;
    // No rim table for the other beams, nor at the axis on the detector.
    EXPECT_EQ(md.find("W/Al 30 kV, rotation axis at FID - FAD, 5 mm"), std::string::npos);
    EXPECT_EQ(md.find("0 cm above the detector, 5 mm"), std::string::npos);
    EXPECT_LT(md.find("#### T of the scan designs, W/Al 30 kV, rotation axis at FID - FAD\n"),
              md.find("#### T of the scan designs, W/Al 30 kV, rotation axis 0 cm above the detector\n"))
        << "the axis at FID - FAD first, as before";
    EXPECT_EQ(md.find("#### T of the scan designs, Mo/Mo 28 kV, rotation axis 0 cm above the detector, 5 mm"),
              std::string::npos);
    EXPECT_LT(md.find("#### T of the scan designs, Mo/Mo 28 kV, rotation axis at FID - FAD\n"),
              md.find("#### t(θ), Mo/Mo 28 kV, rotation axis at FID - FAD, 5 mm"))
        << "the bare rim first";
}

// The engine's reduced rows: the 0 deg projection is the 2D row, t falls at 25 deg, and a scan of 25
// projections gives the continuous sweep's T.
TEST(Tomosynthesis, ReducedRowsAgreeWithWhatTheScanMeans) {
    kv::test_support::TempDir d;
    const fs::path data = KV_RUN_DIR;
    const std::vector<TomoCase> cases =
        kv::validation::tomosynthesisCases(true, kv::formats::readEquipment(data), 3e5);
    ASSERT_EQ(cases.size(), 5u);
    const kv::spectrum::PhysicalData physical = kv::spectrum::LoadPhysicalData(data);
    std::vector<kv::factors::RowFactors> factors;
    for (const TomoCase& c : cases)
        factors.push_back(kv::factors::runGridRow(c.row, data, physical, d.path(), {.threads = 2}).factors);
    std::map<TomoKind, TomoLine> by;
    for (const TomoLine& l : kv::validation::tomosynthesisLines(cases, factors))
        by.emplace(l.c.kind, l);
    ASSERT_EQ(by.size(), 4u);
    auto sigma = [](const TomoLine& l) { return l.value * l.sigmaPercent / 100; };
    const TomoLine &twoD = by.at(TomoKind::Mammography), &t25 = by.at(TomoKind::Single),
                   &step = by.at(TomoKind::Step), &sweep = by.at(TomoKind::Sweep);
    EXPECT_NEAR(twoD.value, 1, 3 * sigma(twoD));
    EXPECT_LT(t25.value, 1 - 3 * sigma(t25));
    // T averages angles from 0 to 25 deg, so it lies between 1 and t(25).
    EXPECT_GT(step.value, t25.value);
    EXPECT_LT(step.value, 1);
    // The two scans share their 0 deg projection: their difference has only their own spread.
    EXPECT_NEAR(step.value, sweep.value,
                3 * std::hypot(factors[3].mgdSigmaPercent, factors[4].mgdSigmaPercent) / 100);
}

} // namespace
