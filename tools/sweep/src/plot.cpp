#include "kv/sweep/plot.h"

#if KV_SWEEP_PLOT
#include "kv/gui/offscreen.h"
#include "kv/gui/plot_frame.h"
#include "kv/gui/qtext.h"

#include <QPainter>
#endif

#include <algorithm>
#include <cmath>
#include <map>

namespace kv::sweep {

#if !KV_SWEEP_PLOT

bool plotsBuiltIn() {
    return false;
}

std::optional<std::string> writePlot(const std::filesystem::path&, const std::vector<PlotPoint>&,
                                     const PlotLabels&) {
    return std::string("this kv-sweep was built without Qt");
}

#else

bool plotsBuiltIn() {
    return true;
}

using gui::qs;

std::optional<std::string> writePlot(const std::filesystem::path& file, const std::vector<PlotPoint>& points,
                                     const PlotLabels& t) {
    const gui::OffscreenPainting painting("kv-sweep");
    std::map<std::string, std::vector<PlotPoint>> curves;
    double xMin = points.empty() ? 0 : points.front().x, xMax = 0, yMax = 0;
    for (const PlotPoint& p : points) {
        curves[p.curve].push_back(p);
        xMin = std::min(xMin, p.x);
        xMax = std::max(xMax, p.x);
        yMax = std::max(yMax, p.y * (1 + p.sigmaPercent / 100));
    }
    if (t.xFromZero && xMin >= 0) xMin = 0; // negative x (projection angles) keep their side
    if (!(xMax > xMin)) xMax = xMin + 1;
    if (!(yMax > 0)) yMax = 1;
    // Round ends, a little room above the highest error bar.
    const double xStep = gui::roundTickStep(xMax - xMin, 6), yStep = gui::roundTickStep(yMax, 6);
    const int width = 1100, height = 700, left = 90, top = 50, right = 330, bottom = 70;
    const gui::PlotFrame f{QRectF(left, top, width - left - right, height - top - bottom),
                           std::floor(xMin / xStep) * xStep, std::ceil(xMax / xStep) * xStep, 0,
                           std::ceil(yMax * 1.05 / yStep) * yStep};

    QImage img = gui::whitePicture(width, height);
    QPainter g(&img);
    gui::drawPlotFrame(g, f, {t.title, t.xAxis, t.yAxis}, 6, 6);
    static const QColor palette[] = {{31, 119, 180}, {214, 39, 40}, {44, 160, 44},   {148, 103, 189},
                                     {255, 127, 14}, {140, 86, 75}, {227, 119, 194}, {127, 127, 127},
                                     {188, 189, 34}, {23, 190, 207}};
    int n = 0;
    for (auto& [label, pts] : curves) {
        const QColor c = palette[n % std::size(palette)];
        std::sort(pts.begin(), pts.end(), [](const PlotPoint& a, const PlotPoint& b) { return a.x < b.x; });
        g.setPen(QPen(c, 2));
        for (size_t i = 1; i < pts.size(); ++i)
            g.drawLine(QPointF(f.px(pts[i - 1].x), f.py(pts[i - 1].y)),
                       QPointF(f.px(pts[i].x), f.py(pts[i].y)));
        g.setPen(QPen(c, 1.5));
        for (const PlotPoint& p : pts) {
            double e = p.y * p.sigmaPercent / 100;
            QPointF lo(f.px(p.x), f.py(p.y - e)), hi(f.px(p.x), f.py(p.y + e));
            g.drawLine(lo, hi);
            g.drawLine(lo + QPointF(-4, 0), lo + QPointF(4, 0));
            g.drawLine(hi + QPointF(-4, 0), hi + QPointF(4, 0));
            g.setBrush(c);
            g.drawEllipse(QPointF(f.px(p.x), f.py(p.y)), 3.5, 3.5);
        }
        // The legend, right of the frame: one line a curve while there is room.
        const double ly = f.area.top() + 10 + 22 * n;
        if (ly < f.area.bottom()) {
            g.drawLine(QPointF(f.area.right() + 16, ly), QPointF(f.area.right() + 44, ly));
            g.setPen(Qt::black);
            g.drawText(QRectF(f.area.right() + 50, ly - 10, right - 56, 20), Qt::AlignLeft | Qt::AlignVCenter,
                       qs(label));
        }
        ++n;
    }
    g.end();
    if (std::optional<std::string> why = gui::savePng(img, file)) return file.string() + ": " + *why;
    return std::nullopt;
}

#endif

} // namespace kv::sweep
