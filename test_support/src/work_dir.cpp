#include "kv/test_support/work_dir.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kv::test_support {

TempDir::TempDir(std::string_view tag) {
    // pid, a counter and a random part: parallel ctest runs and left-overs of
    // killed runs never share a folder.
    static std::atomic<int> counter{0};
    std::random_device rd;
    path_ = fs::temp_directory_path() / (std::string(tag) + "-" + std::to_string(::getpid()) + "-" +
                                         std::to_string(counter++) + "-" + std::to_string(rd()));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    // Tests make parts read-only; give them back so everything can go.
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

void TempDir::write(std::string_view name, std::string_view bytes) const {
    writeFile(file(name), bytes);
}

std::string TempDir::read(std::string_view name) const {
    return readFile(file(name));
}

void TempDir::copyShipped(std::string_view name) const {
    fs::copy_file(shippedDataDir() / name, file(name), fs::copy_options::overwrite_existing);
}

const fs::path& shippedDataDir() {
    static const fs::path dir = fs::path(KV_SOURCE_DIR) / "data";
    return dir;
}

fs::path sourceFile(std::string_view relative) {
    return fs::path(KV_SOURCE_DIR) / relative;
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

} // namespace kv::test_support
