#include "kv/results/agd_estimate.h"

#include "kv/common/format.h"

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
    return {positive("k_fcd_paddle_per_k_fcd"), positive("k_surface_per_k_fcd")};
}

std::optional<double> kaRatio(const KaRatios& r, KaPoint p) {
    switch (p) {
    case KaPoint::FcdPaddle:
        return r.fcdPaddle;
    case KaPoint::BreastSurface:
        return r.breastSurface;
    default:
        return 1.0;
    }
}

AgdEstimate estimateAgd(double airKermaMGy, double sagd, const StatedUncertainty& u, double kaRatio) {
    return {airKermaMGy * sagd / kaRatio, u.sagd};
}

} // namespace kv::results
