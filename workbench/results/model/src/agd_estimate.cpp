#include "kv/workbench/results/model/agd_estimate.h"

#include "kv/common/format.h"

namespace kv::results {

std::string plusMinusPercent(const std::optional<double>& relative) {
    if (!relative) return {};
    return "\u00b1 " + format(*relative * 100.0, "0.00") + " %";
}

AgdEstimate estimateAgd(double airKermaMGy, double sagd, const StatedUncertainty& u) {
    return {airKermaMGy * sagd, u.sagd};
}

} // namespace kv::results
