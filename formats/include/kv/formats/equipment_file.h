#pragma once
// The equipment record "equipment.dat", shared by the spectrum tool and the
// workbench: six lines, one item each.
//
//   1 equipment name (whole line)      4 angular range, deg
//   2 FID, cm                          5 target angle, deg
//   3 FAD, cm                          6 tube tilt angle, deg
//
// Reading: `readEquipment(workDir)` (a line read, then five field reads).
// Writing: build the six lines with the helper of the program that writes,
// then `writeEquipment(workDir, lines)`:
//   - spectrum tool, "Determine": `linesForSpectrumTool(asRead, Text5, Text3)`
//     carries lines 1-4 through (FID, FAD, range as "00.0") and writes the
//     angles as typed;
//   - workbench set-up, "OK": `linesForWorkbench(Text6, Text3, Text4, Text5,
//     asRead, edition)` writes lines 1-4 as typed and carries the angles
//     through (target angle "00.0", tilt " #0.0", in the Japanese edition "#0.0").
// Every fault is a FileError naming "equipment.dat"; a failed write
// leaves the old record in place.
#include "kv/formats/file_error.h"
#include "kv/texts/text.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace kv::formats {

// The one name of the record for every program (the file system tells case apart).
inline constexpr const char* kEquipmentFileName = "equipment.dat";

struct EquipmentRecord {
    std::string equipmentName;
    double fid = 0;
    double fad = 0;
    double angularRange = 0;
    double targetAngle = 0;
    double tubeTiltAngle = 0;
};

// The six lines exactly as they are written.
struct EquipmentLines {
    std::string equipmentName;
    std::string fid;
    std::string fad;
    std::string angularRange;
    std::string targetAngle;
    std::string tubeTiltAngle;
};

EquipmentRecord readEquipment(const std::filesystem::path& workDir);
// The command-line tools' reading: lines 2 to 6 each hold one number and
// nothing else, as a screen takes a typed value, so "65,60" or "16,5" is
// refused (NotANumber, with the line) where the field reads above take 65
// and 16. Blanks around the number and a CR LF or LF line end are allowed.
EquipmentRecord readEquipmentStrictly(const std::filesystem::path& workDir);

// Throws FileError (BadValue) for a line that holds a line break,
// which would shift every later line of the record.
void writeEquipment(const std::filesystem::path& workDir, const EquipmentLines& lines);

EquipmentLines linesForSpectrumTool(const EquipmentRecord& asRead, std::string_view targetAngleText,
                                    std::string_view tubeTiltAngleText);

EquipmentLines linesForWorkbench(std::string_view equipmentNameText, std::string_view fidText,
                                 std::string_view fadText, std::string_view angularRangeText,
                                 const EquipmentRecord& asRead, texts::Edition edition);

} // namespace kv::formats
