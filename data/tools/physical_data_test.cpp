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
    EXPECT_EQ(committed("Rh-STP.dat"), kv::data::rhStpText())
        << "regenerate with kv-make-physical-data (data/README.md)";
}

TEST(PhysicalDataGenerator, StoppingPowerFormulaGivesEstarForMolybdenum) {
    // ESTAR's total stopping power of molybdenum (the anchors of Mo-STP.dat)
    // against the collision formula with ICRU 37's I = 424 eV. ESTAR adds the
    // radiative part, which the formula leaves out: the formula falls short by
    // a share that grows with the energy and stays under 1 % up to 80 keV.
    double shortBefore = -1;
    for (const auto& a : kv::data::stoppingPowerAnchors()) {
        const double shortfall =
            1 - kv::data::collisionStoppingPower(42, 95.95, 424, a.energy) / a.stoppingPower;
        EXPECT_GT(shortfall, -0.0005) << a.energy << " keV";
        EXPECT_LT(shortfall, 0.01) << a.energy << " keV";
        EXPECT_GT(shortfall, shortBefore) << a.energy << " keV";
        shortBefore = shortfall;
    }
}

TEST(PhysicalDataGenerator, RhodiumStoppingPowerLiesBetweenItsNeighbours) {
    // Per gram, the collision stopping power falls with Z/A and rises slowly
    // as ln(1/I): rhodium (Z/A 0.437, I 449 eV) sits just under molybdenum
    // (0.438, 424 eV) and above silver (0.436, 470 eV) at every energy.
    for (double e : kv::data::stoppingPowerEnergies()) {
        const double rh = kv::data::rhodiumStoppingPower(e);
        EXPECT_LT(rh, kv::data::collisionStoppingPower(42, 95.95, 424, e)) << e;
        EXPECT_GT(rh, kv::data::collisionStoppingPower(47, 107.87, 470, e)) << e;
    }
    EXPECT_NEAR(kv::data::rhodiumStoppingPower(25), 6.11, 0.03);
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
