#pragma once
// The fit of the rhodium target's constants (kv::spectrum::RhodiumConstants)
// to the measured catalogue of unfiltered rhodium-anode spectra (Ketelhut and
// Büermann, PTB, CC-BY 4.0; data/measured-spectra).
//
// The model's ray is that of the catalogue's tube: anode angle 18°, 0.15 mm
// Be, 100 cm of air, the central ray (perpendicular to the electron beam).
//  1. Shape. Without lines the ray is linear in the shape coefficients:
//     ray = B0 + Σ s_n·B_n, B_n the ray with W(u) = u^n. The coefficients and
//     a scale per tube voltage minimise Σ (scale·ray − m)² / m over the
//     measured bins m (each spectrum normalised to 1) from 5 keV to 0.6 keV
//     below the voltage, the line windows left out; scales and coefficients
//     are solved for in turn until neither moves.
//  2. Lines. In each window, Kα 19.5-20.5 keV and Kβ 21.5-23.5 keV, the
//     measured photons less the scaled continuum are the line's; divided by
//     the continuum the model puts under its lines they give f(V) at each
//     voltage above the K edge, and ln f = ln scale + power·ln(V/E_K − 1) is
//     fitted by least squares.
#include "kv/formats/measured_spectrum_file.h"
#include "kv/spectrum/model/spectrum_model.h"

#include <filesystem>
#include <vector>

namespace kv::data {

// The fields of the catalogue's rhodium tube at `kv`; its central ray lies
// kRhodiumCatalogueRay degrees from the vertical line.
spectrum::SpectrumFields rhodiumCatalogueFields(int kv);
inline constexpr double kRhodiumCatalogueRay = 2.75;

struct RhodiumFitRow {
    int kv;
    double alphaFraction = 0, betaFraction = 0; // measured f(V), 0 below the K edge
};

struct RhodiumFit {
    spectrum::RhodiumConstants constants;
    std::vector<RhodiumFitRow> rows;
    int iterations = 0; // of step 1
};

// The catalogue's files "Rh_<kv>kV.dat" in `dir`, fromKv..toKv.
RhodiumFit fitRhodium(const spectrum::PhysicalData& data, const std::filesystem::path& dir, int fromKv,
                      int toKv);

} // namespace kv::data
