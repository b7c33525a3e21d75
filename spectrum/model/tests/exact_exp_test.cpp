#include "exact_exp.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <vector>

namespace {

using kv::spectrum::exactExp;

void expectSameAsStdExp(const std::vector<double>& a, const char* what) {
    std::vector<double> y(a.size(), -1.0);
    exactExp(a.data(), y.data(), a.size());
    for (size_t i = 0; i < a.size(); ++i) {
        const double expected = std::exp(a[i]);
        // Bits, so that NaN compares and -0/+0 would not pass for each other.
        ASSERT_EQ(std::bit_cast<std::uint64_t>(y[i]), std::bit_cast<std::uint64_t>(expected))
            << what << ": exp(" << std::hexfloat << a[i] << ") gave " << y[i] << ", std::exp " << expected;
    }
}

TEST(ExactExp, SameBitsAsStdExpAtTheEdges) {
    const double inf = std::numeric_limits<double>::infinity();
    const double ln2 = std::log(2.0);
    std::vector<double> edges = {0.0,
                                 -0.0,
                                 1e-300,
                                 -1e-300,
                                 0x1p-60,
                                 -0x1p-60,
                                 1.0,
                                 -1.0,
                                 -600.0,
                                 600.0,
                                 std::nextafter(-600.0, -inf),
                                 std::nextafter(600.0, inf),
                                 -700.0,
                                 -708.5,
                                 -745.2,
                                 -746.0,
                                 709.0,
                                 710.0,
                                 -inf,
                                 inf,
                                 std::numeric_limits<double>::quiet_NaN(),
                                 -1e10,
                                 1e10};
    // Results at and next to powers of two, where the size of an ulp changes.
    for (int k = -800; k <= 800; ++k)
        for (double d : {-0x1p-40, -0x1p-52, 0.0, 0x1p-52, 0x1p-40})
            edges.push_back(k * ln2 + d);
    // Lengths that leave 0 to 3 values after the groups of four.
    for (size_t n = 0; n < 9; ++n)
        expectSameAsStdExp(std::vector<double>(edges.begin(), edges.begin() + static_cast<long>(n)),
                           "short run");
    expectSameAsStdExp(edges, "edges");
}

TEST(ExactExp, SameBitsAsStdExpOnRandomArguments) {
    struct Range {
        const char* name;
        double lo, hi;
    };
    const Range ranges[] = {
        {"spectrum attenuation", -40, 0},
        {"whole fast range", -600, 600},
        {"near zero", -1e-3, 1e-3},
        {"beyond the fast range", -760, -590},
    };
    std::mt19937_64 random(20261208);
    for (const Range& r : ranges) {
        std::uniform_real_distribution<double> u(r.lo, r.hi);
        std::vector<double> a(300001);
        for (double& x : a)
            x = u(random);
        expectSameAsStdExp(a, r.name);
    }
}

} // namespace
