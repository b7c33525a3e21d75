#include "report.h"

#include "kv/common/typed_number.h"
#include "kv/gui/offscreen.h"
#include "kv/gui/plot_frame.h"
#include "kv/gui/qtext.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <memory>

namespace kv::audit {
namespace {

const QColor kOurs(0, 90, 200), kUnit(230, 120, 0);

} // namespace

std::optional<std::string> writeAgdPlot(const std::filesystem::path& file,
                                        const std::vector<PlotPoint>& points, const texts::AuditTexts& t) {
    const gui::OffscreenPainting painting("kv-audit");
    QImage img = gui::whitePicture(900, 600);
    QPainter g(&img);
    double yMax = 0;
    for (const PlotPoint& p : points)
        yMax = std::max({yMax, p.agd, p.unitAgd.value_or(0)});
    const gui::PlotFrame a{QRectF(100, 50, 760, 460), 20, 110, 0, yMax > 0 ? yMax * 1.1 : 1};
    gui::drawPlotFrame(g, a, {t.plotAgdTitle.str(), t.plotThickness.str(), t.plotAgd.str()});
    g.setRenderHint(QPainter::Antialiasing);
    g.setClipRect(a.area);
    for (const PlotPoint& p : points) {
        if (p.unitAgd) {
            g.setPen(QPen(kUnit, 1.5));
            const QPointF c(a.px(p.thicknessMm), a.py(*p.unitAgd));
            g.drawLine(c + QPointF(-4, -4), c + QPointF(4, 4));
            g.drawLine(c + QPointF(-4, 4), c + QPointF(4, -4));
        }
        g.setPen(Qt::NoPen);
        g.setBrush(kOurs);
        g.drawEllipse(QPointF(a.px(p.thicknessMm), a.py(p.agd)), 3.5, 3.5);
    }
    g.setClipping(false);
    // Legend, top left inside the frame.
    g.setBrush(kOurs);
    g.drawEllipse(QPointF(a.area.left() + 20, a.area.top() + 20), 3.5, 3.5);
    g.setPen(QPen(kUnit, 1.5));
    const QPointF c(a.area.left() + 20, a.area.top() + 42);
    g.drawLine(c + QPointF(-4, -4), c + QPointF(4, 4));
    g.drawLine(c + QPointF(-4, 4), c + QPointF(4, -4));
    g.setPen(Qt::black);
    g.drawText(QRectF(a.area.left() + 32, a.area.top() + 10, 400, 20), Qt::AlignVCenter,
               gui::qs(t.plotOurs.view()));
    g.drawText(QRectF(a.area.left() + 32, a.area.top() + 32, 400, 20), Qt::AlignVCenter,
               gui::qs(t.plotUnit.view()));
    g.end();
    return gui::savePng(img, file);
}

std::optional<std::string> writeRatioHistogram(const std::filesystem::path& file,
                                               const std::vector<PlotPoint>& points,
                                               const texts::AuditTexts& t) {
    const gui::OffscreenPainting painting("kv-audit");
    std::vector<double> r;
    for (const PlotPoint& p : points)
        if (p.ratio) r.push_back(*p.ratio);
    // Bins of 0.02 over what the ratios span, at least 0.8 to 1.2, at most 0.2 to 3.
    double lo = 0.8, hi = 1.2;
    for (double v : r)
        lo = std::min(lo, v), hi = std::max(hi, v);
    const double bin = 0.02;
    lo = std::max(0.2, std::floor(lo / bin) * bin), hi = std::min(3.0, std::ceil(hi / bin) * bin);
    const int bins = std::max(1, static_cast<int>(std::lround((hi - lo) / bin)));
    std::vector<int> count(static_cast<size_t>(bins), 0);
    for (double v : r) {
        const int i = std::clamp(static_cast<int>(std::floor((v - lo) / bin)), 0, bins - 1);
        ++count[static_cast<size_t>(i)];
    }
    const int most = count.empty() ? 0 : *std::max_element(count.begin(), count.end());
    QImage img = gui::whitePicture(900, 600);
    QPainter g(&img);
    // Whole counts on the axis.
    const gui::PlotFrame a{QRectF(100, 50, 760, 460), lo, hi, 0, std::max(5.0, most * 1.1)};
    gui::drawPlotFrame(g, a, {t.plotRatioTitle.str(), t.plotRatio.str(), t.plotCount.str()});
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(Qt::white, 1));
    g.setBrush(kOurs);
    for (int i = 0; i < bins; ++i)
        if (count[static_cast<size_t>(i)] > 0)
            g.drawRect(QRectF(QPointF(a.px(lo + i * bin), a.py(count[static_cast<size_t>(i)])),
                              QPointF(a.px(lo + (i + 1) * bin), a.py(0))));
    g.setPen(QPen(Qt::red, 1.5, Qt::DashLine));
    g.drawLine(QPointF(a.px(1), a.area.top()), QPointF(a.px(1), a.area.bottom()));
    g.end();
    return gui::savePng(img, file);
}

namespace {

// A unit's own doses against thickness: ours, the unit's, and the unit's line.
QImage unitPlot(const UnitPage& u, const texts::AuditTexts& t) {
    QImage img = gui::whitePicture(900, 600);
    QPainter g(&img);
    double yMax = 0;
    for (const PlotPoint& p : u.points)
        yMax = std::max({yMax, p.agd, p.unitAgd.value_or(0)});
    const gui::PlotFrame f{QRectF(100, 50, 760, 460), 20, 110, 0, yMax > 0 ? yMax * 1.15 : 1};
    gui::drawPlotFrame(g, f, {u.plotTitle, t.plotThickness.str(), t.plotAgd.str()});
    g.setRenderHint(QPainter::Antialiasing);
    g.setClipRect(f.area);
    for (const PlotPoint& p : u.points) {
        if (p.unitAgd) {
            g.setPen(QPen(kUnit, 1.5));
            const QPointF c(f.px(p.thicknessMm), f.py(*p.unitAgd));
            g.drawLine(c + QPointF(-4, -4), c + QPointF(4, 4));
            g.drawLine(c + QPointF(-4, 4), c + QPointF(4, -4));
        }
        g.setPen(Qt::NoPen);
        g.setBrush(kOurs);
        g.drawEllipse(QPointF(f.px(p.thicknessMm), f.py(p.agd)), 3.5, 3.5);
    }
    const QColor lineColour(0, 150, 70);
    if (!u.points.empty()) {
        g.setPen(QPen(lineColour, 2));
        QPointF last;
        for (int mm = 20; mm <= 110; ++mm) {
            const QPointF p(f.px(mm), f.py(std::exp(u.line.lnAt(mm))));
            if (mm > 20) g.drawLine(last, p);
            last = p;
        }
    }
    g.setClipping(false);
    const double lx = f.area.left() + 20, ly = f.area.top() + 20;
    g.setPen(Qt::NoPen);
    g.setBrush(kOurs);
    g.drawEllipse(QPointF(lx, ly), 3.5, 3.5);
    g.setPen(QPen(kUnit, 1.5));
    g.drawLine(QPointF(lx - 4, ly + 18), QPointF(lx + 4, ly + 26));
    g.drawLine(QPointF(lx - 4, ly + 26), QPointF(lx + 4, ly + 18));
    g.setPen(QPen(lineColour, 2));
    g.drawLine(QPointF(lx - 8, ly + 44), QPointF(lx + 8, ly + 44));
    g.setPen(Qt::black);
    g.drawText(QRectF(lx + 12, ly - 10, 500, 20), Qt::AlignVCenter, gui::qs(t.plotOurs.view()));
    g.drawText(QRectF(lx + 12, ly + 12, 500, 20), Qt::AlignVCenter, gui::qs(t.plotUnit.view()));
    g.drawText(QRectF(lx + 12, ly + 34, 500, 20), Qt::AlignVCenter, gui::qs(t.plotUnitLine.view()));
    g.end();
    return img;
}

} // namespace

std::optional<std::string> writeTrendPlot(const std::filesystem::path& file,
                                          const std::vector<TrendSeries>& series,
                                          const texts::AuditTexts& t) {
    const gui::OffscreenPainting painting("kv-audit");
    QImage img = gui::whitePicture(900, 600);
    QPainter g(&img);
    double d0 = HUGE_VAL, d1 = -HUGE_VAL, yMax = 0;
    for (const TrendSeries& s : series)
        for (const auto& [day, mgy] : s.points)
            d0 = std::min(d0, day), d1 = std::max(d1, day), yMax = std::max(yMax, mgy);
    if (series.empty()) d0 = 0, d1 = 1;
    const double first = std::floor(d0 - 3.5);
    const gui::PlotFrame f{QRectF(100, 50, 760, 460), 0, std::max(7.0, d1 + 3.5 - first), 0,
                           yMax > 0 ? yMax * 1.2 : 1};
    gui::drawPlotFrame(g, f,
                       {t.plotTrendTitle.str(),
                        fillIn(t.plotDays.str(), {{"{date}", isoDate(static_cast<int>(first))}}),
                        t.plotAgd.str()});
    static const QColor colours[] = {{0, 90, 200}, {230, 120, 0}, {0, 150, 70}, {180, 0, 120}, {90, 90, 90}};
    for (size_t i = 0; i < series.size(); ++i) {
        const TrendSeries& s = series[i];
        const QColor c = colours[i % std::size(colours)];
        g.setClipRect(f.area);
        g.setPen(QPen(c, 1.5));
        for (size_t k = 1; k < s.points.size(); ++k)
            g.drawLine(QPointF(f.px(s.points[k - 1].first - first), f.py(s.points[k - 1].second)),
                       QPointF(f.px(s.points[k].first - first), f.py(s.points[k].second)));
        g.setBrush(c);
        for (const auto& [day, mgy] : s.points)
            g.drawEllipse(QPointF(f.px(day - first), f.py(mgy)), 3.5, 3.5);
        if (s.stepDay) {
            g.setPen(QPen(c, 1.5, Qt::DashLine));
            const double x = f.px(*s.stepDay - first);
            g.drawLine(QPointF(x, f.area.top()), QPointF(x, f.area.bottom()));
        }
        g.setClipping(false);
        const double ly = f.area.top() + 14 + 20 * static_cast<double>(i);
        g.setPen(Qt::NoPen);
        g.drawEllipse(QPointF(f.area.left() + 20, ly), 3.5, 3.5);
        g.setPen(Qt::black);
        g.drawText(QRectF(f.area.left() + 32, ly - 10, 600, 20), Qt::AlignVCenter, gui::qs(s.label));
    }
    g.end();
    return gui::savePng(img, file);
}

namespace {

struct ReportFonts {
    QFont body, bold, title, heading;
};

ReportFonts reportFonts() {
    ReportFonts f;
    f.body = QFont("Liberation Sans");
    f.body.setPointSizeF(9);
    f.bold = f.body;
    f.bold.setBold(true);
    f.title = f.body;
    f.title.setPointSizeF(16);
    f.title.setBold(true);
    f.heading = f.bold;
    f.heading.setPointSizeF(12);
    return f;
}

// The report's pages filled from the top: what does not fit below starts a new page.
struct PageFlow {
    PageFlow(QPainter& painter, QPagedPaintDevice& device)
        : g(painter), pdf(device), page(painter.viewport()), w(page.width()) {}

    void newPage() {
        pdf.newPage();
        y = 0;
    }
    bool overflows(double h) const { return y + h > page.height(); }
    void need(double h) {
        if (overflows(h)) newPage();
    }
    void paragraph(const QFont& f, const std::string& text, double gap = 8) {
        g.setFont(f);
        const QRectF r = g.boundingRect(QRectF(0, 0, w, 1e6), Qt::TextWordWrap, gui::qs(text));
        need(r.height());
        g.drawText(QRectF(0, y, w, r.height()), Qt::TextWordWrap, gui::qs(text));
        y += r.height() + gap;
    }
    // Centred, `share` of the page's width.
    void picture(const QImage& img, double share) {
        const double h = w * share * img.height() / img.width();
        need(h);
        g.drawImage(QRectF((w - w * share) / 2, y, w * share, h), img);
        y += h + 10;
    }

    QPainter& g;
    QPagedPaintDevice& pdf;
    const QRect page;
    const double w;
    double y = 0;
};

struct TableLayout {
    QFont cell, head;
    std::vector<double> widths;
};

// Columns as wide as their widest cell; a table wider than the page gets a smaller font.
TableLayout layOut(const ReportTable& tab, const ReportFonts& f, double w, const QPaintDevice& pdf) {
    const size_t cols = tab.header.size();
    TableLayout l{f.body, f.bold, {}};
    for (int tries = 0; tries < 8; ++tries) {
        l.widths.assign(cols, 0);
        auto widen = [&](const std::vector<std::string>& cells, const QFont& font) {
            const QFontMetricsF m(font, &pdf);
            for (size_t i = 0; i < cols && i < cells.size(); ++i)
                l.widths[i] = std::max(l.widths[i], m.horizontalAdvance(gui::qs(cells[i])) + 10);
        };
        widen(tab.header, l.head);
        for (const auto& r : tab.rows)
            widen(r, l.cell);
        double total = 0;
        for (double v : l.widths)
            total += v;
        if (total <= w || l.cell.pointSizeF() <= 5) break;
        const double size = std::max(5.0, l.cell.pointSizeF() * w / total);
        l.cell.setPointSizeF(size), l.head.setPointSizeF(size);
    }
    return l;
}

// The header again at the top of each page the table runs onto.
void drawTable(PageFlow& p, const ReportTable& tab, const ReportFonts& f) {
    if (tab.rows.empty()) return;
    p.y += 6;
    p.paragraph(f.bold, tab.title, 4);
    const TableLayout l = layOut(tab, f, p.w, p.pdf);
    const size_t cols = tab.header.size();
    QPainter& g = p.g;
    const double rowH = QFontMetricsF(l.cell, &p.pdf).height() * 1.35;
    auto drawRow = [&](const std::vector<std::string>& cells, bool head) {
        p.need(rowH);
        g.setFont(head ? l.head : l.cell);
        double x = 0;
        for (size_t i = 0; i < cols; ++i) {
            const QRectF cell(x, p.y, std::min(l.widths[i], p.w - x), rowH);
            if (head) g.fillRect(cell, QColor(225, 232, 245));
            g.save();
            g.setClipRect(cell);
            g.drawText(cell.adjusted(4, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
                       gui::qs(i < cells.size() ? cells[i] : std::string()));
            g.restore();
            x += l.widths[i];
        }
        g.setPen(QColor(200, 200, 200));
        g.drawLine(QPointF(0, p.y + rowH), QPointF(std::min(x, p.w), p.y + rowH));
        g.setPen(Qt::black);
        p.y += rowH;
    };
    p.need(rowH * 3);
    drawRow(tab.header, true);
    for (const auto& r : tab.rows) {
        if (p.overflows(rowH)) {
            p.newPage();
            drawRow(tab.header, true);
        }
        drawRow(r, false);
    }
}

void drawUnitPage(PageFlow& p, const UnitPage& u, const ReportFonts& f, const texts::AuditTexts& t) {
    p.newPage();
    p.paragraph(f.heading, u.title, 8);
    for (const std::string& l : u.lines)
        p.paragraph(f.body, l, 3);
    for (const std::string& w : u.warnings)
        p.paragraph(f.bold, w, 3);
    p.y += 6;
    p.picture(unitPlot(u, t), 0.7);
    if (u.outliers.rows.empty())
        p.paragraph(f.body, u.noOutliers, 4);
    else
        drawTable(p, u.outliers, f);
}

} // namespace

std::optional<std::string> writeReportPdf(const std::filesystem::path& file, const ReportContent& c,
                                          const std::filesystem::path& plots, const texts::AuditTexts& t) {
    const gui::OffscreenPainting painting("kv-audit");
    const gui::PdfDocument doc{gui::qs(t.reportTitle.view()), gui::qs("Kelvane-Vesk kv-audit " + c.version)};
    return gui::writePdf(file, doc, [&](QPainter& g, QPagedPaintDevice& pdf) -> std::optional<std::string> {
        PageFlow p(g, pdf);
        const ReportFonts f = reportFonts();
        p.paragraph(f.title, t.reportTitle.str(), 12);
        p.paragraph(f.body, fillIn(t.reportVersion.str(), {{"{version}", c.version}}), 2);
        p.paragraph(f.body,
                    fillIn(t.reportMade.str(), {{"{date}", c.date},
                                                {"{files}", std::to_string(c.files)},
                                                {"{exposures}", std::to_string(c.exposures)},
                                                {"{skipped}", std::to_string(c.skipped)}}),
                    14);
        p.paragraph(f.bold, t.reportMethod.str(), 4);
        p.paragraph(f.body, t.reportMethodText.str(), 14);
        for (const std::string& finding : c.findings)
            p.paragraph(f.bold, finding, 6);
        for (const char* name : {"agd_vs_thickness.png", "ratio_hist.png", "median_agd_vs_date.png"}) {
            QImage img;
            if (img.load(QString::fromStdString((plots / name).string()))) p.picture(img, 0.62);
        }
        for (const ReportTable& tab : c.tables)
            drawTable(p, tab, f);
        for (const UnitPage& u : c.units)
            drawUnitPage(p, u, f, t);
        return std::nullopt;
    });
}

} // namespace kv::audit
