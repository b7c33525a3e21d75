#include "kv/validation/protocol_validation.h"

#include "kv/common/content_hash.h"
#include "kv/common/csv.h"
#include "kv/common/format.h"
#include "kv/common/records.h"
#include "kv/engine/result_file.h"
#include "kv/formats/tube_materials.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kv::validation {

namespace fs = std::filesystem;

namespace {

// The table's lines that are not comments, as cells.
std::vector<std::vector<std::string>> dataLines(const fs::path& csv) {
    std::string text;
    try {
        text = readFileBytes(csv.has_parent_path() ? csv.parent_path() : fs::path("."),
                             csv.filename().string(), kSmallFileMaxBytes);
    } catch (const RecordError&) {
        throw std::runtime_error(csv.string() + ": cannot be read");
    }
    std::vector<std::vector<std::string>> lines;
    for (CsvLine& l : readCsvLines(text, {.commentLines = true}))
        lines.push_back(std::move(l.cells));
    return lines;
}

double number(const std::string& text, const fs::path& csv) {
    double v = 0;
    if (!parseNumberStrict(text, v))
        throw std::runtime_error(csv.string() + ": \"" + text + "\" is not a number");
    return v;
}

std::string signedPercent(double v) {
    return (v >= 0 ? "+" : "") + format(v, "0.0");
}

std::string beamOf(const sweep::FactorLine& l) {
    return l.target + "/" + l.filters + " " + l.kv + " kV";
}

// The published s-factor's name of a beam: the target and its K-edge filter, added Al aside.
std::string spectrumName(const sweep::FactorLine& l) {
    return l.target + "/" + l.filters.substr(0, l.filters.find(' '));
}

// mgd / g of each target and filter by thickness, lowest to highest over the tube voltages: how far
// one s per target and filter can hold.
std::string sByThickness(const std::vector<Comparison>& all) {
    std::map<std::string, std::map<double, std::pair<double, double>>> range;
    std::vector<double> thicknesses;
    for (const Comparison& c : all) {
        if (c.c.group != Group::S || !c.sAgainstPublishedG) continue;
        const double s = *c.sAgainstPublishedG;
        auto [at, fresh] = range[c.ours.target + "/" + c.ours.filters].try_emplace(c.ours.thickness, s, s);
        if (!fresh) at->second = {std::min(at->second.first, s), std::max(at->second.second, s)};
        if (std::find(thicknesses.begin(), thicknesses.end(), c.ours.thickness) == thicknesses.end())
            thicknesses.push_back(c.ours.thickness);
    }
    if (range.empty()) return {};
    std::sort(thicknesses.begin(), thicknesses.end());
    std::ostringstream md;
    md << "\nmgd / g by thickness (lowest to highest over the tube voltages of the table above):\n\n| beam |";
    for (double t : thicknesses)
        md << " " << plainDecimal(t) << " cm |";
    md << "\n|---|";
    for (size_t i = 0; i < thicknesses.size(); ++i)
        md << "---|";
    md << "\n";
    for (const auto& [beam, byThickness] : range) {
        md << "| " << beam << " |";
        for (double t : thicknesses) {
            const auto it = byThickness.find(t);
            md << " "
               << (it == byThickness.end()
                       ? std::string("-")
                       : format(it->second.first, "0.000") + " - " + format(it->second.second, "0.000"))
               << " |";
        }
        md << "\n";
    }
    return md.str();
}

} // namespace

FactorTable readFactorTable(const fs::path& csv) {
    const std::vector<std::vector<std::string>> lines = dataLines(csv);
    if (lines.empty()) throw std::runtime_error(csv.string() + ": no header");
    FactorTable t;
    const std::vector<std::string>& head = lines[0];
    for (size_t i = 1; i < head.size(); ++i)
        t.hvls.push_back(number(head[i].substr(head[i].find('_') + 1), csv));
    for (size_t n = 1; n < lines.size(); ++n) {
        const std::vector<std::string>& c = lines[n];
        if (c.size() != head.size()) throw std::runtime_error(csv.string() + ": a row of another width");
        std::vector<double> v;
        for (size_t i = 1; i < c.size(); ++i)
            v.push_back(number(c[i], csv));
        t.rows[number(c[0], csv)] = v;
    }
    return t;
}

std::optional<double> lookUp(const FactorTable& t, double thickness, double hvl) {
    for (const auto& [cm, row] : t.rows) {
        if (std::fabs(cm - thickness) > 1e-6) continue;
        for (size_t i = 0; i + 1 < t.hvls.size(); ++i)
            if (hvl >= t.hvls[i] - 1e-9 && hvl <= t.hvls[i + 1] + 1e-9)
                return row[i] + (row[i + 1] - row[i]) * (hvl - t.hvls[i]) / (t.hvls[i + 1] - t.hvls[i]);
    }
    return std::nullopt;
}

std::map<std::string, double> readSpectrumFactors(const fs::path& csv) {
    std::map<std::string, double> s;
    const std::vector<std::vector<std::string>> lines = dataLines(csv);
    for (size_t n = 1; n < lines.size(); ++n) {
        const std::vector<std::string>& c = lines[n];
        if (c.size() != 2) throw std::runtime_error(csv.string() + ": a row of another width");
        s[c[0]] = number(c[1], csv);
    }
    return s;
}

std::string beamName(const factors::Row& r) {
    const std::string filters = factors::filterName(r);
    return std::string(formats::symbol(r.target)) + "/" + filters.substr(0, filters.find(' '));
}

std::vector<Case> validationCases(bool reduced, const formats::EquipmentRecord& equipment, double histories) {
    struct Beam {
        const char *target, *kv, *al, *rh, *ag = "";
    };
    // Mo/Mo from 25 to 32 kV with up to 0.5 mm added Al: first HVL with the paddle 0.31 to 0.47 mm Al;
    // and harder, to 40 kV with 1.4 mm (0.61 mm Al), past Rh/Ag at 32 kV (0.595) so that its s is
    // interpolated, not extrapolated.
    const std::vector<Beam> moMo = {
        {"Mo", "25", "0.2", ""}, {"Mo", "28", "", ""},    {"Mo", "28", "0.4", ""}, {"Mo", "30", "", ""},
        {"Mo", "30", "0.5", ""}, {"Mo", "32", "", ""},    {"Mo", "32", "0.3", ""}, {"Mo", "32", "0.5", ""},
        {"Mo", "34", "0.8", ""}, {"Mo", "36", "1.0", ""}, {"Mo", "38", "1.2", ""}, {"Mo", "40", "1.4", ""}};
    const std::vector<Beam> rhodium = {{"W", "26", "", ""},
                                       {"W", "28", "", ""},
                                       {"W", "30", "", ""},
                                       {"W", "32", "", ""},
                                       {"W", "34", "", ""},
                                       {"Mo", "28", "", "0.025"},
                                       {"Mo", "30", "", "0.025"},
                                       {"Mo", "32", "", "0.025"},
                                       // W/Rh with the thicker rhodium filter of many units
                                       {"W", "26", "", "0.05"},
                                       {"W", "28", "", "0.05"},
                                       {"W", "30", "", "0.05"},
                                       {"W", "32", "", "0.05"},
                                       {"W", "34", "", "0.05"},
                                       // Rh/Rh and Rh/Ag, the rhodium target's own beams
                                       {"Rh", "26", "", ""},
                                       {"Rh", "28", "", ""},
                                       {"Rh", "30", "", ""},
                                       {"Rh", "32", "", ""},
                                       {"Rh", "28", "", "", "0.05"},
                                       {"Rh", "30", "", "", "0.05"},
                                       {"Rh", "32", "", "", "0.05"},
                                       // Rh/Al: the published pair, 1 mm Al in place of the rhodium filter
                                       {"Rh", "28", "1.0", "0"},
                                       {"Rh", "30", "1.0", "0"},
                                       {"Rh", "32", "1.0", "0"}};
    struct Set {
        Group group;
        std::vector<double> thicknesses, glandular;
        std::vector<Beam> beams;
    };
    std::vector<Set> sets;
    if (reduced) {
        sets = {{Group::G, {4.5}, {50}, {{"Mo", "28", "", ""}, {"Mo", "30", "0.5", ""}}},
                {Group::S, {4.5}, {50}, {{"W", "26", "", ""}}}};
    } else {
        sets = {{Group::G, {2, 3, 4, 4.5, 5, 6, 7, 8}, {50}, moMo},
                {Group::S, {2, 4.5, 6, 8}, {50}, rhodium},
                {Group::Thick,
                 {9, 10, 11},
                 {50},
                 {{"Mo", "28", "", ""}, {"Mo", "30", "0.5", ""}, {"W", "30", "", ""}, {"W", "34", "", ""}}},
                {Group::C, {2, 4.5, 8}, {1, 25, 75, 100}, {{"Mo", "28", "", ""}, {"Mo", "30", "0.5", ""}}}};
    }
    std::string csv = "thickness_cm,glandular_percent,target,kv,al_mm,rh_mm,ag_mm,histories,seed,model\n";
    std::vector<Group> groups;
    for (const Set& set : sets)
        for (double cm : set.thicknesses)
            for (double g : set.glandular)
                for (const Beam& b : set.beams) {
                    const std::string head = plainDecimal(cm) + "," + plainDecimal(g) + "," + b.target + "," +
                                             b.kv + "," + b.al + "," + b.rh,
                                      tail = plainDecimal(histories);
                    // A seed of the row's own, so that adding a row leaves the others' results standing
                    // (the silver column came later: a row without silver keeps the text it was seeded by).
                    const std::string seeded = head + "," + (*b.ag ? std::string(b.ag) + "," : "") + tail;
                    const uint64_t seed = std::stoull(sha256Hex(seeded).substr(0, 15), nullptr, 16);
                    csv += head + "," + b.ag + "," + tail + "," + std::to_string(seed) + ",protocol\n";
                    groups.push_back(set.group);
                }
    const sweep::Grid grid = sweep::parseGrid(csv, equipment, texts::englishSweepTexts);
    if (!grid.refused.empty())
        throw std::logic_error("a validation row is refused: " + grid.refused[0].problem);
    std::vector<Case> out;
    for (size_t i = 0; i < grid.rows.size(); ++i)
        out.push_back({groups[i], grid.rows[i]});
    return out;
}

std::vector<Comparison> compare(const std::vector<Case>& cases,
                                const std::vector<factors::RowFactors>& factors, const FactorTable& g,
                                const std::map<std::string, double>& s) {
    std::vector<sweep::FactorRow> rows;
    for (size_t i = 0; i < cases.size(); ++i)
        rows.push_back({cases[i].row, factors.at(i)});
    const std::vector<sweep::FactorLine> lines = sweep::conversionFactors(rows);
    std::vector<Comparison> out;
    for (size_t i = 0; i < cases.size(); ++i) {
        Comparison c{cases[i], lines[i], {}, {}, {}, {}, {}};
        c.publishedG = lookUp(g, c.ours.thickness, c.ours.hvlPaddle);
        const bool halfGlandular = std::fabs(c.ours.glandular - 50) < 1e-9;
        if (c.publishedG && halfGlandular) c.sAgainstPublishedG = c.ours.mgd / *c.publishedG;
        if (auto it = s.find(spectrumName(c.ours)); it != s.end()) c.publishedS = it->second;
        if (c.publishedG && c.publishedS && halfGlandular) {
            c.expectedMgd = *c.publishedG * *c.publishedS;
            c.deviationPercent = 100 * (c.ours.mgd / *c.expectedMgd - 1);
        }
        out.push_back(c);
    }
    return out;
}

Summary summarize(const std::vector<Comparison>& all, Group group, double tolerance) {
    Summary s;
    for (const Comparison& c : all) {
        if (c.c.group != group || !c.deviationPercent) continue;
        const double d = *c.deviationPercent;
        ++s.count;
        s.within += std::fabs(d) <= tolerance;
        s.mean += d;
        s.rms += d * d;
        if (std::fabs(d) > std::fabs(s.worst)) s.worst = d;
    }
    if (s.count) s.mean /= s.count, s.rms = std::sqrt(s.rms / s.count);
    return s;
}

std::string generatedMarkdown(const std::vector<Comparison>& all, const std::string& command) {
    std::ostringstream md;
    auto summary = [&](Group group, double tolerance, const char* what) {
        const Summary s = summarize(all, group, tolerance);
        md << "\n"
           << what << ": " << s.count << " points, mean " << signedPercent(s.mean) << " %, RMS "
           << format(s.rms, "0.0") << " %, largest " << signedPercent(s.worst) << " %; within "
           << plainDecimal(tolerance) << " %: " << s.within << " of " << s.count << ".\n\n";
    };
    auto cellOr = [](const std::optional<double>& v, const char* pattern) {
        return v ? format(*v, pattern) : std::string("-");
    };
    md << "Made by `" << command << "` (physics revision " << engine::kPhysicsRevision
       << "). mgd: mean glandular dose of the inner region per incident air kerma at the upper surface "
          "(mGy/mGy), with its 1-sigma; HVL: the first HVL with the paddle in the beam.\n";

    md << "\n### g: Mo/Mo, 50 % glandular, 2-8 cm\n";
    summary(Group::G, 3, "Against the published g at the same HVL");
    md << "| thickness (cm) | beam | HVL (mm Al) | mgd | published g | deviation (%) "
          "|\n|---|---|---|---|---|---|\n";
    for (const Comparison& c : all)
        if (c.c.group == Group::G)
            md << "| " << plainDecimal(c.ours.thickness) << " | " << beamOf(c.ours) << " | "
               << format(c.ours.hvlPaddle, "0.000") << " | " << format(c.ours.mgd, "0.0000") << " ± "
               << format(c.ours.mgdSigmaPercent, "0.00") << " % | " << cellOr(c.publishedG, "0.0000") << " | "
               << (c.deviationPercent ? signedPercent(*c.deviationPercent) : "-") << " |\n";

    md << "\n### s: W/Rh, Mo/Rh, Rh/Rh, Rh/Al and Rh/Ag, 50 % glandular\n";
    summary(Group::S, 4, "mgd against the published g x s at the same HVL");
    md << "our s: against our own Mo/Mo rows of the same thickness, interpolated in HVL (as kv-sweep "
          "--factors forms it); mgd / g: against the published g at the same HVL.\n\n";
    md << "| thickness (cm) | beam | HVL (mm Al) | mgd | our s | mgd / g | published s | published g x s | "
          "deviation (%) "
          "|\n|---|---|---|---|---|---|---|---|---|\n";
    for (const Comparison& c : all)
        if (c.c.group == Group::S)
            md << "| " << plainDecimal(c.ours.thickness) << " | " << beamOf(c.ours) << " | "
               << format(c.ours.hvlPaddle, "0.000") << " | " << format(c.ours.mgd, "0.0000") << " ± "
               << format(c.ours.mgdSigmaPercent, "0.00") << " % | " << cellOr(c.ours.s, "0.000") << " | "
               << cellOr(c.sAgainstPublishedG, "0.000") << " | " << cellOr(c.publishedS, "0.000") << " | "
               << cellOr(c.expectedMgd, "0.0000") << " | "
               << (c.deviationPercent ? signedPercent(*c.deviationPercent) : "-") << " |\n";
    md << sByThickness(all);

    auto oursOnly = [&](Group group, const char* title) {
        bool any = false;
        for (const Comparison& c : all)
            any |= c.c.group == group;
        if (!any) return;
        md << "\n### " << title
           << "\n\n| thickness (cm) | glandular (%) | beam | HVL (mm Al) | mgd | c | s |\n"
           << "|---|---|---|---|---|---|---|\n";
        for (const Comparison& c : all)
            if (c.c.group == group)
                md << "| " << plainDecimal(c.ours.thickness) << " | " << plainDecimal(c.ours.glandular)
                   << " | " << beamOf(c.ours) << " | " << format(c.ours.hvlPaddle, "0.000") << " | "
                   << format(c.ours.mgd, "0.0000") << " ± " << format(c.ours.mgdSigmaPercent, "0.00")
                   << " % | " << cellOr(c.ours.c, "0.000") << " | " << cellOr(c.ours.s, "0.000") << " |\n";
    };
    oursOnly(Group::C, "c: other glandularities (ours; c against our 50 % row of the same beam)");
    oursOnly(Group::Thick, "9-11 cm (ours)");
    return md.str();
}

std::vector<factors::Row> measuredCases(const fs::path& grid, const formats::EquipmentRecord& equipment,
                                        bool reduced, double histories) {
    const sweep::Grid g = sweep::readGrid(grid, equipment, texts::englishSweepTexts);
    if (!g.refused.empty())
        throw std::runtime_error(grid.string() + ", line " + std::to_string(g.refused[0].line) + ": " +
                                 g.refused[0].problem);
    std::vector<factors::Row> out;
    for (factors::Row r : g.rows) {
        if (reduced && !(r.target == formats::TargetMaterial::Rhodium &&
                         !(parseNumber(r.spectrum.silver) > 0) && parseNumber(r.spectrum.tubeVoltage) <= 31))
            continue;
        if (histories > 0) r.histories = histories;
        out.push_back(r);
    }
    return out;
}

std::vector<MeasuredComparison> compareMeasured(const std::vector<factors::Row>& rows,
                                                const std::vector<factors::RowFactors>& factors) {
    std::vector<sweep::FactorRow> both;
    for (size_t i = 0; i < rows.size(); ++i)
        both.push_back({rows[i], factors.at(i)});
    const std::vector<sweep::FactorLine> lines = sweep::conversionFactors(both);
    const auto sameBeam = [](const factors::Row& a, const factors::Row& b) {
        return a.target == b.target && factors::filterName(a) == factors::filterName(b) &&
               a.thickness == b.thickness && a.glandular == b.glandular && a.protocol == b.protocol;
    };
    std::vector<MeasuredComparison> out;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i].measured) continue;
        MeasuredComparison m{lines[i], rows[i].spectrumFile, {}, {}};
        std::vector<std::pair<double, double>> model; // (HVL, mgd) of our model's rows of this beam
        for (size_t j = 0; j < rows.size(); ++j)
            if (!rows[j].measured && sameBeam(rows[i], rows[j]))
                model.emplace_back(lines[j].hvlPaddle, lines[j].mgd);
        std::sort(model.begin(), model.end());
        const double hvl = m.measured.hvlPaddle;
        for (size_t k = 1; k < model.size() && !m.modelMgd; ++k) {
            const auto [h0, d0] = model[k - 1];
            const auto [h1, d1] = model[k];
            if (h0 <= hvl && hvl <= h1 && h1 > h0) m.modelMgd = d0 + (d1 - d0) * (hvl - h0) / (h1 - h0);
        }
        if (m.modelMgd) m.differencePercent = 100 * (m.measured.mgd / *m.modelMgd - 1);
        out.push_back(m);
    }
    return out;
}

std::string measuredMarkdown(const std::vector<MeasuredComparison>& all, const std::string& command) {
    std::ostringstream md;
    md << "Made by `" << command << "` (physics revision " << engine::kPhysicsRevision
       << "). mgd as in section 2, with its 1-sigma; HVL: the first HVL with the paddle in the beam.\n\n"
       << "| beam | kV | HVL (mm Al) | mgd, measured spectrum | mgd, our model at that HVL | difference | "
          "s (measured) |\n|---|---|---|---|---|---|---|\n";
    for (const MeasuredComparison& m : all) {
        const sweep::FactorLine& l = m.measured;
        md << "| " << l.target << "/" << l.filters << " | " << l.kv << " | " << format(l.hvlPaddle, "0.000")
           << " | " << format(l.mgd, "0.0000") << " ± " << format(l.mgdSigmaPercent, "0.00") << " % | "
           << (m.modelMgd ? format(*m.modelMgd, "0.0000") : std::string("- (beyond the model's rows)"))
           << " | " << (m.differencePercent ? signedPercent(*m.differencePercent) + " %" : std::string("-"))
           << " | " << (l.s ? format(*l.s, "0.000") : std::string("- (beyond our Mo/Mo rows)")) << " |\n";
    }
    return md.str();
}

void replaceGenerated(const fs::path& doc, const std::string& text) {
    replaceGenerated(doc, text, kBeginMarker, kEndMarker);
}

void replaceGenerated(const fs::path& doc, const std::string& text, std::string_view begin,
                      std::string_view end) {
    std::string old;
    {
        std::ifstream in(doc, std::ios::binary);
        if (in) old.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::string block = std::string(begin) + "\n" + text + std::string(end);
    const size_t b = old.find(begin), e = old.find(end);
    const std::string next = b != std::string::npos && e != std::string::npos && b < e
                                 ? old.substr(0, b) + block + old.substr(e + end.size())
                                 : old + (old.empty() ? "" : "\n") + block + "\n";
    const fs::path tmp = doc.string() + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary);
        out << next;
        if (!out.flush()) throw std::runtime_error(tmp.string() + ": cannot be written");
    }
    std::error_code ec;
    fs::rename(tmp, doc, ec);
    if (ec) throw std::runtime_error(doc.string() + ": " + ec.message());
}

} // namespace kv::validation
