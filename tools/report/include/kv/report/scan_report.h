#pragma once
// What a tomosynthesis result's trailer says of its scan, for kv-report: the
// kind of scan, its projections (angle, share of the tube loading, dose per
// its own 0 deg surface kerma, t, with their sigmas), the whole scan's dose
// per the 0 deg surface kerma and T, with T formed again from the
// projections (sum of share x t) beside the engine's.
#include "kv/formats/result_file.h"

#include <optional>
#include <string>
#include <vector>

namespace kv::results {

struct ScanProjection {
    int index = 0; // 1-based, in the order of the angles
    std::optional<double> angleDeg, loading, mgd, mgdSigmaPercent, t, tSigmaPercent;
};

struct ScanSummary {
    std::string kind; // the trailer's `scan`: continuous, step or single
    std::optional<double> projections, rotationAxisCm;
    std::optional<double> mgdPerKSurface0deg, mgdSigmaPercent;
    std::optional<double> tScan, tScanSigmaPercent;
    // Sum of share x t over the projections, the shares scaled to add up to 1;
    // none unless every projection has both.
    std::optional<double> tFromProjections;
    std::vector<ScanProjection> perProjection;
};

// None for a trailer without `scan`. A list whose items are not all numbers
// leaves that column empty rather than shifting the others.
std::optional<ScanSummary> scanOf(const formats::ResultTrailer& trailer);

} // namespace kv::results
