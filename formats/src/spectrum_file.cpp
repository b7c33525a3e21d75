#include "kv/formats/spectrum_file.h"

#include "kv/common/content_hash.h"
#include "kv/common/format.h"
#include "kv/common/records.h"
#include "kv/common/text.h"
#include "kv/common/typed_number.h"
#include "kv/formats/settings_file.h"

#include <cmath>
#include <optional>
#include <system_error>
#include <vector>

namespace kv::formats {
namespace {

using Labels = texts::SpectrumFileLabels;

// Lines 2..10: which label, which field, which pattern; the reader uses the
// same rows with the pattern's unit.
struct HeaderRow {
    texts::Text Labels::*label;
    std::string SpectrumFields::*field;
    double SpectrumFileContents::*value;
    const char* pattern;
    const char* unit;
};

constexpr HeaderRow kHeader[] = {
    {&Labels::tubeVoltage, &SpectrumFields::tubeVoltage, &SpectrumFileContents::tubeVoltage, " 00.0 kV",
     "kV"},
    {&Labels::targetAngle, &SpectrumFields::targetAngle, &SpectrumFileContents::targetAngle, " #0.0 deg",
     "deg"},
    {&Labels::tubeTiltAngle, &SpectrumFields::tubeTiltAngle, &SpectrumFileContents::tubeTiltAngle,
     " #0.0 deg", "deg"},
    {&Labels::beryllium, &SpectrumFields::beryllium, &SpectrumFileContents::beryllium, " #0.00 mm", "mm"},
    {&Labels::aluminum, &SpectrumFields::aluminum, &SpectrumFileContents::aluminum, " #0.00 mm", "mm"},
    {&Labels::molybdenum, &SpectrumFields::molybdenum, &SpectrumFileContents::molybdenum, " #0.000 mm", "mm"},
    {&Labels::rhodium, &SpectrumFields::rhodium, &SpectrumFileContents::rhodium, " #0.000 mm", "mm"},
    {&Labels::silver, &SpectrumFields::silver, &SpectrumFileContents::silver, " #0.000 mm", "mm"},
    {&Labels::airLayer, &SpectrumFields::airLayer, &SpectrumFileContents::airLayer, " ##0.0 cm", "cm"},
};
constexpr int kHeaderLines = kSpectrumHeaderLines;
constexpr int kFileLines = kHeaderLines + (kBins - 1);
// A written file is about 110 kB; room for wide numbers, never a runaway read.
constexpr size_t kSpectrumFileMaxBytes = 4 * 1024 * 1024;

void fill(kv::RecordWriter& out, TargetMaterial target, const SpectrumFields& fields,
          const SpectrumTable& table, const Labels& labels) {
    out.line(targetLabel(target, labels));
    for (const HeaderRow& row : kHeader)
        out.text(labels.*row.label).numberLine(kv::parseNumber(fields.*row.field), row.pattern);
    const kv::NumberPattern share("0.000E+00");
    for (int i = 1; i < kBins; ++i) {
        out.number(binEnergy(i), "0000.0");
        for (int k = 1; k < kColumns; ++k)
            out.text("  ").number(table[k][i], share);
        out.endLine();
    }
}

[[noreturn]] void badLayout(const std::string& file, int line, const std::string& what) {
    throw FileError(FileFault::BadLayout, file, line, what);
}

std::vector<std::string_view> blankSeparated(std::string_view s) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t')
            ++i;
        if (i > start) out.push_back(s.substr(start, i - start));
    }
    return out;
}

double numberIn(std::string_view token, const std::string& file, int line) {
    double v = 0;
    if (!kv::parseNumberStrict(token, v) || !std::isfinite(v))
        throw FileError(FileFault::NotANumber, file, line,
                        "\"" + kv::shownText(token) + "\" is not a number");
    return v;
}

constexpr const Labels* kEditions[] = {&texts::englishSpectrumFileTexts.labels,
                                       &texts::japaneseSpectrumFileTexts.labels};

} // namespace

const texts::Text& targetLabel(TargetMaterial target, const Labels& labels) {
    switch (target) {
    case TargetMaterial::Tungsten:
        return labels.tungstenTarget;
    case TargetMaterial::Rhodium:
        return labels.rhodiumTarget;
    case TargetMaterial::Molybdenum:
        break;
    }
    return labels.molybdenumTarget;
}

std::string spectrumFileText(TargetMaterial target, const SpectrumFields& fields, const SpectrumTable& table,
                             const Labels& labels) {
    kv::RecordWriter out(".", kSpectrumFileName);
    fill(out, target, fields, table, labels);
    return out.content();
}

void writeSpectrumFile(const std::filesystem::path& workDir, TargetMaterial target,
                       const SpectrumFields& fields, const SpectrumTable& table, const Labels& labels,
                       const std::string& fileName) {
    kv::RecordWriter out(workDir, fileName);
    fill(out, target, fields, table, labels);
    try {
        out.commit();
    } catch (const kv::RecordError& e) {
        throwFromRecordError(e, 0);
    }
}

SpectrumFileContents readSpectrumFile(const std::filesystem::path& workDir, const std::string& fileName) {
    SpectrumFileContents c;
    std::vector<std::string> lines;
    try {
        const std::string bytes = kv::readFileBytes(workDir, fileName, kSpectrumFileMaxBytes);
        c.contentHash = kv::sha256Hex(bytes);
        kv::RecordReader in = kv::RecordReader::fromBytes(bytes, fileName);
        while (!in.atEnd() && static_cast<int>(lines.size()) < kFileLines)
            lines.push_back(in.readLine());
        // Past the layout only blank lines may follow; the first other one is kept to be named.
        while (!in.atEnd()) {
            std::string extra = in.readLine();
            if (!trimmed(extra).empty()) {
                lines.push_back(std::move(extra));
                break;
            }
        }
    } catch (const kv::RecordError& e) {
        throwFromRecordError(e, 0);
    }
    while (!lines.empty() && trimmed(lines.back()).empty())
        lines.pop_back();
    // Checked line by line, so a lost or doubled line is named where it happens.
    auto lineAt = [&](int n) -> const std::string& {
        if (n > static_cast<int>(lines.size()))
            throw FileError(FileFault::EndsEarly, fileName, n,
                            "ends after " + std::to_string(lines.size()) + " lines");
        return lines[n - 1];
    };

    std::string_view first = trimmed(lineAt(1));
    bool known = false;
    for (const Labels* l : kEditions)
        for (TargetMaterial t :
             {TargetMaterial::Molybdenum, TargetMaterial::Tungsten, TargetMaterial::Rhodium})
            if (first == targetLabel(t, *l).view()) c.target = t, known = true;
    if (!known) badLayout(fileName, 1, "\"" + kv::shownText(lines[0]) + "\" names no target");

    for (int r = 0; r < kHeaderLines - 1; ++r) {
        const HeaderRow& row = kHeader[r];
        const int lineNo = r + 2;
        std::string_view text = lineAt(lineNo);
        std::string_view rest;
        bool labelled = false;
        for (const Labels* l : kEditions) {
            std::string_view label = (l->*row.label).view();
            if (text.substr(0, label.size()) == label) {
                rest = text.substr(label.size());
                labelled = true;
                break;
            }
        }
        if (!labelled) {
            std::string what = "does not start with \"";
            what += (kEditions[0]->*row.label).view();
            badLayout(fileName, lineNo, what + "\"");
        }
        auto tokens = blankSeparated(rest);
        if (tokens.size() != 2 || tokens[1] != row.unit)
            badLayout(fileName, lineNo, "expected a number followed by \"" + std::string(row.unit) + "\"");
        c.*row.value = numberIn(tokens[0], fileName, lineNo);
    }

    for (int i = 1; i < kBins; ++i) {
        const int lineNo = kHeaderLines + i;
        auto tokens = blankSeparated(lineAt(lineNo));
        if (tokens.size() != kColumns)
            badLayout(fileName, lineNo,
                      "expected " + std::to_string(kColumns) + " fields, found " +
                          std::to_string(tokens.size()));
        double e = numberIn(tokens[0], fileName, lineNo);
        if (std::fabs(e - binEnergy(i)) > 0.01)
            badLayout(fileName, lineNo,
                      "energy " + std::string(tokens[0]) + " where " + kv::format(binEnergy(i), "0.0") +
                          " keV belongs");
        for (int k = 1; k < kColumns; ++k) {
            double v = numberIn(tokens[k], fileName, lineNo);
            if (v < 0) throw FileError(FileFault::BadValue, fileName, lineNo, "a negative fluence");
            c.table[k][i] = v;
        }
    }
    if (static_cast<int>(lines.size()) > kFileLines)
        badLayout(fileName, kFileLines + 1, "holds more than " + std::to_string(kFileLines) + " lines");
    return c;
}

void deleteSpectrumFile(const std::filesystem::path& workDir) {
    std::error_code ec;
    std::filesystem::remove(workDir / kSpectrumFileName, ec);
    std::filesystem::remove(workDir / kSpectrumExactFileName, ec);
}

namespace {

constexpr const char* kHashSetting = "spectrum_sha256";
// The settings' names in the order of the header lines 2..10.
constexpr const char* kExactNames[kHeaderLines - 1] = {
    "tube_voltage_kv", "target_angle_deg", "tube_tilt_deg", "beryllium_mm", "aluminum_mm",
    "molybdenum_mm",   "rhodium_mm",       "silver_mm",     "air_layer_cm",
};

} // namespace

std::string spectrumExactFileName(std::string_view spectrumFileName) {
    std::string_view stem = spectrumFileName;
    if (stem.size() > 4 && stem.substr(stem.size() - 4) == ".dat") stem.remove_suffix(4);
    return std::string(stem) + ".exact.dat";
}

void writeSpectrumExactFile(const std::filesystem::path& workDir, const SpectrumFields& fields,
                            const std::string& fileName) {
    std::string hash;
    try {
        hash = kv::sha256Hex(kv::readFileBytes(workDir, fileName, kSpectrumFileMaxBytes));
    } catch (const kv::RecordError& e) {
        throwFromRecordError(e, 0);
    }
    std::vector<std::pair<std::string, std::string>> entries{{kHashSetting, hash}};
    for (int r = 0; r < kHeaderLines - 1; ++r)
        entries.emplace_back(kExactNames[r], kv::plainDecimal(kv::parseNumber(fields.*kHeader[r].field)));
    writeSettingsFile(workDir, spectrumExactFileName(fileName), entries);
}

bool applySpectrumExactFile(const std::filesystem::path& workDir, SpectrumFileContents& c) {
    std::optional<SettingsFile> f;
    try {
        f = SettingsFile::read(workDir, kSpectrumExactFileName);
    } catch (const FileError& e) {
        // Content that does not fit only costs precision; something in the
        // side file's place that cannot be read at all is named.
        if (e.fault == FileFault::NotAFile || e.fault == FileFault::Unreadable ||
            e.fault == FileFault::TooLarge)
            throw;
        return false;
    }
    if (!f) return false;
    const Setting* hash = f->find(kHashSetting);
    if (!hash || c.contentHash.empty() || hash->value != c.contentHash) return false;
    SpectrumFileContents exact = c;
    for (int r = 0; r < kHeaderLines - 1; ++r) {
        const Setting* s = f->find(kExactNames[r]);
        double v = 0;
        if (!s || !kv::parseNumberStrict(s->value, v) || !std::isfinite(v)) return false;
        // A value the header would show otherwise belongs to another spectrum.
        if (kv::format(v, kHeader[r].pattern) != kv::format(c.*kHeader[r].value, kHeader[r].pattern))
            return false;
        exact.*kHeader[r].value = v;
    }
    exact.exact = true;
    c = exact;
    return true;
}

} // namespace kv::formats
