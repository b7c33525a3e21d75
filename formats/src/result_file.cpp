#include "kv/formats/result_file.h"

#include "kv/common/format.h"
#include "kv/formats/file_error.h"

#include <algorithm>
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

LoadFailure readResultHead(RecordReader& in, ResultFileHead& h) {
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
            !readCount(in, kMaxCountZ, h.countZ))
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
    for (const std::vector<double>* block : {&r.primary, &r.scatter})
        for (size_t row = 0; row * kValuesPerRow < blockSize; ++row) {
            for (size_t ix = 0; ix < static_cast<size_t>(kValuesPerRow); ++ix) {
                if (ix > 0) out.text(",");
                out.number((*block)[row * kValuesPerRow + ix], r.valuePattern);
            }
            out.endLine();
        }
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
