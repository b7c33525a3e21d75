#include "kv/spectrum/model/beam_quality.h"

#include "kv/common/format.h"
#include "kv/common/typed_number.h"
#include "kv/photon/xray_data.h"

#include <cmath>
#include <map>
#include <mutex>

namespace kv::spectrum {
namespace {

namespace xray = photon::xray;

// Mass energy-absorption coefficient of dry air at each bin energy, cm²/g.
const std::array<double, kBins>& airEnergyAbsorption() {
    static const std::array<double, kBins> table = [] {
        std::array<double, kBins> t{};
        const photon::Material air = photon::materials::dryAir();
        for (int i = 1; i < kBins; ++i)
            t[i] = xray::massEnergyAbsorption(air, binEnergy(i));
        return t;
    }();
    return table;
}

// Mass fractions of a formula CxHyOz from standard atomic weights.
photon::Material plastic(const char* name, double c, double h, double o, double density) {
    const double mc = 12.011 * c, mh = 1.008 * h, mo = 15.999 * o, total = mc + mh + mo;
    return {name, density, {{1, mh / total}, {6, mc / total}, {8, mo / total}}};
}

// Linear attenuation coefficient of a plate material at each bin, 1/cm.
const std::array<double, kBins>& plateAttenuation(PlateMaterial m) {
    static std::mutex lock;
    static std::map<PlateMaterial, std::array<double, kBins>> tables;
    std::lock_guard<std::mutex> guard(lock);
    auto it = tables.find(m);
    if (it != tables.end()) return it->second;
    const photon::Material mat =
        m == PlateMaterial::Pmma ? plastic("PMMA", 5, 8, 2, 1.19) : plastic("polycarbonate", 16, 14, 3, 1.20);
    std::array<double, kBins> mu{};
    for (int i = 1; i < kBins; ++i)
        mu[i] = xray::massAttenuation(mat, binEnergy(i)) * mat.density;
    return tables.emplace(m, mu).first->second;
}

std::string fill(std::string_view text, double value) {
    return fillIn(std::string(text), {{"{hvl}", kv::format(value, "0.0000")}});
}

} // namespace

std::string matchRefusalMessage(const HvlMatch& m, double measured, const texts::SpectrumFileTexts& t) {
    switch (m.outcome) {
    case HvlMatchOutcome::BelowUnfiltered:
        return fill(t.matchBelowUnfiltered, m.firstHvl);
    case HvlMatchOutcome::BeyondReach:
        return fill(t.matchBeyondReach, m.firstHvl);
    case HvlMatchOutcome::NoBeam:
    case HvlMatchOutcome::Matched:
        break;
    }
    return fill(t.matchNoBeam, measured);
}

Transmission plateTransmission(PlateMaterial material, double mm) {
    const auto& mu = plateAttenuation(material);
    Transmission t{};
    for (int i = 1; i < kBins; ++i)
        t[i] = std::exp(-mu[i] * mm * 0.1);
    return t;
}

std::optional<Transmission> paddleTransmission(const std::optional<Geometry>& geometry) {
    if (!geometry) return std::nullopt;
    return plateTransmission(geometry->paddleMaterial, geometry->paddleMm);
}

std::optional<BeamQuality> beamQuality(const std::array<double, kBins>& fluence,
                                       const AttenuationColumn& aluminum,
                                       const std::optional<Transmission>& through) {
    if (!through) return beamQuality(fluence, aluminum);
    std::array<double, kBins> behind{};
    for (int i = 1; i < kBins; ++i)
        behind[i] = fluence[i] * (*through)[i];
    return beamQuality(behind, aluminum);
}

HvlMatch matchFirstHvl(TargetMaterial target, const PhysicalData& data, const SpectrumFields& fields,
                       double measuredHvl, const std::optional<Transmission>& through) {
    HvlMatch m;
    m.fields = fields;
    auto alText = [](int thousandths) { return kv::format(thousandths / 1000.0, "0.000"); };
    // First HVL with n thousandths of a mm of aluminium; -1 when there is no beam.
    auto hvlWith = [&](int thousandths) {
        SpectrumFields f = fields;
        f.aluminum = alText(thousandths);
        const auto q = beamQuality(computeSpectrum(target, data, f).table[0], data.aluminum, through);
        return q ? q->firstHvl : -1.0;
    };
    constexpr double tolerance = 0.001;
    constexpr int top = static_cast<int>(kMaxMatchAluminumMm * 1000);
    const double bare = hvlWith(0);
    if (bare < 0) return m;
    if (bare > measuredHvl + tolerance) {
        m.outcome = HvlMatchOutcome::BelowUnfiltered;
        m.firstHvl = bare;
        return m;
    }
    // The first HVL grows with the aluminium: the smallest thickness that
    // reaches the measured value, or the one just below it, is the closest.
    int lo = 0, hi = top;
    double hiHvl = hvlWith(top);
    if (hiHvl < 0) return m;
    if (hiHvl < measuredHvl - tolerance) {
        m.outcome = HvlMatchOutcome::BeyondReach;
        m.firstHvl = hiHvl;
        return m;
    }
    double loHvl = bare;
    if (loHvl >= measuredHvl) hi = lo, hiHvl = loHvl;
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        const double h = hvlWith(mid);
        if (h >= measuredHvl)
            hi = mid, hiHvl = h;
        else
            lo = mid, loHvl = h;
    }
    const bool takeLow = std::fabs(loHvl - measuredHvl) < std::fabs(hiHvl - measuredHvl);
    const int best = takeLow ? lo : hi;
    const double reached = takeLow ? loHvl : hiHvl;
    m.firstHvl = reached;
    if (!(std::fabs(reached - measuredHvl) <= tolerance)) {
        m.outcome = HvlMatchOutcome::BeyondReach;
        return m;
    }
    m.outcome = HvlMatchOutcome::Matched;
    m.aluminumText = alText(best);
    m.fields.aluminum = m.aluminumText;
    return m;
}

std::optional<BeamQuality> beamQuality(const std::array<double, kBins>& fluence,
                                       const AttenuationColumn& aluminum) {
    const auto& muEn = airEnergyAbsorption();
    std::array<double, kBins> kerma{};
    double photons = 0, energy = 0, total = 0;
    for (int i = 1; i < kBins; ++i) {
        const double phi = fluence[i] > 0 ? fluence[i] : 0.0;
        photons += phi;
        energy += phi * binEnergy(i);
        kerma[i] = phi * binEnergy(i) * muEn[i];
        total += kerma[i];
    }
    if (!(total > 0) || !std::isfinite(total) || !std::isfinite(energy)) return std::nullopt;

    auto kermaBehind = [&](double mm) {
        double k = 0;
        for (int i = 1; i < kBins; ++i)
            k += kerma[i] * std::exp(-aluminum[i] * mm * 0.1);
        return k;
    };
    // The kerma falls monotonically with thickness: bisect for the fraction.
    auto thicknessFor = [&](double fraction) {
        const double target = fraction * total;
        double lo = 0, hi = 1;
        while (kermaBehind(hi) > target && hi < 1e4)
            hi *= 2;
        for (int n = 0; n < 60; ++n) {
            const double mid = 0.5 * (lo + hi);
            (kermaBehind(mid) > target ? lo : hi) = mid;
        }
        return 0.5 * (lo + hi);
    };
    BeamQuality q;
    q.firstHvl = thicknessFor(0.5);
    q.secondHvl = thicknessFor(0.25) - q.firstHvl;
    q.meanEnergy = energy / photons;
    return q;
}

} // namespace kv::spectrum
