#include "kv/formats/run_header.h"

#include "kv/common/format.h"
#include "kv/common/records.h"
#include "kv/formats/result_file.h"

#include <cmath>
#include <exception>

namespace kv::formats {
namespace {

// Far more than 17 lines of any sensible length; the head of a huge file only.
constexpr size_t kHeaderBytes = 64 * 1024;

// The number after `key` in `line` (blanks skipped), followed by " %".
std::optional<double> percentAfter(std::string_view line, std::string_view key) {
    const size_t at = line.find(key);
    if (at == std::string_view::npos) return std::nullopt;
    std::string_view rest = line.substr(at + key.size());
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    size_t end = 0;
    while (end < rest.size() && rest[end] != ' ' && rest[end] != '%' && rest[end] != ',')
        ++end;
    double v = 0;
    if (end == 0 || !parseNumberStrict(rest.substr(0, end), v) || !std::isfinite(v) || v < 0)
        return std::nullopt;
    std::string_view tail = rest.substr(end);
    while (!tail.empty() && tail.front() == ' ')
        tail.remove_prefix(1);
    if (tail.empty() || tail.front() != '%') return std::nullopt;
    return v / 100.0;
}

} // namespace

std::string uncertaintyLine(double referenceDose, double sagd, double voxelMedian) {
    std::string line = " " + std::string(kUncertaintyLabel) + " 100 % dose " +
                       format(referenceDose * 100.0, "0.00") + " %, sAGD " + format(sagd * 100.0, "0.00") +
                       " %";
    if (voxelMedian > 0) line += ", voxels' median " + format(voxelMedian * 100.0, "0.00") + " %";
    return line;
}

std::vector<std::string> readRunHeader(const std::filesystem::path& workDir, std::string_view name) {
    std::vector<std::string> lines;
    try {
        RecordReader in = RecordReader::head(workDir, std::string(name), kHeaderBytes);
        lines.push_back(in.readLine());
        const int free = descriptionLineCount(lines.front());
        for (int i = 0; i < free && !in.atEnd(); ++i)
            lines.push_back(in.readLine());
    } catch (const std::exception&) {
        // What was read stands; a file that cannot be read states nothing.
    }
    return lines;
}

StatedUncertainty statedUncertainty(const std::vector<std::string>& headerLines) {
    StatedUncertainty u;
    for (size_t i = 1; i < headerLines.size(); ++i) {
        const std::string_view line = headerLines[i];
        const size_t at = line.find(kUncertaintyLabel);
        if (at == std::string_view::npos) continue;
        const std::string_view rest = line.substr(at + kUncertaintyLabel.size());
        u.referenceDose = percentAfter(rest, "100 % dose");
        u.sagd = percentAfter(rest, "sAGD");
        break;
    }
    return u;
}

} // namespace kv::formats
