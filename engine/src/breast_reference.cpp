#include "kv/engine/breast_reference.h"

#include "kv/common/constants.h"
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
        for (int z : {15, 16, 19, 20})
            m.elements.push_back({z, ash / 4});
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

RaySpectra monoenergeticSpectrum(double keV) {
    return {90.0, {keV}, {{1.0}}};
}

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
        if (c1 == std::string::npos || c2 == std::string::npos ||
            !parseNumberStrict(line.substr(0, c1), tabulated) ||
            !parseNumberStrict(line.substr(c1 + 1, c2 - c1 - 1), centre) ||
            !parseNumberStrict(line.substr(c2 + 1), w))
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
        physics.emplace_back(
            Material{"air", 0.001205, {{6, 0.000124}, {7, 0.755268}, {8, 0.231781}, {18, 0.012827}}});
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

// Per-history channels: the analogue and the track-length energy in the
// breast tissue, their difference, the energy bookkeeping, then each box
// analogue and each box track-length.
enum Channel : size_t {
    kBreast,
    kEmitted,
    kDeposited,
    kEscaped,
    kTrackBreast,
    kTrackMinusAnalogue,
    kFirstBox
};
size_t referenceChannels(size_t boxes) {
    return kFirstBox + 2 * boxes;
}

class alignas(64) ReferenceWorker {
  public:
    ReferenceWorker(const Scene& scene, const std::vector<MaterialPhysics>& phys, const FieldSource& src,
                    const std::vector<ReferenceBox>& boxes)
        : scene_(&scene), phys_(&phys), src_(&src), boxes_(&boxes),
          channels_(referenceChannels(boxes.size())) {
        if (boxes.size() > kMaxReferenceBoxes) throw std::invalid_argument("too many boxes");
        for (const ReferenceBox& q : boxes)
            engineBoxes_.push_back(box(q.x0, q.x1, q.y0, q.y1, q.z0, q.z1));
    }

    void history(Rng& rng) {
        SourcePhoton sp = src_->sample(rng);
        h_[kEmitted] += sp.energy * kEvPerKev;
        transport(Photon{sp.pos, sp.dir, sp.energy, false}, *scene_, *phys_, rng, *this);
    }
    void foldHistory(ScalarStats& st) {
        st.n += 1;
        h_[kTrackMinusAnalogue] = h_[kTrackBreast] - h_[kBreast];
        for (size_t k = 0; k < channels_; ++k) {
            st.s1[k] += h_[k];
            st.s2[k] += h_[k] * h_[k];
            h_[k] = 0;
        }
    }
    void deposit(int region, const Vec3& p, double edep, double, bool) {
        double ev = edep * kEvPerKev;
        h_[kDeposited] += ev;
        if (region != kTissue) return;
        h_[kBreast] += ev;
        double x = p.y, y = p.x, z = kSourceHeight - p.z;
        for (size_t b = 0; b < boxes_->size(); ++b) {
            const ReferenceBox& q = (*boxes_)[b];
            if (x >= q.x0 && x < q.x1 && y >= q.y0 && y < q.y1 && z >= q.z0 && z < q.z1)
                h_[kFirstBox + b] += ev;
        }
    }
    // The track-length estimate of the same energies, scored beside them.
    void flight(int region, const Photon& ph, double length) {
        if (region != kTissue) return;
        double w = ph.energy * kEvPerKev * (*phys_)[kTissue].depositPerCm(ph.energy);
        h_[kTrackBreast] += w * length;
        const size_t n = boxes_->size();
        for (size_t b = 0; b < n; ++b) {
            const Box& q = engineBoxes_[b];
            double t0 = 0.0, t1 = length;
            const double p[3] = {ph.pos.x, ph.pos.y, ph.pos.z}, d[3] = {ph.dir.x, ph.dir.y, ph.dir.z},
                         lo[3] = {q.lo.x, q.lo.y, q.lo.z}, hi[3] = {q.hi.x, q.hi.y, q.hi.z};
            for (int a = 0; a < 3 && t1 > t0; ++a) {
                if (d[a] == 0.0) {
                    if (!(p[a] >= lo[a] && p[a] < hi[a])) t1 = -1.0;
                    continue;
                }
                double ta = (lo[a] - p[a]) / d[a], tb = (hi[a] - p[a]) / d[a];
                t0 = std::max(t0, std::min(ta, tb));
                t1 = std::min(t1, std::max(ta, tb));
            }
            if (t1 > t0) h_[kFirstBox + n + b] += w * (t1 - t0);
        }
    }
    void leave(const Photon& ph) { h_[kEscaped] += ph.energy * kEvPerKev; }
    void endBatch() {}

  private:
    const Scene* scene_;
    const std::vector<MaterialPhysics>* phys_;
    const FieldSource* src_;
    const std::vector<ReferenceBox>* boxes_;
    size_t channels_;
    std::vector<Box> engineBoxes_;
    // kept inside the worker so that threads never share a cache line
    std::array<double, kFirstBox + 2 * kMaxReferenceBoxes> h_{};
};

} // namespace

BreastReference::BreastReference() : impl_(std::make_unique<Impl>()) {}
BreastReference::~BreastReference() = default;

ReferenceResult BreastReference::run(const RaySpectra& spectrum, double angleDeg,
                                     const std::vector<ReferenceBox>& boxes, uint64_t histories,
                                     uint64_t seed, unsigned threads) const {
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
    size_t channels = referenceChannels(boxes.size());
    RunControl ctl;
    ScalarStats all = mergeInOrder(runBatches(histories, seed, workers, channels, ctl), channels);
    if (std::string why = ctl.failure(); !why.empty())
        throw std::runtime_error("the reference run broke off: " + why);
    ReferenceResult r;
    r.histories = all.n;
    r.breastEv = all.mean(kBreast);
    r.breastSigma = all.sigma(kBreast);
    r.trackBreastEv = all.mean(kTrackBreast);
    r.trackBreastSigma = all.sigma(kTrackBreast);
    r.trackMinusAnalogueSigma = all.sigma(kTrackMinusAnalogue);
    r.emittedEv = all.mean(kEmitted);
    r.depositedEv = all.mean(kDeposited);
    r.escapedEv = all.mean(kEscaped);
    for (size_t b = 0; b < boxes.size(); ++b) {
        r.boxEv.push_back(all.mean(kFirstBox + b));
        r.boxSigma.push_back(all.sigma(kFirstBox + b));
        r.trackBoxEv.push_back(all.mean(kFirstBox + boxes.size() + b));
        r.trackBoxSigma.push_back(all.sigma(kFirstBox + boxes.size() + b));
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return r;
}

} // namespace kv::engine
