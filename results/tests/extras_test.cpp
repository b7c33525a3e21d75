// What the result screens and kv-report add to a load: the uncertainties a
// header states and the dose model as CSV tables.
#include "kv/results/agd_estimate.h"
#include "kv/results/dose_tables.h"
#include "kv/results/testfiles/testfiles.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

using namespace kv::results;
using namespace kv::formats;
using kv::test_support::TempDir;

namespace {

std::vector<std::string> header(const std::string& line) {
    return {std::string(kMammographyKind), " Equipment: x", line};
}

double number(const std::string& s) {
    double v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    EXPECT_TRUE(ec == std::errc() && end == s.data() + s.size()) << s;
    return v;
}

std::vector<std::string> split(const std::string& row) {
    std::vector<std::string> out;
    std::stringstream in(row);
    for (std::string f; std::getline(in, f, ',');)
        out.push_back(f);
    return out;
}

} // namespace

TEST(StatedUncertainty, ReadsTheEnginesLineAndNothingElse) {
    struct Row {
        const char* name;
        std::string line;
        std::optional<double> dose, sagd;
    };
    const Row rows[] = {
        {"as the engine writes it", uncertaintyLine(0.0012, 0.0007), 0.0012, 0.0007},
        {"no such line", " Random seed: 12", std::nullopt, std::nullopt},
        {"only the dose", " Relative uncertainty (1 sigma): 100 % dose 0.50 %", 0.005, std::nullopt},
        {"not a number", " Relative uncertainty (1 sigma): 100 % dose n/a %, sAGD 0.10 %", std::nullopt,
         0.001},
        {"negative", " Relative uncertainty (1 sigma): 100 % dose -0.5 %, sAGD 0.10 %", std::nullopt, 0.001},
        {"no percent sign", " Relative uncertainty (1 sigma): 100 % dose 0.5, sAGD 0.10", std::nullopt,
         std::nullopt},
        {"infinite", " Relative uncertainty (1 sigma): 100 % dose 1e999 %, sAGD 0.10 %", std::nullopt, 0.001},
    };
    for (const Row& r : rows) {
        const StatedUncertainty u = statedUncertainty(header(r.line));
        EXPECT_EQ(u.referenceDose.has_value(), r.dose.has_value()) << r.name;
        EXPECT_EQ(u.sagd.has_value(), r.sagd.has_value()) << r.name;
        if (u.referenceDose && r.dose) {
            EXPECT_DOUBLE_EQ(*u.referenceDose, *r.dose) << r.name;
        }
        if (u.sagd && r.sagd) {
            EXPECT_DOUBLE_EQ(*u.sagd, *r.sagd) << r.name;
        }
    }
    // The kind line is no description line.
    EXPECT_FALSE(statedUncertainty({uncertaintyLine(0.01, 0.01)}).sagd);
    EXPECT_EQ(plusMinusPercent(0.0012), "\u00b1 0.12 %");
    EXPECT_EQ(plusMinusPercent(std::nullopt), "");
}

TEST(StatedUncertainty, ReadsTheHeaderOfAFile) {
    TempDir dir;
    auto r = testfiles::uniformResult(75, 150, 10, 1.0);
    r.description[13] = uncertaintyLine(0.002, 0.001);
    testfiles::writeResult(dir.path(), "u.vesk", r);
    const auto lines = readRunHeader(dir.path(), "u.vesk");
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_DOUBLE_EQ(*statedUncertainty(lines).sagd, 0.001);
    // Missing and cut files state nothing and do not throw.
    EXPECT_TRUE(readRunHeader(dir.path(), "none.vesk").empty());
    dir.write("cut.vesk", " * Mammography\r\n line\r\n");
    EXPECT_EQ(readRunHeader(dir.path(), "cut.vesk").size(), 2u);
    std::filesystem::create_directory(dir.path() / "d.vesk");
    EXPECT_TRUE(readRunHeader(dir.path(), "d.vesk").empty());
}

TEST(Agd, IsKaTimesSagdWithTheSagdsUncertainty) {
    const AgdEstimate e = estimateAgd(5.2, 0.32, StatedUncertainty{0.001, 0.0007});
    EXPECT_DOUBLE_EQ(e.agd, 5.2 * 0.32);
    EXPECT_DOUBLE_EQ(*e.relativeSigma, 0.0007);
    EXPECT_FALSE(estimateAgd(5.2, 0.32, {}).relativeSigma);
}

// A Ka measured behind the paddle is smaller than the sAGD's own for the same
// exposure: the AGD divides by the ratio the file gives for that point.
TEST(Agd, AKaMeasuredElsewhereIsTurnedBackIntoTheSagdsOwn) {
    ResultTrailer t;
    t.state = ResultTrailer::State::Complete;
    t.entries = {{"k_fcd_paddle_per_k_fcd", "0.8"}, {"k_surface_per_k_fcd", "0.86"}};
    const KaRatios r = kaRatiosOf(t);
    EXPECT_EQ(kaRatio(r, KaPoint::FcdFree), 1.0);
    EXPECT_EQ(kaRatio(r, KaPoint::FcdPaddle), 0.8);
    EXPECT_EQ(kaRatio(r, KaPoint::BreastSurface), 0.86);
    // 4 mGy behind the paddle is 5 mGy of the sAGD's own Ka.
    EXPECT_DOUBLE_EQ(estimateAgd(4.0, 0.2, {}, *kaRatio(r, KaPoint::FcdPaddle)).agd, 1.0);

    struct Row {
        const char* name;
        std::vector<TrailerEntry> entries;
    };
    for (const Row& row : {Row{"no trailer", {}}, Row{"zero", {{"k_surface_per_k_fcd", "0"}}},
                           Row{"negative", {{"k_surface_per_k_fcd", "-0.9"}}},
                           Row{"not a number", {{"k_surface_per_k_fcd", "0.9x"}}}}) {
        ResultTrailer bad;
        bad.entries = row.entries;
        const KaRatios none = kaRatiosOf(bad);
        EXPECT_FALSE(kaRatio(none, KaPoint::BreastSurface)) << row.name;
        EXPECT_FALSE(kaRatio(none, KaPoint::FcdPaddle)) << row.name;
        EXPECT_EQ(kaRatio(none, KaPoint::FcdFree), 1.0) << row.name;
    }
}

// The surface point is chosen by its distance from the chest wall; each
// distance has its own ratio, and a file that lacks one does not offer it.
TEST(Agd, EachSurfaceDistanceTakesItsOwnRatio) {
    ResultTrailer t;
    t.state = ResultTrailer::State::Complete;
    t.entries = {{"k_surface_per_k_fcd", "0.86"},
                 {"k_surface_40mm_per_k_fcd", "0.84"},
                 {"k_surface_60mm_per_k_fcd", "0.83"}};
    const KaRatios r = kaRatiosOf(t);
    const struct {
        int mm;
        std::optional<double> ratio;
    } rows[] = {{0, 0.86}, {40, 0.84}, {60, 0.83}, {kProtocolSurfaceMm, 0.83}, {50, std::nullopt}};
    for (const auto& row : rows)
        EXPECT_EQ(kaRatio(r, KaPoint::BreastSurface, row.mm), row.ratio) << row.mm << " mm";
    // The distance says nothing about the FCD points.
    EXPECT_EQ(kaRatio(r, KaPoint::FcdFree, 60), 1.0);
    EXPECT_FALSE(kaRatio(r, KaPoint::FcdPaddle, 60));

    ResultTrailer older; // written before the midline points: only the chest-wall edge
    older.entries = {{"k_surface_per_k_fcd", "0.86"}};
    const KaRatios o = kaRatiosOf(older);
    EXPECT_EQ(kaRatio(o, KaPoint::BreastSurface, 0), 0.86);
    EXPECT_FALSE(kaRatio(o, KaPoint::BreastSurface, kProtocolSurfaceMm));
}

// The AGD panel takes its ratio from the trailer only while the file is as the
// engine wrote it: an edited ratio gives none, and the note says why.
TEST(Agd, AnEditedRatioIsNeverUsedAndTheNoteSaysWhy) {
    TempDir dir;
    ResultFileContent c = testfiles::uniformResult(75, 30, 2, 1.0);
    c.histories = 600000;
    c.trailer = {{"histories", "600000"}, {"k_fcd_paddle_per_k_fcd", "0.8"}, {"k_surface_per_k_fcd", "0.86"}};
    const std::string good = testfiles::resultText(c);
    const kv::texts::ResultsExtrasTexts& x = kv::texts::resultsExtrasTexts();
    auto edited = [&](const std::string& from, const std::string& to) {
        std::string s = good;
        return s.replace(s.find(from), from.size(), to);
    };
    const struct {
        const char* name;
        std::string text;
        bool ratios;
        std::string note;
    } rows[] = {
        {"as written", good, true, ""},
        {"k_surface_per_k_fcd set to 0.5", edited("k_surface_per_k_fcd = 0.86", "k_surface_per_k_fcd = 0.5"),
         false, "the content hash does not match"},
        {"histories against the header", edited("\r\n600000\r\n", "\r\n5\r\n"), false,
         "their histories is not what the header states"},
        {"a junk line before the trailer", edited("## kv trailer", "junk\r\n## kv trailer"), false,
         "text between the dose values and the additions, line"},
    };
    for (const auto& r : rows) {
        dir.write("t.vesk", r.text);
        ResultTrailer t;
        ASSERT_EQ(readResultTrailer(dir.path(), "t.vesk", t), LoadFailure::None) << r.name;
        const KaRatios k = kaRatiosOf(t);
        EXPECT_EQ(kaRatio(k, KaPoint::BreastSurface).has_value(), r.ratios) << r.name;
        EXPECT_EQ(kaRatio(k, KaPoint::FcdPaddle).has_value(), r.ratios) << r.name;
        const std::string note = trailerNote(t, x);
        EXPECT_EQ(note.empty(), r.note.empty()) << r.name << ": " << note;
        EXPECT_NE(note.find(r.note), std::string::npos) << r.name << ": " << note;
    }
}

class Tables : public ::testing::Test {
  protected:
    void SetUp() override {
        // Every voxel distinct, with values that need all their digits.
        auto r = testfiles::makeResult(
            40, 130, 12,
            [](int c, int ix, int iy, int iz) {
                return (c == Primary ? 1.0 : 0.37) * (1.0 + ix / 7.0 + iy / 13.0 + iz / 3.0);
            },
            3.0);
        testfiles::writeResult(dir.path(), "t.vesk", r);
        LoadResult l = LoadResultFile(dir.path(), "t.vesk");
        ASSERT_TRUE(l);
        m = std::move(*l.model);
    }
    TempDir dir;
    DoseModel m;
};

TEST_F(Tables, VoxelRowsHoldTheModelCellForCell) {
    struct Row {
        const char* name;
        VoxelSet set;
        size_t count;
    };
    const Row rows[] = {
        {"all", VoxelSet::all(), 40u * 130 * 12},        {"Y-Z plane", VoxelSet::yzPlane(), 130u * 12},
        {"X-Y plane", VoxelSet::xyPlane(5), 40u * 130},  {"X-Z plane", VoxelSet::xzPlane(80), 40u * 12},
        {"X-Z plane at row 0", VoxelSet::xzPlane(0), 0}, {"layer past the count", VoxelSet::xyPlane(13), 0},
    };
    for (const Row& r : rows) {
        const auto out = voxelRows(m, r.set);
        ASSERT_EQ(out.size(), r.count + 1) << r.name;
        EXPECT_EQ(out[0], kVoxelHeader);
        for (size_t i = 1; i < out.size(); ++i) {
            const auto f = split(out[i]);
            ASSERT_EQ(f.size(), 9u) << out[i];
            const int ix = std::stoi(f[0]), iy = std::stoi(f[1]), iz = std::stoi(f[2]);
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(number(f[3 + static_cast<size_t>(c)]), m.DoseGrid(c, ix, iy, iz))
                    << r.name << " " << out[i];
            EXPECT_DOUBLE_EQ(number(f[6]), (ix - 0.5) / 10);
            EXPECT_DOUBLE_EQ(number(f[8]), (iz - 0.5) / 10);
            if (r.set.iz > 0) {
                EXPECT_EQ(iz, r.set.iz);
            }
        }
    }
}

// With a side file, each row ends in the voxel's uncertainty; a side file
// of fewer layers than the model leaves the rows past it empty there.
TEST_F(Tables, VoxelRowsCarryTheSideFilesUncertainty) {
    kv::formats::VoxelSigma sigma;
    sigma.rows = 150;
    sigma.layers = 11;
    for (int iz = 1; iz <= sigma.layers; ++iz)
        for (int iy = 1; iy <= sigma.rows; ++iy)
            for (int ix = 1; ix <= 75; ++ix)
                sigma.percent.push_back(ix + 0.25 * iz);
    const auto out = voxelRows(m, VoxelSet::xzPlane(80), sigma);
    ASSERT_EQ(out.size(), 40u * 12 + 1);
    EXPECT_EQ(out[0], std::string(kVoxelHeader) + ",total_sigma_percent");
    for (size_t i = 1; i < out.size(); ++i) {
        const auto f = split(out[i]);
        const int ix = std::stoi(f[0]), iz = std::stoi(f[2]);
        if (iz <= 11) {
            ASSERT_EQ(f.size(), 10u) << out[i];
            EXPECT_DOUBLE_EQ(number(f[9]), ix + 0.25 * iz) << out[i];
        } else {
            EXPECT_EQ(out[i].back(), ',') << out[i];
        }
    }
    EXPECT_EQ(voxelRows(m, VoxelSet::xzPlane(80))[0], kVoxelHeader); // without: as before
}

TEST_F(Tables, DepthDoseRowsFollowTheLayers) {
    const auto out = depthDoseRows(m);
    ASSERT_EQ(out.size(), 13u);
    EXPECT_EQ(out[0], "layer,total,primary,scatter,depth_cm");
    for (int iz = 1; iz <= 12; ++iz) {
        const auto f = split(out[static_cast<size_t>(iz)]);
        EXPECT_EQ(std::stoi(f[0]), iz);
        EXPECT_EQ(number(f[4]), (iz - 0.5) / 10) << iz; // the layer's centre
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(number(f[1 + static_cast<size_t>(c)]), m.DepthDose[c][iz]);
    }
}

TEST_F(Tables, AFileIsReplacedWholeOrNotAtAll) {
    writeCsvFile(dir.path(), "pdd.csv", depthDoseRows(m));
    EXPECT_EQ(dir.read("pdd.csv").substr(0, 38), "layer,total,primary,scatter,depth_cm\r\n");
    // A folder where the file should go: an error, and the folder stays.
    std::filesystem::create_directory(dir.path() / "busy.csv");
    EXPECT_THROW(writeCsvFile(dir.path(), "busy.csv", depthDoseRows(m)), kv::WriteFailed);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "busy.csv"));
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << "a temporary file left";
}

TEST(ExactNumber, ReadsBackToTheSameDouble) {
    for (double v : {0.1, 1.0 / 3.0, 100.0, 2.5e-7, 123456.789012345678, -0.0})
        EXPECT_EQ(number(exactNumber(v)), v);
    EXPECT_EQ(exactNumber(std::nan("")), "");
}
