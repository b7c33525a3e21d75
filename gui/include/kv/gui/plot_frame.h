#pragma once
// One frame for every plot the programs draw (kv-sweep's curves, kv-audit's
// plots and report, the workbench's saved pictures): round ticks, the frame
// with its grid, numbers and names of the axes and a title, and the picture
// or PDF written whole (beside the target, renamed over it when complete).
//
//   kv::gui::OffscreenPainting painting("kv-sweep");     // in a program without windows
//   QImage img = kv::gui::whitePicture(900, 600);  QPainter g(&img);
//   const kv::gui::PlotFrame f{QRectF(100, 50, 760, 460), 20, 110, 0, 1.2};
//   kv::gui::drawPlotFrame(g, f, {"AGD against thickness", "mm", "mGy"});
//   g.drawEllipse(QPointF(f.px(45), f.py(0.9)), 3.5, 3.5);  g.end();
//   if (auto why = kv::gui::savePng(img, "agd.png")) ...
#include <QImage>
#include <QRectF>
#include <QString>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QPainter;
class QPagedPaintDevice;

namespace kv::gui {

// About `count` ticks over lo..hi at a round step (1, 2 or 5 times a power of
// ten), each a whole multiple of it; none for an empty or endless span.
std::vector<double> roundTicks(double lo, double hi, int count);
// A tick's number as the axes show it: "2", "0.5", never "-0".
QString tickLabel(double v);

// Where the data go: `area` in pixels spans x0..x1 and y0..y1 (y up).
struct PlotFrame {
    QRectF area;
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    double px(double x) const { return area.left() + (x - x0) / (x1 - x0) * area.width(); }
    double py(double y) const { return area.bottom() - (y - y0) / (y1 - y0) * area.height(); }
};

struct PlotTexts {
    std::string title, xAxis, yAxis;
};

// Light grid lines and ticks at round steps, the frame, the numbers and names
// of both axes and the title above; leaves the painter with the plot's body
// font (13 px) and a black pen.
void drawPlotFrame(QPainter& g, const PlotFrame& f, const PlotTexts& t, int xTicks = 8, int yTicks = 6);

// A white picture of that size for a plot.
QImage whitePicture(int width, int height);

// The picture written as PNG; the system's reason when it could not be.
std::optional<std::string> savePng(const QImage& picture, const std::filesystem::path& file);

// An A4 PDF (150 dpi, 15 mm margins) drawn by `draw`, which returns why it
// failed, if it did; nothing stands at `file` unless the whole PDF does.
struct PdfDocument {
    QString title, creator;
};
std::optional<std::string>
writePdf(const std::filesystem::path& file, const PdfDocument& doc,
         const std::function<std::optional<std::string>(QPainter&, QPagedPaintDevice&)>& draw);

} // namespace kv::gui
