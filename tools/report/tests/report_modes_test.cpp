// kv-report --export and --compare end to end: result files written by the
// tests, the tables read back and held against a load of the same file.
#include "kv/common/temporaries.h"
#include "kv/report/report.h"
#include "kv/report/report_modes.h"
#include "kv/results/dose_tables.h"
#include "kv/results/testfiles/testfiles.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace {

using namespace kv::results;
using namespace kv::results::testfiles;
using kv::test_support::TempDir;
namespace fs = std::filesystem;

struct Output {
    int status;
    std::string out, err;
};

Output report(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int status = runReport(args, out, err, kv::texts::resultsModelTexts());
    return {status, out.str(), err.str()};
}

std::vector<std::vector<std::string>> csv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> f;
        std::stringstream l(line);
        for (std::string v; std::getline(l, v, ',');)
            f.push_back(v);
        if (!line.empty() && line.back() == ',') f.emplace_back();
        rows.push_back(f);
    }
    return rows;
}

double number(const std::string& s) {
    double v = std::nan("");
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

class Modes : public ::testing::Test {
  protected:
    void SetUp() override {
        ResultFileContent a = makeResult(
            60, 140, 10,
            [](int c, int ix, int iy, int iz) {
                return (c == Primary ? 2.0 : 0.7) * std::exp(-0.05 * iz) * (1 + 0.01 * ix + 0.001 * iy);
            },
            4.0);
        a.description[5] = kv::formats::uncertaintyLine(0.004, 0.003);
        writeResult(dir.path(), "a.vesk", a);
        ResultFileContent b = makeResult(
            75, 150, 12,
            [](int c, int, int, int iz) { return (c == Primary ? 2.1 : 0.7) * std::exp(-0.05 * iz); }, 4.0);
        b.description[2] = kv::formats::uncertaintyLine(0.002, 0.004);
        writeResult(dir.path(), "b.vesk", b);
        writeResult(dir.path(), "plain.vesk", uniformResult(75, 150, 3, 1.0));
        const std::string text = resultText(uniformResult(75, 150, 3, 1.0));
        dir.write("cut.vesk", text.substr(0, text.size() / 2));
    }
    std::string path(const std::string& name) const { return (dir.path() / name).string(); }
    DoseModel load(const std::string& name) const { return *LoadResultFile(dir.path(), name).model; }
    TempDir dir;
};

TEST_F(Modes, ExportWritesBothTablesOfEveryReadableFile) {
    const fs::path out = dir.path() / "out" / "deeper";
    Output r = report({"--export", out.string(), path("a.vesk"), path("cut.vesk"), path("b.vesk")});
    EXPECT_EQ(r.status, 1); // cut.vesk cannot be read; the others are written
    EXPECT_NE(r.err.find("cut.vesk"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out / "cut.dose.csv"));
    for (const std::string stem : {"a", "b"}) {
        const DoseModel m = load(stem + ".vesk");
        std::ifstream pdd(out / (stem + ".depth-dose.csv"), std::ios::binary);
        const auto rows = csv(std::string(std::istreambuf_iterator<char>(pdd), {}));
        ASSERT_EQ(rows.size(), static_cast<size_t>(m.GridCountZ) + 1) << stem;
        EXPECT_EQ(rows[0], (std::vector<std::string>{"layer", "total", "primary", "scatter", "depth_cm"}));
        for (int iz = 1; iz <= m.GridCountZ; ++iz)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(number(rows[static_cast<size_t>(iz)][1 + static_cast<size_t>(c)]),
                          m.DepthDose[c][iz]);

        std::ifstream dose(out / (stem + ".dose.csv"), std::ios::binary);
        const auto voxels = csv(std::string(std::istreambuf_iterator<char>(dose), {}));
        ASSERT_EQ(voxels.size(), static_cast<size_t>(m.GridCountX * m.GridCountY * m.GridCountZ) + 1) << stem;
        EXPECT_EQ(std::vector<std::string>(voxels[0].begin(), voxels[0].begin() + 6),
                  (std::vector<std::string>{"ix", "iy", "iz", "total", "primary", "scatter"}));
        for (size_t i = 1; i < voxels.size(); i += 97) {
            const auto& v = voxels[i];
            const int ix = std::stoi(v[0]), iy = std::stoi(v[1]), iz = std::stoi(v[2]);
            ASSERT_TRUE(ix >= 1 && ix <= m.GridCountX && iy >= 1 && iy <= m.GridCountY && iz >= 1 &&
                        iz <= m.GridCountZ);
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(number(v[3 + static_cast<size_t>(c)]), m.DoseGrid(c, ix, iy, iz)) << i;
        }
    }
}

TEST_F(Modes, ExportRefusesWhatItCannotDo) {
    struct Row {
        const char* name;
        std::vector<std::string> args;
        int status;
    };
    dir.write("file", "x");
    std::filesystem::create_directories(dir.path() / "taken" / "a.dose.csv");
    const Row rows[] = {
        {"no files", {"--export", path("x")}, 2},
        {"no folder", {"--export"}, 2},
        {"a file where the folder goes", {"--export", path("file"), path("a.vesk")}, 1},
        {"a folder where a table goes", {"--export", path("taken"), path("a.vesk")}, 1},
        {"--json with --export", {"--json", "--export", path("x"), path("a.vesk")}, 2},
        {"--json after the folder", {"--export", path("x"), "--json", path("a.vesk")}, 2},
        {"--export with --compare", {"--compare", "--export", path("x"), path("a.vesk"), path("b.vesk")}, 2},
    };
    for (const Row& r : rows)
        EXPECT_EQ(report(r.args).status, r.status) << r.name;
    // The other table of a file is still written when one cannot be.
    EXPECT_TRUE(fs::exists(dir.path() / "taken" / "a.depth-dose.csv"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "taken" / "a.dose.csv"));
}

// Run in a child whose address space leaves room to load the largest grid
// but not to make its voxel table: that table fails, and the next file is
// still exported.
TEST_F(Modes, ExportGoesOnAfterATableItHasNoMemoryFor) {
    writeResult(dir.path(), "big.vesk", uniformResult(75, 150, 60, 1.0));
    const fs::path out = dir.path() / "out";
    const fs::path errFile = dir.path() / "err.txt";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long pages = 0;
        if (FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
            std::fclose(f);
        }
        // Loading the largest grid takes about 30 MB, its voxel table over 100 MB.
        const rlim_t cap = static_cast<rlim_t>(pages) * ::sysconf(_SC_PAGESIZE) + (rlim_t{90} << 20);
        const rlimit limit{cap, cap};
        if (pages == 0 || ::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(77);
        Output r = report({"--export", out.string(), path("big.vesk"), path("plain.vesk")});
        if (FILE* f = std::fopen(errFile.c_str(), "w")) {
            std::fputs(r.err.c_str(), f);
            std::fclose(f);
        }
        ::_exit(r.status);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "no address-space limit here";
    std::ifstream in(errFile);
    const std::string err((std::istreambuf_iterator<char>(in)), {});
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 1) << err;
    EXPECT_NE(err.find("big.dose.csv"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(out / "big.dose.csv"));
    EXPECT_TRUE(fs::exists(out / "big.depth-dose.csv"));
    EXPECT_TRUE(fs::exists(out / "plain.dose.csv"));
    EXPECT_TRUE(fs::exists(out / "plain.depth-dose.csv"));
}

// Options mean the same wherever they stand and however their value is joined.
TEST_F(Modes, OptionsInAnyOrderAndEitherSpelling) {
    const Output first = report({"--json", "--compare", path("a.vesk"), path("b.vesk")});
    ASSERT_EQ(first.status, 0) << first.err;
    for (const std::vector<std::string>& args : {
             std::vector<std::string>{"--compare", path("a.vesk"), path("b.vesk"), "--json"},
             std::vector<std::string>{path("a.vesk"), "--json", path("b.vesk"), "--compare"},
         })
        EXPECT_EQ(report(args).out, first.out);
    const fs::path joined = dir.path() / "joined", apart = dir.path() / "apart";
    ASSERT_EQ(report({path("a.vesk"), "--export=" + joined.string()}).status, 0);
    ASSERT_EQ(report({"--export", apart.string(), path("a.vesk")}).status, 0);
    for (const char* table : {"a.depth-dose.csv", "a.dose.csv"})
        EXPECT_EQ(kv::test_support::readFile(joined / table), kv::test_support::readFile(apart / table))
            << table;

    const Output unknown = report({path("a.vesk"), "--xml"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err.rfind("unknown option \"--xml\".\n", 0), 0u) << unknown.err;
    const Output help = report({path("a.vesk"), "--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* mode : {"--export DIR", "--compare", "--json"})
        EXPECT_NE(help.out.find(mode), std::string::npos) << mode;
}

// Two results of one name from two folders would share their tables' names.
TEST_F(Modes, ExportNeverWritesTwoFilesTablesUnderOneName) {
    fs::create_directories(dir.path() / "A");
    fs::create_directories(dir.path() / "B");
    fs::copy_file(dir.path() / "a.vesk", dir.path() / "A" / "r.vesk");
    fs::copy_file(dir.path() / "b.vesk", dir.path() / "B" / "r.vesk");
    const fs::path out = dir.path() / "out";
    const Output r = report({"--export", out.string(), path("A/r.vesk"), path("B/r.vesk")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(path("A/r.vesk") + " and " + path("B/r.vesk") +
                         " would both be exported as "
                         "r.depth-dose.csv"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(out / "r.depth-dose.csv"));
    EXPECT_FALSE(fs::exists(out / "r.dose.csv"));
    // One file named twice, also by another path, is one file's tables.
    const Output twice = report({"--export", out.string(), path("A/r.vesk"), path("A/../A/r.vesk")});
    EXPECT_EQ(twice.status, 0) << twice.err;
    EXPECT_EQ(number(csv(kv::test_support::readFile(out / "r.depth-dose.csv"))[2][1]),
              load("a.vesk").DepthDose[0][2]);
}

TEST_F(Modes, ExportClearsWhatAKilledExportLeft) {
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    std::string live = kv::temporaryTemplate("a.dose.csv");
    live.replace(live.size() - 6, 6, "Ab12Cd");
    std::string dead = live;
    dead.replace(dead.find(std::to_string(::getpid())), std::to_string(::getpid()).size(),
                 std::to_string(ended));
    for (const std::string& name : {live, dead})
        std::ofstream(out / name) << "half a table";
    ASSERT_EQ(report({"--export", out.string(), path("plain.vesk")}).status, 0);
    EXPECT_FALSE(fs::exists(out / dead));
    EXPECT_TRUE(fs::exists(out / live)) << "a writer still running keeps its temporary";
}

TEST_F(Modes, CompareGivesRatiosAndSigmaDifferences) {
    Output r = report({"--compare", path("a.vesk"), path("b.vesk")});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = csv(r.out);
    ASSERT_EQ(rows[0],
              (std::vector<std::string>{"quantity", "layer", "a", "b", "ratio", "difference_sigma"}));
    ASSERT_EQ(rows.size(), 1u + 3u + 12u); // B has more layers; A's are empty there
    const DoseModel a = load("a.vesk"), b = load("b.vesk");
    const double doseA = a.ReferenceDose / a.AirKerma, doseB = b.ReferenceDose / b.AirKerma;
    EXPECT_EQ(rows[1][0], "dose_100_percent_mGy");
    EXPECT_EQ(number(rows[1][2]), doseA);
    EXPECT_EQ(number(rows[1][3]), doseB);
    EXPECT_DOUBLE_EQ(number(rows[1][4]), doseB / doseA);
    EXPECT_DOUBLE_EQ(number(rows[1][5]), (doseB - doseA) / std::hypot(doseA * 0.004, doseB * 0.002));
    EXPECT_EQ(rows[2][0], "sagd_mGy");
    EXPECT_DOUBLE_EQ(number(rows[2][5]),
                     (b.SagdValue - a.SagdValue) / std::hypot(a.SagdValue * 0.003, b.SagdValue * 0.004));
    EXPECT_EQ(rows[3][0], "mean_percentage");
    EXPECT_EQ(rows[3][5], ""); // no file states it
    EXPECT_EQ(rows[4][0], "depth_dose");
    EXPECT_EQ(rows[4][1], "1");
    EXPECT_NEAR(number(rows[4][2]), 100, 1e-9);
    EXPECT_NEAR(number(rows[4][4]), 1, 1e-12);
    EXPECT_EQ(rows[4][5], "");
    EXPECT_EQ(number(rows[13][3]), b.DepthDose[0][10]);
    EXPECT_EQ(rows[14][1], "11");
    EXPECT_EQ(rows[14][2], "") << "layer 11 is beyond A";
    EXPECT_EQ(rows[14][4], "");

    // Without a stated uncertainty on one side there is no sigma difference.
    const auto plain = csv(report({"--compare", path("plain.vesk"), path("b.vesk")}).out);
    EXPECT_EQ(plain[1][5], "");
    EXPECT_EQ(plain[2][5], "");
}

// The engines' trailers: whole-breast doses with their sigma difference, kerma ratios without one.
TEST_F(Modes, CompareTakesTheTrailersFiguresWhenTheFilesHaveThem) {
    for (auto [name, mgd, sigma] :
         {std::tuple{"ta.vesk", "0.186", "0.5"}, std::tuple{"tb.vesk", "0.19", "1"}}) {
        ResultFileContent r = uniformResult(75, 150, 3, 1.0);
        r.trailer = {
            {"k_surface_per_k_fcd", "0.86"}, {"mgd_per_k_surface", mgd}, {"mgd_sigma_percent", sigma}};
        writeResult(dir.path(), name, r);
    }
    const auto rows = csv(report({"--compare", path("ta.vesk"), path("tb.vesk")}).out);
    ASSERT_GE(rows.size(), 6u);
    EXPECT_EQ(rows[4],
              (std::vector<std::string>{"mgd_per_k_surface", "", "0.186", "0.19", rows[4][4], rows[4][5]}));
    EXPECT_DOUBLE_EQ(number(rows[4][4]), 0.19 / 0.186);
    EXPECT_DOUBLE_EQ(number(rows[4][5]), (0.19 - 0.186) / std::hypot(0.186 * 0.005, 0.19 * 0.01));
    EXPECT_EQ(rows[5][0], "k_surface_per_k_fcd");
    EXPECT_EQ(rows[5][5], "");
    EXPECT_EQ(rows[6][0], "depth_dose");
    // A file without a trailer: its side stays empty.
    const auto half = csv(report({"--compare", path("plain.vesk"), path("tb.vesk")}).out);
    EXPECT_EQ(half[4][0], "mgd_per_k_surface");
    EXPECT_EQ(half[4][2], "");
}

TEST_F(Modes, CompareGivesTheScansTAndEachProjectionsT) {
    for (auto [name, t, big] :
         {std::tuple{"sa.vesk", "0.96 1 0.96", "0.98"}, std::tuple{"sb.vesk", "0.9 1", "0.95"}}) {
        ResultFileContent r = uniformResult(75, 150, 3, 1.0);
        r.trailer = {{"scan", "step"}, {"projection_loading", name[1] == 'a' ? "1 2 1" : "1 1"},
                     {"t_i", t},       {"t_i_sigma_percent", name[1] == 'a' ? "1 1 1" : "1 1"},
                     {"t_scan", big},  {"t_scan_sigma_percent", "0.5"}};
        writeResult(dir.path(), name, r);
    }
    const auto rows = csv(report({"--compare", path("sa.vesk"), path("sb.vesk")}).out);
    std::map<std::string, std::vector<std::string>> by;
    for (const auto& row : rows)
        by[row[0] + " " + row[1]] = row;
    ASSERT_TRUE(by.count("t_scan ")) << rows.size();
    EXPECT_DOUBLE_EQ(number(by["t_scan "][4]), 0.95 / 0.98);
    EXPECT_DOUBLE_EQ(number(by["t_scan "][5]), (0.95 - 0.98) / std::hypot(0.98 * 0.005, 0.95 * 0.005));
    EXPECT_DOUBLE_EQ(number(by["t_scan_from_projections "][2]), (0.96 + 2 + 0.96) / 4);
    EXPECT_DOUBLE_EQ(number(by["t_scan_from_projections "][3]), 0.95);
    EXPECT_DOUBLE_EQ(number(by["t_i 1"][5]), (0.9 - 0.96) / std::hypot(0.96 * 0.01, 0.9 * 0.01));
    // B has two projections, A three: the third stands with A's side only.
    EXPECT_EQ(by["t_i 3"][2], "0.96");
    EXPECT_EQ(by["t_i 3"][3], "");
    // Two 2D results: no scan rows.
    for (const auto& row : csv(report({"--compare", path("a.vesk"), path("b.vesk")}).out))
        EXPECT_NE(row[0], "t_scan");
}

TEST_F(Modes, CompareAsJsonAndItsFailures) {
    Output j = report({"--json", "--compare", path("a.vesk"), path("b.vesk")});
    ASSERT_EQ(j.status, 0);
    EXPECT_EQ(j.out.substr(0, 2), "{\n");
    EXPECT_NE(j.out.find("{\"quantity\": \"sagd_mGy\", \"layer\": null, \"a\": "), std::string::npos)
        << j.out;
    EXPECT_NE(j.out.find("{\"quantity\": \"depth_dose\", \"layer\": 12, \"a\": null, \"b\": "),
              std::string::npos);
    EXPECT_NE(j.out.find("\"difference_sigma\": null}"), std::string::npos);
    EXPECT_EQ(report({"--compare", path("a.vesk"), path("cut.vesk")}).status, 1);
    EXPECT_EQ(report({"--compare", path("a.vesk")}).status, 2);
    EXPECT_EQ(report({"--compare", path("a.vesk"), path("b.vesk"), path("plain.vesk")}).status, 2);
    // The file list of the report itself is unchanged by the modes.
    EXPECT_EQ(report({path("a.vesk")}).status, 0);
}

} // namespace
