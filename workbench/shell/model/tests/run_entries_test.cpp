// The screens' entries read and written without the screens: what a refusal
// leaves, and what the screens' own tests cannot reach (entries a list or a
// combo box never gives, settings of other dialogs that must survive).
#include "kv/formats/geometry_file.h"
#include "kv/test_support/work_dir.h"
#include "kv/texts/settings_files.h"
#include "kv/texts/spectrum_files.h"
#include "kv/texts/typed_number.h"
#include "kv/workbench/shell/model/run_entries.h"

#include <functional>
#include <gtest/gtest.h>

using namespace kv::shell;
using kv::test_support::TempDir;

namespace {

const std::string kRecord = "Unit A\r\n65\r\n60\r\n7.5\r\n10.26\r\n5\r\n";

const PhantomWords kPhantomWords{.thickness = "Thickness",
                                 .cm = "cm",
                                 .notAFraction = "no fraction %1",
                                 .cannotWrite = "cannot write %1",
                                 .numbers = kv::texts::englishTypedNumberTexts};
const SetUpWords kSetUpWords{.histories = "Histories",
                             .resultName = "Name",
                             .fid = "FID",
                             .fad = "FAD",
                             .angularRange = "Range",
                             .fcd = "FCD",
                             .sagdTarget = "sAGD target",
                             .mapTarget = "Map target",
                             .cm = "cm",
                             .deg = "deg",
                             .missingInput = "missing",
                             .nothingTyped = "{field}: empty",
                             .notAFileName = "bad name %1",
                             .nothingWritten = "nothing written",
                             .badSagdTarget = "bad sAGD target %1",
                             .badMapTarget = "bad map target %1",
                             .cannotUseOptions = "options: %1",
                             .cannotWrite = "cannot write %1",
                             .numbers = kv::texts::englishTypedNumberTexts,
                             .files = kv::texts::englishSpectrumFileTexts};
const PlateWords kPlateWords{.paddle = "Paddle",
                             .support = "Support",
                             .mm = "mm",
                             .outOfRange = "%1: 0 to 10 mm",
                             .numbers = kv::texts::englishTypedNumberTexts,
                             .files = kv::texts::englishSettingsFileTexts};

SetUpEntries opened(const TempDir& d) {
    SetUpEntries e = openingEntries(d.path(), kv::formats::readEquipment(d.path()));
    e.resultName = "case1";
    return e;
}

} // namespace

TEST(PhantomEntries, OnlyTheNineFractionsAndABreastThickness) {
    const struct {
        const char* row;
        PhantomEntries entries;
        const char* refusal; // empty: written
    } cases[] = {
        {"the opening entries", {}, ""},
        {"fraction 90", {.fraction = "90", .thickness = "4.45"}, ""},
        {"fraction 55 has no composition file", {.fraction = "55"}, "no fraction 55"},
        {"fraction 0", {.fraction = "0"}, "no fraction 0"},
        {"fraction with a blank", {.fraction = "50 "}, "no fraction 50 "},
        {"thickness 7 cm", {.thickness = "7"}, "Thickness: \"7\" is outside the range 0.1 to 6 cm."},
        {"thickness 4,5", {.thickness = "4,5"}, "Thickness: \"4,5\" has a decimal comma."},
    };
    for (const auto& c : cases) {
        TempDir d;
        d.write("Phantom.dat", "earlier\r\n");
        const auto checked = checkPhantom(c.entries, kPhantomWords);
        EXPECT_EQ(d.read("Phantom.dat"), "earlier\r\n") << c.row << ": a check writes nothing";
        const auto refused = acceptPhantom(d.path(), c.entries, kPhantomWords);
        EXPECT_EQ(checked.has_value(), refused.has_value()) << c.row;
        if (*c.refusal) {
            ASSERT_TRUE(refused) << c.row;
            EXPECT_EQ(refused->text.substr(0, std::string_view(c.refusal).size()), c.refusal) << c.row;
            EXPECT_EQ(d.read("Phantom.dat"), "earlier\r\n") << c.row;
        } else {
            EXPECT_FALSE(refused) << c.row << ": " << refused->text;
            EXPECT_NE(d.read("Phantom.dat"), "earlier\r\n") << c.row;
        }
    }
}

TEST(SetUpEntries, OpenAsTheScreenOpens) {
    TempDir d;
    d.write("equipment.dat", kRecord);
    d.write("RunOptions.dat", "sagd_sigma_percent = 0.5\r\nseed = 7\r\n");
    const SetUpEntries e = openingEntries(d.path(), kv::formats::readEquipment(d.path()));
    EXPECT_EQ(e.equipmentName, "Unit A");
    EXPECT_EQ(e.fid, "65.0");
    EXPECT_EQ(e.fad, "60.0");
    EXPECT_EQ(e.fcd, "60.0");
    EXPECT_EQ(e.angularRange, "07.5");
    EXPECT_EQ(e.histories, "1000000000");
    EXPECT_FALSE(e.otherFcd);
    EXPECT_EQ(e.resultName, "");
    EXPECT_EQ(e.sagdTarget, "0.5");
    EXPECT_EQ(e.mapTarget, "");
}

TEST(SetUpEntries, RefusalsWriteNothing) {
    auto with = [](auto change) { return [change](SetUpEntries& e) { change(e); }; };
    const struct {
        const char* row;
        std::function<void(SetUpEntries&)> change;
        const char* text;
        const char* detail;
    } cases[] = {
        {"a fraction of a history", with([](SetUpEntries& e) { e.histories = "1.5"; }), "missing",
         "Histories: \"1.5\" is not a whole number."},
        {"above ten with a fraction", with([](SetUpEntries& e) { e.histories = "10.5"; }), "missing",
         "Histories: \"10.5\" is not a whole number."},
        {"no name", with([](SetUpEntries& e) { e.resultName.clear(); }), "missing", "Name: empty"},
        {"a name with a folder", with([](SetUpEntries& e) { e.resultName = "a/b"; }), "bad name a/b", ""},
        {"FID with its unit", with([](SetUpEntries& e) { e.fid = "65cm"; }),
         "FID: \"65cm\" is not only a number.", ""},
        {"other FCD empty", with([](SetUpEntries& e) { e.otherFcd = true, e.fcd = ""; }),
         "FCD: nothing was typed; a number is needed.", ""},
        {"sAGD target 0", with([](SetUpEntries& e) { e.sagdTarget = "0"; }), "bad sAGD target 0",
         "sAGD target: \"0\" must be more than 0 and at most 100 %."},
    };
    for (const auto& c : cases) {
        TempDir d;
        d.write("equipment.dat", kRecord);
        SetUpEntries e = opened(d);
        c.change(e);
        const auto checked = checkSetUp(d.path(), e, kSetUpWords);
        const auto refused = acceptSetUp(d.path(), e, kv::formats::readEquipment(d.path()), kSetUpWords,
                                         kv::texts::Edition::English);
        ASSERT_TRUE(checked && refused) << c.row;
        EXPECT_EQ(refused->text.substr(0, std::string_view(c.text).size()), c.text) << c.row;
        EXPECT_EQ(refused->detail.substr(0, std::string_view(c.detail).size()), c.detail) << c.row;
        EXPECT_EQ(d.read("equipment.dat"), kRecord) << c.row;
        EXPECT_FALSE(std::filesystem::exists(d.file("MC.dat"))) << c.row;
        EXPECT_FALSE(std::filesystem::exists(d.file("RunOptions.dat"))) << c.row;
    }
}

TEST(SetUpEntries, TheTiltIsWrittenInTheEditionsPattern) {
    const struct {
        const char* row;
        kv::texts::Edition edition;
        const char* record;
        const char* lastLine;
    } cases[] = {
        {"English, 5", kv::texts::Edition::English, "U\r\n65\r\n60\r\n7.5\r\n10\r\n5\r\n", " 5.0\r\n"},
        {"Japanese, 5", kv::texts::Edition::Japanese, "U\r\n65\r\n60\r\n7.5\r\n10\r\n5\r\n", "5.0\r\n"},
        {"English, -2.5", kv::texts::Edition::English, "U\r\n65\r\n60\r\n7.5\r\n10\r\n-2.5\r\n", " -2.5\r\n"},
        {"Japanese, 0", kv::texts::Edition::Japanese, "U\r\n65\r\n60\r\n7.5\r\n10\r\n0\r\n", "0.0\r\n"},
    };
    for (const auto& c : cases) {
        TempDir d;
        d.write("equipment.dat", c.record);
        const SetUpEntries e = opened(d);
        ASSERT_FALSE(acceptSetUp(d.path(), e, kv::formats::readEquipment(d.path()), kSetUpWords, c.edition))
            << c.row;
        const std::string written = d.read("equipment.dat");
        EXPECT_EQ(written.substr(written.rfind("\r\n", written.size() - 3) + 2), c.lastLine) << c.row;
    }
}

TEST(PlateEntries, ThePlatesChangeAndNothingElse) {
    TempDir d;
    d.write("Geometry.dat",
            "model = protocol\r\nadipose_mm = 4\r\nglandular_percent = 25\r\nplates = full\r\n");
    std::optional<std::string> fault;
    PlateEntries e = openingPlates(d.path(), &fault, kv::texts::englishSettingsFileTexts);
    EXPECT_FALSE(fault);
    EXPECT_EQ(e.paddleMm, "1.5");
    EXPECT_EQ(e.supportMm, "2");
    e.paddleMm = "2.5";
    e.paddlePmma = true;
    ASSERT_FALSE(acceptPlates(d.path(), e, kPlateWords));
    const kv::formats::Geometry g = kv::formats::readGeometry(d.path());
    EXPECT_EQ(g.paddleMm, 2.5);
    EXPECT_EQ(g.paddleMaterial, kv::formats::PlateMaterial::Pmma);
    EXPECT_EQ(g.model, kv::formats::BreastModel::Protocol);
    EXPECT_EQ(g.adiposeMm, 4.0);
    EXPECT_EQ(g.glandularPercent, 25.0);
    EXPECT_EQ(g.plates, kv::formats::PlateMode::Full);
}

TEST(PlateEntries, RefusedPlatesKeepTheFile) {
    const struct {
        const char* row;
        PlateEntries entries;
        const char* text;
    } cases[] = {
        {"paddle 11 mm", {.paddleMm = "11", .supportMm = "2"}, "Paddle: 0 to 10 mm"},
        {"support negative", {.paddleMm = "1.5", .supportMm = "-1"}, "Support: 0 to 10 mm"},
        {"paddle empty", {.paddleMm = "", .supportMm = "2"}, "Paddle: 0 to 10 mm"},
    };
    for (const auto& c : cases) {
        TempDir d;
        d.write("Geometry.dat", "paddle_mm = 3\r\n");
        EXPECT_TRUE(checkPlates(c.entries, kPlateWords)) << c.row;
        const auto refused = acceptPlates(d.path(), c.entries, kPlateWords);
        ASSERT_TRUE(refused) << c.row;
        EXPECT_EQ(refused->text, c.text) << c.row;
        EXPECT_EQ(d.read("Geometry.dat"), "paddle_mm = 3\r\n") << c.row;
    }
}

// The set-up screen's line for each kind of scan Geometry.dat can hold.
TEST(Scan, EachKindOfScanInOneLine) {
    const ScanWords w{.continuous = "sweep, axis {axis}",
                      .steps = "{n} steps, {loading}, axis {axis}",
                      .single = "one at {angle}, axis {axis}",
                      .axisAtFad = "FAD",
                      .axisAbove = "{cm} up",
                      .loadingEqual = "equal",
                      .loadingGiven = "given"};
    kv::formats::Geometry continuous, steps, unequal, single;
    continuous.rotationAxisCm = 2.5;
    steps.projections = 25;
    unequal.projections = 3, unequal.projectionLoading = {1, 2, 1};
    single.projectionAngle = -12.5;
    const struct {
        const kv::formats::Geometry* g;
        const char* line;
    } rows[] = {{&continuous, "sweep, axis 2.5 up"},
                {&steps, "25 steps, equal, axis FAD"},
                {&unequal, "3 steps, given, axis FAD"},
                {&single, "one at -12.5, axis FAD"}};
    for (const auto& r : rows)
        EXPECT_EQ(describeScan(*r.g, w), r.line);
}
