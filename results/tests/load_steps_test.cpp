#include "kv/results/load_steps.h"
#include "kv/results/testfiles/testfiles.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using namespace kv::results;
using namespace kv::results::testfiles;
using kv::test_support::TempDir;

// Records what the screens are asked to do, and what the model held when asked.
struct RecordingView : LoadView {
    explicit RecordingView(const DoseModel& m) : model(m) {}
    const DoseModel& model;
    std::vector<std::string> steps;
    DoseFields fields;
    std::vector<std::string> details;
    void showWarning(std::string_view m, std::string_view detail) override {
        steps.push_back("message:" + std::string(m));
        details.emplace_back(detail);
    }
    void processPendingEvents() override { steps.push_back("events"); }
    void showNumberFields(const DoseFields& f) override {
        fields = f;
        steps.push_back("fields");
    }
    void enableResultControls() override { steps.push_back("enable"); }
    void DrawYZPlane() override { steps.push_back("yz:" + std::to_string(model.GridCountZ)); }
    void DrawDepthDoseGraph() override {
        steps.push_back("pdd:" + std::to_string(static_cast<int>(model.DepthDose[Total][1] + 0.5)));
    }
};

const kv::texts::ResultsModelTexts& en() {
    return kv::texts::resultsModelTexts();
}

TEST(runLoadResultFile, StepsInTheScreensOrder) {
    TempDir dir;
    writeResult(dir.path(), "a.vesk", uniformResult(75, 150, 6, 0.5, 2.0));
    DoseModel shown;
    RecordingView view(shown);
    EXPECT_EQ(runLoadResultFile(shown, dir.path(), "a.vesk", view, en()), LoadFailure::None);
    EXPECT_EQ(view.steps, (std::vector<std::string>{"events", "events", "events", "fields", "enable", "yz:6",
                                                    "pdd:100"}));
    EXPECT_EQ(view.fields.referenceDose, " 0.500");
    EXPECT_EQ(view.fields.sagd, "0.500");
    EXPECT_EQ(shown.SelectedYIndex, 80);
}

// A fingerprint of everything a screen can read from the model.
std::vector<double> fingerprint(const DoseModel& m) {
    std::vector<double> f{static_cast<double>(m.GridCountX),
                          static_cast<double>(m.GridCountY),
                          static_cast<double>(m.GridCountZ),
                          m.AirKerma,
                          m.FcdValue,
                          m.ReferenceDose,
                          m.MeanGlandDose,
                          m.SagdValue,
                          static_cast<double>(m.SelectedYIndex),
                          static_cast<double>(m.SelectedZIndex)};
    for (int c = 0; c < kComponents; ++c) {
        double sum = 0;
        for (int iz = 0; iz < kExtentZ; ++iz)
            for (int iy = 0; iy < kExtentY; ++iy)
                for (int ix = 0; ix < kExtentX; ++ix)
                    sum += m.DoseGrid(c, ix, iy, iz) * (1 + ix + 3 * iy + 7 * iz);
        f.push_back(sum);
        f.insert(f.end(), m.DepthDose[c].begin(), m.DepthDose[c].end());
        f.insert(f.end(), m.LayerDoseSum[c].begin(), m.LayerDoseSum[c].end());
    }
    return f;
}

TEST(runLoadResultFile, AFailedLoadLeavesTheShownModelAndScreensAlone) {
    TempDir dir;
    writeResult(
        dir.path(), "good.vesk",
        makeResult(
            60, 140, 5, [](int c, int ix, int iy, int iz) { return c * 0.1 + 1.0 / (ix + iy + iz); }, 4.0));
    const std::string good = resultText(uniformResult(75, 150, 5, 1.0));
    dir.write("truncated.vesk", good.substr(0, good.size() * 7 / 8));
    dir.write("z61.vesk", resultText(uniformResult(75, 150, 61, 1.0)));
    dir.write("y20.vesk", resultText(uniformResult(75, 20, 4, 1.0)));
    dir.write("kerma0.vesk", resultText(uniformResult(75, 150, 4, 1.0, 0.0)));
    dir.write("word.vesk", good.substr(0, good.size() / 2) + "abc," + good.substr(good.size() / 2));
    // What a folder can hold in a result file's place: none of it may block, spin or end the program.
    std::filesystem::create_directory(dir.path() / "folder.vesk");
    ASSERT_EQ(::mkfifo((dir.path() / "pipe.vesk").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.path() / "zero.vesk");
    std::filesystem::create_symlink("/dev/urandom", dir.path() / "random.vesk");
    dir.write("huge.vesk", good);
    std::filesystem::resize_file(dir.path() / "huge.vesk", std::uintmax_t{16} << 30); // sparse

    DoseModel shown;
    {
        RecordingView first(shown);
        ASSERT_EQ(runLoadResultFile(shown, dir.path(), "good.vesk", first, en()), LoadFailure::None);
    }
    shown.SelectedYIndex = 33; // picked on the map since
    const std::vector<double> before = fingerprint(shown);
    // The screen's message stays; the file and the reason are its detail.
    const std::pair<const char*, const char*> cases[] = {
        {"truncated.vesk", "truncated.vesk: the file ends before all dose values are read."},
        {"z61.vesk", "z61.vesk: the breast is thicker than 6 cm"},
        {"y20.vesk", "y20.vesk: the reference region holds no dose"},
        {"kerma0.vesk", "kerma0.vesk: the air kerma is zero or negative."},
        {"word.vesk", "word.vesk: a value is not a number."},
        {"missing.vesk", "missing.vesk: the file cannot be opened."},
        {"folder.vesk", "folder.vesk: the name is not a regular file"},
        {"pipe.vesk", "pipe.vesk: the name is not a regular file"},
        {"zero.vesk", "zero.vesk: the name is not a regular file"},
        {"random.vesk", "random.vesk: the name is not a regular file"},
        {"huge.vesk", "huge.vesk: the file is larger than a result file can be."},
    };
    for (const auto& [name, detail] : cases) {
        SCOPED_TRACE(name);
        RecordingView view(shown);
        EXPECT_NE(runLoadResultFile(shown, dir.path(), name, view, en()), LoadFailure::None);
        // Pending events may have run; nothing else was touched.
        std::erase(view.steps, "events");
        EXPECT_EQ(view.steps, std::vector<std::string>{"message: This file cannot be read ! "});
        ASSERT_EQ(view.details.size(), 1u);
        EXPECT_EQ(view.details[0].rfind(detail, 0), 0u) << view.details[0];
        EXPECT_EQ(fingerprint(shown), before);
    }
    RecordingView none(shown);
    EXPECT_EQ(runLoadResultFile(shown, dir.path(), "", none, en()), LoadFailure::NoFileSelected);
    EXPECT_EQ(none.steps, std::vector<std::string>{"message:  * Select File  !   "});
    EXPECT_EQ(fingerprint(shown), before);
}

} // namespace
