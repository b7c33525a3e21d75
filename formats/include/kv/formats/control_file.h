#pragma once
// "MC.dat": the simulation control file written by the set-up screen's "OK"
// and read by the engines. Nine lines, one item each.
#include "kv/formats/file_error.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace kv::formats {

inline constexpr std::string_view kControlFileName = "MC.dat";
inline constexpr std::string_view kResultExtension = ".vesk";

// The values the set-up screen holds when "OK" is pressed. Texts are taken
// as typed and read leniently; fcdSetting is the number already chosen from
// the FAD box or the other-distance box.
struct ControlFileInput {
    std::string_view fidText;          // FID box
    std::string_view fadText;          // FAD box
    double fcdSetting = 0.0;           // cm
    std::string_view angularRangeText; // tomosynthesis range box, degrees
    std::string_view historiesText;    // history count box
    std::string_view resultName;       // result name without extension, as typed
    std::string_view equipmentName;    // equipment name box, as typed
};

struct ControlFile {
    double fieldX = 15.0;      // line 1, cm at the FID
    double fieldY = 15.0;      // line 2
    double fid = 0.0;          // line 3, cm
    double fad = 0.0;          // line 4, cm
    double fcd = 0.0;          // line 5, cm
    double angularRange = 0.0; // line 6, degrees (plus and minus)
    double histories = 0.0;    // line 7
    std::string resultFile;    // line 8, with its extension
    std::string equipmentName; // line 9
};

// Writes MC.dat ("15.0", "15.0", FID, FAD and FCD with "000.0", the range
// with "000.0", the count with "0.0E+00", name + ".vesk", equipment name).
// Throws FileError (CannotWrite, WriteProtected); an existing file stays
// untouched then.
void writeControlFile(const std::filesystem::path& workDir, const ControlFileInput& in);

// Reads MC.dat. Throws FileError (Missing, EndsEarly or NotANumber), whose
// message names the line and what belongs there.
ControlFile readControlFile(const std::filesystem::path& workDir);

} // namespace kv::formats
