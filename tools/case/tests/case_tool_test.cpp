// kv-case on its arguments in a scratch folder: the files it writes, what it
// refuses (and that a refusal leaves the folder as it was), its options.
#include "case_tool.h"
#include "kv/formats/edition_file.h"
#include "kv/formats/geometry_file.h"
#include "kv/test_support/work_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

using kv::test_support::TempDir;
namespace fs = std::filesystem;

namespace {

const std::string kRecord = "Unit A\r\n65\r\n60\r\n7.5\r\n10.26\r\n5\r\n";

struct Outcome {
    int status;
    std::string out, err;
};

Outcome run(const TempDir& d, std::vector<std::string> args) {
    args.insert(args.begin(), {"--dir", d.path().string()});
    std::ostringstream out, err;
    const int status = kv::runcase::runCaseTool(args, out, err);
    return {status, out.str(), err.str()};
}

// Every file of the folder with its bytes.
std::map<std::string, std::string> folder(const TempDir& d) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(d.path()))
        files[e.path().filename().string()] = d.read(e.path().filename().string());
    return files;
}

} // namespace

TEST(CaseTool, WritesTheRunFilesOfTheEntries) {
    const struct {
        const char* row;
        std::vector<std::string> args;
        const char* phantom;
        const char* control;
        const char* equipment;
    } cases[] = {
        {"only the name: the screens' opening entries",
         {"--name", "case1"},
         "50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n5.0\r\n",
         "15.0\r\n15.0\r\n065.0\r\n060.0\r\n060.0\r\n007.5\r\n1.0E+09\r\ncase1.vesk\r\nUnit A\r\n",
         "Unit A\r\n65.0\r\n60.0\r\n07.5\r\n10.3\r\n 5.0\r\n"},
        {"a 4.5 cm breast of 20 %, 2E6 histories",
         {"--name", "b45", "--thickness", "4.5", "--glandular", "20", "--histories", "2E6"},
         "20\r\nBR12-20.dat\r\n15.0\r\n15.0\r\n4.5\r\n",
         "15.0\r\n15.0\r\n065.0\r\n060.0\r\n060.0\r\n007.5\r\n2.0E+06\r\nb45.vesk\r\nUnit A\r\n",
         "Unit A\r\n65.0\r\n60.0\r\n07.5\r\n10.3\r\n 5.0\r\n"},
        {"distances as typed into the record, the FCD apart",
         {"--name", "d", "--fid", "66", "--fad", "61.5", "--angular-range", "25", "--fcd", "45.5",
          "--equipment", "Unit B"},
         "50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n5.0\r\n",
         "15.0\r\n15.0\r\n066.0\r\n061.5\r\n045.5\r\n025.0\r\n1.0E+09\r\nd.vesk\r\nUnit B\r\n",
         "Unit B\r\n66\r\n61.5\r\n25\r\n10.3\r\n 5.0\r\n"},
        {"the Japanese edition's tilt",
         {"--name", "j", "--edition", "ja"},
         "50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n5.0\r\n",
         "15.0\r\n15.0\r\n065.0\r\n060.0\r\n060.0\r\n007.5\r\n1.0E+09\r\nj.vesk\r\nUnit A\r\n",
         "Unit A\r\n65.0\r\n60.0\r\n07.5\r\n10.3\r\n5.0\r\n"},
        {"full-width digits read as the screens read them",
         {"--name", "w", "--thickness", "\uFF14\uFF0E\uFF15"},
         "50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n4.5\r\n",
         "15.0\r\n15.0\r\n065.0\r\n060.0\r\n060.0\r\n007.5\r\n1.0E+09\r\nw.vesk\r\nUnit A\r\n",
         "Unit A\r\n65.0\r\n60.0\r\n07.5\r\n10.3\r\n 5.0\r\n"},
    };
    for (const auto& c : cases) {
        TempDir d;
        d.write("equipment.dat", kRecord);
        const Outcome r = run(d, c.args);
        ASSERT_EQ(r.status, 0) << c.row << "\n" << r.err;
        EXPECT_EQ(d.read("Phantom.dat"), c.phantom) << c.row;
        EXPECT_EQ(d.read("MC.dat"), c.control) << c.row;
        EXPECT_EQ(d.read("equipment.dat"), c.equipment) << c.row;
        // Geometry.dat and Edition.dat only when asked.
        EXPECT_FALSE(fs::exists(d.file("Geometry.dat"))) << c.row;
        EXPECT_FALSE(fs::exists(d.file("Edition.dat"))) << c.row;
        EXPECT_NE(r.out.find("MC.dat"), std::string::npos) << c.row << ": " << r.out;
    }
}

TEST(CaseTool, RefusesWhatTheScreensRefuseAndWritesNothing) {
    const struct {
        const char* row;
        std::vector<std::string> args;
        const char* said; // in the refusal
    } cases[] = {
        {"no name", {}, "--name: nothing was given."},
        {"an empty name", {"--name", ""}, "--name: nothing was given."},
        {"a name with a folder", {"--name", "a/b"}, "\"a/b\" cannot be used as a file name"},
        {"a fraction of a history", {"--name", "x", "--histories", "1.5"}, "is not a whole number"},
        {"no histories", {"--name", "x", "--histories", "0"}, "--histories: \"0\" is outside the range"},
        {"a glandularity without a composition", {"--name", "x", "--glandular", "55"}, "\"55\" is none of"},
        {"a breast of 7 cm",
         {"--name", "x", "--thickness", "7"},
         "--thickness: \"7\" is outside the range 0.1 to 6"},
        {"a decimal comma", {"--name", "x", "--fad", "60,5"}, "--fad: \"60,5\" has a decimal comma"},
        {"an FCD with its unit", {"--name", "x", "--fcd", "60cm"}, "--fcd: \"60cm\" is not only a number"},
        {"an infinite FID", {"--name", "x", "--fid", "inf"}, "--fid: \"inf\" is not a finite number"},
        {"a target of 0 %", {"--name", "x", "--sagd-sigma", "0"}, "cannot be used as the sAGD target"},
        {"a paddle of 11 mm",
         {"--name", "x", "--paddle-mm", "11"},
         "--paddle-mm: give a thickness from 0 to 10"},
    };
    for (const auto& c : cases) {
        TempDir d;
        d.write("equipment.dat", kRecord);
        d.write("Phantom.dat", "earlier\r\n");
        const auto before = folder(d);
        const Outcome r = run(d, c.args);
        EXPECT_EQ(r.status, 1) << c.row;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << c.row << ":\n" << r.err;
        EXPECT_NE(r.err.find("Nothing was written."), std::string::npos) << c.row;
        EXPECT_EQ(folder(d), before) << c.row;
    }
}

TEST(CaseTool, RefusesBadOptions) {
    const struct {
        const char* row;
        std::vector<std::string> args;
        const char* said;
    } cases[] = {
        {"an unknown option", {"--name", "x", "--thick", "4"}, "unknown option \"--thick\""},
        {"an operand", {"--name", "x", "case1"}, "\"case1\" is not an option"},
        {"a material of wood", {"--name", "x", "--paddle-material", "wood"}, "polycarbonate, pmma"},
        {"an edition of fr", {"--name", "x", "--edition", "fr"}, "en, ja"},
        {"a value twice", {"--name", "x", "--name", "y"}, "more than once"},
    };
    for (const auto& c : cases) {
        TempDir d;
        d.write("equipment.dat", kRecord);
        const Outcome r = run(d, c.args);
        EXPECT_EQ(r.status, 2) << c.row;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << c.row << ":\n" << r.err;
        EXPECT_EQ(folder(d).size(), 1u) << c.row;
    }
}

TEST(CaseTool, HelpOnlyHelps) {
    TempDir d;
    const Outcome r = run(d, {"--name", "x", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: kv-case", 0), 0u) << r.out;
    EXPECT_TRUE(folder(d).empty());
}

TEST(CaseTool, AFolderWithoutARecordReadsTheShippedOne) {
    TempDir d;
    const Outcome r = run(d, {"--name", "x"});
    // The tests run where the shipped data lie beside the programs or not at
    // all; either way the outcome is said.
    if (r.status == 0) {
        EXPECT_NE(r.out.find("No equipment.dat in"), std::string::npos) << r.out;
        EXPECT_TRUE(fs::exists(d.file("equipment.dat")));
    } else {
        EXPECT_NE(r.err.find("equipment.dat"), std::string::npos) << r.err;
        EXPECT_TRUE(folder(d).empty());
    }
}

TEST(CaseTool, NoFolderNoFiles) {
    TempDir d;
    d.write("file", "x");
    for (const std::string& dir : {d.file("none").string(), d.file("file").string()}) {
        std::ostringstream out, err;
        EXPECT_EQ(kv::runcase::runCaseTool({"--dir", dir, "--name", "x"}, out, err), 1) << dir;
        EXPECT_NE(err.str().find("is not a folder"), std::string::npos) << err.str();
    }
    EXPECT_EQ(folder(d).size(), 1u);
}

TEST(CaseTool, WritesGeometryAndEditionWhenAsked) {
    TempDir d;
    d.write("equipment.dat", kRecord);
    d.write("Geometry.dat", "model = protocol\r\n");
    const Outcome r = run(d, {"--name", "x", "--paddle-mm", "2.5", "--support-material", "polycarbonate",
                              "--edition", "ja", "--edition-file"});
    ASSERT_EQ(r.status, 0) << r.err;
    const kv::formats::Geometry g = kv::formats::readGeometry(d.path());
    EXPECT_EQ(g.paddleMm, 2.5);
    EXPECT_EQ(g.supportMm, 2.0);
    EXPECT_EQ(g.supportMaterial, kv::formats::PlateMaterial::Polycarbonate);
    EXPECT_EQ(g.model, kv::formats::BreastModel::Protocol) << "the breast model is kept";
    EXPECT_EQ(kv::formats::readEditionFile(d.path()), kv::texts::Edition::Japanese);
    EXPECT_NE(r.out.find("書き込み"), std::string::npos) << r.out;
}

TEST(CaseTool, ADamagedGeometryIsNotReplacedUnseen) {
    TempDir d;
    d.write("equipment.dat", kRecord);
    d.write("Geometry.dat", "paddle_mm = thick\r\n");
    const Outcome r = run(d, {"--name", "x", "--paddle-mm", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Geometry.dat"), std::string::npos) << r.err;
    EXPECT_EQ(d.read("Geometry.dat"), "paddle_mm = thick\r\n");
    EXPECT_FALSE(fs::exists(d.file("MC.dat")));
}

TEST(CaseTool, TargetsGoToTheRunOptionsAndTheRestStays) {
    TempDir d;
    d.write("equipment.dat", kRecord);
    d.write("RunOptions.dat", "seed = 7\r\nmap_sigma_percent = 3\r\n");
    ASSERT_EQ(run(d, {"--name", "x", "--sagd-sigma", "0.5"}).status, 0);
    EXPECT_EQ(d.read("RunOptions.dat"), "seed = 7\r\nsagd_sigma_percent = 0.5\r\nmap_sigma_percent = 3\r\n");
    ASSERT_EQ(run(d, {"--name", "x", "--map-sigma", ""}).status, 0);
    EXPECT_EQ(d.read("RunOptions.dat"), "seed = 7\r\nsagd_sigma_percent = 0.5\r\n");
}
