#include "kv/results/result_file.h"

#include "kv/common/format.h"
#include "kv/common/typed_number.h"

#include <cmath>
#include <exception>

namespace kv::results {

namespace {

LoadResult failed(LoadFailure f) {
    LoadResult r;
    r.failure = f;
    return r;
}

LoadResult readAndCompute(RecordReader& in, const std::function<void()>& pendingEvents) {
    // The header is checked before the grid (17 MB) is made for it.
    formats::ResultFileHead head;
    if (LoadFailure f = formats::readResultHead(in, head, formats::kMaxEngineCountZ); f != LoadFailure::None)
        return failed(f);
    if (head.countZ > kMaxCountZ) return failed(LoadFailure::ThickerThanScreens);

    LoadResult r;
    DoseModel& m = r.model.emplace();
    m.AirKerma = head.airKerma;
    m.FcdValue = head.fcd;
    m.GridCountX = head.countX;
    m.GridCountY = head.countY;
    m.GridCountZ = head.countZ;

    int line = 0;
    if (LoadFailure f = formats::readResultBlocks(
            in, head, [&](int c, int iy, int iz) { return m.DoseGrid.row(c, iy, iz) + 1; }, &line);
        f != LoadFailure::None) {
        LoadResult bad = failed(f);
        bad.line = line;
        return bad;
    }
    if (pendingEvents) pendingEvents();

    switch (computeDoseQuantities(m, pendingEvents)) {
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

LoadResult loadResultFrom(RecordReader& in, const std::function<void()>& pendingEvents) {
    try {
        return readAndCompute(in, pendingEvents);
    } catch (const std::exception&) {
        return failed(LoadFailure::Unreadable); // too little memory for the grid
    }
}

LoadResult LoadResultFile(const std::filesystem::path& workDir, std::string_view name,
                          const std::function<void()>& pendingEvents) {
    std::optional<RecordReader> in;
    if (LoadFailure f = formats::openResultFile(workDir, name, in); f != LoadFailure::None) return failed(f);
    return loadResultFrom(*in, pendingEvents);
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
    case LoadFailure::ThickerThanScreens:
        return t.reasonThickerThanScreens;
    }
    return {};
}

std::string fileAndReason(std::string_view file, LoadFailure f, const texts::ResultsModelTexts& t) {
    return fillIn(t.fileReason.str(), {{"{file}", shownText(file)}, {"{reason}", failureReason(f, t)}});
}

// ---- header preview ----

HeaderPreview previewResultHeader(RecordReader& in, const texts::ResultsModelTexts& t) {
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
    } catch (const PastEnd&) {
        p.failure = LoadFailure::EndsEarly; // what was read so far stands
    } catch (const kv::NotANumber&) {
        p.failure = LoadFailure::NotANumber;
    } catch (const std::exception&) {
        p.failure = LoadFailure::Unreadable;
    }
    return p;
}

HeaderPreview previewResultHeader(const std::filesystem::path& workDir, std::string_view name,
                                  const texts::ResultsModelTexts& t) {
    try {
        // The header is a few hundred bytes; the dose values need not be read.
        RecordReader in = RecordReader::head(workDir, std::string(name), 256 * 1024);
        return previewResultHeader(in, t);
    } catch (const std::exception&) {
        std::optional<RecordReader> opened;
        HeaderPreview p;
        p.failure = formats::openResultFile(workDir, name, opened);
        if (p.failure == LoadFailure::None) p.failure = LoadFailure::Unreadable;
        return p;
    }
}

} // namespace kv::results
