#include "kv/spectrum/ui/spectrum_plot.h"

#include "kv/gui/canvas.h"
#include "kv/gui/form.h"
#include "kv/gui/qtext.h"
#include "kv/texts/lumira.h"

namespace kv::spectrum::ui {
namespace {

using gui::qs;

constexpr double kLeft = 1000, kRight = 6000, kTop = 100, kBottom = 2100;

} // namespace

void setPlotScale(gui::Canvas& plot) {
    plot.setScale(0, 0, kPlotWidth, kPlotHeight);
}

void DrawSpectrumAxes(gui::Canvas& plot) {
    using namespace plot_colours;
    plot.setPenWidth(1);
    for (int x = 1200; x <= 5800; x += 200)
        plot.line(x, kTop, x, kBottom, grey);
    for (int x = 2000; x <= 5000; x += 1000)
        plot.line(x, kTop, x, kBottom, black);
    for (int y = 300; y <= 1900; y += 200)
        plot.line(kLeft, y, kRight, y, grey);
    plot.line(kLeft, 1100, kRight, 1100); // 50 %, in the foreground colour

    static constexpr struct {
        const char* text;
        double x;
    } ticks[] = {{"0", 950}, {"10", 1900}, {"20", 2900}, {"30", 3900}, {"40", 4900}, {"50", 5900}};
    for (const auto& t : ticks)
        plot.textAt(t.x, 2120, QString::fromLatin1(t.text));

    const auto& t = texts::lumiraTexts();
    plot.textAt(4250, 2250, qs(t.energyAxis));
    // The axis title keeps left of the frame, all its lines in one size.
    const QFont font = plot.font();
    QFont titleFont = font;
    for (const texts::PlotLabel& l : t.fluenceAxis) {
        const double room = (kLeft - 20 - l.at.left) / kPlotWidth * plot.innerRect().width();
        const QFont fitted = gui::fontToFit(font, qs(l.text), static_cast<int>(room));
        if (fitted.pixelSize() < titleFont.pixelSize()) titleFont = fitted;
    }
    plot.setFont(titleFont);
    for (const texts::PlotLabel& l : t.fluenceAxis)
        plot.textAt(l.at.left, l.at.top, qs(l.text));
    plot.setFont(font);

    plot.setPenWidth(2);
    plot.box(kLeft, kTop, kRight, kBottom, black);
}

void drawSpectrumCurve(gui::Canvas& plot, const std::array<double, formats::kBins>& column,
                       double plotMaximum) {
    using namespace plot_colours;
    if (!(plotMaximum > 0)) return;
    plot.setPenWidth(2);
    plot.point(kLeft, kBottom, lightRed);
    for (int i = 2; i < formats::kBins; ++i) {
        const double y = kBottom - column[i] * 2000 / plotMaximum;
        plot.lineTo((i - 1) * 20 + 1010, y, lightRed);
        plot.lineTo(i * 20 + 1010, y, lightRed);
    }
    const auto& t = texts::lumiraTexts();
    plot.textAt(4100, 330, qs(t.curveLine1));
    plot.textAt(4100, 500, qs(t.curveLine2));
    plot.setPenWidth(2);
    plot.line(kLeft, kBottom, kRight, kBottom, black);
}

} // namespace kv::spectrum::ui
