#include "kv/audit/stages.h"
#include "kv/common/typed_number.h"

#include <algorithm>
#include <set>

namespace kv::audit {

namespace fs = std::filesystem;

std::vector<fs::path> collectFiles(const std::vector<fs::path>& paths, const std::vector<fs::path>& own,
                                   std::ostream& err, const texts::AuditTexts& t) {
    std::vector<fs::path> ownDirs;
    for (const fs::path& p : own) {
        std::error_code ec;
        const fs::path c = fs::weakly_canonical(p, ec);
        if (!ec) ownDirs.push_back(c);
    }
    auto isOwn = [&](const fs::path& dir) {
        std::error_code ec;
        const fs::path c = fs::weakly_canonical(dir, ec);
        return !ec && std::find(ownDirs.begin(), ownDirs.end(), c) != ownDirs.end();
    };
    std::set<fs::path> files;
    for (const fs::path& p : paths) {
        std::error_code ec;
        const fs::file_status st = fs::status(p, ec);
        if (ec || !fs::exists(st)) {
            err << fillIn(t.notAPath.str(), {{"{path}", p.string()}}) << "\n";
            continue;
        }
        if (!fs::is_directory(st)) {
            files.insert(p.lexically_normal());
            continue;
        }
        // Links to folders are not followed: a loop of them would never end.
        fs::recursive_directory_iterator it(p, fs::directory_options::skip_permission_denied, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code e2;
            if (!it->is_directory(e2))
                files.insert(it->path().lexically_normal());
            else if (isOwn(it->path()))
                it.disable_recursion_pending();
        }
    }
    return {files.begin(), files.end()};
}

Readings readFiles(const std::vector<fs::path>& files, const std::function<bool()>& interrupted) {
    std::vector<Object> objects;
    std::vector<Skipped> skipped;
    for (size_t i = 0; i < files.size(); ++i) {
        if (interrupted()) throw AuditInterrupted();
        const int index = static_cast<int>(i) + 1;
        for (Reading& read : readFile(files[i])) {
            if (Skip* s = std::get_if<Skip>(&read))
                skipped.push_back({index, std::move(*s), files[i].string()});
            else
                objects.push_back({index, std::move(std::get<Exposure>(read)), files[i].string()});
        }
    }
    return countOnce(std::move(objects), std::move(skipped), files.size());
}

} // namespace kv::audit
