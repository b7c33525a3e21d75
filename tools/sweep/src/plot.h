#pragma once
// DIR/sagd.png: sAGD against thickness, one curve per glandularity and beam.
#include "kv/texts/sweep.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kv::sweep {

struct PlotPoint {
    std::string curve; // the curve's legend
    double thickness = 0, sagd = 0, sigmaPercent = 0;
};

// nullopt when written, else why not.
std::optional<std::string> writeSagdPlot(const std::filesystem::path& file,
                                         const std::vector<PlotPoint>& points, const texts::SweepTexts& t);

} // namespace kv::sweep
