#include "kv/workbench/results/ui/xz_plane_screen.h"

#include "kv/gui/qtext.h"
#include "kv/results/dose_tables.h"
#include "kv/texts/results_extras.h"
#include "kv/texts/results_screen.h"
#include "kv/texts/xz_plane.h"
#include "kv/workbench/results/ui/dose_colour.h"
#include "kv/workbench/results/ui/picture_export.h"
#include "plane_map.h"

#include <QLineEdit>
#include <vector>

namespace kv::results {

namespace {

using gui::Align;
using gui::Control;
using gui::Kind;
namespace colours = gui::colours;

constexpr double kHeadingPt = 15.75;
constexpr double kMapHeight = 245;
constexpr int kMapBottom = 241;

std::vector<Control> form7Controls() {
    const auto& t = texts::xzPlaneTexts();
    const auto& p = texts::planePanelTexts();
    const gui::Style big{kHeadingPt};
    const int drop = t.panelDrop;
    const int legend = t.legendDrop;
    std::vector<Control> rows{
        {.name = "Label34",
         .kind = Kind::Label,
         .rect = {2880, 120, 5010, 405},
         .text = t.title,
         .font = {18, false, false, t.titleFamily},
         .fore = colours::blue,
         .align = Align::Centre},
        {.name = "Label3",
         .kind = Kind::Label,
         .rect = {2400, 720, 1635, 345},
         .text = t.primary,
         .font = big,
         .fore = colours::blue,
         .align = Align::Centre},
        {.name = "Label4",
         .kind = Kind::Label,
         .rect = {6480, 720, 1785, 345},
         .text = t.scatter,
         .font = big,
         .fore = colours::blue,
         .align = Align::Centre},
        {.name = "Picture3",
         .kind = Kind::Picture,
         .rect = {960, 1080, 9135, 3735},
         .back = colours::mapGrey,
         .border = true},
        // Wider than drawn (3600, 3825) about the same centre: the caption needs it.
        {.name = "Label5",
         .kind = Kind::Label,
         .rect = {3105, 4920, 4815, 345},
         .text = t.both,
         .font = big,
         .fore = colours::blue,
         .align = Align::Centre},
        {.name = "Picture4",
         .kind = Kind::Picture,
         .rect = {960, 5400, 9135, 3735},
         .back = colours::mapGrey,
         .border = true},
        // Depth scales of both maps and the X scale under the lower one.
        {.name = "Label42", .kind = Kind::Label, .rect = {720, 1140}, .text = t.depthScale[0], .font = big},
        {.name = "Label43", .kind = Kind::Label, .rect = {720, 2280}, .text = t.depthScale[1], .font = big},
        {.name = "Label44", .kind = Kind::Label, .rect = {720, 3480}, .text = t.depthScale[2], .font = big},
        {.name = "Label46", .kind = Kind::Label, .rect = {720, 4560}, .text = t.depthScale[3], .font = big},
        {.name = "Label28", .kind = Kind::Label, .rect = {360, 2640}, .text = t.depthScale[4], .font = big},
        {.name = "Label8", .kind = Kind::Label, .rect = {240, 3000}, .text = t.depthScale[5]},
        {.name = "Label49", .kind = Kind::Label, .rect = {720, 5400}, .text = t.depthScale[0], .font = big},
        {.name = "Label50", .kind = Kind::Label, .rect = {720, 6600}, .text = t.depthScale[1], .font = big},
        {.name = "Label51", .kind = Kind::Label, .rect = {720, 7800}, .text = t.depthScale[2], .font = big},
        {.name = "Label52", .kind = Kind::Label, .rect = {720, 8880}, .text = t.depthScale[3], .font = big},
        {.name = "Label29", .kind = Kind::Label, .rect = {360, 6960}, .text = t.depthScale[4], .font = big},
        {.name = "Label13", .kind = Kind::Label, .rect = {240, 7440}, .text = t.depthScale[5]},
        {.name = "Label6", .kind = Kind::Label, .rect = {2400, 9240}, .text = t.xScale[0], .font = big},
        {.name = "Label7", .kind = Kind::Label, .rect = {3120, 9240}, .text = t.xScale[1], .font = big},
        {.name = "Label1", .kind = Kind::Label, .rect = {5400, 9240}, .text = t.xScale[2], .font = big},
        {.name = "Label2", .kind = Kind::Label, .rect = {8400, 9240}, .text = t.xScale[3], .font = big},
        // Legend.
        {.name = "Picture7",
         .kind = Kind::Picture,
         .rect = {10440, 3120 + legend, 1455, 4095},
         .back = colours::white,
         .border = true},
        {.name = "Label24",
         .kind = Kind::Label,
         .rect = {11280, 7440 + legend},
         .text = texts::doseLegendTexts().percent,
         .font = big},
        // What the 100 % dose is.
        {.name = "Picture8", .kind = Kind::Picture, .rect = {12120, 3840 + drop, 480, 480}},
        {.name = "Label40",
         .kind = Kind::Label,
         .rect = {12360, 4320 + drop, 4695, 3135},
         .back = colours::buttonCyan,
         .border = true},
        {.name = "Label30",
         .kind = Kind::Label,
         .rect = {12960, 4560 + drop},
         .text = p.hundredDose,
         .font = big},
        {.name = "Label36", .kind = Kind::Label, .rect = {13080, 5160 + drop}, .text = p.equals, .font = big},
        {.name = "Text1",
         .kind = Kind::TextBox,
         .rect = {13440, 5040 + drop, 1335, 375},
         .font = big,
         .back = colours::white,
         .align = Align::Centre},
        {.name = "Label31", .kind = Kind::Label, .rect = {14880, 5040 + drop}, .text = p.mGy, .font = big},
        {.name = "Text8",
         .kind = Kind::TextBox,
         .rect = {t.fcdLeft, t.fcdTop, 1095, 375},
         .font = big,
         .back = colours::buttonCyan,
         .align = Align::Centre},
        {.name = "Command1",
         .kind = Kind::Button,
         .rect = {14400, 7800 + drop, 1335, 615},
         .text = p.close,
         .font = big,
         .back = colours::buttonYellow},
    };
    // Read-out of the voxel under the pointer.
    planes::appendReadOutPanel(rows, {.left = 12360,
                                      .top = 720 + drop,
                                      .headingTop = 240,
                                      .componentsInset = 600,
                                      .componentsWidth = 3225,
                                      .cmName = "Label53"});
    for (const texts::PlacedText& n : t.note)
        rows.push_back({.name = n.name, .kind = Kind::Label, .rect = {n.left, n.top}, .text = n.text});
    return rows;
}

} // namespace

XZPlaneScreen::XZPlaneScreen(const ResultsSession& session)
    : Form({.name = "Form7",
            .caption = texts::xzPlaneTexts().caption,
            .width = 17370,
            .height = 9975,
            .font = {14.25}},
           form7Controls()),
      session_(session), c_(bind()),
      readOut_(std::make_unique<planes::ReadOut>(planes::bindReadOut(*this, "Text4"))),
      numbers_(std::make_unique<planes::NumberBoxes>(planes::bindNumberBoxes(*this))) {
    gui::Canvas* upper = c_.separate;
    gui::Canvas* lower = c_.total;
    for (gui::Canvas* map : {upper, lower}) {
        map->setScale(planes::kMapLeft, planes::kMapTop, planes::kMapWidth, kMapHeight);
        planes::addFixedDrawing(*map, {.lastHorizontal = 200,
                                       .verticalTop = 1,
                                       .bottom = kMapBottom,
                                       .axisWidth = map == upper ? 2 : 1});
        connect(map, &gui::Canvas::mouseMoved, this,
                [this](double x, double y, Qt::MouseButtons) { pointerMoved(x, y); });
    }
    c_.upperRow = planes::addCrossHair(*upper, "Line46", true, kMapBottom);
    c_.upperColumn = planes::addCrossHair(*upper, "Line50", false, kMapBottom);
    c_.upperMirror = planes::addCrossHair(*upper, "Line49", false, kMapBottom);
    c_.lowerRow = planes::addCrossHair(*lower, "Line47", true, kMapBottom);
    c_.lowerColumn = planes::addCrossHair(*lower, "Line48", false, kMapBottom);

    planes::drawIcon(*c_.icon);
    addDoseLegendLabels(*c_.legend, kXZLegendTops);
    DrawDoseLegend(*c_.legend);

    planes::makeBoxesReadOnly(*readOut_, *numbers_, c_.sliceY);
    onClick(c_.close, [this] { hide(); });
    const auto& ex = texts::resultsExtrasTexts();
    for (gui::Canvas* map : {upper, lower}) {
        auto* e = new PictureExport(*map, session_, QStringLiteral("xz-plane"), [this] {
            return voxelRows(session_.shown, VoxelSet::xzPlane(session_.shown.SelectedYIndex));
        });
        e->setReportFrame({
            .title =
                [this, separate = map == upper] {
                    return pictureTitle(session_, texts::resultsExtrasTexts().pictureXZ,
                                        c_.sliceY->text().toStdString(), separate);
                },
            .horizontal = ReportAxis{gui::qs(ex.axisX), 0, kMapUnitsPerCm, -7.5, 7.5},
            .vertical = ReportAxis{gui::qs(ex.axisZ), 0, kMapUnitsPerCm, 0, 6},
            .legend = c_.legend,
            .cursor = map == upper
                          ? std::vector<gui::Decoration*>{c_.upperRow, c_.upperColumn, c_.upperMirror}
                          : std::vector<gui::Decoration*>{c_.lowerRow, c_.lowerColumn},
        });
    }
}

XZPlaneScreen::~XZPlaneScreen() = default;

XZPlaneScreen::Controls XZPlaneScreen::bind() const {
    return {.separate = picture("Picture3"),
            .total = picture("Picture4"),
            .legend = picture("Picture7"),
            .sliceY = textBox("Text3"),
            .icon = picture("Picture8"),
            .close = button("Command1")};
}

void XZPlaneScreen::showNumbers(std::string_view referenceDose, std::string_view fcd) {
    numbers_->referenceDose->setText(gui::qs(referenceDose));
    numbers_->fcd->setText(gui::qs(fcd));
}

void XZPlaneScreen::showSliceY(std::string_view sliceY) {
    c_.sliceY->setText(gui::qs(sliceY));
}

void XZPlaneScreen::DrawXZPlaneSeparate(std::string_view sliceY) {
    const DoseModel& m = session_.shown;
    planes::paintMirrored(*c_.separate, planes::Slice::row(m, m.SelectedYIndex), Primary, Scatter,
                          planes::kXZSeparateCells);
    c_.sliceY->setText(gui::qs(sliceY));
    planes::emptyReadOut(*readOut_);
}

void XZPlaneScreen::DrawXZPlaneTotal() {
    const DoseModel& m = session_.shown;
    planes::paintMirrored(*c_.total, planes::Slice::row(m, m.SelectedYIndex), Total, Total,
                          planes::kXZTotalCells);
}

void XZPlaneScreen::redrawForNewModel(std::string_view sliceY) {
    offMap();
    DrawXZPlaneSeparate(sliceY);
    DrawXZPlaneTotal();
}

void XZPlaneScreen::pointerMoved(double x, double y) {
    const DoseModel& m = session_.shown;
    const planes::Slice slice = planes::Slice::row(m, m.SelectedYIndex);
    const auto voxel = planes::voxelAt(slice, x, y);
    if (!voxel) {
        offMap();
        return;
    }
    c_.upperRow->setY(y);
    c_.lowerRow->setY(y);
    c_.upperMirror->setX(-x - 1);
    c_.upperColumn->setX(x);
    c_.lowerColumn->setX(x);
    for (gui::LineItem* l : {c_.upperRow, c_.lowerRow, c_.lowerColumn, c_.upperMirror, c_.upperColumn})
        l->show();
    planes::showReadOut(*readOut_, slice, *voxel, x, y, session_.voxelSigma);
}

void XZPlaneScreen::offMap() {
    for (gui::LineItem* l : {c_.upperRow, c_.lowerRow, c_.lowerColumn, c_.upperMirror, c_.upperColumn})
        l->hide();
    planes::emptyReadOut(*readOut_);
}

} // namespace kv::results
