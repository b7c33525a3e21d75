#include "kv/audit/stages.h"
#include "kv/common/format.h"
#include "kv/common/typed_number.h"

#include <algorithm>
#include <cmath>

namespace kv::audit {

namespace {

// The incident air kerma at the upper breast surface: from the measured
// output by inverse square when the table has the beam, else the header's
// entrance dose.
std::optional<std::pair<double, KSource>> airKerma(const Exposure& x, const MeasuredTable& output) {
    if (auto m = output.lookup(x.target, x.filter, x.kvp, x.serial); m && x.mas && x.sourceToDetectorMm) {
        const double surface = *x.sourceToDetectorMm - m->supportGapMm - x.thicknessMm;
        if (surface > 0)
            return std::pair{m->value * *x.mas * (m->distanceMm / surface) * (m->distanceMm / surface),
                             KSource::Output};
    }
    if (x.entranceDoseMgy) return std::pair{*x.entranceDoseMgy, KSource::Header};
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
            plan.skipped.push_back({c.index, {code, {}, std::move(detail)}, c.path});
        };
        Planned p;
        const auto k = airKerma(x, measured.output);
        if (!k) {
            refuse(SkipCode::NoAirKerma, {});
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
        if (auto m = measured.hvl.lookup(x.target, x.filter, x.kvp, x.serial))
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
                p.note = fillIn(t.noteHeaderHvlUnreachable.str(), {{"{value}", plainDecimal(*hvl)}});
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

        // The nodes around the thickness, each at the glandularity of this age group there.
        const double lo = std::min(std::floor(x.thicknessMm / kNodeStepMm) * kNodeStepMm,
                                   kTableMaxThicknessMm - kNodeStepMm);
        const double hi = x.thicknessMm <= lo ? lo : lo + kNodeStepMm;
        auto node = [&](double mm) {
            FactorNode n;
            n.beam = mb->beam;
            n.thicknessMm = mm;
            n.glandularPercent = typicalGlandularity(mm, x.ageYears)->percent;
            plan.nodes.emplace(n.key(), n);
            return n;
        };
        p.lo = node(lo);
        p.hi = node(hi);
        p.c = std::move(c);
        plan.exposures.push_back(std::move(p));
    }
    return plan;
}

} // namespace kv::audit
