#pragma once
// Geometry.dat: the compression paddle and the breast support of the user's
// unit, `name = value` lines in the working folder. The spectrum tool reads
// the paddle for the half-value layer measured through it; the engines model
// both plates as the file says. A missing file or name keeps the plates the
// engines always had.
//
//   paddle_mm = 1.5                  support_mm = 2
//   paddle_material = polycarbonate  support_material = pmma
//
// It also chooses the breast model of the engines: the workbench's box of
// one composition (no `model` line), or the protocol model, a half-cylinder
// with an adipose layer on top and bottom over a mixed inner region:
//
//   model = protocol   adipose_mm = 5   glandular_percent = 50   plates = absorbing
//
// `plates = absorbing` lets the paddle and the support attenuate the beam
// without scattering (the published factor tables' assumption, the protocol
// model's default); `plates = full` makes them real scatterers.
#include "kv/formats/settings_file.h"
#include "kv/texts/settings_files.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace kv::formats {

inline constexpr const char* kGeometryFileName = "Geometry.dat";
inline constexpr double kMaxPlateMm = 10.0;

inline constexpr double kMaxAdiposeMm = 20.0;

enum class PlateMaterial { Polycarbonate, Pmma };
enum class BreastModel { Workbench, Protocol };
enum class PlateMode { Full, Absorbing };

struct Geometry {
    double paddleMm = 1.5;
    PlateMaterial paddleMaterial = PlateMaterial::Polycarbonate;
    double supportMm = 2.0;
    PlateMaterial supportMaterial = PlateMaterial::Pmma;
    BreastModel model = BreastModel::Workbench;
    // The protocol model's: the adipose layer on top and bottom, the inner
    // region's glandular share by weight, and how the plates take part.
    double adiposeMm = 5.0;
    double glandularPercent = 50.0;
    PlateMode plates = PlateMode::Full;
    bool operator==(const Geometry&) const = default;
};

// The protocol model as Geometry.dat gives it when only `model = protocol` is set.
Geometry protocolGeometry();

// "polycarbonate" or "pmma", as the file writes it.
std::string_view materialWord(PlateMaterial m);
// "polycarbonate" or "PMMA", as a header line or a caption shows it.
std::string_view materialName(PlateMaterial m);

// Throws FileError naming the file and, where it applies, the line; a
// protocol-model setting without `model = protocol` is refused (BadValue).
Geometry readGeometry(const std::filesystem::path& workDir);
// Replaces the file whole; throws FileError (the old file stays), and
// std::invalid_argument for a thickness outside 0..10 mm (callers check first).
void writeGeometry(const std::filesystem::path& workDir, const Geometry& g);

// The edition's message for a refused or unwritable Geometry.dat.
std::string describe(const kv::RecordError& e, const texts::SettingsFileTexts& t);

} // namespace kv::formats
