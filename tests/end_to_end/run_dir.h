#pragma once
// A working directory laid out as the workbench and the spectrum tool leave
// it before an engine starts, written with the project's own writers.
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
    ~RunDir();
    RunDir(const RunDir&) = delete;
    RunDir& operator=(const RunDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string read(const std::string& name) const;
    void write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path path_;
};

} // namespace kv::engine::test_support
