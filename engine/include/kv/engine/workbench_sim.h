#pragma once
// The workbench exposure: focus above the chest-wall edge, compression
// paddle, phantom, breast support and detector plane; glandular dose in
// 1 mm voxels and the air kerma in free space at the FCD.
#include "kv/common/constants.h"
#include "kv/engine/physics.h"
#include "kv/engine/runner.h"
#include "kv/engine/scene.h"
#include "kv/engine/source.h"
#include "kv/photon/material.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kv::engine {

// The result file's grid: a row of the file is the engine's X voxels.
inline constexpr int kVoxelsX = kValuesPerRow; // outwards from X = 0, both halves folded together
inline constexpr int kVoxelsY = kEngineCountY; // from the chest-wall edge
inline constexpr int kMaxLayers = kMaxCountZ;  // the workbench's box
inline constexpr int kMaxProtocolLayers = kMaxEngineCountZ; // the protocol breast, up to 11 cm
inline constexpr double kProtocolRadius = 8.0;              // cm: the half-cylinder about the chest-wall edge
using kv::kMaxProtocolThickness;
using kv::kMinProtocolThickness;
// Per-history channels: the reference region's entrance layer, its column,
// and all glandular tissue of the breast.
inline constexpr size_t kWorkbenchChannels = 3;
inline constexpr double kVoxel = kVoxelCm;
inline constexpr double kPaddleThickness = 0.15; // cm, when Geometry.dat says otherwise nothing
inline constexpr double kSupportThickness = 0.2;
inline constexpr double kSupportToDetector = 1.5;
inline constexpr double kPlateHalfWidth = 12.0; // paddle and support reach past the field
inline constexpr double kPlateDepth = 24.0;
inline constexpr double kDefaultDetectorWidth = 30.0, kDefaultDetectorDepth = 24.0; // cm
// The reference region of the dose quantities (ix 1..20, iy 26..125), 0-based, end exclusive.
inline constexpr int kRefXEnd = kReferenceLastX, kRefYBegin = kReferenceFirstY - 1,
                     kRefYEnd = kReferenceLastY;
static_assert(kReferenceFirstX == 1 && kRefXEnd * (kRefYEnd - kRefYBegin) == kReferenceVoxels);
inline constexpr double kChamberY = 6.0; // cm from the chest-wall edge

// How the voxel dose is scored: along every flight through the phantom
// (expected-value kerma, every voxel crossed), the flights of the photons
// straight from the focus along their whole chord through the phantom,
// weighted by the chance to get there (ExpectedTrack); along every flight as
// it happens (TrackLength); or where the photons interact (Analogue). All
// three have the same expectation.
enum class DoseEstimator { ExpectedTrack, TrackLength, Analogue };

// The protocol breast: a half-cylinder about the chest-wall edge (its flat
// side at Y = 0), covered top and bottom by adipose tissue and, when `rim`
// is above 0, round the curved edge between the layers too; the inner
// region (radius - rim) is WorkbenchSetup::phantom, the glandular tissue
// whose mean dose the whole-breast figures give.
struct ProtocolBreast {
    double radius = kProtocolRadius; // cm
    double adipose = 0.5;            // cm, each of the two layers
    Material adiposeTissue;
    double rim = 0.0; // cm
};

struct WorkbenchSetup {
    bool tomosynthesis = false;
    double fid = 65.0, fad = 60.0, fcd = 60.0; // cm
    double angularRange = 0.0;                 // degrees, plus and minus
    // The scan (tomosynthesis only). `fad` is the focus's distance from the
    // rotation axis. Discrete projections: two or more, from -range to +range
    // equally spaced, each with its share of the tube loading (empty: equal).
    // Or one projection at `singleAngle`. Neither: a continuous uniform sweep.
    int projections = 0;
    std::vector<double> projectionLoading;
    std::optional<double> singleAngle;
    double fieldX = 15.0, fieldY = 15.0; // cm at the detector plane
    // The detector the protocol breast's scan is collimated to: its width
    // along the chest wall (X, centred) and its depth from it (Y from 0).
    double detectorX = kDefaultDetectorWidth, detectorY = kDefaultDetectorDepth;
    double phantomX = 15.0, phantomY = 15.0;                                         // cm
    double thickness = 5.0;                                                          // cm
    double paddleThickness = kPaddleThickness, supportThickness = kSupportThickness; // cm, 0 for none
    Material paddle = materials::polycarbonate(), support = materials::pmma();
    Material phantom;
    RaySpectra spectrum;
    DoseEstimator estimator = DoseEstimator::ExpectedTrack;
    // Empty: the workbench's box of `phantom`, phantomX x phantomY.
    std::optional<ProtocolBreast> protocol;
    // False: paddle and support attenuate the beam, but a photon that
    // interacts in them is not followed (absorbing-only plates).
    bool platesScatter = true;
    // Whether the whole voxel map is wanted. Without it, a run for the
    // numbers: the reference column's voxels keep the estimator's primary
    // dose (the 100 % dose and the sAGD come from them), everything else is
    // scored where the photons interact, and no flight is walked voxel by voxel.
    bool maps = true;
    // Where the focus stands still above the field's middle, source photons
    // from randomised quasi-random points instead of independent draws.
    bool quasiRandom = true;
    // Histories per unit of those points: each unit is a fresh randomisation
    // and one sample of the spread that the stated uncertainties come from.
    // 0: the engine's (kQuasiRandomUnit); a batch holds whole units.
    uint64_t unitHistories = 0;
};

// Histories per unit of quasi-random points, with the maps or without:
// enough units early in a run for a stated uncertainty to be trusted
// (ScalarStats::kMinUnits of them by 262144 histories, 64 by a million).
inline constexpr uint64_t kQuasiRandomUnit = 16384;
static_assert(kBatchSize % kQuasiRandomUnit == 0, "a batch holds whole units");

// A box phantom's quasi-random points fall this many times more densely, and
// weigh as much less, in a band of the field's width: the band through the
// reference column with kImportanceMargin to spare on either side, where
// almost all of the sAGD's primary and scatter dose comes from. The sAGD
// and the reference region's voxels then need about 1.5 times fewer
// histories for the same uncertainty; the whole-breast mean and the voxels
// far out of the band about 1.25 times more.
inline constexpr double kLateralImportance = 2.5;
inline constexpr double kImportanceMargin = 1.0; // cm

// The field of a run: MC.dat's at the detector, or for the protocol breast
// one that covers its upper face with 5 mm to spare; the tube's sweep. A
// protocol scan's field is the detector, cut to where the breast's shadow
// (5 mm to spare) falls at any of the scan's tube angles when the plates only
// absorb: beyond it the primary photons meet nothing that scores.
FieldGeometry fieldGeometry(const WorkbenchSetup& s);
// A discrete scan's tube angles: `projections` equally spaced from -range to +range.
std::vector<double> scanAngles(int projections, double range);

struct WorkbenchResult {
    uint64_t histories = 0;
    uint64_t batches = 0; // those that ran histories
    uint64_t seed = 0;
    unsigned threads = 1;
    double seconds = 0.0;
    bool stopped = false;
    int layers = 0;
    // Glandular dose in eV/g per history; index (iz * kVoxelsY + iy) * kVoxelsX + ix, 0-based.
    std::vector<double> primary, scatter;
    // Relative 1-sigma of primary + scatter per voxel, same index, from the
    // spread of the batches: 1 where nothing was scored, 0 with fewer than
    // two batches (unknown). Without the maps, the reference region's only
    // (0 elsewhere), as no side file is written then.
    std::vector<double> totalRelSigma;
    double airKerma = 0.0; // eV/g per history, free in air at the FCD
    // The same air kerma with the paddle in the beam, and the incident air
    // kerma at the breast's upper surface behind the paddle, on the ray
    // through the chest-wall edge at X = 0 (free in air, no backscatter).
    double airKermaPaddle = 0.0, airKermaSurface = 0.0;
    // The same surface kerma on the midline 40 and 60 mm from the chest wall,
    // where the dosimetry protocols place their dosimeter.
    double airKermaSurface40mm = 0.0, airKermaSurface60mm = 0.0;
    // Mean glandular dose over all glandular tissue of the breast (the whole
    // box; the protocol breast's inner region), eV/g per history.
    double breastDose = 0.0, breastRelSigma = 0.0;
    // A discrete scan's: each projection's share of breastDose (they add up
    // to it), its relative 1-sigma, and per history the sums behind them
    // (each score's square, per projection), for ratios' uncertainties.
    std::vector<double> projectionDose, projectionRelSigma, projectionSquares;
    double breastSquares = 0.0;        // per history, the whole-breast score's square
    std::vector<double> loadingShares; // a discrete scan's, summing to 1
    // Mean dose of the reference region's entrance layer and of its whole
    // column (the quantities behind the 100 % dose and the sAGD), with
    // the relative standard deviation of each mean.
    double referenceDose = 0.0, referenceRelSigma = 0.0;
    double columnDose = 0.0, columnRelSigma = 0.0;
    // How the run ended besides `stopped`: at its target uncertainties.
    bool targetReached = false;
    double targetRelSigma = 0.0;    // sAGD; 0: no target was set
    double mapTargetRelSigma = 0.0; // median voxel; 0: none
    // Median over the reference region's voxels of totalRelSigma, as an
    // estimate of the median sigma (0 with fewer than two batches).
    double mapRelSigma = 0.0;
    bool maps = true, quasiRandom = false;
    unsigned processes = 1;
};

// One process's share of a run, before the processes' shares are added up.
struct RunPart {
    uint64_t asked = 0, seed = 0;
    unsigned threads = 1;
    double seconds = 0.0, targetRelSigma = 0.0, mapTargetRelSigma = 0.0;
    bool targetReached = false;
    std::vector<ScalarStats> batches; // every batch in order; empty where another process ran it
    // Exact voxel sums in 1 meV, [voxel][primary, scatter]: integers, so
    // adding the shares in any order gives the same totals.
    std::vector<int64_t> tally;
    // Per voxel, the sum over batches of scaledSquare(batch total in 1 meV):
    // the voxel uncertainty's ingredient; shares add up exactly.
    std::vector<uint64_t> squares;
};

// The reference region's voxels of MapSums, in this order: ix 1..20, iy
// 26..125 and every layer, index (iz * 100 + iy - 25) * 20 + ix.
inline constexpr size_t kReferenceColumnVoxels = size_t{kRefXEnd} * (kRefYEnd - kRefYBegin);

class WorkbenchSimulation {
  public:
    explicit WorkbenchSimulation(WorkbenchSetup setup);
    ~WorkbenchSimulation();

    // Batch b of `batchSize` histories draws from random stream b of `seed`.
    WorkbenchResult run(uint64_t histories, uint64_t seed, unsigned threads, RunControl& ctl,
                        uint64_t batchSize = kBatchSize) const;
    // run() in two steps, for runs shared over processes (ctl.share()).
    RunPart runPart(uint64_t histories, uint64_t seed, unsigned threads, RunControl& ctl,
                    uint64_t batchSize = kBatchSize) const;
    WorkbenchResult finish(const RunPart& part) const;
    double airKerma() const { return airKerma_; }
    // The per-history sums: kWorkbenchChannels, then one per projection of a discrete scan.
    size_t channels() const { return kWorkbenchChannels + projectionAngles_.size(); }
    // A discrete scan's tube angles (empty otherwise) and loading shares (sum 1).
    const std::vector<double>& projectionAngles() const { return projectionAngles_; }
    const std::vector<double>& loadingShares() const { return source_->loadingShares(); }
    double airKermaPaddle() const { return airKermaPaddle_; }
    double airKermaSurface() const { return airKermaSurface_; }
    double airKermaSurface40mm() const { return airKermaSurface40mm_; }
    double airKermaSurface60mm() const { return airKermaSurface60mm_; }
    // The glandular tissue the whole-breast mean is over, cm3.
    double breastVolume() const { return breastVolume_; }
    // Air kerma, free in air, per history at p with the tube at 0 deg; with
    // `behindPaddle` through the paddle on the ray from the focus.
    double airKermaAt(Vec3 p, bool behindPaddle) const;
    int layers() const { return layers_; }
    double phantomTop() const { return phantomTop_; }
    const WorkbenchSetup& setup() const { return setup_; }
    const Scene& scene() const { return *scene_; }
    const FieldSource& source() const { return *source_; }
    // How the quasi-random points' lateral coordinate is importance sampled.
    const IntervalImportance& lateralImportance() const { return lateral_; }
    // Whether the source photons come from quasi-random points.
    bool quasiRandom() const { return setup_.quasiRandom && source_->invertible(); }
    const std::vector<MaterialPhysics>& physics() const { return physics_; }
    // (mu_en/rho of glandular tissue) / (mu_en/rho of the phantom material)
    double glandularWeight(double e) const { return tissues_[0].glandWeight.at(e); }
    // Track-length score of a photon of energy e: eV per cm of flight
    // through the phantom, glandular-weighted.
    double trackWeight(double e) const { return tissues_[0].trackWeight.at(e); }

    class Worker; // one per thread

  private:
    WorkbenchSetup setup_;
    std::vector<MaterialPhysics> physics_;
    std::unique_ptr<Scene> scene_;
    std::unique_ptr<FieldSource> source_;
    IntervalImportance lateral_;
    // The breast's tissues, by physics index (0 the phantom or inner region,
    // then the adipose layers'): what a voxel scores per eV deposited or per
    // cm of flight, as glandular dose in the voxel mass of the phantom.
    struct Tissue {
        GridTable glandWeight; // deposit -> glandular-equivalent, times rho(phantom) / rho(tissue)
        GridTable trackWeight; // eV per cm of flight, glandular-weighted, same scale
    };
    std::vector<Tissue> tissues_;
    // Per scene region: its tissue (-1: no breast), and whether it counts in
    // the whole-breast mean (bytes: every flight asks, and a packed bit costs
    // a shift and a mask).
    std::vector<int> regionTissue_;
    std::vector<uint8_t> regionGlandular_;
    // The protocol breast's rim: a straight line may enter it twice (past the
    // inner region), so the expected chord of its first entry would miss the
    // second; its primaries are scored along their flights instead.
    std::vector<uint8_t> regionReentrant_;
    int layers_ = 0;
    double phantomTop_ = 0.0;
    double paddleTop_ = 0.0;
    std::vector<double> layerThickness_;
    double airKerma_ = 0.0, airKermaPaddle_ = 0.0, airKermaSurface_ = 0.0;
    double airKermaSurface40mm_ = 0.0, airKermaSurface60mm_ = 0.0;
    double breastVolume_ = 0.0;
    std::vector<double> projectionAngles_;
};

} // namespace kv::engine
