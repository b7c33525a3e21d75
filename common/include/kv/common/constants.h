#pragma once
// The numbers that more than one layer lives by, each once: the engines, the
// file formats, the results model, the spectrum model, the screens and the
// tools take them from here (often under a name of their own layer, as a
// using-declaration or defined from these), and the static_asserts below and
// beside those names stop the build where two of them would disagree.
#include <cstdint>

namespace kv {

// ---- units ----
inline constexpr double kEvPerKev = 1000.0;

// ---- the voxel grid of the result files, counted from 1 as the files count ----
inline constexpr double kVoxelCm = 0.1;  // 1 mm voxels on every axis
inline constexpr int kValuesPerRow = 75; // every row of a result file, whatever GridCountX says
inline constexpr int kMaxCountX = 76;    // GridCountX a result file may give
inline constexpr int kMaxCountY = 151;
inline constexpr int kMaxCountZ = 60; // the results screens' deepest box
inline constexpr int kMaxEngineCountZ =
    110; // the engines' protocol breast: the tools read it, the screens refuse it
inline constexpr int kEngineCountY = 150; // rows the engines score, from the chest-wall edge

// The reference region of the 100 % dose, the depth dose and the sAGD.
inline constexpr int kReferenceFirstX = 1, kReferenceLastX = 20;
inline constexpr int kReferenceFirstY = 26, kReferenceLastY = 125;
inline constexpr int kReferenceVoxels = // per layer
    (kReferenceLastX - kReferenceFirstX + 1) * (kReferenceLastY - kReferenceFirstY + 1);

// ---- the spectrum's energy grid: bins of 0.2 keV from 0.2 to 50 keV ----
inline constexpr int kSpectrumBins = 250;
inline constexpr double kBinKev = 0.2;

// ---- what a run may ask for ----
inline constexpr double kMaxHistories = 1e11;                     // the voxel sums stay exact up to here
inline constexpr double kMinThickness = 0.1, kMaxThickness = 6.0; // cm, the workbench's box
inline constexpr double kMinProtocolThickness = 2.0, kMaxProtocolThickness = 11.0; // cm, the protocol breast
inline constexpr double kMinDistance = 1.0, kMaxDistance = 500.0;                  // cm: FID, FAD, FCD
inline constexpr double kMinFieldSide = 0.1, kMaxFieldSide = 100.0;                // cm, at the FID
inline constexpr double kMaxAngularRange = 60.0;                                   // deg, plus and minus
inline constexpr double kMinTubeVoltage = 15.0, kMaxTubeVoltage = 50.0;            // kV
inline constexpr double kMaxTargetAngle = 45.0;                                    // deg, more than 0
inline constexpr double kMaxTubeTilt = 30.0;                                       // deg, either way
inline constexpr double kMaxFilterMm = 20.0;
inline constexpr double kMaxAirLayerCm = 500.0;
// The tools' --threads and --shard I/N.
inline constexpr uint64_t kMaxThreads = 1024;
inline constexpr uint64_t kMaxShards = 100000;

// The engines' physics revision, written into every result's trailer: bump it
// whenever a change to the physics or the scoring changes results on purpose
// (and rewrite the golden results with it).
// 2: quasi-random source points, rows without maps; 3: the protocol breast without the heel effect;
// 4: units of 16384 quasi-random points with the maps too (the stated uncertainties' samples)
// 5: a protocol scan collimated to the detector, so the swung focus irradiates the whole breast
// 6: free paths by the ziggurat, an inline exp, and the box phantom's points importance sampled across the
// field
// 7: one free path per flight between interactions, used up across regions; the azimuth from one draw, the
// source's tangent by its series
inline constexpr int kPhysicsRevision = 7;

// A box or breast of the thickest kind fills the grid's layers exactly.
static_assert(kMaxThickness * 10 == kMaxCountZ && kMaxProtocolThickness * 10 == kMaxEngineCountZ);
static_assert(kVoxelCm * 10 == 1.0);
// The engines' rows fit a result file and hold the whole reference region.
static_assert(kEngineCountY < kMaxCountY && kReferenceLastY <= kEngineCountY);
static_assert(kReferenceLastX <= kValuesPerRow && kValuesPerRow < kMaxCountX);
static_assert(kReferenceVoxels == 2000);
// The highest tube voltage is the last energy bin: nothing is emitted above it.
static_assert(kSpectrumBins * kBinKev == kMaxTubeVoltage);

} // namespace kv
