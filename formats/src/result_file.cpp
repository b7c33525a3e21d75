#include "kv/formats/result_file.h"

#include "kv/common/format.h"
#include "kv/formats/file_error.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <stdexcept>

namespace kv::formats {

int descriptionLineCount(std::string_view kindLine) {
    return kindLine == kMammographyKind ? 14 : 16;
}

namespace {

// The history count, the free line after it, the phantom line and the free line after that.
constexpr int kLinesAfterDescription = 4;

// A count the grid can hold: a whole number in 1..max.
bool readCount(RecordReader& in, int max, int& out) {
    double v = in.readNumber();
    if (!(v >= 1 && v <= max) || v != std::floor(v)) return false;
    out = static_cast<int>(v);
    return true;
}

// The record reader's faults as a load reports them.
template <class F> LoadFailure guarded(F read) {
    try {
        return read();
    } catch (const PastEnd&) {
        return LoadFailure::EndsEarly;
    } catch (const NotANumber&) {
        return LoadFailure::NotANumber;
    } catch (const std::exception&) {
        return LoadFailure::Unreadable;
    }
}

} // namespace

LoadFailure openResultFile(const std::filesystem::path& workDir, std::string_view name,
                           std::optional<RecordReader>& in) {
    if (name.empty()) return LoadFailure::NoFileSelected;
    try {
        in.emplace(workDir, std::string(name), kMaxResultFileBytes);
    } catch (const NotARegularFile&) {
        return LoadFailure::NotAFile;
    } catch (const FileTooLarge&) {
        return LoadFailure::TooLarge;
    } catch (const FileMissing&) {
        return LoadFailure::CannotOpen;
    } catch (const std::exception&) {
        return LoadFailure::Unreadable;
    }
    return LoadFailure::None;
}

LoadFailure readResultHead(RecordReader& in, ResultFileHead& h, int maxCountZ) {
    return guarded([&] {
        h.kindLine = in.readLine();
        for (int i = descriptionLineCount(h.kindLine); i > 0; --i)
            in.readLine();
        // read as the preview reads it; the loader itself has no use for it
        h.histories = parseNumber(in.readLine());
        for (int i = kLinesAfterDescription - 1; i > 0; --i)
            in.readLine();
        h.airKerma = in.readNumber();
        h.fcd = in.readNumber();
        if (!std::isfinite(h.airKerma) || !std::isfinite(h.fcd)) return LoadFailure::NotANumber;
        if (!readCount(in, kMaxCountX, h.countX) || !readCount(in, kMaxCountY, h.countY) ||
            !readCount(in, maxCountZ, h.countZ))
            return LoadFailure::CountOutOfRange;
        if (h.countY < kFirstReferenceRow) return LoadFailure::EmptyReferenceRegion;
        if (!(h.airKerma > 0)) return LoadFailure::AirKerma;
        return LoadFailure::None;
    });
}

LoadFailure readResultBlocks(RecordReader& in, const ResultFileHead& h, const ResultRowSink& rowAt) {
    return guarded([&] {
        for (int c : {1, 2})
            for (int iz = 1; iz <= h.countZ; ++iz)
                for (int iy = 1; iy <= h.countY; ++iy) {
                    double* row = rowAt(c, iy, iz);
                    bool finite = true;
                    for (int ix = 0; ix < kValuesPerRow; ++ix) {
                        row[ix] = in.readNumber();
                        finite &= std::isfinite(row[ix]);
                    }
                    if (!finite) return LoadFailure::NotANumber;
                }
        return LoadFailure::None;
    });
}

// ---- trailer ----

namespace {

bool isTrailerName(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

std::string_view trimmedBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

ResultTrailer damaged() {
    ResultTrailer t;
    t.state = ResultTrailer::State::Damaged;
    return t;
}

} // namespace

const std::string* ResultTrailer::find(std::string_view name) const {
    for (const TrailerEntry& e : entries)
        if (e.first == name) return &e.second;
    return nullptr;
}

std::optional<double> ResultTrailer::number(std::string_view name) const {
    const std::string* v = find(name);
    double x = 0;
    if (!v || v->empty() || !parseNumberStrict(*v, x) || !std::isfinite(x)) return std::nullopt;
    return x;
}

ResultTrailer readResultTrailer(RecordReader& in) {
    try {
        // Blank lines (the rest of the last value's line) may come first;
        // any other text there is not ours, and no trailer.
        for (;;) {
            if (in.atEnd()) return {};
            const std::string text = in.readLine();
            const std::string_view line = trimmedBlanks(text);
            if (line == kTrailerBegin) break;
            if (!line.empty()) return {};
        }
        ResultTrailer t;
        for (;;) {
            if (in.atEnd()) return damaged(); // cut before its end line
            const std::string text = in.readLine();
            std::string_view line = trimmedBlanks(text);
            if (line == kTrailerEnd) break;
            const size_t eq = line.find('=');
            if (eq == std::string_view::npos) return damaged();
            const std::string_view name = trimmedBlanks(line.substr(0, eq));
            const std::string_view value = trimmedBlanks(line.substr(eq + 1));
            if (!isTrailerName(name) || t.find(name) || value.size() > kMaxTrailerValueBytes ||
                t.entries.size() >= kMaxTrailerEntries)
                return damaged();
            t.entries.emplace_back(std::string(name), std::string(value));
        }
        while (!in.atEnd())
            if (!trimmedBlanks(in.readLine()).empty()) return damaged();
        t.state = ResultTrailer::State::Complete;
        return t;
    } catch (const std::exception&) {
        return damaged();
    }
}

LoadFailure readResultTrailer(const std::filesystem::path& workDir, std::string_view name, ResultTrailer& out,
                              ResultFileHead* headOut) {
    out = {};
    std::optional<RecordReader> in;
    if (LoadFailure f = openResultFile(workDir, name, in); f != LoadFailure::None) return f;
    ResultFileHead head;
    if (LoadFailure f = readResultHead(*in, head, kMaxEngineCountZ); f != LoadFailure::None) return f;
    if (headOut) *headOut = head;
    std::array<double, kValuesPerRow> row{};
    if (LoadFailure f = readResultBlocks(*in, head, [&](int, int, int) { return row.data(); });
        f != LoadFailure::None)
        return f;
    out = readResultTrailer(*in);
    return LoadFailure::None;
}

std::string trailerNumber(double v) {
    if (!std::isfinite(v)) throw std::invalid_argument("a trailer number must be finite");
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    if (ec != std::errc()) throw std::invalid_argument("a trailer number does not fit");
    return std::string(buf, end);
}

// ---- writer ----

namespace {

void requireOneLine(const std::string& s, const char* what) {
    if (s.find_first_of("\r\n") != std::string::npos)
        throw std::invalid_argument(std::string("a result file's ") + what + " must be one line");
}

// A phantom size as the set-up files write it ("15.0", "4.3"); a size that
// needs more digits keeps them rather than being rounded.
std::string sizeText(double cm) {
    std::string oneDecimal = format(cm, "0.0");
    return parseNumber(oneDecimal) == cm ? oneDecimal : plainDecimal(cm);
}

} // namespace

void writeResultFile(RecordWriter& out, const ResultFileContent& r) {
    const int freeLines = descriptionLineCount(r.kindLine);
    requireOneLine(r.kindLine, "kind line");
    requireOneLine(r.historyNote, "history note");
    requireOneLine(r.phantomNote, "phantom note");
    if (static_cast<int>(r.description.size()) > freeLines)
        throw std::invalid_argument("a result file of this kind holds " + std::to_string(freeLines) +
                                    " description lines");
    for (const std::string& s : r.description)
        requireOneLine(s, "description line");
    const size_t blockSize = static_cast<size_t>(kValuesPerRow) * static_cast<size_t>(std::max(r.countY, 0)) *
                             static_cast<size_t>(std::max(r.countZ, 0));
    if (r.primary.size() != blockSize || r.scatter.size() != blockSize)
        throw std::invalid_argument("each dose block must hold 75 x countY x countZ values");
    if (r.trailer.size() > kMaxTrailerEntries)
        throw std::invalid_argument("a result file's trailer holds at most 256 entries");
    for (size_t i = 0; i < r.trailer.size(); ++i) {
        const auto& [name, value] = r.trailer[i];
        if (!isTrailerName(name)) throw std::invalid_argument("a trailer name is letters, digits and '_'");
        for (size_t j = 0; j < i; ++j)
            if (r.trailer[j].first == name)
                throw std::invalid_argument("trailer name " + name + " given twice");
        requireOneLine(value, "trailer value");
        if (trimmedBlanks(value) != value || value.size() > kMaxTrailerValueBytes)
            throw std::invalid_argument("trailer value of " + name + " would not read back as written");
    }

    out.line(r.kindLine);
    for (int i = 0; i < freeLines; ++i)
        out.line(i < static_cast<int>(r.description.size()) ? r.description[i] : "");
    out.line(plainDecimal(r.histories));
    out.line(r.historyNote);
    out.line(sizeText(r.phantom[0]) + ", " + sizeText(r.phantom[1]) + ", " + sizeText(r.phantom[2]) + ", " +
             plainDecimal(r.phantom[3]));
    out.line(r.phantomNote);
    out.line(plainDecimal(r.airKerma) + ", " + plainDecimal(r.fcd) + ", " + std::to_string(r.countX) + ", " +
             std::to_string(r.countY) + ", " + std::to_string(r.countZ));
    const NumberPattern pattern(r.valuePattern);
    for (const std::vector<double>* block : {&r.primary, &r.scatter})
        for (size_t row = 0; row * kValuesPerRow < blockSize; ++row)
            out.numbers(block->data() + row * kValuesPerRow, kValuesPerRow, pattern, ',').endLine();
    if (r.trailer.empty()) return;
    out.line(kTrailerBegin);
    for (const auto& [name, value] : r.trailer)
        out.text(name).text(" = ").text(value).endLine();
    out.line(kTrailerEnd);
}

void writeResultFile(const std::filesystem::path& workDir, const std::string& name,
                     const ResultFileContent& r) {
    RecordWriter out(workDir, name);
    writeResultFile(out, r);
    try {
        out.commit();
    } catch (const RecordError& e) {
        throwFromRecordError(e, 0);
    }
}

} // namespace kv::formats
