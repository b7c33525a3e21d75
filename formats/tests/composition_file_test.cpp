#include "kv/formats/composition_file.h"
#include "kv/test_support/work_dir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kv::formats;

namespace {

TEST(CompositionFile, ShippedFilesHoldTheCompositionTable) {
    struct Row {
        int fraction;
        double density, h, c, n, o, p;
    };
    const Row rows[] = {
        {10, 0.9399, 0.111, 0.576, 0.019, 0.294, 0.001}, {20, 0.9501, 0.110, 0.532, 0.020, 0.336, 0.002},
        {30, 0.9605, 0.109, 0.488, 0.022, 0.379, 0.002}, {40, 0.9711, 0.108, 0.445, 0.023, 0.421, 0.003},
        {50, 0.9819, 0.107, 0.401, 0.025, 0.464, 0.003}, {60, 0.9930, 0.106, 0.358, 0.026, 0.507, 0.003},
        {70, 1.0044, 0.105, 0.315, 0.028, 0.549, 0.004}, {80, 1.0160, 0.104, 0.271, 0.029, 0.592, 0.004},
        {90, 1.0278, 0.103, 0.227, 0.030, 0.634, 0.005},
    };
    for (const Row& r : rows) {
        std::string name = "BR12-" + std::to_string(r.fraction) + ".dat";
        Composition c = readCompositionFile(kv::test_support::shippedDataDir(), name);
        EXPECT_EQ(c.glandularFraction, r.fraction) << name;
        EXPECT_EQ(c.material.density, r.density) << name;
        ASSERT_EQ(c.material.elements.size(), 5u) << name;
        const int z[] = {1, 6, 7, 8, 15};
        const double w[] = {r.h, r.c, r.n, r.o, r.p};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(c.material.elements[i].z, z[i]) << name;
            EXPECT_EQ(c.material.elements[i].massFraction, w[i]) << name;
        }
    }
}

TEST(CompositionFile, FaultsNameTheFileAndTheLine) {
    kv::test_support::TempDir temp;
    const fs::path& dir = temp.path();
    const std::string head =
        "Breast\r\nGlandular fraction (%) = 50\r\nDensity (g/cm3) = 0.98\r\nElements = 2\r\n";
    struct Row {
        std::string content, message;
    };
    const Row rows[] = {
        {head + "H = 0.1\r\nO = 0.9\r\n", ""},
        {head + "H = 0.1\r\n", "ends before line 6"},
        {head + "H = 0.1\r\nXx = 0.9\r\n", "line 6 names \"Xx\", which is not a chemical element"},
        {head + "H = 0.1\r\nO = 0,9\r\n", "line 6 holds \"0,9\" where a mass fraction belongs"},
        {head + "H = 0.1\r\nO = 0.5\r\n", "add up to 0.6, not 1"},
        {head + "H = 0.1\r\nO 0.9\r\n", "line 6 should read"},
        {"Breast\r\nFraction = 50\r\n", "line 2 should read \"Glandular fraction (%) = <value>\""},
        {"Breast\r\nGlandular fraction (%) = 50\r\nDensity (g/cm3) = -1\r\nElements = 2\r\n", "density -1"},
        // So thin that no energy would stay in a voxel: the run would end without a dose.
        {"Breast\r\nGlandular fraction (%) = 50\r\nDensity (g/cm3) = 1e-300\r\nElements = 2\r\n",
         "line 3, the density 1E-300 g/cm3, lies outside 0.01 to 25 g/cm3"},
        {"Breast\r\nGlandular fraction (%) = 50\r\nDensity (g/cm3) = 1\r\nElements = 2.5\r\n",
         "number of elements 2.5"},
    };
    for (const Row& r : rows) {
        std::ofstream(dir / "BR12-50.dat", std::ios::binary) << r.content;
        if (r.message.empty()) {
            Composition c = readCompositionFile(dir, "BR12-50.dat");
            EXPECT_EQ(c.material.elements.size(), 2u);
            continue;
        }
        try {
            readCompositionFile(dir, "BR12-50.dat");
            ADD_FAILURE() << "accepted: " << r.content;
        } catch (const FileError& e) {
            EXPECT_EQ(e.file, "BR12-50.dat");
            EXPECT_NE(std::string(e.what()).find("BR12-50.dat: "), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(r.message), std::string::npos) << e.what();
        }
    }
    try {
        readCompositionFile(dir, "BR12-70.dat");
        ADD_FAILURE() << "a missing file was read";
    } catch (const FileError& e) {
        EXPECT_EQ(e.fault, FileFault::Missing);
        EXPECT_EQ(std::string(e.what()), "BR12-70.dat: cannot be opened");
    }
}

} // namespace
