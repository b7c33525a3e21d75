#pragma once
// The X-ray focus: a point source whose photons are collimated to a
// rectangle on the detector plane, with the spectrum and the emission per
// unit solid angle of each ray of the heel-effect table.
#include "kv/engine/random.h"
#include "kv/engine/vec.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kv::engine {

// Relative photon numbers per ray and energy. Ray k covers the angles
// [k, k+1) * rayWidth degrees from the central axis, measured in the plane
// that holds the axis and Y; a single ray means no heel effect.
struct RaySpectra {
    double rayWidthDeg = 0.5;
    std::vector<double> energies;             // keV, one per bin
    std::vector<std::vector<double>> weights; // [ray][bin]
};

// Walker's alias table over the bins of one ray.
class AliasTable {
  public:
    explicit AliasTable(const std::vector<double>& w);
    uint32_t sample(Rng& rng) const {
        double u = rng.uniform() * static_cast<double>(cells_.size());
        uint32_t i = static_cast<uint32_t>(u);
        const Cell& c = cells_[i];
        // a coin the branch predictor cannot guess: select instead of jumping
        uint32_t keep = (u - i) < c.prob;
        return keep * i + (1u - keep) * c.alias;
    }

  private:
    // probability and alias side by side: one cache line per draw
    struct Cell {
        double prob;
        uint32_t alias;
    };
    std::vector<Cell> cells_;
};

struct SourcePhoton {
    Vec3 pos, dir;
    double energy;
    uint32_t projection = 0; // of a discrete scan: the index into FieldGeometry::projectionAngles
};

struct FieldGeometry {
    double detectorZ = 65.0;    // Z of the detector plane; the focus at 0 deg is the origin
    double x0 = -7.5, x1 = 7.5; // field on the detector plane
    double y0 = 0.0, y1 = 15.0;
    double pivotDepth = 60.0; // the rotation axis: parallel to Y, this far below the focus at 0 deg
    double angleMinDeg = 0.0, angleMaxDeg = 0.0; // tube angle drawn uniformly in this range
    // A discrete scan instead (two or more): each projection's tube angle and
    // its share of the tube loading (any positive total). A history belongs to
    // projection i with the chance loading_i x the solid angle of its field.
    std::vector<double> projectionAngles = {}, projectionLoading = {};
};

// A density on [0, 1] that is `ratio` times higher inside [lo, hi] than
// outside, for importance sampling one coordinate of the quasi-random points:
// warp() moves a uniform u to such a point and returns the weight that keeps
// every score's expectation (1 / density there). Ratio 1, or an interval
// that covers [0, 1], leaves u as it is with weight 1.
class IntervalImportance {
  public:
    IntervalImportance() = default;
    IntervalImportance(double lo, double hi, double ratio);
    bool active() const { return active_; }
    double warp(double& u) const {
        if (u < massLo_) {
            u *= invOut_;
            return invOut_;
        }
        if (u < massHi_) {
            u = lo_ + (u - massLo_) * invIn_;
            return invIn_;
        }
        u = hi_ + (u - massHi_) * invOut_;
        return invOut_;
    }

  private:
    bool active_ = false;
    double lo_ = 0, hi_ = 1, massLo_ = 0, massHi_ = 1, invIn_ = 1, invOut_ = 1;
};

class FieldSource {
  public:
    FieldSource(const FieldGeometry& g, const RaySpectra& s);

    SourcePhoton sample(Rng& rng) const;
    // The same distribution from three uniforms by inversion, no rejection,
    // so that evenly spread points give evenly spread photons: u[0] the
    // distance from the chest wall, u[1] the lateral position, u[2] the
    // energy. Only for a focus fixed above the middle of the field's width
    // (no sweep): invertible() says whether this source is one.
    bool invertible() const { return invertible_; }
    SourcePhoton sampleInverted(const std::array<double, 3>& u) const;
    // The u[1] of sampleInverted that lands at x on the detector row y.
    double lateralPoint(double x, double y) const;

    // Photons emitted into the field per unit of the table's weight per
    // steradian, averaged over the tube angles (a discrete scan's weighted by
    // their loading): one history stands for 1/emittedIntoField() of the
    // source, whatever its angle.
    double emittedIntoField() const { return emitted_; }
    // A discrete scan's: each projection's loading share (sum 1) and the
    // photons it sends into the field per unit of emission per steradian.
    const std::vector<double>& loadingShares() const { return shares_; }
    const std::vector<double>& projectionEmission() const { return projectionEmitted_; }
    // Photons per cm2 per history of each bin at point p with the tube at
    // angle 0 (free space, inverse square): fluence[bin].
    std::vector<double> fluenceAt(Vec3 p) const;
    // Focus position and central axis at a tube angle.
    Vec3 focus(double angleDeg) const;
    Vec3 axis(double angleDeg) const;
    const RaySpectra& spectra() const { return spectra_; }

  private:
    uint32_t rayOf(double tanAngle) const;
    // The same ray, searched for from ray k (any k: the search settles on it exactly).
    uint32_t rayFrom(double tanAngle, uint32_t k) const;
    // Focus and central axis at one tube angle, from one sine and cosine.
    void focusAndAxis(double angleDeg, Vec3& focus, Vec3& axis) const;
    double emissionIntegral(double angleDeg, int n) const;

    FieldGeometry g_;
    RaySpectra spectra_;
    std::vector<double> raySum_;   // emission per steradian of each ray
    std::vector<double> rayShare_; // raySum_ / rayMax_
    double invTan1_ = 0;           // 1 / tanEdge_[1], for the first guess of a ray
    std::vector<double> tanEdge_;  // tan of the ray edges
    std::vector<AliasTable> alias_;
    double rayMax_ = 0;
    double minHeight2_ = 0; // square of the smallest focus height over the angles
    double emitted_ = 0;
    Vec3 fixedFocus_, fixedAxis_; // without a sweep
    // A discrete scan: shares of the loading, their running sums (the last 1)
    // for the draw, each projection's focus, axis and emission into the field.
    std::vector<double> shares_, shareCum_, projectionEmitted_;
    std::vector<Vec3> projectionFocus_, projectionAxis_;

    // Inversion: the field's rows cut where the ray changes, each strip
    // with its share of the photons; within a strip the solid angle M(y) of
    // the field's rows up to y is inverted in closed form.
    struct Strip {
        double y0, m0; // where it starts and M there
        double cum;    // photons of the strips before it
        uint32_t ray;
    };
    double solidAngleTo(double y) const;
    bool invertible_ = false;
    double height_ = 0, halfWidth_ = 0; // focus to detector; half the field's width
    double aa_ = 0, aaPlusHh_ = 0;      // halfWidth_^2 and halfWidth_^2 + height_^2
    std::vector<Strip> strips_;
    std::vector<double> energyCum_; // per ray, the cumulative spectrum, rays one after another
    // Where a search for u in [k, k+1) / kGuideCells of the cumulative
    // photons may start: the strips', and each ray's bins'.
    static constexpr uint32_t kGuideCells = 256;
    std::vector<uint32_t> stripGuide_, energyGuide_;
};

// tan(x), by its series where |x| <= 0.1 (a field's half solid angle seldom
// reaches it), within about a rounding of the library's at a third of its cost.
[[gnu::always_inline]] inline double tanOfHalfAngle(double x) {
    if (!(std::fabs(x) <= 0.1)) return std::tan(x);
    const double x2 = x * x;
    // 1/3, 2/15, 17/315, 62/2835, 1382/155925, 21844/6081075: the remainder is below 2e-17 x
    const double p =
        0x1.5555555555555p-2 +
        x2 * (0x1.1111111111111p-3 +
              x2 * (0x1.ba1ba1ba1ba1cp-5 +
                    x2 * (0x1.664f4882c10fap-6 + x2 * (0x1.226e355e6c23dp-7 + x2 * 0x1.d6d3d0e157de0p-9))));
    return x + x * x2 * p;
}

// Inline: once a history, where its call cost some 20 instructions.
inline SourcePhoton FieldSource::sampleInverted(const std::array<double, 3>& u) const {
    const double a = halfWidth_, h = height_;
    // The strip, then the row whose solid angle from the focus row is the
    // photon's share: tan(M/2) = a y / (h r) solved for y.
    const double w = u[0] * strips_.back().cum;
    // The strip whose photons hold w: the first whose end lies above it.
    size_t i = stripGuide_[static_cast<size_t>(u[0] * kGuideCells)];
    while (strips_[i + 1].cum <= w)
        ++i;
    const Strip& st = strips_[i];
    const Strip& next = strips_[i + 1];
    const double m = st.m0 + (w - st.cum) / raySum_[st.ray];
    const double t = tanOfHalfAngle(0.5 * m);
    double y = t * h * std::sqrt(aaPlusHh_ / (aa_ - t * t * h * h));
    y = std::clamp(y, st.y0, next.y0);
    // Across the row the density goes as (x^2 + c^2)^-3/2, whose integral is
    // x / sqrt(x^2 + c^2).
    const double c2 = y * y + h * h;
    const double v = (2.0 * u[1] - 1.0) * a / std::sqrt(aa_ + c2);
    const double x = std::clamp(std::sqrt(c2) * v / std::sqrt(1.0 - v * v), -a, a);
    // The energy by the ray's cumulative spectrum.
    const size_t bins = spectra_.energies.size();
    const double* cum = energyCum_.data() + st.ray * bins;
    const double target = u[2] * cum[bins - 1];
    size_t bin = energyGuide_[st.ray * kGuideCells + static_cast<size_t>(u[2] * kGuideCells)];
    while (bin + 1 < bins && cum[bin] <= target)
        ++bin;
    const Vec3 d{x, y, h};
    return {fixedFocus_, (1.0 / std::sqrt(dot(d, d))) * d, spectra_.energies[bin]};
}

} // namespace kv::engine
