#include "kv/engine/quasi_random.h"

#include <immintrin.h>

namespace kv::engine {

// The package is built for the x86-64 baseline; the processors that run it
// today all have SSE4.1, checked once at run time.
bool ScrambledSobol::vectorAvailable() {
    static const bool available = __builtin_cpu_supports("sse4.1");
    return available;
}

// The scalar next() lane by lane: the hash's multiplications in one vector,
// the bit reversal by a nibble table and a byte shuffle.
__attribute__((target("sse4.1"))) std::array<double, ScrambledSobol::kDimensions>
ScrambledSobol::nextVectorised() {
    const __m128i point = _mm_load_si128(reinterpret_cast<const __m128i*>(reversedPoint_));
    __m128i x = _mm_add_epi32(point, _mm_load_si128(reinterpret_cast<const __m128i*>(seed_)));
    x = _mm_xor_si128(x, _mm_mullo_epi32(x, _mm_set1_epi32(0x6c50b47c)));
    x = _mm_xor_si128(x, _mm_mullo_epi32(x, _mm_set1_epi32(static_cast<int>(0xb82f1e52u))));
    x = _mm_xor_si128(x, _mm_mullo_epi32(x, _mm_set1_epi32(static_cast<int>(0xc7afe638u))));
    x = _mm_xor_si128(x, _mm_mullo_epi32(x, _mm_set1_epi32(static_cast<int>(0x8d22f6e6u))));
    const __m128i nibbles = _mm_set1_epi8(0x0f);
    const __m128i reversedNibble =
        _mm_setr_epi8(0x0, 0x8, 0x4, 0xc, 0x2, 0xa, 0x6, 0xe, 0x1, 0x9, 0x5, 0xd, 0x3, 0xb, 0x7, 0xf);
    const __m128i low = _mm_shuffle_epi8(reversedNibble, _mm_and_si128(x, nibbles));
    const __m128i high = _mm_shuffle_epi8(reversedNibble, _mm_and_si128(_mm_srli_epi16(x, 4), nibbles));
    // each byte reversed (nibbles below 16: the shift stays inside its byte), then the bytes of each lane
    x = _mm_or_si128(_mm_slli_epi16(low, 4), high);
    x = _mm_shuffle_epi8(x, _mm_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12));
    const uint32_t lane[kDimensions] = {static_cast<uint32_t>(_mm_extract_epi32(x, 0)),
                                        static_cast<uint32_t>(_mm_extract_epi32(x, 1)),
                                        static_cast<uint32_t>(_mm_extract_epi32(x, 2))};
    std::array<double, kDimensions> u;
    for (int d = 0; d < kDimensions; ++d) {
        const uint64_t bits = (uint64_t{lane[d]} << 32) ^ shift_[static_cast<size_t>(d)];
        u[static_cast<size_t>(d)] = static_cast<double>(bits >> 11) * 0x1.0p-53;
    }
    const int c = std::countr_one(index_);
    if (c < 32)
        _mm_store_si128(
            reinterpret_cast<__m128i*>(reversedPoint_),
            _mm_xor_si128(point, _mm_load_si128(reinterpret_cast<const __m128i*>(reversedDir_[c]))));
    ++index_;
    return u;
}

} // namespace kv::engine
