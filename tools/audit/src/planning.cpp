#include "kv/audit/stages.h"
#include "kv/common/format.h"
#include "kv/common/typed_number.h"

#include <algorithm>
#include <cmath>

namespace kv::audit {

namespace {

// A scan whose first and last angles differ in size by more than this is off centre.
constexpr double kCentredWithinDeg = 0.5;
// Loadings this close (relative) are the equal loading the factor assumes.
constexpr double kEqualLoadingWithin = 1e-6;

// The exposure's dose values as the audit takes them: a 2D image's as they
// stand; a scan's for the whole scan: one projection's times the projections
// (or added up over the scan's projection files), and a value whose meaning
// the standard leaves open as the unit's --dbt-kerma says.
struct Doses {
    std::optional<double> mas, entrance, organ;
    bool projectionsUnknown = false;
};

Doses dosesOf(const Exposure& x, DbtKerma mode) {
    Doses d;
    auto scanValue = [&](const std::optional<double>& v, DoseScope scope,
                         const std::optional<double>& sum) -> std::optional<double> {
        const bool projection =
            scope == DoseScope::Projection || (scope == DoseScope::Unsaid && mode == DbtKerma::Projection);
        if (!v || !projection) return v;
        if (sum) return sum;
        if (x.scan && x.scan->projections > 1) return *v * x.scan->projections;
        d.projectionsUnknown = true;
        return std::nullopt;
    };
    const Scan none;
    const Scan& s = x.scan ? *x.scan : none;
    d.mas = scanValue(x.mas, x.scope.mas, s.masSum);
    d.entrance = scanValue(x.entranceDoseMgy, x.scope.entrance, s.entranceSum);
    d.organ = scanValue(x.organDoseMgy, x.scope.organ, s.organSum);
    return d;
}

// The incident air kerma at the upper breast surface (for a scan: its whole
// tube loading): from the measured output by inverse square when the table
// has the beam, else the header's entrance dose.
std::optional<std::pair<double, KSource>> airKerma(const Exposure& x, const Doses& d,
                                                   const MeasuredTable& output) {
    if (auto m = output.lookup(x.target, x.filter, x.filterMm, x.kvp, x.serial);
        m && d.mas && x.sourceToDetectorMm) {
        const double surface = *x.sourceToDetectorMm - m->supportGapMm - x.thicknessMm;
        if (surface > 0)
            return std::pair{m->value * *d.mas * (m->distanceMm / surface) * (m->distanceMm / surface),
                             KSource::Output};
    }
    if (d.entrance) return std::pair{*d.entrance, KSource::Header};
    return std::nullopt;
}

// Matches of one beam to one HVL, each asked of the spectrum model once.
class BeamMatches {
  public:
    explicit BeamMatches(Physics& p) : physics_(p) {}
    std::optional<MatchedBeam> operator()(const Beam& b, std::optional<double> hvl) {
        const std::string key = b.key() + (hvl ? " HVL " + format(*hvl, "0.0000") : "");
        auto it = done_.find(key);
        if (it == done_.end()) it = done_.emplace(key, physics_.match(b, hvl)).first;
        return it->second;
    }

  private:
    Physics& physics_;
    std::map<std::string, std::optional<MatchedBeam>> done_;
};

} // namespace

const char* sourceName(KSource s) {
    return s == KSource::Output ? "output" : "header";
}

const char* sourceName(HvlSource s) {
    switch (s) {
    case HvlSource::Measured:
        return "measured";
    case HvlSource::Header:
        return "header";
    case HvlSource::Model:
        return "model";
    }
    return "model";
}

Plan planExposures(std::vector<Counted> exposures, const MeasuredTables& measured, Physics& physics,
                   const texts::AuditTexts& t) {
    Plan plan;
    BeamMatches matched(physics);
    for (Counted& c : exposures) {
        const Exposure& x = c.x;
        auto refuse = [&](SkipCode code, std::string detail) {
            Skip s{code, {}, std::move(detail), x.event};
            plan.skipped.push_back({c.index, std::move(s), c.path});
        };
        Planned p;
        std::vector<std::string> notes;
        for (const Exposure::SetAside& a : x.setAside)
            notes.push_back(fillIn(t.noteSetAside.str(), {{"{tag}", a.tag}, {"{value}", a.value}}));
        auto joined = [](const std::vector<std::string>& v) {
            std::string s;
            for (const std::string& n : v)
                s += (s.empty() ? "" : "; ") + n;
            return s;
        };
        const DbtKerma mode = measured.output.dbtKerma(x.serial).value_or(measured.dbtKerma);
        const Doses d = dosesOf(x, mode);
        if (d.projectionsUnknown) notes.push_back(t.noteProjectionsUnknown.str());
        p.mas = d.mas, p.unitAgd = d.organ;
        const auto k = airKerma(x, d, measured.output);
        if (!k) {
            refuse(SkipCode::NoAirKerma, joined(notes));
            continue;
        }
        std::tie(p.k, p.kSource) = *k;

        const std::optional<TypicalGlandularity> g = typicalGlandularity(x.thicknessMm, x.ageYears);
        if (!g) {
            refuse(SkipCode::NoFactor,
                   fillIn(t.thicknessOutside.str(), {{"{value}", plainDecimal(x.thicknessMm)}}));
            continue;
        }
        p.gland = *g;

        Beam b;
        b.target = x.target, b.filter = x.filter, b.filterMm = x.filterMm, b.kvp = x.kvp;
        std::optional<double> hvl;
        if (auto m = measured.hvl.lookup(x.target, x.filter, x.filterMm, x.kvp, x.serial))
            hvl = m->value, p.hvlSource = HvlSource::Measured;
        else if (x.hvlMmAl)
            hvl = *x.hvlMmAl, p.hvlSource = HvlSource::Header;
        else
            p.hvlSource = HvlSource::Model;
        std::optional<MatchedBeam> mb;
        try {
            mb = matched(b, hvl);
            // A header's HVL that the spectrum cannot reach is a header's fault: the model's stands in, said
            // so.
            if (!mb && p.hvlSource == HvlSource::Header) {
                notes.push_back(fillIn(t.noteHeaderHvlUnreachable.str(), {{"{value}", plainDecimal(*hvl)}}));
                p.hvlSource = HvlSource::Model;
                mb = matched(b, std::nullopt);
            }
        } catch (const FactorFailure& e) {
            refuse(SkipCode::NoFactor, e.what());
            continue;
        }
        if (!mb) {
            refuse(SkipCode::NoFactor,
                   fillIn(t.hvlUnreachable.str(), {{"{value}", hvl ? plainDecimal(*hvl) : ""}}));
            continue;
        }
        p.beam = *mb;
        p.hvl = p.hvlSource == HvlSource::Model ? mb->hvlPaddle : *hvl;

        // A scan's factor is the protocol tomosynthesis row over its angles; without them, or off
        // centre, the exposure is listed with its scan and why it has none.
        std::optional<ScanShape> shape;
        if (x.modality == Modality::Tomosynthesis) {
            const std::optional<double> start = x.scan ? x.scan->startDeg : std::nullopt,
                                        end = x.scan ? x.scan->endDeg : std::nullopt;
            std::string whyText;
            if (!start || !end) {
                whyText = t.noteNoScanFactor.str();
            } else if (std::fabs(*start + *end) > kCentredWithinDeg) {
                whyText = fillIn(t.noteAsymmetricScan.str(),
                                 {{"{start}", plainDecimal(*start)}, {"{end}", plainDecimal(*end)}});
            }
            if (!whyText.empty()) {
                notes.push_back(whyText);
                p.note = joined(notes);
                p.c = std::move(c);
                plan.exposures.push_back(std::move(p));
                continue;
            }
            shape =
                ScanShape{std::fabs(*end - *start) / 2, x.scan->projections > 1 ? x.scan->projections : 0};
            if (shape->projections == 0) notes.push_back(t.noteScanAsSweep.str());
            // Unequal loadings would make nearly every scan a node of its own: the
            // factor weighs the projections alike, and the row says so.
            const std::vector<double>& loading = x.scan->loading;
            if (shape->projections > 1 && !loading.empty()) {
                const auto [lo, hi] = std::minmax_element(loading.begin(), loading.end());
                if (*hi - *lo > kEqualLoadingWithin * *hi)
                    notes.push_back(fillIn(t.noteLoadingNotUsed.str(),
                                           {{"{min}", plainDecimal(*lo)}, {"{max}", plainDecimal(*hi)}}));
            }
        }
        // The nodes around the thickness, each at the glandularity of this age group there.
        const double lo = std::min(std::floor(x.thicknessMm / kNodeStepMm) * kNodeStepMm,
                                   kTableMaxThicknessMm - kNodeStepMm);
        const double hi = x.thicknessMm <= lo ? lo : lo + kNodeStepMm;
        auto node = [&](double mm) {
            FactorNode n;
            n.beam = mb->beam;
            n.thicknessMm = mm;
            n.glandularPercent = typicalGlandularity(mm, x.ageYears)->percent;
            n.scan = shape;
            plan.nodes.emplace(n.key(), n);
            return n;
        };
        p.nodes = std::pair{node(lo), node(hi)};
        p.note = joined(notes);
        p.c = std::move(c);
        plan.exposures.push_back(std::move(p));
    }
    return plan;
}

} // namespace kv::audit
