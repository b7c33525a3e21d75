#include "kv/common/codepage.h"
#include "kv/common/format.h"
#include "kv/common/temporaries.h"
#include "kv/formats/equipment_file.h"
#include "kv/spectrum/model/beam_quality.h"
#include "kv/spectrum/model/measured_source.h"
#include "kv/spectrum/model/physical_data.h"
#include "kv/spectrum/model/spectrum_model.h"
#include "kv/test_support/work_dir.h"
#include "spectrum_tool.h"

#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace kv::spectrum;
using namespace kv::formats;
using kv::test_support::shippedDataDir;
using kv::test_support::TempDir;

const PhysicalData& shippedData() {
    static const PhysicalData data = LoadPhysicalData(shippedDataDir());
    return data;
}

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun run(std::vector<std::string> args) {
    std::ostringstream out, err;
    int status = runSpectrumTool(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(SpectrumTool, WritesWhatDetermineWritesAndPrintsTheBeamQuality) {
    TempDir dir;
    const std::string data = shippedDataDir().string();
    // Omitted fields take the screen's start values; the angles come from equipment.dat (16, 6).
    ToolRun r = run({"--target", "W", "--kv", "28", "--rh", "0.05", "--be", "1", "--data", data, "--out",
                     (dir.path() / "w28.dat").string(), "--edition", "ja"});
    ASSERT_EQ(r.status, 0) << r.err;
    SpectrumFields f{.tubeVoltage = "28",
                     .targetAngle = "16.0",
                     .tubeTiltAngle = "6.0",
                     .beryllium = "1",
                     .aluminum = "0",
                     .molybdenum = "0",
                     .rhodium = "0.05",
                     .silver = "0",
                     .airLayer = "60"};
    const SpectrumResult expected = computeSpectrum(TargetMaterial::Tungsten, shippedData(), f);
    EXPECT_EQ(dir.read("w28.dat"),
              kv::toCp932(spectrumFileText(TargetMaterial::Tungsten, f, expected.table,
                                           kv::texts::japaneseSpectrumFileTexts.labels)));
    // The HVL of the central ray through the paddle: no Geometry.dat, so 1.5 mm polycarbonate.
    const BeamQuality q = *beamQuality(expected.table[0], shippedData().aluminum,
                                       plateTransmission(PlateMaterial::Polycarbonate, 1.5));
    EXPECT_NE(r.out.find("第1半価層 (mm Al): " + kv::format(q.firstHvl, "0.0000")), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("平均エネルギー (keV): " + kv::format(q.meanEnergy, "0.000")), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("測定条件: 圧迫板をビームに入れた値\n"), std::string::npos) << r.out;
}

TEST(SpectrumTool, RefusalsAndFaultsGiveTheMessageAndAFailingStatus) {
    TempDir empty, out;
    const std::string data = shippedDataDir().string();
    const std::string file = (out.path() / "P_SPCTL.dat").string();
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"--kv", "50.1", "--data", data}, 1, "The tube voltage exceeds the maximum value"},
        {{"--kv", "50.1", "--data", data, "--edition", "ja"}, 1, "管電圧が最大値を超えています"},
        {{"--target-angle", "14", "--tilt", "6", "--data", data},
         1,
         "This angle setting cannot cover the field size"},
        // Each option read as the screen reads its field: the option, the text and what is wrong.
        {{"--tilt", "50", "--data", data},
         1,
         "Tube tilt angle (--tilt): \"50\" is outside the range -30 to 30 deg."},
        {{"--target-angle", "90", "--data", data},
         1,
         "Target angle (--target-angle): \"90\" must be more than 0 and at most 45 deg."},
        {{"--data", empty.path().string()}, 1, "The file MUs12.dat is missing or cannot be read"},
        {{"--al", "-1", "--data", data}, 1, "Aluminum (--al): \"-1\" is outside the range 0 to 20 mm."},
        {{"--be", "1e999", "--data", data}, 1, "Beryllium (--be): \"1e999\" is not a finite number."},
        {{"--ag", "1e6", "--data", data, "--edition", "ja"},
         1,
         "銀 (--ag)：「1e6」は 0 ～ 20 mm の範囲外です。"},
        {{"--air", "-60", "--data", data}, 1, "Air layer (--air): \"-60\" is outside the range 0 to 500 cm."},
        {{"--air", "5000", "--data", data},
         1,
         "Air layer (--air): \"5000\" is outside the range 0 to 500 cm."},
        {{"--air", "nan", "--data", data}, 1, "Air layer (--air): \"nan\" is not a finite number."},
        {{"--kv", "28,5", "--data", data}, 1, "Tube voltage (--kv): \"28,5\" has a decimal comma."},
        {{"--mo", "7,5", "--data", data}, 1, "Molybdenum (--mo): \"7,5\" has a decimal comma."},
        {{"--be", "0,8", "--data", data}, 1, "Beryllium (--be): \"0,8\" has a decimal comma."},
        {{"--rh", "", "--data", data}, 1, "Rhodium (--rh): nothing was typed; a number is needed."},
        {{"--kv", "28kV", "--data", data}, 1, "Tube voltage (--kv): \"28kV\" is not only a number."},
        {{"--kv", "0.3", "--data", data},
         1,
         "Tube voltage (--kv): \"0.3\" is outside the range 15 to 50 kV."},
        // Tungsten below the model's range is refused as molybdenum is, never written at 15 kV.
        {{"--target", "W", "--kv", "10", "--data", data},
         1,
         "Tube voltage (--kv): \"10\" is outside the range 15 to 50 kV."},
        {{"--target=W", "--kv", "14.9", "--data", data, "--edition", "ja"},
         1,
         "管電圧 (--kv)：「14.9」は 15 ～ 50 kV の範囲外です。"},
        {{"--kv", "-5", "--data", data, "--edition", "ja"},
         1,
         "管電圧 (--kv)：「-5」は 15 ～ 50 kV の範囲外です。"},
        {{"--kv=28abc", "--data", data}, 1, "Tube voltage (--kv): \"28abc\" is not only a number."},
        // No photon is made: said, not written.
        {{"--kv", "15", "--ag", "20", "--data", data}, 1, "This spectrum holds no photons"},
        {{"--kv", "15", "--ag", "20", "--data", data, "--edition", "ja"},
         1,
         "このスペクトルには光子がありません"},
        {{"--kv"}, 2, "--kv wants a value"},
        {{"--target", "Cu"}, 2, "--target takes Mo, W, Rh, not \"Cu\""},
        {{"--target=Cu", "--edition=ja"},
         2,
         "--target に指定できるのは Mo, W, Rh で、「Cu」は指定できません"},
        {{"--colour", "red"}, 2, "unknown option \"--colour\""},
        {{"--colour=red", "--edition", "ja"}, 2, "「--colour」は不明なオプションです。"},
        {{"--edition", "fr"}, 2, "--edition takes en, ja, not \"fr\""},
        {{"28"}, 2, "\"28\" is not an option"},
        {{"--kv", "28", "--kv=30"}, 2, "--kv is given more than once"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--out", file});
        ToolRun r = run(args);
        EXPECT_EQ(r.status, c.status) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_FALSE(std::filesystem::exists(file)) << c.message;
    }
    // Data present but no equipment record, and the angles not given.
    TempDir noEquipment;
    for (const char* name : {kAttenuationFileName, kStoppingPowerFileName})
        std::filesystem::copy_file(shippedDataDir() / name, noEquipment.path() / name);
    ToolRun r = run({"--data", noEquipment.path().string(), "--out", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("equipment.dat"), std::string::npos) << r.err;
    EXPECT_EQ(
        run({"--data", noEquipment.path().string(), "--target-angle", "16", "--tilt", "6", "--out", file})
            .status,
        0);
}

// --out naming a pipe or a folder: refused with the name, and the pipe or
// folder stays what it was.
TEST(SpectrumTool, OutputThatIsNoFileIsLeftAlone) {
    TempDir out;
    const std::string data = shippedDataDir().string();
    ASSERT_EQ(::mkfifo((out.path() / "pipe.dat").c_str(), 0600), 0);
    std::filesystem::create_directory(out.path() / "folder.dat");
    for (const char* name : {"pipe.dat", "folder.dat"}) {
        const std::filesystem::path file = out.path() / name;
        const auto type = std::filesystem::symlink_status(file).type();
        ToolRun r = run({"--data", data, "--out", file.string()});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.err.find(name), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("Written"), std::string::npos) << r.out;
        EXPECT_EQ(std::filesystem::symlink_status(file).type(), type) << name;
    }
}

// Only what a killed kv-spectrum left of the file it writes goes: not a
// running writer's, not another file's, not a file of the user's.
TEST(SpectrumTool, ClearsWhatAKilledRunLeftOfItsFile) {
    TempDir out;
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    const std::string me = kv::writerTag(), host = me.substr(me.find('@'));
    const std::string ended = std::to_string(child) + host;
    const std::string abandoned = ".s.dat." + ended + ".Qx12Zz";
    for (const std::string& name : {abandoned, ".s.dat." + me + ".Qx12Zz", ".other.dat." + ended + ".Qx12Zz",
                                    std::string(".s.dat.1@elsewhere.Qx12Zz"), std::string(".s.dat.mine")})
        out.write(name, "x");
    ToolRun r = run({"--data", shippedDataDir().string(), "--out", (out.path() / "s.dat").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    size_t left = 0;
    for (const auto& e : std::filesystem::directory_iterator(out.path()))
        left += e.path().filename() != "s.dat" && e.path().filename() != "s.exact.dat";
    EXPECT_EQ(left, 4u);
    EXPECT_FALSE(std::filesystem::exists(out.path() / abandoned));
}

TEST(SpectrumTool, OptionsAsAUserTypesThem) {
    TempDir dir;
    const std::string data = shippedDataDir().string();
    // Help is asked for, not a mistake.
    for (const char* help : {"--help", "-h"}) {
        ToolRun r = run({help});
        EXPECT_EQ(r.status, 0) << help;
        EXPECT_NE(r.out.find("usage: kv-spectrum"), std::string::npos) << r.out;
        EXPECT_TRUE(r.err.empty()) << r.err;
    }
    // Without a file to write there is nothing to do: said in the edition asked for.
    struct NoOut {
        std::vector<std::string> args;
        std::string message, usage;
    };
    const NoOut noOuts[] = {
        {{"--data", data}, "--out FILE is needed", "--help lists the options."},
        {{"--data", data, "--match-hvl", "0.36"}, "--out FILE is needed", "--help lists the options."},
        {{"--edition", "ja", "--data", data},
         "--out ファイル を指定してください",
         "--help でオプションの一覧"},
    };
    for (const NoOut& c : noOuts) {
        ToolRun r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.usage), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    // Help wins over a missing --out.
    EXPECT_EQ(run({"--data", data, "-h"}).status, 0);
    // The target in any case.
    for (const char* w : {"w", "W"}) {
        const std::string file = (dir.path() / (std::string(w) + ".dat")).string();
        ToolRun r = run({"--target", w, "--data", data, "--out", file});
        ASSERT_EQ(r.status, 0) << w << r.err;
        EXPECT_EQ(readSpectrumFile(dir.path(), std::string(w) + ".dat").target, TargetMaterial::Tungsten)
            << w;
    }
    EXPECT_EQ(run({"--target", "mo", "--data", data, "--out", (dir.path() / "mo.dat").string()}).status, 0);
    // Full-width digits and the ideographic full stop, in any order and either spelling, give the
    // very file that ASCII gives.
    ASSERT_EQ(
        run({"--out", (dir.path() / "ascii.dat").string(), "--kv", "28.5", "--data", data, "--al", "0.5"})
            .status,
        0);
    ToolRun wide = run(
        {"--al=０。５", "--kv", "２８．５", "--data=" + data, "--out=" + (dir.path() / "wide.dat").string()});
    ASSERT_EQ(wide.status, 0) << wide.err;
    EXPECT_EQ(dir.read("wide.dat"), dir.read("ascii.dat"));
}

// A data folder of its own, to hold a Geometry.dat.
struct DataCopy {
    TempDir dir;
    DataCopy() {
        for (const char* name : {kAttenuationFileName, kStoppingPowerFileName, kEquipmentFileName})
            std::filesystem::copy_file(shippedDataDir() / name, dir.path() / name);
    }
    std::string path() const { return dir.path().string(); }
};

std::string lineOf(const std::string& out, const std::string& label) {
    const size_t at = out.find(label + ": ");
    if (at == std::string::npos) return "";
    const size_t start = at + label.size() + 2;
    return out.substr(start, out.find('\n', start) - start);
}

TEST(SpectrumTool, MatchesAMeasuredHvlWithAndWithoutThePaddle) {
    DataCopy data;
    TempDir out;
    struct Case {
        std::vector<std::string> extra;
        std::optional<Transmission> through;
    };
    const Case cases[] = {
        {{}, plateTransmission(PlateMaterial::Polycarbonate, 1.5)},
        {{"--hvl-with-paddle"}, plateTransmission(PlateMaterial::Polycarbonate, 1.5)},
        {{"--hvl-without-paddle"}, std::nullopt},
    };
    std::vector<double> aluminium;
    for (const Case& c : cases) {
        std::vector<std::string> args = {
            "--kv",        "28",   "--data", data.path(),
            "--match-hvl", "0.36", "--out",  (out.path() / "P_SPCTL.dat").string()};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        ToolRun r = run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string al = lineOf(r.out, "Aluminium (mm)");
        ASSERT_EQ(al.size(), 5u) << r.out;
        aluminium.push_back(kv::parseNumber(al));
        EXPECT_NEAR(kv::parseNumber(lineOf(r.out, "First HVL (mm Al)")), 0.36, 0.001) << r.out;
        // The printout says which beam its HVLs belong to.
        EXPECT_EQ(lineOf(r.out, "Measured"),
                  c.through ? "with the compression paddle in the beam" : "without the compression paddle");
        // The file's header line shows the aluminium to 0.01 mm, as it always has;
        // its table is computed with the thousandths, and its central ray has that HVL.
        SpectrumFileContents written = readSpectrumFile(out.path());
        EXPECT_EQ(written.aluminum, kv::parseNumber(kv::format(aluminium.back(), "0.00")));
        // The engine finds the thousandths beside the file, as after the screen's "Determine".
        ASSERT_TRUE(applySpectrumExactFile(out.path(), written)) << "no P_SPCTL.exact.dat";
        EXPECT_EQ(written.aluminum, aluminium.back());
        SpectrumFields f{.tubeVoltage = "28",
                         .targetAngle = "16.0",
                         .tubeTiltAngle = "6.0",
                         .beryllium = "0.8",
                         .aluminum = al,
                         .molybdenum = "0.03",
                         .rhodium = "0",
                         .silver = "0",
                         .airLayer = "60"};
        const auto q = beamQuality(computeSpectrum(TargetMaterial::Molybdenum, shippedData(), f).table[0],
                                   shippedData().aluminum, c.through);
        EXPECT_NEAR(q->firstHvl, 0.36, 0.001);
        EXPECT_EQ(lineOf(r.out, "First HVL (mm Al)"), kv::format(q->firstHvl, "0.0000"));
    }
    EXPECT_EQ(aluminium[0], aluminium[1]);
    EXPECT_LT(aluminium[0], aluminium[2]);

    // A thicker paddle in Geometry.dat needs less aluminium for the same HVL.
    data.dir.write(kGeometryFileName, "paddle_mm = 3\r\n");
    ToolRun thick = run({"--kv", "28", "--data", data.path(), "--match-hvl", "0.36", "--out",
                         (out.path() / "t.dat").string()});
    ASSERT_EQ(thick.status, 0) << thick.err;
    EXPECT_LT(kv::parseNumber(lineOf(thick.out, "Aluminium (mm)")), aluminium[0]);
}

TEST(SpectrumTool, EverySpectrumFileHasItsExactValuesBeside) {
    const struct {
        const char* row;
        const char* out;
        const char* side;
    } cases[] = {
        {"the engines' file", "P_SPCTL.dat", "P_SPCTL.exact.dat"},
        {"another name", "w28.dat", "w28.exact.dat"},
        {"a name without .dat", "spectrum", "spectrum.exact.dat"},
    };
    EXPECT_EQ(spectrumExactFileName(kSpectrumFileName), kSpectrumExactFileName);
    for (const auto& c : cases) {
        TempDir dir;
        const ToolRun r = run({"--kv", "28", "--al", "0.215", "--data", shippedDataDir().string(), "--out",
                               (dir.path() / c.out).string()});
        ASSERT_EQ(r.status, 0) << c.row << ": " << r.err;
        const std::string side = dir.read(c.side);
        EXPECT_NE(side.find("aluminum_mm = 0.215\r\n"), std::string::npos) << c.row << ":\n" << side;
        EXPECT_NE(side.find("spectrum_sha256 = "), std::string::npos) << c.row;
    }
}

TEST(SpectrumTool, ANewFolderReadsTheShippedData) {
    TempDir dir;
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const ToolRun r = run({"--kv", "28", "--out", "P_SPCTL.dat"});
    std::filesystem::current_path(before);
    // Beside the test programs lie no data: the run is then refused and writes nothing.
    if (r.status == 0) {
        EXPECT_NE(r.out.find("No equipment.dat in " + dir.path().string()), std::string::npos) << r.out;
        EXPECT_FALSE(dir.read("P_SPCTL.dat").empty());
    } else {
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    }
    // --data names the folder; nothing is said then.
    const ToolRun given = run(
        {"--kv", "28", "--data", shippedDataDir().string(), "--out", (dir.path() / "P_SPCTL.dat").string()});
    ASSERT_EQ(given.status, 0) << given.err;
    EXPECT_EQ(given.out.find("No equipment.dat"), std::string::npos) << given.out;
}

TEST(SpectrumTool, RefusedMatchesAndGeometryFaults) {
    DataCopy data;
    TempDir out;
    const std::string written = (out.path() / "P_SPCTL.dat").string();
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"--kv", "28", "--match-hvl", "0.2"}, 3, "without aluminium the first HVL is already 0.31"},
        {{"--kv", "28", "--match-hvl", "0.2", "--edition", "ja"},
         3,
         "この半価層になるアルミニウムフィルタはありません"},
        {{"--kv", "28", "--match-hvl", "40"}, 3, "No aluminium filter from 0 to 10 mm"},
        {{"--kv", "15", "--ag", "20", "--match-hvl", "0.3"}, 3, "no photons"},
        {{"--match-hvl", "thick"}, 2, "--match-hvl: \"thick\" is not a number."},
        {{"--match-hvl", "-0.3"}, 2, "\"-0.3\" must be more than 0 and at most 100 mm Al."},
        {{"--match-hvl", "inf"}, 2, "--match-hvl: \"inf\" is not a finite number."},
        {{"--hvl-with-paddle", "--hvl-without-paddle"}, 2, "cannot be given together"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--data", data.path(), "--out", written});
        ToolRun r = run(args);
        EXPECT_EQ(r.status, c.status) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_FALSE(std::filesystem::exists(written)) << "a refused match wrote a file";

    data.dir.write(kGeometryFileName, "paddle_mm = 2\r\npaddle_material = glass\r\n");
    ToolRun bad = run({"--data", data.path(), "--out", written});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("Geometry.dat names a material other than polycarbonate or pmma in line 2"),
              std::string::npos)
        << bad.err;
    // Without the paddle the file is not needed.
    EXPECT_EQ(run({"--data", data.path(), "--hvl-without-paddle", "--out", written}).status, 0);

    ToolRun help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("with the compression paddle"), std::string::npos) << help.out;
}

TEST(SpectrumTool, RhodiumTargetWithItsStartValues) {
    TempDir dir;
    const std::string data = shippedDataDir().string();
    // Rh 0.025 mm and the other filters 0, as the screen's Rh option sets them.
    const SpectrumFields f{"28", "16.0", "6.0", "0", "0", "0", "0.025", "0", "60"};
    const SpectrumResult expected = computeSpectrum(TargetMaterial::Rhodium, shippedData(), f);
    struct Case {
        const char* target;
        const char* edition;
        const kv::texts::SpectrumFileLabels& labels;
        const char* firstLine;
    };
    const Case cases[] = {
        {"Rh", "en", kv::texts::englishSpectrumFileTexts.labels, "Rhodium target\r\n"},
        {"rh", "ja", kv::texts::japaneseSpectrumFileTexts.labels, "ロジウムターゲット\r\n"},
    };
    for (const Case& c : cases) {
        const std::string name = std::string(c.target) + ".dat";
        ToolRun r = run({"--target", c.target, "--kv", "28", "--data", data, "--out",
                         (dir.path() / name).string(), "--edition", c.edition});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string bytes = dir.read(name);
        EXPECT_EQ(bytes, kv::toCp932(spectrumFileText(TargetMaterial::Rhodium, f, expected.table, c.labels)));
        EXPECT_EQ(kv::fromCp932(bytes.substr(0, bytes.find('\n') + 1)), c.firstLine);
        EXPECT_EQ(readSpectrumFile(dir.path(), name).target, TargetMaterial::Rhodium);
    }
}

// A small spectrum in the catalogue's layout: 1 keV bins from 14 to 22 keV.
std::string measuredFile(const char* kvComment = "# tube voltage: 21 kV\n") {
    std::string s = std::string("# energy \t fluence\n") + kvComment;
    for (int e = 15; e <= 22; ++e)
        s += std::to_string(e) + ".0\t" + std::to_string(100 - 4 * e) + "\n";
    return s;
}

TEST(SpectrumTool, MeasuredSpectrumIsFilteredRebinnedAndGivenToEveryRay) {
    DataCopy data;
    TempDir dir;
    dir.write("m.dat", measuredFile());
    const std::string measured = dir.file("m.dat").string();
    struct Case {
        const char* name;
        std::vector<std::string> args;
        SpectrumFields fields; // as the file's header and the table are made
        TargetMaterial target;
    };
    const Case cases[] = {
        {"voltage from the comment, no filter",
         {},
         {"21", "16.0", "6.0", "0", "0", "0", "0", "0", "0"},
         TargetMaterial::Molybdenum},
        {"voltage given, Rh filter and air",
         {"--kv", "20.5", "--rh", "0.025", "--air", "60", "--target", "Rh"},
         {"20.5", "16.0", "6.0", "0", "0", "0", "0.025", "0", "60"},
         TargetMaterial::Rhodium},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--measured",
                                         measured,
                                         "--data",
                                         data.path(),
                                         "--hvl-without-paddle",
                                         "--out",
                                         (dir.path() / "P_SPCTL.dat").string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ToolRun r = run(args);
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
        const SpectrumResult table =
            measuredSpectrumTable(readMeasuredSpectrum(measured), measured, shippedData(), c.fields);
        EXPECT_EQ(dir.read("P_SPCTL.dat"),
                  kv::toCp932(spectrumFileText(c.target, c.fields, table.table,
                                               kv::texts::englishSpectrumFileTexts.labels)))
            << c.name;
        const SpectrumFileContents back = readSpectrumFile(dir.path());
        for (int k = 2; k < kColumns; ++k)
            ASSERT_EQ(back.table[k], back.table[1]) << c.name << ": column " << k;
        const auto q = beamQuality(table.table[0], shippedData().aluminum);
        EXPECT_EQ(lineOf(r.out, "First HVL (mm Al)"), kv::format(q->firstHvl, "0.0000")) << c.name;
        EXPECT_EQ(lineOf(r.out, "Mean energy (keV)"), kv::format(q->meanEnergy, "0.000")) << c.name;
    }
}

TEST(SpectrumTool, MeasuredFilesThatCannotBeUsedAreRefused) {
    DataCopy data;
    TempDir dir;
    const std::string written = (dir.path() / "P_SPCTL.dat").string();
    struct Case {
        const char* name;
        std::string content; // empty: no such file
        std::vector<std::string> extra;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"a word",
         "# x\n15 3\n15.25 many\n",
         {"--kv", "20"},
         1,
         "The measured spectrum " + (dir.path() / "m.dat").string() +
             " holds \"many\" in line 3, which is not a number"},
        {"energies falling",
         "15 3\n14 3\n",
         {"--kv", "20"},
         1,
         "holds the energy 14 keV in line 2, which does not rise"},
        {"negative fluence", "15 3\n16 -1\n", {"--kv", "20"}, 1, "holds the negative fluence -1 in line 2"},
        {"three columns", "15 3 1\n", {"--kv", "20"}, 1, "holds 3 columns in line 1"},
        {"decimal comma", "15,25\t3,5\n", {"--kv", "20"}, 1, "write the decimal point as \".\""},
        {"nothing below the tube voltage",
         "30 3\n31 4\n",
         {"--kv", "25"},
         1,
         "holds no fluence below the tube voltage of 25 kV"},
        {"nothing below, in Japanese",
         "30 3\n31 4\n",
         {"--kv", "25", "--edition", "ja"},
         1,
         "管電圧 25 kV 未満のフルエンスがありません"},
        {"no data", "# only a comment\n", {"--kv", "20"}, 1, "holds no line of energy and fluence"},
        {"no file", "", {"--kv", "20"}, 1, "is missing or cannot be read"},
        {"no tube voltage anywhere", "15 3\n16 3\n", {}, 2, "states no tube voltage: give it with --kv"},
        {"a voltage the model's range refuses",
         "15 3\n16 3\n",
         {"--kv", "60"},
         1,
         "The tube voltage exceeds the maximum value"},
        {"matching has no model to match",
         "15 3\n",
         {"--kv", "20", "--match-hvl", "0.3"},
         2,
         "cannot be given together"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(dir.file("m.dat"));
        if (!c.content.empty()) dir.write("m.dat", c.content);
        std::vector<std::string> args = {
            "--measured", dir.file("m.dat").string(), "--data", data.path(), "--out", written};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        ToolRun r = run(args);
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << c.name << ": " << r.out;
        EXPECT_FALSE(std::filesystem::exists(written)) << c.name;
    }
}

} // namespace
