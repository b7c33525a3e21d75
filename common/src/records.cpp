#include "kv/common/records.h"

#include "kv/common/codepage.h"
#include "kv/common/format.h"
#include "kv/common/huge_pages.h"
#include "kv/common/temporaries.h"
#include "kv/common/typed_number.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

size_t maxNameBytes(const std::filesystem::path& dir) {
    const long n = ::pathconf(dir.c_str(), _PC_NAME_MAX);
    return n > 0 ? static_cast<size_t>(n) : 255;
}

ReplaceRefusal replaceRefusal(const std::filesystem::path& dir, std::string_view name) {
    if (name.size() > maxNameBytes(dir)) return ReplaceRefusal::NameTooLong;
    const std::filesystem::path target = dir / name;
    struct stat old {};
    // Through a link: a link to a folder stands for the folder.
    if (::stat(target.c_str(), &old) != 0) return ReplaceRefusal::None;
    if (!S_ISREG(old.st_mode)) return ReplaceRefusal::NotAFile;
    if ((old.st_mode & 0222) == 0 || (::access(target.c_str(), W_OK) != 0 && errno == EACCES))
        return ReplaceRefusal::WriteProtected;
    return ReplaceRefusal::None;
}

bool syncFolder(const std::filesystem::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    int rc;
    do
        rc = ::fsync(fd);
    while (rc != 0 && errno == EINTR);
    // File systems that cannot flush a folder (EINVAL) keep nothing to flush.
    const bool ok = rc == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

bool isBareFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7f) return false;
    }
    return true;
}

RecordWriter::RecordWriter(std::filesystem::path workDir, std::string name, TextEncoding encoding)
    : dir_(std::move(workDir)), name_(std::move(name)), encoding_(encoding) {}

RecordWriter::~RecordWriter() = default;

RecordWriter& RecordWriter::text(std::string_view s) {
    buffer_ += s;
    return *this;
}

RecordWriter& RecordWriter::number(double value, std::string_view pattern) {
    formatTo(buffer_, value, pattern);
    return *this;
}

RecordWriter& RecordWriter::endLine() {
    buffer_ += "\r\n";
    return *this;
}

namespace {

// A descriptor that closes itself.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

// A temporary beside the target, created with 0666 so the umask decides its
// mode as it would for any new file (mkstemp would make it private).
int createTemporary(const std::filesystem::path& dir, const std::string& name, std::string& path) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    std::mt19937_64 rng((static_cast<uint64_t>(rd()) << 32) ^ static_cast<uint64_t>(::getpid()) ^
                        (static_cast<uint64_t>(counter++) << 20));
    // Its name tells the writer, so that a later run can clear it away once
    // this process has ended without finishing it.
    std::string stem = temporaryTemplate(name);
    stem.resize(stem.size() - 6);
    for (int attempt = 0; attempt < 100; ++attempt) {
        // The temporary name never ends in the target's extension, so a folder
        // listing by extension never shows a half-written file.
        std::string suffix(6, 'X');
        for (char& c : suffix)
            c = alphabet[rng() % (sizeof(alphabet) - 1)];
        path = (dir / (stem + suffix)).string();
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

} // namespace

namespace {

// The record as the files hold it: the text itself where it is ASCII (no
// copy of a result file's megabytes), else its conversion in `converted`.
// Throws WriteFailed.
std::string_view recordBytes(const std::string& name, const std::string& utf8, TextEncoding encoding,
                             std::string& converted) {
    if (!isBareFileName(name)) throw WriteFailed("not a bare file name", name);
    if (isAscii(utf8)) return utf8;
    if (encoding == TextEncoding::Utf8) return converted = validUtf8(utf8);
    try {
        return converted = toCp932(utf8);
    } catch (const CodePageError&) {
        throw WriteFailed("holds a character that the system's code page cannot write", name);
    }
}

// `bytes` in a new temporary beside `name`, on the disk before its path is
// returned; with `mode`, that is its mode. Throws WriteFailed.
std::string flushedTemporary(const std::filesystem::path& dir, const std::string& name,
                             std::string_view bytes, std::optional<mode_t> mode) {
    std::string tmp;
    Fd fd(createTemporary(dir, name, tmp));
    if (fd.fd < 0) throw WriteFailed("cannot be created in the working directory", name);
    size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (ok && mode) ok = ::fchmod(fd.fd, *mode) == 0;
    // The content on the disk before a name points at it: a power loss
    // after that must not leave an empty file under the name.
    if (ok) ok = ::fsync(fd.fd) == 0;
    if (::close(fd.fd) != 0) ok = false;
    fd.fd = -1;
    if (!ok) {
        ::unlink(tmp.c_str());
        throw WriteFailed("cannot be written", name);
    }
    return tmp;
}

} // namespace

std::string_view RecordWriter::fileBytes(std::string& converted) const {
    return recordBytes(name_, buffer_, encoding_, converted);
}

void RecordWriter::reserve(size_t more) {
    if (buffer_.capacity() >= buffer_.size() + more) return;
    buffer_.reserve(buffer_.size() + more);
    adviseHugePages(buffer_.data(), buffer_.capacity());
}

void RecordWriter::commit() {
    std::string converted;
    const std::string_view bytes = fileBytes(converted);
    const std::filesystem::path target = dir_ / name_;
    switch (replaceRefusal(dir_, name_)) {
    case ReplaceRefusal::None:
        break;
    case ReplaceRefusal::NameTooLong:
        throw WriteFailed("has a name longer than the folder takes", name_);
    case ReplaceRefusal::NotAFile:
        // A pipe, device or folder of that name is the user's, not an old copy of this file.
        throw WriteFailed("is not a regular file", name_);
    case ReplaceRefusal::WriteProtected:
        throw WriteProtected("is write-protected", name_);
    }
    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    const std::string tmp = flushedTemporary(
        dir_, name_, bytes, replacing ? std::optional<mode_t>(old.st_mode & 07777) : std::nullopt);
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        ::unlink(tmp.c_str());
        throw WriteFailed("cannot be written", name_);
    }
    // And the rename itself, before anyone is told the file is there.
    if (!syncFolder(dir_)) throw WriteFailed("cannot be flushed to the disk", name_);
}

bool RecordWriter::create() {
    std::string converted;
    const std::string_view bytes = fileBytes(converted);
    const std::string tmp = flushedTemporary(dir_, name_, bytes, std::nullopt);
    // A link, unlike a rename, fails where the name stands.
    const bool made = ::link(tmp.c_str(), (dir_ / name_).c_str()) == 0;
    const int why = errno;
    ::unlink(tmp.c_str());
    if (!made) {
        if (why == EEXIST) return false;
        throw WriteFailed("cannot be written", name_);
    }
    if (!syncFolder(dir_)) throw WriteFailed("cannot be flushed to the disk", name_);
    return true;
}

namespace {

// The whole file, provided it is a regular file of at most maxBytes (or, for
// a head, its first maxBytes). Opened without blocking, so a pipe or device
// in its place is refused at once.
std::string readBytes(const std::filesystem::path& workDir, const std::string& name, size_t maxBytes,
                      bool headOnly) {
    if (!isBareFileName(name)) throw FileMissing("not a bare file name", name);
    const std::filesystem::path path = workDir / name;
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.fd < 0 && errno == ENOENT) {
        struct stat link {};
        if (::lstat(path.c_str(), &link) == 0) throw DanglingLink("is a symbolic link to nothing", name);
        throw FileNotFound("cannot be opened", name);
    }
    if (fd.fd < 0) throw FileMissing("cannot be opened", name);
    struct stat st {};
    if (::fstat(fd.fd, &st) != 0) throw FileMissing("cannot be opened", name);
    if (!S_ISREG(st.st_mode)) throw NotARegularFile("is not a regular file", name);
    if (st.st_size < 0 || (!headOnly && static_cast<uint64_t>(st.st_size) > maxBytes))
        throw FileTooLarge("is larger than such a file can be", name);
    std::string bytes;
    try {
        bytes.resize(std::min(static_cast<size_t>(st.st_size), maxBytes));
    } catch (const std::exception&) {
        throw FileTooLarge("is too large to be read", name);
    }
    size_t done = 0;
    // A file that grows while it is read is taken as far as its size said.
    while (done < bytes.size()) {
        ssize_t n = ::read(fd.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw FileMissing("cannot be read", name);
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

// Always valid UTF-8: bytes that are not CP932 read as U+FFFD.
std::string decode(std::string bytes, bool& replaced) {
    if (isAscii(bytes)) return bytes; // no copy of a large all-ASCII file
    return fromCp932Lenient(bytes, &replaced);
}

} // namespace

std::string readFileBytes(const std::filesystem::path& workDir, const std::string& name, size_t maxBytes) {
    return readBytes(workDir, name, maxBytes, false);
}

RecordReader::RecordReader(const std::filesystem::path& workDir, std::string name, size_t maxBytes)
    : name_(std::move(name)) {
    data_ = decode(readFileBytes(workDir, name_, maxBytes), replaced_);
}

RecordReader RecordReader::fromBytes(std::string_view bytes, std::string name) {
    RecordReader r;
    r.name_ = std::move(name);
    r.data_ = decode(std::string(bytes), r.replaced_);
    return r;
}

RecordReader RecordReader::head(const std::filesystem::path& workDir, std::string name, size_t maxBytes) {
    RecordReader r;
    r.name_ = std::move(name);
    std::string bytes = readBytes(workDir, r.name_, maxBytes + 1, true);
    if (bytes.size() > maxBytes) {
        // Cut after the last whole line: a line feed is never part of a CP932 character.
        size_t lf = bytes.rfind('\n', maxBytes - 1);
        bytes.resize(lf == std::string::npos ? 0 : lf + 1);
    }
    r.data_ = decode(std::move(bytes), r.replaced_);
    return r;
}

void RecordReader::pastEnd() const {
    throw PastEnd("ends too early", name_);
}

bool RecordReader::atEnd() const {
    return pos_ >= data_.size();
}

int RecordReader::lineNumber() const {
    size_t upTo = pos_ < data_.size() ? pos_ : data_.size();
    if (upTo < countedPos_) countedPos_ = 0, countedLines_ = 1;
    countedLines_ += static_cast<int>(std::count(data_.begin() + static_cast<std::ptrdiff_t>(countedPos_),
                                                 data_.begin() + static_cast<std::ptrdiff_t>(upTo), '\n'));
    countedPos_ = upTo;
    return countedLines_;
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
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            ++pos_;
        else
            break;
    }
    if (atEnd()) pastEnd();
}

// After a field: blanks, then one comma or one line end belong to it.
void RecordReader::finishField() {
    while (pos_ < data_.size() && (data_[pos_] == ' ' || data_[pos_] == '\t'))
        ++pos_;
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

std::string_view RecordReader::textBetween(size_t from, size_t to) const {
    to = std::min(to, data_.size());
    from = std::min(from, to);
    return std::string_view(data_).substr(from, to - from);
}

double RecordReader::readNumber() {
    return readNumberField(false);
}

double RecordReader::readRequiredNumber() {
    return readNumberField(true);
}

double RecordReader::readNumberField(bool required) {
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
        if (!parseNumberStrict(t, v))
            throw NotANumber("holds \"" + shownText(t) + "\" where a number belongs", name_);
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
    if (field.empty() && required) throw NotANumber("holds an empty field where a number belongs", name_);
    if (!field.empty() && !parseNumberStrict(field, v))
        throw NotANumber("holds \"" + shownText(field) + "\" where a number belongs", name_);
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
        while (pos_ < data_.size() && data_[pos_] != ',' && data_[pos_] != '\r' && data_[pos_] != '\n')
            ++pos_;
    } else {
        size_t start = pos_;
        while (pos_ < data_.size() && data_[pos_] != ',' && data_[pos_] != '\r' && data_[pos_] != '\n')
            ++pos_;
        out = data_.substr(start, pos_ - start);
        while (!out.empty() && (out.back() == ' ' || out.back() == '\t'))
            out.pop_back();
    }
    finishField();
    return out;
}

} // namespace kv
