// The voxel walk against a brute-force clip of the segment by every voxel.
#include "kv/engine/random.h"
#include "kv/engine/voxel_walk.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <tuple>

using namespace kv::engine;

namespace {

using Key = std::tuple<int, int, int>;

// Length of p + t d, 0 <= t <= len, inside [lo, hi) on every axis (a segment
// lying in a face belongs to the voxel above it, as in the walk).
double clipLength(Vec3 p, Vec3 d, double len, Vec3 lo, Vec3 hi) {
    double t0 = 0, t1 = len;
    const double pa[3] = {p.x, p.y, p.z}, da[3] = {d.x, d.y, d.z}, la[3] = {lo.x, lo.y, lo.z},
                 ha[3] = {hi.x, hi.y, hi.z};
    for (int a = 0; a < 3; ++a) {
        if (da[a] == 0) {
            if (!(pa[a] >= la[a] && pa[a] < ha[a])) return 0.0;
            continue;
        }
        double ta = (la[a] - pa[a]) / da[a], tb = (ha[a] - pa[a]) / da[a];
        t0 = std::max(t0, std::min(ta, tb));
        t1 = std::min(t1, std::max(ta, tb));
    }
    return std::max(0.0, t1 - t0);
}

std::map<Key, double> bruteForce(const VoxelGrid& g, Vec3 p, Vec3 d, double len) {
    std::map<Key, double> m;
    for (int i = 0; i < g.nx; ++i)
        for (int j = 0; j < g.ny; ++j)
            for (int k = 0; k < g.nz; ++k) {
                Vec3 lo{g.origin.x + i * g.size.x, g.origin.y + j * g.size.y, g.origin.z + k * g.size.z};
                Vec3 hi{g.origin.x + (i + 1) * g.size.x, g.origin.y + (j + 1) * g.size.y,
                        g.origin.z + (k + 1) * g.size.z};
                double l = clipLength(p, d, len, lo, hi);
                if (l > 0) m[{i, j, k}] = l;
            }
    return m;
}

struct Walked {
    std::map<Key, double> lengths;
    int visits = 0;
    bool repeated = false;
};

Walked walk(const VoxelGrid& g, Vec3 p, Vec3 d, double len) {
    Walked w;
    walkVoxels(g, p, d, len, [&](int i, int j, int k, double l) {
        ++w.visits;
        EXPECT_GT(l, 0.0);
        EXPECT_TRUE(i >= 0 && i < g.nx && j >= 0 && j < g.ny && k >= 0 && k < g.nz);
        w.repeated |= w.lengths.count({i, j, k}) > 0;
        w.lengths[{i, j, k}] += l;
    });
    return w;
}

Vec3 unit(Vec3 v) {
    return (1.0 / norm(v)) * v;
}

// Every voxel's length as the brute force finds it, each voxel once, and the
// lengths add up to the chord inside the grid.
void expectExact(const VoxelGrid& g, Vec3 p, Vec3 d, double len, const std::string& what) {
    std::map<Key, double> ref = bruteForce(g, p, d, len);
    Walked w = walk(g, p, d, len);
    Vec3 hi{g.origin.x + g.nx * g.size.x, g.origin.y + g.ny * g.size.y, g.origin.z + g.nz * g.size.z};
    double chord = clipLength(p, d, len, g.origin, hi), sum = 0;
    for (auto& [k, l] : w.lengths)
        sum += l;
    const double tol = 1e-12 * (1.0 + len);
    EXPECT_FALSE(w.repeated) << what;
    EXPECT_NEAR(sum, chord, tol) << what;
    for (auto& [k, l] : ref) {
        auto it = w.lengths.find(k);
        double got = it == w.lengths.end() ? 0.0 : it->second;
        EXPECT_NEAR(got, l, tol) << what << " voxel " << std::get<0>(k) << "," << std::get<1>(k) << ","
                                 << std::get<2>(k);
    }
    for (auto& [k, l] : w.lengths)
        EXPECT_TRUE(ref.count(k) || l < tol)
            << what << " extra voxel " << std::get<0>(k) << "," << std::get<1>(k) << "," << std::get<2>(k);
}

TEST(VoxelWalk, RandomSegmentsMatchTheBruteForceClip) {
    // Decimal voxel sizes (not exact in binary) and an offset origin, as in the engine.
    VoxelGrid g{{-0.35, 0.2, 1.1}, {0.1, 0.25, 0.1}, 7, 5, 6};
    Rng rng(42, 7);
    for (int n = 0; n < 3000; ++n) {
        // Starts inside and outside the grid, any direction, short and long.
        Vec3 p{-0.6 + 1.3 * rng.uniform(), -0.1 + 1.8 * rng.uniform(), 0.8 + 1.3 * rng.uniform()};
        Vec3 d = unit({2 * rng.uniform() - 1, 2 * rng.uniform() - 1, 2 * rng.uniform() - 1});
        double len = n % 3 == 0 ? 0.05 * rng.uniform() : 3.0 * rng.uniform();
        expectExact(g, p, d, len, "ray " + std::to_string(n));
    }
}

// Attenuated, the same voxels with the same lengths, each with exp(-mu t)
// where the segment enters and leaves it: continuous from voxel to voxel and
// as the brute force finds it from the voxel's own clip.
TEST(VoxelWalk, AttenuatedWalkCarriesTheSurvivalFromFaceToFace) {
    VoxelGrid g{{-0.35, 0.2, 1.1}, {0.1, 0.25, 0.1}, 7, 5, 6};
    Rng rng(43, 7);
    for (int n = 0; n < 2000; ++n) {
        Vec3 p{-0.6 + 1.3 * rng.uniform(), -0.1 + 1.8 * rng.uniform(), 0.8 + 1.3 * rng.uniform()};
        Vec3 d = unit({2 * rng.uniform() - 1, 2 * rng.uniform() - 1, 2 * rng.uniform() - 1});
        if (n % 4 == 0) d = unit({0.05 * rng.uniform(), 0.05 * rng.uniform(), 1.0}); // the primary beam's way
        double len = 3.0 * rng.uniform(), mu = n % 5 == 0 ? 40.0 : 2.0 * rng.uniform();
        std::map<Key, double> plain;
        walkVoxels(g, p, d, len, [&](int i, int j, int k, double l) { plain[{i, j, k}] = l; });
        std::map<Key, double> lengths;
        std::map<Key, std::pair<double, double>> ends;
        double t = -1.0, last = -1.0;
        struct Column {
            int ix, iy;
        };
        walkColumnsAttenuated(
            g, p, d, len, mu,
            [](int ix, int iy) {
                return Column{ix, iy};
            },
            [&](const Column& c, int k, double l, double in, double out) {
                Key key{c.ix, c.iy, k};
                lengths[key] = l;
                Vec3 lo{g.origin.x + c.ix * g.size.x, g.origin.y + c.iy * g.size.y,
                        g.origin.z + k * g.size.z};
                Vec3 hi = lo + Vec3{g.size.x, g.size.y, g.size.z};
                // the voxel's entry along the segment: its clip's start
                double tIn = 0, tOut = len;
                const double pa[3] = {p.x, p.y, p.z}, da[3] = {d.x, d.y, d.z}, la[3] = {lo.x, lo.y, lo.z},
                             ha[3] = {hi.x, hi.y, hi.z};
                for (int a = 0; a < 3; ++a) {
                    if (da[a] == 0) continue;
                    double ta = (la[a] - pa[a]) / da[a], tb = (ha[a] - pa[a]) / da[a];
                    tIn = std::max(tIn, std::min(ta, tb));
                    tOut = std::min(tOut, std::max(ta, tb));
                }
                EXPECT_NEAR(in, std::exp(-mu * tIn), 1e-12) << n;
                EXPECT_NEAR(out, std::exp(-mu * tOut), 1e-12) << n;
                EXPECT_NEAR(in - out, std::exp(-mu * tIn) - std::exp(-mu * tOut), 1e-12) << n;
                if (last >= 0) {
                    EXPECT_EQ(in, last) << n << ": one voxel's exit is the next one's entry";
                }
                EXPECT_GT(tIn, t - 1e-12) << n;
                t = tIn;
                last = out;
                ends[key] = {in, out};
            });
        EXPECT_EQ(lengths, plain) << n;
        // Without the lengths the walk takes a shorter road down a column:
        // the same voxels with the same values, to the bit.
        std::map<Key, std::pair<double, double>> quick;
        walkColumnsAttenuated(
            g, p, d, len, mu,
            [](int ix, int iy) {
                return Column{ix, iy};
            },
            [&](const Column& c, int k, double in, double out) {
                quick[{c.ix, c.iy, k}] = {in, out};
            });
        EXPECT_EQ(quick, ends) << n;
    }
}

TEST(VoxelWalk, FacesEdgesAndCornersAreNeitherSkippedNorCountedTwice) {
    // Voxel edges exact in binary, so that a ray can run through a corner exactly.
    VoxelGrid g{{0.0, 0.0, 0.0}, {0.5, 0.25, 0.5}, 4, 8, 4};
    const double r2 = std::sqrt(0.5), r3 = std::sqrt(1.0 / 3.0);
    struct Row {
        const char* what;
        Vec3 p, d;
        double len;
    };
    const Row rows[] = {
        {"along x", {0.1, 0.3, 0.2}, {1, 0, 0}, 5.0},
        {"along -z from the top face", {0.7, 0.6, 2.0}, {0, 0, -1}, 1.3},
        {"in an x face, heading y", {1.0, 0.1, 0.3}, {0, 1, 0}, 1.7},
        {"in an x and a z face", {0.5, 0.0, 1.5}, {0, 1, 0}, 2.0},
        {"in a face, heading -y", {1.5, 1.9, 0.6}, {0, -1, 0}, 1.2},
        {"diagonal through xz edges", {0.0, 0.3, 0.0}, {r2, 0, r2}, 3.0},
        {"diagonal through corners", {0.0, 0.0, 0.0}, unit({0.5, 0.25, 0.5}), 3.0},
        {"diagonal through edges of cubes", {0.0, 0.0, 0.0}, {r3, r3, r3}, 3.0},
        {"diagonal through corners, backwards", {2.0, 2.0, 2.0}, {-r2, 0, -r2}, 2.9},
        {"from a corner outside, entering at a corner", {-0.5, 0.75, -0.5}, {r2, 0, r2}, 4.0},
        {"ending exactly on a face", {0.2, 0.3, 0.1}, {0, 0, 1}, 0.9},
        {"starting on an inner face, heading down", {0.3, 0.3, 1.0}, {0, 0, -1}, 0.75},
        {"tangent to the grid's outer face", {2.0, 0.1, 0.3}, {0, 1, 0}, 1.0},
        {"missing the grid", {-1.0, 0.1, 0.3}, {0, 0, 1}, 1.0},
        {"zero length", {0.3, 0.3, 0.3}, {r2, r2, 0}, 0.0},
    };
    for (const Row& r : rows)
        expectExact(g, r.p, r.d, r.len, r.what);

    // Through corners every voxel of the diagonal gets its whole diagonal.
    Walked w = walk(g, {0, 0, 0}, unit({0.5, 0.25, 0.5}), 10.0);
    double diagonal = std::sqrt(0.25 + 0.0625 + 0.25);
    ASSERT_EQ(w.visits, 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR((w.lengths[{i, i, i}]), diagonal, 1e-14) << i;
}

} // namespace
