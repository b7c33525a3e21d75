#pragma once
// The physical data tables of the spectrum model, read once at start from
// the working directory, or where it has none from the data shipped with the
// program: `LoadPhysicalData(workDir)`.
//   MUs12.dat  heading line, then 250 records of 11 numbers (field reads):
//              energy, Mo, Rh, Al, Be, (6), air, (8), (9), W, Ag, in 1/cm
//   Mo-STP.dat heading line, then 20 records: energy (keV), stopping power
//              of molybdenum (any unit, the same in every row)
//   Rh-STP.dat the same for rhodium; only the rhodium target needs it, so a
//              folder without it, or with a faulty one, still draws
//              molybdenum and tungsten
// A missing file, a short one, a field that is not a number, or stopping
// powers the model cannot use (not positive, energies not ascending, not
// spanning 1 to 50 keV) are formats::FileErrors naming the file and line.
#include "kv/formats/file_error.h"
#include "kv/formats/spectrum_file.h"

#include <array>
#include <filesystem>
#include <optional>

namespace kv::spectrum {

// The spectrum file's grid, settings and file error are the model's own words.
using formats::binEnergy;
using formats::columnAngle;
using formats::FileError;
using formats::FileFault;
using formats::kBins;
using formats::kColumns;
using formats::SpectrumFields;
using formats::SpectrumTable;
using formats::TargetMaterial;

inline constexpr const char* kAttenuationFileName = "MUs12.dat";
inline constexpr const char* kStoppingPowerFileName = "Mo-STP.dat";
inline constexpr const char* kRhodiumStoppingPowerFileName = "Rh-STP.dat";
inline constexpr int kStoppingPowerRows = 20;

// Linear attenuation coefficients (1/cm) by energy bin i = 1..250 (bin 0 unused).
using AttenuationColumn = std::array<double, kBins>;

struct PhysicalData {
    // AttenuationTable
    AttenuationColumn molybdenum{}; // field 2: Mo target and Mo filter
    AttenuationColumn rhodium{};    // field 3
    AttenuationColumn aluminum{};   // field 4
    AttenuationColumn beryllium{};  // field 5
    AttenuationColumn air{};        // field 7
    AttenuationColumn field9{};     // field 9: kept, used by nothing
    AttenuationColumn tungsten{};   // field 10: W target
    AttenuationColumn silver{};     // field 11
    // StoppingPowerTable, rows 1..20 (row 0 unused)
    std::array<double, kStoppingPowerRows + 1> stoppingEnergy{};
    std::array<double, kStoppingPowerRows + 1> stoppingPower{};
    // Rh-STP.dat, rows 1..20, unless rhodiumFault says why not (the rhodium
    // target throws it).
    std::array<double, kStoppingPowerRows + 1> rhodiumStoppingEnergy{};
    std::array<double, kStoppingPowerRows + 1> rhodiumStoppingPower{};
    std::optional<FileError> rhodiumFault;
};

PhysicalData LoadPhysicalData(const std::filesystem::path& workDir);

} // namespace kv::spectrum
