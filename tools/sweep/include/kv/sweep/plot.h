#pragma once
// The sweep's pictures: curves of points with 1-sigma error bars, one colour
// per curve (DIR/sagd.png: sAGD against thickness; DIR/g.png: g against HVL).
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kv::sweep {

struct PlotPoint {
    std::string curve; // the curve's legend
    double x = 0, y = 0, sigmaPercent = 0;
};

struct PlotLabels {
    std::string title, xAxis, yAxis;
    bool xFromZero = true; // else the x axis starts at a round value below the smallest x
};

// nullopt when written, else why not.
std::optional<std::string> writePlot(const std::filesystem::path& file, const std::vector<PlotPoint>& points,
                                     const PlotLabels& labels);

// False in a build without Qt, which draws no pictures: their absence is then no failure.
bool plotsBuiltIn();

} // namespace kv::sweep
