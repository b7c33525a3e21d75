#include "kv/spectrum/model/measured_source.h"

#include "kv/common/format.h"
#include "kv/common/typed_number.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace kv::spectrum {

std::array<double, kBins> rebinnedFluence(const MeasuredSpectrum& m, double tubeVoltage) {
    std::array<double, kBins> out{};
    const int last = lastBinOf(tubeVoltage);
    if (last < 2 || m.bins.empty()) return out;
    const double floor = binEnergy(2) - 0.1, ceiling = binEnergy(last) + 0.1;
    for (size_t j = 0; j < m.bins.size(); ++j) {
        const double hi = m.bins[j].top;
        const double width = j > 0 ? hi - m.bins[j - 1].top : m.bins.size() > 1 ? m.bins[1].top - hi : hi;
        const double lo = std::max(0.0, hi - width);
        const double a = std::max(lo, floor), b = std::min(hi, ceiling);
        if (!(b > a) || m.bins[j].fluence == 0) continue;
        // Bins of 0.2 keV whose span [0.2·i − 0.1, 0.2·i + 0.1] meets [a, b].
        const int first = std::max(2, static_cast<int>(std::floor((a + 0.1) / 0.2)));
        for (int i = first; i <= last; ++i) {
            const double low = binEnergy(i) - 0.1, high = binEnergy(i) + 0.1;
            if (low >= b) break;
            const double overlap = std::min(b, high) - std::max(a, low);
            if (overlap > 0) out[i] += m.bins[j].fluence * overlap;
        }
    }
    return out;
}

SpectrumResult measuredSpectrumTable(const MeasuredSpectrum& m, const std::string& file,
                                     const PhysicalData& d, const SpectrumFields& fields) {
    if (checkDrawSpectrum(fields) != DrawCheck::Accepted)
        throw std::domain_error("the spectrum fields do not pass the checks of \"Draw spectrum\"");
    const double v = kv::parseNumber(fields.tubeVoltage);
    const std::array<double, kBins> photons = rebinnedFluence(m, v);
    double total = 0;
    for (double p : photons)
        total += p;
    if (!(total > 0))
        throw formats::MeasuredSpectrumError(formats::MeasuredFault::NothingBelowTubeVoltage,
                                             kv::shownText(file), 0, kv::plainDecimal(v));
    const double be = kv::parseNumber(fields.beryllium) * 0.1, al = kv::parseNumber(fields.aluminum) * 0.1,
                 mo = kv::parseNumber(fields.molybdenum) * 0.1, rh = kv::parseNumber(fields.rhodium) * 0.1,
                 air = kv::parseNumber(fields.airLayer), ag = kv::parseNumber(fields.silver) * 0.1;
    SpectrumResult r;
    r.lastBin = lastBinOf(v);
    for (int i = 2; i <= r.lastBin; ++i) {
        // The model's filters in the model's order.
        const double value = photons[i] * std::exp(-d.beryllium[i] * be) * std::exp(-d.aluminum[i] * al) *
                             std::exp(-d.molybdenum[i] * mo) * std::exp(-d.rhodium[i] * rh) *
                             std::exp(-d.air[i] * air) * std::exp(-d.silver[i] * ag);
        for (int k = 0; k < kColumns; ++k)
            r.table[k][i] = value;
        r.plotMaximum = std::max(r.plotMaximum, value);
    }
    normaliseSpectrumTable(r.table);
    return r;
}

} // namespace kv::spectrum
