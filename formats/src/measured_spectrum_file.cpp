#include "kv/formats/measured_spectrum_file.h"

#include "kv/common/content_hash.h"
#include "kv/common/format.h"
#include "kv/common/typed_number.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace kv::formats {
namespace {

FileFault faultOf(MeasuredFault reason) {
    switch (reason) {
    case MeasuredFault::NotANumber:
    case MeasuredFault::DecimalComma:
        return FileFault::NotANumber;
    case MeasuredFault::WrongShape:
    case MeasuredFault::NoBins:
        return FileFault::BadLayout;
    default:
        return FileFault::BadValue;
    }
}

const char* problemOf(MeasuredFault reason) {
    switch (reason) {
    case MeasuredFault::NotANumber:
        return "not a number";
    case MeasuredFault::DecimalComma:
        return "a decimal comma";
    case MeasuredFault::NotFinite:
        return "a number too large";
    case MeasuredFault::WrongShape:
        return "columns where two belong";
    case MeasuredFault::EnergyNotPositive:
        return "an energy not above 0";
    case MeasuredFault::EnergyNotRising:
        return "an energy not above the one before";
    case MeasuredFault::NegativeFluence:
        return "a negative fluence";
    case MeasuredFault::NoBins:
        return "no bins";
    case MeasuredFault::NothingBelowTubeVoltage:
        return "no fluence below the tube voltage";
    }
    return "";
}

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::vector<std::string_view> split(std::string_view line) {
    std::vector<std::string_view> out;
    for (size_t i = 0; i < line.size();) {
        while (i < line.size() && blank(line[i]))
            ++i;
        const size_t start = i;
        while (i < line.size() && !blank(line[i]))
            ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    // "20.25,3.1" or "20.25;3.1": one separator between two numbers.
    if (out.size() == 1)
        for (char sep : {';', ','})
            if (const size_t at = out[0].find(sep); at != std::string_view::npos) {
                const std::string_view whole = out[0];
                out = {whole.substr(0, at), whole.substr(at + 1)};
                break;
            }
    return out;
}

// "# tube voltage: 28 kV", in any letter case, as the catalogue's headers say it.
std::optional<double> statedTubeVoltage(std::string_view comment) {
    std::string lower(comment);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const size_t at = lower.find("tube voltage");
    if (at == std::string::npos) return std::nullopt;
    std::string_view rest = std::string_view(lower).substr(at + 12);
    while (!rest.empty() && (blank(rest.front()) || rest.front() == ':' || rest.front() == '='))
        rest.remove_prefix(1);
    size_t end = 0;
    while (end < rest.size() && !blank(rest[end]) && rest.compare(end, 2, "kv") != 0)
        ++end;
    double v = 0;
    if (!kv::parseNumberStrict(rest.substr(0, end), v) || !std::isfinite(v) || v <= 0) return std::nullopt;
    return v;
}

} // namespace

MeasuredSpectrumError::MeasuredSpectrumError(MeasuredFault r, std::string fileName, int lineNo, std::string v)
    : FileError(faultOf(r), std::move(fileName), lineNo,
                std::string(problemOf(r)) + (v.empty() ? "" : ": " + v)),
      reason(r), value(std::move(v)) {}

MeasuredSpectrum readMeasuredSpectrum(const std::filesystem::path& file) {
    const std::string shownName = kv::shownText(file.string());
    std::string bytes;
    try {
        const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : ".";
        bytes = kv::readFileBytes(dir, file.filename().string(), kMeasuredSpectrumMaxBytes);
    } catch (const kv::RecordError& e) {
        throw FileError(FileFault::Missing, shownName, 0, e.what());
    }
    MeasuredSpectrum m;
    m.contentHash = kv::sha256Hex(bytes);
    std::string_view text = bytes;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3); // a spreadsheet's byte-order mark
    auto fault = [&](MeasuredFault reason, int line, std::string_view value) {
        throw MeasuredSpectrumError(reason, shownName, line, kv::shownText(value));
    };
    int lineNo = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNo;
        const size_t first = line.find_first_not_of(" \t\r\f\v");
        if (first == std::string_view::npos) continue;
        if (line[first] == '#') {
            if (!m.tubeVoltage) m.tubeVoltage = statedTubeVoltage(line.substr(first + 1));
            continue;
        }
        const auto fields = split(line);
        if (fields.size() != 2) fault(MeasuredFault::WrongShape, lineNo, std::to_string(fields.size()));
        double values[2];
        for (int n = 0; n < 2; ++n) {
            if (!kv::parseNumberStrict(fields[n], values[n])) {
                std::string pointed(fields[n]);
                std::replace(pointed.begin(), pointed.end(), ',', '.');
                double ignored = 0;
                const bool comma =
                    fields[n].find(',') != std::string_view::npos && kv::parseNumberStrict(pointed, ignored);
                fault(comma ? MeasuredFault::DecimalComma : MeasuredFault::NotANumber, lineNo, fields[n]);
            }
            if (!std::isfinite(values[n])) fault(MeasuredFault::NotFinite, lineNo, fields[n]);
        }
        if (!(values[0] > 0)) fault(MeasuredFault::EnergyNotPositive, lineNo, fields[0]);
        if (!m.bins.empty() && !(values[0] > m.bins.back().top))
            fault(MeasuredFault::EnergyNotRising, lineNo, fields[0]);
        if (values[1] < 0) fault(MeasuredFault::NegativeFluence, lineNo, fields[1]);
        m.bins.push_back({values[0], values[1]});
    }
    if (m.bins.empty()) fault(MeasuredFault::NoBins, 0, {});
    return m;
}

std::string describeMeasured(const MeasuredSpectrumError& e, const texts::SpectrumFileTexts& t) {
    const texts::Text* text = &t.measuredNotANumber;
    switch (e.reason) {
    case MeasuredFault::NotANumber:
        break;
    case MeasuredFault::DecimalComma:
        text = &t.measuredDecimalComma;
        break;
    case MeasuredFault::NotFinite:
        text = &t.measuredNotFinite;
        break;
    case MeasuredFault::WrongShape:
        text = &t.measuredWrongShape;
        break;
    case MeasuredFault::EnergyNotPositive:
        text = &t.measuredEnergyNotPositive;
        break;
    case MeasuredFault::EnergyNotRising:
        text = &t.measuredEnergyNotRising;
        break;
    case MeasuredFault::NegativeFluence:
        text = &t.measuredNegativeFluence;
        break;
    case MeasuredFault::NoBins:
        text = &t.measuredNoBins;
        break;
    case MeasuredFault::NothingBelowTubeVoltage:
        text = &t.measuredNothingBelowTubeVoltage;
        break;
    }
    const std::string line = std::to_string(e.line);
    return kv::fillIn(text->str(), {{"{file}", e.file}, {"{line}", line}, {"{value}", e.value}});
}

} // namespace kv::formats
