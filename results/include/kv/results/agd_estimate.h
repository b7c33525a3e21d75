#pragma once
// The uncertainties a result file's header states, as the results screens
// and kv-report show them, and the AGD of a measured air kerma.
#include "kv/formats/result_file.h"
#include "kv/formats/run_header.h"
#include "kv/texts/results_extras.h"

#include <array>
#include <optional>
#include <string>

namespace kv::results {

using formats::StatedUncertainty;

// The relative sigma as the screens show it: "± 0.10 %". Empty when not stated.
std::string plusMinusPercent(const std::optional<double>& relative);

// Where the user measured the air kerma the AGD is formed from: the sAGD's
// own point (free in air at the FCD, no paddle), the same point with the
// paddle in the beam, or the breast's upper surface behind the paddle (as the
// dosimetry protocols measure it).
enum class KaPoint { FcdFree, FcdPaddle, BreastSurface };

// Where on the breast's surface: on the midline, this far from the chest-wall
// edge. The UK, European and IAEA protocols measure 60 mm from it.
inline constexpr std::array<int, 3> kSurfaceDistancesMm = {60, 40, 0};
inline constexpr int kProtocolSurfaceMm = 60;

// The air kerma at the other points as a ratio to the sAGD's own, from a
// result file's trailer; empty for a file without them.
struct KaRatios {
    std::optional<double> fcdPaddle, breastSurface; // breastSurface: at the chest-wall edge
    std::optional<double> surface40mm, surface60mm;
};
KaRatios kaRatiosOf(const formats::ResultTrailer& t);
// For a damaged trailer, what is wrong with it (and where) in the edition's
// words, under "damaged, not shown"; for an unverified one (written before
// the content hash) that it is shown unverified; empty for a verified or absent one.
std::string trailerNote(const formats::ResultTrailer& t, const texts::ResultsExtrasTexts& x);
// 1 for FcdFree; empty when the file does not give the point's. `surfaceMm`
// (one of kSurfaceDistancesMm) says where on the surface for BreastSurface.
std::optional<double> kaRatio(const KaRatios& r, KaPoint p, int surfaceMm = 0);

// The AGD for a measured air kerma in mGy: Ka x sAGD / kaRatio (the ratio of
// the measured point's air kerma to the sAGD's own), and its relative sigma,
// the sAGD's (the dosimeter's own uncertainty is the user's).
struct AgdEstimate {
    double agd = 0;
    std::optional<double> relativeSigma;
};
AgdEstimate estimateAgd(double airKermaMGy, double sagd, const StatedUncertainty& u, double kaRatio = 1.0);

} // namespace kv::results
