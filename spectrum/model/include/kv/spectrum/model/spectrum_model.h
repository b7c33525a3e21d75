#pragma once
// The spectrum model: bremsstrahlung of a molybdenum, tungsten or rhodium
// target integrated over the electron's slowing-down, with the heel effect of
// 43 rays, the added filtration, the air layer and, for molybdenum and
// rhodium, the K lines.
//
// Driven by the texts of the spectrum screen's fields (parsed leniently):
//
//   PhysicalData data = LoadPhysicalData(workDir);            // at start
//   SpectrumFields fields = {Text1, Text5, Text3, Text8, Text2, Text10, Text11, Text9, Text4};
//   if (auto r = refusedOnScreen(fields, target)) show(fieldRefusalMessage(*r, ...));
//   fields = typedFields(fields);
//   DrawCheck c = checkDrawSpectrum(fields);                  // "Draw spectrum"
//   if (c != DrawCheck::Accepted) show(refusalMessage(c, texts));
//   else {
//       SpectrumResult r = computeSpectrum(TargetMaterial, data, fields);
//       if (r.tubeVoltageText) Text1 = *r.tubeVoltageText;    // tungsten clamp
//       plot column r.table[0] for bins 2..r.lastBin, scaled by r.plotMaximum
//       (an empty result has plotMaximum 0: draw no curve)
//   }
//   writeSpectrumFile(workDir, TargetMaterial, fields, r.table, labels)  // "Determine"
//
// Columns 1..42 of the table are normalised to sum 1 together; column 0 keeps
// its raw values for the plot. The arithmetic follows a fixed order (π as
// 3.14159, slice energies by repeated addition), so results are reproducible
// to the last digit.
#include "kv/common/constants.h"
#include "kv/common/typed_number.h"
#include "kv/formats/spectrum_file.h"
#include "kv/spectrum/model/physical_data.h"
#include "kv/texts/spectrum_files.h"

#include <optional>
#include <string>
#include <string_view>

namespace kv::spectrum {

// The checks of "Draw spectrum", in the order they are made.
enum class DrawCheck {
    Accepted,
    TubeVoltageTooHigh,    // Text1 > 50
    AngleCannotCoverField, // Text5 + Text3 <= 20.3
    TubeTiltOutOfRange,    // a computed ray would reach 45° or more from the tilted tube axis
    TargetAngleOutOfRange, // a computed ray would have no positive exit path through the target
};

DrawCheck checkDrawSpectrum(const SpectrumFields& fields);
std::string_view refusalMessage(DrawCheck check, const texts::SpectrumFileTexts& t);

// The fields as typed are read strictly (kv/common/typed_number.h): a field
// that is not entirely a number, or holds a value no tube can have, is
// refused before the lenient reading of the model sees it.
enum class SpectrumField {
    TubeVoltage,
    TargetAngle,
    TubeTiltAngle,
    Beryllium,
    Aluminum,
    Molybdenum,
    Rhodium,
    Silver,
    AirLayer
};

// Thicknesses a beam can pass through: each filter 0 to 20 mm, air 0 to 500 cm.
using kv::kMaxAirLayerCm;
using kv::kMaxFilterMm;
// The tube voltages the model is made for (15 to 50 kV). The spectrum screen
// draws tungsten below the lowest at the lowest and shows that in its field;
// the command-line tools refuse it, as they refuse molybdenum there.
using kv::kMaxTubeVoltage;
using kv::kMinTubeVoltage;
// Target angles above 0 up to 45 degrees, tilts up to 30 degrees either way.
using kv::kMaxTargetAngle;
using kv::kMaxTubeTilt;

NumberRange fieldRange(SpectrumField field);

struct FieldRefusal {
    SpectrumField field;
    TypedNumber number;
};

// The first field, in the order tube voltage, target angle, tilt, Be, Al,
// Mo, Rh, Ag, air, that is not a number within its range; nullopt when all are.
std::optional<FieldRefusal> refusedField(const SpectrumFields& fields);
// The same on the spectrum screen: a tungsten tube voltage above 0 and below
// the lowest passes, to be drawn at the lowest.
std::optional<FieldRefusal> refusedOnScreen(const SpectrumFields& fields, TargetMaterial target);

// The fields as the model and the files take them: each one's ASCII form
// ("\uFF12\uFF18" gives "28"). Only for fields that refusedField accepts.
SpectrumFields typedFields(const SpectrumFields& fields);

// The field's name as its label says it ("Tube voltage", "Beryllium").
std::string fieldName(SpectrumField field, const texts::SpectrumFileTexts& t);

// A refusal in the edition's words. A tube voltage above the maximum keeps
// the screen's own message first, with the field and the text as its detail.
struct FieldMessage {
    std::string text;
    std::string detail; // empty when the text says it all
};
FieldMessage fieldRefusalMessage(const FieldRefusal& r, std::string_view name,
                                 const texts::SpectrumFileTexts& t, const texts::TypedNumberTexts& numbers);

struct SpectrumResult {
    SpectrumTable table{};
    double plotMaximum = 0; // PlotMaximum: largest value of column 0 over the computed bins
    int lastBin = 0;        // highest bin computed (integer part of 5·V, at most 250); 0 when none
    std::optional<std::string> tubeVoltageText; // the text Text1 must now show (tungsten clamp)
    // No photons in any ray: nothing to plot or to write.
    bool empty() const;
};

// The filter fields a click on the target's option sets (Be, Al, Mo, Rh):
// 0.8, 0, 0.03, 0 for molybdenum; 0.8, 0, 0, 0.025 for tungsten; 0, 0, 0,
// 0.025 for rhodium. The tools take them for what a user leaves out.
struct TargetFilters {
    const char* beryllium;
    const char* aluminum;
    const char* molybdenum;
    const char* rhodium;
};
TargetFilters targetFilters(TargetMaterial target);

// Throws std::domain_error when checkDrawSpectrum(fields) does not accept,
// and for rhodium the FileError of Rh-STP.dat when it could not be read.
SpectrumResult computeSpectrum(TargetMaterial target, const PhysicalData& data, const SpectrumFields& fields);

// The highest bin a tube voltage fills: the integer part of 5·V, at most
// 250; 0 below two bins.
int lastBinOf(double tubeVoltage);

// Step 4 of the computation, on its own: columns 1..42 divided by their sum,
// entries that are then <= 1e-10 set to 0; an all-zero (or negative) sum
// leaves an all-zero table instead of dividing by it.
void normaliseSpectrumTable(SpectrumTable& table);

// The procedures computeSpectrum chooses between, with the same precondition.
void ComputeMolybdenumSpectrum(const PhysicalData& data, const SpectrumFields& fields, SpectrumResult& out);
void ComputeTungstenSpectrum(const PhysicalData& data, const SpectrumFields& fields, SpectrumResult& out);

// The rhodium target, built as the molybdenum one is: its density, its
// attenuation (the Rh column of MUs12.dat) along the exit path, its stopping
// power (Rh-STP.dat), the Whiddington penetration depth, a shape polynomial
// W(u) = 1 + s1·u + s2·u² + s3·u³ + s4·u⁴ whose coefficients move linearly
// with the tube voltage, and its K lines. Each line adds f(V) · share times
// the filtered bremsstrahlung of its own bin, f(V) = scale · (V / E_K −
// 1)^power for Kα and Kβ apart, nothing up to the K edge. The shape and the
// line fractions are fitted to the measured rhodium catalogue by
// kv-fit-rhodium (data/README.md).
inline constexpr double kRhodiumDensity = 12.41; // g/cm³
inline constexpr double kRhodiumKEdge = 23.2199; // keV, xraylib

struct RhodiumConstants {
    std::array<double, 4> shape; // s1..s4 at 30 kV
    std::array<double, 4> slope; // their change per 10 kV
    double alphaScale, alphaPower;
    double betaScale, betaPower;
};
// kv-fit-rhodium over the catalogue's 20-50 kV spectra.
inline constexpr RhodiumConstants kRhodiumConstants{{-5.80072, 13.6083, -14.0577, 5.37941},
                                                    {-0.0842714, 0.702642, -1.21098, 0.635874},
                                                    33.594,
                                                    0.889603,
                                                    8.2387,
                                                    0.723206};

// A K line: the bin holding xraylib's energy (keV / 0.2, rounded), its share
// of its group's radiative rate, and its group.
struct RhodiumLine {
    int bin;
    double share;
    bool alpha;
};
inline constexpr RhodiumLine kRhodiumLines[] = {
    {101, 0.65446, true},  // Kα1 20.216 keV
    {100, 0.34554, true},  // Kα2 20.074 keV
    {114, 0.59595, false}, // Kβ1 22.724 keV
    {113, 0.30588, false}, // Kβ3 22.699 keV
    {116, 0.09818, false}, // Kβ2 23.172 keV
};

// f(V) of Kα and Kβ.
std::array<double, 2> rhodiumLineFractions(double tubeVoltage, const RhodiumConstants& c);

// Throws the FileError of Rh-STP.dat when the data have no rhodium rows, and
// std::domain_error when checkDrawSpectrum(fields) does not accept.
void computeRhodiumSpectrum(const PhysicalData& data, const SpectrumFields& fields, SpectrumResult& out,
                            const RhodiumConstants& constants = kRhodiumConstants);

// One ray `angle` degrees from the vertical line, as the table's columns are
// computed (photons per bin, not normalised; bins 2..lastBinOf(V)), for any
// angle the fields' tube gives an exit path at, without the checks of "Draw
// spectrum": a measured tube's own central ray where the field check would
// refuse its anode angle. Tungsten is not clamped here.
std::array<double, kBins> raySpectrum(TargetMaterial target, const PhysicalData& data,
                                      const SpectrumFields& fields, double angle,
                                      const RhodiumConstants& rhodium = kRhodiumConstants);

} // namespace kv::spectrum
