#pragma once
// A working directory laid out as the workbench and the spectrum tool leave
// it before an engine starts, written with the project's own writers.
#include "kv/test_support/work_dir.h"

#include <filesystem>
#include <string>

namespace kv::engine::test_support {

struct RunDirOptions {
    std::string fraction = "50";
    std::string thickness = "5";
    std::string histories = "2e5";
    std::string resultName = "run";
    std::string tubeVoltage = "28";
    std::string angularRange = "7.5";
};

class RunDir {
  public:
    explicit RunDir(const RunDirOptions& o = {});
    const std::filesystem::path& path() const { return dir_.path(); }
    std::string read(const std::string& name) const { return dir_.read(name); }
    void write(const std::string& name, const std::string& bytes) const { dir_.write(name, bytes); }

  private:
    kv::test_support::TempDir dir_{"kv-engine"};
};

} // namespace kv::engine::test_support
