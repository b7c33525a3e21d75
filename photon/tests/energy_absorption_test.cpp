#include "kv/photon/energy_absorption.h"

#include <cmath>
#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

using Composition = std::vector<std::pair<int, double>>; // (Z, mass fraction)

double mixture(const Composition& c, double e) {
    double sum = 0;
    for (auto [z, w] : c)
        sum += w * kv::photon::massEnergyAbsorption(z, e);
    return sum;
}

TEST(MassEnergyAbsorption, AirAndWaterAgreeWithTheStandardTables) {
    const Composition air{{6, 0.000124}, {7, 0.755268}, {8, 0.231781}, {18, 0.012827}};
    const Composition water{{1, 0.111894}, {8, 0.888106}};
    struct Row {
        const char* name;
        const Composition* c;
        double keV, muEn; // cm²/g from the standard tables
    };
    const Row rows[] = {
        {"air", &air, 10, 4.742},       {"air", &air, 20, 0.5389},     {"air", &air, 30, 0.1537},
        {"air", &air, 40, 0.06833},     {"air", &air, 50, 0.04098},    {"water", &water, 10, 4.944},
        {"water", &water, 20, 0.5503},  {"water", &water, 30, 0.1557}, {"water", &water, 40, 0.06947},
        {"water", &water, 50, 0.04223},
    };
    for (const Row& r : rows)
        EXPECT_NEAR(mixture(*r.c, r.keV) / r.muEn, 1.0, 0.01) << r.name << " " << r.keV << " keV";
}

TEST(MassEnergyAbsorption, NoDataIsAnErrorNotANumber) {
    // twice: a refusal is not remembered as a value
    for (int pass = 0; pass < 2; ++pass)
        for (auto [z, e] : {std::pair{0, 20.0}, {120, 20.0}, {8, -1.0}, {8, 0.0}})
            EXPECT_THROW(kv::photon::massEnergyAbsorption(z, e), std::runtime_error)
                << "Z=" << z << " at " << e << " keV";
}

// Values are remembered per element and energy: a neighbour in energy or Z is
// its own value, and a value asked again is the same to the bit.
TEST(MassEnergyAbsorption, RememberedValuesAreThoseOfTheirOwnElementAndEnergy) {
    const std::pair<int, double> asks[] = {{8, 20.0}, {8, std::nextafter(20.0, 21.0)}, {7, 20.0}, {8, 30.0}};
    std::vector<double> first;
    for (auto [z, e] : asks)
        first.push_back(kv::photon::massEnergyAbsorption(z, e));
    EXPECT_NE(first[0], first[2]);
    EXPECT_NE(first[0], first[3]);
    EXPECT_NEAR(first[1] / first[0], 1.0, 1e-9);
    for (size_t i = 0; i < std::size(asks); ++i)
        EXPECT_EQ(kv::photon::massEnergyAbsorption(asks[i].first, asks[i].second), first[i]);
}

} // namespace
