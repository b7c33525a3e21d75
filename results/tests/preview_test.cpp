#include "kv/results/result_file.h"
#include "kv/results/testfiles/testfiles.h"

#include <gtest/gtest.h>

namespace {

using namespace kv::results;
using namespace kv::results::testfiles;
using kv::test_support::TempDir;

const kv::texts::ResultsModelTexts& en() {
    return kv::texts::resultsModelTexts();
}

std::vector<std::string> expectedLines(const ResultFileContent& r, const std::string& history,
                                       const std::string& size, const std::string& fraction) {
    std::vector<std::string> lines{r.kindLine + "   "};
    for (const std::string& d : r.description)
        lines.push_back(d + "   ");
    lines.push_back("   History = " + history);
    lines.push_back("");
    lines.push_back("   Phantom size");
    lines.push_back("     " + size + " cm");
    lines.push_back("   Grandular fraction = " + fraction + " %");
    return lines;
}

TEST(HeaderPreview, PrintsTheHeaderOfEitherKind) {
    struct Case {
        const char* kind;
        double histories;
        std::array<double, 4> phantom;
        const char* history;
        const char* size;
        const char* fraction;
    } cases[] = {
        {" * Mammography", 1e8, {15, 15, 4.5, 50}, "1.00E+08", "15 x 15 x 4.5", "50"},
        {" * Tomosynthesis", 123456789, {12, 7.5, 6, 12.5}, "1.23E+08", "12 x 7.5 x 6", "12.5"},
        {" * mammography", 1e9, {15, 15, 0.1, 0}, "1.00E+09", "15 x 15 x 0.1", "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        ResultFileContent r = uniformResult(75, 150, 2, 1.0);
        setKind(r, c.kind);
        r.histories = c.histories;
        r.phantom = c.phantom;
        TempDir dir;
        writeResult(dir.path(), "p.vesk", r);
        HeaderPreview p = previewResultHeader(dir.path(), "p.vesk", en());
        EXPECT_TRUE(p.complete);
        EXPECT_EQ(p.lines, expectedLines(r, c.history, c.size, c.fraction));
    }
}

TEST(HeaderPreview, FileThatEndsEarlyGivesWhatWasRead) {
    ResultFileContent r = uniformResult(75, 150, 2, 1.0);
    const std::string text = resultText(r);
    TempDir dir;
    // Cut after the kind line and three description lines.
    size_t cut = 0;
    for (int i = 0; i < 4; ++i)
        cut = text.find("\r\n", cut) + 2;
    dir.write("short.vesk", text.substr(0, cut));
    HeaderPreview p = previewResultHeader(dir.path(), "short.vesk", en());
    EXPECT_FALSE(p.complete);
    ASSERT_EQ(p.lines.size(), 4u);
    EXPECT_EQ(p.lines[0], " * Mammography   ");
    EXPECT_EQ(p.lines[3], r.description[2] + "   ");

    // A history that is not a number stops the preview there.
    std::string noHistory = text;
    size_t historyLine = 0;
    for (int i = 0; i < 15; ++i)
        historyLine = noHistory.find("\r\n", historyLine) + 2;
    noHistory.insert(historyLine, "many ");
    dir.write("words.vesk", noHistory);
    p = previewResultHeader(dir.path(), "words.vesk", en());
    EXPECT_FALSE(p.complete);
    EXPECT_EQ(p.lines.size(), 15u);

    p = previewResultHeader(dir.path(), "missing.vesk", en());
    EXPECT_FALSE(p.complete);
    EXPECT_TRUE(p.lines.empty());
}

TEST(HeaderPreview, ReadsOnlyTheHeaderAndAcceptsBareLineFeeds) {
    ResultFileContent r = uniformResult(75, 150, 2, 1.0);
    std::string text = resultText(r);
    std::string lf;
    for (char ch : text)
        if (ch != '\r') lf += ch;
    // A broken body and blanks between the phantom numbers do not touch the preview.
    lf.replace(lf.find("15.0, 15.0, 0.2, 50"), 19, "15 15  0.2 50");
    lf += "not, numbers, at all\n";
    TempDir dir;
    dir.write("lf.vesk", lf);
    HeaderPreview p = previewResultHeader(dir.path(), "lf.vesk", en());
    EXPECT_TRUE(p.complete);
    EXPECT_EQ(p.lines, expectedLines(r, "1.00E+08", "15 x 15 x 0.2", "50"));
    // A header within a long file whose head is cut at the preview's limit.
    std::string big = text + std::string(300 * 1024, '1');
    dir.write("big.vesk", big);
    EXPECT_TRUE(previewResultHeader(dir.path(), "big.vesk", en()).complete);
}

} // namespace
