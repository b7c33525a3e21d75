#pragma once
// What an engine run may be given besides its input files: target
// uncertainties, whether the voxel maps are wanted, a seed and a thread count. They come from the run-options
// file the set-up screen writes and from the command line, which wins.
#include "kv/formats/run_options_file.h"
#include "kv/texts/text.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kv::engine {

// The run-options file is formats' (RunOptions.dat).
using formats::kMapSigmaSetting;
using formats::kMapsSetting;
using formats::kRunOptionsFileName;
using formats::kSagdSigmaSetting;
using formats::kSeedSetting;
using formats::parseSeed;

struct EngineOptions {
    std::optional<double> sagdSigmaPercent; // stop once the sAGD's relative 1 sigma is at most this
    // and once the median relative 1 sigma of the reference region's voxels is
    std::optional<double> mapSigmaPercent;
    std::optional<bool> maps; // false: a run for the numbers, without the voxel maps
    std::optional<uint64_t> seed;
    std::optional<unsigned> threads;
    bool help = false;

    // `over`'s values where it has them, else these.
    EngineOptions overriddenBy(const EngineOptions& over) const;
};

// A refused option or setting; what() says which and why.
struct OptionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The program's arguments without its name. Throws OptionError, worded in `edition`.
EngineOptions parseEngineOptions(const std::vector<std::string>& args,
                                 texts::Edition edition = texts::Edition::English);
// The run-options file of `workDir`; no file gives no options. A target of 0
// means none. Throws formats::FileError.
EngineOptions readRunOptionsFile(const std::filesystem::path& workDir);

} // namespace kv::engine
