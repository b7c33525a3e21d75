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
        {"tomosynthesis slices by class",
         [](MadeExposure& e) { e.sopClass = "1.2.840.10008.5.1.4.1.1.13.1.3"; }, SkipCode::Tomosynthesis, ""},
        {"tomosynthesis projections by type",
         [](MadeExposure& e) { e.imageType = "ORIGINAL\\PRIMARY\\TOMO"; }, SkipCode::Tomosynthesis, ""},
        {"rhodium anode", [](MadeExposure& e) { e.anode = "RHODIUM"; }, SkipCode::UnsupportedAnode, ""},
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
