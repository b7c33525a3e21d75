#pragma once
// Photon interaction coefficients from xraylib, for the data generator and
// the beam-quality figures. xraylib's tables place some absorption edges a
// hair away from the physical edge energy (molybdenum K: the physical edge
// is at 19.9995 keV, the table jumps just above 20.0000 keV), so a value
// asked for at an energy within kEdgeWindow of an edge is taken from the
// physical side of that edge by log-log extrapolation from two nearby
// energies on that side.
#include <string>
#include <utility>
#include <vector>

namespace kv::spectrum::xray {

inline constexpr double kEdgeWindow = 0.01; // keV

struct Material {
    std::string name;
    double density = 0;                              // g/cm³
    std::vector<std::pair<int, double>> composition; // (Z, mass fraction)
};

Material element(int z, double density);
// A compound of xraylib's NIST list, by its exact name; the density is given
// so that the data files state theirs explicitly.
Material nistCompound(const std::string& nistName, double density);

// cm²/g. Throw std::runtime_error when xraylib has no value.
double massAttenuation(const Material& m, double energyKeV);
// The elements' kv::photon::massEnergyAbsorption, mixed by mass fraction.
double massEnergyAbsorption(const Material& m, double energyKeV);

// Edges of element z lying within kEdgeWindow of `energyKeV` (keV).
std::vector<double> edgesNear(int z, double energyKeV);

// Dry air near sea level (xraylib's NIST composition), 0.001205 g/cm³.
const Material& dryAir();

} // namespace kv::spectrum::xray
