#pragma once
// kv-sweep: one simulation per row of a grid, each made the way the
// workbench makes it (spectrum model, run files, engine session), and a
// table and a plot of the results.
#include "kv/texts/sweep.h"

#include <functional>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kv::sweep {

// The processes that share the rows: one without mpirun.
struct Processes {
    int rank = 0, size = 1;
    unsigned localSize = 1; // processes on this machine
    std::function<void()> barrier = [] {};
    std::function<int(int)> maxOver = [](int v) { return v; }; // the largest value over the processes
};

// Exit status: 0 every row has its result, 1 some row has none (each named
// with its line) or a file fault, 2 bad options, 130 interrupted.
// The edition's pattern with %1, %2 .. replaced by args.
std::string fill(std::string_view pattern, std::initializer_list<std::string> args);

int runSweep(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const Processes& procs, const std::function<bool()>& interrupted);

} // namespace kv::sweep
