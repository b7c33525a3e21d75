#include "kv/results/report.h"
#include "kv/results/testfiles.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace kv::results;
using namespace kv::results::testfiles;

struct Output {
    int status;
    std::string out, err;
};

Output report(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int status = RunReport(args, out, err, kv::texts::resultsModelTexts());
    return {status, out.str(), err.str()};
}

class Report : public ::testing::Test {
protected:
    void SetUp() override {
        writeResult(dir.path(), "a.vesk", uniformResult(75, 150, 3, 0.5, 2.0));
        ResultFileContent b = makeResult(75, 150, 2, [](int c, int, int, int iz) { return c == Primary ? 3.0 / iz : 1.0; });
        b.description[0] = "   run \"b\", seed 7";
        writeResult(dir.path(), "b.vesk", b);
        const std::string text = resultText(uniformResult(75, 150, 3, 1.0));
        dir.write("cut.vesk", text.substr(0, text.size() / 2));
    }
    std::string path(const char* name) const { return (dir.path() / name).string(); }
    TempWorkDir dir;
};

TEST_F(Report, CsvSectionPerFileAndAFailureDoesNotStopTheOthers) {
    Output r = report({path("a.vesk"), path("cut.vesk"), path("b.vesk")});
    EXPECT_EQ(r.status, 1);
    const std::string a = "file,\"" + path("a.vesk") + "\"\n"
                          "preview,\" * Mammography   \"\n";
    EXPECT_EQ(r.out.find(a), 0u);
    for (const char* expected : {
             "preview,\"   History = 1.00E+08\"\n",
             "preview,\"   Grandular fraction = 50 %\"\n",
             "field,dose_100_percent_mGy,\" 0.500\",0.5\n",
             "field,fcd_cm,\"65.0\",65\n",
             "field,sagd_mGy,\"0.500\",0.5\n",
             "field,mean_percentage,\" 100.0\",100\n",
             "layer,total,primary,scatter\n1,100,50,50\n2,100,50,50\n3,100,50,50\n\n",
             "error,\" This file cannot be read ! \",\"the file ends before all dose values are read\"\n",
             "preview,\"   run \"\"b\"\", seed 7   \"\n",
             // b: layer 1 holds 3 + 1, layer 2 holds 1.5 + 1, as percent of 4.
             "1,100,75,25\n2,62.5,37.5,25\n",
         })
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected;
    EXPECT_LT(r.out.find("a.vesk"), r.out.find("cut.vesk"));
    EXPECT_LT(r.out.find("cut.vesk"), r.out.find("b.vesk"));
    EXPECT_EQ(r.err, path("cut.vesk") + ": This file cannot be read ! (the file ends before all dose values are read)\n");
}

TEST_F(Report, JsonHoldsTheSameAndEscapesTexts) {
    Output r = report({"--json", path("b.vesk"), path("missing.vesk")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.front(), '[');
    EXPECT_EQ(r.out.substr(r.out.size() - 3), "\n]\n");
    for (const char* expected : {
             "\"preview\": [\n      \" * Mammography   \",\n      \"   run \\\"b\\\", seed 7   \",",
             "\"previewComplete\": true,",
             "\"sagd_mGy\": {\"text\": ",
             "{\"layer\": 2, \"total\": 62.5, \"primary\": 37.5, \"scatter\": 25}\n    ]\n  },\n  {",
             "\"preview\": [],\n    \"previewComplete\": false,\n    \"error\": \" This file cannot be read ! \",\n"
             "    \"reason\": \"the file cannot be opened\"\n  }\n]",
         })
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected;
}

TEST_F(Report, UsageErrors) {
    struct Case {
        std::vector<std::string> args;
        int status;
        bool usageOnOut;
    } cases[] = {{{}, 2, false}, {{"--json"}, 2, false}, {{"--xml", "a.vesk"}, 2, false}, {{"--help"}, 0, true}};
    for (const Case& c : cases) {
        Output r = report(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ((c.usageOnOut ? r.out : r.err).rfind("usage: kv-report_en", 0), 0u);
    }
    // After "--" a name that starts with a dash is a file.
    EXPECT_EQ(report({"--", "-odd.vesk"}).status, 1);
}

TEST_F(Report, AllGoodFilesExitZero) {
    EXPECT_EQ(report({path("a.vesk"), path("b.vesk")}).status, 0);
}

} // namespace
