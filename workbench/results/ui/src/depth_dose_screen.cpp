#include "kv/workbench/results/ui/depth_dose_screen.h"

#include "kv/common/format.h"
#include "kv/gui/platform.h"
#include "kv/gui/qtext.h"
#include "kv/results/dose_tables.h"
#include "kv/results/result_file.h"
#include "kv/texts/depth_dose.h"
#include "kv/texts/results_extras.h"
#include "kv/workbench/results/ui/picture_export.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <cmath>

namespace kv::results {

using namespace gui;

namespace {

// The console palette the graph is drawn in.
const QColor kCyan(0, 128, 128);    // 3
const QColor kGrey(128, 128, 128);  // 8
const QColor kBlue(0, 0, 255);      // 9
const QColor kRed(255, 0, 0);       // 12
const QColor kWhite(255, 255, 255); // 15
const std::array<QColor, kComponents> kCurveColours{kRed, kBlue, kCyan};

constexpr Colour kPanel{192, 255, 255};
constexpr Colour kGreen{0, 128, 0};

std::vector<Control> table() {
    const auto& t = texts::depthDoseTexts();
    const Style panel{t.panelPt};
    const Style number{15.75, false, false, kSerif};
    const int row = t.fcdRowTop;
    return {
        {.name = "Label1",
         .kind = Kind::Label,
         .rect = {1920, 120, 7200, 405},
         .text = t.title,
         .font = {t.titlePt},
         .fit = true},
        {.name = "Picture1",
         .kind = Kind::Picture,
         .rect = {480, 600, 10575, 9255},
         .font = {20.25, false, false, kSerif},
         .fore = colours::black,
         .back = colours::white,
         .border = true},
        {.name = "Line1",
         .kind = Kind::Line,
         .rect = {0, 6905, 0, 0},
         .fore = colours::black,
         .parent = "Picture1",
         .lineWidth = 2},
        {.name = "Line2",
         .kind = Kind::Line,
         .rect = {0, 0, 6000, 0},
         .fore = colours::red,
         .parent = "Picture1",
         .lineWidth = 2},
        {.name = "Line3",
         .kind = Kind::Line,
         .rect = {0, 0, 6000, 0},
         .fore = colours::blue,
         .parent = "Picture1",
         .lineWidth = 2},
        {.name = "Line4",
         .kind = Kind::Line,
         .rect = {0, 0, 6000, 0},
         .fore = kGreen,
         .parent = "Picture1",
         .lineWidth = 2},
        {.name = "Label10",
         .kind = Kind::Label,
         .rect = {480, 9960, 6495, 1215},
         .back = kPanel,
         .border = true},
        {.name = "Label3",
         .kind = Kind::Label,
         .rect = {t.referenceDoseLeft, 10200},
         .text = t.referenceDose,
         .font = panel,
         .back = kPanel},
        {.name = "Text1",
         .kind = Kind::TextBox,
         .rect = {3720, 10080, 1095, 450},
         .font = number,
         .align = Align::Centre},
        {.name = "Label4",
         .kind = Kind::Label,
         .rect = {4920, 10200},
         .text = t.mGy,
         .font = panel,
         .back = kPanel},
        // The stated uncertainty of the 100 % dose, in the free end of its row.
        {.name = "Label13",
         .kind = Kind::Label,
         .rect = {5520, 10215, 1335, 300},
         .font = {11.25, false, false, kSerif},
         .back = kPanel,
         .tip = texts::resultsExtrasTexts().uncertaintyTip},
        {.name = "Label2",
         .kind = Kind::Label,
         .rect = {t.sagdLeft, 10680},
         .text = t.sagd,
         .font = panel,
         .back = kPanel},
        {.name = "Text7",
         .kind = Kind::TextBox,
         .rect = {3720, 10560, 1095, 480},
         .font = number,
         .align = Align::Centre},
        {.name = "Label11",
         .kind = Kind::Label,
         .rect = {4920, 10680},
         .text = t.mGy,
         .font = panel,
         .back = kPanel},
        {.name = "Text2",
         .kind = Kind::TextBox,
         .rect = {5520, 10560, 855, 450},
         .font = number,
         .align = Align::Centre},
        {.name = "Label5",
         .kind = Kind::Label,
         .rect = {6480, 10680},
         .text = t.percent,
         .font = panel,
         .back = kPanel},
        {.name = "Label12",
         .kind = Kind::Label,
         .rect = {480, 11160, 6495, 1215},
         .back = kPanel,
         .border = true},
        {.name = "Label47",
         .kind = Kind::Label,
         .rect = {600, t.noteLineTop},
         .text = t.noteLine,
         .font = panel,
         .back = kPanel},
        {.name = "Label36",
         .kind = Kind::Label,
         .rect = {t.fcdBeforeLeft, row},
         .text = t.fcdBefore,
         .font = panel,
         .back = kPanel},
        {.name = "Text8",
         .kind = Kind::TextBox,
         .rect = {t.fcdBoxLeft, row, 1095, 375},
         .font = number,
         .back = kPanel,
         .align = Align::Centre},
        {.name = "Label32",
         .kind = Kind::Label,
         .rect = {t.fcdBoxLeft + 1200, row},
         .text = t.fcdUnit,
         .font = panel,
         .back = kPanel},
        {.name = "Label33",
         .kind = Kind::Label,
         .rect = {t.fcdBoxLeft + 1200, row},
         .text = t.fcdTail,
         .font = panel,
         .back = kPanel},
        {.name = "Label7", .kind = Kind::Label, .rect = {7680, 10320}, .text = t.depth},
        {.name = "Text6",
         .kind = Kind::TextBox,
         .rect = {8640, 10245, 1095, 450},
         .font = number,
         .align = Align::Centre},
        {.name = "Label8", .kind = Kind::Label, .rect = {9840, 10320}, .text = t.mm},
        {.name = "Label6",
         .kind = Kind::Label,
         .rect = {7320, 10800, 3060, 315},
         .text = t.columns,
         .fit = true},
        {.name = "Text3",
         .kind = Kind::TextBox,
         .rect = {7080, 11160, 1095, 450},
         .font = number,
         .fore = colours::red,
         .align = Align::Centre},
        {.name = "Text4",
         .kind = Kind::TextBox,
         .rect = {8280, 11160, 1095, 450},
         .font = number,
         .fore = colours::blue,
         .align = Align::Centre},
        {.name = "Text5",
         .kind = Kind::TextBox,
         .rect = {9480, 11160, 1095, 450},
         .font = number,
         .fore = kGreen,
         .align = Align::Centre},
        {.name = "Label9", .kind = Kind::Label, .rect = {10680, 11220}, .text = t.percent},
        {.name = "Command4",
         .kind = Kind::Button,
         .rect = {9840, 11760, 1095, 495},
         .text = t.close,
         .back = colours::buttonYellow},
    };
}

} // namespace

bool percentToGraphY(double p, double& y) {
    if (!(p > 0) || !std::isfinite(p)) return false;
    y = 1000.0 * std::log(10.0 * p);
    return true;
}

void paintDepthDoseGraph(Canvas& g, const DoseModel& m) {
    const auto& t = texts::depthDoseTexts();
    g.setScale(kGraphLeft, kGraphTop, kGraphWidth, kGraphHeight);
    g.clear();
    g.setPenWidth(1);
    g.setPenStyle(PenStyle::Solid);

    for (int x = 200; x <= 5800; x += 200)
        g.line(x, 0, x, kPlotTop, kGrey);
    for (int x = 1000; x <= 5000; x += 1000)
        g.line(x, 0, x, kPlotTop);
    for (int a = 0; a <= 2; ++a)
        for (int b = 1; b <= 10; ++b) {
            const double y = 1000.0 * std::log(b * std::pow(10.0, a));
            g.line(0, y, kPlotRight, y, kGrey);
        }

    g.setPenWidth(2);
    g.box(0, 0, kPlotRight, kPlotTop);
    const double surface = 100.0 * m.GridCountZ;
    g.line(surface, 0, surface, kPlotTop);

    // A layer without a positive value has no height of its own: the curve
    // runs on at the height before it. A curve starts at its first such height.
    const int layers = std::min(m.GridCountZ, kDepthDoseExtent - 1);
    for (int c = 0; c < kComponents; ++c) {
        const QColor colour = kCurveColours[static_cast<size_t>(c)];
        bool started = false;
        double y = 0;
        for (int iz = 1; iz <= layers; ++iz) {
            const bool has = percentToGraphY(m.DepthDose[static_cast<size_t>(c)][static_cast<size_t>(iz)], y);
            if (!has && !started) continue;
            const double x = 100.0 * iz - 50;
            if (!started) {
                g.point(x, y, colour);
                started = true;
            } else {
                g.lineTo(x, y, colour);
            }
        }
    }

    double meanY = 0;
    const bool hasMean = percentToGraphY(m.MeanGlandDose, meanY);
    if (hasMean) {
        g.line(0, meanY, kPlotRight, meanY, kRed);
        g.setPenWidth(1);
        g.setPenStyle(PenStyle::DashDot);
        g.line(0, meanY, kPlotRight, meanY, kBlue);
        g.setPenStyle(PenStyle::Solid);
    }

    g.setPenWidth(2);
    if (hasMean) g.textAt(2200, meanY + 330, qs(t.meanLine));
    const std::array<double, 6> depthX{-50, 950, 1950, 2950, 3950, 4900};
    for (size_t i = 0; i < depthX.size(); ++i)
        g.textAt(depthX[i], -50, qs(t.depthTicks[i]));
    g.textAt(4200, -150, qs(t.depthAxis));
    const std::array<std::pair<double, double>, 4> percentAt{
        {{-500, 6950}, {-400, 4750}, {-300, 2450}, {-400, 200}}};
    for (size_t i = 0; i < percentAt.size(); ++i)
        g.textAt(percentAt[i].first, percentAt[i].second, qs(t.percentTicks[i]));
    g.textAt(-700, 6200, qs(t.pddAxis));
    g.textAt(-550, 5800, qs(t.percentAxis));

    g.fillBox(1100, 300, 4100, 1500, kWhite);
    g.box(1100, 300, 4100, 1500);
    const std::array<double, 3> legendY{1200, 900, 600};
    for (size_t c = 0; c < legendY.size(); ++c) {
        g.line(1200, legendY[c], 1900, legendY[c], kCurveColours[c]);
        g.textAt(2100, legendY[c] + 200, qs(t.curves[c]));
    }
}

void paintDepthDoseOverlay(Canvas& g, const DepthDoseOverlay& o) {
    g.setScale(kGraphLeft, kGraphTop, kGraphWidth, kGraphHeight);
    g.setPenWidth(2);
    g.setPenStyle(PenStyle::Solid);
    bool started = false;
    double y = 0;
    for (int iz = 1; iz <= std::min(o.layers, kDepthDoseExtent - 1); ++iz) {
        if (!percentToGraphY(o.total[static_cast<size_t>(iz)], y) && !started) continue;
        const double x = 100.0 * iz - 50;
        if (!started) {
            g.point(x, y, kOverlayColour);
            started = true;
        } else {
            g.lineTo(x, y, kOverlayColour);
        }
    }
    // Its legend entry, on top of the legend of the three curves.
    g.fillBox(1100, 1500, 4100, 1800, kWhite);
    g.box(1100, 1500, 4100, 1800);
    g.line(1200, 1650, 1900, 1650, kOverlayColour);
    g.textAt(2100, 1850, o.name);
}

DepthDoseScreen::DepthDoseScreen(const ResultsSession& session, QWidget* parent)
    : Form({.name = "Form5",
            .caption = texts::depthDoseTexts().caption,
            .width = 11580,
            .height = 12540,
            .font = {12, false, false, texts::depthDoseTexts().family}},
           table(), parent),
      session_(session), c_(bind()) {
    // The tail of the FCD row follows its unit, however wide that is.
    const QLabel* unit = c_.fcdUnit;
    c_.fcdTail->move(unit->x() + unit->width() + 2, unit->y());
    for (QLineEdit* box : {c_.referenceDose, c_.meanGlandDose, c_.values[0], c_.values[1], c_.values[2],
                           c_.layer, c_.sagd, c_.fcd})
        box->setReadOnly(true);

    Canvas* graph = c_.graph;
    graph->setScale(kGraphLeft, kGraphTop, kGraphWidth, kGraphHeight);
    connect(graph, &Canvas::mouseMoved, this,
            [this](double x, double y, Qt::MouseButtons) { readOut(x, y); });
    onClick(c_.close, [this] { hide(); });

    const auto& x = texts::resultsExtrasTexts();
    for (QWidget* w : std::initializer_list<QWidget*>{c_.sagd, c_.sagdUnit})
        w->setToolTip(qs(x.sagdUnitTip));
    export_ = new PictureExport(*graph, session_, QStringLiteral("depth-dose"),
                                [this] { return depthDoseRows(session_.shown); });
    // The graph draws its own axes and curve names.
    export_->setReportFrame({
        .title = [this] { return pictureTitle(session_, texts::resultsExtrasTexts().pictureDepthDose); },
        .cursor = {c_.cursor, c_.markers[0], c_.markers[1], c_.markers[2]},
    });
    export_->menu()->addSeparator();
    export_->menu()
        ->addAction(qs(x.overlayPdd), this, [this] { chooseOverlay(); })
        ->setObjectName("OverlayAction");
    export_->menu()
        ->addAction(qs(x.removeOverlay), this, [this] { removeOverlay(); })
        ->setObjectName("RemoveOverlayAction");
    clearReadOut();
}

DepthDoseScreen::Controls DepthDoseScreen::bind() const {
    return {.graph = picture("Picture1"),
            .referenceDose = textBox("Text1"),
            .meanGlandDose = textBox("Text2"),
            .values = {textBox("Text3"), textBox("Text4"), textBox("Text5")},
            .layer = textBox("Text6"),
            .sagd = textBox("Text7"),
            .fcd = textBox("Text8"),
            .referenceSigma = label("Label13"),
            .cursor = line("Line1"),
            .markers = {line("Line2"), line("Line3"), line("Line4")},
            .sagdUnit = label("Label11"),
            .fcdUnit = label("Label32"),
            .fcdTail = label("Label33"),
            .close = button("Command4")};
}

void DepthDoseScreen::clearReadOut() {
    for (LineItem* l : {c_.cursor, c_.markers[0], c_.markers[1], c_.markers[2]})
        l->hide();
    for (QLineEdit* box : {c_.values[0], c_.values[1], c_.values[2], c_.layer})
        box->clear();
}

void DepthDoseScreen::DrawDepthDoseGraph() {
    paintDepthDoseGraph(*c_.graph, session_.shown);
    if (overlay_) paintDepthDoseOverlay(*c_.graph, *overlay_);
    clearReadOut();
}

void DepthDoseScreen::showUncertainty(const StatedUncertainty& u) {
    c_.referenceSigma->setText(qs(plusMinusPercent(u.referenceDose)));
    QString tip = qs(texts::resultsExtrasTexts().sagdUnitTip);
    if (u.sagd) tip += QStringLiteral("\n") + qs(plusMinusPercent(u.sagd));
    c_.sagd->setToolTip(tip);
}

void DepthDoseScreen::chooseOverlay() {
    const auto& x = texts::resultsExtrasTexts();
    const QString dir =
        session_.workDir.empty() ? QDir::currentPath() : QString::fromStdString(session_.workDir);
    const QString path = gui::messages().chooseOpenFile(dir, qs(x.resultFilter));
    if (!path.isEmpty()) overlayResultFile(path);
}

bool DepthDoseScreen::overlayResultFile(const QString& path) {
    const QFileInfo info(path);
    const LoadResult r = LoadResultFile(info.absolutePath().toStdString(), info.fileName().toStdString());
    if (!r) {
        gui::showMessage(
            qs(texts::resultsExtrasTexts().overlayCannotRead).arg(info.fileName()), gui::MessageIcon::Warning,
            qs(fileAndReason(info.fileName().toStdString(), r.failure, texts::resultsModelTexts())));
        return false;
    }
    DepthDoseOverlay o;
    o.name = info.fileName();
    o.layers = std::min(r.model->GridCountZ, kDepthDoseExtent - 1);
    o.total = r.model->DepthDose[Total];
    overlay_ = std::move(o);
    DrawDepthDoseGraph();
    return true;
}

void DepthDoseScreen::removeOverlay() {
    if (!overlay_) return;
    overlay_.reset();
    DrawDepthDoseGraph();
}

void DepthDoseScreen::showNumberFields(const DoseFields& f) {
    c_.referenceDose->setText(qs(f.referenceDose));
    c_.fcd->setText(qs(f.fcd));
    c_.sagd->setText(qs(f.sagd));
    c_.meanGlandDose->setText(qs(f.meanGlandDose));
}

void DepthDoseScreen::readOut(double x, double y) {
    const DoseModel& m = session_.shown;
    Canvas* graph = c_.graph;
    const int n = static_cast<int>(std::floor(x / 100.0));
    const int iz = n + 1;
    // Layers beyond DepthDose cannot be read, whatever the count says.
    const bool off = x <= 0 || x >= 100.0 * m.GridCountZ || y <= 0 || y >= kPlotTop || iz >= kDepthDoseExtent;
    if (off) {
        clearReadOut();
        graph->unsetCursor();
        return;
    }
    graph->setCursor(Qt::CrossCursor);
    c_.cursor->setX(x);
    for (size_t c = 0; c < c_.markers.size(); ++c) {
        const double v = m.DepthDose[c][static_cast<size_t>(iz)];
        double my = 0;
        LineItem* marker = c_.markers[c];
        // A value without a logarithm has no height: its marker stays hidden.
        if (percentToGraphY(v, my)) {
            marker->setY(my);
            marker->show();
        } else {
            marker->hide();
        }
        c_.values[c]->setText(qs(format(v, "#0.0")));
    }
    c_.layer->setText(qs(format(n, "#0") + " - " + format(iz, "#0")));
    c_.cursor->show();
}

} // namespace kv::results
