#include "kv/gui/plot_frame.h"

#include "kv/gui/offscreen.h"
#include "kv/gui/qtext.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <cmath>

namespace kv::gui {

std::vector<double> roundTicks(double lo, double hi, int count) {
    if (lo > hi) std::swap(lo, hi);
    std::vector<double> ticks;
    if (!(hi > lo) || !std::isfinite(hi - lo) || count < 1) return ticks;
    const double step = roundTickStep(hi - lo, count);
    for (double k = std::ceil(lo / step - 1e-9); k * step <= hi + 1e-9 * step; ++k)
        ticks.push_back(k * step + 0.0);
    return ticks;
}

QString tickLabel(double v) {
    return QString::number(std::abs(v) < 1e-12 ? 0.0 : v, 'g', 6);
}

void drawPlotFrame(QPainter& g, const PlotFrame& f, const PlotTexts& t, int xTicks, int yTicks) {
    const QRectF& a = f.area;
    g.setRenderHint(QPainter::Antialiasing);
    const std::vector<double> xs = roundTicks(f.x0, f.x1, xTicks), ys = roundTicks(f.y0, f.y1, yTicks);
    g.setPen(QPen(QColor(215, 215, 215), 1));
    for (double x : xs)
        g.drawLine(QPointF(f.px(x), a.top()), QPointF(f.px(x), a.bottom()));
    for (double y : ys)
        g.drawLine(QPointF(a.left(), f.py(y)), QPointF(a.right(), f.py(y)));
    g.setPen(QPen(Qt::black, 1));
    g.setBrush(Qt::NoBrush);
    g.drawRect(a);
    QFont font = g.font();
    font.setPixelSize(13);
    font.setBold(false);
    g.setFont(font);
    for (double x : xs) {
        g.drawLine(QPointF(f.px(x), a.bottom()), QPointF(f.px(x), a.bottom() + 5));
        g.drawText(QRectF(f.px(x) - 40, a.bottom() + 7, 80, 18), Qt::AlignCenter, tickLabel(x));
    }
    for (double y : ys) {
        g.drawLine(QPointF(a.left() - 5, f.py(y)), QPointF(a.left(), f.py(y)));
        g.drawText(QRectF(a.left() - 70, f.py(y) - 9, 62, 18), Qt::AlignRight | Qt::AlignVCenter,
                   tickLabel(y));
    }
    g.drawText(QRectF(a.left(), a.bottom() + 28, a.width(), 20), Qt::AlignCenter, qs(t.xAxis));
    g.save();
    g.translate(a.left() - 78, a.center().y());
    g.rotate(-90);
    g.drawText(QRectF(-a.height() / 2, -12, a.height(), 20), Qt::AlignCenter, qs(t.yAxis));
    g.restore();
    QFont title = font;
    title.setPixelSize(16);
    title.setBold(true);
    g.setFont(title);
    g.drawText(QRectF(a.left(), std::max(0.0, a.top() - 42), a.width(), 24), Qt::AlignCenter, qs(t.title));
    g.setFont(font);
}

QImage whitePicture(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

std::optional<std::string> savePng(const QImage& picture, const std::filesystem::path& file) {
    QSaveFile out(QString::fromStdString(file.string()));
    if (!out.open(QIODevice::WriteOnly) || !picture.save(&out, "PNG") || !out.commit())
        return out.errorString().toStdString();
    return std::nullopt;
}

std::optional<std::string>
writePdf(const std::filesystem::path& file, const PdfDocument& doc,
         const std::function<std::optional<std::string>(QPainter&, QPagedPaintDevice&)>& draw) {
    QSaveFile out(QString::fromStdString(file.string()));
    if (!out.open(QIODevice::WriteOnly)) return out.errorString().toStdString();
    {
        QPdfWriter pdf(&out);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setResolution(150);
        pdf.setTitle(doc.title);
        pdf.setCreator(doc.creator);
        pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        QPainter g(&pdf);
        if (std::optional<std::string> why = draw(g, pdf)) {
            g.end();
            out.cancelWriting();
            return why;
        }
        if (!g.end()) return std::string("the PDF could not be drawn");
    }
    if (!out.commit()) return out.errorString().toStdString();
    return std::nullopt;
}

} // namespace kv::gui
