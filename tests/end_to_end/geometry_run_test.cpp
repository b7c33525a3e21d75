// The paddle and the support of Geometry.dat, from the inputs to the result file.
#include "engine_programs.h"
#include "kv/engine/run_inputs.h"
#include "kv/results/result_file.h"
#include "kv/texts/results_model.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace kv::engine;
using namespace kv::engine::test_support;

namespace {

TEST(GeometryInputs, PlatesReachTheSimulationAndFaultsNameTheFileAndLine) {
    RunDir dir({.histories = "1e4"});
    WorkbenchSetup usual = workbenchSetup(readRunInputs(dir.path(), ExposureKind::Mammography));
    EXPECT_EQ(usual.paddleThickness, kPaddleThickness);
    EXPECT_EQ(usual.supportThickness, kSupportThickness);
    EXPECT_EQ(usual.paddle.name, "polycarbonate");
    EXPECT_EQ(usual.support.name, "PMMA");

    dir.write("Geometry.dat", "paddle_mm = 2.5\r\npaddle_material = pmma\r\nsupport_mm = 0\r\n");
    WorkbenchSetup s = workbenchSetup(readRunInputs(dir.path(), ExposureKind::Mammography));
    EXPECT_DOUBLE_EQ(s.paddleThickness, 0.25);
    EXPECT_EQ(s.paddle.name, "PMMA");
    EXPECT_EQ(s.supportThickness, 0.0);
    EXPECT_EQ(s.support.name, "PMMA");
    // A support of no thickness is no region: the simulation still builds.
    EXPECT_NO_THROW(WorkbenchSimulation{s});

    struct Bad {
        const char* bytes;
        const char* says;
    };
    for (const Bad& b :
         {Bad{"paddle_mm = 2\r\nsupport = 2\r\n", "line 2: names an unknown setting"},
          Bad{"paddle_mm = 11\r\n", "line 1: gives paddle_mm 11, outside 0 to 10"},
          Bad{"support_mm = two\r\n", "line 1: gives support_mm \"two\", which is not a number"}}) {
        dir.write("Geometry.dat", b.bytes);
        try {
            readRunInputs(dir.path(), ExposureKind::Mammography);
            ADD_FAILURE() << b.bytes << " accepted";
        } catch (const InputError& e) {
            EXPECT_EQ(e.file, "Geometry.dat");
            EXPECT_NE(std::string(e.what()).find(std::string("Geometry.dat: ") + b.says), std::string::npos)
                << e.what();
        }
    }
}

// The dose per air kerma in free space falls behind a thicker paddle: 1.5 mm
// more polycarbonate passes about 88-90 % of a 28 kV Mo/Mo beam.
TEST(GeometryRun, ThickerPaddleLowersTheSagdAndTheHeaderNamesIt) {
    REQUIRE_PROGRAMS();
    struct Run {
        double sagd = 0, relSigma = 0;
        std::string paddleLine;
    };
    auto run = [](const char* geometry) {
        RunDir dir({.thickness = "2", .histories = "3e5", .resultName = "plates"});
        if (geometry) dir.write("Geometry.dat", geometry);
        ProgramOutput r = runIn(dir, program("halvex") + " --seed 4242");
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        Run out;
        kv::results::LoadResult loaded = kv::results::LoadResultFile(dir.path(), "plates.vesk");
        EXPECT_TRUE(loaded);
        if (!loaded) return out;
        out.sagd = loaded.model->SagdValue;
        const std::string sigma = headerLine(dir, "plates.vesk", " Relative uncertainty");
        out.relSigma = std::stod(sigma.substr(sigma.rfind("sAGD ") + 5)) / 100;
        out.paddleLine = headerLine(dir, "plates.vesk", " Compression paddle");
        const auto preview =
            kv::results::previewResultHeader(dir.path(), "plates.vesk", kv::texts::resultsModelTexts());
        EXPECT_TRUE(preview.complete);
        return out;
    };
    const Run usual = run(nullptr);
    const Run thick = run("paddle_mm = 3\r\n");
    EXPECT_EQ(
        usual.paddleLine,
        " Compression paddle 1.5 mm polycarbonate; breast support 2.0 mm PMMA, 1.5 cm above the detector");
    EXPECT_EQ(
        thick.paddleLine,
        " Compression paddle 3.0 mm polycarbonate; breast support 2.0 mm PMMA, 1.5 cm above the detector");
    const double sigma = std::hypot(usual.sagd * usual.relSigma, thick.sagd * thick.relSigma);
    ASSERT_GT(sigma, 0);
    const double drop = usual.sagd - thick.sagd;
    EXPECT_GT(drop, 6 * sigma) << usual.sagd << " vs " << thick.sagd << ", sigma " << sigma;
    EXPECT_GT(drop / usual.sagd, 0.05);
    EXPECT_LT(drop / usual.sagd, 0.20);

    const Run pmma = run("paddle_mm = 2.75\r\npaddle_material = PMMA\r\nsupport_mm = 1\r\nsupport_material = "
                         "polycarbonate\r\n");
    EXPECT_EQ(
        pmma.paddleLine,
        " Compression paddle 2.75 mm PMMA; breast support 1.0 mm polycarbonate, 1.5 cm above the detector");
}

TEST(GeometryRun, RefusedGeometryStopsTheEngineWithoutAResult) {
    REQUIRE_PROGRAMS();
    RunDir dir({.histories = "1e4", .resultName = "none"});
    dir.write("Geometry.dat", "paddle_mm = 3\r\npaddle_material = glass\r\n");
    ProgramOutput r = runIn(dir, program("halvex"));
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("Geometry.dat"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("line 2"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "none.vesk"));
}

} // namespace
