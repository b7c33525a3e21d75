#include "kv/common/records.h"

#include "kv/common/codepage.h"
#include "kv/common/format.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <limits>
#include <iterator>
#include <unistd.h>

namespace kv {

bool isBareFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7f) return false;
    }
    return true;
}

RecordWriter::RecordWriter(std::filesystem::path workDir, std::string name)
    : dir_(std::move(workDir)), name_(std::move(name)) {}

RecordWriter::~RecordWriter() = default;

RecordWriter& RecordWriter::text(std::string_view s) {
    buffer_ += s;
    return *this;
}

RecordWriter& RecordWriter::number(double value, std::string_view pattern) { return text(format(value, pattern)); }

RecordWriter& RecordWriter::endLine() {
    buffer_ += "\r\n";
    return *this;
}

void RecordWriter::commit() {
    if (!isBareFileName(name_)) throw WriteFailed("not a bare file name", name_);
    std::string bytes;
    try {
        bytes = toCp932(buffer_);
    } catch (const CodePageError&) {
        throw WriteFailed("holds a character that the system's code page cannot write", name_);
    }
    // The temporary name never ends in the target's extension, so a folder
    // listing by extension never shows a half-written file.
    std::filesystem::path tmpl = dir_ / ("." + name_ + ".XXXXXX");
    std::string tmp = tmpl.string();
    int fd = mkstemp(tmp.data());
    if (fd < 0) throw WriteFailed("cannot be created in the working directory", name_);
    size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0) ok = false;
    std::error_code ec;
    if (ok) {
        // mkstemp makes the file private; shared files are ordinary ones.
        std::filesystem::permissions(tmp, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                              std::filesystem::perms::group_read | std::filesystem::perms::others_read,
                                     ec);
        std::filesystem::rename(tmp, dir_ / name_, ec);
        ok = !ec;
    }
    if (!ok) {
        std::filesystem::remove(tmp, ec);
        throw WriteFailed("cannot be written", name_);
    }
}

namespace {

// At most maxBytes of the file, read in one go (result files reach 15 MB).
std::string readFileBytes(const std::filesystem::path& workDir, const std::string& name, size_t maxBytes) {
    if (!isBareFileName(name)) throw FileMissing("not a bare file name", name);
    std::ifstream in(workDir / name, std::ios::binary);
    if (!in) throw FileMissing("cannot be opened", name);
    std::string bytes;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size > 0 && in) {
        bytes.resize(std::min(static_cast<size_t>(size), maxBytes));
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<size_t>(in.gcount()));
        if (in.bad()) throw FileMissing("cannot be read", name);
    } else {
        // Not seekable (a pipe, a special file): read as it comes.
        in.clear();
        std::array<char, 65536> buf;
        while (bytes.size() < maxBytes && in.read(buf.data(), buf.size()), in.gcount() > 0)
            bytes.append(buf.data(), std::min(static_cast<size_t>(in.gcount()), maxBytes - bytes.size()));
        if (in.bad()) throw FileMissing("cannot be read", name);
    }
    return bytes;
}

std::string decode(std::string bytes) {
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return bytes; // no copy of a large all-ASCII file
    try {
        return fromCp932(bytes);
    } catch (const CodePageError&) {
        return bytes; // keep what can be read; numbers are ASCII anyway
    }
}

} // namespace

RecordReader::RecordReader(const std::filesystem::path& workDir, std::string name) : name_(std::move(name)) {
    data_ = decode(readFileBytes(workDir, name_, std::numeric_limits<size_t>::max()));
}

RecordReader RecordReader::fromBytes(std::string_view bytes, std::string name) {
    RecordReader r;
    r.name_ = std::move(name);
    r.data_ = decode(std::string(bytes));
    return r;
}

RecordReader RecordReader::head(const std::filesystem::path& workDir, std::string name, size_t maxBytes) {
    RecordReader r;
    r.name_ = std::move(name);
    std::string bytes = readFileBytes(workDir, r.name_, maxBytes + 1);
    if (bytes.size() > maxBytes) {
        // Cut after the last whole line: a line feed is never part of a CP932 character.
        size_t lf = bytes.rfind('\n', maxBytes - 1);
        bytes.resize(lf == std::string::npos ? 0 : lf + 1);
    }
    r.data_ = decode(std::move(bytes));
    return r;
}

void RecordReader::pastEnd() const { throw PastEnd("ends too early", name_); }

bool RecordReader::atEnd() const { return pos_ >= data_.size(); }

int RecordReader::lineNumber() const {
    size_t upTo = pos_ < data_.size() ? pos_ : data_.size();
    return 1 + static_cast<int>(std::count(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(upTo), '\n'));
}

std::string RecordReader::readLine() {
    if (atEnd()) pastEnd();
    size_t end = data_.find('\n', pos_);
    size_t next = end == std::string::npos ? data_.size() : end + 1;
    if (end == std::string::npos) end = data_.size();
    size_t stop = end;
    if (stop > pos_ && data_[stop - 1] == '\r') --stop;
    std::string line = data_.substr(pos_, stop - pos_);
    pos_ = next;
    return line;
}

void RecordReader::skipFieldStart() {
    while (pos_ < data_.size()) {
        char c = data_[pos_];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') ++pos_;
        else break;
    }
    if (atEnd()) pastEnd();
}

// After a field: blanks, then one comma or one line end belong to it.
void RecordReader::finishField() {
    while (pos_ < data_.size() && (data_[pos_] == ' ' || data_[pos_] == '\t')) ++pos_;
    if (pos_ >= data_.size()) return;
    if (data_[pos_] == ',') {
        ++pos_;
    } else if (data_[pos_] == '\r') {
        ++pos_;
        if (pos_ < data_.size() && data_[pos_] == '\n') ++pos_;
    } else if (data_[pos_] == '\n') {
        ++pos_;
    }
}

double RecordReader::readNumber() {
    skipFieldStart();
    {
        const char* b = data_.data() + pos_;
        const char* e = data_.data() + data_.size();
        double v = 0;
        const char* end = parsePlainDecimal(b, e, v);
        if (end && (end == e || *end == ',' || *end == ' ' || *end == '\t' || *end == '\r' || *end == '\n')) {
            pos_ += static_cast<size_t>(end - b);
            finishField();
            return v;
        }
    }
    if (data_[pos_] == '"') {
        std::string t = readText();
        double v = 0;
        if (!parseNumberStrict(t, v)) throw NotANumber("holds \"" + t + "\" where a number belongs", name_);
        return v;
    }
    size_t start = pos_;
    while (pos_ < data_.size()) {
        char c = data_[pos_];
        if (c == ',' || c == '\r' || c == '\n' || c == ' ' || c == '\t') break;
        ++pos_;
    }
    std::string_view field(data_.data() + start, pos_ - start);
    double v = 0;
    if (!field.empty() && !parseNumberStrict(field, v))
        throw NotANumber("holds \"" + std::string(field) + "\" where a number belongs", name_);
    finishField();
    return v;
}

std::string RecordReader::readText() {
    skipFieldStart();
    std::string out;
    if (data_[pos_] == '"') {
        size_t close = data_.find('"', pos_ + 1);
        if (close == std::string::npos) close = data_.size();
        out = data_.substr(pos_ + 1, close - pos_ - 1);
        pos_ = close < data_.size() ? close + 1 : close;
        // Anything up to the separator after a closing quote is dropped.
        while (pos_ < data_.size() && data_[pos_] != ',' && data_[pos_] != '\r' && data_[pos_] != '\n') ++pos_;
    } else {
        size_t start = pos_;
        while (pos_ < data_.size() && data_[pos_] != ',' && data_[pos_] != '\r' && data_[pos_] != '\n') ++pos_;
        out = data_.substr(start, pos_ - start);
        while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
    }
    finishField();
    return out;
}

} // namespace kv
