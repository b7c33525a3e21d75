#pragma once
// The result file (".vesk") as the engines leave it and the workbench reads it.
//
// Loading is all or nothing: LoadResultFile reads and computes into a fresh
// DoseModel and returns it only when every step succeeded. The caller swaps it
// in (`shown = std::move(*result.model)`); on failure nothing the caller holds
// has changed. load_steps.h runs a whole load the way the results screen does.
//
//   LoadResult r = LoadResultFile(workDir, "run1.vesk", pendingEvents);
//   if (r) shown = std::move(*r.model); else message(texts.cannotRead);
//   HeaderPreview p = PreviewResultHeader(workDir, "run1.vesk", texts);   // lines for the preview box
//   WriteResultFile(workDir, "run1.vesk", content);                       // what an engine writes
//
// Layout: line 1 is the kind line; T = 14 free lines follow when it is exactly
// " * Mammography", else T = 16. Then the history count, a free line, the
// phantom line (X, Y, Z in cm, glandular %), a free line, the five numbers
// AirKerma, FcdValue, GridCountX, GridCountY, GridCountZ, and then the primary
// block and the scatter block: layers iz 1..Z, rows iy 1..Y, 75 values per row
// whatever GridCountX says. From the five numbers on, line breaks do not matter.
#include "kv/common/records.h"
#include "kv/results/dose_model.h"
#include "kv/texts/results_model.h"

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::results {

inline constexpr std::string_view kMammographyKind = " * Mammography";
inline constexpr std::string_view kTomosynthesisKind = " * Tomosynthesis";

// The number of free description lines after the kind line: 14 or 16.
int descriptionLineCount(std::string_view kindLine);

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

// The largest result file: its header and both blocks of the largest grid,
// each value written at most 32 characters wide with its separator.
inline constexpr size_t kMaxResultFileBytes =
    size_t{64} * 1024 + size_t{2} * kMaxCountX * kMaxCountY * kMaxCountZ * 32;

struct LoadResult {
    std::optional<DoseModel> model; // set exactly when the load succeeded
    LoadFailure failure = LoadFailure::None;
    explicit operator bool() const { return model.has_value(); }
};

// Reads `name` (a bare name) in `workDir` and computes every quantity,
// DepthDose included; SelectedYIndex is 80 and SelectedZIndex 1. `pendingEvents`
// (may be empty) runs after the file is read, before and after the rescaling.
// Never throws: every fault, an allocation failure included, is a LoadFailure.
LoadResult LoadResultFile(const std::filesystem::path& workDir, std::string_view name,
                          const std::function<void()>& pendingEvents = {});
// The same from a reader positioned at line 1.
LoadResult LoadResultFrom(RecordReader& in, const std::function<void()>& pendingEvents = {});

// Why a load failed, in the edition's words (for tools and logs; the screens
// show only texts.cannotRead).
std::string_view failureReason(LoadFailure f, const texts::ResultsModelTexts& t);

// The preview box's lines (lines 1 to T+4 of the file, labelled). A file that
// ends early, holds a non-number where a number belongs, or cannot be opened
// gives the lines printed so far and complete = false. Never throws.
struct HeaderPreview {
    std::vector<std::string> lines;
    bool complete = false;
};
HeaderPreview PreviewResultHeader(const std::filesystem::path& workDir, std::string_view name,
                                  const texts::ResultsModelTexts& t);
HeaderPreview PreviewResultHeader(RecordReader& in, const texts::ResultsModelTexts& t);

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
void WriteResultFile(RecordWriter& out, const ResultFileContent& r);
// Writes the file whole (temporary file, then rename). Throws WriteFailed too.
void WriteResultFile(const std::filesystem::path& workDir, const std::string& name,
                     const ResultFileContent& r);

} // namespace kv::results
