#pragma once
// The spectrum file "P_SPCTL.dat": the tube settings, then one line per
// 0.2 keV bin with the relative photon fluence of the 42 rays.
//
// Writing ("Determine"): `writeSpectrumFile(workDir, target, fields, table,
// labels)` formats the screen's field texts (not the numbers of the last
// computation) and columns 1..42 of the table; 260 lines, CR LF, CP932.
// Reading (the engine): `readSpectrumFile(workDir)` accepts either edition's
// labels and gives the settings and the table back with the writer's
// indices; any other layout is a FileError naming the line.
// Cancelling: `deleteSpectrumFile(workDir)`, which removes the exact-values
// file beside it too.
#include "kv/common/constants.h"
#include "kv/formats/file_error.h"
#include "kv/formats/tube_materials.h"
#include "kv/texts/spectrum_files.h"

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace kv::formats {

inline constexpr const char* kSpectrumFileName = "P_SPCTL.dat";

// Line 1 of the spectrum file for the target, in the edition of `labels`.
const texts::Text& targetLabel(TargetMaterial target, const texts::SpectrumFileLabels& labels);

// Columns k = 0..42: the ray at `columnAngle(k)` degrees from the vertical
// line (column 0 is the vertical line, plotted only; 1..42 are written).
// Bins i = 0..250: photon energy 0.2·i keV (bin 0 unused, bin 1 always 0).
inline constexpr int kColumns = 43;
inline constexpr int kBins = kv::kSpectrumBins + 1;
// Line 1 the target, lines 2..10 the settings; bin i stands in line 10 + i.
inline constexpr int kSpectrumHeaderLines = 10;
using SpectrumTable = std::array<std::array<double, kBins>, kColumns>;

constexpr double columnAngle(int k) {
    return k == 0 ? 0.0 : 0.5 * k - 0.25;
}
constexpr double binEnergy(int i) {
    return kv::kBinKev * i;
}
// The last bin the file holds is the highest tube voltage.
static_assert(binEnergy(kBins - 1) == kv::kMaxTubeVoltage);

// The texts of the spectrum screen's fields, as typed.
struct SpectrumFields {
    std::string tubeVoltage = "30";  // Text1, kV
    std::string targetAngle = "16";  // Text5, deg
    std::string tubeTiltAngle = "6"; // Text3, deg
    std::string beryllium = "0.8";   // Text8, mm
    std::string aluminum = "0";      // Text2, mm
    std::string molybdenum = "0.03"; // Text10, mm
    std::string rhodium = "0";       // Text11, mm
    std::string silver = "0";        // Text9, mm
    std::string airLayer = "60";     // Text4, cm
    bool operator==(const SpectrumFields&) const = default;
};

void writeSpectrumFile(const std::filesystem::path& workDir, TargetMaterial target,
                       const SpectrumFields& fields, const SpectrumTable& table,
                       const texts::SpectrumFileLabels& labels,
                       const std::string& fileName = kSpectrumFileName);

// The bytes the writer would put in the file (UTF-8 labels), for checks.
std::string spectrumFileText(TargetMaterial target, const SpectrumFields& fields, const SpectrumTable& table,
                             const texts::SpectrumFileLabels& labels);

struct SpectrumFileContents {
    TargetMaterial target = TargetMaterial::Molybdenum;
    double tubeVoltage = 0;   // kV
    double targetAngle = 0;   // deg
    double tubeTiltAngle = 0; // deg
    double beryllium = 0;     // mm
    double aluminum = 0;      // mm
    double molybdenum = 0;    // mm
    double rhodium = 0;       // mm
    double silver = 0;        // mm
    double airLayer = 0;      // cm
    SpectrumTable table{};    // columns 1..42, bins 1..250 as written; column 0 and bin 0 are 0
    std::string contentHash;  // of the bytes read
    bool exact = false;       // the settings are the exact ones of the side file
};

SpectrumFileContents readSpectrumFile(const std::filesystem::path& workDir,
                                      const std::string& fileName = kSpectrumFileName);

// Removes the spectrum file and its exact-values file; a missing file is no error.
void deleteSpectrumFile(const std::filesystem::path& workDir);

// The header of P_SPCTL.dat rounds the settings to its patterns (Al 0.631 mm
// reads "0.63 mm"). The values the table was computed with go beside it, in
// a `name = value` file that records the hash of P_SPCTL.dat's content, so
// that it is used only with the very file it was written for.
inline constexpr const char* kSpectrumExactFileName = "P_SPCTL.exact.dat";

// The side file of a spectrum file of another name: "NAME.dat" has
// "NAME.exact.dat" beside it (P_SPCTL.dat's is kSpectrumExactFileName).
std::string spectrumExactFileName(std::string_view spectrumFileName);

// Writes the side file for the spectrum file `fileName` now in `workDir`;
// `fields` are the typed texts the table was computed with (ASCII numbers).
// Throws FileError.
void writeSpectrumExactFile(const std::filesystem::path& workDir, const SpectrumFields& fields,
                            const std::string& fileName = kSpectrumFileName);

// Replaces the settings of `c` (read from workDir's P_SPCTL.dat) with the
// side file's when it records c's content hash and each of its values shows
// as the header does; otherwise leaves `c` alone. True when it replaced them.
// Throws FileError (NotAFile, Unreadable, TooLarge) for a folder, pipe, link
// to nothing or unreadable file in the side file's place.
bool applySpectrumExactFile(const std::filesystem::path& workDir, SpectrumFileContents& c);

} // namespace kv::formats
