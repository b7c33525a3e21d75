#include "dose_report.h"

#include "header.h"
#include "kv/common/format.h"

#include <algorithm>
#include <cmath>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmsr/dsrdoc.h>
#include <functional>

namespace kv::audit {
namespace {

using namespace header;

// The concepts read, (code, DCM) of the projection X-ray dose templates.
namespace dcm {
constexpr const char* kReport = "113701";           // X-Ray Radiation Dose Report
constexpr const char* kProcedure = "121058";        // Procedure reported
constexpr const char* kEvent = "113706";            // Irradiation Event X-Ray Data
constexpr const char* kEventUid = "113769";         // Irradiation Event UID
constexpr const char* kStarted = "111526";          // DateTime Started
constexpr const char* kEventType = "113721";        // Irradiation Event Type
constexpr const char* kTargetRegion = "123014";     // Target Region (laterality as its modifier)
constexpr const char* kView = "111031";             // Image View
constexpr const char* kKvp = "113733";              // KVP
constexpr const char* kExposure = "113736";         // Exposure (uA.s)
constexpr const char* kTubeCurrent = "113734";      // X-Ray Tube Current
constexpr const char* kExposureTime = "113824";     // Exposure Time
constexpr const char* kAnode = "111632";            // Anode Target Material
constexpr const char* kFilters = "113771";          // X-Ray Filters
constexpr const char* kFilterMaterial = "113757";   // X-Ray Filter Material
constexpr const char* kFilterMin = "113758";        // X-Ray Filter Thickness Minimum
constexpr const char* kFilterMax = "113773";        // X-Ray Filter Thickness Maximum
constexpr const char* kThickness = "111633";        // Compression Thickness
constexpr const char* kForce = "111647";            // Compression Force
constexpr const char* kHvl = "111634";              // Half Value Layer
constexpr const char* kEntrance = "111636";         // Entrance Exposure at RP
constexpr const char* kAgd = "111631";              // Average Glandular Dose
constexpr const char* kSourceToDetector = "113750"; // Distance Source to Detector
constexpr const char* kStartAngle = "112011";       // Positioner Primary Angle
constexpr const char* kEndAngle = "113739";         // Positioner Primary End Angle
constexpr const char* kPulses = "113768";           // Number of Pulses
} // namespace dcm

// No report the audit reads comes near this; a hostile one stops here.
constexpr size_t kMaxItems = 200000;

// A unit a number may come in, and what it is multiplied by to be in the one the audit takes.
struct Unit {
    const char* code;
    double scale;
};
const std::vector<Unit> kDose = {{"mGy", 1}, {"Gy", 1000}, {"dGy", 100}, {"uGy", 1e-3}};
const std::vector<Unit> kLength = {{"mm", 1}, {"cm", 10}, {"m", 1000}};
const std::vector<Unit> kVoltage = {{"kV", 1}, {"V", 1e-3}};
const std::vector<Unit> kCharge = {{"uA.s", 1e-3}, {"mA.s", 1}, {"mAs", 1}, {"uAs", 1e-3}};
const std::vector<Unit> kCurrent = {{"mA", 1}, {"uA", 1e-3}, {"A", 1000}};
const std::vector<Unit> kTime = {{"ms", 1}, {"s", 1000}, {"us", 1e-3}};
const std::vector<Unit> kAngle = {{"deg", 1}};
const std::vector<Unit> kCount = {{"1", 1}, {"{pulses}", 1}, {"{pulse}", 1}, {"{count}", 1}};
const std::vector<Unit> kForceUnits = {{"N", 1}, {"daN", 10}};

// The concept's name as a skip shows it: "KVP (113733, DCM)".
std::string conceptLabel(const char* code, const char* meaning) {
    return std::string(meaning) + " (" + code + ", DCM)";
}

struct Event {
    const ReportItem& item;

    // The first item of the concept in the event, its filters' containers included.
    const ReportItem* find(const char* code) const { return findIn(item, code); }
    static const ReportItem* findIn(const ReportItem& in, const char* code) {
        for (const ReportItem& c : in.children)
            if (c.code == code && !c.modifier) return &c;
        for (const ReportItem& c : in.children)
            if (c.type == ReportItem::Type::Container && c.code != dcm::kEvent)
                if (const ReportItem* f = findIn(c, code)) return f;
        return nullptr;
    }

    // A number of the concept in one of `units`, as the header reader gives one.
    Header::Number number(const char* code, const std::vector<Unit>& units) const {
        Header::Number n;
        const ReportItem* i = find(code);
        if (!i) return n;
        if (i->type != ReportItem::Type::Num) {
            n.ok = false,
            n.shown = i->type == ReportItem::Type::Code ? printable(i->valueMeaning, 30) : "not a number";
            return n;
        }
        n.shown = printable(i->text, 20);
        n.shown += i->unit.empty() ? std::string(" (no unit)") : " " + printable(i->unit, 10);
        if (i->text.empty()) return n;
        double v = 0;
        const auto unit =
            std::find_if(units.begin(), units.end(), [&](const Unit& u) { return i->unit == u.code; });
        if (unit == units.end() || !parseNumberStrict(i->text, v) || !std::isfinite(v)) {
            n.ok = false;
            return n;
        }
        n.value = v * unit->scale;
        return n;
    }
};

// What a coded material names, by its meaning (whatever the coding scheme),
// else by the code values of the templates' context groups.
std::string materialOf(const ReportItem& i) {
    const std::string m = upper(i.valueMeaning);
    for (const char* name :
         {"MOLYBDENUM", "TUNGSTEN", "RHODIUM", "SILVER", "ALUMINUM", "ALUMINIUM", "COPPER"})
        if (m.find(name) != std::string::npos) return name;
    const std::pair<const char*, const char*> codes[] = {
        {"C-150F9", "MOLYBDENUM"}, {"C-164F9", "TUNGSTEN"}, {"C-167F9", "RHODIUM"}, {"C-120F9", "ALUMINUM"}};
    for (const auto& [code, name] : codes)
        if (i.valueCode == code) return name;
    return printable(m.empty() ? i.valueCode : m, 40);
}

std::string viewOf(const std::string& meaning) {
    std::string m;
    for (char c : upper(meaning))
        if (std::isalnum(static_cast<unsigned char>(c))) m += c;
    const std::pair<const char*, const char*> views[] = {
        {"CRANIOCAUDAL", "CC"},         {"MEDIOLATERALOBLIQUE", "MLO"},
        {"MEDIOLATERAL", "ML"},         {"LATEROMEDIAL", "LM"},
        {"LATEROMEDIALOBLIQUE", "LMO"}, {"EXAGGERATEDCRANIOCAUDAL", "XCC"},
        {"CAUDOCRANIAL", "FB"},         {"CLEAVAGE", "CV"},
        {"AXILLARYTAIL", "AT"},         {"SUPEROLATERALTOINFEROMEDIALOBLIQUE", "SIO"}};
    for (const auto& [name, short_] : views)
        if (m == name) return short_;
    return printable(upper(meaning), 16);
}

std::string lateralityOf(const std::string& meaning) {
    const std::string m = upper(meaning);
    if (m.find("RIGHT AND LEFT") != std::string::npos || m.find("BILATERAL") != std::string::npos ||
        m.find("BOTH") != std::string::npos)
        return "B";
    if (m.find("LEFT") != std::string::npos) return "L";
    if (m.find("RIGHT") != std::string::npos) return "R";
    return {};
}

bool isLaterality(const ReportItem& i) {
    return i.code == "G-C171" || i.code == "272741003" || upper(i.meaning) == "LATERALITY";
}

Reading readEvent(const Event& e, Exposure x, int number) {
    x.kind = ObjectKind::DoseEvent;
    x.event = number;
    auto refuse = [&](SkipCode c, std::string detail, std::string tag = {}) {
        Skip s = skip(c, std::move(detail), std::move(tag));
        s.event = number;
        return s;
    };
    auto need = [&](const char* code, const char* meaning, const std::vector<Unit>& units,
                    double& into) -> std::optional<Skip> {
        const Header::Number n = e.number(code, units);
        if (!n.ok || (n.value && !(*n.value > 0)))
            return refuse(SkipCode::BadValue, n.shown, conceptLabel(code, meaning));
        if (!n.value) return refuse(SkipCode::MissingValue, {}, conceptLabel(code, meaning));
        into = *n.value;
        return std::nullopt;
    };
    auto optional = [&](const char* code, const char* meaning, const std::vector<Unit>& units,
                        bool positive) -> std::optional<double> {
        const Header::Number n = e.number(code, units);
        if (!n.ok || (n.value && (*n.value < 0 || (positive && *n.value == 0)))) {
            x.setAside.push_back({conceptLabel(code, meaning), n.shown});
            return std::nullopt;
        }
        return n.value;
    };

    if (const ReportItem* uid = e.find(dcm::kEventUid); uid && uid->type == ReportItem::Type::UidRef)
        x.eventUid = trim(uid->text);
    if (const ReportItem* t = e.find(dcm::kStarted); t && t->type == ReportItem::Type::DateTime) {
        const std::string dt = trim(t->text);
        if (dt.size() >= 8) x.acquisitionDate = printable(dt.substr(0, 8), 8);
        if (dt.size() > 8)
            x.acquisitionSeconds =
                timeOfDay(dt.substr(8, std::min<size_t>(13, dt.find_first_of("+-", 8) - 8)));
    }
    if (const ReportItem* r = e.find(dcm::kTargetRegion))
        for (const ReportItem& m : r->children)
            if (isLaterality(m)) x.laterality = lateralityOf(m.valueMeaning);
    if (x.laterality.empty())
        for (const ReportItem& c : e.item.children)
            if (isLaterality(c) || c.code == "111027") x.laterality = lateralityOf(c.valueMeaning);
    if (const ReportItem* v = e.find(dcm::kView); v && v->type == ReportItem::Type::Code)
        x.view = viewOf(v->valueMeaning);

    if (auto s = need(dcm::kKvp, "KVP", kVoltage, x.kvp)) return *s;

    const ReportItem* anode = e.find(dcm::kAnode);
    if (!anode) return refuse(SkipCode::MissingValue, {}, conceptLabel(dcm::kAnode, "Anode Target Material"));
    if (anode->type != ReportItem::Type::Code)
        return refuse(SkipCode::BadValue, "not a code", conceptLabel(dcm::kAnode, "Anode Target Material"));
    const std::optional<Target> target = targetNamed(materialOf(*anode));
    if (!target) return refuse(SkipCode::UnsupportedAnode, materialOf(*anode));
    x.target = *target;

    // The filters: each container one filter; more than one material is a filter the model does not offer.
    std::vector<const ReportItem*> filters;
    std::function<void(const ReportItem&)> collect = [&](const ReportItem& in) {
        for (const ReportItem& c : in.children)
            if (c.type == ReportItem::Type::Container && c.code == dcm::kFilters)
                filters.push_back(&c);
            else if (c.type == ReportItem::Type::Container && c.code != dcm::kEvent)
                collect(c);
    };
    collect(e.item);
    std::string materials;
    const ReportItem* filter = nullptr;
    for (const ReportItem* f : filters)
        if (const ReportItem* m = Event::findIn(*f, dcm::kFilterMaterial)) {
            if (m->type != ReportItem::Type::Code)
                return refuse(SkipCode::BadValue, "not a code",
                              conceptLabel(dcm::kFilterMaterial, "X-Ray Filter Material"));
            materials += (materials.empty() ? "" : "\\") + materialOf(*m);
            if (!filter) filter = f;
        }
    if (!filter)
        return refuse(SkipCode::MissingValue, {},
                      conceptLabel(dcm::kFilterMaterial, "X-Ray Filter Material"));
    const std::optional<FilterMaterial> material = filterNamed(materials);
    if (!material) return refuse(SkipCode::UnsupportedFilter, materials);
    x.filter = *material;
    const Event inFilter{*filter};
    const Header::Number fmin = inFilter.number(dcm::kFilterMin, kLength),
                         fmax = inFilter.number(dcm::kFilterMax, kLength);
    for (const auto& [n, code, meaning] :
         {std::tuple{&fmin, dcm::kFilterMin, "X-Ray Filter Thickness Minimum"},
          std::tuple{&fmax, dcm::kFilterMax, "X-Ray Filter Thickness Maximum"}})
        if (!n->ok || (n->value && *n->value <= 0))
            return refuse(SkipCode::BadValue, n->shown, conceptLabel(code, meaning));
    if (!fmin.value && !fmax.value)
        return refuse(SkipCode::MissingValue, {},
                      conceptLabel(dcm::kFilterMin, "X-Ray Filter Thickness Minimum"));
    x.filterMm = fmin.value && fmax.value ? (*fmin.value + *fmax.value) / 2
                 : fmin.value             ? *fmin.value
                                          : *fmax.value;

    if (auto s = need(dcm::kThickness, "Compression Thickness", kLength, x.thicknessMm)) return *s;

    x.mas = optional(dcm::kExposure, "Exposure", kCharge, true);
    if (!x.mas) {
        const auto ma = optional(dcm::kTubeCurrent, "X-Ray Tube Current", kCurrent, true);
        const auto ms = optional(dcm::kExposureTime, "Exposure Time", kTime, true);
        if (ma && ms) x.mas = *ma * *ms / 1000;
    }
    x.entranceDoseMgy = optional(dcm::kEntrance, "Entrance Exposure at RP", kDose, true);
    x.organDoseMgy = optional(dcm::kAgd, "Average Glandular Dose", kDose, false);
    x.hvlMmAl = optional(dcm::kHvl, "Half Value Layer", kLength, true);
    x.compressionForceN = optional(dcm::kForce, "Compression Force", kForceUnits, false);
    x.sourceToDetectorMm = optional(dcm::kSourceToDetector, "Distance Source to Detector", kLength, true);

    // A scan: more than one pulse, the tube moving, or a type that says it moved.
    const std::optional<double> pulses = e.number(dcm::kPulses, kCount).value;
    const std::optional<double> start = e.number(dcm::kStartAngle, kAngle).value,
                                end = e.number(dcm::kEndAngle, kAngle).value;
    const ReportItem* type = e.find(dcm::kEventType);
    const bool moving = type && type->type == ReportItem::Type::Code &&
                        (type->valueCode == "113613" || type->valueCode == "113612");
    if ((pulses && *pulses > 1) || (start && end && std::fabs(*end - *start) > 0.5) || moving) {
        x.modality = Modality::Tomosynthesis;
        Scan s;
        if (pulses && *pulses >= 1 && *pulses <= 1000) s.projections = static_cast<int>(std::lround(*pulses));
        if (start && end && std::fabs(*start) <= 90 && std::fabs(*end) <= 90)
            s.startDeg = start, s.endDeg = end;
        x.scan = s;
        // Whether a report's doses are the scan's or one projection's differs from one maker to the next.
        x.scope.entrance = x.scope.mas = x.scope.organ = DoseScope::Unsaid;
    }
    return x;
}

ReportItem::Type typeOf(DSRTypes::E_ValueType t) {
    switch (t) {
    case DSRTypes::VT_Container:
        return ReportItem::Type::Container;
    case DSRTypes::VT_Num:
        return ReportItem::Type::Num;
    case DSRTypes::VT_Code:
        return ReportItem::Type::Code;
    case DSRTypes::VT_UIDRef:
        return ReportItem::Type::UidRef;
    case DSRTypes::VT_DateTime:
        return ReportItem::Type::DateTime;
    case DSRTypes::VT_Text:
        return ReportItem::Type::Text;
    default:
        return ReportItem::Type::Other;
    }
}

std::string str(const OFString& s) {
    return std::string(s.c_str(), s.length());
}

// The document tree as ReportItems, depth first; false when it holds more than kMaxItems.
bool convert(DSRDocumentTree& tree, ReportItem& root) {
    if (!tree.gotoRoot()) return true;
    std::vector<ReportItem*> path; // the items above the one read, by level
    size_t count = 0;
    do {
        if (++count > kMaxItems) return false;
        DSRContentItem& c = tree.getCurrentContentItem();
        const size_t level = tree.getLevel();
        ReportItem item;
        const DSRCodedEntryValue& name = c.getConceptName();
        item.code = str(name.getCodeValue()), item.scheme = str(name.getCodingSchemeDesignator());
        item.meaning = str(name.getCodeMeaning());
        item.type = typeOf(c.getValueType());
        item.modifier = c.getRelationshipType() == DSRTypes::RT_hasConceptMod;
        switch (c.getValueType()) {
        case DSRTypes::VT_Num:
            item.text = str(c.getNumericValue().getNumericValue());
            item.unit = str(c.getNumericValue().getMeasurementUnit().getCodeValue());
            break;
        case DSRTypes::VT_Code:
            item.valueCode = str(c.getCodeValue().getCodeValue());
            item.valueMeaning = str(c.getCodeValue().getCodeMeaning());
            break;
        case DSRTypes::VT_UIDRef:
        case DSRTypes::VT_DateTime:
        case DSRTypes::VT_Text:
            item.text = str(c.getStringValue());
            break;
        default:
            break;
        }
        if (level <= 1) {
            root = std::move(item);
            path.assign(1, &root);
            continue;
        }
        path.resize(std::min(path.size(), level - 1));
        if (path.empty()) continue; // a second root cannot be, but would be left out
        ReportItem& parent = *path.back();
        parent.children.push_back(std::move(item));
        path.push_back(&parent.children.back());
    } while (tree.iterate());
    return true;
}

} // namespace

std::vector<Reading> readDoseEvents(const ReportItem& root, const Exposure& base) {
    // A report of no mammography: its procedure says so, or its events hold no breast.
    bool mammography = false, procedureSaid = false;
    for (const ReportItem& c : root.children)
        if (c.code == dcm::kProcedure && c.type == ReportItem::Type::Code) {
            procedureSaid = true;
            mammography = mammography || upper(c.valueMeaning).find("MAMMOGRAPH") != std::string::npos ||
                          c.valueCode == "71651007" || c.valueCode == "P5-40010";
        }
    std::vector<const ReportItem*> events;
    std::function<void(const ReportItem&)> collect = [&](const ReportItem& in) {
        for (const ReportItem& c : in.children)
            if (c.type == ReportItem::Type::Container && c.code == dcm::kEvent)
                events.push_back(&c);
            else if (c.type == ReportItem::Type::Container)
                collect(c);
    };
    if (root.code == dcm::kReport) collect(root);
    if (!procedureSaid)
        mammography = std::any_of(events.begin(), events.end(), [](const ReportItem* e) {
            return Event{*e}.find(dcm::kThickness) || Event{*e}.find(dcm::kAgd);
        });
    if (!mammography || events.empty())
        return {skip(SkipCode::NotMammography, root.code == dcm::kReport ? "dose report" : "SR")};
    std::vector<Reading> out;
    for (size_t i = 0; i < events.size(); ++i)
        out.push_back(readEvent(Event{*events[i]}, base, static_cast<int>(i) + 1));
    return out;
}

std::vector<Reading> readDoseReport(DcmDataset& ds) {
    const Header h(ds);
    Exposure base;
    base.acquisitionDate = printable(h.first(DCM_ContentDate), 8);
    if (base.acquisitionDate.empty()) base.acquisitionDate = printable(h.first(DCM_StudyDate), 8);
    readCommon(h, base);
    base.instanceUid = h.first(DCM_SOPInstanceUID);
    DSRDocument doc;
    // What the audit needs is checked item by item below; a report that breaks a rule elsewhere still counts.
    const size_t lenient = DSRTypes::RF_acceptUnknownRelationshipType |
                           DSRTypes::RF_acceptInvalidContentItemValue |
                           DSRTypes::RF_ignoreRelationshipConstraints | DSRTypes::RF_ignoreContentItemErrors |
                           DSRTypes::RF_skipInvalidContentItems;
    const OFCondition c = doc.read(ds, lenient);
    if (c.bad()) return {skip(SkipCode::Unreadable, std::string("dose report: ") + c.text())};
    ReportItem root;
    if (!convert(doc.getTree(), root)) return {skip(SkipCode::Unreadable, "too many items")};
    return readDoseEvents(root, base);
}

} // namespace kv::audit
