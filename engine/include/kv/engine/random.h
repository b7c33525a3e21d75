#pragma once
// xoshiro256+ seeded per (seed, stream): every batch of histories has its own
// stream, so the answer does not depend on how batches meet threads.
#include <cstdint>

namespace kv::engine {

inline uint64_t splitMix64(uint64_t& s) {
    uint64_t z = (s += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

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

  private:
    uint64_t s_[4];
};

} // namespace kv::engine
