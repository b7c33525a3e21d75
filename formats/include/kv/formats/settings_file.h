#pragma once
// Settings files: small CR LF files of `name = value` lines that a program
// reads at its start and a dialog rewrites whole. Blank lines and lines that
// begin with '#' are skipped; blanks around the name and the value are
// dropped. A file that does not exist means "all defaults"; anything else
// that is wrong is refused with the file and the line named.
#include "kv/common/records.h"

#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

enum class SettingFault {
    NotAFile,    // a directory, pipe or device stands where the file belongs
    Unreadable,  // exists but cannot be read
    TooLarge,    // longer than the limit the caller gives
    BadLine,     // a line without '=' or without a name
    Repeated,    // a name given twice
    UnknownName, // a name the reader does not know
    NotANumber,  // a value where a number belongs that is none
    OutOfRange,  // a number outside the range the reader allows
    BadChoice,   // a word outside the words the reader allows
};

// what() is an English detail "<file>, line <n>: <problem>" (no line part for
// faults of the whole file); `line` is 0 then.
struct SettingsError : RecordError {
    SettingsError(SettingFault f, std::string fileName, int lineNo, const std::string& problem);
    SettingFault fault;
    int line;
};

struct Setting {
    std::string name;
    std::string value;
    int line = 0; // 1-based
};

class SettingsFile {
  public:
    static constexpr size_t kDefaultMaxBytes = 64 * 1024;

    // nullopt when no file of that name exists (a dangling link counts as
    // none). Throws SettingsError for a file that is there but unusable.
    static std::optional<SettingsFile> read(const std::filesystem::path& workDir, const std::string& name,
                                            size_t maxBytes = kDefaultMaxBytes);
    // Parses bytes already in memory as the file `name`. Throws SettingsError.
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

  private:
    std::string name_;
    std::vector<Setting> settings_;
};

// Writes `name = value` lines, CR LF, replacing the file only once the new
// content is complete. Throws SettingsError (BadLine) for a name or value
// that would not read back as written, and WriteFailed when the write fails;
// the old file stays in both cases.
void writeSettingsFile(const std::filesystem::path& workDir, const std::string& name,
                       const std::vector<std::pair<std::string, std::string>>& entries);

} // namespace kv
