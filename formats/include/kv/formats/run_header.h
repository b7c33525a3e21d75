#pragma once
// What a result file's free header lines tell beyond the numbers the loader
// reads: the engines state the relative 1-sigma uncertainty of the 100 % dose
// and of the sAGD on a line of their own.
//
//   std::vector<std::string> h = readRunHeader(workDir, "run1.vesk");   // kind line + description
//   StatedUncertainty u = statedUncertainty(h);   // u.referenceDose, u.sagd: fractions, or empty
//   uncertaintyLine(0.001, 0.0005)  // " Relative uncertainty (1 sigma): 100 % dose 0.10 %, sAGD 0.05 %"
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::formats {

inline constexpr std::string_view kUncertaintyLabel = "Relative uncertainty (1 sigma):";

struct StatedUncertainty {
    std::optional<double> referenceDose; // relative, 0.001 for 0.1 %
    std::optional<double> sagd;
};

// The line an engine writes for its uncertainties (relative values); the
// median over the reference region's voxels where it is known (above 0).
std::string uncertaintyLine(double referenceDose, double sagd, double voxelMedian = 0.0);

// The kind line and the free description lines after it (at most 16), as far
// as the file has them. Empty when the file cannot be opened. Never throws.
std::vector<std::string> readRunHeader(const std::filesystem::path& workDir, std::string_view name);

// The uncertainties the header states; a value that is missing, not a
// number, negative or infinite is not stated.
StatedUncertainty statedUncertainty(const std::vector<std::string>& headerLines);

} // namespace kv::formats
