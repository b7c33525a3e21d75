#include "kv/launcher/work_folder.h"

#include "kv/formats/equipment_file.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace kv::launcher {

namespace fs = std::filesystem;

namespace {

fs::path homeFolder() {
    if (const char* h = std::getenv("HOME"); h && *h) return h;
    const passwd* pw = getpwuid(getuid());
    return pw && pw->pw_dir ? fs::path(pw->pw_dir) : fs::current_path();
}

} // namespace

Places defaultPlaces(bool installed) {
    if (installed) return {homeFolder() / "Kelvane-Vesk", shippedDataDir()};
    return {programDir(), programDir()};
}

std::optional<fs::path> folderOfOpenedFile(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        std::error_code ec;
        if (a.empty() || a[0] == '-' || !fs::is_regular_file(a, ec)) continue;
        const fs::path file = fs::absolute(a, ec);
        if (!ec) return file.parent_path();
    }
    return std::nullopt;
}

std::optional<FolderProblem> prepareWorkFolder(const fs::path& folder, const fs::path& shippedData) {
    using Kind = FolderProblem::Kind;
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::error_code probe;
    if (!fs::is_directory(folder, probe)) {
        if (fs::exists(folder, probe)) return FolderProblem{Kind::NotAFolder, {}};
        return FolderProblem{Kind::CannotMake, ec.message()};
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return FolderProblem{Kind::ReadOnly, {}};
    const fs::path equipment = folder / formats::kEquipmentFileName;
    const fs::path seed = shippedData / formats::kEquipmentFileName;
    // Whatever stands under the name is the user's; a missing seed is only
    // missed when the set-up screen is opened, which says so.
    if (fs::exists(fs::symlink_status(equipment, ec)) || !fs::is_regular_file(seed, ec)) return std::nullopt;
    if (!fs::copy_file(seed, equipment, ec) || ec) return FolderProblem{Kind::CannotSeed, ec.message()};
    return std::nullopt;
}

} // namespace kv::launcher
