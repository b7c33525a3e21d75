#include "kv/audit/measured.h"

#include "kv/common/csv.h"
#include "kv/common/records.h"
#include "kv/common/text.h"
#include "kv/common/typed_number.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace kv::audit {
MeasuredError::MeasuredError(std::string f, int l, std::string c, std::string v, MeasuredFault why)
    : std::runtime_error(f + ":" + std::to_string(l) + ": " + c), file(std::move(f)), column(std::move(c)),
      value(std::move(v)), line(l), fault(why) {}

std::string readMeasuredBytes(const std::filesystem::path& file) {
    try {
        const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : ".";
        return readFileBytes(dir, file.filename().string(), kSmallFileMaxBytes);
    } catch (const RecordError& e) {
        throw MeasuredError(file.string(), 0, "", e.what(), MeasuredFault::Unreadable);
    }
}

MeasuredTable MeasuredTable::read(const std::filesystem::path& file, MeasuredKind kind) {
    return parse(readMeasuredBytes(file), file.string(), kind);
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
    const std::vector<CsvLine> lines = readCsvLines(text, {.commentLines = true});
    if (lines.empty()) throw MeasuredError(name, 1, "", "", MeasuredFault::NoHeader);
    for (size_t i = 0; i < lines[0].cells.size(); ++i) {
        const std::string c = lowered(lines[0].cells[i]);
        if (std::find(known.begin(), known.end(), c) == known.end())
            throw MeasuredError(name, lines[0].number, c, "", MeasuredFault::UnknownColumn);
        if (col.count(c)) throw MeasuredError(name, lines[0].number, c, "", MeasuredFault::RepeatedColumn);
        col[c] = i;
    }
    for (const std::string& r : required)
        if (!col.count(r)) throw MeasuredError(name, lines[0].number, r, "", MeasuredFault::MissingColumn);
    for (size_t li = 1; li < lines.size(); ++li) {
        const std::vector<std::string>& cells = lines[li].cells;
        const int lineNo = lines[li].number;
        auto cell = [&](const std::string& c) {
            return col.count(c) && col[c] < cells.size() ? cells[col[c]] : std::string();
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
            const std::string v = lowered(cell("dbt_kerma"));
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
