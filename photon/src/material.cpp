#include "kv/photon/material.h"

#include <algorithm>
#include <stdexcept>
#include <xraylib.h>

namespace kv::photon {

Material materialFromFormula(std::string name, const std::string& formula, double density) {
    xrl_error* err = nullptr;
    compoundData* cd = CompoundParser(formula.c_str(), &err);
    if (!cd) {
        std::string why = err ? err->message : "unknown";
        xrl_clear_error(&err);
        throw std::invalid_argument("bad formula " + formula + ": " + why);
    }
    Material m{std::move(name), density, {}};
    for (int i = 0; i < cd->nElements; ++i)
        m.elements.push_back({cd->Elements[i], cd->massFractions[i]});
    FreeCompoundData(cd);
    return m;
}

Material element(int z, double density) {
    xrl_error* err = nullptr;
    char* sym = AtomicNumberToSymbol(z, &err);
    if (err) {
        xrl_error_free(err);
        throw std::runtime_error("xraylib: no element Z=" + std::to_string(z));
    }
    Material m{sym, density, {{z, 1.0}}};
    xrlFree(sym);
    return m;
}

Material nistCompound(const std::string& nistName, double density) {
    xrl_error* err = nullptr;
    compoundDataNIST* c = GetCompoundDataNISTByName(nistName.c_str(), &err);
    if (err || !c) {
        if (err) xrl_error_free(err);
        throw std::runtime_error("xraylib: no compound \"" + nistName + "\"");
    }
    Material m{nistName, density, {}};
    for (int n = 0; n < c->nElements; ++n)
        m.elements.push_back({c->Elements[n], c->massFractions[n]});
    FreeCompoundDataNIST(c);
    return m;
}

int atomicNumber(const std::string& symbol) {
    return symbol.empty() ? 0 : SymbolToAtomicNumber(symbol.c_str(), nullptr);
}

namespace materials {
Material adipose() {
    return {"adipose", 0.9301, {{1, 0.112}, {6, 0.619}, {7, 0.017}, {8, 0.251}, {15, 0.001}}};
}
Material glandular() {
    return {"glandular", 1.0400, {{1, 0.102}, {6, 0.184}, {7, 0.032}, {8, 0.677}, {15, 0.005}}};
}
Material breastTissue(double glandularPercent) {
    if (!(glandularPercent >= 0 && glandularPercent <= 100))
        throw std::invalid_argument("a glandular share outside 0..100 %");
    const double w = glandularPercent / 100;
    const Material a = adipose(), g = glandular();
    Material m{"breast tissue", (1 - w) * a.density + w * g.density, {}};
    for (const Material* part : {&a, &g})
        for (const ElementShare& e : part->elements) {
            const double share = (part == &g ? w : 1 - w) * e.massFraction;
            auto it = std::find_if(m.elements.begin(), m.elements.end(),
                                   [&](const ElementShare& x) { return x.z == e.z; });
            if (it == m.elements.end())
                m.elements.push_back({e.z, share});
            else
                it->massFraction += share;
        }
    return m;
}
Material pmma() {
    return materialFromFormula("PMMA", "C5H8O2", 1.19);
}
Material polycarbonate() {
    return materialFromFormula("polycarbonate", "C16H14O3", 1.20);
}
// The NIST composition of dry air near sea level, whose fractions add up to
// 1; xraylib's copy of it gives nitrogen 0.755267 and adds up to 0.999999.
Material dryAir() {
    return {"dry air", 0.001205, {{6, 0.000124}, {7, 0.755268}, {8, 0.231781}, {18, 0.012827}}};
}
} // namespace materials

} // namespace kv::photon
