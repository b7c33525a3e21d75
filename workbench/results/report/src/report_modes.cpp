#include "kv/workbench/results/report/report_modes.h"

#include "kv/common/codepage.h"
#include "kv/common/records.h"
#include "kv/workbench/results/model/dose_tables.h"
#include "kv/workbench/results/model/result_file.h"
#include "kv/workbench/results/report/report.h"

#include <cmath>
#include <filesystem>
#include <system_error>

namespace kv::results {
namespace {

namespace fs = std::filesystem;

struct Loaded {
    LoadResult load;
    StatedUncertainty uncertainty;
};

Loaded loadArgument(const std::string& arg) {
    const fs::path p(arg);
    const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    const std::string name = p.filename().string();
    return {LoadResultFile(dir, name), formats::statedUncertainty(formats::readRunHeader(dir, name))};
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

int runExport(const std::vector<std::string>& args, std::ostream& err, const texts::ResultsModelTexts& t,
              const texts::ResultsExtrasTexts& x) {
    if (args.size() < 2) {
        err << x.exportUsage.view() << "\n";
        return 2;
    }
    const fs::path dir(args[0]);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir)) {
        err << x.exportCannotWrite.view() << args[0] << "\n";
        return 1;
    }
    int status = 0;
    for (size_t i = 1; i < args.size(); ++i) {
        const Loaded l = guardedLoad(args[i]);
        if (!l.load) {
            reportUnreadable(args[i], l, err, t);
            status = 1;
            continue;
        }
        const std::string stem = fs::path(args[i]).stem().string();
        for (const bool depthDose : {true, false}) {
            const std::string table = stem + (depthDose ? ".depth-dose.csv" : ".dose.csv");
            try {
                writeCsvFile(dir, table,
                             depthDose ? depthDoseRows(*l.load.model)
                                       : voxelRows(*l.load.model, VoxelSet::all()));
            } catch (const std::exception&) {
                // A table that cannot be made (no room, no memory) is this table's fault alone.
                err << x.exportCannotWrite.view() << (dir / table).string() << "\n";
                status = 1;
            }
        }
    }
    return status;
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
        compareResults(*a.load.model, a.uncertainty, *b.load.model, b.uncertainty);
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

} // namespace

std::vector<ComparisonRow> compareResults(const DoseModel& a, const StatedUncertainty& ua, const DoseModel& b,
                                          const StatedUncertainty& ub) {
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

std::optional<int> runReportMode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                                 const texts::ResultsModelTexts& t, const texts::ResultsExtrasTexts& x) {
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") // what follows are file names
            return std::nullopt;
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--export") {
            if (i != 0 || json) {
                err << x.exportUsage.view() << "\n";
                return 2;
            }
            return runExport({args.begin() + 1, args.end()}, err, t, x);
        } else if (args[i] == "--compare") {
            std::vector<std::string> files;
            for (size_t k = 0; k < args.size(); ++k)
                if (k != i && args[k] != "--json") files.push_back(args[k]);
            return runCompare(files, json, out, err, t, x);
        }
    }
    return std::nullopt;
}

} // namespace kv::results
