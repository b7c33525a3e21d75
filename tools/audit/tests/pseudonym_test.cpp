// The stable names of exposures: the keyed hash, the key kept in the cache
// folder, and what changes a name and what does not.
#include "kv/audit/pseudonym.h"
#include "kv/test_support/work_dir.h"

#include <gtest/gtest.h>
#include <set>

namespace kv::audit {
namespace {

using test_support::TempDir;

TEST(Pseudonym, HmacSha256MatchesTheRfc4231Vectors) {
    struct Case {
        const char* name;
        std::string key, message;
        const char* hex;
    };
    const Case cases[] = {
        {"short key", std::string(20, '\x0b'), "Hi There",
         "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
        {"text key", "Jefe", "what do ya want for nothing?",
         "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        {"key longer than a block", std::string(131, '\xaa'),
         "Test Using Larger Than Block-Size Key - Hash Key First",
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hmacSha256Hex(c.key, c.message), c.hex) << c.name;
}

TEST(Pseudonym, TheSameKeyNamesTheSameObjectTheSameWayAndNothingElseAlike) {
    const Pseudonyms a("key one"), b("key two");
    const std::string uid = "1.2.826.0.1.3680043.2.1125.9.1";
    EXPECT_EQ(a.of(uid, 0), Pseudonyms("key one").of(uid, 0));
    EXPECT_EQ(a.of(uid, 0).size(), 16u);
    EXPECT_EQ(a.of(uid, 0).find_first_not_of("0123456789abcdef"), std::string::npos);
    std::set<std::string> names = {a.of(uid, 0), b.of(uid, 0),       a.of(uid, 1),
                                   a.of(uid, 2), a.of(uid + "0", 0), a.of(uid.substr(0, uid.size() - 1), 0)};
    EXPECT_EQ(names.size(), 6u); // another key, another event, another UID: another name
    EXPECT_EQ(a.of("", 0), "");
}

TEST(Pseudonym, TheKeyIsMadeOnceInTheFolderAndKeptThere) {
    TempDir dir("kv-pseudonym");
    const std::string uid = "1.2.3.4.5";
    const std::string first = Pseudonyms::ofFolder(dir.path()).of(uid, 0);
    const std::string key = test_support::readFile(dir.file(kPseudonymKeyFile));
    EXPECT_EQ(Pseudonyms::ofFolder(dir.path()).of(uid, 0), first);
    EXPECT_EQ(test_support::readFile(dir.file(kPseudonymKeyFile)), key);
    EXPECT_EQ(key.find(uid), std::string::npos);

    TempDir other("kv-pseudonym");
    EXPECT_NE(Pseudonyms::ofFolder(other.path()).of(uid, 0), first); // a new folder, a new key

    test_support::writeFile(other.file(kPseudonymKeyFile), "not a key\n");
    EXPECT_THROW(Pseudonyms::ofFolder(other.path()), std::runtime_error);
    EXPECT_EQ(test_support::readFile(other.file(kPseudonymKeyFile)), "not a key\n"); // left for the user
}

} // namespace
} // namespace kv::audit
