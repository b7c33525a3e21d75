#include "kv/common/codepage.h"
#include "kv/common/format.h"
#include "kv/spectrum/beam_quality.h"
#include "kv/spectrum/spectrum_model.h"
#include "shipped_data.h"
#include "spectrum_tool.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

using namespace kv::spectrum;
using kv::spectrum::testing::shippedData;
using kv::spectrum::testing::shippedDataDir;
using kv::spectrum::testing::TempDir;

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
    SpectrumFields f{.tubeVoltage = "28", .targetAngle = "16.0", .tubeTiltAngle = "6.0", .beryllium = "1",
                     .aluminum = "0", .molybdenum = "0", .rhodium = "0.05", .silver = "0", .airLayer = "60"};
    const SpectrumResult expected = computeSpectrum(TargetMaterial::Tungsten, shippedData(), f);
    EXPECT_EQ(dir.read("w28.dat"),
              kv::toCp932(spectrumFileText(TargetMaterial::Tungsten, f, expected.table,
                                           kv::texts::japaneseSpectrumFileTexts.labels)));
    const BeamQuality q = *beamQuality(expected.table[0], shippedData().aluminum);
    EXPECT_NE(r.out.find("第1半価層 (mm Al): " + kv::format(q.firstHvl, "0.0000")), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("平均エネルギー (keV): " + kv::format(q.meanEnergy, "0.000")), std::string::npos) << r.out;
}

TEST(SpectrumTool, ClampedTungstenVoltageReachesTheFileHeader) {
    TempDir dir;
    ToolRun r = run({"--target", "W", "--kv", "10", "--target-angle", "16", "--tilt", "6", "--data",
                 shippedDataDir().string(), "--out", (dir.path() / "P_SPCTL.dat").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readSpectrumFile(dir.path()).tubeVoltage, 15.0);
    EXPECT_NE(dir.read("P_SPCTL.dat").find("Tube voltage = 15.0 kV\r\n"), std::string::npos);
}

TEST(SpectrumTool, RefusalsAndFaultsGiveTheMessageAndAFailingStatus) {
    TempDir empty;
    const std::string data = shippedDataDir().string();
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"--kv", "50.1", "--data", data}, 1, "The tube voltage exceeds the maximum value"},
        {{"--kv", "50.1", "--data", data, "--edition", "ja"}, 1, "管電圧が最大値を超えています"},
        {{"--target-angle", "14", "--tilt", "6", "--data", data}, 1, "This angle setting cannot cover the field size"},
        {{"--tilt", "50", "--data", data}, 1, "The tube tilt angle is out of range"},
        {{"--data", empty.path().string()}, 1, "The file MUs12.dat is missing or cannot be read"},
        {{"--kv"}, 2, "usage: kv-spectrum"},
        {{"--target", "Cu"}, 2, "usage: kv-spectrum"},
        {{"--colour", "red"}, 2, "usage: kv-spectrum"},
    };
    for (const Case& c : cases) {
        ToolRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    // Data present but no equipment record, and the angles not given.
    TempDir noEquipment;
    for (const char* name : {kAttenuationFileName, kStoppingPowerFileName})
        std::filesystem::copy_file(shippedDataDir() / name, noEquipment.path() / name);
    ToolRun r = run({"--data", noEquipment.path().string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("equipment.dat"), std::string::npos) << r.err;
    EXPECT_EQ(run({"--data", noEquipment.path().string(), "--target-angle", "16", "--tilt", "6"}).status, 0);
    // A spectrum without photons is written (all zeros) and has no beam quality.
    ToolRun none = run({"--data", data, "--kv", "0.3"});
    EXPECT_EQ(none.status, 0);
    EXPECT_NE(none.out.find("Mean energy (keV): -"), std::string::npos) << none.out;
}

} // namespace
