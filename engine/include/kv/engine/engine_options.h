#pragma once
// What an engine run may be given besides its input files: a target
// uncertainty, a seed and a thread count. They come from the run-options
// file the set-up screen writes and from the command line, which wins.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kv::engine {

inline constexpr std::string_view kRunOptionsFileName = "RunOptions.dat";
inline constexpr std::string_view kSagdSigmaSetting = "sagd_sigma_percent";
inline constexpr std::string_view kSeedSetting = "seed";

struct EngineOptions {
    std::optional<double> sagdSigmaPercent; // stop once the sAGD's relative 1 sigma is at most this
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

// The program's arguments without its name. Throws OptionError.
EngineOptions parseEngineOptions(const std::vector<std::string>& args);
// The run-options file of `workDir`; no file gives no options. A target of 0
// means none. Throws formats::FileError.
EngineOptions readRunOptionsFile(const std::filesystem::path& workDir);

// Decimal, 0 .. 2^64 - 1, nothing else; nullopt otherwise.
std::optional<uint64_t> parseSeed(std::string_view text);

} // namespace kv::engine
