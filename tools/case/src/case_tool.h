#pragma once
// kv-case: the run files of one simulation written from the command line as
// the phantom and set-up screens write them from the same entries.
#include <ostream>
#include <string>
#include <vector>

namespace kv::runcase {

// Runs the tool on its arguments (without the program name); returns the
// exit status: 0 written, 1 an entry refused or a file fault, 2 bad options.
int runCaseTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace kv::runcase
