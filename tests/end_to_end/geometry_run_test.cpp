// The paddle and the support of Geometry.dat, from the inputs to the result file.
#include "engine_programs.h"
#include "kv/engine/result_file.h"
#include "kv/engine/run_inputs.h"
#include "kv/formats/result_file.h"
#include "kv/formats/trailer_keys.h"
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

// Geometry.dat's scan reaches tiravex's set-up; halvex keeps its fixed focus.
TEST(ScanInputs, ScanKeysReachTheTomosynthesisSetUp) {
    RunDir dir({.histories = "1e4", .angularRange = "25"});
    dir.write("Geometry.dat", "model = protocol\r\nprojections = 5\r\nprojection_loading = 1 1 2 1 1\r\n"
                              "rotation_axis_cm = 0\r\ndetector_cm = 24 30\r\n");
    const WorkbenchSetup s = workbenchSetup(readRunInputs(dir.path(), ExposureKind::Tomosynthesis));
    EXPECT_EQ(s.projections, 5);
    EXPECT_EQ(s.projectionLoading, (std::vector<double>{1, 1, 2, 1, 1}));
    EXPECT_DOUBLE_EQ(s.fad, s.fid) << "the axis at the detector";
    EXPECT_EQ(s.detectorX, 24.0);
    EXPECT_EQ(s.detectorY, 30.0);
    const FieldGeometry f = fieldGeometry(s);
    EXPECT_EQ(f.projectionAngles, (std::vector<double>{-25, -12.5, 0, 12.5, 25}));
    const WorkbenchSetup m = workbenchSetup(readRunInputs(dir.path(), ExposureKind::Mammography));
    EXPECT_EQ(m.projections, 0);
    EXPECT_DOUBLE_EQ(m.fad, 60.0);

    dir.write("Geometry.dat", "projection_angle = -30\r\n");
    const WorkbenchSetup one = workbenchSetup(readRunInputs(dir.path(), ExposureKind::Tomosynthesis));
    ASSERT_TRUE(one.singleAngle.has_value());
    EXPECT_EQ(*one.singleAngle, -30.0);
    EXPECT_DOUBLE_EQ(one.fad, 60.0) << "no axis given: FID - FAD";
}

// Bad scan keys stop the run before anything is simulated, naming the file, the key and the value.
TEST(ScanInputs, BadScanKeysAreRefusedWithKeyAndValue) {
    struct Bad {
        const char* bytes;
        const char* english;  // of the engine's English message
        const char* japanese; // of the Japanese one
    };
    const Bad rows[] = {
        {"projections = 1\r\n", "projections 1", "projections = 1"},
        {"projections = 3\r\nprojection_loading = 0 0 0\r\n", "projection_loading \"0 0 0\"",
         "projection_loading = 0 0 0"},
        {"projections = 3\r\nprojection_loading = 1 2\r\n", "projection_loading \"1 2\"",
         "projection_loading = 1 2"},
        {"projection_angle = 75\r\n", "projection_angle 75", "projection_angle = 75"},
        {"rotation_axis_cm = -1\r\n", "rotation_axis_cm -1", "rotation_axis_cm = -1"},
        {"rotation_axis_cm = 65\r\n", "rotation_axis_cm = 65", "rotation_axis_cm = 65"},
        {"rotation_axis_cm = 80\r\n", "rotation_axis_cm = 80", "rotation_axis_cm = 80"},
    };
    for (const Bad& b : rows) {
        SCOPED_TRACE(b.bytes);
        RunDir dir({.histories = "1e4"});
        dir.write("Geometry.dat", b.bytes);
        try {
            readRunInputs(dir.path(), ExposureKind::Tomosynthesis);
            ADD_FAILURE() << "accepted";
        } catch (const InputError& e) {
            EXPECT_EQ(e.file, "Geometry.dat");
            const std::string en = e.text(kv::texts::Edition::English),
                              ja = e.text(kv::texts::Edition::Japanese);
            EXPECT_NE(en.find("Geometry.dat"), std::string::npos) << en;
            EXPECT_NE(en.find(b.english), std::string::npos) << en;
            EXPECT_NE(ja.find("Geometry.dat"), std::string::npos) << ja;
            EXPECT_NE(ja.find(b.japanese), std::string::npos) << ja;
        }
    }
}

// The protocol breast's rim: 0 is the file without the key, byte for byte in
// the doses and the trailer; a rim reaches the set-up, the trailer and the header.
TEST(RimRun, NoRimIsTheBareRimAndARimIsStated) {
    struct Run {
        WorkbenchSetup setup;
        kv::formats::ResultTrailer trailer;
        std::string breastLine;
    };
    auto run = [](const char* geometry) {
        RunDir dir({.thickness = "3", .histories = "2e4", .resultName = "rim"});
        dir.write("Geometry.dat", geometry);
        const RunInputs in = readRunInputs(dir.path(), ExposureKind::Mammography);
        Run out{workbenchSetup(in), {}, {}};
        out.setup.maps = false;
        const WorkbenchSimulation sim(out.setup);
        RunControl ctl;
        writeResultFile(dir.path(), in, sim.run(in.histories, 19, 2, ctl));
        EXPECT_EQ(kv::formats::readResultTrailer(dir.path(), "rim.vesk", out.trailer),
                  kv::formats::LoadFailure::None);
        out.breastLine = headerLine(dir, "rim.vesk", " Protocol breast:");
        return out;
    };
    namespace key = kv::formats::trailer;
    const Run absent = run("model = protocol\r\n"), zero = run("model = protocol\r\nadipose_rim_mm = 0\r\n"),
              rim = run("model = protocol\r\nadipose_rim_mm = 5\r\n");
    ASSERT_TRUE(absent.setup.protocol && zero.setup.protocol && rim.setup.protocol);
    EXPECT_EQ(absent.setup.protocol->rim, 0.0);
    EXPECT_EQ(zero.trailer.entries, absent.trailer.entries);
    EXPECT_EQ(zero.breastLine, absent.breastLine);
    EXPECT_EQ(absent.trailer.find(key::kAdiposeRimMm), nullptr);
    EXPECT_EQ(absent.breastLine.find("curved edge"), std::string::npos) << absent.breastLine;

    // A rim the file cannot hold stops the run, naming the file, the key and the value.
    for (const char* bad : {"model = protocol\r\nadipose_rim_mm = 25\r\n", "adipose_rim_mm = 25\r\n"}) {
        RunDir dir({.histories = "1e4"});
        dir.write("Geometry.dat", bad);
        try {
            readRunInputs(dir.path(), ExposureKind::Mammography);
            ADD_FAILURE() << bad << " accepted";
        } catch (const InputError& e) {
            EXPECT_EQ(e.file, "Geometry.dat");
            for (kv::texts::Edition edition : {kv::texts::Edition::English, kv::texts::Edition::Japanese}) {
                const std::string text = e.text(edition);
                EXPECT_NE(text.find("Geometry.dat"), std::string::npos) << text;
                EXPECT_NE(text.find("adipose_rim_mm"), std::string::npos) << text;
                EXPECT_NE(text.find("25"), std::string::npos) << text;
                std::printf("DBG %s\n", text.c_str());
            }
        }
    }

    EXPECT_DOUBLE_EQ(rim.setup.protocol->rim, 0.5);
    EXPECT_EQ(rim.trailer.number(key::kAdiposeRimMm), 5.0);
    EXPECT_NE(rim.breastLine.find("5.0 mm adipose top and bottom, 5.0 mm round the curved edge, inner 50 %"),
              std::string::npos)
        << rim.breastLine;
}

// A step scan's trailer read back from the file: the scan, each projection's
// figures, and T the loading-weighted sum of the t_i.
TEST(ScanRun, TheTrailerStatesTheScanAndReadsBack) {
    RunDir dir({.thickness = "3", .histories = "6e4", .resultName = "scan", .angularRange = "20"});
    dir.write("Geometry.dat", "model = protocol\r\nprojections = 5\r\nprojection_loading = 1 1 3 1 1\r\n"
                              "rotation_axis_cm = 2\r\n");
    const RunInputs in = readRunInputs(dir.path(), ExposureKind::Tomosynthesis);
    WorkbenchSetup s = workbenchSetup(in);
    s.maps = false;
    const WorkbenchSimulation sim(s);
    RunControl ctl;
    WorkbenchResult r = sim.run(in.histories, 77, 2, ctl);
    writeResultFile(dir.path(), in, r);
    kv::formats::ResultTrailer t;
    ASSERT_EQ(kv::formats::readResultTrailer(dir.path(), "scan.vesk", t), kv::formats::LoadFailure::None);
    namespace key = kv::formats::trailer;
    ASSERT_TRUE(t.find(key::kScan));
    EXPECT_EQ(*t.find(key::kScan), "step");
    EXPECT_EQ(t.number(key::kProjections), 5);
    EXPECT_EQ(t.number(key::kRotationAxisCm), 2);
    auto list = [&](const kv::formats::TrailerKey& k) {
        const std::string* v = t.find(k);
        EXPECT_TRUE(v) << k.name;
        return v ? kv::formats::trailerNumbers(*v).value_or(std::vector<double>{}) : std::vector<double>{};
    };
    EXPECT_EQ(list(key::kProjectionAngles), (std::vector<double>{-20, -10, 0, 10, 20}));
    const std::vector<double> alpha = list(key::kProjectionLoading), ti = list(key::kTI),
                              tiSigma = list(key::kTISigmaPercent), mgd = list(key::kMgdPerKSurfaceI);
    ASSERT_EQ(alpha.size(), 5u);
    ASSERT_EQ(ti.size(), 5u);
    ASSERT_EQ(tiSigma.size(), 5u);
    ASSERT_EQ(mgd.size(), 5u);
    EXPECT_NEAR(alpha[2], 3.0 / 7, 1e-15);
    EXPECT_EQ(ti[2], 1.0);
    EXPECT_EQ(tiSigma[2], 0.0);
    double weighted = 0;
    for (size_t i = 0; i < 5; ++i) {
        weighted += alpha[i] * ti[i];
        EXPECT_GT(tiSigma[i] + (i == 2), 0.0);
        EXPECT_NEAR(ti[i], mgd[i] / mgd[2], 1e-12);
    }
    const auto bigT = t.number(key::kTScan), whole = t.number(key::kMgdPerKSurface0deg);
    ASSERT_TRUE(bigT && whole);
    EXPECT_NEAR(*bigT / weighted, 1.0, 1e-12);
    EXPECT_NEAR(*whole / (mgd[2] * *bigT), 1.0, 1e-12) << "the whole scan is g c s T";
    EXPECT_EQ(t.number(key::kMgdPerKSurface), whole);
    EXPECT_GT(t.number(key::kTScanSigmaPercent).value_or(0), 0.0);
    // The outer projections, 20 deg aside, give less per their loading than the middle one.
    EXPECT_LT(ti[0], 1.0);
    EXPECT_LT(ti[4], 1.0);
    EXPECT_NE(headerLine(dir, "scan.vesk", " Tomosynthesis: 5 projections from -20.0 to +20.0 deg"), "");
}

} // namespace
