#include "kv/workbench/results/report/report.h"

#include "kv/common/codepage.h"
#include "kv/common/command_line.h"
#include "kv/common/format.h"
#include "kv/formats/result_file.h"
#include "kv/texts/results_extras.h"
#include "kv/workbench/results/model/result_file.h"
#include "kv/workbench/results/report/report_modes.h"

#include <cmath>
#include <filesystem>
#include <optional>

namespace kv::results {
namespace {

namespace fs = std::filesystem;

struct FieldRow {
    const char* key;
    std::string text;
    double value;
};

struct FileReport {
    std::string file;
    HeaderPreview preview;
    LoadResult load;
    std::optional<std::string> engineVersion; // from the trailer, when the file has one that names it
    std::vector<FieldRow> fields;
    bool replacedBytes = false; // the name or a header line held bytes shown as U+FFFD
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
    if (r.load) {
        const DoseModel& m = *r.load.model;
        DoseFields f = m.fields();
        r.fields = {
            {"dose_100_percent_mGy", f.referenceDose, m.ReferenceDose / m.AirKerma},
            {"fcd_cm", f.fcd, m.FcdValue},
            {"sagd_mGy", f.sagd, m.SagdValue},
            {"mean_percentage", f.meanGlandDose, m.MeanGlandDose},
        };
        formats::ResultTrailer trailer;
        if (formats::readResultTrailer(dir, name, trailer) == formats::LoadFailure::None)
            if (const std::string* v = trailer.find("engine_version")) r.engineVersion = validUtf8(*v);
    }
    return r;
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

void writeCsv(const FileReport& r, std::ostream& out, const texts::ResultsModelTexts& t) {
    out << "file," << csvText(r.file) << "\n";
    for (const std::string& line : r.preview.lines)
        out << "preview," << csvText(line) << "\n";
    if (r.replacedBytes) out << "note," << csvText(t.reportReplacedBytes) << "\n";
    if (!r.load) {
        out << "error," << csvText(t.cannotRead) << "," << csvText(failureReason(r.load.failure, t))
            << "\n\n";
        return;
    }
    out << "engine_version," << (r.engineVersion ? csvText(*r.engineVersion) : "") << "\n";
    for (const FieldRow& f : r.fields)
        out << "field," << f.key << "," << csvText(f.text) << "," << number(f.value) << "\n";
    const DoseModel& m = *r.load.model;
    out << "layer,total,primary,scatter\n";
    for (int iz = 1; iz <= m.GridCountZ; ++iz)
        out << iz << "," << number(m.DepthDose[Total][iz]) << "," << number(m.DepthDose[Primary][iz]) << ","
            << number(m.DepthDose[Scatter][iz]) << "\n";
    out << "\n";
}

void writeJson(const FileReport& r, std::ostream& out, const texts::ResultsModelTexts& t) {
    out << "  {\n    \"file\": " << jsonText(r.file) << ",\n    \"preview\": [";
    for (size_t i = 0; i < r.preview.lines.size(); ++i)
        out << (i ? ",\n      " : "\n      ") << jsonText(r.preview.lines[i]);
    out << (r.preview.lines.empty() ? "]" : "\n    ]")
        << ",\n    \"previewComplete\": " << (r.preview.complete ? "true" : "false")
        << ",\n    \"replacedBytes\": " << (r.replacedBytes ? "true" : "false") << ",\n";
    if (r.replacedBytes) out << "    \"note\": " << jsonText(t.reportReplacedBytes) << ",\n";
    if (!r.load) {
        out << "    \"error\": " << jsonText(t.cannotRead)
            << ",\n    \"reason\": " << jsonText(failureReason(r.load.failure, t)) << "\n  }";
        return;
    }
    // null for a file of an engine that wrote no version.
    out << "    \"engine_version\": " << (r.engineVersion ? jsonText(*r.engineVersion) : "null") << ",\n";
    out << "    \"fields\": {";
    for (size_t i = 0; i < r.fields.size(); ++i)
        out << (i ? ",\n      " : "\n      ") << jsonText(r.fields[i].key)
            << ": {\"text\": " << jsonText(r.fields[i].text)
            << ", \"value\": " << jsonNumber(r.fields[i].value) << "}";
    out << "\n    },\n    \"depthDose\": [";
    const DoseModel& m = *r.load.model;
    for (int iz = 1; iz <= m.GridCountZ; ++iz)
        out << (iz > 1 ? ",\n      " : "\n      ") << "{\"layer\": " << iz
            << ", \"total\": " << jsonNumber(m.DepthDose[Total][iz])
            << ", \"primary\": " << jsonNumber(m.DepthDose[Primary][iz])
            << ", \"scatter\": " << jsonNumber(m.DepthDose[Scatter][iz]) << "}";
    out << "\n    ]\n  }";
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
        line.emplace(
            args, std::vector<OptionSpec>{
                      {"--json", false}, {"--export", true}, {"--compare", false}, {"--help", false, "-h"}});
        if (!line->has("--help")) {
            line->refuseTogether("--export", "--compare");
            // --export writes CSV tables only.
            line->refuseTogether("--json", "--export");
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
    int status = 0;
    if (json) out << "[\n";
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
        if (!r.load) {
            status = 1;
            err << files[i] << ":" << t.cannotRead.view() << "(" << failureReason(r.load.failure, t) << ")\n";
        }
        if (json) {
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
