#include "kv/report/scan_report.h"

#include "kv/common/format.h"
#include "kv/formats/trailer_keys.h"

#include <algorithm>
#include <sstream>

namespace kv::results {
namespace {

// The scan's keys as the engines write them.
constexpr std::string_view kScan = "scan", kProjections = "projections", kAngles = "projection_angles",
                           kLoading = "projection_loading", kAxis = "rotation_axis_cm",
                           kMgd0 = "mgd_per_k_surface_0deg",
                           kMgd0Sigma = "mgd_per_k_surface_0deg_sigma_percent", kTi = "t_i",
                           kTiSigma = "t_i_sigma_percent", kT = "T", kTSigma = "T_sigma_percent";

// A space-separated list of numbers; none when any item is not one.
std::optional<std::vector<double>> numbers(const formats::ResultTrailer& t, std::string_view key) {
    const std::string* text = t.find(key);
    if (!text) return std::nullopt;
    std::vector<double> out;
    std::istringstream in(*text);
    for (std::string item; in >> item;) {
        double v = 0;
        if (!parseNumberStrict(item, v)) return std::nullopt;
        out.push_back(v);
    }
    return out;
}

} // namespace

std::optional<ScanSummary> scanOf(const formats::ResultTrailer& trailer) {
    const std::string* kind = trailer.find(kScan);
    if (!kind) return std::nullopt;
    ScanSummary s;
    s.kind = *kind;
    s.projections = trailer.number(kProjections);
    s.rotationAxisCm = trailer.number(kAxis);
    s.mgdPerKSurface0deg = trailer.number(kMgd0);
    s.mgdSigmaPercent = trailer.number(kMgd0Sigma);
    if (!s.mgdSigmaPercent && s.mgdPerKSurface0deg) s.mgdSigmaPercent = trailer.number("mgd_sigma_percent");
    s.T = trailer.number(kT);
    s.tSigmaPercent = trailer.number(kTSigma);

    const std::optional<std::vector<double>> angles = numbers(trailer, kAngles), t = numbers(trailer, kTi),
                                             sigma = numbers(trailer, kTiSigma);
    std::optional<std::vector<double>> loading = numbers(trailer, kLoading);
    size_t n = 0;
    for (const std::optional<std::vector<double>>* list :
         std::initializer_list<const std::optional<std::vector<double>>*>{&angles, &loading, &t, &sigma})
        if (*list) n = std::max(n, (*list)->size());
    // Unsaid, the loading is shared equally (the scan's default).
    if (!trailer.find(kLoading) && n > 0) loading = std::vector<double>(n, 1.0 / static_cast<double>(n));
    auto at = [](const std::optional<std::vector<double>>& list, size_t i) -> std::optional<double> {
        if (!list || i >= list->size()) return std::nullopt;
        return (*list)[i];
    };
    double shares = 0, weighted = 0;
    bool whole = n > 0;
    for (size_t i = 0; i < n; ++i) {
        ScanProjection p{static_cast<int>(i) + 1, at(angles, i), at(loading, i), at(t, i), at(sigma, i)};
        if (p.loading && p.t) {
            shares += *p.loading, weighted += *p.loading * *p.t;
        } else {
            whole = false;
        }
        s.perProjection.push_back(p);
    }
    if (whole && shares > 0) s.tFromProjections = weighted / shares;
    return s;
}

} // namespace kv::results
