// Dose reports made with DCMTK's dcmsr, read back the way kv-audit reads
// them: each irradiation event one exposure, and hostile content (a number
// without its unit, a code where a number belongs, a value outside its
// event, a negative dose) named with its event and concept.
#include "kv/audit/exposure.h"
#include "kv/test_support/work_dir.h"
#include "report_maker.h"

#include <functional>
#include <gtest/gtest.h>

namespace kv::audit {
namespace {

using test::MadeEvent;
using test::MadeReport;
using test_support::TempDir;

std::vector<Reading> readMade(const TempDir& dir, const MadeReport& r) {
    test::writeReport(dir.file("r.dcm"), r);
    return readFile(dir.file("r.dcm"));
}

TEST(DoseReport, AMammographyEventGivesEveryValue) {
    TempDir dir("kv-audit");
    const std::vector<Reading> events = readMade(dir, MadeReport{});
    ASSERT_EQ(events.size(), 1u);
    ASSERT_TRUE(std::holds_alternative<Exposure>(events[0]))
        << skipCodeName(std::get<Skip>(events[0]).code) << " " << std::get<Skip>(events[0]).tag << " "
        << std::get<Skip>(events[0]).detail;
    const Exposure& x = std::get<Exposure>(events[0]);
    EXPECT_EQ(x.kind, ObjectKind::DoseEvent);
    EXPECT_EQ(x.modality, Modality::Mammography);
    EXPECT_EQ(x.event, 1);
    EXPECT_EQ(x.eventUid, test::kSecrets[7] + ".5.1");
    EXPECT_DOUBLE_EQ(x.kvp, 28);
    EXPECT_DOUBLE_EQ(*x.mas, 63);
    EXPECT_EQ(x.target, Target::Molybdenum);
    EXPECT_EQ(x.filter, FilterMaterial::Molybdenum);
    EXPECT_DOUBLE_EQ(x.filterMm, 0.03);
    EXPECT_DOUBLE_EQ(x.thicknessMm, 45);
    EXPECT_DOUBLE_EQ(*x.hvlMmAl, 0.36);
    EXPECT_DOUBLE_EQ(*x.entranceDoseMgy, 5.2);
    EXPECT_DOUBLE_EQ(*x.organDoseMgy, 1.25); // the report's mGy as it stands
    EXPECT_EQ(x.laterality, "L");
    EXPECT_EQ(x.view, "CC");
    EXPECT_EQ(x.acquisitionDate, "20240115");
    EXPECT_DOUBLE_EQ(*x.acquisitionSeconds, 10 * 3600 + 15 * 60);
    EXPECT_EQ(x.device, "ACME MammoOne SN SN1001");
    EXPECT_DOUBLE_EQ(*x.ageYears, 55);
    EXPECT_FALSE(x.scan);
}

TEST(DoseReport, EachEventOneExposureAScanWithItsAnglesAndPulses) {
    TempDir dir("kv-audit");
    MadeReport r;
    MadeEvent scan;
    scan.uid = test::kSecrets[7] + ".5.2", scan.view = "medio-lateral oblique", scan.laterality = "Right";
    scan.anode = "Tungsten or Tungsten compound", scan.filter = "Aluminum or Aluminum compound";
    scan.filterMin = scan.filterMax = "0.7";
    scan.startAngle = "-7.5", scan.endAngle = "7.5", scan.pulses = "15";
    r.events.push_back(scan);
    const std::vector<Reading> events = readMade(dir, r);
    ASSERT_EQ(events.size(), 2u);
    ASSERT_TRUE(std::holds_alternative<Exposure>(events[1]));
    const Exposure& x = std::get<Exposure>(events[1]);
    EXPECT_EQ(x.event, 2);
    EXPECT_EQ(x.modality, Modality::Tomosynthesis);
    EXPECT_EQ(x.target, Target::Tungsten);
    EXPECT_EQ(x.filter, FilterMaterial::Aluminum);
    EXPECT_EQ(x.view, "MLO");
    EXPECT_EQ(x.laterality, "R");
    ASSERT_TRUE(x.scan);
    EXPECT_EQ(x.scan->projections, 15);
    EXPECT_EQ(x.scan->startDeg, -7.5);
    EXPECT_EQ(x.scan->endDeg, 7.5);
    // Whose doses a report's scan event gives differs between makers.
    EXPECT_EQ(x.scope.entrance, DoseScope::Unsaid);
    EXPECT_EQ(std::get<Exposure>(events[0]).modality, Modality::Mammography);
}

TEST(DoseReport, HostileContentIsNamedWithItsEventAndConcept) {
    struct Case {
        const char* name;
        std::function<void(MadeReport&)> make;
        std::optional<SkipCode> code; // none: an exposure
        std::string tag;
        std::function<void(const Exposure&)> check = [](const Exposure&) {};
    };
    const Case cases[] = {
        {"a thickness without its unit", [](MadeReport& r) { r.events[0].units["111633"] = ""; },
         SkipCode::BadValue, "Compression Thickness (111633, DCM)"},
        {"a voltage in a unit of no meaning", [](MadeReport& r) { r.events[0].units["113733"] = "kVp"; },
         SkipCode::BadValue, "KVP (113733, DCM)"},
        {"the voltage as a code", [](MadeReport& r) { r.events[0].asCode = {"113733"}; }, SkipCode::BadValue,
         "KVP (113733, DCM)"},
        {"no voltage", [](MadeReport& r) { r.events[0].drop = {"113733"}; }, SkipCode::MissingValue,
         "KVP (113733, DCM)"},
        {"the anode outside its event",
         [](MadeReport& r) {
             r.anodeOutsideEvents = true;
             r.events[0].drop = {"111632"};
         },
         SkipCode::MissingValue, "Anode Target Material (111632, DCM)"},
        {"no filter", [](MadeReport& r) { r.events[0].drop = {"113771"}; }, SkipCode::MissingValue,
         "X-Ray Filter Material (113757, DCM)"},
        {"a copper filter", [](MadeReport& r) { r.events[0].filter = "Copper or Copper compound"; },
         SkipCode::UnsupportedFilter, ""},
        {"a negative entrance dose is set aside", [](MadeReport& r) { r.events[0].entrance = "-5.2"; },
         std::nullopt, "",
         [](const Exposure& x) {
             EXPECT_FALSE(x.entranceDoseMgy);
             ASSERT_EQ(x.setAside.size(), 1u);
             EXPECT_EQ(x.setAside[0].tag, "Entrance Exposure at RP (111636, DCM)");
         }},
        {"a dose in Gy",
         [](MadeReport& r) {
             r.events[0].units["111636"] = "Gy";
             r.events[0].entrance = "0.0052";
         },
         std::nullopt, "", [](const Exposure& x) { EXPECT_NEAR(*x.entranceDoseMgy, 5.2, 1e-12); }},
        {"the dose of the unit without its unit is set aside",
         [](MadeReport& r) { r.events[0].units["111631"] = ""; }, std::nullopt, "",
         [](const Exposure& x) { EXPECT_FALSE(x.organDoseMgy); }},
        {"rhodium filter by its meaning",
         [](MadeReport& r) { r.events[0].filter = "Rhodium or Rhodium compound"; }, std::nullopt, "",
         [](const Exposure& x) { EXPECT_EQ(x.filter, FilterMaterial::Rhodium); }},
    };
    TempDir dir("kv-audit");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MadeReport r;
        c.make(r);
        const std::vector<Reading> events = readMade(dir, r);
        ASSERT_EQ(events.size(), 1u);
        if (c.code) {
            ASSERT_TRUE(std::holds_alternative<Skip>(events[0]));
            const Skip& s = std::get<Skip>(events[0]);
            EXPECT_EQ(s.code, *c.code) << skipCodeName(s.code);
            EXPECT_EQ(s.tag, c.tag);
            EXPECT_EQ(s.event, 1);
        } else {
            ASSERT_TRUE(std::holds_alternative<Exposure>(events[0]))
                << skipCodeName(std::get<Skip>(events[0]).code);
            c.check(std::get<Exposure>(events[0]));
        }
    }
}

TEST(DoseReport, AReportOfNoMammographyIsOneSkip) {
    TempDir dir("kv-audit");
    MadeReport r;
    r.procedure = "Fluoroscopy";
    r.events.push_back(MadeEvent{});
    const std::vector<Reading> events = readMade(dir, r);
    ASSERT_EQ(events.size(), 1u);
    ASSERT_TRUE(std::holds_alternative<Skip>(events[0]));
    EXPECT_EQ(std::get<Skip>(events[0]).code, SkipCode::NotMammography);
    // Without a procedure, events that hold a breast are mammography.
    r.procedure.clear();
    EXPECT_EQ(readMade(dir, r).size(), 2u);
}

} // namespace
} // namespace kv::audit
