#include "kv/common/codepage.h"
#include "kv/common/records.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() / ("kv-records-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }
    std::string read(const std::string& name) const {
        std::ifstream in(path_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    static inline int counter_ = 0;
    fs::path path_;
};

TEST(RecordWriter, WritesCrLfLinesAndPatterns) {
    TempDir d;
    kv::RecordWriter w(d.path(), "MC.dat");
    w.line("50").text("Tube voltage =").number(30, " 00.0 kV").endLine().numberLine(1e9, "0.0E+00").endLine();
    w.commit();
    EXPECT_EQ(d.read("MC.dat"), "50\r\nTube voltage = 30.0 kV\r\n1.0E+09\r\n\r\n");
}

TEST(RecordWriter, ReplacesOnlyWhenCommittedAndLeavesNoTemporary) {
    TempDir d;
    {
        kv::RecordWriter w(d.path(), "Phantom.dat");
        w.line("old");
        w.commit();
    }
    {
        kv::RecordWriter w(d.path(), "Phantom.dat");
        w.line("new but abandoned"); // never committed
    }
    EXPECT_EQ(d.read("Phantom.dat"), "old\r\n");
    {
        kv::RecordWriter w(d.path(), "Phantom.dat");
        w.line("\xF0\x9F\x98\x80"); // no CP932 form: the write fails whole
        EXPECT_THROW(w.commit(), kv::WriteFailed);
    }
    EXPECT_EQ(d.read("Phantom.dat"), "old\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(d.path()), fs::directory_iterator()), 1);
}

TEST(RecordWriter, RefusesNamesOutsideTheWorkingDirectory) {
    TempDir d;
    for (const char* name : {"../x.vesk", "a/b", "", ".."}) {
        kv::RecordWriter w(d.path(), name);
        w.line("x");
        EXPECT_THROW(w.commit(), kv::WriteFailed) << name;
    }
    EXPECT_TRUE(kv::isBareFileName(" "));
    EXPECT_TRUE(kv::isBareFileName("run 1.vesk"));
}

TEST(RecordWriter, FailsCleanlyInAMissingFolder) {
    kv::RecordWriter w("/nonexistent-kv-folder", "MC.dat");
    w.line("1");
    EXPECT_THROW(w.commit(), kv::WriteFailed);
}

TEST(CodePage, JapaneseRoundTripsThroughCp932) {
    TempDir d;
    const std::string label = "管球電圧 = 30.0 kV";
    const std::string equipment = "装置Ａ－１ マンモ";
    kv::RecordWriter w(d.path(), "equipment.dat");
    w.line(label).line(equipment);
    w.commit();
    std::string raw = d.read("equipment.dat");
    EXPECT_EQ(raw, kv::toCp932(label) + "\r\n" + kv::toCp932(equipment) + "\r\n");
    EXPECT_EQ(raw.substr(0, 2), "\x8a\xc7"); // 管 in CP932
    kv::RecordReader r(d.path(), "equipment.dat");
    EXPECT_EQ(r.readLine(), label);
    EXPECT_EQ(r.readLine(), equipment);
    EXPECT_THROW(r.readLine(), kv::PastEnd);
}

TEST(RecordReader, MissingFileIsTyped) {
    TempDir d;
    EXPECT_THROW(kv::RecordReader(d.path(), "nothing.dat"), kv::FileMissing);
}

TEST(RecordReader, LinesWithCrLfOrBareLf) {
    auto r = kv::RecordReader::fromBytes("a\r\nb\nc", "t");
    EXPECT_EQ(r.readLine(), "a");
    EXPECT_EQ(r.readLine(), "b");
    EXPECT_EQ(r.readLine(), "c");
    EXPECT_TRUE(r.atEnd());
    EXPECT_THROW(r.readLine(), kv::PastEnd);
}

TEST(RecordReader, FieldsReadTheSameHoweverTheRecordIsSplit) {
    const char* layouts[] = {
        "1.5, 2, -3E-2, 4D1, \"BR12-50.dat\", 6\r\n",
        "1.5\r\n2\r\n-3E-2\r\n4D1\r\n\"BR12-50.dat\"\r\n6\r\n",
        "  1.5 2\n-3E-2,4D1\n\"BR12-50.dat\",6",
        "1.5,2,-3E-2\r\n\r\n4D1 , \"BR12-50.dat\" ,6\r\n",
    };
    for (const char* text : layouts) {
        auto r = kv::RecordReader::fromBytes(text, "t");
        EXPECT_EQ(r.readNumber(), 1.5) << text;
        EXPECT_EQ(r.readNumber(), 2.0) << text;
        EXPECT_EQ(r.readNumber(), -0.03) << text;
        EXPECT_EQ(r.readNumber(), 40.0) << text;
        EXPECT_EQ(r.readText(), "BR12-50.dat") << text;
        EXPECT_EQ(r.readNumber(), 6.0) << text;
        EXPECT_THROW(r.readNumber(), kv::PastEnd) << text;
    }
}

TEST(RecordReader, LineReadAfterFieldsContinuesOnTheNextLine) {
    auto r = kv::RecordReader::fromBytes("100000000\r\n free text\r\n15.0, 15.0, 5.0, 50\r\n", "t");
    EXPECT_EQ(r.readNumber(), 1e8);
    EXPECT_EQ(r.readLine(), " free text");
    EXPECT_EQ(r.readNumber(), 15.0);
}

TEST(RecordReader, NonNumberAndEmptyFields) {
    auto r = kv::RecordReader::fromBytes("1,,abc,2", "t");
    EXPECT_EQ(r.readNumber(), 1.0);
    EXPECT_EQ(r.readNumber(), 0.0);
    EXPECT_THROW(r.readNumber(), kv::NotANumber);
}

TEST(RecordReader, LineNumberPointsAtTheFailingField) {
    auto r = kv::RecordReader::fromBytes("head\r\n1, 2\r\n3\r\nx4\r\n", "t");
    EXPECT_EQ(r.lineNumber(), 1);
    r.readLine();
    r.readNumber();
    EXPECT_EQ(r.lineNumber(), 2);
    r.readNumber();
    r.readNumber();
    EXPECT_EQ(r.lineNumber(), 4);
    EXPECT_THROW(r.readNumber(), kv::NotANumber);
    EXPECT_EQ(r.lineNumber(), 4);
}

TEST(RecordReader, HeadStopsAtTheLastWholeLineWithinTheLimit) {
    TempDir d;
    std::ofstream(d.path() / "long.vesk", std::ios::binary) << "first\r\nsecond\r\nthird line is long\r\n";
    auto r = kv::RecordReader::head(d.path(), "long.vesk", 20);
    EXPECT_EQ(r.readLine(), "first");
    EXPECT_EQ(r.readLine(), "second");
    EXPECT_THROW(r.readLine(), kv::PastEnd);
    auto whole = kv::RecordReader::head(d.path(), "long.vesk", 1000);
    whole.readLine();
    whole.readLine();
    EXPECT_EQ(whole.readLine(), "third line is long");
    EXPECT_THROW(kv::RecordReader::head(d.path(), "none.vesk", 10), kv::FileMissing);
}

TEST(CodePage, OnlyTheJapanesePartOfALongTextIsConverted) {
    // "ソ" is 0x83 0x5C in CP932: its trail byte looks like a backslash.
    const std::string cases[] = {"ソ", "1, 2\r\nソ", "ソ\r\n3, 4", "a ソ b 表 c\r\n5,6,7", "ｱ\\x"};
    for (const std::string& utf8 : cases) {
        std::string bytes = kv::toCp932(utf8);
        EXPECT_EQ(kv::fromCp932(bytes), utf8);
        EXPECT_EQ(kv::fromCp932("head " + bytes + std::string(1000, '7')), "head " + utf8 + std::string(1000, '7'));
    }
    EXPECT_THROW(kv::fromCp932("abc\x83"), kv::CodePageError); // a lead byte with no trail
}

} // namespace
