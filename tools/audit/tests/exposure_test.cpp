// Headers made with DCMTK, read back the way kv-audit reads them.
#include "dicom_maker.h"
#include "kv/audit/exposure.h"
#include "kv/test_support/work_dir.h"

#include <dcmtk/dcmdata/dcvrus.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace kv::audit {
namespace {

using test::MadeExposure;
using test_support::TempDir;

Reading readMade(const TempDir& dir, const MadeExposure& e, const std::string& name = "x.dcm") {
    test::writeDicom(dir.file(name), e);
    return readExposure(dir.file(name));
}

TEST(Exposure, WellFormedHeaderGivesEveryValue) {
    TempDir dir("kv-audit");
    Reading r = readMade(dir, MadeExposure{});
    ASSERT_TRUE(std::holds_alternative<Exposure>(r)) << skipCodeName(std::get<Skip>(r).code);
    const Exposure& x = std::get<Exposure>(r);
    EXPECT_DOUBLE_EQ(x.kvp, 28);
    EXPECT_DOUBLE_EQ(*x.mas, 63);
    EXPECT_EQ(x.target, Target::Molybdenum);
    EXPECT_EQ(x.filter, FilterMaterial::Molybdenum);
    EXPECT_DOUBLE_EQ(x.filterMm, 0.03);
    EXPECT_DOUBLE_EQ(x.thicknessMm, 45);
    EXPECT_DOUBLE_EQ(*x.sourceToDetectorMm, 650);
    EXPECT_DOUBLE_EQ(*x.sourceToPatientMm, 605);
    EXPECT_DOUBLE_EQ(*x.compressionForceN, 120);
    EXPECT_DOUBLE_EQ(*x.entranceDoseMgy, 5.2);
    EXPECT_DOUBLE_EQ(*x.hvlMmAl, 0.36);
    EXPECT_DOUBLE_EQ(*x.organDoseMgy, 1.25); // 0.0125 dGy
    EXPECT_DOUBLE_EQ(*x.ageYears, 55);
    EXPECT_EQ(x.view, "CC");
    EXPECT_EQ(x.laterality, "L");
    EXPECT_EQ(x.presentationIntent, "FOR PRESENTATION");
    EXPECT_EQ(x.device, "ACME MammoOne SN SN1001");
    EXPECT_EQ(x.acquisitionDate, "20240115");
}

TEST(Exposure, UnitsOfSeveralMakersAreRead) {
    struct Case {
        const char* name;
        std::function<void(MadeExposure&)> make;
        Target target;
        FilterMaterial filter;
        double filterMm, mas;
    };
    const Case cases[] = {
        {"W/Rh, the exposure in uAs wins over the rounded mAs",
         [](MadeExposure& e) {
             e.anode = "TUNGSTEN", e.filter = "RHODIUM", e.filterMin = "0.05", e.filterMax = "0.05",
             e.uas = "81234";
         },
         Target::Tungsten, FilterMaterial::Rhodium, 0.05, 81.234},
        {"W/Ag, short terms in lower case",
         [](MadeExposure& e) { e.anode = "w", e.filter = "ag", e.filterMin = "0.05", e.filterMax = ""; },
         Target::Tungsten, FilterMaterial::Silver, 0.05, 63},
        {"W/Al, minimum and maximum thickness averaged",
         [](MadeExposure& e) {
             e.anode = "TUNGSTEN", e.filter = "ALUMINUM", e.filterMin = "0.6", e.filterMax = "0.8";
         },
         Target::Tungsten, FilterMaterial::Aluminum, 0.7, 63},
        {"Rh/Rh",
         [](MadeExposure& e) {
             e.anode = "RHODIUM", e.filter = "RHODIUM", e.filterMin = e.filterMax = "0.025";
         },
         Target::Rhodium, FilterMaterial::Rhodium, 0.025, 63},
        {"Rh/Ag, the short term",
         [](MadeExposure& e) { e.anode = "rh", e.filter = "SILVER", e.filterMin = e.filterMax = "0.05"; },
         Target::Rhodium, FilterMaterial::Silver, 0.05, 63},
        {"Mo/Rh, only the maximum thickness",
         [](MadeExposure& e) { e.filter = "RHODIUM", e.filterMin = "", e.filterMax = "0.025"; },
         Target::Molybdenum, FilterMaterial::Rhodium, 0.025, 63},
    };
    TempDir dir("kv-audit");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MadeExposure e;
        c.make(e);
        Reading r = readMade(dir, e);
        ASSERT_TRUE(std::holds_alternative<Exposure>(r))
            << skipCodeName(std::get<Skip>(r).code) << " " << std::get<Skip>(r).tag << " "
            << std::get<Skip>(r).detail;
        const Exposure& x = std::get<Exposure>(r);
        EXPECT_EQ(x.target, c.target);
        EXPECT_EQ(x.filter, c.filter);
        EXPECT_NEAR(x.filterMm, c.filterMm, 1e-12);
        EXPECT_NEAR(*x.mas, c.mas, 1e-9);
    }
}

TEST(Exposure, EachUnusableHeaderIsSkippedWithItsReason) {
    struct Case {
        const char* name;
        std::function<void(MadeExposure&)> make;
        SkipCode code;
        std::string tag;
    };
    const Case cases[] = {
        {"computed tomography", [](MadeExposure& e) { e.modality = "CT"; }, SkipCode::NotMammography, ""},
        {"no modality", [](MadeExposure& e) { e.drop = {DCM_Modality}; }, SkipCode::NotMammography, ""},
        {"synthesized 2D",
         [](MadeExposure& e) { e.imageType = "DERIVED\\PRIMARY\\TOMOSYNTHESIS\\GENERATED_2D"; },
         SkipCode::Synthesized2d, ""},
        {"copper anode", [](MadeExposure& e) { e.anode = "COPPER"; }, SkipCode::UnsupportedAnode, ""},
        {"copper filter", [](MadeExposure& e) { e.filter = "COPPER"; }, SkipCode::UnsupportedFilter, ""},
        {"no kVp", [](MadeExposure& e) { e.kvp = ""; }, SkipCode::MissingValue, "(0018,0060)"},
        {"kVp not a number", [](MadeExposure& e) { e.extra[DCM_KVP] = "28kV"; }, SkipCode::BadValue,
         "(0018,0060)"},
        {"kVp infinite", [](MadeExposure& e) { e.extra[DCM_KVP] = "1e999"; }, SkipCode::BadValue,
         "(0018,0060)"},
        {"negative thickness", [](MadeExposure& e) { e.thickness = "-45"; }, SkipCode::BadValue,
         "(0018,11A0)"},
        {"no thickness", [](MadeExposure& e) { e.thickness = ""; }, SkipCode::MissingValue, "(0018,11A0)"},
        {"no anode", [](MadeExposure& e) { e.anode = ""; }, SkipCode::MissingValue, "(0018,1191)"},
        {"no filter", [](MadeExposure& e) { e.filter = ""; }, SkipCode::MissingValue, "(0018,7050)"},
        {"no filter thickness", [](MadeExposure& e) { e.filterMin.clear(), e.filterMax.clear(); },
         SkipCode::MissingValue, "(0018,7052)"},
        {"filter thickness zero", [](MadeExposure& e) { e.filterMin = "0.00"; }, SkipCode::BadValue,
         "(0018,7052)"},
    };
    TempDir dir("kv-audit");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MadeExposure e;
        c.make(e);
        Reading r = readMade(dir, e);
        ASSERT_TRUE(std::holds_alternative<Skip>(r));
        EXPECT_EQ(std::get<Skip>(r).code, c.code) << skipCodeName(std::get<Skip>(r).code);
        EXPECT_EQ(std::get<Skip>(r).tag, c.tag);
    }
}

TEST(Exposure, OptionalValuesThatAreNotNumbersCountAsAbsent) {
    TempDir dir("kv-audit");
    MadeExposure e;
    e.extra[DCM_EntranceDoseInmGy] = "n/a";
    e.extra[DCM_HalfValueLayer] = "-0.3";
    e.extra[DCM_PatientAge] = "55"; // not of the form 055Y: the birth date stands in
    e.mas = "";
    Reading r = readMade(dir, e);
    ASSERT_TRUE(std::holds_alternative<Exposure>(r));
    const Exposure& x = std::get<Exposure>(r);
    EXPECT_FALSE(x.entranceDoseMgy);
    EXPECT_FALSE(x.hvlMmAl);
    EXPECT_FALSE(x.mas);
    EXPECT_DOUBLE_EQ(*x.ageYears, 55); // 1968-03-12 to 2024-01-15
}

TEST(Exposure, ValuesOfOddRepresentations) {
    TempDir dir("kv-audit");
    // The tube voltage as a binary unsigned short is still a number; a
    // thickness as unknown bytes is not taken for the number its hex shows.
    MadeExposure e;
    e.kvp = "";
    e.thickness = "";
    test::writeDicom(dir.file("odd.dcm"), e);
    DcmFileFormat ff;
    ASSERT_TRUE(ff.loadFile(dir.file("odd.dcm").c_str()).good());
    auto* kv = new DcmUnsignedShort(DcmTag(DCM_KVP, EVR_US));
    kv->putUint16(31);
    ff.getDataset()->insert(kv, true);
    auto* t = new DcmOtherByteOtherWord(DcmTag(DCM_BodyPartThickness, EVR_UN));
    t->putUint8Array(reinterpret_cast<const Uint8*>("45"), 2);
    ff.getDataset()->insert(t, true);
    ASSERT_TRUE(ff.saveFile(dir.file("odd.dcm").c_str(), EXS_LittleEndianExplicit).good());
    Reading r = readExposure(dir.file("odd.dcm"));
    ASSERT_TRUE(std::holds_alternative<Skip>(r));
    EXPECT_EQ(std::get<Skip>(r).code, SkipCode::BadValue);
    EXPECT_EQ(std::get<Skip>(r).tag, "(0018,11A0)");

    e.thickness = "45";
    test::writeDicom(dir.file("odd2.dcm"), e);
    DcmFileFormat f2;
    ASSERT_TRUE(f2.loadFile(dir.file("odd2.dcm").c_str()).good());
    auto* kv2 = new DcmUnsignedShort(DcmTag(DCM_KVP, EVR_US));
    kv2->putUint16(31);
    f2.getDataset()->insert(kv2, true);
    ASSERT_TRUE(f2.saveFile(dir.file("odd2.dcm").c_str(), EXS_LittleEndianExplicit).good());
    Reading r2 = readExposure(dir.file("odd2.dcm"));
    ASSERT_TRUE(std::holds_alternative<Exposure>(r2));
    EXPECT_DOUBLE_EQ(std::get<Exposure>(r2).kvp, 31);
}

TEST(Exposure, CharacterSetsGiveUtf8Labels) {
    TempDir dir("kv-audit");
    MadeExposure latin;
    latin.charset = "ISO_IR 100";
    latin.manufacturer = "M\xFC"
                         "ller"; // ü in Latin-1
    Reading r = readMade(dir, latin, "latin.dcm");
    ASSERT_TRUE(std::holds_alternative<Exposure>(r));
    EXPECT_EQ(std::get<Exposure>(r).device, "M\xC3\xBCller MammoOne SN SN1001");

    MadeExposure japanese;
    japanese.charset = "\\ISO 2022 IR 87";
    japanese.patientName = "Yamada^Taro=\x1b$B;3ED\x1b(B^\x1b$BB@O:\x1b(B"; // a kanji name, as 2022 writes it
    Reading j = readMade(dir, japanese, "ja.dcm");
    ASSERT_TRUE(std::holds_alternative<Exposure>(j));
    EXPECT_EQ(std::get<Exposure>(j).device, "ACME MammoOne SN SN1001");

    MadeExposure unknown;
    unknown.charset = "ISO_IR 999";
    unknown.manufacturer = "Odd\x01\xFFUnit";
    Reading u = readMade(dir, unknown, "unknown.dcm");
    ASSERT_TRUE(std::holds_alternative<Exposure>(u));
    EXPECT_EQ(std::get<Exposure>(u).device.find('\x01'), std::string::npos);
}

TEST(Exposure, FilesThatAreNoImageHeader) {
    TempDir dir("kv-audit");
    dir.write("notes.txt", "kVp 28, mAs 63\n");
    dir.write("empty.dcm", "");
    test::writeDicom(dir.file("whole.dcm"), MadeExposure{});
    const std::string whole = dir.read("whole.dcm");
    // Cut inside the header, well before the pixel data.
    dir.write("cut.dcm", whole.substr(0, whole.find("MammoOne") + 3));
    std::filesystem::create_directory(dir.file("folder.dcm"));
    ASSERT_EQ(mkfifo(dir.file("pipe.dcm").c_str(), 0600), 0);
    // Random bytes behind a real preamble.
    dir.write("garbage.dcm", std::string(128, '\0') + "DICM" + std::string(300, '\xEE'));

    const std::pair<const char*, SkipCode> cases[] = {
        {"notes.txt", SkipCode::NotDicom},         {"empty.dcm", SkipCode::NotDicom},
        {"cut.dcm", SkipCode::Unreadable},         {"folder.dcm", SkipCode::NotRegularFile},
        {"pipe.dcm", SkipCode::NotRegularFile},    {"garbage.dcm", SkipCode::Unreadable},
        {"missing.dcm", SkipCode::NotRegularFile},
    };
    for (const auto& [name, code] : cases) {
        SCOPED_TRACE(name);
        Reading r = readExposure(dir.file(name));
        ASSERT_TRUE(std::holds_alternative<Skip>(r));
        EXPECT_EQ(std::get<Skip>(r).code, code) << skipCodeName(std::get<Skip>(r).code);
    }
}

TEST(Exposure, CutInsideThePixelDataStillGivesTheHeader) {
    TempDir dir("kv-audit");
    test::writeDicom(dir.file("whole.dcm"), MadeExposure{});
    const std::string whole = dir.read("whole.dcm");
    dir.write("cut.dcm", whole.substr(0, whole.size() - 10));
    EXPECT_TRUE(std::holds_alternative<Exposure>(readExposure(dir.file("cut.dcm"))));
}

} // namespace
} // namespace kv::audit

namespace kv::audit {
namespace {

using test::MadeExposure;
using test_support::TempDir;

TEST(Exposure, TomosynthesisObjectsOfEachKindGiveTheirScan) {
    struct Case {
        const char* name;
        std::function<void(MadeExposure&)> make;
        ObjectKind kind;
        int projections;
        std::optional<double> start, end, entrance;
        DoseScope entranceScope;
    };
    const Case cases[] = {
        {"a volume: its acquisition's arc, start and increment, and the scan's dose",
         [](MadeExposure& e) {
             e.sopClass = test::kVolumeClass;
             e.acquisition = {{DCM_PrimaryPositionerScanArc, "25"},
                              {DCM_PrimaryPositionerScanStartAngle, "-12.5"},
                              {DCM_PrimaryPositionerIncrement, "3.125"},
                              {DCM_EntranceDoseInmGy, "2.1"}};
         },
         ObjectKind::Volume, 9, -12.5, 12.5, 2.1, DoseScope::Scan},
        {"projections: an angle and an entrance dose a frame, added up",
         [](MadeExposure& e) {
             e.sopClass = test::kProjectionsForProcessing, e.frames = 3;
             e.frameAngles = {"-7.5", "0", "7.5"}, e.frameEntrance = {"0.5", "0.6", "0.7"};
         },
         ObjectKind::Projections, 3, -7.5, 7.5, 1.8, DoseScope::Scan},
        {"projections: the angles of the acquisition's projections, the object's own dose not said",
         [](MadeExposure& e) {
             e.sopClass = test::kProjectionsForPresentation, e.frames = 5;
             e.projectionAngles = {"-25", "-12.5", "0", "12.5", "25"};
         },
         ObjectKind::Projections, 5, -25, 25, 5.2, DoseScope::Unsaid},
        {"one projection as secondary capture",
         [](MadeExposure& e) {
             e.sopClass = UID_SecondaryCaptureImageStorage;
             e.imageType = "ORIGINAL\\PRIMARY\\TOMOSYNTHESIS\\PROJECTION";
             e.extra[DCM_PositionerPrimaryAngle] = "-3.5";
         },
         ObjectKind::Projection, 1, -3.5, -3.5, 5.2, DoseScope::Projection},
        {"a mammogram's class, tomo in its type and a tomo angle alone",
         [](MadeExposure& e) {
             e.imageType = "ORIGINAL\\PRIMARY\\TOMO";
             e.extra[DCM_TomoAngle] = "30";
         },
         ObjectKind::Projection, 1, -15, 15, 5.2, DoseScope::Projection},
        {"a volume as multi-frame secondary capture",
         [](MadeExposure& e) {
             e.sopClass = UID_MultiframeGrayscaleWordSecondaryCaptureImageStorage, e.frames = 40;
             e.imageType = "DERIVED\\SECONDARY\\TOMOSYNTHESIS\\VOLUME";
         },
         ObjectKind::Volume, 0, std::nullopt, std::nullopt, 5.2, DoseScope::Unsaid},
    };
    TempDir dir("kv-audit");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MadeExposure e;
        c.make(e);
        test::writeDicom(dir.file("t.dcm"), e);
        Reading r = readExposure(dir.file("t.dcm"));
        ASSERT_TRUE(std::holds_alternative<Exposure>(r)) << skipCodeName(std::get<Skip>(r).code) << " "
                                                         << std::get<Skip>(r).tag << std::get<Skip>(r).detail;
        const Exposure& x = std::get<Exposure>(r);
        EXPECT_EQ(x.modality, Modality::Tomosynthesis);
        EXPECT_EQ(x.kind, c.kind) << objectKindName(x.kind);
        ASSERT_TRUE(x.scan);
        EXPECT_EQ(x.scan->projections, c.projections);
        EXPECT_EQ(x.scan->startDeg, c.start);
        EXPECT_EQ(x.scan->endDeg, c.end);
        ASSERT_EQ(x.entranceDoseMgy.has_value(), c.entrance.has_value());
        if (c.entrance) {
            EXPECT_NEAR(*x.entranceDoseMgy, *c.entrance, 1e-12);
        }
        EXPECT_EQ(x.scope.entrance, c.entranceScope);
    }
}

TEST(Exposure, EverySynthesized2dVariantIsKnownAndAProcessedImageIsNot) {
    struct Case {
        const char* name;
        std::function<void(MadeExposure&)> make;
        bool synthesized;
    };
    const Case cases[] = {
        {"generated 2D in the image type",
         [](MadeExposure& e) { e.imageType = "DERIVED\\PRIMARY\\TOMOSYNTHESIS\\GENERATED_2D"; }, true},
        {"synthetic in the image type", [](MadeExposure& e) { e.imageType = "DERIVED\\PRIMARY\\SYNTHETIC"; },
         true},
        {"2D_SYNTHESIZED in the image type",
         [](MadeExposure& e) { e.imageType = "DERIVED\\SECONDARY\\2D_SYNTHESIZED"; }, true},
        {"the derivation's description",
         [](MadeExposure& e) {
             e.imageType = "DERIVED\\PRIMARY";
             e.extra[DCM_DerivationDescription] = "2D image synthesized from tomosynthesis";
         },
         true},
        {"a derivation code", [](MadeExposure& e) { e.derivation = "Maximum intensity projection"; }, true},
        {"a source image of the volume class",
         [](MadeExposure& e) {
             e.imageType = "DERIVED\\PRIMARY";
             e.sourceClasses = {test::kVolumeClass};
         },
         true},
        {"a presentation made from its own processing image",
         [](MadeExposure& e) {
             e.imageType = "DERIVED\\PRIMARY";
             e.sourceClasses = {UID_DigitalMammographyXRayImageStorageForProcessing};
             e.derivation = "Image processing";
         },
         false},
    };
    TempDir dir("kv-audit");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MadeExposure e;
        c.make(e);
        test::writeDicom(dir.file("s.dcm"), e);
        const Reading r = readExposure(dir.file("s.dcm"));
        if (c.synthesized) {
            ASSERT_TRUE(std::holds_alternative<Skip>(r));
            EXPECT_EQ(std::get<Skip>(r).code, SkipCode::Synthesized2d);
        } else {
            ASSERT_TRUE(std::holds_alternative<Exposure>(r));
            EXPECT_EQ(std::get<Exposure>(r).modality, Modality::Mammography);
        }
    }
}

TEST(Exposure, OptionalValuesOfNoUseAreSetAsideWithTheirTag) {
    TempDir dir("kv-audit");
    MadeExposure e;
    e.mas = "-63", e.hvl = "0", e.force = "n/a";
    test::writeDicom(dir.file("a.dcm"), e);
    const Reading r = readExposure(dir.file("a.dcm"));
    ASSERT_TRUE(std::holds_alternative<Exposure>(r));
    const Exposure& x = std::get<Exposure>(r);
    EXPECT_FALSE(x.mas || x.hvlMmAl || x.compressionForceN);
    std::map<std::string, std::string> aside;
    for (const Exposure::SetAside& a : x.setAside)
        aside[a.tag] = a.value;
    EXPECT_EQ(aside, (std::map<std::string, std::string>{
                         {"(0018,1152)", "-63"}, {"(0040,0314)", "0"}, {"(0018,11A2)", "n/a"}}));
}

} // namespace
} // namespace kv::audit
