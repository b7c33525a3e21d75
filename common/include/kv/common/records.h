#pragma once
// Text records: the line-oriented files the programs exchange. Files are
// named by bare name inside an explicit working directory, written with CR LF
// in CP932, and replaced only once their new content is complete.
#include "kv/common/format.h"

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kv {

struct RecordError : std::runtime_error {
    RecordError(const std::string& what, std::string fileName)
        : std::runtime_error(what), file(std::move(fileName)) {}
    std::string file; // bare name of the file concerned
};
struct FileMissing : RecordError {
    using RecordError::RecordError;
};
// Nothing of that name: for callers to whom that means "defaults".
struct FileNotFound : FileMissing {
    using FileMissing::FileMissing;
};
// A symbolic link to nothing (a share not mounted, a file moved): something
// stands there, so no caller takes it for "no file".
struct DanglingLink : FileMissing {
    using FileMissing::FileMissing;
};
// Refusals before any byte is read; callers that only know FileMissing give
// them the same message.
struct NotARegularFile : FileMissing {
    using FileMissing::FileMissing;
};
struct FileTooLarge : FileMissing {
    using FileMissing::FileMissing;
};
struct PastEnd : RecordError {
    using RecordError::RecordError;
};
struct NotANumber : RecordError {
    using RecordError::RecordError;
};
struct WriteFailed : RecordError {
    using RecordError::RecordError;
};
// The target exists and its mode lets nobody write it.
struct WriteProtected : WriteFailed {
    using WriteFailed::WriteFailed;
};

// True for a name that stays inside the working directory: not empty, no
// path separator, no control character, not "." or "..".
bool isBareFileName(std::string_view name);

// Why a new file named `name` could not take its place in `workDir`: what a
// writer refuses before it writes, and a long run checks before it starts.
enum class ReplaceRefusal {
    None,
    NameTooLong,    // longer than the folder's file system takes
    NotAFile,       // a folder, pipe, device or socket of that name (or a link to one)
    WriteProtected, // an older file that its mode protects
};
ReplaceRefusal replaceRefusal(const std::filesystem::path& workDir, std::string_view name);
// The longest file name `dir` takes, in bytes.
size_t maxNameBytes(const std::filesystem::path& dir);

// Makes the folder's entries (a rename just done in it) outlive a power
// loss. False when the file system says it could not.
bool syncFolder(const std::filesystem::path& dir);

// Upper bounds on what a reader takes in. A file larger than its format can
// hold is refused before it is read, so memory stays bounded whatever lies
// in the folder.
inline constexpr size_t kSmallFileMaxBytes = 64 * 1024;              // one-item-per-line run files
inline constexpr size_t kDefaultMaxBytes = size_t{64} * 1024 * 1024; // any other record file

// The whole of a regular file of at most maxBytes, opened without blocking
// (a pipe or device in its place is refused at once) and read into memory no
// larger than the file. Throws FileNotFound, DanglingLink, FileMissing,
// NotARegularFile and FileTooLarge.
std::string readFileBytes(const std::filesystem::path& workDir, const std::string& name, size_t maxBytes);

// How a writer puts its text on the disk: CP932, the system's files' code
// page, or UTF-8 for tables of our own that hold any name a folder can.
enum class TextEncoding { Cp932, Utf8 };

class RecordWriter {
  public:
    RecordWriter(std::filesystem::path workDir, std::string name,
                 TextEncoding encoding = TextEncoding::Cp932);
    ~RecordWriter();
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    RecordWriter& text(std::string_view s);                       // stays on the line
    RecordWriter& number(double value, std::string_view pattern); // stays on the line
    RecordWriter& number(double value, const NumberPattern& pattern) {
        pattern.appendTo(buffer_, value);
        return *this;
    }
    // count numbers joined by the separator, all in one pattern: number()'s
    // texts, a row at a time.
    RecordWriter& numbers(const double* values, size_t count, const NumberPattern& pattern, char separator) {
        pattern.appendRow(buffer_, values, count, separator);
        return *this;
    }
    RecordWriter& endLine();
    // Room for this many more bytes at once: a content of megabytes then
    // takes its memory once, not by doubling.
    void reserve(size_t more);
    RecordWriter& line(std::string_view s) { return text(s).endLine(); }
    RecordWriter& numberLine(double value, std::string_view pattern) {
        return number(value, pattern).endLine();
    }

    // Writes the whole content to a temporary file beside the target, flushes
    // it to the disk, renames it over the target and flushes the folder, so
    // that once commit returns the new file outlives a power loss. A new file
    // gets the mode the umask leaves of 0666, a replaced file keeps its own;
    // a target that replaceRefusal refuses is refused. Throws WriteFailed
    // (WriteProtected); the old file stays.
    void commit();
    // As commit, but only where nothing of that name stands: the file appears
    // whole under its name or not at all, also on a folder that other
    // machines share. False when something of that name stands (it is left
    // as it is); throws WriteFailed.
    bool create();
    const std::string& content() const { return buffer_; }
    // The bytes commit would write: the content itself where it is ASCII,
    // else its conversion, kept in `converted`. Throws WriteFailed.
    std::string_view fileBytes(std::string& converted) const;

  private:
    std::filesystem::path dir_;
    std::string name_;
    std::string buffer_; // UTF-8
    TextEncoding encoding_;
};

class RecordReader {
  public:
    // Throws FileMissing when the file cannot be opened, NotARegularFile for
    // a folder, pipe or device (never waiting on it) and FileTooLarge beyond
    // maxBytes.
    RecordReader(const std::filesystem::path& workDir, std::string name, size_t maxBytes = kDefaultMaxBytes);
    // Reads from bytes already in memory (CP932), as if from a file of that name.
    static RecordReader fromBytes(std::string_view bytes, std::string name);
    // Bytes that are not CP932 read as U+FFFD; true when the file held any.
    bool replacedBytes() const { return replaced_; }
    // Reads only the first whole lines within maxBytes of a long file, for a
    // caller that needs its head alone. Throws FileMissing.
    static RecordReader head(const std::filesystem::path& workDir, std::string name, size_t maxBytes);

    // The next line whole, without its line end (CR LF or LF). Throws PastEnd.
    std::string readLine();
    // Field reads: leading blanks and line ends skipped; a field ends at a
    // comma or a line end (a number also at a blank). Throws PastEnd, and
    // NotANumber for a field that is not a number; an empty field reads as 0.
    double readNumber();
    // As readNumber, but an empty field ("1,,2") throws NotANumber: where
    // every field is a value, reading it as 0 would shift the ones after it.
    double readRequiredNumber();
    // A quoted field gives the text between the quotes.
    std::string readText();
    bool atEnd() const;
    // The 1-based line the reader stands in (after a failed field read: the
    // line of that field), for messages that point into the file.
    int lineNumber() const;
    const std::string& name() const { return name_; }
    // Where the reader stands in its (UTF-8) text, the text between two such
    // places, and a return to one of them.
    size_t offset() const { return pos_; }
    std::string_view textBetween(size_t from, size_t to) const;
    void seek(size_t offset) { pos_ = offset < data_.size() ? offset : data_.size(); }
    std::string_view text() const { return data_; }

  private:
    double readNumberField(bool required);
    RecordReader() = default;
    void skipFieldStart();
    void finishField();
    [[noreturn]] void pastEnd() const;
    std::string name_;
    std::string data_; // UTF-8
    size_t pos_ = 0;
    bool replaced_ = false;
    // Where lineNumber() last counted to, so counting stays linear over a file.
    mutable size_t countedPos_ = 0;
    mutable int countedLines_ = 1;
};

} // namespace kv
