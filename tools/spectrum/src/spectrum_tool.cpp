#include "spectrum_tool.h"

#include "kv/common/command_line.h"
#include "kv/common/format.h"
#include "kv/common/installation.h"
#include "kv/common/temporaries.h"
#include "kv/common/typed_number.h"
#include "kv/formats/equipment_file.h"
#include "kv/formats/geometry_file.h"
#include "kv/spectrum/model/beam_quality.h"
#include "kv/spectrum/model/spectrum_model.h"

#include <algorithm>
#include <cctype>
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

} // namespace

int runSpectrumTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // The edition first, so that every refusal after it speaks the language asked for.
    const std::optional<std::string> edition = CommandLine::peek(args, "--edition");
    const texts::Edition lang = edition == "ja" ? texts::Edition::Japanese : texts::Edition::English;
    const texts::SpectrumFileTexts* t = &texts::spectrumFileTextsOf(lang);
    const texts::CommandLineTexts& cl = texts::commandLineTextsOf(lang);
    std::vector<OptionSpec> specs = {{"--target", true},
                                     {"--edition", true},
                                     {"--data", true},
                                     {"--out", true},
                                     {"--match-hvl", true},
                                     {"--hvl-with-paddle", false},
                                     {"--hvl-without-paddle", false},
                                     {"--help", false, "-h"}};
    for (const auto& [opt, member] : kFieldOptions)
        specs.push_back({opt, true});
    std::optional<CommandLine> line;
    std::map<std::string, std::string> given;
    std::optional<double> measuredHvl;
    try {
        line.emplace(args, specs);
        line->refuseOperandsBeyond(0);
        line->refuseTogether("--hvl-with-paddle", "--hvl-without-paddle");
        if (edition && *edition != "en" && *edition != "ja")
            throw CommandLineError(CommandLineFault::BadChoice, "--edition", *edition, "en, ja");
        for (const OptionSpec& s : specs)
            if (s.takesValue && line->value(s.name)) given[s.name] = *line->value(s.name);
        if (given.count("--match-hvl"))
            measuredHvl = numberOption("--match-hvl", given["--match-hvl"], {0, 100, true}, "mm Al", lang);
    } catch (const CommandLineError& bad) {
        err << commandLineMessage(bad, cl) << "\n" << cl.seeHelp.view() << "\n";
        return 2;
    }
    if (line->has("--help")) {
        out << t->toolUsage.view() << "\n";
        return 0;
    }
    const bool withPaddle = !line->has("--hvl-without-paddle");
    // A run that writes nothing would leave the user hunting for a file.
    if (!given.count("--out")) {
        err << t->toolNeedsOut.view() << "\n" << cl.seeHelp.view() << "\n";
        return 2;
    }
    TargetMaterial target = TargetMaterial::Molybdenum;
    if (given.count("--target")) {
        std::string m = given["--target"];
        for (char& c : m)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (m == "w")
            target = TargetMaterial::Tungsten;
        else if (m != "mo") {
            err << commandLineMessage(
                       CommandLineError(CommandLineFault::BadChoice, "--target", given["--target"], "Mo, W"),
                       cl)
                << "\n"
                << cl.seeHelp.view() << "\n";
            return 2;
        }
    }
    // A new working folder reads the data shipped with the programs, as kv-audit does.
    const fs::path dataDir =
        given.count("--data") ? fs::path(given["--data"]) : toolDataDir(fs::current_path());
    if (!given.count("--data") && dataDir != fs::current_path())
        out << fillIn(cl.shippedData.str(),
                      {{"{dir}", fs::current_path().string()}, {"{shipped}", dataDir.string()}})
            << "\n";

    try {
        PhysicalData data = LoadPhysicalData(dataDir);
        // Start values of the screen, as after a click on the target option.
        SpectrumFields fields;
        fields.molybdenum = target == TargetMaterial::Molybdenum ? "0.03" : "0";
        fields.rhodium = target == TargetMaterial::Molybdenum ? "0" : "0.025";
        if (!given.count("--target-angle") || !given.count("--tilt")) {
            const formats::EquipmentRecord equipment = formats::readEquipment(dataDir);
            fields.targetAngle = kv::format(equipment.targetAngle, "00.0");
            fields.tubeTiltAngle = kv::format(equipment.tubeTiltAngle, "#0.0");
        }
        for (const auto& [opt, member] : kFieldOptions)
            if (given.count(opt)) fields.*member = given[opt];

        // Each option read strictly, as the screen reads its fields.
        if (const auto refused = refusedField(fields)) {
            const std::string name = fieldName(refused->field, *t) + " (" +
                                     kFieldOptionNames[static_cast<int>(refused->field)] + ")";
            const FieldMessage m = fieldRefusalMessage(*refused, name, *t, texts::typedNumberTextsOf(lang));
            err << m.text << "\n";
            if (!m.detail.empty()) err << m.detail << "\n";
            return 1;
        }
        fields = typedFields(fields);
        const DrawCheck check = checkDrawSpectrum(fields);
        if (check != DrawCheck::Accepted) {
            err << refusalMessage(check, *t) << "\n";
            return 1;
        }
        // The HVL is that of the beam through the paddle of Geometry.dat unless asked otherwise.
        std::optional<Transmission> through;
        if (withPaddle) {
            try {
                through = paddleTransmission(formats::readGeometry(dataDir));
            } catch (const kv::RecordError& e) {
                err << formats::describe(e, texts::settingsFileTextsOf(t == &texts::japaneseSpectrumFileTexts
                                                                           ? texts::Edition::Japanese
                                                                           : texts::Edition::English))
                    << "\n";
                return 1;
            }
        }
        if (measuredHvl) {
            const HvlMatch m = matchFirstHvl(target, data, fields, *measuredHvl, through);
            if (m.outcome != HvlMatchOutcome::Matched) {
                err << matchRefusalMessage(m, *measuredHvl, *t) << "\n";
                return 3;
            }
            fields = m.fields;
        }
        const SpectrumResult result = computeSpectrum(target, data, fields);
        if (result.empty()) {
            err << t->spectrumEmpty.view() << "\n";
            return 1;
        }

        const fs::path file = given["--out"];
        const fs::path dir = file.has_parent_path() ? file.parent_path() : fs::path(".");
        // What a killed kv-spectrum left of this file, never what a running one writes.
        removeAbandonedTemporaries(dir, file.filename().string());
        removeAbandonedTemporaries(dir, formats::spectrumExactFileName(file.filename().string()));
        writeSpectrumFile(dir, target, fields, result.table, t->labels, file.filename().string());
        // The header rounds the fields (Al 0.215 mm reads 0.22); the engine finds the exact ones here.
        writeSpectrumExactFile(dir, fields, file.filename().string());
        out << t->toolWritten.view() << ": " << file.string() << "\n";
        if (measuredHvl) out << t->toolAluminium.view() << ": " << fields.aluminum << "\n";
        // A spectrum without photons has no beam quality to show.
        const auto q = beamQuality(result.table[0], data.aluminum, through);
        auto shown = [&](double BeamQuality::*figure, const char* pattern) {
            return q ? kv::format((*q).*figure, pattern) : std::string("-");
        };
        out << t->toolFirstHvl.view() << ": " << shown(&BeamQuality::firstHvl, "0.0000") << "\n"
            << t->toolSecondHvl.view() << ": " << shown(&BeamQuality::secondHvl, "0.0000") << "\n"
            << t->toolMeanEnergy.view() << ": " << shown(&BeamQuality::meanEnergy, "0.000") << "\n"
            << (withPaddle ? t->toolWithPaddle : t->toolWithoutPaddle).view() << "\n";
        return 0;
    } catch (const FileError& e) {
        err << formats::describe(e, *t) << "\n";
        return 1;
    }
}

} // namespace kv::spectrum
