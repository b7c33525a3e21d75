#include "kv/engine/source.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <mutex>
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

namespace {

// The emission integral of a field and spectrum, worked out once per
// process: a run's start-up check and its simulation build the same source,
// and a kv-sweep or kv-audit process meets the same fields again.
struct KnownEmission {
    FieldGeometry g;
    double rayWidth;
    std::vector<double> raySum;
    double emitted;
};
std::mutex emissionLock;
std::deque<KnownEmission> emissions;

bool sameField(const FieldGeometry& a, const FieldGeometry& b) {
    return a.detectorZ == b.detectorZ && a.x0 == b.x0 && a.x1 == b.x1 && a.y0 == b.y0 && a.y1 == b.y1 &&
           a.pivotDepth == b.pivotDepth && a.angleMinDeg == b.angleMinDeg && a.angleMaxDeg == b.angleMaxDeg &&
           a.projectionAngles == b.projectionAngles && a.projectionLoading == b.projectionLoading;
}

// 0 where it is not known
double knownEmission(const FieldGeometry& g, double rayWidth, const std::vector<double>& raySum) {
    std::lock_guard<std::mutex> lock(emissionLock);
    for (const KnownEmission& k : emissions)
        if (sameField(k.g, g) && k.rayWidth == rayWidth && k.raySum == raySum) return k.emitted;
    return 0.0;
}

void keepEmission(const FieldGeometry& g, double rayWidth, const std::vector<double>& raySum,
                  double emitted) {
    // every projection of the largest scan, and a few fields besides
    constexpr size_t kKept = 64;
    std::lock_guard<std::mutex> lock(emissionLock);
    if (emissions.size() == kKept) emissions.pop_front();
    emissions.push_back({g, rayWidth, raySum, emitted});
}

} // namespace

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
    const bool discrete = !g.projectionAngles.empty();
    if (discrete) {
        if (g.projectionLoading.size() != g.projectionAngles.size())
            throw std::invalid_argument("one loading share per projection");
        double total = 0;
        for (double w : g.projectionLoading) {
            if (!(w >= 0 && std::isfinite(w))) throw std::invalid_argument("a negative loading share");
            total += w;
        }
        if (!(total > 0)) throw std::invalid_argument("the projections' loading adds up to nothing");
        double running = 0;
        for (double w : g.projectionLoading) {
            shares_.push_back(w / total);
            shareCum_.push_back(running += w / total);
        }
        shareCum_.back() = 1.0;
    }
    minHeight2_ = 1e300;
    std::vector<double> ends =
        discrete ? g.projectionAngles : std::vector<double>{g.angleMinDeg, g.angleMaxDeg};
    for (double a : ends) {
        const double h = g.detectorZ - focus(a).z;
        if (!(h > 0)) throw std::invalid_argument("the detector must lie below the focus");
        minHeight2_ = std::min(minHeight2_, h * h);
    }

    bool sweep = !discrete && g.angleMaxDeg > g.angleMinDeg;
    if (discrete) {
        // Each projection's field at the single-angle accuracy; the loading
        // weights them, so a history stands for the same emission at every angle.
        emitted_ = 0;
        for (size_t i = 0; i < shares_.size(); ++i) {
            // Kept as a single projection's: the start-up check and the run
            // build the same source, and a projection's integral is the scan's
            // largest fixed cost.
            FieldGeometry one = g;
            one.angleMinDeg = one.angleMaxDeg = g.projectionAngles[i];
            one.projectionAngles.clear(), one.projectionLoading.clear();
            double e = knownEmission(one, s.rayWidthDeg, raySum_);
            if (!(e > 0)) {
                e = emissionIntegral(g.projectionAngles[i], 600);
                keepEmission(one, s.rayWidthDeg, raySum_, e);
            }
            projectionEmitted_.push_back(e);
            emitted_ += shares_[i] * projectionEmitted_.back();
            projectionFocus_.push_back(focus(g.projectionAngles[i]));
            projectionAxis_.push_back(axis(g.projectionAngles[i]));
        }
    } else {
        emitted_ = knownEmission(g, s.rayWidthDeg, raySum_);
        if (!(emitted_ > 0)) {
            int nodes = sweep ? 24 : 1;
            int n = sweep ? 240 : 600;
            double sum = 0;
            for (int i = 0; i < nodes; ++i)
                sum +=
                    emissionIntegral(g.angleMinDeg + (g.angleMaxDeg - g.angleMinDeg) * (i + 0.5) / nodes, n);
            emitted_ = sum / nodes;
            keepEmission(g, s.rayWidthDeg, raySum_, emitted_);
        }
    }
    if (!(emitted_ > 0)) throw std::invalid_argument("the spectrum sends no photons into the field");
    fixedFocus_ = focus(g.angleMinDeg);
    fixedAxis_ = axis(g.angleMinDeg);

    // Inversion needs the focus straight above the middle of the field's width.
    invertible_ = !discrete && !sweep && g.angleMinDeg == 0.0 && g.x0 == -g.x1 && g.y1 > g.y0;
    if (!invertible_) return;
    height_ = g.detectorZ - fixedFocus_.z;
    halfWidth_ = g.x1;
    aa_ = halfWidth_ * halfWidth_;
    aaPlusHh_ = halfWidth_ * halfWidth_ + height_ * height_;
    std::vector<double> cuts{g.y0, g.y1};
    for (size_t k = 1; k < rays; ++k)
        for (double y : {-height_ * tanEdge_[k], height_ * tanEdge_[k]})
            if (y > g.y0 && y < g.y1) cuts.push_back(y);
    std::sort(cuts.begin(), cuts.end());
    double cum = 0;
    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
        const double mid = 0.5 * (cuts[i] + cuts[i + 1]);
        Strip st{cuts[i], solidAngleTo(cuts[i]), cum, rayOf(std::fabs(mid) / height_)};
        cum += raySum_[st.ray] * (solidAngleTo(cuts[i + 1]) - st.m0);
        strips_.push_back(st);
    }
    strips_.push_back({g.y1, solidAngleTo(g.y1), cum, 0}); // the end
    for (size_t k = 0; k < rays; ++k) {
        double running = 0;
        for (double v : s.weights[k])
            energyCum_.push_back(running += v);
    }
    // For each cell of u, the last entry whose cumulative lies at or below
    // the cell's start: a search from there goes forward only.
    auto guide = [](const double* cumulative, size_t count, double total, std::vector<uint32_t>& out) {
        size_t i = 0;
        for (uint32_t c = 0; c < kGuideCells; ++c) {
            const double start = total * c / kGuideCells;
            while (i + 1 < count && cumulative[i] <= start)
                ++i;
            out.push_back(static_cast<uint32_t>(i));
        }
    };
    std::vector<double> stripCum;
    for (size_t i = 1; i < strips_.size(); ++i)
        stripCum.push_back(strips_[i].cum);
    guide(stripCum.data(), stripCum.size(), cum, stripGuide_);
    const size_t bins = s.energies.size();
    for (size_t k = 0; k < rays; ++k)
        guide(&energyCum_[k * bins], bins, energyCum_[k * bins + bins - 1], energyGuide_);
}

// Solid angle of the field's rows from the row below the focus to row y
// (negative below it): the rectangle formula atan(a b / (h r)), both halves.
double FieldSource::solidAngleTo(double y) const {
    const double a = halfWidth_, h = height_;
    return 2.0 * std::atan(a * y / (h * std::sqrt(a * a + y * y + h * h)));
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
    return rayFrom(t, est >= last ? last : static_cast<uint32_t>(est));
}

uint32_t FieldSource::rayFrom(double t, uint32_t k) const {
    const uint32_t last = static_cast<uint32_t>(tanEdge_.size() - 1);
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
    // A scan works this out once per projection: what is the same down a
    // column or along a row is worked out once, and every term is still the
    // same products added in the same order as dot(d, d) and dot(d, ax) of
    // d = (x, y, h), so the sum is the same to the last bit.
    std::vector<double> xx(static_cast<size_t>(n)), xa(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double x = g_.x0 + (i + 0.5) * dx - f.x;
        xx[static_cast<size_t>(i)] = x * x;
        xa[static_cast<size_t>(i)] = x * ax.x;
    }
    const double hh = h * h, ha = h * ax.z;
    const bool oneRay = tanEdge_.size() == 1;
    double sum = 0;
    for (int j = 0; j < n; ++j) {
        const double y = g_.y0 + (j + 0.5) * dy - f.y;
        const double yy = y * y, ya = y * ax.y, ay = std::fabs(y);
        // Along a row the ray moves by a step or two at most: searched for from the last.
        uint32_t k = 0;
        for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
            const double r2 = xx[i] + yy + hh;
            if (!oneRay) {
                const double t = ay / (xa[i] + ya + ha);
                k = i == 0 ? rayOf(t) : rayFrom(t, k);
            }
            sum += raySum_[k] * h / (r2 * std::sqrt(r2));
        }
    }
    return sum * dx * dy;
}

SourcePhoton FieldSource::sample(Rng& rng) const {
    const bool sweep = g_.angleMaxDeg > g_.angleMinDeg;
    Vec3 f = fixedFocus_, ax = fixedAxis_;
    uint32_t projection = 0;
    for (;;) {
        if (!shareCum_.empty()) {
            // The projection by its loading; the miss below redraws it too,
            // so that its histories also follow its field's solid angle.
            const double u = rng.uniform();
            projection = static_cast<uint32_t>(std::upper_bound(shareCum_.begin(), shareCum_.end(), u) -
                                               shareCum_.begin());
            projection = std::min(projection, static_cast<uint32_t>(shareCum_.size() - 1));
            f = projectionFocus_[projection], ax = projectionAxis_[projection];
        } else if (sweep) {
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
            return {f, (1.0 / r) * d, spectra_.energies[alias_[k].sample(rng)], projection};
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

IntervalImportance::IntervalImportance(double lo, double hi, double ratio) {
    lo = std::clamp(lo, 0.0, 1.0), hi = std::clamp(hi, lo, 1.0);
    const double inside = hi - lo;
    if (!(ratio > 0) || ratio == 1.0 || inside <= 0.0 || inside >= 1.0) return;
    // densities outside and inside, their masses adding up to 1
    const double out = 1.0 / (1.0 - inside + ratio * inside), in = ratio * out;
    active_ = true;
    lo_ = lo, hi_ = hi;
    massLo_ = lo * out, massHi_ = massLo_ + inside * in;
    invIn_ = 1.0 / in, invOut_ = 1.0 / out;
}

double FieldSource::lateralPoint(double x, double y) const {
    const double c2 = y * y + height_ * height_;
    const double v = x / std::sqrt(x * x + c2);
    return std::clamp(0.5 * (v * std::sqrt(aa_ + c2) / halfWidth_ + 1.0), 0.0, 1.0);
}

} // namespace kv::engine
