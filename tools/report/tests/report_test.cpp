#include "kv/common/codepage.h"
#include "kv/common/csv.h"
#include "kv/report/report.h"
#include "kv/report/scan_report.h"
#include "kv/results/testfiles/testfiles.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace {

using namespace kv::results;
using namespace kv::results::testfiles;
using kv::test_support::TempDir;

struct Output {
    int status;
    std::string out, err;
};

Output report(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int status = runReport(args, out, err, kv::texts::resultsModelTexts());
    return {status, out.str(), err.str()};
}

class Report : public ::testing::Test {
  protected:
    void SetUp() override {
        writeResult(dir.path(), "a.vesk", uniformResult(75, 150, 3, 0.5, 2.0));
        ResultFileContent b =
            makeResult(75, 150, 2, [](int c, int, int, int iz) { return c == Primary ? 3.0 / iz : 1.0; });
        b.description[0] = "   run \"b\", seed 7";
        writeResult(dir.path(), "b.vesk", b);
        const std::string text = resultText(uniformResult(75, 150, 3, 1.0));
        dir.write("cut.vesk", text.substr(0, text.size() / 2));
    }
    std::string path(const char* name) const { return (dir.path() / name).string(); }
    TempDir dir;
};

TEST_F(Report, CsvSectionPerFileAndAFailureDoesNotStopTheOthers) {
    Output r = report({path("a.vesk"), path("cut.vesk"), path("b.vesk")});
    EXPECT_EQ(r.status, 1);
    const std::string a = "file,\"" + path("a.vesk") +
                          "\"\n"
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
    EXPECT_EQ(r.err, path("cut.vesk") +
                         ": This file cannot be read ! (the file ends before all dose values are read)\n");
}

TEST_F(Report, JsonHoldsTheSameAndEscapesTexts) {
    Output r = report({"--json", path("b.vesk"), path("missing.vesk")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.front(), '[');
    EXPECT_EQ(r.out.substr(r.out.size() - 3), "\n]\n");
    for (const char* expected : {
             "\"preview\": [\n      \" * Mammography   \",\n      \"   run \\\"b\\\", seed 7   \",",
             "\"preview_complete\": true,",
             "\"sagd\": {\"value\": 3.25, \"unit\": \"mGy/mGy\", \"per\": \"k_fcd\", \"text\": \"3.250\"}",
             "\"fcd\": {\"value\": 65, \"unit\": \"cm\", \"per\": null, ",
             "\"depth_dose\": {\"unit\": \"%\", \"per\": \"dose100\", \"layers\": [",
             "{\"layer\": 2, \"total\": 62.5, \"primary\": 37.5, \"scatter\": 25}\n    ]}\n  },\n  {",
             "\"preview\": [],\n    \"preview_complete\": false,\n    \"replaced_bytes\": false,\n"
             "    \"error\": \" This file cannot be read ! \",\n"
             "    \"reason\": \"the file cannot be opened\"\n  }\n]",
         })
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
}

// The version comes from the file's trailer: the engine that wrote it, not this program.
TEST_F(Report, EachFileNamesTheEngineVersionThatWroteIt) {
    ResultFileContent c = uniformResult(75, 150, 3, 0.5, 2.0);
    c.trailer = {{"engine_version", "0.1+git20261208.160.g4f1c2a9b7"}, {"physics_revision", "1"}};
    writeResult(dir.path(), "versioned.vesk", c);
    c.trailer = {{"physics_revision", "1"}};
    writeResult(dir.path(), "unnamed.vesk", c);
    // A trailer cut short names nothing, however it starts.
    c.trailer = {{"engine_version", "9.9"}};
    const std::string text = resultText(c);
    dir.write("damaged.vesk", text.substr(0, text.rfind("## end")));
    const std::vector<std::string> files = {path("versioned.vesk"), path("unnamed.vesk"), path("a.vesk"),
                                            path("damaged.vesk")};
    std::vector<std::string> json = {"--json"}, csv;
    json.insert(json.end(), files.begin(), files.end());
    csv.insert(csv.end(), files.begin(), files.end());
    Output j = report(json), v = report(csv);
    ASSERT_EQ(j.status, 0) << j.err;
    ASSERT_EQ(v.status, 0) << v.err;
    size_t at = 0;
    for (const char* expected :
         {"\"engine_version\": \"0.1+git20261208.160.g4f1c2a9b7\",\n", "\"engine_version\": null,\n",
          "\"engine_version\": null,\n", "\"engine_version\": null,\n"}) {
        at = j.out.find(expected, at);
        ASSERT_NE(at, std::string::npos) << expected << "\n" << j.out;
        ++at;
    }
    at = 0;
    for (const char* expected : {"\nengine_version,\"0.1+git20261208.160.g4f1c2a9b7\"\n",
                                 "\nengine_version,\n", "\nengine_version,\n", "\nengine_version,\n"}) {
        at = v.out.find(expected, at);
        ASSERT_NE(at, std::string::npos) << expected << "\n" << v.out;
        ++at;
    }
}

TEST_F(Report, UsageErrors) {
    struct Case {
        std::vector<std::string> args;
        int status;
        bool onOut;
        const char* starts;
    } cases[] = {{{}, 2, false, "usage: kv-report_en"},
                 {{"--json"}, 2, false, "usage: kv-report_en"},
                 {{"--xml", "a.vesk"}, 2, false, "unknown option \"--xml\".\n--help lists the options."},
                 {{"--help"}, 0, true, "usage: kv-report_en"},
                 {{"--table", "fields", "--json", "a.vesk"}, 2, false, "--table and --json cannot be given"},
                 {{"--table", "layers", "a.vesk"}, 2, false, "--table"},
                 {{"--table"}, 2, false, "--table"}};
    for (const Case& c : cases) {
        Output r = report(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ((c.onOut ? r.out : r.err).rfind(c.starts, 0), 0u) << r.err;
    }
    // After "--" a name that starts with a dash is a file.
    EXPECT_EQ(report({"--", "-odd.vesk"}).status, 1);
}

// A strict JSON reader, enough to say whether the report parses: values,
// objects, arrays, strings with their escapes, numbers, literals.
class JsonChecker {
  public:
    explicit JsonChecker(std::string_view s) : s_(s) {}
    bool valid() {
        if (!value()) return false;
        blanks();
        return i_ == s_.size();
    }

  private:
    void blanks() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
            ++i_;
    }
    bool take(char c) {
        blanks();
        if (i_ < s_.size() && s_[i_] == c) return ++i_, true;
        return false;
    }
    bool string() {
        if (!take('"')) return false;
        while (i_ < s_.size() && s_[i_] != '"') {
            if (static_cast<unsigned char>(s_[i_]) < 0x20) return false;
            if (s_[i_] == '\\') {
                ++i_;
                if (i_ >= s_.size() || std::string_view("\"\\/bfnrtu").find(s_[i_]) == std::string_view::npos)
                    return false;
            }
            ++i_;
        }
        return i_ < s_.size() && ++i_;
    }
    template <class Item> bool sequence(char open, char close, Item item) {
        if (!take(open)) return false;
        if (take(close)) return true;
        do {
            if (!item()) return false;
        } while (take(','));
        return take(close);
    }
    bool value() {
        blanks();
        if (i_ >= s_.size()) return false;
        char c = s_[i_];
        if (c == '{') return sequence('{', '}', [this] { return string() && take(':') && value(); });
        if (c == '[') return sequence('[', ']', [this] { return value(); });
        if (c == '"') return string();
        for (std::string_view lit : {"true", "false", "null"})
            if (s_.substr(i_, lit.size()) == lit) return i_ += lit.size(), true;
        size_t start = i_;
        while (i_ < s_.size() && std::string_view("+-0123456789.eE").find(s_[i_]) != std::string_view::npos)
            ++i_;
        return i_ > start;
    }
    std::string_view s_;
    size_t i_ = 0;
};

// Whatever stands in a result file's place is one failed entry, and every
// other file is still reported (a folder used to end the tool with no output,
// a device to keep it reading forever).
TEST_F(Report, AnythingInAFilesPlaceIsReportedAndTheRestGoesOn) {
    std::filesystem::create_directory(dir.path() / "x.vesk");
    ASSERT_EQ(::mkfifo((dir.path() / "pipe.vesk").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.path() / "zero.vesk");
    std::filesystem::create_symlink("/dev/urandom", dir.path() / "random.vesk");
    dir.write("huge.vesk", "");
    std::filesystem::resize_file(dir.path() / "huge.vesk", std::uintmax_t{20} << 30); // sparse
    struct Case {
        const char* name;
        const char* reason;
    };
    const Case cases[] = {
        {"x.vesk", "the name is not a regular file (a folder, pipe or device)"},
        {"pipe.vesk", "the name is not a regular file (a folder, pipe or device)"},
        {"zero.vesk", "the name is not a regular file (a folder, pipe or device)"},
        {"random.vesk", "the name is not a regular file (a folder, pipe or device)"},
        {"huge.vesk", "the file is larger than a result file can be"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Output r = report({"--json", path("a.vesk"), path(c.name), path("b.vesk")});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(JsonChecker(r.out).valid()) << r.out;
        EXPECT_NE(r.out.find(std::string("\"reason\": \"") + c.reason + "\""), std::string::npos);
        EXPECT_NE(r.out.find("{\"layer\": 2, \"total\": 62.5, \"primary\": 37.5, \"scatter\": 25}"),
                  std::string::npos);
        EXPECT_EQ(r.err, path(c.name) + ": This file cannot be read ! (" + c.reason + ")\n");
    }
}

// A header line may hold any bytes; the report stays UTF-8 and says where it
// had to replace some.
TEST_F(Report, BytesThatAreNotCp932AreReplacedAndSaid) {
    std::string text = resultText(uniformResult(75, 150, 3, 0.5, 2.0));
    const std::string line2 = "\r\n";
    // The first description line: a valid CP932 word between bytes that are not CP932.
    text.insert(text.find(line2) + line2.size(), "\xFF" + kv::toCp932("表") + "\x81\x20\x80");
    dir.write("bytes.vesk", text);
    // A name from the command line is bytes too.
    const std::string oddName = "odd\xC3.vesk";
    dir.write(oddName, resultText(uniformResult(75, 150, 3, 0.5, 2.0)));
    for (bool json : {true, false}) {
        SCOPED_TRACE(json ? "json" : "csv");
        std::vector<std::string> args{path("bytes.vesk"), path("a.vesk"), (dir.path() / oddName).string()};
        if (json) args.insert(args.begin(), "--json");
        Output r = report(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(kv::validUtf8(r.out), r.out);
        EXPECT_NE(r.out.find("\xEF\xBF\xBD表\xEF\xBF\xBD \xEF\xBF\xBD"), std::string::npos);
        EXPECT_NE(r.out.find("odd\xEF\xBF\xBD.vesk"), std::string::npos);
        if (json) {
            EXPECT_TRUE(JsonChecker(r.out).valid()) << r.out;
            const size_t a = r.out.find("a.vesk\""), replaced = r.out.find("\"replaced_bytes\": true");
            EXPECT_LT(replaced, a);                                                   // bytes.vesk says so
            EXPECT_NE(r.out.find("\"replaced_bytes\": false", a), std::string::npos); // a.vesk does not
            EXPECT_NE(r.out.find("\"replaced_bytes\": true", a), std::string::npos);  // the odd name does
            EXPECT_NE(r.out.find("\"note\": \"bytes that are not valid CP932 were replaced by U+FFFD\""),
                      std::string::npos);
        } else {
            EXPECT_NE(r.out.find("note,\"bytes that are not valid CP932 were replaced by U+FFFD\"\n"),
                      std::string::npos);
        }
    }
    // The comparison names its files too.
    Output c = report({"--json", "--compare", path("a.vesk"), (dir.path() / oddName).string()});
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(kv::validUtf8(c.out), c.out);
    EXPECT_TRUE(JsonChecker(c.out).valid()) << c.out;
}

TEST_F(Report, AllGoodFilesExitZero) {
    EXPECT_EQ(report({path("a.vesk"), path("b.vesk")}).status, 0);
}

} // namespace

namespace {

// A result as the engine leaves it: the air kermas and the whole-breast doses after the values.
ResultFileContent withTrailer(int layers) {
    ResultFileContent r = uniformResult(75, 150, layers, 0.5, 2.0);
    r.trailer = {{"physics_revision", "1"},
                 {"k_fcd_paddle_per_k_fcd", "0.8"},
                 {"k_surface_per_k_fcd", "0.86"},
                 {"k_surface_40mm_per_k_fcd", "0.85"},
                 {"k_surface_60mm_per_k_fcd", "0.84"},
                 {"mgd_per_k_fcd", "0.16"},
                 {"mgd_per_k_fcd_paddle", "0.2"},
                 {"mgd_per_k_surface", "0.186"},
                 {"mgd_sigma_percent", "0.5"},
                 {"sagd", "0.49"},
                 {"dose100", "0.51"}};
    return r;
}

// Each table loads as one: a header, then rows as wide as it, every file's under the same header.
TEST_F(Report, EachTableIsOneRectangularCsv) {
    writeResult(dir.path(), "t.vesk", withTrailer(3));
    writeResult(dir.path(), "thick.vesk", withTrailer(90));
    struct Case {
        const char* table;
        const char* header;
        size_t rows; // a.vesk, b.vesk, t.vesk and thick.vesk together
        const char* holds;
    };
    const Case cases[] = {
        {"header", "file,line,text", 0, ",1,\" * Mammography   \"\n"},
        {"fields", "file,quantity,value,unit,per,text", 16, ",sagd,0.5,mGy/mGy,k_fcd,\"0.500\"\n"},
        // A breast over 6 cm has no depth-dose table: its file gives no rows here.
        {"depth_dose", "file,layer,total_percent,primary_percent,scatter_percent", 3 + 2 + 3,
         ",2,62.5,37.5,25\n"},
        {"air_kerma", "file,point,where,k_per_k_fcd,sagd,mgd,unit,per", 10,
         ",0.86,0.581395348837209,0.186,mGy/mGy,k_surface\n"},
        // Eleven keys and the content hash each.
        {"trailer", "file,key,value,unit,per", 24, ",mgd_per_k_fcd_paddle,\"0.2\",mGy/mGy,k_fcd_paddle\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        Output r = report({"--table", c.table, path("a.vesk"), path("b.vesk"), path("cut.vesk"),
                           path("t.vesk"), path("thick.vesk")});
        EXPECT_EQ(r.status, 1); // cut.vesk
        EXPECT_NE(r.err.find("cut.vesk: This file cannot be read"), std::string::npos) << r.err;
        const std::vector<kv::CsvLine> lines = kv::readCsvLines(r.out);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), c.header);
        const size_t width = lines[0].cells.size();
        std::set<std::string> files;
        for (size_t i = 1; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].cells.size(), width) << "line " << lines[i].number;
            files.insert(lines[i].cells[0]);
        }
        if (c.rows) EXPECT_EQ(lines.size() - 1, c.rows) << r.out;
        EXPECT_EQ(files.count(path("cut.vesk")), 0u);
        EXPECT_EQ(files.count(path("a.vesk")),
                  std::string(c.table) == "air_kerma" || std::string(c.table) == "trailer" ? 0u : 1u);
        EXPECT_NE(r.out.find(c.holds), std::string::npos) << r.out;
    }
}

TEST_F(Report, TheTrailerAndWhereEachFactorsAirKermaIsMeasured) {
    writeResult(dir.path(), "t.vesk", withTrailer(3));
    Output r = report({path("t.vesk")});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* expected : {
             "trailer,k_surface_per_k_fcd,\"0.86\"\n",
             "trailer,mgd_per_k_surface,\"0.186\"\n",
             "air_kerma,point,where,ratio_to_fcd,sagd_mGy,mgd_mGy\n",
             "air_kerma,fcd,\"Ka measured at the FCD, without the paddle (the sAGD's own)\",1,0.5,0.16\n",
             "air_kerma,fcd_paddle,\"Ka measured at the FCD, with the compression paddle in the "
             "beam\",0.8,0.625,"
             "0.2\n",
             "air_kerma,surface,\"Ka measured at the breast's upper surface behind the paddle, on the "
             "midline "
             "at the chest-wall edge\",0.86,",
         })
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
    Output json = report({"--json", path("t.vesk")});
    EXPECT_TRUE(JsonChecker(json.out).valid()) << json.out;
    // Numbers as numbers, each with the unit and the air kerma it is per.
    for (const char* expected : {
             "\"trailer\": {\"state\": \"complete\", \"verified\": true, \"note\": null, \"values\": {\n"
             "      \"physics_revision\": {\"value\": 1, \"unit\": null, \"per\": null}",
             "\"k_surface_per_k_fcd\": {\"value\": 0.86, \"unit\": \"mGy/mGy\", \"per\": \"k_fcd\"}",
             "\"mgd_per_k_surface\": {\"value\": 0.186, \"unit\": \"mGy/mGy\", \"per\": \"k_surface\"}",
             "\"mgd_sigma_percent\": {\"value\": 0.5, \"unit\": \"%\", \"per\": null}",
             "{\"point\": \"surface\"",
             "\"unit\": \"mGy/mGy\", \"per\": \"k_fcd_paddle\"}",
         })
        EXPECT_NE(json.out.find(expected), std::string::npos) << expected << "\n" << json.out;
    // The JSON uses one naming style.
    for (const char* camel : {"previewComplete", "replacedBytes", "airKerma", "ratioToFcd", "depthDose"})
        EXPECT_EQ(json.out.find(camel), std::string::npos) << camel;
    // A file without a trailer lists no air kermas; a cut one says so.
    Output plain = report({path("a.vesk")});
    EXPECT_EQ(plain.out.find("air_kerma"), std::string::npos);
    const std::string text = resultText(withTrailer(3));
    dir.write("cut-trailer.vesk", text.substr(0, text.size() - 10));
    Output cut = report({path("cut-trailer.vesk")});
    EXPECT_EQ(cut.status, 0);
    EXPECT_NE(
        cut.out.find("note,\"The additions after the dose values are damaged (cut short before their end "
                     "line, line "),
        std::string::npos)
        << cut.out;
    EXPECT_EQ(cut.out.find("air_kerma"), std::string::npos);
}

// The midline points where the protocols measure: each row's sAGD and
// whole-breast dose are the ones per k_fcd over that point's own ratio, and a
// file written before those ratios lists none of them.
TEST_F(Report, TheMidlineSurfacePointsCarryTheirOwnRatio) {
    writeResult(dir.path(), "t.vesk", withTrailer(3));
    ResultFileContent older = withTrailer(3);
    std::erase_if(older.trailer,
                  [](const auto& e) { return e.first.find("mm_per_k_fcd") != std::string::npos; });
    writeResult(dir.path(), "older.vesk", older);
    Output r = report({"--table", "air_kerma", path("t.vesk"), path("older.vesk")});
    ASSERT_EQ(r.status, 0) << r.err;
    const struct {
        const char* point;
        double ratio;
        const char* where;
    } rows[] = {
        {"surface_60mm", 0.84, "on the midline 60 mm from the chest wall (UK, European, IAEA protocols)"},
        {"surface_40mm", 0.85, "on the midline 40 mm from the chest wall (ACR)"},
    };
    const std::vector<kv::CsvLine> lines = kv::readCsvLines(r.out);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.point);
        std::vector<std::vector<std::string>> found;
        for (const kv::CsvLine& l : lines)
            if (l.cells.size() == 8 && l.cells[1] == row.point) found.push_back(l.cells);
        ASSERT_EQ(found.size(), 1u) << r.out; // t.vesk's; older.vesk has none
        const std::vector<std::string>& c = found[0];
        EXPECT_EQ(c[0], path("t.vesk"));
        EXPECT_NE(c[2].find(row.where), std::string::npos) << c[2];
        EXPECT_DOUBLE_EQ(std::stod(c[3]), row.ratio);
        EXPECT_NEAR(std::stod(c[4]) * row.ratio, 0.5, 1e-12);  // the file's sAGD
        EXPECT_NEAR(std::stod(c[5]) * row.ratio, 0.16, 1e-12); // mgd_per_k_fcd
        EXPECT_EQ(c[7], std::string("k_") + row.point);
        Output json = report({"--json", path("t.vesk")});
        EXPECT_NE(json.out.find(std::string("{\"point\": \"") + row.point + "\""), std::string::npos);
        EXPECT_NE(json.out.find(std::string("\"per\": \"k_") + row.point + "\"}"), std::string::npos);
    }
    // The older file still lists the chest-wall edge.
    EXPECT_NE(r.out.find(path("older.vesk") + "\",surface,"), std::string::npos) << r.out;
}

// Each hand edit of a file the engine wrote: "damaged" with the reason, and
// none of the trailer's values (nor the air kermas from them) shown as true.
TEST_F(Report, AnEditedTrailerIsDamagedWithItsReasonAndItsValuesAreNotShown) {
    ResultFileContent c = withTrailer(3);
    c.histories = 600000;
    c.trailer.push_back({"histories", "600000"});
    const std::string good = resultText(c);
    auto edited = [&](const std::string& from, const std::string& to) {
        std::string s = good;
        const size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? s : s.replace(at, from.size(), to);
    };
    std::string old = good; // an engine's file from before the hash
    old.erase(old.find("content_sha256"), old.find("## end of kv trailer") - old.find("content_sha256"));
    const std::string hashNote = "the content hash does not match";
    const struct {
        const char* name;
        std::string text;
        const char* note; // empty: none
        bool values;
    } rows[] = {
        {"as written", good, "", true},
        {"sagd times 10", edited("sagd = 0.49", "sagd = 4.9"), hashNote.c_str(), false},
        {"mgd_per_k_surface times 3", edited("mgd_per_k_surface = 0.186", "mgd_per_k_surface = 0.558"),
         hashNote.c_str(), false},
        {"k_surface_per_k_fcd set to 0.5", edited("k_surface_per_k_fcd = 0.86", "k_surface_per_k_fcd = 0.5"),
         hashNote.c_str(), false},
        {"histories 5 in the trailer", edited("histories = 600000", "histories = 5"), hashNote.c_str(),
         false},
        {"the header's histories 5", edited("\r\n600000\r\n", "\r\n5\r\n"),
         "their histories is not what the header states", false},
        {"a junk line before the trailer", edited("## kv trailer", "junk\r\n## kv trailer"),
         "text between the dose values and the additions, line ", false},
        {"written before the hash", old, "shown, not verified", true},
    };
    for (const auto& r : rows) {
        dir.write("e.vesk", r.text);
        Output csv = report({path("e.vesk")});
        EXPECT_EQ(csv.status, 0) << r.name << csv.err;
        const std::string note =
            std::string("note,\"") + (std::string(r.note).find("verified") == std::string::npos
                                          ? "The additions after the dose values are damaged ("
                                          : "");
        if (*r.note) {
            EXPECT_NE(csv.out.find(note), std::string::npos) << r.name << csv.out;
            EXPECT_NE(csv.out.find(r.note), std::string::npos) << r.name << csv.out;
        } else {
            EXPECT_EQ(csv.out.find("note,"), std::string::npos) << r.name << csv.out;
        }
        EXPECT_EQ(csv.out.find("trailer,k_surface_per_k_fcd") != std::string::npos, r.values) << r.name;
        EXPECT_EQ(csv.out.find("air_kerma,surface") != std::string::npos, r.values) << r.name;
        Output json = report({"--json", path("e.vesk")});
        EXPECT_TRUE(JsonChecker(json.out).valid()) << r.name << json.out;
        EXPECT_NE(json.out.find(r.values ? "\"state\": \"complete\"" : "\"state\": \"damaged\""),
                  std::string::npos)
            << r.name << json.out;
    }
}

// An empty field in a dose block is a read failure that names its line.
TEST_F(Report, AnEmptyFieldInABlockIsAFailureNamingItsLine) {
    std::string text = resultText(uniformResult(75, 30, 1, 0.5, 2.0));
    const size_t firstRow = text.find(", 75, 30, 1\r\n");
    ASSERT_NE(firstRow, std::string::npos);
    const size_t at = text.find(',', firstRow + 13);
    text.replace(at, 1, ",,");
    dir.write("gap.vesk", text);
    Output r = report({path("gap.vesk")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("a value is not a number, line 21"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("(a value is not a number, line 21)"), std::string::npos)
        << r.err; // the terminal too
}

// A protocol breast over 6 cm: refused by the screens, reported from its trailer.
TEST_F(Report, AFileThickerThanTheScreensIsReportedFromItsTrailer) {
    writeResult(dir.path(), "thick.vesk", withTrailer(90));
    Output r = report({path("thick.vesk")});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* expected :
         {"note,\"The breast is thicker than the 6 cm", "field,dose_100_percent_mGy,\" 0.510\",0.51\n",
          "field,sagd_mGy,\"0.490\",0.49\n", "air_kerma,surface,"})
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
    EXPECT_EQ(r.out.find("layer,total"), std::string::npos);
    // Without the trailer's figures it is a file the report cannot use.
    writeResult(dir.path(), "bare.vesk", uniformResult(75, 150, 90, 0.5, 2.0));
    Output bare = report({path("bare.vesk")});
    EXPECT_EQ(bare.status, 1);
    EXPECT_NE(bare.out.find("error,"), std::string::npos);
}

} // namespace

namespace {

// A step-and-shoot scan of three projections with unequal loading, as the engines' trailer gives it.
ResultFileContent scanResult(const char* t, const char* loading = "0.25 0.5 0.25") {
    ResultFileContent r = uniformResult(75, 150, 3, 1.0);
    r.trailer = {{"mgd_per_k_surface", "0.17"},
                 {"mgd_sigma_percent", "0.4"},
                 {"scan", "step"},
                 {"projections", "3"},
                 {"projection_angles", "-20 0 20"},
                 {"projection_loading", loading},
                 {"rotation_axis_cm", "2"},
                 {"mgd_per_k_surface_0deg", "0.17"},
                 {"mgd_per_k_surface_0deg_sigma_percent", "0.4"},
                 {"mgd_per_k_surface_i", "0.16 0.17 0.16"},
                 {"mgd_per_k_surface_i_sigma_percent", "0.5 0.4 0.5"},
                 {"t_i", t},
                 {"t_i_sigma_percent", "0.6 0.5 0.6"},
                 {"t_scan", "0.98"},
                 {"t_scan_sigma_percent", "0.3"}};
    return r;
}

} // namespace

TEST_F(Report, AScanItsTAndEachProjectionsTInEveryForm) {
    writeResult(dir.path(), "s.vesk", scanResult("0.96 1 0.96"));
    const Output r = report({path("s.vesk")});
    ASSERT_EQ(r.status, 0) << r.err;
    // T again from the projections: (0.25 x 0.96 + 0.5 x 1 + 0.25 x 0.96) / 1.
    for (const char* expected : {
             "scan,kind,projections,rotation_axis_cm,mgd_per_k_surface_0deg,mgd_per_k_surface_0deg_sigma_"
             "percent,"
             "t_scan,t_scan_sigma_percent,t_scan_from_projections\nscan,\"step\",3,2,0.17,0.4,0.98,0.3,0."
             "98\n",
             "projection,index,angle_deg,loading,mgd_per_k_surface_i,mgd_per_k_surface_i_sigma_percent,t_i,"
             "t_i_sigma_percent\nprojection,1,-20,0.25,0.16,0.5,0.96,0.6\nprojection,2,0,0.5,0.17,0.4,1,0.5\n"
             "projection,3,20,0.25,0.16,0.5,0.96,0.6\n",
         })
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;

    const Output json = report({"--json", path("s.vesk")});
    EXPECT_TRUE(JsonChecker(json.out).valid()) << json.out;
    for (const char* expected : {
             "\"scan\": {\"kind\": \"step\", \"projections\": 3",
             "\"rotation_axis_cm\": {\"value\": 2, \"unit\": \"cm\", \"per\": null}",
             "\"mgd_per_k_surface_0deg\": {\"value\": 0.17, \"unit\": \"mGy/mGy\", \"per\": "
             "\"k_surface_0deg\"}",
             "\"t_scan\": {\"value\": 0.98, \"unit\": null, \"per\": null}",
             "{\"index\": 2, \"angle\": {\"value\": 0, \"unit\": \"degree\", \"per\": null}, \"loading\": "
             "0.5, "
             "\"mgd_per_k_surface_i\": {\"value\": 0.17, \"unit\": \"mGy/mGy\", \"per\": "
             "\"k_surface_0deg_i\"}, "
             "\"mgd_per_k_surface_i_sigma_percent\": 0.4, \"t_i\": 1, \"t_i_sigma_percent\": 0.5}",
             // A list in the trailer is a list of numbers.
             "\"t_i\": {\"value\": [0.96, 1, 0.96], \"unit\": null, \"per\": null}",
             "\"projection_angles\": {\"value\": [-20, 0, 20], \"unit\": \"degree\", \"per\": null}",
         })
        EXPECT_NE(json.out.find(expected), std::string::npos) << expected << "\n" << json.out;

    struct Case {
        const char* table;
        const char* expected;
    };
    for (const Case& c : {
             Case{"scan", "file,kind,projections,rotation_axis_cm,mgd_per_k_surface_0deg,"
                          "mgd_per_k_surface_0deg_sigma_percent,t_scan,t_scan_sigma_percent,t_scan_from_"
                          "projections\n"},
             Case{"projections", "file,index,angle_deg,loading,mgd_per_k_surface_i,"
                                 "mgd_per_k_surface_i_sigma_percent,t_i,t_i_sigma_percent\n"},
             Case{"trailer", ",t_i,\"0.96 1 0.96\",,\n"},
         }) {
        SCOPED_TRACE(c.table);
        const Output t = report({"--table", c.table, path("s.vesk"), path("a.vesk")});
        EXPECT_EQ(t.status, 0) << t.err;
        EXPECT_NE(t.out.find(c.expected), std::string::npos) << t.out;
        // A 2D result has no scan: no row of its own in the scan tables.
        if (std::string_view(c.table) != "trailer") {
            EXPECT_EQ(t.out.find("a.vesk"), std::string::npos) << t.out;
        }
    }
    const Output projections = report({"--table", "projections", path("s.vesk")});
    EXPECT_EQ(std::count(projections.out.begin(), projections.out.end(), '\n'), 4);

    // A 2D result's report has none of it.
    EXPECT_EQ(report({path("a.vesk")}).out.find("scan,"), std::string::npos);
}

TEST(ScanOf, ListsAreReadAsTheyStandAndTIsFormedOnlyFromWholeOnes) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> entries;
        size_t projections;
        std::optional<double> tFromProjections;
        std::optional<double> secondT;
    };
    const Case cases[] = {
        {"unequal loading weights the projections",
         {{"scan", "step"}, {"projection_loading", "1 3"}, {"t_i", "0.9 1"}},
         2,
         (0.9 + 3) / 4,
         1},
        {"no loading: shared equally", {{"scan", "step"}, {"t_i", "0.9 1 0.95"}}, 3, (0.9 + 1 + 0.95) / 3, 1},
        {"an item that is no number empties that list",
         {{"scan", "step"}, {"projection_loading", "1 1"}, {"t_i", "0.9 x"}},
         2,
         std::nullopt,
         std::nullopt},
        {"a shorter list leaves the last projection without it",
         {{"scan", "step"}, {"projection_loading", "1 1"}, {"t_i", "0.9"}},
         2,
         std::nullopt,
         std::nullopt},
        {"a continuous sweep: no projections",
         {{"scan", "continuous"}, {"T", "0.97"}},
         0,
         std::nullopt,
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kv::formats::ResultTrailer t;
        t.state = kv::formats::ResultTrailer::State::Complete;
        t.entries = c.entries;
        const std::optional<ScanSummary> s = scanOf(t);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->perProjection.size(), c.projections);
        EXPECT_EQ(s->tFromProjections.has_value(), c.tFromProjections.has_value());
        if (c.tFromProjections && s->tFromProjections) {
            EXPECT_NEAR(*s->tFromProjections, *c.tFromProjections, 1e-12);
        }
        if (c.projections > 1) {
            EXPECT_EQ(s->perProjection[1].t, c.secondT);
        }
    }
    kv::formats::ResultTrailer plain;
    plain.entries = {{"mgd_per_k_surface", "0.2"}};
    EXPECT_FALSE(scanOf(plain));
}
