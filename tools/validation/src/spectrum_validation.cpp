#include "kv/validation/spectrum_validation.h"

#include "kv/common/format.h"
#include "kv/formats/tube_materials.h"
#include "kv/spectrum/model/beam_quality.h"
#include "kv/spectrum/model/measured_source.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace kv::validation {

namespace fs = std::filesystem;

namespace {

constexpr AddedFilter kBare{"bare", "0", "0", "0", "0"};

formats::MeasuredSpectrum catalogueFile(const CatalogueTube& tube, int kv, const fs::path& catalogue) {
    return formats::readMeasuredSpectrum(catalogue / tube.symbol /
                                         (std::string(tube.symbol) + "_" + std::to_string(kv) + "kV.dat"));
}

spectrum::SpectrumFields addedOnly(const CatalogueTube& tube, int kv, const AddedFilter& f) {
    spectrum::SpectrumFields s = catalogueFields(tube, kv, f);
    s.beryllium = s.airLayer = "0";
    return s;
}

std::string signedPercent(double v) {
    return (v >= 0 ? "+" : "") + format(v, "0.0");
}

} // namespace

std::vector<AddedFilter> filtersOf(formats::TargetMaterial target) {
    switch (target) {
    case formats::TargetMaterial::Molybdenum:
        return {kBare, {"0.03 mm Mo", "0", "0.03", "0", "0"}, {"0.025 mm Rh", "0", "0", "0.025", "0"}};
    case formats::TargetMaterial::Rhodium:
        return {kBare, {"0.025 mm Rh", "0", "0", "0.025", "0"}, {"0.05 mm Ag", "0", "0", "0", "0.05"}};
    case formats::TargetMaterial::Tungsten:
        break;
    }
    return {kBare,
            {"0.5 mm Al", "0.5", "0", "0", "0"},
            {"0.05 mm Rh", "0", "0", "0.05", "0"},
            {"0.05 mm Ag", "0", "0", "0", "0.05"}};
}

spectrum::SpectrumFields catalogueFields(const CatalogueTube& tube, int kv, const AddedFilter& f) {
    spectrum::SpectrumFields s;
    s.tubeVoltage = std::to_string(kv);
    s.targetAngle = tube.anodeAngle;
    s.tubeTiltAngle = plainDecimal(kCatalogueRay);
    s.beryllium = tube.beryllium;
    s.aluminum = f.al, s.molybdenum = f.mo, s.rhodium = f.rh, s.silver = f.ag;
    s.airLayer = "100";
    return s;
}

TubeVoltageComparison compareAt(const CatalogueTube& tube, int kv, const spectrum::PhysicalData& data,
                                const fs::path& catalogue) {
    const formats::MeasuredSpectrum m = catalogueFile(tube, kv, catalogue);
    TubeVoltageComparison out{kv, {}};
    for (const AddedFilter& f : filtersOf(tube.target)) {
        const auto model = spectrum::beamQuality(
            spectrum::raySpectrum(tube.target, data, catalogueFields(tube, kv, f), kCatalogueRay),
            data.aluminum);
        const auto measured = spectrum::beamQuality(
            spectrum::measuredSpectrumTable(m, tube.symbol, data, addedOnly(tube, kv, f)).table[0],
            data.aluminum);
        if (!model || !measured) continue;
        out.qualities.push_back(
            {f.name, model->meanEnergy, measured->meanEnergy, model->firstHvl, measured->firstHvl});
    }
    return out;
}

std::vector<RatioPoint> binRatios(const std::array<double, spectrum::kBins>& model,
                                  const std::array<double, spectrum::kBins>& measured, int kv) {
    // Bin i holds 0.2·i ± 0.1 keV: 1 keV [e, e + 1) takes bins 5e + 1 .. 5e + 5, whose middles lie inside.
    std::vector<std::pair<double, double>> sums;
    double modelTotal = 0, measuredTotal = 0;
    for (int e = 5; e + 1 <= kv; ++e) {
        double a = 0, b = 0;
        for (int i = 5 * e + 1; i <= 5 * e + 5 && i < spectrum::kBins; ++i)
            a += model[i], b += measured[i];
        sums.emplace_back(a, b);
        modelTotal += a, measuredTotal += b;
    }
    std::vector<RatioPoint> out;
    for (size_t n = 0; n < sums.size(); ++n) {
        RatioPoint p{5.5 + static_cast<double>(n), std::nullopt};
        if (sums[n].second > 0 && modelTotal > 0)
            p.ratio = (sums[n].first / modelTotal) / (sums[n].second / measuredTotal);
        out.push_back(p);
    }
    return out;
}

std::vector<RatioPoint> ratioAt(const CatalogueTube& tube, int kv, const spectrum::PhysicalData& data,
                                const fs::path& catalogue) {
    const formats::MeasuredSpectrum m = catalogueFile(tube, kv, catalogue);
    return binRatios(
        spectrum::raySpectrum(tube.target, data, catalogueFields(tube, kv, kBare), kCatalogueRay),
        spectrum::rebinnedFluence(m, kv), kv);
}

std::string
spectrumMarkdown(const std::vector<std::pair<CatalogueTube, std::vector<TubeVoltageComparison>>>& all,
                 const std::vector<std::string>& ratioPlots, const std::string& command) {
    std::ostringstream md;
    md << "Made by `" << command
       << "`. Model / measured − 1 in per cent; mean: fluence-weighted mean energy; HVL: first HVL in "
          "aluminium, "
          "narrow beam, air kerma, without a paddle.\n";
    for (const auto& [tube, rows] : all) {
        if (rows.empty()) continue;
        md << "\n#### " << tube.symbol << " anode (" << tube.anodeAngle << "°, " << tube.beryllium
           << " mm Be, 100 cm air)\n\n| kV |";
        for (const QualityPair& q : rows[0].qualities)
            md << " " << q.filter << ": mean (keV) | HVL (mm Al) |";
        md << "\n|---|";
        for (size_t i = 0; i < rows[0].qualities.size(); ++i)
            md << "---|---|";
        md << "\n";
        double worstMean = 0, worstHvl = 0, worstBareHvl = 0;
        for (const TubeVoltageComparison& r : rows) {
            md << "| " << r.kv << " |";
            for (const QualityPair& q : r.qualities) {
                md << " " << format(q.measuredMean, "0.00") << " (" << signedPercent(q.meanPercent())
                   << " %) | " << format(q.measuredHvl, "0.000") << " (" << signedPercent(q.hvlPercent())
                   << " %) |";
                if (r.kv >= 22) {
                    worstMean = std::max(worstMean, std::fabs(q.meanPercent()));
                    (q.filter == "bare" ? worstBareHvl : worstHvl) =
                        std::max(q.filter == "bare" ? worstBareHvl : worstHvl, std::fabs(q.hvlPercent()));
                }
            }
            md << "\n";
        }
        md << "\nMeasured value (model's difference). Largest difference from 22 kV up: mean energy "
           << format(worstMean, "0.0") << " %, filtered first HVL " << format(worstHvl, "0.0")
           << " %, bare first HVL " << format(worstBareHvl, "0.0") << " %.";
        if (tube.target == formats::TargetMaterial::Rhodium)
            md << " Goal: mean energy within 1 % and filtered HVLs within 3 % at every kV from 22 to 40 — "
               << (worstMean <= 1 && worstHvl <= 3 ? "reached" : "not reached") << ".";
        md << "\n";
    }
    if (!ratioPlots.empty()) {
        md << "\nModel over measured photons in 1 keV bins, both normalised to their photons from 5 keV to "
              "the "
              "tube voltage, at 25, 28, 31 and 35 kV:\n\n";
        for (const std::string& p : ratioPlots)
            md << "![" << p << "](" << p << ")\n";
    }
    return md.str();
}

} // namespace kv::validation
