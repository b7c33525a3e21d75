#pragma once
// What the image reader and the dose-report reader share: a header's values
// read as text or as numbers, the labels a message may show, and DICOM's
// dates and times as values.
#include "kv/audit/exposure.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <optional>
#include <string>

namespace kv::audit::header {

std::string trim(std::string s);
std::string upper(std::string s);
// What a message or a label may show of a header value: printable ASCII and
// the UTF-8 the character set conversion gave, at most `most` bytes.
std::string printable(const std::string& s, size_t most = 60);
std::string tagName(const DcmTagKey& t); // "(0018,0060)"
Skip skip(SkipCode c, std::string detail = {}, std::string tag = {});

// Whole years between two DICOM dates (YYYYMMDD); "052Y", "006M", "010W", "003D".
std::optional<double> yearsBetween(const std::string& birth, const std::string& on);
std::optional<double> ageString(const std::string& as);
// A DICOM time (HHMMSS.FFFFFF, HHMM, HH, or the old HH:MM:SS.FFF) as seconds
// after midnight; empty when it is none.
std::optional<double> timeOfDay(const std::string& tm);

// One item of a header (the dataset, or an item of a sequence in it).
class Header {
  public:
    explicit Header(DcmItem& item) : item_(item) {}

    // The whole value (every value of a multi-valued one, joined by '\'), trimmed; empty when absent.
    std::string text(const DcmTagKey& tag) const;
    std::string first(const DcmTagKey& tag) const;
    bool has(const DcmTagKey& tag) const { return item_.tagExistsWithValue(tag); }

    // A decimal of the header: absent (nullopt, ok) or present and a finite number (ok), else not ok.
    struct Number {
        std::optional<double> value;
        bool ok = true;
        std::string shown;
    };
    Number number(const DcmTagKey& tag) const;

    // The items of a sequence (none when absent or not a sequence).
    std::vector<Header> items(const DcmTagKey& sequence) const;
    DcmItem& item() const { return item_; }

  private:
    DcmItem& item_;
};

// The patient's age, the unit and the study, as every object gives them.
void readCommon(const Header& h, Exposure& x);

} // namespace kv::audit::header
