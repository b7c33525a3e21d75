#pragma once
// What every test needs from the file system: a scratch working folder and
// the data files the project ships.
#include <filesystem>
#include <string>
#include <string_view>

namespace kv::test_support {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes, read-only parts included.
class TempDir {
  public:
    explicit TempDir(std::string_view tag = "kv-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path file(std::string_view name) const { return path_ / name; }
    void write(std::string_view name, std::string_view bytes) const; // bytes as they stand
    std::string read(std::string_view name) const;                   // empty when missing
    void copyShipped(std::string_view name) const;                   // data/<name> into this folder

  private:
    std::filesystem::path path_;
};

// The source tree's data/ folder: MUs12.dat, Mo-STP.dat, BR12-*.dat ...
const std::filesystem::path& shippedDataDir();
// A source-tree file, e.g. sourceFile("tools/validation/reference/mo30kvp-spectrum.csv").
std::filesystem::path sourceFile(std::string_view relative);

std::string readFile(const std::filesystem::path& file); // empty when missing
void writeFile(const std::filesystem::path& file, std::string_view bytes);

} // namespace kv::test_support
