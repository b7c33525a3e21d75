#include "kv/spectrum/model/physical_data.h"
#include "kv/test_support/work_dir.h"
#include "shipped_data.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>

namespace {

using namespace kv::spectrum;
using kv::spectrum::testing::shippedData;
using kv::test_support::shippedDataDir;
using kv::test_support::TempDir;

std::string shipped(const char* name) {
    std::ifstream in(shippedDataDir() / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The records of a data file re-split: every number on its own line.
std::string onePerLine(const std::string& file) {
    size_t eol = file.find('\n');
    std::string out = file.substr(0, eol + 1);
    for (char c : file.substr(eol + 1))
        out += (c == ',' ? '\n' : c == ' ' ? '\0' : c);
    out.erase(std::remove(out.begin(), out.end(), '\0'), out.end());
    return out;
}

// All records of a data file joined onto one line.
std::string allOnOneLine(const std::string& file) {
    size_t eol = file.find('\n');
    std::string out = file.substr(0, eol + 1);
    for (char c : file.substr(eol + 1))
        out += (c == '\r' ? ' ' : c == '\n' ? ',' : c);
    return out;
}

void expectSameData(const PhysicalData& a, const PhysicalData& b, const std::string& how) {
    EXPECT_EQ(a.molybdenum, b.molybdenum) << how;
    EXPECT_EQ(a.rhodium, b.rhodium) << how;
    EXPECT_EQ(a.aluminum, b.aluminum) << how;
    EXPECT_EQ(a.beryllium, b.beryllium) << how;
    EXPECT_EQ(a.air, b.air) << how;
    EXPECT_EQ(a.field9, b.field9) << how;
    EXPECT_EQ(a.tungsten, b.tungsten) << how;
    EXPECT_EQ(a.silver, b.silver) << how;
    EXPECT_EQ(a.stoppingEnergy, b.stoppingEnergy) << how;
    EXPECT_EQ(a.stoppingPower, b.stoppingPower) << how;
}

TEST(PhysicalData, ShippedTablesLoadIntoTheRightColumns) {
    const PhysicalData& d = shippedData();
    // Bin 100 is 20.0 keV: molybdenum above its K edge, far above its neighbour below.
    EXPECT_NEAR(d.molybdenum[100] / 10.22, 79.55, 0.05);
    EXPECT_GT(d.molybdenum[100], 5 * d.molybdenum[99]);
    EXPECT_LT(d.rhodium[116], d.rhodium[117] / 4); // Rh K edge 23.22 keV between bins 116 and 117
    EXPECT_LT(d.silver[127], d.silver[128] / 4);   // Ag K edge 25.51 keV between bins 127 and 128
    EXPECT_LT(d.tungsten[51], d.tungsten[52] / 2); // W L3 edge 10.21 keV between bins 51 and 52
    EXPECT_NEAR(d.air[100] / 0.001205, 0.778, 0.01);
    EXPECT_NEAR(d.aluminum[100] / 2.699, 3.44, 0.05);
    EXPECT_NEAR(d.beryllium[100] / 1.848, 0.225, 0.005);
    EXPECT_EQ(d.stoppingEnergy[1], 1.0);
    EXPECT_EQ(d.stoppingPower[1], 34.8);
    EXPECT_EQ(d.stoppingEnergy[20], 80.0);
    EXPECT_EQ(d.molybdenum[0], 0.0);
}

TEST(PhysicalData, RecordsSplitDifferentlyOrFollowedByMoreLinesLoadIdentically) {
    const std::string mus = shipped(kAttenuationFileName), stp = shipped(kStoppingPowerFileName);
    const std::pair<const char*, std::pair<std::string, std::string>> variants[] = {
        {"one number per line", {onePerLine(mus), onePerLine(stp)}},
        {"all on one line", {allOnOneLine(mus), allOnOneLine(stp)}},
        {"extra lines after the last record",
         {mus + "50.2, 1, 2, 3\r\nnot data\r\n", stp + "100, 2.3\r\ntail\r\n"}},
        {"bare line feeds", {onePerLine(mus), allOnOneLine(stp)}},
    };
    for (const auto& [how, files] : variants) {
        TempDir dir;
        dir.write(kAttenuationFileName, files.first);
        dir.write(kStoppingPowerFileName, files.second);
        expectSameData(LoadPhysicalData(dir.path()), shippedData(), how);
    }
}

TEST(PhysicalData, FaultsNameTheFileAndTheLine) {
    const std::string mus = shipped(kAttenuationFileName), stp = shipped(kStoppingPowerFileName);
    auto replaced = [](std::string s, const std::string& what, const std::string& by) {
        return s.replace(s.find(what), what.size(), by);
    };
    struct Case {
        const char* name;
        std::string mus, stp;
        const char* file;
        FileFault fault;
        int line;
    };
    const Case cases[] = {
        {"no MUs12.dat", "", stp, kAttenuationFileName, FileFault::Missing, 0},
        {"no Mo-STP.dat", mus, "", kStoppingPowerFileName, FileFault::Missing, 0},
        {"MUs12.dat cut after 100 records", mus.substr(0, mus.find("\r\n20.2,") + 2), stp,
         kAttenuationFileName, FileFault::EndsEarly, 102},
        {"Mo-STP.dat cut after 19 rows", mus, stp.substr(0, stp.find("80.0")), kStoppingPowerFileName,
         FileFault::EndsEarly, 21},
        {"a word in MUs12.dat", replaced(mus, "\r\n3.0,", "\r\nthree,"), stp, kAttenuationFileName,
         FileFault::NotANumber, 16},
        {"a negative coefficient", replaced(mus, ", 1.37337E+02", ", -1.37337E+02"), stp,
         kAttenuationFileName, FileFault::BadValue, 100},
        {"a zero stopping power", mus, replaced(stp, "12.530", "0"), kStoppingPowerFileName,
         FileFault::BadValue, 10},
        {"energies not ascending", mus, replaced(stp, "11.0,", "8.0,"), kStoppingPowerFileName,
         FileFault::BadValue, 11},
        {"first energy above 1 keV", mus, replaced(stp, "1.0, 34.800", "1.2, 34.800"), kStoppingPowerFileName,
         FileFault::BadValue, 2},
        {"last energy below 50 keV", mus, replaced(replaced(stp, "60.0,", "46.0,"), "80.0,", "48.0,"),
         kStoppingPowerFileName, FileFault::BadValue, 21},
    };
    for (const Case& c : cases) {
        TempDir dir;
        if (!c.mus.empty()) dir.write(kAttenuationFileName, c.mus);
        if (!c.stp.empty()) dir.write(kStoppingPowerFileName, c.stp);
        try {
            LoadPhysicalData(dir.path());
            ADD_FAILURE() << c.name << ": loaded";
        } catch (const FileError& e) {
            EXPECT_EQ(e.file, c.file) << c.name;
            EXPECT_EQ(e.fault, c.fault) << c.name << ": " << e.what();
            EXPECT_EQ(e.line, c.line) << c.name << ": " << e.what();
        }
    }
}

// Either table replaced by a folder, a pipe, an endless device or a file far
// larger than a table: the tool says the table is missing, at once.
TEST(PhysicalData, OnlyARegularFileOfATablesSizeIsRead) {
    for (const char* name : {kAttenuationFileName, kStoppingPowerFileName})
        for (int kind = 0; kind < 4; ++kind) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(kind));
            TempDir dir;
            dir.write(kAttenuationFileName, shipped(kAttenuationFileName));
            dir.write(kStoppingPowerFileName, shipped(kStoppingPowerFileName));
            const std::filesystem::path p = dir.path() / name;
            std::filesystem::remove(p);
            if (kind == 0) std::filesystem::create_directory(p);
            if (kind == 1) {
                ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0);
            }
            if (kind == 2) std::filesystem::create_symlink("/dev/urandom", p);
            if (kind == 3) {
                dir.write(name, shipped(name));
                std::filesystem::resize_file(p, std::uintmax_t{2} << 30);
            }
            try {
                LoadPhysicalData(dir.path());
                ADD_FAILURE() << "loaded";
            } catch (const FileError& e) {
                EXPECT_EQ(e.fault, FileFault::Missing) << e.what();
                EXPECT_EQ(e.file, name);
            }
        }
}

} // namespace
