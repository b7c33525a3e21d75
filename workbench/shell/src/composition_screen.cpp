#include "kv/workbench/shell/composition_screen.h"

#include "kv/common/format.h"
#include "kv/gui/qtext.h"
#include "kv/texts/phantom.h"

#include <QPainter>

namespace kv::shell {

using namespace gui;

const std::array<PhantomMaterial, 11>& phantomMaterials() {
    static constexpr std::array<PhantomMaterial, 11> m{{
        {0, 0.9301, 0.112, 0.619, 0.017, 0.251, 0.001},
        {10, 0.9399, 0.111, 0.576, 0.019, 0.294, 0.001},
        {20, 0.9501, 0.110, 0.532, 0.020, 0.336, 0.002},
        {30, 0.9605, 0.109, 0.488, 0.022, 0.379, 0.002},
        {40, 0.9711, 0.108, 0.445, 0.023, 0.421, 0.003},
        {50, 0.9819, 0.107, 0.401, 0.025, 0.464, 0.003},
        {60, 0.9930, 0.106, 0.358, 0.026, 0.507, 0.003},
        {70, 1.0044, 0.105, 0.315, 0.028, 0.549, 0.004},
        {80, 1.0160, 0.104, 0.271, 0.029, 0.592, 0.004},
        {90, 1.0278, 0.103, 0.227, 0.030, 0.634, 0.005},
        {100, 1.0400, 0.102, 0.184, 0.032, 0.677, 0.005},
    }};
    return m;
}

void drawCompositionTable(QPainter& p, const QRectF& area) {
    const auto& t = texts::compositionTexts();
    const auto& rows = phantomMaterials();
    // Two columns of phantom data, then the five elements under one head.
    constexpr double widths[] = {1.2, 1.2, 1, 1, 1, 1, 1};
    constexpr int columns = 7;
    double sum = 0;
    for (double w : widths)
        sum += w;
    const QRectF box = area.adjusted(6, 6, -6, -6);
    double x[columns + 1];
    x[0] = box.left();
    for (int c = 0; c < columns; ++c)
        x[c + 1] = x[c] + box.width() * widths[c] / sum;
    const double headHeight = box.height() * 0.2;
    const double rowHeight = (box.height() - headHeight) / static_cast<double>(rows.size());
    const double headMid = box.top() + headHeight / 2;
    const double bodyTop = box.top() + headHeight;

    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    // Every other row shaded, so a row can be followed across.
    for (size_t r = 0; r < rows.size(); r += 2)
        p.fillRect(QRectF(box.left(), bodyTop + rowHeight * static_cast<double>(r), box.width(), rowHeight),
                   QColor(235, 242, 255));
    p.fillRect(QRectF(box.left(), box.top(), box.width(), headHeight), QColor(255, 255, 192));

    // Heads: the two data heads over the whole head, the elements under their group.
    p.setPen(Qt::black);
    p.setFont(fontPt(11.25, false, true));
    const auto head = [&](int from, int to, double top, double bottom, const QString& text) {
        p.drawText(QRectF(x[from], top, x[to] - x[from], bottom - top), Qt::AlignCenter, text);
    };
    head(0, 1, box.top(), bodyTop, qs(t.fractionHead));
    head(1, 2, box.top(), bodyTop, qs(t.densityHead));
    head(2, 7, box.top(), headMid, qs(t.massFractionHead));
    const texts::Text elements[] = {t.hydrogen, t.carbon, t.nitrogen, t.oxygen, t.phosphorus};
    for (int e = 0; e < 5; ++e)
        head(2 + e, 3 + e, headMid, bodyTop, qs(elements[e]));

    p.setFont(fontPt(11.25));
    for (size_t r = 0; r < rows.size(); ++r) {
        const PhantomMaterial& m = rows[r];
        const double top = bodyTop + rowHeight * static_cast<double>(r);
        const QString cells[] = {qs(format(m.glandularPercent, "#0")), qs(format(m.density, "0.0000")),
                                 qs(format(m.hydrogen, "0.000")),      qs(format(m.carbon, "0.000")),
                                 qs(format(m.nitrogen, "0.000")),      qs(format(m.oxygen, "0.000")),
                                 qs(format(m.phosphorus, "0.000"))};
        for (int c = 0; c < columns; ++c)
            p.drawText(QRectF(x[c], top, x[c + 1] - x[c], rowHeight), Qt::AlignCenter, cells[c]);
    }

    // Rules: a frame, a double rule under the heads, columns, and the group rule.
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(box);
    for (int c = 1; c < columns; ++c)
        p.drawLine(QPointF(x[c], c > 2 ? headMid : box.top()), QPointF(x[c], box.bottom()));
    p.drawLine(QPointF(x[2], headMid), QPointF(x[7], headMid));
    p.drawLine(QPointF(box.left(), bodyTop - 2), QPointF(box.right(), bodyTop - 2));
    p.drawLine(QPointF(box.left(), bodyTop), QPointF(box.right(), bodyTop));
    p.setPen(QPen(QColor(160, 160, 160), 1));
    for (size_t r = 1; r < rows.size(); ++r) {
        const double y = bodyTop + rowHeight * static_cast<double>(r);
        p.drawLine(QPointF(box.left() + 1, y), QPointF(box.right() - 1, y));
    }
    p.restore();
}

namespace {

std::vector<Control> table() {
    const auto& t = texts::compositionTexts();
    const Style heading{18};
    const Style source{12};
    return {
        {.name = t.heading1Name,
         .kind = Kind::Label,
         .rect = {t.heading1Left, t.heading1Top},
         .text = t.heading1,
         .font = heading,
         .fore = colours::blue},
        {.name = t.heading2Name,
         .kind = Kind::Label,
         .rect = {t.heading2Left, t.heading2Top},
         .text = t.heading2,
         .font = heading,
         .fore = colours::blue},
        {.name = "Picture1",
         .kind = Kind::Picture,
         .rect = {360, 1140, 9810, 4155},
         .back = colours::white,
         .border = true},
        {.name = "Label6",
         .kind = Kind::Label,
         .rect = {840, 5580},
         .text = t.reference,
         .font = {14.25},
         .fore = colours::blue},
        {.name = "Label1",
         .kind = Kind::Label,
         .rect = {2400, 5580},
         .text = t.source1Authors,
         .font = source},
        {.name = "Label4", .kind = Kind::Label, .rect = {2400, 5850}, .text = t.source1Title, .font = source},
        {.name = "Label5",
         .kind = Kind::Label,
         .rect = {2400, 6120},
         .text = t.source1Journal,
         .font = source},
        {.name = "Label7",
         .kind = Kind::Label,
         .rect = {2400, 6480},
         .text = t.source2AuthorsAndTitle,
         .font = source},
        {.name = "Label8", .kind = Kind::Label, .rect = {2400, 6750}, .text = t.source2Title, .font = source},
        {.name = "Label9",
         .kind = Kind::Label,
         .rect = {2400, 7020},
         .text = t.source2Journal,
         .font = source},
        {.name = "Command1",
         .kind = Kind::Button,
         .rect = {480, 7320, 1335, 495},
         .text = t.close,
         .font = {14.25},
         .back = colours::buttonYellow},
    };
}

} // namespace

CompositionScreen::CompositionScreen()
    : Form({.name = "Form11", .caption = texts::compositionTexts().caption, .width = 10425, .height = 8205},
           table()),
      c_(bind()) {
    Canvas* c = c_.table;
    c->paintWith([c](QPainter& p) { drawCompositionTable(p, QRectF(QPointF(0, 0), c->innerRect().size())); });
    onClick(c_.close, [this] { hide(); });
}

CompositionScreen::Controls CompositionScreen::bind() const {
    return {.table = picture("Picture1"), .close = button("Command1")};
}

} // namespace kv::shell
