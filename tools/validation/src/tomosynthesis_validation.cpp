#include "kv/validation/tomosynthesis_validation.h"

#include "kv/common/content_hash.h"
#include "kv/common/format.h"
#include "kv/engine/result_file.h"
#include "kv/sweep/grid.h"

#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

namespace kv::validation {

namespace {

struct Beam {
    const char *name, *target, *kv, *mo, *rh, *al;
};

// The breast, beam and geometry a scan row shares with its 0 deg row.
std::string sameBreast(const TomoCase& c) {
    return plainDecimal(c.row.thickness) + " " + c.beam;
}

} // namespace

std::vector<TomoCase> tomosynthesisCases(bool reduced, const formats::EquipmentRecord& equipment,
                                         double histories) {
    // The three beam kinds of today's units: Mo/Mo, W/Rh and W/Al.
    const std::vector<Beam> beams = {{"Mo/Mo 28 kV", "Mo", "28", "0.03", "0", "0"},
                                     {"W/Rh 29 kV", "W", "29", "0", "0.05", "0"},
                                     {"W/Al 30 kV", "W", "30", "0", "0", "0.7"}};
    const std::vector<double> thicknesses =
        reduced ? std::vector<double>{4.5} : std::vector<double>{2, 3, 4.5, 6, 8, 11};
    // 0: the mammography row; then the continuous sweeps of the common designs.
    const std::vector<double> ranges = {0, 7.5, 25};
    std::string csv = "thickness_cm,glandular_percent,target,kv,mo_mm,rh_mm,al_mm,method,angular_range,"
                      "histories,seed,model\n";
    std::vector<TomoCase> out;
    for (const Beam& b : beams) {
        if (reduced && std::string_view(b.target) != "Mo") continue;
        for (double cm : thicknesses)
            for (double range : ranges) {
                const std::string head = plainDecimal(cm) + ",50," + b.target + "," + b.kv + "," + b.mo +
                                         "," + b.rh + "," + b.al + "," +
                                         (range > 0 ? "tomosynthesis" : "mammography") + "," +
                                         plainDecimal(range) + "," + plainDecimal(histories);
                // A seed of the row's own, so that adding a row leaves the others' results standing.
                const uint64_t seed = std::stoull(sha256Hex("tomo " + head).substr(0, 15), nullptr, 16);
                csv += head + "," + std::to_string(seed) + ",protocol\n";
                out.push_back({{}, b.name, range});
            }
    }
    const sweep::Grid grid = sweep::parseGrid(csv, equipment, texts::englishSweepTexts);
    if (!grid.refused.empty())
        throw std::logic_error("a tomosynthesis validation row is refused: " + grid.refused[0].problem);
    if (grid.rows.size() != out.size()) throw std::logic_error("a tomosynthesis validation row is missing");
    for (size_t i = 0; i < out.size(); ++i)
        out[i].row = grid.rows[i];
    return out;
}

std::vector<TomoLine> tomosynthesisLines(const std::vector<TomoCase>& cases,
                                         const std::vector<factors::RowFactors>& factors) {
    if (factors.size() != cases.size()) throw std::logic_error("one factor a case");
    std::map<std::string, size_t> zeroRow;
    for (size_t i = 0; i < cases.size(); ++i)
        if (cases[i].zero()) zeroRow[sameBreast(cases[i])] = i;
    std::vector<TomoLine> out;
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto z = zeroRow.find(sameBreast(cases[i]));
        if (cases[i].zero() || z == zeroRow.end()) continue;
        const factors::RowFactors &scan = factors[i], &zero = factors[z->second];
        if (!(zero.mgd > 0)) continue;
        TomoLine l{cases[i], scan.mgd, scan.mgdSigmaPercent, scan.mgd / zero.mgd,
                   std::hypot(scan.mgdSigmaPercent, zero.mgdSigmaPercent)};
        out.push_back(l);
    }
    return out;
}

std::string tomosynthesisMarkdown(const std::vector<TomoLine>& lines, const std::string& command) {
    std::ostringstream md;
    md << "Made by `" << command << "` (physics revision " << engine::kPhysicsRevision
       << "). T: the continuous sweep's mean glandular dose over that of the 0° row of the same breast and "
          "beam, both per the incident air kerma at the upper surface with the tube at 0° for the same tube "
          "loading; its 1-sigma combines the two rows'. 50 % glandular.\n";
    std::set<std::string> beams;
    std::set<double> ranges, thicknesses;
    std::map<std::string, const TomoLine*> at;
    for (const TomoLine& l : lines) {
        beams.insert(l.c.beam), ranges.insert(l.c.rangeDeg), thicknesses.insert(l.c.row.thickness);
        at[l.c.beam + " " + plainDecimal(l.c.row.thickness) + " " + plainDecimal(l.c.rangeDeg)] = &l;
    }
    for (const std::string& beam : beams) {
        md << "\n#### T of continuous sweeps, " << beam << "\n\n| thickness (cm) |";
        for (double r : ranges)
            md << " ±" << plainDecimal(r) << "° |";
        md << "\n|---|";
        for (size_t i = 0; i < ranges.size(); ++i)
            md << "---|";
        md << "\n";
        for (double cm : thicknesses) {
            md << "| " << plainDecimal(cm) << " |";
            for (double r : ranges) {
                const auto it = at.find(beam + " " + plainDecimal(cm) + " " + plainDecimal(r));
                md << " "
                   << (it == at.end() ? std::string("-")
                                      : format(it->second->T, "0.000") + " ± " +
                                            format(it->second->T * it->second->tSigmaPercent / 100, "0.000"))
                   << " |";
            }
            md << "\n";
        }
    }
    return md.str();
}

} // namespace kv::validation
