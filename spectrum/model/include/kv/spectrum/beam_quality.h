#pragma once
// Beam quality of one ray of a spectrum: first and second half-value layer
// in aluminium (narrow beam, air-kerma weighted with the mass energy-
// absorption coefficient of dry air, the engine's kv::photon one) and the
// fluence-weighted mean energy.
//
//   auto q = beamQuality(result.table[0], data.aluminum);  // the plotted ray
#include "kv/spectrum/physical_data.h"

#include <array>
#include <optional>

namespace kv::spectrum {

struct BeamQuality {
    double firstHvl = 0;   // mm Al
    double secondHvl = 0;  // mm Al: from half to a quarter of the air kerma
    double meanEnergy = 0; // keV
};

// `fluence` is a column of the spectrum table (photons per bin, bins 1..250);
// negative entries count as none. Empty when the ray carries no air kerma.
std::optional<BeamQuality> beamQuality(const std::array<double, kBins>& fluence, const AttenuationColumn& aluminum);

} // namespace kv::spectrum
