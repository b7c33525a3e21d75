#include "kv/report/report.h"

#include "kv/common/codepage.h"
#include "kv/common/command_line.h"
#include "kv/common/format.h"
#include "kv/common/typed_number.h"
#include "kv/formats/result_file.h"
#include "kv/formats/trailer_keys.h"
#include "kv/report/report_modes.h"
#include "kv/report/scan_report.h"
#include "kv/results/agd_estimate.h"
#include "kv/results/result_file.h"
#include "kv/texts/results_extras.h"

#include <cmath>
#include <filesystem>
#include <optional>

namespace kv::results {
namespace {

namespace fs = std::filesystem;

struct FieldRow {
    const char* key;  // the default CSV's name, kept for the scripts that read it
    const char* name; // the name in --json and --table, the trailer's and kv-sweep's
    std::string text; // as the results screen shows it
    double value;
    const char* unit;
    const char* per; // the air kerma (or dose) the value is per, empty for none
};

// The air kerma every mGy/mGy figure is per, by the point's name.
constexpr const char* kPerKFcd = "k_fcd";

// One air kerma a user may have measured, with the factors for it.
struct KaRow {
    std::string point, where;
    double ratio = 1, sagd = 0; // the reference column's sAGD per this Ka
    std::optional<double> mgd;  // whole breast per this Ka
};

// Every point whose ratio to the sAGD's own Ka the trailer gives. The midline
// points have no whole-breast key of their own: the dose per them is the one
// per k_fcd over their ratio, as the engine forms mgd_per_k_surface.
std::vector<KaRow> kaRows(const formats::ResultTrailer& t, double sagd, const texts::ResultsExtrasTexts& x) {
    const KaRatios ratios = kaRatiosOf(t);
    struct Point {
        KaPoint point;
        int surfaceMm;
        const char *name, *mgdKey;
        std::string_view where;
    };
    const std::optional<double> mgdPerKFcd = t.number("mgd_per_k_fcd");
    std::vector<KaRow> rows;
    for (const Point& p :
         {Point{KaPoint::FcdFree, 0, "fcd", "mgd_per_k_fcd", x.kaAtFcd},
          Point{KaPoint::FcdPaddle, 0, "fcd_paddle", "mgd_per_k_fcd_paddle", x.kaAtFcdPaddle},
          Point{KaPoint::BreastSurface, 0, "surface", "mgd_per_k_surface", x.kaAtSurfaceEdge},
          Point{KaPoint::BreastSurface, 60, "surface_60mm", nullptr, x.kaAtSurface60mm},
          Point{KaPoint::BreastSurface, 40, "surface_40mm", nullptr, x.kaAtSurface40mm}}) {
        const std::optional<double> r = kaRatio(ratios, p.point, p.surfaceMm);
        const bool others =
            ratios.breastSurface || ratios.fcdPaddle || ratios.surface60mm || ratios.surface40mm;
        if (!r || (p.point == KaPoint::FcdFree && !others)) continue;
        std::optional<double> mgd = p.mgdKey ? t.number(p.mgdKey) : std::nullopt;
        if (!p.mgdKey && mgdPerKFcd) mgd = *mgdPerKFcd / *r;
        rows.push_back({p.name, std::string(p.where), *r, sagd / *r, mgd});
    }
    return rows;
}

struct FileReport {
    std::string file;
    HeaderPreview preview;
    LoadResult load;
    std::optional<std::string> engineVersion; // from the trailer, when the file has one that names it
    std::vector<FieldRow> fields;
    bool replacedBytes = false; // the name or a header line held bytes shown as U+FFFD
    formats::ResultTrailer trailer;
    // A protocol breast over 6 cm: the screens refuse it, its fields come from the trailer.
    bool thick = false;
    std::vector<KaRow> kermas;
    std::optional<ScanSummary> scan; // a tomosynthesis result's
    // Reported whole: loaded, or thicker than the screens and read from its trailer.
    bool reported() const { return load || thick; }
};

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

FileReport evaluate(const std::string& arg, const texts::ResultsModelTexts& t) {
    FileReport r;
    r.file = validUtf8(arg, &r.replacedBytes);
    fs::path p(arg);
    fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    const std::string name = p.filename().string();
    r.preview = previewResultHeader(dir, name, t);
    // The reader has already put U+FFFD where the file's bytes were not CP932.
    for (std::string& line : r.preview.lines) {
        line = validUtf8(line, &r.replacedBytes);
        if (line.find(kReplacementCharacter) != std::string::npos) r.replacedBytes = true;
    }
    r.load = LoadResultFile(dir, name);
    formats::ResultFileHead head;
    formats::readResultTrailer(dir, name, r.trailer, &head);
    if (const std::string* v = r.trailer.find("engine_version")) r.engineVersion = validUtf8(*v);
    double dose100 = 0, fcd = head.fcd, sagd = 0, mean = 0;
    if (r.load) {
        const DoseModel& m = *r.load.model;
        dose100 = m.ReferenceDose / m.AirKerma, fcd = m.FcdValue, sagd = m.SagdValue, mean = m.MeanGlandDose;
    } else if (r.load.failure == LoadFailure::ThickerThanScreens) {
        const std::optional<double> d = r.trailer.number("dose100"), s = r.trailer.number("sagd");
        if (!d || !s || !(*d > 0)) return r;
        r.thick = true;
        dose100 = *d, sagd = *s, mean = 100 * sagd / dose100;
    } else {
        return r;
    }
    const DoseFields f = doseFields(dose100, fcd, sagd, mean);
    r.fields = {
        {"dose_100_percent_mGy", "dose100", f.referenceDose, dose100, "mGy/mGy", kPerKFcd},
        {"fcd_cm", "fcd", f.fcd, fcd, "cm", ""},
        {"sagd_mGy", "sagd", f.sagd, sagd, "mGy/mGy", kPerKFcd},
        {"mean_percentage", "mean_percentage", f.meanGlandDose, mean, "%", "dose100"},
    };
    r.kermas = kaRows(r.trailer, sagd, texts::resultsExtrasTexts());
    r.scan = scanOf(r.trailer);
    return r;
}

// Why a load failed, with the line of a bad value where the reader saw one.
std::string loadReason(const LoadResult& l, const texts::ResultsModelTexts& t) {
    const std::string why(failureReason(l.failure, t));
    if (l.line <= 0) return why;
    return fillIn(texts::resultsExtrasTexts().reasonAtLine.str(),
                  {{"{reason}", why}, {"{line}", std::to_string(l.line)}});
}

// A number as data: every digit kept, nothing added.
std::string number(double v) {
    return std::isfinite(v) ? plainDecimal(v) : std::string();
}

std::string csvText(std::string_view text) {
    const std::string s = validUtf8(text);
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string jsonNumber(double v) {
    return std::isfinite(v) ? plainDecimal(v) : "null";
}

std::string cell(const std::optional<double>& v) {
    return v ? number(*v) : std::string();
}

// The scan's columns and each projection's, under the trailer's names.
#define KV_SCAN_COLUMNS                                                                                      \
    "kind,projections,rotation_axis_cm,mgd_per_k_surface_0deg,mgd_per_k_surface_0deg_sigma_percent,t_scan,"  \
    "t_scan_sigma_percent,t_scan_from_projections"
#define KV_PROJECTION_COLUMNS                                                                                \
    "index,angle_deg,loading,mgd_per_k_surface_i,mgd_per_k_surface_i_sigma_percent,t_i,t_i_sigma_percent"

std::string scanCells(const ScanSummary& s) {
    return csvText(s.kind) + "," + cell(s.projections) + "," + cell(s.rotationAxisCm) + "," +
           cell(s.mgdPerKSurface0deg) + "," + cell(s.mgdSigmaPercent) + "," + cell(s.tScan) + "," +
           cell(s.tScanSigmaPercent) + "," + cell(s.tFromProjections);
}

std::string projectionCells(const ScanProjection& p) {
    return std::to_string(p.index) + "," + cell(p.angleDeg) + "," + cell(p.loading) + "," + cell(p.mgd) +
           "," + cell(p.mgdSigmaPercent) + "," + cell(p.t) + "," + cell(p.tSigmaPercent);
}

void writeScanCsv(const ScanSummary& s, std::ostream& out) {
    out << "scan," KV_SCAN_COLUMNS "\nscan," << scanCells(s) << "\n";
    if (s.perProjection.empty()) return;
    out << "projection," KV_PROJECTION_COLUMNS "\n";
    for (const ScanProjection& p : s.perProjection)
        out << "projection," << projectionCells(p) << "\n";
}

void writeCsv(const FileReport& r, std::ostream& out, const texts::ResultsModelTexts& t) {
    out << "file," << csvText(r.file) << "\n";
    for (const std::string& line : r.preview.lines)
        out << "preview," << csvText(line) << "\n";
    if (r.replacedBytes) out << "note," << csvText(t.reportReplacedBytes) << "\n";
    if (!r.reported()) {
        out << "error," << csvText(t.cannotRead) << "," << csvText(loadReason(r.load, t)) << "\n\n";
        return;
    }
    out << "engine_version," << (r.engineVersion ? csvText(*r.engineVersion) : "") << "\n";
    const texts::ResultsExtrasTexts& x = texts::resultsExtrasTexts();
    if (r.thick) out << "note," << csvText(x.thickerThanScreens) << "\n";
    if (const std::string note = trailerNote(r.trailer, x); !note.empty())
        out << "note," << csvText(note) << "\n";
    for (const FieldRow& f : r.fields)
        out << "field," << f.key << "," << csvText(f.text) << "," << number(f.value) << "\n";
    for (const auto& [name, value] : r.trailer.entries)
        out << "trailer," << name << "," << csvText(value) << "\n";
    if (!r.kermas.empty()) out << "air_kerma,point,where,ratio_to_fcd,sagd_mGy,mgd_mGy\n";
    for (const KaRow& k : r.kermas)
        out << "air_kerma," << k.point << "," << csvText(k.where) << "," << number(k.ratio) << ","
            << number(k.sagd) << "," << (k.mgd ? number(*k.mgd) : std::string()) << "\n";
    if (r.scan) writeScanCsv(*r.scan, out);
    if (r.thick) {
        out << "\n";
        return;
    }
    const DoseModel& m = *r.load.model;
    out << "layer,total,primary,scatter\n";
    for (int iz = 1; iz <= m.GridCountZ; ++iz)
        out << iz << "," << number(m.DepthDose[Total][iz]) << "," << number(m.DepthDose[Primary][iz]) << ","
            << number(m.DepthDose[Scatter][iz]) << "\n";
    out << "\n";
}

// What a trailer value is per: the Ka its name ends in, else the workbench's own.
std::string trailerPer(const formats::TrailerKey& k) {
    if (k.unit != formats::trailer::kPerKa) return {};
    const size_t at = k.name.rfind("_per_");
    return at == std::string_view::npos ? kPerKFcd : std::string(k.name.substr(at + 5));
}

// A trailer value as JSON: a number where its key holds one and the value is well formed.
std::string trailerJson(const std::string& name, const std::string& value) {
    const formats::TrailerKey* k = formats::trailerKey(name);
    const bool numeric =
        k && (k->type == formats::TrailerType::Number || k->type == formats::TrailerType::Integer);
    if (k && k->type == formats::TrailerType::Numbers && k->accepts(value)) {
        std::string list = "[";
        for (double v : formats::trailerNumbers(value).value_or(std::vector<double>{}))
            list += (list.size() > 1 ? ", " : "") + jsonNumber(v);
        return list + "]";
    }
    return numeric && k->accepts(value) ? value : jsonText(value);
}

std::string unitJson(std::string_view unit, std::string_view per) {
    return std::string("\"unit\": ") + (unit.empty() ? "null" : jsonText(unit)) +
           ", \"per\": " + (per.empty() ? "null" : jsonText(per));
}

std::string jsonCell(const std::optional<double>& v) {
    return v ? jsonNumber(*v) : "null";
}

// A figure with what it is measured in and per.
std::string jsonQuantity(const std::optional<double>& v, std::string_view unit, std::string_view per) {
    return "{\"value\": " + jsonCell(v) + ", " + unitJson(unit, per) + "}";
}

void writeScanJson(const ScanSummary& s, std::ostream& out) {
    out << ",\n    \"scan\": {\"kind\": " << jsonText(s.kind)
        << ", \"projections\": " << jsonCell(s.projections)
        << ",\n      \"rotation_axis_cm\": " << jsonQuantity(s.rotationAxisCm, "cm", "")
        << ",\n      \"mgd_per_k_surface_0deg\": "
        << jsonQuantity(s.mgdPerKSurface0deg, "mGy/mGy", "k_surface_0deg")
        << ",\n      \"mgd_per_k_surface_0deg_sigma_percent\": " << jsonQuantity(s.mgdSigmaPercent, "%", "")
        << ",\n      \"t_scan\": " << jsonQuantity(s.tScan, "", "")
        << ",\n      \"t_scan_sigma_percent\": " << jsonQuantity(s.tScanSigmaPercent, "%", "")
        << ",\n      \"t_scan_from_projections\": " << jsonQuantity(s.tFromProjections, "", "")
        << ",\n      \"per_projection\": [";
    for (size_t i = 0; i < s.perProjection.size(); ++i) {
        const ScanProjection& p = s.perProjection[i];
        out << (i ? ",\n        " : "\n        ") << "{\"index\": " << p.index
            << ", \"angle\": " << jsonQuantity(p.angleDeg, "degree", "")
            << ", \"loading\": " << jsonCell(p.loading)
            << ", \"mgd_per_k_surface_i\": " << jsonQuantity(p.mgd, "mGy/mGy", "k_surface_0deg_i")
            << ", \"mgd_per_k_surface_i_sigma_percent\": " << jsonCell(p.mgdSigmaPercent)
            << ", \"t_i\": " << jsonCell(p.t) << ", \"t_i_sigma_percent\": " << jsonCell(p.tSigmaPercent)
            << "}";
    }
    out << (s.perProjection.empty() ? "]}" : "\n      ]}");
}

void writeJson(const FileReport& r, std::ostream& out, const texts::ResultsModelTexts& t) {
    out << "  {\n    \"file\": " << jsonText(r.file) << ",\n    \"preview\": [";
    for (size_t i = 0; i < r.preview.lines.size(); ++i)
        out << (i ? ",\n      " : "\n      ") << jsonText(r.preview.lines[i]);
    out << (r.preview.lines.empty() ? "]" : "\n    ]")
        << ",\n    \"preview_complete\": " << (r.preview.complete ? "true" : "false")
        << ",\n    \"replaced_bytes\": " << (r.replacedBytes ? "true" : "false") << ",\n";
    if (r.replacedBytes) out << "    \"note\": " << jsonText(t.reportReplacedBytes) << ",\n";
    if (!r.reported()) {
        out << "    \"error\": " << jsonText(t.cannotRead)
            << ",\n    \"reason\": " << jsonText(loadReason(r.load, t)) << "\n  }";
        return;
    }
    // null for a file of an engine that wrote no version.
    out << "    \"engine_version\": " << (r.engineVersion ? jsonText(*r.engineVersion) : "null") << ",\n";
    out << "    \"fields\": {";
    for (size_t i = 0; i < r.fields.size(); ++i)
        out << (i ? ",\n      " : "\n      ") << jsonText(r.fields[i].name)
            << ": {\"value\": " << jsonNumber(r.fields[i].value) << ", "
            << unitJson(r.fields[i].unit, r.fields[i].per) << ", \"text\": " << jsonText(r.fields[i].text)
            << "}";
    static constexpr const char* kStates[] = {"absent", "complete", "damaged"};
    const std::string note = trailerNote(r.trailer, texts::resultsExtrasTexts());
    out << "\n    },\n    \"trailer\": {\"state\": \"" << kStates[static_cast<int>(r.trailer.state)]
        << "\", \"verified\": " << (r.trailer.verified ? "true" : "false")
        << ", \"note\": " << (note.empty() ? "null" : jsonText(note)) << ", \"values\": {";
    for (size_t i = 0; i < r.trailer.entries.size(); ++i) {
        const auto& [name, value] = r.trailer.entries[i];
        const formats::TrailerKey* k = formats::trailerKey(name);
        out << (i ? ",\n      " : "\n      ") << jsonText(name)
            << ": {\"value\": " << trailerJson(name, value) << ", "
            << unitJson(k ? k->unit : "", k ? trailerPer(*k) : "") << "}";
    }
    out << (r.trailer.entries.empty() ? "}}" : "\n    }}") << ",\n    \"air_kerma\": [";
    for (size_t i = 0; i < r.kermas.size(); ++i) {
        const KaRow& k = r.kermas[i];
        out << (i ? ",\n      " : "\n      ") << "{\"point\": " << jsonText(k.point)
            << ", \"where\": " << jsonText(k.where) << ", \"k_per_k_fcd\": " << jsonNumber(k.ratio)
            << ", \"sagd\": " << jsonNumber(k.sagd) << ", \"mgd\": " << (k.mgd ? jsonNumber(*k.mgd) : "null")
            << ", " << unitJson("mGy/mGy", "k_" + k.point) << "}";
    }
    out << (r.kermas.empty() ? "]" : "\n    ]");
    if (r.scan) writeScanJson(*r.scan, out);
    if (r.thick) {
        out << ",\n    \"note\": " << jsonText(texts::resultsExtrasTexts().thickerThanScreens) << "\n  }";
        return;
    }
    out << ",\n    \"depth_dose\": {" << unitJson("%", "dose100") << ", \"layers\": [";
    const DoseModel& m = *r.load.model;
    for (int iz = 1; iz <= m.GridCountZ; ++iz)
        out << (iz > 1 ? ",\n      " : "\n      ") << "{\"layer\": " << iz
            << ", \"total\": " << jsonNumber(m.DepthDose[Total][iz])
            << ", \"primary\": " << jsonNumber(m.DepthDose[Primary][iz])
            << ", \"scatter\": " << jsonNumber(m.DepthDose[Scatter][iz]) << "}";
    out << "\n    ]}\n  }";
}

// The tables of --table: each one header and rows of the same cells, every file's rows under it.
struct Table {
    const char* name;
    const char* header;
    void (*rows)(const FileReport&, std::ostream&);
};

std::string fileCell(const FileReport& r) {
    return csvText(r.file);
}

const std::vector<Table>& tables() {
    static const std::vector<Table> all = {
        {"header", "file,line,text",
         [](const FileReport& r, std::ostream& out) {
             for (size_t i = 0; i < r.preview.lines.size(); ++i)
                 out << fileCell(r) << "," << i + 1 << "," << csvText(r.preview.lines[i]) << "\n";
         }},
        {"fields", "file,quantity,value,unit,per,text",
         [](const FileReport& r, std::ostream& out) {
             for (const FieldRow& f : r.fields)
                 out << fileCell(r) << "," << f.name << "," << number(f.value) << "," << f.unit << ","
                     << f.per << "," << csvText(f.text) << "\n";
         }},
        {"depth_dose", "file,layer,total_percent,primary_percent,scatter_percent",
         [](const FileReport& r, std::ostream& out) {
             if (r.thick) return;
             const DoseModel& m = *r.load.model;
             for (int iz = 1; iz <= m.GridCountZ; ++iz)
                 out << fileCell(r) << "," << iz << "," << number(m.DepthDose[Total][iz]) << ","
                     << number(m.DepthDose[Primary][iz]) << "," << number(m.DepthDose[Scatter][iz]) << "\n";
         }},
        {"air_kerma", "file,point,where,k_per_k_fcd,sagd,mgd,unit,per",
         [](const FileReport& r, std::ostream& out) {
             for (const KaRow& k : r.kermas)
                 out << fileCell(r) << "," << k.point << "," << csvText(k.where) << "," << number(k.ratio)
                     << "," << number(k.sagd) << "," << (k.mgd ? number(*k.mgd) : std::string())
                     << ",mGy/mGy,k_" << k.point << "\n";
         }},
        {"scan", "file," KV_SCAN_COLUMNS,
         [](const FileReport& r, std::ostream& out) {
             if (r.scan) out << fileCell(r) << "," << scanCells(*r.scan) << "\n";
         }},
        {"projections", "file," KV_PROJECTION_COLUMNS,
         [](const FileReport& r, std::ostream& out) {
             if (!r.scan) return;
             for (const ScanProjection& p : r.scan->perProjection)
                 out << fileCell(r) << "," << projectionCells(p) << "\n";
         }},
        {"trailer", "file,key,value,unit,per",
         [](const FileReport& r, std::ostream& out) {
             for (const auto& [name, value] : r.trailer.entries) {
                 const formats::TrailerKey* k = formats::trailerKey(name);
                 out << fileCell(r) << "," << name << "," << csvText(value) << "," << (k ? k->unit : "")
                     << "," << (k ? trailerPer(*k) : "") << "\n";
             }
         }},
    };
    return all;
}

const Table* tableNamed(std::string_view name) {
    for (const Table& t : tables())
        if (name == t.name) return &t;
    return nullptr;
}

} // namespace

std::string jsonText(std::string_view text) {
    const std::string s = validUtf8(text);
    std::string out = "\"";
    for (char c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

int runReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const texts::ResultsModelTexts& t) {
    const texts::ResultsExtrasTexts& x = texts::resultsExtrasTexts();
    const texts::CommandLineTexts& c = texts::commandLineTextsOf(texts::edition());
    std::optional<CommandLine> line;
    try {
        line.emplace(args, std::vector<OptionSpec>{{"--json", false},
                                                   {"--export", true},
                                                   {"--compare", false},
                                                   {"--table", true},
                                                   {"--help", false, "-h"}});
        if (!line->has("--help")) {
            line->refuseTogether("--export", "--compare");
            // --export writes CSV tables only.
            line->refuseTogether("--json", "--export");
            for (const char* other : {"--json", "--export", "--compare"})
                line->refuseTogether("--table", other);
            if (const std::optional<std::string> name = line->value("--table"); name && !tableNamed(*name))
                throw CommandLineError(CommandLineFault::BadChoice, "--table", *name,
                                       "header, fields, depth_dose, air_kerma, scan, projections, trailer");
        }
    } catch (const CommandLineError& e) {
        err << commandLineMessage(e, c) << "\n" << c.seeHelp.view() << "\n";
        return 2;
    }
    if (line->has("--help")) {
        out << t.reportUsage.view() << "\n";
        return 0;
    }
    const bool json = line->has("--json");
    const std::vector<std::string>& files = line->operands();
    if (std::optional<std::string> dir = line->value("--export")) return runExport(*dir, files, err, t, x);
    if (line->has("--compare")) return runCompare(files, json, out, err, t, x);
    if (files.empty()) {
        err << t.reportUsage.view() << "\n";
        return 2;
    }
    const Table* table = line->value("--table") ? tableNamed(*line->value("--table")) : nullptr;
    int status = 0;
    if (json) out << "[\n";
    if (table) out << table->header << "\n";
    for (size_t i = 0; i < files.size(); ++i) {
        FileReport r;
        try {
            r = evaluate(files[i], t);
        } catch (const std::exception&) {
            // Whatever went wrong belongs to this file alone; the next one is still reported.
            r = FileReport{};
            r.file = validUtf8(files[i], &r.replacedBytes);
            r.load.failure = LoadFailure::Unreadable;
        }
        if (!r.reported()) {
            status = 1;
            err << files[i] << ":" << t.cannotRead.view() << "(" << loadReason(r.load, t) << ")\n";
        }
        if (table) {
            if (r.reported()) table->rows(r, out);
        } else if (json) {
            if (i) out << ",\n";
            writeJson(r, out, t);
        } else {
            writeCsv(r, out, t);
        }
        out.flush();
    }
    if (json) out << "\n]\n";
    return status;
}

} // namespace kv::results
