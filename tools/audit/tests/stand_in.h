#pragma once
// A stand-in for the engine whose factor is a known smooth function of
// thickness and glandularity, as the engine's falls, and whose HVL match is
// a simple rule: what the audit does with the factors can be checked exactly.
#include "kv/audit/audit.h"
#include "kv/common/format.h"

#include <cmath>
#include <map>
#include <set>
#include <string>

namespace kv::audit::test {

inline double exactFactor(double mm, double gland) {
    return 0.6 * std::exp(-0.027 * mm) * (1.12 - 0.0024 * gland);
}
// A scan's: the 2D factor times a T that falls with the scan's range and
// (slightly) its projections, so that a node that lost its scan shows.
inline double scanT(double rangeDeg, int projections) {
    return 1 - 0.002 * rangeDeg - 0.0001 * projections;
}

struct StandIn : Physics {
    std::map<std::string, int>* calls;
    std::set<std::string> storedKeys, failingKeys;
    explicit StandIn(std::map<std::string, int>* c) : calls(c) {}
    // An HVL above 1 mm Al cannot be reached; without one the beam's own is 0.3 + 0.01 per kV above 25.
    std::optional<MatchedBeam> match(const Beam& b, std::optional<double> hvl) override {
        if (hvl && *hvl > 1) return std::nullopt;
        MatchedBeam m{b, hvl ? *hvl : 0.3 + 0.01 * (b.kvp - 25)};
        if (hvl) m.beam.aluminum = format(*hvl / 10, "0.000");
        return m;
    }
    Factor factor(const FactorNode& n) override {
        ++(*calls)[n.key()];
        if (failingKeys.count(n.key())) throw FactorFailure("the stand-in fails here");
        const double t = n.scan ? scanT(n.scan->rangeDeg, n.scan->projections) : 1;
        return {"f" + std::to_string(calls->size()), exactFactor(n.thicknessMm, n.glandularPercent) * t, 0.2,
                1e6};
    }
    bool stored(const FactorNode& n) override { return storedKeys.count(n.key()) > 0; }
};

} // namespace kv::audit::test
