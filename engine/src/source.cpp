#include "kv/engine/source.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace kv::engine {

namespace {
constexpr double kDeg = std::numbers::pi / 180.0;
}

AliasTable::AliasTable(const std::vector<double>& w) {
    size_t n = w.size();
    double sum = 0;
    for (double v : w)
        sum += v;
    std::vector<double> prob(n, 0.0);
    std::vector<uint32_t> alias(n, 0);
    if (n == 0 || sum <= 0) throw std::invalid_argument("an empty spectrum cannot be sampled");
    std::vector<double> scaled(n);
    std::vector<uint32_t> small, large;
    for (size_t i = 0; i < n; ++i) {
        scaled[i] = w[i] * static_cast<double>(n) / sum;
        (scaled[i] < 1.0 ? small : large).push_back(static_cast<uint32_t>(i));
    }
    while (!small.empty() && !large.empty()) {
        uint32_t s = small.back(), l = large.back();
        small.pop_back();
        prob[s] = scaled[s];
        alias[s] = l;
        scaled[l] -= 1.0 - scaled[s];
        if (scaled[l] < 1.0) {
            large.pop_back();
            small.push_back(l);
        }
    }
    for (uint32_t i : large)
        prob[i] = 1.0, alias[i] = i;
    for (uint32_t i : small)
        prob[i] = 1.0, alias[i] = i;
    for (size_t i = 0; i < n; ++i)
        cells_.push_back({prob[i], alias[i]});
}

FieldSource::FieldSource(const FieldGeometry& g, const RaySpectra& s) : g_(g), spectra_(s) {
    size_t rays = s.weights.size();
    if (rays == 0 || s.energies.empty()) throw std::invalid_argument("the spectrum has no rays");
    for (size_t k = 0; k < rays; ++k) {
        if (s.weights[k].size() != s.energies.size())
            throw std::invalid_argument("ray and energy counts differ");
        double sum = 0;
        for (double v : s.weights[k]) {
            if (!(v >= 0)) throw std::invalid_argument("negative or undefined spectrum weight");
            sum += v;
        }
        raySum_.push_back(sum);
        rayMax_ = std::max(rayMax_, sum);
        tanEdge_.push_back(std::tan(static_cast<double>(k) * s.rayWidthDeg * kDeg));
    }
    if (rayMax_ <= 0) throw std::invalid_argument("the spectrum holds no photons");
    for (double v : raySum_)
        rayShare_.push_back(v / rayMax_);
    if (rays > 1) invTan1_ = 1.0 / tanEdge_[1];
    for (size_t k = 0; k < rays; ++k) {
        if (raySum_[k] > 0)
            alias_.emplace_back(s.weights[k]);
        else
            alias_.emplace_back(std::vector<double>{1.0}); // never drawn
    }
    minHeight2_ = 1e300;
    for (double a : {g.angleMinDeg, g.angleMaxDeg, 0.0}) {
        if (a < g.angleMinDeg || a > g.angleMaxDeg) continue;
        double h = g.detectorZ - focus(a).z;
        minHeight2_ = std::min(minHeight2_, h * h);
    }
    if (!(g.detectorZ > focus(g.angleMinDeg).z && g.detectorZ > focus(g.angleMaxDeg).z))
        throw std::invalid_argument("the detector must lie below the focus");

    bool sweep = g.angleMaxDeg > g.angleMinDeg;
    int nodes = sweep ? 24 : 1;
    int n = sweep ? 240 : 600;
    double sum = 0;
    for (int i = 0; i < nodes; ++i)
        sum += emissionIntegral(g.angleMinDeg + (g.angleMaxDeg - g.angleMinDeg) * (i + 0.5) / nodes, n);
    emitted_ = sum / nodes;
    if (!(emitted_ > 0)) throw std::invalid_argument("the spectrum sends no photons into the field");
    fixedFocus_ = focus(g.angleMinDeg);
    fixedAxis_ = axis(g.angleMinDeg);
}

void FieldSource::focusAndAxis(double angleDeg, Vec3& f, Vec3& ax) const {
    double a = angleDeg * kDeg;
    double s = std::sin(a), c = std::cos(a);
    f = {g_.pivotDepth * s, 0.0, g_.pivotDepth * (1.0 - c)};
    ax = {-s, 0.0, c};
}

Vec3 FieldSource::focus(double angleDeg) const {
    Vec3 f, ax;
    focusAndAxis(angleDeg, f, ax);
    return f;
}

Vec3 FieldSource::axis(double angleDeg) const {
    Vec3 f, ax;
    focusAndAxis(angleDeg, f, ax);
    return ax;
}

uint32_t FieldSource::rayOf(double t) const {
    uint32_t last = static_cast<uint32_t>(tanEdge_.size() - 1);
    if (last == 0) return 0;
    // a guess; the loops below settle on the ray exactly
    double est = t * invTan1_;
    uint32_t k = est >= last ? last : static_cast<uint32_t>(est);
    while (k > 0 && t < tanEdge_[k])
        --k;
    while (k < last && t >= tanEdge_[k + 1])
        ++k;
    return k;
}

double FieldSource::emissionIntegral(double angleDeg, int n) const {
    Vec3 f = focus(angleDeg), ax = axis(angleDeg);
    double h = g_.detectorZ - f.z;
    double dx = (g_.x1 - g_.x0) / n, dy = (g_.y1 - g_.y0) / n;
    double sum = 0;
    for (int j = 0; j < n; ++j) {
        double y = g_.y0 + (j + 0.5) * dy - f.y;
        for (int i = 0; i < n; ++i) {
            Vec3 d{g_.x0 + (i + 0.5) * dx - f.x, y, h};
            double r2 = dot(d, d);
            sum += raySum_[rayOf(std::fabs(d.y) / dot(d, ax))] * h / (r2 * std::sqrt(r2));
        }
    }
    return sum * dx * dy;
}

SourcePhoton FieldSource::sample(Rng& rng) const {
    const bool sweep = g_.angleMaxDeg > g_.angleMinDeg;
    Vec3 f = fixedFocus_, ax = fixedAxis_;
    for (;;) {
        if (sweep) {
            double a = g_.angleMinDeg + (g_.angleMaxDeg - g_.angleMinDeg) * rng.uniform();
            focusAndAxis(a, f, ax);
        }
        Vec3 d{g_.x0 + (g_.x1 - g_.x0) * rng.uniform() - f.x, g_.y0 + (g_.y1 - g_.y0) * rng.uniform() - f.y,
               g_.detectorZ - f.z};
        double r2 = dot(d, d);
        double r = std::sqrt(r2);
        // density per area of a uniform emission per solid angle is h / r^3
        double accept = d.z * minHeight2_ / (r2 * r);
        uint32_t k = rayOf(std::fabs(d.y) / dot(d, ax));
        accept *= rayShare_[k];
        if (rng.uniform() < accept) {
            return {f, (1.0 / r) * d, spectra_.energies[alias_[k].sample(rng)]};
        }
    }
}

std::vector<double> FieldSource::fluenceAt(Vec3 p) const {
    Vec3 f = focus(0.0), ax = axis(0.0);
    Vec3 d = p - f;
    double r2 = dot(d, d);
    uint32_t k = rayOf(std::fabs(d.y) / dot(d, ax));
    std::vector<double> out(spectra_.energies.size());
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = spectra_.weights[k][i] / (emitted_ * r2);
    return out;
}

} // namespace kv::engine
