#pragma once
// What every fuzz target shares: a folder of this process's own where each
// input is written under the name its reader opens, and the one way a target
// says that a reader broke a promise.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace kv::fuzz {

// Made on first use, removed when the process exits.
const std::filesystem::path& scratchDir();

// Writes the input as `name` in scratchDir() and returns the folder.
const std::filesystem::path& putFile(std::string_view name, const uint8_t* data, size_t size);

// A broken promise: reported on stderr, then the process aborts so that
// libFuzzer keeps the input and a replay fails.
[[noreturn]] void fail(std::string_view what);

} // namespace kv::fuzz

// Each target defines it; libFuzzer or the replay main calls it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
