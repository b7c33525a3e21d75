#include "kv/workbench/shell/model/run_entries.h"

#include "kv/common/format.h"
#include "kv/common/records.h"
#include "kv/engine/run_inputs.h"
#include "kv/formats/control_file.h"
#include "kv/formats/phantom_file.h"
#include "kv/formats/run_options_file.h"
#include "kv/formats/settings_file.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>
#include <vector>

namespace kv::shell {

namespace {

constexpr const char* kFractions[] = {"10", "20", "30", "40", "50", "60", "70", "80", "90"};
// The longest name a file system takes; the result name gets ".vesk" added.
constexpr size_t kMaxFileNameBytes = 255;
const std::string kRunOptionsFile(formats::kRunOptionsFileName);
constexpr std::string_view kTargetSettings[] = {formats::kSagdSigmaSetting, formats::kMapSigmaSetting};

// A target of the file as its box shows it: empty for none.
std::string targetOfFile(const std::filesystem::path& dir, std::string_view setting) {
    try {
        std::optional<formats::SettingsFile> f = formats::SettingsFile::read(dir, kRunOptionsFile);
        double v = f ? f->number(setting, 0.0, 0.0, 100.0) : 0.0;
        return v > 0 ? plainDecimal(v) : std::string();
    } catch (const formats::FileError&) {
        return {}; // "OK" names what is wrong with it
    }
}

// The run-options file's lines with the targets (empty: none) in place;
// nullopt when there is neither a file nor a target. Throws
// formats::FileError for a file that cannot be read as it stands.
using Entries = std::vector<std::pair<std::string, std::string>>;
std::optional<Entries> optionsWithTargets(const std::filesystem::path& dir, const std::string (&targets)[2]) {
    Entries entries;
    std::optional<formats::SettingsFile> f = formats::SettingsFile::read(dir, kRunOptionsFile);
    auto isTarget = [](const std::string& name) {
        return std::find(std::begin(kTargetSettings), std::end(kTargetSettings), name) !=
               std::end(kTargetSettings);
    };
    if (f)
        for (const formats::Setting& e : f->settings())
            if (!isTarget(e.name)) entries.emplace_back(e.name, e.value);
    bool any = false;
    for (size_t i = 0; i < std::size(kTargetSettings); ++i)
        if (!targets[i].empty()) entries.emplace_back(kTargetSettings[i], targets[i]), any = true;
    if (!f && !any) return std::nullopt;
    return entries;
}

std::string withFile(std::string_view pattern, std::string_view file) {
    return fillNumbered(pattern, {std::string(file)});
}

} // namespace

std::span<const char* const> fractionEntries() {
    return kFractions;
}

std::optional<Refusal> checkPhantom(const PhantomEntries& e, const PhantomWords& w) {
    return acceptPhantom({}, e, w, false);
}

std::optional<Refusal> acceptPhantom(const std::filesystem::path& workDir, const PhantomEntries& e,
                                     const PhantomWords& w, bool write) {
    if (std::find_if(std::begin(kFractions), std::end(kFractions),
                     [&](const char* f) { return e.fraction == f; }) == std::end(kFractions))
        return Refusal{fillNumbered(w.notAFraction, {shownText(e.fraction)}), {}};
    // A thickness that is not entirely a number, or no breast can have, is
    // refused: the engine would otherwise run a breast nobody typed.
    const TypedNumber thickness =
        readTypedNumber(e.thickness, NumberRange{engine::kMinThickness, engine::kMaxThickness});
    if (!thickness.ok()) return Refusal{typedNumberMessage(thickness, w.thickness, w.cm, w.numbers), {}};
    if (!write) return std::nullopt;
    try {
        formats::writePhantomFile(workDir, e.fraction, thickness.text);
    } catch (const RecordError&) {
        // The old file stays; the user can free the folder and try again.
        return Refusal{withFile(w.cannotWrite, formats::kPhantomFileName), {}};
    }
    return std::nullopt;
}

SetUpEntries openingEntries(const std::filesystem::path& workDir, const formats::EquipmentRecord& r) {
    SetUpEntries e;
    e.equipmentName = r.equipmentName;
    e.fid = format(r.fid, "00.0");
    e.fad = format(r.fad, "00.0");
    e.fcd = e.fad;
    e.angularRange = format(r.angularRange, "00.0");
    e.sagdTarget = targetOfFile(workDir, formats::kSagdSigmaSetting);
    e.mapTarget = targetOfFile(workDir, formats::kMapSigmaSetting);
    return e;
}

std::optional<Refusal> checkSetUp(const std::filesystem::path& workDir, const SetUpEntries& e,
                                  const SetUpWords& w) {
    return acceptSetUp(workDir, e, {}, w, texts::Edition::English, false);
}

std::optional<Refusal> acceptSetUp(const std::filesystem::path& workDir, const SetUpEntries& e,
                                   const formats::EquipmentRecord& asRead, const SetUpWords& w,
                                   texts::Edition edition, bool write) {
    // A count of histories is whole: "1.5" would be written as "1.5E+00" and
    // refused only when the engine starts.
    const TypedNumber histories =
        readTypedNumber(e.histories, NumberRange{1, engine::kMaxHistories, false, true});
    // The screen's own message for the two essential inputs, with the field and the text below it.
    if (!histories.ok() || e.resultName.empty()) {
        const std::string detail = !histories.ok()
                                       ? typedNumberMessage(histories, w.histories, "", w.numbers)
                                       : fillIn(std::string(w.nothingTyped), {{"{field}", w.resultName}});
        return Refusal{std::string(w.missingInput), detail};
    }
    const std::string resultFile = e.resultName + std::string(formats::kResultExtension);
    if (!isBareFileName(resultFile) || resultFile.size() > kMaxFileNameBytes)
        return Refusal{fillNumbered(w.notAFileName, {e.resultName}), {}};
    const NumberRange distance{0, engine::kMaxDistance, true};
    struct Field {
        const std::string* typed;
        std::string_view name;
        NumberRange range;
        std::string_view unit;
    };
    const Field fields[] = {
        {&e.fid, w.fid, distance, w.cm},
        {&e.fad, w.fad, distance, w.cm},
        {&e.angularRange, w.angularRange, NumberRange{0, engine::kMaxAngularRange}, w.deg},
        {&e.fcd, w.fcd, distance, w.cm}};
    std::array<TypedNumber, 4> read;
    for (size_t n = 0; n < read.size(); ++n) {
        const Field& f = fields[n];
        // With "FAD" chosen the FCD is the FAD, read above.
        read[n] = readTypedNumber(*f.typed, f.range);
        if (read[n].ok() || (n == 3 && !e.otherFcd)) continue;
        return Refusal{typedNumberMessage(read[n], f.name, f.unit, w.numbers) + "\n" +
                           std::string(w.nothingWritten),
                       {}};
    }
    const auto& [fid, fad, range, other] = read;
    std::string targets[std::size(kTargetSettings)];
    const std::string* typedTargets[] = {&e.sagdTarget, &e.mapTarget};
    for (size_t i = 0; i < std::size(kTargetSettings); ++i) {
        if (isBlankTyped(*typedTargets[i])) continue;
        const TypedNumber typed = readTypedNumber(*typedTargets[i], NumberRange{0, 100, true});
        if (!typed.ok())
            return Refusal{fillNumbered(i == 0 ? w.badSagdTarget : w.badMapTarget, {typed.shown}),
                           typedNumberMessage(typed, i == 0 ? w.sagdTarget : w.mapTarget, "%", w.numbers)};
        targets[i] = plainDecimal(typed.value);
    }
    const double fcd = e.otherFcd ? other.value : fad.value;
    // Checked before anything is written, so that a refusal leaves every file as it was.
    std::optional<Entries> options;
    try {
        options = optionsWithTargets(workDir, targets);
    } catch (const RecordError& fault) {
        return Refusal{fillNumbered(w.cannotUseOptions, {fault.what()}), {}};
    }
    if (!write) return std::nullopt;
    try {
        formats::writeControlFile(workDir, {.fidText = fid.text,
                                            .fadText = fad.text,
                                            .fcdSetting = fcd,
                                            .angularRangeText = range.text,
                                            .historiesText = histories.text,
                                            .resultName = e.resultName,
                                            .equipmentName = e.equipmentName});
    } catch (const RecordError&) {
        return Refusal{withFile(w.cannotWrite, formats::kControlFileName), {}};
    }
    try {
        formats::writeEquipment(workDir, formats::linesForWorkbench(e.equipmentName, fid.text, fad.text,
                                                                    range.text, asRead, edition));
    } catch (const formats::FileError& fault) {
        return Refusal{formats::describe(fault, w.files), {}};
    }
    try {
        if (options) formats::writeSettingsFile(workDir, kRunOptionsFile, *options);
    } catch (const RecordError& fault) {
        return Refusal{fillNumbered(w.cannotUseOptions, {fault.what()}), {}};
    }
    return std::nullopt;
}

PlateEntries openingPlates(const std::filesystem::path& workDir, std::optional<std::string>* fault,
                           const texts::SettingsFileTexts& t) {
    formats::Geometry g;
    try {
        g = formats::readGeometry(workDir);
    } catch (const RecordError& e) {
        if (fault) *fault = formats::describe(e, t);
    }
    return {.paddleMm = plainDecimal(g.paddleMm),
            .paddlePmma = g.paddleMaterial == formats::PlateMaterial::Pmma,
            .supportMm = plainDecimal(g.supportMm),
            .supportPmma = g.supportMaterial == formats::PlateMaterial::Pmma};
}

std::optional<Refusal> checkPlates(const PlateEntries& e, const PlateWords& w) {
    return acceptPlates({}, e, w, false);
}

std::optional<Refusal> acceptPlates(const std::filesystem::path& workDir, const PlateEntries& e,
                                    const PlateWords& w, bool write) {
    // The breast model and whatever else the file sets stay as they are; a
    // file that cannot be read was named when the dialog opened and is replaced.
    formats::Geometry g;
    try {
        if (write) g = formats::readGeometry(workDir);
    } catch (const RecordError&) {
    }
    struct Plate {
        const std::string* typed;
        std::string_view caption;
        double* mm;
    };
    for (const Plate& p :
         {Plate{&e.paddleMm, w.paddle, &g.paddleMm}, Plate{&e.supportMm, w.support, &g.supportMm}}) {
        const TypedNumber v = readTypedNumber(*p.typed, NumberRange{0, formats::kMaxPlateMm});
        if (!v.ok())
            return Refusal{fillNumbered(w.outOfRange, {std::string(p.caption)}),
                           typedNumberMessage(v, p.caption, w.mm, w.numbers)};
        *p.mm = v.value;
    }
    if (!write) return std::nullopt;
    g.paddleMaterial = e.paddlePmma ? formats::PlateMaterial::Pmma : formats::PlateMaterial::Polycarbonate;
    g.supportMaterial = e.supportPmma ? formats::PlateMaterial::Pmma : formats::PlateMaterial::Polycarbonate;
    try {
        formats::writeGeometry(workDir, g);
    } catch (const RecordError& fault) {
        return Refusal{formats::describe(fault, w.files), {}};
    }
    return std::nullopt;
}

std::string describeScan(const formats::Geometry& g, const ScanWords& w) {
    const std::string axis =
        g.rotationAxisCm ? fillIn(std::string(w.axisAbove), {{"{cm}", format(*g.rotationAxisCm, "0.0")}})
                         : std::string(w.axisAtFad);
    if (g.projectionAngle)
        return fillIn(std::string(w.single),
                      {{"{angle}", format(*g.projectionAngle, "0.0")}, {"{axis}", axis}});
    if (g.projections >= 2)
        return fillIn(std::string(w.steps),
                      {{"{n}", std::to_string(g.projections)},
                       {"{loading}", g.projectionLoading.empty() ? w.loadingEqual : w.loadingGiven},
                       {"{axis}", axis}});
    return fillIn(std::string(w.continuous), {{"{axis}", axis}});
}

} // namespace kv::shell
