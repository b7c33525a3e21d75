#include "kv/test_support/work_dir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace kv::test_support;

TEST(TempDir, EachIsFreshAndGoesWithEverythingInIt) {
    fs::path kept;
    {
        TempDir a, b;
        EXPECT_NE(a.path(), b.path());
        EXPECT_TRUE(fs::is_empty(a.path()));
        fs::create_directories(a.file("sub/deeper"));
        a.write("sub/deeper/x.dat", "x");
        // A folder the test made read-only must not outlive the test.
        fs::permissions(a.file("sub"), fs::perms::owner_read | fs::perms::owner_exec);
        fs::permissions(a.path(), fs::perms::owner_read | fs::perms::owner_exec);
        kept = a.path();
    }
    EXPECT_FALSE(fs::exists(kept));
}

TEST(TempDir, BytesGoInAndComeOutAsTheyStand) {
    TempDir d;
    const std::string bytes("a\r\nb\0c\xff\r\n", 9);
    d.write("f.dat", bytes);
    EXPECT_EQ(d.read("f.dat"), bytes);
    d.write("f.dat", "short");
    EXPECT_EQ(d.read("f.dat"), "short"); // replaced, not overlaid
    EXPECT_EQ(d.read("missing.dat"), "");
    EXPECT_THROW(d.write("no/such/folder.dat", "x"), std::runtime_error);
}

TEST(ShippedData, CopiesAreTheShippedBytes) {
    TempDir d;
    for (const char* name : {"MUs12.dat", "BR12-50.dat"}) {
        d.copyShipped(name);
        const std::string copy = d.read(name);
        EXPECT_FALSE(copy.empty()) << name;
        EXPECT_EQ(copy, readFile(shippedDataDir() / name)) << name;
    }
    EXPECT_TRUE(fs::is_regular_file(sourceFile("data/Mo-STP.dat")));
}
