// The one material layer: the shipped materials are whole and dry air is the
// NIST composition, not xraylib's copy that lacks a millionth of nitrogen.
#include "kv/photon/material.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>

using namespace kv::photon;

namespace {

double fractionSum(const Material& m) {
    double sum = 0;
    for (const ElementShare& e : m.elements)
        sum += e.massFraction;
    return sum;
}

TEST(Material, EveryNamedMaterialIsWhole) {
    for (const Material& m : {materials::adipose(), materials::glandular(), materials::pmma(),
                              materials::polycarbonate(), materials::dryAir()}) {
        EXPECT_NEAR(fractionSum(m), 1.0, 1e-9) << m.name;
        EXPECT_GT(m.density, 0) << m.name;
    }
}

TEST(Material, DryAirIsTheNistCompositionAddingUpToOne) {
    const Material air = materials::dryAir();
    std::map<int, double> byZ;
    for (const ElementShare& e : air.elements)
        byZ[e.z] = e.massFraction;
    const std::map<int, double> nist = {{6, 0.000124}, {7, 0.755268}, {8, 0.231781}, {18, 0.012827}};
    EXPECT_EQ(byZ, nist);
    EXPECT_DOUBLE_EQ(air.density, 0.001205);
    // xraylib's list gives the same elements; only its nitrogen is a millionth short.
    const Material listed = nistCompound("Air, Dry (near sea level)", 0.001205);
    ASSERT_EQ(listed.elements.size(), air.elements.size());
    for (const ElementShare& e : listed.elements)
        EXPECT_NEAR(e.massFraction, nist.at(e.z), 1.5e-6) << e.z;
}

TEST(Material, FormulaElementAndSymbol) {
    const Material pmma = materialFromFormula("PMMA", "C5H8O2", 1.19);
    ASSERT_EQ(pmma.elements.size(), 3u);
    EXPECT_EQ(element(42, 10.22).name, "Mo");
    EXPECT_EQ(element(42, 10.22).elements.front().z, 42);
    EXPECT_EQ(atomicNumber("Ca"), 20);
    EXPECT_EQ(atomicNumber(""), 0);
    EXPECT_EQ(atomicNumber("Xx"), 0);
    EXPECT_THROW(materialFromFormula("bad", "C5H8O2)", 1.0), std::invalid_argument);
    EXPECT_THROW(nistCompound("no such compound", 1.0), std::runtime_error);
}

// AAPM TG-195 (Med. Phys. 42 (2015) 5679), its breast of 20 % glandular tissue by
// mass: H 0.110, C 0.532, N 0.020, O 0.336, ash 0.0018, 0.952 g/cm3 (ash here as P).
TEST(Material, BreastTissueMixesByWeightAsThePublishedBreast) {
    struct Row {
        double percent;
        std::map<int, double> fractions;
        double density;
    };
    const Row rows[] = {
        {20, {{1, 0.110}, {6, 0.532}, {7, 0.020}, {8, 0.3362}, {15, 0.0018}}, 0.952},
        {0, {{1, 0.112}, {6, 0.619}, {7, 0.017}, {8, 0.251}, {15, 0.001}}, 0.9301},
        {100, {{1, 0.102}, {6, 0.184}, {7, 0.032}, {8, 0.677}, {15, 0.005}}, 1.04},
        {50, {{1, 0.107}, {6, 0.4015}, {7, 0.0245}, {8, 0.464}, {15, 0.003}}, 0.98505},
    };
    for (const Row& r : rows) {
        const Material m = materials::breastTissue(r.percent);
        EXPECT_NEAR(fractionSum(m), 1.0, 1e-12) << r.percent;
        EXPECT_NEAR(m.density, r.density, 1e-4) << r.percent;
        ASSERT_EQ(m.elements.size(), r.fractions.size()) << r.percent;
        for (const ElementShare& e : m.elements)
            EXPECT_NEAR(e.massFraction, r.fractions.at(e.z), 1e-9) << r.percent << " % Z=" << e.z;
    }
    EXPECT_THROW(materials::breastTissue(100.5), std::invalid_argument);
    EXPECT_THROW(materials::breastTissue(std::nan("")), std::invalid_argument);
}

} // namespace
