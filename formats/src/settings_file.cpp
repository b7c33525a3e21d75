#include "kv/formats/settings_file.h"

#include "kv/common/format.h"
#include "kv/common/text.h"
#include "kv/common/typed_number.h"

#include <algorithm>
#include <cmath>

namespace kv::formats {

namespace fs = std::filesystem;

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::optional<SettingsFile> SettingsFile::read(const fs::path& workDir, const std::string& name,
                                               size_t maxBytes) {
    if (!isBareFileName(name)) throw FileError(FileFault::NotAFile, name, 0, "not a bare file name");
    // One open, without blocking: what is checked is what is read, and a
    // pipe swapped in cannot stall the reader.
    std::string bytes;
    try {
        bytes = readFileBytes(workDir, name, maxBytes);
    } catch (const FileNotFound&) {
        return std::nullopt;
    } catch (const DanglingLink&) {
        throw FileError(FileFault::NotAFile, name, 0, "is a symbolic link to nothing");
    } catch (const NotARegularFile&) {
        throw FileError(FileFault::NotAFile, name, 0, "is not a file");
    } catch (const FileTooLarge&) {
        throw FileError(FileFault::TooLarge, name, 0,
                        "is longer than " + std::to_string(maxBytes) + " bytes");
    } catch (const FileMissing&) {
        throw FileError(FileFault::Unreadable, name, 0, "cannot be read");
    }
    return parse(bytes, name);
}

SettingsFile SettingsFile::parse(std::string_view bytes, std::string name) {
    SettingsFile f;
    f.name_ = std::move(name);
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3); // an editor's byte-order mark
    RecordReader in = RecordReader::fromBytes(bytes, f.name_);
    for (int line = 1; !in.atEnd(); ++line) {
        std::string text = in.readLine();
        std::string_view t = trimmed(text);
        if (t.empty() || t.front() == '#') continue;
        size_t eq = t.find('=');
        if (eq == std::string_view::npos)
            throw FileError(FileFault::BadLine, f.name_, line, "holds no \"name = value\"");
        std::string_view key = trimmed(t.substr(0, eq));
        if (key.empty()) throw FileError(FileFault::BadLine, f.name_, line, "gives a value without a name");
        if (f.find(key))
            throw FileError(FileFault::Repeated, f.name_, line,
                            "gives " + shownText(key) + " a second time (first in line " +
                                std::to_string(f.find(key)->line) + ")");
        f.settings_.push_back({std::string(key), std::string(trimmed(t.substr(eq + 1))), line});
    }
    return f;
}

const Setting* SettingsFile::find(std::string_view settingName) const {
    auto it = std::find_if(settings_.begin(), settings_.end(),
                           [&](const Setting& s) { return s.name == settingName; });
    return it == settings_.end() ? nullptr : &*it;
}

void SettingsFile::requireKnown(std::initializer_list<std::string_view> known) const {
    for (const Setting& s : settings_)
        if (std::find(known.begin(), known.end(), s.name) == known.end())
            throw FileError(FileFault::UnknownName, name_, s.line,
                            "names an unknown setting \"" + shownText(s.name) + "\"");
}

double SettingsFile::number(std::string_view settingName, double fallback, double lo, double hi) const {
    const Setting* s = find(settingName);
    if (!s) return fallback;
    double v = 0;
    if (s->value.empty() || !parseNumberStrict(s->value, v) || !std::isfinite(v))
        throw settingError(FileFault::NotANumber, *s,
                           "\"" + shownText(s->value) + "\", which is not a number");
    if (!(v >= lo && v <= hi))
        throw settingError(FileFault::OutOfRange, *s,
                           shownText(s->value) + ", outside " + plainDecimal(lo) + " to " + plainDecimal(hi));
    return v;
}

std::string SettingsFile::choice(std::string_view settingName, std::string fallback,
                                 std::initializer_list<std::string_view> allowed) const {
    const Setting* s = find(settingName);
    if (!s) return fallback;
    std::string v = lowered(s->value);
    for (std::string_view a : allowed)
        if (lowered(a) == v) return v;
    std::string words;
    for (std::string_view a : allowed)
        words += (words.empty() ? "" : ", ") + std::string(a);
    throw settingError(FileFault::BadChoice, *s, "\"" + shownText(s->value) + "\"; it takes one of " + words);
}

FileError SettingsFile::settingError(FileFault fault, const Setting& s, const std::string& problem) const {
    FileError e(fault, name_, s.line, "gives " + shownText(s.name) + " " + problem);
    e.setting = s.name;
    e.value = s.value;
    return e;
}

void writeSettingsFile(const fs::path& workDir, const std::string& name,
                       const std::vector<std::pair<std::string, std::string>>& entries) {
    RecordWriter out(workDir, name);
    int line = 0;
    for (const auto& [key, value] : entries) {
        ++line;
        bool keyOk = !key.empty() && trimmed(key) == key && key.find_first_of("=\r\n") == std::string::npos &&
                     key.front() != '#';
        bool valueOk = trimmed(value) == value && value.find_first_of("\r\n") == std::string::npos;
        if (!keyOk || !valueOk)
            throw FileError(FileFault::BadLine, name, line,
                            "\"" + shownText(key + " = " + value) + "\" would not read back as written");
        out.text(key).text(" = ").text(value).endLine();
    }
    try {
        out.commit();
    } catch (const RecordError& e) {
        throwFromRecordError(e, 0);
    }
}

} // namespace kv::formats
