#pragma once
// The result file (".vesk") as the engines leave it and the workbench reads it.
//
// Layout: line 1 is the kind line; T = 14 free lines follow when it is exactly
// " * Mammography", else T = 16. Then the history count, a free line, the
// phantom line (X, Y, Z in cm, glandular %), a free line, the five numbers
// AirKerma, FcdValue, GridCountX, GridCountY, GridCountZ, and then the primary
// block and the scatter block: layers iz 1..Z, rows iy 1..Y, 75 values per row
// whatever GridCountX says. From the five numbers on, line breaks do not matter.
// After the last value our engines add a trailer the results screens never
// read: a marked block of `name = value` lines (see formats/README.md).
//
//   writeResultFile(workDir, "run1.vesk", content);          // what an engine writes
//   std::optional<RecordReader> in;
//   LoadFailure f = openResultFile(workDir, "run1.vesk", in); // then readResultHead, readResultBlocks
//   ResultTrailer t;  readResultTrailer(workDir, "run1.vesk", t);  t.number(trailer::kMgdPerKSurface)
//
// The results model's LoadResultFile reads through these into its DoseModel.
#include "kv/common/constants.h"
#include "kv/common/records.h"
#include "kv/formats/trailer_keys.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv::formats {

inline constexpr std::string_view kMammographyKind = " * Mammography";
inline constexpr std::string_view kTomosynthesisKind = " * Tomosynthesis";

// The number of free description lines after the kind line: 14 or 16.
int descriptionLineCount(std::string_view kindLine);

// Counts a result file may give; the engines' protocol breast reaches 11 cm,
// whose files hold up to 110 layers (kMaxEngineCountZ), which the tools read
// and the results screens refuse.
using kv::kMaxCountX;
using kv::kMaxCountY;
using kv::kMaxCountZ;
using kv::kMaxEngineCountZ;
// Each row of a result file holds this many values whatever GridCountX says.
using kv::kValuesPerRow;
// The first row of the reference region: a file with fewer rows has none.
inline constexpr int kFirstReferenceRow = kv::kReferenceFirstY;

// The largest result file: its header and both blocks of the largest grid,
// each value written at most 32 characters wide with its separator.
inline constexpr size_t kMaxResultFileBytes =
    size_t{64} * 1024 + size_t{2} * kMaxCountX * kMaxCountY * kMaxEngineCountZ * 32;

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
    ThickerThanScreens,   // 61 to 110 layers: an engine's protocol breast over 6 cm, for the tools only
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
    double glandularPercent = 0;     // the phantom line's fourth number
    std::optional<std::string> seed; // the digits of the " Random seed:" line, where a line holds one
    size_t blocksOffset = 0;         // where the dose blocks begin in the reader's text
};
// A head's blocksOffset for a trailer read from a reader that holds the trailer
// alone: its content_sha256 is then not checked (the trailer is Complete, not verified).
inline constexpr size_t kBlocksNotInReader = static_cast<size_t>(-1);

// From a reader positioned at line 1; a count of layers beyond `maxCountZ`
// is CountOutOfRange. Never throws.
LoadFailure readResultHead(RecordReader& in, ResultFileHead& head, int maxCountZ = kMaxCountZ);

// Where the 75 values of row iy of layer iz of component c (1 primary,
// 2 scatter) go: `rowAt(c, iy, iz)[0 .. 74]`.
using ResultRowSink = std::function<double*(int c, int iy, int iz)>;
// Both blocks after readResultHead; NotANumber for a value that is not finite
// or an empty field ("1,,2"), with `failureLine` (when given) the line of it.
// Never throws.
LoadFailure readResultBlocks(RecordReader& in, const ResultFileHead& head, const ResultRowSink& rowAt,
                             int* failureLine = nullptr);

// The trailer: what our engines write after the last dose value, which the
// workbench's loader never reads. Ordered `name = value` pairs between a
// begin and an end line; names are letters, digits and '_', values one line.
inline constexpr std::string_view kTrailerBegin =
    "## kv trailer: name = value lines the results screens do not read";
inline constexpr std::string_view kTrailerEnd = "## end of kv trailer";
inline constexpr size_t kMaxTrailerEntries = 256;
inline constexpr size_t kMaxTrailerValueBytes = 1024;

// Why a trailer is damaged.
enum class TrailerDamage {
    None,
    CutShort,          // no end line
    NotNameValue,      // a line that is no `name = value`, or a name that is no word
    NameTwice,         // a name given twice, or more entries than a trailer holds
    TextBefore,        // text between the last dose value and the begin line
    TextAfter,         // text after the end line
    HashNotLast,       // content_sha256 not the last entry, or not 64 hex digits
    HashMismatch,      // the dose blocks or the trailer's lines are not what was hashed
    DisagreesWithHead, // a value that repeats the header's states another (`key`)
};

struct ResultTrailer {
    enum class State {
        Absent,   // nothing after the dose values (a file of another engine, or of an older one)
        Complete, // begin line, entries, end line
        Damaged,  // see `damage`
    };
    State state = State::Absent;
    std::vector<TrailerEntry> entries; // empty unless Complete
    // Complete with a content_sha256 that matches; a file written before the
    // hash is Complete and not verified.
    bool verified = false;
    TrailerDamage damage = TrailerDamage::None;
    std::string damagedKey; // DisagreesWithHead: the trailer's key
    int damagedLine = 0;    // the file's line where the damage was seen, 0 where none applies

    const std::string* find(std::string_view name) const;
    const std::string* find(const TrailerKey& key) const { return find(key.name); }
    // The value of `name` when it is there and wholly a finite number.
    std::optional<double> number(std::string_view name) const;
    std::optional<double> number(const TrailerKey& key) const { return number(key.name); }
};

// The trailer from a reader that has just read both blocks (readResultBlocks)
// of the head `head`: its content_sha256 is checked over the text from
// head.blocksOffset, and its values that repeat the head's against them.
// A damaged trailer gives Damaged and no entries; never throws.
ResultTrailer readResultTrailer(RecordReader& in, const ResultFileHead& head);
// Opens the file, reads its head (up to the engines' 110 layers) and blocks,
// then the trailer; a file that does not load gives its LoadFailure and an
// Absent trailer. `head`, when given, gets the head.
LoadFailure readResultTrailer(const std::filesystem::path& workDir, std::string_view name, ResultTrailer& out,
                              ResultFileHead* head = nullptr);

// A number as a trailer value: every digit a double needs to read back the same.
std::string trailerNumber(double v);

// The SHA-256 that a trailer's content_sha256 states, over `text`: the dose
// blocks and the trailer's lines up to it, each line end counted as LF so
// that a copy that changed CR LF to LF stays verified.
std::string trailerContentHash(std::string_view text);

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
    std::vector<TrailerEntry> trailer;        // written after the last value when not empty
};

// Appends the file's lines to `out` (nothing is written until out.commit()).
// Throws std::invalid_argument when the content cannot make a readable file:
// a line break inside a text, too many description lines, block sizes that
// do not match the counts, a trailer name that is not a word or given twice.
void writeResultFile(RecordWriter& out, const ResultFileContent& r);
// Writes the file whole (temporary file, then rename). Throws FileError too.
void writeResultFile(const std::filesystem::path& workDir, const std::string& name,
                     const ResultFileContent& r);

} // namespace kv::formats
