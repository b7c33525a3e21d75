#pragma once
// The result file the results screens load: kind line, free lines that
// describe the run (14 for mammography, 16 for tomosynthesis), the history
// count, the phantom line, the data header and the primary and scatter
// blocks with 75 values per row.
#include "kv/engine/run_inputs.h"
#include "kv/engine/workbench_sim.h"
#include "kv/formats/result_file.h"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace kv::engine {

inline constexpr int kMammographyFreeLines = 14;
inline constexpr int kTomosynthesisFreeLines = 16;

std::vector<std::string> describeRun(const RunInputs& in, const WorkbenchResult& r);

// The physics revision (kv/common/constants.h): a stored result of another
// revision is not the engine's answer any more (kv-sweep runs such a row again).
using kv::kPhysicsRevision;

// The name = value lines after the dose values, which the results screens
// never read (formats/README.md lists the names).
std::vector<formats::TrailerEntry> describeRunTrailer(const RunInputs& in, const WorkbenchResult& r);
// A tomosynthesis run's scan and its per-projection figures (part of the above).
std::vector<formats::TrailerEntry> describeScanTrailer(const RunInputs& in, const WorkbenchResult& r);

// Why a result is not worth a file: the workbench would refuse it, or it
// would show numbers that mean nothing.
enum class ResultFault { None, NoHistories, NotFinite, NoAirKerma, NoReferenceDose, Unreadable };

struct ResultRefused : std::runtime_error {
    explicit ResultRefused(ResultFault f) : std::runtime_error("result refused"), fault(f) {}
    ResultFault fault;
};

// Only a result that loads in the workbench replaces the file of that name:
// its numbers are judged as the file will state them, and its head and
// trailer, formatted in memory, are read back as the workbench reads them.
// Written to a temporary name that does not end in ".vesk", then renamed.
// Throws ResultRefused (nothing written), kv::WriteFailed (nothing left behind).
// Then, where voxelSigmaKnown, each voxel's relative uncertainty goes into
// the result's side file (writeVoxelSigma); otherwise a side file of that
// name, an earlier result's, is removed.
void writeResultFile(const std::filesystem::path& workDir, const RunInputs& in, const WorkbenchResult& r);
// The same, taking the dose maps out of `r` instead of copying them (r's
// other members stay as they are).
void writeResultFile(const std::filesystem::path& workDir, const RunInputs& in, WorkbenchResult&& r);

// Whether the voxels' uncertainties are worth a side file: the maps were
// scored, over at least the batches that a stated uncertainty needs.
// From 32 batches on: a voxel's sigma from k batch totals is itself
// uncertain by 1 / sqrt(2 (k - 1)), 13 % at 32, and the file (as long to
// write as the result) comes at the 4194304 histories it did when a batch
// was twice as long.
inline constexpr uint64_t kSigmaFileBatches = 32;
inline bool voxelSigmaKnown(const WorkbenchResult& r) {
    return r.maps && r.batches >= kSigmaFileBatches;
}

// The side file of `resultFile` (formats/voxel_sigma_file.h), bound to the
// result's bytes by `sha256`; a failure to write it leaves the result as saved.
void writeVoxelSigma(const std::filesystem::path& workDir, const std::string& resultFile,
                     const std::string& sha256, const WorkbenchResult& r);

} // namespace kv::engine
