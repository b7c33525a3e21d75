#include "kv/results/agd_estimate.h"

#include "kv/common/format.h"
#include "kv/formats/trailer_keys.h"

namespace kv::results {

std::string plusMinusPercent(const std::optional<double>& relative) {
    if (!relative) return {};
    return "\u00b1 " + format(*relative * 100.0, "0.00") + " %";
}

KaRatios kaRatiosOf(const formats::ResultTrailer& t) {
    auto positive = [&](std::string_view name) -> std::optional<double> {
        const std::optional<double> v = t.number(name);
        return v && *v > 0 ? v : std::nullopt;
    };
    namespace key = formats::trailer;
    return {positive(key::kKFcdPaddlePerKFcd.name), positive(key::kKSurfacePerKFcd.name),
            positive(key::kKSurface40mmPerKFcd.name), positive(key::kKSurface60mmPerKFcd.name)};
}

std::optional<double> kaRatio(const KaRatios& r, KaPoint p, int surfaceMm) {
    switch (p) {
    case KaPoint::FcdPaddle:
        return r.fcdPaddle;
    case KaPoint::BreastSurface:
        switch (surfaceMm) {
        case 0:
            return r.breastSurface;
        case 40:
            return r.surface40mm;
        case 60:
            return r.surface60mm;
        default:
            return std::nullopt;
        }
    default:
        return 1.0;
    }
}

AgdEstimate estimateAgd(double airKermaMGy, double sagd, const StatedUncertainty& u, double kaRatio) {
    return {airKermaMGy * sagd / kaRatio, u.sagd};
}

} // namespace kv::results
