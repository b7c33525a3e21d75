#include "kv/formats/phantom_file.h"

#include "kv/common/format.h"
#include "kv/common/records.h"
#include "line_fields.h"

#include <optional>

namespace kv::formats {

std::string compositionFileName(std::string_view fractionEntry) {
    return "BR12-" + std::string(fractionEntry) + ".dat";
}

void writePhantomFile(const std::filesystem::path& workDir, std::string_view fractionEntry,
                      std::string_view thicknessText) {
    RecordWriter w(workDir, std::string(kPhantomFileName));
    w.line(fractionEntry)
        .line(compositionFileName(fractionEntry))
        .line("15.0")
        .line("15.0")
        .numberLine(parseNumber(thicknessText), "0.0");
    try {
        w.commit();
    } catch (const RecordError& e) {
        throwFromRecordError(e, 0);
    }
}

PhantomFile readPhantomFile(const std::filesystem::path& workDir) {
    std::optional<RecordReader> opened;
    try {
        opened.emplace(workDir, std::string(kPhantomFileName), kSmallFileMaxBytes);
    } catch (const RecordError& e) {
        throwFromRecordError(e, 0);
    }
    RecordReader& r = *opened;
    detail::LineFields f(r);
    PhantomFile p;
    p.fractionText = f.text("the glandular fraction");
    p.compositionFile = f.text("the composition file name");
    p.sizeX = f.number("the phantom size X in cm");
    p.sizeY = f.number("the phantom size Y in cm");
    p.thickness = f.number("the phantom thickness in cm");
    return p;
}

} // namespace kv::formats
