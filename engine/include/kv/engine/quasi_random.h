#pragma once
// Randomised quasi-random points in the unit cube: the first three
// dimensions of the Sobol sequence, each scrambled by a hash of its bits
// (Burley, "Practical Hash-based Owen Scrambling", JCGT 9(4), 2020) and then
// shifted by random bits. The shift alone makes every point exactly uniform
// on the 2^-53 grid that Rng::uniform() draws from, so an estimate over any
// run of points is unbiased; the sequence spreads a run of 2^m points far
// more evenly than independent draws, so smooth integrands converge faster.
#include "kv/engine/random.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace kv::engine {

class ScrambledSobol {
  public:
    static constexpr int kDimensions = 3;

    // `vectorised`: the three coordinates' hashes in one SSE4.1 vector, where
    // the processor has it (the same bits as one by one).
    explicit ScrambledSobol(bool vectorised = vectorAvailable())
        : vectorised_(vectorised && vectorAvailable()) {
        // Direction numbers of dimensions 2 and 3: primitive polynomials x + 1
        // and x^2 + x + 1, initial numbers 1 and 1, 3.
        for (int i = 0; i < 32; ++i) {
            dir_[0][i] = uint32_t{1} << (31 - i);
            dir_[1][i] = i == 0 ? uint32_t{1} << 31 : dir_[1][i - 1] ^ (dir_[1][i - 1] >> 1);
        }
        dir_[2][0] = uint32_t{1} << 31;
        dir_[2][1] = uint32_t{3} << 30;
        for (int i = 2; i < 32; ++i)
            dir_[2][i] = dir_[2][i - 2] ^ (dir_[2][i - 2] >> 2) ^ dir_[2][i - 1];
        for (int d = 0; d < kDimensions; ++d)
            for (int i = 0; i < 32; ++i)
                reversedDir_[i][d] = reverse(dir_[d][i]);
    }
    // Whether this processor runs the vectorised points.
    static bool vectorAvailable();
    bool vectorised() const { return vectorised_; }

    // A fresh, independent randomisation, from point 0.
    void restart(Rng& rng) {
        std::array<uint32_t, kDimensions> seeds;
        std::array<uint64_t, kDimensions> shifts;
        for (int d = 0; d < kDimensions; ++d) {
            seeds[d] = static_cast<uint32_t>(rng.next() >> 32);
            shifts[d] = rng.next();
        }
        restart(seeds, shifts);
    }
    void restart(const std::array<uint32_t, kDimensions>& seeds,
                 const std::array<uint64_t, kDimensions>& shifts) {
        index_ = 0;
        for (int d = 0; d < kLanes; ++d) {
            reversedPoint_[d] = 0;
            seed_[d] = d < kDimensions ? seeds[static_cast<std::size_t>(d)] : 0;
        }
        shift_ = shifts;
    }

    // The next point, each coordinate in [0, 1).
    std::array<double, kDimensions> next() {
        if (vectorised_) return nextVectorised();
        std::array<double, kDimensions> u;
        for (int d = 0; d < kDimensions; ++d) {
            // scramble() with the point kept bit-reversed: one reversal, not two
            uint64_t bits = (uint64_t{reverse(permute(reversedPoint_[d], seed_[d]))} << 32) ^ shift_[d];
            u[d] = static_cast<double>(bits >> 11) * 0x1.0p-53;
        }
        // Gray-code order: the next point differs from this one in one
        // direction number per dimension; the first 2^m points are the same set.
        const int c = std::countr_one(index_);
        if (c < 32)
            for (int d = 0; d < kDimensions; ++d)
                reversedPoint_[d] ^= reversedDir_[c][d];
        ++index_;
        return u;
    }

    // The scramble on its own, for tests.
    static uint32_t scramble(uint32_t x, uint32_t seed) { return reverse(permute(reverse(x), seed)); }
    // The unscrambled coordinate of point `index` in Gray-code order, for tests.
    uint32_t raw(uint32_t index, int d) const {
        uint32_t gray = index ^ (index >> 1), x = 0;
        for (int i = 0; gray; ++i, gray >>= 1)
            if (gray & 1) x ^= dir_[d][i];
        return x;
    }

  private:
    static constexpr int kLanes = 4; // a vector's 32-bit lanes; the fourth idles
    // next() by SSE4.1 (quasi_random.cpp).
    std::array<double, kDimensions> nextVectorised();
    // A bijection of 32-bit words whose lower bits never depend on higher
    // ones: on reversed bits, a nested permutation of the binary digits.
    static uint32_t permute(uint32_t x, uint32_t seed) {
        x += seed;
        x ^= x * 0x6c50b47cu;
        x ^= x * 0xb82f1e52u;
        x ^= x * 0xc7afe638u;
        x ^= x * 0x8d22f6e6u;
        return x;
    }
    static uint32_t reverse(uint32_t x) {
        x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
        x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
        x = ((x >> 4) & 0x0f0f0f0fu) | ((x & 0x0f0f0f0fu) << 4);
        x = ((x >> 8) & 0x00ff00ffu) | ((x & 0x00ff00ffu) << 8);
        return (x >> 16) | (x << 16);
    }

    uint32_t dir_[kDimensions][32];
    // [direction number][dimension], a vector per row
    alignas(16) uint32_t reversedDir_[32][kLanes] = {};
    alignas(16) uint32_t seed_[kLanes] = {};
    alignas(16) uint32_t reversedPoint_[kLanes] = {};
    std::array<uint64_t, kDimensions> shift_{};
    uint32_t index_ = 0;
    bool vectorised_;
};

} // namespace kv::engine
