#pragma once
// The audit's pictures and its PDF record, drawn with Qt's painter on the
// offscreen platform (no window is opened). Each returns why it could not
// write its file, or nothing.
#include "kv/audit/trends.h"
#include "kv/texts/audit.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kv::audit {

struct PlotPoint {
    double thicknessMm = 0, agd = 0;
    std::optional<double> unitAgd, ratio;
};

// A table for the PDF: a header row, then rows of cells.
struct ReportTable {
    std::string title;
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
};

// One unit and modality on a page of its own.
struct UnitPage {
    std::string title, plotTitle;
    std::vector<std::string> lines;    // dates, sources
    std::vector<std::string> warnings; // small samples, HVLs from the model
    std::vector<PlotPoint> points;
    LogLine line;           // the unit's ln AGD in thickness
    ReportTable outliers;   // header and rows; no rows: none
    std::string noOutliers; // said when there are none
};

struct ReportContent {
    std::string version, date;
    int files = 0, exposures = 0, skipped = 0;
    std::vector<std::string> findings; // said before the tables: a unit's dose step
    std::vector<ReportTable> tables;   // in the order shown
    std::vector<UnitPage> units;       // after the tables, a page each
};

std::optional<std::string> writeAgdPlot(const std::filesystem::path& file,
                                        const std::vector<PlotPoint>& points, const texts::AuditTexts& t);
std::optional<std::string> writeRatioHistogram(const std::filesystem::path& file,
                                               const std::vector<PlotPoint>& points,
                                               const texts::AuditTexts& t);
// A page per unit and modality from the audit's rows: dates, sources, small
// samples, outliers and the unit's own plot.
struct AuditRow;
std::vector<UnitPage> unitPages(const std::vector<AuditRow>& rows, const texts::AuditTexts& t);

// Each unit's weekly median AGD against the date, its step marked.
std::optional<std::string> writeTrendPlot(const std::filesystem::path& file,
                                          const std::vector<TrendSeries>& series, const texts::AuditTexts& t);
// The plots are read back from `plots` (agd_vs_thickness.png, ratio_hist.png, median_agd_vs_date.png) when
// there.
std::optional<std::string> writeReportPdf(const std::filesystem::path& file, const ReportContent& c,
                                          const std::filesystem::path& plots, const texts::AuditTexts& t);

} // namespace kv::audit
