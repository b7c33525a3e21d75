#include "rhodium_fit.h"

#include "kv/spectrum/model/measured_source.h"

#include <array>
#include <cmath>
#include <stdexcept>
#include <string>

namespace kv::data {
namespace {

using spectrum::kBins;
using spectrum::RhodiumConstants;
using Ray = std::array<double, kBins>;

constexpr int kShapeTerms = 8; // s1..s4, then their slopes
// Bins 98..102 are 19.5-20.5 keV, bins 108..117 21.5-23.5 keV: edges that the
// catalogue's 0.25 keV bins share, so no measured photon is split across them.
constexpr int kAlphaWindow[] = {98, 102};
constexpr int kBetaWindow[] = {108, 117};
constexpr int kFirstFitBin = 25; // 5 keV: below it the window and the air leave too few photons

bool inWindow(int i) {
    return (i >= kAlphaWindow[0] && i <= kAlphaWindow[1]) || (i >= kBetaWindow[0] && i <= kBetaWindow[1]);
}

// Solves a·x = b by Gaussian elimination with partial pivoting.
std::vector<double> solve(std::vector<std::vector<double>> a, std::vector<double> b) {
    const size_t n = b.size();
    for (size_t c = 0; c < n; ++c) {
        size_t p = c;
        for (size_t r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
        std::swap(a[c], a[p]);
        std::swap(b[c], b[p]);
        if (a[c][c] == 0) throw std::runtime_error("the shape fit has no unique solution");
        for (size_t r = c + 1; r < n; ++r) {
            const double f = a[r][c] / a[c][c];
            for (size_t k = c; k < n; ++k)
                a[r][k] -= f * a[c][k];
            b[r] -= f * b[c];
        }
    }
    std::vector<double> x(n);
    for (size_t c = n; c-- > 0;) {
        double s = b[c];
        for (size_t k = c + 1; k < n; ++k)
            s -= a[c][k] * x[k];
        x[c] = s / a[c][c];
    }
    return x;
}

struct Spectrum {
    int kv;
    int lastFitBin;
    Ray measured;                       // normalised to 1
    std::array<Ray, kShapeTerms + 1> b; // B0, B1..B4 and (V − 30)/10 · B1..B4
};

Ray continuum(const Spectrum& s, const std::array<double, kShapeTerms>& shape) {
    Ray c = s.b[0];
    for (int n = 0; n < kShapeTerms; ++n)
        for (int i = 0; i < kBins; ++i)
            c[i] += shape[n] * s.b[n + 1][i];
    return c;
}

// The scale of `c` that best meets the measured bins.
double scaleOf(const Spectrum& s, const Ray& c) {
    double num = 0, den = 0;
    for (int i = kFirstFitBin; i <= s.lastFitBin; ++i)
        if (!inWindow(i) && s.measured[i] > 0) num += c[i], den += c[i] * c[i] / s.measured[i];
    return num / den;
}

} // namespace

spectrum::SpectrumFields rhodiumCatalogueFields(int kv) {
    spectrum::SpectrumFields f;
    f.tubeVoltage = std::to_string(kv);
    f.targetAngle = "18";
    f.tubeTiltAngle = "2.75";
    f.beryllium = "0.15";
    f.aluminum = "0";
    f.molybdenum = "0";
    f.rhodium = "0";
    f.silver = "0";
    f.airLayer = "100";
    return f;
}

RhodiumFit fitRhodium(const spectrum::PhysicalData& data, const std::filesystem::path& dir, int fromKv,
                      int toKv) {
    std::vector<Spectrum> spectra;
    for (int kv = fromKv; kv <= toKv; ++kv) {
        Spectrum s{kv, static_cast<int>(std::floor(5 * (kv - 0.6))), {}, {}};
        const formats::MeasuredSpectrum m =
            formats::readMeasuredSpectrum(dir / ("Rh_" + std::to_string(kv) + "kV.dat"));
        s.measured = spectrum::rebinnedFluence(m, kv);
        double total = 0;
        for (double x : s.measured)
            total += x;
        for (double& x : s.measured)
            x /= total;
        // Without lines; W(u) = 1, then 1 + u^n.
        RhodiumConstants c{{0, 0, 0, 0}, {0, 0, 0, 0}, 0, 1, 0, 1};
        const spectrum::SpectrumFields f = rhodiumCatalogueFields(kv);
        s.b[0] = spectrum::raySpectrum(spectrum::TargetMaterial::Rhodium, data, f, kRhodiumCatalogueRay, c);
        for (int n = 0; n < kShapeTerms; ++n) {
            RhodiumConstants cn = c;
            cn.shape[n] = 1;
            s.b[n + 1] =
                spectrum::raySpectrum(spectrum::TargetMaterial::Rhodium, data, f, kRhodiumCatalogueRay, cn);
            for (int i = 0; i < kBins; ++i)
                s.b[n + 1][i] -= s.b[0][i];
        }
        spectra.push_back(s);
    }

    // Gauss-Newton over the shape and one scale per spectrum, residuals
    // (scale·ray − m)/√m; the ray is linear in the shape, so a few steps do.
    RhodiumFit fit;
    std::array<double, kShapeTerms> shape{};
    std::vector<double> scales;
    for (const Spectrum& s : spectra)
        scales.push_back(scaleOf(s, continuum(s, shape)));
    const size_t unknowns = kShapeTerms + spectra.size();
    for (fit.iterations = 1; fit.iterations <= 50; ++fit.iterations) {
        std::vector<std::vector<double>> a(unknowns, std::vector<double>(unknowns));
        std::vector<double> b(unknowns);
        for (size_t n = 0; n < spectra.size(); ++n) {
            const Spectrum& s = spectra[n];
            const Ray c = continuum(s, shape);
            for (int i = kFirstFitBin; i <= s.lastFitBin; ++i) {
                if (inWindow(i) || !(s.measured[i] > 0)) continue;
                const double w = 1 / s.measured[i];
                const double r = scales[n] * c[i] - s.measured[i];
                double j[kShapeTerms + 1];
                for (int p = 0; p < kShapeTerms; ++p)
                    j[p] = scales[n] * s.b[p + 1][i];
                j[kShapeTerms] = c[i];
                size_t at[kShapeTerms + 1];
                for (int p = 0; p < kShapeTerms; ++p)
                    at[p] = static_cast<size_t>(p);
                at[kShapeTerms] = kShapeTerms + n;
                for (int p = 0; p <= kShapeTerms; ++p) {
                    b[at[p]] -= w * j[p] * r;
                    for (int q = 0; q <= kShapeTerms; ++q)
                        a[at[p]][at[q]] += w * j[p] * j[q];
                }
            }
        }
        const std::vector<double> step = solve(a, b);
        double moved = 0;
        for (int p = 0; p < kShapeTerms; ++p) {
            shape[p] += step[p];
            moved = std::max(moved, std::fabs(step[p]));
        }
        for (size_t n = 0; n < spectra.size(); ++n)
            scales[n] += step[kShapeTerms + n];
        if (moved < 1e-10) break;
    }
    for (int n = 0; n < 4; ++n) {
        fit.constants.shape[n] = shape[n];
        fit.constants.slope[n] = shape[n + 4];
    }

    // Line fractions, then their power law in V/E_K − 1.
    double sums[2][5] = {}; // Σw, Σwx, Σwy, Σwxx, Σwxy for Kα, Kβ
    int points[2] = {};
    for (const Spectrum& s : spectra) {
        RhodiumFitRow row{s.kv};
        const Ray c = continuum(s, shape);
        const double k = scales[fit.rows.size()];
        if (s.kv > spectrum::kRhodiumKEdge) {
            double under[2] = {}, line[2] = {};
            for (const spectrum::RhodiumLine& l : spectrum::kRhodiumLines)
                under[l.alpha ? 0 : 1] += l.share * k * c[l.bin];
            const int* windows[2] = {kAlphaWindow, kBetaWindow};
            for (int g = 0; g < 2; ++g)
                for (int i = windows[g][0]; i <= windows[g][1]; ++i)
                    line[g] += s.measured[i] - k * c[i];
            row.alphaFraction = line[0] / under[0];
            row.betaFraction = line[1] / under[1];
            const double x = std::log(s.kv / spectrum::kRhodiumKEdge - 1);
            const double f[2] = {row.alphaFraction, row.betaFraction};
            for (int g = 0; g < 2; ++g)
                if (f[g] > 0) {
                    const double y = std::log(f[g]);
                    // Weighted by f², so that the fit meets the lines where they are strong.
                    const double w = f[g] * f[g];
                    sums[g][0] += w, sums[g][1] += w * x, sums[g][2] += w * y, sums[g][3] += w * x * x,
                        sums[g][4] += w * x * y;
                    ++points[g];
                }
        }
        fit.rows.push_back(row);
    }
    double scale[2], power[2];
    for (int g = 0; g < 2; ++g) {
        const double n = sums[g][0];
        if (points[g] < 2) throw std::runtime_error("too few spectra above the K edge to fit the lines");
        power[g] = (n * sums[g][4] - sums[g][1] * sums[g][2]) / (n * sums[g][3] - sums[g][1] * sums[g][1]);
        scale[g] = std::exp((sums[g][2] - power[g] * sums[g][1]) / n);
    }
    fit.constants.alphaScale = scale[0];
    fit.constants.alphaPower = power[0];
    fit.constants.betaScale = scale[1];
    fit.constants.betaPower = power[1];
    return fit;
}

} // namespace kv::data
