#pragma once
// The one error type of the spectrum tool's files (data tables, equipment
// record, spectrum file): which file, which line, what kind of fault. The
// screen and the batch tool turn it into the edition's message with
// `describe`; what() is an English detail for tests and logs.
#include "kv/texts/spectrum_files.h"

#include <stdexcept>
#include <string>

namespace kv::spectrum {

enum class FileFault { Missing, EndsEarly, NotANumber, BadValue, BadLayout, CannotWrite, WriteProtected };

class SpectrumFileError : public std::runtime_error {
  public:
    SpectrumFileError(FileFault fault, std::string file, int line, const std::string& detail);
    FileFault fault;
    std::string file; // bare name
    int line;         // 1-based; 0 when the fault concerns the whole file
};

// The edition's message for the user, with the file name and line filled in.
std::string describe(const SpectrumFileError& e, const texts::SpectrumFileTexts& t);

} // namespace kv::spectrum
