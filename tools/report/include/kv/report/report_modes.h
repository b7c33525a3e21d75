#pragma once
// kv-report's two further modes, for scripts:
//
//   kv-report_en --export DIR FILE...     DIR/S.depth-dose.csv and DIR/S.dose.csv for each readable S.vesk
//   kv-report_en [--json] --compare A B   A, B, B/A and (B-A)/combined sigma of the 100 % dose, the sAGD,
//                                         the mean percentage and every depth-dose layer; for a scan
//                                         also t_scan and each projection's dose
//                                         and t_i (its number in `layer`)
//
// runReport reads the command line and hands a mode its folder and files.
#include "kv/results/agd_estimate.h"
#include "kv/results/dose_model.h"
#include "kv/texts/results_extras.h"
#include "kv/texts/results_model.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kv::results {

int runExport(const std::string& dir, const std::vector<std::string>& files, std::ostream& err,
              const texts::ResultsModelTexts& t, const texts::ResultsExtrasTexts& x);
int runCompare(const std::vector<std::string>& files, bool json, std::ostream& out, std::ostream& err,
               const texts::ResultsModelTexts& t, const texts::ResultsExtrasTexts& x);

// One row of a comparison; values that do not exist are empty.
struct ComparisonRow {
    std::string quantity;
    int layer = 0; // depth-dose rows only
    std::optional<double> a, b, ratio, differenceSigma;
};

// The rows comparing two loaded results with the uncertainties their headers state.
// The trailers' whole-breast doses and air-kerma ratios follow the fields when either file has them.
std::vector<ComparisonRow> compareResults(const DoseModel& a, const StatedUncertainty& ua, const DoseModel& b,
                                          const StatedUncertainty& ub, const formats::ResultTrailer& ta = {},
                                          const formats::ResultTrailer& tb = {});

inline constexpr std::string_view kComparisonHeader = "quantity,layer,a,b,ratio,difference_sigma";

} // namespace kv::results
