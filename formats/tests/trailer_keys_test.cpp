// The trailer's table of keys: what each kind of value accepts, the entries a
// writer makes, and formats/README.md's table standing as the table says.
#include "kv/formats/result_file.h"
#include "kv/formats/trailer_keys.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <sstream>
#include <string>

using namespace kv::formats;
namespace key = kv::formats::trailer;

namespace {

constexpr std::string_view kTableBegin =
    "<!-- trailer keys: made from kTrailerKeys (kv/formats/trailer_keys.h); formats_tests checks it -->\n";
constexpr std::string_view kTableEnd = "<!-- end of trailer keys -->\n";

std::string readmePath() {
    return std::string(KV_SOURCE_DIR) + "/formats/README.md";
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(TrailerKeys, ReadmeTableIsMadeFromTheTable) {
    std::string page = readAll(readmePath());
    const size_t begin = page.find(kTableBegin), end = page.find(kTableEnd);
    ASSERT_NE(begin, std::string::npos) << "formats/README.md lost the line " << kTableBegin;
    ASSERT_NE(end, std::string::npos) << "formats/README.md lost the line " << kTableEnd;
    ASSERT_LT(begin, end);
    const size_t from = begin + kTableBegin.size();
    const std::string expected = trailerKeysTable();
    if (std::getenv("KV_REWRITE_TRAILER_TABLE")) {
        page.replace(from, end - from, expected);
        std::ofstream(readmePath(), std::ios::binary | std::ios::trunc) << page;
        GTEST_SKIP() << "formats/README.md's table of trailer keys rewritten";
    }
    EXPECT_EQ(page.substr(from, end - from), expected)
        << "formats/README.md's table of trailer keys differs from kTrailerKeys; rerun with "
           "KV_REWRITE_TRAILER_TABLE=1 to remake it";
}

TEST(TrailerKeys, EachKindAcceptsOnlyWhatReadsBackAsIt) {
    struct Row {
        const char* name;
        const TrailerKey& key;
        std::string value;
        bool accepted;
    };
    const Row rows[] = {
        {"text: any words", key::kEngineVersion, "0.1+git20261208.160.g4f1c2a9b7", true},
        {"text: empty", key::kEngineVersion, "", true},
        {"text: leading blank does not read back", key::kEngineVersion, " 0.1", false},
        {"text: trailing tab does not read back", key::kEngineVersion, "0.1\t", false},
        {"text: two lines", key::kEngineVersion, "0.1\n0.2", false},
        {"text: longer than a value may be", key::kEngineVersion, std::string(kMaxTrailerValueBytes + 1, 'x'),
         false},
        {"integer: digits", key::kSeed, "18446744073709551615", true},
        {"integer: negative", key::kSeed, "-1", false},
        {"integer: decimal", key::kHistories, "1.5", false},
        {"integer: exponent", key::kHistories, "1e9", false},
        {"integer: empty", key::kHistories, "", false},
        {"number: every digit", key::kSagd, "0.18646320139713104", true},
        {"number: exponent", key::kSagd, "1.5e-05", true},
        {"number: negative", key::kSagd, "-2", true},
        {"number: decimal comma", key::kSagd, "0,186", false},
        {"number: trailing text", key::kSagd, "0.186x", false},
        {"number: infinite", key::kSagd, "inf", false},
        {"number: not a number", key::kSagd, "nan", false},
        {"number: beyond a double", key::kSagd, "1e999", false},
        {"number: empty", key::kSagd, "", false},
        {"word: first", key::kBreastModel, "workbench", true},
        {"word: last", key::kBreastModel, "protocol", true},
        {"word: hyphenated", key::kSourcePoints, "quasi-random", true},
        {"word: part of one", key::kSourcePoints, "quasi", false},
        {"word: another key's", key::kBreastModel, "yes", false},
        {"word: other case", key::kMaps, "Yes", false},
        {"word: empty", key::kMaps, "", false},
        {"numbers: one", key::kTI, "0.98", true},
        {"numbers: several, exponents and signs", key::kProjectionAngles, "-7.5 -1.25e-16 7.5", true},
        {"numbers: two blanks", key::kTI, "1  0.9", false},
        {"numbers: a tab", key::kTI, "1\t0.9", false},
        {"numbers: one not a number", key::kTI, "1 nan 0.9", false},
        {"numbers: a comma", key::kTI, "1,0.9", false},
        {"numbers: empty", key::kTI, "", false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.key.accepts(r.value), r.accepted) << r.name;
}

TEST(TrailerKeys, EntriesReadBackAsWrittenAndByName) {
    struct Row {
        const char* name;
        TrailerEntry entry;
        std::string value;
    };
    const Row rows[] = {
        {"number keeps every digit", trailerEntry(key::kSagd, 0.1 + 0.2), "0.30000000000000004"},
        {"whole number as digits", trailerEntry(key::kSeed, std::numeric_limits<uint64_t>::max()),
         "18446744073709551615"},
        {"small whole number", trailerEntry(key::kPhysicsRevision, 3), "3"},
        {"word as given", trailerEntry(key::kMaps, "no"), "no"},
        {"text as given", trailerEntry(key::kEngineVersion, std::string("0.1")), "0.1"},
    };
    ResultTrailer t;
    t.state = ResultTrailer::State::Complete;
    for (const Row& r : rows) {
        const TrailerKey* k = trailerKey(r.entry.first);
        ASSERT_NE(k, nullptr) << r.name;
        EXPECT_EQ(r.entry.second, r.value) << r.name;
        EXPECT_TRUE(k->accepts(r.entry.second)) << r.name;
        t.entries.push_back(r.entry);
    }
    EXPECT_EQ(t.number(key::kSagd), 0.1 + 0.2);
    EXPECT_EQ(t.find(key::kMaps), t.find("maps"));
    EXPECT_EQ(t.find(key::kAdiposeMm), nullptr);
    EXPECT_EQ(trailerKey("sagd "), nullptr);
    EXPECT_THROW(trailerEntry(key::kSagd, std::numeric_limits<double>::quiet_NaN()), std::invalid_argument);
}

TEST(TrailerKeys, NumbersWrittenReadBackExactly) {
    const std::vector<double> values = {-12.5, 0.1 + 0.2, 1.0 / 3.0, 2.5e-7};
    const TrailerEntry e = kv::formats::trailerEntry(key::kTI, values);
    EXPECT_EQ(e.first, "t_i");
    EXPECT_TRUE(key::kTI.accepts(e.second)) << e.second;
    const auto back = kv::formats::trailerNumbers(e.second);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, values);
    EXPECT_FALSE(kv::formats::trailerNumbers("1 x").has_value());
}

} // namespace
