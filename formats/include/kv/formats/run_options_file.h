#pragma once
// "RunOptions.dat": the engines' run options that the set-up screen keeps, as
// `name = value` lines: `sagd_sigma_percent` (stop once the sAGD's relative
// 1 sigma is at most this; 0 means no target), `map_sigma_percent` (stop once
// the median relative 1 sigma of the reference region's voxels is at most
// this; 0 means none), `maps` (`no` for a run for the numbers alone; `yes`,
// the default, keeps the voxel maps) and `seed`.
#include "kv/formats/settings_file.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace kv::formats {

inline constexpr std::string_view kRunOptionsFileName = "RunOptions.dat";
inline constexpr std::string_view kSagdSigmaSetting = "sagd_sigma_percent";
inline constexpr std::string_view kSeedSetting = "seed";
inline constexpr std::string_view kMapSigmaSetting = "map_sigma_percent";
inline constexpr std::string_view kMapsSetting = "maps";

struct RunOptions {
    std::optional<double> sagdSigmaPercent, mapSigmaPercent;
    std::optional<bool> maps;
    std::optional<uint64_t> seed;
};

// No file gives no options. Throws FileError.
RunOptions readRunOptionsFile(const std::filesystem::path& workDir);

// Decimal, 0 .. 2^64 - 1, nothing else; nullopt otherwise.
std::optional<uint64_t> parseSeed(std::string_view text);

} // namespace kv::formats
