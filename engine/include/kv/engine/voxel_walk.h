#pragma once
// A straight segment's walk through a uniform voxel grid, one voxel after the
// next (the incremental traversal of Amanatides and Woo): each voxel the
// segment crosses is visited once, in order, with the length inside it.
// Every crossing is computed afresh from the face's index k, never by adding
// steps, so the lengths carry no accumulated error and add up to the
// segment's part inside the grid. Through an edge or a corner
// the walk steps one axis at a time; the voxels between get no length and are
// not visited. A segment lying in a face belongs to the voxel above it.
#include "kv/engine/vec.h"

#include <algorithm>
#include <cmath>

namespace kv::engine {

inline constexpr double kWalkNever = 1e300;

struct VoxelGrid {
    Vec3 origin; // lower corner of voxel (0, 0, 0)
    Vec3 size;   // voxel edge along each axis, cm
    int nx = 0, ny = 0, nz = 0;
};

// Calls visit(ix, iy, iz, length) for the segment p + t d, 0 <= t <= length
// (d of unit length), for every voxel where the segment has a positive length.
// Inlined into its caller, so that the visitor's state stays in registers.
template <class Visit>
[[gnu::always_inline]] inline void walkVoxels(const VoxelGrid& g, const Vec3& p, const Vec3& d, double length,
                                              Visit&& visit) {
    // Per axis: the part of the segment between the grid's outer faces, the
    // voxel of the entry point (one a rounding off is left at once with no
    // length), the step, and the next face crossed as t = base + k * delta
    // for face k: computed afresh at each face, so no error accumulates.
    struct Axis {
        double base = 0, delta = 0, next = 0;
        int i = 0, step = 0, n = 0;
    };
    double t0 = 0.0, t1 = length;
    auto setUp = [&](double o, double s, int n, double pa, double da, Axis& ax) {
        ax.n = n;
        if (da == 0.0) {
            if (!(pa >= o && pa < o + n * s)) t1 = -1.0; // beside the grid
            return;
        }
        double inv = 1.0 / da;
        double ta = (o - pa) * inv, tb = (o + n * s - pa) * inv;
        t0 = std::max(t0, std::min(ta, tb));
        t1 = std::min(t1, std::max(ta, tb));
        ax.base = (o - pa) * inv;
        ax.delta = s * inv;
        ax.step = da > 0.0 ? 1 : -1;
    };
    Axis x, y, z;
    setUp(g.origin.x, g.size.x, g.nx, p.x, d.x, x);
    setUp(g.origin.y, g.size.y, g.ny, p.y, d.y, y);
    setUp(g.origin.z, g.size.z, g.nz, p.z, d.z, z);
    if (!(t1 > t0)) return;
    auto start = [&](double o, double s, double pa, double da, Axis& ax) {
        // floor of (x - o) / s by a multiplication: a rounding that misses a
        // face is mended by the step away from it with no length
        ax.i = std::clamp(static_cast<int>(std::floor((pa + t0 * da - o) * (1.0 / s))), 0, ax.n - 1);
        ax.next = ax.step == 0 ? kWalkNever : ax.base + (ax.i + (ax.step > 0)) * ax.delta;
    };
    start(g.origin.x, g.size.x, p.x, d.x, x);
    start(g.origin.y, g.size.y, p.y, d.y, y);
    start(g.origin.z, g.size.z, p.z, d.z, z);
    double t = t0;
    // Crosses the face ahead on one axis; false once the segment ends.
    auto cross = [&](Axis& a) {
        double te = std::min(a.next, t1);
        if (te > t) {
            visit(x.i, y.i, z.i, te - t);
            t = te;
        }
        if (te >= t1) return false;
        a.i += a.step;
        if (a.i < 0 || a.i >= a.n) return false;
        a.next = a.base + (a.i + (a.step > 0)) * a.delta;
        return true;
    };
    for (;;) {
        // z first on a tie: the flights of the primary beam run mostly down.
        if (z.next <= x.next && z.next <= y.next) {
            if (!cross(z)) return;
        } else if (x.next <= y.next) {
            if (!cross(x)) return;
        } else if (!cross(y)) {
            return;
        }
    }
}

} // namespace kv::engine
