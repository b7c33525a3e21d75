#include "kv/audit/exposure.h"

#include "kv/common/format.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/oflog/oflog.h>
#include <fstream>
#include <mutex>

namespace kv::audit {
namespace {

namespace fs = std::filesystem;

// Values longer than this stay on the disk until asked for: a header value
// the dose needs is a few bytes, and a hostile file's long ones cost nothing.
constexpr Uint32 kMaxLoadedValue = 4096;

const char* const kTomosynthesisClasses[] = {
    "1.2.840.10008.5.1.4.1.1.13.1.3", // breast tomosynthesis image
    "1.2.840.10008.5.1.4.1.1.13.1.4", // breast projection, for presentation
    "1.2.840.10008.5.1.4.1.1.13.1.5", // breast projection, for processing
};

void quietDcmtk() {
    static std::once_flag once;
    std::call_once(once, [] { OFLog::configure(OFLogger::OFF_LOG_LEVEL); });
}

std::string trim(std::string s) {
    auto blank = [](unsigned char c) { return c == ' ' || c == '\0' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(static_cast<unsigned char>(s.back())))
        s.pop_back();
    size_t i = 0;
    while (i < s.size() && blank(static_cast<unsigned char>(s[i])))
        ++i;
    return s.substr(i);
}

std::string upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// What a message or a label may show of a header value: printable ASCII and
// the UTF-8 the character set conversion gave, at most `most` bytes.
std::string printable(const std::string& s, size_t most = 60) {
    std::string r;
    for (unsigned char c : s) {
        if (r.size() >= most) break;
        if (c >= 0x20 && c != 0x7f) r += static_cast<char>(c);
    }
    // Do not leave half a UTF-8 character at the cut.
    while (!r.empty() && (static_cast<unsigned char>(r.back()) & 0xC0) == 0x80)
        r.pop_back();
    if (!r.empty() && static_cast<unsigned char>(r.back()) >= 0xC0) r.pop_back();
    return r;
}

class Header {
  public:
    explicit Header(DcmDataset& ds) : ds_(ds) {}

    // The whole value (every value of a multi-valued one, joined by '\'), trimmed; empty when absent.
    std::string text(const DcmTagKey& tag) const {
        OFString v;
        if (ds_.findAndGetOFStringArray(tag, v).bad()) return {};
        return trim(std::string(v.c_str(), v.length()));
    }
    std::string first(const DcmTagKey& tag) const {
        std::string all = text(tag);
        return trim(all.substr(0, all.find('\\')));
    }
    bool has(const DcmTagKey& tag) const { return ds_.tagExistsWithValue(tag); }

    // A decimal of the header: absent (nullopt, ok) or present and a finite number (ok), else not ok.
    struct Number {
        std::optional<double> value;
        bool ok = true;
        std::string shown;
    };
    Number number(const DcmTagKey& tag) const {
        Number n;
        if (!has(tag)) return n;
        DcmElement* e = nullptr;
        if (ds_.findAndGetElement(tag, e).bad() || !e) return n;
        // Bytes (OB, OW, UN) would print as hex and read as some other number.
        switch (e->getVR()) {
        case EVR_DS:
        case EVR_IS:
        case EVR_FL:
        case EVR_FD:
        case EVR_US:
        case EVR_UL:
        case EVR_SS:
        case EVR_SL:
        case EVR_LO:
        case EVR_SH:
        case EVR_CS:
        case EVR_ST:
        case EVR_LT:
        case EVR_UT:
            break;
        default:
            n.ok = false;
            n.shown = DcmVR(e->getVR()).getVRName();
            return n;
        }
        std::string v = first(tag);
        double d = 0;
        n.shown = printable(v, 30);
        if (v.empty()) return n;
        if (!parseNumberStrict(v, d) || !std::isfinite(d)) {
            n.ok = false;
            return n;
        }
        n.value = d;
        return n;
    }

  private:
    DcmDataset& ds_;
};

std::string tagName(const DcmTagKey& t) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "(%04X,%04X)", t.getGroup(), t.getElement());
    return buf;
}

Skip skip(SkipCode c, std::string detail = {}, std::optional<DcmTagKey> tag = {}) {
    Skip s;
    s.code = c;
    s.detail = printable(detail);
    if (tag) s.tag = tagName(*tag);
    return s;
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

// Whole years between two DICOM dates (YYYYMMDD).
std::optional<double> yearsBetween(const std::string& birth, const std::string& on) {
    auto parse = [](const std::string& d, int& y, int& m, int& day) {
        if (d.size() != 8 || !std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        y = std::stoi(d.substr(0, 4)), m = std::stoi(d.substr(4, 2)), day = std::stoi(d.substr(6, 2));
        return m >= 1 && m <= 12 && day >= 1 && day <= 31;
    };
    int by, bm, bd, y, m, d;
    if (!parse(birth, by, bm, bd) || !parse(on, y, m, d)) return std::nullopt;
    int age = y - by - ((m < bm || (m == bm && d < bd)) ? 1 : 0);
    if (age < 0 || age > 130) return std::nullopt;
    return age;
}

// "052Y", "006M", "010W", "003D".
std::optional<double> ageString(const std::string& as) {
    if (as.size() != 4 ||
        !std::all_of(as.begin(), as.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const double n = std::stoi(as.substr(0, 3));
    switch (std::toupper(static_cast<unsigned char>(as[3]))) {
    case 'Y':
        return n;
    case 'M':
        return n / 12;
    case 'W':
        return n * 7 / 365.25;
    case 'D':
        return n / 365.25;
    default:
        return std::nullopt;
    }
}

bool anyValue(const std::string& multi, std::initializer_list<const char*> wanted) {
    size_t p = 0;
    const std::string u = upper(multi);
    while (p <= u.size()) {
        size_t e = u.find('\\', p);
        if (e == std::string::npos) e = u.size();
        const std::string v = trim(u.substr(p, e - p));
        for (const char* w : wanted)
            if (v == w) return true;
        p = e + 1;
    }
    return false;
}

Reading readDataset(DcmDataset& ds) {
    const Header h(ds);
    const std::string modality = upper(h.first(DCM_Modality));
    if (modality != "MG") return skip(SkipCode::NotMammography, modality);

    const std::string imageType = h.text(DCM_ImageType);
    if (anyValue(imageType, {"GENERATED_2D", "SYNTHESIZED", "SYNTHETIC", "SYNTHESIZED_2D"}))
        return skip(SkipCode::Synthesized2d, imageType);
    const std::string sopClass = h.first(DCM_SOPClassUID);
    for (const char* c : kTomosynthesisClasses)
        if (sopClass == c) return skip(SkipCode::Tomosynthesis, "SOP class");
    if (anyValue(imageType, {"TOMOSYNTHESIS", "TOMO", "PROJECTION"}))
        return skip(SkipCode::Tomosynthesis, imageType);
    if (const Header::Number frames = h.number(DCM_NumberOfFrames); frames.value && *frames.value > 1)
        return skip(SkipCode::Tomosynthesis, frames.shown + " frames");

    Exposure x;
    auto need = [&](const DcmTagKey& tag, double& into, double min) -> std::optional<Skip> {
        const Header::Number n = h.number(tag);
        if (!n.ok || (n.value && !(*n.value > min))) return skip(SkipCode::BadValue, n.shown, tag);
        if (!n.value) return skip(SkipCode::MissingValue, {}, tag);
        into = *n.value;
        return std::nullopt;
    };
    // An optional value that is not a number counts as absent: the dose can go without it.
    auto optional = [&](const DcmTagKey& tag, double scale = 1) -> std::optional<double> {
        const Header::Number n = h.number(tag);
        if (!n.ok || !n.value || *n.value < 0) return std::nullopt;
        return *n.value * scale;
    };

    if (auto s = need(DCM_KVP, x.kvp, 0)) return *s;

    const std::string anode = upper(h.first(DCM_AnodeTargetMaterial));
    if (anode.empty()) return skip(SkipCode::MissingValue, {}, DCM_AnodeTargetMaterial);
    const std::optional<Target> target = targetNamed(anode);
    if (!target) return skip(SkipCode::UnsupportedAnode, anode);
    x.target = *target;

    const std::string filter = upper(h.text(DCM_FilterMaterial));
    if (filter.empty()) return skip(SkipCode::MissingValue, {}, DCM_FilterMaterial);
    const std::optional<FilterMaterial> material = filterNamed(filter);
    if (!material) return skip(SkipCode::UnsupportedFilter, filter);
    x.filter = *material;

    // The filter's thickness as its least and greatest value; their mean when both are given.
    const Header::Number fmin = h.number(DCM_FilterThicknessMinimum),
                         fmax = h.number(DCM_FilterThicknessMaximum);
    if (!fmin.ok || (fmin.value && *fmin.value <= 0))
        return skip(SkipCode::BadValue, fmin.shown, DCM_FilterThicknessMinimum);
    if (!fmax.ok || (fmax.value && *fmax.value <= 0))
        return skip(SkipCode::BadValue, fmax.shown, DCM_FilterThicknessMaximum);
    if (!fmin.value && !fmax.value) return skip(SkipCode::MissingValue, {}, DCM_FilterThicknessMinimum);
    x.filterMm = fmin.value && fmax.value ? (*fmin.value + *fmax.value) / 2
                 : fmin.value             ? *fmin.value
                                          : *fmax.value;

    if (auto s = need(DCM_BodyPartThickness, x.thicknessMm, 0)) return *s;

    if (auto uas = optional(DCM_ExposureInuAs, 1e-3); uas && *uas > 0)
        x.mas = uas;
    else if (auto mas = optional(DCM_Exposure); mas && *mas > 0)
        x.mas = mas;
    x.sourceToDetectorMm = optional(DCM_DistanceSourceToDetector);
    x.sourceToPatientMm = optional(DCM_DistanceSourceToPatient);
    x.compressionForceN = optional(DCM_CompressionForce);
    x.entranceDoseMgy = optional(DCM_EntranceDoseInmGy);
    if (!x.entranceDoseMgy) x.entranceDoseMgy = optional(DCM_EntranceDose, 100); // dGy
    if (x.entranceDoseMgy && *x.entranceDoseMgy <= 0) x.entranceDoseMgy.reset();
    x.hvlMmAl = optional(DCM_HalfValueLayer);
    if (x.hvlMmAl && *x.hvlMmAl <= 0) x.hvlMmAl.reset();
    x.organDoseMgy = optional(DCM_OrganDose, 100); // dGy

    x.view = printable(upper(h.first(DCM_ViewPosition)), 16);
    x.laterality = printable(upper(h.first(DCM_ImageLaterality)), 4);
    if (x.laterality.empty()) x.laterality = printable(upper(h.first(DCM_Laterality)), 4);
    x.presentationIntent = printable(upper(h.first(DCM_PresentationIntentType)), 20);

    std::string date = h.first(DCM_AcquisitionDate);
    if (date.empty()) date = h.first(DCM_ContentDate);
    if (date.empty()) date = h.first(DCM_StudyDate);
    x.acquisitionDate = printable(date, 8);
    x.ageYears = ageString(h.first(DCM_PatientAge));
    if (!x.ageYears) x.ageYears = yearsBetween(h.first(DCM_PatientBirthDate), date);

    std::string device = h.first(DCM_Manufacturer);
    if (std::string model = h.first(DCM_ManufacturerModelName); !model.empty())
        device += (device.empty() ? "" : " ") + model;
    x.serial = printable(h.first(DCM_DeviceSerialNumber), 32);
    if (!x.serial.empty()) device += (device.empty() ? "SN " : " SN ") + x.serial;
    x.device = printable(device, 64);

    // Both copies of one acquisition carry its irradiation event; without it,
    // what the exposure was, when and of which breast in which study.
    const std::string event = h.first(DCM_IrradiationEventUID);
    if (!event.empty())
        x.acquisitionKey = "event " + event;
    else
        x.acquisitionKey = "study " + h.first(DCM_StudyInstanceUID) + "|" + h.first(DCM_DeviceSerialNumber) +
                           "|" + date + "|" + h.first(DCM_AcquisitionTime) + "|" + x.laterality + "|" +
                           x.view + "|" + plainDecimal(x.kvp) + "|" + (x.mas ? plainDecimal(*x.mas) : "") +
                           "|" + plainDecimal(x.thicknessMm);
    return x;
}

} // namespace

std::optional<Target> targetNamed(std::string_view name) {
    const std::string n = upper(trim(std::string(name)));
    if (n == "MOLYBDENUM" || n == "MO") return Target::Molybdenum;
    if (n == "TUNGSTEN" || n == "W") return Target::Tungsten;
    return std::nullopt;
}

std::optional<FilterMaterial> filterNamed(std::string_view name) {
    const std::string n = upper(trim(std::string(name)));
    if (n == "MOLYBDENUM" || n == "MO") return FilterMaterial::Molybdenum;
    if (n == "RHODIUM" || n == "RH") return FilterMaterial::Rhodium;
    if (n == "SILVER" || n == "AG") return FilterMaterial::Silver;
    if (n == "ALUMINUM" || n == "ALUMINIUM" || n == "AL") return FilterMaterial::Aluminum;
    return std::nullopt;
}

const char* symbol(Target t) {
    return t == Target::Molybdenum ? "Mo" : "W";
}

const char* symbol(FilterMaterial f) {
    switch (f) {
    case FilterMaterial::Molybdenum:
        return "Mo";
    case FilterMaterial::Rhodium:
        return "Rh";
    case FilterMaterial::Silver:
        return "Ag";
    case FilterMaterial::Aluminum:
        return "Al";
    }
    return "?";
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

Reading readExposure(const fs::path& file) {
    quietDcmtk();
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return skip(SkipCode::NotRegularFile);
    const Start start = sniff(file);
    if (start == Start::Other) return skip(SkipCode::NotDicom);
    DcmFileFormat ff;
    const OFCondition c =
        ff.loadFileUntilTag(file.c_str(), EXS_Unknown, EGL_noChange, kMaxLoadedValue,
                            start == Start::Part10 ? ERM_fileOnly : ERM_dataset, DCM_PixelData);
    if (c.bad()) return skip(SkipCode::Unreadable, c.text());
    DcmDataset* ds = ff.getDataset();
    if (!ds) return skip(SkipCode::Unreadable);
    // Labels in UTF-8 whatever the file's character set; a set that cannot be
    // converted leaves the bytes, and only their printable ASCII is shown.
    (void)ds->convertToUTF8();
    return readDataset(*ds);
}

} // namespace kv::audit
