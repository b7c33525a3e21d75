#pragma once
// Repeated estimates of one quantity (seeded runs of a simulation): their
// mean, their sample deviation, and the root mean square of what each states
// as its own uncertainty, which is what a stated sigma is held against.
#include <cmath>
#include <vector>

namespace kv::test_support {

inline double sampleMean(const std::vector<double>& v) {
    double m = 0;
    for (double x : v)
        m += x / static_cast<double>(v.size());
    return m;
}

// With n - 1 in the denominator; 0 below two values.
inline double sampleDeviation(const std::vector<double>& v) {
    if (v.size() < 2) return 0.0;
    const double m = sampleMean(v);
    double q = 0;
    for (double x : v)
        q += (x - m) * (x - m);
    return std::sqrt(q / static_cast<double>(v.size() - 1));
}

// The square root of the mean of the squares: of stated sigmas, the sigma
// whose variance is their mean variance (each run states a variance without
// bias, not a sigma).
inline double rootMeanSquare(const std::vector<double>& v) {
    double q = 0;
    for (double x : v)
        q += x * x / static_cast<double>(v.size());
    return std::sqrt(q);
}

} // namespace kv::test_support
