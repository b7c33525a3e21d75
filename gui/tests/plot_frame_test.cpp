// The plot frame of the programs' pictures: where its ticks fall, what it
// paints where, and that a picture or PDF is written whole or not at all.
#include "kv/gui/offscreen.h"
#include "kv/gui/plot_frame.h"
#include "kv/test_support/work_dir.h"

#include <QPainter>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kv::gui;

namespace {

TEST(PlotFrame, TicksAreWholeMultiplesOfARoundStep) {
    struct Row {
        const char* name;
        double lo, hi;
        int count;
        std::vector<double> ticks;
    };
    const Row rows[] = {
        {"thickness in mm", 20, 110, 8, {20, 40, 60, 80, 100}},
        {"more ticks asked", 20, 110, 9, {20, 30, 40, 50, 60, 70, 80, 90, 100, 110}},
        {"from zero", 0, 1.2, 6, {0, 0.2, 0.4, 0.6000000000000001, 0.8, 1, 1.2000000000000002}},
        {"across zero, no minus zero", -0.5, 0.5, 4, {-0.5, 0, 0.5}},
        {"reversed", 5, 0, 5, {0, 1, 2, 3, 4, 5}},
        {"empty span", 3, 3, 6, {}},
        {"endless span", 0, INFINITY, 6, {}},
    };
    for (const Row& r : rows) {
        const std::vector<double> got = roundTicks(r.lo, r.hi, r.count);
        ASSERT_EQ(got.size(), r.ticks.size()) << r.name;
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], r.ticks[i], 1e-12) << r.name << " tick " << i;
        for (double t : got)
            EXPECT_FALSE(std::signbit(t) && t == 0) << r.name;
    }
    EXPECT_EQ(tickLabel(-1e-17), "0");
    EXPECT_EQ(tickLabel(0.6000000000000001), "0.6");
    EXPECT_EQ(tickLabel(110), "110");
}

TEST(PlotFrame, PaintsTheFrameAndGridAndLeavesTheAreaWhite) {
    OffscreenPainting painting("plot_frame_test");
    QImage img = whitePicture(400, 300);
    const PlotFrame f{QRectF(80, 40, 300, 200), 0, 10, 0, 5};
    {
        QPainter g(&img);
        drawPlotFrame(g, f, {"title", "x", "y"}, 5, 5);
    }
    struct Probe {
        const char* name;
        QPoint at;
        bool dark;
    };
    const Probe probes[] = {
        {"frame's left edge", QPoint(80, 140), true},
        {"frame's bottom edge", QPoint(230, 240), true},
        {"inside between grid lines", QPoint(static_cast<int>(f.px(3)), static_cast<int>(f.py(1.5))), false},
        {"far corner outside", QPoint(395, 295), false},
    };
    // An antialiased line of one pixel may fall half on each of two.
    auto darkest = [&](QPoint at) {
        int least = 255;
        for (int dx = -1; dx <= 0; ++dx)
            for (int dy = -1; dy <= 0; ++dy)
                least = std::min(least, img.pixelColor(at + QPoint(dx, dy)).lightness());
        return least;
    };
    for (const Probe& p : probes)
        EXPECT_EQ(darkest(p.at) < 160, p.dark) << p.name << " " << darkest(p.at);
    // A grid line at x = 4, light grey, not black.
    const QColor grid = img.pixelColor(static_cast<int>(f.px(4)), static_cast<int>(f.py(2.5)));
    EXPECT_LT(grid.lightness(), 250);
    EXPECT_GT(grid.lightness(), 150);
    EXPECT_EQ(f.px(10), 380);
    EXPECT_EQ(f.py(0), 240);
}

TEST(PlotFrame, APictureIsWrittenWholeOrNotAtAll) {
    OffscreenPainting painting("plot_frame_test");
    kv::test_support::TempDir dir;
    const QImage img = whitePicture(20, 10);
    ASSERT_EQ(savePng(img, dir.path() / "a.png"), std::nullopt);
    EXPECT_EQ(QImage(QString::fromStdString((dir.path() / "a.png").string())).size(), img.size());

    fs::create_directory(dir.path() / "folder.png");
    EXPECT_TRUE(savePng(img, dir.path() / "folder.png").has_value()) << "a folder in the file's place";
    EXPECT_TRUE(fs::is_directory(dir.path() / "folder.png"));
    EXPECT_TRUE(savePng(img, dir.path() / "missing" / "b.png").has_value()) << "no such folder";

    // A refused PDF leaves the file that stood there.
    dir.write("r.pdf", "the earlier report");
    const auto why = writePdf(dir.path() / "r.pdf", {"t", "c"},
                              [](QPainter&, QPagedPaintDevice&) { return std::optional<std::string>("no"); });
    EXPECT_EQ(why, "no");
    EXPECT_EQ(dir.read("r.pdf"), "the earlier report");
    ASSERT_EQ(writePdf(dir.path() / "r.pdf", {"t", "c"},
                       [](QPainter& g, QPagedPaintDevice&) {
                           g.drawText(QPointF(10, 10), "page");
                           return std::optional<std::string>();
                       }),
              std::nullopt);
    EXPECT_EQ(dir.read("r.pdf").substr(0, 5), "%PDF-");
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".r.pdf"), std::string::npos) << "a temporary was left";
}

} // namespace
