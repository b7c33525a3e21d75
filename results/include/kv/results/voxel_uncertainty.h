#pragma once
// Each voxel's relative 1 sigma of the total dose, from the result's side
// file (formats/voxel_sigma_file.h) where it is there and bound to the file
// the screens show.
#include "kv/formats/voxel_sigma_file.h"

#include <optional>

namespace kv::results {

// Of voxel (ix, iy, iz), counted from 1 as the dose model counts; nothing
// without a side file or outside its grid.
std::optional<double> voxelRelativeSigma(const std::optional<formats::VoxelSigma>& s, int ix, int iy, int iz);

} // namespace kv::results
