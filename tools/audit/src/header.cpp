#include "header.h"

#include "kv/common/format.h"
#include "kv/common/text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <dcmtk/dcmdata/dcsequen.h>

namespace kv::audit::header {

std::string trim(std::string s) {
    // DICOM pads a value with spaces or NUL bytes; a hand-made file may end a line.
    static constexpr std::string_view kDicomBlanks{" \t\r\n\0", 5};
    return std::string(trimmed(s, kDicomBlanks));
}

std::string upper(std::string s) {
    return uppered(s);
}

std::string printable(const std::string& s, size_t most) {
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

std::string tagName(const DcmTagKey& t) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "(%04X,%04X)", t.getGroup(), t.getElement());
    return buf;
}

Skip skip(SkipCode c, std::string detail, std::string tag) {
    Skip s;
    s.code = c;
    s.detail = printable(detail);
    s.tag = std::move(tag);
    return s;
}

namespace {

bool digits(const std::string& s, size_t from, size_t n) {
    return s.size() >= from + n && std::all_of(s.begin() + static_cast<std::ptrdiff_t>(from),
                                               s.begin() + static_cast<std::ptrdiff_t>(from + n),
                                               [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::optional<double> yearsBetween(const std::string& birth, const std::string& on) {
    auto parse = [](const std::string& d, int& y, int& m, int& day) {
        if (d.size() != 8 || !digits(d, 0, 8)) return false;
        y = std::stoi(d.substr(0, 4)), m = std::stoi(d.substr(4, 2)), day = std::stoi(d.substr(6, 2));
        return m >= 1 && m <= 12 && day >= 1 && day <= 31;
    };
    int by, bm, bd, y, m, d;
    if (!parse(birth, by, bm, bd) || !parse(on, y, m, d)) return std::nullopt;
    int age = y - by - ((m < bm || (m == bm && d < bd)) ? 1 : 0);
    if (age < 0 || age > 130) return std::nullopt;
    return age;
}

std::optional<double> ageString(const std::string& as) {
    if (as.size() != 4 || !digits(as, 0, 3)) return std::nullopt;
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

std::optional<double> timeOfDay(const std::string& tm) {
    std::string t = trim(tm);
    t.erase(std::remove(t.begin(), t.end(), ':'), t.end()); // the old form's separators
    const size_t point = t.find('.');
    const std::string whole = t.substr(0, point);
    if (whole.size() != 2 && whole.size() != 4 && whole.size() != 6) return std::nullopt;
    if (!digits(whole, 0, whole.size())) return std::nullopt;
    const int h = std::stoi(whole.substr(0, 2));
    const int m = whole.size() >= 4 ? std::stoi(whole.substr(2, 2)) : 0;
    const int s = whole.size() >= 6 ? std::stoi(whole.substr(4, 2)) : 0;
    if (h > 23 || m > 59 || s > 60) return std::nullopt;
    double fraction = 0;
    if (point != std::string::npos) {
        const std::string f = t.substr(point + 1);
        if (f.empty() || f.size() > 6 || !digits(f, 0, f.size())) return std::nullopt;
        fraction = std::stod("0." + f);
    }
    return h * 3600.0 + m * 60.0 + s + fraction;
}

std::string Header::text(const DcmTagKey& tag) const {
    OFString v;
    if (item_.findAndGetOFStringArray(tag, v).bad()) return {};
    return trim(std::string(v.c_str(), v.length()));
}

std::string Header::first(const DcmTagKey& tag) const {
    std::string all = text(tag);
    return trim(all.substr(0, all.find('\\')));
}

Header::Number Header::number(const DcmTagKey& tag) const {
    Number n;
    if (!has(tag)) return n;
    DcmElement* e = nullptr;
    if (item_.findAndGetElement(tag, e).bad() || !e) return n;
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

std::vector<Header> Header::items(const DcmTagKey& sequence) const {
    std::vector<Header> out;
    DcmSequenceOfItems* seq = nullptr;
    if (item_.findAndGetSequence(sequence, seq).bad() || !seq) return out;
    for (unsigned long i = 0; i < seq->card(); ++i)
        if (DcmItem* it = seq->getItem(i)) out.emplace_back(*it);
    return out;
}

void readCommon(const Header& h, Exposure& x) {
    x.instanceUid = h.first(DCM_SOPInstanceUID);
    x.studyUid = h.first(DCM_StudyInstanceUID);
    x.seriesUid = h.first(DCM_SeriesInstanceUID);
    std::string device = h.first(DCM_Manufacturer);
    if (std::string model = h.first(DCM_ManufacturerModelName); !model.empty())
        device += (device.empty() ? "" : " ") + model;
    x.serial = printable(h.first(DCM_DeviceSerialNumber), 32);
    if (!x.serial.empty()) device += (device.empty() ? "SN " : " SN ") + x.serial;
    x.device = printable(device, 64);
    x.ageYears = ageString(h.first(DCM_PatientAge));
    if (!x.ageYears) x.ageYears = yearsBetween(h.first(DCM_PatientBirthDate), x.acquisitionDate);
}

} // namespace kv::audit::header
