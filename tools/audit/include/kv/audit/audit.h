#pragma once
// kv-audit: every mammography exposure in the files and folders named, its
// air kerma at the breast surface, its HVL, the typical glandularity for its
// thickness and age, and its AGD with a Monte Carlo factor of our own, beside
// the dose the unit reported.
//
// The factors come from a Physics: the engine through kv-sweep's rows in the
// program, an exact stand-in in the tests. A factor is computed at thickness
// nodes kNodeStepMm apart (at the glandularity of the exposure's age group
// there) and interpolated log-linearly between the two nodes around the
// exposure; every node is computed once however many exposures need it.
#include "kv/audit/exposure.h"
#include "kv/audit/glandularity.h"
#include "kv/audit/measured.h"
#include "kv/texts/audit.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace kv::audit {

inline constexpr double kNodeStepMm = 5;
inline constexpr double kDefaultHistories = 1e6;

// The tube's beam as the spectrum model makes it.
struct Beam {
    Target target = Target::Molybdenum;
    FilterMaterial filter = FilterMaterial::Molybdenum;
    double filterMm = 0;
    double kvp = 0;
    std::string aluminum = "0"; // added aluminium, mm, as the spectrum's field holds it
    std::string key() const;    // equal keys, equal spectra
    std::string label() const;  // "Mo/Rh 0.025 mm, 28 kV, + Al 0.120 mm"
};

struct MatchedBeam {
    Beam beam;
    double hvlPaddle = 0; // mm Al, first HVL with the paddle in the beam
};

// A tomosynthesis node's tube path: projections from -rangeDeg to +rangeDeg.
struct ScanShape {
    double rangeDeg = 0;
    int projections = 0;     // 0: a continuous sweep
    std::string key() const; // "15 x +-7.50 deg", "sweep +-25.00 deg"
};

struct FactorNode {
    Beam beam;
    double thicknessMm = 0;
    double glandularPercent = 0;
    // For a scan: its whole dose per the 0 deg surface kerma of its whole loading (T included).
    std::optional<ScanShape> scan;
    std::string key() const;
    std::string label() const;
};

struct Factor {
    std::string id; // the Monte Carlo run's name in the cache
    double mgd = 0; // mean glandular dose of the whole breast per incident air kerma at its upper surface
                    // (a scan's: the whole scan's dose per that kerma with the tube at 0 deg)
    double sigmaPercent = 0;
    double histories = 0;
};

// The factor cannot be had; what() says why (the edition's words when known).
struct FactorFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct AuditInterrupted : std::runtime_error {
    AuditInterrupted() : std::runtime_error("interrupted") {}
};

class Physics {
  public:
    virtual ~Physics() = default;
    // With `hvl` (mm Al, paddle in): the beam with the added aluminium that
    // gives it; without: the beam as it stands and its HVL. Empty when the
    // HVL cannot be reached. Throws FactorFailure for a beam the spectrum
    // model refuses.
    virtual std::optional<MatchedBeam> match(const Beam& b, std::optional<double> hvl) = 0;
    // Throws FactorFailure, AuditInterrupted.
    virtual Factor factor(const FactorNode& n) = 0;
    // True when factor(n) would be read from the cache rather than computed.
    virtual bool stored(const FactorNode& n) = 0;
};

struct PhysicsSettings {
    std::filesystem::path dataDir, cacheDir;
    unsigned threads = 1;
    double histories = kDefaultHistories;
    std::function<bool()> interrupted = [] { return false; };
    const texts::AuditTexts* texts = &texts::englishAuditTexts;
};
using PhysicsMaker = std::function<std::unique_ptr<Physics>(const PhysicsSettings&)>;

// Exit status: 0 written (some files may be skipped: see skipped.csv), 1 a
// file fault or no output written, 2 bad options, 130 interrupted.
int runAudit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const PhysicsMaker& physics, const std::function<bool()>& interrupted);

// The factor between two nodes, log-linear in thickness; the uncertainty is
// the nodes' own, weighted alike (they are not averaged away).
struct Interpolated {
    double value = 0, sigmaPercent = 0;
};
Interpolated interpolateFactor(double t, double t0, const Factor& f0, double t1, const Factor& f1);

} // namespace kv::audit
