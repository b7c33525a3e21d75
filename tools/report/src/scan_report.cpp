#include "kv/report/scan_report.h"

#include "kv/formats/trailer_keys.h"

#include <algorithm>
#include <initializer_list>

namespace kv::results {

namespace tk = formats::trailer;

std::optional<ScanSummary> scanOf(const formats::ResultTrailer& trailer) {
    const std::string* kind = trailer.find(tk::kScan);
    if (!kind) return std::nullopt;
    ScanSummary s;
    s.kind = *kind;
    s.projections = trailer.number(tk::kProjections);
    s.rotationAxisCm = trailer.number(tk::kRotationAxisCm);
    s.mgdPerKSurface0deg = trailer.number(tk::kMgdPerKSurface0deg);
    s.mgdSigmaPercent = trailer.number(tk::kMgdPerKSurface0degSigmaPercent);
    s.tScan = trailer.number(tk::kTScan);
    s.tScanSigmaPercent = trailer.number(tk::kTScanSigmaPercent);

    using List = std::optional<std::vector<double>>;
    auto list = [&](const formats::TrailerKey& k) -> List {
        const std::string* v = trailer.find(k);
        return v ? formats::trailerNumbers(*v) : std::nullopt;
    };
    const List angles = list(tk::kProjectionAngles), mgd = list(tk::kMgdPerKSurfaceI),
               mgdSigma = list(tk::kMgdPerKSurfaceISigmaPercent), t = list(tk::kTI),
               tSigma = list(tk::kTISigmaPercent);
    List loading = list(tk::kProjectionLoading);
    size_t n = 0;
    for (const List* l : std::initializer_list<const List*>{&angles, &loading, &mgd, &mgdSigma, &t, &tSigma})
        if (*l) n = std::max(n, (*l)->size());
    // Unsaid, the loading is shared equally (the scan's default).
    if (!trailer.find(tk::kProjectionLoading) && n > 0)
        loading = std::vector<double>(n, 1.0 / static_cast<double>(n));
    auto at = [](const List& l, size_t i) -> std::optional<double> {
        if (!l || i >= l->size()) return std::nullopt;
        return (*l)[i];
    };
    double shares = 0, weighted = 0;
    bool whole = n > 0;
    for (size_t i = 0; i < n; ++i) {
        ScanProjection p{static_cast<int>(i) + 1, at(angles, i), at(loading, i), at(mgd, i),
                         at(mgdSigma, i),         at(t, i),      at(tSigma, i)};
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
