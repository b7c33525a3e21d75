#pragma once
// One row of a conversion-factor grid: the run's inputs with the workbench's
// defaults filled in, and the key that tells whether a row's result is
// already there. kv-sweep reads them from GRID.csv; kv-audit and the
// validation make them for the factors they need.
#include "kv/formats/geometry_file.h"
#include "kv/formats/measured_spectrum_file.h"
#include "kv/formats/spectrum_file.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kv::factors {

// The input columns, in the order table.csv gives them.
inline const std::vector<std::string> kInputColumns = {"thickness_cm",
                                                       "glandular_percent",
                                                       "target",
                                                       "kv",
                                                       "method",
                                                       "be_mm",
                                                       "al_mm",
                                                       "mo_mm",
                                                       "rh_mm",
                                                       "ag_mm",
                                                       "air_cm",
                                                       "target_angle",
                                                       "tilt",
                                                       "fid_cm",
                                                       "fcd_cm",
                                                       "fad_cm",
                                                       "angular_range",
                                                       "histories",
                                                       "sagd_sigma_percent",
                                                       "seed",
                                                       "model",
                                                       "adipose_mm",
                                                       "plates",
                                                       "spectrum_file",
                                                       "projections",
                                                       "projection_loading",
                                                       "projection_angle",
                                                       "rotation_axis_cm",
                                                       "adipose_rim_mm"};
inline const std::vector<std::string> kRequiredColumns = {"thickness_cm", "glandular_percent", "target",
                                                          "kv"};

// The workbench's start value of the history count.
inline constexpr double kDefaultHistories = 1e9;

struct Row {
    int line = 0;  // of GRID.csv, 1-based
    int index = 0; // among the data rows, 0-based
    double thickness = 0, glandular = 0;
    formats::TargetMaterial target = formats::TargetMaterial::Molybdenum;
    bool tomosynthesis = false;
    double fid = 0, fcd = 0, fad = 0, angularRange = 0, histories = kDefaultHistories;
    // As the spectrum screen's fields hold them.
    formats::SpectrumFields spectrum;
    double sagdSigmaPercent = 0; // 0: none
    std::optional<uint64_t> seed;
    // The protocol breast (Geometry.dat's model = protocol) instead of the workbench's box.
    bool protocol = false;
    double adiposeMm = 5.0;
    double adiposeRimMm = 0.0; // round the curved edge; 0 leaves the row's key as before the column
    formats::PlateMode plates = formats::PlateMode::Absorbing;
    // A measured spectrum in place of the model: the file as the grid names it, and what it holds.
    std::string spectrumFile;
    std::shared_ptr<const formats::MeasuredSpectrum> measured;
    // Tomosynthesis rows: the scan as Geometry.dat takes it (0 projections and
    // no angle: the continuous sweep; no axis: FID - FAD).
    int projections = 0;
    std::vector<double> projectionLoading;
    std::optional<double> projectionAngle, rotationAxis;
};

// The row's breast model on top of the data folder's plates (Geometry.dat).
formats::Geometry rowGeometry(const Row& r, const formats::Geometry& plates);
// "Mo 0.03", "Mo 0.03 + Al 0.5", "Rh 0.05": the target's filters as the row gives them, in mm.
std::string filterName(const Row& r);

// Every input of the row, defaults filled in, as one line: equal lines mean equal runs.
// A measured spectrum counts by its content, not by its file's name.
std::string rowKey(const Row& r);
// The result file's name: readable, and unique to the key.
std::string resultStem(const Row& r);
// The table cells of the inputs, in kInputColumns order; `seed` is the seed the run used.
std::vector<std::string> inputCells(const Row& r, const std::string& seed);

} // namespace kv::factors
