#include "kv/common/codepage.h"
#include "kv/common/records.h"
#include "kv/test_support/work_dir.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using kv::test_support::TempDir;

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

// Made only where nothing of that name stands, and then whole: what stands
// is left as it is, nothing half-written is left beside it.
TEST(RecordWriter, CreatesOnlyWhereNothingOfThatNameStands) {
    TempDir d;
    kv::test_support::writeFile(d.path() / "held.claim", "writer = 1@elsewhere\r\n");
    fs::create_directory(d.path() / "Dir.claim");
    fs::create_symlink(d.path() / "nowhere", d.path() / "dangling.claim");
    const struct {
        const char* name;
        const char* text;
        bool made;
        const char* then; // the file's content afterwards; nullptr: no regular file
    } cases[] = {{"new.claim", "writer = 2@here", true, "writer = 2@here\r\n"},
                 {"\xE8\xA1\x8C.claim", "\xE8\xA1\x8C", true, "\x8D\x73\r\n"}, // CP932 on the disk
                 {"held.claim", "writer = 2@here", false, "writer = 1@elsewhere\r\n"},
                 {"Dir.claim", "x", false, nullptr},
                 {"dangling.claim", "x", false, nullptr}};
    for (const auto& c : cases) {
        kv::RecordWriter w(d.path(), c.name);
        w.line(c.text);
        EXPECT_EQ(w.create(), c.made) << c.name;
        if (c.then)
            EXPECT_EQ(d.read(c.name), c.then) << c.name;
        else
            EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(d.path() / c.name))) << c.name;
    }
    EXPECT_TRUE(fs::is_directory(d.path() / "Dir.claim"));
    EXPECT_TRUE(fs::is_symlink(d.path() / "dangling.claim"));
    EXPECT_FALSE(fs::exists(d.path() / "nowhere"));
    // Text the code page cannot hold, a name outside the folder and a missing folder: refused, nothing made.
    for (const auto& [dir, name, text] :
         {std::tuple{d.path(), "emoji.claim", "\xF0\x9F\x98\x80"}, std::tuple{d.path(), "../up.claim", "x"},
          std::tuple{d.path() / "no" / "such", "x.claim", "x"}}) {
        kv::RecordWriter w(dir, name);
        w.line(text);
        EXPECT_THROW(w.create(), kv::WriteFailed) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(d.path()), fs::directory_iterator()), 5);
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

// What stands under the name and is no file of ours stays as it is: a pipe
// a user reads from, a folder, a link to a device.
TEST(RecordWriter, LeavesWhatIsNoRegularFileInPlace) {
    TempDir d;
    ASSERT_EQ(::mkfifo((d.path() / "Pipe.dat").c_str(), 0600), 0);
    fs::create_directory(d.path() / "Dir.dat");
    fs::create_symlink("/dev/null", d.path() / "Null.dat");
    const struct {
        const char* name;
        fs::file_type type;
    } cases[] = {{"Pipe.dat", fs::file_type::fifo},
                 {"Dir.dat", fs::file_type::directory},
                 {"Null.dat", fs::file_type::symlink}};
    for (const auto& c : cases) {
        kv::RecordWriter w(d.path(), c.name);
        w.line("x");
        EXPECT_THROW(w.commit(), kv::WriteFailed) << c.name;
        EXPECT_EQ(fs::symlink_status(d.path() / c.name).type(), c.type) << c.name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(d.path()), fs::directory_iterator()), 3);
}

// What a long run asks before it starts is what the writer refuses at its end.
TEST(RecordWriter, ReplaceRefusalIsWhatCommitRefuses) {
    TempDir d;
    ASSERT_EQ(::mkfifo((d.path() / "pipe.vesk").c_str(), 0600), 0);
    fs::create_directory(d.path() / "folder.vesk");
    fs::create_symlink(d.path() / "folder.vesk", d.path() / "link.vesk");
    fs::create_symlink(d.path() / "nowhere", d.path() / "dangling.vesk");
    d.write("old.vesk", "old");
    d.write("protected.vesk", "old");
    fs::permissions(d.path() / "protected.vesk", static_cast<fs::perms>(0444));
    const std::string longest(255 - 5, 'a');
    const struct {
        std::string name;
        kv::ReplaceRefusal refusal;
    } cases[] = {
        {"new.vesk", kv::ReplaceRefusal::None},
        {"old.vesk", kv::ReplaceRefusal::None},
        {"dangling.vesk", kv::ReplaceRefusal::None},
        {longest + ".vesk", kv::ReplaceRefusal::None},
        {longest + "a.vesk", kv::ReplaceRefusal::NameTooLong},
        {"pipe.vesk", kv::ReplaceRefusal::NotAFile},
        {"folder.vesk", kv::ReplaceRefusal::NotAFile},
        {"link.vesk", kv::ReplaceRefusal::NotAFile},
        {"protected.vesk", kv::ReplaceRefusal::WriteProtected},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kv::replaceRefusal(d.path(), c.name), c.refusal)
            << c.name.size() << " " << c.name.substr(0, 20);
        kv::RecordWriter w(d.path(), c.name);
        w.line("new");
        if (c.refusal == kv::ReplaceRefusal::None) {
            EXPECT_NO_THROW(w.commit()) << c.name.substr(0, 20);
        } else {
            EXPECT_THROW(w.commit(), kv::WriteFailed) << c.name.substr(0, 20);
        }
    }
    EXPECT_EQ(d.read("protected.vesk"), "old");
    EXPECT_TRUE(fs::is_directory(d.path() / "folder.vesk"));
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
        EXPECT_EQ(kv::fromCp932("head " + bytes + std::string(1000, '7')),
                  "head " + utf8 + std::string(1000, '7'));
    }
    EXPECT_THROW(kv::fromCp932("abc\x83"), kv::CodePageError); // a lead byte with no trail
}

// The word-wise test sees a high byte at any place of a long text: in each
// word of a block, in the tail after the blocks, first and last.
TEST(CodePage, AsciiTestFindsAHighByteAnywhere) {
    EXPECT_TRUE(kv::isAscii(""));
    for (size_t size : {1, 7, 31, 32, 33, 64, 100}) {
        const std::string plain(size, '\x7f');
        EXPECT_TRUE(kv::isAscii(plain)) << size;
        for (size_t at = 0; at < size; ++at) {
            std::string s = plain;
            s[at] = '\x80';
            EXPECT_FALSE(kv::isAscii(s)) << size << " at " << at;
        }
    }
    const std::string text = "abc " + kv::toCp932("表");
    EXPECT_FALSE(kv::isAscii(text + std::string(40, 'x')));
}

// Whatever stands in a file's place, the reader answers at once: a pipe
// with no writer would block a plain open, a device never ends.
TEST(RecordReader, RefusesWhatIsNotARegularFileWithoutWaiting) {
    TempDir d;
    fs::create_directory(d.path() / "dir.vesk");
    ASSERT_EQ(::mkfifo((d.path() / "pipe.vesk").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", d.path() / "zero.vesk");
    fs::create_symlink("/dev/urandom", d.path() / "random.vesk");
    fs::create_directory_symlink(d.path() / "dir.vesk", d.path() / "dirlink.vesk");
    const auto start = std::chrono::steady_clock::now();
    for (const char* name : {"dir.vesk", "pipe.vesk", "zero.vesk", "random.vesk", "dirlink.vesk"}) {
        EXPECT_THROW(kv::RecordReader(d.path(), name), kv::NotARegularFile) << name;
        EXPECT_THROW(kv::RecordReader::head(d.path(), name, 1024), kv::NotARegularFile) << name;
    }
    // Generous: a blocking open or an endless read would never return at all.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(RecordReader, RefusesAFileLargerThanItsFormatButReadsTheLimitItself) {
    TempDir d;
    std::ofstream(d.path() / "MC.dat", std::ios::binary) << "12\r\n" << std::string(96, '1');
    EXPECT_EQ(kv::RecordReader(d.path(), "MC.dat", 100).readLine(), "12");
    EXPECT_THROW(kv::RecordReader(d.path(), "MC.dat", 99), kv::FileTooLarge);
    // A sparse file claims gigabytes without holding them: refused before any is read.
    fs::resize_file(d.path() / "MC.dat", std::uintmax_t{8} << 30);
    EXPECT_THROW(kv::RecordReader(d.path(), "MC.dat"), kv::FileTooLarge);
    // Its head alone is still there for a preview.
    EXPECT_EQ(kv::RecordReader::head(d.path(), "MC.dat", 64).readLine(), "12");
}

TEST(RecordReader, BytesThatAreNotCp932ReadAsReplacementCharacters) {
    struct Case {
        std::string bytes, text;
        bool replaced;
    };
    const Case cases[] = {
        {"plain", "plain", false},
        {kv::toCp932("管球 ソ"), "管球 ソ", false},
        {"a\x83", "a\xEF\xBF\xBD", true}, // a lead byte cut off at the end
        {"\xFF" + kv::toCp932("表") + "\xFD!", "\xEF\xBF\xBD表\xEF\xBF\xBD!",
         true}, // good text around bad bytes kept
    };
    for (const Case& c : cases) {
        auto r = kv::RecordReader::fromBytes(c.bytes, "t");
        EXPECT_EQ(r.readLine(), c.text) << c.text;
        EXPECT_EQ(r.replacedBytes(), c.replaced) << c.text;
    }
}

TEST(CodePage, ValidUtf8ReplacesEachMalformedByte) {
    struct Case {
        std::string in, out;
    };
    const std::string R = "\xEF\xBF\xBD";
    const Case cases[] = {
        {"abc", "abc"},
        {"表ソ\xF0\x9F\x98\x80", "表ソ\xF0\x9F\x98\x80"},
        {"\x80x", R + "x"},
        {"\xC0\xAF", R + R},                 // overlong
        {"\xED\xA0\x80", R + R + R},         // surrogate
        {"\xF4\x90\x80\x80", R + R + R + R}, // beyond U+10FFFF
        {"\xE8\xA1", R + R},                 // cut off
    };
    for (const Case& c : cases) {
        bool replaced = false;
        EXPECT_EQ(kv::validUtf8(c.in, &replaced), c.out);
        EXPECT_EQ(replaced, c.in != c.out);
    }
}

TEST(CodePage, EscapedUtf8TellsEveryByteBack) {
    const std::pair<std::string, std::string> cases[] = {
        {"caf\xC3\xA9.dcm", "caf\xC3\xA9.dcm"}, // valid UTF-8 stays
        {"caf\xE9.dcm", "caf\\xE9.dcm"},        // a Latin-1 name
        {"a\nb\x7F", "a\\x0Ab\\x7F"},           // control characters
        {"\xE8\xA1", "\\xE8\\xA1"},             // cut off
        {"表", "表"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(kv::escapedUtf8(in), out) << in;
}

TEST(RecordWriter, Utf8TablesHoldWhatCp932CannotWrite) {
    TempDir d;
    kv::RecordWriter cp932(d.path(), "a.csv");
    cp932.line("M\xC3\xBCller");
    EXPECT_THROW(cp932.commit(), kv::WriteFailed);
    kv::RecordWriter utf8(d.path(), "a.csv", kv::TextEncoding::Utf8);
    utf8.line("M\xC3\xBCller \xE9");
    utf8.commit();
    EXPECT_EQ(d.read("a.csv"), "M\xC3\xBCller \xEF\xBF\xBD\r\n");
}

mode_t modeOf(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode & 07777;
}

// New files follow the umask, replaced ones keep their mode, and a file its
// owner has made read-only stays as it is.
TEST(RecordWriter, HonoursTheUmaskAndTheTargetsMode) {
    TempDir d;
    auto write = [&](const char* name, const char* text) {
        kv::RecordWriter w(d.path(), name);
        w.line(text);
        w.commit();
    };
    const mode_t oldMask = ::umask(0027);
    write("new.dat", "1");
    ::umask(oldMask);
    EXPECT_EQ(modeOf(d.path() / "new.dat"), 0640u);

    write("kept.dat", "1");
    fs::permissions(d.path() / "kept.dat", static_cast<fs::perms>(0664));
    write("kept.dat", "2");
    EXPECT_EQ(modeOf(d.path() / "kept.dat"), 0664u);
    EXPECT_EQ(d.read("kept.dat"), "2\r\n");

    write("equipment.dat", "old");
    fs::permissions(d.path() / "equipment.dat", static_cast<fs::perms>(0444));
    kv::RecordWriter w(d.path(), "equipment.dat");
    w.line("new");
    EXPECT_THROW(w.commit(), kv::WriteProtected);
    EXPECT_EQ(d.read("equipment.dat"), "old\r\n");
    EXPECT_EQ(modeOf(d.path() / "equipment.dat"), 0444u);
    EXPECT_EQ(std::distance(fs::directory_iterator(d.path()), fs::directory_iterator()), 3);
}

} // namespace
