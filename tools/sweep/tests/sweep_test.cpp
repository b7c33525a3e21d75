// kv-sweep: the grid, and whole sweeps through the program (resumed,
// sharded, shared by mpirun).
#include "grid.h"
#include "kv/test_support/work_dir.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kv::sweep;

namespace {

kv::formats::EquipmentRecord unit() {
    return {"Unit A", 65, 60, 7.5, 16, 6};
}

TEST(Grid, ARowTakesTheWorkbenchDefaultsForWhatItLeavesOut) {
    Grid g = parseGrid("kv,target,thickness_cm,glandular_percent\r\n28,Mo,4.5,50\r\n30,w,2,10\r\n", unit());
    ASSERT_EQ(g.rows.size(), 2u);
    EXPECT_TRUE(g.refused.empty());
    const Row& mo = g.rows[0];
    EXPECT_EQ(mo.line, 2);
    EXPECT_EQ(inputCells(mo, "7"),
              (std::vector<std::string>{"4.5", "50",         "Mo", "28", "mammography", "0.8", "0",  "0.03",
                                        "0",   "0",          "60", "16", "6",           "65",  "60", "60",
                                        "7.5", "1000000000", "",   "7"}));
    const Row& w = g.rows[1];
    EXPECT_EQ(w.target, kv::formats::TargetMaterial::Tungsten);
    EXPECT_EQ(w.spectrum.molybdenum, "0");
    EXPECT_EQ(w.spectrum.rhodium, "0.025");
}

TEST(Grid, EveryGivenColumnIsUsed) {
    Grid g =
        parseGrid("thickness_cm,glandular_percent,target,kv,method,be_mm,al_mm,mo_mm,rh_mm,ag_mm,air_cm,"
                  "target_angle,tilt,fid_cm,fcd_cm,fad_cm,angular_range,histories,sagd_sigma_percent,seed\n"
                  "3,30,W,32,Tomosynthesis,1,0.5,0,0,0.05,50,20,4,70,55,62,15,2e6,0.5,99\n",
                  unit());
    ASSERT_EQ(g.rows.size(), 1u) << (g.refused.empty() ? "" : g.refused[0].problem);
    EXPECT_EQ(inputCells(g.rows[0], "99"),
              (std::vector<std::string>{
                  "3",  "30", "W",  "32", "tomosynthesis", "1",   "0.5", "0", "0", "0.05", "50", "20", "4",
                  "70", "55", "62", "15", "2000000",       "0.5", "99"}));
    EXPECT_EQ(g.rows[0].seed, 99u);
}

TEST(Grid, BadRowsAreNamedByTheirLineAndTheOthersKept) {
    struct Case {
        std::string row, says;
    };
    for (const Case& c :
         {Case{"abc,50,Mo,28", "thickness_cm \"abc\" is not a number"},
          Case{"7,50,Mo,28", "thickness_cm 7 lies outside"}, Case{"-1,50,Mo,28", "lies outside"},
          Case{"inf,50,Mo,28", "not a number"}, Case{"4,45,Mo,28", "use 10, 20 .. 90"},
          Case{"4,50,Rh,28", "neither Mo nor W"}, Case{"4,50,Mo,", "kv is empty"},
          Case{"4,50,Mo,60", "kv 60 lies outside"}, Case{"4,50,Mo", "holds 3 values for 4 columns"},
          Case{"4,50,Mo,28,9", "holds 5 values"}}) {
        Grid g = parseGrid(
            "thickness_cm,glandular_percent,target,kv\n4,50,Mo,28\n\n" + c.row + "\n5,50,Mo,28\n", unit());
        EXPECT_EQ(g.rows.size(), 2u) << c.row;
        EXPECT_EQ(g.dataRows, 3) << c.row;
        ASSERT_EQ(g.refused.size(), 1u) << c.row;
        EXPECT_EQ(g.refused[0].line, 4) << c.row;
        EXPECT_NE(g.refused[0].problem.find(c.says), std::string::npos) << g.refused[0].problem;
    }
    Grid m = parseGrid("thickness_cm,glandular_percent,target,kv,method,seed,histories\n"
                       "4,50,Mo,28,ct,,\n4,50,Mo,28,,-3,\n4,50,Mo,28,,,0\n",
                       unit());
    ASSERT_EQ(m.refused.size(), 3u);
    EXPECT_NE(m.refused[0].problem.find("method \"ct\""), std::string::npos);
    EXPECT_NE(m.refused[1].problem.find("seed \"-3\""), std::string::npos);
    EXPECT_NE(m.refused[2].problem.find("histories 0 lies outside"), std::string::npos);
}

TEST(Grid, AnUnusableHeaderRefusesTheWholeGrid) {
    struct Case {
        std::string text, says;
    };
    for (const Case& c :
         {Case{"", "no header"}, Case{"thickness_cm,glandular_percent,target\n", "lacks the column kv"},
          Case{"thickness_cm,glandular_percent,target,kv,colour\n", "unknown column \"colour\""},
          Case{"thickness_cm,glandular_percent,target,kv,KV\n", "column kv twice"}}) {
        try {
            parseGrid(c.text, unit());
            ADD_FAILURE() << c.text;
        } catch (const GridError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(readGrid(fs::temp_directory_path(), unit()), GridError); // a folder
}

TEST(Grid, TheKeyFollowsEveryInput) {
    const std::string header = "thickness_cm,glandular_percent,target,kv,seed,fid_cm\n";
    Grid g = parseGrid(
        header + "4,50,Mo,28,,\n4,50,Mo,28,,65\n4,50,Mo,28,1,\n4,50,Mo,29,,\n4,60,Mo,28,,\n4.1,50,Mo,28,,\n",
        unit());
    ASSERT_EQ(g.rows.size(), 6u);
    EXPECT_EQ(rowKey(g.rows[0]), rowKey(g.rows[1])); // the default given explicitly is the same run
    EXPECT_EQ(resultStem(g.rows[0]), resultStem(g.rows[1]));
    for (size_t i = 2; i < g.rows.size(); ++i) {
        EXPECT_NE(rowKey(g.rows[i]), rowKey(g.rows[0])) << i;
        EXPECT_NE(resultStem(g.rows[i]), resultStem(g.rows[0])) << i;
    }
    EXPECT_EQ(resultStem(g.rows[0]).rfind("mammo-Mo-28kV-4.0cm-g50-", 0), 0u) << resultStem(g.rows[0]);
}

// --- the program ---------------------------------------------------------

using kv::test_support::readFile;
using kv::test_support::TempDir;

struct Output {
    int exitCode = -1;
    std::string out, err;
};

std::string sweepCommand(const fs::path& grid, const fs::path& out, const std::string& more = "") {
    return "'" + std::string(KV_RUN_DIR) + "/kv-sweep' '" + grid.string() + "' --out '" + out.string() +
           "' --data '" + std::string(KV_RUN_DIR) + "' --threads 1 " + more;
}

Output run(const TempDir& d, const std::string& command) {
    const fs::path o = d.path() / "stdout.txt", e = d.path() / "stderr.txt";
    int status = std::system((command + " > '" + o.string() + "' 2> '" + e.string() + "'").c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(o), readFile(e)};
}

// Four rows, line 4 unusable; small runs with fixed seeds.
const std::string kGrid = "thickness_cm, glandular_percent, target, kv, histories, seed, method\r\n"
                          "2, 50, Mo, 28, 40000, 11,\r\n"
                          "4, 50, Mo, 28, 40000, 12,\r\n"
                          "3, 45, Mo, 28, 40000, 13,\r\n"
                          "2, 20, W, 30, 40000, 14, tomosynthesis\r\n";

std::vector<std::string> tableLines(const fs::path& dir) {
    std::vector<std::string> lines;
    std::string all = readFile(dir / "table.csv"), l;
    for (char c : all)
        if (c == '\n')
            lines.push_back(l), l.clear();
        else if (c != '\r')
            l += c;
    return lines;
}

TEST(SweepProgram, ABadRowIsReportedAndAKilledSweepGoesOnWhereItStopped) {
    TempDir d;
    const fs::path grid = d.path() / "grid.csv", out = d.path() / "out";
    std::ofstream(grid, std::ios::binary) << kGrid;
    // Killed once the first row's result is in: that row is not run again.
    pid_t child = ::fork();
    if (child == 0) {
        std::string cmd = sweepCommand(grid, out) + " > /dev/null 2>&1";
        ::execl("/bin/sh", "sh", "-c", ("exec " + cmd).c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    auto firstDone = [&] {
        std::error_code ec;
        if (!fs::is_directory(out, ec)) return false;
        for (const auto& e : fs::directory_iterator(out, ec))
            if (e.path().extension() == ".row") return true;
        return false;
    };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!firstDone() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(firstDone());
    EXPECT_FALSE(fs::exists(out / "table.csv"));

    Output r = run(d, sweepCommand(grid, out));
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err; // a row of the grid has no result
    EXPECT_NE(r.err.find("Line 4 of the grid is not run: glandular_percent 45"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("line 2: mammo-Mo-28kV-2.0cm-g50-"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("already holds this row's result"), std::string::npos) << r.out;
    std::vector<std::string> lines = tableLines(out);
    ASSERT_EQ(lines.size(), 4u) << r.out << r.err;
    EXPECT_EQ(lines[0],
              "thickness_cm,glandular_percent,target,kv,method,be_mm,al_mm,mo_mm,rh_mm,ag_mm,air_cm,target_"
              "angle,tilt,"
              "fid_cm,fcd_cm,fad_cm,angular_range,histories,sagd_sigma_percent,seed,hvl1_mm_al,mean_kev,sagd,"
              "sagd_sigma_percent,dose100,dose100_sigma_percent,mean_percentage,histories,file");
    EXPECT_EQ(lines[1].rfind("2,50,Mo,28,mammography,", 0), 0u) << lines[1];
    EXPECT_EQ(lines[3].rfind("2,20,W,30,tomosynthesis,", 0), 0u) << lines[3];
    // Each row's result file is there and loads as the workbench loads it.
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string file = lines[i].substr(lines[i].rfind(',') + 1);
        EXPECT_TRUE(fs::is_regular_file(out / file)) << file;
        EXPECT_NE(lines[i].find(",40000," + file), std::string::npos) << lines[i];
    }
    EXPECT_TRUE(fs::is_regular_file(out / "sagd.png"));
    EXPECT_EQ(readFile(out / "sagd.png").substr(1, 3), "PNG");
    EXPECT_FALSE(fs::exists(out / ".work")); // no row's folder left behind, the killed run's neither

    // Run once more: nothing left to do, the same table.
    std::string before = readFile(out / "table.csv");
    Output again = run(d, sweepCommand(grid, out));
    size_t kept = 0;
    for (size_t at = again.out.find("already holds"); at != std::string::npos;
         at = again.out.find("already holds", at + 1))
        ++kept;
    EXPECT_EQ(kept, 3u) << again.out;
    EXPECT_EQ(readFile(out / "table.csv"), before);
}

TEST(SweepProgram, ShardsMergedGiveTheTableOfOneRun) {
    TempDir d;
    const fs::path grid = d.path() / "grid.csv";
    std::ofstream(grid, std::ios::binary)
        << "thickness_cm,glandular_percent,target,kv,histories,seed,sagd_sigma_percent\n"
           "2,50,Mo,28,300000,1,3\n3,50,Mo,28,30000,2,\n2,30,W,30,30000,3,\n";
    Output whole = run(d, sweepCommand(grid, d.path() / "whole"));
    ASSERT_EQ(whole.exitCode, 0) << whole.out << whole.err;
    for (const char* shard : {"1/2", "2/2"}) {
        Output s = run(d, sweepCommand(grid, d.path() / "shards", std::string("--shard ") + shard));
        ASSERT_EQ(s.exitCode, 0) << s.out << s.err;
        EXPECT_FALSE(fs::exists(d.path() / "shards" / "table.csv"));
    }
    Output incomplete = run(d, sweepCommand(grid, d.path() / "half", "--shard 2/2"));
    ASSERT_EQ(incomplete.exitCode, 0);
    Output mergedHalf = run(d, sweepCommand(grid, d.path() / "half", "--merge"));
    EXPECT_EQ(mergedHalf.exitCode, 1);
    EXPECT_NE(mergedHalf.err.find("Line 2 has no result"), std::string::npos) << mergedHalf.err;
    Output merged = run(d, sweepCommand(grid, d.path() / "shards", "--merge"));
    ASSERT_EQ(merged.exitCode, 0) << merged.out << merged.err;
    EXPECT_EQ(tableLines(d.path() / "shards").size(), 4u);
    EXPECT_EQ(readFile(d.path() / "shards" / "table.csv"), readFile(d.path() / "whole" / "table.csv"));
#ifdef KV_MPIEXEC
    Output shared =
        run(d, "OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 '" + std::string(KV_MPIEXEC) +
                   "' --oversubscribe -np 2 " + sweepCommand(grid, d.path() / "mpi"));
    ASSERT_EQ(shared.exitCode, 0) << shared.out << shared.err;
    EXPECT_EQ(readFile(d.path() / "mpi" / "table.csv"), readFile(d.path() / "whole" / "table.csv"));
#endif
}

TEST(SweepProgram, OptionsAndFilesThatCannotBeUsedAreRefused) {
    TempDir d;
    const fs::path grid = d.path() / "grid.csv";
    std::ofstream(grid, std::ios::binary) << "thickness_cm,glandular_percent,target,kv\n2,50,Mo,28\n";
    std::ofstream(d.path() / "file", std::ios::binary) << "x";
    struct Case {
        std::string command;
        int code;
        std::string says;
    };
    const std::string prog = "'" + std::string(KV_RUN_DIR) + "/kv-sweep' ";
    for (const Case& c : {
             Case{prog + "'" + grid.string() + "'", 2, "no --out folder"},
             Case{prog + "--out x", 2, "no grid file"},
             Case{sweepCommand(grid, d.path() / "o", "--shard 0/2"), 2, "1 <= I <= N"},
             Case{sweepCommand(grid, d.path() / "o", "--shard 3/2"), 2, "1 <= I <= N"},
             Case{sweepCommand(grid, d.path() / "o", "--shard 1/2 --merge"), 2, "leave --shard out"},
             Case{sweepCommand(grid, d.path() / "o", "--fast"), 2, "unknown option"},
             Case{sweepCommand(d.path() / "none.csv", d.path() / "o"), 1, "none.csv: is not a readable file"},
             Case{sweepCommand(grid, d.path() / "file"), 1, "not a folder"},
             Case{prog + "'" + grid.string() + "' --out '" + (d.path() / "o").string() +
                      "' --data /nonexistent",
                  1, "equipment.dat"},
         }) {
        Output r = run(d, c.command);
        EXPECT_EQ(r.exitCode, c.code) << c.command << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.command << "\n" << r.err;
    }
}

} // namespace
