#pragma once
// GRID.csv: one simulation per row, the workbench's defaults for what a row
// leaves out, and the key that tells whether a row's result is already there.
#include "kv/formats/equipment_file.h"
#include "kv/formats/geometry_file.h"
#include "kv/formats/spectrum_file.h"
#include "kv/texts/sweep.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kv::sweep {

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
                                                       "plates"};
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
    formats::PlateMode plates = formats::PlateMode::Absorbing;
};

struct RowProblem {
    int line = 0;
    std::string problem;
};

struct Grid {
    std::vector<Row> rows; // the usable rows, in order
    std::vector<RowProblem> refused;
    int dataRows = 0; // usable and refused
};

// A grid that cannot be read at all (file, header). what() names the problem.
struct GridError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads GRID.csv. Throws GridError for a missing or unreadable file, a
// missing required column, an unknown or repeated column. Every fault is
// worded in the edition of t.
Grid readGrid(const std::filesystem::path& file, const formats::EquipmentRecord& equipment,
              const texts::SweepTexts& t);
Grid parseGrid(const std::string& text, const formats::EquipmentRecord& equipment,
               const texts::SweepTexts& t);

// The row's breast model on top of the data folder's plates (Geometry.dat).
formats::Geometry rowGeometry(const Row& r, const formats::Geometry& plates);
// "Mo 0.03", "Mo 0.03 + Al 0.5", "Rh 0.05": the target's filters as the row gives them, in mm.
std::string filterName(const Row& r);

// Every input of the row, defaults filled in, as one line: equal lines mean equal runs.
std::string rowKey(const Row& r);
// The result file's name: readable, and unique to the key.
std::string resultStem(const Row& r);
// The table cells of the inputs, in kInputColumns order; `seed` is the seed the run used.
std::vector<std::string> inputCells(const Row& r, const std::string& seed);

} // namespace kv::sweep
