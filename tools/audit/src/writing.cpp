#include "kv/audit/stages.h"
#include "kv/audit/trends.h"
#include "kv/common/codepage.h"
#include "kv/common/csv.h"
#include "kv/common/format.h"
#include "kv/common/records.h"
#include "kv/common/typed_number.h"
#include "kv/common/version.h"
#include "report.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <tuple>

namespace kv::audit {

namespace fs = std::filesystem;

namespace {

std::string opt(const std::optional<double>& v, const char* pattern) {
    return v ? format(*v, pattern) : std::string();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

const texts::Text& skipWords(SkipCode c, const texts::AuditTexts& t) {
    switch (c) {
    case SkipCode::NotRegularFile:
        return t.skipNotAFile;
    case SkipCode::NotDicom:
        return t.skipNotDicom;
    case SkipCode::Unreadable:
        return t.skipUnreadable;
    case SkipCode::NotMammography:
        return t.skipNotMammography;
    case SkipCode::Synthesized2d:
        return t.skipSynthesized;
    case SkipCode::Tomosynthesis:
        return t.skipTomosynthesis;
    case SkipCode::UnsupportedAnode:
        return t.skipAnode;
    case SkipCode::UnsupportedFilter:
        return t.skipFilter;
    case SkipCode::MissingValue:
        return t.skipMissing;
    case SkipCode::BadValue:
        return t.skipBad;
    case SkipCode::Duplicate:
        return t.skipSameInstance;
    case SkipCode::NoAirKerma:
        return t.skipNoAirKerma;
    case SkipCode::NoFactor:
        return t.skipNoFactor;
    }
    return t.skipUnreadable;
}

const Exposure& x(const AuditRow& r) {
    return r.p.c.x;
}

const texts::Text& ruleWords(SameAs rule, const texts::AuditTexts& t) {
    switch (rule) {
    case SameAs::Instance:
        return t.skipSameInstance;
    case SameAs::Event:
        return t.skipSameEvent;
    case SameAs::OtherPresentation:
        return t.skipOtherPresentation;
    case SameAs::Scan:
        return t.skipSameScan;
    }
    return t.skipSameInstance;
}

std::string factorCell(const AuditRow& r, double Interpolated::*field, const char* pattern) {
    return r.factor ? format((*r.factor).*field, pattern) : std::string();
}

const std::vector<AuditColumn> kAuditColumns = {
    {"index", [](const AuditRow& r) { return std::to_string(r.p.c.index); }},
    {"id", [](const AuditRow& r) { return r.id; }},
    {"device", [](const AuditRow& r) { return x(r).device; }},
    {"view", [](const AuditRow& r) { return x(r).view; }},
    {"laterality", [](const AuditRow& r) { return x(r).laterality; }},
    {"acquisition_date", [](const AuditRow& r) { return x(r).acquisitionDate; }},
    {"modality", [](const AuditRow& r) { return std::string(modalityName(x(r).modality)); }},
    {"scan", [](const AuditRow& r) { return x(r).scan ? x(r).scan->label() : std::string(); }},
    {"objects", [](const AuditRow& r) { return r.p.c.objects; }},
    {"event", [](const AuditRow& r) { return x(r).event ? std::to_string(x(r).event) : std::string(); }},
    {"kvp", [](const AuditRow& r) { return plainDecimal(x(r).kvp); }},
    {"mas", [](const AuditRow& r) { return opt(r.p.mas, "0.000"); }},
    {"anode", [](const AuditRow& r) { return std::string(symbol(x(r).target)); }},
    {"filter", [](const AuditRow& r) { return std::string(symbol(x(r).filter)); }},
    {"filter_mm", [](const AuditRow& r) { return format(x(r).filterMm, "0.000"); }},
    {"added_al_mm", [](const AuditRow& r) { return r.p.beam.beam.aluminum; }},
    {"thickness_mm", [](const AuditRow& r) { return plainDecimal(x(r).thicknessMm); }},
    {"compression_force_n", [](const AuditRow& r) { return opt(x(r).compressionForceN, "0.0"); }},
    {"age_years",
     [](const AuditRow& r) {
         return x(r).ageYears ? plainDecimal(std::round(*x(r).ageYears * 10) / 10) : std::string();
     }},
    {"age_group", [](const AuditRow& r) { return ageGroupLabel(r.p.gland); }},
    {"glandularity_percent", [](const AuditRow& r) { return format(r.p.gland.percent, "0.0"); }},
    {"hvl_mm_al", [](const AuditRow& r) { return format(r.p.hvl, "0.000"); }},
    {"hvl_source", [](const AuditRow& r) { return std::string(sourceName(r.p.hvlSource)); }},
    {"k_surface_mgy", [](const AuditRow& r) { return format(r.p.k, "0.0000"); }},
    {"k_source", [](const AuditRow& r) { return std::string(sourceName(r.p.kSource)); }},
    {"factor", [](const AuditRow& r) { return factorCell(r, &Interpolated::value, "0.00000"); }},
    {"factor_sigma_percent",
     [](const AuditRow& r) { return factorCell(r, &Interpolated::sigmaPercent, "0.00"); }},
    {"factor_id", [](const AuditRow& r) { return r.factorId; }},
    {"agd_mgy", [](const AuditRow& r) { return opt(r.agd, "0.0000"); }},
    {"agd_sigma_percent", [](const AuditRow& r) { return r.agd ? format(r.agdSigmaPercent, "0.00") : ""; }},
    {"agd_low_mgy",
     [](const AuditRow& r) {
         return r.agd ? format(interval95(*r.agd, r.agdSigmaPercent).first, "0.0000") : "";
     }},
    {"agd_high_mgy",
     [](const AuditRow& r) {
         return r.agd ? format(interval95(*r.agd, r.agdSigmaPercent).second, "0.0000") : "";
     }},
    {"unit_agd_mgy", [](const AuditRow& r) { return opt(r.p.unitAgd, "0.0000"); }},
    {"ratio", [](const AuditRow& r) { return opt(r.ratio, "0.0000"); }},
    {"note", [](const AuditRow& r) { return r.p.note; }},
};

} // namespace

const std::vector<AuditColumn>& auditColumns() {
    return kAuditColumns;
}

Table auditTable(const std::vector<AuditRow>& rows, bool withPaths) {
    Table table(1);
    for (const AuditColumn& c : kAuditColumns)
        table[0].push_back(c.name);
    if (withPaths) table[0].push_back("path");
    for (const AuditRow& r : rows) {
        std::vector<std::string>& cells = table.emplace_back();
        for (const AuditColumn& c : kAuditColumns)
            cells.push_back(c.cell(r));
        if (withPaths) cells.push_back(escapedUtf8(r.p.c.path));
    }
    return table;
}

Table skippedTable(const std::vector<Skipped>& skipped, bool withPaths, const texts::AuditTexts& t) {
    Table table = {{"index", "reason", "detail"}};
    if (withPaths) table[0].push_back("path");
    for (const Skipped& s : skipped) {
        std::string detail;
        if (s.rule) {
            const std::string of =
                s.sameEvent ? fillIn(t.indexEvent.str(), {{"{index}", std::to_string(s.sameIndex)},
                                                          {"{event}", std::to_string(s.sameEvent)}})
                            : std::to_string(s.sameIndex);
            detail = std::string(sameAsName(*s.rule)) + ": " +
                     fillIn(ruleWords(*s.rule, t).str(), {{"{value}", of}});
        } else {
            detail =
                fillIn(skipWords(s.skip.code, t).str(), {{"{tag}", s.skip.tag}, {"{value}", s.skip.detail}});
            if (s.skip.code == SkipCode::NoAirKerma && !s.skip.detail.empty()) detail += "; " + s.skip.detail;
        }
        if (s.skip.event)
            detail = fillIn(t.eventPrefix.str(), {{"{event}", std::to_string(s.skip.event)}}) + detail;
        std::vector<std::string>& cells = table.emplace_back();
        cells = {std::to_string(s.index), skipCodeName(s.skip.code), detail};
        if (withPaths) cells.push_back(escapedUtf8(s.path));
    }
    return table;
}

Table summaryTable(const std::vector<AuditRow>& rows) {
    struct Group {
        std::vector<double> agd, agd5060, ratio;
    };
    std::map<std::tuple<std::string, std::string, std::string>, Group> groups;
    for (const AuditRow& r : rows) {
        if (!r.agd) continue;
        Group& g = groups[{x(r).device, x(r).view, modalityName(x(r).modality)}];
        g.agd.push_back(*r.agd);
        if (x(r).thicknessMm >= 50 && x(r).thicknessMm <= 60) g.agd5060.push_back(*r.agd);
        if (r.ratio) g.ratio.push_back(*r.ratio);
    }
    Table table = {{"device", "view", "modality", "count", "median_agd_mgy", "median_agd_50_60mm_mgy",
                    "count_50_60mm", "median_ratio", "median_agd_low_mgy", "median_agd_high_mgy"}};
    for (const auto& [key, g] : groups) {
        const auto ci = medianInterval95(g.agd);
        table.push_back(
            {std::get<0>(key), std::get<1>(key), std::get<2>(key), std::to_string(g.agd.size()),
             format(median(g.agd), "0.0000"), g.agd5060.empty() ? "" : format(median(g.agd5060), "0.0000"),
             std::to_string(g.agd5060.size()), g.ratio.empty() ? "" : format(median(g.ratio), "0.0000"),
             ci ? format(ci->first, "0.0000") : "", ci ? format(ci->second, "0.0000") : ""});
    }
    return table;
}

namespace {

std::string cellOf(const std::optional<double>& v) {
    return v ? format(*v, "0.0000") : std::string();
}

std::string dateCell(const std::optional<int>& day) {
    return day ? isoDate(*day) : std::string();
}

// The rows with an AGD, grouped by a key made of each.
template <class Key>
std::map<Key, std::vector<const AuditRow*>> groupedBy(const std::vector<AuditRow>& rows,
                                                      Key (*key)(const AuditRow&)) {
    std::map<Key, std::vector<const AuditRow*>> g;
    for (const AuditRow& r : rows)
        if (r.agd) g[key(r)].push_back(&r);
    return g;
}

using UnitKey = std::pair<std::string, std::string>; // device, modality
UnitKey unitOf(const AuditRow& r) {
    return {x(r).device, modalityName(x(r).modality)};
}

std::pair<std::optional<int>, std::optional<int>> dateRange(const std::vector<const AuditRow*>& rows) {
    std::optional<int> first, last;
    for (const AuditRow* r : rows)
        if (auto d = dayNumber(x(*r).acquisitionDate)) {
            first = first ? std::min(*first, *d) : *d;
            last = last ? std::max(*last, *d) : *d;
        }
    return {first, last};
}

std::vector<DatedDose> datedDoses(const std::vector<const AuditRow*>& rows) {
    std::vector<DatedDose> v;
    for (const AuditRow* r : rows)
        if (auto d = dayNumber(x(*r).acquisitionDate); d && *r->agd > 0)
            v.push_back({*d, x(*r).acquisitionSeconds.value_or(0), x(*r).thicknessMm, *r->agd});
    return v;
}

} // namespace

Table quarterTable(const std::vector<AuditRow>& rows) {
    using Key = std::tuple<std::string, std::string, std::string>;
    Table table = {{"device", "modality", "quarter", "first_date", "last_date", "count", "median_agd_mgy",
                    "median_agd_low_mgy", "median_agd_high_mgy", "median_agd_50_60mm_mgy", "count_50_60mm"}};
    const auto groups = groupedBy<Key>(rows, [](const AuditRow& r) {
        return Key{x(r).device, modalityName(x(r).modality), quarterOf(x(r).acquisitionDate)};
    });
    for (const auto& [key, g] : groups) {
        std::vector<double> agd, band;
        for (const AuditRow* r : g) {
            agd.push_back(*r->agd);
            if (x(*r).thicknessMm >= 50 && x(*r).thicknessMm <= 60) band.push_back(*r->agd);
        }
        const auto [first, last] = dateRange(g);
        const auto ci = medianInterval95(agd);
        table.push_back({std::get<0>(key), std::get<1>(key), std::get<2>(key), dateCell(first),
                         dateCell(last), std::to_string(agd.size()), format(median(agd), "0.0000"),
                         ci ? format(ci->first, "0.0000") : "", ci ? format(ci->second, "0.0000") : "",
                         band.empty() ? "" : format(median(band), "0.0000"), std::to_string(band.size())});
    }
    return table;
}

Table stepTable(const std::vector<AuditRow>& rows) {
    Table table = {{"device", "modality", "count", "first_date", "last_date", "step_date", "step_percent",
                    "step_t", "step"}};
    for (const auto& [key, g] : groupedBy<UnitKey>(rows, unitOf)) {
        const auto [first, last] = dateRange(g);
        const std::optional<DoseStep> s = findDoseStep(datedDoses(g));
        table.push_back({key.first, key.second, std::to_string(g.size()), dateCell(first), dateCell(last),
                         s ? isoDate(s->day) : "", s ? format(s->percent, "0.0") : "",
                         s ? format(s->t, "0.00") : "",
                         !s         ? "too_few"
                         : s->found ? "found"
                                    : "none"});
    }
    return table;
}

Table referenceTable(const std::vector<AuditRow>& rows, const std::vector<ReferenceLevel>& levels) {
    Table table = {{"level", "modality", "view", "band", "level_mgy", "device", "count", "median_agd_mgy",
                    "median_agd_low_mgy", "median_agd_high_mgy", "median_over_level", "above", "source"}};
    const auto units = groupedBy<UnitKey>(rows, unitOf);
    for (const ReferenceLevel& l : levels)
        for (const auto& [key, g] : units) {
            if (key.second != modalityName(l.modality)) continue;
            std::vector<double> agd;
            for (const AuditRow* r : g)
                if (l.holds(x(*r).thicknessMm) && (l.view.empty() || x(*r).view == l.view))
                    agd.push_back(*r->agd);
            const std::optional<double> m = agd.empty() ? std::nullopt : std::optional(median(agd));
            const auto ci = medianInterval95(agd);
            table.push_back({l.name, key.second, l.view, l.band(), format(l.mgy, "0.00"), key.first,
                             std::to_string(agd.size()), cellOf(m), ci ? format(ci->first, "0.0000") : "",
                             ci ? format(ci->second, "0.0000") : "", m ? format(*m / l.mgy, "0.000") : "",
                             !m           ? ""
                             : *m > l.mgy ? "yes"
                                          : "no",
                             l.source});
        }
    return table;
}

Table outlierTable(const std::vector<AuditRow>& rows) {
    Table table = {{"device", "modality", "index", "id", "thickness_mm", "agd_mgy", "z"}};
    for (const auto& [key, g] : groupedBy<UnitKey>(rows, unitOf)) {
        std::vector<std::pair<double, double>> points;
        for (const AuditRow* r : g)
            points.push_back({x(*r).thicknessMm, *r->agd});
        const std::vector<double> z = modifiedZ(points);
        for (size_t i = 0; i < g.size(); ++i)
            if (std::fabs(z[i]) > kOutlierZ)
                table.push_back({key.first, key.second, std::to_string(g[i]->p.c.index), g[i]->id,
                                 plainDecimal(x(*g[i]).thicknessMm), format(*g[i]->agd, "0.0000"),
                                 format(z[i], "0.00")});
    }
    return table;
}

std::vector<UnitPage> unitPages(const std::vector<AuditRow>& rows, const texts::AuditTexts& t) {
    const Table outliers = outlierTable(rows);
    std::vector<UnitPage> pages;
    for (const auto& [key, g] : groupedBy<UnitKey>(rows, unitOf)) {
        const std::pair<std::string_view, std::string_view> unit[] = {{"{device}", key.first},
                                                                      {"{modality}", key.second}};
        UnitPage p;
        p.title = fillIn(t.unitTitle.str(), unit);
        p.plotTitle = fillIn(t.plotUnitTitle.str(), unit);
        const auto [first, last] = dateRange(g);
        p.lines.push_back(fillIn(t.unitDates.str(), {{"{count}", std::to_string(g.size())},
                                                     {"{first}", dateCell(first)},
                                                     {"{last}", dateCell(last)}}));
        std::map<std::string, int> k, hvl;
        std::vector<std::pair<double, double>> points;
        std::map<int, int> bands; // 10 mm bands by their start
        for (const AuditRow* r : g) {
            ++k[sourceName(r->p.kSource)], ++hvl[sourceName(r->p.hvlSource)];
            points.push_back({x(*r).thicknessMm, *r->agd});
            p.points.push_back({x(*r).thicknessMm, *r->agd, r->p.unitAgd, r->ratio});
            ++bands[static_cast<int>(std::floor(x(*r).thicknessMm / 10)) * 10];
        }
        auto counts = [](const std::map<std::string, int>& m) {
            std::string s;
            for (const auto& [name, n] : m)
                s += (s.empty() ? "" : ", ") + name + " " + std::to_string(n);
            return s;
        };
        p.lines.push_back(fillIn(t.unitSources.str(), {{"{k}", counts(k)}, {"{hvl}", counts(hvl)}}));
        bands.emplace(50, 0); // the reference levels' band is said even when empty
        for (const auto& [start, n] : bands)
            if (n < kSmallSample)
                p.warnings.push_back(
                    fillIn(t.unitSmallBand.str(),
                           {{"{count}", std::to_string(n)},
                            {"{band}", std::to_string(start) + "-" + std::to_string(start + 10) + " mm"}}));
        if (hvl.count("model"))
            p.warnings.push_back(fillIn(t.unitModelHvl.str(), {{"{count}", std::to_string(hvl["model"])}}));
        p.line = fitLogLine(points);
        p.outliers = {t.unitOutliers.str(), {"index", "id", "thickness_mm", "agd_mgy", "z"}, {}};
        for (size_t i = 1; i < outliers.size(); ++i)
            if (outliers[i][0] == key.first && outliers[i][1] == key.second)
                p.outliers.rows.push_back({outliers[i].begin() + 2, outliers[i].end()});
        p.noOutliers = t.unitNoOutliers.str();
        pages.push_back(std::move(p));
    }
    return pages;
}

std::vector<TrendSeries> trendSeries(const std::vector<AuditRow>& rows) {
    std::vector<TrendSeries> all;
    for (const auto& [key, g] : groupedBy<UnitKey>(rows, unitOf)) {
        std::vector<DatedDose> doses = datedDoses(g);
        if (doses.empty()) continue;
        TrendSeries s;
        s.label = key.first + " (" + key.second + ")";
        int first = doses[0].day;
        for (const DatedDose& d : doses)
            first = std::min(first, d.day);
        std::map<int, std::vector<double>> weeks;
        for (const DatedDose& d : doses)
            weeks[(d.day - first) / 7].push_back(d.agd);
        for (const auto& [w, v] : weeks)
            s.points.push_back({first + 7 * w + 3.5, median(v)});
        if (auto step = findDoseStep(doses); step && step->found) s.stepDay = step->day;
        all.push_back(std::move(s));
    }
    return all;
}

namespace {

// Writes one table; a fault is named and makes the status 1.
class TableWriter {
  public:
    TableWriter(const fs::path& dir, std::ostream& out, std::ostream& err, const texts::AuditTexts& t)
        : dir_(dir), out_(out), err_(err), t_(t) {}
    void said(const std::string& name, const std::optional<std::string>& why) {
        if (why) {
            err_ << fillIn(t_.notWritten.str(), {{"{file}", (dir_ / name).string()}, {"{why}", *why}})
                 << "\n";
            status = 1;
        } else {
            out_ << fillIn(t_.written.str(), {{"{file}", (dir_ / name).string()}}) << "\n";
        }
    }
    void write(const std::string& name, const Table& table) {
        RecordWriter w(dir_, name, TextEncoding::Utf8);
        for (const auto& cells : table)
            w.line(csvLine(cells));
        try {
            w.commit();
            said(name, std::nullopt);
        } catch (const RecordError& e) {
            said(name, std::string(e.what()));
        }
    }
    int status = 0;

  private:
    const fs::path& dir_;
    std::ostream &out_, &err_;
    const texts::AuditTexts& t_;
};

} // namespace

int writeSkippedOnly(const fs::path& dir, const AuditRecord& record, bool withPaths, std::ostream& out,
                     std::ostream& err, const texts::AuditTexts& t) {
    TableWriter w(dir, out, err, t);
    w.write("skipped.csv", skippedTable(record.skipped, withPaths, t));
    return w.status;
}

int writeOutputs(const fs::path& dir, const AuditRecord& record, bool withPaths, std::ostream& out,
                 std::ostream& err, const texts::AuditTexts& t) {
    TableWriter tables(dir, out, err, t);
    int& status = tables.status;
    auto said = [&](const std::string& name, const std::optional<std::string>& why) {
        tables.said(name, why);
    };
    auto write = [&](const std::string& name, const Table& table) { tables.write(name, table); };
    write("audit.csv", auditTable(record.rows, withPaths));
    const Table skipped = skippedTable(record.skipped, withPaths, t);
    write("skipped.csv", skipped);
    const Table summary = summaryTable(record.rows);
    write("summary.csv", summary);
    const Table quarters = quarterTable(record.rows);
    write("summary_quarters.csv", quarters);
    const Table steps = stepTable(record.rows);
    write("dose_steps.csv", steps);
    const Table levels = referenceTable(record.rows, record.levels);
    if (record.withLevels) write("reference_levels.csv", levels);
    write("outliers.csv", outlierTable(record.rows));

    // Pictures and the record.
    std::vector<PlotPoint> points;
    for (const AuditRow& r : record.rows)
        if (r.agd) points.push_back({x(r).thicknessMm, *r.agd, r.p.unitAgd, r.ratio});
    said("agd_vs_thickness.png", writeAgdPlot(dir / "agd_vs_thickness.png", points, t));
    said("ratio_hist.png", writeRatioHistogram(dir / "ratio_hist.png", points, t));
    said("median_agd_vs_date.png",
         writeTrendPlot(dir / "median_agd_vs_date.png", trendSeries(record.rows), t));

    ReportContent rc;
    rc.version = std::string(kv::version());
    {
        const std::time_t now = std::time(nullptr);
        char buf[32];
        std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", std::localtime(&now));
        rc.date = buf;
    }
    rc.files = static_cast<int>(record.files), rc.exposures = static_cast<int>(record.rows.size());
    rc.skipped = static_cast<int>(record.skipped.size());
    ReportTable sumTable{t.reportSummary.str(), summary[0], {summary.begin() + 1, summary.end()}};
    ReportTable factorTable{
        t.reportFactors.str(),
        {"factor_id", "beam", "thickness_mm", "glandularity_percent", "mgd", "sigma_percent"},
        {}};
    for (const auto& [key, f] : record.computed->factors) {
        const FactorNode& n = record.nodes->at(key);
        factorTable.rows.push_back({f.id, n.beam.label(), plainDecimal(n.thicknessMm),
                                    format(n.glandularPercent, "0.0"), format(f.mgd, "0.00000"),
                                    format(f.sigmaPercent, "0.00")});
    }
    std::map<std::string, int> byReason;
    for (const Skipped& s : record.skipped)
        ++byReason[skipCodeName(s.skip.code)];
    ReportTable skipTable{t.reportSkipped.str(), {"reason", "count"}, {}};
    for (const auto& [reason, count] : byReason)
        skipTable.rows.push_back({reason, std::to_string(count)});
    ReportTable quarterReport{t.reportQuarters.str(), quarters[0], {quarters.begin() + 1, quarters.end()}};
    ReportTable stepReport{t.reportSteps.str(), steps[0], {steps.begin() + 1, steps.end()}};
    ReportTable levelReport{t.reportLevels.str(), levels[0], {levels.begin() + 1, levels.end()}};
    for (size_t i = 1; i < steps.size(); ++i)
        if (steps[i][8] == "found")
            rc.findings.push_back(fillIn(t.reportStepFound.str(), {{"{device}", steps[i][0]},
                                                                   {"{modality}", steps[i][1]},
                                                                   {"{percent}", steps[i][6]},
                                                                   {"{date}", steps[i][5]},
                                                                   {"{t}", steps[i][7]}}));
    rc.tables = {sumTable, quarterReport, stepReport, levelReport, skipTable, factorTable};
    rc.units = unitPages(record.rows, t);
    said("report.pdf", writeReportPdf(dir / "report.pdf", rc, dir, t));
    return status;
}

} // namespace kv::audit
