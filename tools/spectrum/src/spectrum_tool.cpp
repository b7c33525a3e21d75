#include "spectrum_tool.h"

#include "kv/common/command_line.h"
#include "kv/common/format.h"
#include "kv/common/installation.h"
#include "kv/common/temporaries.h"
#include "kv/common/text.h"
#include "kv/common/typed_number.h"
#include "kv/formats/equipment_file.h"
#include "kv/formats/geometry_file.h"
#include "kv/formats/measured_spectrum_file.h"
#include "kv/spectrum/model/beam_quality.h"
#include "kv/spectrum/model/measured_source.h"
#include "kv/spectrum/model/spectrum_model.h"
#include "kv/tools/common/shared_options.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <optional>

namespace kv::spectrum {
namespace {

namespace fs = std::filesystem;

const std::map<std::string, std::string SpectrumFields::*> kFieldOptions = {
    {"--kv", &SpectrumFields::tubeVoltage},     {"--target-angle", &SpectrumFields::targetAngle},
    {"--tilt", &SpectrumFields::tubeTiltAngle}, {"--be", &SpectrumFields::beryllium},
    {"--al", &SpectrumFields::aluminum},        {"--mo", &SpectrumFields::molybdenum},
    {"--rh", &SpectrumFields::rhodium},         {"--ag", &SpectrumFields::silver},
    {"--air", &SpectrumFields::airLayer},
};

// The option of each field, in the order of SpectrumField.
constexpr const char* kFieldOptionNames[] = {"--kv", "--target-angle", "--tilt", "--be", "--al",
                                             "--mo", "--rh",           "--ag",   "--air"};

// What the command line asks for, or the refusal of it.
struct SpectrumCommand {
    texts::Edition edition = texts::Edition::English;
    std::map<std::string, std::string> given; // every option with a value, as typed
    std::optional<double> measuredHvl;
    TargetMaterial target = TargetMaterial::Molybdenum;
    bool withPaddle = true, help = false;
    int refusedStatus = 0; // 2 with the refusal in `refusal`
    std::string refusal;
};

// The target's symbol in any case: "Mo", "w".
std::optional<TargetMaterial> targetOfSymbol(std::string_view typed) {
    for (TargetMaterial m : formats::kTargetMaterials)
        if (sameIgnoringCase(typed, formats::symbol(m))) return m;
    return std::nullopt;
}

std::string targetChoices() {
    std::string s;
    for (TargetMaterial m : formats::kTargetMaterials)
        s += (s.empty() ? "" : ", ") + std::string(formats::symbol(m));
    return s;
}

SpectrumCommand parseSpectrumCommand(const std::vector<std::string>& args) {
    SpectrumCommand c;
    // The edition first, so that every refusal after it speaks the language asked for.
    c.edition = tools::editionAsked(args);
    const texts::SpectrumFileTexts& t = texts::spectrumFileTextsOf(c.edition);
    const texts::CommandLineTexts& cl = texts::commandLineTextsOf(c.edition);
    auto refuse = [&](const std::string& why) {
        c.refusedStatus = 2;
        c.refusal = why + "\n" + cl.seeHelp.str() + "\n";
        return c;
    };
    std::vector<OptionSpec> specs =
        tools::withSharedOptions({{"--target", true},
                                  {"--data", true},
                                  {"--out", true},
                                  {"--match-hvl", true},
                                  {"--measured", true},
                                  {"--hvl-with-paddle", false},
                                  {"--hvl-without-paddle", false}},
                                 {tools::SharedOption::Edition, tools::SharedOption::Help});
    for (const auto& [opt, member] : kFieldOptions)
        specs.push_back({opt, true});
    try {
        const CommandLine line(args, specs);
        line.refuseOperandsBeyond(0);
        line.refuseTogether("--hvl-with-paddle", "--hvl-without-paddle");
        // A measured spectrum has no aluminium of the model's to match with.
        line.refuseTogether("--measured", "--match-hvl");
        tools::refuseUnknownEdition(line);
        for (const OptionSpec& s : specs)
            if (s.takesValue && line.value(s.name)) c.given[s.name] = *line.value(s.name);
        if (c.given.count("--match-hvl"))
            c.measuredHvl =
                numberOption("--match-hvl", c.given["--match-hvl"], {0, 100, true}, "mm Al", c.edition);
        c.help = line.has("--help");
        c.withPaddle = !line.has("--hvl-without-paddle");
    } catch (const CommandLineError& bad) {
        return refuse(commandLineMessage(bad, cl));
    }
    if (c.help) return c;
    // A run that writes nothing would leave the user hunting for a file.
    if (!c.given.count("--out")) return refuse(t.toolNeedsOut.str());
    if (c.given.count("--target")) {
        const std::optional<TargetMaterial> target = targetOfSymbol(c.given["--target"]);
        if (!target)
            return refuse(commandLineMessage(CommandLineError(CommandLineFault::BadChoice, "--target",
                                                              c.given["--target"], targetChoices()),
                                             cl));
        c.target = *target;
    }
    return c;
}

// The fields as the screen starts them after a click on the target, then the options given.
// A measured spectrum holds its tube's own window and air: its filters start at 0.
SpectrumFields fieldsAsked(const SpectrumCommand& c, const fs::path& dataDir,
                           const std::optional<formats::MeasuredSpectrum>& measured) {
    SpectrumFields fields;
    if (measured) {
        fields.beryllium = fields.molybdenum = fields.rhodium = fields.airLayer = "0";
        if (measured->tubeVoltage) fields.tubeVoltage = kv::plainDecimal(*measured->tubeVoltage);
    } else {
        const TargetFilters start = targetFilters(c.target);
        fields.beryllium = start.beryllium;
        fields.aluminum = start.aluminum;
        fields.molybdenum = start.molybdenum;
        fields.rhodium = start.rhodium;
    }
    if (!c.given.count("--target-angle") || !c.given.count("--tilt")) {
        const formats::EquipmentRecord equipment = formats::readEquipmentStrictly(dataDir);
        fields.targetAngle = kv::format(equipment.targetAngle, "00.0");
        fields.tubeTiltAngle = kv::format(equipment.tubeTiltAngle, "#0.0");
    }
    for (const auto& [opt, member] : kFieldOptions)
        if (const auto it = c.given.find(opt); it != c.given.end()) fields.*member = it->second;
    return fields;
}

// Each field read strictly, as the screen reads its fields: the refusal, or nothing.
std::optional<std::string> refusedFields(SpectrumFields& fields, const texts::SpectrumFileTexts& t,
                                         texts::Edition lang) {
    if (const auto refused = refusedField(fields)) {
        const std::string name =
            fieldName(refused->field, t) + " (" + kFieldOptionNames[static_cast<int>(refused->field)] + ")";
        const FieldMessage m = fieldRefusalMessage(*refused, name, t, texts::typedNumberTextsOf(lang));
        return m.text + "\n" + (m.detail.empty() ? std::string() : m.detail + "\n");
    }
    fields = typedFields(fields);
    const DrawCheck check = checkDrawSpectrum(fields);
    if (check != DrawCheck::Accepted) return std::string(refusalMessage(check, t)) + "\n";
    return std::nullopt;
}

// "First HVL: 0.3612" and the others, "-" for a spectrum without photons.
void printBeamQuality(std::ostream& out, const SpectrumResult& result, const PhysicalData& data,
                      const std::optional<Transmission>& through, bool withPaddle,
                      const texts::SpectrumFileTexts& t) {
    const auto q = beamQuality(result.table[0], data.aluminum, through);
    auto shown = [&](double BeamQuality::*figure, const char* pattern) {
        return q ? kv::format((*q).*figure, pattern) : std::string("-");
    };
    out << t.toolFirstHvl.view() << ": " << shown(&BeamQuality::firstHvl, "0.0000") << "\n"
        << t.toolSecondHvl.view() << ": " << shown(&BeamQuality::secondHvl, "0.0000") << "\n"
        << t.toolMeanEnergy.view() << ": " << shown(&BeamQuality::meanEnergy, "0.000") << "\n"
        << (withPaddle ? t.toolWithPaddle : t.toolWithoutPaddle).view() << "\n";
}

// Computes the spectrum asked for and writes it; the exit status.
int computeAndWrite(const SpectrumCommand& c, std::ostream& out, std::ostream& err) {
    const texts::SpectrumFileTexts& t = texts::spectrumFileTextsOf(c.edition);
    const auto given = [&](const char* option) {
        return c.given.count(option) ? c.given.at(option) : std::string();
    };
    // A new working folder reads the data shipped with the programs, as kv-audit does.
    const fs::path dataDir =
        c.given.count("--data") ? fs::path(given("--data")) : toolDataDir(fs::current_path());
    if (!c.given.count("--data") && dataDir != fs::current_path())
        out << fillIn(texts::commandLineTextsOf(c.edition).shippedData.str(),
                      {{"{dir}", fs::current_path().string()}, {"{shipped}", dataDir.string()}})
            << "\n";
    PhysicalData data = LoadPhysicalData(dataDir);
    std::optional<formats::MeasuredSpectrum> measured;
    if (c.given.count("--measured")) {
        measured = formats::readMeasuredSpectrum(given("--measured"));
        if (!measured->tubeVoltage && !c.given.count("--kv")) {
            err << fillIn(t.toolMeasuredNeedsKv.str(), {{"{file}", shownText(given("--measured"))}}) << "\n"
                << texts::commandLineTextsOf(c.edition).seeHelp.view() << "\n";
            return 2;
        }
    }
    SpectrumFields fields = fieldsAsked(c, dataDir, measured);
    if (const std::optional<std::string> why = refusedFields(fields, t, c.edition)) {
        err << *why;
        return 1;
    }
    // The HVL is that of the beam through the paddle of Geometry.dat unless asked otherwise.
    std::optional<Transmission> through;
    if (c.withPaddle) {
        try {
            through = paddleTransmission(formats::readGeometry(dataDir));
        } catch (const kv::RecordError& e) {
            err << formats::describe(e, texts::settingsFileTextsOf(c.edition)) << "\n";
            return 1;
        }
    }
    if (c.measuredHvl) {
        const HvlMatch m = matchFirstHvl(c.target, data, fields, *c.measuredHvl, through);
        if (m.outcome != HvlMatchOutcome::Matched) {
            err << matchRefusalMessage(m, *c.measuredHvl, t) << "\n";
            return 3;
        }
        fields = m.fields;
    }
    const SpectrumResult result = measured
                                      ? measuredSpectrumTable(*measured, given("--measured"), data, fields)
                                      : computeSpectrum(c.target, data, fields);
    if (result.empty()) {
        err << t.spectrumEmpty.view() << "\n";
        return 1;
    }
    const fs::path file = given("--out");
    const fs::path dir = file.has_parent_path() ? file.parent_path() : fs::path(".");
    // What a killed kv-spectrum left of this file, never what a running one writes.
    removeAbandonedTemporaries(dir, file.filename().string());
    removeAbandonedTemporaries(dir, formats::spectrumExactFileName(file.filename().string()));
    writeSpectrumFile(dir, c.target, fields, result.table, t.labels, file.filename().string());
    // The header rounds the fields (Al 0.215 mm reads 0.22); the engine finds the exact ones here.
    writeSpectrumExactFile(dir, fields, file.filename().string());
    out << t.toolWritten.view() << ": " << file.string() << "\n";
    if (c.measuredHvl) out << t.toolAluminium.view() << ": " << fields.aluminum << "\n";
    printBeamQuality(out, result, data, through, c.withPaddle, t);
    return 0;
}

} // namespace

int runSpectrumTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const SpectrumCommand c = parseSpectrumCommand(args);
    if (c.refusedStatus) {
        err << c.refusal;
        return c.refusedStatus;
    }
    if (c.help) {
        out << texts::spectrumFileTextsOf(c.edition).toolUsage.view() << "\n";
        return 0;
    }
    try {
        return computeAndWrite(c, out, err);
    } catch (const formats::MeasuredSpectrumError& e) {
        err << formats::describeMeasured(e, texts::spectrumFileTextsOf(c.edition)) << "\n";
        return 1;
    } catch (const FileError& e) {
        err << formats::describe(e, texts::spectrumFileTextsOf(c.edition)) << "\n";
        return 1;
    }
}

} // namespace kv::spectrum
