#pragma once
// One grid row from its inputs to its factors: the run files written as the
// workbench writes them, the engine session, and the figures read back from
// the result file. kv-sweep runs every row through here; kv-audit calls
// runGridRow for the one row an exposure needs.
//
//   spectrum::PhysicalData data = spectrum::LoadPhysicalData(dataDir);
//   RowOutcome o = runGridRow(row, dataDir, data, outDir, {.threads = 2});
//   o.factors.mgd;   // mean glandular dose per incident air kerma at the breast surface
//
// A stored result in outDir is reused only when the note beside it (<stem>.row)
// records the same inputs key, the same SHA-256 of everything the run reads
// (its run files, the spectrum data, Geometry.dat, RunOptions.dat), the engine's
// physics revision, and the SHA-256 of the result file as it stands now (or,
// for a row run without keeping its result file, of its <stem>.factors).
#include "kv/engine/engine_session.h"
#include "kv/factors/row.h"
#include "kv/formats/result_file.h"
#include "kv/spectrum/model/physical_data.h"
#include "kv/texts/text.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace kv::factors {

// What the table gives of a row besides its inputs.
struct RowFactors {
    std::string seed;
    double hvl1 = 0;       // mm Al, the vertical ray without the paddle (as the spectrum screen shows it)
    double hvl1Paddle = 0; // mm Al, with Geometry.dat's paddle in the beam, on the breast surface's ray
    double meanKev = 0;
    double sagd = 0, sagdSigmaPercent = 0;       // per Ka at the FCD without the paddle
    double dose100 = 0, dose100SigmaPercent = 0; // likewise
    double meanPercentage = 0;
    double mgd = 0, mgdSigmaPercent = 0; // whole breast, per incident air kerma at the upper surface
    double kSurfacePerKFcd = 0, kFcdPaddlePerKFcd = 0;
    uint64_t histories = 0;
    // A step scan with a 0 deg projection: its T as the trailer gives it (sum alpha_i t_i).
    std::optional<double> tScan, tScanSigmaPercent;
    std::string engineVersion; // of the engine that wrote the result; empty when it named none
};

// Why a stored result is not this row's any more. Damaged: its own checks
// fail (the trailer's, or its values cannot be read), whatever the note says.
enum class Staleness { None, NoResult, Inputs, Physics, Result, Damaged };

// What a Damaged result's checks found: the trailer's damage, or None when the
// header or dose values could not be read; `line` 0 where no line applies.
struct ResultDamage {
    formats::TrailerDamage trailer = formats::TrailerDamage::None;
    std::string key; // DisagreesWithHead: the trailer's name
    int line = 0;
};

struct RowOutcome {
    RowFactors factors;
    std::string resultFile;             // in outDir
    bool kept = false;                  // the stored result was reused
    Staleness redone = Staleness::None; // a stored result that did not fit, run again
    ResultDamage damage;                // when redone is Damaged
};

struct RowRunOptions {
    unsigned threads = 1;
    // The words of a row's failure (RowFailure::what()).
    texts::Edition edition = texts::Edition::English;
    std::function<bool()> interrupted = [] { return false; };
    // Every 0.1 s while the engine runs.
    std::function<void(const engine::SessionProgress&)> progress = [](const engine::SessionProgress&) {};
    // False: only the figures the trailer gives are kept (<stem>.factors, its
    // hash in the note), not the result file with its dose values.
    bool keepResultFile = true;
};

// The row cannot be run or its result used; what() says why, in the edition of RowRunOptions.
struct RowFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct RowInterrupted : std::runtime_error {
    RowInterrupted() : std::runtime_error("interrupted") {}
};

// What stands at `name` in `dir` when it is there but no regular file this
// process can read (a folder, pipe, link to nothing, no read permission), in
// the edition's words; nullopt for a readable file or nothing at all.
std::optional<std::string> unusableEntry(const std::filesystem::path& dir, const std::string& name,
                                         texts::Edition edition);

// Removes the row folders in outDir that processes of this machine left when
// they were killed; those of processes still at work stay.
void removeAbandonedRowFolders(const std::filesystem::path& outDir);

// Reuses the stored result when it still fits, else runs the row and stores
// result and note in outDir. A note, figures file or result file that stands
// there but is no readable file (a folder, pipe, link to nothing, no read
// permission) is a RowFailure naming it, before anything runs or is written.
// Throws RowFailure, RowInterrupted.
RowOutcome runGridRow(const Row& r, const std::filesystem::path& dataDir, const spectrum::PhysicalData& data,
                      const std::filesystem::path& outDir, const RowRunOptions& o);

// The stored result's factors when they still fit the row, without running
// anything; else why not.
struct StoredRow {
    std::optional<RowFactors> factors;
    Staleness staleness = Staleness::NoResult;
    ResultDamage damage; // when staleness is Damaged
};
// With `figuresOnly`, a row stored without its result file (keepResultFile
// false) counts as stored; without, only a row with its result file does.
// Throws RowFailure (in `edition`) for what runGridRow refuses.
StoredRow storedGridRow(const Row& r, const std::filesystem::path& dataDir,
                        const spectrum::PhysicalData& data, const std::filesystem::path& outDir,
                        bool figuresOnly = false, texts::Edition edition = texts::Edition::English);

} // namespace kv::factors
