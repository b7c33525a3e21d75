#pragma once
// The one dose model the result screens show. Form2 replaces `shown` whole
// on a successful load and zeroes its grid on "Clear"; it also writes the two
// selected indices on a pick. Form5, Form6 and Form7 only read it. The program
// makes one session and hands the same one to every result screen:
//
//   kv::results::ResultsSession session;   // outlives the screens
//   Form2 results(session);  Form6 xy(session);  Form7 xz(session);
//   const DoseModel& m = session.shown;    // in a drawing routine
#include "kv/results/agd_estimate.h"
#include "kv/results/dose_model.h"
#include "kv/results/voxel_uncertainty.h"

#include <optional>
#include <string>

namespace kv::results {

struct ResultsSession {
    DoseModel shown;
    // A file has been loaded and not cleared since.
    bool loaded = false;
    // The bare name of the file `shown` was loaded from, set only by a
    // successful load, and the uncertainties its header states.
    std::string fileName;
    StatedUncertainty uncertainty;
    // The loaded file's air kermas behind the paddle and at the breast
    // surface (its trailer's), and where the user says Ka was measured.
    KaRatios kaRatios;
    KaPoint kaPoint = KaPoint::FcdFree;
    // Where on the surface, for KaPoint::BreastSurface: mm from the chest wall on the midline.
    int surfaceMm = kProtocolSurfaceMm;
    // A tomosynthesis result (its trailer names the scan): its Ka is the tube's at
    // 0 deg for the whole scan's loading, and its AGD the whole scan's.
    bool scan = false;
    // Each voxel's uncertainty, where the file's side file gives it.
    std::optional<formats::VoxelSigma> voxelSigma;
    // Where the result files are; exports are offered there first.
    std::string workDir;
};

} // namespace kv::results
