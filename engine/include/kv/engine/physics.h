#pragma once
// Interaction data of each material, tabulated once from xraylib, and the
// samplers of the two scattering processes.
#include "kv/engine/random.h"
#include "kv/photon/material.h"

#include <bit>
#include <cstdint>
#include <vector>

namespace kv::engine {

// The engine's materials are photon's.
using photon::ElementShare;
using photon::Material;
using photon::materialFromFormula;
namespace materials = photon::materials;

inline constexpr double kElectronMass = 510.99895; // keV
inline constexpr double kHcKevAngstrom = 12.398419843;
// Below this a photon is absorbed where it is.
inline constexpr double kMinEnergy = 1.0; // keV

// Energy grid from 1 to 128 keV: 256 equal cells per octave, found from the
// bits of the energy (no logarithm), linear interpolation inside a cell.
inline constexpr int kCellsPerOctave = 256;
inline constexpr int kOctaves = 7;
inline constexpr int kCells = kCellsPerOctave * kOctaves;
inline constexpr double kMaxEnergy = 128.0;

struct GridPoint {
    uint32_t cell;
    double offset; // keV above the cell's lower node
};

inline GridPoint gridPoint(double e) {
    if (e < 1.0) e = 1.0;
    uint64_t b = std::bit_cast<uint64_t>(e);
    uint64_t node = b & ~((uint64_t{1} << 44) - 1);
    return {static_cast<uint32_t>((b >> 44) - (uint64_t{1023} << 8)), e - std::bit_cast<double>(node)};
}

inline double cellEnergy(uint32_t cell) {
    return std::bit_cast<double>((uint64_t{cell} + (uint64_t{1023} << 8)) << 44);
}

// A quantity on the grid: value and slope per cell.
class GridTable {
  public:
    template <class F> void build(F f) {
        a_.resize(kCells + 1);
        b_.assign(kCells + 1, 0.0);
        for (uint32_t i = 0; i <= kCells; ++i)
            a_[i] = f(cellEnergy(i));
        for (uint32_t i = 0; i < kCells; ++i)
            b_[i] = (a_[i + 1] - a_[i]) / (cellEnergy(i + 1) - cellEnergy(i));
    }
    double at(GridPoint g) const { return a_[g.cell] + b_[g.cell] * g.offset; }
    double at(double e) const { return at(gridPoint(e)); }

  private:
    std::vector<double> a_, b_;
};

// Mass coefficients (cm2/g) of a mixture, straight from xraylib.
struct MixtureData {
    static double photo(const Material& m, double e);
    static double rayleigh(const Material& m, double e);
    static double compton(const Material& m, double e);
    // Mass energy-absorption coefficient (kv::photon, shared with the
    // spectrum tool's beam quality).
    static double energyAbsorption(const Material& m, double e);
    // sum over elements of w/A * F(x)^2 and w/A * S(x); x in 1/Angstrom
    static double formFactorSquared(const Material& m, double x);
    static double scatteringFunction(const Material& m, double x);
};

class MaterialPhysics {
  public:
    explicit MaterialPhysics(const Material& m);
    // The same tables, built once per process for each material (name,
    // density and composition alike) and copied from there after: the rows
    // of kv-sweep and kv-audit share their plates' and tissues' tables, the
    // most of a run's set-up. Safe from any thread.
    static MaterialPhysics shared(const Material& m);

    struct Cell {
        double mu, dmu;       // total linear attenuation, 1/cm
        double photo, dphoto; // photoelectric part
        double coh, dcoh;     // photoelectric + coherent
    };
    const Cell& cell(uint32_t i) const { return cells_[i]; }
    double muTotal(double e) const {
        GridPoint g = gridPoint(e);
        const Cell& c = cells_[g.cell];
        return c.mu + c.dmu * g.offset;
    }
    // Mass energy-absorption coefficient, cm2/g.
    double muEnOverRho(double e) const { return muEn_.at(e); }
    // What the transport deposits on average per cm of flight, as a share of
    // the photon's energy (1/cm): photoabsorption whole, incoherent
    // scattering its electron's mean energy under this class's own sampler.
    // A track-length score with it has the analogue deposits' expectation.
    double depositPerCm(double e) const { return deposit_.at(e); }
    double depositPerCm(GridPoint g) const { return deposit_.at(g); }
    double density() const { return density_; }
    const Material& material() const { return material_; }

    // Polar cosine of an incoherent scatter (Klein-Nishina with the
    // incoherent scattering function) at energy e.
    double sampleComptonCosine(double e, Rng& rng) const;
    // Polar cosine of a coherent scatter (Thomson with the form factor).
    double sampleRayleighCosine(double e, Rng& rng) const;

  private:
    double scatteringFunctionRatio(double x) const; // S(x) / S(infinity)
    // Mean share of the energy an incoherent scatter hands to its electron.
    double meanIncoherentLoss(double e) const;
    Material material_;
    double density_;
    std::vector<Cell> cells_;
    GridTable muEn_, deposit_;
    // S(x)/S_max on a uniform x grid
    std::vector<double> sRatio_;
    double sStep_ = 0;
    // cumulative integral of F^2 over u = x^2 on a uniform x grid
    std::vector<double> xNode_, uNode_, cumF2_;
    // For equal steps of the cumulative integral, the first node above the
    // step's start: a search starts there instead of bisecting.
    std::vector<uint32_t> cumGuide_;
    double cumGuideScale_ = 0;
};

// Photoelectric cross section is all absorption: an interaction returns
// what it deposits.
enum class Interaction { Photoelectric, Coherent, Incoherent };

} // namespace kv::engine
