#pragma once
// The keys of the result file's trailer, one row each: the kind of value,
// its unit, what it means and which programs write it. Writers and readers
// name a key through these constants, never by a string of their own, so a
// key cannot be spelt two ways; formats/README.md's table of the keys is made
// from kTrailerKeys (formats_tests fails while the two differ, and rewrites
// the README's table when run with KV_REWRITE_TRAILER_TABLE=1).
//
// A new key: one constant below, its place in kTrailerKeys, and the line that
// writes it (kv::engine::describeRunTrailer for the engines' keys):
//
//   inline constexpr TrailerKey kScanAngles{"scan_angles", TrailerType::Text, "degree",
//                                           "...", kEngines};
//   t.push_back(trailerEntry(trailer::kScanAngles, text));      // writer
//   if (const std::string* v = trailer.find(trailer::kScanAngles)) ...   // reader
#include <array>
#include <concepts>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv::formats {

// One `name = value` line of the trailer.
using TrailerEntry = std::pair<std::string, std::string>;

enum class TrailerType {
    Text,    // one line of any text
    Integer, // a whole number, digits only
    Number,  // a finite decimal written by trailerNumber (every digit a double needs)
    Word,    // one of the key's `words`
    Numbers, // finite decimals separated by one blank, as trailerNumber writes each
};

struct TrailerKey {
    std::string_view name;
    TrailerType type;
    std::string_view unit; // empty for a count, a word or a text
    std::string_view meaning;
    std::string_view writtenBy;
    std::string_view words = {}; // Word keys: the values it takes, separated by blanks

    // Whether `value` is one this key can hold.
    bool accepts(std::string_view value) const;
};

// The name of a kind of value as the README's table shows it.
std::string_view trailerTypeName(TrailerType t);

namespace trailer {

inline constexpr std::string_view kEngines = "halvex, tiravex";
inline constexpr std::string_view kPerKa = "mGy/mGy";

// clang-format off
inline constexpr TrailerKey kEngineVersion{"engine_version", TrailerType::Text, "",
    "the version of the engine that wrote the file, as its `--version` states it (`kv::version()`)", kEngines};
inline constexpr TrailerKey kPhysicsRevision{"physics_revision", TrailerType::Integer, "",
    "the engine's physics revision (`kv::kPhysicsRevision`), bumped when results change on purpose", kEngines};
inline constexpr TrailerKey kBreastModel{"breast_model", TrailerType::Word, "",
    "`workbench` (the box of Phantom.dat) or `protocol` (Geometry.dat's half-cylinder)", kEngines,
    "workbench protocol"};
inline constexpr TrailerKey kGlandularPercent{"glandular_percent", TrailerType::Number, "%",
    "of the box's composition file (as Phantom.dat names it), or of the protocol breast's inner region (by weight)",
    kEngines};
inline constexpr TrailerKey kAdiposeMm{"adipose_mm", TrailerType::Number, "mm",
    "protocol breast only: the adipose layer on top and on the bottom", kEngines};
inline constexpr TrailerKey kAdiposeRimMm{"adipose_rim_mm", TrailerType::Number, "mm",
    "protocol breast only, written when above 0: the adipose round the curved edge, between the two layers",
    kEngines};
inline constexpr TrailerKey kPlates{"plates", TrailerType::Word, "",
    "`full` (paddle and support scatter) or `absorbing` (they attenuate only)", kEngines, "full absorbing"};
inline constexpr TrailerKey kSeed{"seed", TrailerType::Integer, "", "the run's random seed", kEngines};
inline constexpr TrailerKey kHistories{"histories", TrailerType::Integer, "", "the histories in the file", kEngines};
inline constexpr TrailerKey kKFcdPaddlePerKFcd{"k_fcd_paddle_per_k_fcd", TrailerType::Number, kPerKa,
    "air kerma free in air at the FCD with the paddle in the beam / the same without it (the workbench's Ka)",
    kEngines};
inline constexpr TrailerKey kKSurfacePerKFcd{"k_surface_per_k_fcd", TrailerType::Number, kPerKa,
    "incident air kerma at the breast's upper surface behind the paddle, at the chest-wall edge on the centre line "
    "(X = 0, Y = 0; free in air, no backscatter) / the workbench's Ka", kEngines};
inline constexpr TrailerKey kKSurface40mmPerKFcd{"k_surface_40mm_per_k_fcd", TrailerType::Number, kPerKa,
    "the same incident air kerma on the centre line 40 mm from the chest-wall edge (X = 0, Y = 4 cm) / the "
    "workbench's Ka", kEngines};
inline constexpr TrailerKey kKSurface60mmPerKFcd{"k_surface_60mm_per_k_fcd", TrailerType::Number, kPerKa,
    "the same 60 mm from the chest-wall edge (X = 0, Y = 6 cm), where the UK, European and IAEA protocols measure "
    "/ the workbench's Ka", kEngines};
inline constexpr TrailerKey kMgdPerKFcd{"mgd_per_k_fcd", TrailerType::Number, kPerKa,
    "mean glandular dose over all glandular tissue (the whole box; the protocol breast's inner region) per the "
    "workbench's Ka", kEngines};
inline constexpr TrailerKey kMgdPerKFcdPaddle{"mgd_per_k_fcd_paddle", TrailerType::Number, kPerKa,
    "the same mean glandular dose per the air kerma at the FCD with the paddle in the beam", kEngines};
inline constexpr TrailerKey kMgdPerKSurface{"mgd_per_k_surface", TrailerType::Number, kPerKa,
    "the same mean glandular dose per the incident air kerma at the breast's surface: the protocols' g x c x s",
    kEngines};
inline constexpr TrailerKey kMgdSigmaPercent{"mgd_sigma_percent", TrailerType::Number, "%",
    "the mean glandular dose's relative 1-sigma (the kermas are exact)", kEngines};
inline constexpr TrailerKey kSagd{"sagd", TrailerType::Number, kPerKa,
    "the reference column's mean dose per the workbench's Ka (what the results screens show as the sAGD, before the "
    "file's rounding)", kEngines};
inline constexpr TrailerKey kSagdSigmaPercent{"sagd_sigma_percent", TrailerType::Number, "%",
    "the sAGD's relative 1-sigma", kEngines};
inline constexpr TrailerKey kDose100{"dose100", TrailerType::Number, kPerKa,
    "the reference region's entrance-layer dose per the workbench's Ka (the 100 % dose)", kEngines};
inline constexpr TrailerKey kDose100SigmaPercent{"dose100_sigma_percent", TrailerType::Number, "%",
    "the 100 % dose's relative 1-sigma", kEngines};
inline constexpr TrailerKey kMaps{"maps", TrailerType::Word, "",
    "`yes`, or `no` for a run for the numbers (voxels outside the reference column scored where photons interact)",
    kEngines, "yes no"};
inline constexpr TrailerKey kSourcePoints{"source_points", TrailerType::Word, "",
    "`quasi-random` (scrambled Sobol points through the source's inverse) or `independent`", kEngines,
    "quasi-random independent"};
inline constexpr TrailerKey kVoxelSigmaMedianPercent{"voxel_sigma_median_percent", TrailerType::Number, "%",
    "median over the reference region's voxels of their relative 1-sigma, as an estimate of the median sigma",
    kEngines};
inline constexpr TrailerKey kSagdTargetPercent{"sagd_target_percent", TrailerType::Number, "%",
    "where an sAGD target was given: it", kEngines};
inline constexpr TrailerKey kSagdTargetReached{"sagd_target_reached", TrailerType::Word, "",
    "where an sAGD target was given: `yes` or `no` by the result's own sAGD uncertainty", kEngines, "yes no"};
inline constexpr TrailerKey kMapTargetPercent{"map_target_percent", TrailerType::Number, "%",
    "where a map target was given: it", kEngines};
inline constexpr TrailerKey kMapTargetReached{"map_target_reached", TrailerType::Word, "",
    "where a map target was given: `yes` or `no` by the median voxel uncertainty", kEngines, "yes no"};
inline constexpr TrailerKey kScan{"scan", TrailerType::Word, "",
    "tiravex only: the tube's scan, `continuous` (a uniform sweep over the angular range), `step` (discrete "
    "projections, Geometry.dat's `projections`) or `single` (one projection, `projection_angle`)", "tiravex",
    "continuous step single"};
inline constexpr TrailerKey kProjections{"projections", TrailerType::Integer, "",
    "tiravex only: the scan's projections (0 for a continuous sweep, 1 for a single projection)", "tiravex"};
inline constexpr TrailerKey kProjectionAngles{"projection_angles", TrailerType::Numbers, "degree",
    "tiravex only, step and single: each projection's tube angle, in the order of the other per-projection keys",
    "tiravex"};
inline constexpr TrailerKey kProjectionLoading{"projection_loading", TrailerType::Numbers, "",
    "tiravex only, step and single: each projection's share of the scan's tube loading (they add up to 1)",
    "tiravex"};
inline constexpr TrailerKey kRotationAxisCm{"rotation_axis_cm", TrailerType::Number, "cm",
    "tiravex only: the height of the rotation axis above the detector (Geometry.dat's, or FID - FAD)", "tiravex"};
inline constexpr TrailerKey kMgdPerKSurface0deg{"mgd_per_k_surface_0deg", TrailerType::Number, kPerKa,
    "tiravex only: the whole scan's mean glandular dose per the incident air kerma at the breast's surface with "
    "the tube at 0 deg for the scan's whole tube loading (the protocols' g x c x s x T)", "tiravex"};
inline constexpr TrailerKey kMgdPerKSurface0degSigmaPercent{"mgd_per_k_surface_0deg_sigma_percent",
    TrailerType::Number, "%", "tiravex only: its relative 1-sigma", "tiravex"};
inline constexpr TrailerKey kMgdPerKSurfaceI{"mgd_per_k_surface_i", TrailerType::Numbers, kPerKa,
    "tiravex only, step and single: each projection's mean glandular dose per the 0 deg surface air kerma of its "
    "own tube loading (the 0 deg row's g x c x s times that projection's t)", "tiravex"};
inline constexpr TrailerKey kMgdPerKSurfaceISigmaPercent{"mgd_per_k_surface_i_sigma_percent",
    TrailerType::Numbers, "%", "tiravex only: their relative 1-sigmas", "tiravex"};
inline constexpr TrailerKey kTI{"t_i", TrailerType::Numbers, "",
    "tiravex only, a step scan with a 0 deg projection: each projection's t, its dose per its loading over the "
    "0 deg projection's dose per the same loading (so 1 at 0 deg)", "tiravex"};
inline constexpr TrailerKey kTISigmaPercent{"t_i_sigma_percent", TrailerType::Numbers, "%",
    "tiravex only: their relative 1-sigmas (the 0 deg projection's and each one's own, combined)", "tiravex"};
inline constexpr TrailerKey kTScan{"t_scan", TrailerType::Number, "",
    "tiravex only, beside t_i: the scan's T, the sum of each projection's loading share times its t", "tiravex"};
inline constexpr TrailerKey kTScanSigmaPercent{"t_scan_sigma_percent", TrailerType::Number, "%",
    "tiravex only: its relative 1-sigma", "tiravex"};
inline constexpr TrailerKey kContentSha256{"content_sha256", TrailerType::Text, "",
    "always the last line, written with every trailer: the SHA-256 (64 hex digits) of the text from the first dose "
    "value to the line before it, each line end taken as LF; a file whose blocks or trailer were edited is damaged",
    kEngines};
// clang-format on

} // namespace trailer

// Every key, in the order the engines write them.
inline constexpr std::array kTrailerKeys = {
    &trailer::kEngineVersion,
    &trailer::kPhysicsRevision,
    &trailer::kBreastModel,
    &trailer::kGlandularPercent,
    &trailer::kAdiposeMm,
    &trailer::kAdiposeRimMm,
    &trailer::kPlates,
    &trailer::kSeed,
    &trailer::kHistories,
    &trailer::kKFcdPaddlePerKFcd,
    &trailer::kKSurfacePerKFcd,
    &trailer::kKSurface40mmPerKFcd,
    &trailer::kKSurface60mmPerKFcd,
    &trailer::kMgdPerKFcd,
    &trailer::kMgdPerKFcdPaddle,
    &trailer::kMgdPerKSurface,
    &trailer::kMgdSigmaPercent,
    &trailer::kScan,
    &trailer::kProjections,
    &trailer::kProjectionAngles,
    &trailer::kProjectionLoading,
    &trailer::kRotationAxisCm,
    &trailer::kMgdPerKSurface0deg,
    &trailer::kMgdPerKSurface0degSigmaPercent,
    &trailer::kMgdPerKSurfaceI,
    &trailer::kMgdPerKSurfaceISigmaPercent,
    &trailer::kTI,
    &trailer::kTISigmaPercent,
    &trailer::kTScan,
    &trailer::kTScanSigmaPercent,
    &trailer::kSagd,
    &trailer::kSagdSigmaPercent,
    &trailer::kDose100,
    &trailer::kDose100SigmaPercent,
    &trailer::kMaps,
    &trailer::kSourcePoints,
    &trailer::kVoxelSigmaMedianPercent,
    &trailer::kSagdTargetPercent,
    &trailer::kSagdTargetReached,
    &trailer::kMapTargetPercent,
    &trailer::kMapTargetReached,
    &trailer::kContentSha256,
};

// Each name a trailer name (letters, digits, '_') and given once; each Word
// key with its words: a slip here stops the build rather than a reader.
constexpr bool trailerKeysWellFormed() {
    for (size_t i = 0; i < kTrailerKeys.size(); ++i) {
        const TrailerKey& k = *kTrailerKeys[i];
        if (k.name.empty() || k.meaning.empty() || k.writtenBy.empty()) return false;
        for (char c : k.name)
            if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
        if ((k.type == TrailerType::Word) == k.words.empty()) return false;
        for (size_t j = 0; j < i; ++j)
            if (kTrailerKeys[j]->name == k.name) return false;
    }
    return true;
}
static_assert(trailerKeysWellFormed());

// The key of that name, or null for a name the table does not hold.
const TrailerKey* trailerKey(std::string_view name);

// One trailer line for a writer: a text or word as it stands, a whole number
// in its digits, a number through trailerNumber.
TrailerEntry trailerEntry(const TrailerKey& key, std::string value);
TrailerEntry trailerEntry(const TrailerKey& key, double value);
// A Numbers key's line: each value through trailerNumber, one blank between.
TrailerEntry trailerEntry(const TrailerKey& key, const std::vector<double>& values);
// A Numbers value read back; nullopt for anything that is not one.
std::optional<std::vector<double>> trailerNumbers(std::string_view value);
template <std::integral I>
requires(!std::same_as<I, bool>) TrailerEntry trailerEntry(const TrailerKey& key, I value) {
    return trailerEntry(key, std::to_string(value));
}

// formats/README.md's table of the keys, as kTrailerKeys makes it.
std::string trailerKeysTable();

} // namespace kv::formats
