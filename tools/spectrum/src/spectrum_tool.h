#pragma once
// kv-spectrum: a spectrum computed from the command line exactly as the
// spectrum screen's "Draw spectrum" and "Determine" compute and write it.
#include <ostream>
#include <string>
#include <vector>

namespace kv::spectrum {

// Runs the tool on its arguments (without the program name); returns the
// exit status: 0 done, 1 refused input or a file fault, 2 bad options.
int runSpectrumTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace kv::spectrum
