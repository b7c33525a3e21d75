#include "kv/formats/equipment_file.h"

#include "kv/common/format.h"
#include "kv/common/records.h"
#include "kv/common/typed_number.h"

namespace kv::formats {

EquipmentRecord readEquipment(const std::filesystem::path& workDir) {
    EquipmentRecord r;
    int line = 0;
    try {
        kv::RecordReader in(workDir, kEquipmentFileName, kv::kSmallFileMaxBytes);
        line = 1;
        r.equipmentName = in.readLine();
        for (double* v : {&r.fid, &r.fad, &r.angularRange, &r.targetAngle, &r.tubeTiltAngle}) {
            ++line;
            try {
                *v = in.readNumber();
            } catch (const kv::NotANumber& e) {
                throwFromRecordError(e, in.lineNumber());
            }
        }
    } catch (const kv::RecordError& e) {
        // Short records name the first item that is missing.
        throwFromRecordError(e, line);
    }
    return r;
}

EquipmentRecord readEquipmentStrictly(const std::filesystem::path& workDir) {
    static constexpr const char* kWhat[] = {"the FID in cm", "the FAD in cm", "the angular range in degrees",
                                            "the target angle in degrees", "the tube tilt angle in degrees"};
    EquipmentRecord r;
    int line = 0;
    try {
        kv::RecordReader in(workDir, kEquipmentFileName, kv::kSmallFileMaxBytes);
        line = 1;
        if (in.atEnd())
            throw FileError(FileFault::EndsEarly, kEquipmentFileName, 1, "ends before the equipment name");
        r.equipmentName = in.readLine();
        int item = 0;
        for (double* v : {&r.fid, &r.fad, &r.angularRange, &r.targetAngle, &r.tubeTiltAngle}) {
            ++line;
            if (in.atEnd())
                throw FileError(FileFault::EndsEarly, kEquipmentFileName, line,
                                "ends before " + std::string(kWhat[item]));
            const std::string text = in.readLine();
            const TypedNumber n = readTypedNumber(text);
            if (!n.ok())
                throw FileError(FileFault::NotANumber, kEquipmentFileName, line,
                                "holds \"" + shownText(text) + "\" where " + kWhat[item] +
                                    " belongs, as one number alone");
            *v = n.value;
            ++item;
        }
    } catch (const FileError&) {
        throw;
    } catch (const kv::RecordError& e) {
        throwFromRecordError(e, line);
    }
    return r;
}

void writeEquipment(const std::filesystem::path& workDir, const EquipmentLines& l) {
    kv::RecordWriter out(workDir, kEquipmentFileName);
    int line = 0;
    for (const std::string* s :
         {&l.equipmentName, &l.fid, &l.fad, &l.angularRange, &l.targetAngle, &l.tubeTiltAngle}) {
        ++line;
        if (s->find_first_of("\r\n") != std::string::npos)
            throw FileError(FileFault::BadValue, kEquipmentFileName, line, "a line break inside an item");
        out.line(*s);
    }
    try {
        out.commit();
    } catch (const kv::RecordError& e) {
        throwFromRecordError(e, 0);
    }
}

EquipmentLines linesForSpectrumTool(const EquipmentRecord& asRead, std::string_view targetAngleText,
                                    std::string_view tubeTiltAngleText) {
    return {asRead.equipmentName,           kv::format(asRead.fid, "00.0"),
            kv::format(asRead.fad, "00.0"), kv::format(asRead.angularRange, "00.0"),
            std::string(targetAngleText),   std::string(tubeTiltAngleText)};
}

EquipmentLines linesForWorkbench(std::string_view equipmentNameText, std::string_view fidText,
                                 std::string_view fadText, std::string_view angularRangeText,
                                 const EquipmentRecord& asRead, texts::Edition edition) {
    // The Japanese edition writes the tilt without the English edition's leading blank.
    const std::string_view tiltPattern = edition == texts::Edition::Japanese ? "#0.0" : " #0.0";
    return {std::string(equipmentNameText),
            std::string(fidText),
            std::string(fadText),
            std::string(angularRangeText),
            kv::format(asRead.targetAngle, "00.0"),
            kv::format(asRead.tubeTiltAngle, tiltPattern)};
}

} // namespace kv::formats
