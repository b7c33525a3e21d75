#include "kv/formats/measured_spectrum_file.h"
#include "kv/test_support/work_dir.h"

#include <gtest/gtest.h>

namespace {

using namespace kv::formats;
using kv::test_support::TempDir;

// The head of a catalogue file as it is stored: Latin-1 degree sign, tabs, LF.
const std::string kCatalogueHead = "# 18.11.2020\n"
                                   "# anode: rhodium\n"
                                   "# tube voltage: 29 kV\n"
                                   "# anode angle: 18\xB0\n"
                                   "# energy \t fluence\n";

TEST(MeasuredSpectrumFile, ReadsWhatSpectrometersWrite) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<MeasuredBin> bins;
        std::optional<double> kv;
    };
    const Case cases[] = {
        {"catalogue layout",
         kCatalogueHead + "2.500e-01 \t 0.00000e+00\n5.000e-01 \t 1.71598e-01\n",
         {{0.25, 0}, {0.5, 0.171598}},
         29},
        {"CR LF, a byte-order mark and blank lines",
         "\xEF\xBB\xBF# export\r\n\r\n20.25 3.5\r\n  \r\n20.5 4\r\n",
         {{20.25, 3.5}, {20.5, 4}},
         std::nullopt},
        {"comma-separated", "# tube voltage = 31.5 kV\n1.0,2.5\n1.25,3\n", {{1.0, 2.5}, {1.25, 3}}, 31.5},
        {"semicolon-separated, no newline at the end",
         "1.0;2.5\n1.5;0",
         {{1.0, 2.5}, {1.5, 0}},
         std::nullopt},
        {"a comment after the data and a stated voltage in another case",
         "# Tube Voltage: 28kV\n1 1\n# end\n",
         {{1, 1}},
         28},
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write("s.dat", c.bytes);
        const MeasuredSpectrum m = readMeasuredSpectrum(dir.file("s.dat"));
        ASSERT_EQ(m.bins.size(), c.bins.size()) << c.name;
        for (size_t j = 0; j < c.bins.size(); ++j) {
            EXPECT_EQ(m.bins[j].top, c.bins[j].top) << c.name << " bin " << j;
            EXPECT_EQ(m.bins[j].fluence, c.bins[j].fluence) << c.name << " bin " << j;
        }
        EXPECT_EQ(m.tubeVoltage, c.kv) << c.name;
        EXPECT_EQ(m.contentHash.size(), 64u) << c.name;
    }
}

TEST(MeasuredSpectrumFile, EachFaultHasItsLineValueAndMessage) {
    struct Case {
        const char* name;
        std::string bytes;
        MeasuredFault reason;
        int line;
        const char* value;
        const char* message; // English, with the file name "s.dat" in the folder
    };
    const Case cases[] = {
        {"a word", "# head\n1 2\n1.5 lots\n", MeasuredFault::NotANumber, 3, "lots",
         "holds \"lots\" in line 3, which is not a number"},
        {"a column header without #", "energy fluence\n1 2\n", MeasuredFault::NotANumber, 1, "energy",
         "holds \"energy\" in line 1"},
        {"decimal commas", "1\t2\n1,5\t2,25\n", MeasuredFault::DecimalComma, 2, "1,5",
         "write the decimal point as \".\""},
        {"decimal commas with semicolons", "1,5;2,25\n", MeasuredFault::DecimalComma, 1, "1,5",
         "not as a comma"},
        {"infinite", "1 2\n2 1e999\n", MeasuredFault::NotFinite, 2, "1e999", "a number too large to use"},
        {"three columns", "1 2 3\n", MeasuredFault::WrongShape, 1, "3", "holds 3 columns in line 1"},
        {"one column: a cut line", "1 2\n1.5\n", MeasuredFault::WrongShape, 2, "1",
         "holds 1 columns in line 2"},
        {"energies falling", "1 2\n2 2\n1.75 2\n", MeasuredFault::EnergyNotRising, 3, "1.75",
         "the energy 1.75 keV in line 3, which does not rise"},
        {"an energy repeated", "1 2\n1 2\n", MeasuredFault::EnergyNotRising, 2, "1", "does not rise"},
        {"an energy of zero", "0 2\n1 2\n", MeasuredFault::EnergyNotPositive, 1, "0", "which is not above 0"},
        {"a negative fluence", "1 2\n2 -0.5\n", MeasuredFault::NegativeFluence, 2, "-0.5",
         "the negative fluence -0.5 in line 2"},
        {"comments only", "# nothing measured\n\n", MeasuredFault::NoBins, 0, "",
         "holds no line of energy and fluence"},
        {"an empty file", "", MeasuredFault::NoBins, 0, "", "holds no line"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write("s.dat", c.bytes);
        try {
            readMeasuredSpectrum(dir.file("s.dat"));
            ADD_FAILURE() << c.name << ": read";
        } catch (const MeasuredSpectrumError& e) {
            EXPECT_EQ(e.reason, c.reason) << c.name << ": " << e.what();
            EXPECT_EQ(e.line, c.line) << c.name;
            EXPECT_EQ(e.value, c.value) << c.name;
            const std::string said = describeMeasured(e, kv::texts::englishSpectrumFileTexts);
            EXPECT_NE(said.find(c.message), std::string::npos) << c.name << ": " << said;
            EXPECT_NE(said.find("s.dat"), std::string::npos) << c.name << ": " << said;
            const std::string ja = describeMeasured(e, kv::texts::japaneseSpectrumFileTexts);
            EXPECT_NE(ja.find("s.dat"), std::string::npos) << c.name << ": " << ja;
            EXPECT_NE(ja, said) << c.name;
        }
    }
}

TEST(MeasuredSpectrumFile, WhatIsNoFileIsMissingAndAValueIsShownSafely) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder.dat"));
    std::filesystem::create_symlink(dir.file("gone.dat"), dir.file("dangling.dat"));
    for (const char* name : {"folder.dat", "dangling.dat", "none.dat"}) {
        try {
            readMeasuredSpectrum(dir.file(name));
            ADD_FAILURE() << name << ": read";
        } catch (const MeasuredSpectrumError& e) {
            ADD_FAILURE() << name << ": " << e.what();
        } catch (const FileError& e) {
            EXPECT_EQ(e.fault, FileFault::Missing) << name;
        }
    }
    // A control character and a runaway token are shown cut and harmless.
    dir.write("s.dat", "1 \x1b[2J" + std::string(100, 'x') + "\n");
    try {
        readMeasuredSpectrum(dir.file("s.dat"));
        ADD_FAILURE() << "read";
    } catch (const MeasuredSpectrumError& e) {
        EXPECT_EQ(e.value.find('\x1b'), std::string::npos);
        EXPECT_LT(e.value.size(), 50u);
    }
}

} // namespace
