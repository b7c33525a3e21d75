#include "kv/common/installation.h"
#include "kv/test_support/work_dir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace fs = std::filesystem;
using kv::test_support::TempDir;

namespace {

// Run in a copy of this test program laid out as installed (see below).
constexpr const char* kInstalledChild = "KV_INSTALLED_CHILD";

TEST(Installation, TheBuildKeepsDataBesideThePrograms) {
    if (std::getenv(kInstalledChild)) GTEST_SKIP() << "the installed copy checks the other case";
    EXPECT_FALSE(kv::isInstalled());
    EXPECT_EQ(kv::shippedDataDir(), kv::programDir());
    EXPECT_TRUE(fs::is_regular_file(kv::programDir() / "common_tests"));
}

// <prefix>/bin/common_tests with <prefix>/share/kelvane-vesk beside it, the
// way a package unpacked anywhere lays it out.
TEST(Installation, AnUnpackedTreeFindsItsDataFromItsOwnPlace) {
    if (const char* work = std::getenv(kInstalledChild)) {
        const fs::path share = kv::programDir().parent_path() / "share" / "kelvane-vesk";
        EXPECT_TRUE(kv::isInstalled());
        EXPECT_EQ(kv::shippedDataDir(), share);
        struct Row {
            const char* name;
            fs::path dir;
        };
        for (const Row& r : {
                 Row{"BR12-50.dat", share},    // shipped only
                 Row{"MUs12.dat", work},       // the user's own copy comes first
                 Row{"Mo-STP.dat", work},      // even a folder in its place: its reader names it
                 Row{"BR12-99.dat", work},     // nowhere: the working folder's reader says missing
                 Row{"../kelvane-vesk", work}, // a folder of the shipped data is no data file
             })
            EXPECT_EQ(kv::dataFileDir(work, r.name), r.dir) << r.name;
        return;
    }
    TempDir prefix("kv-installed");
    fs::create_directories(prefix.path() / "bin");
    fs::create_directories(prefix.path() / "share" / "kelvane-vesk");
    fs::copy_file(kv::programDir() / "common_tests", prefix.path() / "bin" / "common_tests");
    prefix.write("share/kelvane-vesk/BR12-50.dat", "shipped");
    prefix.write("share/kelvane-vesk/MUs12.dat", "shipped");
    TempDir work;
    work.write("MUs12.dat", "the user's");
    fs::create_directory(work.file("Mo-STP.dat"));
    const std::string cmd = std::string(kInstalledChild) + "='" + work.path().string() + "' '" +
                            (prefix.path() / "bin" / "common_tests").string() +
                            "' --gtest_filter='Installation.*' > /dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "the installed copy failed: run " << cmd;
}

} // namespace
