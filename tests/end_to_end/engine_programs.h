#pragma once
// Starting the engine programs from the engine tests.
#include "run_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

// 0 where the build has no Qt and so no engine programs to start.
#ifndef KV_ENGINE_PROGRAMS
#define KV_ENGINE_PROGRAMS 0
#endif
#define REQUIRE_PROGRAMS()                                                                                   \
    if (!KV_ENGINE_PROGRAMS) GTEST_SKIP() << "built without the Qt programs"

namespace kv::engine::test_support {

struct ProgramOutput {
    int exitCode = -1;
    std::string out, err;
};

// Runs `command` (a program of the run folder and its arguments, optionally
// behind a launcher such as mpirun) in `dir`, as a console program.
inline ProgramOutput runIn(const RunDir& dir, const std::string& command) {
    std::string cmd = "cd '" + dir.path().string() +
                      "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + command +
                      " > stdout.txt 2> stderr.txt";
    int status = std::system(cmd.c_str());
    ProgramOutput r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, dir.read("stdout.txt"),
                    dir.read("stderr.txt")};
    std::filesystem::remove(dir.path() / "stdout.txt");
    std::filesystem::remove(dir.path() / "stderr.txt");
    return r;
}

inline std::string program(const std::string& name) {
    return "'" + std::string(KV_RUN_DIR) + "/" + name + "'";
}

// The lines of a result file from the history count on: the dose block and
// everything it depends on, without the run time and the seed lines.
inline std::string doseBlock(const RunDir& dir, const std::string& name) {
    std::string all = dir.read(name);
    const int header = all.rfind(" * Mammography\r", 0) == 0 ? 15 : 17;
    size_t pos = 0;
    for (int line = 0; line < header && pos != std::string::npos; ++line)
        pos = all.find('\n', pos + 1);
    return pos == std::string::npos ? std::string() : all.substr(pos);
}

// The header line that begins with `prefix`, or "".
inline std::string headerLine(const RunDir& dir, const std::string& name, const std::string& prefix) {
    std::string all = dir.read(name);
    size_t at = all.find("\n" + prefix);
    if (at == std::string::npos) return {};
    size_t end = all.find_first_of("\r\n", at + 1);
    return all.substr(at + 1, end - at - 1);
}

} // namespace kv::engine::test_support
