#include "kv/spectrum/ui/spectrum_screen.h"

#include "kv/common/format.h"
#include "kv/formats/geometry_file.h"
#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/gui/qtext.h"
#include "kv/spectrum/model/beam_quality.h"
#include "kv/spectrum/model/spectrum_model.h"
#include "kv/spectrum/ui/angle_diagram.h"
#include "kv/spectrum/ui/spectrum_plot.h"
#include "kv/texts/lumira.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <cmath>
#include <vector>

namespace kv::spectrum::ui {

using namespace gui;

namespace {

constexpr Colour cyan = colours::buttonCyan;     // panels behind the groups
constexpr Colour yellow = colours::buttonYellow; // panel behind the product label
void putText(QLineEdit* box, std::string_view utf8) {
    box->setText(qs(utf8));
}
void putText(QLabel* label, std::string_view utf8) {
    label->setText(qs(utf8));
}

// How long a curve drawn by "Determine" stays in view before the tool ends.
constexpr int kShowWrittenMs = 800;

// The input fields: name, top, unit; all stand at the same left in their group.
struct FilterRow {
    std::string_view field;
    std::string_view label;
    std::string_view unitLabel;
    int top;
    bool centimetres;
};

std::vector<Control> table() {
    const auto& t = texts::lumiraTexts();
    const Style caption{.family = t.labelFamily};
    const Style button{11.25, false, false, t.labelFamily};
    auto label = [&](std::string_view name, texts::At at, std::string_view text, std::optional<Colour> fore) {
        return Control{.name = name,
                       .kind = Kind::Label,
                       .rect = {at.left, at.top},
                       .text = text,
                       .font = caption,
                       .fore = fore};
    };
    auto field = [](std::string_view name, int left, int top) {
        return Control{.name = name, .kind = Kind::TextBox, .rect = {left, top, 855, 375}};
    };
    auto centred = [&](std::string_view name, int top, std::string_view text) {
        return Control{.name = name,
                       .kind = Kind::Label,
                       .rect = {11280, top, 2175, 330},
                       .text = text,
                       .font = {t.sideCaptionPt, false, false, t.labelFamily},
                       .fore = colours::black,
                       .align = Align::Centre};
    };
    auto panel = [](std::string_view name, Twips r, Colour c) {
        return Control{.name = name, .kind = Kind::Label, .rect = r, .back = c};
    };

    std::vector<Control> rows = {
        // Panels first, so everything else lies on them.
        panel("Label20", {240, 6840, 4335, 3735}, cyan),
        panel("Label21", {4680, 6840, 5055, 3735}, cyan),
        panel("Label22", {9840, 6840, 3495, 2055}, cyan),
        panel("Label23", {11280, 1920, 2175, 1695}, cyan),
        panel("Label24", {11160, 840, 2415, 615}, yellow),
        {.name = "Picture3",
         .kind = Kind::Picture,
         .rect = {120, 240, 10935, 6375},
         .font = {15.75},
         .fore = colours::black,
         .back = colours::white,
         .border = true},
        {.name = "Label1",
         .kind = Kind::Label,
         .rect = {11520, 960},
         .text = t.productLabel,
         .font = {14.25, false, true},
         .fore = colours::blue},
        centred("Label2", 2040, t.sideCaption1),
        centred("Label3", 2400, t.sideCaption2),
        centred("Label4", 2760, t.sideCaption3),
        centred("Label5", 3120, t.sideCaption4),
        {.name = "Picture2", .kind = Kind::Picture, .rect = {11640, 4200, 600, 600}, .back = cyan},
        {.name = "Picture4", .kind = Kind::Picture, .rect = {12480, 4200, 600, 600}, .back = colours::white},

        // Tube voltage.
        label("Label6", {10080, 7080}, t.rectification, colours::blue),
        label("Label7", {10560, 7440}, t.rectificationValue, colours::black),
        label("Label8", {10080, 8160}, t.tubeVoltage, colours::blue),
        field("Text1", 11640, 8040),
        label("Label10", {12600, 8100}, t.kiloVolt, colours::black),
        label("Label9", t.upTo50At.get(), t.upTo50, colours::black),

        // Target and angles.
        {.name = "Frame1",
         .kind = Kind::Frame,
         .rect = {480, 7080, 4035, 855},
         .text = t.targetMaterial,
         .font = caption,
         .fore = colours::blue,
         .back = cyan},
        // Three targets in a row: each option as wide as its caption needs in either edition.
        {.name = "Option1",
         .kind = Kind::Option,
         .rect = {240, 360, 1560, 315},
         .text = t.molybdenum,
         .font = caption,
         .parent = "Frame1"},
        {.name = "Option2",
         .kind = Kind::Option,
         .rect = {1800, 360, 1560, 315},
         .text = t.tungsten,
         .font = caption,
         .parent = "Frame1"},
        {.name = "Option3",
         .kind = Kind::Option,
         .rect = {3360, 360, 645, 315},
         .text = t.rhodiumTarget,
         .font = caption,
         .parent = "Frame1"},
        label("Label11", t.targetAngleAt.get(), t.targetAngle, colours::blue),
        field("Text5", 2640, 8160),
        label("Label12", {3600, 8220}, t.degree, colours::black),
        label("Label13", t.tubeTiltAngleAt.get(), t.tubeTiltAngle, colours::blue),
        field("Text3", 2640, 8640),
        label("Label14", {3600, 8700}, t.degree, colours::black),
        label("Label15", t.apparentLine1At.get(), t.apparentLine1, colours::blue),
        label("Label16", t.apparentLine2At.get(), t.apparentLine2, colours::blue),
        field("Text6", 2640, 9360),
        label("Label17", {3600, 9420}, t.degree, colours::black),
        {.name = "Command2",
         .kind = Kind::Button,
         .rect = {1080, 9960, 2895, 495},
         .text = t.angleDiagram,
         .font = caption,
         .back = yellow},

        // Filtration.
        label("Label18", {4800, 6960}, t.totalFiltration, colours::blue),
        label("Label19", {5040, 10200}, t.noPaddle, colours::black),
    };

    const FilterRow filters[] = {
        {"Text8", "Label25", "Label31", 6960, false},  {"Text2", "Label26", "Label32", 7440, false},
        {"Text10", "Label27", "Label33", 7920, false}, {"Text11", "Label28", "Label34", 8520, false},
        {"Text9", "Label29", "Label35", 9120, false},  {"Text4", "Label30", "Label36", 9720, true},
    };
    const std::string_view names[] = {t.beryllium, t.aluminum, t.molybdenumFilter,
                                      t.rhodium,   t.silver,   t.airLayer};
    for (int n = 0; n < 6; ++n) {
        const FilterRow& f = filters[n];
        rows.push_back({.name = f.label,
                        .kind = Kind::Label,
                        .rect = {6120, f.top + 45, 1680, 300},
                        .text = names[n],
                        .font = caption,
                        .fore = colours::blue,
                        .align = Align::Right});
        rows.push_back(field(f.field, 7920, f.top));
        rows.push_back(label(f.unitLabel, {8880, f.top + 60}, f.centimetres ? t.centimetre : t.millimetre,
                             colours::black));
    }

    const Control buttons[] = {
        {.name = "Command1",
         .kind = Kind::Button,
         .rect = {9960, 9000, 3375, 615},
         .text = t.drawSpectrum,
         .font = button,
         .back = yellow},
        {.name = "Command7",
         .kind = Kind::Button,
         .rect = {9960, 9720, 3375, 615},
         .text = t.determine,
         .font = button,
         .back = yellow},
        {.name = "Command3",
         .kind = Kind::Button,
         .rect = {9960, 10560, 1695, 615},
         .text = t.clear,
         .font = button,
         .back = yellow},
        {.name = "Command4",
         .kind = Kind::Button,
         .rect = {11880, 10560, 1455, 615},
         .text = t.cancel,
         .font = button,
         .back = yellow},
    };
    rows.insert(rows.end(), std::begin(buttons), std::end(buttons));

    // Beam quality of the central ray, in the free column right of the plot.
    const Style small{8.25, false, false, t.labelFamily};
    rows.push_back({.name = "Label37",
                    .kind = Kind::Label,
                    .rect = {11160, 4920, 2490, 270},
                    .font = small,
                    .fore = colours::blue,
                    .fit = true});
    const std::string_view qualityCaptions[] = {t.firstHvl, t.secondHvl, t.homogeneity, t.meanEnergy};
    const std::string_view qualityNames[][2] = {
        {"Label38", "Label42"}, {"Label39", "Label43"}, {"Label40", "Label44"}, {"Label41", "Label45"}};
    for (int n = 0; n < 4; ++n) {
        const int top = 5220 + 300 * n;
        rows.push_back({.name = qualityNames[n][0],
                        .kind = Kind::Label,
                        .rect = {11160, top, 1530, 270},
                        .text = qualityCaptions[n],
                        .font = small,
                        .fore = colours::black,
                        .fit = true});
        rows.push_back({.name = qualityNames[n][1],
                        .kind = Kind::Label,
                        .rect = {12690, top, 960, 270},
                        .font = small,
                        .fore = colours::black,
                        .align = Align::Right});
    }
    // Matching a measured first HVL, in the free strip below the groups.
    rows.push_back({.name = "Label46",
                    .kind = Kind::Label,
                    .rect = {360, 10740, 1680, 270},
                    .text = t.measuredHvl,
                    .font = small,
                    .fore = colours::blue,
                    .align = Align::Right,
                    .fit = true});
    rows.push_back({.name = "Text12", .kind = Kind::TextBox, .rect = {2100, 10680, 735, 345}});
    rows.push_back({.name = "Label47",
                    .kind = Kind::Label,
                    .rect = {2895, 10740, 600, 270},
                    .text = t.mmAl,
                    .font = small,
                    .fore = colours::black});
    rows.push_back({.name = "Check1",
                    .kind = Kind::Check,
                    .rect = {3480, 10710, 4380, 300},
                    .text = t.hvlWithPaddle,
                    .font = small,
                    .fit = true});
    rows.push_back({.name = "Command8",
                    .kind = Kind::Button,
                    .rect = {7920, 10650, 1815, 405},
                    .text = t.matchHvl,
                    .font = small,
                    .back = yellow,
                    .tip = t.matchHvlTip,
                    .fit = true});
    return rows;
}

// The icons are drawn on a 40 × 40 grid stretched over their picture.
void beginIcon(QPainter& p, const QRectF& r) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(r.topLeft());
    p.scale(r.width() / 40.0, r.height() / 40.0);
}

// Picture2: a small X-ray tube sending its beam down.
void drawTubeIcon(QPainter& p, const QRectF& r) {
    beginIcon(p, r);
    QPainterPath beam;
    beam.moveTo(20, 20);
    beam.lineTo(8, 39);
    beam.lineTo(32, 39);
    beam.closeSubpath();
    p.fillPath(beam, QColor(255, 230, 120));
    p.setPen(QPen(QColor(0, 0, 160), 1.6));
    p.setBrush(QColor(230, 240, 255));
    p.drawRoundedRect(QRectF(3, 6, 34, 14), 7, 7);
    p.setBrush(QColor(0, 0, 160));
    p.drawEllipse(QPointF(9, 13), 2.5, 2.5);
    p.drawPolygon(QPolygonF() << QPointF(24, 9) << QPointF(31, 9) << QPointF(31, 17) << QPointF(20, 17));
    p.restore();
}

// Picture4: a little spectrum with two lines.
void drawSpectrumIcon(QPainter& p, const QRectF& r) {
    beginIcon(p, r);
    p.setPen(QPen(QColor(0, 0, 0), 1.2));
    p.drawLine(QPointF(4, 35), QPointF(37, 35));
    p.drawLine(QPointF(4, 35), QPointF(4, 4));
    QPainterPath curve;
    curve.moveTo(6, 35);
    curve.cubicTo(10, 30, 12, 22, 17, 20);
    curve.lineTo(17, 6);
    curve.lineTo(19, 6);
    curve.lineTo(19, 21);
    curve.cubicTo(21, 21, 22, 22, 23, 22);
    curve.lineTo(23, 14);
    curve.lineTo(25, 14);
    curve.lineTo(25, 24);
    curve.cubicTo(29, 28, 32, 33, 35, 35);
    p.setPen(QPen(QColor(255, 0, 0), 1.6));
    p.drawPath(curve);
    p.restore();
}

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

SpectrumScreen::SpectrumScreen(std::filesystem::path workDir, QWidget* parent)
    : Form({.name = "Form2", .caption = texts::lumiraTexts().caption, .width = 13770, .height = 11325},
           table(), parent),
      workDir_(std::move(workDir)), c_(bind()) {
    setPlotScale(*c_.plot);
    for (Canvas* c : {c_.tubeIcon, c_.spectrumIcon}) {
        const bool tube = c == c_.tubeIcon;
        c->paintWith([c, tube](QPainter& p) {
            const QRectF area(QPointF(0, 0), QSizeF(c->innerRect().size()));
            tube ? drawTubeIcon(p, area) : drawSpectrumIcon(p, area);
        });
    }

    connect(c_.molybdenumTarget, &QRadioButton::clicked, this,
            [this] { selectTarget(TargetMaterial::Molybdenum); });
    connect(c_.tungstenTarget, &QRadioButton::clicked, this,
            [this] { selectTarget(TargetMaterial::Tungsten); });
    connect(c_.rhodiumTarget, &QRadioButton::clicked, this,
            [this] { selectTarget(TargetMaterial::Rhodium); });
    angleFields_ = {c_.targetAngle, c_.tubeTiltAngle};
    for (QLineEdit* f : angleFields_)
        f->installEventFilter(this);
    onClick(c_.draw, [this] { drawSpectrum(); });
    onClick(c_.clear, [this] { clearPlot(); });
    onClick(c_.determine, [this] { determine(); });
    onClick(c_.cancel, [this] { cancel(); });
    onClick(c_.angleDiagram, [this] { showAngleDiagram(); });
    onClick(c_.matchHvl, [this] { matchHvl(); });
    connect(c_.withPaddle, &QCheckBox::toggled, this, [this] { showBeamQuality(false); });
    c_.determine->setEnabled(false);
}

SpectrumScreen::~SpectrumScreen() = default;

SpectrumScreen::Controls SpectrumScreen::bind() const {
    return {.tubeVoltage = textBox("Text1"),
            .targetAngle = textBox("Text5"),
            .tubeTiltAngle = textBox("Text3"),
            .apparentAngle = textBox("Text6"),
            .beryllium = textBox("Text8"),
            .aluminum = textBox("Text2"),
            .molybdenum = textBox("Text10"),
            .rhodium = textBox("Text11"),
            .silver = textBox("Text9"),
            .airLayer = textBox("Text4"),
            .measuredHvl = textBox("Text12"),
            .molybdenumTarget = option("Option1"),
            .tungstenTarget = option("Option2"),
            .rhodiumTarget = option("Option3"),
            .withPaddle = check("Check1"),
            .draw = button("Command1"),
            .clear = button("Command3"),
            .determine = button("Command7"),
            .cancel = button("Command4"),
            .angleDiagram = button("Command2"),
            .matchHvl = button("Command8"),
            .plot = picture("Picture3"),
            .tubeIcon = picture("Picture2"),
            .spectrumIcon = picture("Picture4"),
            .qualityHeading = label("Label37"),
            .firstHvl = label("Label42"),
            .secondHvl = label("Label43"),
            .homogeneity = label("Label44"),
            .meanEnergy = label("Label45")};
}

bool SpectrumScreen::start() {
    const auto& fileTexts = texts::spectrumFileTexts();
    try {
        data_ = LoadPhysicalData(workDir_);
        DrawSpectrumAxes(*c_.plot);
        equipment_ = formats::readEquipment(workDir_);
    } catch (const FileError& e) {
        showMessage(qs(formats::describe(e, fileTexts)));
        return false;
    }
    c_.tubeVoltage->setText(QStringLiteral("30"));
    c_.beryllium->setText(QStringLiteral("0.8"));
    c_.aluminum->setText(QStringLiteral("0"));
    putText(c_.targetAngle, kv::format(equipment_.targetAngle, "00.0"));
    putText(c_.apparentAngle, kv::format(equipment_.tubeTiltAngle + equipment_.targetAngle, "00.0"));
    putText(c_.tubeTiltAngle, kv::format(equipment_.tubeTiltAngle, "#0.0"));
    c_.airLayer->setText(QStringLiteral("60"));
    c_.molybdenum->setText(QStringLiteral("0.03"));
    c_.rhodium->setText(QStringLiteral("0"));
    c_.silver->setText(QStringLiteral("0"));
    c_.determine->setEnabled(false);
    c_.molybdenumTarget->setChecked(true);
    target_ = TargetMaterial::Molybdenum;
    c_.withPaddle->setChecked(true);
    showBeamQuality(false);
    return true;
}

void SpectrumScreen::selectTarget(TargetMaterial target) {
    target_ = target;
    const TargetFilters start = targetFilters(target);
    putText(c_.beryllium, start.beryllium);
    putText(c_.aluminum, start.aluminum);
    putText(c_.molybdenum, start.molybdenum);
    putText(c_.rhodium, start.rhodium);
}

std::string SpectrumScreen::fieldText(const QLineEdit* field) {
    return field->text().toStdString();
}

void SpectrumScreen::updateApparentAngle() {
    // A sum of something that is no number would show an angle nobody typed.
    const TypedNumber theta = readTypedNumber(fieldText(c_.targetAngle)),
                      phi = readTypedNumber(fieldText(c_.tubeTiltAngle));
    putText(c_.apparentAngle,
            theta.ok() && phi.ok() ? kv::plainDecimal(theta.value + phi.value) : std::string());
}

bool SpectrumScreen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == angleFields_[0] || watched == angleFields_[1]) {
        if (event->type() == QEvent::FocusOut) {
            updateApparentAngle();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) updateApparentAngle();
        }
    }
    return Form::eventFilter(watched, event);
}

SpectrumFields SpectrumScreen::fields() const {
    return {
        .tubeVoltage = fieldText(c_.tubeVoltage),
        .targetAngle = fieldText(c_.targetAngle),
        .tubeTiltAngle = fieldText(c_.tubeTiltAngle),
        .beryllium = fieldText(c_.beryllium),
        .aluminum = fieldText(c_.aluminum),
        .molybdenum = fieldText(c_.molybdenum),
        .rhodium = fieldText(c_.rhodium),
        .silver = fieldText(c_.silver),
        .airLayer = fieldText(c_.airLayer),
    };
}

bool SpectrumScreen::refuses(const SpectrumFields& typed) const {
    const auto& fileTexts = texts::spectrumFileTexts();
    // Only the rhodium target needs Rh-STP.dat: without it the others still draw.
    if (target_ == TargetMaterial::Rhodium && data_.rhodiumFault) {
        showMessage(qs(formats::describe(*data_.rhodiumFault, fileTexts)));
        return true;
    }
    if (const auto refused = refusedOnScreen(typed, target_)) {
        const FieldMessage m = fieldRefusalMessage(*refused, fieldName(refused->field, fileTexts), fileTexts,
                                                   texts::typedNumberTexts());
        showMessage(qs(m.text), MessageIcon::Warning, qs(m.detail));
        return true;
    }
    const DrawCheck check = checkDrawSpectrum(typedFields(typed));
    if (check != DrawCheck::Accepted) {
        showMessage(qs(refusalMessage(check, fileTexts)));
        return true;
    }
    return false;
}

bool SpectrumScreen::drawSpectrum() {
    Canvas& plot = *c_.plot;
    DrawSpectrumAxes(plot);
    if (refuses(fields())) return false;
    SpectrumFields f = typedFields(fields());
    SpectrumResult result;
    {
        WaitCursor busy;
        result = computeSpectrum(target_, data_, f);
    }
    if (result.tubeVoltageText) {
        putText(c_.tubeVoltage, *result.tubeVoltageText);
        f.tubeVoltage = *result.tubeVoltageText;
    }
    if (result.empty()) {
        c_.determine->setEnabled(false);
        showMessage(qs(texts::spectrumFileTexts().spectrumEmpty));
        return false;
    }
    drawSpectrumCurve(plot, result.table[0], result.plotMaximum);
    table_ = result.table;
    drawnFields_ = f;
    drawnTyped_ = fields();
    drawnTarget_ = target_;
    c_.determine->setEnabled(true);
    showBeamQuality(true);
    return true;
}

bool SpectrumScreen::paddle(std::optional<Transmission>& through, bool tell) const {
    through.reset();
    if (!c_.withPaddle->isChecked()) return true;
    try {
        through = paddleTransmission(formats::readGeometry(workDir_));
        return true;
    } catch (const kv::RecordError& e) {
        if (tell) showMessage(qs(formats::describe(e, texts::settingsFileTextsOf(texts::edition()))));
        return false;
    }
}

void SpectrumScreen::showBeamQuality(bool afterDraw) {
    const auto& t = texts::lumiraTexts();
    putText(c_.qualityHeading, c_.withPaddle->isChecked() ? t.qualityWithPaddle : t.qualityNoPaddle);
    std::optional<BeamQuality> q;
    // Only a drawn spectrum has figures; a fault of Geometry.dat is told at a draw.
    if (c_.determine->isEnabled()) {
        std::optional<Transmission> through;
        if (paddle(through, afterDraw)) q = beamQuality(table_[0], data_.aluminum, through);
    }
    auto show = [&](QLabel* l, std::optional<double> v, const char* pattern, std::string_view unit) {
        l->setText(v ? qs(kv::format(*v, pattern) + " " + std::string(unit)) : QStringLiteral("-"));
    };
    show(c_.firstHvl, q ? std::optional(q->firstHvl) : std::nullopt, "0.000", t.mmAl);
    show(c_.secondHvl, q ? std::optional(q->secondHvl) : std::nullopt, "0.000", t.mmAl);
    show(c_.homogeneity, q && q->secondHvl > 0 ? std::optional(q->firstHvl / q->secondHvl) : std::nullopt,
         "0.000", "");
    show(c_.meanEnergy, q ? std::optional(q->meanEnergy) : std::nullopt, "0.00", t.keV);
}

void SpectrumScreen::matchHvl() {
    const auto& t = texts::lumiraTexts();
    const TypedNumber measured =
        readTypedNumber(fieldText(c_.measuredHvl), NumberRange{0, kMaxMeasuredHvl, true});
    if (!measured.ok()) {
        showMessage(qs(typedNumberMessage(measured, t.measuredHvl, t.mmAl, texts::typedNumberTexts())));
        return;
    }
    if (refuses(fields())) return;
    std::optional<Transmission> through;
    if (!paddle(through, true)) return;
    HvlMatch m;
    {
        WaitCursor busy;
        m = matchFirstHvl(target_, data_, typedFields(fields()), measured.value, through);
    }
    if (m.outcome != HvlMatchOutcome::Matched) {
        showMessage(qs(matchRefusalMessage(m, measured.value, texts::spectrumFileTexts())));
        return;
    }
    putText(c_.aluminum, m.aluminumText);
    drawSpectrum();
}

void SpectrumScreen::clearPlot() {
    Canvas& plot = *c_.plot;
    plot.clear();
    DrawSpectrumAxes(plot);
    c_.determine->setEnabled(false);
    showBeamQuality(false);
}

void SpectrumScreen::determine() {
    // The file describes what the screen shows: a change since the last draw is drawn first,
    // and stays in view a moment, so the user sees the curve and HVL written before the tool ends.
    const bool redraw = fields() != drawnTyped_ || target_ != drawnTarget_;
    if (redraw && !drawSpectrum()) return;
    if (redraw && isVisible()) {
        repaint();
        QEventLoop hold;
        QTimer::singleShot(kShowWrittenMs, &hold, &QEventLoop::quit);
        hold.exec(QEventLoop::ExcludeUserInputEvents);
    }
    const auto& fileTexts = texts::spectrumFileTexts();
    try {
        formats::writeSpectrumFile(workDir_, drawnTarget_, drawnFields_, table_, fileTexts.labels);
        // The header rounds the fields; the engine finds the exact ones here.
        formats::writeSpectrumExactFile(workDir_, drawnFields_);
        QCoreApplication::processEvents();
        formats::writeEquipment(workDir_, formats::linesForSpectrumTool(equipment_, drawnFields_.targetAngle,
                                                                        drawnFields_.tubeTiltAngle));
        QCoreApplication::processEvents();
    } catch (const FileError& e) {
        // The tool stays open: the user can try again or cancel.
        showMessage(qs(formats::describe(e, fileTexts)));
        return;
    }
    end();
}

void SpectrumScreen::cancel() {
    formats::deleteSpectrumFile(workDir_);
    end();
}

void SpectrumScreen::showAngleDiagram() {
    if (!diagram_) diagram_ = std::make_unique<AngleDiagramScreen>();
    // Beside this window where the screen has room, else as far right as it fits.
    const QRect frame = frameGeometry();
    QRect place(QPoint(frame.right() + 1, frame.top()), diagram_->frameGeometry().size());
    if (QScreen* s = screen()) {
        const QRect avail = s->availableGeometry();
        if (place.right() > avail.right()) place.moveRight(avail.right());
        if (place.bottom() > avail.bottom()) place.moveBottom(avail.bottom());
    }
    diagram_->move(place.topLeft());
    showInFront(*diagram_);
}

void SpectrumScreen::end() {
    if (diagram_) diagram_->hide();
    hide();
    if (!ended_) {
        ended_ = true;
        emit ended();
    }
}

void SpectrumScreen::closeEvent(QCloseEvent* event) {
    event->accept();
    end();
}

} // namespace kv::spectrum::ui
