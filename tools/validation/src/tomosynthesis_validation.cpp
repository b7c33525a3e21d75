#include "kv/validation/tomosynthesis_validation.h"

#include "kv/common/content_hash.h"
#include "kv/common/format.h"
#include "kv/engine/result_file.h"
#include "kv/sweep/grid.h"

#include <algorithm>
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

std::string axisText(const std::optional<double>& axis) {
    return axis ? plainDecimal(*axis) : std::string();
}

// The breast, beam and axis a case shares with its 0 deg projection.
std::string sameGeometry(const TomoCase& c) {
    return plainDecimal(c.row.thickness) + " | " + c.beam + " | " + axisText(c.axisCm) + " | " +
           plainDecimal(c.adiposeRimMm);
}

// A scan design's column: "15 x ±7.5°", "sweep ±25°".
std::string designName(const TomoCase& c) {
    return (c.kind == TomoKind::Sweep ? std::string("sweep") : std::to_string(c.projections) + " x") + " ±" +
           plainDecimal(c.rangeDeg) + "°";
}

std::string valueCell(const TomoLine& l) {
    return format(l.value, "0.000") + " ± " + format(l.value * l.sigmaPercent / 100, "0.000");
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
    const std::vector<double> angles =
        reduced ? std::vector<double>{0, 25} : std::vector<double>{0, 5, 10, 15, 20, 25, 30};
    // The axis at the detector, and the equipment's FID - FAD (a few cm above it).
    const std::vector<std::optional<double>> axes =
        reduced ? std::vector<std::optional<double>>{std::nullopt}
                : std::vector<std::optional<double>>{0.0, std::nullopt};
    struct Design {
        TomoKind kind;
        double range;
        int projections;
    };
    const std::vector<Design> designs =
        reduced ? std::vector<Design>{{TomoKind::Step, 25, 25}, {TomoKind::Sweep, 25, 0}}
                : std::vector<Design>{{TomoKind::Step, 7.5, 15}, {TomoKind::Step, 12.5, 9},
                                      {TomoKind::Step, 20, 21},  {TomoKind::Step, 25, 25},
                                      {TomoKind::Sweep, 7.5, 0}, {TomoKind::Sweep, 25, 0}};
    std::string csv =
        "thickness_cm,glandular_percent,target,kv,mo_mm,rh_mm,al_mm,method,angular_range,projections,"
        "projection_angle,rotation_axis_cm,histories,seed,model,adipose_rim_mm\n";
    std::vector<TomoCase> out;
    auto add = [&](const Beam& b, double cm, TomoCase c) {
        const bool tomo = c.kind != TomoKind::Mammography;
        const std::string range =
            c.kind == TomoKind::Step || c.kind == TomoKind::Sweep ? plainDecimal(c.rangeDeg) : std::string();
        const std::string head =
            plainDecimal(cm) + ",50," + b.target + "," + b.kv + "," + b.mo + "," + b.rh + "," + b.al + "," +
            (tomo ? "tomosynthesis" : "mammography") + "," + range + "," +
            (c.kind == TomoKind::Step ? std::to_string(c.projections) : std::string()) + "," +
            (c.kind == TomoKind::Single ? plainDecimal(c.angleDeg) : std::string()) + "," +
            (tomo ? axisText(c.axisCm) : std::string()) + "," + plainDecimal(histories);
        const std::string rim = c.adiposeRimMm != 0 ? plainDecimal(c.adiposeRimMm) : std::string();
        // A seed of the row's own, so that adding a row leaves the others' results standing.
        const uint64_t seed = std::stoull(
            sha256Hex("tomo " + head + (rim.empty() ? "" : " rim " + rim)).substr(0, 15), nullptr, 16);
        csv += head + "," + std::to_string(seed) + ",protocol," + rim + "\n";
        c.beam = b.name;
        out.push_back(c);
    };
    for (const Beam& b : beams) {
        if (reduced && std::string_view(b.target) != "Mo") continue;
        for (double cm : thicknesses) {
            add(b, cm, {{}, "", TomoKind::Mammography, 0, 0, 0, std::nullopt});
            for (const std::optional<double>& axis : axes)
                for (double a : angles)
                    add(b, cm, {{}, "", TomoKind::Single, a, 0, 0, axis});
            for (const std::optional<double>& axis : axes)
                for (const Design& d : designs)
                    add(b, cm, {{}, "", d.kind, 0, d.range, d.projections, axis});
        }
    }
    // The published factors fall with angle and thickness; with a bare curved edge ours of a
    // thick breast do not. The same Mo/Mo cases with adipose round that edge show the difference.
    if (!reduced) {
        constexpr double kRimMm = 5;
        for (double cm : thicknesses) {
            add(beams[0], cm, {{}, "", TomoKind::Mammography, 0, 0, 0, std::nullopt, kRimMm});
            for (double a : angles)
                add(beams[0], cm, {{}, "", TomoKind::Single, a, 0, 0, std::nullopt, kRimMm});
            for (const Design& d : designs)
                add(beams[0], cm, {{}, "", d.kind, 0, d.range, d.projections, std::nullopt, kRimMm});
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
    std::map<std::string, size_t> reference;
    for (size_t i = 0; i < cases.size(); ++i)
        if (cases[i].reference()) reference[sameGeometry(cases[i])] = i;
    std::vector<TomoLine> out;
    for (size_t i = 0; i < cases.size(); ++i) {
        if (cases[i].reference()) continue;
        const auto z = reference.find(sameGeometry(cases[i]));
        if (z == reference.end()) continue;
        const factors::RowFactors &f = factors[i], &zero = factors[z->second];
        if (!(zero.mgd > 0)) continue;
        out.push_back({cases[i], f.mgd / zero.mgd, std::hypot(f.mgdSigmaPercent, zero.mgdSigmaPercent)});
    }
    return out;
}

std::string tomosynthesisMarkdown(const std::vector<TomoLine>& lines, const std::string& command) {
    std::ostringstream md;
    md << "Made by `" << command << "` (physics revision " << engine::kPhysicsRevision
       << "). Each value over the 0° projection of the same breast, beam and rotation axis, both per the "
          "incident air kerma at the upper surface with the tube at 0° for the same tube loading; its "
          "1-sigma "
          "combines the two rows'. 50 % glandular. `2D / 0°`: the mammography row over the 0° projection.\n";
    std::set<std::string> beams;
    std::set<double> thicknesses;
    std::map<std::string, std::set<double>> rims;                         // per beam
    std::map<std::pair<std::string, double>, std::set<std::string>> axes; // per beam and rim
    std::map<std::pair<std::string, double>, std::set<std::string>> designAxes;
    std::map<std::string, const TomoLine*> at;
    std::vector<std::string> designs;
    std::vector<double> angles;
    for (const TomoLine& l : lines) {
        const TomoCase& c = l.c;
        beams.insert(c.beam), thicknesses.insert(c.row.thickness), rims[c.beam].insert(c.adiposeRimMm);
        std::string key =
            c.beam + " | " + plainDecimal(c.adiposeRimMm) + " | " + plainDecimal(c.row.thickness) + " | ";
        if (c.kind == TomoKind::Single) {
            axes[{c.beam, c.adiposeRimMm}].insert(axisText(c.axisCm));
            if (std::find(angles.begin(), angles.end(), c.angleDeg) == angles.end())
                angles.push_back(c.angleDeg);
            key += "t " + axisText(c.axisCm) + " " + plainDecimal(c.angleDeg);
        } else if (c.kind == TomoKind::Mammography) {
            key += "2D";
        } else {
            if (std::find(designs.begin(), designs.end(), designName(c)) == designs.end())
                designs.push_back(designName(c));
            designAxes[{c.beam, c.adiposeRimMm}].insert(axisText(c.axisCm));
            key += designName(c) + " " + axisText(c.axisCm);
        }
        at[key] = &l;
    }
    std::sort(angles.begin(), angles.end());
    auto cell = [&](const std::string& key) {
        const auto it = at.find(key);
        return it == at.end() ? std::string("-") : valueCell(*it->second);
    };
    for (const std::string& beam : beams) {
        // The bare rim first, the breast with an adipose rim after it.
        for (double rim : rims[beam]) {
            const std::string withRim =
                rim != 0 ? ", " + plainDecimal(rim) + " mm adipose round the curved edge" : std::string();
            const std::string of = beam + " | " + plainDecimal(rim) + " | ";
            for (const std::string& axis : axes[{beam, rim}]) {
                md << "\n#### t(θ), " << beam << ", rotation axis "
                   << (axis.empty() ? std::string("at FID - FAD") : axis + " cm above the detector")
                   << withRim << "\n\n| thickness (cm) |";
                for (double a : angles)
                    md << " " << plainDecimal(a) << "° |";
                md << "\n|---|";
                for (size_t i = 0; i < angles.size(); ++i)
                    md << "---|";
                md << "\n";
                for (double cm : thicknesses) {
                    md << "| " << plainDecimal(cm) << " |";
                    for (double a : angles)
                        md << " " << cell(of + plainDecimal(cm) + " | t " + axis + " " + plainDecimal(a))
                           << " |";
                    md << "\n";
                }
            }
            // FID - FAD, the empty text, sorts first, as the tables always had it.
            for (const std::string& axis : designAxes[{beam, rim}]) {
                md << "\n#### T of the scan designs, " << beam << ", rotation axis "
                   << (axis.empty() ? std::string("at FID - FAD") : axis + " cm above the detector")
                   << withRim << "\n\n| thickness (cm) | 2D / 0° |";
                for (const std::string& d : designs)
                    md << " " << d << " |";
                md << "\n|---|---|";
                for (size_t i = 0; i < designs.size(); ++i)
                    md << "---|";
                md << "\n";
                for (double cm : thicknesses) {
                    const std::string row = of + plainDecimal(cm) + " | ";
                    md << "| " << plainDecimal(cm) << " | " << cell(row + "2D") << " |";
                    for (const std::string& d : designs)
                        md << " " << cell(row + d + " " + axis) << " |";
                    md << "\n";
                }
            }
        }
    }
    return md.str();
}

} // namespace kv::validation
