#include "kv/results/result_file.h"

#include "kv/common/format.h"

#include <cmath>
#include <stdexcept>

namespace kv::results {

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

LoadResult failed(LoadFailure f) {
    LoadResult r;
    r.failure = f;
    return r;
}

bool readBlocks(RecordReader& in, DoseModel& m) {
    for (int c : {Primary, Scatter})
        for (int iz = 1; iz <= m.GridCountZ; ++iz)
            for (int iy = 1; iy <= m.GridCountY; ++iy) {
                double* row = m.DoseGrid.row(c, iy, iz);
                bool finite = true;
                for (int ix = 1; ix <= kValuesPerRow; ++ix) {
                    row[ix] = in.readNumber();
                    finite &= std::isfinite(row[ix]);
                }
                if (!finite) return false;
            }
    return true;
}

LoadResult readAndCompute(RecordReader& in, const std::function<void()>& pendingEvents) {
    std::string kind = in.readLine();
    for (int i = descriptionLineCount(kind) + kLinesAfterDescription; i > 0; --i)
        in.readLine();

    // The header is checked before the grid (17 MB) is made for it.
    const double airKerma = in.readNumber();
    const double fcd = in.readNumber();
    if (!std::isfinite(airKerma) || !std::isfinite(fcd)) return failed(LoadFailure::NotANumber);
    int countX = 0, countY = 0, countZ = 0;
    if (!readCount(in, kMaxCountX, countX) || !readCount(in, kMaxCountY, countY) ||
        !readCount(in, kMaxCountZ, countZ))
        return failed(LoadFailure::CountOutOfRange);
    if (countY < kRegionFirstY) return failed(LoadFailure::EmptyReferenceRegion);
    if (!(airKerma > 0)) return failed(LoadFailure::AirKerma);

    LoadResult r;
    DoseModel& m = r.model.emplace();
    m.AirKerma = airKerma;
    m.FcdValue = fcd;
    m.GridCountX = countX;
    m.GridCountY = countY;
    m.GridCountZ = countZ;

    if (!readBlocks(in, m)) return failed(LoadFailure::NotANumber);
    if (pendingEvents) pendingEvents();

    switch (ComputeDoseQuantities(m, pendingEvents)) {
    case QuantityFailure::None:
        break;
    case QuantityFailure::AirKerma:
        return failed(LoadFailure::AirKerma);
    case QuantityFailure::EmptyReferenceRegion:
        return failed(LoadFailure::EmptyReferenceRegion);
    }
    // Values far apart in size can overflow once scaled to percent of the 100 % dose.
    bool finite = std::isfinite(m.MeanGlandDose) && std::isfinite(m.SagdValue);
    for (const auto& component : m.DepthDose)
        for (double v : component)
            finite &= std::isfinite(v);
    if (!finite) return failed(LoadFailure::NotANumber);
    m.SelectedYIndex = kLoadedYIndex;
    m.SelectedZIndex = kLoadedZIndex;
    return r;
}

} // namespace

LoadResult LoadResultFrom(RecordReader& in, const std::function<void()>& pendingEvents) {
    try {
        return readAndCompute(in, pendingEvents);
    } catch (const PastEnd&) {
        return failed(LoadFailure::EndsEarly);
    } catch (const NotANumber&) {
        return failed(LoadFailure::NotANumber);
    } catch (const std::exception&) {
        return failed(LoadFailure::Unreadable);
    }
}

LoadResult LoadResultFile(const std::filesystem::path& workDir, std::string_view name,
                          const std::function<void()>& pendingEvents) {
    if (name.empty()) return failed(LoadFailure::NoFileSelected);
    std::optional<RecordReader> in;
    try {
        in.emplace(workDir, std::string(name), kMaxResultFileBytes);
    } catch (const NotARegularFile&) {
        return failed(LoadFailure::NotAFile);
    } catch (const FileTooLarge&) {
        return failed(LoadFailure::TooLarge);
    } catch (const FileMissing&) {
        return failed(LoadFailure::CannotOpen);
    } catch (const std::exception&) {
        return failed(LoadFailure::Unreadable);
    }
    return LoadResultFrom(*in, pendingEvents);
}

std::string_view failureReason(LoadFailure f, const texts::ResultsModelTexts& t) {
    switch (f) {
    case LoadFailure::None:
        return {};
    case LoadFailure::NoFileSelected:
        return t.selectFile;
    case LoadFailure::CannotOpen:
        return t.reasonCannotOpen;
    case LoadFailure::EndsEarly:
        return t.reasonEndsEarly;
    case LoadFailure::NotANumber:
        return t.reasonNotANumber;
    case LoadFailure::CountOutOfRange:
        return t.reasonCountOutOfRange;
    case LoadFailure::EmptyReferenceRegion:
        return t.reasonEmptyReferenceRegion;
    case LoadFailure::AirKerma:
        return t.reasonAirKerma;
    case LoadFailure::NotAFile:
        return t.reasonNotAFile;
    case LoadFailure::TooLarge:
        return t.reasonTooLarge;
    case LoadFailure::Unreadable:
        return t.reasonUnreadable;
    }
    return {};
}

// ---- header preview ----

HeaderPreview PreviewResultHeader(RecordReader& in, const texts::ResultsModelTexts& t) {
    HeaderPreview p;
    try {
        std::string kind = in.readLine();
        p.lines.push_back(kind + t.lineTail.str());
        for (int i = descriptionLineCount(kind); i > 0; --i)
            p.lines.push_back(in.readLine() + t.lineTail.str());
        double histories = in.readNumber();
        p.lines.push_back(t.historyLabel.str() + format(histories, "0.00E+00") + t.historyUnit.str());
        in.readLine();
        std::array<double, 4> v{};
        for (double& x : v)
            x = in.readNumber();
        p.lines.emplace_back();
        p.lines.push_back(t.phantomSize.str());
        p.lines.push_back(t.sizeIndent.str() + plainDecimal(v[0]) + t.sizeTimes.str() + plainDecimal(v[1]) +
                          t.sizeTimes.str() + plainDecimal(v[2]) + t.sizeUnit.str());
        p.lines.push_back(t.fractionLabel.str() + plainDecimal(v[3]) + t.fractionUnit.str());
        p.complete = true;
    } catch (const std::exception&) {
        // The preview has no checks of its own: what was read so far stands.
    }
    return p;
}

HeaderPreview PreviewResultHeader(const std::filesystem::path& workDir, std::string_view name,
                                  const texts::ResultsModelTexts& t) {
    try {
        // The header is a few hundred bytes; the dose values need not be read.
        RecordReader in = RecordReader::head(workDir, std::string(name), 256 * 1024);
        return PreviewResultHeader(in, t);
    } catch (const std::exception&) {
        return {};
    }
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

void WriteResultFile(RecordWriter& out, const ResultFileContent& r) {
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

void WriteResultFile(const std::filesystem::path& workDir, const std::string& name,
                     const ResultFileContent& r) {
    RecordWriter out(workDir, name);
    WriteResultFile(out, r);
    out.commit();
}

} // namespace kv::results
