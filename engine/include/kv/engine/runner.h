#pragma once
// Histories in fixed batches; batch b draws from random stream b of the seed,
// and per-batch sums are merged in batch order, so the same seed gives the
// same answer on any number of threads.
#include "kv/engine/random.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <mutex>
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
        for (size_t k = 0; k < s1.size(); ++k) s1[k] += o.s1[k], s2[k] += o.s2[k];
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

// Shared between the run and whoever watches it.
class RunControl {
public:
    void requestStop() { stop_.store(true, std::memory_order_relaxed); }
    bool stopRequested() const { return stop_.load(std::memory_order_relaxed); }
    uint64_t historiesDone() const { return done_.load(std::memory_order_relaxed); }
    // Scores so far, for the progress display only.
    ScalarStats liveStats() const {
        std::lock_guard<std::mutex> lock(mutex_);
        ScalarStats all(channels_);
        for (const ScalarStats& s : perThread_) all.add(s);
        return all;
    }

    // Used by runBatches.
    void begin(unsigned threads, size_t channels) {
        std::lock_guard<std::mutex> lock(mutex_);
        channels_ = channels;
        perThread_.assign(threads, ScalarStats(channels));
        done_.store(0);
    }
    void publish(unsigned thread, const ScalarStats& finished, const ScalarStats& current, uint64_t n) {
        done_.fetch_add(n, std::memory_order_relaxed);
        std::lock_guard<std::mutex> lock(mutex_);
        perThread_[thread] = finished;
        perThread_[thread].add(current);
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> done_{0};
    mutable std::mutex mutex_;
    size_t channels_ = 0;
    std::vector<ScalarStats> perThread_;
};

unsigned defaultThreadCount();

// Worker requirements:
//   void history(Rng&)             one history
//   void foldHistory(ScalarStats&) adds the history's scores and clears them
//   void endBatch()                after the last history of each batch
// Returns the per-batch stats in batch order (partial batches when stopped);
// their n values add up to the histories done.
template <class Worker>
std::vector<ScalarStats> runBatches(uint64_t total, uint64_t seed, std::vector<Worker>& workers, size_t channels,
                                    RunControl& ctl, uint64_t batchSize = kBatchSize) {
    const uint64_t batches = (total + batchSize - 1) / batchSize;
    std::vector<ScalarStats> stats(batches, ScalarStats(channels));
    std::atomic<uint64_t> nextBatch{0};
    const unsigned threads = static_cast<unsigned>(workers.size());
    ctl.begin(threads, channels);
    auto body = [&](unsigned t) {
        Worker& w = workers[t];
        ScalarStats finished(channels);
        for (;;) {
            if (ctl.stopRequested()) break;
            uint64_t b = nextBatch.fetch_add(1);
            if (b >= batches) break;
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
            stats[b] = std::move(st);
        }
    };
    if (threads == 1) {
        body(0);
    } else {
        std::vector<std::thread> pool;
        for (unsigned t = 0; t < threads; ++t) pool.emplace_back(body, t);
        for (std::thread& th : pool) th.join();
    }
    return stats;
}

inline ScalarStats mergeInOrder(const std::vector<ScalarStats>& batches, size_t channels) {
    ScalarStats all(channels);
    for (const ScalarStats& s : batches) all.add(s);
    return all;
}

} // namespace kv::engine
