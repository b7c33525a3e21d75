#include "spectrum_tool.h"

#include "kv/common/format.h"
#include "kv/spectrum/beam_quality.h"
#include "kv/spectrum/equipment_file.h"
#include "kv/spectrum/spectrum_model.h"

#include <filesystem>
#include <map>
#include <optional>

namespace kv::spectrum {
namespace {

namespace fs = std::filesystem;

const std::map<std::string, std::string SpectrumFields::*> kFieldOptions = {
    {"--kv", &SpectrumFields::tubeVoltage},   {"--target-angle", &SpectrumFields::targetAngle},
    {"--tilt", &SpectrumFields::tubeTiltAngle}, {"--be", &SpectrumFields::beryllium},
    {"--al", &SpectrumFields::aluminum},      {"--mo", &SpectrumFields::molybdenum},
    {"--rh", &SpectrumFields::rhodium},       {"--ag", &SpectrumFields::silver},
    {"--air", &SpectrumFields::airLayer},
};

} // namespace

int runSpectrumTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const texts::SpectrumFileTexts* t = &texts::englishSpectrumFileTexts;
    std::map<std::string, std::string> given;
    for (size_t n = 0; n < args.size(); n += 2) {
        const std::string& opt = args[n];
        const bool known = kFieldOptions.count(opt) || opt == "--target" || opt == "--edition" || opt == "--data" ||
                           opt == "--out";
        if (!known || n + 1 >= args.size()) {
            err << t->toolUsage.view() << "\n";
            return 2;
        }
        given[opt] = args[n + 1];
    }
    if (given.count("--edition")) {
        const std::string& e = given["--edition"];
        if (e != "en" && e != "ja") {
            err << t->toolUsage.view() << "\n";
            return 2;
        }
        t = &texts::spectrumFileTextsOf(e == "ja" ? texts::Edition::Japanese : texts::Edition::English);
    }
    TargetMaterial target = TargetMaterial::Molybdenum;
    if (given.count("--target")) {
        const std::string& m = given["--target"];
        if (m == "W") target = TargetMaterial::Tungsten;
        else if (m != "Mo") {
            err << t->toolUsage.view() << "\n";
            return 2;
        }
    }
    const fs::path dataDir = given.count("--data") ? fs::path(given["--data"]) : fs::current_path();

    try {
        PhysicalData data = LoadPhysicalData(dataDir);
        // Start values of the screen, as after a click on the target option.
        SpectrumFields fields;
        fields.molybdenum = target == TargetMaterial::Molybdenum ? "0.03" : "0";
        fields.rhodium = target == TargetMaterial::Molybdenum ? "0" : "0.025";
        if (!given.count("--target-angle") || !given.count("--tilt")) {
            const EquipmentRecord equipment = readEquipment(dataDir);
            fields.targetAngle = kv::format(equipment.targetAngle, "00.0");
            fields.tubeTiltAngle = kv::format(equipment.tubeTiltAngle, "#0.0");
        }
        for (const auto& [opt, member] : kFieldOptions)
            if (given.count(opt)) fields.*member = given[opt];

        const DrawCheck check = checkDrawSpectrum(fields);
        if (check != DrawCheck::Accepted) {
            err << refusalMessage(check, *t) << "\n";
            return 1;
        }
        const SpectrumResult result = computeSpectrum(target, data, fields);
        if (result.tubeVoltageText) fields.tubeVoltage = *result.tubeVoltageText;

        if (given.count("--out")) {
            const fs::path file = given["--out"];
            const fs::path dir = file.has_parent_path() ? file.parent_path() : fs::path(".");
            writeSpectrumFile(dir, target, fields, result.table, t->labels, file.filename().string());
            out << t->toolWritten.view() << ": " << file.string() << "\n";
        }
        // A spectrum without photons has no beam quality to show.
        const auto q = beamQuality(result.table[0], data.aluminum);
        auto shown = [&](double BeamQuality::*figure, const char* pattern) {
            return q ? kv::format((*q).*figure, pattern) : std::string("-");
        };
        out << t->toolFirstHvl.view() << ": " << shown(&BeamQuality::firstHvl, "0.0000") << "\n"
            << t->toolSecondHvl.view() << ": " << shown(&BeamQuality::secondHvl, "0.0000") << "\n"
            << t->toolMeanEnergy.view() << ": " << shown(&BeamQuality::meanEnergy, "0.000") << "\n";
        return 0;
    } catch (const SpectrumFileError& e) {
        err << describe(e, *t) << "\n";
        return 1;
    }
}

} // namespace kv::spectrum
