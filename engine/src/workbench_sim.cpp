#include "kv/engine/workbench_sim.h"

#include "kv/common/huge_pages.h"
#include "kv/engine/fast_exp.h"
#include "kv/engine/hot_path.h"
#include "kv/engine/quasi_random.h"
#include "kv/engine/transport.h"
#include "kv/engine/voxel_walk.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <emmintrin.h>
#include <limits>
#include <mutex>
#include <numbers>
#include <stdexcept>

namespace kv::engine {

namespace {
// Totals are integers of 1 meV: exact and independent of the order of batches.
constexpr double kQuantaPerEv = 1000.0;
// The two halves X < 0 and X > 0 share one voxel column: each voxel of the
// grid holds the energy of two phantom voxels.
constexpr double kFoldedVoxels = 2.0;
constexpr double kRefHalfWidth = kRefXEnd * kVoxel;

// Adds scale x (s_k - s_(k+1)) to sums[k] for k < n, s_k = s f^k, two
// voxels at a time (SSE2, which every x86-64 has); returns s f^n.
[[gnu::always_inline]] inline double addAttenuatedRun(float* sums, int n, double s, double f, double scale) {
    const __m128d c = _mm_set1_pd(scale * (1.0 - f)), ff = _mm_set1_pd(f * f);
    __m128d v = _mm_set_pd(s * f, s);
    int k = 0;
    for (; k + 2 <= n; k += 2) {
        __m64* at = reinterpret_cast<__m64*>(sums + k);
        const __m128 add = _mm_cvtpd_ps(_mm_mul_pd(c, v));
        _mm_storel_pi(at, _mm_add_ps(_mm_loadl_pi(_mm_setzero_ps(), at), add));
        v = _mm_mul_pd(v, ff);
    }
    if (k < n) {
        sums[k] += static_cast<float>(_mm_cvtsd_f64(_mm_mul_sd(c, v)));
        return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v));
    }
    return _mm_cvtsd_f64(v);
}

bool inReferenceColumn(double x, double y) {
    return std::fabs(x) < kRefHalfWidth && y >= kRefYBegin * kVoxel && y < kRefYEnd * kVoxel;
}
// The reference region's voxels in the order of MapSums; voxel(ix, iy, iz,
// total, squares) gives one voxel's sums (0-based indices).
template <class Voxel> MapSums referenceSums(int layers, Voxel voxel) {
    MapSums m;
    m.total.reserve(kReferenceColumnVoxels * static_cast<size_t>(layers));
    m.squares.reserve(m.total.capacity());
    for (size_t iz = 0; iz < static_cast<size_t>(layers); ++iz)
        for (size_t iy = kRefYBegin; iy < kRefYEnd; ++iy)
            for (size_t ix = 0; ix < kRefXEnd; ++ix) {
                int64_t t = 0;
                uint64_t q = 0;
                voxel(ix, iy, iz, t, q);
                m.total.push_back(t);
                m.squares.push_back(q);
            }
    return m;
}
// The exact sums of the whole batches of a process's workers, in the
// workers' order [primary, scatter][iy][ix][iz] (a column's layers side by
// side): each worker adds its batch under the lock, so the threads share
// one copy of the megabytes (integers: the order of the batches does not
// matter). Per voxel also the sum over batches of scaledSquare(batch total).
struct BatchTotals {
    std::mutex mutex;
    // With the maps each voxel's sums are added a stripe of the grid at a
    // time, each under its own lock: two workers ending their batches
    // together then follow each other through the stripes instead of one
    // waiting for the other's whole sweep.
    static constexpr size_t kStripes = 16;
    std::array<std::mutex, kStripes> stripes;
    std::vector<int64_t> tally;
    std::vector<uint64_t> squares;
    uint64_t batches = 0, histories = 0;
};

// A batch's float sum in the totals' integer quanta.
[[gnu::always_inline]] inline int64_t toQuanta(float sum) {
    return static_cast<int64_t>(static_cast<double>(sum) * kQuantaPerEv + 0.5);
}
// A stretch of a batch's sums into the exact totals, with Squares each
// voxel's square of its batch total too, and the sums cleared for the next
// batch while at hand (a pass of its own over the 4.5 MB is dearer). No
// test for empty voxels: an empty sum adds 0, and the branch was a coin toss.
template <bool Squares>
[[gnu::always_inline]] inline void addBatch(float* primary, float* scatter, int64_t* tallyP, int64_t* tallyS,
                                            uint64_t* squares, size_t n, double perHistory) {
    for (size_t v = 0; v < n; ++v) {
        const int64_t p = toQuanta(primary[v]), s = toQuanta(scatter[v]);
        primary[v] = scatter[v] = 0.0f;
        tallyP[v] += p;
        tallyS[v] += s;
        if constexpr (Squares) squares[v] += scaledSquare(p + s, perHistory);
    }
}
// The squared stretch of a batch with the maps, also built for processors
// with AVX-512, whose packed conversions between doubles and 64-bit
// integers let the compiler do eight voxels at once; the roundings are the
// same either way.
[[gnu::target_clones("arch=x86-64-v4", "default")]] void addSquaredBatch(float* primary, float* scatter,
                                                                         int64_t* tallyP, int64_t* tallyS,
                                                                         uint64_t* squares, size_t n,
                                                                         double perHistory) {
    addBatch<true>(primary, scatter, tallyP, tallyS, squares, n, perHistory);
}

} // namespace

// Aligned so that two threads never write into one cache line.
class alignas(64) WorkbenchSimulation::Worker {
  public:
    Worker(const WorkbenchSimulation& sim, BatchTotals& totals)
        : sim_(&sim), totals_(&totals), track_(sim.setup_.estimator != DoseEstimator::Analogue),
          expected_(sim.setup_.estimator == DoseEstimator::ExpectedTrack), maps_(sim.setup_.maps),
          quasi_(sim.quasiRandom()), projections_(!sim.projectionAngles_.empty()), layers_(sim.layers_),
          perKind_(static_cast<size_t>(kVoxelsX) * kVoxelsY * static_cast<size_t>(sim.layers_)) {
        double massRef =
            kFoldedVoxels * sim.setup_.phantom.density * kVoxel * kVoxel * sim.layerThickness_[0];
        refScale_ = 1.0 / (kReferenceColumnVoxels * massRef);
        breastScale_ = 1.0 / (sim.setup_.phantom.density * sim.breastVolume_);
        for (int iz = 0; iz < sim.layers_; ++iz)
            columnScale_.push_back(1.0 / (static_cast<double>(kReferenceColumnVoxels) * sim.layers_ *
                                          kFoldedVoxels * sim.setup_.phantom.density * kVoxel * kVoxel *
                                          sim.layerThickness_[iz]));
        // Both halves in one walk; a column index is folded only when scored.
        grid_ = {{-kVoxelsX * kVoxel, 0.0, sim.phantomTop_},
                 {kVoxel, kVoxel, kVoxel},
                 2 * kVoxelsX,
                 kVoxelsY,
                 layers_};
        for (int i = 0; i < 2 * kVoxelsX; ++i)
            fold_[i] = i < kVoxelsX ? kVoxelsX - 1 - i : i - kVoxelsX;
        lastScale_ = columnScale_.back() - columnScale_.front();
        sparse_ = !maps_ && expected_ &&
                  std::none_of(sim.regionReentrant_.begin(), sim.regionReentrant_.end(),
                               [](uint8_t r) { return r; });
        // the 64-byte lines a column's floats can touch
        columnLines_ = (layers_ * static_cast<int>(sizeof(float)) + 62) / 64 + 1;
    }

    uint64_t unitSize() const {
        if (!quasi_) return 1;
        return sim_->setup_.unitHistories > 0 ? sim_->setup_.unitHistories : kQuasiRandomUnit;
    }
    // A unit of quasi-random points is a fresh randomisation. With the maps,
    // the primary photons' chords are walked outside the reference column for
    // the first half of the unit's points only (themselves an evenly spread
    // set), each counting twice: the walk is most of a history's cost, and
    // the scattered photons, not the primaries, make most of the maps' noise.
    // The reference column, whose sums give the sAGD, and the summaries take
    // every point's chord.
    void beginUnit(Rng& rng, uint64_t count) {
        if (!quasi_) return;
        sobol_.restart(rng);
        unitIndex_ = 0;
        walked_ = maps_ ? (count + 1) / 2 : count;
        walkWeight_ = static_cast<double>(count) / static_cast<double>(walked_);
    }

    // Inline into the batch loop, which calls it once a history (the call
    // cost some 8 instructions each).
    [[gnu::always_inline]] void history(Rng& rng) {
        // The sums are first touched on the thread that fills them, so that
        // the threads take their page faults side by side, not one after another.
        if (batch_.empty()) {
            const size_t blocks = ((2 * perKind_) >> kBlockShift) + 1;
            reserveHugePages(batch_, 2 * perKind_);
            reserveHugePages(buckets_, blocks * kBucket);
            batch_.assign(2 * perKind_, 0.0f);
            buckets_.assign(blocks * kBucket, Pending{});
            fill_.assign(blocks, 0);
            if (sparse_) touched_.reserve(2 * perKind_);
        }
        simulate(rng);
    }
    // The history's source photon and transport, with everything they call
    // here inlined into its two builds.
    [[KV_HOT_PATH, gnu::flatten]] void simulate(Rng& rng) {
        ++batchHistories_;
        primaryScored_ = 0;
        SourcePhoton sp;
        if (quasi_) {
            std::array<double, 3> u = sobol_.next();
            weight_ = sim_->lateral_.active() ? sim_->lateral_.warp(u[1]) : 1.0;
            sp = sim_->source_->sampleInverted(u);
            primaryWeight_ = unitIndex_++ < walked_ ? walkWeight_ : 0.0;
        } else {
            sp = sim_->source_->sample(rng);
            projection_ = sp.projection;
        }
        // Nothing lies above the paddle: start where the ray meets its plane.
        double t = (sim_->paddleTop_ - sp.pos.z) / sp.dir.z;
        if (t > 0) sp.pos = sp.pos + (t + kPush) * sp.dir;
        transport(Photon{sp.pos, sp.dir, sp.energy, false}, *sim_->scene_, sim_->physics_, rng, *this);
    }
    // One history as its own unit (plain sampling): closeUnit's additions
    // with inv = 1, channel by channel, for the channels it can have scored.
    void foldClosedHistory(ScalarStats& st) {
        auto add = [&st](size_t k, double v) {
            const double q = v * v;
            st.s1[k] += v;
            st.s2[k] += q;
            st.u2[k] += q;
        };
        if (projections_) add(kWorkbenchChannels + projection_, breast_);
        st.n += 1;
        st.units += 1;
        add(0, ref_);
        add(1, col_);
        add(2, breast_);
        ref_ = col_ = breast_ = 0.0;
    }
    void foldHistory(ScalarStats& st) {
        if (projections_) {
            // Only the history's own projection: the others scored nothing.
            const size_t k = kWorkbenchChannels + projection_;
            st.s1[k] += breast_;
            st.s2[k] += breast_ * breast_;
        }
        st.n += 1;
        st.s1[0] += ref_;
        st.s2[0] += ref_ * ref_;
        st.s1[1] += col_;
        st.s2[1] += col_ * col_;
        st.s1[2] += breast_;
        st.s2[2] += breast_ * breast_;
        ref_ = col_ = breast_ = 0.0;
    }

    // Track-length kerma: every voxel a flight crosses gets the energy the
    // analogue deposits would leave there on average.
    // `exit`: where the region ends on the way, when the transport knows it (else negative).
    void flight(int region, const Photon& ph, double length, double exit, const StepAttenuation& at) {
        // The tests inline: most flights score nothing (the plates', and
        // without the maps the scattered photons'), and the body's call has
        // a long prologue.
        const int tissue = sim_->regionTissue_[static_cast<size_t>(region)];
        if (tissue < 0 || !track_ || (ph.scattered && !maps_)) return;
        scoreFlight(tissue, region, ph, length, exit, at);
    }
    // Out of line: most flights score nothing.
    [[gnu::noinline, KV_HOT_PATH, gnu::flatten]] void scoreFlight(int tissue, int region, const Photon& ph,
                                                                  double length, double exit,
                                                                  const StepAttenuation& at) {
        // eV per cm, in the history's weight
        const double w = weight_ * sim_->tissues_[static_cast<size_t>(tissue)].trackWeight.at(at.grid);
        const int* fold = fold_;
        const uint32_t layers = static_cast<uint32_t>(layers_);
        auto column = [=](int ix, int iy) {
            return (static_cast<uint32_t>(iy) * kVoxelsX + static_cast<uint32_t>(fold[ix])) * layers;
        };
        if (!ph.scattered && expected_ && !sim_->regionReentrant_[static_cast<size_t>(region)]) {
            // Once per region: a second flight of a photon straight from the
            // focus can only be a rounding's step back into it.
            const uint32_t bit = 1u << region;
            if (!(primaryScored_ & bit)) expectedPrimary(region, ph, w, exit, at.mu, column);
            primaryScored_ |= bit;
            return;
        }
        if (!ph.scattered) {
            // The primary flights run nearly down a column, whose layers lie
            // side by side: added in place, they touch few cache lines.
            float* sums = batch_.data();
            walkColumns(grid_, ph.pos, ph.dir, length, column, [=](uint32_t c, int iz, double l) {
                sums[c + static_cast<uint32_t>(iz)] += static_cast<float>(w * l);
            });
        } else {
            // queue() by hand, with the pointers in registers for the whole walk
            const uint32_t kind = static_cast<uint32_t>(perKind_);
            Pending* buckets = buckets_.data();
            uint32_t* fill = fill_.data();
            walkColumns(grid_, ph.pos, ph.dir, length, column, [=, this](uint32_t c, int iz, double l) {
                uint32_t index = kind + c + static_cast<uint32_t>(iz);
                size_t b = index >> kBlockShift;
                uint32_t f = fill[b];
                buckets[b * kBucket + f] = {index, static_cast<float>(w * l)};
                fill[b] = ++f;
                if (f == kBucket) flushBlock(b);
            });
        }
        double t0 = 0.0, t1 = length;
        clipReference(ph.pos, ph.dir, t0, t1);
        scoreReference(ph.pos, ph.dir, t0, t1, w, [](double a, double b) { return b - a; });
        if (sim_->regionGlandular_[static_cast<size_t>(region)]) breast_ += w * length * breastScale_;
    }

    void deposit(int region, const Vec3& p, double edep, double e, bool scattered) {
        deposit(region, p, edep, e, scattered, StepAttenuation{gridPoint(e), 0.0});
    }
    // `at.grid` is e's (the attenuation is not needed). Inline into the
    // transport's two calls, once or twice a history each.
    [[gnu::always_inline]] void deposit(int region, const Vec3& p, double edep, double e, bool scattered,
                                        const StepAttenuation& at) {
        const int tissue = sim_->regionTissue_[static_cast<size_t>(region)];
        if (tissue < 0) return;
        // With track-length scoring only a photon dropped below the cut-off
        // leaves energy that no flight carries on. Without the maps the
        // scattered photons are scored here, and so are the primaries' voxels
        // outside the reference column (their whole-breast share stays the
        // chord's).
        const bool tracked = track_ && e >= kMinEnergy;
        const bool breastByFlight = tracked && (maps_ || !scattered);
        const bool voxelByFlight = breastByFlight && (maps_ || !expected_ || inReferenceColumn(p.x, p.y) ||
                                                      sim_->regionReentrant_[static_cast<size_t>(region)]);
        if (voxelByFlight) return;
        // eV of glandular-equivalent deposit, in the phantom's voxel mass
        double w =
            weight_ * edep * kEvPerKev * sim_->tissues_[static_cast<size_t>(tissue)].glandWeight.at(at.grid);
        if (!breastByFlight && sim_->regionGlandular_[static_cast<size_t>(region)])
            breast_ += w * breastScale_;
        // The protocol breast reaches past the voxel grid's 7.5 cm.
        if (std::fabs(p.x) >= kVoxelsX * kVoxel || p.y >= kVoxelsY * kVoxel) return;
        int ix = std::min(static_cast<int>(std::fabs(p.x) * 10.0), kVoxelsX - 1);
        int iy = std::clamp(static_cast<int>(p.y * 10.0), 0, kVoxelsY - 1);
        int iz = std::clamp(static_cast<int>((p.z - sim_->phantomTop_) * 10.0), 0, layers_ - 1);
        size_t v =
            (static_cast<size_t>(iy) * kVoxelsX + static_cast<size_t>(ix)) * static_cast<size_t>(layers_) +
            static_cast<size_t>(iz);
        queue(static_cast<uint32_t>(v + (scattered ? perKind_ : 0)), static_cast<float>(w));
        if (ix < kRefXEnd && iy >= kRefYBegin && iy < kRefYEnd) {
            col_ += w * columnScale_[static_cast<size_t>(iz)];
            if (iz == 0) ref_ += w * refScale_;
        }
    }
    void leave(const Photon&) {}
    // A batch's sums, kept in single precision for a smaller working set,
    // go into the exact integer totals; the squares of the batch totals give
    // each voxel's uncertainty.
    void endBatch() {
        if (batch_.empty() || batchHistories_ == 0) return;
        for (size_t b = 0; b < fill_.size(); ++b)
            flushBlock(b);
        const double perHistory = 1.0 / static_cast<double>(batchHistories_);
        // In locals: stores through the tallies' pointers would otherwise
        // make the compiler load every size and pointer again per voxel.
        const size_t kind = perKind_;
        std::unique_lock<std::mutex> lock(totals_->mutex);
        if (totals_->tally.empty()) {
            reserveHugePages(totals_->tally, 2 * kind);
            reserveHugePages(totals_->squares, kind);
            totals_->tally.assign(2 * kind, 0);
            totals_->squares.assign(kind, 0);
        }
        float *primary = batch_.data(), *scatter = primary + kind;
        int64_t *tallyP = totals_->tally.data(), *tallyS = tallyP + kind;
        uint64_t* squares = totals_->squares.data();
        if (maps_) {
            lock.unlock();
            constexpr size_t stripes = BatchTotals::kStripes;
            for (size_t k = 0; k < stripes; ++k) {
                const size_t from = kind * k / stripes, to = kind * (k + 1) / stripes;
                std::lock_guard<std::mutex> stripe(totals_->stripes[k]);
                addSquaredBatch(primary + from, scatter + from, tallyP + from, tallyS + from, squares + from,
                                to - from, perHistory);
            }
            lock.lock();
        }
        auto sweep = [=]<bool Squares>(size_t from, size_t to) {
            addBatch<Squares>(primary + from, scatter + from, tallyP + from, tallyS + from, squares + from,
                              to - from, perHistory);
        };
        if (!maps_) {
            // No side file is written without the maps: only the reference
            // region's voxels need their squares (for the median sigma).
            const size_t row = static_cast<size_t>(kVoxelsX) * static_cast<size_t>(layers_);
            const size_t ref = static_cast<size_t>(kRefXEnd) * static_cast<size_t>(layers_);
            if (sparse_) {
                // The walks stayed in the reference column, give or take a
                // rounding's voxel at its sides; every other voxel a deposit
                // reached is on the list.
                const size_t width = std::min(ref + static_cast<size_t>(layers_), row);
                const size_t first = kRefYBegin > 0 ? kRefYBegin - 1 : 0;
                const size_t last = std::min<size_t>(kRefYEnd + 1, kVoxelsY);
                for (size_t iy = first; iy < last; ++iy) {
                    const bool inside = iy >= kRefYBegin && iy < kRefYEnd;
                    const size_t squared = inside ? ref : 0;
                    sweep.template operator()<true>(iy * row, iy * row + squared);
                    sweep.template operator()<false>(iy * row + squared, iy * row + width);
                }
                // An index of both kinds, as the batch sums and the totals
                // lie alike; zero where a sweep or an earlier entry took it.
                float* sums = batch_.data();
                int64_t* tally = totals_->tally.data();
                for (uint32_t v : touched_) {
                    tally[v] += toQuanta(sums[v]);
                    sums[v] = 0.0f;
                }
                touched_.clear();
            } else {
                sweep.template operator()<false>(0, kRefYBegin * row);
                for (size_t iy = kRefYBegin; iy < kRefYEnd; ++iy) {
                    sweep.template operator()<true>(iy * row, iy * row + ref);
                    sweep.template operator()<false>(iy * row + ref, (iy + 1) * row);
                }
                sweep.template operator()<false>(kRefYEnd * row, kind);
            }
        }
        ++totals_->batches;
        totals_->histories += batchHistories_;
        batchHistories_ = 0;
    }

  private:
    // Scores land all over the voxel grid, which is larger than the cache:
    // they are queued per block of the grid and added a block at a time,
    // each voxel's in the order they came, so the float sums stay exactly
    // those of direct adds.
    struct Pending {
        uint32_t index;
        float value;
    };
    static constexpr unsigned kBlockShift = 14; // 64 KB of the batch sums per block
    static constexpr uint32_t kBucket = 4096;   // about four scores per cache line when a block is added

    void queue(uint32_t index, float value) {
        size_t b = index >> kBlockShift;
        uint32_t f = fill_[b];
        buckets_[b * kBucket + f] = {index, value};
        fill_[b] = ++f;
        if (f == kBucket) flushBlock(b);
    }
    void flushBlock(size_t b) {
        float* sums = batch_.data();
        const Pending* in = buckets_.data() + b * kBucket;
        const uint32_t n = fill_[b];
        if (sparse_) {
            for (uint32_t i = 0; i < n; ++i) {
                float& sum = sums[in[i].index];
                if (sum == 0.0f) touched_.push_back(in[i].index);
                sum += in[i].value;
            }
        } else {
            for (uint32_t i = 0; i < n; ++i)
                sums[in[i].index] += in[i].value;
        }
        fill_[b] = 0;
    }

    // A photon straight from the focus, in the phantom where it meets no
    // other matter: each voxel of its whole chord gets the expectation of its
    // track there, w x integral of exp(-mu t) dt over the voxel, whether or
    // not the photon gets that far. Where it truly interacts is left to the
    // transport, which goes on with it as before.
    template <class Column>
    void expectedPrimary(int region, const Photon& ph, double w, double exit, double mu,
                         const Column& column) {
        const double chord = exit >= 0 ? exit : sim_->scene_->distanceOut(region, ph.pos, ph.dir);
        const double perMu = w / mu;
        // Without the maps only the stretch in the reference column is walked.
        // The chord's stretch in the reference column, for the summaries
        // below and, without the maps, for the walk.
        double refA = 0.0, refB = chord;
        clipReference(ph.pos, ph.dir, refA, refB);
        double a = 0.0, b = chord;
        const bool columnOnly = !maps_ || primaryWeight_ == 0.0;
        if (columnOnly) a = refA, b = refB;
        // exp(-mu a), also the start of the reference region's stretch when
        // it is scored below (the same clip): NaN where nothing is walked
        double from = std::numeric_limits<double>::quiet_NaN(), atFrom = 0.0;
        if (b > a) {
            from = a, atFrom = a > 0 ? fastExp(-mu * a) : 1.0;
            const double scale = perMu * atFrom;
            float* sums = batch_.data();
            if (columnOnly) {
                // Only the reference column is walked: its sums stay in the
                // cache and want no prefetch. A column named by its sums'
                // address spares an add per voxel.
                walkColumnsAttenuated(
                    grid_, ph.pos + a * ph.dir, ph.dir, b - a, mu,
                    [sums, &column](int ix, int iy) { return sums + column(ix, iy); },
                    [&](float* col, int iz, double in, double out) {
                        col[iz] += static_cast<float>(scale * (in - out));
                    },
                    [&](float* col, int iz, int n, double in, double factor) {
                        return addAttenuatedRun(col + iz, n, in, factor, scale);
                    });
            } else {
                // Each column's cache lines are asked for as the walk enters
                // it, so that they are fetched side by side rather than one
                // miss after another, and the scores are added in place.
                // Outside the reference column a chord counts primaryWeight_.
                const int lines = columnLines_;
                const double inside = scale, outside = scale * primaryWeight_;
                double at = scale;
                const int* fold = fold_;
                walkColumnsAttenuated(
                    grid_, ph.pos + a * ph.dir, ph.dir, b - a, mu,
                    [sums, &column, lines, &at, inside, outside, fold](int ix, int iy) {
                        at = fold[ix] < kRefXEnd && iy >= kRefYBegin && iy < kRefYEnd ? inside : outside;
                        float* col = sums + column(ix, iy);
                        // Unrolled for up to 5 lines (60 layers): as a loop
                        // the count and the jump cost four times the prefetches.
                        if (lines <= 5) {
                            for (int k = 0; k < 5; ++k)
                                __builtin_prefetch(col + 16 * k, 1);
                        } else {
                            for (int k = 0; k < lines; ++k)
                                __builtin_prefetch(col + 16 * k, 1);
                        }
                        return col;
                    },
                    [&](float* col, int iz, double in, double out) {
                        col[iz] += static_cast<float>(at * (in - out));
                    },
                    [&](float* col, int iz, int n, double in, double factor) {
                        return addAttenuatedRun(col + iz, n, in, factor, at);
                    });
            }
        }
        scoreReference(ph.pos, ph.dir, refA, refB, w, [mu, from, atFrom](double t0, double t1) {
            return ((t0 == from ? atFrom : fastExp(-mu * t0)) - fastExp(-mu * t1)) / mu;
        });
        if (sim_->regionGlandular_[static_cast<size_t>(region)]) {
            // The chord's share of the photon, weighted as the voxels are: the
            // whole-breast mean stays their mass-weighted sum.
            double share = fastOneMinusExpNeg(mu * chord);
            if (primaryWeight_ != 1.0) {
                const double inColumn =
                    refB > refA ? (refA == from ? atFrom : fastExp(-mu * refA)) - fastExp(-mu * refB) : 0.0;
                share = share * primaryWeight_ - (primaryWeight_ - 1.0) * inColumn;
            }
            breast_ += perMu * share * breastScale_;
        }
    }

    // Narrows [a, b] of the ray p + t d to where lo <= p + t d < hi on one axis.
    [[gnu::always_inline]] static void clip(double pa, double da, double lo, double hi, double& a,
                                            double& b) {
        if (da == 0.0) {
            if (!(pa >= lo && pa < hi)) b = -1.0;
            return;
        }
        double inv = 1.0 / da;
        double ta = (lo - pa) * inv, tb = (hi - pa) * inv;
        a = std::max(a, std::min(ta, tb));
        b = std::min(b, std::max(ta, tb));
    }

    // Narrows [t0, t1] of the ray p + t d to the reference region's column.
    [[gnu::always_inline]] static void clipReference(const Vec3& p, const Vec3& d, double& t0, double& t1) {
        clip(p.x, d.x, -kRefHalfWidth, kRefHalfWidth, t0, t1);
        clip(p.y, d.y, kRefYBegin * kVoxel, kRefYEnd * kVoxel, t0, t1);
    }
    // The flight's share of the reference region's two summaries, from its
    // stretch [t0, t1] in the region's column (clipReference), its top layer
    // and (when thinner) last layer: path(a, b) is what the stretch a <= t <=
    // b of the flight scores per unit of w.
    template <class Path>
    void scoreReference(const Vec3& p, const Vec3& d, double t0, double t1, double w, Path path) {
        if (!(t1 > t0)) return;
        double column = path(t0, t1) * columnScale_[0];
        double a = t0, b = t1;
        clip(p.z, d.z, grid_.origin.z, grid_.origin.z + kVoxel, a, b);
        if (b > a) ref_ += w * path(a, b) * refScale_;
        if (lastScale_ != 0.0) {
            a = t0, b = t1;
            clip(p.z, d.z, grid_.origin.z + (layers_ - 1) * kVoxel, kInfinity, a, b);
            if (b > a) column += path(a, b) * lastScale_;
        }
        col_ += w * column;
    }

    const WorkbenchSimulation* sim_;
    BatchTotals* totals_;
    bool track_, expected_, maps_, quasi_;
    // Without the maps and with every primary chord expected, only the
    // reference column is added to directly: the end of a batch then visits
    // that and the voxels on `touched_` rather than the whole grid.
    bool sparse_ = false;
    std::vector<uint32_t> touched_;
    bool projections_;           // a discrete scan: each history's dose also goes to its projection
    uint32_t projection_ = 0;    // this history's
    uint32_t primaryScored_ = 0; // the regions whose primary chord this history has scored
    ScrambledSobol sobol_;
    uint64_t unitIndex_ = 0, walked_ = 0; // the unit's points so far; those whose chord is walked
    double walkWeight_ = 1.0;             // what each walked chord counts for
    double primaryWeight_ = 1.0;          // this history's
    int layers_;
    int columnLines_ = 0; // cache lines of a column's sums
    size_t perKind_;
    VoxelGrid grid_;
    int fold_[2 * kVoxelsX];
    std::vector<float> batch_;
    std::vector<Pending> buckets_; // kBucket per block
    std::vector<uint32_t> fill_;
    uint64_t batchHistories_ = 0;
    double refScale_ = 0;
    std::vector<double> columnScale_;
    double lastScale_ = 0; // what a thinner last layer adds to the column's scale
    double breastScale_ = 0;
    double ref_ = 0, col_ = 0, breast_ = 0;
    double weight_ = 1.0; // the source photon's importance weight
};

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// The field at 0 deg covers the breast, but with the focus swung aside the
// far edge of the upper face falls outside it (at +-25 deg for 4.5 cm, the
// outer 2 cm of the top): the whole field of a scan is the detector's.
void scanField(const WorkbenchSetup& s, FieldGeometry& fg) {
    const double halfX = s.detectorX / 2;
    fg.x0 = -halfX, fg.x1 = halfX, fg.y0 = 0.0, fg.y1 = s.detectorY;
    if (s.platesScatter) return;
    const double top = s.fid - kSupportToDetector - s.supportThickness - s.thickness;
    const double reach = s.protocol->radius + 0.5;
    double lo = kInfinity, hi = -kInfinity, far = 0.0;
    constexpr int kSteps = 120;
    for (int i = 0; i <= kSteps; ++i) {
        const double a = (fg.angleMinDeg + (fg.angleMaxDeg - fg.angleMinDeg) * i / kSteps) * kDegree;
        const Vec3 f{fg.pivotDepth * std::sin(a), 0.0, fg.pivotDepth * (1.0 - std::cos(a))};
        // The shadow of a box is the hull of its corners' shadows.
        for (double z : {top, top + s.thickness})
            for (double x : {-reach, reach}) {
                const double scale = (s.fid - f.z) / (z - f.z);
                lo = std::min(lo, f.x + (x - f.x) * scale);
                hi = std::max(hi, f.x + (x - f.x) * scale);
                far = std::max(far, reach * scale);
            }
    }
    fg.x0 = std::max(fg.x0, lo), fg.x1 = std::min(fg.x1, hi), fg.y1 = std::min(fg.y1, far);
}

} // namespace

std::vector<double> scanAngles(int projections, double range) {
    std::vector<double> a;
    for (int i = 0; i < projections; ++i) {
        // From both ends alike, so that the middle one of an odd scan is 0 exactly.
        const double v = range * (2.0 * i - (projections - 1)) / (projections - 1);
        a.push_back(v == 0.0 ? 0.0 : v);
    }
    return a;
}

FieldGeometry fieldGeometry(const WorkbenchSetup& s) {
    FieldGeometry fg;
    fg.detectorZ = s.fid;
    fg.x0 = -s.fieldX / 2;
    fg.x1 = s.fieldX / 2;
    fg.y0 = 0.0;
    fg.y1 = s.fieldY;
    if (s.protocol) {
        const double top = s.fid - kSupportToDetector - s.supportThickness - s.thickness;
        const double reach = (s.protocol->radius + 0.5) * s.fid / top;
        fg.x0 = -reach, fg.x1 = reach, fg.y1 = reach;
    }
    fg.pivotDepth = s.fad;
    if (s.tomosynthesis) {
        fg.angleMinDeg = -std::fabs(s.angularRange);
        fg.angleMaxDeg = std::fabs(s.angularRange);
        if (s.singleAngle) {
            fg.angleMinDeg = fg.angleMaxDeg = *s.singleAngle;
        } else if (s.projections >= 2) {
            fg.projectionAngles = scanAngles(s.projections, std::fabs(s.angularRange));
            fg.projectionLoading = s.projectionLoading.empty()
                                       ? std::vector<double>(static_cast<size_t>(s.projections), 1.0)
                                       : s.projectionLoading;
        }
    }
    if (s.protocol && s.tomosynthesis) scanField(s, fg);
    return fg;
}

namespace {

// The reference region's sums of the whole batches run so far.
MapSums referenceSums(BatchTotals& totals) {
    std::lock_guard<std::mutex> lock(totals.mutex);
    MapSums all;
    all.batches = totals.batches;
    all.histories = totals.histories;
    if (totals.tally.empty()) return all;
    const size_t kind = totals.squares.size(), layers = kind / (size_t{kVoxelsX} * kVoxelsY);
    MapSums sums = referenceSums(static_cast<int>(layers),
                                 [&](size_t ix, size_t iy, size_t iz, int64_t& t, uint64_t& q) {
                                     const size_t inner = (iy * kVoxelsX + ix) * layers + iz;
                                     t += totals.tally[inner] + totals.tally[kind + inner];
                                     q += totals.squares[inner];
                                 });
    sums.batches = all.batches;
    sums.histories = all.histories;
    return sums;
}

} // namespace

WorkbenchSimulation::WorkbenchSimulation(WorkbenchSetup s) : setup_(std::move(s)) {
    // The published factors' breast is irradiated without a heel effect: the whole
    // field takes the spectrum of the ray through the surface air kerma's point.
    // With the heel, the breast's mean dose per that kerma fell by 0.9 % (Mo/Mo) to
    // 2.1 % (W/Rh), a difference of model, not of physics.
    if (setup_.protocol && setup_.spectrum.weights.size() > 1) setup_.spectrum.weights.resize(1);
    const WorkbenchSetup& s_ = setup_;
    const ProtocolBreast* breast = s_.protocol ? &*s_.protocol : nullptr;
    if (breast) {
        if (!(s_.thickness >= kMinProtocolThickness && s_.thickness <= kMaxProtocolThickness))
            throw std::invalid_argument("protocol breast thickness outside 2..11 cm");
        if (!(breast->adipose >= 0 && s_.thickness - 2 * breast->adipose >= kVoxel - 1e-9))
            throw std::invalid_argument("adipose layers leave no inner region");
        if (!(breast->radius > 0 && breast->radius <= kVoxelsY * kVoxel))
            throw std::invalid_argument("protocol breast radius outside 0..15 cm");
        if (!(breast->rim >= 0 && breast->radius - breast->rim >= kVoxel - 1e-9))
            throw std::invalid_argument("adipose rim leaves no inner region");
    } else {
        if (!(s_.thickness >= 0.1 && s_.thickness <= 6.0))
            throw std::invalid_argument("phantom thickness outside 0.1..6.0 cm");
        if (!(s_.phantomX > 0 && s_.phantomX <= 2 * kVoxelsX * kVoxel + 1e-9 && s_.phantomY > 0 &&
              s_.phantomY <= kVoxelsY * kVoxel + 1e-9))
            throw std::invalid_argument("phantom size outside the 15 x 15 cm voxel grid");
    }
    if (!(s_.paddleThickness >= 0 && s_.paddleThickness <= 1.0 && s_.supportThickness >= 0 &&
          s_.supportThickness <= 1.0))
        throw std::invalid_argument("paddle or support outside 0..1 cm");
    double top = s_.fid - kSupportToDetector - s_.supportThickness - s_.thickness;
    if (!(top - s_.paddleThickness > 0.5)) throw std::invalid_argument("FID too short for the phantom");
    if (s_.tomosynthesis && !(s_.fad > 0 && s_.fad <= s_.fid))
        throw std::invalid_argument("FAD outside 0..FID");
    if (!(s_.fcd > 0)) throw std::invalid_argument("FCD must be positive");

    layers_ = static_cast<int>(std::ceil(s_.thickness * 10.0 - 1e-6));
    for (int iz = 0; iz < layers_; ++iz)
        layerThickness_.push_back(std::min(kVoxel, s_.thickness - kVoxel * iz));
    phantomTop_ = top;
    paddleTop_ = top - s_.paddleThickness;

    // Physics 0 the phantom (inner region), 1 paddle, 2 support, 3 the protocol breast's adipose layers.
    physics_.push_back(MaterialPhysics::shared(s_.phantom));
    physics_.push_back(MaterialPhysics::shared(s_.paddle));
    physics_.push_back(MaterialPhysics::shared(s_.support));
    if (breast) physics_.push_back(MaterialPhysics::shared(breast->adiposeTissue));
    const MaterialPhysics glandPhys = MaterialPhysics::shared(materials::glandular());
    for (size_t m : breast ? std::vector<size_t>{0, 3} : std::vector<size_t>{0}) {
        const MaterialPhysics& ph = physics_[m];
        // Scored as glandular dose in the voxel mass of the phantom.
        const double massScale = s_.phantom.density / ph.density();
        Tissue& t = tissues_.emplace_back();
        t.glandWeight.build(
            [&](double e) { return glandPhys.muEnOverRho(e) / ph.muEnOverRho(e) * massScale; });
        t.trackWeight.build(
            [&](double e) { return e * kEvPerKev * ph.depositPerCm(e) * t.glandWeight.at(e); });
    }

    double bottom = top + s_.thickness;
    std::vector<Region> regions;
    if (breast) {
        const double r = breast->radius, a = breast->adipose, inner = r - breast->rim;
        auto slab = [&](double z0, double z1, int material, double radius) {
            Region region{
                {{{-radius, 0.0, z0}, {radius, radius, z1}}, true, 0.0, 0.0, radius}, material, false};
            return region;
        };
        regions.push_back(slab(top + a, bottom - a, 0, inner));
        regionTissue_ = {0};
        regionGlandular_ = {true};
        if (a > 0) {
            regions.push_back(slab(top, top + a, 3, r));
            regions.push_back(slab(bottom - a, bottom, 3, r));
            regionTissue_.insert(regionTissue_.end(), {1, 1});
            regionGlandular_.insert(regionGlandular_.end(), {false, false});
        }
        regionReentrant_.assign(regions.size(), false);
        // After the inner region, which takes the rim slab's middle.
        if (breast->rim > 0) {
            regions.push_back(slab(top + a, bottom - a, 3, r));
            regionTissue_.push_back(1);
            regionGlandular_.push_back(false);
            regionReentrant_.push_back(true);
        }
        breastVolume_ = std::numbers::pi * inner * inner / 2 * (s_.thickness - 2 * a);
    } else {
        regions.push_back(
            {{{{-s_.phantomX / 2, 0.0, top}, {s_.phantomX / 2, s_.phantomY, bottom}}}, 0, false});
        regionTissue_ = {0};
        regionGlandular_ = {true};
        regionReentrant_ = {false};
        breastVolume_ = s_.phantomX * s_.phantomY * s_.thickness;
    }
    // A plate of no thickness is left out rather than made an empty box.
    if (s_.paddleThickness > 0)
        regions.push_back(
            {{{{-kPlateHalfWidth, 0.0, paddleTop_}, {kPlateHalfWidth, kPlateDepth, top}}}, 1, false});
    if (s_.supportThickness > 0)
        regions.push_back({{{{-kPlateHalfWidth, 0.0, bottom},
                             {kPlateHalfWidth, kPlateDepth, bottom + s_.supportThickness}}},
                           2,
                           false});
    for (size_t i = regionTissue_.size(); i < regions.size(); ++i)
        regions[i].stopsAtInteraction = !s_.platesScatter;
    // The plates, the world and beyond are no breast.
    regionTissue_.resize(regions.size() + 2, -1);
    regionGlandular_.resize(regions.size() + 2, false);
    regionReentrant_.resize(regions.size() + 2, false);
    // The world ends at the detector plane: what reaches it is not followed.
    scene_ =
        std::make_unique<Scene>(std::move(regions), Box{{-1e4, -1e4, -1e3}, {1e4, 1e4, s_.fid}}, kVacuum);

    const FieldGeometry field = fieldGeometry(s_);
    projectionAngles_ = field.projectionAngles;
    source_ = std::make_unique<FieldSource>(field, s_.spectrum);
    if (!breast && quasiRandom()) {
        // The band's edges at the detector, seen from the focus past the
        // phantom's top (the widest of its shadows), on the reference region's middle row.
        const double magnify = field.detectorZ / top;
        const double x = (kRefHalfWidth + kImportanceMargin) * magnify;
        const double y = 0.5 * (kRefYBegin + kRefYEnd) * kVoxel * magnify;
        lateral_ =
            IntervalImportance(source_->lateralPoint(-x, y), source_->lateralPoint(x, y), kLateralImportance);
    }

    airKerma_ = airKermaAt({0.0, kChamberY, s_.fcd}, false);
    airKermaPaddle_ = airKermaAt({0.0, kChamberY, s_.fcd}, true);
    airKermaSurface_ = airKermaAt({0.0, 0.0, top}, true);
    airKermaSurface40mm_ = airKermaAt({0.0, 4.0, top}, true);
    airKermaSurface60mm_ = airKermaAt({0.0, 6.0, top}, true);
}

double WorkbenchSimulation::airKermaAt(Vec3 p, bool behindPaddle) const {
    const Material air = materials::dryAir();
    const std::vector<double> fluence = source_->fluenceAt(p);
    const Vec3 ray = p - source_->focus(0.0);
    // The ray's path through the paddle's thickness, slanted.
    const double path =
        behindPaddle ? setup_.paddleThickness * std::sqrt(dot(ray, ray)) / std::fabs(ray.z) : 0.0;
    double kerma = 0.0;
    for (size_t i = 0; i < fluence.size(); ++i) {
        const double e = setup_.spectrum.energies[i];
        const double through = path > 0 ? std::exp(-physics_[1].muTotal(e) * path) : 1.0;
        kerma += fluence[i] * through * e * kEvPerKev * MixtureData::energyAbsorption(air, e);
    }
    return kerma;
}

WorkbenchSimulation::~WorkbenchSimulation() = default;

RunPart WorkbenchSimulation::runPart(uint64_t histories, uint64_t seed, unsigned threads, RunControl& ctl,
                                     uint64_t batchSize) const {
    auto start = std::chrono::steady_clock::now();
    threads = std::max(1u, threads);
    BatchTotals totals;
    std::vector<Worker> workers;
    workers.reserve(threads);
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back(*this, totals);
    RunPart p;
    p.asked = histories;
    p.seed = seed;
    p.threads = threads;
    p.targetRelSigma = ctl.target();
    p.mapTargetRelSigma = ctl.mapTarget();
    // A checkpoint looks at the reference region's sums while every worker waits.
    ctl.setMapSums([&totals] { return referenceSums(totals); });
    p.batches = runBatches(histories, seed, workers, channels(), ctl, batchSize);
    ctl.setMapSums({});
    p.targetReached = ctl.targetReached();
    // From the workers' order, [primary, scatter][iy][ix][iz], to the shared
    // one, [voxel][primary, scatter] with voxel (iz * kVoxelsY + iy) * kVoxelsX + ix.
    const size_t layers = static_cast<size_t>(layers_);
    const size_t voxels = static_cast<size_t>(kVoxelsX) * kVoxelsY * layers;
    reserveHugePages(p.tally, 2 * voxels);
    reserveHugePages(p.squares, voxels);
    p.tally.assign(2 * voxels, 0);
    p.squares.assign(voxels, 0);
    // A run of no whole batch holds no tally.
    if (!totals.tally.empty()) {
        size_t inner = 0;
        for (size_t iy = 0; iy < kVoxelsY; ++iy)
            for (size_t ix = 0; ix < kVoxelsX; ++ix)
                for (size_t iz = 0; iz < layers; ++iz, ++inner) {
                    size_t v = (iz * kVoxelsY + iy) * kVoxelsX + ix;
                    p.tally[2 * v] = totals.tally[inner];
                    p.tally[2 * v + 1] = totals.tally[voxels + inner];
                    p.squares[v] = totals.squares[inner];
                }
    }
    p.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return p;
}

WorkbenchResult WorkbenchSimulation::run(uint64_t histories, uint64_t seed, unsigned threads, RunControl& ctl,
                                         uint64_t batchSize) const {
    return finish(runPart(histories, seed, threads, ctl, batchSize));
}

WorkbenchResult WorkbenchSimulation::finish(const RunPart& p) const {
    ScalarStats all = mergeInOrder(p.batches, channels());
    WorkbenchResult r;
    r.histories = all.n;
    r.seed = p.seed;
    r.threads = p.threads;
    r.seconds = p.seconds;
    r.targetRelSigma = p.targetRelSigma;
    r.targetReached = p.targetReached;
    // A run that did all its histories before a checkpoint judged it meets
    // its target when its final figure does: the header must not say "not
    // reached" beside an uncertainty within the target.
    if (!r.targetReached && p.targetRelSigma > 0 && all.n >= p.asked && all.n >= 2 && all.mean(1) > 0 &&
        all.relativeSigma(1) <= p.targetRelSigma)
        r.targetReached = true;
    r.stopped = all.n < p.asked && !p.targetReached;
    r.layers = layers_;
    r.airKerma = airKerma_;
    r.airKermaPaddle = airKermaPaddle_;
    r.airKermaSurface = airKermaSurface_;
    r.airKermaSurface40mm = airKermaSurface40mm_;
    r.airKermaSurface60mm = airKermaSurface60mm_;
    r.breastDose = all.mean(2);
    r.breastRelSigma = all.relativeSigma(2);
    if (all.n > 0) {
        const double n = static_cast<double>(all.n);
        r.breastSquares = all.s2[2] / n;
        r.loadingShares = loadingShares();
        for (size_t k = kWorkbenchChannels; k < all.s1.size(); ++k) {
            r.projectionDose.push_back(all.mean(k));
            r.projectionRelSigma.push_back(all.relativeSigma(k));
            r.projectionSquares.push_back(all.s2[k] / n);
        }
    }
    r.referenceDose = all.mean(0);
    r.referenceRelSigma = all.relativeSigma(0);
    r.columnDose = all.mean(1);
    r.columnRelSigma = all.relativeSigma(1);
    r.mapTargetRelSigma = p.mapTargetRelSigma;
    r.maps = setup_.maps;
    r.quasiRandom = quasiRandom();
    size_t voxels = static_cast<size_t>(kVoxelsX) * kVoxelsY * layers_;
    uint64_t batchCount = 0;
    for (const ScalarStats& b : p.batches)
        batchCount += b.n > 0;
    r.batches = batchCount;
    for (std::vector<double>* v : {&r.primary, &r.scatter, &r.totalRelSigma}) {
        reserveHugePages(*v, voxels);
        v->assign(voxels, 0.0);
    }
    if (r.histories > 0 && p.tally.size() == 2 * voxels) {
        const double n = static_cast<double>(r.histories);
        const bool spread = p.squares.size() == voxels;
        std::vector<double> layerScale;
        for (int iz = 0; iz < layers_; ++iz) {
            double mass = kFoldedVoxels * setup_.phantom.density * kVoxel * kVoxel *
                          layerThickness_[static_cast<size_t>(iz)];
            layerScale.push_back(1.0 / (kQuantaPerEv * mass * n));
        }
        // Without the maps only the reference region's squares are summed:
        // elsewhere the sigma stays unknown (0).
        auto squared = [this](size_t v) {
            const size_t ix = v % kVoxelsX, iy = v / kVoxelsX % kVoxelsY;
            return setup_.maps ||
                   (ix < size_t{kRefXEnd} && iy >= size_t{kRefYBegin} && iy < size_t{kRefYEnd});
        };
        for (size_t v = 0; v < voxels; ++v) {
            const double scale = layerScale[v / (static_cast<size_t>(kVoxelsX) * kVoxelsY)];
            r.primary[v] = static_cast<double>(p.tally[2 * v]) * scale;
            r.scatter[v] = static_cast<double>(p.tally[2 * v + 1]) * scale;
            if (!spread || !squared(v)) continue;
            r.totalRelSigma[v] =
                batchRelativeSigma(static_cast<double>(p.tally[2 * v] + p.tally[2 * v + 1]),
                                   static_cast<double>(p.squares[v]) / MapSums::kSquareScale, n, batchCount);
        }
        if (spread && batchCount > 1) {
            MapSums m = referenceSums(layers_, [&](size_t ix, size_t iy, size_t iz, int64_t& t, uint64_t& q) {
                const size_t v = (iz * kVoxelsY + iy) * kVoxelsX + ix;
                t = p.tally[2 * v] + p.tally[2 * v + 1];
                q = p.squares[v];
            });
            m.batches = batchCount;
            m.histories = r.histories;
            r.mapRelSigma = medianRelativeSigma(m);
        }
    }
    return r;
}

} // namespace kv::engine
