#include "kv/spectrum/beam_quality.h"

#include "kv/spectrum/xray_data.h"

#include <cmath>

namespace kv::spectrum {
namespace {

// Mass energy-absorption coefficient of dry air at each bin energy, cm²/g.
const std::array<double, kBins>& airEnergyAbsorption() {
    static const std::array<double, kBins> table = [] {
        std::array<double, kBins> t{};
        for (int i = 1; i < kBins; ++i) t[i] = xray::massEnergyAbsorption(xray::dryAir(), binEnergy(i));
        return t;
    }();
    return table;
}

} // namespace

std::optional<BeamQuality> beamQuality(const std::array<double, kBins>& fluence, const AttenuationColumn& aluminum) {
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
        for (int i = 1; i < kBins; ++i) k += kerma[i] * std::exp(-aluminum[i] * mm * 0.1);
        return k;
    };
    // The kerma falls monotonically with thickness: bisect for the fraction.
    auto thicknessFor = [&](double fraction) {
        const double target = fraction * total;
        double lo = 0, hi = 1;
        while (kermaBehind(hi) > target && hi < 1e4) hi *= 2;
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
