#include "kv/formats/geometry_file.h"
#include "kv/test_support/work_dir.h"

#include <gtest/gtest.h>

namespace {

using namespace kv::formats;
using kv::test_support::TempDir;

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
    struct Case {
        const char* name;
        const char* bytes;
        Geometry expected;
    };
    Geometry thin = protocolGeometry();
    thin.adiposeMm = 4, thin.glandularPercent = 12.5, thin.plates = PlateMode::Full;
    const Case cases[] = {
        {"no model line: today's box", "paddle_mm = 1.5\r\n", Geometry{}},
        {"model = workbench said", "model = Workbench\r\n", Geometry{}},
        {"protocol alone: 5 mm, 50 %, plates absorbing", "model = protocol\r\n", protocolGeometry()},
        {"every key", "model = protocol\r\nadipose_mm = 4\r\nglandular_percent = 12.5\r\nplates = full\r\n",
         thin},
    };
    for (const Case& c : cases) {
        TempDir d;
        d.write(kGeometryFileName, c.bytes);
        EXPECT_EQ(readGeometry(d.path()), c.expected) << c.name;
        writeGeometry(d.path(), c.expected);
        EXPECT_EQ(readGeometry(d.path()), c.expected) << c.name << ": written and read again";
    }
    EXPECT_EQ(protocolGeometry().plates, PlateMode::Absorbing);
}

TEST(GeometryFile, EachRefusalNamesTheFileAndLineInBothEditions) {
    struct Case {
        const char* bytes;
        const char* english;
        const char* japanese;
    };
    const Case cases[] = {
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
        {"model = protocol\r\nplates = some\r\n", "plates other than absorbing or full in line 2",
         "2 行目の plates"},
        {"glandular_percent = 30\r\n", "protocol breast model in line 1 without \"model = protocol\"",
         "1 行目はプロトコル乳房モデル"},
        {"model = protocol\r\nglandular_percent = 3O\r\n", "something other than a number in line 2",
         "2 行目に数値でない"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        TempDir d;
        d.write(kGeometryFileName, c.bytes);
        try {
            readGeometry(d.path());
            ADD_FAILURE() << "accepted";
        } catch (const kv::formats::FileError& e) {
            EXPECT_NE(describe(e, kv::texts::englishSettingsFileTexts).find(c.english), std::string::npos)
                << describe(e, kv::texts::englishSettingsFileTexts);
            const std::string ja = describe(e, kv::texts::japaneseSettingsFileTexts);
            EXPECT_NE(ja.find("Geometry.dat"), std::string::npos);
            EXPECT_NE(ja.find(c.japanese), std::string::npos) << ja;
        }
    }
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

} // namespace
