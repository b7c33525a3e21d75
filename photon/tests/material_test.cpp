// The one material layer: the shipped materials are whole and dry air is the
// NIST composition, not xraylib's copy that lacks a millionth of nitrogen.
#include "kv/photon/material.h"

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

} // namespace
