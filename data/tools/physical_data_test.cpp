#include "kv/photon/xray_data.h"
#include "kv/spectrum/model/physical_data.h"
#include "physical_data.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

namespace xray = kv::photon::xray;
const std::filesystem::path kData = std::filesystem::path(KV_SOURCE_DIR) / "data";

std::string committed(const char* name) {
    std::ifstream in(kData / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PhysicalDataGenerator, CommittedTablesAreWhatTheGeneratorWrites) {
    EXPECT_EQ(committed("MUs12.dat"), kv::data::mus12Text())
        << "regenerate with kv-make-physical-data (data/README.md)";
    EXPECT_EQ(committed("Mo-STP.dat"), kv::data::moStpText())
        << "regenerate with kv-make-physical-data (data/README.md)";
}

TEST(PhysicalDataGenerator, MolybdenumAt20keVIsAboveItsKEdge) {
    // xraylib answers at exactly 20.0000 keV with the value below the edge (19.9995 keV).
    const kv::photon::Material mo = kv::photon::element(42, 10.22);
    EXPECT_NEAR(xray::massAttenuation(mo, 20.0), 79.55, 0.05);
    EXPECT_NEAR(xray::massAttenuation(mo, 20.0), xray::massAttenuation(mo, 20.001), 0.02);
    EXPECT_NEAR(kv::spectrum::LoadPhysicalData(kData).molybdenum[100], 79.55 * 10.22, 0.05 * 10.22);
}

TEST(PhysicalDataGenerator, GridEnergiesNextToAnEdgeTakeThePhysicalSide) {
    // (element, grid energy, edge energy): the value continues smoothly from
    // the side of the edge the grid energy lies on.
    struct Case {
        int z;
        double grid, edge;
    };
    for (Case c : {Case{42, 20.0, 19.9995}, Case{74, 10.2, 10.2068}, Case{47, 3.8, 3.8058},
                   Case{45, 3.0, 3.0038}, Case{18, 3.2, 3.2060}}) {
        const kv::photon::Material m = kv::photon::element(c.z, 1.0);
        const double side = c.edge <= c.grid ? 1.0 : -1.0;
        const double near = xray::massAttenuation(m, c.grid + side * 0.004);
        const double far = xray::massAttenuation(m, c.grid + side * 0.008);
        const double atGrid = xray::massAttenuation(m, c.grid);
        // The three values lie on one smooth branch: the step to the grid is no
        // larger than the step between the two samples on that side.
        EXPECT_LT(std::fabs(std::log(atGrid / near)), 2 * std::fabs(std::log(near / far)) + 1e-6)
            << "Z=" << c.z << " at " << c.grid;
        const double otherSide = xray::massAttenuation(m, c.edge - side * 0.01);
        EXPECT_GT(std::fabs(std::log(atGrid / otherSide)), 0.1) << "Z=" << c.z << " at " << c.grid;
    }
}

TEST(PhysicalDataGenerator, StoppingPowersFollowTheAnchors) {
    const auto& energies = kv::data::stoppingPowerEnergies();
    ASSERT_EQ(energies.size(), 20u);
    EXPECT_LE(energies.front(), 1.0);
    EXPECT_GE(energies.back(), 50.0);
    for (size_t n = 1; n < energies.size(); ++n)
        EXPECT_GT(energies[n], energies[n - 1]);
    const kv::spectrum::PhysicalData d = kv::spectrum::LoadPhysicalData(kData);
    for (const auto& a : kv::data::stoppingPowerAnchors())
        for (int n = 1; n <= 20; ++n)
            if (d.stoppingEnergy[n] == a.energy) {
                EXPECT_NEAR(d.stoppingPower[n] / a.stoppingPower, 1.0, 0.02) << a.energy;
            }
    // Between anchors the table falls smoothly (a power law within each segment).
    for (int n = 2; n <= 20; ++n)
        EXPECT_LT(d.stoppingPower[n], d.stoppingPower[n - 1]);
}

} // namespace
