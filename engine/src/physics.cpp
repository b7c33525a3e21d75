#include "kv/engine/physics.h"

#include "kv/engine/fast_exp.h"
#include "kv/engine/hot_path.h"
#include "kv/photon/energy_absorption.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <xraylib.h>

namespace kv::engine {

namespace {

constexpr int kScatterGrid = 4096;
const double kXGridMax = kMaxEnergy / kHcKevAngstrom;

template <class F> double mix(const Material& m, F f) {
    double sum = 0, wsum = 0;
    for (const ElementShare& el : m.elements)
        wsum += el.massFraction;
    for (const ElementShare& el : m.elements)
        sum += el.massFraction / wsum * f(el.z);
    return sum;
}

double atomicWeight(int z) {
    return AtomicWeight(z, nullptr);
}

} // namespace

double MixtureData::photo(const Material& m, double e) {
    return mix(m, [e](int z) { return CS_Photo(z, e, nullptr); });
}
double MixtureData::rayleigh(const Material& m, double e) {
    return mix(m, [e](int z) { return CS_Rayl(z, e, nullptr); });
}
double MixtureData::compton(const Material& m, double e) {
    return mix(m, [e](int z) { return CS_Compt(z, e, nullptr); });
}
double MixtureData::energyAbsorption(const Material& m, double e) {
    return mix(m, [e](int z) { return photon::massEnergyAbsorption(z, e); });
}
double MixtureData::formFactorSquared(const Material& m, double x) {
    return mix(m, [x](int z) {
        double f = x <= 0 ? static_cast<double>(z) : FF_Rayl(z, x, nullptr);
        return f * f / atomicWeight(z);
    });
}
double MixtureData::scatteringFunction(const Material& m, double x) {
    return mix(m, [x](int z) { return x <= 0 ? 0.0 : SF_Compt(z, x, nullptr) / atomicWeight(z); });
}

namespace {

bool sameMaterial(const Material& a, const Material& b) {
    if (a.name != b.name || a.density != b.density || a.elements.size() != b.elements.size()) return false;
    for (size_t i = 0; i < a.elements.size(); ++i)
        if (a.elements[i].z != b.elements[i].z || a.elements[i].massFraction != b.elements[i].massFraction)
            return false;
    return true;
}

} // namespace

MaterialPhysics MaterialPhysics::shared(const Material& m) {
    // A sweep over glandular fractions meets many phantoms: the oldest go.
    constexpr size_t kKept = 32;
    static std::mutex mutex;
    static std::deque<std::shared_ptr<const MaterialPhysics>> kept;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& p : kept)
            if (sameMaterial(p->material(), m)) return *p;
    }
    // Built outside the lock: another thread's material need not wait. Two
    // threads building the same one keep the first.
    auto built = std::make_shared<const MaterialPhysics>(m);
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& p : kept)
        if (sameMaterial(p->material(), m)) return *p;
    if (kept.size() == kKept) kept.pop_front();
    kept.push_back(built);
    return *built;
}

namespace {

// xraylib's values of one element on the engine's grids: the energies of the
// cells' nodes and the scattering tables' x. The materials of a run share
// most of their elements (the tissues, PMMA and polycarbonate are all H, C
// and O), and each quantity used to be asked again per material and table.
// Each value is the one the call gives, so every mixture is bit for bit
// what it was.
struct ElementTables {
    std::vector<double> photo, rayleigh, compton, energyAbsorption; // at cellEnergy(i), i = 0..kCells
    std::vector<double> formFactorSquared, scatteringFunction;      // per A, at x = i * step
};

const ElementTables& elementTables(int z, double step) {
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<const ElementTables>> kept;
    std::lock_guard<std::mutex> lock(mutex);
    auto& slot = kept[z];
    if (slot) return *slot;
    auto t = std::make_unique<ElementTables>();
    for (uint32_t i = 0; i <= kCells; ++i) {
        const double e = cellEnergy(i);
        t->photo.push_back(CS_Photo(z, e, nullptr));
        t->rayleigh.push_back(CS_Rayl(z, e, nullptr));
        t->compton.push_back(CS_Compt(z, e, nullptr));
        t->energyAbsorption.push_back(photon::massEnergyAbsorption(z, e));
    }
    for (int i = 0; i <= kScatterGrid + 1; ++i) {
        const double x = i * step;
        const double f = x <= 0 ? static_cast<double>(z) : FF_Rayl(z, x, nullptr);
        t->formFactorSquared.push_back(f * f / atomicWeight(z));
        t->scatteringFunction.push_back(x <= 0 ? 0.0 : SF_Compt(z, x, nullptr) / atomicWeight(z));
    }
    slot = std::move(t);
    return *slot;
}

// A table of one material from its elements' values: as GridTable::build
// with f(cellEnergy(i)), f's mixture taken from the element tables.
template <class F> GridTable mixedTable(F atNode) {
    GridTable t;
    uint32_t node = 0;
    // build() asks the nodes in order, 0 to kCells
    t.build([&](double) { return atNode(node++); });
    return t;
}

} // namespace

MaterialPhysics::MaterialPhysics(const Material& m) : material_(m), density_(m.density) {
    if (m.elements.empty() || m.density <= 0) throw std::invalid_argument("material " + m.name + " is empty");
    sStep_ = kXGridMax / kScatterGrid;
    std::vector<const ElementTables*> tables;
    for (const ElementShare& el : m.elements)
        tables.push_back(&elementTables(el.z, sStep_));
    // mix() over the elements' tabulated values, in mix()'s order and arithmetic
    auto mixed = [&](std::vector<double> ElementTables::*what, size_t i) {
        double sum = 0, wsum = 0;
        for (const ElementShare& el : m.elements)
            wsum += el.massFraction;
        for (size_t k = 0; k < m.elements.size(); ++k)
            sum += m.elements[k].massFraction / wsum * (tables[k]->*what)[i];
        return sum;
    };
    GridTable mu = mixedTable([&](uint32_t i) {
        return m.density * (mixed(&ElementTables::photo, i) + mixed(&ElementTables::rayleigh, i) +
                            mixed(&ElementTables::compton, i));
    });
    GridTable photo = mixedTable([&](uint32_t i) { return m.density * mixed(&ElementTables::photo, i); });
    GridTable coh = mixedTable([&](uint32_t i) {
        return m.density * (mixed(&ElementTables::photo, i) + mixed(&ElementTables::rayleigh, i));
    });
    muEn_ = mixedTable([&](uint32_t i) { return mixed(&ElementTables::energyAbsorption, i); });
    cells_.resize(kCells);
    for (uint32_t i = 0; i < kCells; ++i) {
        GridPoint g{i, 0.0};
        double e0 = cellEnergy(i), e1 = cellEnergy(i + 1);
        GridPoint g1{i, e1 - e0};
        auto slope = [&](const GridTable& t) { return (t.at(g1) - t.at(g)) / (e1 - e0); };
        cells_[i] = {mu.at(g), slope(mu), photo.at(g), slope(photo), coh.at(g), slope(coh)};
    }

    double sMax = mix(m, [](int z) { return static_cast<double>(z) / atomicWeight(z); });
    sRatio_.resize(kScatterGrid + 2);
    for (size_t i = 0; i <= kScatterGrid + 1; ++i)
        sRatio_[i] = std::min(1.0, mixed(&ElementTables::scatteringFunction, i) / sMax);

    xNode_.resize(kScatterGrid + 1);
    uNode_.resize(kScatterGrid + 1);
    cumF2_.resize(kScatterGrid + 1);
    double prevF2 = mixed(&ElementTables::formFactorSquared, 0);
    for (size_t i = 0; i <= kScatterGrid; ++i) {
        xNode_[i] = static_cast<double>(i) * sStep_;
        uNode_[i] = xNode_[i] * xNode_[i];
        double f2 = mixed(&ElementTables::formFactorSquared, i);
        cumF2_[i] = i == 0 ? 0.0 : cumF2_[i - 1] + 0.5 * (prevF2 + f2) * (uNode_[i] - uNode_[i - 1]);
        prevF2 = f2;
    }
    deposit_.build([&](double e) {
        double incoherent = mu.at(e) - coh.at(e);
        return photo.at(e) + incoherent * meanIncoherentLoss(e);
    });

    cumGuide_.resize(kScatterGrid);
    cumGuideScale_ = cumF2_.back() > 0 ? kScatterGrid / cumF2_.back() : 0.0;
    size_t node = 0;
    for (size_t k = 0; k < cumGuide_.size(); ++k) {
        double start = static_cast<double>(k) / cumGuideScale_;
        while (node < cumF2_.size() && cumF2_[node] <= start)
            ++node;
        cumGuide_[k] = static_cast<uint32_t>(node);
    }
}

double MaterialPhysics::scatteringFunctionRatio(double x) const {
    double t = x / sStep_;
    size_t i = static_cast<size_t>(t);
    if (i >= sRatio_.size() - 1) return 1.0;
    double f = t - static_cast<double>(i);
    return sRatio_[i] + f * (sRatio_[i + 1] - sRatio_[i]);
}

double MaterialPhysics::meanIncoherentLoss(double e) const {
    // Simpson over the cosine of the density sampleComptonCosine draws from:
    // Klein-Nishina times S(x) / S(infinity).
    constexpr int n = 128;
    // What depends on the node alone, worked out once: the table of each
    // material asks for 1793 energies.
    struct Node {
        double oneLessC, sin2, halfX, simpson;
    };
    static const std::array<Node, n + 1> nodes = [] {
        std::array<Node, n + 1> a{};
        for (int i = 0; i <= n; ++i) {
            const double c = -1.0 + 2.0 * i / n;
            a[static_cast<size_t>(i)] = {1.0 - c, 1.0 - c * c, std::sqrt(0.5 * (1.0 - c)),
                                         i == 0 || i == n ? 1.0 : (i % 2 ? 4.0 : 2.0)};
        }
        return a;
    }();
    const double k = e / kElectronMass, xScale = e / kHcKevAngstrom;
    double weight = 0, loss = 0;
    for (const Node& node : nodes) {
        double eps = 1.0 / (1.0 + k * node.oneLessC);
        double f = eps * eps * (eps + 1.0 / eps - node.sin2) * scatteringFunctionRatio(xScale * node.halfX);
        weight += node.simpson * f;
        loss += node.simpson * f * (1.0 - eps);
    }
    return weight > 0 ? loss / weight : 0.0;
}

[[KV_HOT_PATH]] double MaterialPhysics::sampleComptonCosine(double e, Rng& rng) const {
    const double k = e / kElectronMass;
    const double eps0 = 1.0 / (1.0 + 2.0 * k);
    const double eps0sq = eps0 * eps0;
    const double alpha1 = -std::log(eps0);
    const double alpha2 = 0.5 * (1.0 - eps0sq);
    const double pick = alpha1 / (alpha1 + alpha2);
    const double xScale = e / kHcKevAngstrom;
    for (;;) {
        double eps, epssq;
        if (pick > rng.uniform()) {
            eps = fastExp(-alpha1 * rng.uniform());
            epssq = eps * eps;
        } else {
            epssq = eps0sq + (1.0 - eps0sq) * rng.uniform();
            eps = std::sqrt(epssq);
        }
        double onecost = (1.0 - eps) / (eps * k);
        double sint2 = onecost * (2.0 - onecost);
        double g = 1.0 - eps * sint2 / (1.0 + epssq);
        if (g < rng.uniform()) continue;
        double x = xScale * std::sqrt(0.5 * onecost);
        if (rng.uniform() > scatteringFunctionRatio(x)) continue;
        return 1.0 - onecost;
    }
}

double MaterialPhysics::sampleRayleighCosine(double e, Rng& rng) const {
    const double xMax = e / kHcKevAngstrom;
    const double uMax = xMax * xMax;
    size_t jMax = std::min(static_cast<size_t>(xMax / sStep_), cumF2_.size() - 2);
    double aMax = cumF2_[jMax] + (cumF2_[jMax + 1] - cumF2_[jMax]) * (uMax - uNode_[jMax]) /
                                     (uNode_[jMax + 1] - uNode_[jMax]);
    for (;;) {
        double target = rng.uniform() * aMax;
        // last node at or below the target
        // first node above the target, as an upper_bound over nodes 0..jMax+1 would find it
        size_t k = std::min(static_cast<size_t>(target * cumGuideScale_), cumGuide_.size() - 1);
        size_t above = cumGuide_[k];
        while (above > 0 && cumF2_[above - 1] > target)
            --above;
        while (above < cumF2_.size() && cumF2_[above] <= target)
            ++above;
        size_t j = std::min(above, jMax + 2) - 1;
        double span = cumF2_[j + 1] - cumF2_[j];
        double u = uNode_[j] + (span > 0 ? (target - cumF2_[j]) / span : 0.0) * (uNode_[j + 1] - uNode_[j]);
        double cost = 1.0 - 2.0 * std::min(u, uMax) / uMax;
        if (2.0 * rng.uniform() <= 1.0 + cost * cost) return cost;
    }
}

} // namespace kv::engine
