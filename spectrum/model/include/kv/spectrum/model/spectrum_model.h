#pragma once
// The spectrum model: bremsstrahlung of a molybdenum or tungsten target
// integrated over the electron's slowing-down, with the heel effect of 43
// rays, the added filtration, the air layer and, for molybdenum, the K lines.
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
