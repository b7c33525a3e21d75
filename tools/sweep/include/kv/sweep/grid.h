#pragma once
// GRID.csv: one simulation per row, the workbench's defaults for what a row
// leaves out, and the key that tells whether a row's result is already there.
#include "kv/factors/row.h"
#include "kv/formats/equipment_file.h"
#include "kv/texts/sweep.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kv::sweep {

struct RowProblem {
    int line = 0;
    std::string problem;
};

struct Grid {
    std::vector<factors::Row> rows; // the usable rows, in order
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
// A relative spectrum_file is found in gridDir (readGrid: the grid's folder).
Grid parseGrid(const std::string& text, const formats::EquipmentRecord& equipment, const texts::SweepTexts& t,
               const std::filesystem::path& gridDir = {});

} // namespace kv::sweep
