#pragma once
// Builds the texts of the shipped data tables MUs12.dat, Mo-STP.dat and Rh-STP.dat.
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

// Collision stopping power of electrons (MeV cm²/g) of kinetic energy
// `energyKeV` in an element of atomic number z, atomic weight a and mean
// excitation energy iEv: the formula of ICRU Report 37 (1984), eq. 2.1 with
// F⁻ of eq. 2.4, without the density-effect correction (below 0.1 % under
// 100 keV). It is the formula ESTAR evaluates for the collision part.
double collisionStoppingPower(int z, double a, double iEv, double energyKeV);

// Rhodium: Z = 45, xraylib's atomic weight, I = 449 eV (ICRU Report 37, table 2.11).
inline constexpr double kRhodiumMeanExcitationEv = 449;
double rhodiumStoppingPower(double energyKeV);
// Heading line, then the 20 rows of stoppingPowerEnergies() "energy, stopping power".
std::string rhStpText();

// Grid energies whose value was taken from the physical side of an edge.
std::vector<std::string> edgeCorrections();

} // namespace kv::data
