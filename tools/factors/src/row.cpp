#include "kv/factors/row.h"

#include "kv/common/content_hash.h"
#include "kv/common/format.h"
#include "kv/formats/tube_materials.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace kv::factors {

namespace {
std::string loadingText(const std::vector<double>& shares) {
    std::string s;
    for (double v : shares)
        s += (s.empty() ? "" : " ") + plainDecimal(v);
    return s;
}
} // namespace

std::vector<std::string> inputCells(const Row& r, const std::string& seed) {
    const formats::SpectrumFields& f = r.spectrum;
    return {plainDecimal(r.thickness),
            plainDecimal(r.glandular),
            std::string(formats::symbol(r.target)),
            f.tubeVoltage,
            r.tomosynthesis ? "tomosynthesis" : "mammography",
            f.beryllium,
            f.aluminum,
            f.molybdenum,
            f.rhodium,
            f.silver,
            f.airLayer,
            f.targetAngle,
            f.tubeTiltAngle,
            plainDecimal(r.fid),
            plainDecimal(r.fcd),
            plainDecimal(r.fad),
            plainDecimal(r.angularRange),
            plainDecimal(r.histories),
            r.sagdSigmaPercent > 0 ? plainDecimal(r.sagdSigmaPercent) : "",
            seed,
            r.protocol ? "protocol" : "workbench",
            r.protocol ? plainDecimal(r.adiposeMm) : "",
            r.protocol ? (r.plates == formats::PlateMode::Full ? "full" : "absorbing") : "",
            r.spectrumFile,
            r.projections ? std::to_string(r.projections) : "",
            loadingText(r.projectionLoading),
            r.projectionAngle ? plainDecimal(*r.projectionAngle) : "",
            r.rotationAxis ? plainDecimal(*r.rotationAxis) : "",
            r.protocol && r.adiposeRimMm != 0 ? plainDecimal(r.adiposeRimMm) : ""};
}

formats::Geometry rowGeometry(const Row& r, const formats::Geometry& plates) {
    formats::Geometry g = plates;
    g.model = r.protocol ? formats::BreastModel::Protocol : formats::BreastModel::Workbench;
    const formats::Geometry usual;
    g.adiposeMm = r.protocol ? r.adiposeMm : usual.adiposeMm;
    g.adiposeRimMm = r.protocol ? r.adiposeRimMm : usual.adiposeRimMm;
    g.glandularPercent = r.protocol ? r.glandular : usual.glandularPercent;
    g.plates = r.protocol ? r.plates : usual.plates;
    g.projections = r.projections;
    g.projectionLoading = r.projectionLoading;
    g.projectionAngle = r.projectionAngle;
    g.rotationAxisCm = r.rotationAxis;
    return g;
}

std::string filterName(const Row& r) {
    const formats::SpectrumFields& f = r.spectrum;
    std::string name;
    for (auto [symbol, mm] :
         {std::pair{"Mo", &f.molybdenum}, std::pair{"Rh", &f.rhodium}, std::pair{"Ag", &f.silver}})
        if (parseNumber(*mm) > 0) {
            if (!name.empty()) name += " + ";
            name += symbol;
            name += ' ';
            name += *mm;
        }
    if (parseNumber(f.aluminum) > 0) {
        name += name.empty() ? "Al " : " + Al ";
        name += f.aluminum;
    }
    return name.empty() ? std::string("-") : name;
}

std::string rowKey(const Row& r) {
    std::vector<std::string> v = inputCells(r, r.seed ? std::to_string(*r.seed) : "");
    std::string key;
    for (size_t i = 0; i < v.size(); ++i) {
        // Left out for the model's spectrum, so that rows stored before the column keep their keys.
        if (kInputColumns[i] == "spectrum_file") {
            if (r.measured) key += ";spectrum_sha256=" + r.measured->contentHash;
            continue;
        }
        // Likewise the scan's columns and the rim, only where a row gives them.
        if (i > 0 && std::find(kInputColumns.begin(), kInputColumns.end(), "spectrum_file") <
                         kInputColumns.begin() + static_cast<std::ptrdiff_t>(i)) {
            if (!v[i].empty()) key += ";" + kInputColumns[i] + "=" + v[i];
            continue;
        }
        key += (i ? ";" : "") + kInputColumns[i] + "=" + v[i];
    }
    return key;
}

std::string resultStem(const Row& r) {
    // The name changes with any input.
    const uint64_t h = nameHash(rowKey(r));
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    return std::string(r.tomosynthesis ? "tomo-" : "mammo-") + (r.protocol ? "protocol-" : "") +
           (r.measured ? "measured-" : "") + std::string(formats::symbol(r.target)) + "-" +
           r.spectrum.tubeVoltage + "kV-" + format(r.thickness, "0.0") + "cm-g" + plainDecimal(r.glandular) +
           "-" + std::string(hex, 12);
}

} // namespace kv::factors
