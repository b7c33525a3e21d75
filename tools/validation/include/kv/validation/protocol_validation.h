#pragma once
// The protocol breast against the published conversion factors: the rows to
// run, the published tables (Dance 1990; Dance et al. 2000) and the
// comparison that docs/validation.md shows.
//
//   kv-protocol-validate --data build/release/run --out build/release/validation --doc docs/validation.md
#include "kv/factors/row_factors.h"
#include "kv/formats/equipment_file.h"
#include "kv/sweep/factors.h"
#include "kv/sweep/grid.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kv::validation {

// A published table of factors: one row per thickness (cm), one column per first HVL (mm Al).
struct FactorTable {
    std::vector<double> hvls;
    std::map<double, std::vector<double>> rows;
};
// Reads "thickness_cm,hvl_0.30,..." with '#' comment lines. Throws std::runtime_error.
FactorTable readFactorTable(const std::filesystem::path& csv);
// The row of `thickness` (none when the table has no such row), linear in the HVL between its
// columns; none outside them.
std::optional<double> lookUp(const FactorTable& t, double thickness, double hvl);
// "W/Rh" -> 1.042. Throws std::runtime_error.
std::map<std::string, double> readSpectrumFactors(const std::filesystem::path& csv);

enum class Group { G, S, Thick, C };

struct Case {
    Group group;
    factors::Row row;
};

// "Rh/Ag": the row's target and its first filter, as the published s and our tables name a beam
// ("Rh/-" without a filter).
std::string beamName(const factors::Row& r);

// Every row the comparison needs; `reduced` is the few that CI runs.
std::vector<Case> validationCases(bool reduced, const formats::EquipmentRecord& equipment, double histories);

struct Comparison {
    Case c;
    sweep::FactorLine ours;                 // g, c, s as kv-sweep --factors forms them
    std::optional<double> publishedG;       // g at this thickness and HVL
    std::optional<double> publishedS;       // s of this target and filter
    std::optional<double> expectedMgd;      // publishedG x publishedS
    std::optional<double> deviationPercent; // mgd against expectedMgd
    // mgd over the published g at this HVL: the s the published g implies for this beam, free of
    // how our own Mo/Mo rows (ours.s) reach that HVL.
    std::optional<double> sAgainstPublishedG;
};

std::vector<Comparison> compare(const std::vector<Case>& cases,
                                const std::vector<factors::RowFactors>& factors, const FactorTable& g,
                                const std::map<std::string, double>& s);

struct Summary {
    int count = 0, within = 0;
    double mean = 0, rms = 0, worst = 0; // percent
};
// Over the comparisons of `group` that have a published value; `tolerance` in percent.
Summary summarize(const std::vector<Comparison>& all, Group group, double tolerance);

// The generated part of docs/validation.md: tables and summaries.
std::string generatedMarkdown(const std::vector<Comparison>& all, const std::string& command);
// Replaces what lies between the markers in `doc` (or appends both markers and the text).
// Throws std::runtime_error when the document cannot be read or written.
void replaceGenerated(const std::filesystem::path& doc, const std::string& text);
// The same between other markers.
void replaceGenerated(const std::filesystem::path& doc, const std::string& text, std::string_view begin,
                      std::string_view end);

// The protocol factors of measured spectra beside our models' at the same first HVL: the rows of
// a grid whose spectrum_file rows are the measured spectra and whose other rows are our models.
struct MeasuredComparison {
    sweep::FactorLine measured; // its s against our model's Mo/Mo rows of the grid
    std::string spectrumFile;
    // Our model of the same target, filters and breast, linear in the HVL between its two rows
    // around the measured one's; none beyond them.
    std::optional<double> modelMgd;
    std::optional<double> differencePercent; // measured mgd against modelMgd
};
// The grid's rows (kv-sweep's GRID.csv, spectrum_file relative to its folder); `reduced` keeps
// the rhodium rows without silver up to 31 kV, and `histories`, when not 0, replaces each row's.
// Throws sweep::GridError or std::runtime_error for a row the grid refuses.
std::vector<factors::Row> measuredCases(const std::filesystem::path& grid,
                                        const formats::EquipmentRecord& equipment, bool reduced,
                                        double histories);
// One comparison per measured row, in the grid's order; factors[i] belongs to rows[i].
std::vector<MeasuredComparison> compareMeasured(const std::vector<factors::Row>& rows,
                                                const std::vector<factors::RowFactors>& factors);
// The generated part of the document's measured-spectra section.
std::string measuredMarkdown(const std::vector<MeasuredComparison>& all, const std::string& command);

inline constexpr std::string_view kBeginMarker = "<!-- generated by kv-protocol-validate: begin -->";
inline constexpr std::string_view kEndMarker = "<!-- generated by kv-protocol-validate: end -->";
inline constexpr std::string_view kMeasuredBeginMarker =
    "<!-- generated by kv-protocol-validate: measured spectra begin -->";
inline constexpr std::string_view kMeasuredEndMarker =
    "<!-- generated by kv-protocol-validate: measured spectra end -->";

} // namespace kv::validation
