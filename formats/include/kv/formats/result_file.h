#pragma once
// The result file (".vesk") as the engines leave it and the workbench reads it.
//
// Layout: line 1 is the kind line; T = 14 free lines follow when it is exactly
// " * Mammography", else T = 16. Then the history count, a free line, the
// phantom line (X, Y, Z in cm, glandular %), a free line, the five numbers
// AirKerma, FcdValue, GridCountX, GridCountY, GridCountZ, and then the primary
// block and the scatter block: layers iz 1..Z, rows iy 1..Y, 75 values per row
// whatever GridCountX says. From the five numbers on, line breaks do not matter.
//
//   writeResultFile(workDir, "run1.vesk", content);          // what an engine writes
//   std::optional<RecordReader> in;
//   LoadFailure f = openResultFile(workDir, "run1.vesk", in); // then readResultHead, readResultBlocks
//
// The results model's LoadResultFile reads through these into its DoseModel.
#include "kv/common/records.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::formats {

inline constexpr std::string_view kMammographyKind = " * Mammography";
inline constexpr std::string_view kTomosynthesisKind = " * Tomosynthesis";

// The number of free description lines after the kind line: 14 or 16.
int descriptionLineCount(std::string_view kindLine);

// Counts a result file may give.
inline constexpr int kMaxCountX = 76;
inline constexpr int kMaxCountY = 151;
inline constexpr int kMaxCountZ = 60;
// Each row of a result file holds this many values whatever GridCountX says.
inline constexpr int kValuesPerRow = 75;
// The first row of the reference region: a file with fewer rows has none.
inline constexpr int kFirstReferenceRow = 26;

// The largest result file: its header and both blocks of the largest grid,
// each value written at most 32 characters wide with its separator.
inline constexpr size_t kMaxResultFileBytes =
    size_t{64} * 1024 + size_t{2} * kMaxCountX * kMaxCountY * kMaxCountZ * 32;

enum class LoadFailure {
    None,
    NoFileSelected,
    CannotOpen,
    EndsEarly,
    NotANumber,           // also a value beyond the range of a double
    CountOutOfRange,      // a grid count that is not a whole number within the grid
    EmptyReferenceRegion, // GridCountY below 26, or no dose in the region of layer 1
    AirKerma,             // zero or negative
    NotAFile,             // a folder, pipe or device in the file's place
    TooLarge,             // more bytes than the largest grid can fill
    Unreadable,           // a read error or too little memory part-way
};

// Opens `name` (a bare name; empty gives NoFileSelected) for reading.
// Never throws.
LoadFailure openResultFile(const std::filesystem::path& workDir, std::string_view name,
                           std::optional<RecordReader>& in);

// Line 1 to the five numbers, checked before a grid is made for them.
struct ResultFileHead {
    std::string kindLine;
    double histories = 0; // the history line's leading number, 0 when it has none
    double airKerma = 0;
    double fcd = 0;
    int countX = 0;
    int countY = 0;
    int countZ = 0;
};
// From a reader positioned at line 1. Never throws.
LoadFailure readResultHead(RecordReader& in, ResultFileHead& head);

// Where the 75 values of row iy of layer iz of component c (1 primary,
// 2 scatter) go: `rowAt(c, iy, iz)[0 .. 74]`.
using ResultRowSink = std::function<double*(int c, int iy, int iz)>;
// Both blocks after readResultHead; NotANumber for a value that is not finite.
// Never throws.
LoadFailure readResultBlocks(RecordReader& in, const ResultFileHead& head, const ResultRowSink& rowAt);

// Everything a result file holds, for whatever writes one.
struct ResultFileContent {
    std::string kindLine{kMammographyKind};
    std::vector<std::string> description; // up to 14 or 16 lines (see kindLine); padded with empty lines
    double histories = 0;
    std::string historyNote;         // the free line after the history count
    std::array<double, 4> phantom{}; // X, Y, Z in cm, glandular fraction in %: "15.0, 15.0, 5.0, 50"
    std::string phantomNote;         // the free line after the phantom line
    double airKerma = 0;
    double fcd = 0;
    int countX = kValuesPerRow;
    int countY = 0;
    int countZ = 0;
    // kValuesPerRow x countY x countZ values each; index ((iz-1)*countY + (iy-1))*75 + (ix-1).
    std::vector<double> primary;
    std::vector<double> scatter;
    std::string valuePattern = "0.00000E+00"; // how each dose value is written
};

// Appends the file's lines to `out` (nothing is written until out.commit()).
// Throws std::invalid_argument when the content cannot make a readable file:
// a line break inside a text, too many description lines, block sizes that
// do not match the counts.
void writeResultFile(RecordWriter& out, const ResultFileContent& r);
// Writes the file whole (temporary file, then rename). Throws FileError too.
void writeResultFile(const std::filesystem::path& workDir, const std::string& name,
                     const ResultFileContent& r);

} // namespace kv::formats
