#include "kv/formats/geometry_file.h"

#include "kv/common/format.h"
#include "kv/common/typed_number.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace kv::formats {

namespace {

constexpr std::string_view kPaddleMm = "paddle_mm", kPaddleMaterial = "paddle_material",
                           kSupportMm = "support_mm", kSupportMaterial = "support_material", kModel = "model",
                           kAdiposeMm = "adipose_mm", kAdiposeRimMm = "adipose_rim_mm",
                           kGlandularPercent = "glandular_percent", kPlates = "plates",
                           kProjections = "projections", kProjectionLoading = "projection_loading",
                           kProjectionAngle = "projection_angle", kRotationAxisCm = "rotation_axis_cm",
                           kDetectorCm = "detector_cm";

// The rim and the scan keys: their refusals name the key and the value.
bool namesKeyAndValue(std::string_view name) {
    return name == kAdiposeRimMm || name == kProjections || name == kProjectionLoading ||
           name == kProjectionAngle || name == kRotationAxisCm || name == kDetectorCm;
}

// The blank-separated numbers of a setting, or nullopt for anything else.
std::optional<std::vector<double>> numbersOf(const std::string& text) {
    std::vector<double> out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t start = text.find_first_not_of(" \t", at);
        if (start == std::string::npos) break;
        const size_t end = std::min(text.find_first_of(" \t", start), text.size());
        double v = 0;
        if (!kv::parseNumberStrict(std::string_view(text).substr(start, end - start), v) || !std::isfinite(v))
            return std::nullopt;
        out.push_back(v);
        at = end;
    }
    return out;
}

std::string joined(const std::vector<double>& values) {
    std::string s;
    for (double v : values)
        s += (s.empty() ? "" : " ") + kv::plainDecimal(v);
    return s;
}

bool loadingUsable(const std::vector<double>& shares, int projections) {
    double sum = 0;
    for (double v : shares) {
        if (!(v >= 0)) return false;
        sum += v;
    }
    return static_cast<int>(shares.size()) == projections && sum > 0 && std::isfinite(sum);
}

void readScan(const SettingsFile& file, Geometry& g) {
    if (const Setting* s = file.find(kProjections)) {
        const double n = file.number(kProjections, 0, 0, kMaxProjections);
        if (n != std::floor(n) || n == 1)
            throw file.settingError(FileFault::OutOfRange, *s, shownText(s->value) + ", not 0 or 2 to 40");
        g.projections = static_cast<int>(n);
    }
    if (const Setting* s = file.find(kProjectionLoading)) {
        const auto shares = numbersOf(s->value);
        if (!shares || !loadingUsable(*shares, g.projections))
            throw file.settingError(
                FileFault::BadValue, *s,
                "\"" + shownText(s->value) +
                    "\", not one share of 0 or more per projection adding up to more than 0");
        g.projectionLoading = *shares;
    }
    if (const Setting* s = file.find(kProjectionAngle)) {
        g.projectionAngle = file.number(kProjectionAngle, 0, -kMaxProjectionAngle, kMaxProjectionAngle);
        if (g.projections != 0)
            throw file.settingError(FileFault::BadValue, *s,
                                    shownText(s->value) +
                                        " beside projections = " + std::to_string(g.projections));
    }
    if (file.find(kRotationAxisCm)) g.rotationAxisCm = file.number(kRotationAxisCm, 0, 0, kMaxRotationAxisCm);
    if (const Setting* s = file.find(kDetectorCm)) {
        const auto sizes = numbersOf(s->value);
        if (!sizes || sizes->size() != 2 ||
            !((*sizes)[0] >= kMinDetectorCm && (*sizes)[0] <= kMaxDetectorCm) ||
            !((*sizes)[1] >= kMinDetectorCm && (*sizes)[1] <= kMaxDetectorCm))
            throw file.settingError(FileFault::BadValue, *s,
                                    "\"" + shownText(s->value) + "\", not two sizes of 1 to 100 cm");
        g.detectorWidthCm = (*sizes)[0];
        g.detectorDepthCm = (*sizes)[1];
    }
}

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
                        kAdiposeRimMm, kGlandularPercent, kPlates, kProjections, kProjectionLoading,
                        kProjectionAngle, kRotationAxisCm, kDetectorCm});
    if (file->choice(kModel, "workbench", {"workbench", "protocol"}) == "protocol") {
        const Geometry p = protocolGeometry();
        g.model = p.model;
        g.adiposeMm = file->number(kAdiposeMm, p.adiposeMm, 0, kMaxAdiposeMm);
        g.adiposeRimMm = file->number(kAdiposeRimMm, p.adiposeRimMm, 0, kMaxAdiposeRimMm);
        g.glandularPercent = file->number(kGlandularPercent, p.glandularPercent, 0, 100);
        g.plates = file->choice(kPlates, "absorbing", {"absorbing", "full"}) == "full" ? PlateMode::Full
                                                                                       : PlateMode::Absorbing;
    } else {
        for (std::string_view name : {kAdiposeMm, kAdiposeRimMm, kGlandularPercent, kPlates})
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
    readScan(*file, g);
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
        if (!(g.adiposeMm >= 0 && g.adiposeMm <= kMaxAdiposeMm && g.adiposeRimMm >= 0 &&
              g.adiposeRimMm <= kMaxAdiposeRimMm && g.glandularPercent >= 0 && g.glandularPercent <= 100))
            throw std::invalid_argument("a protocol breast outside its ranges");
        lines.insert(lines.end(),
                     {{std::string(kModel), "protocol"},
                      {std::string(kAdiposeMm), kv::plainDecimal(g.adiposeMm)},
                      {std::string(kGlandularPercent), kv::plainDecimal(g.glandularPercent)},
                      {std::string(kPlates), g.plates == PlateMode::Full ? "full" : "absorbing"}});
        // Files written before the rim stay as they were.
        if (g.adiposeRimMm != 0)
            lines.emplace_back(std::string(kAdiposeRimMm), kv::plainDecimal(g.adiposeRimMm));
    }
    const Geometry usual;
    const bool projectionsOk = g.projections == 0 || (g.projections >= 2 && g.projections <= kMaxProjections);
    const bool loadingOk = g.projectionLoading.empty() || loadingUsable(g.projectionLoading, g.projections);
    const bool angleOk =
        !g.projectionAngle || (std::fabs(*g.projectionAngle) <= kMaxProjectionAngle && g.projections == 0);
    const bool axisOk =
        !g.rotationAxisCm || (*g.rotationAxisCm >= 0 && *g.rotationAxisCm <= kMaxRotationAxisCm);
    const bool detectorOk = g.detectorWidthCm >= kMinDetectorCm && g.detectorWidthCm <= kMaxDetectorCm &&
                            g.detectorDepthCm >= kMinDetectorCm && g.detectorDepthCm <= kMaxDetectorCm;
    if (!(projectionsOk && loadingOk && angleOk && axisOk && detectorOk))
        throw std::invalid_argument("a scan the file cannot hold");
    if (g.projections != usual.projections)
        lines.emplace_back(std::string(kProjections), std::to_string(g.projections));
    if (!g.projectionLoading.empty())
        lines.emplace_back(std::string(kProjectionLoading), joined(g.projectionLoading));
    if (g.projectionAngle)
        lines.emplace_back(std::string(kProjectionAngle), kv::plainDecimal(*g.projectionAngle));
    if (g.rotationAxisCm)
        lines.emplace_back(std::string(kRotationAxisCm), kv::plainDecimal(*g.rotationAxisCm));
    if (g.detectorWidthCm != usual.detectorWidthCm || g.detectorDepthCm != usual.detectorDepthCm)
        lines.emplace_back(std::string(kDetectorCm), joined({g.detectorWidthCm, g.detectorDepthCm}));
    writeSettingsFile(workDir, kGeometryFileName, lines);
}

std::string describe(const kv::RecordError& e, const texts::SettingsFileTexts& t) {
    std::string s = t.cannotWrite.str();
    int line = 0;
    const auto* fe = dynamic_cast<const FileError*>(&e);
    if (fe && namesKeyAndValue(fe->setting) && fe->fault != FileFault::Repeated) {
        // A scan value or the rim: the key and the value are named, and what it may be.
        line = fe->line;
        s = fe->setting == kAdiposeRimMm
                ? (fe->fault == FileFault::BadValue ? t.rimWithoutProtocol.str() : t.badAdiposeRim.str())
            : fe->setting == kProjections       ? t.badProjections.str()
            : fe->setting == kProjectionLoading ? t.badProjectionLoading.str()
            : fe->setting == kProjectionAngle
                ? (fe->fault == FileFault::BadValue ? t.angleBesideScan.str() : t.badProjectionAngle.str())
            : fe->setting == kRotationAxisCm ? t.badRotationAxis.str()
                                             : t.badDetector.str();
    } else if (fe) {
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
    // Last: the value is the user's text and may hold anything.
    if (fe && namesKeyAndValue(fe->setting)) {
        replaceAll(s, "{key}", fe->setting);
        replaceAll(s, "{value}", shownText(fe->value));
    }
    return s;
}

} // namespace kv::formats
