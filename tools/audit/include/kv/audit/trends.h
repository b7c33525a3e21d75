#pragma once
// A unit's doses over time and against reference levels: the quarter of each
// exposure, the median per unit and quarter, a step in a unit's dose found in
// the order of its exposures, and the comparison of a unit's median in a
// thickness band with the levels the user gives:
//
//   --reference-levels FILE
//   level,modality,thickness_min_mm,thickness_max_mm,mgy[,view][,source]
//
// (a band holds min <= thickness < max; modality 2d or dbt; an empty view is
// any view). Qt-free: the plot is drawn from what this gives.
#include "kv/audit/exposure.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kv::audit {

// Days since 1970-01-01 of a YYYYMMDD date; empty for anything else.
std::optional<int> dayNumber(const std::string& yyyymmdd);
// "2026-Q3"; empty for a date that is not one.
std::string quarterOf(const std::string& yyyymmdd);
// YYYY-MM-DD of a day number.
std::string isoDate(int day);

// One exposure as the trend sees it.
struct DatedDose {
    int day = 0;
    double seconds = 0; // time of day, for the order within a day
    double thicknessMm = 0;
    double agd = 0;
};

// ln AGD = intercept + slope x thickness, least squares over (mm, mGy)
// points (those without a positive dose left out): how a unit's dose grows
// with thickness.
struct LogLine {
    double intercept = 0, slope = 0;
    double lnAt(double mm) const { return intercept + slope * mm; }
};
LogLine fitLogLine(const std::vector<std::pair<double, double>>& points);

// Each point's modified z-score (Iglewicz and Hoaglin 1993) of its ln AGD
// less the unit's line: 0.6745 (r - median r) / MAD; 0 when the MAD is
// none. An exposure above kOutlierZ in size is an outlier.
inline constexpr double kOutlierZ = 3.5;
std::vector<double> modifiedZ(const std::vector<std::pair<double, double>>& points);

// The largest step of a unit's dose between two days: ln AGD less its least-
// squares line in thickness, before and after each change of day with at
// least kStepMinSide exposures on either side, compared by Welch's t. A step
// is found when |t| >= kStepMinT and it moves the dose by kStepMinPercent or
// more.
inline constexpr size_t kStepMinSide = 10;
inline constexpr double kStepMinT = 4;
inline constexpr double kStepMinPercent = 5;
struct DoseStep {
    int day = 0;        // the first day after the step
    double percent = 0; // the dose after over the dose before, less one, in per cent
    double t = 0;
    bool found = false;
};
// Empty when too few exposures on too few days for a test.
std::optional<DoseStep> findDoseStep(std::vector<DatedDose> doses);

// A unit's median AGD week by week (at each week's middle day), and the
// first day after its step when one was found: what the trend plot draws.
struct TrendSeries {
    std::string label;
    std::vector<std::pair<double, double>> points; // day number, mGy
    std::optional<int> stepDay;
};

struct ReferenceLevel {
    int line = 0;
    std::string name;
    Modality modality = Modality::Mammography;
    std::string view; // empty: any
    double minMm = 0, maxMm = 0;
    double mgy = 0;
    std::string source;
    bool holds(double thicknessMm) const { return thicknessMm >= minMm && thicknessMm < maxMm; }
    std::string band() const; // "40-60 mm"
};

// Throws MeasuredError (its faults name the line, column and value).
std::vector<ReferenceLevel> readReferenceLevels(const std::filesystem::path& file);
std::vector<ReferenceLevel> parseReferenceLevels(const std::string& text, const std::string& name);

} // namespace kv::audit
