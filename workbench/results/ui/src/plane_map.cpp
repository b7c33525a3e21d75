#include "plane_map.h"

#include "kv/common/format.h"
#include "kv/common/typed_number.h"
#include "kv/gui/canvas.h"
#include "kv/gui/form.h"
#include "kv/gui/twips.h"
#include "kv/results/agd_estimate.h"
#include "kv/results/voxel_uncertainty.h"
#include "kv/texts/results_extras.h"
#include "kv/texts/xy_plane.h"
#include "kv/workbench/results/ui/dose_colour.h"

#include <QLabel>
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
    // Int(10 · |x| · 0.025) + 1 as the exact quotient |x| / 4, so that a pointer
    // between pixels (a scaled screen) cannot fall into the neighbouring voxel.
    if (y < 0) return std::nullopt;
    const double ix = std::floor(std::abs(x) / 4) + 1;
    const double row = std::floor(y / 4) + 1;
    if (ix > slice.columns() || row > slice.rows()) return std::nullopt;
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
    gui::ShapeItem* top =
        map.addShape(QStringLiteral("TopBand"), gui::ShapeKind::Rectangle, -304, kMapTop, 609, 7, band);
    top->setFill(band);
}

gui::LineItem* addCrossHair(gui::Canvas& map, const char* name, bool horizontal, int bottom) {
    gui::LineItem* l = horizontal
                           ? map.addLine(QString::fromLatin1(name), kMapLeft, 0, kMapRight, 0, Qt::white)
                           : map.addLine(QString::fromLatin1(name), 0, 0, 0, bottom, Qt::white);
    l->hide();
    return l;
}

void drawIcon(gui::Canvas& icon) {
    // A dose spot: the level colours from the outside in.
    icon.paintWith([](QPainter& p) {
        const int levels[] = {10, 8, 6, 4, 2, 1, 0};
        int inset = 1;
        for (int level : levels) {
            p.fillRect(QRect(inset, inset, 32 - 2 * inset, 32 - 2 * inset), doseLevelColourAt(level));
            inset += 2;
        }
    });
}

void appendReadOutPanel(std::vector<gui::Control>& rows, const ReadOutPanel& panel) {
    using gui::Align;
    using gui::Kind;
    const auto& t = texts::planePanelTexts();
    const gui::Style big{15.75};
    const int l = panel.left, top = panel.top;
    const auto box = [&](std::string_view name, int x, int y, int width) {
        rows.push_back({.name = name,
                        .kind = Kind::TextBox,
                        .rect = {l + x, top + y, width, 375},
                        .font = big,
                        .back = gui::colours::buttonYellow,
                        .align = Align::Centre});
    };
    rows.push_back({.name = "Label41",
                    .kind = Kind::Label,
                    .rect = {l, top, 4695, 2895},
                    .back = gui::colours::buttonCyan,
                    .border = true});
    rows.push_back({.name = "Label48",
                    .kind = Kind::Label,
                    .rect = {l + 600, top + panel.headingTop},
                    .text = t.presentPoint,
                    .font = big});
    rows.push_back(
        {.name = "Label37", .kind = Kind::Label, .rect = {l + 1080, top + 840}, .text = t.axes, .font = big});
    box("Text2", 720, 1200, 975);
    box("Text3", 1800, 1200, 975);
    box("Text4", 2880, 1200, 975);
    rows.push_back({.name = panel.cmName,
                    .kind = Kind::Label,
                    .rect = {l + 3960, top + 1200},
                    .text = t.cm,
                    .font = big});
    // The Japanese words are set smaller and spread over the boxes.
    const bool spread = t.componentsWidth > 0;
    rows.push_back({.name = "Label38",
                    .kind = Kind::Label,
                    .rect = {l + (spread ? t.componentsInset.get() : panel.componentsInset), top + 1800,
                             spread ? t.componentsWidth.get() : panel.componentsWidth, 315},
                    .text = t.components,
                    .font = {t.componentsPt},
                    .align = Align::Centre});
    box("Text5", 360, 2160, 1215);
    box("Text6", 1680, 2160, 1215);
    box("Text7", 3000, 2160, 1215);
    rows.push_back({.name = "Label39",
                    .kind = Kind::Label,
                    .rect = {l + 4320, top + 2160},
                    .text = t.percent,
                    .font = big});
    // Under the total, the voxel's own uncertainty where the result's side file gives it.
    rows.push_back({.name = "Label63",
                    .kind = Kind::Label,
                    .rect = {l + 3000, top + 2580, 1215, 225},
                    .font = {11.25},
                    .align = Align::Centre,
                    .tip = texts::resultsExtrasTexts().voxelSigmaTip});
    // Under the position boxes, the voxel the doses belong to.
    rows.push_back({.name = "Label66",
                    .kind = Kind::Label,
                    .rect = {l + 360, top + 1575, 3975, 225},
                    .font = {11.25},
                    .align = Align::Centre});
}

void makeBoxesReadOnly(const ReadOut& r, const NumberBoxes& n, QLineEdit* fixed) {
    for (QLineEdit* box : {n.referenceDose, r.x, r.row, fixed, r.primary, r.scatter, r.total, n.fcd})
        box->setReadOnly(true);
}

NumberBoxes bindNumberBoxes(const gui::Form& form) {
    return {.referenceDose = form.textBox("Text1"), .fcd = form.textBox("Text8")};
}

ReadOut bindReadOut(const gui::Form& form, std::string_view rowBox) {
    return {.x = form.textBox("Text2"),
            .row = form.textBox(rowBox),
            .primary = form.textBox("Text5"),
            .scatter = form.textBox("Text6"),
            .total = form.textBox("Text7"),
            .sigma = form.label("Label63"),
            .voxel = form.label("Label66")};
}

void showReadOut(const ReadOut& boxes, const Slice& slice, Voxel v, double x, double y,
                 const std::optional<formats::VoxelSigma>& sigma) {
    const auto show = [](QLineEdit* box, const std::string& text) {
        box->setText(QString::fromStdString(text));
    };
    show(boxes.x, format(std::abs(x) * 0.025, "#0.0"));
    show(boxes.row, format(std::abs(y) * 0.025, "#0.0"));
    QLineEdit* const doses[] = {boxes.primary, boxes.scatter, boxes.total};
    constexpr Component kDoseComponents[] = {Primary, Scatter, Total};
    for (int k = 0; k < 3; ++k)
        show(doses[k], format(slice.dose(kDoseComponents[k], v.ix, v.row), " ##0.00"));
    const int iy = slice.rowIndex(v.row), iz = slice.layerIndex(v.row);
    boxes.sigma->setText(QString::fromStdString(plusMinusPercent(voxelRelativeSigma(sigma, v.ix, iy, iz))));
    showVoxel(*boxes.voxel, {'X', v.ix}, slice.isLayer() ? VoxelAxis{'Y', iy} : VoxelAxis{'Z', iz}, v.ix, iy,
              iz);
}

void emptyReadOut(const ReadOut& boxes) {
    for (QLineEdit* box : {boxes.x, boxes.row, boxes.primary, boxes.scatter, boxes.total})
        box->clear();
    boxes.sigma->clear();
    boxes.voxel->clear();
    boxes.voxel->setToolTip({});
}

std::string voxelSpanText(VoxelAxis a, VoxelAxis b) {
    const auto cm = [](int mm) { return format(mm / 10.0, "#0.0"); };
    return fillIn(texts::resultsExtrasTexts().voxelSpan.str(), {{"{a}", std::string(1, a.axis)},
                                                                {"{a0}", cm(a.index - 1)},
                                                                {"{a1}", cm(a.index)},
                                                                {"{b}", std::string(1, b.axis)},
                                                                {"{b0}", cm(b.index - 1)},
                                                                {"{b1}", cm(b.index)}});
}

std::string voxelTipText(int ix, int iy, int iz) {
    return fillIn(texts::resultsExtrasTexts().voxelTip.str(),
                  {{"{ix}", std::to_string(ix)}, {"{iy}", std::to_string(iy)}, {"{iz}", std::to_string(iz)}});
}

void showVoxel(QLabel& label, VoxelAxis a, VoxelAxis b, int ix, int iy, int iz) {
    const QString text = QString::fromStdString(voxelSpanText(a, b));
    label.setText(text);
    // Japanese glyphs come from a fallback font whose line is taller than the
    // row the label was given: it grows about its middle rather than cut them.
    const int need = label.fontMetrics().boundingRect(text).height();
    if (need > label.height())
        label.setGeometry(label.x(), label.y() + label.height() / 2 - need / 2, label.width(), need);
    label.setToolTip(QString::fromStdString(voxelTipText(ix, iy, iz)));
}

} // namespace kv::results::planes
