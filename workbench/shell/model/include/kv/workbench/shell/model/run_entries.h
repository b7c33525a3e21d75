#pragma once
// What the phantom screen, the set-up screen and its paddle-and-support
// dialog do with their entries at "OK", without the screens: the strict
// reading of every number, the refusals, and the files written. The screens
// and kv-case both go through here, so a file written from the same entries
// is the same file.
#include "kv/common/typed_number.h"
#include "kv/formats/equipment_file.h"
#include "kv/formats/geometry_file.h"
#include "kv/texts/settings_files.h"
#include "kv/texts/spectrum_files.h"
#include "kv/texts/text.h"
#include "kv/texts/typed_number.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kv::shell {

// A refusal as a message box shows it: the message and the detail under it.
// Nothing was written when one is given.
struct Refusal {
    std::string text;
    std::string detail;
};

// The nine entries of the fraction list, and the entries the screen opens with.
std::span<const char* const> fractionEntries();
inline constexpr const char* kStartFraction = "50";
inline constexpr const char* kStartThickness = "5";
inline constexpr const char* kStartHistories = "1000000000";

struct PhantomEntries {
    std::string fraction = kStartFraction;   // List2's entry
    std::string thickness = kStartThickness; // Text31 as typed
};

// How the phantom's refusals name its entry and word their faults: the screen
// gives its captions, kv-case its options.
struct PhantomWords {
    std::string_view thickness; // the entry, as the refusal names it
    std::string_view cm;
    std::string_view notAFraction; // %1: the entry; empty where only the nine can be chosen
    std::string_view cannotWrite;  // %1: the file name
    const texts::TypedNumberTexts& numbers;
};

// Writes Phantom.dat, or refuses (the old file stays). `write` false only
// checks, as checkPhantom does.
std::optional<Refusal> acceptPhantom(const std::filesystem::path& workDir, const PhantomEntries& e,
                                     const PhantomWords& w, bool write = true);
// What acceptPhantom would refuse, without writing.
std::optional<Refusal> checkPhantom(const PhantomEntries& e, const PhantomWords& w);

struct SetUpEntries {
    std::string equipmentName;               // Text6
    std::string fid;                         // Text3, cm
    std::string fad;                         // Text4, cm
    std::string angularRange;                // Text5, deg
    std::string histories = kStartHistories; // Text11
    bool otherFcd = false;                   // Option5 rather than Option4 "FAD"
    std::string fcd;                         // Text1, cm; the FAD's text while otherFcd is false
    std::string resultName;                  // Text12, without ".vesk"
    std::string sagdTarget;                  // TextSagd, %; empty for none
    std::string mapTarget;                   // TextMapSigma, %; empty for none
};

// The entries the screen opens with for the record `r`, with the targets
// RunOptions.dat holds in `workDir`.
SetUpEntries openingEntries(const std::filesystem::path& workDir, const formats::EquipmentRecord& r);

struct SetUpWords {
    // The entries as a refusal names them.
    std::string_view histories, resultName, fid, fad, angularRange, fcd, sagdTarget, mapTarget;
    std::string_view cm, deg;
    std::string_view missingInput;     // the history count or the name refused
    std::string_view nothingTyped;     // {field}: an entry left empty
    std::string_view notAFileName;     // %1: the name as typed
    std::string_view nothingWritten;   // after a refused number
    std::string_view badSagdTarget;    // %1: the text as typed
    std::string_view badMapTarget;     // %1: the text as typed
    std::string_view cannotUseOptions; // %1: the run-options file and its fault
    std::string_view cannotWrite;      // %1: the file name
    const texts::TypedNumberTexts& numbers;
    const texts::SpectrumFileTexts& files; // the equipment record's faults
};

// Writes MC.dat, the equipment record (its angles carried from `asRead`, the
// tilt in `edition`'s pattern) and the targets into RunOptions.dat, or
// refuses; a refusal found before the first file is written leaves every
// file as it was.
std::optional<Refusal> acceptSetUp(const std::filesystem::path& workDir, const SetUpEntries& e,
                                   const formats::EquipmentRecord& asRead, const SetUpWords& w,
                                   texts::Edition edition, bool write = true);
// What acceptSetUp would refuse before it writes (RunOptions.dat is read).
std::optional<Refusal> checkSetUp(const std::filesystem::path& workDir, const SetUpEntries& e,
                                  const SetUpWords& w);

struct PlateEntries {
    std::string paddleMm;    // Text1
    bool paddlePmma = false; // Combo1: polycarbonate or PMMA
    std::string supportMm;   // Text2
    bool supportPmma = true; // Combo2
};

// The dialog's entries for Geometry.dat as it stands (the usual plates when
// there is none; `fault` is set when it cannot be read).
PlateEntries openingPlates(const std::filesystem::path& workDir, std::optional<std::string>* fault,
                           const texts::SettingsFileTexts& t);

struct PlateWords {
    std::string_view paddle, support; // the entries as a refusal names them
    std::string_view mm;
    std::string_view outOfRange; // %1: the plate
    const texts::TypedNumberTexts& numbers;
    const texts::SettingsFileTexts& files;
};

// Writes the plates into Geometry.dat; every other setting of a readable file
// is kept as it was.
std::optional<Refusal> acceptPlates(const std::filesystem::path& workDir, const PlateEntries& e,
                                    const PlateWords& w, bool write = true);
std::optional<Refusal> checkPlates(const PlateEntries& e, const PlateWords& w);

// The tomosynthesis scan Geometry.dat describes, in one line for the set-up
// screen: {n} projections, {angle} of a single one, {axis} and {loading}.
struct ScanWords {
    std::string_view continuous, steps, single; // the line, by the kind of scan
    std::string_view axisAtFad, axisAbove;      // axisAbove: {cm}
    std::string_view loadingEqual, loadingGiven;
};
std::string describeScan(const formats::Geometry& g, const ScanWords& w);

} // namespace kv::shell
