// The Japanese edition's labels and messages, against the same files.
#include "kv/results/load_steps.h"
#include "kv/results/result_file.h"
#include "kv/results/testfiles/testfiles.h"

#include <gtest/gtest.h>

namespace {

using namespace kv::results;
using namespace kv::results::testfiles;
using kv::test_support::TempDir;

TEST(HeaderPreviewJa, JapaneseLabelsAndUnits) {
    ASSERT_EQ(kv::texts::edition(), kv::texts::Edition::Japanese);
    ResultFileContent r = uniformResult(75, 150, 2, 1.0);
    r.histories = 100000000;
    r.phantom = {15, 15, 4.5, 50};
    r.description[0] = "   スペクトル: Mo/Mo 28 kV"; // Japanese in the header round-trips through CP932
    TempDir dir;
    writeResult(dir.path(), "ja.vesk", r);
    HeaderPreview p = previewResultHeader(dir.path(), "ja.vesk", kv::texts::resultsModelTexts());
    ASSERT_TRUE(p.complete);
    ASSERT_EQ(p.lines.size(), 20u);
    EXPECT_EQ(p.lines[1], "   スペクトル: Mo/Mo 28 kV   ");
    EXPECT_EQ(p.lines[15], "   ヒストリー数 = 1.00E+08 個");
    EXPECT_EQ(p.lines[16], "");
    EXPECT_EQ(p.lines[17], "   ファントムサイズ");
    EXPECT_EQ(p.lines[18], "     15 x 15 x 4.5 cm");
    EXPECT_EQ(p.lines[19], "   乳腺割合 = 50 ％");
    EXPECT_TRUE(LoadResultFile(dir.path(), "ja.vesk"));
}

struct MessageOnly : LoadView {
    std::vector<std::string> messages;
    std::vector<std::string> details;
    void showWarning(std::string_view m, std::string_view detail) override {
        messages.emplace_back(m);
        details.emplace_back(detail);
    }
    void showNumberFields(const DoseFields&) override {}
    void enableResultControls() override {}
    void DrawYZPlane() override {}
    void DrawDepthDoseGraph() override {}
};

TEST(HeaderPreviewJa, JapaneseMessages) {
    TempDir dir;
    DoseModel shown;
    MessageOnly view;
    runLoadResultFile(shown, dir.path(), "", view, kv::texts::resultsModelTexts());
    runLoadResultFile(shown, dir.path(), "missing.vesk", view, kv::texts::resultsModelTexts());
    EXPECT_EQ(view.messages,
              (std::vector<std::string>{"  * ファイルを選択して下さい！", " このファイルは読めません ! "}));
    EXPECT_EQ(view.details.back(), "missing.vesk：ファイルを開けません。");
}

} // namespace
