#include "case_tool.h"

#include "kv/common/command_line.h"
#include "kv/common/installation.h"
#include "kv/common/text.h"
#include "kv/common/typed_number.h"
#include "kv/formats/control_file.h"
#include "kv/formats/edition_file.h"
#include "kv/formats/equipment_file.h"
#include "kv/formats/file_error.h"
#include "kv/formats/geometry_file.h"
#include "kv/formats/phantom_file.h"
#include "kv/formats/run_options_file.h"
#include "kv/texts/case.h"
#include "kv/texts/settings_files.h"
#include "kv/texts/spectrum_files.h"
#include "kv/texts/typed_number.h"
#include "kv/tools/common/shared_options.h"
#include "kv/workbench/shell/model/run_entries.h"

#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

namespace kv::runcase {
namespace {

namespace fs = std::filesystem;
using shell::Refusal;

// The options that fill a text entry, and the entry each fills.
const std::map<std::string, std::string shell::SetUpEntries::*> kSetUpOptions = {
    {"--equipment", &shell::SetUpEntries::equipmentName},
    {"--fid", &shell::SetUpEntries::fid},
    {"--fad", &shell::SetUpEntries::fad},
    {"--angular-range", &shell::SetUpEntries::angularRange},
    {"--histories", &shell::SetUpEntries::histories},
    {"--fcd", &shell::SetUpEntries::fcd},
    {"--name", &shell::SetUpEntries::resultName},
    {"--sagd-sigma", &shell::SetUpEntries::sagdTarget},
    {"--map-sigma", &shell::SetUpEntries::mapTarget},
};
const std::map<std::string, std::string shell::PlateEntries::*> kPlateOptions = {
    {"--paddle-mm", &shell::PlateEntries::paddleMm},
    {"--support-mm", &shell::PlateEntries::supportMm},
};
const std::map<std::string, bool shell::PlateEntries::*> kMaterialOptions = {
    {"--paddle-material", &shell::PlateEntries::paddlePmma},
    {"--support-material", &shell::PlateEntries::supportPmma},
};

void tell(std::ostream& err, const Refusal& r, const texts::CaseTexts& t) {
    err << r.text << "\n";
    if (!r.detail.empty()) err << r.detail << "\n";
    err << t.nothingWritten.view() << "\n";
}

// The record the set-up screen opens with: the folder's own, else the
// starting record shipped with the programs (which the workbench copies into
// a new working folder). Throws FileError for a record that is unusable.
formats::EquipmentRecord openingRecord(const fs::path& dir, std::ostream& out,
                                       const texts::CommandLineTexts& cl) {
    const fs::path from = toolDataDir(dir);
    formats::EquipmentRecord r = formats::readEquipmentStrictly(from);
    if (from != dir)
        out << fillIn(cl.shippedData.str(), {{"{dir}", dir.string()}, {"{shipped}", from.string()}}) << "\n";
    return r;
}

} // namespace

int runCaseTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // The edition first, so that every refusal after it speaks the language asked for.
    const texts::Edition edition = tools::editionAsked(args);
    const texts::CaseTexts& t = texts::caseTextsOf(edition);
    const texts::CommandLineTexts& cl = texts::commandLineTextsOf(edition);
    const texts::TypedNumberTexts& numbers = texts::typedNumberTextsOf(edition);
    const texts::SettingsFileTexts& settings = texts::settingsFileTextsOf(edition);
    const texts::SpectrumFileTexts& files = texts::spectrumFileTextsOf(edition);

    std::vector<OptionSpec> specs = tools::withSharedOptions(
        {{"--dir", true}, {"--thickness", true}, {"--glandular", true}, {"--edition-file", false}},
        {tools::SharedOption::Edition, tools::SharedOption::Help});
    for (const auto& [name, member] : kSetUpOptions)
        specs.push_back({name, true});
    for (const auto& [name, member] : kPlateOptions)
        specs.push_back({name, true});
    for (const auto& [name, member] : kMaterialOptions)
        specs.push_back({name, true});
    std::optional<CommandLine> line;
    std::map<std::string, bool> pmma;
    try {
        line.emplace(args, specs);
        line->refuseOperandsBeyond(0);
        tools::refuseUnknownEdition(*line);
        for (const auto& [name, member] : kMaterialOptions)
            if (const auto v = line->value(name)) {
                const std::string m = lowered(*v);
                if (m != "polycarbonate" && m != "pmma")
                    throw CommandLineError(CommandLineFault::BadChoice, name, *v, "polycarbonate, pmma");
                pmma[name] = m == "pmma";
            }
    } catch (const CommandLineError& bad) {
        err << commandLineMessage(bad, cl) << "\n" << cl.seeHelp.view() << "\n";
        return 2;
    }
    if (line->has("--help")) {
        out << t.usage.view() << "\n";
        return 0;
    }
    const fs::path dir = line->value("--dir") ? fs::path(*line->value("--dir")) : fs::current_path();
    // The files as the user named the folder: bare names in the current one.
    auto shown = [&](std::string_view name) {
        return line->value("--dir") ? (dir / name).string() : std::string(name);
    };
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        err << fillNumbered(t.notAFolder, {dir.string()}) << "\n" << t.nothingWritten.view() << "\n";
        return 1;
    }

    const shell::PhantomWords phantomWords{.thickness = "--thickness",
                                           .cm = "cm",
                                           .notAFraction = t.notAFraction,
                                           .cannotWrite = t.cannotWrite,
                                           .numbers = numbers};
    const shell::SetUpWords setUpWords{.histories = "--histories",
                                       .resultName = "--name",
                                       .fid = "--fid",
                                       .fad = "--fad",
                                       .angularRange = "--angular-range",
                                       .fcd = "--fcd",
                                       .sagdTarget = "--sagd-sigma",
                                       .mapTarget = "--map-sigma",
                                       .cm = "cm",
                                       .deg = "deg",
                                       .missingInput = t.missingInput,
                                       .nothingTyped = t.nothingTyped,
                                       .notAFileName = t.notAFileName,
                                       .nothingWritten = t.nothingWritten,
                                       .badSagdTarget = t.badSagdTarget,
                                       .badMapTarget = t.badMapTarget,
                                       .cannotUseOptions = t.cannotUseOptions,
                                       .cannotWrite = t.cannotWrite,
                                       .numbers = numbers,
                                       .files = files};
    const shell::PlateWords plateWords{.paddle = "--paddle-mm",
                                       .support = "--support-mm",
                                       .mm = "mm",
                                       .outOfRange = t.plateOutOfRange,
                                       .numbers = numbers,
                                       .files = settings};

    shell::PhantomEntries phantom;
    if (const auto v = line->value("--thickness")) phantom.thickness = *v;
    if (const auto v = line->value("--glandular")) phantom.fraction = *v;

    formats::EquipmentRecord record;
    try {
        record = openingRecord(dir, out, cl);
    } catch (const formats::FileError& e) {
        err << formats::describe(e, files) << "\n" << t.nothingWritten.view() << "\n";
        return 1;
    }
    // The screen opens with the FAD as the FCD; an FCD given is the other distance.
    shell::SetUpEntries setUp = shell::openingEntries(dir, record);
    for (const auto& [name, member] : kSetUpOptions)
        if (const auto v = line->value(name)) setUp.*member = *v;
    setUp.otherFcd = line->value("--fcd").has_value();
    if (!setUp.otherFcd) setUp.fcd = setUp.fad;

    bool plates = false;
    std::optional<std::string> geometryFault;
    shell::PlateEntries plateEntries = shell::openingPlates(dir, &geometryFault, settings);
    for (const auto& [name, member] : kPlateOptions)
        if (const auto v = line->value(name)) plateEntries.*member = *v, plates = true;
    for (const auto& [name, member] : kMaterialOptions)
        if (pmma.count(name)) plateEntries.*member = pmma[name], plates = true;

    // Every entry is checked before the first file is written, so that a
    // refusal leaves the folder as it was.
    std::optional<Refusal> refused = shell::checkPhantom(phantom, phantomWords);
    if (!refused) refused = shell::checkSetUp(dir, setUp, setUpWords);
    if (!refused && plates) refused = shell::checkPlates(plateEntries, plateWords);
    if (refused) {
        tell(err, *refused, t);
        return 1;
    }
    if (plates && geometryFault) {
        // Replacing a damaged Geometry.dat would lose what the user meant by it.
        err << *geometryFault << "\n" << t.nothingWritten.view() << "\n";
        return 1;
    }

    if (const auto r = shell::acceptPhantom(dir, phantom, phantomWords)) {
        tell(err, *r, t);
        return 1;
    }
    out << fillNumbered(t.written, {shown(formats::kPhantomFileName)}) << "\n";
    if (const auto r = shell::acceptSetUp(dir, setUp, record, setUpWords, edition)) {
        err << r->text << "\n";
        if (!r->detail.empty()) err << r->detail << "\n";
        return 1;
    }
    for (std::string_view f : {formats::kControlFileName, std::string_view(formats::kEquipmentFileName)})
        out << fillNumbered(t.written, {shown(f)}) << "\n";
    // Written when there are targets or the file was there (its other settings kept).
    if (fs::exists(dir / formats::kRunOptionsFileName, ec))
        out << fillNumbered(t.written, {shown(formats::kRunOptionsFileName)}) << "\n";
    if (plates) {
        if (const auto r = shell::acceptPlates(dir, plateEntries, plateWords)) {
            err << r->text << "\n";
            return 1;
        }
        out << fillNumbered(t.written, {shown(formats::kGeometryFileName)}) << "\n";
    }
    if (line->has("--edition-file")) {
        try {
            formats::writeEditionFile(dir, edition);
        } catch (const formats::FileError&) {
            err << fillNumbered(t.cannotWrite, {formats::kEditionFileName}) << "\n";
            return 1;
        }
        out << fillNumbered(t.written, {shown(formats::kEditionFileName)}) << "\n";
    }
    out << fillNumbered(t.next, {dir.string(), setUp.resultName + std::string(formats::kResultExtension)})
        << "\n";
    return 0;
}

} // namespace kv::runcase
