#include "kv/audit/trends.h"

#include "kv/audit/measured.h"
#include "kv/common/csv.h"
#include "kv/common/format.h"
#include "kv/common/records.h"
#include "kv/common/text.h"
#include "kv/common/typed_number.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>

namespace kv::audit {

namespace {

std::optional<std::chrono::year_month_day> dateOf(const std::string& s) {
    if (s.size() != 8 || s.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const std::chrono::year_month_day d{std::chrono::year(std::stoi(s.substr(0, 4))),
                                        std::chrono::month(static_cast<unsigned>(std::stoi(s.substr(4, 2)))),
                                        std::chrono::day(static_cast<unsigned>(std::stoi(s.substr(6, 2))))};
    if (!d.ok()) return std::nullopt;
    return d;
}

struct Moments {
    double n = 0, mean = 0, m2 = 0; // Welford's running sums
    void add(double v) {
        n += 1;
        const double d = v - mean;
        mean += d / n;
        m2 += d * (v - mean);
    }
    double variance() const { return n > 1 ? m2 / (n - 1) : 0; }
};

} // namespace

std::optional<int> dayNumber(const std::string& yyyymmdd) {
    const auto d = dateOf(yyyymmdd);
    if (!d) return std::nullopt;
    return static_cast<int>(std::chrono::sys_days(*d).time_since_epoch().count());
}

std::string quarterOf(const std::string& yyyymmdd) {
    const auto d = dateOf(yyyymmdd);
    if (!d) return {};
    return yyyymmdd.substr(0, 4) + "-Q" + std::to_string((static_cast<unsigned>(d->month()) - 1) / 3 + 1);
}

std::string isoDate(int day) {
    const std::chrono::year_month_day d{std::chrono::sys_days(std::chrono::days(day))};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(d.year()),
                  static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()));
    return buf;
}

LogLine fitLogLine(const std::vector<std::pair<double, double>>& points) {
    double st = 0, sy = 0, stt = 0, sty = 0, n = 0;
    for (const auto& [t, agd] : points) {
        if (!(agd > 0)) continue;
        const double v = std::log(agd);
        n += 1, st += t, sy += v, stt += t * t, sty += t * v;
    }
    if (n == 0) return {};
    const double den = n * stt - st * st;
    LogLine l;
    l.slope = std::fabs(den) > 1e-12 ? (n * sty - st * sy) / den : 0;
    l.intercept = (sy - l.slope * st) / n;
    return l;
}

std::vector<double> modifiedZ(const std::vector<std::pair<double, double>>& points) {
    const LogLine line = fitLogLine(points);
    std::vector<double> r;
    for (const auto& [t, agd] : points)
        r.push_back(agd > 0 ? std::log(agd) - line.lnAt(t) : 0);
    auto medianOf = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    };
    const double m = medianOf(r);
    std::vector<double> dev;
    for (double v : r)
        dev.push_back(std::fabs(v - m));
    const double mad = medianOf(dev);
    std::vector<double> z;
    for (double v : r)
        z.push_back(mad > 0 ? 0.6745 * (v - m) / mad : 0);
    return z;
}

std::optional<DoseStep> findDoseStep(std::vector<DatedDose> doses) {
    if (doses.size() < 2 * kStepMinSide) return std::nullopt;
    std::sort(doses.begin(), doses.end(), [](const DatedDose& a, const DatedDose& b) {
        return a.day != b.day ? a.day < b.day : a.seconds < b.seconds;
    });
    // ln AGD less its line in thickness: what is left is the unit's own level and the scatter.
    std::vector<std::pair<double, double>> points;
    for (const DatedDose& d : doses)
        points.push_back({d.thicknessMm, d.agd});
    const LogLine line = fitLogLine(points);
    std::vector<double> y;
    for (const DatedDose& d : doses)
        y.push_back(std::log(d.agd) - line.lnAt(d.thicknessMm));

    // Moments of each side at every split, from the left and from the right.
    std::vector<Moments> left(doses.size() + 1), right(doses.size() + 1);
    for (size_t i = 0; i < doses.size(); ++i)
        left[i + 1] = left[i], left[i + 1].add(y[i]);
    for (size_t i = doses.size(); i-- > 0;)
        right[i] = right[i + 1], right[i].add(y[i]);
    std::optional<DoseStep> best;
    for (size_t k = kStepMinSide; k + kStepMinSide <= doses.size(); ++k) {
        if (doses[k].day == doses[k - 1].day) continue; // a day is never split
        const Moments& a = left[k];
        const Moments& b = right[k];
        const double se = std::sqrt(a.variance() / a.n + b.variance() / b.n);
        const double diff = b.mean - a.mean;
        const double t = se > 0 ? diff / se : (diff == 0 ? 0 : std::copysign(HUGE_VAL, diff));
        if (!best || std::fabs(t) > std::fabs(best->t)) {
            best = DoseStep{doses[k].day, (std::exp(diff) - 1) * 100, t, false};
        }
    }
    if (best) best->found = std::fabs(best->t) >= kStepMinT && std::fabs(best->percent) >= kStepMinPercent;
    return best;
}

std::string ReferenceLevel::band() const {
    return plainDecimal(minMm) + "-" + plainDecimal(maxMm) + " mm";
}

std::vector<ReferenceLevel> readReferenceLevels(const std::filesystem::path& file) {
    return parseReferenceLevels(readMeasuredBytes(file), file.string());
}

std::vector<ReferenceLevel> parseReferenceLevels(const std::string& text, const std::string& name) {
    const std::vector<std::string> required = {"level", "modality", "thickness_min_mm", "thickness_max_mm",
                                               "mgy"};
    const std::vector<std::string> optional = {"view", "source"};
    const std::vector<CsvLine> lines = readCsvLines(text, {.commentLines = true});
    if (lines.empty()) throw MeasuredError(name, 1, "", "", MeasuredFault::NoHeader);
    std::map<std::string, size_t> at;
    for (size_t i = 0; i < lines[0].cells.size(); ++i) {
        const std::string c = lowered(lines[0].cells[i]);
        if (std::find(required.begin(), required.end(), c) == required.end() &&
            std::find(optional.begin(), optional.end(), c) == optional.end())
            throw MeasuredError(name, lines[0].number, lines[0].cells[i], "", MeasuredFault::UnknownColumn);
        if (!at.emplace(c, i).second)
            throw MeasuredError(name, lines[0].number, c, "", MeasuredFault::RepeatedColumn);
    }
    for (const std::string& c : required)
        if (!at.count(c)) throw MeasuredError(name, lines[0].number, c, "", MeasuredFault::MissingColumn);

    std::vector<ReferenceLevel> levels;
    for (size_t li = 1; li < lines.size(); ++li) {
        const CsvLine& l = lines[li];
        auto cell = [&](const std::string& c) {
            const auto it = at.find(c);
            return it == at.end() || it->second >= l.cells.size() ? std::string() : l.cells[it->second];
        };
        auto number = [&](const std::string& c) {
            const TypedNumber n = readTypedNumber(cell(c), {0, 1000});
            if (!n.ok()) throw MeasuredError(name, l.number, c, cell(c), MeasuredFault::BadNumber);
            return n.value;
        };
        ReferenceLevel r;
        r.line = l.number;
        r.name = std::string(trimmed(cell("level")));
        if (r.name.empty()) throw MeasuredError(name, l.number, "level", "", MeasuredFault::MissingColumn);
        const std::string m = lowered(cell("modality"));
        if (m != "2d" && m != "dbt")
            throw MeasuredError(name, l.number, "modality", cell("modality"), MeasuredFault::BadModality);
        r.modality = m == "dbt" ? Modality::Tomosynthesis : Modality::Mammography;
        r.view = uppered(trimmed(cell("view")));
        r.minMm = number("thickness_min_mm"), r.maxMm = number("thickness_max_mm");
        if (r.minMm >= r.maxMm)
            throw MeasuredError(name, l.number, "thickness_max_mm", cell("thickness_max_mm"),
                                MeasuredFault::BadBand);
        r.mgy = number("mgy");
        if (r.mgy <= 0) throw MeasuredError(name, l.number, "mgy", cell("mgy"), MeasuredFault::BadNumber);
        r.source = cell("source");
        levels.push_back(std::move(r));
    }
    return levels;
}

} // namespace kv::audit
