// Trimming and letter case as every reader of names and cells uses them.
#include "kv/common/text.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(Text, TrimmedTakesOnlyTheBlanksAskedFor) {
    struct Row {
        const char* name;
        std::string text, blanks, expected;
    };
    const Row rows[] = {
        {"blanks both sides", "  Mo \t", std::string(kv::kBlanks), "Mo"},
        {"inner blanks stay", " a b ", std::string(kv::kBlanks), "a b"},
        {"only blanks", " \t ", std::string(kv::kBlanks), ""},
        {"empty", "", std::string(kv::kBlanks), ""},
        {"CR is no blank by default", "Mo\r", std::string(kv::kBlanks), "Mo\r"},
        {"CR of a line end", "Mo \r", std::string(kv::kLineBlanks), "Mo"},
        {"DICOM padding", std::string("CC \0", 4), std::string(" \0", 2), "CC"},
        {"full-width space stays", "\u3000Mo", std::string(kv::kWhiteSpace), "\u3000Mo"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(kv::trimmed(r.text, r.blanks), r.expected) << r.name;
}

TEST(Text, CaseChangesAsciiLettersAndLeavesUtf8Whole) {
    EXPECT_EQ(kv::lowered("Thickness_CM"), "thickness_cm");
    EXPECT_EQ(kv::uppered("tungsten w"), "TUNGSTEN W");
    EXPECT_EQ(kv::lowered("\u00c9"), "\u00c9"); // É: bytes above ASCII are no letters here
    EXPECT_EQ(kv::uppered("\u00e9"), "\u00e9");
    EXPECT_TRUE(kv::sameIgnoringCase("MOLYBDENUM", "molybdenum"));
    EXPECT_FALSE(kv::sameIgnoringCase("Mo", "Mo "));
    EXPECT_FALSE(kv::sameIgnoringCase("W", ""));
}

} // namespace
