#pragma once
// A straight segment's walk through a uniform voxel grid, one voxel after the
// next (the incremental traversal of Amanatides and Woo): each voxel the
// segment crosses is visited once, in order, with the length inside it.
// Every crossing is computed afresh from the face's index k, never by adding
// steps, so the lengths carry no accumulated error and add up to the
// segment's part inside the grid. Through an edge or a corner
// the walk steps one axis at a time; the voxels between get no length and are
// not visited. A segment lying in a face belongs to the voxel above it.
#include "kv/engine/fast_exp.h"
#include "kv/engine/vec.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

namespace kv::engine {

inline constexpr double kWalkNever = 1e300;

struct VoxelGrid {
    Vec3 origin; // lower corner of voxel (0, 0, 0)
    Vec3 size;   // voxel edge along each axis, cm
    int nx = 0, ny = 0, nz = 0;
};

namespace detail {

// The walk of walkColumns(); with Attenuated, also exp(-mu t) at each face,
// and with Lengths the voxel's length for the attenuated visitor.
// No visitor of whole runs of voxels: each voxel is visited on its own.
struct NoRun {};

template <bool Attenuated, bool Lengths, class Column, class Visit, class Run = NoRun>
[[gnu::always_inline]] inline void walk(const VoxelGrid& g, const Vec3& p, const Vec3& d, double length,
                                        double mu, Column& column, Visit& visit, Run* runs = nullptr) {
    // Per axis: the part of the segment between the grid's outer faces, the
    // voxel of the entry point (one a rounding off is left at once with no
    // length), the step, and the next face crossed as t = base + k * delta
    // for face k: computed afresh at each face, so no error accumulates.
    // k is kept as a double (an exact small integer), which spares a
    // conversion per face. Attenuated, `survival` is exp(-mu t) at the next
    // face, times exp(-mu delta) per face: an error of one rounding per face,
    // where a call of exp per face would cost many times the walk.
    struct Axis {
        double base = 0, delta = 0, next = 0, face = 0, step = 0, survival = 0, factor = 0;
        int i = 0, n = 0, di = 0; // di: step as an integer
        int crossed = 0;          // x and y: faces crossed so far
    };
    double t0 = 0.0, t1 = length;
    auto setUp = [&](double o, double s, int n, double pa, double da, Axis& ax)
        __attribute__((always_inline)) {
        ax.n = n;
        if (da == 0.0) {
            if (!(pa >= o && pa < o + n * s)) t1 = -1.0; // beside the grid
            return;
        }
        double inv = 1.0 / da;
        double ta = (o - pa) * inv, tb = (o + n * s - pa) * inv;
        t0 = std::max(t0, std::min(ta, tb));
        t1 = std::min(t1, std::max(ta, tb));
        ax.base = ta;
        ax.delta = s * inv;
        ax.di = da > 0.0 ? 1 : -1;
        ax.step = ax.di;
    };
    Axis x, y, z;
    setUp(g.origin.x, g.size.x, g.nx, p.x, d.x, x);
    setUp(g.origin.y, g.size.y, g.ny, p.y, d.y, y);
    setUp(g.origin.z, g.size.z, g.nz, p.z, d.z, z);
    if (!(t1 > t0)) return;
    // Inlined by force: called three times, it stays out of line otherwise, and
    // the call costs a history some 50 instructions.
    auto start = [&](double o, double s, double pa, double da, Axis& ax) __attribute__((always_inline)) {
        // (x - o) / s by a multiplication, truncated: after the clamp the
        // same as its floor for any x past -1 voxel, and a rounding that
        // misses a face is mended by the step away from it with no length
        ax.i = std::clamp(static_cast<int>((pa + t0 * da - o) * (1.0 / s)), 0, ax.n - 1);
        ax.face = ax.i + (ax.step > 0.0);
        ax.next = ax.step == 0.0 ? kWalkNever : ax.base + ax.face * ax.delta;
        // x's and y's values wait for their first and second face: the
        // primary beam's walks cross few of them, often none
        if constexpr (Attenuated) {
            if (ax.step != 0.0 && &ax == &z) {
                ax.survival = fastExp(-mu * ax.next);
                ax.factor = fastExp(-mu * std::fabs(ax.delta));
            }
        }
    };
    start(g.origin.x, g.size.x, p.x, d.x, x);
    start(g.origin.y, g.size.y, p.y, d.y, y);
    start(g.origin.z, g.size.z, p.z, d.z, z);
    double t = t0;
    // faces per unit of t down the column, for a run's count of them
    const double zFaces = std::fabs(d.z) / g.size.z;
    double survival = 0; // exp(-mu t)
    // exp(-0) is 1 to the bit: a walk from its start point spares the call
    if constexpr (Attenuated) survival = t0 > 0.0 ? fastExp(-mu * t0) : 1.0;
    auto col = column(x.i, y.i);
    // The attenuated visit, with the length where it is wanted.
    auto attenuated = [&](int iz, double l, double in, double out) __attribute__((always_inline)) {
        if constexpr (Attenuated && Lengths)
            visit(std::as_const(col), iz, l, in, out);
        else if constexpr (Attenuated)
            visit(std::as_const(col), iz, in, out);
    };
    // Leaves the voxel at te < t1, a face ahead with exp(-mu t) = out there.
    auto leave = [&](double te, double out, int iz) __attribute__((always_inline)) {
        if (te > t) [[likely]] {
            if constexpr (Attenuated) {
                attenuated(iz, te - t, survival, out);
                survival = out;
            } else {
                visit(std::as_const(col), iz, te - t);
            }
            t = te;
        }
    };
    for (;;) {
        // Down the column to the next x or y face, z first on a tie: the
        // flights of the primary beam run mostly down. z is kept in locals
        // here, and the loop calls nothing (the segment's end is handled
        // after it), so that the compiler holds them all in registers.
        const double lim = std::min(x.next, y.next);
        double zNext = z.next, zFace = z.face, zSurvival = z.survival;
        int iz = z.i;
        // The next face down, unchecked.
        auto down = [&]() __attribute__((always_inline)) {
            iz += z.di;
            zFace += z.step;
            zNext = z.base + zFace * z.delta;
            if constexpr (Attenuated) zSurvival *= z.factor;
        };
        if (zNext <= lim && zNext < t1) {
            // The faces of this run more than half a face short of its end
            // and inside the grid are crossed for sure: their voxels go
            // without the tests, in a loop that carries little more than the
            // survival. The last ones are left to the checked loop below, so
            // the voxels and their values are those of the face-by-face walk.
            const int room = z.di > 0 ? z.n - 1 - iz : iz; // voxels past iz
            const double ahead = (std::min(lim, t1) - zNext) * zFaces + 0.5;
            const int sure = ahead < room ? static_cast<int>(ahead) : room;
            if (sure > 0) {
                // the first may be a rounding's voxel with no length
                leave(zNext, zSurvival, iz);
                down();
                // and the others, a face apart, are not
                if constexpr (Attenuated && !Lengths) {
                    bool run = false;
                    if constexpr (!std::is_same_v<Run, NoRun>) {
                        // the whole run downwards at once, its survivals a
                        // geometric series the visitor may sum as it likes
                        if (sure > 1 && z.di > 0) {
                            survival = (*runs)(std::as_const(col), iz, sure - 1, survival, z.factor);
                            zSurvival = survival * z.factor;
                            iz += sure - 1;
                            zFace += (sure - 1) * z.step;
                            run = true;
                        }
                    }
                    // no face's t is needed but the last one's
                    for (int k = 1; k < sure && !run; ++k) {
                        visit(std::as_const(col), iz, survival, zSurvival);
                        survival = zSurvival;
                        iz += z.di;
                        zFace += z.step;
                        zSurvival *= z.factor;
                    }
                    if (sure > 1) {
                        t = z.base + (zFace - z.step) * z.delta;
                        zNext = z.base + zFace * z.delta;
                    }
                } else {
                    for (int k = 1; k < sure; ++k) {
                        if constexpr (Attenuated) {
                            visit(std::as_const(col), iz, zNext - t, survival, zSurvival);
                            survival = zSurvival;
                        } else {
                            visit(std::as_const(col), iz, zNext - t);
                        }
                        t = zNext;
                        down();
                    }
                }
            }
        }
        while (zNext <= lim && zNext < t1) {
            leave(zNext, zSurvival, iz);
            iz += z.di;
            if (static_cast<unsigned>(iz) >= static_cast<unsigned>(z.n)) return;
            zFace += z.step;
            zNext = z.base + zFace * z.delta;
            if constexpr (Attenuated) zSurvival *= z.factor;
        }
        z.next = zNext, z.face = zFace, z.survival = zSurvival, z.i = iz;
        if (!(lim < t1)) {
            // the segment ends in this voxel
            if (t1 > t) {
                if constexpr (Attenuated)
                    attenuated(iz, t1 - t, survival, fastExp(-mu * t1));
                else
                    visit(std::as_const(col), iz, t1 - t);
            }
            return;
        }
        Axis& a = x.next <= y.next ? x : y;
        if constexpr (Attenuated) {
            // exp(-mu t) at this face: the same values, in the same order,
            // as had they been carried from the start
            if (a.crossed == 0) {
                a.survival = fastExp(-mu * a.next);
            } else {
                if (a.crossed == 1) a.factor = fastExp(-mu * std::fabs(a.delta));
                a.survival *= a.factor;
            }
            ++a.crossed;
        }
        leave(a.next, a.survival, iz);
        a.i += a.di;
        if (static_cast<unsigned>(a.i) >= static_cast<unsigned>(a.n)) return;
        a.face += a.step;
        a.next = a.base + a.face * a.delta;
        col = column(x.i, y.i);
    }
}

} // namespace detail

// The walk by columns: column(ix, iy) names the column (ix, iy) in the
// caller's terms and is asked only when the walk enters a new column;
// visit(column's name, iz, length) follows for every voxel where the segment
// p + t d, 0 <= t <= length (d of unit length), has a positive length.
// A caller that keeps its sums column by column so pays for its index
// arithmetic once per column, not once per voxel. Inlined into its caller,
// so that the visitor's state stays in registers.
template <class Column, class Visit>
[[gnu::always_inline]] inline void walkColumns(const VoxelGrid& g, const Vec3& p, const Vec3& d,
                                               double length, Column&& column, Visit&& visit) {
    detail::walk<false, true>(g, p, d, length, 0.0, column, visit);
}

// The same walk for a beam attenuated by mu (1/cm) along the segment:
// visit(column's name, iz, length, in, out), or visit(column's name, iz, in,
// out) where the lengths are not wanted (the cheaper walk), with in and out =
// exp(-mu t) where the segment enters and leaves the voxel, so that (in - out)
// / mu is the voxel's share of the expected track of a photon starting at p.
// The values at the faces are carried from face to face by one multiplication
// each: relative errors of a few roundings per face crossed, not exact to the
// bit.
template <class Column, class Visit>
[[gnu::always_inline]] inline void walkColumnsAttenuated(const VoxelGrid& g, const Vec3& p, const Vec3& d,
                                                         double length, double mu, Column&& column,
                                                         Visit&& visit) {
    using Name = decltype(column(0, 0));
    constexpr bool lengths = std::is_invocable_v<Visit&, const Name&, int, double, double, double>;
    detail::walk<true, lengths>(g, p, d, length, mu, column, visit);
}

// The same without the lengths, where run(column's name, iz, n, in, factor)
// may take over the n voxels from iz downwards (iz, iz + 1, ...) that the
// walk crosses whole: their in values are in, in x factor, in x factor^2,
// ... and each out is the next in. It returns the in value after the last,
// in x factor^n, as its own summing gives it.
template <class Column, class Visit, class Run>
[[gnu::always_inline]] inline void walkColumnsAttenuated(const VoxelGrid& g, const Vec3& p, const Vec3& d,
                                                         double length, double mu, Column&& column,
                                                         Visit&& visit, Run&& run) {
    detail::walk<true, false>(g, p, d, length, mu, column, visit, &run);
}

// Calls visit(ix, iy, iz, length) for every voxel where the segment has a
// positive length.
template <class Visit>
[[gnu::always_inline]] inline void walkVoxels(const VoxelGrid& g, const Vec3& p, const Vec3& d, double length,
                                              Visit&& visit) {
    struct Column {
        int ix, iy;
    };
    walkColumns(
        g, p, d, length,
        [](int ix, int iy) {
            return Column{ix, iy};
        },
        [&](const Column& c, int iz, double l) { visit(c.ix, c.iy, iz, l); });
}

} // namespace kv::engine
