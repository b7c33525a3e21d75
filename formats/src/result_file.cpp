#include "kv/formats/result_file.h"

#include "kv/common/content_hash.h"
#include "kv/common/format.h"
#include "kv/common/text.h"
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

// The record reader's faults as a load reports them, with the line of a bad value.
template <class F> LoadFailure guarded(RecordReader& in, int* failureLine, F read) {
    try {
        return read();
    } catch (const PastEnd&) {
        return LoadFailure::EndsEarly;
    } catch (const NotANumber&) {
        if (failureLine) *failureLine = in.lineNumber();
        return LoadFailure::NotANumber;
    } catch (const std::exception&) {
        return LoadFailure::Unreadable;
    }
}

constexpr std::string_view kSeedLabel = " Random seed: ";

// The digits after " Random seed: ", where the line holds a whole number there.
std::optional<std::string> seedOf(std::string_view line) {
    if (line.substr(0, kSeedLabel.size()) != kSeedLabel) return std::nullopt;
    line.remove_prefix(kSeedLabel.size());
    const size_t digits = std::min(line.find_first_not_of("0123456789"), line.size());
    if (digits == 0 || digits > 20) return std::nullopt;
    return std::string(line.substr(0, digits));
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
    return guarded(in, nullptr, [&] {
        h.kindLine = in.readLine();
        for (int i = descriptionLineCount(h.kindLine); i > 0; --i)
            if (std::optional<std::string> seed = seedOf(in.readLine())) h.seed = seed;
        // read as the preview reads it; the loader itself has no use for it
        h.histories = parseNumber(in.readLine());
        in.readLine();
        {
            // The phantom line's glandular fraction, for the trailer's to be checked against.
            const std::string phantom = in.readLine();
            size_t at = std::string::npos;
            for (int comma = 0; comma < 3; ++comma) {
                at = phantom.find(',', at + 1);
                if (at == std::string::npos) break;
            }
            h.glandularPercent = at == std::string::npos ? 0 : parseNumber(phantom.substr(at + 1));
        }
        in.readLine();
        h.airKerma = in.readNumber();
        h.fcd = in.readNumber();
        if (!std::isfinite(h.airKerma) || !std::isfinite(h.fcd)) return LoadFailure::NotANumber;
        if (!readCount(in, kMaxCountX, h.countX) || !readCount(in, kMaxCountY, h.countY) ||
            !readCount(in, maxCountZ, h.countZ))
            return LoadFailure::CountOutOfRange;
        if (h.countY < kFirstReferenceRow) return LoadFailure::EmptyReferenceRegion;
        if (!(h.airKerma > 0)) return LoadFailure::AirKerma;
        h.blocksOffset = in.offset();
        return LoadFailure::None;
    });
}

LoadFailure readResultBlocks(RecordReader& in, const ResultFileHead& h, const ResultRowSink& rowAt,
                             int* failureLine) {
    return guarded(in, failureLine, [&] {
        for (int c : {1, 2})
            for (int iz = 1; iz <= h.countZ; ++iz)
                for (int iy = 1; iy <= h.countY; ++iy) {
                    double* row = rowAt(c, iy, iz);
                    bool finite = true;
                    const int line = in.lineNumber();
                    for (int ix = 0; ix < kValuesPerRow; ++ix) {
                        row[ix] = in.readRequiredNumber();
                        finite &= std::isfinite(row[ix]);
                    }
                    if (!finite) {
                        if (failureLine) *failureLine = line;
                        return LoadFailure::NotANumber;
                    }
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

ResultTrailer damaged(TrailerDamage why, int line = 0, std::string key = {}) {
    ResultTrailer t;
    t.state = ResultTrailer::State::Damaged;
    t.damage = why;
    t.damagedLine = line;
    t.damagedKey = std::move(key);
    return t;
}

bool isHexDigest(std::string_view s) {
    return s.size() == 64 && std::all_of(s.begin(), s.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// The trailer's values that repeat what the head states, against it.
std::optional<std::string> disagreement(const ResultTrailer& t, const ResultFileHead& h) {
    if (t.find(trailer::kHistories)) {
        const std::optional<double> n = t.number(trailer::kHistories);
        if (!n || *n != h.histories) return std::string(trailer::kHistories.name);
    }
    if (const std::optional<double> g = t.number(trailer::kGlandularPercent);
        g && std::fabs(*g - h.glandularPercent) > 1e-9 * std::max(1.0, std::fabs(*g)))
        return std::string(trailer::kGlandularPercent.name);
    if (const std::string* seed = t.find(trailer::kSeed); seed && h.seed && *seed != *h.seed)
        return std::string(trailer::kSeed.name);
    return std::nullopt;
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

std::string trailerContentHash(std::string_view text) {
    ContentHash h;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        h.add(line).add("\n");
        at = end + 1;
    }
    return h.hex();
}

ResultTrailer readResultTrailer(RecordReader& in, const ResultFileHead& head) {
    try {
        // Blank lines (the rest of the last value's line) may come first.
        // Other text there is no trailer of ours (another engine's) unless a
        // trailer follows it: then it was put between the blocks and ours.
        int textBefore = 0;
        for (;;) {
            if (in.atEnd()) return {};
            const int lineNo = in.lineNumber();
            const std::string text = in.readLine();
            const std::string_view line = trimmed(text);
            if (line == kTrailerBegin) break;
            if (!line.empty() && textBefore == 0) textBefore = lineNo;
        }
        if (textBefore > 0) return damaged(TrailerDamage::TextBefore, textBefore);
        ResultTrailer t;
        size_t hashLineAt = 0;
        int hashLine = 0;
        for (;;) {
            if (in.atEnd()) return damaged(TrailerDamage::CutShort, in.lineNumber());
            const int lineNo = in.lineNumber();
            const size_t lineAt = in.offset();
            const std::string text = in.readLine();
            std::string_view line = trimmed(text);
            if (line == kTrailerEnd) break;
            // After the hash only the end line; a file that stops on another was cut in it.
            if (hashLine > 0)
                return in.atEnd() ? damaged(TrailerDamage::CutShort, lineNo)
                                  : damaged(TrailerDamage::HashNotLast, hashLine);
            const size_t eq = line.find('=');
            if (eq == std::string_view::npos) return damaged(TrailerDamage::NotNameValue, lineNo);
            const std::string_view name = trimmed(line.substr(0, eq));
            const std::string_view value = trimmed(line.substr(eq + 1));
            if (!isTrailerName(name) || value.size() > kMaxTrailerValueBytes)
                return damaged(TrailerDamage::NotNameValue, lineNo);
            if (t.find(name) || t.entries.size() >= kMaxTrailerEntries)
                return damaged(TrailerDamage::NameTwice, lineNo);
            if (name == trailer::kContentSha256.name) {
                if (!isHexDigest(value)) return damaged(TrailerDamage::HashNotLast, lineNo);
                hashLineAt = lineAt, hashLine = lineNo;
            }
            t.entries.emplace_back(std::string(name), std::string(value));
        }
        while (!in.atEnd()) {
            const int lineNo = in.lineNumber();
            if (!trimmed(in.readLine()).empty()) return damaged(TrailerDamage::TextAfter, lineNo);
        }
        if (hashLine > 0 && head.blocksOffset != kBlocksNotInReader) {
            if (trailerContentHash(in.textBetween(head.blocksOffset, hashLineAt)) !=
                *t.find(trailer::kContentSha256))
                return damaged(TrailerDamage::HashMismatch, hashLine);
            t.verified = true;
        }
        if (std::optional<std::string> key = disagreement(t, head))
            return damaged(TrailerDamage::DisagreesWithHead, 0, *key);
        t.state = ResultTrailer::State::Complete;
        return t;
    } catch (const std::exception&) {
        return damaged(TrailerDamage::CutShort, in.lineNumber());
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
    out = readResultTrailer(*in, head);
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
        if (name == trailer::kContentSha256.name)
            throw std::invalid_argument("the writer adds content_sha256 itself");
        requireOneLine(value, "trailer value");
        if (trimmed(value) != value || value.size() > kMaxTrailerValueBytes)
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
    const size_t blocksAt = out.content().size();
    // each value its pattern's width, a sign or a separator, and a trailer's worth
    out.reserve(2 * blockSize * (r.valuePattern.size() + 2) + 16384);
    const NumberPattern pattern(r.valuePattern);
    for (const std::vector<double>* block : {&r.primary, &r.scatter})
        for (size_t row = 0; row * kValuesPerRow < blockSize; ++row)
            out.numbers(block->data() + row * kValuesPerRow, kValuesPerRow, pattern, ',').endLine();
    if (r.trailer.empty()) return;
    out.line(kTrailerBegin);
    for (const auto& [name, value] : r.trailer)
        out.text(name).text(" = ").text(value).endLine();
    // Last, over everything before it, so that any key added above is covered.
    const std::string hash = trailerContentHash(std::string_view(out.content()).substr(blocksAt));
    out.text(trailer::kContentSha256.name).text(" = ").text(hash).endLine();
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
