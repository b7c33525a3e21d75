#include "kv/audit/measured.h"

#include "kv/common/records.h"
#include "kv/common/typed_number.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

namespace kv::audit {
namespace {

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\"");
    size_t b = s.find_last_not_of(" \t\r\"");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> cells;
    size_t p = 0;
    while (true) {
        size_t e = line.find(',', p);
        cells.push_back(trim(line.substr(p, e == std::string::npos ? std::string::npos : e - p)));
        if (e == std::string::npos) break;
        p = e + 1;
    }
    return cells;
}

} // namespace

MeasuredError::MeasuredError(std::string f, int l, std::string c, std::string v, MeasuredFault why)
    : std::runtime_error(f + ":" + std::to_string(l) + ": " + c), file(std::move(f)), column(std::move(c)),
      value(std::move(v)), line(l), fault(why) {}

MeasuredTable MeasuredTable::read(const std::filesystem::path& file, MeasuredKind kind) {
    std::string bytes;
    try {
        const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : ".";
        bytes = readFileBytes(dir, file.filename().string(), kSmallFileMaxBytes);
    } catch (const RecordError& e) {
        throw MeasuredError(file.string(), 0, "", e.what(), MeasuredFault::Unreadable);
    }
    return parse(bytes, file.string(), kind);
}

MeasuredTable MeasuredTable::parse(const std::string& text, const std::string& name, MeasuredKind kind) {
    const std::vector<std::string> required =
        kind == MeasuredKind::Output
            ? std::vector<std::string>{"target", "filter", "kv", "mgy_per_mas", "distance_mm"}
            : std::vector<std::string>{"target", "filter", "kv", "hvl_mm_al"};
    std::vector<std::string> known = required;
    for (const char* c : {"serial", "filter_mm"})
        known.push_back(c);
    if (kind == MeasuredKind::Output)
        for (const char* c : {"support_gap_mm", "dbt_kerma"})
            known.push_back(c);

    MeasuredTable t;
    std::map<std::string, size_t> col;
    int lineNo = 0;
    size_t p = 0;
    while (p < text.size()) {
        size_t e = text.find('\n', p);
        std::string line = text.substr(p, e == std::string::npos ? std::string::npos : e - p);
        p = e == std::string::npos ? text.size() : e + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (trim(line).empty() || trim(line)[0] == '#') continue;
        std::vector<std::string> cells = split(line);
        if (col.empty()) {
            for (size_t i = 0; i < cells.size(); ++i) {
                const std::string c = lower(cells[i]);
                if (std::find(known.begin(), known.end(), c) == known.end())
                    throw MeasuredError(name, lineNo, c, "", MeasuredFault::UnknownColumn);
                if (col.count(c)) throw MeasuredError(name, lineNo, c, "", MeasuredFault::RepeatedColumn);
                col[c] = i;
            }
            for (const std::string& r : required)
                if (!col.count(r)) throw MeasuredError(name, lineNo, r, "", MeasuredFault::MissingColumn);
            continue;
        }
        auto cell = [&](const std::string& c) {
            return col.count(c) && col[c] < cells.size() ? cells[col[c]] : "";
        };
        auto number = [&](const std::string& c, NumberRange range) {
            const TypedNumber n = readTypedNumber(cell(c), range);
            if (!n.ok()) throw MeasuredError(name, lineNo, c, n.shown, MeasuredFault::BadNumber);
            return n.value;
        };
        MeasuredRow r;
        r.line = lineNo;
        r.serial = cell("serial");
        if (kind == MeasuredKind::Output && !isBlankTyped(cell("dbt_kerma"))) {
            const std::string v = lower(cell("dbt_kerma"));
            if ((v != "scan" && v != "projection") || r.serial.empty())
                throw MeasuredError(name, lineNo, "dbt_kerma", cell("dbt_kerma"), MeasuredFault::BadDbtKerma);
            const DbtKerma d = v == "scan" ? DbtKerma::Scan : DbtKerma::Projection;
            if (auto [it, fresh] = t.dbtKerma_.emplace(r.serial, d); !fresh && it->second != d)
                throw MeasuredError(name, lineNo, "dbt_kerma", cell("dbt_kerma"),
                                    MeasuredFault::DbtKermaTwice);
            // A row that says only this of the unit measures no beam.
            bool beam = false;
            for (const std::string& c : required)
                beam = beam || !isBlankTyped(cell(c));
            if (!beam) continue;
        }
        const std::optional<Target> target = targetNamed(cell("target"));
        if (!target) throw MeasuredError(name, lineNo, "target", cell("target"), MeasuredFault::BadTarget);
        r.target = *target;
        const std::optional<FilterMaterial> filter = filterNamed(cell("filter"));
        if (!filter) throw MeasuredError(name, lineNo, "filter", cell("filter"), MeasuredFault::BadFilter);
        r.filter = *filter;
        r.kv = number("kv", {0, 50, true});
        if (!isBlankTyped(cell("filter_mm"))) r.filterMm = number("filter_mm", {0, 10, true});
        if (kind == MeasuredKind::Output) {
            r.value = number("mgy_per_mas", {0, 10, true});
            r.distanceMm = number("distance_mm", {0, 5000, true});
            r.supportGapMm = isBlankTyped(cell("support_gap_mm")) ? 0 : number("support_gap_mm", {0, 500});
        } else {
            r.value = number("hvl_mm_al", {0, 20, true});
        }
        t.rows_.push_back(r);
    }
    if (col.empty()) throw MeasuredError(name, lineNo, "", "", MeasuredFault::NoHeader);
    return t;
}

std::optional<MeasuredRow> MeasuredTable::lookup(Target t, FilterMaterial f, double filterMm, double kv,
                                                 const std::string& serial) const {
    // This unit's own rows when it has any for the beam, else the rows for any unit; among them the rows
    // of this filter thickness when there are any, else those that name none.
    auto sameFilter = [&](const MeasuredRow& r) {
        return r.filterMm && std::fabs(*r.filterMm - filterMm) <= 5e-4;
    };
    for (bool own : {true, false})
        for (bool thickness : {true, false}) {
            std::vector<const MeasuredRow*> beam;
            for (const MeasuredRow& r : rows_)
                if (r.target == t && r.filter == f &&
                    (own ? !r.serial.empty() && r.serial == serial : r.serial.empty()) &&
                    (thickness ? sameFilter(r) : !r.filterMm))
                    beam.push_back(&r);
            if (beam.empty()) continue;
            std::sort(beam.begin(), beam.end(), [](auto* a, auto* b) { return a->kv < b->kv; });
            for (size_t i = 0; i < beam.size(); ++i) {
                if (std::fabs(beam[i]->kv - kv) < 1e-9) return *beam[i];
                if (i + 1 < beam.size() && beam[i]->kv < kv && kv < beam[i + 1]->kv) {
                    const double w = (kv - beam[i]->kv) / (beam[i + 1]->kv - beam[i]->kv);
                    MeasuredRow m = *beam[i];
                    m.kv = kv;
                    m.value = beam[i]->value + w * (beam[i + 1]->value - beam[i]->value);
                    m.distanceMm = beam[i]->distanceMm + w * (beam[i + 1]->distanceMm - beam[i]->distanceMm);
                    m.supportGapMm =
                        beam[i]->supportGapMm + w * (beam[i + 1]->supportGapMm - beam[i]->supportGapMm);
                    return m;
                }
            }
            return std::nullopt;
        }
    return std::nullopt;
}

std::optional<DbtKerma> MeasuredTable::dbtKerma(const std::string& serial) const {
    const auto it = dbtKerma_.find(serial);
    return it == dbtKerma_.end() ? std::nullopt : std::optional<DbtKerma>(it->second);
}

} // namespace kv::audit
