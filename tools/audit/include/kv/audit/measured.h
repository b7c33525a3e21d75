#pragma once
// What the physicist measured on the unit, given to kv-audit as CSV:
//   --output OUTPUT.csv
//   target,filter,kv,mgy_per_mas,distance_mm[,support_gap_mm][,filter_mm][,serial][,dbt_kerma]
//   --hvl HVL.csv        target,filter,kv,hvl_mm_al[,filter_mm][,serial]
// One row per beam measured (paddle in the beam), columns in any order.
// Between two measured tube voltages of the same beam the value is linear in
// kV; outside them there is none (no extrapolation). A row with a serial
// number applies to that unit only and wins over rows without one; a row with
// a filter thickness applies to that thickness only and wins over rows
// without one. An output row with a serial may say how the unit's
// tomosynthesis doses are meant (dbt_kerma: scan or projection); a row that
// says only that leaves the beam's cells empty.
#include "kv/audit/exposure.h"

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kv::audit {

struct MeasuredRow {
    int line = 0;
    Target target = Target::Molybdenum;
    FilterMaterial filter = FilterMaterial::Molybdenum;
    double kv = 0;
    double value = 0;               // mGy/mAs or mm Al
    double distanceMm = 0;          // output only: where the output was measured, from the focus
    double supportGapMm = 0;        // output only: breast support to detector
    std::optional<double> filterMm; // empty: any thickness of the filter
    std::string serial;             // empty: any unit
};

// Whether a unit's tomosynthesis dose values (where the standard leaves it
// open) are the whole scan's or one projection's.
enum class DbtKerma { Scan, Projection };

enum class MeasuredFault {
    Unreadable, // missing, a folder or pipe, too large
    UnknownColumn,
    RepeatedColumn,
    MissingColumn,
    BadNumber, // not entirely a number, or outside what the column takes
    BadTarget,
    BadFilter,
    NoHeader,
    BadDbtKerma,
    DbtKermaTwice,
    BadModality, // a reference level's: 2d or dbt
    BadBand,     // a reference level's band ends at or below its start
};

// A measured table that cannot be used: names the file, line, column and value.
struct MeasuredError : std::runtime_error {
    MeasuredError(std::string file, int line, std::string column, std::string value, MeasuredFault fault);
    std::string file, column, value;
    int line;
    MeasuredFault fault;
};

// The bytes of a small table the physicist keeps (at most kSmallFileMaxBytes); a file that cannot be read
// is a MeasuredError (Unreadable) naming it.
std::string readMeasuredBytes(const std::filesystem::path& file);

enum class MeasuredKind { Output, Hvl };

class MeasuredTable {
  public:
    // Throws MeasuredError.
    static MeasuredTable read(const std::filesystem::path& file, MeasuredKind kind);
    static MeasuredTable parse(const std::string& text, const std::string& name, MeasuredKind kind);

    // The row for this exposure's beam, interpolated in kV; empty when the
    // table has no row for the beam or the voltage lies outside its rows.
    std::optional<MeasuredRow> lookup(Target t, FilterMaterial f, double filterMm, double kv,
                                      const std::string& serial) const;
    bool empty() const { return rows_.empty(); }
    // What the table says of the unit's tomosynthesis doses; empty when nothing.
    std::optional<DbtKerma> dbtKerma(const std::string& serial) const;

  private:
    std::vector<MeasuredRow> rows_;
    std::map<std::string, DbtKerma> dbtKerma_; // by serial
};

} // namespace kv::audit
