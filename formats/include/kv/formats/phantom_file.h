#pragma once
// "Phantom.dat": the phantom chosen on the phantom screen, read by the engines.
// Five lines: fraction entry, composition file name, X size, Y size, thickness.
#include "kv/formats/file_error.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace kv::formats {

inline constexpr std::string_view kPhantomFileName = "Phantom.dat";

struct PhantomFile {
    std::string fractionText;    // line 1: the list entry as chosen, e.g. "50"
    std::string compositionFile; // line 2: "BR12-50.dat"
    double sizeX = 15.0;         // line 3, cm
    double sizeY = 15.0;         // line 4, cm
    double thickness = 0.0;      // line 5, cm
};

// "BR12-" + entry + ".dat".
std::string compositionFileName(std::string_view fractionEntry);

// Writes Phantom.dat from what the phantom screen holds: the text of the
// selected fraction entry ("10" .. "90") and the text of the thickness box as
// typed (read leniently, so "4.26" gives "4.3" and "abc" gives "0.0").
// Throws FileError (CannotWrite, WriteProtected); an existing file stays
// untouched then.
void writePhantomFile(const std::filesystem::path& workDir, std::string_view fractionEntry,
                      std::string_view thicknessText);

// Reads Phantom.dat. Throws FileError (Missing, EndsEarly or NotANumber),
// whose message names the line and what belongs there.
PhantomFile readPhantomFile(const std::filesystem::path& workDir);

} // namespace kv::formats
