#pragma once
// "Edition.dat": which edition's words an engine speaks. The engines are one
// program for both editions and take no arguments from the workbench, so the
// workbench writes `edition = en` or `edition = ja` here at "Simulation
// Start"; an engine without the file speaks English.
#include "kv/texts/text.h"

#include <filesystem>

namespace kv::formats {

inline constexpr const char* kEditionFileName = "Edition.dat";

// Throws FileError when it cannot be written; the old file stays.
void writeEditionFile(const std::filesystem::path& workDir, texts::Edition edition);
// English without the file, and for one that names no edition. Throws
// FileError (NotAFile, Unreadable, TooLarge) for what stands in its place but
// cannot be read: a folder, pipe, link to nothing or a file nobody may read.
texts::Edition readEditionFile(const std::filesystem::path& workDir);

} // namespace kv::formats
