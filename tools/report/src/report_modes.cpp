#include "kv/report/report_modes.h"

#include "kv/common/codepage.h"
#include "kv/common/records.h"
#include "kv/common/temporaries.h"
#include "kv/common/typed_number.h"
#include "kv/report/report.h"
#include "kv/report/scan_report.h"
#include "kv/results/dose_tables.h"
#include "kv/results/result_file.h"

#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

namespace kv::results {
namespace {

namespace fs = std::filesystem;

struct Loaded {
    LoadResult load;
    StatedUncertainty uncertainty;
    formats::ResultTrailer trailer;
};

Loaded loadArgument(const std::string& arg) {
    const fs::path p(arg);
    const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    const std::string name = p.filename().string();
    Loaded l{LoadResultFile(dir, name), formats::statedUncertainty(formats::readRunHeader(dir, name)), {}};
    if (l.load) formats::readResultTrailer(dir, name, l.trailer);
    return l;
}

// A load that cannot end the program: any failure reads as an unreadable file.
Loaded guardedLoad(const std::string& arg) {
    try {
        return loadArgument(arg);
    } catch (const std::exception&) {
        Loaded l;
        l.load.failure = LoadFailure::Unreadable;
        return l;
    }
}

void reportUnreadable(const std::string& file, const Loaded& l, std::ostream& err,
                      const texts::ResultsModelTexts& t) {
    err << file << ":" << t.cannotRead.view() << "(" << failureReason(l.load.failure, t) << ")\n";
}

std::optional<double> ratioOf(double a, double b) {
    if (a == 0 || !std::isfinite(a) || !std::isfinite(b)) return std::nullopt;
    return b / a;
}

std::optional<double> sigmaDifference(double a, const std::optional<double>& ra, double b,
                                      const std::optional<double>& rb) {
    if (!ra || !rb) return std::nullopt;
    const double combined = std::hypot(a * *ra, b * *rb);
    if (!(combined > 0) || !std::isfinite(combined)) return std::nullopt;
    return (b - a) / combined;
}

std::string csvValue(const std::optional<double>& v) {
    return v ? exactNumber(*v) : std::string();
}
std::string jsonValue(const std::optional<double>& v) {
    return v && std::isfinite(*v) ? exactNumber(*v) : std::string("null");
}

// Two different files whose tables would take one name: nothing is written,
// so that no table stands under a name that is not its file's.
bool sameTableNames(const std::vector<std::string>& files, std::ostream& err,
                    const texts::ResultsExtrasTexts& x) {
    std::map<std::string, std::string> byStem;
    for (const std::string& f : files) {
        const std::string stem = fs::path(f).stem().string();
        auto [it, fresh] = byStem.emplace(stem, f);
        std::error_code ec;
        if (fresh || it->second == f || fs::equivalent(it->second, f, ec)) continue;
        err << fillIn(x.exportSameName.str(), {{"{first}", validUtf8(it->second)},
                                               {"{second}", validUtf8(f)},
                                               {"{table}", validUtf8(stem) + ".depth-dose.csv"}})
            << "\n";
        return true;
    }
    return false;
}

} // namespace

std::vector<ComparisonRow> compareResults(const DoseModel& a, const StatedUncertainty& ua, const DoseModel& b,
                                          const StatedUncertainty& ub, const formats::ResultTrailer& ta,
                                          const formats::ResultTrailer& tb) {
    std::vector<ComparisonRow> rows;
    auto add = [&rows](std::string quantity, int layer, std::optional<double> va, std::optional<double> vb,
                       std::optional<double> difference) {
        ComparisonRow r{std::move(quantity), layer, va, vb, std::nullopt, difference};
        if (va && vb) r.ratio = ratioOf(*va, *vb);
        rows.push_back(std::move(r));
    };
    const double doseA = a.ReferenceDose / a.AirKerma, doseB = b.ReferenceDose / b.AirKerma;
    add("dose_100_percent_mGy", 0, doseA, doseB,
        sigmaDifference(doseA, ua.referenceDose, doseB, ub.referenceDose));
    add("sagd_mGy", 0, a.SagdValue, b.SagdValue, sigmaDifference(a.SagdValue, ua.sagd, b.SagdValue, ub.sagd));
    add("mean_percentage", 0, a.MeanGlandDose, b.MeanGlandDose, std::nullopt);
    auto relative = [](const formats::ResultTrailer& t) -> std::optional<double> {
        if (const std::optional<double> p = t.number("mgd_sigma_percent")) return *p / 100;
        return std::nullopt;
    };
    for (const char* key : {"mgd_per_k_fcd", "mgd_per_k_fcd_paddle", "mgd_per_k_surface",
                            "k_fcd_paddle_per_k_fcd", "k_surface_per_k_fcd"}) {
        const std::optional<double> va = ta.number(key), vb = tb.number(key);
        if (!va && !vb) continue;
        // The kermas are computed, not scored: only the doses have a spread.
        const bool dose = std::string_view(key).starts_with("mgd");
        add(key, 0, va, vb,
            va && vb && dose ? sigmaDifference(*va, relative(ta), *vb, relative(tb)) : std::nullopt);
    }
    // A scan's figures, and each projection's t under its number in the layer column.
    const std::optional<ScanSummary> sa = scanOf(ta), sb = scanOf(tb);
    if (sa || sb) {
        const ScanSummary none;
        const ScanSummary &x = sa ? *sa : none, &y = sb ? *sb : none;
        auto fraction = [](const std::optional<double>& percent) -> std::optional<double> {
            if (percent) return *percent / 100;
            return std::nullopt;
        };
        auto both = [&](const std::optional<double>& va, const std::optional<double>& ea,
                        const std::optional<double>& vb, const std::optional<double>& eb) {
            return va && vb ? sigmaDifference(*va, fraction(ea), *vb, fraction(eb)) : std::nullopt;
        };
        add("mgd_per_k_surface_0deg", 0, x.mgdPerKSurface0deg, y.mgdPerKSurface0deg,
            both(x.mgdPerKSurface0deg, x.mgdSigmaPercent, y.mgdPerKSurface0deg, y.mgdSigmaPercent));
        add("t_scan", 0, x.tScan, y.tScan, both(x.tScan, x.tScanSigmaPercent, y.tScan, y.tScanSigmaPercent));
        add("t_scan_from_projections", 0, x.tFromProjections, y.tFromProjections, std::nullopt);
        const ScanProjection absent;
        for (size_t i = 0; i < std::max(x.perProjection.size(), y.perProjection.size()); ++i) {
            const ScanProjection &p = i < x.perProjection.size() ? x.perProjection[i] : absent,
                                 &q = i < y.perProjection.size() ? y.perProjection[i] : absent;
            const int n = static_cast<int>(i) + 1;
            add("mgd_per_k_surface_i", n, p.mgd, q.mgd,
                both(p.mgd, p.mgdSigmaPercent, q.mgd, q.mgdSigmaPercent));
            add("t_i", n, p.t, q.t, both(p.t, p.tSigmaPercent, q.t, q.tSigmaPercent));
        }
    }
    const int layersA = std::min(a.GridCountZ, kDepthDoseExtent - 1);
    const int layersB = std::min(b.GridCountZ, kDepthDoseExtent - 1);
    for (int iz = 1; iz <= std::max(layersA, layersB); ++iz) {
        std::optional<double> va, vb;
        if (iz <= layersA) va = a.DepthDose[Total][iz];
        if (iz <= layersB) vb = b.DepthDose[Total][iz];
        add("depth_dose", iz, va, vb, std::nullopt);
    }
    return rows;
}

int runExport(const std::string& folder, const std::vector<std::string>& files, std::ostream& err,
              const texts::ResultsModelTexts& t, const texts::ResultsExtrasTexts& x) {
    if (files.empty()) {
        err << x.exportUsage.view() << "\n";
        return 2;
    }
    if (sameTableNames(files, err, x)) return 2;
    const fs::path dir(folder);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec)) {
        err << x.exportCannotWrite.view() << validUtf8(folder) << "\n";
        return 1;
    }
    // What an export killed here left behind (a voxel table can be tens of MB).
    removeAbandonedTemporaries(dir);
    int status = 0;
    std::set<std::string> done;
    for (const std::string& file : files) {
        const std::string stem = fs::path(file).stem().string();
        if (!done.insert(stem).second) continue; // the same file named twice
        const Loaded l = guardedLoad(file);
        if (!l.load) {
            reportUnreadable(file, l, err, t);
            status = 1;
            continue;
        }
        for (const bool depthDose : {true, false}) {
            const std::string table = stem + (depthDose ? ".depth-dose.csv" : ".dose.csv");
            try {
                writeCsvFile(
                    dir, table,
                    depthDose ? depthDoseRows(*l.load.model)
                              : voxelRows(*l.load.model, VoxelSet::all(),
                                          formats::readVoxelSigmaFile(fs::path(file).parent_path(),
                                                                      fs::path(file).filename().string())));
            } catch (const std::exception&) {
                // A table that cannot be made (no room, no memory) is this table's fault alone.
                err << x.exportCannotWrite.view() << validUtf8((dir / table).string()) << "\n";
                status = 1;
            }
        }
    }
    return status;
}

int runCompare(const std::vector<std::string>& files, bool json, std::ostream& out, std::ostream& err,
               const texts::ResultsModelTexts& t, const texts::ResultsExtrasTexts& x) {
    if (files.size() != 2) {
        err << x.compareUsage.view() << "\n";
        return 2;
    }
    const Loaded a = guardedLoad(files[0]);
    const Loaded b = guardedLoad(files[1]);
    int status = 0;
    for (const auto* l : {&a, &b})
        if (!l->load) {
            reportUnreadable(files[l == &a ? 0 : 1], *l, err, t);
            status = 1;
        }
    if (status) return status;
    const std::vector<ComparisonRow> rows =
        compareResults(*a.load.model, a.uncertainty, *b.load.model, b.uncertainty, a.trailer, b.trailer);
    if (json) {
        out << "{\n  \"a\": " << jsonText(files[0]) << ",\n  \"b\": " << jsonText(files[1])
            << ",\n  \"rows\": [";
        for (size_t i = 0; i < rows.size(); ++i) {
            const ComparisonRow& r = rows[i];
            out << (i ? ",\n    " : "\n    ") << "{\"quantity\": " << jsonText(r.quantity)
                << ", \"layer\": " << (r.layer ? std::to_string(r.layer) : std::string("null"))
                << ", \"a\": " << jsonValue(r.a) << ", \"b\": " << jsonValue(r.b)
                << ", \"ratio\": " << jsonValue(r.ratio)
                << ", \"difference_sigma\": " << jsonValue(r.differenceSigma) << "}";
        }
        out << "\n  ]\n}\n";
    } else {
        out << kComparisonHeader << "\n";
        for (const ComparisonRow& r : rows)
            out << r.quantity << "," << (r.layer ? std::to_string(r.layer) : std::string()) << ","
                << csvValue(r.a) << "," << csvValue(r.b) << "," << csvValue(r.ratio) << ","
                << csvValue(r.differenceSigma) << "\n";
    }
    return 0;
}

} // namespace kv::results
