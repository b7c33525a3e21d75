#pragma once
// One mammography exposure as its image header records it, read with the
// pixel data left on the disk. Only what the dose needs is kept: no name, ID,
// date of birth or UID of the patient leaves this reader, except the one
// acquisition key that tells two copies of an image apart from two exposures.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace kv::audit {

// Why a file gives no exposure. The codes are what skipped.csv writes.
enum class SkipCode {
    NotRegularFile,   // a folder, pipe or device where a file should be
    NotDicom,         // no DICOM preamble and no dataset that starts like one
    Unreadable,       // truncated or damaged before the pixel data
    NotMammography,   // modality other than MG
    Synthesized2d,    // made from a tomosynthesis scan: no exposure of its own
    Tomosynthesis,    // projections or slices: their factor is not built
    UnsupportedAnode, // a target the spectrum model does not offer (Rh, ...)
    UnsupportedFilter,
    MissingValue, // a value the dose needs is absent
    BadValue,     // present, but not a usable number or term
    Duplicate,    // the same acquisition as an earlier file (the other intent)
    NoAirKerma,   // neither measured output nor entrance dose
    NoFactor,     // the spectrum could not be matched or the factor not computed
};

const char* skipCodeName(SkipCode c);

struct Skip {
    SkipCode code = SkipCode::Unreadable;
    std::string tag;    // "(0018,0060)" for MissingValue and BadValue, else empty
    std::string detail; // the value in question, or the reader's words (ASCII, at most 60 characters)
};

enum class Target { Molybdenum, Tungsten };
enum class FilterMaterial { Molybdenum, Rhodium, Silver, Aluminum };

// "MOLYBDENUM", "Mo", "w" ...: a material's name or symbol in any case; empty for another.
std::optional<Target> targetNamed(std::string_view name);
std::optional<FilterMaterial> filterNamed(std::string_view name);
// "Mo", "W"; "Mo", "Rh", "Ag", "Al".
const char* symbol(Target t);
const char* symbol(FilterMaterial f);

struct Exposure {
    // The identity of the acquisition across its FOR PROCESSING and FOR
    // PRESENTATION copies; kept in memory only.
    std::string acquisitionKey;
    std::string presentationIntent; // "FOR PRESENTATION", "FOR PROCESSING" or empty
    std::string device;             // manufacturer, model and serial number, as one label
    std::string serial;             // the unit's serial number alone
    std::string view;               // CC, MLO, ...; empty when absent
    std::string laterality;         // L, R or B; empty when absent
    std::string acquisitionDate;    // YYYYMMDD, empty when absent
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
};

using Reading = std::variant<Exposure, Skip>;

// Reads the header of `file` up to the pixel data. Never throws for what a
// file holds; a failure is a Skip.
Reading readExposure(const std::filesystem::path& file);

} // namespace kv::audit
