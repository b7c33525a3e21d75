#include "kv/audit/glandularity.h"

#include <array>
#include <cmath>

namespace kv::audit {
namespace {

// Dance et al. 2000 (Phys. Med. Biol. 45 3225), typical breast glandularity (%)
// against compressed breast thickness.
constexpr std::array<double, 11> kThicknessCm = {2, 3, 4, 4.5, 5, 6, 7, 8, 9, 10, 11};
constexpr std::array<double, 11> kForties = {100, 82, 65, 49, 35, 24, 14, 8, 5, 5, 5};
constexpr std::array<double, 11> kFifties = {100, 72, 50, 33, 21, 12, 7, 4, 3, 3, 3};

double interpolate(const std::array<double, 11>& g, double cm) {
    for (size_t i = 1; i < kThicknessCm.size(); ++i)
        if (cm <= kThicknessCm[i]) {
            const double w = (cm - kThicknessCm[i - 1]) / (kThicknessCm[i] - kThicknessCm[i - 1]);
            return g[i - 1] + w * (g[i] - g[i - 1]);
        }
    return g.back();
}

} // namespace

std::optional<TypicalGlandularity> typicalGlandularity(double thicknessMm, std::optional<double> ageYears) {
    if (!std::isfinite(thicknessMm) || thicknessMm < kTableMinThicknessMm ||
        thicknessMm > kTableMaxThicknessMm)
        return std::nullopt;
    TypicalGlandularity t;
    if (!ageYears || !std::isfinite(*ageYears)) {
        t.ageKnown = false, t.nearest = true, t.group = AgeGroup::Fifties;
    } else {
        // Whole years, as the age is given: 49 and a half is still in the forties.
        const double age = std::floor(*ageYears);
        t.group = age < 50 ? AgeGroup::Forties : AgeGroup::Fifties;
        t.nearest = age < 40 || age > 64;
    }
    t.percent = interpolate(t.group == AgeGroup::Forties ? kForties : kFifties, thicknessMm / 10);
    return t;
}

std::string ageGroupLabel(const TypicalGlandularity& g) {
    std::string s = g.group == AgeGroup::Forties ? "40-49" : "50-64";
    if (!g.ageKnown) return s + " (age unknown)";
    return g.nearest ? s + " (nearest)" : s;
}

} // namespace kv::audit
