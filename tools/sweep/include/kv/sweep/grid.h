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
#include <string_view>
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

// What a grid may hold: it is refused beyond either, before it is read whole.
inline constexpr size_t kMaxGridBytes = 16 * 1024 * 1024;
inline constexpr size_t kMaxGridRows = 10000; // data rows, usable and refused

// A grid a line at a time: line() with each line of the file without its LF
// (an empty line too, so that the lines keep their numbers), then finish().
// Throws GridError as readGrid does, and once more than kMaxGridRows data rows came.
class GridReader {
  public:
    GridReader(const formats::EquipmentRecord& equipment, const texts::SweepTexts& t,
               std::filesystem::path gridDir);
    void line(std::string_view text);
    Grid finish();

  private:
    void readHeader(int number, const std::vector<std::string>& cells);
    const formats::EquipmentRecord& eq_;
    const texts::SweepTexts& t_;
    std::filesystem::path gridDir_;
    std::vector<std::string> header_;
    Grid grid_;
    int lines_ = 0;
};

// Reads GRID.csv. Throws GridError for a missing or unreadable file, a
// missing required column, an unknown or repeated column, a file beyond
// kMaxGridBytes or kMaxGridRows. Every fault is
// worded in the edition of t.
Grid readGrid(const std::filesystem::path& file, const formats::EquipmentRecord& equipment,
              const texts::SweepTexts& t);
// A relative spectrum_file is found in gridDir (readGrid: the grid's folder).
Grid parseGrid(const std::string& text, const formats::EquipmentRecord& equipment, const texts::SweepTexts& t,
               const std::filesystem::path& gridDir = {});

} // namespace kv::sweep
