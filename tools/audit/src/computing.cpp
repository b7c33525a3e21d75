#include "kv/audit/stages.h"
#include "kv/common/format.h"
#include "kv/common/typed_number.h"

#include <chrono>
#include <cmath>

namespace kv::audit {

Interpolated interpolateFactor(double t, double t0, const Factor& f0, double t1, const Factor& f1) {
    if (t1 <= t0) return {f0.mgd, f0.sigmaPercent};
    const double w = (t - t0) / (t1 - t0);
    return {std::exp((1 - w) * std::log(f0.mgd) + w * std::log(f1.mgd)),
            (1 - w) * f0.sigmaPercent + w * f1.sigmaPercent};
}

Computed computeFactors(const std::map<std::string, FactorNode>& nodes, Physics& physics, int shard,
                        int shards, std::ostream& out, std::ostream& err, const texts::AuditTexts& t) {
    Computed c;
    int n = 0;
    for (const auto& [key, node] : nodes) {
        if (n++ % shards != shard) continue;
        out << fillIn(t.factorStart.str(), {{"{n}", std::to_string(n)},
                                            {"{count}", std::to_string(nodes.size())},
                                            {"{label}", node.label()}})
            << "\n"
            << std::flush;
        const auto start = std::chrono::steady_clock::now();
        try {
            const Factor f = physics.factor(node);
            c.factors[key] = f;
            const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            out << fillIn(t.factorDone.str(), {{"{id}", f.id},
                                               {"{mgd}", format(f.mgd, "0.00000")},
                                               {"{sigma}", format(f.sigmaPercent, "0.00")},
                                               {"{seconds}", format(s, "0.0")}})
                << "\n"
                << std::flush;
        } catch (const FactorFailure& e) {
            c.failed[key] = e.what();
            err << fillIn(t.factorFailed.str(), {{"{label}", node.label()}, {"{why}", e.what()}}) << "\n";
        }
    }
    return c;
}

namespace {

double statedHvl(HvlSource s, const InputUncertainties& u) {
    switch (s) {
    case HvlSource::Measured:
        return u.hvlMeasured;
    case HvlSource::Header:
        return u.hvlHeader;
    case HvlSource::Model:
        return u.hvlModel;
    }
    return u.hvlModel;
}

} // namespace

std::vector<AuditRow> applyFactors(std::vector<Planned> planned, const Computed& computed,
                                   std::vector<Skipped>& skipped, const InputUncertainties& stated) {
    std::vector<AuditRow> rows;
    for (Planned& p : planned) {
        AuditRow r;
        if (p.nodes) {
            const std::string a = p.nodes->first.key(), b = p.nodes->second.key();
            const auto fa = computed.factors.find(a), fb = computed.factors.find(b);
            if (fa == computed.factors.end() || fb == computed.factors.end()) {
                const auto why = computed.failed.find(computed.failed.count(a) ? a : b);
                skipped.push_back({p.c.index,
                                   {SkipCode::NoFactor,
                                    {},
                                    why == computed.failed.end() ? std::string() : why->second,
                                    p.c.x.event},
                                   p.c.path});
                continue;
            }
            r.factor = interpolateFactor(p.c.x.thicknessMm, p.nodes->first.thicknessMm, fa->second,
                                         p.nodes->second.thicknessMm, fb->second);
            r.factorId = a == b ? fa->second.id : fa->second.id + "/" + fb->second.id;
            r.agd = p.k * r.factor->value;
            if (p.unitAgd && *p.unitAgd > 0) r.ratio = *r.agd / *p.unitAgd;
            r.parts.factor = r.factor->sigmaPercent;
            r.parts.interpolation = interpolationPercent(p.c.x.thicknessMm, a == b);
            r.parts.k = p.kSource == KSource::Output ? stated.kOutput : stated.kHeader;
            r.parts.hvl = statedHvl(p.hvlSource, stated);
            r.parts.glandularity = stated.glandularity;
            r.agdSigmaPercent = combinedPercent(r.parts);
        }
        r.p = std::move(p);
        rows.push_back(std::move(r));
    }
    return rows;
}

} // namespace kv::audit
