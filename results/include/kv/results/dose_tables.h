#pragma once
// The dose model as tables of numbers for other programs: the depth-dose
// table and the voxels of the grid or of one plane, as CSV rows. Values are
// percent of the 100 % dose, written in their shortest form that reads back
// to the same double.
//
//   std::vector<std::string> rows = depthDoseRows(m);            // "layer,...,depth_cm", then one
//   per layer rows = voxelRows(m, VoxelSet::all());                         // every voxel inside the counts
//   rows = voxelRows(m, VoxelSet::yzPlane());                     // the Y-Z plane at X = 0 (ix = 1)
//   writeCsvFile(dir, "run1.dose.csv", rows);                     // atomic, CR LF; throws WriteFailed
#include "kv/formats/voxel_sigma_file.h"
#include "kv/results/dose_model.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kv::results {

// depth_cm: the centre of the layer, (layer - 0.5) / 10; after the columns
// scripts already read by position.
inline constexpr std::string_view kDepthDoseHeader = "layer,total,primary,scatter,depth_cm";
inline constexpr std::string_view kVoxelHeader = "ix,iy,iz,total,primary,scatter,x_cm,y_cm,z_cm";
// The column added where the result's side file gives each voxel's uncertainty.
inline constexpr std::string_view kVoxelSigmaColumn = "total_sigma_percent";

// Which voxels: a fixed index on an axis, or kEvery to run over its count.
struct VoxelSet {
    static constexpr int kEvery = -1;
    int ix = kEvery, iy = kEvery, iz = kEvery;
    static VoxelSet all() { return {}; }
    static VoxelSet yzPlane() { return {1, kEvery, kEvery}; }
    static VoxelSet xyPlane(int iz) { return {kEvery, kEvery, iz}; }
    static VoxelSet xzPlane(int iy) { return {kEvery, iy, kEvery}; }
};

// A number as data: the shortest decimal that reads back to the same double.
std::string exactNumber(double v);

std::vector<std::string> depthDoseRows(const DoseModel& m);
// Rows ordered iz, then iy, then ix (ix fastest, as in the result file).
// Positions are the voxel centres: (index - 0.5) / 10 cm. A fixed index
// outside 1..count (0 included: never filled) gives the header alone. With
// `sigma`, each row ends in the voxel's relative 1 sigma of the total, %.
std::vector<std::string> voxelRows(const DoseModel& m, VoxelSet set,
                                   const std::optional<formats::VoxelSigma>& sigma = std::nullopt);

// Writes the rows as `name` in `dir`, replacing a file of that name only once
// the new one is complete. Throws WriteFailed.
void writeCsvFile(const std::filesystem::path& dir, const std::string& name,
                  const std::vector<std::string>& rows);

} // namespace kv::results
