#pragma once
// Histories in fixed batches; batch b draws from random stream b of the seed,
// and per-batch sums are merged in batch order, so the same seed gives the
// same answer on any number of threads or processes.
#include "kv/engine/random.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace kv::engine {

inline constexpr uint64_t kBatchSize = uint64_t{1} << 18;

// Sums and sums of squares of per-history scores.
struct ScalarStats {
    uint64_t n = 0;
    std::vector<double> s1, s2;

    explicit ScalarStats(size_t channels = 0) : s1(channels, 0.0), s2(channels, 0.0) {}
    void add(const ScalarStats& o) {
        n += o.n;
        for (size_t k = 0; k < s1.size(); ++k)
            s1[k] += o.s1[k], s2[k] += o.s2[k];
    }
    double mean(size_t k) const { return n ? s1[k] / static_cast<double>(n) : 0.0; }
    // One standard deviation of the mean.
    double sigma(size_t k) const {
        if (n < 2) return 0.0;
        double nn = static_cast<double>(n);
        double m = s1[k] / nn;
        return std::sqrt(std::fmax(0.0, s2[k] / nn - m * m) / (nn - 1.0));
    }
    double relativeSigma(size_t k) const {
        double m = mean(k);
        return m != 0.0 ? sigma(k) / std::fabs(m) : 0.0;
    }
};

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
        ScalarStats all(channels_);
        for (const ScalarStats& s : perThread_)
            all.add(s);
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
    // ends the run there or lets it run on to the next checkpoint.
    void passCheckpoint(const std::vector<ScalarStats>& batches) {
        std::lock_guard<std::mutex> lock(mutex_);
        judge(batches);
    }

    // Used by runBatches.
    void begin(unsigned threads, size_t channels, uint64_t batches) {
        std::lock_guard<std::mutex> lock(mutex_);
        channels_ = channels;
        perThread_.assign(threads, ScalarStats(channels));
        done_.store(0);
        batches_ = batches;
        batchStats_.assign(batches, ScalarStats(channels));
        prefix_ = ScalarStats(channels);
        judged_ = 0;
        gate_ = target_ > 0 ? std::min(batches, nextCheckpoint(0)) : batches;
        closed_ = false;
        reached_.store(false);
        countOwned();
    }
    void publish(unsigned thread, const ScalarStats& finished, const ScalarStats& current, uint64_t n) {
        done_.fetch_add(n, std::memory_order_relaxed);
        std::lock_guard<std::mutex> lock(mutex_);
        perThread_[thread] = finished;
        perThread_[thread].add(current);
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
            judge(segment);
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
    void judge(const std::vector<ScalarStats>& segment) {
        for (const ScalarStats& s : segment)
            prefix_.add(s);
        judged_ = gate_;
        double m = prefix_.mean(targetChannel_);
        if (prefix_.n >= 2 && m > 0 && prefix_.relativeSigma(targetChannel_) <= target_) {
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
    std::vector<ScalarStats> perThread_;
    double target_ = 0;
    size_t targetChannel_ = 0;
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
//   void foldHistory(ScalarStats&) adds the history's scores and clears them
//   void endBatch()                after the last history of each batch
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
            ScalarStats st(channels);
            uint64_t sincePublish = 0;
            for (uint64_t i = 0; i < count; ++i) {
                w.history(rng);
                w.foldHistory(st);
                if (++sincePublish == 4096) {
                    ctl.publish(t, finished, st, sincePublish);
                    sincePublish = 0;
                    if (ctl.stopRequested()) break;
                }
            }
            w.endBatch();
            ctl.publish(t, finished, st, sincePublish);
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
