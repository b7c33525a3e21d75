#include "kv/formats/file_error.h"

#include "kv/common/typed_number.h"

namespace kv::formats {

FileError::FileError(FileFault f, std::string fileName, int lineNo, const std::string& problem)
    : kv::RecordError(shownText(fileName) +
                          (lineNo > 0 ? ", line " + std::to_string(lineNo) : std::string()) + ": " + problem,
                      fileName),
      fault(f), line(lineNo) {}

namespace {
void replaceAll(std::string& s, std::string_view key, const std::string& by) {
    for (size_t at = s.find(key); at != std::string::npos; at = s.find(key, at + by.size()))
        s.replace(at, key.size(), by);
}
} // namespace

std::string describe(const FileError& e, const texts::SpectrumFileTexts& t) {
    std::string s;
    switch (e.fault) {
    case FileFault::Missing:
    case FileFault::NotAFile:
    case FileFault::Unreadable:
    case FileFault::TooLarge:
        s = t.fileMissing.str();
        break;
    case FileFault::EndsEarly:
        s = t.fileEndsEarly.str();
        break;
    case FileFault::NotANumber:
        s = t.fileNotANumber.str();
        break;
    case FileFault::BadValue:
    case FileFault::OutOfRange:
    case FileFault::BadChoice:
        s = t.fileBadValue.str();
        break;
    case FileFault::BadLayout:
    case FileFault::BadLine:
    case FileFault::Repeated:
    case FileFault::UnknownName:
        s = t.fileBadLayout.str();
        break;
    case FileFault::CannotWrite:
        s = t.fileCannotWrite.str();
        break;
    case FileFault::WriteProtected:
        s = t.fileWriteProtected.str();
        break;
    }
    replaceAll(s, "{file}", shownText(e.file));
    replaceAll(s, "{line}", std::to_string(e.line));
    return s;
}

void throwFromRecordError(const kv::RecordError& e, int line) {
    if (const auto* already = dynamic_cast<const FileError*>(&e)) throw *already;
    FileFault f = FileFault::BadLayout;
    if (dynamic_cast<const kv::FileMissing*>(&e))
        f = FileFault::Missing, line = 0;
    else if (dynamic_cast<const kv::PastEnd*>(&e))
        f = FileFault::EndsEarly;
    else if (dynamic_cast<const kv::NotANumber*>(&e))
        f = FileFault::NotANumber;
    else if (dynamic_cast<const kv::WriteProtected*>(&e))
        f = FileFault::WriteProtected, line = 0;
    else if (dynamic_cast<const kv::WriteFailed*>(&e))
        f = FileFault::CannotWrite, line = 0;
    throw FileError(f, e.file, line, e.what());
}

} // namespace kv::formats
