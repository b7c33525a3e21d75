#include "kv/engine/workbench_sim.h"

#include "kv/engine/transport.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>

namespace kv::engine {

namespace {
constexpr int kPhantomRegion = 0;
// Totals are integers of 1 meV: exact and independent of the order of batches.
constexpr double kQuantaPerEv = 1000.0;
// The two halves X < 0 and X > 0 share one voxel column: each voxel of the
// grid holds the energy of two phantom voxels.
constexpr double kFoldedVoxels = 2.0;
} // namespace

// Aligned so that two threads never write into one cache line.
class alignas(64) WorkbenchSimulation::Worker {
  public:
    explicit Worker(const WorkbenchSimulation& sim)
        : sim_(&sim), cells_(2 * static_cast<size_t>(kVoxelsX) * kVoxelsY * sim.layers_) {
        double massRef =
            kFoldedVoxels * sim.setup_.phantom.density * kVoxel * kVoxel * sim.layerThickness_[0];
        refScale_ = 1.0 / (2000.0 * massRef);
        for (int iz = 0; iz < sim.layers_; ++iz)
            columnScale_.push_back(1.0 / (2000.0 * sim.layers_ * kFoldedVoxels * sim.setup_.phantom.density *
                                          kVoxel * kVoxel * sim.layerThickness_[iz]));
    }

    void history(Rng& rng) {
        // The sums are first touched on the thread that fills them, so that
        // the threads take their page faults side by side, not one after another.
        if (batch_.empty()) {
            tally_.assign(cells_, 0);
            batch_.assign(cells_, 0.0f);
        }
        SourcePhoton sp = sim_->source_->sample(rng);
        // Nothing lies above the paddle: start where the ray meets its plane.
        double t = (sim_->paddleTop_ - sp.pos.z) / sp.dir.z;
        if (t > 0) sp.pos = sp.pos + (t + kPush) * sp.dir;
        transport(Photon{sp.pos, sp.dir, sp.energy, false}, *sim_->scene_, sim_->physics_, rng, *this);
    }
    void foldHistory(ScalarStats& st) {
        st.n += 1;
        st.s1[0] += ref_;
        st.s2[0] += ref_ * ref_;
        st.s1[1] += col_;
        st.s2[1] += col_ * col_;
        ref_ = col_ = 0.0;
    }

    void deposit(int region, const Vec3& p, double edep, double e, bool scattered) {
        if (region != kPhantomRegion) return;
        double w = edep * 1000.0 * sim_->glandWeight_.at(e); // eV of glandular-equivalent deposit
        int ix = std::min(static_cast<int>(std::fabs(p.x) * 10.0), kVoxelsX - 1);
        int iy = std::clamp(static_cast<int>(p.y * 10.0), 0, kVoxelsY - 1);
        int iz = std::clamp(static_cast<int>((p.z - sim_->phantomTop_) * 10.0), 0, sim_->layers_ - 1);
        size_t v = (static_cast<size_t>(iz) * kVoxelsY + static_cast<size_t>(iy)) * kVoxelsX +
                   static_cast<size_t>(ix);
        pending_[pendingCount_++] = {static_cast<uint32_t>(2 * v + (scattered ? 1 : 0)),
                                     static_cast<float>(w)};
        if (pendingCount_ == kPending) flushPending();
        if (ix < kRefXEnd && iy >= kRefYBegin && iy < kRefYEnd) {
            col_ += w * columnScale_[static_cast<size_t>(iz)];
            if (iz == 0) ref_ += w * refScale_;
        }
    }
    void leave(const Photon&) {}
    // A batch's sums, kept in single precision for a smaller working set,
    // go into the exact integer totals.
    void endBatch() {
        if (batch_.empty()) return;
        flushPending();
        // no test for empty voxels: an empty sum adds 0, and the branch was a coin toss
        for (size_t i = 0; i < batch_.size(); ++i)
            tally_[i] += static_cast<int64_t>(static_cast<double>(batch_[i]) * kQuantaPerEv + 0.5);
        std::fill(batch_.begin(), batch_.end(), 0.0f);
    }

    const std::vector<int64_t>& tally() const { return tally_; }

  private:
    // Deposits land all over the voxel grid, which is larger than the cache:
    // they are queued and added block by block, each voxel's in the order
    // they came, so the float sums stay exactly those of direct adds.
    struct Pending {
        uint32_t index;
        float value;
    };
    static constexpr size_t kPending = size_t{1} << 14;
    static constexpr unsigned kBlockShift = 15; // 128 KB of the batch sums per block

    void flushPending() {
        size_t blocks = (batch_.size() >> kBlockShift) + 1;
        blockStart_.assign(blocks + 1, 0);
        for (size_t i = 0; i < pendingCount_; ++i)
            ++blockStart_[(pending_[i].index >> kBlockShift) + 1];
        for (size_t b = 0; b < blocks; ++b)
            blockStart_[b + 1] += blockStart_[b];
        for (size_t i = 0; i < pendingCount_; ++i)
            sorted_[blockStart_[pending_[i].index >> kBlockShift]++] = pending_[i];
        float* sums = batch_.data();
        for (size_t i = 0; i < pendingCount_; ++i)
            sums[sorted_[i].index] += sorted_[i].value;
        pendingCount_ = 0;
    }

    const WorkbenchSimulation* sim_;
    size_t cells_;
    std::vector<int64_t> tally_; // [voxel][primary, scatter]
    std::vector<float> batch_;
    std::vector<Pending> pending_ = std::vector<Pending>(kPending), sorted_ = std::vector<Pending>(kPending);
    size_t pendingCount_ = 0;
    std::vector<size_t> blockStart_;
    double refScale_ = 0;
    std::vector<double> columnScale_;
    double ref_ = 0, col_ = 0;
};

WorkbenchSimulation::WorkbenchSimulation(WorkbenchSetup s) : setup_(std::move(s)) {
    const WorkbenchSetup& s_ = setup_;
    if (!(s_.thickness >= 0.1 && s_.thickness <= 6.0))
        throw std::invalid_argument("phantom thickness outside 0.1..6.0 cm");
    if (!(s_.phantomX > 0 && s_.phantomX <= 2 * kVoxelsX * kVoxel + 1e-9 && s_.phantomY > 0 &&
          s_.phantomY <= kVoxelsY * kVoxel + 1e-9))
        throw std::invalid_argument("phantom size outside the 15 x 15 cm voxel grid");
    double top = s_.fid - kSupportToDetector - kSupportThickness - s_.thickness;
    if (!(top - kPaddleThickness > 0.5)) throw std::invalid_argument("FID too short for the phantom");
    if (s_.tomosynthesis && !(s_.fad > 0 && s_.fad <= s_.fid))
        throw std::invalid_argument("FAD outside 0..FID");
    if (!(s_.fcd > 0)) throw std::invalid_argument("FCD must be positive");

    layers_ = static_cast<int>(std::ceil(s_.thickness * 10.0 - 1e-6));
    for (int iz = 0; iz < layers_; ++iz)
        layerThickness_.push_back(std::min(kVoxel, s_.thickness - kVoxel * iz));
    phantomTop_ = top;
    paddleTop_ = top - kPaddleThickness;

    Material gland = materials::glandular();
    physics_.emplace_back(s_.phantom);
    physics_.emplace_back(materials::polycarbonate());
    physics_.emplace_back(materials::pmma());
    const MaterialPhysics& ph = physics_[0];
    MaterialPhysics glandPhys(gland);
    glandWeight_.build([&](double e) { return glandPhys.muEnOverRho(e) / ph.muEnOverRho(e); });

    double bottom = top + s_.thickness;
    std::vector<Region> regions;
    regions.push_back({{{{-s_.phantomX / 2, 0.0, top}, {s_.phantomX / 2, s_.phantomY, bottom}}}, 0, false});
    regions.push_back(
        {{{{-kPlateHalfWidth, 0.0, top - kPaddleThickness}, {kPlateHalfWidth, kPlateDepth, top}}}, 1, false});
    regions.push_back(
        {{{{-kPlateHalfWidth, 0.0, bottom}, {kPlateHalfWidth, kPlateDepth, bottom + kSupportThickness}}},
         2,
         false});
    // The world ends at the detector plane: what reaches it is not followed.
    scene_ =
        std::make_unique<Scene>(std::move(regions), Box{{-1e4, -1e4, -1e3}, {1e4, 1e4, s_.fid}}, kVacuum);

    FieldGeometry fg;
    fg.detectorZ = s_.fid;
    fg.x0 = -s_.fieldX / 2;
    fg.x1 = s_.fieldX / 2;
    fg.y0 = 0.0;
    fg.y1 = s_.fieldY;
    fg.pivotDepth = s_.fad;
    if (s_.tomosynthesis) {
        fg.angleMinDeg = -std::fabs(s_.angularRange);
        fg.angleMaxDeg = std::fabs(s_.angularRange);
    }
    source_ = std::make_unique<FieldSource>(fg, s_.spectrum);

    Material air = materials::dryAir();
    std::vector<double> fluence = source_->fluenceAt({0.0, kChamberY, s_.fcd});
    for (size_t i = 0; i < fluence.size(); ++i) {
        double e = s_.spectrum.energies[i];
        airKerma_ += fluence[i] * e * 1000.0 * MixtureData::energyAbsorption(air, e);
    }
}

WorkbenchSimulation::~WorkbenchSimulation() = default;

RunPart WorkbenchSimulation::runPart(uint64_t histories, uint64_t seed, unsigned threads, RunControl& ctl,
                                     uint64_t batchSize) const {
    auto start = std::chrono::steady_clock::now();
    threads = std::max(1u, threads);
    std::vector<Worker> workers;
    workers.reserve(threads);
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back(*this);
    RunPart p;
    p.asked = histories;
    p.seed = seed;
    p.threads = threads;
    p.targetRelSigma = ctl.target();
    p.batches = runBatches(histories, seed, workers, 2, ctl, batchSize);
    p.targetReached = ctl.targetReached();
    p.tally.assign(2 * static_cast<size_t>(kVoxelsX) * kVoxelsY * layers_, 0);
    // Workers that ran no history hold no tally.
    for (const Worker& w : workers)
        if (!w.tally().empty())
            for (size_t i = 0; i < p.tally.size(); ++i)
                p.tally[i] += w.tally()[i];
    p.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return p;
}

WorkbenchResult WorkbenchSimulation::run(uint64_t histories, uint64_t seed, unsigned threads, RunControl& ctl,
                                         uint64_t batchSize) const {
    return finish(runPart(histories, seed, threads, ctl, batchSize));
}

WorkbenchResult WorkbenchSimulation::finish(const RunPart& p) const {
    ScalarStats all = mergeInOrder(p.batches, 2);
    WorkbenchResult r;
    r.histories = all.n;
    r.seed = p.seed;
    r.threads = p.threads;
    r.seconds = p.seconds;
    r.targetRelSigma = p.targetRelSigma;
    r.targetReached = p.targetReached;
    r.stopped = all.n < p.asked && !p.targetReached;
    r.layers = layers_;
    r.airKerma = airKerma_;
    r.referenceDose = all.mean(0);
    r.referenceRelSigma = all.relativeSigma(0);
    r.columnDose = all.mean(1);
    r.columnRelSigma = all.relativeSigma(1);
    size_t voxels = static_cast<size_t>(kVoxelsX) * kVoxelsY * layers_;
    r.primary.assign(voxels, 0.0);
    r.scatter.assign(voxels, 0.0);
    if (r.histories > 0 && p.tally.size() == 2 * voxels) {
        for (size_t v = 0; v < voxels; ++v) {
            size_t iz = v / (static_cast<size_t>(kVoxelsX) * kVoxelsY);
            double mass = kFoldedVoxels * setup_.phantom.density * kVoxel * kVoxel * layerThickness_[iz];
            double scale = 1.0 / (kQuantaPerEv * mass * static_cast<double>(r.histories));
            r.primary[v] = static_cast<double>(p.tally[2 * v]) * scale;
            r.scatter[v] = static_cast<double>(p.tally[2 * v + 1]) * scale;
        }
    }
    return r;
}

} // namespace kv::engine
