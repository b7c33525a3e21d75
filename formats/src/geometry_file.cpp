#include "kv/formats/geometry_file.h"

#include "kv/common/format.h"
#include "kv/common/typed_number.h"

#include <cmath>
#include <stdexcept>

namespace kv::formats {

namespace {

constexpr std::string_view kPaddleMm = "paddle_mm", kPaddleMaterial = "paddle_material",
                           kSupportMm = "support_mm", kSupportMaterial = "support_material", kModel = "model",
                           kAdiposeMm = "adipose_mm", kGlandularPercent = "glandular_percent",
                           kPlates = "plates";

PlateMaterial materialOf(const std::string& word) {
    return word == "pmma" ? PlateMaterial::Pmma : PlateMaterial::Polycarbonate;
}

void replaceAll(std::string& s, std::string_view key, const std::string& by) {
    for (size_t at = s.find(key); at != std::string::npos; at = s.find(key, at + by.size()))
        s.replace(at, key.size(), by);
}

} // namespace

std::string_view materialWord(PlateMaterial m) {
    return m == PlateMaterial::Pmma ? "pmma" : "polycarbonate";
}
std::string_view materialName(PlateMaterial m) {
    return m == PlateMaterial::Pmma ? "PMMA" : "polycarbonate";
}

Geometry protocolGeometry() {
    Geometry g;
    g.model = BreastModel::Protocol;
    g.plates = PlateMode::Absorbing;
    return g;
}

Geometry readGeometry(const std::filesystem::path& workDir) {
    Geometry g;
    const auto file = SettingsFile::read(workDir, kGeometryFileName);
    if (!file) return g;
    file->requireKnown({kPaddleMm, kPaddleMaterial, kSupportMm, kSupportMaterial, kModel, kAdiposeMm,
                        kGlandularPercent, kPlates});
    if (file->choice(kModel, "workbench", {"workbench", "protocol"}) == "protocol") {
        const Geometry p = protocolGeometry();
        g.model = p.model;
        g.adiposeMm = file->number(kAdiposeMm, p.adiposeMm, 0, kMaxAdiposeMm);
        g.glandularPercent = file->number(kGlandularPercent, p.glandularPercent, 0, 100);
        g.plates = file->choice(kPlates, "absorbing", {"absorbing", "full"}) == "full" ? PlateMode::Full
                                                                                       : PlateMode::Absorbing;
    } else {
        for (std::string_view name : {kAdiposeMm, kGlandularPercent, kPlates})
            if (const Setting* s = file->find(name))
                throw file->settingError(FileFault::BadValue, *s,
                                         "\"" + shownText(s->value) + "\" without model = protocol");
    }
    g.paddleMm = file->number(kPaddleMm, g.paddleMm, 0, kMaxPlateMm);
    g.supportMm = file->number(kSupportMm, g.supportMm, 0, kMaxPlateMm);
    g.paddleMaterial = materialOf(file->choice(kPaddleMaterial, std::string(materialWord(g.paddleMaterial)),
                                               {"polycarbonate", "pmma"}));
    g.supportMaterial = materialOf(file->choice(
        kSupportMaterial, std::string(materialWord(g.supportMaterial)), {"polycarbonate", "pmma"}));
    return g;
}

void writeGeometry(const std::filesystem::path& workDir, const Geometry& g) {
    for (double mm : {g.paddleMm, g.supportMm})
        if (!(mm >= 0 && mm <= kMaxPlateMm))
            throw std::invalid_argument("a plate of " + kv::plainDecimal(mm) + " mm lies outside 0 to 10 mm");
    std::vector<std::pair<std::string, std::string>> lines = {
        {std::string(kPaddleMm), kv::plainDecimal(g.paddleMm)},
        {std::string(kPaddleMaterial), std::string(materialWord(g.paddleMaterial))},
        {std::string(kSupportMm), kv::plainDecimal(g.supportMm)},
        {std::string(kSupportMaterial), std::string(materialWord(g.supportMaterial))}};
    if (g.model == BreastModel::Protocol) {
        if (!(g.adiposeMm >= 0 && g.adiposeMm <= kMaxAdiposeMm && g.glandularPercent >= 0 &&
              g.glandularPercent <= 100))
            throw std::invalid_argument("a protocol breast outside its ranges");
        lines.insert(lines.end(),
                     {{std::string(kModel), "protocol"},
                      {std::string(kAdiposeMm), kv::plainDecimal(g.adiposeMm)},
                      {std::string(kGlandularPercent), kv::plainDecimal(g.glandularPercent)},
                      {std::string(kPlates), g.plates == PlateMode::Full ? "full" : "absorbing"}});
    }
    writeSettingsFile(workDir, kGeometryFileName, lines);
}

std::string describe(const kv::RecordError& e, const texts::SettingsFileTexts& t) {
    std::string s = t.cannotWrite.str();
    int line = 0;
    if (const auto* fe = dynamic_cast<const FileError*>(&e)) {
        line = fe->line;
        switch (fe->fault) {
        case FileFault::NotAFile:
            s = t.notAFile.str();
            break;
        case FileFault::Unreadable:
            s = t.unreadable.str();
            break;
        case FileFault::TooLarge:
            s = t.tooLarge.str();
            break;
        case FileFault::BadLine:
            s = t.badLine.str();
            break;
        case FileFault::Repeated:
            s = t.repeated.str();
            break;
        case FileFault::UnknownName:
            s = t.unknownName.str();
            break;
        case FileFault::NotANumber:
            s = t.notANumber.str();
            break;
        case FileFault::OutOfRange:
            s = fe->setting == kGlandularPercent ? t.glandularOutOfRange.str()
                : fe->setting == kAdiposeMm      ? t.adiposeOutOfRange.str()
                                                 : t.outOfRange.str();
            break;
        case FileFault::BadChoice:
            s = fe->setting == kModel    ? t.badModel.str()
                : fe->setting == kPlates ? t.badPlates.str()
                                         : t.badChoice.str();
            break;
        case FileFault::BadValue:
            s = t.protocolOnly.str();
            break;
        default: // a failed write
            line = 0;
            break;
        }
    }
    replaceAll(s, "{file}", e.file);
    replaceAll(s, "{line}", std::to_string(line));
    return s;
}

} // namespace kv::formats
