#pragma once
// Beam quality of one ray of a spectrum: first and second half-value layer
// in aluminium (narrow beam, air-kerma weighted with the mass energy-
// absorption coefficient of dry air, the engine's kv::photon one) and the
// fluence-weighted mean energy.
//
//   auto q = beamQuality(result.table[0], data.aluminum);  // the plotted ray
#include "kv/formats/geometry_file.h"
#include "kv/spectrum/model/physical_data.h"
#include "kv/spectrum/model/spectrum_model.h"

#include <array>
#include <optional>
#include <string>

namespace kv::spectrum {

using formats::Geometry;
using formats::PlateMaterial;

struct BeamQuality {
    double firstHvl = 0;   // mm Al
    double secondHvl = 0;  // mm Al: from half to a quarter of the air kerma
    double meanEnergy = 0; // keV
};

// `fluence` is a column of the spectrum table (photons per bin, bins 1..250);
// negative entries count as none. Empty when the ray carries no air kerma.
std::optional<BeamQuality> beamQuality(const std::array<double, kBins>& fluence,
                                       const AttenuationColumn& aluminum);

// Fraction of each bin's photons that crosses a plate of `mm` millimetres
// (the compression paddle: the same compositions and densities the engines use).
using Transmission = std::array<double, kBins>;
Transmission plateTransmission(PlateMaterial material, double mm);
// The paddle of Geometry.dat, or nothing: the beam as the screen draws it.
std::optional<Transmission> paddleTransmission(const std::optional<Geometry>& geometry);

// The figures of the ray behind `through` (when given), as measured with the
// plate in the beam.
std::optional<BeamQuality> beamQuality(const std::array<double, kBins>& fluence,
                                       const AttenuationColumn& aluminum,
                                       const std::optional<Transmission>& through);

enum class HvlMatchOutcome {
    Matched,
    BelowUnfiltered, // even without aluminium the first HVL is larger
    BeyondReach,     // even kMaxMatchAluminumMm of aluminium leaves it smaller
    NoBeam,          // the spectrum carries no air kerma
};

inline constexpr double kMaxMatchAluminumMm = 10.0;
// A first HVL no beam up to 50 kV reaches: a typed value above it is a slip.
inline constexpr double kMaxMeasuredHvl = 10.0; // mm Al

struct HvlMatch {
    HvlMatchOutcome outcome = HvlMatchOutcome::NoBeam;
    std::string aluminumText; // the Al field as written: thousandths of a mm ("0.360")
    double firstHvl = 0;      // mm Al: reached (Matched) or the bound missed
    SpectrumFields fields;    // with aluminumText in the Al field when matched
};

// The aluminium filter (to 0.001 mm, 0..kMaxMatchAluminumMm) whose ray on the
// vertical line has the measured first HVL within 0.001 mm Al; every other
// field as given. Throws std::domain_error when checkDrawSpectrum(fields)
// does not accept.
HvlMatch matchFirstHvl(TargetMaterial target, const PhysicalData& data, const SpectrumFields& fields,
                       double measuredHvl, const std::optional<Transmission>& through);

// The edition's words for a match that was not found.
std::string matchRefusalMessage(const HvlMatch& m, double measuredHvl, const texts::SpectrumFileTexts& t);

} // namespace kv::spectrum
