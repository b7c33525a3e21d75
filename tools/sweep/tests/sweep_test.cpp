// kv-sweep: the grid, and whole sweeps through the program (resumed,
// sharded, shared by mpirun).
#include "kv/common/content_hash.h"
#include "kv/common/temporaries.h"
#include "kv/common/version.h"
#include "kv/formats/result_file.h"
#include "kv/spectrum/model/beam_quality.h"
#include "kv/spectrum/model/measured_source.h"
#include "kv/spectrum/model/physical_data.h"
#include "kv/sweep/factors.h"
#include "kv/sweep/grid.h"
#include "kv/sweep/plot.h"
#include "kv/test_support/work_dir.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kv::sweep;
namespace factors = kv::factors;
using kv::test_support::readFile;
using kv::test_support::TempDir;

namespace {

kv::formats::EquipmentRecord unit() {
    return {"Unit A", 65, 60, 7.5, 16, 6};
}

const kv::texts::SweepTexts& en = kv::texts::englishSweepTexts;

TEST(Grid, ARowTakesTheWorkbenchDefaultsForWhatItLeavesOut) {
    Grid g =
        parseGrid("kv,target,thickness_cm,glandular_percent\r\n28,Mo,4.5,50\r\n30,w,2,10\r\n", unit(), en);
    ASSERT_EQ(g.rows.size(), 2u);
    EXPECT_TRUE(g.refused.empty());
    const factors::Row& mo = g.rows[0];
    EXPECT_EQ(mo.line, 2);
    EXPECT_EQ(factors::inputCells(mo, "7"),
              (std::vector<std::string>{
                  "4.5", "50", "Mo", "28",  "mammography", "0.8", "0", "0.03",      "0", "0", "60", "16", "6",
                  "65",  "60", "60", "7.5", "1000000000",  "",    "7", "workbench", "",  "",  "",   "",   "",
                  "",    "",   ""}));
    const factors::Row& w = g.rows[1];
    EXPECT_EQ(w.target, kv::formats::TargetMaterial::Tungsten);
    EXPECT_EQ(w.spectrum.molybdenum, "0");
    EXPECT_EQ(w.spectrum.rhodium, "0.025");
}

TEST(Grid, EveryGivenColumnIsUsed) {
    Grid g =
        parseGrid("thickness_cm,glandular_percent,target,kv,method,be_mm,al_mm,mo_mm,rh_mm,ag_mm,air_cm,"
                  "target_angle,tilt,fid_cm,fcd_cm,fad_cm,angular_range,histories,sagd_sigma_percent,seed\n"
                  "3,30,W,32,Tomosynthesis,1,0.5,0,0,0.05,50,20,4,70,55,62,15,2e6,0.5,99\n",
                  unit(), en);
    ASSERT_EQ(g.rows.size(), 1u) << (g.refused.empty() ? "" : g.refused[0].problem);
    EXPECT_EQ(
        factors::inputCells(g.rows[0], "99"),
        (std::vector<std::string>{
            "3",  "30", "W",  "32", "tomosynthesis", "1",   "0.5", "0",         "0", "0.05", "50", "20", "4",
            "70", "55", "62", "15", "2000000",       "0.5", "99",  "workbench", "",  "",     "",   "",   "",
            "",   "",   ""}));
    EXPECT_EQ(g.rows[0].seed, 99u);
}

TEST(Grid, ProtocolRowsTakeAnyGlandularityUpToElevenCentimetres) {
    Grid g = parseGrid("thickness_cm,glandular_percent,target,kv,model,adipose_mm,plates\n"
                       "9.5,37.5,Mo,30,protocol,,\n"
                       "2,0,W,28,Protocol,4,full\n"
                       "4,100,Mo,28,protocol,,\n",
                       unit(), en);
    ASSERT_EQ(g.rows.size(), 3u) << (g.refused.empty() ? "" : g.refused[0].problem);
    const factors::Row& r = g.rows[0];
    EXPECT_TRUE(r.protocol);
    EXPECT_EQ(r.adiposeMm, 5.0);
    EXPECT_EQ(r.plates, kv::formats::PlateMode::Absorbing);
    const std::vector<std::string> cells = factors::inputCells(r, "");
    EXPECT_EQ(std::vector<std::string>(cells.begin() + 20, cells.begin() + 24),
              (std::vector<std::string>{"protocol", "5", "absorbing", ""}));
    EXPECT_EQ(g.rows[1].plates, kv::formats::PlateMode::Full);
    EXPECT_EQ(g.rows[1].adiposeMm, 4.0);
    // The row's breast goes into Geometry.dat over the data folder's plates.
    kv::formats::Geometry plates;
    plates.paddleMm = 3;
    const kv::formats::Geometry geo = factors::rowGeometry(r, plates);
    EXPECT_EQ(geo.model, kv::formats::BreastModel::Protocol);
    EXPECT_EQ(geo.glandularPercent, 37.5);
    EXPECT_EQ(geo.paddleMm, 3.0);
    EXPECT_EQ(
        factors::rowGeometry(
            parseGrid("thickness_cm,glandular_percent,target,kv\n4,50,Mo,28\n", unit(), en).rows[0], plates)
            .model,
        kv::formats::BreastModel::Workbench);
    EXPECT_NE(factors::resultStem(r).find("protocol-Mo-30kV-9.5cm-g37.5-"), std::string::npos)
        << factors::resultStem(r);
}

TEST(Grid, ANamedFilterReplacesTheTargetsOwn) {
    Grid g = parseGrid("thickness_cm,glandular_percent,target,kv,mo_mm,rh_mm,ag_mm,al_mm\n"
                       "4,50,Mo,28,,0.025,,\n"
                       "4,50,W,28,,,0.05,\n"
                       "4,50,Mo,28,,,,0.5\n"
                       "4,50,W,28,,,,\n"
                       "4,50,rh,28,,,,\n"
                       "4,50,Rh,28,,,0.05,\n"
                       "4,50,RH,28,,0,,1\n",
                       unit(), en);
    ASSERT_EQ(g.rows.size(), 7u) << (g.refused.empty() ? "" : g.refused[0].problem);
    struct Want {
        kv::formats::TargetMaterial target;
        const char *be, *mo, *rh, *ag, *name;
    };
    using kv::formats::TargetMaterial;
    // The screen's start values after a click on the target: rhodium has no Be of its own.
    const Want want[] = {{TargetMaterial::Molybdenum, "0.8", "0", "0.025", "0", "Rh 0.025"},
                         {TargetMaterial::Tungsten, "0.8", "0", "0", "0.05", "Ag 0.05"},
                         {TargetMaterial::Molybdenum, "0.8", "0.03", "0", "0", "Mo 0.03 + Al 0.5"},
                         {TargetMaterial::Tungsten, "0.8", "0", "0.025", "0", "Rh 0.025"},
                         {TargetMaterial::Rhodium, "0", "0", "0.025", "0", "Rh 0.025"},
                         {TargetMaterial::Rhodium, "0", "0", "0", "0.05", "Ag 0.05"},
                         {TargetMaterial::Rhodium, "0", "0", "0", "0", "Al 1"}};
    for (size_t i = 0; i < std::size(want); ++i) {
        const kv::formats::SpectrumFields& f = g.rows[i].spectrum;
        EXPECT_EQ(g.rows[i].target, want[i].target) << i;
        EXPECT_EQ(f.beryllium, want[i].be) << i;
        EXPECT_EQ(f.molybdenum, want[i].mo) << i;
        EXPECT_EQ(f.rhodium, want[i].rh) << i;
        EXPECT_EQ(f.silver, want[i].ag) << i;
        EXPECT_EQ(factors::filterName(g.rows[i]), want[i].name) << i;
    }
    EXPECT_EQ(factors::inputCells(g.rows[4], "")[2], "Rh");
    EXPECT_EQ(factors::resultStem(g.rows[4]).rfind("mammo-Rh-28kV-4.0cm-g50-", 0), 0u)
        << factors::resultStem(g.rows[4]);
}

// A measured spectrum's two columns, a comment with its tube voltage.
std::string measuredText(const std::string& kv, double scale = 1) {
    std::string text = "# tube voltage: " + kv + " kV\n# energy fluence\n";
    for (int i = 1; i <= 160; ++i)
        text += std::to_string(0.25 * i) + "\t" + std::to_string(i < 20 ? 0.0 : scale * (160 - i)) + "\n";
    return text;
}

TEST(Grid, AMeasuredSpectrumRowStartsUnfilteredAndCountsByItsContent) {
    TempDir d;
    kv::test_support::writeFile(d.path() / "rh28.dat", measuredText("28"));
    kv::test_support::writeFile(d.path() / "copy.dat", measuredText("28"));
    kv::test_support::writeFile(d.path() / "other.dat", measuredText("28", 2));
    const fs::path grid = d.path() / "grid.csv";
    kv::test_support::writeFile(grid, "thickness_cm,glandular_percent,target,kv,spectrum_file,rh_mm\n"
                                      "4,50,Rh,,rh28.dat,\n"        // kv from the file's comment
                                      "4,50,Rh,26,rh28.dat,0.025\n" // a kv given wins
                                      "4,50,Rh,,copy.dat,\n"        // the same content by another name
                                      "4,50,Rh,,other.dat,\n"       // other content
                                      "4,50,Rh,28,,\n");            // the model
    const Grid g = readGrid(grid, unit(), en);
    ASSERT_EQ(g.rows.size(), 5u) << (g.refused.empty() ? "" : g.refused[0].problem);
    const factors::Row& m = g.rows[0];
    ASSERT_TRUE(m.measured);
    EXPECT_EQ(m.spectrumFile, "rh28.dat");
    EXPECT_EQ(m.spectrum.tubeVoltage, "28");
    EXPECT_EQ(g.rows[1].spectrum.tubeVoltage, "26");
    EXPECT_EQ(g.rows[1].spectrum.rhodium, "0.025");
    // The tube's own window and air are in the measurement: nothing is added unless named.
    for (const std::string* f : {&m.spectrum.beryllium, &m.spectrum.aluminum, &m.spectrum.molybdenum,
                                 &m.spectrum.rhodium, &m.spectrum.silver, &m.spectrum.airLayer})
        EXPECT_EQ(*f, "0");
    EXPECT_EQ(factors::inputCells(m, "")[23], "rh28.dat");
    EXPECT_EQ(factors::rowKey(m), factors::rowKey(g.rows[2]));
    EXPECT_NE(factors::rowKey(m), factors::rowKey(g.rows[3]));
    EXPECT_NE(factors::rowKey(m), factors::rowKey(g.rows[4]));
    EXPECT_EQ(factors::resultStem(m).rfind("mammo-measured-Rh-28kV-", 0), 0u) << factors::resultStem(m);
    // The model's rows keep the keys they had before the column was there.
    EXPECT_EQ(factors::rowKey(g.rows[4]).find("spectrum"), std::string::npos) << factors::rowKey(g.rows[4]);
    EXPECT_FALSE(g.rows[4].measured);
    EXPECT_EQ(g.rows[4].spectrum.airLayer, "60");
}

TEST(Grid, AMeasuredSpectrumThatCannotBeUsedRefusesItsRowWithFileLineAndReason) {
    TempDir d;
    struct Case {
        const char* name;
        std::string text, kv, says;
    };
    const Case cases[] = {
        {"not a number", "1 2\n1.5 x\n", "28", "holds \"x\" in line 2, which is not a number"},
        {"energies falling", "1 2\n2 3\n1.5 4\n", "28", "holds the energy 1.5 keV in line 3"},
        {"negative fluence", "# c\n1 2\n2 -3\n", "28", "negative fluence -3 in line 3"},
        {"three columns", "1 2 3\n", "28", "holds 3 columns in line 1"},
        {"nothing below the tube voltage", "30 1\n31 2\n", "20", "20"},
        {"no tube voltage anywhere", "1 2\n2 3\n", "", "kv is empty"},
        {"no such file", "", "28", "missing.dat"},
    };
    std::string grid = "thickness_cm,glandular_percent,target,kv,spectrum_file\n";
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string name = i + 1 == std::size(cases) ? "missing.dat" : "s" + std::to_string(i) + ".dat";
        if (i + 1 < std::size(cases)) kv::test_support::writeFile(d.path() / name, cases[i].text);
        grid += "4,50,Rh," + cases[i].kv + "," + name + "\n";
    }
    kv::test_support::writeFile(d.path() / "grid.csv", grid);
    const Grid g = readGrid(d.path() / "grid.csv", unit(), en);
    EXPECT_TRUE(g.rows.empty());
    ASSERT_EQ(g.refused.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(g.refused[i].line, static_cast<int>(i) + 2);
        EXPECT_NE(g.refused[i].problem.find(cases[i].says), std::string::npos) << g.refused[i].problem;
        if (i < 5) {
            EXPECT_NE(g.refused[i].problem.find("s" + std::to_string(i) + ".dat"), std::string::npos)
                << g.refused[i].problem;
        }
    }
}

TEST(Grid, BadRowsAreNamedByTheirLineAndTheOthersKept) {
    struct Case {
        std::string row, says;
    };
    for (const Case& c :
         {Case{"abc,50,Mo,28", "thickness_cm \"abc\" is not a number"},
          Case{"7,50,Mo,28", "thickness_cm 7 lies outside"}, Case{"-1,50,Mo,28", "lies outside"},
          Case{"inf,50,Mo,28", "not a number"}, Case{"4,45,Mo,28", "use 10, 20 .. 90"},
          Case{"4,50,Ru,28", "is not Mo, W or Rh"}, Case{"4,50,Mo,", "kv is empty"},
          Case{"4,50,Mo,60", "kv 60 lies outside"}, Case{"4,50,W,10", "kv 10 lies outside 15 to 50"},
          Case{"4,50,Mo,14.9", "kv 14.9 lies outside 15 to 50"},
          Case{"4,50,Mo", "holds 3 values for 4 columns"}, Case{"4,50,Mo,28,9", "holds 5 values"}}) {

        Grid g =
            parseGrid("thickness_cm,glandular_percent,target,kv\n4,50,Mo,28\n\n" + c.row + "\n5,50,Mo,28\n",
                      unit(), en);
        EXPECT_EQ(g.rows.size(), 2u) << c.row;
        EXPECT_EQ(g.dataRows, 3) << c.row;
        ASSERT_EQ(g.refused.size(), 1u) << c.row;
        EXPECT_EQ(g.refused[0].line, 4) << c.row;
        EXPECT_NE(g.refused[0].problem.find(c.says), std::string::npos) << g.refused[0].problem;
    }
    Grid m =
        parseGrid("thickness_cm,glandular_percent,target,kv,method,seed,histories,model,adipose_mm,plates\n"
                  "4,50,Mo,28,ct,,,,,\n4,50,Mo,28,,-3,,,,\n4,50,Mo,28,,,0,,,\n"
                  "4,50,Mo,28,,,,box,,\n4,45,Mo,28,,,,,3,\n11.5,50,Mo,28,,,,protocol,,\n"
                  "2,50,Mo,28,,,,protocol,10,\n4,101,Mo,28,,,,protocol,,\n4,50,Mo,28,,,,protocol,,glass\n"
                  "4,50,Mo,28,,,,,,full\n",
                  unit(), en);
    const char* says[] = {"method \"ct\"",
                          "seed \"-3\"",
                          "histories 0 lies outside",
                          "model \"box\" is neither",
                          "adipose_mm belongs to model protocol",
                          "thickness_cm 11.5 lies outside 2 to 11",
                          "leave no inner region",
                          "glandular_percent 101 lies outside 0 to 100",
                          "plates \"glass\" is neither",
                          "plates belongs to model protocol"};
    ASSERT_EQ(m.refused.size(), std::size(says));
    for (size_t i = 0; i < std::size(says); ++i)
        EXPECT_NE(m.refused[i].problem.find(says[i]), std::string::npos) << m.refused[i].problem;
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
            parseGrid(c.text, unit(), en);
            ADD_FAILURE() << c.text;
        } catch (const GridError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(readGrid(fs::temp_directory_path(), unit(), en), GridError); // a folder
}

// A grid is read a line at a time and refused at its limits, so that a huge one
// cannot fill the memory; the lines keep their numbers whatever their ends.
TEST(Grid, AGridBeyondItsLimitsIsRefusedAndTheRestIsReadLineByLine) {
    TempDir d;
    const std::string head = "thickness_cm,glandular_percent,target,kv\n";
    auto rows = [](size_t n, const std::string& row) {
        std::string s;
        for (size_t i = 0; i < n; ++i)
            s += row;
        return s;
    };
    struct Case {
        const char* name;
        std::string text;
        std::string says; // empty: read
    };
    const Case cases[] = {
        // Refused rows count: a row of one cell is a data row all the same.
        {"the row limit", head + rows(kMaxGridRows, "1\n"), ""},
        {"one row beyond", head + rows(kMaxGridRows + 1, "1\n"), "holds more than 10000 rows"},
        {"beyond the size", head + std::string(kMaxGridBytes, '\n'), "is larger than 16 MB"},
        {"CR LF, blank lines, no end at the last", "\xEF\xBB\xBF" + head + "\r\n2,50,Mo,28\r\n\r\n4,50,Mo,28",
         ""},
    };
    for (const Case& c : cases) {
        const fs::path grid = d.path() / "grid.csv";
        kv::test_support::writeFile(grid, c.text);
        try {
            const Grid g = readGrid(grid, unit(), en);
            EXPECT_TRUE(c.says.empty()) << c.name;
            const Grid same = parseGrid(c.text, unit(), en);
            EXPECT_EQ(g.dataRows, same.dataRows) << c.name;
            ASSERT_EQ(g.rows.size(), same.rows.size()) << c.name;
            for (size_t i = 0; i < g.rows.size(); ++i)
                EXPECT_EQ(g.rows[i].line, same.rows[i].line) << c.name;
        } catch (const GridError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << c.name << ": " << e.what();
            EXPECT_FALSE(c.says.empty()) << c.name;
        }
    }
    const Grid ends = readGrid(d.path() / "grid.csv", unit(), en);
    ASSERT_EQ(ends.rows.size(), 2u);
    EXPECT_EQ(ends.rows[0].line, 3);
    EXPECT_EQ(ends.rows[1].line, 5);
}

// Both editions word for word: the English as it always read, the Japanese
// with the column names and values as typed.
TEST(Grid, FaultsAreWordedInTheEditionPassedIn) {
    const auto& ja = kv::texts::japaneseSweepTexts;
    struct Case {
        std::string row, english, japanese;
    };
    for (const Case& c : {
             Case{"4,50,Mo,abc,", "kv \"abc\" is not a number", "kv の \"abc\" は数値ではありません"},
             Case{"4,50,W,10,", "kv 10 lies outside 15 to 50", "kv の 10 は 15 から 50 の範囲外です"},
             Case{"4,50,Ru,28,", "target \"Ru\" is not Mo, W or Rh",
                  "target の \"Ru\" は Mo、W、Rh のいずれでもありません"},
             Case{"4,50,Mo,28,box", "model \"box\" is neither workbench nor protocol",
                  "model の \"box\" は workbench でも protocol でもありません"},
             Case{"4,,Mo,28,", "glandular_percent is empty", "glandular_percent が空欄です"},
             Case{"4,50,Mo", "holds 3 values for 5 columns", "列は 5 個ですが、値が 3 個あります"},
         }) {
        const std::string text = "thickness_cm,glandular_percent,target,kv,model\n" + c.row + "\n";
        for (const auto& [t, says] : {std::pair{&en, c.english}, std::pair{&ja, c.japanese}}) {
            Grid g = parseGrid(text, unit(), *t);
            ASSERT_EQ(g.refused.size(), 1u) << c.row;
            EXPECT_EQ(g.refused[0].problem, says) << c.row;
        }
    }
    for (const Case& c : {Case{"", "holds no header row", "見出し行がありません"},
                          Case{"kv,colour", "line 1 names an unknown column \"colour\"",
                               "1 行目に未知の列名 \"colour\" があります"},
                          Case{"thickness_cm,glandular_percent,target", "the header row lacks the column kv",
                               "見出し行に列 kv がありません"}}) {
        for (const auto& [t, says] : {std::pair{&en, c.english}, std::pair{&ja, c.japanese}}) {
            try {
                parseGrid(c.row + "\n", unit(), *t);
                ADD_FAILURE() << c.row;
            } catch (const GridError& e) {
                EXPECT_EQ(e.what(), says) << c.row;
            }
        }
    }
}

TEST(Grid, TheKeyFollowsEveryInput) {
    const std::string header = "thickness_cm,glandular_percent,target,kv,seed,fid_cm\n";
    Grid g = parseGrid(
        header + "4,50,Mo,28,,\n4,50,Mo,28,,65\n4,50,Mo,28,1,\n4,50,Mo,29,,\n4,60,Mo,28,,\n4.1,50,Mo,28,,\n",
        unit(), en);
    ASSERT_EQ(g.rows.size(), 6u);
    EXPECT_EQ(factors::rowKey(g.rows[0]),
              factors::rowKey(g.rows[1])); // the default given explicitly is the same run
    EXPECT_EQ(factors::resultStem(g.rows[0]), factors::resultStem(g.rows[1]));
    for (size_t i = 2; i < g.rows.size(); ++i) {
        EXPECT_NE(factors::rowKey(g.rows[i]), factors::rowKey(g.rows[0])) << i;
        EXPECT_NE(factors::resultStem(g.rows[i]), factors::resultStem(g.rows[0])) << i;
    }
    EXPECT_EQ(factors::resultStem(g.rows[0]).rfind("mammo-Mo-28kV-4.0cm-g50-", 0), 0u)
        << factors::resultStem(g.rows[0]);
}

// The scan's columns: a tomosynthesis row's own, checked as Geometry.dat checks them.
TEST(Grid, ScanColumnsOfTomosynthesisRows) {
    const std::string header = "thickness_cm,glandular_percent,target,kv,method,model,projections,projection_"
                               "loading,projection_angle,"
                               "rotation_axis_cm\n";
    Grid g = parseGrid(header + "4,50,Mo,28,tomosynthesis,protocol,5,1 1 2 1 1,,0\n"
                                "4,50,Mo,28,tomosynthesis,protocol,,,-20,2.5\n"
                                "4,50,Mo,28,tomosynthesis,protocol,,,,\n",
                       unit(), en);
    ASSERT_EQ(g.rows.size(), 3u) << (g.refused.empty() ? "" : g.refused[0].problem);
    EXPECT_EQ(g.rows[0].projections, 5);
    EXPECT_EQ(g.rows[0].projectionLoading, (std::vector<double>{1, 1, 2, 1, 1}));
    EXPECT_EQ(g.rows[0].rotationAxis, 0.0);
    EXPECT_EQ(g.rows[1].projectionAngle, -20.0);
    EXPECT_EQ(factors::inputCells(g.rows[0], "")[25], "1 1 2 1 1");
    const kv::formats::Geometry geo = factors::rowGeometry(g.rows[1], kv::formats::Geometry{});
    EXPECT_EQ(geo.projectionAngle, -20.0);
    EXPECT_EQ(geo.rotationAxisCm, 2.5);
    // A row without the scan's columns keeps the key rows stored before them had.
    EXPECT_EQ(factors::rowKey(g.rows[2]).find("projection"), std::string::npos);
    EXPECT_NE(factors::rowKey(g.rows[0]), factors::rowKey(g.rows[2]));
    EXPECT_NE(factors::rowKey(g.rows[1]), factors::rowKey(g.rows[2]));

    struct Bad {
        const char* cells;
        const char* says;
    };
    for (const Bad& b : {
             Bad{"tomosynthesis,protocol,1,,,", "projections 1 is neither 0"},
             Bad{"tomosynthesis,protocol,41,,,", "projections 41"},
             Bad{"tomosynthesis,protocol,2.5,,,", "projections 2.5"},
             Bad{"tomosynthesis,protocol,3,1 1,,", "projection_loading \"1 1\" is not one share"},
             Bad{"tomosynthesis,protocol,2,0 0,,", "projection_loading \"0 0\""},
             Bad{"tomosynthesis,protocol,2,1 -1,,", "projection_loading \"1 -1\""},
             Bad{"tomosynthesis,protocol,,1,,", "for each of the 0 projections"},
             Bad{"tomosynthesis,protocol,,,61,", "projection_angle 61 lies outside -60 to 60"},
             Bad{"tomosynthesis,protocol,9,,5,", "projection_angle 5 is a single projection"},
             Bad{"tomosynthesis,protocol,,,,-1", "rotation_axis_cm -1 lies outside 0"},
             Bad{"tomosynthesis,protocol,,,,65",
                 "rotation_axis_cm 65 lies at or above the focus (fid_cm 65)"},
             Bad{"mammography,protocol,,,10,", "projection_angle belongs to method tomosynthesis"},
         }) {
        const Grid bad = parseGrid(header + "4,50,Mo,28," + b.cells + "\n", unit(), en);
        ASSERT_EQ(bad.refused.size(), 1u) << b.cells;
        EXPECT_NE(bad.refused[0].problem.find(b.says), std::string::npos) << bad.refused[0].problem;
        const Grid ja =
            parseGrid(header + "4,50,Mo,28," + b.cells + "\n", unit(), kv::texts::japaneseSweepTexts);
        ASSERT_EQ(ja.refused.size(), 1u);
        EXPECT_NE(ja.refused[0].problem, bad.refused[0].problem) << "the Japanese edition's words";
    }
}

// t and T from made-up rows: each over the 0 deg projection of the same breast and beam, whatever the
// rotation axis and range; T from the trailer beside it.
TEST(Factors, TAndBigTOverTheZeroDegreeRow) {
    const std::string header =
        "thickness_cm,glandular_percent,target,kv,method,model,projections,projection_angle,rotation_axis_cm,"
        "angular_range\n";
    Grid g = parseGrid(
        header + "4,50,Mo,28,tomosynthesis,protocol,,0,,\n"     // the reference
                 "4,50,Mo,28,tomosynthesis,protocol,,20,,\n"    // t
                 "4,50,Mo,28,tomosynthesis,protocol,,-20,0,\n"  // t, another axis
                 "4,50,Mo,28,tomosynthesis,protocol,9,,,12.5\n" // T and T_trailer
                 "4,50,Mo,28,tomosynthesis,protocol,,,,25\n"    // continuous: T
                 "6,50,Mo,28,tomosynthesis,protocol,,20,,\n"    // over the mammography row below
                 "4,50,Mo,28,,protocol,,,,\n" // mammography: none, and no reference where a 0 deg row is
                 "6,50,Mo,28,,protocol,,,,\n",
        unit(), en);
    ASSERT_EQ(g.rows.size(), 8u);
    const double mgd[] = {0.20, 0.18, 0.182, 0.19, 0.194, 0.15, 0.2, 0.16};
    std::vector<FactorRow> rows;
    for (size_t i = 0; i < 8; ++i) {
        factors::RowFactors f;
        f.mgd = mgd[i], f.mgdSigmaPercent = i == 0 ? 0.3 : 0.4, f.hvl1Paddle = 0.35;
        if (i == 3) f.tScan = 0.951, f.tScanSigmaPercent = 0.2;
        rows.push_back({g.rows[i], f});
    }
    const std::vector<FactorLine> l = conversionFactors(rows);
    ASSERT_EQ(l.size(), 8u);
    EXPECT_EQ(l[0].t, 1.0);
    EXPECT_NEAR(*l[1].t, 0.9, 1e-12);
    EXPECT_NEAR(*l[1].tSigmaPercent, 0.5, 1e-12);
    EXPECT_NEAR(*l[2].t, 0.91, 1e-12);
    EXPECT_FALSE(l[1].bigT);
    EXPECT_NEAR(*l[3].bigT, 0.95, 1e-12);
    EXPECT_EQ(l[3].trailerT, 0.951);
    EXPECT_NEAR(*l[4].bigT, 0.97, 1e-12);
    EXPECT_FALSE(l[4].trailerT);
    EXPECT_NEAR(*l[5].t, 0.15 / 0.16, 1e-12);
    EXPECT_FALSE(l[6].t || l[6].bigT);
    EXPECT_FALSE(l[7].t || l[7].bigT);
    // t.png: the single projections, one curve per thickness (two axes here: named).
    const std::vector<PlotPoint> points = tPlotPoints(l);
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[1].x, 20.0);
    EXPECT_NE(points[1].curve.find("4 cm"), std::string::npos);
    EXPECT_NE(points[1].curve, points[2].curve);

    TempDir d;
    writeFactorsFile(d.path(), "factors.csv", l);
    const std::string text = kv::test_support::readFile(d.path() / "factors.csv");
    EXPECT_NE(text.find(",tomosynthesis,9,,5,,,0.9500,0.500,0.9510,0.200,\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(",tomosynthesis,1,20,5,0.9000,0.500,,,,,\r\n"), std::string::npos) << text;
}

// The rim round the protocol breast's edge: its own column, a row without it
// keeping the key (and so the stored result) it had before the column, and
// t only over the 0 deg row of the same rim.
TEST(Grid, TheAdiposeRimColumnAndTheRowsWithoutIt) {
    const std::string header = "thickness_cm,glandular_percent,target,kv,method,model,projection_angle\n";
    Grid before = parseGrid(header + "4,50,Mo,28,tomosynthesis,protocol,20\n", unit(), en);
    ASSERT_EQ(before.rows.size(), 1u);
    // The stem a stored sweep holds for this row (its key as before the column).
    EXPECT_EQ(factors::resultStem(before.rows[0]), "tomo-protocol-Mo-28kV-4.0cm-g50-f869a485cdb8");
    Grid g =
        parseGrid("thickness_cm,glandular_percent,target,kv,method,model,projection_angle,adipose_rim_mm\n"
                  "4,50,Mo,28,tomosynthesis,protocol,20,\n"
                  "4,50,Mo,28,tomosynthesis,protocol,20,0\n"
                  "4,50,Mo,28,tomosynthesis,protocol,20,5\n"
                  "4,50,Mo,28,tomosynthesis,protocol,0,5\n"
                  "4,50,Mo,28,tomosynthesis,protocol,0,\n"
                  "4,50,Mo,28,,,,5\n"
                  "4,50,Mo,28,,protocol,,20.5\n"
                  "4,50,Mo,28,,protocol,,-1\n"
                  "4,50,Mo,28,,protocol,,thin\n",
                  unit(), en);
    ASSERT_EQ(g.rows.size(), 5u);
    for (int i : {0, 1}) {
        EXPECT_EQ(factors::rowKey(g.rows[i]), factors::rowKey(before.rows[0])) << i;
        EXPECT_EQ(factors::inputCells(g.rows[i], "").back(), "") << i;
    }
    EXPECT_EQ(g.rows[2].adiposeRimMm, 5.0);
    EXPECT_EQ(factors::inputCells(g.rows[2], "").back(), "5");
    EXPECT_NE(factors::rowKey(g.rows[2]).find(";adipose_rim_mm=5"), std::string::npos);
    EXPECT_NE(factors::resultStem(g.rows[2]), factors::resultStem(g.rows[0]));
    EXPECT_EQ(factors::rowGeometry(g.rows[2], kv::formats::Geometry{}).adiposeRimMm, 5.0);
    const char* says[] = {"adipose_rim_mm belongs to model protocol",
                          "adipose_rim_mm 20.5 lies outside 0 to 20", "adipose_rim_mm -1 lies outside",
                          "adipose_rim_mm \"thin\""};
    ASSERT_EQ(g.refused.size(), std::size(says));
    for (size_t i = 0; i < std::size(says); ++i)
        EXPECT_NE(g.refused[i].problem.find(says[i]), std::string::npos) << g.refused[i].problem;

    // Rows 0 and 2 at 20 deg, 3 and 4 their 0 deg rows, listed rim first.
    const double mgd[] = {0.19, 0.19, 0.16, 0.20, 0.21};
    std::vector<FactorRow> rows;
    for (size_t i : {0u, 2u, 3u, 4u}) {
        factors::RowFactors f;
        f.mgd = mgd[i], f.mgdSigmaPercent = 0.3, f.hvl1Paddle = 0.35;
        rows.push_back({g.rows[i], f});
    }
    const std::vector<FactorLine> l = conversionFactors(rows);
    ASSERT_EQ(l.size(), 4u);
    EXPECT_NEAR(*l[0].t, 0.19 / 0.21, 1e-12) << "the bare rim over its own 0 deg row";
    EXPECT_NEAR(*l[1].t, 0.16 / 0.20, 1e-12) << "the rim over its own";
    const std::vector<PlotPoint> points = tPlotPoints(l);
    ASSERT_EQ(points.size(), 4u);
    EXPECT_NE(points[0].curve, points[1].curve);
    TempDir d;
    writeFactorsFile(d.path(), "factors.csv", l);
    const std::string text = kv::test_support::readFile(d.path() / "factors.csv");
    EXPECT_NE(text.find(",tomosynthesis,1,20,5,0.8000,0.424,,,,,5\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(",tomosynthesis,1,20,5,0.9048,0.424,,,,,\r\n"), std::string::npos) << text;
}

// The published way of forming g, c and s, on made-up rows whose mgd and HVL are given.
TEST(Factors, GcAndSFromTheirReferenceRows) {
    Grid g = parseGrid("thickness_cm,glandular_percent,target,kv,model,rh_mm,al_mm\n"
                       "4,50,Mo,28,protocol,,\n"    // Mo/Mo, HVL 0.35
                       "4,50,Mo,30,protocol,,\n"    // Mo/Mo, HVL 0.40
                       "4,25,Mo,30,protocol,,\n"    // c against the row above
                       "4,50,W,28,protocol,0.05,\n" // W/Rh between the Mo/Mo rows
                       "4,50,W,34,protocol,,\n"     // W/Rh beyond them: no s
                       "5,30,Mo,28,protocol,,0.1\n" // no 50 % row, no other Mo/Mo row of 5 cm
                       "4,50,Mo,28,,,\n",           // the workbench's box is no protocol row
                       unit(), en);
    ASSERT_EQ(g.rows.size(), 7u);
    const double hvl[] = {0.35, 0.40, 0.40, 0.375, 0.50, 0.36, 0.35};
    const double mgd[] = {0.235, 0.261, 0.290, 0.2604, 0.33, 0.18, 0.30};
    std::vector<FactorRow> rows;
    for (size_t i = 0; i < 6; ++i) {
        factors::RowFactors f;
        f.hvl1Paddle = hvl[i], f.mgd = mgd[i], f.mgdSigmaPercent = 0.5;
        rows.push_back({g.rows[i], f});
    }
    const std::vector<FactorLine> l = conversionFactors(rows);
    ASSERT_EQ(l.size(), 6u);
    EXPECT_EQ(l[0].g, 0.235);
    EXPECT_EQ(l[0].c, 1.0);
    EXPECT_EQ(l[0].s, 1.0);
    EXPECT_NEAR(*l[2].c, 0.290 / 0.261, 1e-12);
    EXPECT_FALSE(l[2].g);
    EXPECT_NEAR(*l[2].s, 1.0, 1e-12); // the one Mo/Mo row of its breast
    EXPECT_NEAR(*l[3].s, 0.2604 / 0.248, 1e-12);
    EXPECT_EQ(l[3].filters, "Rh 0.05");
    EXPECT_FALSE(l[4].s);
    EXPECT_FALSE(l[5].g);
    EXPECT_FALSE(l[5].c);
    EXPECT_NEAR(*l[5].s, 1.0, 1e-12);
    // g.png: the Mo/Mo rows at 50 %, one curve per thickness.
    const std::vector<PlotPoint> points = gPlotPoints(l);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].curve, "4 cm");
    EXPECT_EQ(points[1].x, 0.40);

    TempDir d;
    writeFactorsFile(d.path(), "factors.csv", l);
    const std::string text = kv::test_support::readFile(d.path() / "factors.csv");
    EXPECT_EQ(text.substr(0, text.find("\r\n")), kFactorsHeader);
    EXPECT_NE(
        text.find("\r\nW,Rh 0.025,34,4,50,0.5000,0.33000,0.500,0.3300,1.0000,,mammography,,,,,,,,,,\r\n"),
        std::string::npos)
        << text;
}

// A measured Mo/Mo spectrum is no reference: its s is against the model's Mo/Mo at its HVL.
TEST(Factors, AMeasuredMoMoRowGetsItsSAgainstTheModelsMoMoRows) {
    Grid g = parseGrid("thickness_cm,glandular_percent,target,kv,model,al_mm\n"
                       "4,50,Mo,28,protocol,\n"    // HVL 0.35
                       "4,50,Mo,28,protocol,0.4\n" // HVL 0.40
                       "4,50,Mo,28,protocol,0.2\n" // measured, HVL 0.375
                       "4,50,W,28,protocol,\n",    // W/Rh, HVL 0.37
                       unit(), en);
    ASSERT_EQ(g.rows.size(), 4u);
    g.rows[2].measured = std::make_shared<const kv::formats::MeasuredSpectrum>();
    g.rows[2].spectrumFile = "Mo_28kV.dat";
    const double hvl[] = {0.35, 0.40, 0.375, 0.37};
    const double mgd[] = {0.235, 0.261, 0.26, 0.25};
    std::vector<FactorRow> rows;
    for (size_t i = 0; i < 4; ++i) {
        factors::RowFactors f;
        f.hvl1Paddle = hvl[i], f.mgd = mgd[i];
        rows.push_back({g.rows[i], f});
    }
    const std::vector<FactorLine> l = conversionFactors(rows);
    EXPECT_NEAR(*l[2].s, 0.26 / 0.248, 1e-12);
    EXPECT_FALSE(l[2].moMo);
    // The other beams are not referred to the measurement: 0.235 + 0.4 x 0.026 at HVL 0.37.
    EXPECT_NEAR(*l[3].s, 0.25 / 0.2454, 1e-12);
    EXPECT_EQ(gPlotPoints(l).size(), 2u);
}

// --- the program ---------------------------------------------------------

struct Output {
    int exitCode = -1;
    std::string out, err;
};

std::string sweepCommand(const fs::path& grid, const fs::path& out, const std::string& more = "",
                         const std::string& program = "kv-sweep") {
    return "'" + std::string(KV_RUN_DIR) + "/" + program + "' '" + grid.string() + "' --out '" +
           out.string() + "' --data '" + std::string(KV_RUN_DIR) + "' --threads 1 " + more;
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
              "thickness_cm,glandular_percent,target,kv,method,be_mm,al_mm,mo_mm,rh_mm,ag_mm,air_cm,"
              "target_angle,tilt,fid_cm,fcd_cm,fad_cm,angular_range,histories,sagd_sigma_percent,seed,"
              "model,adipose_mm,plates,spectrum_file,projections,projection_loading,projection_angle,"
              "rotation_axis_cm,adipose_rim_mm,"
              "hvl1_mm_al,hvl1_mm_al_paddle,mean_kev,sagd,sagd_sigma_reached_"
              "percent,dose100,dose100_sigma_percent,mean_percentage,mgd,mgd_sigma_percent,k_surface_"
              "per_k_fcd,k_fcd_paddle_per_k_fcd,histories_done,engine_version,file");
    // Every column name once.
    std::vector<std::string> names;
    for (size_t at = 0, comma; at <= lines[0].size(); at = comma + 1) {
        comma = std::min(lines[0].find(',', at), lines[0].size());
        names.push_back(lines[0].substr(at, comma - at));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
    EXPECT_EQ(lines[1].rfind("2,50,Mo,28,mammography,", 0), 0u) << lines[1];
    EXPECT_EQ(lines[3].rfind("2,20,W,30,tomosynthesis,", 0), 0u) << lines[3];
    // Each row's result file is there and loads as the workbench loads it.
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string file = lines[i].substr(lines[i].rfind(',') + 1);
        EXPECT_TRUE(fs::is_regular_file(out / file)) << file;
        // histories_done, and the version of the kv-sweep that ran the row
        EXPECT_NE(lines[i].find(",40000," + std::string(kv::version()) + "," + file), std::string::npos)
            << lines[i];
    }
    if (kv::sweep::plotsBuiltIn()) { // a build without Qt draws none, and does not fail for it
        EXPECT_TRUE(fs::is_regular_file(out / "sagd.png"));
        EXPECT_EQ(readFile(out / "sagd.png").substr(1, 3), "PNG");
    }
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

// A data folder of the test's own, so that its Geometry.dat can change.
fs::path dataFolder(const TempDir& d) {
    const fs::path data = d.path() / "data";
    fs::create_directories(data);
    for (const char* name : {"equipment.dat", "MUs12.dat", "Mo-STP.dat", "BR12-50.dat"})
        fs::copy_file(fs::path(KV_RUN_DIR) / name, data / name);
    return data;
}

// The cell of `column` in table line `row` (1: the first data row).
std::string cellOf(const std::vector<std::string>& lines, size_t row, const std::string& column) {
    auto split = [](const std::string& l) {
        std::vector<std::string> cells;
        for (size_t at = 0, comma; at <= l.size(); at = comma + 1) {
            comma = std::min(l.find(',', at), l.size());
            cells.push_back(l.substr(at, comma - at));
        }
        return cells;
    };
    const std::vector<std::string> head = split(lines.at(0)), cells = split(lines.at(row));
    return cells.at(static_cast<size_t>(std::find(head.begin(), head.end(), column) - head.begin()));
}

size_t countOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The factors.csv line of a target, its filters and tube voltage.
std::map<std::string, std::string> factorLine(const fs::path& csv, const std::string& beam) {
    std::map<std::string, std::string> cells;
    std::vector<std::string> all;
    {
        std::string text = readFile(csv), l;
        for (char c : text)
            if (c == '\n')
                all.push_back(l), l.clear();
            else if (c != '\r')
                l += c;
    }
    for (size_t row = 1; row < all.size(); ++row)
        if (all[row].rfind(beam, 0) == 0)
            for (const char* column : {"hvl1_mm_al_paddle", "mgd", "s"})
                cells[column] = cellOf(all, row, column);
    return cells;
}

// Rhodium beams, each with the filter of its own name, and a measured rhodium
// spectrum, through the program; s against the published s of Rh/Rh and Rh/Al
// (Dance et al. 2000, Phys. Med. Biol. 45 3225, table of s: 1.061, 1.044).
TEST(SweepProgram, RhodiumBeamsAndAMeasuredSpectrumGetTheirRowsAndFactors) {
    TempDir d;
    const fs::path grid = d.path() / "grid.csv", out = d.path() / "out";
    fs::copy_file(fs::path(KV_MEASURED_SPECTRA_DIR) / "Rh" / "Rh_28kV.dat", d.path() / "Rh_28kV.dat");
    std::ofstream(grid, std::ios::binary)
        << "thickness_cm,glandular_percent,target,kv,al_mm,rh_mm,ag_mm,spectrum_file,model,histories,seed\n"
           "4,50,Mo,28,,,,,protocol,100000,1\n"
           "4,50,Mo,28,0.4,,,,protocol,100000,2\n"
           "4,50,Mo,28,0.8,,,,protocol,100000,3\n"
           "4,50,Rh,28,,,,,protocol,100000,4\n"
           "4,50,Rh,25,,,0.05,,protocol,100000,5\n"
           "4,50,Rh,28,0.5,0,,,protocol,100000,6\n"
           "4,50,Rh,,,0.025,,Rh_28kV.dat,protocol,100000,7\n";
    Output r = run(d, sweepCommand(grid, out, "--factors"));
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::vector<std::string> lines = tableLines(out);
    ASSERT_EQ(lines.size(), 8u);

    // Each row's HVL is that of its own spectrum, model or measured.
    const kv::spectrum::PhysicalData data = kv::spectrum::LoadPhysicalData(KV_RUN_DIR);
    const Grid g = readGrid(grid, kv::formats::readEquipment(KV_RUN_DIR), en);
    ASSERT_EQ(g.rows.size(), 7u);
    for (size_t i = 3; i < 7; ++i) {
        const factors::Row& row = g.rows[i];
        const kv::spectrum::SpectrumResult s =
            row.measured
                ? kv::spectrum::measuredSpectrumTable(*row.measured, row.spectrumFile, data, row.spectrum)
                : kv::spectrum::computeSpectrum(row.target, data, row.spectrum);
        const auto q = kv::spectrum::beamQuality(s.table[0], data.aluminum);
        ASSERT_TRUE(q);
        EXPECT_NEAR(std::stod(cellOf(lines, i + 1, "hvl1_mm_al")), q->firstHvl, 1e-4) << i;
        EXPECT_EQ(cellOf(lines, i + 1, "target"), "Rh") << i;
    }
    EXPECT_EQ(cellOf(lines, 7, "spectrum_file"), "Rh_28kV.dat");
    EXPECT_EQ(cellOf(lines, 7, "kv"), "28"); // from the file's comment
    EXPECT_EQ(cellOf(lines, 7, "be_mm"), "0");
    EXPECT_EQ(cellOf(lines, 7, "air_cm"), "0");
    EXPECT_EQ(cellOf(lines, 4, "spectrum_file"), "");

    const fs::path csv = out / "factors.csv";
    const auto rhRh = factorLine(csv, "Rh,Rh 0.025,28,"), rhAl = factorLine(csv, "Rh,Al 0.5,28,"),
               rhAg = factorLine(csv, "Rh,Ag 0.05,25,");
    ASSERT_FALSE(rhRh.empty() || rhAl.empty() || rhAg.empty()) << readFile(csv);
    EXPECT_NEAR(std::stod(rhRh.at("s")), 1.061, 0.05) << readFile(csv);
    EXPECT_NEAR(std::stod(rhAl.at("s")), 1.044, 0.05) << readFile(csv);
    // Rh/Ag has no published s; it lies among the other beams harder than Mo/Mo.
    EXPECT_GT(std::stod(rhAg.at("s")), 1.0);
    EXPECT_LT(std::stod(rhAg.at("s")), 1.1);
}

TEST(SweepProgram, AStoredRowIsReusedOnlyWhileNothingItWasMadeFromChanged) {
    TempDir d;
    const fs::path grid = d.path() / "grid.csv", out = d.path() / "out", data = dataFolder(d);
    std::ofstream(grid, std::ios::binary) << "thickness_cm,glandular_percent,target,kv,histories,seed,model\n"
                                             "4,50,Mo,28,30000,5,protocol\n3,50,Mo,28,30000,6,\n";
    auto sweep = [&](const std::string& more = "") {
        return run(d, "'" + std::string(KV_RUN_DIR) + "/kv-sweep' '" + grid.string() + "' --out '" +
                          out.string() + "' --data '" + data.string() + "' --threads 1 " + more);
    };
    Output first = sweep();
    ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
    const std::vector<std::string> before = tableLines(out);
    ASSERT_EQ(before.size(), 3u);
    const double mgd = std::stod(cellOf(before, 1, "mgd"));
    EXPECT_GT(mgd, 0.1);
    EXPECT_LT(mgd, 0.5);
    // The breast's surface lies about as far from the focus as the FCD, behind the paddle.
    EXPECT_GT(std::stod(cellOf(before, 1, "k_surface_per_k_fcd")), 0.7);
    EXPECT_LT(std::stod(cellOf(before, 1, "k_surface_per_k_fcd")), 0.95);
    EXPECT_EQ(cellOf(before, 1, "seed"), "5");

    Output again = sweep();
    EXPECT_EQ(countOf(again.out, "already holds"), 2u) << again.out;
    EXPECT_EQ(tableLines(out), before);

    // A thicker PMMA paddle: every row runs again, and the paddle's HVL and the dose move.
    std::ofstream(data / "Geometry.dat", std::ios::binary) << "paddle_mm = 3\r\npaddle_material = pmma\r\n";
    Output paddle = sweep();
    ASSERT_EQ(paddle.exitCode, 0) << paddle.out << paddle.err;
    EXPECT_EQ(countOf(paddle.out, "the files its run reads have changed"), 2u) << paddle.out;
    const std::vector<std::string> after = tableLines(out);
    for (size_t row : {1u, 2u}) {
        EXPECT_EQ(cellOf(after, row, "hvl1_mm_al"), cellOf(before, row, "hvl1_mm_al")) << row;
        EXPECT_GT(std::stod(cellOf(after, row, "hvl1_mm_al_paddle")),
                  std::stod(cellOf(before, row, "hvl1_mm_al_paddle")));
        EXPECT_LT(std::stod(cellOf(after, row, "sagd")), std::stod(cellOf(before, row, "sagd"))) << row;
    }

    // What lies in the folder is checked, not believed: a cut result, another row's result, an edited note.
    const std::string file1 = cellOf(after, 1, "file"), file2 = cellOf(after, 2, "file");
    const std::string stem1 = file1.substr(0, file1.size() - 5);
    const std::string whole = readFile(out / file1), note = readFile(out / (stem1 + ".row"));
    struct Spoil {
        const char* name;
        std::function<void()> act;
    };
    const Spoil spoils[] = {
        {"cut short", [&] { kv::test_support::writeFile(out / file1, whole.substr(0, whole.size() / 2)); }},
        {"another row's file",
         [&] { fs::copy_file(out / file2, out / file1, fs::copy_options::overwrite_existing); }},
        {"edited note",
         [&] {
             std::string edited = note;
             const size_t at = edited.find("result_sha256 = ") + 16;
             edited[at] = edited[at] == '0' ? '1' : '0';
             kv::test_support::writeFile(out / (stem1 + ".row"), edited);
         }},
    };
    for (const Spoil& s : spoils) {
        s.act();
        Output merged = sweep("--merge");
        EXPECT_EQ(merged.exitCode, 1) << s.name;
        EXPECT_NE(merged.err.find("Line 2 has no result"), std::string::npos) << s.name << merged.err;
        Output redone = sweep();
        ASSERT_EQ(redone.exitCode, 0) << s.name << redone.out << redone.err;
        EXPECT_EQ(countOf(redone.out, "already holds"), 1u) << s.name << redone.out;
        EXPECT_EQ(tableLines(out), after) << s.name; // the same seed gives the same row again
    }
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
    // OpenMPI's unloaded plugins keep allocations to the end that a leak checker cannot name.
    Output shared =
        run(d, "ASAN_OPTIONS=detect_leaks=0 OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 '" +
                   std::string(KV_MPIEXEC) + "' --oversubscribe -np 2 " +
                   sweepCommand(grid, d.path() / "mpi", "", "kv-sweep-mpi"));
    ASSERT_EQ(shared.exitCode, 0) << shared.out << shared.err;
    EXPECT_EQ(readFile(d.path() / "mpi" / "table.csv"), readFile(d.path() / "whole" / "table.csv"));
    // Process 0 tells each round once for both; no process counts its own rows apart.
    const auto times = [&](const std::string& what) {
        size_t n = 0;
        for (size_t at = shared.out.find(what); at != std::string::npos; at = shared.out.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(times("Rows 1 to 2 of 3, one on each of 2 processes; process 0 runs line 2"), 1u) << shared.out;
    EXPECT_EQ(times("Rows 3 to 3 of 3, one on each of 2 processes; process 0 runs line 4"), 1u) << shared.out;
    EXPECT_EQ(times("Row 1 of"), 0u) << shared.out;
    EXPECT_EQ(times("  line 3: "), 1u) << shared.out;
#endif
}

// A new working folder, as a user who has only the programs starts: the shipped data are read and named.
TEST(SweepProgram, AFolderWithoutDataReadsTheShippedData) {
    TempDir d;
    std::ofstream(d.path() / "grid.csv", std::ios::binary)
        << "thickness_cm,glandular_percent,target,kv,histories,seed\n2,50,Mo,28,20000,5\n";
    Output r = run(d, "cd '" + d.path().string() + "' && '" + std::string(KV_RUN_DIR) +
                          "/kv-sweep' grid.csv --out o --threads 1");
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("No equipment.dat in " + d.path().string() +
                         ": the data shipped with the programs in " + std::string(KV_RUN_DIR)),
              std::string::npos)
        << r.out;
    EXPECT_EQ(tableLines(d.path() / "o").size(), 2u);
    EXPECT_FALSE(fs::exists(d.path() / "equipment.dat"));
}

TEST(SweepProgram, OptionsAndFilesThatCannotBeUsedAreRefused) {
    TempDir d;
    const fs::path grid = d.path() / "grid.csv";
    std::ofstream(grid, std::ios::binary) << "thickness_cm,glandular_percent,target,kv\n2,50,Mo,28\n";
    std::ofstream(d.path() / "file", std::ios::binary) << "x";
    // A row the grid takes but the engine refuses when it starts.
    const fs::path tooShort = d.path() / "short.csv";
    std::ofstream(tooShort, std::ios::binary)
        << "thickness_cm,glandular_percent,target,kv,fid_cm,fcd_cm,fad_cm\n6,50,Mo,28,8,5,5\n";
    struct Case {
        std::string command;
        int code;
        std::string says;
    };
    const std::string prog = "'" + std::string(KV_RUN_DIR) + "/kv-sweep' ";
    for (const Case& c : {
             Case{prog + "'" + grid.string() + "'", 2, "No --out folder given"},
             Case{prog + "--out x", 2, "No grid file given"},
             Case{prog + "--out=x --edition=ja", 2, "グリッドファイルが指定されていません"},
             Case{sweepCommand(grid, d.path() / "o", "--shard 0/2"), 2,
                  "--shard: \"0\" is not a whole number from 1 to 2."},
             Case{sweepCommand(grid, d.path() / "o", "--shard=3/2"), 2,
                  "\"3\" is not a whole number from 1 to 2"},
             Case{sweepCommand(grid, d.path() / "o", "--shard half"), 2, "--shard takes I/N, not \"half\""},
             Case{sweepCommand(grid, d.path() / "o", "--shard 1/2 --merge"), 2,
                  "--merge and --shard cannot be given together"},
             Case{prog + "'" + grid.string() + "' --out=o --threads=2,5", 2,
                  "--threads: \"2,5\" has a decimal comma"},
             Case{sweepCommand(grid, d.path() / "o", "--fast"), 2, "unknown option \"--fast\""},
             Case{sweepCommand(grid, d.path() / "o", "other.csv"), 2, "\"other.csv\" is not an option"},
             // A merge reads an earlier sweep's folder: a mistyped one is named, not made.
             Case{sweepCommand(grid, d.path() / "no" / "such" / "folder", "--merge"), 1,
                  "folder: no such folder; --merge reads what an earlier sweep wrote there and makes no "
                  "folder"},
             Case{sweepCommand(d.path() / "none.csv", d.path() / "o"), 1, "none.csv: is not a readable file"},
             Case{sweepCommand(d.path() / "none.csv", d.path() / "o", "--edition ja"), 1,
                  "none.csv: 読み込めるファイルではありません"},
             // The data files' faults too are in the edition's words.
             Case{prog + "'" + grid.string() + "' --out '" + (d.path() / "o").string() + "' --data '" +
                      d.path().string() + "' --edition ja",
                  1, "スイープを開始できません: ファイル equipment.dat が見つからないか読めません"},
             // So are the reasons a row fails while it runs.
             Case{sweepCommand(tooShort, d.path() / "o-en"), 1,
                  "Line 2 of the grid is not run: MC.dat: the FID of 8 cm (line 3) leaves no room"},
             Case{sweepCommand(tooShort, d.path() / "o-ja", "--edition ja"), 1,
                  "グリッドの 2 行目は計算しません: MC.dat：FID 8 cm (3 行目) では、支持台"},
             Case{sweepCommand(grid, d.path() / "file"), 1, "not a folder"},
             Case{prog + "'" + grid.string() + "' --out '" + (d.path() / "o").string() +
                      "' --data /nonexistent",
                  1, "equipment.dat"},
         }) {
        Output r = run(d, c.command);
        EXPECT_EQ(r.exitCode, c.code) << c.command << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.command << "\n" << r.err;
    }
    EXPECT_FALSE(fs::exists(d.path() / "no"));
}

// A process of this machine that has ended, as the names of temporaries and claims tell it.
std::string endedWriter() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    const std::string here = kv::writerTag();
    return std::to_string(child) + here.substr(here.find('@'));
}

TEST(SweepProgram, OneFolderHoldsOneGridsSweepAndItsRowsAreClaimedOneByOne) {
    TempDir d;
    const fs::path grid = d.path() / "grid.csv", other = d.path() / "other.csv", out = d.path() / "out";
    std::ofstream(grid, std::ios::binary) << "thickness_cm,glandular_percent,target,kv,histories,seed\n"
                                             "3,50,Mo,28,20000,7\n";
    std::ofstream(other, std::ios::binary) << "thickness_cm,glandular_percent,target,kv,histories,seed\n"
                                              "4,50,Mo,28,20000,7\n";
    const std::string stem =
        factors::resultStem(readGrid(grid, kv::formats::readEquipment(KV_RUN_DIR), en).rows.at(0));
    const fs::path claim = out / (stem + ".claim");
    fs::create_directories(out / ".work");
    // A live process's claim: the row is left to it, and said so.
    const std::string me = kv::writerTag();
    kv::test_support::writeFile(claim, "writer = " + me + "\r\n");
    // What killed runs of this machine left, beside what a running one writes and a file of the user's.
    const std::string ended = endedWriter();
    const fs::path abandoned = out / (".table.csv." + ended + ".AbC123"),
                   running = out / (".table.csv." + me + ".AbC123"), users = out / ".table.csv.notes",
                   abandonedRow = out / ".work" / (stem + "-" + ended),
                   runningRow = out / ".work" / ("x-" + me);
    for (const fs::path& f : {abandoned, running, users})
        kv::test_support::writeFile(f, "x");
    fs::create_directories(abandonedRow);
    fs::create_directories(runningRow);

    Output left = run(d, sweepCommand(grid, out));
    EXPECT_EQ(left.exitCode, 1) << left.out << left.err;
    EXPECT_NE(left.out.find("line 2: left to " + me +
                            ", which is running it; if no sweep runs there any more, "
                            "delete " +
                            claim.string()),
              std::string::npos)
        << left.out;
    EXPECT_NE(left.err.find("Line 2 has no result"), std::string::npos) << left.err;
    EXPECT_TRUE(fs::exists(claim)); // not this sweep's to remove
    EXPECT_FALSE(fs::exists(abandoned));
    EXPECT_FALSE(fs::exists(abandonedRow));
    for (const fs::path& f : {running, users, runningRow})
        EXPECT_TRUE(fs::exists(f)) << f;

    // The claim of a process that has ended is taken over, and given up once the row is done.
    kv::test_support::writeFile(claim, "writer = " + ended + "\r\n");
    Output taken = run(d, sweepCommand(grid, out));
    ASSERT_EQ(taken.exitCode, 0) << taken.out << taken.err;
    EXPECT_FALSE(fs::exists(claim));
    EXPECT_TRUE(fs::is_regular_file(out / (stem + ".vesk")));

    // Another grid into the same folder is refused before anything runs, its merge too.
    const std::string table = readFile(out / "table.csv");
    for (const std::string more : {"", "--merge"}) {
        Output refused = run(d, sweepCommand(other, out, more));
        EXPECT_EQ(refused.exitCode, 1) << more;
        EXPECT_NE(refused.err.find(out.string() +
                                   " holds the sweep of another grid (grid.csv), and a different "
                                   "grid needs a folder of its own"),
                  std::string::npos)
            << refused.err;
        EXPECT_EQ(refused.out.find("Row 1"), std::string::npos) << refused.out;
        EXPECT_EQ(readFile(out / "table.csv"), table);
    }
    Output ja = run(d, sweepCommand(other, out, "--edition ja"));
    EXPECT_NE(ja.err.find("別のグリッド (grid.csv) のスイープがあり"), std::string::npos) << ja.err;

    // A plot that cannot be written is a failure of the merge, not a success with a remark.
    fs::remove(out / "sagd.png");
    fs::create_directory(out / "sagd.png");
    Output noPlot = run(d, sweepCommand(grid, out, "--merge"));
    EXPECT_EQ(noPlot.exitCode, kv::sweep::plotsBuiltIn() ? 1 : 0) << noPlot.out << noPlot.err;
    EXPECT_NE(noPlot.err.find("The plot was not written"), std::string::npos) << noPlot.err;

    // A grid whose name the record's code page cannot hold keeps its folder to itself all the same.
    const fs::path odd = d.path() / "grid-\xF0\x9F\x98\x80.csv", oddOut = d.path() / "odd";
    fs::copy_file(grid, odd);
    const Output first = run(d, sweepCommand(odd, oddOut));
    ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
    EXPECT_TRUE(fs::is_regular_file(oddOut / "grid.sweep"));
    const Output oddRefused = run(d, sweepCommand(other, oddOut));
    EXPECT_EQ(oddRefused.exitCode, 1);
    EXPECT_NE(oddRefused.err.find("holds the sweep of another grid (?)"), std::string::npos)
        << oddRefused.err;
}

// What stands where a row's note, claim or result belong is checked before the row runs: what is
// no readable file refuses the row by name and stays as it was; a result whose own checks fail
// runs again and says why.
TEST(SweepProgram, WhatIsNoFileRefusesItsRowAndADamagedResultRunsAgain) {
    TempDir d;
    const fs::path grid = d.path() / "grid.csv", out = d.path() / "out";
    std::ofstream(grid, std::ios::binary) << "thickness_cm,glandular_percent,target,kv,histories,seed\n"
                                             "3,50,Mo,28,20000,7\n";
    const Output first = run(d, sweepCommand(grid, out));
    ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
    const std::string stem =
        factors::resultStem(readGrid(grid, kv::formats::readEquipment(KV_RUN_DIR), en).rows.at(0));
    const fs::path result = out / (stem + ".vesk"), note = out / (stem + ".row"),
                   claim = out / (stem + ".claim");
    const std::string result0 = readFile(result), note0 = readFile(note),
                      table0 = readFile(out / "table.csv");
    const std::string noteHash = "result_sha256 = " + kv::sha256Hex(result0);
    ASSERT_NE(note0.find(noteHash), std::string::npos);
    // The result edited and the note made to match it: only the result's own trailer can tell.
    // `rehash`: its content hash made to match as well, so that the header's check must tell.
    auto edited = [&](const std::string& from, const std::string& to, bool rehash = false) {
        return [&, from, to, rehash] {
            std::string r = result0;
            const size_t at = r.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            r.replace(at, from.size(), to);
            if (rehash) {
                kv::RecordReader in = kv::RecordReader::fromBytes(r, "r.vesk");
                kv::formats::ResultFileHead head;
                ASSERT_EQ(kv::formats::readResultHead(in, head, kv::formats::kMaxEngineCountZ),
                          kv::formats::LoadFailure::None);
                const size_t hashAt = r.find("content_sha256 = ");
                r.replace(hashAt + 17, 64,
                          kv::formats::trailerContentHash(
                              std::string_view(r).substr(head.blocksOffset, hashAt - head.blocksOffset)));
            }
            kv::test_support::writeFile(result, r);
            std::string n = note0;
            n.replace(n.find(noteHash), noteHash.size(), "result_sha256 = " + kv::sha256Hex(r));
            kv::test_support::writeFile(note, n);
        };
    };
    auto trailerValue = [&](const std::string& key) {
        const size_t at = result0.find("\n" + key + " = ") + key.size() + 4;
        return result0.substr(at, result0.find('\r', at) - at);
    };
    const std::string sagdTimes10 = std::to_string(std::stod(trailerValue("sagd")) * 10);
    // The first row of the first dose block, and the same with an empty field in it.
    const size_t blockHead = result0.find("then the primary and the scatter dose");
    const size_t row1 = result0.find('\n', result0.find('\n', blockHead) + 1) + 1;
    const std::string firstRow = result0.substr(row1, result0.find('\r', row1) - row1);
    std::string withGap = firstRow;
    withGap.insert(withGap.find(','), ",");
    struct Case {
        const char* name;
        std::function<void()> spoil;
        int code;
        std::string says;
        fs::path entry;        // refused: what must stand there as before
        std::string more = ""; // options
    };
    std::vector<Case> cases = {
        {"note a folder", [&] { fs::remove(note), fs::create_directory(note); }, 1,
         stem + ".row is a folder, not a note kv-sweep can read: the row is not run and " + stem +
             ".vesk is left as it is",
         note},
        {"note a folder, Japanese", [&] { fs::remove(note), fs::create_directory(note); }, 1,
         stem + ".row はフォルダで、kv-sweep が読めるメモではありません", note, "--edition ja"},
        {"note a FIFO", [&] { fs::remove(note), ::mkfifo(note.c_str(), 0600); }, 1,
         stem + ".row is a pipe, device or socket, not a note", note},
        {"note a dangling link", [&] { fs::remove(note), fs::create_symlink(d.path() / "nowhere", note); }, 1,
         stem + ".row is a symbolic link to nothing", note},
        {"result a folder", [&] { fs::remove(result), fs::create_directory(result); }, 1,
         stem + ".vesk is a folder where the row's result belongs", result},
        {"claim a folder", [&] { fs::create_directory(claim); }, 1,
         "Line 2 of the grid is not run: its claim " + claim.string() + " is a folder", claim},
        {"note with LF line ends",
         [&] {
             std::string lf = note0;
             lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
             kv::test_support::writeFile(note, lf);
         },
         0,
         "already holds this row's result",
         {}},
        {"sagd times 10",
         edited("\nsagd = " + trailerValue("sagd"), "\nsagd = " + sagdTimes10),
         0,
         "line 2: the stored result no longer fits (the stored result is damaged: its content hash does not "
         "match",
         {}},
        {"a junk line before the trailer",
         edited("\r\n## kv trailer", "\r\njunk\r\n## kv trailer"),
         0,
         "text stands between its dose values and its trailer",
         {}},
        {"histories 5 against the header",
         edited("\nhistories = " + trailerValue("histories"), "\nhistories = 5", true),
         0,
         "its trailer's histories is not what its header states",
         {}},
        {"an empty field in a dose block",
         edited(firstRow, withGap),
         0,
         "its header or dose values cannot be read (line ",
         {}},
    };
    if (::geteuid() != 0) // the superuser reads every file
        cases.push_back({"note without read permission", [&] { fs::permissions(note, fs::perms::none); }, 1,
                         stem + ".row is a file that cannot be read", note});
    for (const Case& c : cases) {
        for (const fs::path& p : {note, result, claim}) {
            std::error_code ec;
            fs::permissions(p, fs::perms::owner_all, ec);
            fs::remove_all(p, ec);
        }
        kv::test_support::writeFile(result, result0);
        kv::test_support::writeFile(note, note0);
        c.spoil();
        const std::string resultBefore = fs::is_regular_file(result) ? readFile(result) : "";
        const fs::file_type entryBefore =
            c.entry.empty() ? fs::file_type::none : fs::symlink_status(c.entry).type();
        const Output r = run(d, sweepCommand(grid, out, c.more));
        EXPECT_EQ(r.exitCode, c.code) << c.name << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << c.name << "\n" << r.out << r.err;
        if (!c.entry.empty()) {
            EXPECT_EQ(fs::is_regular_file(result) ? readFile(result) : "", resultBefore) << c.name;
            EXPECT_EQ(fs::symlink_status(c.entry).type(), entryBefore)
                << c.name << ": the entry was replaced";
        } else {
            EXPECT_EQ(readFile(out / "table.csv"), table0) << c.name; // the same seed, the same row
        }
    }
}

// SIGHUP ends a sweep as SIGTERM does, and either is heeded while stored rows are skipped.
TEST(SweepProgram, ASignalEndsTheSweepWithItsClaimsAndTemporariesRemoved) {
    TempDir d;
    const fs::path out = d.path() / "out";
    // A row without histories runs the set-up screen's count: minutes, said before it starts.
    const fs::path longRow = d.path() / "long.csv", stored = d.path() / "stored.csv";
    std::ofstream(longRow, std::ios::binary) << "thickness_cm,glandular_percent,target,kv\n3,50,Mo,28\n";
    std::ofstream(stored, std::ios::binary) << "thickness_cm,glandular_percent,target,kv,histories,seed\n"
                                            << [] {
                                                   std::string rows;
                                                   for (int i = 0; i < 400; ++i)
                                                       rows += "3,50,Mo,28,20000,7\n";
                                                   return rows;
                                               }();
    struct Case {
        const char* name;
        fs::path grid, out;
        int signal;
        std::string waitFor; // in the output, before the signal
    };
    std::ofstream(d.path() / "one.csv", std::ios::binary)
        << "thickness_cm,glandular_percent,target,kv,histories,seed\n3,50,Mo,28,20000,7\n";
    ASSERT_EQ(run(d, sweepCommand(d.path() / "one.csv", out)).exitCode, 0);
    fs::remove(out / "grid.sweep"); // the stored row serves the long grid of it too
    for (const Case& c : {Case{"SIGHUP during a long row", longRow, d.path() / "long", SIGHUP,
                               "Rows that give neither histories nor sagd_sigma_percent run the set-up "
                               "screen's 1.0E+09 histories each (1 rows here): about "},
                          Case{"SIGTERM while stored rows are skipped", stored, out, SIGTERM,
                               "line 3: mammo-Mo-28kV-3.0cm-g50-"}}) {
        const fs::path log = d.path() / "signal.txt";
        fs::remove(log);
        const pid_t child = ::fork();
        if (child == 0) {
            const std::string cmd = "exec " + sweepCommand(c.grid, c.out) + " > '" + log.string() + "' 2>&1";
            ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (readFile(log).find(c.waitFor) == std::string::npos &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ::kill(child, c.signal);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string said = readFile(log);
        EXPECT_NE(said.find(c.waitFor), std::string::npos) << c.name << said;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << c.name << said;
        EXPECT_NE(said.find("Interrupted: "), std::string::npos) << c.name << said;
        EXPECT_LT(countOf(said, "already holds"), 400u) << c.name;
        for (const auto& e : fs::directory_iterator(c.out))
            EXPECT_NE(e.path().extension(), ".claim") << c.name << e.path();
        EXPECT_FALSE(fs::exists(c.out / ".work")) << c.name;
    }
}

} // namespace
