#include "kv/formats/control_file.h"

#include "kv/common/format.h"
#include "kv/common/records.h"
#include "line_fields.h"

#include <optional>

namespace kv::formats {

void writeControlFile(const std::filesystem::path& workDir, const ControlFileInput& in) {
    RecordWriter w(workDir, std::string(kControlFileName));
    w.line("15.0")
        .line("15.0")
        .numberLine(parseNumber(in.fidText), "000.0")
        .numberLine(parseNumber(in.fadText), "000.0")
        .numberLine(in.fcdSetting, "000.0")
        .numberLine(parseNumber(in.angularRangeText), "000.0")
        .numberLine(parseNumber(in.historiesText), "0.0E+00")
        .line(std::string(in.resultName) + std::string(kResultExtension))
        .line(in.equipmentName);
    try {
        w.commit();
    } catch (const RecordError& e) {
        throwFromRecordError(e, 0);
    }
}

ControlFile readControlFile(const std::filesystem::path& workDir) {
    std::optional<RecordReader> opened;
    try {
        opened.emplace(workDir, std::string(kControlFileName), kSmallFileMaxBytes);
    } catch (const RecordError& e) {
        throwFromRecordError(e, 0);
    }
    RecordReader& r = *opened;
    detail::LineFields f(r);
    ControlFile c;
    c.fieldX = f.number("the field size X in cm");
    c.fieldY = f.number("the field size Y in cm");
    c.fid = f.number("the FID in cm");
    c.fad = f.number("the FAD in cm");
    c.fcd = f.number("the FCD in cm");
    c.angularRange = f.number("the tomosynthesis angular range in degrees");
    c.histories = f.number("the number of photon histories");
    c.resultFile = f.text("the result file name");
    c.equipmentName = f.text("the equipment name");
    return c;
}

} // namespace kv::formats
