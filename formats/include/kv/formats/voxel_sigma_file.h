#pragma once
// "<result>.sigma" beside a result file: each voxel's relative 1 sigma of the
// total dose, bound to its result by the seed, the histories and the SHA-256
// of the result file's bytes. A result file that has been replaced or edited
// since no longer matches, and its side file says nothing.
//
//   writeVoxelSigmaFile(workDir, "run1.vesk", sigma);        // right after the result
//   std::optional<VoxelSigma> s = readVoxelSigmaFile(workDir, "run1.vesk");
//
// Layout: CR LF `name = value` lines (result, result_sha256, seed, histories,
// rows, layers), the marker line, then the values in percent, layer by
// layer, row by row, 75 values per row as in the result's blocks.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::formats {

inline constexpr std::string_view kVoxelSigmaExtension = ".sigma";
inline constexpr std::string_view kVoxelSigmaMarker = "## relative 1 sigma of the total dose per voxel, %";

std::string voxelSigmaFileName(std::string_view resultName);

struct VoxelSigma {
    std::string resultSha256; // 64 lower-case hex digits
    uint64_t seed = 0;
    uint64_t histories = 0;
    int rows = 0, layers = 0;
    // index ((iz - 1) * rows + (iy - 1)) * 75 + (ix - 1), percent
    std::vector<double> percent;
};

// Replaces the side file of `resultName` whole. Throws FileError.
void writeVoxelSigmaFile(const std::filesystem::path& workDir, std::string_view resultName,
                         const VoxelSigma& s);

// The side file of `resultName` where it is there, whole, and bound to the
// result file as it stands now (its bytes' hash, its history count and, where
// its trailer gives one, its seed); nullopt otherwise. Never throws.
std::optional<VoxelSigma> readVoxelSigmaFile(const std::filesystem::path& workDir,
                                             std::string_view resultName);

} // namespace kv::formats
