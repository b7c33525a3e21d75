#pragma once
// Builds the texts of the shipped data tables MUs12.dat and Mo-STP.dat.
#include <string>
#include <vector>

namespace kv::data {

struct Column {
    const char* heading;
    int z; // an element, or 0 for a NIST compound
    const char* nistName;
    double density; // g/cm³
};

// The eleven fields of MUs12.dat after the energy, in file order.
const std::vector<Column>& attenuationColumns();

// Heading line, then 250 records "energy, μ1, ..., μ10" (1/cm) for 0.2 .. 50.0 keV.
std::string mus12Text();

// Total stopping power of molybdenum (MeV cm²/g) at the anchor energies
// (keV) it is interpolated from.
struct Anchor {
    double energy;
    double stoppingPower;
};
const std::vector<Anchor>& stoppingPowerAnchors();
const std::vector<double>& stoppingPowerEnergies();
double interpolatedStoppingPower(double energyKeV);

// Heading line, then 20 rows "energy, stopping power".
std::string moStpText();

// Grid energies whose value was taken from the physical side of an edge.
std::vector<std::string> edgeCorrections();

} // namespace kv::data
