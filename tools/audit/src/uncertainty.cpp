#include "kv/audit/uncertainty.h"

#include "kv/common/csv.h"
#include "kv/common/records.h"
#include "kv/common/text.h"
#include "kv/common/typed_number.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace kv::audit {
namespace {

double InputUncertainties::*const kFields[] = {
    &InputUncertainties::kOutput,   &InputUncertainties::kHeader,  &InputUncertainties::hvlMeasured,
    &InputUncertainties::hvlHeader, &InputUncertainties::hvlModel, &InputUncertainties::glandularity,
};

// Between nodes, the factor read against the factor run there (docs/audit.md,
// "The interpolation error"): the larger of the Mo/Mo and W/Rh beams.
struct Measured {
    double mm, percent;
};
constexpr Measured kInterpolation[] = {{22, 0.55}, {43, 0.31}, {62, 0.07}, {82, 0.04}};

} // namespace

UncertaintyError::UncertaintyError(std::string f, int l, std::string v, UncertaintyFault why)
    : std::runtime_error(f + ":" + std::to_string(l) + ": " + v), file(std::move(f)), value(std::move(v)),
      line(l), fault(why) {}

const std::vector<std::string>& uncertaintyInputNames() {
    static const std::vector<std::string> names = {"k_output",   "k_header",  "hvl_measured",
                                                   "hvl_header", "hvl_model", "glandularity"};
    return names;
}

InputUncertainties readUncertainties(const std::filesystem::path& file) {
    std::string bytes;
    try {
        const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : ".";
        bytes = readFileBytes(dir, file.filename().string(), kSmallFileMaxBytes);
    } catch (const RecordError& e) {
        throw UncertaintyError(file.string(), 0, e.what(), UncertaintyFault::Unreadable);
    }
    return parseUncertainties(bytes, file.string());
}

InputUncertainties parseUncertainties(const std::string& text, const std::string& name) {
    InputUncertainties u;
    const std::vector<CsvLine> lines = readCsvLines(text, {.commentLines = true});
    if (lines.empty() || lines[0].cells.size() != 2 || lowered(lines[0].cells[0]) != "input" ||
        lowered(lines[0].cells[1]) != "sigma_percent")
        throw UncertaintyError(name, lines.empty() ? 1 : lines[0].number,
                               lines.empty() ? std::string() : csvLine(lines[0].cells),
                               UncertaintyFault::NoHeader);
    const std::vector<std::string>& names = uncertaintyInputNames();
    std::set<std::string> seen;
    for (size_t i = 1; i < lines.size(); ++i) {
        const CsvLine& l = lines[i];
        const std::string input = l.cells.empty() ? std::string() : lowered(l.cells[0]);
        const auto at = std::find(names.begin(), names.end(), input);
        if (at == names.end())
            throw UncertaintyError(name, l.number, l.cells.empty() ? "" : l.cells[0],
                                   UncertaintyFault::UnknownInput);
        if (!seen.insert(input).second)
            throw UncertaintyError(name, l.number, l.cells[0], UncertaintyFault::Repeated);
        const std::string value = l.cells.size() > 1 ? l.cells[1] : std::string();
        const TypedNumber n = readTypedNumber(value, {0, 100});
        if (l.cells.size() != 2 || !n.ok())
            throw UncertaintyError(name, l.number, value, UncertaintyFault::BadNumber);
        u.*kFields[at - names.begin()] = n.value;
    }
    return u;
}

double interpolationPercent(double thicknessMm, bool onNode) {
    if (onNode) return 0;
    const auto* first = std::begin(kInterpolation);
    const auto* last = std::end(kInterpolation) - 1;
    if (thicknessMm <= first->mm) return first->percent;
    if (thicknessMm >= last->mm) return last->percent;
    const auto* hi = std::find_if(first, last + 1, [&](const Measured& m) { return m.mm >= thicknessMm; });
    const auto* lo = hi - 1;
    return lo->percent + (hi->percent - lo->percent) * (thicknessMm - lo->mm) / (hi->mm - lo->mm);
}

double combinedPercent(const UncertaintyParts& p) {
    return std::sqrt(p.factor * p.factor + p.interpolation * p.interpolation + p.k * p.k + p.hvl * p.hvl +
                     p.glandularity * p.glandularity);
}

std::pair<double, double> interval95(double agd, double sigmaPercent) {
    const double half = kCoverage95 * sigmaPercent / 100;
    return {agd * std::max(0.0, 1 - half), agd * (1 + half)};
}

std::optional<std::pair<double, double>> medianInterval95(std::vector<double> values) {
    const size_t n = values.size();
    // The largest rank r with P(X < r) <= 2.5 % for X ~ B(n, 1/2): [x_r, x_(n+1-r)] holds the median at 95 %.
    const double nd = static_cast<double>(n);
    double below = 0; // P(X <= k), summed as k grows (in logs: 2^-n underflows past a thousand values)
    size_t r = 0;
    for (size_t k = 0; k < n / 2; ++k) {
        const double kd = static_cast<double>(k);
        below += std::exp(std::lgamma(nd + 1) - std::lgamma(kd + 1) - std::lgamma(nd - kd + 1) -
                          nd * std::log(2.0));
        if (below > 0.025) break;
        r = k + 1;
    }
    if (r == 0) return std::nullopt;
    std::sort(values.begin(), values.end());
    return std::pair{values[r - 1], values[n - r]};
}

} // namespace kv::audit
