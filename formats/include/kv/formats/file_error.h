#pragma once
// The one error of the exchanged files: which file, which line, what kind of
// fault. Every reader and writer of this module throws it (the record layer's
// errors are turned into it at the module's edge); a screen or tool turns it
// into the edition's message with `describe`. what() is an English detail
// "<file>, line <n>: <problem>" (no line part for a fault of the whole file)
// for tests, logs and the engines' start checks.
#include "kv/common/records.h"
#include "kv/texts/spectrum_files.h"

#include <string>

namespace kv::formats {

enum class FileFault {
    Missing,        // cannot be opened (also: not a regular file, too large, for the record files)
    EndsEarly,      // ends before an item that belongs there
    NotANumber,     // a field where a number belongs that is none
    BadValue,       // a value the format cannot take
    BadLayout,      // a line that is not what the format has there
    CannotWrite,    // the new file could not be written; the old one stays
    WriteProtected, // the old file is write-protected and stays
    // Faults of the `name = value` settings files:
    NotAFile,    // a directory, pipe or device stands where the file belongs
    Unreadable,  // exists but cannot be read
    TooLarge,    // longer than the limit the reader gives
    BadLine,     // a line without '=' or without a name
    Repeated,    // a name given twice
    UnknownName, // a name the reader does not know
    OutOfRange,  // a number outside the range the reader allows
    BadChoice,   // a word outside the words the reader allows
};

// A kv::RecordError, so that code catching the record layer's errors sees
// this one too; `file` is the bare name.
class FileError : public kv::RecordError {
  public:
    FileError(FileFault fault, std::string file, int line, const std::string& problem);
    FileFault fault;
    int line;            // 1-based; 0 when the fault concerns the whole file
    std::string setting; // of a settings file: the name whose value is at fault, when one is
    std::string value;   // and that value as the file gives it
};

// The edition's message for the user, with the file name and line filled in.
std::string describe(const FileError& e, const texts::SpectrumFileTexts& t);

// The record reader's and writer's errors as this module reports them.
[[noreturn]] void throwFromRecordError(const kv::RecordError& e, int line);

} // namespace kv::formats
