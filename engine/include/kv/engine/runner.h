#pragma once
// Histories in fixed batches; batch b draws from random stream b of the seed,
// and per-batch sums are merged in batch order, so the same seed gives the
// same answer on any number of threads or processes.
#include "kv/engine/random.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <concepts>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace kv::engine {

// 131072: a run of a few batches on two threads leaves one thread idle
// while the other runs the odd batch out, and a target's checkpoints wait
// for whole batches; the sweep of the grid at a batch's end costs a
// history about 40 instructions at this size.
inline constexpr uint64_t kBatchSize = uint64_t{1} << 17;
// Histories between two reports of a thread's progress.
inline constexpr uint64_t kPublishEvery = 4096;

// Sums of per-history scores. Histories fall into units, each an
// independent estimate (one history each under plain sampling; a whole
// run of quasi-random points, whose histories are not independent of one
// another, under quasi-random sampling), and the spread of the units gives
// the uncertainty. With fewer than kMinUnits units that spread says too
// little (from k units it is itself uncertain by 1 / sqrt(2 (k - 1)), 18 %
// at 16), and the histories' own spread stands in for it: the same for
// plain sampling, an overestimate for quasi-random points.
struct ScalarStats {
    static constexpr uint64_t kMinUnits = 16;
    // One-sided 95 % point of the normal distribution: a target is met only
    // when the sigma is below it with that confidence.
    static constexpr double kTargetConfidenceZ = 1.645;
    uint64_t n = 0, units = 0;
    // per channel: sums of the scores, of their squares, and of each unit's
    // (sum of scores)^2 / histories
    std::vector<double> s1, s2, u2;

    explicit ScalarStats(size_t channels = 0) : s1(channels, 0.0), s2(channels, 0.0), u2(channels, 0.0) {}
    void add(const ScalarStats& o) {
        n += o.n;
        units += o.units;
        for (size_t k = 0; k < s1.size(); ++k)
            s1[k] += o.s1[k], s2[k] += o.s2[k], u2[k] += o.u2[k];
    }
    // Adds the histories folded into `unit` as one unit and empties it.
    void closeUnit(ScalarStats& unit) {
        if (unit.n == 0) return;
        const double inv = unit.n == 1 ? 1.0 : 1.0 / static_cast<double>(unit.n);
        n += unit.n;
        ++units;
        for (size_t k = 0; k < s1.size(); ++k) {
            s1[k] += unit.s1[k], s2[k] += unit.s2[k], u2[k] += unit.s1[k] * unit.s1[k] * inv;
            unit.s1[k] = unit.s2[k] = 0.0;
        }
        unit.n = 0;
    }
    double mean(size_t k) const { return n ? s1[k] / static_cast<double>(n) : 0.0; }
    // One standard deviation of the mean.
    double sigma(size_t k) const {
        if (n < 2) return 0.0;
        double nn = static_cast<double>(n);
        double m = s1[k] / nn;
        if (units >= kMinUnits)
            return std::sqrt(std::fmax(0.0, u2[k] / nn - m * m) / static_cast<double>(units - 1));
        return std::sqrt(std::fmax(0.0, s2[k] / nn - m * m) / (nn - 1.0));
    }
    double relativeSigma(size_t k) const {
        double m = mean(k);
        return m != 0.0 ? sigma(k) / std::fabs(m) : 0.0;
    }
    // What a run may stop at: relativeSigma raised by its own uncertainty
    // at 95 % confidence, so that a stop is not the luck of a low estimate;
    // infinite before the units can tell.
    double relativeSigmaBound(size_t k) const {
        if (units < kMinUnits || n < 2) return HUGE_VAL;
        return relativeSigma(k) *
               (1.0 + kTargetConfidenceZ / std::sqrt(2.0 * static_cast<double>(units - 1)));
    }
};

// Relative 1 sigma of a voxel's total from its batches: `total` the sum of
// the batch totals, `squares` the sum of (batch total)^2 / batch histories.
// 1 where nothing was scored (as uncertain as one event), 0 with fewer than
// two batches (unknown).
inline double batchRelativeSigma(double total, double squares, double histories, uint64_t batches) {
    if (batches < 2) return 0.0;
    if (!(total > 0)) return 1.0;
    double perHistory = (squares - total * total / histories) / static_cast<double>(batches - 1);
    return std::sqrt(std::max(0.0, perHistory * histories)) / total;
}

// The sample deviation of a quantity from k independent estimates has its
// median below the true sigma: this factor (k = 2 exactly, beyond by the
// Wilson-Hilferty approximation) for k - 1 degrees of freedom.
inline double medianDeviationFactor(uint64_t k) {
    if (k <= 2) return 0.67449;
    double a = 2.0 / (9.0 * static_cast<double>(k - 1));
    return std::pow(1.0 - a, 1.5);
}

// A map's sums over whole batches, in integers so that threads and
// processes add them up exactly: per voxel the total and the sum of each
// batch's total^2 / histories times kSquareScale.
struct MapSums {
    static constexpr double kSquareScale = 16.0;
    std::vector<int64_t> total;
    std::vector<uint64_t> squares;
    uint64_t batches = 0, histories = 0;
};

// Each batch's addition to MapSums::squares.
inline uint64_t scaledSquare(int64_t batchTotal, double perHistory) {
    const double t = static_cast<double>(batchTotal);
    // Below 2^63, so the signed conversion (one instruction) gives the same
    // integer as the unsigned one (a branch and two more without AVX-512).
    return static_cast<uint64_t>(
        static_cast<int64_t>(std::min(t * t * perHistory * MapSums::kSquareScale, 0x1p62) + 0.5));
}

// The median over the voxels of their relative 1 sigma, divided by the
// median deviation factor of the batches, so that it estimates the median
// sigma itself and not the smaller median of its estimates.
inline double medianRelativeSigma(const MapSums& m) {
    if (m.total.empty() || m.batches < 2) return 1.0;
    std::vector<double> rel(m.total.size());
    const double n = static_cast<double>(m.histories);
    for (size_t v = 0; v < rel.size(); ++v)
        rel[v] = batchRelativeSigma(static_cast<double>(m.total[v]),
                                    static_cast<double>(m.squares[v]) / MapSums::kSquareScale, n, m.batches);
    std::nth_element(rel.begin(), rel.begin() + static_cast<std::ptrdiff_t>(rel.size() / 2), rel.end());
    return rel[rel.size() / 2] / medianDeviationFactor(m.batches);
}

// A run that stops at a target uncertainty looks at it only at checkpoints
// of the batch sequence, once every batch before the checkpoint is done, so
// the batches in the result do not depend on threads, processes or timing.
// The checkpoints grow by a quarter: a few dozen waits over a long run.
inline uint64_t nextCheckpoint(uint64_t batch) {
    return batch + std::max<uint64_t>(2, batch / 4);
}

// Which batches this process runs: batch b belongs to process b % processes.
struct BatchShare {
    unsigned process = 0, processes = 1;
    bool owns(uint64_t b) const { return b % processes == process; }
};

// Shared between the run and whoever watches it.
class RunControl {
  public:
    void requestStop() {
        stop_.store(true, std::memory_order_relaxed);
        std::lock_guard<std::mutex> lock(mutex_);
        gateMoved_.notify_all();
    }
    bool stopRequested() const { return stop_.load(std::memory_order_relaxed); }
    uint64_t historiesDone() const { return done_.load(std::memory_order_relaxed); }
    // Scores so far, for the progress display only.
    ScalarStats liveStats() const {
        std::lock_guard<std::mutex> lock(mutex_);
        ScalarStats all(channels_), open(channels_);
        for (const ScalarStats& s : perThread_)
            all.add(s);
        for (const ScalarStats& s : openUnit_)
            open.add(s);
        // Once the units give the spread, the histories of units still under
        // way would count in the mean without their units' squares, and
        // drive the spread to nothing: they wait until their units close.
        if (all.units < ScalarStats::kMinUnits) all.add(open);
        return all;
    }

    // Set when a worker failed: the run stopped, and the batch that failed
    // is left out of the result. Empty while all is well.
    std::string failure() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return failure_;
    }
    void fail(const std::string& why) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (failure_.empty()) failure_ = why.empty() ? std::string("unknown fault") : why;
        }
        requestStop();
    }

    // Set before the run. `relSigma` 0 runs every history.
    void setTarget(double relSigma, size_t channel) { target_ = relSigma, targetChannel_ = channel; }
    double target() const { return target_; }
    // A second target, on a measure of the whole map that the simulation
    // computes from its sums up to a checkpoint (`measure`, called under the
    // control's lock while no batch runs), looked at from kFirstMapBatch
    // batches on (as many as a voxel's uncertainty needs: the side file is
    // written from there). Where both are set, the run ends when both are met.
    static constexpr uint64_t kFirstMapBatch = ScalarStats::kMinUnits;
    void setMapTarget(double relSigma) { mapTarget_ = relSigma; }
    double mapTarget() const { return mapTarget_; }
    // The simulation's sums of this process, set while its workers live.
    void setMapSums(std::function<MapSums()> sums) {
        std::lock_guard<std::mutex> lock(mutex_);
        mapSums_ = std::move(sums);
    }
    // This process's sums at the checkpoint now waiting (for whoever judges
    // it across processes).
    MapSums mapSums() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return mapSums_ ? mapSums_() : MapSums{};
    }
    // Whether the checkpoint now waiting is one where the map target is looked at.
    bool mapJudgedAtCheckpoint() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return mapTarget_ > 0 && gate_ >= kFirstMapBatch;
    }
    void setShare(BatchShare s) { share_ = s; }
    const BatchShare& share() const { return share_; }
    // With several processes no one process can judge a checkpoint: the
    // caller polls atCheckpoint(), combines checkpointBatches() of all
    // processes and hands the result to passCheckpoint().
    void setExternalCheckpoints(bool on) { external_ = on; }
    // True when the run ended at a checkpoint because the target was met.
    bool targetReached() const { return reached_.load(); }

    bool atCheckpoint() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return waiting();
    }
    // This process's stats of the batches from the last checkpoint up to the
    // current one; other processes' batches are left empty.
    std::vector<ScalarStats> checkpointBatches() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return {batchStats_.begin() + static_cast<std::ptrdiff_t>(judged_),
                batchStats_.begin() + static_cast<std::ptrdiff_t>(std::min(gate_, batches_))};
    }
    // Adds every process's batches up to the checkpoint, in order, and either
    // ends the run there or lets it run on to the next checkpoint. `mapSigma`:
    // the map measure of all processes' sums, where mapJudgedAtCheckpoint().
    void passCheckpoint(const std::vector<ScalarStats>& batches, double mapSigma = 0.0) {
        std::lock_guard<std::mutex> lock(mutex_);
        judge(batches, [mapSigma] { return mapSigma; });
    }

    // Used by runBatches.
    void begin(unsigned threads, size_t channels, uint64_t batches) {
        std::lock_guard<std::mutex> lock(mutex_);
        channels_ = channels;
        perThread_.assign(threads, ScalarStats(channels));
        openUnit_.assign(threads, ScalarStats(channels));
        done_.store(0);
        batches_ = batches;
        batchStats_.assign(batches, ScalarStats(channels));
        prefix_ = ScalarStats(channels);
        judged_ = 0;
        gate_ = target_ > 0 || mapTarget_ > 0 ? std::min(batches, nextCheckpoint(0)) : batches;
        closed_ = false;
        reached_.store(false);
        countOwned();
    }
    // `unit`: the histories of the unit under way, not yet in `current`.
    void publish(unsigned thread, const ScalarStats& finished, const ScalarStats& current,
                 const ScalarStats& unit, uint64_t n) {
        done_.fetch_add(n, std::memory_order_relaxed);
        std::lock_guard<std::mutex> lock(mutex_);
        perThread_[thread] = finished;
        perThread_[thread].add(current);
        openUnit_[thread] = unit;
    }
    // Waits while batch b lies beyond an undecided checkpoint; false when b
    // is not to run (the run ends before it, or a stop was asked for).
    bool admit(uint64_t b) {
        std::unique_lock<std::mutex> lock(mutex_);
        gateMoved_.wait(lock, [&] { return b < gate_ || closed_ || stopRequested(); });
        return b < gate_ && !stopRequested();
    }
    void finishBatch(uint64_t b, ScalarStats st) {
        std::lock_guard<std::mutex> lock(mutex_);
        batchStats_[b] = std::move(st);
        if (b < gate_) ++ownedDone_;
        if (!external_ && waiting()) {
            std::vector<ScalarStats> segment(batchStats_.begin() + static_cast<std::ptrdiff_t>(judged_),
                                             batchStats_.begin() + static_cast<std::ptrdiff_t>(gate_));
            judge(segment, [this] { return mapSums_ ? medianRelativeSigma(mapSums_()) : 1.0; });
        }
    }
    // Every batch's stats in batch order; empty ones for batches that did not run here.
    std::vector<ScalarStats> batchStats() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return batchStats_;
    }

  private:
    bool waiting() const { return !closed_ && gate_ < batches_ && ownedDone_ == ownedBelowGate_; }
    void countOwned() {
        ownedBelowGate_ = 0;
        for (uint64_t b = 0; b < gate_; ++b)
            ownedBelowGate_ += share_.owns(b);
        ownedDone_ = 0;
    }
    template <class Measure> void judge(const std::vector<ScalarStats>& segment, const Measure& mapSigma) {
        for (const ScalarStats& s : segment)
            prefix_.add(s);
        judged_ = gate_;
        double m = prefix_.mean(targetChannel_);
        const bool sagd = m > 0 && prefix_.relativeSigmaBound(targetChannel_) <= target_;
        // the map's measure only where it counts: it walks the reference region's sums
        const bool map = mapTarget_ > 0 && gate_ >= kFirstMapBatch && mapSigma() <= mapTarget_;
        if ((target_ <= 0 || sagd) && (mapTarget_ <= 0 || map)) {
            closed_ = true;
            reached_.store(true);
        } else {
            uint64_t next = std::min(batches_, nextCheckpoint(gate_));
            for (uint64_t b = gate_; b < next; ++b)
                ownedBelowGate_ += share_.owns(b);
            gate_ = next;
        }
        gateMoved_.notify_all();
    }

    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> done_{0};
    mutable std::mutex mutex_;
    std::condition_variable gateMoved_;
    size_t channels_ = 0;
    std::vector<ScalarStats> perThread_; // the closed units
    std::vector<ScalarStats> openUnit_;  // the unit under way
    double target_ = 0, mapTarget_ = 0;
    size_t targetChannel_ = 0;
    std::function<MapSums()> mapSums_;
    BatchShare share_;
    bool external_ = false;
    uint64_t batches_ = 0, gate_ = 0, judged_ = 0, ownedBelowGate_ = 0, ownedDone_ = 0;
    bool closed_ = false;
    std::atomic<bool> reached_{false};
    std::vector<ScalarStats> batchStats_;
    ScalarStats prefix_;
    std::string failure_;
};

unsigned defaultThreadCount();

// Worker requirements:
//   void history(Rng&)             one history
//   void foldHistory(ScalarStats&) adds the history's scores to n, s1 and s2 and clears them
//   void endBatch()                after the last history of each batch
// and optionally
//   void foldClosedHistory(ScalarStats&) the history as a unit of its own, closed: what
//                                  foldHistory and closeUnit add, bit for bit, touching only the
//                                  channels it scored (a scan's projections are one each)
// and, where a worker's histories form units of more than one history,
//   uint64_t unitSize() const      histories per unit (a batch holds whole units)
//   void beginUnit(Rng&, uint64_t) before the first history of each unit, with its histories
// A run is stopped only between units.
template <class Worker>
concept FormsUnits = requires(Worker& w, Rng& rng) {
    { w.unitSize() } -> std::convertible_to<uint64_t>;
    w.beginUnit(rng, uint64_t{1});
};
template <class Worker>
concept FoldsClosedHistories = requires(Worker& w, ScalarStats& st) {
    w.foldClosedHistory(st);
};

// Runs this process's share of the batches. Returns the per-batch stats in
// batch order (partial batches when stopped, empty ones for batches that did
// not run here); their n values add up to the histories done. No exception
// leaves a thread: a batch that throws is dropped whole (the worker must not
// fold it into its totals before endBatch), its thread ends and
// ctl.failure() says why.
template <class Worker>
std::vector<ScalarStats> runBatches(uint64_t total, uint64_t seed, std::vector<Worker>& workers,
                                    size_t channels, RunControl& ctl, uint64_t batchSize = kBatchSize) {
    const uint64_t batches = (total + batchSize - 1) / batchSize;
    const BatchShare share = ctl.share();
    std::atomic<uint64_t> nextTurn{0};
    const unsigned threads = static_cast<unsigned>(workers.size());
    ctl.begin(threads, channels, batches);
    auto work = [&](unsigned t) {
        Worker& w = workers[t];
        ScalarStats finished(channels);
        for (;;) {
            if (ctl.stopRequested()) break;
            uint64_t b = share.process + nextTurn.fetch_add(1) * share.processes;
            if (b >= batches || !ctl.admit(b)) break;
            uint64_t count = std::min(batchSize, total - b * batchSize);
            Rng rng(seed, b);
            // Summed here, on this thread's own memory, and stored once at the end:
            // neighbouring batches run on other threads.
            ScalarStats st(channels), unit(channels);
            uint64_t unitSize = 1;
            if constexpr (FormsUnits<Worker>) unitSize = std::max<uint64_t>(1, w.unitSize());
            const uint64_t stopEvery = std::max<uint64_t>(unitSize, kPublishEvery);
            uint64_t sincePublish = 0;
            for (uint64_t i = 0; i < count; ++i) {
                if (i % stopEvery == 0 && i > 0 && ctl.stopRequested()) break;
                if constexpr (FormsUnits<Worker>)
                    if (i % unitSize == 0) w.beginUnit(rng, std::min(unitSize, count - i));
                w.history(rng);
                if constexpr (FoldsClosedHistories<Worker>) {
                    if (unitSize == 1) {
                        // closeUnit would pass over every channel once a history
                        w.foldClosedHistory(st);
                    } else {
                        w.foldHistory(unit);
                        if (unit.n == unitSize) st.closeUnit(unit);
                    }
                } else {
                    w.foldHistory(unit);
                    if (unit.n == unitSize) st.closeUnit(unit);
                }
                if (++sincePublish == kPublishEvery) {
                    ctl.publish(t, finished, st, unit, sincePublish);
                    sincePublish = 0;
                }
            }
            st.closeUnit(unit);
            w.endBatch();
            ctl.publish(t, finished, st, unit, sincePublish);
            finished.add(st);
            ctl.finishBatch(b, std::move(st));
        }
    };
    auto body = [&](unsigned t) noexcept {
        try {
            work(t);
        } catch (const std::exception& e) {
            ctl.fail(e.what());
        } catch (...) {
            ctl.fail({});
        }
    };
    if (threads == 1) {
        body(0);
    } else {
        std::vector<std::thread> pool;
        try {
            for (unsigned t = 0; t < threads; ++t)
                pool.emplace_back(body, t);
        } catch (const std::system_error&) {
            // Fewer threads than asked: those started finish the run.
            if (pool.empty()) throw;
        }
        for (std::thread& th : pool)
            th.join();
    }
    return ctl.batchStats();
}

inline ScalarStats mergeInOrder(const std::vector<ScalarStats>& batches, size_t channels) {
    ScalarStats all(channels);
    for (const ScalarStats& s : batches)
        all.add(s);
    return all;
}

} // namespace kv::engine
