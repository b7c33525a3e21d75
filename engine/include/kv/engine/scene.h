#pragma once
// Geometry as a short list of convex regions (boxes, optionally cut by a
// cylinder about a Z-parallel axis) in priority order inside a world box.
// A point belongs to the first region that contains it.
#include "kv/engine/vec.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace kv::engine {

inline constexpr double kInfinity = std::numeric_limits<double>::infinity();
inline constexpr int kVacuum = -1;
inline constexpr int kOutside = -1; // region index of a photon that has left

struct Box {
    Vec3 lo, hi;
    bool contains(Vec3 p) const {
        // z first: the scene's regions lie one above another
        return p.z > lo.z && p.z < hi.z && p.x > lo.x && p.x < hi.x && p.y > lo.y && p.y < hi.y;
    }
};

struct Shape {
    Box box;
    bool cylinder = false;
    double cx = 0, cy = 0, radius = 0;

    bool contains(Vec3 p) const {
        if (!box.contains(p)) return false;
        if (!cylinder) return true;
        double dx = p.x - cx, dy = p.y - cy;
        return dx * dx + dy * dy < radius * radius;
    }
    // The part of the ray p + t d inside the shape; false when there is none.
    bool interval(Vec3 p, Vec3 d, double& t0, double& t1) const { return interval(p, d, inverse(d), t0, t1); }
    // The same with the componentwise inverse of d, computed once per ray.
    bool interval(const Vec3& p, const Vec3& d, const Vec3& inv, double& t0, double& t1) const;
    static Vec3 inverse(Vec3 d) { return {1.0 / d.x, 1.0 / d.y, 1.0 / d.z}; }
    // Distance to the box's far side from a point inside it.
    double boxExit(Vec3 p, Vec3 d) const {
        double t = kInfinity;
        if (d.x != 0) t = std::min(t, ((d.x > 0 ? box.hi.x : box.lo.x) - p.x) / d.x);
        if (d.y != 0) t = std::min(t, ((d.y > 0 ? box.hi.y : box.lo.y) - p.y) / d.y);
        if (d.z != 0) t = std::min(t, ((d.z > 0 ? box.hi.z : box.lo.z) - p.z) / d.z);
        return t > 0.0 ? t : 0.0;
    }
};

struct Region {
    Shape shape;
    int material = kVacuum; // index into the physics list
    bool absorbing = false; // a photon that enters is no longer followed
    // The region attenuates but scatters nothing: a photon that interacts
    // there is no longer followed (plates as the published factor tables have them).
    bool stopsAtInteraction = false;
};

class Scene {
  public:
    Scene(std::vector<Region> regions, Box world, int worldMaterial);

    int regionCount() const { return count_; }
    int worldRegion() const { return regionCount(); }
    // Region index, worldRegion() for the world, kOutside beyond it.
    // Inline, as it is asked about twice a history.
    int locate(const Vec3& p) const {
        for (int i = 0; i < count_; ++i)
            if (regions_[static_cast<size_t>(i)].shape.contains(p)) return i;
        return world_.contains(p) ? worldRegion() : kOutside;
    }
    // These three for a region or the world.
    int material(int region) const { return step_[static_cast<size_t>(region)].material; }
    bool absorbing(int region) const { return step_[static_cast<size_t>(region)].absorbing; }
    bool stopsAtInteraction(int region) const { return step_[static_cast<size_t>(region)].stops; }
    // Distance along d from p (inside `region`) to where the region ends.
    // A box with no region inside it, the common case, costs no call.
    double distanceOut(int region, const Vec3& p, const Vec3& d) const {
        if (step_[static_cast<size_t>(region)].plain)
            return regions_[static_cast<size_t>(region)].shape.boxExit(p, d);
        return distanceOutOfLine(region, p, d);
    }
    // A distance below distanceOut(region, p, d) for every direction d, found
    // without dividing (0 where there is no such cheap bound): a step shorter
    // than this ends inside the region.
    double safety(int region, const Vec3& p) const {
        if (!step_[static_cast<size_t>(region)].plain) return 0.0;
        const Box& b = regions_[static_cast<size_t>(region)].shape.box;
        double m =
            std::min({p.x - b.lo.x, b.hi.x - p.x, p.y - b.lo.y, b.hi.y - p.y, p.z - b.lo.z, b.hi.z - p.z});
        // a direction a rounding above unit length shortens the exit distance by about as much
        return m * (1.0 - 1e-12);
    }
    const Region& region(int i) const { return regions_[i]; }

  private:
    double distanceOutOfLine(int region, const Vec3& p, const Vec3& d) const;

    std::vector<Region> regions_;
    // regions_.size(), kept: a Region's size is no power of two, and the
    // division by it cost each of the many look-ups a few instructions.
    int count_;
    Box world_;
    int worldMaterial_;
    // For each region, the earlier regions whose boxes overlap its own.
    std::vector<std::vector<int>> inner_;
    // What a step asks of its region, in 8 bytes per region and one for the
    // world (last): Region's size is no power of two, and its fields lie
    // far apart. `plain`: a box with no earlier region overlapping it.
    struct StepInfo {
        int material;
        bool absorbing, stops, plain;
    };
    std::vector<StepInfo> step_;
    // The lowest and highest z of every region: a photon of the world beyond
    // them and heading away meets none.
    double regionsLoZ_ = kInfinity, regionsHiZ_ = -kInfinity;
};

} // namespace kv::engine
