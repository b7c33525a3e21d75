#include "kv/engine/scene.h"

#include <algorithm>
#include <cmath>

namespace kv::engine {

namespace {

bool slab(double p, double d, double inv, double lo, double hi, double& t0, double& t1) {
    if (d == 0.0) return p > lo && p < hi;
    double a = (lo - p) * inv, b = (hi - p) * inv;
    if (a > b) std::swap(a, b);
    t0 = std::max(t0, a);
    t1 = std::min(t1, b);
    return t0 < t1;
}

bool overlaps(const Box& a, const Box& b) {
    return a.lo.x < b.hi.x && b.lo.x < a.hi.x && a.lo.y < b.hi.y && b.lo.y < a.hi.y && a.lo.z < b.hi.z &&
           b.lo.z < a.hi.z;
}

} // namespace

bool Shape::interval(const Vec3& p, const Vec3& d, const Vec3& inv, double& t0, double& t1) const {
    t0 = -kInfinity;
    t1 = kInfinity;
    if (!slab(p.x, d.x, inv.x, box.lo.x, box.hi.x, t0, t1) ||
        !slab(p.y, d.y, inv.y, box.lo.y, box.hi.y, t0, t1) ||
        !slab(p.z, d.z, inv.z, box.lo.z, box.hi.z, t0, t1))
        return false;
    if (!cylinder) return true;
    double px = p.x - cx, py = p.y - cy;
    double a = d.x * d.x + d.y * d.y;
    double c = px * px + py * py - radius * radius;
    if (a < 1e-300) return c < 0;
    double b = px * d.x + py * d.y;
    double disc = b * b - a * c;
    if (disc <= 0) return false;
    double sq = std::sqrt(disc);
    t0 = std::max(t0, (-b - sq) / a);
    t1 = std::min(t1, (-b + sq) / a);
    return t0 < t1;
}

Scene::Scene(std::vector<Region> regions, Box world, int worldMaterial)
    : regions_(std::move(regions)), count_(static_cast<int>(regions_.size())), world_(world),
      worldMaterial_(worldMaterial), inner_(regions_.size()) {
    for (size_t i = 0; i < regions_.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (overlaps(regions_[i].shape.box, regions_[j].shape.box))
                inner_[i].push_back(static_cast<int>(j));
    for (size_t i = 0; i < regions_.size(); ++i) {
        const Region& r = regions_[i];
        step_.push_back(
            {r.material, r.absorbing, r.stopsAtInteraction, !r.shape.cylinder && inner_[i].empty()});
        regionsLoZ_ = std::min(regionsLoZ_, regions_[i].shape.box.lo.z);
        regionsHiZ_ = std::max(regionsHiZ_, regions_[i].shape.box.hi.z);
    }
    step_.push_back({worldMaterial_, false, false, false});
}

double Scene::distanceOutOfLine(int region, const Vec3& p, const Vec3& d) const {
    double best = kInfinity, t0, t1;
    if (region == worldRegion()) {
        const Vec3 inv = Shape::inverse(d);
        Shape w{world_};
        if (w.interval(p, d, inv, t0, t1)) best = t1;
        // Beyond every region in z and heading away, with 1 / d.z finite:
        // each region's interval ends at t <= 0, so none would be taken.
        if ((p.z >= regionsHiZ_ && d.z > 1e-300) || (p.z <= regionsLoZ_ && d.z < -1e-300)) return best;
        for (const Region& r : regions_)
            if (r.shape.interval(p, d, inv, t0, t1) && t0 > 0 && t0 < best) best = t0;
        return best;
    }
    const Shape& own = regions_[region].shape;
    if (!own.cylinder)
        best = own.boxExit(p, d);
    else if (own.interval(p, d, t0, t1))
        best = std::max(t1, 0.0);
    else
        best = 0.0; // already on the way out
    if (inner_[region].empty()) return best;
    const Vec3 inv = Shape::inverse(d);
    for (int j : inner_[region])
        if (regions_[j].shape.interval(p, d, inv, t0, t1) && t0 > 0 && t0 < best) best = t0;
    return best;
}

} // namespace kv::engine
