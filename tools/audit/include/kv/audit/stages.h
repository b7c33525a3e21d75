#pragma once
// runAudit's stages, in the order it runs them; each takes what the one
// before it gave:
//   1. parse   the command line into AuditOptions;
//   2. read    every file under the paths once, each copy of an acquisition counted once;
//   3. plan    each exposure's air kerma, beam and glandularity, and the factor nodes it needs;
//   4. compute the nodes (or take them from the cache), then each exposure's factor and AGD;
//   5. write   audit.csv, skipped.csv, summary.csv, the plots and the report from one column table.
#include "kv/audit/audit.h"
#include "kv/audit/trends.h"
#include "kv/audit/uncertainty.h"

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kv::audit {

// 1. The command line.
struct AuditOptions {
    std::vector<std::filesystem::path> paths;
    std::filesystem::path out, data = ".", cache;
    std::optional<std::filesystem::path> output, hvl;     // the measured tables
    std::optional<std::filesystem::path> uncertainties;   // the stated inputs' uncertainties
    InputUncertainties stated;                            // the defaults with what that file sets
    std::optional<std::filesystem::path> referenceLevels; // --reference-levels
    DbtKerma dbtKerma = DbtKerma::Scan;                   // --dbt-kerma
    unsigned threads = 1;
    double histories = kDefaultHistories;
    bool withPaths = false;
    int shard = 0, shards = 1; // this process computes nodes shard, shard + shards, ... (0-based)
    texts::Edition edition = texts::Edition::English;
};

// The options, or how the program ends at once (--help, a refusal): its exit
// status and what it prints.
struct ParsedCommand {
    std::optional<AuditOptions> options;
    int status = 0;
    std::string out, err;
};
ParsedCommand parseAuditCommand(const std::vector<std::string>& args);

// 2. Walk and read.

// Which rule made an object the same exposure as one counted already.
enum class SameAs {
    Instance,          // the same SOP instance: a copy
    Event,             // the same irradiation event (an image and its dose report's event, a scan's objects)
    OtherPresentation, // FOR PROCESSING and FOR PRESENTATION of one acquisition
    Scan,              // another object of one tomosynthesis scan that names no event
};
const char* sameAsName(SameAs r); // "same_instance", "same_event", "other_presentation", "same_scan"

struct Skipped {
    int index = 0;
    Skip skip;
    std::string path;
    // A duplicate's rule and the exposure it is part of (its index and event).
    std::optional<SameAs> rule = std::nullopt;
    int sameIndex = 0, sameEvent = 0;
};
// An exposure as one object gave it.
struct Object {
    int index = 0;
    Exposure x;
    std::string path;
};
struct Counted {
    int index = 0; // of the object that counts
    Exposure x;    // its values, with what it lacked taken from the others of its exposure
    std::string path;
    std::string objects; // what the exposure was read from: "image", "projections+volume", "projection x9"
};
struct Readings {
    size_t files = 0;
    std::vector<Counted> exposures; // in index order
    std::vector<Skipped> skipped;
};

// Every file under the paths, each once, in the order of its path (which
// gives the index). The folders in `own` are left out, so that an audit
// written inside the folder it reads does not read itself the next time. A
// path that names nothing is said on `err` and left out.
std::vector<std::filesystem::path> collectFiles(const std::vector<std::filesystem::path>& paths,
                                                const std::vector<std::filesystem::path>& own,
                                                std::ostream& err, const texts::AuditTexts& t);
// Reads each file (throws AuditInterrupted), then counts each exposure once.
Readings readFiles(const std::vector<std::filesystem::path>& files, const std::function<bool()>& interrupted);
// Which objects are one exposure, by the rules of SameAs in their order, and
// never two whose entrance dose, mAs or unit's dose differ (by more than the
// 1 % a header's rounding gives). The object of most weight counts (an
// event of a dose report, then a scan's projections, its volume, one of its
// projections; the first in path order of equal weight) and takes what it
// lacks from the others; each other is a duplicate naming it.
Readings countOnce(std::vector<Object> objects, std::vector<Skipped> skipped, size_t files);

// 3. Plan.
enum class KSource { Output, Header };
enum class HvlSource { Measured, Header, Model };
const char* sourceName(KSource s);   // "output", "header"
const char* sourceName(HvlSource s); // "measured", "header", "model"

struct MeasuredTables {
    MeasuredTable output, hvl;
    DbtKerma dbtKerma = DbtKerma::Scan; // for units the output table says nothing of
};

struct Planned {
    Counted c;
    double k = 0; // mGy, incident air kerma at the upper breast surface
    KSource kSource = KSource::Header;
    double hvl = 0; // mm Al, paddle in
    HvlSource hvlSource = HvlSource::Model;
    std::optional<double> mas, unitAgd; // the exposure's (a scan's: the whole scan's)
    std::string note;
    MatchedBeam beam;
    TypicalGlandularity gland;
    // The nodes around the thickness (one node twice when it lies on one); none
    // for an exposure listed without a factor (the note says why).
    std::optional<std::pair<FactorNode, FactorNode>> nodes;
};

struct Plan {
    std::vector<Planned> exposures;
    std::map<std::string, FactorNode> nodes; // by key, each once
    std::vector<Skipped> skipped;            // exposures that cannot have a factor
};

// Throws FactorFailure only for what Physics throws outside a beam's own
// refusal (a beam the spectrum model refuses is that exposure's skip).
Plan planExposures(std::vector<Counted> exposures, const MeasuredTables& measured, Physics& physics,
                   const texts::AuditTexts& t);

// 4. Compute.
struct Computed {
    std::map<std::string, Factor> factors; // by node key
    std::map<std::string, std::string> failed;
};

// The nodes of this share (all of them without --shard), each reported on
// `out` as it starts and ends, a failure on `err`. Throws AuditInterrupted.
Computed computeFactors(const std::map<std::string, FactorNode>& nodes, Physics& physics, int shard,
                        int shards, std::ostream& out, std::ostream& err, const texts::AuditTexts& t);

struct AuditRow {
    Planned p;
    std::optional<Interpolated> factor; // none: listed without one (the note says why)
    std::string factorId;
    std::optional<double> agd;   // mGy
    std::optional<double> ratio; // our AGD over the unit's
    std::string id;              // the stable pseudonym of the object that counts (pseudonym.h)
    UncertaintyParts parts;      // of the AGD, when there is one
    double agdSigmaPercent = 0;  // their combination
};

// Each planned exposure's factor read between its nodes, and its AGD with
// its uncertainty; one whose node failed goes to `skipped` with the failure.
std::vector<AuditRow> applyFactors(std::vector<Planned> planned, const Computed& computed,
                                   std::vector<Skipped>& skipped, const InputUncertainties& stated = {});

// 5. Write.
using Table = std::vector<std::vector<std::string>>;

// audit.csv's columns: each name beside how its cell is made, so that a
// column cannot fall out of step with its header.
struct AuditColumn {
    const char* name;
    std::string (*cell)(const AuditRow&);
};
const std::vector<AuditColumn>& auditColumns();

Table auditTable(const std::vector<AuditRow>& rows, bool withPaths);
Table skippedTable(const std::vector<Skipped>& skipped, bool withPaths, const texts::AuditTexts& t);
// Per unit, view and modality: count, median AGD, median AGD of 50-60 mm,
// their count, median ratio, the median AGD's 95 % interval.
Table summaryTable(const std::vector<AuditRow>& rows);
// Per unit, modality and quarter of the acquisition date (empty: no date):
// the dates it spans, count, median AGD with its 95 % interval, the 50-60 mm median.
Table quarterTable(const std::vector<AuditRow>& rows);
// Per unit and modality: the largest step of its dose over time (trends.h)
// and whether it counts as one ("found", "none", "too_few").
Table stepTable(const std::vector<AuditRow>& rows);
// Each level beside each unit of its modality: the unit's median in the
// level's band (and view) with its interval, over the level.
Table referenceTable(const std::vector<AuditRow>& rows, const std::vector<ReferenceLevel>& levels);
std::vector<TrendSeries> trendSeries(const std::vector<AuditRow>& rows);
// Per unit and modality, the exposures whose ln AGD lies far off the unit's
// line in thickness (trends.h's modified z), with their index and id.
Table outlierTable(const std::vector<AuditRow>& rows);
// Fewer exposures than this in a 10 mm band of a unit's page are said to be few.
inline constexpr int kSmallSample = 10;

struct AuditRecord {
    size_t files = 0;
    std::vector<AuditRow> rows;
    std::vector<Skipped> skipped; // in index order
    const std::map<std::string, FactorNode>* nodes = nullptr;
    const Computed* computed = nullptr;
    std::vector<ReferenceLevel> levels; // none: no reference_levels.csv
    bool withLevels = false;
};

// Writes every output into `dir`, each said on `out` (or why not on `err`).
// 0 when all were written, else 1.
int writeOutputs(const std::filesystem::path& dir, const AuditRecord& record, bool withPaths,
                 std::ostream& out, std::ostream& err, const texts::AuditTexts& t);
// skipped.csv alone, for files of which no exposure can be used: 0 when written, else 1.
int writeSkippedOnly(const std::filesystem::path& dir, const AuditRecord& record, bool withPaths,
                     std::ostream& out, std::ostream& err, const texts::AuditTexts& t);

} // namespace kv::audit
