#include "kv/common/format.h"
#include "kv/common/records.h"
#include "kv/common/typed_number.h"
#include "kv/formats/control_file.h"
#include "kv/formats/phantom_file.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kv::formats;

namespace {

class RunFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kv-runfiles-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string bytes(std::string_view name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void put(std::string_view name, std::string_view content) const {
        std::ofstream(dir_ / name, std::ios::binary) << content;
    }
    fs::path dir_;
};

TEST_F(RunFiles, PhantomFileBytesFollowTheScreenValues) {
    struct Row {
        const char* entry;
        const char* typed;
        const char* expected;
        double thickness;
    };
    const Row rows[] = {
        {"50", "5", "50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n5.0\r\n", 5.0},
        {"50", "4.26", "50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n4.3\r\n", 4.3},
        {"50", "3", "50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n3.0\r\n", 3.0},
        {"10", "12abc", "10\r\nBR12-10.dat\r\n15.0\r\n15.0\r\n12.0\r\n", 12.0},
        {"90", "", "90\r\nBR12-90.dat\r\n15.0\r\n15.0\r\n0.0\r\n", 0.0},
        {"30", "  0.05", "30\r\nBR12-30.dat\r\n15.0\r\n15.0\r\n0.1\r\n", 0.1},
    };
    for (const Row& r : rows) {
        writePhantomFile(dir_, r.entry, r.typed);
        EXPECT_EQ(bytes(kPhantomFileName), r.expected) << r.entry << " / " << r.typed;
        PhantomFile back = readPhantomFile(dir_);
        EXPECT_EQ(back.fractionText, r.entry);
        EXPECT_EQ(back.compositionFile, compositionFileName(r.entry));
        EXPECT_DOUBLE_EQ(back.sizeX, 15.0);
        EXPECT_DOUBLE_EQ(back.sizeY, 15.0);
        EXPECT_DOUBLE_EQ(back.thickness, r.thickness);
    }
}

TEST_F(RunFiles, ControlFileBytesFollowTheScreenValues) {
    struct Row {
        ControlFileInput in;
        const char* expected;
    };
    const Row rows[] = {
        {{"65", "60", 60, "7.5", "1000000000", "case1", "Unit A"},
         "15.0\r\n15.0\r\n065.0\r\n060.0\r\n060.0\r\n007.5\r\n1.0E+09\r\ncase1.vesk\r\nUnit A\r\n"},
        {{"65.0", "60.0", 45.5, "07.5", "123456", " ", ""},
         "15.0\r\n15.0\r\n065.0\r\n060.0\r\n045.5\r\n007.5\r\n1.2E+05\r\n .vesk\r\n\r\n"},
        {{"abc", "", 0, "x", "2e4", "run 2",
          "\xe8\xa3\x85\xe7\xbd\xae"}, // a Japanese equipment name in UTF-8
         "15.0\r\n15.0\r\n000.0\r\n000.0\r\n000.0\r\n000.0\r\n2.0E+04\r\nrun 2.vesk\r\n\x91\x95\x92\x75\r\n"},
    };
    for (const Row& r : rows) {
        writeControlFile(dir_, r.in);
        EXPECT_EQ(bytes(kControlFileName), r.expected) << r.in.resultName;
        ControlFile back = readControlFile(dir_);
        EXPECT_EQ(back.resultFile, std::string(r.in.resultName) + ".vesk");
        EXPECT_EQ(back.equipmentName, r.in.equipmentName);
        EXPECT_DOUBLE_EQ(back.fcd, kv::parseNumber(kv::format(r.in.fcdSetting, "000.0")));
    }
    ControlFile c = readControlFile(dir_);
    EXPECT_DOUBLE_EQ(c.histories, 2.0e4);
    EXPECT_DOUBLE_EQ(c.fid, 0.0);
}

TEST_F(RunFiles, ReadsTheNumbersOfAWrittenControlFile) {
    writeControlFile(dir_, {"65", "60", 60, "7.5", "1000000000", "case1", "Unit A"});
    ControlFile c = readControlFile(dir_);
    EXPECT_DOUBLE_EQ(c.fieldX, 15.0);
    EXPECT_DOUBLE_EQ(c.fieldY, 15.0);
    EXPECT_DOUBLE_EQ(c.fid, 65.0);
    EXPECT_DOUBLE_EQ(c.fad, 60.0);
    EXPECT_DOUBLE_EQ(c.fcd, 60.0);
    EXPECT_DOUBLE_EQ(c.angularRange, 7.5);
    EXPECT_DOUBLE_EQ(c.histories, 1.0e9);
}

TEST_F(RunFiles, BadFilesAreReportedWithTheLineAndItsMeaning) {
    struct Row {
        const char* file;
        std::string content;
        int line;
        std::string messagePart;
    };
    const std::string mcHead = "15.0\r\n15.0\r\n065.0\r\n060.0\r\n060.0\r\n007.5\r\n";
    const Row rows[] = {
        {"Phantom.dat", "50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\nthick\r\n", 5,
         "holds \"thick\" where the phantom thickness"},
        {"Phantom.dat", "50\r\nBR12-50.dat\r\n15.0\r\n", 4, "ends before the phantom size Y"},
        {"Phantom.dat", "50\r\nBR12-50.dat\r\n15.0\r\n\r\n5.0\r\n", 4, "holds \"\""},
        {"MC.dat", mcHead + "1.0E+09\r\n", 8, "ends before the result file name"},
        {"MC.dat", mcHead + "1.0E+09 x\r\na.vesk\r\n\r\n", 7, "holds \"1.0E+09 x\""},
        // A terminal escape sequence in a line is quoted without its escapes.
        {"MC.dat", "15.0\r\n15.0\r\n\x1b[2J\x1b]0;owned\x07\r\n", 3,
         "holds \"\uFFFD[2J\uFFFD]0;owned\uFFFD\""},
        // A long line is quoted shortened, so the message stays short.
        {"MC.dat", "15.0\r\n" + std::string(20000, '5') + "x\r\n", 2,
         "holds \"" + std::string(kv::kShownCharacters, '5') + "\u2026\" where the field size Y"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.messagePart);
        put(r.file, r.content);
        try {
            if (std::string_view(r.file) == kPhantomFileName)
                readPhantomFile(dir_);
            else
                readControlFile(dir_);
            ADD_FAILURE() << "accepted: " << r.content;
        } catch (const FileError& e) {
            EXPECT_EQ(e.file, r.file);
            EXPECT_EQ(e.line, r.line);
            const std::string what = e.what();
            EXPECT_EQ(what.rfind(std::string(r.file) + ", line " + std::to_string(r.line) + ": ", 0), 0u)
                << what;
            EXPECT_NE(what.find(r.messagePart), std::string::npos) << what;
            EXPECT_EQ(what.find('\x1b'), std::string::npos);
            EXPECT_LT(what.size(), 200u);
            // Both editions name the file and the line.
            for (const auto* t :
                 {&kv::texts::englishSpectrumFileTexts, &kv::texts::japaneseSpectrumFileTexts}) {
                const std::string shown = describe(e, *t);
                EXPECT_NE(shown.find(r.file), std::string::npos) << shown;
                EXPECT_NE(shown.find(std::to_string(r.line)), std::string::npos) << shown;
            }
        }
        fs::remove(dir_ / r.file);
    }
    for (auto read :
         {+[](const fs::path& d) { readPhantomFile(d); }, +[](const fs::path& d) { readControlFile(d); }}) {
        try {
            read(dir_);
            ADD_FAILURE() << "a missing file was read";
        } catch (const FileError& e) {
            EXPECT_EQ(e.fault, FileFault::Missing) << e.what();
        }
    }
}

TEST_F(RunFiles, AcceptsLfLineEndsAndBlanksAroundNumbers) {
    put("Phantom.dat", "20\nBR12-20.dat\n 15.0\n15.0 \n  4.5\n");
    PhantomFile p = readPhantomFile(dir_);
    EXPECT_EQ(p.compositionFile, "BR12-20.dat");
    EXPECT_DOUBLE_EQ(p.thickness, 4.5);
}

} // namespace
