#include "kv/formats/voxel_sigma_file.h"

#include "kv/common/content_hash.h"
#include "kv/common/records.h"
#include "kv/formats/file_error.h"
#include "kv/formats/result_file.h"
#include "kv/formats/run_options_file.h"

#include <cmath>
#include <exception>

namespace kv::formats {

namespace {

constexpr std::string_view kSeedLabel = " Random seed: ";

// The seed an engine states in the result's free header lines, where it does.
std::optional<uint64_t> statedSeed(RecordReader& in, const std::string& kindLine) {
    std::optional<uint64_t> seed;
    for (int i = descriptionLineCount(kindLine); i > 0; --i) {
        const std::string line = in.readLine();
        if (line.rfind(kSeedLabel, 0) != 0) continue;
        const std::string rest = line.substr(kSeedLabel.size());
        seed = parseSeed(rest.substr(0, rest.find(' ')));
    }
    return seed;
}

// "name = value" with the name given.
std::optional<std::string> valueOf(const std::string& line, std::string_view name) {
    const std::string prefix = std::string(name) + " = ";
    if (line.rfind(prefix, 0) != 0) return std::nullopt;
    return line.substr(prefix.size());
}

} // namespace

std::string voxelSigmaFileName(std::string_view resultName) {
    return std::string(resultName) + std::string(kVoxelSigmaExtension);
}

void writeVoxelSigmaFile(const std::filesystem::path& workDir, std::string_view resultName,
                         const VoxelSigma& s) {
    const std::string name = voxelSigmaFileName(resultName);
    if (s.rows < 1 || s.layers < 1 ||
        s.percent.size() !=
            static_cast<size_t>(kValuesPerRow) * static_cast<size_t>(s.rows) * static_cast<size_t>(s.layers))
        throw FileError(FileFault::BadValue, name, 0, "the values do not fill the grid");
    try {
        RecordWriter out(workDir, name);
        out.line("result = " + std::string(resultName));
        out.line("result_sha256 = " + s.resultSha256);
        out.line("seed = " + std::to_string(s.seed));
        out.line("histories = " + std::to_string(s.histories));
        out.line("rows = " + std::to_string(s.rows));
        out.line("layers = " + std::to_string(s.layers));
        out.line(kVoxelSigmaMarker);
        const NumberPattern pattern("0.00E+00");
        for (size_t row = 0; row * kValuesPerRow < s.percent.size(); ++row) {
            for (size_t ix = 0; ix < static_cast<size_t>(kValuesPerRow); ++ix) {
                if (ix > 0) out.text(",");
                out.number(s.percent[row * kValuesPerRow + ix], pattern);
            }
            out.endLine();
        }
        out.commit();
    } catch (const RecordError& e) {
        throw FileError(FileFault::CannotWrite, name, 0, e.what());
    }
}

std::optional<VoxelSigma> readVoxelSigmaFile(const std::filesystem::path& workDir,
                                             std::string_view resultName) {
    try {
        const std::string result(resultName), name = voxelSigmaFileName(resultName);
        // The side file first: most results of older engines have none.
        RecordReader in(workDir, name,
                        size_t{4096} + size_t{kValuesPerRow} * kMaxCountY * kMaxEngineCountZ * 16);
        VoxelSigma s;
        auto field = [&](std::string_view key) {
            std::optional<std::string> v = valueOf(in.readLine(), key);
            if (!v) throw std::invalid_argument("side file head");
            return *v;
        };
        if (field("result") != result) return std::nullopt;
        s.resultSha256 = field("result_sha256");
        std::optional<uint64_t> seed = parseSeed(field("seed")), histories = parseSeed(field("histories")),
                                rows = parseSeed(field("rows")), layers = parseSeed(field("layers"));
        if (!seed || !histories || !rows || !layers || *rows < 1 || *rows > kMaxCountY || *layers < 1 ||
            *layers > kMaxEngineCountZ || in.readLine() != kVoxelSigmaMarker)
            return std::nullopt;
        s.seed = *seed, s.histories = *histories;
        s.rows = static_cast<int>(*rows), s.layers = static_cast<int>(*layers);
        s.percent.resize(size_t{kValuesPerRow} * *rows * *layers);
        for (double& v : s.percent) {
            v = in.readNumber();
            if (!std::isfinite(v) || v < 0) return std::nullopt;
        }
        if (!in.atEnd()) return std::nullopt;

        // Bound to the result as it stands: its bytes, its history count, its seed.
        const std::string bytes = readFileBytes(workDir, result, kMaxResultFileBytes);
        if (sha256Hex(bytes) != s.resultSha256) return std::nullopt;
        RecordReader head = RecordReader::fromBytes(bytes, result);
        const std::string kind = head.readLine();
        const std::optional<uint64_t> stated = statedSeed(head, kind);
        if (stated && *stated != s.seed) return std::nullopt;
        if (head.readNumber() != static_cast<double>(s.histories)) return std::nullopt;
        return s;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace kv::formats
