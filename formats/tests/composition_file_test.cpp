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
        int line; // what the refusal names; 0 for the whole file
    };
    const Row rows[] = {
        {head + "H = 0.1\r\nO = 0.9\r\n", "", 0},
        {head + "H = 0.1\r\nO = 0.9\r\n\r\n  \r\n", "", 0},
        {head + "H = 0.1\r\n", "ends before this line", 6},
        {head + "H = 0.1\r\nXx = 0.9\r\n", "names \"Xx\", which is not a chemical element", 6},
        {head + "H = 0.1\r\nO = 0,9\r\n", "holds \"0,9\" where a mass fraction belongs", 6},
        {head + "H = 0.1\r\nO = 0.5\r\n", "add up to 0.6, not 1", 0},
        {head + "H = 0.1\r\nO 0.9\r\n", "should read", 6},
        {"Breast\r\nFraction = 50\r\n", "should read \"Glandular fraction (%) = <value>\"", 2},
        {"Breast\r\nGlandular fraction (%) = 50\r\nDensity (g/cm3) = -1\r\nElements = 2\r\n", "density -1",
         3},
        // So thin that no energy would stay in a voxel: the run would end without a dose.
        {"Breast\r\nGlandular fraction (%) = 50\r\nDensity (g/cm3) = 1e-300\r\nElements = 2\r\n",
         "the density 1E-300 g/cm3 lies outside 0.01 to 25 g/cm3", 3},
        {"Breast\r\nGlandular fraction (%) = 50\r\nDensity (g/cm3) = 1\r\nElements = 2.5\r\n",
         "number of elements 2.5", 4},
        // A count below the lines that follow would drop an element from the material unseen.
        {head + "H = 0.1\r\nO = 0.895\r\nN = 0.005\r\n", "an element line beyond the 2 that line 4 states",
         7},
        {head + "H = 0.1\r\nO = 0.9\r\n\r\nC = 0.0\r\n", "an element line beyond the 2", 8},
        // Quoted text is shown safe to print: no escape sequence reaches the terminal.
        {head + "H = 0.1\r\n\x1b[2J = 0.9\r\n", "names \"\uFFFD[2J\"", 6},
        {head + "H = 0.1\r\nO = " + std::string(5000, '9') + "x\r\n", "\u2026\" where a mass fraction", 6},
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
            EXPECT_EQ(e.line, r.line) << e.what();
            const std::string where =
                r.line ? "BR12-50.dat, line " + std::to_string(r.line) + ": " : "BR12-50.dat: ";
            EXPECT_EQ(std::string(e.what()).rfind(where, 0), 0u) << e.what();
            EXPECT_NE(std::string(e.what()).find(r.message), std::string::npos) << e.what();
            EXPECT_LT(std::string(e.what()).size(), 300u);
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
