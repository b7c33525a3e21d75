#pragma once
// X-ray radiation dose reports (structured reports, read with DCMTK's dcmsr):
// each irradiation event of a mammography report is one exposure.
#include "kv/audit/exposure.h"

#include <string>
#include <vector>

class DcmDataset;

namespace kv::audit {

// The content tree of a report as far as the audit reads it.
struct ReportItem {
    enum class Type { Container, Num, Code, UidRef, DateTime, Text, Other };
    std::string code, scheme, meaning; // the concept name
    Type type = Type::Other;
    std::string text;                    // Num: the number as written; UidRef, DateTime, Text: the value
    std::string unit;                    // Num: the unit's code (UCUM)
    std::string valueCode, valueMeaning; // Code: the value
    bool modifier = false;               // a concept modifier of its parent
    std::vector<ReportItem> children;
};

// The events of a report's tree, each an exposure or a skip naming it; the
// header `base` gives what the report's own header holds (unit, study,
// patient's age). A tree of no mammography gives one NotMammography skip.
std::vector<Reading> readDoseEvents(const ReportItem& root, const Exposure& base);

// Reads the report in `ds` with dcmsr, then its events.
std::vector<Reading> readDoseReport(DcmDataset& ds);

} // namespace kv::audit
