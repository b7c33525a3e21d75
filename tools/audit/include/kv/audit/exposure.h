#pragma once
// One exposure as its objects record it: a mammogram's header, a
// tomosynthesis object's (projections, a reconstructed volume, one projection
// stored as its own image), or one irradiation event of an X-ray radiation
// dose report. Headers are read with the pixel data left on the disk. Only
// what the dose needs is kept, and the identities that tell two copies of an
// object apart from two exposures (UIDs, kept in memory only, never written).
#include "kv/formats/tube_materials.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kv::audit {

// Why a file, or an event of a dose report, gives no exposure. The codes are what skipped.csv writes.
enum class SkipCode {
    NotRegularFile,   // a folder, pipe or device where a file should be
    NotDicom,         // no DICOM preamble and no dataset that starts like one
    Unreadable,       // truncated or damaged before the pixel data
    NotMammography,   // modality other than MG, or a dose report of no mammography
    Synthesized2d,    // made from a tomosynthesis scan: no exposure of its own
    Tomosynthesis,    // a tomosynthesis exposure whose factor cannot be had yet
    UnsupportedAnode, // a target the spectrum model does not offer
    UnsupportedFilter,
    MissingValue, // a value the dose needs is absent
    BadValue,     // present, but not a usable number or term
    Duplicate,    // counted already: the same instance, the same event, the other intent, the same scan
    NoAirKerma,   // neither measured output nor entrance dose
    NoFactor,     // the spectrum could not be matched or the factor not computed
};

const char* skipCodeName(SkipCode c);

struct Skip {
    SkipCode code = SkipCode::Unreadable;
    std::string tag;    // "(0018,0060)" or a report's concept for MissingValue and BadValue, else empty
    std::string detail; // the value in question, or the reader's words (ASCII, at most 60 characters)
    int event = 0;      // the irradiation event of a dose report it concerns (1-based), 0 for a whole file
};

// The tube's materials of formats/, with their symbols (formats::symbol, found by argument).
using Target = formats::TargetMaterial;
using FilterMaterial = formats::FilterMaterial;

// "MOLYBDENUM", "Mo", "w " ...: a material's name or symbol in any case, blanks and DICOM's padding
// around it; empty for another. A beryllium window is no filter of the audit's beams.
std::optional<Target> targetNamed(std::string_view name);
std::optional<FilterMaterial> filterNamed(std::string_view name);

enum class Modality { Mammography, Tomosynthesis };
const char* modalityName(Modality m); // "2d", "dbt"

// What kind of object gave the exposure.
enum class ObjectKind {
    Image,       // a 2D mammogram
    Projections, // the projections of a scan in one object, a frame each
    Volume,      // the volume reconstructed from a scan
    Projection,  // one projection of a scan as an image of its own (secondary capture and the like)
    DoseEvent,   // an irradiation event of a dose report
};
const char* objectKindName(ObjectKind k); // "image", "projections", "volume", "projection", "rdsr_event"

// The tube's path in a tomosynthesis scan, as far as the object says it.
struct Scan {
    int projections = 0;                    // 0: not said
    std::optional<double> startDeg, endDeg; // the primary positioner's first and last angle
    std::vector<double> loading;            // each projection's share of the exposure, when given
    // Over a scan stored as one file a projection, each of the three added up
    // over the files when every one gives it.
    std::optional<double> entranceSum, masSum, organSum;
    std::string label() const; // "15 projections, -7.5 to 7.5 deg"
};

// Whose dose a tomosynthesis object's entrance dose, mAs and organ dose are:
// the whole scan's (the standard says so, or the reader added up the
// frames), one projection's (a projection stored as an image of its own, or
// what the functional groups say of each frame), or not said (values the
// standard does not place in the object, and a dose report's scan event:
// kv-audit's --dbt-kerma decides).
enum class DoseScope { Exposure, Scan, Projection, Unsaid };

struct Exposure {
    Modality modality = Modality::Mammography;
    ObjectKind kind = ObjectKind::Image;
    // Identities, in memory only: which objects are one exposure.
    std::string instanceUid, eventUid, studyUid, seriesUid;
    int event = 0;                            // place in its dose report, 1-based; 0 for an image
    std::optional<double> acquisitionSeconds; // time of day, from whatever form the header writes
    std::string presentationIntent;           // "FOR PRESENTATION", "FOR PROCESSING" or empty
    std::string device;                       // manufacturer, model and serial number, as one label
    std::string serial;                       // the unit's serial number alone
    std::string view;                         // CC, MLO, ...; empty when absent
    std::string laterality;                   // L, R or B; empty when absent
    std::string acquisitionDate;              // YYYYMMDD, empty when absent
    double kvp = 0;
    std::optional<double> mas;
    Target target = Target::Molybdenum;
    FilterMaterial filter = FilterMaterial::Molybdenum;
    double filterMm = 0;
    double thicknessMm = 0;
    std::optional<double> sourceToDetectorMm, sourceToPatientMm, compressionForceN;
    std::optional<double> entranceDoseMgy;
    std::optional<double> hvlMmAl;
    std::optional<double> organDoseMgy; // the unit's own estimate (the header's dGy times 100)
    std::optional<double> ageYears;     // from the patient's age, else from birth and acquisition dates
    // Whose dose each of the three is (a 2D image's are its own).
    struct {
        DoseScope entrance = DoseScope::Exposure, mas = DoseScope::Exposure, organ = DoseScope::Exposure;
    } scope;
    std::optional<Scan> scan; // tomosynthesis only
    // Values of no use that the dose can go without, for the row's note.
    struct SetAside {
        std::string tag, value;
    };
    std::vector<SetAside> setAside;
};

using Reading = std::variant<Exposure, Skip>;

// Reads `file`: one Reading for an image, one per irradiation event for a
// dose report (a Skip for the whole file when it has none). Never throws for
// what a file holds.
std::vector<Reading> readFile(const std::filesystem::path& file);
// The first of readFile's.
Reading readExposure(const std::filesystem::path& file);

} // namespace kv::audit
