#include "kv/common/installation.h"

#include <system_error>

namespace kv {

namespace fs = std::filesystem;

fs::path programDir() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self.parent_path();
}

namespace {

fs::path installedDataDir() {
    const fs::path dir = programDir();
    if (dir.empty()) return {};
    std::error_code ec;
    const fs::path share = dir.parent_path() / "share" / "kelvane-vesk";
    return fs::is_directory(share, ec) ? share : fs::path();
}

} // namespace

fs::path shippedDataDir() {
    const fs::path share = installedDataDir();
    return share.empty() ? programDir() : share;
}

bool isInstalled() {
    return !installedDataDir().empty();
}

fs::path dataFileDir(const fs::path& workDir, std::string_view name) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(workDir / name, ec))) return workDir;
    const fs::path shipped = shippedDataDir();
    if (!shipped.empty() && fs::is_regular_file(shipped / name, ec)) return shipped;
    return workDir;
}

fs::path toolDataDir(const fs::path& workDir) {
    return dataFileDir(workDir, "equipment.dat");
}

} // namespace kv
