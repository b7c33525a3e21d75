// The CSV reader and writer: how lines become cells, and that what the
// writer writes reads back as it was.
#include "kv/common/csv.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Cells = std::vector<std::string>;

TEST(Csv, LinesBecomeCells) {
    struct Row {
        const char* name;
        std::string line;
        Cells cells;
    };
    const Row rows[] = {
        {"plain", "2,50,Mo,28", {"2", "50", "Mo", "28"}},
        {"blanks around cells", " 2 ,\t50 , Mo", {"2", "50", "Mo"}},
        {"trailing comma", "a,b,", {"a", "b", ""}},
        {"empty cells", ",,", {"", "", ""}},
        {"quoted comma", "\"Mo 0.03, Al 0.5\",28", {"Mo 0.03, Al 0.5", "28"}},
        {"doubled quote", "\"a \"\"b\"\"\",c", {"a \"b\"", "c"}},
        {"quoted blanks kept", "\" a \",b", {" a ", "b"}},
        {"blanks before a quote", "  \"x\"  ,y", {"x", "y"}},
        {"quote left open", "\"a,b", {"a,b"}},
        {"quote inside a plain cell", "a\"b,c", {"a\"b", "c"}},
        {"UTF-8 as it is", "\u4e73\u817a,50", {"\u4e73\u817a", "50"}},
    };
    for (const Row& r : rows) {
        const std::vector<kv::CsvLine> lines = kv::readCsvLines(r.line);
        ASSERT_EQ(lines.size(), 1u) << r.name;
        EXPECT_EQ(lines[0].cells, r.cells) << r.name;
    }
}

TEST(Csv, BlankAndCommentLinesAreSkippedButCounted) {
    const std::string text = "\xEF\xBB\xBFthickness_cm,kv\r\n\r\n  \r\n# a note\r\n2,28\n4,30";
    const std::vector<kv::CsvLine> plain = kv::readCsvLines(text);
    ASSERT_EQ(plain.size(), 4u);
    EXPECT_EQ(plain[0].cells, (Cells{"thickness_cm", "kv"})); // no byte-order mark in the first name
    EXPECT_EQ(plain[1].number, 4);
    EXPECT_EQ(plain[1].cells, (Cells{"# a note"}));
    const std::vector<kv::CsvLine> lines = kv::readCsvLines(text, {.commentLines = true});
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].number, 5);
    EXPECT_EQ(lines[2].number, 6);
    EXPECT_EQ(lines[2].cells, (Cells{"4", "30"}));
    EXPECT_TRUE(kv::readCsvLines("").empty());
    EXPECT_TRUE(kv::readCsvLines("\r\n \n").empty());
}

TEST(Csv, WrittenCellsReadBackAsTheyWere) {
    struct Row {
        const char* name;
        std::string value, written;
    };
    const Row rows[] = {
        {"plain", "Mo/Rh 0.025 mm", "Mo/Rh 0.025 mm"},
        {"empty", "", ""},
        {"comma", "a,b", "\"a,b\""},
        {"quote", "say \"hi\"", "\"say \"\"hi\"\"\""},
        {"line break", "a\nb", "\"a\nb\""},
        {"leading blank", " 0.5", "\" 0.5\""},
        {"Japanese", "\u30d5\u30a1\u30f3\u30c8\u30e0", "\u30d5\u30a1\u30f3\u30c8\u30e0"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(kv::csvCell(r.value), r.written) << r.name;
        if (r.value.find('\n') != std::string::npos) continue; // a record is one line
        const std::vector<kv::CsvLine> back = kv::readCsvLines(kv::csvLine({r.value, "end"}));
        ASSERT_EQ(back.size(), 1u) << r.name;
        EXPECT_EQ(back[0].cells, (Cells{r.value, "end"})) << r.name;
    }
    EXPECT_EQ(kv::csvQuoted("12"), "\"12\"");
}

TEST(Csv, RepeatedNamesAreFound) {
    EXPECT_EQ(kv::repeatedName({"a", "b", "c"}), std::nullopt);
    EXPECT_EQ(kv::repeatedName({"a", "b", "a", "b"}), "a");
    EXPECT_EQ(kv::repeatedName({}), std::nullopt);
}

} // namespace
