#include "kv/results/result_file.h"
#include "kv/results/testfiles/testfiles.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using namespace kv::results;
using namespace kv::results::testfiles;
using kv::test_support::TempDir;

// Where line `index` (0-based) of a CR LF text starts.
size_t lineStart(const std::string& text, size_t index) {
    size_t start = 0;
    for (size_t i = 0; i < index; ++i)
        start = text.find("\r\n", start) + 2;
    return start;
}

std::string lineOf(const std::string& text, size_t index) {
    const size_t start = lineStart(text, index);
    return text.substr(start, text.find("\r\n", start) - start);
}

std::string replaceLine(const std::string& text, size_t index, const std::string& line) {
    const size_t start = lineStart(text, index);
    return text.substr(0, start) + line + text.substr(text.find("\r\n", start));
}

// Line index of the data header (AirKerma ... GridCountZ) for a mammography file.
constexpr size_t kDataHeaderLine = 1 + 14 + 4;

LoadResult loadText(const std::string& text) {
    TempDir dir;
    dir.write("t.vesk", text);
    return LoadResultFile(dir.path(), "t.vesk");
}

LoadResult load(const ResultFileContent& r) {
    return loadText(resultText(r));
}

// Values pass through 15 significant digits in the file.
void expectClose(double actual, double expected) {
    EXPECT_NEAR(actual, expected, 1e-12 * std::max(1.0, std::abs(expected)));
}

TEST(LoadResultFile, UniformDoseGivesHundredFiftyFifty) {
    const double d = 0.375, airKerma = 2.5;
    LoadResult r = load(uniformResult(75, 150, 12, d, airKerma));
    ASSERT_TRUE(r) << static_cast<int>(r.failure);
    const DoseModel& m = *r.model;
    EXPECT_EQ(m.GridCountX, 75);
    EXPECT_EQ(m.GridCountY, 150);
    EXPECT_EQ(m.GridCountZ, 12);
    EXPECT_DOUBLE_EQ(m.ReferenceDose, 2 * d);
    for (int iz : {1, 7, 12})
        for (int iy : {1, 80, 150})
            for (int ix : {1, 40, 75}) {
                EXPECT_DOUBLE_EQ(m.DoseGrid(Total, ix, iy, iz), 100.0);
                EXPECT_DOUBLE_EQ(m.DoseGrid(Primary, ix, iy, iz), 50.0);
                EXPECT_DOUBLE_EQ(m.DoseGrid(Scatter, ix, iy, iz), 50.0);
            }
    for (int iz = 1; iz <= 12; ++iz) {
        EXPECT_NEAR(m.DepthDose[Total][iz], 100.0, 1e-9) << iz;
        EXPECT_NEAR(m.DepthDose[Primary][iz], 50.0, 1e-9) << iz;
        EXPECT_NEAR(m.DepthDose[Scatter][iz], 50.0, 1e-9) << iz;
    }
    EXPECT_EQ(m.DepthDose[Total][13], 0.0);
    EXPECT_NEAR(m.MeanGlandDose, 100.0, 1e-9);
    EXPECT_NEAR(m.SagdValue, 2 * d / airKerma, 1e-12);
    EXPECT_EQ(m.SelectedYIndex, 80);
    EXPECT_EQ(m.SelectedZIndex, 1);
    DoseFields f = m.fields();
    EXPECT_EQ(f.referenceDose, " 0.300");
    EXPECT_EQ(f.fcd, "65.0");
    EXPECT_EQ(f.sagd, "0.300");
    EXPECT_EQ(f.meanGlandDose, " 100.0");
    EXPECT_EQ(f.selectedY, "8.0");
    EXPECT_EQ(f.selectedZ, "0");
}

// The kind line fixes how many description lines the loader skips; a file
// written for one kind and read as the other fails rather than loading shifted.
TEST(LoadResultFile, KindLineDecidesTheHeaderLength) {
    struct Case {
        const char* kind;
        int freeLines;
    } cases[] = {
        {" * Mammography", 14}, {" * Mammography ", 16},  {" * mammography", 16},
        {"* Mammography", 16},  {" * Tomosynthesis", 16}, {"", 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("kind \"") + c.kind + "\"");
        EXPECT_EQ(descriptionLineCount(c.kind), c.freeLines);
        ResultFileContent r = uniformResult(75, 150, 3, 0.5);
        setKind(r, c.kind);
        ASSERT_EQ(static_cast<int>(r.description.size()), c.freeLines);
        EXPECT_TRUE(load(r));
        // A header of the other kind's length under this kind line is misread.
        ResultFileContent other = r;
        setKind(other, c.freeLines == 14 ? " * Tomosynthesis" : std::string(kMammographyKind));
        EXPECT_FALSE(loadText(replaceLine(resultText(other), 0, c.kind)));
    }
}

TEST(LoadResultFile, RowsHoldSeventyFiveValuesWhateverGridCountX) {
    auto dose = [](int c, int ix, int iy, int iz) { return c * 1000.0 + ix + iy * 0.01 + iz * 1e-4; };
    for (int countX : {40, 75, 76}) {
        SCOPED_TRACE("GridCountX " + std::to_string(countX));
        LoadResult r = load(makeResult(countX, 130, 4, dose));
        ASSERT_TRUE(r);
        const DoseModel& m = *r.model;
        const int counted = std::min(countX, 75);
        // The values after each row land in the next row: check the last row of the last layer.
        const double scale = 100.0 / m.ReferenceDose;
        expectClose(m.DoseGrid(Primary, counted, 130, 4), scale * dose(1, counted, 130, 4));
        expectClose(m.DoseGrid(Total, counted, 130, 4),
                    scale * (dose(1, counted, 130, 4) + dose(2, counted, 130, 4)));
        for (int ix = counted + 1; ix <= 75; ++ix) {
            // Read, but neither totalled nor rescaled.
            expectClose(m.DoseGrid(Primary, ix, 7, 2), dose(1, ix, 7, 2));
            expectClose(m.DoseGrid(Scatter, ix, 7, 2), dose(2, ix, 7, 2));
            EXPECT_EQ(m.DoseGrid(Total, ix, 7, 2), 0.0);
        }
        for (int c = 0; c < kComponents; ++c)
            EXPECT_EQ(m.DoseGrid(c, 76, 7, 2), 0.0);
        EXPECT_EQ(m.DoseGrid(Primary, 1, 131, 4), 0.0);
        EXPECT_EQ(m.DoseGrid(Primary, 1, 1, 5), 0.0);
    }
}

// The reference region stays ix 1..20, iy 26..125 whatever the counts; cells
// the counts leave out are no dose.
TEST(LoadResultFile, SmallGridsAgainstTheFixedReferenceRegion) {
    struct Case {
        int countX, countY;
        double regionCells; // cells of the region inside the counts
    } cases[] = {{75, 150, 2000}, {10, 150, 1000}, {75, 60, 700}, {20, 125, 2000}, {1, 26, 1}};
    const double d = 0.25;
    for (const Case& c : cases) {
        SCOPED_TRACE("X " + std::to_string(c.countX) + ", Y " + std::to_string(c.countY));
        LoadResult r = load(uniformResult(c.countX, c.countY, 5, d));
        ASSERT_TRUE(r);
        const DoseModel& m = *r.model;
        EXPECT_DOUBLE_EQ(m.ReferenceDose, 2 * d * c.regionCells / 2000);
        for (int iz = 1; iz <= 5; ++iz) {
            EXPECT_NEAR(m.DepthDose[Total][iz], 100.0, 1e-9);
            EXPECT_NEAR(m.DepthDose[Primary][iz] + m.DepthDose[Scatter][iz], m.DepthDose[Total][iz], 1e-9);
        }
        EXPECT_NEAR(m.MeanGlandDose, 100.0, 1e-9);
    }
}

TEST(LoadResultFile, SingleLayerGivesMeanHundredAndSagdOfTheHundredPercentDose) {
    auto dose = [](int c, int ix, int iy, int) {
        return (c == Primary ? 3e-4 : 1e-4) / (1 + 0.01 * ix + 0.003 * iy);
    };
    LoadResult r = load(makeResult(75, 150, 1, dose, 7e-4));
    ASSERT_TRUE(r);
    EXPECT_NEAR(r.model->MeanGlandDose, 100.0, 1e-12);
    EXPECT_NEAR(r.model->SagdValue, r.model->ReferenceDose / 7e-4, 1e-12);
    EXPECT_NEAR(r.model->DepthDose[Total][1], 100.0, 1e-12);
}

// The trailer after the last value, whole or damaged, is never read by the loader.
TEST(LoadResultFile, WhatFollowsTheLastValueChangesNothing) {
    auto dose = [](int c, int ix, int iy, int iz) { return (c == Primary ? 3.0 : 1.0) / (ix + iy + iz); };
    ResultFileContent r = makeResult(75, 150, 3, dose, 0.02);
    const LoadResult plain = load(r);
    ASSERT_TRUE(plain);
    r.trailer = {{"mgd_per_k_surface", "0.2"}, {"physics_revision", "1"}};
    const std::string withTrailer = resultText(r);
    const std::string cut = withTrailer.substr(0, withTrailer.size() - 12);
    for (const std::string& text :
         {withTrailer, cut, resultText(makeResult(75, 150, 3, dose, 0.02)) + "junk"}) {
        const LoadResult other = loadText(text);
        ASSERT_TRUE(other);
        EXPECT_EQ(other.model->SagdValue, plain.model->SagdValue);
        EXPECT_EQ(other.model->ReferenceDose, plain.model->ReferenceDose);
        EXPECT_EQ(other.model->DepthDose, plain.model->DepthDose);
    }
}

TEST(LoadResultFile, VoxelsOutsideTheReferenceRegionNeverCount) {
    auto base = [](int c, int ix, int iy, int iz) {
        return (c == Primary ? 2.0 : 1.0) * (1 + 0.1 * ix + 0.01 * iy) / iz;
    };
    auto inRegion = [](int ix, int iy) { return ix >= 1 && ix <= 20 && iy >= 26 && iy <= 125; };
    auto loud = [&](int c, int ix, int iy, int iz) { return inRegion(ix, iy) ? base(c, ix, iy, iz) : 1e9; };
    LoadResult a = load(makeResult(75, 151, 8, base, 3.0));
    LoadResult b = load(makeResult(75, 151, 8, loud, 3.0));
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    EXPECT_DOUBLE_EQ(a.model->ReferenceDose, b.model->ReferenceDose);
    EXPECT_DOUBLE_EQ(a.model->MeanGlandDose, b.model->MeanGlandDose);
    EXPECT_DOUBLE_EQ(a.model->SagdValue, b.model->SagdValue);
    for (int c = 0; c < kComponents; ++c)
        for (int iz = 1; iz <= 8; ++iz)
            EXPECT_DOUBLE_EQ(a.model->DepthDose[c][iz], b.model->DepthDose[c][iz]);
    EXPECT_NE(a.model->DoseGrid(Total, 21, 80, 1), b.model->DoseGrid(Total, 21, 80, 1));
}

TEST(LoadResultFile, LineEndsAndLineBreaksBetweenFieldsDoNotMatter) {
    ResultFileContent content =
        makeResult(30, 140, 6, [](int c, int ix, int iy, int iz) { return c + ix * 0.5 + iy + iz; });
    const std::string crlf = resultText(content);
    std::string lf;
    for (char ch : crlf)
        if (ch != '\r') lf += ch;
    // From the data header on, one field per line and blanks for commas.
    std::string split = crlf;
    size_t dataStart = 0;
    for (size_t i = 0; i < kDataHeaderLine; ++i)
        dataStart = split.find("\r\n", dataStart) + 2;
    std::string head = split.substr(0, dataStart), body = split.substr(dataStart);
    std::string reshaped;
    for (size_t i = 0; i < body.size(); ++i)
        reshaped +=
            body[i] == ',' ? (i % 3 ? std::string("\r\n") : std::string("  ")) : std::string(1, body[i]);
    LoadResult a = loadText(crlf), b = loadText(lf),
               c = loadText(head + reshaped + "trailing text is never read\r\n");
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    ASSERT_TRUE(c);
    for (const LoadResult* other : {&b, &c}) {
        EXPECT_EQ(other->model->ReferenceDose, a.model->ReferenceDose);
        EXPECT_EQ(other->model->SagdValue, a.model->SagdValue);
        EXPECT_EQ(other->model->DoseGrid(Scatter, 30, 140, 6), a.model->DoseGrid(Scatter, 30, 140, 6));
    }
}

TEST(LoadResultFile, FailuresAreReportedAndGiveNoModel) {
    const ResultFileContent good = uniformResult(75, 150, 4, 0.5);
    const std::string text = resultText(good);
    auto header = [&](const std::string& line) { return replaceLine(text, kDataHeaderLine, line); };
    ResultFileContent regionEmpty = makeResult(75, 150, 4, [](int, int ix, int iy, int iz) {
        return (iz == 1 && ix <= 20 && iy >= 26 && iy <= 125) ? 0.0 : 1.0;
    });
    // Finite in the file, but the deeper layer is beyond a double once scaled to percent.
    ResultFileContent farApart =
        makeResult(75, 150, 4, [](int, int, int, int iz) { return iz == 1 ? 1e-200 : 1e200; });
    const size_t scatterStart = text.size() / 2 + text.size() / 4;
    struct Case {
        const char* name;
        std::string text;
        LoadFailure failure;
    } cases[] = {
        {"empty file", "", LoadFailure::EndsEarly},
        {"ends in the header", text.substr(0, 200), LoadFailure::EndsEarly},
        {"ends in the data header", header("1, 65, 75").substr(0, header("1, 65, 75").find("75\r\n") + 4),
         LoadFailure::EndsEarly},
        {"ends in the scatter block", text.substr(0, text.rfind("\r\n", scatterStart) + 2),
         LoadFailure::EndsEarly},
        {"ends inside a number", text.substr(0, text.rfind("E", scatterStart) + 1), LoadFailure::NotANumber},
        {"ends one value short", text.substr(0, text.rfind(',')), LoadFailure::EndsEarly},
        {"a word among the values", replaceLine(text, kDataHeaderLine + 3, "0.5,abc"),
         LoadFailure::NotANumber},
        {"a value beyond a double", replaceLine(text, kDataHeaderLine + 300, "1e999"),
         LoadFailure::NotANumber},
        {"air kerma not a number", header("x, 65, 75, 150, 4"), LoadFailure::NotANumber},
        {"GridCountX 0", header("1, 65, 0, 150, 4"), LoadFailure::CountOutOfRange},
        {"GridCountX 77", header("1, 65, 77, 150, 4"), LoadFailure::CountOutOfRange},
        {"GridCountX 40.5", header("1, 65, 40.5, 150, 4"), LoadFailure::CountOutOfRange},
        {"GridCountY 152", header("1, 65, 75, 152, 4"), LoadFailure::CountOutOfRange},
        {"GridCountY -150", header("1, 65, 75, -150, 4"), LoadFailure::CountOutOfRange},
        {"GridCountZ 61: a protocol breast over 6 cm", header("1, 65, 75, 150, 61"),
         LoadFailure::ThickerThanScreens},
        {"GridCountZ 110", header("1, 65, 75, 150, 110"), LoadFailure::ThickerThanScreens},
        {"GridCountZ 111", header("1, 65, 75, 150, 111"), LoadFailure::CountOutOfRange},
        {"GridCountZ 0", header("1, 65, 75, 150, 0"), LoadFailure::CountOutOfRange},
        {"GridCountY 25", resultText(uniformResult(75, 25, 4, 0.5)), LoadFailure::EmptyReferenceRegion},
        {"no dose in the region", resultText(regionEmpty), LoadFailure::EmptyReferenceRegion},
        {"air kerma 0", header("0, 65, 75, 150, 4"), LoadFailure::AirKerma},
        {"air kerma negative", header("-1, 65, 75, 150, 4"), LoadFailure::AirKerma},
        {"doses too far apart to scale", resultText(farApart), LoadFailure::NotANumber},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoadResult r = loadText(c.text);
        EXPECT_FALSE(r);
        EXPECT_EQ(r.failure, c.failure);
    }
    ASSERT_TRUE(loadText(text)); // the unaltered file loads
}

TEST(LoadResultFile, NamesThatCannotBeOpened) {
    TempDir dir;
    writeResult(dir.path(), "ok.vesk", uniformResult(75, 150, 2, 1.0));
    EXPECT_EQ(LoadResultFile(dir.path(), "").failure, LoadFailure::NoFileSelected);
    EXPECT_EQ(LoadResultFile(dir.path(), "missing.vesk").failure, LoadFailure::CannotOpen);
    EXPECT_EQ(LoadResultFile(dir.path() / "sub", "ok.vesk").failure, LoadFailure::CannotOpen);
    EXPECT_EQ(LoadResultFile(dir.path().parent_path(), dir.path().filename().string() + "/ok.vesk").failure,
              LoadFailure::CannotOpen);
    EXPECT_TRUE(LoadResultFile(dir.path(), "ok.vesk"));
}

TEST(ResultFileWriter, PhantomLineGivesSizesToOneDecimalAndThePlainFraction) {
    struct Case {
        std::array<double, 4> phantom;
        const char* line;
    } cases[] = {
        {{15, 15, 5, 50}, "15.0, 15.0, 5.0, 50"},         {{15, 15, 4.3, 12.5}, "15.0, 15.0, 4.3, 12.5"},
        {{12, 7.5, 0.1, 0}, "12.0, 7.5, 0.1, 0"},         {{15, 15, 6, 100}, "15.0, 15.0, 6.0, 100"},
        {{15, 15, 4.25, 33.3}, "15.0, 15.0, 4.25, 33.3"}, // more digits are kept, not rounded away
    };
    for (const Case& c : cases) {
        ResultFileContent r = uniformResult(75, 150, 2, 1.0);
        r.phantom = c.phantom;
        const std::string text = resultText(r);
        EXPECT_EQ(lineOf(text, kDataHeaderLine - 2), c.line);
        EXPECT_TRUE(loadText(text)) << c.line;
    }
}

TEST(ResultFileWriter, RefusesContentThatCannotBeReadBack) {
    ResultFileContent r = uniformResult(75, 150, 2, 1.0);
    kv::RecordWriter w(".", "x.vesk");
    ResultFileContent shortBlock = r;
    shortBlock.scatter.pop_back();
    EXPECT_THROW(kv::formats::writeResultFile(w, shortBlock), std::invalid_argument);
    ResultFileContent twoLines = r;
    twoLines.historyNote = "one\r\ntwo";
    EXPECT_THROW(kv::formats::writeResultFile(w, twoLines), std::invalid_argument);
    ResultFileContent tooLong = r;
    tooLong.description.resize(15);
    EXPECT_THROW(kv::formats::writeResultFile(w, tooLong), std::invalid_argument);
    ResultFileContent fewer = r;
    fewer.description.resize(3); // padded with empty lines
    EXPECT_TRUE(load(fewer));
}

} // namespace
