#pragma once
// xoshiro256+ seeded per (seed, stream): every batch of histories has its own
// stream, so the answer does not depend on how batches meet threads.
#include <cmath>
#include <cstdint>

namespace kv::engine {

inline uint64_t splitMix64(uint64_t& s) {
    uint64_t z = (s += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// Marsaglia and Tsang's ziggurat for exp(-x) in 256 layers
// (exponential_tables.cpp): layer i spans [0, x_i), with `ratio` its part
// x_(i-1) / x_i below the layer above in 53-bit units, `width` x_i / 2^53
// and `density` exp(-x_i); layer 0 is the base with the tail past `edge`.
struct ExponentialZiggurat {
    double edge;
    uint64_t ratio[256];
    double width[256];
    double density[256];
};
extern const ExponentialZiggurat kExponentialZiggurat;

class Rng {
  public:
    Rng(uint64_t seed, uint64_t stream) {
        uint64_t a = seed;
        uint64_t mix = splitMix64(a);
        uint64_t b = stream * 0xd1342543de82ef95ull + 0x632be59bd9b4e019ull;
        uint64_t s = mix ^ splitMix64(b);
        for (uint64_t& w : s_)
            w = splitMix64(s);
    }
    uint64_t next() {
        uint64_t r = s_[0] + s_[3];
        uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = (s_[3] << 45) | (s_[3] >> 19);
        return r;
    }
    // [0, 1)
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // (0, 1], safe under a logarithm
    double uniformOpen() { return static_cast<double>((next() >> 11) + 1) * 0x1.0p-53; }

    // A unit exponential variate: nearly always one draw and a comparison
    // (the 8 layer bits from the top, the weak low bits of this generator
    // only in the 53-bit position's last places).
    double exponential() {
        uint32_t i;
        uint64_t j;
        double x;
        if (zigguratCore(next(), i, j, x)) [[likely]]
            return x;
        return exponentialEdge(i, j);
    }

  private:
    // A draw's layer i and position j, and x where it falls in the layer's core.
    static bool zigguratCore(uint64_t r, uint32_t& i, uint64_t& j, double& x) {
        i = static_cast<uint32_t>(r >> 56);
        j = (r >> 3) & ((uint64_t{1} << 53) - 1);
        x = static_cast<double>(static_cast<int64_t>(j)) * kExponentialZiggurat.width[i];
        return j < kExponentialZiggurat.ratio[i];
    }
    // The draws that fall past a layer's core: the tail, or a wedge's test.
    [[gnu::noinline]] double exponentialEdge(uint32_t i, uint64_t j) {
        const ExponentialZiggurat& z = kExponentialZiggurat;
        for (;;) {
            if (i == 0) return z.edge - std::log(uniformOpen());
            const double x = static_cast<double>(static_cast<int64_t>(j)) * z.width[i];
            if (z.density[i] + uniform() * (z.density[i - 1] - z.density[i]) < std::exp(-x)) return x;
            double core;
            if (zigguratCore(next(), i, j, core)) return core;
        }
    }
    uint64_t s_[4];
};

} // namespace kv::engine
