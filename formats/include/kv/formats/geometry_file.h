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
//   adipose_rim_mm = 5               (adipose round the curved edge too; default 0, none)
//
// `plates = absorbing` lets the paddle and the support attenuate the beam
// without scattering (the published factor tables' assumption, the protocol
// model's default); `plates = full` makes them real scatterers.
//
// And the tube's scan in tomosynthesis (tiravex; halvex reads none of it):
//
//   projections = 15                 (0: a continuous uniform sweep over the angular range;
//                                     N >= 2: N projections equally spaced from -range to +range)
//   projection_loading = 1 1 2 1 1   (each projection's share of the tube loading; default equal)
//   projection_angle = 20            (one projection at that angle, instead of a scan)
//   rotation_axis_cm = 0             (the axis's height above the detector; default FID - FAD)
//   detector_cm = 30 24              (the detector the field is collimated to: its width
//                                     along the chest wall and its depth from it)
#include "kv/formats/settings_file.h"
#include "kv/texts/settings_files.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::formats {

inline constexpr const char* kGeometryFileName = "Geometry.dat";
inline constexpr double kMaxPlateMm = 10.0;

inline constexpr double kMaxAdiposeMm = 20.0;
// A rim as thick as the thickest layer: the inner region keeps 6 of the 8 cm radius.
inline constexpr double kMaxAdiposeRimMm = 20.0;
inline constexpr int kMaxProjections = 40;          // each per-projection list fits one trailer line
inline constexpr double kMaxProjectionAngle = 60.0; // degrees either way, the sweep's limit
inline constexpr double kMaxRotationAxisCm = 500.0; // below the focus: the engine checks the FID
inline constexpr double kMinDetectorCm = 1.0, kMaxDetectorCm = 100.0;

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
    double adiposeRimMm = 0.0; // round the curved edge, between the layers
    double glandularPercent = 50.0;
    PlateMode plates = PlateMode::Full;
    // The tomosynthesis scan: 0 projections a continuous uniform sweep,
    // N >= 2 discrete ones from -range to +range; their shares of the tube
    // loading as given (empty: equal; the engine scales them to sum 1).
    int projections = 0;
    std::vector<double> projectionLoading = {};
    std::optional<double> projectionAngle = {};            // one projection at this angle, degrees
    std::optional<double> rotationAxisCm = {};             // above the detector; none: FID - FAD
    double detectorWidthCm = 30.0, detectorDepthCm = 24.0; // along X (the chest wall), along Y
    bool operator==(const Geometry&) const = default;
};

// The protocol model as Geometry.dat gives it when only `model = protocol` is set.
Geometry protocolGeometry();

// "polycarbonate" or "pmma", as the file writes it.
std::string_view materialWord(PlateMaterial m);
// "polycarbonate" or "PMMA", as a header line or a caption shows it.
std::string_view materialName(PlateMaterial m);

// Throws FileError naming the file and, where it applies, the line; a
// protocol-model setting without `model = protocol` is refused (BadValue),
// so are scan keys that contradict each other (a loading without its
// projections, a single angle beside a scan).
Geometry readGeometry(const std::filesystem::path& workDir);
// Replaces the file whole; throws FileError (the old file stays), and
// std::invalid_argument for a value the reader would refuse (callers check first).
void writeGeometry(const std::filesystem::path& workDir, const Geometry& g);

// The edition's message for a refused or unwritable Geometry.dat.
std::string describe(const kv::RecordError& e, const texts::SettingsFileTexts& t);

} // namespace kv::formats
