#include "kv/formats/settings_file.h"
#include "kv/test_support/work_dir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using kv::test_support::TempDir;

TEST(SettingsFile, MissingFileMeansDefaults) {
    TempDir d;
    EXPECT_FALSE(kv::formats::SettingsFile::read(d.path(), "Options.dat").has_value());
}

TEST(SettingsFile, ReadsNamesValuesAndLines) {
    kv::formats::SettingsFile f = kv::formats::SettingsFile::parse(
        "# comment\r\n\r\n  a = 1.5 \r\nb=two words\nc = x=y\r\nd =\r\n", "S.dat");
    ASSERT_EQ(f.settings().size(), 4u);
    EXPECT_EQ(f.find("a")->value, "1.5");
    EXPECT_EQ(f.find("a")->line, 3);
    EXPECT_EQ(f.find("b")->value, "two words");
    EXPECT_EQ(f.find("c")->value, "x=y");
    EXPECT_EQ(f.find("d")->value, "");
    EXPECT_EQ(f.find("e"), nullptr);
    EXPECT_DOUBLE_EQ(f.number("a", 9, 0, 10), 1.5);
    EXPECT_DOUBLE_EQ(f.number("e", 9, 0, 10), 9);
    EXPECT_EQ(f.choice("e", "pmma", {"pmma"}), "pmma");
    EXPECT_NO_THROW(f.requireKnown({"a", "b", "c", "d"}));
    // A byte-order mark from an editor does not hide the first name.
    EXPECT_NE(kv::formats::SettingsFile::parse("\xEF\xBB\xBFk = 1\r\n", "S.dat").find("k"), nullptr);
}

TEST(SettingsFile, RefusalsNameTheFileAndLine) {
    struct Case {
        const char* bytes;
        kv::formats::FileFault fault;
        int line;
    };
    const Case cases[] = {
        {"a = 1\r\njust words\r\n", kv::formats::FileFault::BadLine, 2},
        {"a = 1\r\n = 3\r\n", kv::formats::FileFault::BadLine, 2},
        {"a = 1\r\n\r\na = 2\r\n", kv::formats::FileFault::Repeated, 3},
        {"a = 1\r\nzz = 2\r\n", kv::formats::FileFault::UnknownName, 2},
        {"a = thick\r\n", kv::formats::FileFault::NotANumber, 1},
        {"a = \r\n", kv::formats::FileFault::NotANumber, 1},
        {"a = inf\r\n", kv::formats::FileFault::NotANumber, 1},
        {"a = nan\r\n", kv::formats::FileFault::NotANumber, 1},
        {"a = 1.5 mm\r\n", kv::formats::FileFault::NotANumber, 1},
        {"a = -0.1\r\n", kv::formats::FileFault::OutOfRange, 1},
        {"a = 10.001\r\n", kv::formats::FileFault::OutOfRange, 1},
        {"a = 1e300\r\n", kv::formats::FileFault::OutOfRange, 1},
        {"b = 1\r\nm = glass\r\n", kv::formats::FileFault::BadChoice, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        try {
            kv::formats::SettingsFile f = kv::formats::SettingsFile::parse(c.bytes, "Geo.dat");
            f.requireKnown({"a", "b", "m"});
            f.number("a", 0, 0, 10);
            f.choice("m", "pmma", {"pmma", "polycarbonate"});
            ADD_FAILURE() << "accepted";
        } catch (const kv::formats::FileError& e) {
            EXPECT_EQ(e.fault, c.fault);
            EXPECT_EQ(e.line, c.line);
            EXPECT_EQ(e.file, "Geo.dat");
            EXPECT_EQ(std::string(e.what()).rfind("Geo.dat, line " + std::to_string(c.line) + ": ", 0), 0u)
                << e.what();
        }
    }
    // Ends of the range and the case of a word are accepted.
    kv::formats::SettingsFile f =
        kv::formats::SettingsFile::parse("a = 0\r\nb = 10\r\nm = PMMA\r\n", "Geo.dat");
    EXPECT_EQ(f.number("a", 5, 0, 10), 0);
    EXPECT_EQ(f.number("b", 5, 0, 10), 10);
    EXPECT_EQ(f.choice("m", "x", {"pmma"}), "pmma");
}

TEST(SettingsFile, RefusesWhatIsNoUsableFile) {
    TempDir d;
    fs::create_directory(d.path() / "Dir.dat");
    ASSERT_EQ(::mkfifo((d.path() / "Pipe.dat").c_str(), 0600), 0);
    d.write("Big.dat", std::string(2000, '#'));
    struct Case {
        const char* name;
        kv::formats::FileFault fault;
    };
    for (const Case& c : {Case{"Dir.dat", kv::formats::FileFault::NotAFile},
                          Case{"Pipe.dat", kv::formats::FileFault::NotAFile},
                          Case{"Big.dat", kv::formats::FileFault::TooLarge},
                          Case{"../x.dat", kv::formats::FileFault::NotAFile}}) {
        SCOPED_TRACE(c.name);
        try {
            kv::formats::SettingsFile::read(d.path(), c.name, 1000);
            ADD_FAILURE() << "accepted";
        } catch (const kv::formats::FileError& e) {
            EXPECT_EQ(e.fault, c.fault);
            EXPECT_EQ(e.line, 0);
        }
    }
    if (::geteuid() != 0) { // root reads whatever the mode says
        d.write("Locked.dat", "a = 1\r\n");
        fs::permissions(d.path() / "Locked.dat", fs::perms::none);
        try {
            kv::formats::SettingsFile::read(d.path(), "Locked.dat");
            ADD_FAILURE() << "a file nobody may read was read";
        } catch (const kv::formats::FileError& e) {
            EXPECT_EQ(e.fault, kv::formats::FileFault::Unreadable);
            EXPECT_NE(std::string(e.what()).find("Locked.dat"), std::string::npos) << e.what();
        }
    }
    d.write("Edge.dat", std::string(1000, '#'));
    EXPECT_TRUE(kv::formats::SettingsFile::read(d.path(), "Edge.dat", 1000).has_value());
}

// The limit bounds what may be read, not what is set aside: a caller's
// generous limit costs only the file's own size.
TEST(SettingsFile, MemoryFollowsTheFileNotTheLimit) {
    TempDir d;
    d.write("Small.dat", "a = 1\r\n");
    for (size_t limit : {size_t{64}, size_t{1} << 40, std::numeric_limits<size_t>::max() - 1}) {
        SCOPED_TRACE(limit);
        std::optional<kv::formats::SettingsFile> f;
        EXPECT_NO_THROW(f = kv::formats::SettingsFile::read(d.path(), "Small.dat", limit));
        ASSERT_TRUE(f.has_value());
        EXPECT_EQ(f->number("a", 0, 0, 10), 1);
    }
}

// Links are followed to what they name, and a pipe or device behind one is
// refused at once, never waited on. A link to nothing (a protocol's set-up on
// a share that is not mounted) is refused too: taken as "no file" it would
// run the defaults in its place without a word.
TEST(SettingsFile, LinksToWhatIsNoFileAreRefused) {
    TempDir d;
    ASSERT_EQ(::mkfifo((d.path() / "pipe").c_str(), 0600), 0);
    fs::create_symlink(d.path() / "pipe", d.path() / "ToPipe.dat");
    fs::create_symlink("/dev/zero", d.path() / "ToZero.dat");
    fs::create_directory(d.path() / "dir");
    fs::create_symlink(d.path() / "dir", d.path() / "ToDir.dat");
    fs::create_symlink(d.path() / "nowhere", d.path() / "Dangling.dat");
    fs::create_symlink("/mnt/not-mounted/Geometry.dat", d.path() / "Geometry.dat");
    for (const char* name : {"ToPipe.dat", "ToZero.dat", "ToDir.dat", "Dangling.dat", "Geometry.dat"}) {
        SCOPED_TRACE(name);
        try {
            kv::formats::SettingsFile::read(d.path(), name);
            ADD_FAILURE() << "accepted";
        } catch (const kv::formats::FileError& e) {
            EXPECT_EQ(e.fault, kv::formats::FileFault::NotAFile);
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
        }
    }
}

TEST(SettingsFile, WriteRoundTripsAndKeepsTheOldFileOnFailure) {
    TempDir d;
    kv::formats::writeSettingsFile(d.path(), "G.dat", {{"paddle_mm", "3"}, {"paddle_material", "pmma"}});
    EXPECT_EQ(d.read("G.dat"), "paddle_mm = 3\r\npaddle_material = pmma\r\n");
    auto f = kv::formats::SettingsFile::read(d.path(), "G.dat");
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(f->number("paddle_mm", 0, 0, 10), 3);
    EXPECT_EQ(f->choice("paddle_material", "", {"pmma"}), "pmma");

    for (auto bad : std::vector<std::pair<std::string, std::string>>{
             {"a=b", "1"}, {"", "1"}, {" a", "1"}, {"#a", "1"}, {"a", "1\r\nb = 2"}, {"a", " 1"}}) {
        EXPECT_THROW(kv::formats::writeSettingsFile(d.path(), "G.dat", {{"ok", "1"}, bad}),
                     kv::formats::FileError);
    }
    EXPECT_EQ(d.read("G.dat"), "paddle_mm = 3\r\npaddle_material = pmma\r\n");

    if (::geteuid() != 0) { // root writes into a read-only folder anyway
        fs::permissions(d.path(), fs::perms::owner_write, fs::perm_options::remove);
        EXPECT_THROW(kv::formats::writeSettingsFile(d.path(), "G.dat", {{"paddle_mm", "2"}}),
                     kv::WriteFailed);
        fs::permissions(d.path(), fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(d.read("G.dat"), "paddle_mm = 3\r\npaddle_material = pmma\r\n");
    }
}

} // namespace
