#include "kv/engine/breast_reference.h"

#include "kv/common/format.h"
#include "kv/engine/transport.h"

#include <array>
#include <chrono>
#include <fstream>
#include <stdexcept>

namespace kv::engine {

namespace {

constexpr double kSourceHeight = 66.0;
constexpr int kTissue = 0;

// Ash shared equally by P, S, K and Ca.
Material withAsh(std::string name, double density, double h, double c, double n, double o, double ash) {
    Material m{std::move(name), density, {{1, h}, {6, c}, {7, n}, {8, o}}};
    if (ash > 0)
        for (int z : {15, 16, 19, 20}) m.elements.push_back({z, ash / 4});
    return m;
}

struct Frame {
    // engine (X, Y, Z down) from the reference frame (x, y, z up)
    static Vec3 toEngine(double x, double y, double z) { return {y, x, kSourceHeight - z}; }
};

Box box(double x0, double x1, double y0, double y1, double z0, double z1) {
    Vec3 a = Frame::toEngine(x0, y0, z1), b = Frame::toEngine(x1, y1, z0);
    return {a, b};
}

} // namespace

const std::vector<ReferenceValue>& referenceValues() {
    static const std::vector<ReferenceValue> v = {
        {"16.8 keV", 0.0, 4697.3, 4691.0, 4700.5},
        {"16.8 keV", 15.0, 4577.7, 4565.2, 4588.2},
        {"Mo/Mo 30 kVp", 0.0, 4293.4, 4287.4, 4296.8},
        {"Mo/Mo 30 kVp", 15.0, 4188.8, 4176.5, 4198.2},
    };
    return v;
}

RaySpectra monoenergeticSpectrum(double keV) { return {90.0, {keV}, {{1.0}}}; }

RaySpectra readReferenceSpectrum(const std::filesystem::path& csv, BinPlacement placement) {
    std::ifstream in(csv);
    if (!in) throw std::runtime_error(csv.string() + ": cannot be opened");
    RaySpectra s{90.0, {}, {{}}};
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#' || line.rfind("bin_", 0) == 0) continue;
        size_t c1 = line.find(','), c2 = line.find(',', c1 + 1);
        double tabulated = 0, centre = 0, w = 0;
        if (c1 == std::string::npos || c2 == std::string::npos || !parseNumberStrict(line.substr(0, c1), tabulated) ||
            !parseNumberStrict(line.substr(c1 + 1, c2 - c1 - 1), centre) || !parseNumberStrict(line.substr(c2 + 1), w))
            throw std::runtime_error(csv.string() + ": cannot read \"" + line + "\"");
        s.energies.push_back(placement == BinPlacement::Tabulated ? tabulated : centre);
        s.weights[0].push_back(w);
    }
    if (s.energies.empty()) throw std::runtime_error(csv.string() + ": holds no spectrum");
    return s;
}

struct BreastReference::Impl {
    std::vector<MaterialPhysics> physics;
    std::unique_ptr<Scene> scene;

    Impl() {
        physics.emplace_back(withAsh("breast 20 %", 0.952, 0.110, 0.532, 0.020, 0.336, 0.0018));
        physics.emplace_back(withAsh("skin", 1.09, 0.098, 0.178, 0.050, 0.667, 0.007));
        physics.emplace_back(Material{"PMMA", 1.19, {{1, 0.0805}, {6, 0.5998}, {8, 0.3196}}});
        physics.emplace_back(Material{"water", 1.00, {{1, 0.1119}, {8, 0.8881}}});
        physics.emplace_back(Material{"air", 0.001205, {{6, 0.000124}, {7, 0.755268}, {8, 0.231781}, {18, 0.012827}}});
        std::vector<Region> r;
        Shape tissue{box(0, 9.8, -9.8, 9.8, 1.7, 6.3), true, 0, 0, 9.8};
        Shape skin{box(0, 10, -10, 10, 1.5, 6.5), true, 0, 0, 10.0};
        r.push_back({tissue, 0, false});
        r.push_back({skin, 1, false});
        r.push_back({{box(0, 14, -13, 13, 6.5, 6.7)}, 2, false});
        r.push_back({{box(0, 14, -13, 13, 1.3, 1.5)}, 2, false});
        r.push_back({{box(-17, 0, -15, 15, -11, 19)}, 3, false});
        // The room of air around it all.
        scene = std::make_unique<Scene>(std::move(r), box(-50, 50, -50, 50, -34, 71), 4);
    }
};

namespace {

class alignas(64) ReferenceWorker {
public:
    ReferenceWorker(const Scene& scene, const std::vector<MaterialPhysics>& phys, const FieldSource& src,
                    const std::vector<ReferenceBox>& boxes)
        : scene_(&scene), phys_(&phys), src_(&src), boxes_(&boxes), channels_(4 + boxes.size()) {
        if (boxes.size() > kMaxReferenceBoxes) throw std::invalid_argument("too many boxes");
    }

    void history(Rng& rng) {
        SourcePhoton sp = src_->sample(rng);
        h_[1] += sp.energy * 1000.0;
        transport(Photon{sp.pos, sp.dir, sp.energy, false}, *scene_, *phys_, rng, *this);
    }
    void foldHistory(ScalarStats& st) {
        st.n += 1;
        for (size_t k = 0; k < channels_; ++k) {
            st.s1[k] += h_[k];
            st.s2[k] += h_[k] * h_[k];
            h_[k] = 0;
        }
    }
    void deposit(int region, const Vec3& p, double edep, double, bool) {
        double ev = edep * 1000.0;
        h_[2] += ev;
        if (region != kTissue) return;
        h_[0] += ev;
        double x = p.y, y = p.x, z = kSourceHeight - p.z;
        for (size_t b = 0; b < boxes_->size(); ++b) {
            const ReferenceBox& q = (*boxes_)[b];
            if (x >= q.x0 && x < q.x1 && y >= q.y0 && y < q.y1 && z >= q.z0 && z < q.z1) h_[4 + b] += ev;
        }
    }
    void leave(const Photon& ph) { h_[3] += ph.energy * 1000.0; }
    void endBatch() {}

private:
    const Scene* scene_;
    const std::vector<MaterialPhysics>* phys_;
    const FieldSource* src_;
    const std::vector<ReferenceBox>* boxes_;
    size_t channels_;
    // breast, emitted, deposited, escaped, boxes...; kept inside the worker so
    // that threads never share a cache line
    std::array<double, 4 + kMaxReferenceBoxes> h_{};
};

} // namespace

BreastReference::BreastReference() : impl_(std::make_unique<Impl>()) {}
BreastReference::~BreastReference() = default;

ReferenceResult BreastReference::run(const RaySpectra& spectrum, double angleDeg,
                                     const std::vector<ReferenceBox>& boxes, uint64_t histories, uint64_t seed,
                                     unsigned threads) const {
    auto start = std::chrono::steady_clock::now();
    FieldGeometry g;
    g.detectorZ = kSourceHeight;
    g.x0 = -13;
    g.x1 = 13;
    g.y0 = 0;
    g.y1 = 14;
    g.pivotDepth = kSourceHeight;
    g.angleMinDeg = g.angleMaxDeg = angleDeg;
    FieldSource src(g, spectrum);
    std::vector<ReferenceWorker> workers;
    for (unsigned t = 0; t < std::max(1u, threads); ++t)
        workers.emplace_back(*impl_->scene, impl_->physics, src, boxes);
    size_t channels = 4 + boxes.size();
    RunControl ctl;
    ScalarStats all = mergeInOrder(runBatches(histories, seed, workers, channels, ctl), channels);
    ReferenceResult r;
    r.histories = all.n;
    r.breastEv = all.mean(0);
    r.breastSigma = all.sigma(0);
    r.emittedEv = all.mean(1);
    r.depositedEv = all.mean(2);
    r.escapedEv = all.mean(3);
    for (size_t b = 0; b < boxes.size(); ++b) {
        r.boxEv.push_back(all.mean(4 + b));
        r.boxSigma.push_back(all.sigma(4 + b));
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return r;
}

} // namespace kv::engine
