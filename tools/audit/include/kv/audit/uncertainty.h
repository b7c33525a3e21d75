#pragma once
// How far each AGD can be trusted. Its relative standard uncertainty (1
// sigma) combines, in quadrature, the factor's Monte Carlo sigma, the error
// of reading the factor between thickness nodes, and what the user states of
// the inputs (K, HVL, glandularity), each as its share of the AGD. The
// stated shares are built in and may be set in a small CSV file
// (--uncertainties FILE):
//
//   input,sigma_percent
//   k_output,8
//   hvl_header,9
//
// 95 % is 1.96 sigma either side. A group's median AGD gets the
// distribution-free interval of the order statistics around it.
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kv::audit {

// Per cent of the AGD, 1 sigma, by where the input came from.
struct InputUncertainties {
    double kOutput = 12; // measured output: Hauge and Olerud 2012, the air kerma after the European protocol
    double kHeader = 12; // the unit's entrance dose: no own figure found, the measured one's
    double hvlMeasured = 1.8; // 0.01 mm Al at 9.0 % per 0.05 mm Al (Hauge and Olerud 2012)
    double hvlHeader = 9;     // 0.05 mm Al, the same sensitivity
    double hvlModel = 9;      // 0.05 mm Al, the same sensitivity
    double glandularity = 4;  // the age tables' typical breast: Hauge and Olerud 2012, +-10 % glandularity
};

enum class UncertaintyFault {
    Unreadable,
    NoHeader,     // the first line is not input,sigma_percent
    UnknownInput, // a name not among the inputs
    BadNumber,    // not a number from 0 to 100
    Repeated,     // an input given twice
};

struct UncertaintyError : std::runtime_error {
    UncertaintyError(std::string file, int line, std::string value, UncertaintyFault fault);
    std::string file, value;
    int line;
    UncertaintyFault fault;
};

// The defaults with what the file sets. Throws UncertaintyError.
InputUncertainties readUncertainties(const std::filesystem::path& file);
InputUncertainties parseUncertainties(const std::string& text, const std::string& name);
// The inputs' names as the file writes them, in order: "k_output", "k_header", ...
const std::vector<std::string>& uncertaintyInputNames();

// The error, per cent, of the factor read log-linearly between nodes 5 mm
// apart at this thickness: none on a node, else what the engine showed at
// that depth (the largest of the two beams measured), linear in between.
double interpolationPercent(double thicknessMm, bool onNode);

// The parts of one AGD's uncertainty, per cent, 1 sigma.
struct UncertaintyParts {
    double factor = 0, interpolation = 0, k = 0, hvl = 0, glandularity = 0;
};
double combinedPercent(const UncertaintyParts& p);

// 95 %: agd (1 -+ 1.96 sigma), the low end never below zero.
inline constexpr double kCoverage95 = 1.96;
std::pair<double, double> interval95(double agd, double sigmaPercent);

// The 95 % interval of the median of `values` from their order statistics
// (the ranks a binomial of n and 1/2 gives, as in Conover's Practical
// Nonparametric Statistics); empty below 6 values, where none reaches 95 %.
std::optional<std::pair<double, double>> medianInterval95(std::vector<double> values);

} // namespace kv::audit
