// Which objects are one exposure: a copy, one irradiation event, the two
// presentation intents of one acquisition, the objects of one scan; and the
// pairs that look alike but are two exposures, which must both stay.
#include "header.h"
#include "kv/audit/stages.h"

#include <functional>
#include <gtest/gtest.h>

namespace kv::audit {
namespace {

// A 2D image of one unit, breast and view as two objects of one set differ by nothing but their instance.
Object image(
    int index, std::function<void(Exposure&)> make = [](Exposure&) {}) {
    Object o;
    o.index = index, o.path = "f" + std::to_string(index);
    Exposure& x = o.x;
    x.instanceUid = "1.2.3." + std::to_string(index), x.studyUid = "1.2.9",
    x.seriesUid = "1.2.8." + std::to_string(index);
    x.serial = "SN1", x.device = "ACME SN SN1", x.view = "CC", x.laterality = "L",
    x.acquisitionDate = "20240115";
    x.acquisitionSeconds = 36900, x.kvp = 28, x.mas = 63, x.thicknessMm = 45, x.entranceDoseMgy = 5.2;
    x.organDoseMgy = 1.25;
    make(x);
    return o;
}

Object scanObject(
    int index, ObjectKind kind, std::function<void(Exposure&)> make = [](Exposure&) {}) {
    return image(index, [&](Exposure& x) {
        x.modality = Modality::Tomosynthesis, x.kind = kind, x.scan = Scan{};
        x.scope.entrance = x.scope.mas = x.scope.organ = DoseScope::Unsaid;
        make(x);
    });
}

TEST(CountOnce, DuplicatesOnlyWhenTheyAreAndEachNamesItsRule) {
    struct Case {
        const char* name;
        std::vector<Object> objects;
        std::vector<int> counted;                            // indexes of the exposures
        std::vector<std::pair<int, SameAs>> duplicates = {}; // index, rule
    };
    const Case cases[] = {
        {"two exposures alike but for their instance and entrance dose, no intent, no event",
         {image(1), image(2, [](Exposure& x) { x.entranceDoseMgy = 5.9; })},
         {1, 2}},
        {"two exposures with identical values and no intent", {image(1), image(2)}, {1, 2}},
        {"an exact copy in another folder",
         {image(1), image(2, [](Exposure& x) { x.instanceUid = "1.2.3.1"; })},
         {1},
         {{2, SameAs::Instance}}},
        {"the same instance with another entrance dose is no copy",
         {image(1), image(2, [](Exposure& x) { x.instanceUid = "1.2.3.1", x.entranceDoseMgy = 3; })},
         {1, 2}},
        {"processing and presentation, the time written HHMMSS and HHMMSS.000000",
         {image(1, [](Exposure& x) { x.presentationIntent = "FOR PROCESSING"; }),
          image(2,
                [](Exposure& x) {
                    x.presentationIntent = "FOR PRESENTATION", x.acquisitionSeconds = 36900.0;
                })},
         {1},
         {{2, SameAs::OtherPresentation}}},
        {"processing and presentation a second apart are two acquisitions",
         {image(1, [](Exposure& x) { x.presentationIntent = "FOR PROCESSING"; }),
          image(
              2,
              [](Exposure& x) { x.presentationIntent = "FOR PRESENTATION", x.acquisitionSeconds = 36901; })},
         {1, 2}},
        {"processing and presentation with other entrance doses",
         {image(1, [](Exposure& x) { x.presentationIntent = "FOR PROCESSING"; }),
          image(2, [](Exposure& x) { x.presentationIntent = "FOR PRESENTATION", x.entranceDoseMgy = 6.1; })},
         {1, 2}},
        {"processing and presentation of two irradiation events",
         {image(1, [](Exposure& x) { x.presentationIntent = "FOR PROCESSING", x.eventUid = "9.1"; }),
          image(2, [](Exposure& x) { x.presentationIntent = "FOR PRESENTATION", x.eventUid = "9.2"; })},
         {1, 2}},
        {"the other intent of one event does not pull in a look-alike of another event",
         {image(1, [](Exposure& x) { x.presentationIntent = "FOR PRESENTATION", x.eventUid = "9.1"; }),
          image(2, [](Exposure& x) { x.presentationIntent = "FOR PROCESSING", x.eventUid = "9.2"; }),
          image(3, [](Exposure& x) { x.presentationIntent = "FOR PRESENTATION", x.eventUid = "9.2"; })},
         {1, 2},
         {{3, SameAs::Event}}},
        {"one irradiation event in two objects",
         {image(1, [](Exposure& x) { x.eventUid = "9.1"; }),
          image(2, [](Exposure& x) { x.eventUid = "9.1"; })},
         {1},
         {{2, SameAs::Event}}},
        {"an image and its dose report's event: the event counts",
         {image(1, [](Exposure& x) { x.eventUid = "9.1"; }),
          image(2, [](Exposure& x) { x.eventUid = "9.1", x.kind = ObjectKind::DoseEvent, x.event = 1; })},
         {2},
         {{1, SameAs::Event}}},
        {"a projection that shares the 2D image's event is no copy of it",
         {image(1, [](Exposure& x) { x.eventUid = "9.1"; }),
          scanObject(2, ObjectKind::Projections,
                     [](Exposure& x) { x.eventUid = "9.1", x.entranceDoseMgy = 0.4; })},
         {1, 2}},
        {"a combined study: the 2D image and the scan at one time are two exposures",
         {image(1), scanObject(2, ObjectKind::Volume)},
         {1, 2}},
        {"a scan's projections and volume of one event: the projections count",
         {scanObject(1, ObjectKind::Volume, [](Exposure& x) { x.eventUid = "9.2"; }),
          scanObject(2, ObjectKind::Projections, [](Exposure& x) { x.eventUid = "9.2"; })},
         {2},
         {{1, SameAs::Event}}},
        {"a scan's nine projection files in one series",
         [] {
             std::vector<Object> v;
             for (int i = 1; i <= 9; ++i)
                 v.push_back(scanObject(i, ObjectKind::Projection, [i](Exposure& x) {
                     x.seriesUid = "1.2.8", x.acquisitionSeconds = 36900 + i, x.entranceDoseMgy = 0.1 * i;
                 }));
             return v;
         }(),
         {1},
         {{2, SameAs::Scan},
          {3, SameAs::Scan},
          {4, SameAs::Scan},
          {5, SameAs::Scan},
          {6, SameAs::Scan},
          {7, SameAs::Scan},
          {8, SameAs::Scan},
          {9, SameAs::Scan}}},
        {"two scans of one breast a minute apart",
         {scanObject(1, ObjectKind::Volume),
          scanObject(2, ObjectKind::Volume, [](Exposure& x) { x.acquisitionSeconds = 36960; })},
         {1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Readings r = countOnce(c.objects, {}, c.objects.size());
        std::vector<int> counted;
        for (const Counted& e : r.exposures)
            counted.push_back(e.index);
        EXPECT_EQ(counted, c.counted);
        std::vector<std::pair<int, SameAs>> duplicates;
        for (const Skipped& s : r.skipped) {
            ASSERT_TRUE(s.rule);
            EXPECT_EQ(s.skip.code, SkipCode::Duplicate);
            duplicates.push_back({s.index, *s.rule});
        }
        EXPECT_EQ(duplicates, c.duplicates);
    }
}

TEST(CountOnce, TheCountedObjectTakesWhatItLacksFromTheOthers) {
    // The dose report's event has no HVL: the image's fills it; its own dose stays.
    const Readings r = countOnce({image(1, [](Exposure& x) { x.eventUid = "9.1", x.hvlMmAl = 0.4; }),
                                  image(2,
                                        [](Exposure& x) {
                                            x.eventUid = "9.1", x.kind = ObjectKind::DoseEvent, x.event = 3;
                                            x.entranceDoseMgy = 5.21;
                                        })},
                                 {}, 2);
    ASSERT_EQ(r.exposures.size(), 1u);
    const Counted& c = r.exposures[0];
    EXPECT_EQ(c.x.event, 3);
    EXPECT_EQ(c.x.hvlMmAl, 0.4);
    EXPECT_EQ(c.x.entranceDoseMgy, 5.21);
    EXPECT_EQ(c.objects, "rdsr_event+image");
    ASSERT_EQ(r.skipped.size(), 1u);
    EXPECT_EQ(r.skipped[0].sameIndex, 2);
    EXPECT_EQ(r.skipped[0].sameEvent, 3);

    // Nine projection files: nine projections from the first angle to the last, their doses added up.
    std::vector<Object> files;
    for (int i = 0; i < 9; ++i)
        files.push_back(scanObject(i + 1, ObjectKind::Projection, [i](Exposure& x) {
            x.seriesUid = "1.2.8", x.acquisitionSeconds = 36900 + 0.3 * i, x.entranceDoseMgy = 0.2;
            x.scan->projections = 1, x.scan->startDeg = x.scan->endDeg = -12 + 3 * i;
        }));
    const Readings s = countOnce(files, {}, files.size());
    ASSERT_EQ(s.exposures.size(), 1u);
    const Scan& scan = *s.exposures[0].x.scan;
    EXPECT_EQ(scan.projections, 9);
    EXPECT_EQ(scan.startDeg, -12);
    EXPECT_EQ(scan.endDeg, 12);
    EXPECT_NEAR(*scan.entranceSum, 1.8, 1e-12);
    EXPECT_EQ(s.exposures[0].objects, "projection x9");
}

TEST(CountOnce, ACopyOfAWholeDoseReportIsOneRow) {
    std::vector<Object> objects;
    for (int file : {1, 2})
        for (int e : {1, 2})
            objects.push_back(image(file, [e](Exposure& x) {
                x.kind = ObjectKind::DoseEvent, x.event = e, x.instanceUid = "1.2.6",
                x.eventUid = "9." + std::to_string(e);
            }));
    const Readings r = countOnce(objects, {}, 2);
    ASSERT_EQ(r.exposures.size(), 2u);
    ASSERT_EQ(r.skipped.size(), 1u);
    EXPECT_EQ(r.skipped[0].index, 2);
    EXPECT_EQ(r.skipped[0].skip.event, 0);
    EXPECT_EQ(r.skipped[0].rule, SameAs::Instance);
}

TEST(CountOnce, TimesAreReadAsValuesWhateverTheirForm) {
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"101500", 36900},
        {"101500.000000", 36900},
        {"10:15:00", 36900},
        {"1015", 36900},
        {"10", 36000},
        {"101500.5", 36900.5},
        {" 101500 ", 36900},
        {"250000", std::nullopt},
        {"1061", std::nullopt},
        {"abc", std::nullopt},
        {"101500.", std::nullopt},
        {"1015000", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, seconds] : cases)
        EXPECT_EQ(header::timeOfDay(text), seconds) << text;
}

} // namespace
} // namespace kv::audit
