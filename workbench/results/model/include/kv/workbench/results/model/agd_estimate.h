#pragma once
// The uncertainties a result file's header states, as the results screens
// and kv-report show them, and the AGD of a measured air kerma.
#include "kv/formats/run_header.h"

#include <optional>
#include <string>

namespace kv::results {

using formats::StatedUncertainty;

// The relative sigma as the screens show it: "± 0.10 %". Empty when not stated.
std::string plusMinusPercent(const std::optional<double>& relative);

// The AGD for a measured air kerma in mGy: Ka x sAGD, and its relative
// sigma, the sAGD's (the dosimeter's own uncertainty is the user's).
struct AgdEstimate {
    double agd = 0;
    std::optional<double> relativeSigma;
};
AgdEstimate estimateAgd(double airKermaMGy, double sagd, const StatedUncertainty& u);

} // namespace kv::results
