#pragma once
// DIR/factors.csv: the protocols' conversion factors from the sweep's
// protocol rows, and DIR/g.png, g against the HVL per thickness.
//   g: mgd of a 50 % glandular row (for a beam other than Mo/Mo that is g x s);
//   c: mgd relative to the 50 % row of the same thickness and beam;
//   s: mgd relative to the Mo/Mo rows' mgd of the same breast, interpolated
//      linearly in the HVL with the paddle (never beyond their range).
// A factor whose reference row the grid lacks stays empty.
#include "kv/factors/row_factors.h"
#include "kv/sweep/plot.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kv::sweep {

struct FactorRow {
    factors::Row row;
    factors::RowFactors factors;
};

struct FactorLine {
    std::string target, filters, kv;
    double thickness = 0, glandular = 0, hvlPaddle = 0, mgd = 0, mgdSigmaPercent = 0;
    bool moMo = false;
    std::optional<double> g, c, s;
};

inline constexpr const char* kFactorsHeader =
    "target,filters,kv,thickness_cm,glandular_percent,hvl1_mm_al_paddle,mgd,mgd_sigma_percent,g,c,s";

std::vector<FactorLine> conversionFactors(const std::vector<FactorRow>& rows);
// Throws kv::RecordError when the file cannot be written (the old one stays).
void writeFactorsFile(const std::filesystem::path& dir, const std::string& name,
                      const std::vector<FactorLine>& lines);
// The Mo/Mo rows' g, one curve per thickness.
std::vector<PlotPoint> gPlotPoints(const std::vector<FactorLine>& lines);

} // namespace kv::sweep
