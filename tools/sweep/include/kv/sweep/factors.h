#pragma once
// DIR/factors.csv: the protocols' conversion factors from the sweep's
// protocol rows, and DIR/g.png, g against the HVL per thickness.
//   g: mgd of a 50 % glandular row (for a beam other than Mo/Mo that is g x s);
//   c: mgd relative to the 50 % row of the same thickness and beam;
//   s: mgd relative to the Mo/Mo rows' mgd of the same breast, interpolated
//      linearly in the HVL with the paddle (never beyond their range).
//   t: a single projection's mgd (projection_angle) over the 0 deg projection
//      row's of the same breast, beam and geometry (any FAD, axis or range;
//      without such a row, the mammography row of that breast and beam with
//      absorbing plates);
//   T: a scan row's mgd (continuous or step) over that same 0 deg row, and
//      beside it T_trailer, the scan's own sum of alpha_i t_i from its trailer
//      (a step scan with a 0 deg projection).
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
    // Tomosynthesis rows: the scan, and t or T with their relative 1-sigmas in percent.
    bool tomosynthesis = false;
    int projections = 0;
    std::optional<double> projectionAngle, rotationAxis;
    std::optional<double> t, tSigmaPercent, bigT, bigTSigmaPercent, trailerT, trailerTSigmaPercent;
    double adiposeRimMm = 0; // the protocol breast's rim; its t and T are over a 0 deg row of the same
};

inline constexpr const char* kFactorsHeader =
    "target,filters,kv,thickness_cm,glandular_percent,hvl1_mm_al_paddle,mgd,mgd_sigma_percent,g,c,s,"
    "method,projections,projection_angle,rotation_axis_cm,t,t_sigma_percent,T,T_sigma_percent,T_trailer,"
    "T_trailer_sigma_percent,adipose_rim_mm";

std::vector<FactorLine> conversionFactors(const std::vector<FactorRow>& rows);
// Throws kv::RecordError when the file cannot be written (the old one stays).
void writeFactorsFile(const std::filesystem::path& dir, const std::string& name,
                      const std::vector<FactorLine>& lines);
// The Mo/Mo rows' g, one curve per thickness.
std::vector<PlotPoint> gPlotPoints(const std::vector<FactorLine>& lines);
// The single-projection rows' t against their angle, one curve per thickness
// (and per beam and axis height where the grid holds several).
std::vector<PlotPoint> tPlotPoints(const std::vector<FactorLine>& lines);

} // namespace kv::sweep
