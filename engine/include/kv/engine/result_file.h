#pragma once
// The result file the results screens load: kind line, free lines that
// describe the run (14 for mammography, 16 for tomosynthesis), the history
// count, the phantom line, the data header and the primary and scatter
// blocks with 75 values per row.
#include "kv/engine/run_inputs.h"
#include "kv/engine/workbench_sim.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kv::engine {

inline constexpr int kMammographyFreeLines = 14;
inline constexpr int kTomosynthesisFreeLines = 16;

std::vector<std::string> describeRun(const RunInputs& in, const WorkbenchResult& r);

// Written to a temporary name that does not end in ".vesk", then renamed.
// Throws kv::WriteFailed; nothing is left behind then.
void writeResultFile(const std::filesystem::path& workDir, const RunInputs& in, const WorkbenchResult& r);

} // namespace kv::engine
