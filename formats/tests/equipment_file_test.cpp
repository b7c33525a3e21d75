#include "kv/common/codepage.h"
#include "kv/formats/equipment_file.h"
#include "kv/test_support/work_dir.h"

#include <gtest/gtest.h>

namespace {

using namespace kv::formats;
using kv::test_support::TempDir;

const std::string kStart = "Mammography unit\r\n65\r\n60\r\n7.5\r\n16\r\n6\r\n";

TEST(EquipmentFile, ReadsTheRecordHoweverItsFieldsAreSplit) {
    for (std::string bytes : {kStart, std::string("Mammography unit\n65, 60, 7.5\n16 6"),
                              std::string("Mammography unit\r\n 65.0\r\n60.0\r\n07.5\r\n16.0\r\n 6.0\r\n")}) {
        TempDir dir;
        dir.write(kEquipmentFileName, bytes);
        EquipmentRecord r = readEquipment(dir.path());
        EXPECT_EQ(r.equipmentName, "Mammography unit") << bytes;
        EXPECT_EQ(r.fid, 65.0);
        EXPECT_EQ(r.fad, 60.0);
        EXPECT_EQ(r.angularRange, 7.5);
        EXPECT_EQ(r.targetAngle, 16.0);
        EXPECT_EQ(r.tubeTiltAngle, 6.0);
    }
}

TEST(EquipmentFile, FaultsNameTheFileAndTheLine) {
    struct Case {
        const char* name;
        const char* bytes; // null: no file at all
        FileFault fault;
        int line;
    };
    const Case cases[] = {
        {"missing", nullptr, FileFault::Missing, 0},
        {"empty", "", FileFault::EndsEarly, 1},
        {"word for the FID", "Unit\r\nx\r\n", FileFault::NotANumber, 2},
        {"three lines", "Unit\r\n65\r\n60\r\n", FileFault::EndsEarly, 4},
        {"no tilt", "Unit\r\n65\r\n60\r\n7.5\r\n16\r\n", FileFault::EndsEarly, 6},
        {"word for a number", "Unit\r\n65\r\n60\r\n7.5\r\nsixteen\r\n6\r\n", FileFault::NotANumber, 5},
    };
    for (const Case& c : cases) {
        TempDir dir;
        if (c.bytes) dir.write(kEquipmentFileName, c.bytes);
        try {
            readEquipment(dir.path());
            ADD_FAILURE() << c.name << ": no error";
        } catch (const FileError& e) {
            EXPECT_EQ(e.fault, c.fault) << c.name << ": " << e.what();
            EXPECT_EQ(e.line, c.line) << c.name << ": " << e.what();
            EXPECT_EQ(e.file, "equipment.dat");
            EXPECT_NE(describe(e, kv::texts::englishSpectrumFileTexts).find("equipment.dat"),
                      std::string::npos);
            EXPECT_NE(describe(e, kv::texts::japaneseSpectrumFileTexts).find("equipment.dat"),
                      std::string::npos);
        }
    }
}

// The tools take each line's number as a screen takes a typed one: a line
// that is not one number alone is refused, where the field reads of the
// screens would take the number before the comma and shift the lines after.
TEST(EquipmentFile, ToolsReadEachLineAsOneNumber) {
    const struct {
        const char* row;
        std::string bytes;
        int line; // 0: read as the record above
    } cases[] = {
        {"the shipped record", kStart, 0},
        {"blanks and zeros around", "Mammography unit\r\n 65.0 \r\n60.0\r\n07.5\r\n16.0\r\n\t6.0\r\n", 0},
        {"LF line ends", "Mammography unit\n65\n60\n7.5\n16\n6\n", 0},
        {"FID and FAD on one line", "Unit\r\n65,60\r\n60\r\n7.5\r\n16\r\n6\r\n", 2},
        {"decimal comma in the target angle", "Unit\r\n65\r\n60\r\n7.5\r\n16,5\r\n6\r\n", 5},
        {"unit after the FAD", "Unit\r\n65\r\n60 cm\r\n7.5\r\n16\r\n6\r\n", 3},
        {"empty angular range", "Unit\r\n65\r\n60\r\n\r\n16\r\n6\r\n", 4},
        {"two numbers in the tilt", "Unit\r\n65\r\n60\r\n7.5\r\n16\r\n6 6\r\n", 6},
        {"not finite", "Unit\r\n1e999\r\n60\r\n7.5\r\n16\r\n6\r\n", 2},
        {"escape sequence", "Unit\r\n65\x1b[2J\r\n60\r\n7.5\r\n16\r\n6\r\n", 2},
        {"cut short", "Unit\r\n65\r\n60\r\n7.5\r\n", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        TempDir dir;
        dir.write(kEquipmentFileName, c.bytes);
        if (c.line == 0) {
            const EquipmentRecord strict = readEquipmentStrictly(dir.path()),
                                  loose = readEquipment(dir.path());
            EXPECT_EQ(strict.equipmentName, loose.equipmentName);
            for (auto m : {&EquipmentRecord::fid, &EquipmentRecord::fad, &EquipmentRecord::angularRange,
                           &EquipmentRecord::targetAngle, &EquipmentRecord::tubeTiltAngle})
                EXPECT_EQ(strict.*m, loose.*m);
            continue;
        }
        try {
            readEquipmentStrictly(dir.path());
            ADD_FAILURE() << "accepted";
        } catch (const FileError& e) {
            EXPECT_EQ(e.file, "equipment.dat");
            EXPECT_EQ(e.line, c.line) << e.what();
            EXPECT_EQ(std::string(e.what()).find('\x1b'), std::string::npos) << e.what();
            for (const auto* t :
                 {&kv::texts::englishSpectrumFileTexts, &kv::texts::japaneseSpectrumFileTexts}) {
                const std::string shown = describe(e, *t);
                EXPECT_NE(shown.find("equipment.dat"), std::string::npos) << shown;
                EXPECT_NE(shown.find(std::to_string(c.line)), std::string::npos) << shown;
            }
        }
    }
}

TEST(EquipmentFile, SpectrumToolCarriesLinesOneToFourAndWritesTheAnglesAsTyped) {
    TempDir dir;
    dir.write(kEquipmentFileName, "Mammography unit\r\n65\r\n60\r\n7.5\r\n16\r\n6\r\n");
    EquipmentRecord asRead = readEquipment(dir.path());
    // Another program rewrites the record meanwhile: the tool's copy wins.
    dir.write(kEquipmentFileName, "Other\r\n70\r\n65\r\n15\r\n16\r\n6\r\n");
    writeEquipment(dir.path(), linesForSpectrumTool(asRead, "12", "0"));
    EXPECT_EQ(dir.read(kEquipmentFileName), "Mammography unit\r\n65.0\r\n60.0\r\n07.5\r\n12\r\n0\r\n");
    writeEquipment(dir.path(), linesForSpectrumTool(asRead, "10.25", "-2.5"));
    EXPECT_EQ(readEquipment(dir.path()).targetAngle, 10.25);
    EXPECT_EQ(dir.read(kEquipmentFileName), "Mammography unit\r\n65.0\r\n60.0\r\n07.5\r\n10.25\r\n-2.5\r\n");
}

TEST(EquipmentFile, WorkbenchWritesLinesOneToFourAsTypedAndCarriesTheAngles) {
    constexpr auto kEnglish = kv::texts::Edition::English;
    constexpr auto kJapanese = kv::texts::Edition::Japanese;
    struct Case {
        double target, tilt;
        kv::texts::Edition edition;
        const char* line5;
        const char* line6;
    };
    const Case cases[] = {
        {16, 5, kEnglish, "16.0", " 5.0"},     {16, 5, kJapanese, "16.0", "5.0"},
        {16, -2.5, kEnglish, "16.0", " -2.5"}, {16, -2.5, kJapanese, "16.0", "-2.5"},
        {10.26, 0, kEnglish, "10.3", " 0.0"},  {10.26, 0, kJapanese, "10.3", "0.0"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        EquipmentRecord asRead{"Unit", 65, 60, 7.5, c.target, c.tilt};
        writeEquipment(dir.path(), linesForWorkbench("Unit B", "65", "60.0", "7.5", asRead, c.edition));
        EXPECT_EQ(dir.read(kEquipmentFileName),
                  std::string("Unit B\r\n65\r\n60.0\r\n7.5\r\n") + c.line5 + "\r\n" + c.line6 + "\r\n")
            << c.target << " " << c.tilt << (c.edition == kJapanese ? " Japanese" : " English");
    }
}

TEST(EquipmentFile, JapaneseNameRoundTripsInTheSystemCodePage) {
    TempDir dir;
    const std::string name = "乳房撮影装置 ＭＡ－１";
    writeEquipment(dir.path(), {name, "65", "60", "7.5", "16", "6"});
    EXPECT_EQ(dir.read(kEquipmentFileName).substr(0, kv::toCp932(name).size()), kv::toCp932(name));
    EXPECT_EQ(readEquipment(dir.path()).equipmentName, name);
}

TEST(EquipmentFile, RefusedWritesLeaveTheOldRecord) {
    TempDir dir;
    dir.write(kEquipmentFileName, kStart);
    // A line break would shift every later line; a character outside the code page cannot be written.
    const EquipmentLines bad[] = {{"Unit\r\nB", "65", "60", "7.5", "16", "6"},
                                  {"Unit", "65", "60", "7.5", "16\n", "6"},
                                  {"Unit \xF0\x9F\x98\x80", "65", "60", "7.5", "16", "6"}};
    const FileFault faults[] = {FileFault::BadValue, FileFault::BadValue, FileFault::CannotWrite};
    for (int n = 0; n < 3; ++n) {
        try {
            writeEquipment(dir.path(), bad[n]);
            ADD_FAILURE() << n << ": written";
        } catch (const FileError& e) {
            EXPECT_EQ(e.fault, faults[n]) << e.what();
        }
        EXPECT_EQ(dir.read(kEquipmentFileName), kStart);
    }
}

// A record its owner has made read-only is not replaced behind their back.
TEST(EquipmentFile, AWriteProtectedRecordIsRefusedAndKept) {
    TempDir dir;
    dir.write(kEquipmentFileName, kStart);
    std::filesystem::permissions(dir.path() / kEquipmentFileName, std::filesystem::perms::owner_read |
                                                                      std::filesystem::perms::group_read |
                                                                      std::filesystem::perms::others_read);
    try {
        writeEquipment(dir.path(), {"Unit B", "66", "61", "15", "16", "6"});
        ADD_FAILURE() << "written";
    } catch (const FileError& e) {
        EXPECT_EQ(e.fault, FileFault::WriteProtected) << e.what();
        EXPECT_EQ(describe(e, kv::texts::englishSpectrumFileTexts),
                  "The file equipment.dat is write-protected and was left as it is");
    }
    EXPECT_EQ(dir.read(kEquipmentFileName), kStart);
    EXPECT_EQ(std::filesystem::status(dir.path() / kEquipmentFileName).permissions(),
              static_cast<std::filesystem::perms>(0444));
}

} // namespace
