#include "kv/sweep/plot.h"

#if KV_SWEEP_PLOT
#include "kv/gui/offscreen.h"
#include "kv/gui/qtext.h"

#include <QImage>
#include <QPainter>
#include <QSaveFile>
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
    if (t.xFromZero || !(xMin >= 0)) xMin = 0;
    if (!(xMax > xMin)) xMax = xMin + 1;
    if (!(yMax > 0)) yMax = 1;
    const double xStep = gui::roundTickStep(xMax - xMin, 6), yStep = gui::roundTickStep(yMax, 6);
    xMin = std::floor(xMin / xStep) * xStep;
    xMax = std::ceil(xMax / xStep) * xStep;
    yMax = std::ceil(yMax * 1.05 / yStep) * yStep;

    const int width = 1100, height = 700, left = 90, top = 50, right = 330, bottom = 70;
    const QRectF area(left, top, width - left - right, height - top - bottom);
    auto px = [&](double x) { return area.left() + (x - xMin) / (xMax - xMin) * area.width(); };
    auto py = [&](double y) { return area.bottom() - y / yMax * area.height(); };

    QImage img(width, height, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing);
    QFont font = g.font();
    font.setPixelSize(14);
    g.setFont(font);
    g.setPen(QPen(QColor(210, 210, 210), 1));
    for (double x = xMin; x <= xMax + 1e-9; x += xStep)
        g.drawLine(QPointF(px(x), area.top()), QPointF(px(x), area.bottom()));
    for (double y = 0; y <= yMax + 1e-9; y += yStep)
        g.drawLine(QPointF(area.left(), py(y)), QPointF(area.right(), py(y)));
    g.setPen(QPen(Qt::black, 1.5));
    g.drawRect(area);
    for (double x = xMin; x <= xMax + 1e-9; x += xStep)
        g.drawText(QRectF(px(x) - 40, area.bottom() + 4, 80, 20), Qt::AlignCenter,
                   QString::number(x, 'g', 4));
    for (double y = 0; y <= yMax + 1e-9; y += yStep)
        g.drawText(QRectF(area.left() - 80, py(y) - 10, 74, 20), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(y, 'g', 4));
    g.drawText(QRectF(area.left(), area.bottom() + 30, area.width(), 24), Qt::AlignCenter, qs(t.xAxis));
    g.save();
    g.translate(22, area.center().y());
    g.rotate(-90);
    g.drawText(QRectF(-area.height() / 2, -12, area.height(), 24), Qt::AlignCenter, qs(t.yAxis));
    g.restore();
    font.setPixelSize(18);
    font.setBold(true);
    g.setFont(font);
    g.drawText(QRectF(area.left(), 10, area.width(), 30), Qt::AlignCenter, qs(t.title));
    font.setPixelSize(13);
    font.setBold(false);
    g.setFont(font);

    static const QColor palette[] = {{31, 119, 180}, {214, 39, 40}, {44, 160, 44},   {148, 103, 189},
                                     {255, 127, 14}, {140, 86, 75}, {227, 119, 194}, {127, 127, 127},
                                     {188, 189, 34}, {23, 190, 207}};
    int n = 0;
    for (auto& [label, pts] : curves) {
        const QColor c = palette[n % std::size(palette)];
        std::sort(pts.begin(), pts.end(), [](const PlotPoint& a, const PlotPoint& b) { return a.x < b.x; });
        g.setPen(QPen(c, 2));
        for (size_t i = 1; i < pts.size(); ++i)
            g.drawLine(QPointF(px(pts[i - 1].x), py(pts[i - 1].y)), QPointF(px(pts[i].x), py(pts[i].y)));
        g.setPen(QPen(c, 1.5));
        for (const PlotPoint& p : pts) {
            double e = p.y * p.sigmaPercent / 100;
            QPointF lo(px(p.x), py(p.y - e)), hi(px(p.x), py(p.y + e));
            g.drawLine(lo, hi);
            g.drawLine(lo + QPointF(-4, 0), lo + QPointF(4, 0));
            g.drawLine(hi + QPointF(-4, 0), hi + QPointF(4, 0));
            g.setBrush(c);
            g.drawEllipse(QPointF(px(p.x), py(p.y)), 3.5, 3.5);
        }
        const double ly = area.top() + 10 + 22 * n;
        if (ly < area.bottom()) {
            g.drawLine(QPointF(area.right() + 16, ly), QPointF(area.right() + 44, ly));
            g.setPen(Qt::black);
            g.drawText(QRectF(area.right() + 50, ly - 10, right - 56, 20), Qt::AlignLeft | Qt::AlignVCenter,
                       qs(label));
        }
        ++n;
    }
    g.end();
    QSaveFile out(QString::fromStdString(file.string()));
    if (!out.open(QIODevice::WriteOnly) || !img.save(&out, "PNG") || !out.commit())
        return file.string() + ": " + out.errorString().toStdString();
    return std::nullopt;
}

#endif

} // namespace kv::sweep
