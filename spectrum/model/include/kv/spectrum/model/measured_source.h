#pragma once
// A measured spectrum as the source of a spectrum file, in place of the model:
//
//   MeasuredSpectrum m = formats::readMeasuredSpectrum(path);
//   SpectrumResult r = measuredSpectrumTable(m, path, data, fields);
//
// The measured fluence is moved onto the 0.2 keV bins with its photons kept
// (each measured bin spread evenly over its width), cut at the tube voltage,
// filtered by the fields' filters and air layer as the model filters its own
// spectrum, and given to every ray alike: a measurement along one ray says
// nothing of the heel effect, so the table has none.
#include "kv/formats/measured_spectrum_file.h"
#include "kv/spectrum/model/spectrum_model.h"

namespace kv::spectrum {

using formats::MeasuredSpectrum;

// Photons of each bin i (0.2·i ± 0.1 keV) for i = 2..lastBin, lastBin the
// integer part of 5·V as for the model; bins 0, 1 and above lastBin hold 0.
// The lowest measured bin reaches down as far as the next one is wide.
std::array<double, kBins> rebinnedFluence(const MeasuredSpectrum& m, double tubeVoltage);

// Throws std::domain_error when checkDrawSpectrum(fields) does not accept,
// and formats::MeasuredSpectrumError (NothingBelowTubeVoltage) when no
// fluence lies below the tube voltage; `file` names it in that error.
SpectrumResult measuredSpectrumTable(const MeasuredSpectrum& m, const std::string& file,
                                     const PhysicalData& data, const SpectrumFields& fields);

} // namespace kv::spectrum
