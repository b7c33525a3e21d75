#include "plane_map.h"

#include "kv/common/format.h"
#include "kv/gui/canvas.h"
#include "kv/gui/form.h"
#include "kv/gui/twips.h"
#include "kv/results/dose_colour.h"

#include <QLineEdit>
#include <QPainter>

#include <cmath>

namespace kv::results::planes {

void paintMirrored(gui::Canvas& map, const Slice& slice, Component leftComponent, Component rightComponent,
                   CellShape shape) {
    map.clear();
    const int rows = slice.rows();
    const int columns = slice.columns();
    for (int r = 1; r <= rows; ++r) {
        const int y1 = 4 * r + shape.rowFrom;
        const int y2 = 4 * r;
        for (int ix = 1; ix <= columns; ++ix) {
            const QColor left = DoseLevelColour(slice.dose(leftComponent, ix, r));
            const QColor right =
                rightComponent == leftComponent ? left : DoseLevelColour(slice.dose(rightComponent, ix, r));
            map.fillBox(-(4 * ix - 3), y1, -4 * ix, y2, left);
            map.fillBox(4 * ix + shape.rightFrom, y1, 4 * ix + shape.rightTo, y2, right);
        }
    }
}

std::optional<Voxel> voxelAt(const Slice& slice, double x, double y) {
    // |x| / 4 is the whole millimetres out from the axis: 10 · (|x| · 0.025 cm),
    // taken without the rounding of the product so a pointer on a cell edge
    // reads the voxel beyond it.
    if (y < 0)
        return std::nullopt;
    const double ix = std::floor(std::abs(x) / 4) + 1;
    const double row = std::floor(y / 4) + 1;
    if (ix > slice.columns() || row > slice.rows())
        return std::nullopt;
    return Voxel{static_cast<int>(ix), static_cast<int>(row)};
}

void addFixedDrawing(gui::Canvas& map, const MapGrid& grid) {
    const QColor grey = gui::colours::grey.qt();
    for (int y = 40; y <= grid.lastHorizontal; y += 40)
        map.addLine(QStringLiteral("GridY%1").arg(y), kMapLeft, y, kMapRight, y, grey);
    for (int x = 40; x <= 280; x += 40) {
        map.addLine(QStringLiteral("GridX%1").arg(-x), -x, grid.verticalTop, -x, grid.bottom, grey);
        map.addLine(QStringLiteral("GridX%1").arg(x), x, grid.verticalTop, x, grid.bottom, grey);
    }
    map.addLine(QStringLiteral("Axis"), 0, kMapTop, 0, grid.bottom, Qt::black, grid.axisWidth);
    const QColor band = gui::colours::lightGrey.qt();
    gui::ShapeItem* top = map.addShape(QStringLiteral("TopBand"), gui::ShapeKind::Rectangle, -304, kMapTop, 609, 7, band);
    top->setFill(band);
}

void addCrossHair(gui::Canvas& map, const char* name, bool horizontal, int bottom) {
    gui::LineItem* l = horizontal ? map.addLine(QString::fromLatin1(name), kMapLeft, 0, kMapRight, 0, Qt::white)
                                  : map.addLine(QString::fromLatin1(name), 0, 0, 0, bottom, Qt::white);
    l->hide();
}

void drawIcon(gui::Canvas& icon) {
    // A dose spot: the level colours from the outside in.
    icon.paintWith([](QPainter& p) {
        const int levels[] = {10, 8, 6, 4, 2, 1, 0};
        int inset = 1;
        for (int level : levels) {
            p.fillRect(QRect(inset, inset, 32 - 2 * inset, 32 - 2 * inset), DoseLevelColourAt(level));
            inset += 2;
        }
    });
}

namespace {
constexpr std::string_view kDoseBoxes[] = {"Text5", "Text6", "Text7"};
constexpr Component kDoseComponents[] = {Primary, Scatter, Total};

void setText(gui::Form& form, std::string_view box, const std::string& text) {
    form.textBox(box)->setText(QString::fromStdString(text));
}
} // namespace

void showReadOut(gui::Form& form, const ReadOut& boxes, const Slice& slice, Voxel v, double x, double y) {
    setText(form, boxes.x, format(std::abs(x) * 0.025, "#0.0"));
    setText(form, boxes.row, format(std::abs(y) * 0.025, "#0.0"));
    for (int k = 0; k < 3; ++k)
        setText(form, kDoseBoxes[k], format(slice.dose(kDoseComponents[k], v.ix, v.row), " ##0.00"));
}

void emptyReadOut(gui::Form& form, const ReadOut& boxes) {
    form.textBox(boxes.x)->clear();
    form.textBox(boxes.row)->clear();
    for (std::string_view box : kDoseBoxes)
        form.textBox(box)->clear();
}

} // namespace kv::results::planes
