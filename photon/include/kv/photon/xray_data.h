#pragma once
// Photon interaction coefficients from xraylib, for the data generator and
// the beam-quality figures. xraylib's tables place some absorption edges a
// hair away from the physical edge energy (molybdenum K: the physical edge
// is at 19.9995 keV, the table jumps just above 20.0000 keV), so a value
// asked for at an energy within kEdgeWindow of an edge is taken from the
// physical side of that edge by log-log extrapolation from two nearby
// energies on that side.
#include "kv/photon/material.h"

#include <vector>

namespace kv::photon::xray {

inline constexpr double kEdgeWindow = 0.01; // keV

// cm²/g. Throw std::runtime_error when xraylib has no value.
double massAttenuation(const Material& m, double energyKeV);
// The elements' kv::photon::massEnergyAbsorption, mixed by mass fraction.
double massEnergyAbsorption(const Material& m, double energyKeV);

// Edges of element z lying within kEdgeWindow of `energyKeV` (keV).
std::vector<double> edgesNear(int z, double energyKeV);

// g/mol.
double atomicWeight(int z);
// keV.
double kEdgeEnergy(int z);

// The K lines a target's spectrum shows, with xraylib's energy (keV) and
// radiative rate (share of the K shell's radiative transitions).
enum class KLine { Alpha1, Alpha2, Beta1, Beta2, Beta3 };
struct LineData {
    double energy;
    double rate;
};
LineData kLine(int z, KLine line);

} // namespace kv::photon::xray
