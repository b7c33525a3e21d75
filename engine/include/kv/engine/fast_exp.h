#pragma once
// exp(x) inline for the per-history attenuations: a table of 2^(j/64) and a
// polynomial of degree 5, within about 2 roundings of the library's, at a
// third of its cost with the call. Arguments are clamped to +-708, where the
// result stays a normal number.
#include <bit>
#include <cstdint>

namespace kv::engine {

// 2^(j / 64), j = 0..63, each rounded once (exponential_tables.cpp).
extern const double kExp2Sixtyfourths[64];

namespace detail {
// exp(x) as 2^(k / 64) * (1 + q), |q| < 0.0055; `scale` is 2^(k / 64).
struct ExpParts {
    double scale, q;
};
[[gnu::always_inline]] inline ExpParts expParts(double x) {
    x = x < -708.0 ? -708.0 : (x > 708.0 ? 708.0 : x);
    constexpr double kInvLn2x64 = 0x1.71547652b82fep+6;
    // ln 2 / 64 in two parts: the first has zeros enough that k times it is exact
    constexpr double kLn2Hi = 0x1.62e42p-7, kLn2Lo = 0x1.fdf473de6af28p-28;
    constexpr double kShifter = 0x1.8p52;
    // k = round(x * 64 / ln 2), read off the low bits of the shifted sum
    const double shifted = x * kInvLn2x64 + kShifter;
    const int64_t k = static_cast<int32_t>(static_cast<uint32_t>(std::bit_cast<uint64_t>(shifted)));
    const double kd = shifted - kShifter;
    const double r = (x - kd * kLn2Hi) - kd * kLn2Lo;
    const double r2 = r * r;
    const double q = r + r2 * (0.5 + r * (1.0 / 6.0 + r * (1.0 / 24.0 + r * (1.0 / 120.0))));
    // 2^(k / 64) = 2^(k >> 6) * 2^((k & 63) / 64); k >> 6 rounds down for negative k
    const uint64_t bits =
        std::bit_cast<uint64_t>(kExp2Sixtyfourths[k & 63]) + (static_cast<uint64_t>(k >> 6) << 52);
    return {std::bit_cast<double>(bits), q};
}
} // namespace detail

[[gnu::always_inline]] inline double fastExp(double x) {
    const detail::ExpParts p = detail::expParts(x);
    return p.scale + p.scale * p.q;
}

// 1 - exp(-x) for x >= 0, without the cancellation of its plain form where x is small.
[[gnu::always_inline]] inline double fastOneMinusExpNeg(double x) {
    const detail::ExpParts p = detail::expParts(-x);
    return (1.0 - p.scale) - p.scale * p.q;
}

} // namespace kv::engine
