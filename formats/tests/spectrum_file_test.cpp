#include "kv/common/codepage.h"
#include "kv/formats/spectrum_file.h"
#include "kv/test_support/work_dir.h"

#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace kv::formats;
using kv::test_support::TempDir;
const auto& kEnglish = kv::texts::englishSpectrumFileTexts.labels;
const auto& kJapanese = kv::texts::japaneseSpectrumFileTexts.labels;

std::vector<std::string> crlfLines(const std::string& bytes) {
    std::vector<std::string> out;
    size_t at = 0;
    for (size_t end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2)
        out.push_back(bytes.substr(at, end - at));
    EXPECT_EQ(at, bytes.size()) << "text after the last CR LF";
    return out;
}

// A table of distinct values so that a swapped index shows.
SpectrumTable sampleTable() {
    SpectrumTable t{};
    for (int k = 0; k < kColumns; ++k)
        for (int i = 2; i <= 150; ++i)
            t[k][i] = (k + 1) * 1e-6 + i * 1e-8;
    return t;
}

SpectrumFields edgeFields() {
    SpectrumFields f;
    f.tubeVoltage = "30";
    f.targetAngle = "12";
    f.tubeTiltAngle = "0";
    f.beryllium = "0.8";
    f.aluminum = "0";
    f.molybdenum = "0";
    f.rhodium = "0.025";
    f.silver = "0";
    f.airLayer = "60";
    return f;
}

TEST(SpectrumFile, HeaderLinesPerEdition) {
    SpectrumTable t{};
    auto en = crlfLines(spectrumFileText(TargetMaterial::Molybdenum, edgeFields(), t, kEnglish));
    const std::vector<std::string> expected = {"Molybdenum target",       "Tube voltage = 30.0 kV",
                                               "Target angle = 12.0 deg", "Tube tilt angle = 0.0 deg",
                                               "Beryllium = 0.80 mm",     "Aluminum = 0.00 mm",
                                               "Molybdenum = 0.000 mm",   "Rhodium = 0.025 mm",
                                               "Silver = 0.000 mm",       "Air layer = 60.0 cm"};
    ASSERT_EQ(en.size(), 260u);
    EXPECT_EQ(std::vector<std::string>(en.begin(), en.begin() + 10), expected);

    SpectrumFields f = edgeFields();
    f.tubeVoltage = "28.55abc"; // texts are parsed leniently and formatted, not copied
    f.tubeTiltAngle = "-2.5";
    f.airLayer = "";
    auto ja = crlfLines(spectrumFileText(TargetMaterial::Tungsten, f, t, kJapanese));
    EXPECT_EQ(ja[0], "タングステンターゲット");
    EXPECT_EQ(ja[1], "管電圧 = 28.6 kV");
    EXPECT_EQ(ja[3], "管球傾斜角度 = -2.5 deg");
    EXPECT_EQ(ja[7], "ロジウム = 0.025 mm");
    EXPECT_EQ(ja[9], "空気層 = 0.0 cm");
}

TEST(SpectrumFile, TableLinesHold43FieldsIn468Characters) {
    SpectrumTable t{};
    t[1][100] = 1.23456E-05;
    t[42][100] = 1e-10; // what the normalisation leaves is written as it stands
    t[7][250] = 0.5;
    auto lines = crlfLines(spectrumFileText(TargetMaterial::Molybdenum, edgeFields(), t, kEnglish));
    ASSERT_EQ(lines.size(), 260u);
    for (int i = 1; i <= 250; ++i)
        ASSERT_EQ(lines[9 + i].size(), 468u) << "bin " << i;
    EXPECT_EQ(lines[10].substr(0, 19), "0000.2  0.000E+00  ");
    EXPECT_EQ(lines[259].substr(0, 6), "0050.0");
    const std::string& bin100 = lines[109];
    EXPECT_EQ(bin100.substr(0, 19), "0020.0  1.235E-05  ");
    EXPECT_EQ(bin100.substr(468 - 11), "  1.000E-10");
    EXPECT_EQ(lines[259].substr(8 + 6 * 11, 9), "5.000E-01");
}

TEST(SpectrumFile, WrittenInTheSystemCodePageAndReadBackInEitherEdition) {
    const SpectrumTable t = sampleTable();
    for (const auto* labels : {&kEnglish, &kJapanese}) {
        TempDir dir;
        writeSpectrumFile(dir.path(), TargetMaterial::Tungsten, edgeFields(), t, *labels);
        const std::string bytes = dir.read(kSpectrumFileName);
        EXPECT_EQ(bytes, kv::toCp932(spectrumFileText(TargetMaterial::Tungsten, edgeFields(), t, *labels)));
        SpectrumFileContents c = readSpectrumFile(dir.path());
        EXPECT_EQ(c.target, TargetMaterial::Tungsten);
        EXPECT_EQ(c.tubeVoltage, 30.0);
        EXPECT_EQ(c.targetAngle, 12.0);
        EXPECT_EQ(c.tubeTiltAngle, 0.0);
        EXPECT_EQ(c.beryllium, 0.8);
        EXPECT_EQ(c.rhodium, 0.025);
        EXPECT_EQ(c.airLayer, 60.0);
        for (int k = 0; k < kColumns; ++k)
            for (int i = 0; i < kBins; ++i) {
                double expected = (k == 0 || i == 0) ? 0.0 : t[k][i];
                ASSERT_NEAR(c.table[k][i], expected, expected * 5e-4) << k << "," << i;
            }
    }
}

TEST(SpectrumFile, ReaderAcceptsBareLineFeedsAndTrailingBlankLines) {
    TempDir dir;
    std::string text = spectrumFileText(TargetMaterial::Molybdenum, edgeFields(), sampleTable(), kEnglish);
    std::string lf;
    for (char ch : text)
        if (ch != '\r') lf += ch;
    dir.write(kSpectrumFileName, lf + "\n  \n");
    EXPECT_EQ(readSpectrumFile(dir.path()).target, TargetMaterial::Molybdenum);
}

// Replaces line `n` (1-based) of the English sample file.
std::string withLine(int n, const std::string& replacement) {
    auto lines =
        crlfLines(spectrumFileText(TargetMaterial::Molybdenum, edgeFields(), sampleTable(), kEnglish));
    std::string out;
    for (int i = 1; i <= static_cast<int>(lines.size()); ++i)
        if (i != n || replacement != "<drop>") out += (i == n ? replacement : lines[i - 1]) + "\r\n";
    return out;
}

TEST(SpectrumFile, ReaderNamesTheLineOfAWrongLayout) {
    const std::string good = withLine(0, "");
    const std::string bin37 = crlfLines(good)[46];
    struct Case {
        const char* name;
        std::string bytes;
        FileFault fault;
        int line;
    };
    const Case cases[] = {
        {"unknown target", withLine(1, "Copper target"), FileFault::BadLayout, 1},
        {"label of another line", withLine(5, "Aluminum = 0.80 mm"), FileFault::BadLayout, 5},
        {"unit missing", withLine(2, "Tube voltage = 30.0"), FileFault::BadLayout, 2},
        {"word for a number", withLine(10, "Air layer = sixty cm"), FileFault::NotANumber, 10},
        {"field missing", withLine(47, bin37.substr(0, bin37.size() - 11)), FileFault::BadLayout, 47},
        {"energy out of step", withLine(47, "0099.9" + bin37.substr(6)), FileFault::BadLayout, 47},
        {"garbled value", withLine(47, bin37.substr(0, 20) + "X" + bin37.substr(21)), FileFault::NotANumber,
         47},
        {"negative value", withLine(47, bin37.substr(0, 8) + "-" + bin37.substr(9)), FileFault::BadValue, 47},
        {"a line lost", withLine(100, "<drop>"), FileFault::BadLayout, 100},
        {"cut short", good.substr(0, good.find("0025.0")), FileFault::EndsEarly, 135},
        {"more lines", good + "0050.2\r\n", FileFault::BadLayout, 261},
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write(kSpectrumFileName, c.bytes);
        try {
            readSpectrumFile(dir.path());
            ADD_FAILURE() << c.name << ": read";
        } catch (const FileError& e) {
            EXPECT_EQ(e.fault, c.fault) << c.name << ": " << e.what();
            EXPECT_EQ(e.line, c.line) << c.name << ": " << e.what();
            EXPECT_EQ(e.file, kSpectrumFileName);
        }
    }
    TempDir empty;
    EXPECT_THROW(
        {
            try {
                readSpectrumFile(empty.path());
            } catch (const FileError& e) {
                EXPECT_EQ(e.fault, FileFault::Missing);
                EXPECT_EQ(describe(e, kv::texts::englishSpectrumFileTexts),
                          "The file P_SPCTL.dat is missing or cannot be read");
                throw;
            }
        },
        FileError);
}

TEST(SpectrumFile, DeleteIgnoresAMissingFileAndAFailedWriteKeepsTheOldOne) {
    TempDir dir;
    EXPECT_NO_THROW(deleteSpectrumFile(dir.path()));
    dir.write(kSpectrumFileName, "old");
    deleteSpectrumFile(dir.path());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / kSpectrumFileName));

    dir.write(kSpectrumFileName, "old");
    SpectrumFields f = edgeFields();
    EXPECT_THROW(writeSpectrumFile(dir.path() / "no such folder", TargetMaterial::Molybdenum, f,
                                   sampleTable(), kEnglish),
                 FileError);
    EXPECT_EQ(dir.read(kSpectrumFileName), "old");
}

// The exact values beside the file are used only with the very file they were written for.
TEST(SpectrumExactFile, CarriesWhatTheHeaderRoundsOnlyForItsOwnFile) {
    TempDir dir;
    SpectrumFields f = edgeFields();
    f.aluminum = "0.631";
    f.rhodium = "0.0254";
    f.tubeVoltage = "28.25";
    writeSpectrumFile(dir.path(), TargetMaterial::Molybdenum, f, sampleTable(), kEnglish);
    const std::string written = dir.read(kSpectrumFileName);
    writeSpectrumExactFile(dir.path(), f);
    EXPECT_EQ(dir.read(kSpectrumFileName), written); // P_SPCTL.dat itself stays as it was

    SpectrumFileContents c = readSpectrumFile(dir.path());
    EXPECT_DOUBLE_EQ(c.aluminum, 0.63);
    EXPECT_TRUE(applySpectrumExactFile(dir.path(), c));
    EXPECT_TRUE(c.exact);
    EXPECT_DOUBLE_EQ(c.aluminum, 0.631);
    EXPECT_DOUBLE_EQ(c.rhodium, 0.0254);
    EXPECT_DOUBLE_EQ(c.tubeVoltage, 28.25);
    EXPECT_DOUBLE_EQ(c.beryllium, 0.8);

    const struct {
        const char* row;
        std::string spectrum; // what then stands in P_SPCTL.dat
        std::string side;     // what then stands in the side file ("" for none)
    } stale[] = {
        {"spectrum rewritten by hand", written.substr(0, written.size() - 3) + "1\r\n",
         dir.read(kSpectrumExactFileName)},
        {"no side file", written, ""},
        {"side file of another beam", written,
         "spectrum_sha256 = " + c.contentHash +
             "\r\ntube_voltage_kv = 28.25\r\ntarget_angle_deg = 12\r\n"
             "tube_tilt_deg = 0\r\nberyllium_mm = 0.8\r\naluminum_mm = 0.7\r\nmolybdenum_mm = 0\r\n"
             "rhodium_mm = 0.0254\r\nsilver_mm = 0\r\nair_layer_cm = 60\r\n"},
        {"side file without a value", written, "spectrum_sha256 = " + c.contentHash + "\r\n"},
    };
    for (const auto& r : stale) {
        TempDir d;
        d.write(kSpectrumFileName, r.spectrum);
        if (!r.side.empty()) d.write(kSpectrumExactFileName, r.side);
        SpectrumFileContents read = readSpectrumFile(d.path());
        const SpectrumFileContents before = read;
        EXPECT_FALSE(applySpectrumExactFile(d.path(), read)) << r.row;
        EXPECT_FALSE(read.exact) << r.row;
        EXPECT_DOUBLE_EQ(read.aluminum, before.aluminum) << r.row;
    }
    // What stands in the side file's place but cannot be read is named, never passed over.
    const struct {
        const char* row;
        void (*make)(const std::filesystem::path&);
    } standIns[] = {
        {"a folder", [](const std::filesystem::path& p) { std::filesystem::create_directory(p); }},
        {"a pipe", [](const std::filesystem::path& p) { ::mkfifo(p.c_str(), 0600); }},
        {"a link to nothing",
         [](const std::filesystem::path& p) {
             std::filesystem::create_symlink(p.parent_path() / "gone", p);
         }},
    };
    for (const auto& r : standIns) {
        TempDir d;
        d.write(kSpectrumFileName, written);
        r.make(d.path() / kSpectrumExactFileName);
        SpectrumFileContents read = readSpectrumFile(d.path());
        try {
            applySpectrumExactFile(d.path(), read);
            ADD_FAILURE() << r.row << " passed over";
        } catch (const FileError& e) {
            EXPECT_EQ(e.file, kSpectrumExactFileName) << r.row;
            EXPECT_EQ(e.fault, FileFault::NotAFile) << r.row;
        }
        EXPECT_FALSE(read.exact) << r.row;
    }
    deleteSpectrumFile(dir.path());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / kSpectrumFileName));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / kSpectrumExactFileName));
}

} // namespace
