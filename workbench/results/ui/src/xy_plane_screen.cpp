#include "kv/workbench/results/ui/xy_plane_screen.h"

#include "kv/gui/qtext.h"
#include "kv/results/dose_tables.h"
#include "kv/texts/results_extras.h"
#include "kv/texts/results_screen.h"
#include "kv/texts/xy_plane.h"
#include "kv/workbench/results/ui/dose_colour.h"
#include "kv/workbench/results/ui/picture_export.h"
#include "plane_map.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <vector>

namespace kv::results {

namespace {

using gui::Align;
using gui::Control;
using gui::Kind;
namespace colours = gui::colours;

constexpr double kHeadingPt = 15.75;
constexpr int kMapBottom = 607; // the grid's vertical lines and the axis end here

std::vector<Control> form6Controls() {
    const auto& t = texts::xyPlaneTexts();
    const auto& p = texts::planePanelTexts();
    const gui::Style heading{t.headingPt, false, false, t.headingFamily};
    const gui::Style big{kHeadingPt};
    std::vector<Control> rows{
        {.name = "Label53",
         .kind = Kind::Label,
         .rect = {2640, 360, 5040, 405},
         .text = t.title,
         .font = {18, false, false, t.titleFamily},
         .fore = colours::blue,
         .align = Align::Centre},
        {.name = "Label25",
         .kind = Kind::Label,
         .rect = {1560, 960, 1650, 345},
         .text = t.primary,
         .font = heading,
         .fore = colours::blue,
         .align = Align::Centre},
        {.name = "Label27",
         .kind = Kind::Label,
         .rect = {1800, 960, 1320, 345},
         .text = t.total,
         .font = heading,
         .fore = colours::blue,
         .align = Align::Centre},
        {.name = "Label34",
         .kind = Kind::Label,
         .rect = {4320, 960, 1890, 345},
         .text = t.chestWall,
         .font = heading,
         .fore = colours::black,
         .align = Align::Centre},
        {.name = "Label26",
         .kind = Kind::Label,
         .rect = {7245, 960, 1800, 345},
         .text = t.scatter,
         .font = heading,
         .fore = colours::blue,
         .align = Align::Centre},
        {.name = "Picture3",
         .kind = Kind::Picture,
         .rect = {720, 1320, 9135, 9135},
         .back = colours::mapGrey,
         .border = true},
        // Scales of the map.
        {.name = "Label42", .kind = Kind::Label, .rect = {480, 1320}, .text = t.yScale[0], .font = big},
        {.name = "Label1", .kind = Kind::Label, .rect = {360, 4200}, .text = t.yScale[1], .font = big},
        {.name = "Label2", .kind = Kind::Label, .rect = {360, 7200}, .text = t.yScale[2], .font = big},
        {.name = "Label3", .kind = Kind::Label, .rect = {360, 10200}, .text = t.yScale[3], .font = big},
        {.name = "Label28", .kind = Kind::Label, .rect = {240, 5160}, .text = t.yScale[4], .font = big},
        {.name = "Label8", .kind = Kind::Label, .rect = {240, 5520}, .text = t.yScale[5]},
        {.name = "Label4", .kind = Kind::Label, .rect = {2160, 10560}, .text = t.xScale[0], .font = big},
        {.name = "Label23", .kind = Kind::Label, .rect = {3360, 10560}, .text = t.xScale[1], .font = big},
        {.name = "Label5", .kind = Kind::Label, .rect = {5160, 10560}, .text = t.xScale[2], .font = big},
        {.name = "Label29", .kind = Kind::Label, .rect = {8040, 10560}, .text = t.xScale[3], .font = big},
        // Display form.
        {.name = "Frame1",
         .kind = Kind::Frame,
         .rect = {10680, 480, 5295, 1575},
         .text = t.displayForm,
         .font = big,
         .fore = colours::blue},
        {.name = "Option1",
         .kind = Kind::Option,
         .rect = {240, 480, 4815, 315},
         .text = t.separate,
         .font = {t.optionPt},
         .parent = "Frame1"},
        {.name = "Option2",
         .kind = Kind::Option,
         .rect = {240, 960, 4215, 315},
         .text = t.totalOption,
         .font = {t.optionPt},
         .parent = "Frame1"},
        // Legend.
        {.name = "Picture7",
         .kind = Kind::Picture,
         .rect = {10080, 4800, 1455, 4095},
         .back = colours::white,
         .border = true},
        {.name = "Label24",
         .kind = Kind::Label,
         .rect = {11040, 9120},
         .text = texts::doseLegendTexts().percent,
         .font = big},
        // What the 100 % dose is.
        {.name = "Label40",
         .kind = Kind::Label,
         .rect = {11880, 6840, 4695, 3015},
         .back = colours::buttonCyan,
         .border = true},
        {.name = "Picture8", .kind = Kind::Picture, .rect = {11640, 6360, 480, 480}},
        {.name = "Label30",
         .kind = Kind::Label,
         .rect = {12360, 7200},
         .text = p.hundredDose,
         .font = heading},
        {.name = "Label36", .kind = Kind::Label, .rect = {12480, 7680}, .text = p.equals, .font = big},
        {.name = "Text1",
         .kind = Kind::TextBox,
         .rect = {12840, 7680, 1335, 375},
         .font = big,
         .back = colours::white,
         .align = Align::Centre},
        {.name = "Label31", .kind = Kind::Label, .rect = {14280, 7680}, .text = p.mGy, .font = big},
        {.name = "Text8",
         .kind = Kind::TextBox,
         .rect = {t.fcdLeft, t.fcdTop, 1095, 375},
         .font = big,
         .back = colours::buttonCyan,
         .align = Align::Centre},
        {.name = "Command4",
         .kind = Kind::Button,
         .rect = {13920, 10440, 1335, 615},
         .text = p.close,
         .font = big,
         .back = colours::buttonYellow},
    };
    // Read-out of the voxel under the pointer.
    planes::appendReadOutPanel(rows, {.left = 11880,
                                      .top = 2640,
                                      .headingTop = 360,
                                      .componentsInset = 570,
                                      .componentsWidth = 3210,
                                      .cmName = "Label55"});
    for (const texts::PlacedText& n : t.note)
        rows.push_back({.name = n.name, .kind = Kind::Label, .rect = {n.left, n.top}, .text = n.text});
    return rows;
}

} // namespace

XYPlaneScreen::XYPlaneScreen(const ResultsSession& session)
    : Form({.name = "Form6",
            .caption = texts::xyPlaneTexts().caption,
            .width = 16980,
            .height = 11790,
            .font = {14.25}},
           form6Controls()),
      session_(session), c_(bind()),
      readOut_(std::make_unique<planes::ReadOut>(planes::bindReadOut(*this, "Text3"))),
      numbers_(std::make_unique<planes::NumberBoxes>(planes::bindNumberBoxes(*this))) {
    gui::Canvas* map = c_.map;
    map->setScale(planes::kMapLeft, planes::kMapTop, planes::kMapWidth, planes::kMapWidth);
    planes::addFixedDrawing(*map,
                            {.lastHorizontal = 560, .verticalTop = 0, .bottom = kMapBottom, .axisWidth = 2});
    map->addShape(QStringLiteral("Shape1"), gui::ShapeKind::Circle, -4, 238, 8, 8, Qt::black);
    c_.row = planes::addCrossHair(*map, "Line46", true, kMapBottom);
    c_.column = planes::addCrossHair(*map, "Line50", false, kMapBottom);
    c_.mirror = planes::addCrossHair(*map, "Line49", false, kMapBottom);
    connect(map, &gui::Canvas::mouseMoved, this,
            [this](double x, double y, Qt::MouseButtons) { pointerMoved(x, y); });

    planes::drawIcon(*c_.icon);
    addDoseLegendLabels(*c_.legend);
    DrawDoseLegend(*c_.legend);

    c_.separate->setChecked(true);
    c_.totalHeading->hide();
    planes::makeBoxesReadOnly(*readOut_, *numbers_, c_.depth);
    connect(c_.separate, &QRadioButton::clicked, this, [this] { chooseSeparate(); });
    connect(c_.total, &QRadioButton::clicked, this, [this] { chooseTotal(); });
    onClick(c_.close, [this] { hide(); });
    const auto& ex = texts::resultsExtrasTexts();
    auto* e = new PictureExport(*map, session_, QStringLiteral("xy-plane"), [this] {
        return voxelRows(session_.shown, VoxelSet::xyPlane(session_.shown.SelectedZIndex));
    });
    e->setReportFrame({
        .title =
            [this] {
                return pictureTitle(session_, texts::resultsExtrasTexts().pictureXY,
                                    c_.depth->text().toStdString(), c_.separate->isChecked());
            },
        .horizontal = ReportAxis{gui::qs(ex.axisX), 0, kMapUnitsPerCm, -7.5, 7.5},
        .vertical = ReportAxis{gui::qs(ex.axisY), 0, kMapUnitsPerCm, 0, 15},
        .legend = c_.legend,
        .cursor = {c_.row, c_.mirror, c_.column},
    });
}

XYPlaneScreen::~XYPlaneScreen() = default;

XYPlaneScreen::Controls XYPlaneScreen::bind() const {
    return {.map = picture("Picture3"),
            .legend = picture("Picture7"),
            .separate = option("Option1"),
            .total = option("Option2"),
            .primaryHeading = label("Label25"),
            .scatterHeading = label("Label26"),
            .totalHeading = label("Label27"),
            .depth = textBox("Text4"),
            .icon = picture("Picture8"),
            .close = button("Command4")};
}

void XYPlaneScreen::showNumbers(std::string_view referenceDose, std::string_view fcd) {
    numbers_->referenceDose->setText(gui::qs(referenceDose));
    numbers_->fcd->setText(gui::qs(fcd));
}

void XYPlaneScreen::showDepth(std::string_view depth) {
    c_.depth->setText(gui::qs(depth));
}

void XYPlaneScreen::prepareToShow(std::string_view referenceDose) {
    numbers_->referenceDose->setText(gui::qs(referenceDose));
    offMap();
}

void XYPlaneScreen::DrawXYPlaneSeparate() {
    const DoseModel& m = session_.shown;
    planes::paintMirrored(*c_.map, planes::Slice::layer(m, m.SelectedZIndex), Primary, Scatter,
                          planes::kXYSeparateCells);
}

void XYPlaneScreen::DrawXYPlaneTotal() {
    const DoseModel& m = session_.shown;
    planes::paintMirrored(*c_.map, planes::Slice::layer(m, m.SelectedZIndex), Total, Total,
                          planes::kXYTotalCells);
}

void XYPlaneScreen::chooseSeparate() {
    c_.separate->setChecked(true);
    c_.primaryHeading->show();
    c_.scatterHeading->show();
    c_.totalHeading->hide();
    DrawXYPlaneSeparate();
}

void XYPlaneScreen::chooseTotal() {
    c_.total->setChecked(true);
    c_.primaryHeading->hide();
    c_.scatterHeading->hide();
    c_.totalHeading->show();
    DrawXYPlaneTotal();
}

void XYPlaneScreen::redrawForNewModel() {
    offMap();
    if (c_.total->isChecked())
        chooseTotal();
    else
        chooseSeparate();
}

void XYPlaneScreen::pointerMoved(double x, double y) {
    const DoseModel& m = session_.shown;
    const planes::Slice slice = planes::Slice::layer(m, m.SelectedZIndex);
    const auto voxel = planes::voxelAt(slice, x, y);
    if (!voxel) {
        offMap();
        return;
    }
    c_.row->setY(y);
    c_.mirror->setX(-x - 1);
    c_.column->setX(x);
    c_.row->show();
    // In the total display the mirror line keeps whatever it showed.
    if (c_.separate->isChecked()) c_.mirror->show();
    c_.column->show();
    planes::showReadOut(*readOut_, slice, *voxel, x, y, session_.voxelSigma);
}

void XYPlaneScreen::offMap() {
    for (gui::LineItem* l : {c_.row, c_.mirror, c_.column})
        l->hide();
    planes::emptyReadOut(*readOut_);
}

} // namespace kv::results
