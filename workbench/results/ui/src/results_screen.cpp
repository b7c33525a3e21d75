#include "kv/workbench/results/ui/results_screen.h"

#include "kv/common/format.h"
#include "kv/common/typed_number.h"
#include "kv/formats/trailer_keys.h"
#include "kv/gui/file_list.h"
#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/gui/qtext.h"
#include "kv/results/dose_tables.h"
#include "kv/texts/results_extras.h"
#include "kv/texts/results_model.h"
#include "kv/texts/results_screen.h"
#include "kv/workbench/results/ui/dose_colour.h"
#include "kv/workbench/results/ui/drawings.h"
#include "kv/workbench/results/ui/picture_export.h"
#include "plane_map.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <algorithm>
#include <cmath>

namespace kv::results {

using namespace gui;

namespace {

constexpr Colour kCyan{192, 255, 255};
constexpr Colour kBand{192, 192, 192};
constexpr Colour kLegendWhite{255, 255, 255};

// Map positions of the markers after a load: Y = 8.0 cm, the top layer.
constexpr double kLoadedMarkerX = -320;
constexpr double kLoadedMarkerY = 1;
// What a pick may reach: Y 0 to 15 cm, Z 0 to 6 cm.
constexpr double kPickLeft = -600, kPickBottom = 240;
constexpr double kUnitsPerCm = 40;

// Whole millimetres in a length of cm; the small allowance keeps a pointer
// exactly on a voxel edge from falling one voxel short through rounding.
int wholeMillimetres(double cm) {
    return static_cast<int>(std::floor(cm * 10 + 1e-9));
}

// The layout as drawn is 1308 px wide, more than a 1280 px desktop: everything
// right of the separator moves left as one block, the separator half as far,
// so no control changes its place towards its neighbours and the window fits.
constexpr int kSeparatorX = 4920;
constexpr int kBlockShift = 480;
constexpr int kSeparatorShift = 240;
constexpr int kClientWidth = 19620 - kBlockShift - 180;

std::vector<Control> shiftedIntoView(std::vector<Control> rows) {
    for (Control& c : rows) {
        if (!c.parent.empty()) continue;
        if (c.name == "Line1") {
            c.rect.left -= kSeparatorShift;
            c.rect.width -= kSeparatorShift; // a line's rectangle holds both ends
        } else if (c.rect.left >= kSeparatorX) {
            c.rect.left -= kBlockShift;
        }
    }
    return rows;
}

std::vector<Control> table() {
    const auto& t = texts::resultsScreenTexts();
    const auto& ex = texts::resultsExtrasTexts();
    const Style note{11.25, false, false, kSerif};
    const Style agdFont{12};
    const Style small{14.25};
    const Style number{14.25, false, false, kSerif};
    auto label = [](std::string_view name, int x, int y, std::string_view text,
                    std::optional<Colour> fore = {}, Style font = {}) {
        return Control{
            .name = name, .kind = Kind::Label, .rect = {x, y}, .text = text, .font = font, .fore = fore};
    };
    auto box = [&](std::string_view name, Twips r, std::optional<Colour> back = {}, Style font = {}) {
        return Control{.name = name,
                       .kind = Kind::TextBox,
                       .rect = r,
                       .font = font.pt ? font : number,
                       .back = back,
                       .align = Align::Centre};
    };
    auto button = [](std::string_view name, Twips r, std::string_view text) {
        return Control{
            .name = name, .kind = Kind::Button, .rect = r, .text = text, .back = colours::buttonYellow};
    };
    auto panel = [](std::string_view name, Twips r) {
        return Control{.name = name, .kind = Kind::Label, .rect = r, .back = kCyan, .border = true};
    };
    const int row = t.fcdRowTop;
    return shiftedIntoView({
        label("Label1", 480, 120 - t.headingRaise, t.selectFile, colours::blue),
        {.name = "File1",
         .kind = Kind::FileList,
         .rect = {240, 480, 4335, 2655},
         .text = "*.vesk",
         .font = {12}},
        label("Label2", 360, 3240 - t.headingRaise, t.property, colours::blue),
        {.name = "Picture2",
         .kind = Kind::Picture,
         .rect = {240, 3600, 4335, 7095},
         .font = {14.25, false, false, kSerif},
         .back = kCyan,
         .border = true},
        button("Command6", {480, 10800, 1695, 615}, t.ok),
        button("Command2", {2400, 10800, 1695, 615}, t.clear),
        {.name = "Line1",
         .kind = Kind::Line,
         .rect = {4920, 240, 4920, 11520},
         .fore = colours::grey,
         .lineWidth = 2},

        {.name = "Label33",
         .kind = Kind::Label,
         .rect = {7680, 120, 5205, 435},
         .text = t.mapTitle,
         .fore = colours::blue,
         .align = Align::Centre},
        {.name = "Picture1",
         .kind = Kind::Picture,
         .rect = {6480, 720, 9135, 3735},
         .back = colours::mapGrey,
         .border = true},
        label("Label7", 6240, 600, t.depthTicks[0]),
        label("Label8", 6240, 1920, t.depthTicks[1]),
        label("Label13", 6240, 3120, t.depthTicks[2]),
        label("Label45", 6240, 4200, t.depthTicks[3]),
        label("Label43", 6000, 1200, t.zAxis),
        label("Label39", 9360, 4440, t.yTicks[0]),
        label("Label38", 12480, 4440, t.yTicks[1]),
        label("Label6", 15480, 4440, t.yTicks[2]),
        label("Label42", 6720, 4560, t.yAxis),
        label("Label26", 15840, 1800, t.chestWall[0]),
        label("Label27", 15840, 2160, t.chestWall[1]),
        label("Label28", 15840, 2520, t.chestWall[2]),
        {.name = "Picture7",
         .kind = Kind::Picture,
         .rect = {17280, 600, 1455, 4095},
         .back = kLegendWhite,
         .border = true},
        label("Label24", 18840, 4320, texts::doseLegendTexts().percent),

        label("Label29", 8640, 5160, t.readoutY),
        box("Text5", {9120, 5160, 855, 375}),
        label("Label21", 10200, 5160, t.readoutZ),
        box("Text2", {10680, 5160, 855, 375}),
        label("Label22", 11640, 5160, t.cm),
        box("Text6", {12240, 5160, 1215, 375}),
        label("Label34", 13560, 5160, t.percent),

        {.name = "Picture5",
         .kind = Kind::Picture,
         .rect = {5280, 6240, 4695, 5055},
         .font = {12},
         .back = colours::white,
         .border = true},

        panel("Label41", {10200, 6240, 3855, 1455}),
        label("Label25", 10440, 6330, t.presentPosition, colours::blue),
        label("Label37", 11460, 6720, t.positionY, {}, small),
        label("Label16", 12540, 6720, t.positionZ, {}, small),
        box("Text3", {11040, 7080, 975, 375}, colours::buttonYellow),
        box("Text4", {12120, 7080, 975, 375}, colours::buttonYellow),
        label("Label53", 13200, 7110, t.cm, {}, small),

        {.name = "Picture6", .kind = Kind::Picture, .rect = {10080, 8040, 480, 480}},
        label("Label4", 10680, 8040, t.hint[0], colours::blue, small),
        label("Label5", 10680, 8400, t.hint[1], colours::blue, small),
        label("Label23", 10680, 8760, t.hint[2], colours::blue, small),
        label("Label54", 10680, 9120, t.hint[3], colours::blue, small),
        button("Command1", {10920, 9840, 3135, 615}, t.xzButton),
        button("Command5", {10920, 10680, 3135, 615}, t.xyButton),
        button("Command3", {14640, 10680, 3135, 615}, t.pddButton),
        {.name = "Command4",
         .kind = Kind::Button,
         .rect = {18600, 10680, 615, 615},
         .back = colours::buttonYellow,
         .tip = t.backTip},

        panel("Label40", {14640, 6240, 4575, 2295}),
        label("Label30", 14760, 6630, t.hundredDose),
        box("Text1", {16920, 6600, 1335, 375}, colours::white, {15.75, false, false, kSerif}),
        label("Label31", 18360, 6630, t.mGy),
        label("Label46", 14880, 7260, t.agdHeading, colours::blue),
        label("Label48", 15600, 7830, t.sagd),
        box("Text8", {16920, 7800, 1335, 375}, colours::white, {15.75, false, false, kSerif}),
        label("Label49", 18360, 7830, t.mGy),

        panel("Label44", {14640, 8520, 4575, 1935}),
        label("Label47", 14760, 8640, t.noteAbove[0], {}, small),
        label("Label35", 14760, 9120, t.noteAbove[1], {}, small),
        label("Label36", 14760, row + 30, t.fcdBefore, {}, small),
        box("Text7", {t.fcdBoxLeft, row, 1095, 375}, kCyan),
        label("Label32", t.fcdBoxLeft + 1155, row + 30, t.fcdUnit, {}, small),
        label("Label50", t.fcdBoxLeft + 1155, row + 30, t.fcdTail, {}, small),
        label("Label51", 14760, row + 450, t.noteBelow[0], {}, small),
        label("Label52", 14760, row + 810, t.noteBelow[1], {}, small),

        // Additions in free space: the uncertainties the file states, under
        // their values, and the AGD for a measured air kerma above the panels.
        {.name = "Label61",
         .kind = Kind::Label,
         .rect = {16920, 6990, 1335, 225},
         .font = note,
         .align = Align::Centre,
         .tip = ex.uncertaintyTip},
        {.name = "Label62",
         .kind = Kind::Label,
         .rect = {16920, 8190, 1335, 225},
         .font = note,
         .align = Align::Centre,
         .tip = ex.uncertaintyTip},
        // Under the read-out, the voxel's own uncertainty where the result's side file gives it.
        {.name = "Label63",
         .kind = Kind::Label,
         .rect = {12240, 5550, 1215, 225},
         .font = note,
         .align = Align::Centre,
         .tip = ex.voxelSigmaTip},
        // Under the pointer's position, the voxel whose dose the read-out shows.
        {.name = "Label66",
         .kind = Kind::Label,
         .rect = {8640, 5550, 3480, 225},
         .font = note,
         .align = Align::Centre},
        panel("Label55", {14640, 4740, 4575, 1440}),
        label("Label56", 14760, 4860, ex.kaLabel, {}, agdFont),
        {.name = "Text9",
         .kind = Kind::TextBox,
         .rect = {16920, 4830, 1335, 375},
         .font = number,
         .back = colours::white,
         .align = Align::Centre,
         .tip = ex.kaTip},
        label("Label57", 18360, 4860, t.mGy, {}, agdFont),
        label("Label58", 14760, 5340, ex.agdLabel, {}, agdFont),
        {.name = "Text10",
         .kind = Kind::TextBox,
         .rect = {16920, 5310, 1335, 375},
         .font = number,
         .back = kCyan,
         .align = Align::Centre,
         .tip = ex.agdTip},
        label("Label59", 18360, 5340, t.mGy, {}, agdFont),
        {.name = "Label60",
         .kind = Kind::Label,
         .rect = {16920, 5730, 1335, 225},
         .font = note,
         .align = Align::Centre,
         .tip = ex.uncertaintyTip},
        // Left of the pointer read-out: a pick beyond the phantom says which plane is shown.
        {.name = "Label65",
         .kind = Kind::Label,
         .rect = {5280, 5130, 3240, 930},
         .font = note,
         .fore = colours::red},
        // Where Ka was measured, and the factor that turns it into the sAGD's own, under Ka.
        {.name = "Label64",
         .kind = Kind::Label,
         .rect = {14760, 5715, 2130, 300},
         .font = note,
         .tip = ex.kaPointTip},
    });
}

std::string textOf(const QLineEdit* box) {
    return box->text().toStdString();
}
void put(QLineEdit* box, std::string_view utf8) {
    box->setText(qs(utf8));
}
void put(QLabel* label, std::string_view utf8) {
    label->setText(qs(utf8));
}

// Puts a label just left of a box, on the label's own line.
void rightAlignBefore(QWidget* label, const QWidget* box) {
    label->move(box->x() - label->width() - 4, label->y());
}
void placeAfter(QWidget* label, const QWidget* before) {
    label->move(before->x() + before->width() + 4, label->y());
}

} // namespace

void paintYZPlane(Canvas& map, const DoseModel& m) {
    map.setScale(kMapLeft, kMapTop, kMapWidth, kMapHeight);
    map.clear();
    const int countY = std::min(m.GridCountY, kMaxCountY);
    const int countZ = std::min(m.GridCountZ, kExtentZ - 1);
    for (int iz = 1; iz <= countZ; ++iz)
        for (int iy = 1; iy <= countY; ++iy)
            map.fillBox(-(4.0 * (iy - 1) + 1), 4.0 * (iz - 1) + 1, -4.0 * iy, 4.0 * iz,
                        DoseLevelColour(m.DoseGrid(Total, 1, iy, iz)));
}

// The AGD panel's context menu says where Ka was measured; the Ka box keeps its own edit menu above it.
void ResultsScreen::makeKaMenus() {
    const auto& ex = texts::resultsExtrasTexts();
    auto* points = new QActionGroup(this);
    const std::array<std::pair<const char*, texts::Text>, 3> kinds = {std::pair{"KaAtFcd", ex.kaAtFcd},
                                                                      {"KaAtFcdPaddle", ex.kaAtFcdPaddle},
                                                                      {"KaAtSurface", ex.kaAtSurface}};
    for (size_t i = 0; i < kinds.size(); ++i) {
        QAction* a = points->addAction(qs(kinds[i].second));
        a->setObjectName(kinds[i].first);
        a->setCheckable(true);
        const KaPoint p = static_cast<KaPoint>(i);
        connect(a, &QAction::triggered, this, [this, p] { setKaPoint(p); });
        kaActions_[i] = a;
    }
    surfaceSeparator_ = new QAction(this);
    surfaceSeparator_->setSeparator(true);
    auto* distances = new QActionGroup(this);
    const std::array<std::pair<const char*, texts::Text>, kSurfaceDistancesMm.size()> where = {
        std::pair{"SurfaceAt60mm", ex.surfaceAt60mm},
        {"SurfaceAt40mm", ex.surfaceAt40mm},
        {"SurfaceAtEdge", ex.surfaceAtEdge}};
    for (size_t i = 0; i < where.size(); ++i) {
        QAction* a = distances->addAction(qs(where[i].second));
        a->setObjectName(where[i].first);
        a->setCheckable(true);
        const int mm = kSurfaceDistancesMm[i];
        connect(a, &QAction::triggered, this, [this, mm] { setSurfaceDistance(mm); });
        surfaceActions_[i] = a;
    }
    for (QWidget* w : std::initializer_list<QWidget*>{c_.agdPanel, c_.kaLabel, c_.kaUnit, c_.agdLabel,
                                                      c_.agdUnit, c_.agdSigma, c_.kaPoint, c_.agd}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this, [this, w](const QPoint& at) {
            QMenu menu;
            menu.addActions(kaMenuActions());
            menu.exec(w->mapToGlobal(at));
        });
    }
    QLineEdit* ka = c_.airKerma;
    ka->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ka, &QWidget::customContextMenuRequested, this, [this, ka](const QPoint& at) {
        std::unique_ptr<QMenu> menu(ka->createStandardContextMenu());
        menu->addSeparator();
        menu->addActions(kaMenuActions());
        menu->exec(ka->mapToGlobal(at));
    });
    showKaPoint();
}

// The map's margin bands, the centimetre grid and the two markers lie over the painted voxels, in
// this order; its picture export frames them with the axes in cm.
void ResultsScreen::drawMapOverlay() {
    const auto& ex = texts::resultsExtrasTexts();
    auto* yzExport = new PictureExport(*c_.map, session_, QStringLiteral("yz-plane"),
                                       [this] { return voxelRows(session_.shown, VoxelSet::yzPlane()); });

    Canvas* map = c_.map;
    map->setScale(kMapLeft, kMapTop, kMapWidth, kMapHeight);
    map->addShape(QStringLiteral("Shape1"), ShapeKind::Rectangle, -607, -7, 7, 252, kBand.qt())
        ->setFill(kBand.qt());
    map->addShape(QStringLiteral("Shape2"), ShapeKind::Rectangle, -607, -7, 612, 7, kBand.qt())
        ->setFill(kBand.qt());
    map->addLine(QStringLiteral("Line2"), -600, 1, -600, 241, Qt::black);
    int n = 3;
    for (int x = -560; x <= -40; x += 40)
        map->addLine(QStringLiteral("Line%1").arg(n++), x, 1, x, 241, colours::grey.qt());
    for (int y = 40; y <= 200; y += 40)
        map->addLine(QStringLiteral("Line%1").arg(n++), -600, y, 1, y, colours::grey.qt());
    c_.yMarker = map->addLine(QStringLiteral("Line45"), kLoadedMarkerX, 1, kLoadedMarkerX, 241, Qt::white, 2);
    c_.zMarker =
        map->addLine(QStringLiteral("Line51"), -599, kLoadedMarkerY, 1, kLoadedMarkerY, Qt::white, 2);
    // The chest wall at the map's right edge, Y growing to the left.
    yzExport->setReportFrame({
        .title = [this] { return pictureTitle(session_, texts::resultsExtrasTexts().pictureYZ); },
        .horizontal = ReportAxis{qs(ex.axisY), 0, -kMapUnitsPerCm, 0, 15},
        .vertical = ReportAxis{qs(ex.axisZ), 0, kMapUnitsPerCm, 0, 6},
        .legend = c_.legend,
        .cursor = {c_.yMarker, c_.zMarker},
    });
}

ResultsScreen::ResultsScreen(const QString& workDir, QWidget* parent)
    : Form({.name = "Form2",
            .caption = texts::resultsScreenTexts().caption,
            .width = kClientWidth,
            .height = 11670,
            .font = {15.75, false, false, texts::resultsScreenTexts().family}},
           table(), parent),
      c_(bind()), workDir_(workDir), form5_(std::make_unique<DepthDoseScreen>(session_)),
      planeScreens_(session_) {
    const auto& t = texts::resultsScreenTexts();
    c_.files->setDirectory(workDir_);
    c_.files->refresh();

    // Labels that lead into a box end just before it; units follow it.
    rightAlignBefore(c_.referenceDoseLabel, c_.referenceDose);
    rightAlignBefore(c_.sagdLabel, c_.sagd);
    rightAlignBefore(c_.fcdBefore, c_.fcd);
    rightAlignBefore(c_.kaLabel, c_.airKerma);
    rightAlignBefore(c_.agdLabel, c_.agd);
    placeAfter(c_.fcdUnit, c_.fcd);
    placeAfter(c_.fcdTail, c_.fcdUnit);
    for (QLineEdit* box : {c_.referenceDose, c_.pointerZ, c_.pickedY, c_.pickedZ, c_.pointerY, c_.pointerDose,
                           c_.fcd, c_.sagd, c_.agd})
        box->setReadOnly(true);
    session_.workDir = workDir_.toStdString();
    for (QWidget* w : std::initializer_list<QWidget*>{c_.sagd, c_.sagdLabel, c_.sagdUnit})
        w->setToolTip(qs(texts::resultsExtrasTexts().sagdUnitTip));
    connect(c_.airKerma, &QLineEdit::editingFinished, this, [this] { airKermaEntered(); });
    makeKaMenus();
    connect(c_.preview, &Canvas::mouseMoved, this,
            [this](double, double y, Qt::MouseButtons) { pointPreviewLine(y); });
    c_.preview->setToolTip(qs(texts::resultsExtrasTexts().previewTip));
    drawMapOverlay();

    connect(c_.map, &Canvas::mouseMoved, this,
            [this](double x, double y, Qt::MouseButtons) { readOut(x, y); });
    // The right button opens the picture's menu; it must not move the planes the picture shows.
    connect(c_.map, &Canvas::mousePressed, this, [this](double x, double y, Qt::MouseButton button) {
        if (button == Qt::LeftButton) pick(x, y);
    });
    c_.pickNote->setWordWrap(true);
    connect(c_.files, &QListWidget::itemSelectionChanged, this, [this] { preview(); });

    addDoseLegendLabels(*c_.legend);
    drawGeometrySketch(*c_.sketch, t.sketchFocus, t.sketchPlane,
                       {t.sketchAxes[0], t.sketchAxes[1], t.sketchAxes[2]});
    drawPointerIcon(*c_.hintIcon);
    c_.back->setIcon(backToMenuIcon());
    c_.back->setIconSize(QSize(32, 32));

    onClick(c_.ok, [this] { load(); });
    onClick(c_.clear, [this] { clear(); });
    onClick(c_.showXZ, [this] { showXZ(); });
    onClick(c_.showXY, [this] { showXY(); });
    onClick(c_.showDepthDose, [this] { showDepthDose(); });
    onClick(c_.back, [this] { back(); });

    // What the screen shows when it is first loaded.
    DrawDoseLegend(*c_.legend);
    for (QLineEdit* box : {c_.referenceDose, c_.pickedY, c_.pickedZ})
        box->clear();
    setResultControlsEnabled(false);
    c_.ok->setEnabled(false);
    c_.yMarker->hide();
    c_.zMarker->hide();
}

ResultsScreen::~ResultsScreen() = default;

// The markers are made with the map's grid, after the form's table: they are bound there.
ResultsScreen::Controls ResultsScreen::bind() const {
    return {.files = fileList("File1"),
            .preview = picture("Picture2"),
            .map = picture("Picture1"),
            .legend = picture("Picture7"),
            .sketch = picture("Picture5"),
            .hintIcon = picture("Picture6"),
            .ok = button("Command6"),
            .clear = button("Command2"),
            .showXZ = button("Command1"),
            .showXY = button("Command5"),
            .showDepthDose = button("Command3"),
            .back = button("Command4"),
            .pointerY = textBox("Text5"),
            .pointerZ = textBox("Text2"),
            .pointerDose = textBox("Text6"),
            .pickedY = textBox("Text3"),
            .pickedZ = textBox("Text4"),
            .referenceDose = textBox("Text1"),
            .fcd = textBox("Text7"),
            .sagd = textBox("Text8"),
            .airKerma = textBox("Text9"),
            .agd = textBox("Text10"),
            .voxelSigma = label("Label63"),
            .voxelSpan = label("Label66"),
            .pickNote = label("Label65"),
            .referenceSigma = label("Label61"),
            .sagdSigma = label("Label62"),
            .agdSigma = label("Label60"),
            .kaPoint = label("Label64"),
            .referenceDoseLabel = label("Label30"),
            .sagdLabel = label("Label48"),
            .sagdUnit = label("Label49"),
            .fcdBefore = label("Label36"),
            .fcdUnit = label("Label32"),
            .fcdTail = label("Label50"),
            .agdPanel = label("Label55"),
            .kaLabel = label("Label56"),
            .kaUnit = label("Label57"),
            .agdLabel = label("Label58"),
            .agdUnit = label("Label59")};
}

void ResultsScreen::setResultControlsEnabled(bool on) {
    for (QPushButton* b : {c_.showXZ, c_.showDepthDose, c_.showXY})
        b->setEnabled(on);
    c_.map->setEnabled(on);
}

void ResultsScreen::emptyReadOut() {
    for (QLineEdit* box : {c_.pointerZ, c_.pointerY, c_.pointerDose})
        box->clear();
    c_.voxelSigma->clear();
    c_.voxelSpan->clear();
    c_.voxelSpan->setToolTip({});
}

void ResultsScreen::preview() {
    const QString name = c_.files->selectedFile();
    if (name.isEmpty()) return;
    Canvas* box = c_.preview;
    box->clear();
    const HeaderPreview p =
        previewResultHeader(workDir_.toStdString(), name.toStdString(), texts::resultsModelTexts());
    previewLines_.clear();
    std::vector<std::string> lines = p.lines;
    // A header that cannot be read says why, under what could be read.
    if (p.failure != LoadFailure::None) {
        const auto& t = texts::resultsModelTexts();
        lines.emplace_back();
        lines.push_back(t.cannotRead.str());
        lines.push_back("   " + std::string(failureReason(p.failure, t)));
    }
    for (const std::string& l : lines) {
        previewLines_.push_back(QString::fromStdString(l));
        box->print(previewLines_.back());
    }
    // Even a header that ends early may be asked to load: the load reports it.
    c_.ok->setEnabled(true);
}

void ResultsScreen::load() {
    loadingName_ = c_.files->selectedFile().toStdString();
    runLoadResultFile(session_.shown, workDir_.toStdString(), c_.files->selectedFile().toStdString(), *this,
                      texts::resultsModelTexts());
}

void ResultsScreen::showWarning(std::string_view message, std::string_view detail) {
    showMessage(qs(message), MessageIcon::Warning, qs(detail));
}

void ResultsScreen::processPendingEvents() {
    // Keeps the screens painted; input waits, so no second load can start.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ResultsScreen::showNumberFields(const DoseFields& f) {
    session_.loaded = true;
    // Only a successful load gets here: the name and what its header states
    // change with the numbers, never with a click in the list.
    session_.fileName = loadingName_;
    session_.uncertainty =
        formats::statedUncertainty(formats::readRunHeader(workDir_.toStdString(), loadingName_));
    session_.voxelSigma = formats::readVoxelSigmaFile(workDir_.toStdString(), loadingName_);
    setCaptionAddition(qs(session_.fileName));
    form5_->setCaptionAddition(qs(session_.fileName));
    // The pointer's last value and a pick note belong to the file before.
    emptyReadOut();
    c_.pickNote->clear();
    put(c_.referenceSigma, plusMinusPercent(session_.uncertainty.referenceDose));
    put(c_.sagdSigma, plusMinusPercent(session_.uncertainty.sagd));
    form5_->showUncertainty(session_.uncertainty);
    formats::ResultTrailer trailer;
    formats::readResultTrailer(workDir_.toStdString(), loadingName_, trailer);
    // A damaged trailer gives no ratios (an edited one must not reach the AGD); its tip says why.
    session_.kaRatios = kaRatiosOf(trailer);
    session_.scan = trailer.find(formats::trailer::kScan) != nullptr;
    showKaWording();
    {
        const auto& ex = texts::resultsExtrasTexts();
        const std::string note = trailerNote(trailer, ex);
        c_.kaPoint->setToolTip(qs(note.empty() ? ex.kaPointTip.str() : ex.kaPointTip.str() + "\n\n" + note));
    }
    // A file without the ratio of the point chosen before falls back to the sAGD's own.
    if (!shownKaRatio()) session_.kaPoint = KaPoint::FcdFree;
    showKaPoint();
    showAgd(false);
    put(c_.referenceDose, f.referenceDose);
    put(c_.fcd, f.fcd);
    put(c_.sagd, f.sagd);
    put(c_.pickedY, f.selectedY);
    put(c_.pickedZ, f.selectedZ);
    form5_->showNumberFields(f);
    planes_->modelLoaded();
}

void ResultsScreen::enableResultControls() {
    setResultControlsEnabled(true);
}

void ResultsScreen::DrawYZPlane() {
    paintYZPlane(*c_.map, session_.shown);
    c_.yMarker->setX(kLoadedMarkerX);
    c_.yMarker->show();
    c_.zMarker->setY(kLoadedMarkerY);
    c_.zMarker->show();
}

void ResultsScreen::DrawDepthDoseGraph() {
    form5_->DrawDepthDoseGraph();
}

void ResultsScreen::readOut(double x, double y) {
    const DoseModel& m = session_.shown;
    if (x < -4.0 * m.GridCountY || x > 0 || y > 4.0 * m.GridCountZ || y < 0) {
        emptyReadOut();
        return;
    }
    const double cmY = -x / kUnitsPerCm + 0.0; // + 0.0: no "-0.0" at the chest wall
    const double cmZ = y / kUnitsPerCm + 0.0;
    const int iy = wholeMillimetres(cmY) + 1;
    const int iz = wholeMillimetres(cmZ) + 1;
    // The left edge of a full-width map lies past the last row of the model.
    if (iy > kMaxCountY || iz >= kExtentZ) {
        emptyReadOut();
        return;
    }
    put(c_.pointerY, format(cmY, "#0.0"));
    put(c_.pointerZ, format(cmZ, "#0.0"));
    put(c_.pointerDose, format(m.DoseGrid(Total, 1, iy, iz), "##0.00"));
    put(c_.voxelSigma, plusMinusPercent(voxelRelativeSigma(session_.voxelSigma, 1, iy, iz)));
    planes::showVoxel(*c_.voxelSpan, {'Y', iy}, {'Z', iz}, 1, iy, iz);
}

void ResultsScreen::pick(double x, double y) {
    if (x < kPickLeft || x > 0) {
        c_.yMarker->hide();
        return;
    }
    if (y < 0 || y > kPickBottom) {
        c_.zMarker->hide();
        return;
    }
    c_.yMarker->setX(x);
    c_.yMarker->show();
    c_.zMarker->setY(y);
    c_.zMarker->show();

    const double cmY = -x / kUnitsPerCm + 0.0;
    const double cmZ = y / kUnitsPerCm + 0.0;
    // The voxel under the pointer, the one the read-out shows; a pick beyond
    // the phantom takes its last row or layer, and says so.
    DoseModel& m = session_.shown;
    const int iy = wholeMillimetres(cmY) + 1, iz = wholeMillimetres(cmZ) + 1;
    m.SelectedYIndex = std::clamp(iy, 1, std::max(1, m.GridCountY));
    m.SelectedZIndex = std::clamp(iz, 1, std::max(1, m.GridCountZ));
    const auto& ex = texts::resultsExtrasTexts();
    std::string beyond;
    if (iz > m.GridCountZ)
        beyond = fillIn(ex.pickBelowPhantom.str(), {{"{depth}", format(m.GridCountZ / 10.0, "#0.0")}});
    else if (iy > m.GridCountY)
        beyond = fillIn(ex.pickBeyondPhantom.str(), {{"{length}", format(m.GridCountY / 10.0, "#0.0")}});
    put(c_.pickNote, beyond);
    const std::string yText = format(cmY, "#0.0");
    const std::string zText = format(cmZ, "#0.0");
    put(c_.pickedY, yText);
    put(c_.pickedZ, zText);
    planes_->picked(yText, zText);
}

void ResultsScreen::reset() {
    c_.preview->clear();
    c_.map->clear();
    c_.yMarker->hide();
    c_.zMarker->hide();
    for (QLineEdit* box : {c_.referenceDose, c_.pickedY, c_.pickedZ, c_.fcd, c_.sagd})
        box->clear();
    // The read-out of a map that is gone would only mislead.
    emptyReadOut();
    c_.pickNote->clear();
    setResultControlsEnabled(false);
    c_.files->refresh();
    session_.shown.ClearDoseGrid();
    session_.loaded = false;
    session_.voxelSigma.reset();
    // The screen shows no file now; the Ka typed stays, it is the user's measurement.
    setCaptionAddition({});
    for (QLabel* l : {c_.referenceSigma, c_.sagdSigma, c_.agdSigma})
        l->clear();
    c_.agd->clear();
    session_.scan = false;
    showKaWording();
    previewLines_.clear();
    form5_->hide();
    planes_->hideAll();
}

void ResultsScreen::clear() {
    reset();
    if (hideMethodScreen) hideMethodScreen();
}

void ResultsScreen::openFromMenu() {
    reset();
    showInFront(*this);
}

void ResultsScreen::back() {
    form5_->hide();
    planes_->hideAll();
    if (hideAirKermaScreen) hideAirKermaScreen();
    hide();
}

void ResultsScreen::showXZ() {
    planes_->showXZ();
}

void ResultsScreen::showXY() {
    planes_->showXY(textOf(c_.referenceDose));
}

void ResultsScreen::pointPreviewLine(double y) {
    Canvas* box = c_.preview;
    const double height = box->textHeight();
    const int index = height > 0 && y >= 0 ? static_cast<int>(y / height) : -1;
    const QString tip = index >= 0 && index < static_cast<int>(previewLines_.size())
                            ? previewLines_[static_cast<size_t>(index)].trimmed()
                            : qs(texts::resultsExtrasTexts().previewTip);
    box->setToolTip(tip.isEmpty() ? qs(texts::resultsExtrasTexts().previewTip) : tip);
}

void ResultsScreen::airKermaEntered() {
    showAgd(true);
}

bool ResultsScreen::showAgd(bool complain) {
    QLineEdit* agd = c_.agd;
    agd->clear();
    c_.agdSigma->clear();
    const std::string typed = textOf(c_.airKerma);
    if (isBlankTyped(typed)) return true;
    const TypedNumber ka = readTypedNumber(typed, NumberRange{0, HUGE_VAL});
    if (!ka.ok()) {
        const auto& t = texts::resultsExtrasTexts();
        if (complain)
            showMessage(qs(t.kaRefused), MessageIcon::Warning,
                        qs(typedNumberMessage(ka, t.kaField, "mGy", texts::typedNumberTexts())));
        return false;
    }
    const std::optional<double> ratio = shownKaRatio();
    if (!session_.loaded || !ratio) return true;
    const AgdEstimate e = estimateAgd(ka.value, session_.shown.SagdValue, session_.uncertainty, *ratio);
    agd->setText(QString::fromStdString(format(e.agd, "0.000")));
    put(c_.agdSigma, plusMinusPercent(e.relativeSigma));
    return true;
}

void ResultsScreen::setKaPoint(KaPoint p) {
    if (p == KaPoint::BreastSurface && !kaRatio(session_.kaRatios, p, session_.surfaceMm)) {
        // The distance chosen before is not in this file: the first one that is.
        for (int mm : kSurfaceDistancesMm)
            if (kaRatio(session_.kaRatios, p, mm)) {
                session_.surfaceMm = mm;
                break;
            }
    }
    if (kaRatio(session_.kaRatios, p, session_.surfaceMm)) session_.kaPoint = p;
    showKaPoint();
    showAgd(false);
}

void ResultsScreen::setSurfaceDistance(int mm) {
    if (kaRatio(session_.kaRatios, KaPoint::BreastSurface, mm)) {
        session_.surfaceMm = mm;
        session_.kaPoint = KaPoint::BreastSurface;
    }
    showKaPoint();
    showAgd(false);
}

std::optional<double> ResultsScreen::shownKaRatio() const {
    return kaRatio(session_.kaRatios, session_.kaPoint, session_.surfaceMm);
}

QList<QAction*> ResultsScreen::kaMenuActions() const {
    QList<QAction*> all(kaActions_.begin(), kaActions_.end());
    all.append(surfaceSeparator_);
    all.append(QList<QAction*>(surfaceActions_.begin(), surfaceActions_.end()));
    return all;
}

void ResultsScreen::showKaPoint() {
    const auto& ex = texts::resultsExtrasTexts();
    for (size_t i = 0; i < kaActions_.size(); ++i) {
        const KaPoint p = static_cast<KaPoint>(i);
        const bool offered = p == KaPoint::BreastSurface
                                 ? std::any_of(kSurfaceDistancesMm.begin(), kSurfaceDistancesMm.end(),
                                               [&](int mm) { return kaRatio(session_.kaRatios, p, mm); })
                                 : kaRatio(session_.kaRatios, p).has_value();
        kaActions_[i]->setEnabled(offered);
        kaActions_[i]->setChecked(p == session_.kaPoint);
    }
    for (size_t i = 0; i < surfaceActions_.size(); ++i) {
        const int mm = kSurfaceDistancesMm[i];
        surfaceActions_[i]->setEnabled(kaRatio(session_.kaRatios, KaPoint::BreastSurface, mm).has_value());
        surfaceActions_[i]->setChecked(mm == session_.surfaceMm);
    }
    const std::optional<double> ratio = shownKaRatio();
    const std::string factor = ratio ? format(*ratio, "0.000") : std::string();
    switch (session_.kaPoint) {
    case KaPoint::FcdFree:
        put(c_.kaPoint, ex.kaNoteFcd.str());
        break;
    case KaPoint::FcdPaddle:
        put(c_.kaPoint, fillIn(ex.kaNoteFcdPaddle.str(), {{"%1", factor}}));
        break;
    case KaPoint::BreastSurface:
        put(c_.kaPoint,
            fillIn(ex.kaNoteSurface.str(), {{"%1", factor}, {"{mm}", std::to_string(session_.surfaceMm)}}));
        break;
    }
    // The surface's note with its distance is the longest: a smaller font rather than a cut ratio.
    c_.kaPoint->setFont(fontToFit(c_.agdSigma->font(), c_.kaPoint->text(), c_.kaPoint->width()));
}

void ResultsScreen::showKaWording() {
    const auto& ex = texts::resultsExtrasTexts();
    const bool scan = session_.scan;
    const std::array<texts::Text, 3> where = {scan ? ex.kaAtFcdScan : ex.kaAtFcd,
                                              scan ? ex.kaAtFcdPaddleScan : ex.kaAtFcdPaddle,
                                              scan ? ex.kaAtSurfaceScan : ex.kaAtSurface};
    for (size_t i = 0; i < where.size(); ++i)
        kaActions_[i]->setText(qs(where[i]));
    // The label grows towards the panel's edge, in a smaller font where the words need it.
    QLabel* label = c_.agdLabel;
    const QString text = qs(scan ? ex.agdLabelScan : ex.agdLabel);
    const int room = c_.agd->x() - 4 - (c_.agdPanel->x() + 6);
    label->setFont(fontToFit(c_.kaLabel->font(), text, room));
    label->setText(text);
    label->adjustSize();
    rightAlignBefore(label, c_.agd);
    const QString tip = qs(scan ? ex.agdScanTip : ex.agdTip);
    label->setToolTip(tip);
    c_.agd->setToolTip(tip);
}

void ResultsScreen::showDepthDose() {
    form5_->DrawDepthDoseGraph();
    showInFront(*form5_);
}

} // namespace kv::results
