#pragma once
// The spectrum model: bremsstrahlung of a molybdenum or tungsten target
// integrated over the electron's slowing-down, with the heel effect of 43
// rays, the added filtration, the air layer and, for molybdenum, the K lines.
//
// Driven by the texts of the spectrum screen's fields (parsed leniently):
//
//   PhysicalData data = LoadPhysicalData(workDir);            // at start
//   SpectrumFields fields = {Text1, Text5, Text3, Text8, Text2, Text10, Text11, Text9, Text4};
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

// Thicknesses a beam can pass through: each filter 0 to 20 mm, air 0 to 500 cm.
inline constexpr double kMaxFilterMm = 20.0;
inline constexpr double kMaxAirLayerCm = 500.0;

enum class Filtration { Beryllium, Aluminum, Molybdenum, Rhodium, Silver, AirLayer };

// The first filtration field, in the screen's order, whose thickness is
// negative, not finite or beyond its limit; nullopt when all can be used.
std::optional<Filtration> unusableFiltration(const SpectrumFields& fields);
std::string filtrationMessage(Filtration which, const texts::SpectrumFileTexts& t);

struct SpectrumResult {
    SpectrumTable table{};
    double plotMaximum = 0; // PlotMaximum: largest value of column 0 over the computed bins
    int lastBin = 0;        // highest bin computed (integer part of 5·V, at most 250); 0 when none
    std::optional<std::string> tubeVoltageText; // the text Text1 must now show (tungsten clamp)
    // No photons in any ray: nothing to plot or to write.
    bool empty() const;
};

// Throws std::domain_error when checkDrawSpectrum(fields) does not accept.
SpectrumResult computeSpectrum(TargetMaterial target, const PhysicalData& data, const SpectrumFields& fields);

// Step 4 of the computation, on its own: columns 1..42 divided by their sum,
// entries that are then <= 1e-10 set to 0; an all-zero (or negative) sum
// leaves an all-zero table instead of dividing by it.
void normaliseSpectrumTable(SpectrumTable& table);

// The two procedures computeSpectrum chooses between, with the same precondition.
void ComputeMolybdenumSpectrum(const PhysicalData& data, const SpectrumFields& fields, SpectrumResult& out);
void ComputeTungstenSpectrum(const PhysicalData& data, const SpectrumFields& fields, SpectrumResult& out);

} // namespace kv::spectrum
