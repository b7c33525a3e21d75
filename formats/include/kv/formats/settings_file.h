#pragma once
// Settings files: small CR LF files of `name = value` lines that a program
// reads at its start and a dialog rewrites whole. Blank lines and lines that
// begin with '#' are skipped; blanks around the name and the value are
// dropped. A name with nothing behind it means "all defaults"; anything else
// that is wrong is refused with the file and the line named.
#include "kv/formats/file_error.h"

#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv::formats {

struct Setting {
    std::string name;
    std::string value;
    int line = 0; // 1-based
};

class SettingsFile {
  public:
    static constexpr size_t kDefaultMaxBytes = 64 * 1024;

    // nullopt when nothing of that name exists. Throws FileError for
    // anything that is there but unusable (a link to nothing included).
    static std::optional<SettingsFile> read(const std::filesystem::path& workDir, const std::string& name,
                                            size_t maxBytes = kDefaultMaxBytes);
    // Parses bytes already in memory as the file `name`. Throws FileError.
    static SettingsFile parse(std::string_view bytes, std::string name);

    const std::string& name() const { return name_; }
    const std::vector<Setting>& settings() const { return settings_; }
    const Setting* find(std::string_view settingName) const;

    // Throws UnknownName at the first line whose name is not among `known`.
    void requireKnown(std::initializer_list<std::string_view> known) const;
    // The number of `settingName`, or `fallback` when it is not given.
    // Throws NotANumber (also for inf/nan) or OutOfRange (outside lo..hi).
    double number(std::string_view settingName, double fallback, double lo, double hi) const;
    // The word of `settingName` in lower case, or `fallback` when not given.
    // Throws BadChoice for a word outside `allowed` (compared ignoring case).
    std::string choice(std::string_view settingName, std::string fallback,
                       std::initializer_list<std::string_view> allowed) const;

    // A fault of one setting's value, naming the setting (FileError::setting).
    FileError settingError(FileFault fault, const Setting& s, const std::string& problem) const;

  private:
    std::string name_;
    std::vector<Setting> settings_;
};

// Writes `name = value` lines, CR LF, replacing the file only once the new
// content is complete. Throws FileError: BadLine for a name or value that
// would not read back as written, CannotWrite or WriteProtected when the
// write fails; the old file stays in every case.
void writeSettingsFile(const std::filesystem::path& workDir, const std::string& name,
                       const std::vector<std::pair<std::string, std::string>>& entries);

} // namespace kv::formats
