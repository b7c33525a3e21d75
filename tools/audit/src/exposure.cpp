#include "kv/audit/exposure.h"

#include "dose_report.h"
#include "header.h"
#include "kv/common/format.h"

#include <algorithm>
#include <cmath>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/oflog/oflog.h>
#include <fstream>
#include <mutex>

namespace kv::audit {
namespace {

namespace fs = std::filesystem;
using namespace header;

// Values longer than this stay on the disk until asked for: a header value
// the dose needs is a few bytes, and a hostile file's long ones cost nothing.
constexpr Uint32 kMaxLoadedValue = 4096;

constexpr const char* kVolumeClass = "1.2.840.10008.5.1.4.1.1.13.1.3"; // breast tomosynthesis image
const char* const kProjectionClasses[] = {
    "1.2.840.10008.5.1.4.1.1.13.1.4", // breast projection, for presentation
    "1.2.840.10008.5.1.4.1.1.13.1.5", // breast projection, for processing
};
const char* const kDoseReportClasses[] = {
    "1.2.840.10008.5.1.4.1.1.88.67", // X-ray radiation dose SR
    "1.2.840.10008.5.1.4.1.1.88.76", // enhanced X-ray radiation dose SR
};

bool isTomosynthesisClass(const std::string& c) {
    return c == kVolumeClass || c == kProjectionClasses[0] || c == kProjectionClasses[1];
}

void quietDcmtk() {
    static std::once_flag once;
    std::call_once(once, [] { OFLog::configure(OFLogger::OFF_LOG_LEVEL); });
}

// The values of a multi-valued text, trimmed and in upper case.
std::vector<std::string> valuesOf(const std::string& multi) {
    std::vector<std::string> out;
    const std::string u = upper(multi);
    size_t p = 0;
    while (p <= u.size()) {
        size_t e = u.find('\\', p);
        if (e == std::string::npos) e = u.size();
        out.push_back(trim(u.substr(p, e - p)));
        p = e + 1;
    }
    return out;
}

bool anyValue(const std::string& multi, std::initializer_list<const char*> wanted) {
    for (const std::string& v : valuesOf(multi))
        for (const char* w : wanted)
            if (v == w) return true;
    return false;
}

bool mentions(const std::string& text, std::initializer_list<const char*> fragments) {
    const std::string u = upper(text);
    return std::any_of(fragments.begin(), fragments.end(),
                       [&](const char* f) { return u.find(f) != std::string::npos; });
}

// Why a 2D image was made from a scan rather than by an exposure of its own:
// its image type, its derivation, or its source images say so.
std::optional<std::string> synthesized(const Header& h) {
    const std::string type = h.text(DCM_ImageType);
    for (const std::string& v : valuesOf(type))
        if (v == "GENERATED_2D" ||
            (v.find("SYNTH") != std::string::npos && v.find("TOMOSYNTH") == std::string::npos))
            return type;
    if (mentions(h.text(DCM_DerivationDescription), {"SYNTH", "GENERATED 2D", "GENERATED_2D", "TOMOSYNTH"}))
        return std::string("derivation description");
    for (const Header& code : h.items(DCM_DerivationCodeSequence))
        if (mentions(code.first(DCM_CodeMeaning),
                     {"SYNTH", "TOMOSYNTH", "RECONSTRUCT", "MAXIMUM INTENSITY PROJECTION", "MULTIPLANAR"}))
            return "derivation " + code.first(DCM_CodeMeaning);
    for (const Header& source : h.items(DCM_SourceImageSequence))
        if (isTomosynthesisClass(source.first(DCM_ReferencedSOPClassUID)))
            return std::string("source image of a tomosynthesis class");
    return std::nullopt;
}

// Where an object keeps a value, in the order it is looked for, and whose
// dose a dose value found there is.
struct Place {
    Header h;
    DoseScope scope;
};

std::vector<Place> placesOf(const Header& top, ObjectKind kind) {
    std::vector<Place> places;
    const bool tomosynthesis = kind != ObjectKind::Image;
    if (tomosynthesis)
        if (const std::vector<Header> acquisitions = top.items(DCM_XRay3DAcquisitionSequence);
            !acquisitions.empty())
            places.push_back({acquisitions[0], DoseScope::Scan});
    places.push_back({top, !tomosynthesis                   ? DoseScope::Exposure
                           : kind == ObjectKind::Projection ? DoseScope::Projection
                                                            : DoseScope::Unsaid});
    // The functional groups' dose is each frame's: one projection's.
    for (const Header& shared : top.items(DCM_SharedFunctionalGroupsSequence))
        for (const Header& dose : shared.items(DCM_XRayAcquisitionDoseSequence))
            places.push_back({dose, tomosynthesis ? DoseScope::Projection : DoseScope::Exposure});
    return places;
}

struct Found {
    Header::Number n;
    DoseScope scope = DoseScope::Exposure;
    DcmTagKey tag;
};

// The first place that holds the tag.
Found find(const std::vector<Place>& places, const DcmTagKey& tag) {
    for (const Place& p : places)
        if (p.h.has(tag)) return {p.h.number(tag), p.scope, tag};
    return {{}, DoseScope::Exposure, tag};
}

// A text value from the first place that holds it.
std::string findText(const std::vector<Place>& places, const DcmTagKey& tag, const Header** at = nullptr) {
    for (const Place& p : places)
        if (p.h.has(tag)) {
            if (at) *at = &p.h;
            return upper(p.h.text(tag));
        }
    return {};
}

// A dose value of every frame of a multi-frame object, added up: the scan's.
std::optional<double> framesSum(const Header& top, const DcmTagKey& tag) {
    const std::vector<Header> frames = top.items(DCM_PerFrameFunctionalGroupsSequence);
    if (frames.size() < 2) return std::nullopt;
    double sum = 0;
    for (const Header& f : frames) {
        const std::vector<Header> dose = f.items(DCM_XRayAcquisitionDoseSequence);
        const Header::Number n = dose.empty() ? Header::Number{} : dose[0].number(tag);
        if (!n.value || *n.value < 0) return std::nullopt;
        sum += *n.value;
    }
    return sum;
}

std::string firstAngle(const Header& h) {
    OFString v;
    if (h.item().findAndGetOFString(DCM_PositionerPrimaryAngle, v, 0, OFTrue).bad()) return {};
    return trim(v.c_str());
}

std::optional<double> angleNumber(const std::string& s) {
    double d = 0;
    if (s.empty() || !parseNumberStrict(s, d) || !std::isfinite(d) || std::fabs(d) > 90) return std::nullopt;
    return d;
}

// The scan as the object describes it: the acquisition's arc, start and
// increment, each projection's angle and exposure, the frames or source images.
Scan readScan(const Header& top, ObjectKind kind) {
    Scan s;
    std::vector<double> angles;
    std::optional<double> arc, start, increment;
    for (const Header& a : top.items(DCM_XRay3DAcquisitionSequence)) {
        arc = a.number(DCM_PrimaryPositionerScanArc).value;
        start = a.number(DCM_PrimaryPositionerScanStartAngle).value;
        increment = a.number(DCM_PrimaryPositionerIncrement).value;
        std::vector<double> loading;
        for (const Header& p : a.items(DCM_PerProjectionAcquisitionSequence)) {
            if (auto angle = angleNumber(p.first(DCM_PositionerPrimaryAngle))) angles.push_back(*angle);
            const Header::Number mas = p.number(DCM_ExposureInmAs);
            loading.push_back(mas.value && *mas.value > 0 ? *mas.value : 0);
        }
        if (!loading.empty() && std::all_of(loading.begin(), loading.end(), [](double v) { return v > 0; }))
            s.loading = loading;
        break;
    }
    if (angles.empty())
        for (const Header& f : top.items(DCM_PerFrameFunctionalGroupsSequence))
            if (auto angle = angleNumber(firstAngle(f))) angles.push_back(*angle);
    if (angles.empty())
        if (auto angle = angleNumber(top.first(DCM_PositionerPrimaryAngle))) angles.push_back(*angle);

    const std::optional<double> frames = top.number(DCM_NumberOfFrames).value;
    if (angles.size() > 1)
        s.projections = static_cast<int>(angles.size());
    else if (kind == ObjectKind::Projections && frames && *frames >= 2 && *frames <= 1000)
        s.projections = static_cast<int>(*frames);
    else if (kind == ObjectKind::Volume && top.items(DCM_SourceImageSequence).size() > 1)
        s.projections = static_cast<int>(top.items(DCM_SourceImageSequence).size());
    else if (kind == ObjectKind::Projection)
        s.projections = 1;
    else if (arc && increment && std::fabs(*increment) > 1e-6)
        s.projections = static_cast<int>(std::lround(std::fabs(*arc / *increment))) + 1;
    if (s.loading.size() != static_cast<size_t>(s.projections)) s.loading.clear();

    if (!angles.empty()) {
        s.startDeg = angles.front(), s.endDeg = angles.back();
    } else if (start && (arc || increment)) {
        s.startDeg = *start;
        const double sign = increment && *increment < 0 ? -1 : 1;
        s.endDeg = increment && s.projections > 1 ? *start + *increment * (s.projections - 1)
                                                  : *start + sign * std::fabs(*arc);
    } else if (arc) {
        s.startDeg = -std::fabs(*arc) / 2, s.endDeg = std::fabs(*arc) / 2;
    } else if (auto tomo = top.number(DCM_TomoAngle).value) {
        s.startDeg = -std::fabs(*tomo) / 2, s.endDeg = std::fabs(*tomo) / 2;
    }
    return s;
}

Reading readImage(const Header& h) {
    const std::string modality = upper(h.first(DCM_Modality));
    if (modality != "MG") return skip(SkipCode::NotMammography, modality);

    Exposure x;
    const std::string sopClass = h.first(DCM_SOPClassUID);
    const std::string imageType = h.text(DCM_ImageType);
    const Header::Number frames = h.number(DCM_NumberOfFrames);
    const bool multiFrame = frames.value && *frames.value > 1;
    if (sopClass == kVolumeClass) {
        x.kind = ObjectKind::Volume;
    } else if (sopClass == kProjectionClasses[0] || sopClass == kProjectionClasses[1]) {
        x.kind = ObjectKind::Projections;
    } else if (auto why = synthesized(h)) {
        return skip(SkipCode::Synthesized2d, *why);
    } else if (anyValue(imageType, {"TOMOSYNTHESIS", "TOMO", "PROJECTION"}) || multiFrame) {
        // Tomosynthesis in a class of its own or in secondary capture: projections unless it says volume.
        x.kind = anyValue(imageType, {"VOLUME", "RECONSTRUCTION", "SLICE", "SLAB"}) ? ObjectKind::Volume
                 : multiFrame                                                       ? ObjectKind::Projections
                                                                                    : ObjectKind::Projection;
    }
    const bool tomo = x.kind != ObjectKind::Image;
    x.modality = tomo ? Modality::Tomosynthesis : Modality::Mammography;
    const std::vector<Place> places = placesOf(h, x.kind);

    auto need = [&](const DcmTagKey& tag, double& into, double min) -> std::optional<Skip> {
        const Header::Number n = find(places, tag).n;
        if (!n.ok || (n.value && !(*n.value > min))) return skip(SkipCode::BadValue, n.shown, tagName(tag));
        if (!n.value) return skip(SkipCode::MissingValue, {}, tagName(tag));
        into = *n.value;
        return std::nullopt;
    };
    // An optional value that is not a number counts as absent: the dose can go without it. One that is
    // there but of no use is said in the row's note.
    auto optional = [&](const Found& f, double scale, bool positive) -> std::optional<double> {
        if (!f.n.ok || (f.n.value && (*f.n.value < 0 || (positive && *f.n.value == 0)))) {
            x.setAside.push_back({tagName(f.tag), f.n.shown});
            return std::nullopt;
        }
        if (!f.n.value) return std::nullopt;
        return *f.n.value * scale;
    };
    auto optionalAt = [&](const DcmTagKey& tag, double scale = 1, bool positive = false) {
        return optional(find(places, tag), scale, positive);
    };
    // A dose value: the acquisition's, else every frame's added up (both the whole scan's), else where
    // the object keeps it; a value of no use gives way to the next tag.
    auto dose = [&](std::initializer_list<std::pair<DcmTagKey, double>> tags, DoseScope& scope,
                    bool positive) -> std::optional<double> {
        if (tomo)
            for (const auto& [tag, scale] : tags)
                if (places[0].scope != DoseScope::Scan || !places[0].h.has(tag))
                    if (auto sum = framesSum(h, tag)) {
                        scope = DoseScope::Scan;
                        return *sum * scale;
                    }
        for (const auto& [tag, scale] : tags) {
            const Found f = find(places, tag);
            if (!f.n.value && f.n.ok) continue;
            if (auto v = optional(f, scale, positive)) {
                // The enhanced image's own exposure in mAs is the total of every frame.
                scope = tomo && tag == DCM_ExposureInmAs ? DoseScope::Scan : f.scope;
                return v;
            }
        }
        return std::nullopt;
    };

    if (auto s = need(DCM_KVP, x.kvp, 0)) return *s;

    const std::string anode = trim(findText(places, DCM_AnodeTargetMaterial));
    if (anode.empty()) return skip(SkipCode::MissingValue, {}, tagName(DCM_AnodeTargetMaterial));
    const std::optional<Target> target = targetNamed(valuesOf(anode)[0]);
    if (!target) return skip(SkipCode::UnsupportedAnode, anode);
    x.target = *target;

    const Header* filterPlace = nullptr;
    const std::string filter = findText(places, DCM_FilterMaterial, &filterPlace);
    if (filter.empty()) return skip(SkipCode::MissingValue, {}, tagName(DCM_FilterMaterial));
    const std::optional<FilterMaterial> material = filterNamed(filter);
    if (!material) return skip(SkipCode::UnsupportedFilter, filter);
    x.filter = *material;

    // The filter's thickness as its least and greatest value; their mean when both are given. Where the
    // material is said, so is its thickness.
    const std::vector<Place> filterPlaces = {{*filterPlace, DoseScope::Exposure}};
    const Header::Number fmin = find(filterPlaces, DCM_FilterThicknessMinimum).n,
                         fmax = find(filterPlaces, DCM_FilterThicknessMaximum).n;
    if (!fmin.ok || (fmin.value && *fmin.value <= 0))
        return skip(SkipCode::BadValue, fmin.shown, tagName(DCM_FilterThicknessMinimum));
    if (!fmax.ok || (fmax.value && *fmax.value <= 0))
        return skip(SkipCode::BadValue, fmax.shown, tagName(DCM_FilterThicknessMaximum));
    if (!fmin.value && !fmax.value)
        return skip(SkipCode::MissingValue, {}, tagName(DCM_FilterThicknessMinimum));
    x.filterMm = fmin.value && fmax.value ? (*fmin.value + *fmax.value) / 2
                 : fmin.value             ? *fmin.value
                                          : *fmax.value;

    if (auto s = need(DCM_BodyPartThickness, x.thicknessMm, 0)) return *s;

    x.mas = dose({{DCM_ExposureInuAs, 1e-3}, {DCM_Exposure, 1}, {DCM_ExposureInmAs, 1}}, x.scope.mas, true);
    x.sourceToDetectorMm = optionalAt(DCM_DistanceSourceToDetector);
    x.sourceToPatientMm = optionalAt(DCM_DistanceSourceToPatient);
    x.compressionForceN = optionalAt(DCM_CompressionForce);
    x.entranceDoseMgy =
        dose({{DCM_EntranceDoseInmGy, 1}, {DCM_EntranceDose, 100} /* dGy */}, x.scope.entrance, true);
    x.hvlMmAl = optionalAt(DCM_HalfValueLayer, 1, true);
    x.organDoseMgy = dose({{DCM_OrganDose, 100} /* dGy */}, x.scope.organ, false);

    x.view = printable(upper(h.first(DCM_ViewPosition)), 16);
    x.laterality = printable(upper(h.first(DCM_ImageLaterality)), 4);
    if (x.laterality.empty()) x.laterality = printable(upper(h.first(DCM_Laterality)), 4);
    x.presentationIntent = printable(upper(h.first(DCM_PresentationIntentType)), 20);

    // The acquisition's date and time, from whichever form the header gives.
    const std::string dateTime = h.first(DCM_AcquisitionDateTime);
    std::string date = h.first(DCM_AcquisitionDate);
    if (date.empty() && dateTime.size() >= 8) date = dateTime.substr(0, 8);
    if (date.empty()) date = h.first(DCM_ContentDate);
    if (date.empty()) date = h.first(DCM_StudyDate);
    x.acquisitionDate = printable(date, 8);
    x.acquisitionSeconds = timeOfDay(h.first(DCM_AcquisitionTime));
    if (!x.acquisitionSeconds && dateTime.size() > 8)
        x.acquisitionSeconds = timeOfDay(dateTime.substr(8, 13));
    readCommon(h, x);

    OFString event;
    if (h.item().findAndGetOFString(DCM_IrradiationEventUID, event, 0, OFTrue).good())
        x.eventUid = trim(event.c_str());
    if (tomo) x.scan = readScan(h, x.kind);
    return x;
}

enum class Start { Part10, Dataset, Other };

// A DICOM file starts with 128 bytes and "DICM"; a bare dataset (no meta
// header) with a group 0008 element in either byte order.
Start sniff(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char b[132] = {};
    in.read(b, sizeof b);
    const std::streamsize n = in.gcount();
    if (n == 132 && std::string_view(b + 128, 4) == "DICM") return Start::Part10;
    if (n >= 8 && ((b[0] == 0x08 && b[1] == 0x00) || (b[0] == 0x00 && b[1] == 0x08))) return Start::Dataset;
    return Start::Other;
}

} // namespace

std::optional<Target> targetNamed(std::string_view name) {
    return formats::targetNamed(trim(std::string(name)));
}

std::optional<FilterMaterial> filterNamed(std::string_view name) {
    const std::optional<FilterMaterial> f = formats::filterNamed(trim(std::string(name)));
    return f == FilterMaterial::Beryllium ? std::nullopt : f;
}

const char* modalityName(Modality m) {
    return m == Modality::Mammography ? "2d" : "dbt";
}

const char* objectKindName(ObjectKind k) {
    switch (k) {
    case ObjectKind::Image:
        return "image";
    case ObjectKind::Projections:
        return "projections";
    case ObjectKind::Volume:
        return "volume";
    case ObjectKind::Projection:
        return "projection";
    case ObjectKind::DoseEvent:
        return "rdsr_event";
    }
    return "image";
}

std::string Scan::label() const {
    std::string s =
        projections > 0 ? std::to_string(projections) + " projections" : std::string("projections not said");
    if (startDeg && endDeg) s += ", " + plainDecimal(*startDeg) + " to " + plainDecimal(*endDeg) + " deg";
    return s;
}

const char* skipCodeName(SkipCode c) {
    switch (c) {
    case SkipCode::NotRegularFile:
        return "not_a_file";
    case SkipCode::NotDicom:
        return "not_dicom";
    case SkipCode::Unreadable:
        return "unreadable";
    case SkipCode::NotMammography:
        return "not_mammography";
    case SkipCode::Synthesized2d:
        return "synthesized_2d";
    case SkipCode::Tomosynthesis:
        return "tomosynthesis";
    case SkipCode::UnsupportedAnode:
        return "unsupported_anode";
    case SkipCode::UnsupportedFilter:
        return "unsupported_filter";
    case SkipCode::MissingValue:
        return "missing_value";
    case SkipCode::BadValue:
        return "bad_value";
    case SkipCode::Duplicate:
        return "duplicate";
    case SkipCode::NoAirKerma:
        return "no_air_kerma";
    case SkipCode::NoFactor:
        return "no_factor";
    }
    return "unreadable";
}

std::vector<Reading> readFile(const fs::path& file) {
    quietDcmtk();
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return {skip(SkipCode::NotRegularFile)};
    const Start start = sniff(file);
    if (start == Start::Other) return {skip(SkipCode::NotDicom)};
    DcmFileFormat ff;
    const OFCondition c =
        ff.loadFileUntilTag(file.c_str(), EXS_Unknown, EGL_noChange, kMaxLoadedValue,
                            start == Start::Part10 ? ERM_fileOnly : ERM_dataset, DCM_PixelData);
    if (c.bad()) return {skip(SkipCode::Unreadable, c.text())};
    DcmDataset* ds = ff.getDataset();
    if (!ds) return {skip(SkipCode::Unreadable)};
    // Labels in UTF-8 whatever the file's character set; a set that cannot be
    // converted leaves the bytes, and only their printable ASCII is shown.
    (void)ds->convertToUTF8();
    const Header h(*ds);
    const std::string sopClass = h.first(DCM_SOPClassUID);
    for (const char* report : kDoseReportClasses)
        if (sopClass == report) return readDoseReport(*ds);
    return {readImage(h)};
}

Reading readExposure(const fs::path& file) {
    return readFile(file).front();
}

} // namespace kv::audit
