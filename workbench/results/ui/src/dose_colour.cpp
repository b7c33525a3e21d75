#include "kv/workbench/results/ui/dose_colour.h"

#include "kv/gui/canvas.h"
#include "kv/gui/qtext.h"
#include "kv/gui/twips.h"
#include "kv/texts/results_screen.h"

#include <QLabel>

namespace kv::results {

namespace {

struct Level {
    double above;
    QColor colour;
};

// Tested from the top; the last row takes everything else.
const std::array<Level, kDoseLevels>& levels() {
    static const std::array<Level, kDoseLevels> table{{
        {90, QColor(255, 0, 255)},
        {80, QColor(255, 0, 0)},
        {70, QColor(255, 192, 0)},
        {60, QColor(255, 255, 0)},
        {50, QColor(146, 208, 80)},
        {40, QColor(0, 176, 80)},
        {30, QColor(0, 176, 240)},
        {20, QColor(0, 112, 192)},
        {10, QColor(112, 48, 160)},
        {5, QColor(126, 126, 126)},
        {0, QColor(200, 200, 200)},
    }};
    return table;
}

} // namespace

QColor DoseLevelColour(double percent) {
    const auto& table = levels();
    for (int k = 0; k + 1 < kDoseLevels; ++k)
        if (percent > table[static_cast<size_t>(k)].above) return table[static_cast<size_t>(k)].colour;
    return table.back().colour;
}

QColor doseLevelColourAt(int level) {
    return levels().at(static_cast<size_t>(level)).colour;
}

void DrawDoseLegend(gui::Canvas& legend) {
    legend.setScale(0, 0, 100, 110);
    legend.clear();
    for (int k = 0; k < kDoseLevels; ++k)
        legend.fillBox(0, 10.0 * k, 30, 10.0 * (k + 1), doseLevelColourAt(k));
}

void addDoseLegendLabels(gui::Canvas& legend, std::span<const int, kDoseLevels> tops) {
    const auto& t = texts::doseLegendTexts();
    for (int k = 0; k < kDoseLevels; ++k) {
        auto* label = new QLabel(gui::qs(t.levels[static_cast<size_t>(k)]), &legend);
        label->setObjectName(QStringLiteral("Legend%1").arg(k + 1));
        label->setTextFormat(Qt::PlainText);
        label->setFont(gui::fontPt(12));
        label->adjustSize();
        label->move(gui::toPixels(480, tops[static_cast<size_t>(k)]));
        label->show();
    }
}

} // namespace kv::results
