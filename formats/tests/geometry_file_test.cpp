#include "kv/formats/geometry_file.h"
#include "kv/test_support/work_dir.h"

#include <gtest/gtest.h>
#include <span>

namespace {

using namespace kv::formats;
using kv::test_support::TempDir;

// Each case's bytes read as its geometry, and the geometry written and read back unchanged.
struct ReadCase {
    const char* name;
    const char* bytes;
    Geometry expected;
};
void expectReadAndWrittenAgain(std::span<const ReadCase> cases) {
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir d;
        d.write(kGeometryFileName, c.bytes);
        EXPECT_EQ(readGeometry(d.path()), c.expected);
        writeGeometry(d.path(), c.expected);
        EXPECT_EQ(readGeometry(d.path()), c.expected) << "written and read again";
    }
}

// Each case's bytes refused, in both editions naming Geometry.dat and the case's words; the
// engines' English detail names the setting too.
struct RefusalCase {
    const char* bytes;
    const char* english; // what describe() says
    const char* japanese;
};
void expectRefusals(std::span<const RefusalCase> cases) {
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.bytes);
        TempDir d;
        d.write(kGeometryFileName, c.bytes);
        try {
            readGeometry(d.path());
            ADD_FAILURE() << "accepted";
        } catch (const kv::formats::FileError& e) {
            const std::string en = describe(e, kv::texts::englishSettingsFileTexts);
            EXPECT_NE(en.find("Geometry.dat"), std::string::npos) << en;
            EXPECT_NE(en.find(c.english), std::string::npos) << en;
            const std::string ja = describe(e, kv::texts::japaneseSettingsFileTexts);
            EXPECT_NE(ja.find("Geometry.dat"), std::string::npos) << ja;
            EXPECT_NE(ja.find(c.japanese), std::string::npos) << ja;
            EXPECT_NE(std::string(e.what()).find(e.setting), std::string::npos) << e.what();
        }
    }
}

TEST(GeometryFile, MissingFileAndMissingNamesKeepTodaysPlates) {
    TempDir d;
    EXPECT_EQ(readGeometry(d.path()), Geometry{});
    EXPECT_EQ(Geometry{}.paddleMm, 1.5);
    EXPECT_EQ(Geometry{}.supportMm, 2.0);
    d.write(kGeometryFileName, "paddle_mm = 3\r\n");
    Geometry g = readGeometry(d.path());
    EXPECT_EQ(g.paddleMm, 3.0);
    EXPECT_EQ(g.paddleMaterial, PlateMaterial::Polycarbonate);
    EXPECT_EQ(g.supportMm, 2.0);
    EXPECT_EQ(g.supportMaterial, PlateMaterial::Pmma);
}

TEST(GeometryFile, RoundTripWritesCrLfNameValueLines) {
    TempDir d;
    const Geometry g{.paddleMm = 2.75,
                     .paddleMaterial = PlateMaterial::Pmma,
                     .supportMm = 0,
                     .supportMaterial = PlateMaterial::Polycarbonate};
    writeGeometry(d.path(), g);
    EXPECT_EQ(d.read(kGeometryFileName), "paddle_mm = 2.75\r\npaddle_material = pmma\r\nsupport_mm = "
                                         "0\r\nsupport_material = polycarbonate\r\n");
    EXPECT_EQ(readGeometry(d.path()), g);
    EXPECT_THROW(writeGeometry(d.path(), {.paddleMm = 10.5}), std::invalid_argument);
    EXPECT_EQ(readGeometry(d.path()), g);
}

TEST(GeometryFile, ProtocolModelKeysDefaultsAndRoundTrip) {
    Geometry thin = protocolGeometry();
    thin.adiposeMm = 4, thin.glandularPercent = 12.5, thin.plates = PlateMode::Full;
    Geometry rim = protocolGeometry(), widestRim = protocolGeometry();
    rim.adiposeRimMm = 5, widestRim.adiposeRimMm = kMaxAdiposeRimMm;
    const ReadCase cases[] = {
        {"no model line: today's box", "paddle_mm = 1.5\r\n", Geometry{}},
        {"model = workbench said", "model = Workbench\r\n", Geometry{}},
        {"protocol alone: 5 mm, 50 %, plates absorbing", "model = protocol\r\n", protocolGeometry()},
        {"every key", "model = protocol\r\nadipose_mm = 4\r\nglandular_percent = 12.5\r\nplates = full\r\n",
         thin},
        {"a rim of 0 is the bare rim", "model = protocol\r\nadipose_rim_mm = 0\r\n", protocolGeometry()},
        {"a 5 mm rim", "model = protocol\r\nadipose_rim_mm = 5\r\n", rim},
        {"the widest rim", "model = protocol\r\nadipose_rim_mm = 20\r\n", widestRim},
    };
    expectReadAndWrittenAgain(cases);
    EXPECT_EQ(protocolGeometry().plates, PlateMode::Absorbing);
    EXPECT_EQ(protocolGeometry().adiposeRimMm, 0.0);
    // The bare rim writes the file it always wrote; a rim adds its line.
    TempDir bare, rimmed;
    writeGeometry(bare.path(), protocolGeometry());
    EXPECT_EQ(bare.read(kGeometryFileName).find("adipose_rim_mm"), std::string::npos);
    writeGeometry(rimmed.path(), rim);
    EXPECT_NE(rimmed.read(kGeometryFileName).find("adipose_rim_mm = 5\r\n"), std::string::npos);
    Geometry tooWide = rim;
    tooWide.adiposeRimMm = 20.5;
    EXPECT_THROW(writeGeometry(rimmed.path(), tooWide), std::invalid_argument);
    EXPECT_EQ(readGeometry(rimmed.path()), rim);
}

TEST(GeometryFile, EachRefusalNamesTheFileAndLineInBothEditions) {
    const RefusalCase cases[] = {
        {"paddle_mm = 2\r\npadle_mm = 3\r\n", "Geometry.dat names an unknown setting in line 2",
         "2 行目に未知の設定名"},
        {"support_mm = thin\r\n", "Geometry.dat holds something other than a number in line 1",
         "1 行目に数値でない"},
        {"paddle_mm = 2\r\n\r\nsupport_mm = 10.01\r\n",
         "Geometry.dat holds a thickness outside 0 to 10 mm in line 3", "3 行目の厚さが"},
        {"paddle_mm = -1\r\n", "thickness outside 0 to 10 mm in line 1", "1 行目の厚さ"},
        {"paddle_material = glass\r\n", "other than polycarbonate or pmma in line 1", "1 行目の材質"},
        {"paddle_mm 2\r\n", "holds no \"name = value\" in line 1", "1 行目が「名前 = 値」"},
        {"paddle_mm = 2\r\npaddle_mm = 3\r\n", "a second time in line 2", "2 行目で同じ設定"},
        {"model = protocol\r\nglandular_percent = 101\r\n", "glandular percentage outside 0 to 100 in line 2",
         "2 行目の乳腺含有率"},
        {"model = protocol\r\nadipose_mm = 21\r\n", "adipose layer outside 0 to 20 mm in line 2",
         "2 行目の脂肪層"},
        {"model = box\r\n", "breast model other than workbench or protocol in line 1", "1 行目の乳房モデル"},
        {"model = protocol\r\nadipose_rim_mm = 20.5\r\n",
         "gives adipose_rim_mm = 20.5 in line 2: the adipose rim round the curved edge is a number of mm "
         "from 0 to 20",
         "2 行目の adipose_rim_mm = 20.5 は使えません"},
        {"model = protocol\r\nadipose_rim_mm = -1\r\n", "adipose_rim_mm = -1 in line 2",
         "adipose_rim_mm = -1"},
        {"model = protocol\r\nadipose_rim_mm = wide\r\n", "adipose_rim_mm = wide in line 2",
         "adipose_rim_mm = wide"},
        {"adipose_rim_mm = 5\r\n", "gives adipose_rim_mm = 5 in line 1 without \"model = protocol\"",
         "1 行目の adipose_rim_mm = 5 はプロトコル乳房モデルの設定"},
        {"model = protocol\r\nplates = some\r\n", "plates other than absorbing or full in line 2",
         "2 行目の plates"},
        {"glandular_percent = 30\r\n", "protocol breast model in line 1 without \"model = protocol\"",
         "1 行目はプロトコル乳房モデル"},
        {"model = protocol\r\nglandular_percent = 3O\r\n", "something other than a number in line 2",
         "2 行目に数値でない"},
    };
    expectRefusals(cases);
    TempDir d;
    std::filesystem::create_directory(d.path() / kGeometryFileName);
    try {
        readGeometry(d.path());
        ADD_FAILURE() << "a folder was read";
    } catch (const kv::formats::FileError& e) {
        EXPECT_EQ(describe(e, kv::texts::englishSettingsFileTexts),
                  "Geometry.dat is not a file that can be read");
    }
}

TEST(GeometryFile, ScanKeysDefaultsAndRoundTrip) {
    Geometry step;
    step.projections = 5;
    step.projectionLoading = {1, 1, 2, 1, 0.5};
    step.rotationAxisCm = 0;
    Geometry single;
    single.projectionAngle = -22.5;
    single.detectorWidthCm = 24, single.detectorDepthCm = 30;
    Geometry equal;
    equal.projections = 25;
    const ReadCase cases[] = {
        {"nothing said: a continuous sweep about FID - FAD, 30 x 24 cm", "", Geometry{}},
        {"five unequal projections about the detector plane",
         "projections = 5\r\nprojection_loading = 1 1 2 1 0.5\r\nrotation_axis_cm = 0\r\n", step},
        {"one projection, a turned detector", "projection_angle = -22.5\r\ndetector_cm = 24   30\r\n",
         single},
        {"25 equal projections", "projections = 25\r\n", equal},
        {"0 is the continuous sweep", "projections = 0\r\n", Geometry{}},
    };
    expectReadAndWrittenAgain(cases);
    Geometry wrong;
    wrong.projections = 3, wrong.projectionLoading = {1, 1};
    EXPECT_THROW(writeGeometry(TempDir().path(), wrong), std::invalid_argument);
    wrong = Geometry{};
    wrong.projections = 3, wrong.projectionAngle = 5;
    EXPECT_THROW(writeGeometry(TempDir().path(), wrong), std::invalid_argument);
}

TEST(GeometryFile, BadScanKeysAreRefusedWithKeyAndValueInBothEditions) {
    const RefusalCase cases[] = {
        {"projections = 1\r\n", "gives projections = 1 in line 1: the projections are 0", "projections = 1"},
        {"projections = 41\r\n", "projections = 41 in line 1", "2～40 の整数"},
        {"projections = 2.5\r\n", "projections = 2.5 in line 1", "投影数"},
        {"projections = -3\r\n", "projections = -3 in line 1", "投影数"},
        {"projections = many\r\n", "projections = many in line 1", "投影数"},
        {"projections = 3\r\nprojection_loading = 1 1\r\n", "projection_loading = 1 1 in line 2",
         "projection_loading = 1 1"},
        {"projections = 3\r\nprojection_loading = 1 -1 1\r\n", "projection_loading = 1 -1 1 in line 2",
         "0 以上"},
        {"projections = 2\r\nprojection_loading = 0 0\r\n", "projection_loading = 0 0 in line 2",
         "合計が 0 より大きく"},
        {"projections = 2\r\nprojection_loading = 1 x\r\n", "projection_loading = 1 x in line 2", "配分"},
        {"projection_loading = 1\r\n", "projection_loading = 1 in line 1", "配分"},
        {"projection_angle = 60.5\r\n", "projection_angle = 60.5 in line 1: the angle lies from -60 to 60",
         "-60～60 度"},
        {"projection_angle = -61\r\n", "projection_angle = -61 in line 1", "-60～60 度"},
        {"projections = 9\r\nprojection_angle = 5\r\n", "projection_angle = 5 in line 2 beside",
         "projections と同時には"},
        {"rotation_axis_cm = -0.1\r\n", "rotation_axis_cm = -0.1 in line 1: the rotation axis lies from 0 cm",
         "回転軸の高さ"},
        {"rotation_axis_cm = 501\r\n", "rotation_axis_cm = 501 in line 1", "回転軸の高さ"},
        {"detector_cm = 24\r\n", "detector_cm = 24 in line 1: the detector is two sizes", "検出器"},
        {"detector_cm = 24 0\r\n", "detector_cm = 24 0 in line 1", "検出器"},
        {"detector_cm = 24 30 1\r\n", "detector_cm = 24 30 1 in line 1", "検出器"},
    };
    expectRefusals(cases);
}

} // namespace
