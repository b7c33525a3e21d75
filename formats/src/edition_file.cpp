#include "kv/formats/edition_file.h"

#include "kv/formats/settings_file.h"

namespace kv::formats {

namespace {
constexpr const char* kSetting = "edition";
}

void writeEditionFile(const std::filesystem::path& workDir, texts::Edition edition) {
    writeSettingsFile(workDir, kEditionFileName,
                      {{kSetting, edition == texts::Edition::Japanese ? "ja" : "en"}});
}

texts::Edition readEditionFile(const std::filesystem::path& workDir) {
    try {
        const std::optional<SettingsFile> f = SettingsFile::read(workDir, kEditionFileName);
        if (f && f->choice(kSetting, "en", {"en", "ja"}) == "ja") return texts::Edition::Japanese;
    } catch (const FileError& e) {
        // Words in the wrong language are better than no run, but something
        // standing where the file belongs is refused: whoever put it there
        // meant a file.
        if (e.fault == FileFault::NotAFile || e.fault == FileFault::Unreadable ||
            e.fault == FileFault::TooLarge)
            throw;
    }
    return texts::Edition::English;
}

} // namespace kv::formats
