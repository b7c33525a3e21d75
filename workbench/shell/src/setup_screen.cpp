#include "kv/workbench/shell/setup_screen.h"

#include "kv/engine/run_inputs.h"
#include "kv/formats/control_file.h"
#include "kv/formats/edition_file.h"
#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/gui/qtext.h"
#include "kv/texts/setup.h"
#include "kv/texts/spectrum_files.h"
#include "kv/workbench/shell/model/run_entries.h"
#include "kv/workbench/shell/plates_dialog.h"
#include "kv/workbench/shell/reference_screens.h"
#include "kv/workbench/shell/workbench.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv::shell {

using namespace gui;

namespace {

constexpr const char* kMammographyEngine = "halvex";
constexpr const char* kTomosynthesisEngine = "tiravex";
std::string textOf(const QLineEdit* box) {
    return box->text().toStdString();
}

std::vector<Control> table() {
    const auto& t = texts::setUpTexts();
    auto blue = [](const char* name, int left, int top, texts::Text text) {
        return Control{
            .name = name, .kind = Kind::Label, .rect = {left, top}, .text = text, .fore = colours::blue};
    };
    auto box = [](const char* name, int left, int top, int width, int height = 375, const char* parent = "") {
        return Control{
            .name = name, .kind = Kind::TextBox, .rect = {left, top, width, height}, .parent = parent};
    };
    const texts::Span histories = t.historiesBox;
    auto button = [](const char* name, texts::Span at, int top, int height, texts::Text text, Colour face) {
        return Control{.name = name,
                       .kind = Kind::Button,
                       .rect = {at.left, top, at.width, height},
                       .text = text,
                       .font = {at.pt},
                       .back = face};
    };
    auto fifteen = [&t](const char* name, int left) {
        return Control{.name = name,
                       .kind = Kind::Label,
                       .rect = {left, 4680, 855, 375},
                       .text = t.fifteen,
                       .back = colours::white,
                       .align = Align::Centre,
                       .border = true};
    };
    auto plusMinus = [](const char* name, int x1, int y1, int x2, int y2) {
        return Control{.name = name, .kind = Kind::Line, .rect = {x1, y1, x2, y2}, .fore = colours::black};
    };
    std::vector<Control> rows{
        {.name = "Label1",
         .kind = Kind::Label,
         .rect = {720, 240, 6660, 465},
         .text = t.heading,
         .font = {18, true},
         .fore = colours::blue,
         .fit = true},
        blue("Label6", 600, 1080, t.equipmentName),
        box("Text6", 2640, 1080, 4335),
        {.name = "Frame1",
         .kind = Kind::Frame,
         .rect = {480, 1800, 6495, 1095},
         .text = t.exposureMethod,
         .fore = colours::blue},
        {.name = "Option1",
         .kind = Kind::Option,
         .rect = {480, 480, 2535, 375},
         .text = t.mammography,
         .fore = colours::black,
         .parent = "Frame1"},
        {.name = "Option2",
         .kind = Kind::Option,
         .rect = {3120, 480, 3255, 375},
         .text = t.tomosynthesis,
         .fore = colours::black,
         .parent = "Frame1"},
        blue("Label12", t.fidLeft, 3120, t.fid),
        box("Text3", 5520, 3120, 1095),
        blue("Label2", 6720, 3120, t.cm),
        blue("Label5", t.fadLeft, 3600, t.fad),
        box("Text4", 5520, 3600, 1095),
        blue("Label10", 6720, 3600, t.cm),
        blue("Label13", t.angularRangeLeft, 4080, t.angularRange),
        box("Text5", 5520, 4080, 1095),
        blue("Label14", 6720, 4080, t.deg),
        plusMinus("Line1", 5160, 4200, 5400, 4200),
        plusMinus("Line2", 5280, 4080, 5280, 4320),
        plusMinus("Line3", 5160, 4320, 5400, 4320),
        blue("Label3", 480, 4680, t.fieldSize),
        fifteen("Label15", 2760),
        {.name = "Label8",
         .kind = Kind::Label,
         .rect = {3720, 4725},
         .text = t.times,
         .font = {11.25},
         .fore = colours::black},
        fifteen("Label16", 4080),
        blue("Label9", 5040, 4725, t.cmConstant),
        blue("Label4", 480, 5400, t.histories),
        {.name = "Text11",
         .kind = Kind::TextBox,
         .rect = {histories.left, 5400, histories.width, 375},
         .font = {histories.pt}},
        blue("Label11", t.photonsLeft, 5400, t.photons),
        {.name = "Frame2",
         .kind = Kind::Frame,
         .rect = {360, 6000, 6615, 1095},
         .text = t.fcdFrame,
         .fore = colours::blue},
        {.name = "Option4",
         .kind = Kind::Option,
         .rect = {360, 520, 1215, 375},
         .text = t.fcdFad,
         .fore = colours::black,
         .parent = "Frame2"},
        {.name = "Option5",
         .kind = Kind::Option,
         .rect = {1680, 520, 2895, 375},
         .text = t.otherDistance,
         .fore = colours::black,
         .parent = "Frame2"},
        box("Text1", 4680, 480, 1095, 420, "Frame2"),
        {.name = "Label17",
         .kind = Kind::Label,
         .rect = {6000, 520},
         .text = t.cm,
         .fore = colours::blue,
         .parent = "Frame2"},
        // On the frame's top edge, after its caption: made after the frame, so it lies above it.
        button("Command1", t.geometryButton, 6000, 375, t.geometry, colours::buttonCyan),
        blue("Label25", 480, 7320, t.fileNameLabel),
        {.name = "Label7",
         .kind = Kind::Label,
         .rect = {2040, 7680},
         .text = t.withoutExtension,
         .fore = colours::black},
        box("Text12", 1440, 8040, 4455),
        button("Command5", t.okButton, 8760, 615, t.ok, colours::buttonYellow),
        button("Command6", t.startButton, 8760, 615, t.start, colours::buttonYellow),
        button("Command4", t.cancelButton, 8760, 615, t.cancel, colours::buttonYellow),
        // The two target uncertainties, each label above its box, in the free
        // corner below the frame and right of the file name's label (in Japanese
        // it reaches x 407 px): boxes at 416 px, narrowed to end where the frame does.
        {.name = "LabelSagd",
         .kind = Kind::Label,
         .rect = {6240, 7815, 1260, 330},
         .text = t.sagdTarget,
         .font = {11.25},
         .fore = colours::blue,
         .tip = t.sagdTargetTip,
         .fit = true},
        {.name = "TextSagd", .kind = Kind::TextBox, .rect = {6240, 8145, 735, 375}, .tip = t.sagdTargetTip},
        blue("LabelSagdPercent", 7035, 8145, t.percent),
        {.name = "LabelMapSigma",
         .kind = Kind::Label,
         .rect = {6240, 7125, 1260, 315},
         .text = t.mapTarget,
         .font = {11.25},
         .fore = colours::blue,
         .tip = t.mapTargetTip,
         .fit = true},
        {.name = "TextMapSigma",
         .kind = Kind::TextBox,
         .rect = {6240, 7440, 735, 375},
         .tip = t.mapTargetTip},
        blue("LabelMapSigmaPercent", 7035, 7440, t.percent),
    };
    if (!t.constant.view().empty()) rows.push_back(blue("Label18", 5520, 4725, t.constant));
    // An addition in the free row under the angular range.
    rows.push_back({.name = "LabelScan",
                    .kind = Kind::Label,
                    .rect = {480, 4455, 6495, 225},
                    .font = {9, true},
                    .fore = colours::black,
                    .tip = t.scanTip});
    return rows;
}

} // namespace

SetUpScreen::SetUpScreen(Workbench& wb)
    : Form({.name = "Form4",
            .caption = texts::setUpTexts().caption,
            .width = 7500,
            .height = 9660,
            .font = {14.25}},
           table()),
      wb_(wb), c_(bind()) {
    connect(c_.fcdEqualsFad, &QRadioButton::toggled, this, [this](bool on) {
        if (on) c_.fcd->setText(c_.fad->text());
    });
    connect(c_.otherFcd, &QRadioButton::toggled, this, [this](bool on) {
        if (on) c_.fcd->clear();
    });
    connect(c_.tomosynthesis, &QRadioButton::toggled, this, [this] { showScan(); });
    onClick(c_.ok, [this] { accept(); });
    onClick(c_.start, [this] { startEngine(); });
    onClick(c_.cancel, [this] { hide(); }); // nothing written, the menu state stays
    onClick(c_.geometry, [this] { wb_.showAirKerma(); });
    c_.start->setEnabled(false);
    // The unit's paddle and support: an addition kept off the form's layout.
    auto* plates = new QAction(qs(texts::setUpTexts().plates), this);
    plates->setObjectName(QStringLiteral("PlatesAction"));
    connect(plates, &QAction::triggered, this, [this] { showPlates(); });
    addAction(plates);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    // The target's label ends where its "%" ends, and stays clear of the note before it
    // however long the edition's words are.
    QLabel* target = c_.sagdTargetLabel;
    const QLabel* note = c_.resultNameNote;
    const QLabel* percent = c_.sagdTargetPercent;
    const int end = percent->x() + percent->fontMetrics().horizontalAdvance(percent->text());
    target->move(std::max(note->x() + note->width() + 8, end - target->width()), target->y());
}

SetUpScreen::Controls SetUpScreen::bind() const {
    return {.mammography = option("Option1"),
            .tomosynthesis = option("Option2"),
            .equipmentName = textBox("Text6"),
            .fid = textBox("Text3"),
            .fad = textBox("Text4"),
            .angularRange = textBox("Text5"),
            .histories = textBox("Text11"),
            .fcdEqualsFad = option("Option4"),
            .otherFcd = option("Option5"),
            .fcd = textBox("Text1"),
            .resultName = textBox("Text12"),
            .sagdTarget = textBox("TextSagd"),
            .mapTarget = textBox("TextMapSigma"),
            .geometry = button("Command1"),
            .ok = button("Command5"),
            .start = button("Command6"),
            .cancel = button("Command4"),
            .sagdTargetLabel = label("LabelSagd"),
            .sagdTargetPercent = label("LabelSagdPercent"),
            .resultNameNote = label("Label7"),
            .scan = label("LabelScan")};
}

void SetUpScreen::showScan() {
    QLabel* l = c_.scan;
    if (!c_.tomosynthesis->isChecked()) {
        l->clear();
        return;
    }
    const auto& t = texts::setUpTexts();
    std::string line;
    try {
        line = describeScan(formats::readGeometry(std::filesystem::path(wb_.workDir().toStdString())),
                            {.continuous = t.scanContinuous,
                             .steps = t.scanSteps,
                             .single = t.scanSingle,
                             .axisAtFad = t.scanAxisAtFad,
                             .axisAbove = t.scanAxisAbove,
                             .loadingEqual = t.scanLoadingEqual,
                             .loadingGiven = t.scanLoadingGiven});
    } catch (const kv::RecordError& e) {
        line = formats::describe(e, texts::settingsFileTextsOf(texts::edition()));
    }
    // The whole line in the tip when the row is too narrow for it.
    const QString full = qs(line);
    l->setText(
        l->fontMetrics().elidedText(full.section(QLatin1Char('\n'), 0, 0), Qt::ElideRight, l->width()));
    l->setToolTip(full + QStringLiteral("\n\n") + qs(t.scanTip));
}

void SetUpScreen::showPlates() {
    if (!plates_)
        plates_ = std::make_unique<PlatesDialog>(std::filesystem::path(wb_.workDir().toStdString()));
    static_cast<PlatesDialog*>(plates_.get())->fill();
    showInFront(*plates_);
}

bool SetUpScreen::fill() {
    try {
        asRead_ = formats::readEquipment(std::filesystem::path(wb_.workDir().toStdString()));
    } catch (const formats::FileError& e) {
        showMessage(qs(formats::describe(e, texts::spectrumFileTexts())));
        return false;
    }
    const SetUpEntries e = openingEntries(std::filesystem::path(wb_.workDir().toStdString()), asRead_);
    c_.mammography->setChecked(true);
    c_.fcdEqualsFad->setChecked(true);
    const std::pair<QLineEdit*, const std::string*> boxes[] = {{c_.fcd, &e.fcd},
                                                               {c_.fid, &e.fid},
                                                               {c_.fad, &e.fad},
                                                               {c_.angularRange, &e.angularRange},
                                                               {c_.equipmentName, &e.equipmentName},
                                                               {c_.histories, &e.histories},
                                                               {c_.resultName, &e.resultName},
                                                               {c_.sagdTarget, &e.sagdTarget},
                                                               {c_.mapTarget, &e.mapTarget}};
    for (const auto& [box, value] : boxes)
        box->setText(qs(*value));
    c_.start->setEnabled(false);
    return true;
}

QString SetUpScreen::engine() const {
    return QString::fromLatin1(c_.mammography->isChecked() ? kMammographyEngine : kTomosynthesisEngine);
}

void SetUpScreen::accept() {
    const auto& t = texts::setUpTexts();
    const SetUpWords words{.histories = t.fieldHistories,
                           .resultName = t.fieldFileName,
                           .fid = t.fieldFid,
                           .fad = t.fieldFad,
                           .angularRange = t.fieldAngularRange,
                           .fcd = t.fieldFcd,
                           .sagdTarget = t.sagdTarget,
                           .mapTarget = t.mapTarget,
                           .cm = t.cm,
                           .deg = t.deg,
                           .missingInput = t.missingInput,
                           .nothingTyped = t.nothingTyped,
                           .notAFileName = t.notAFileName,
                           .nothingWritten = t.nothingWritten,
                           .badSagdTarget = t.badSagdTarget,
                           .badMapTarget = t.badMapTarget,
                           .cannotUseOptions = t.cannotUseOptions,
                           .cannotWrite = t.cannotWrite,
                           .numbers = texts::typedNumberTexts(),
                           .files = texts::spectrumFileTexts()};
    const SetUpEntries entries{.equipmentName = textOf(c_.equipmentName),
                               .fid = textOf(c_.fid),
                               .fad = textOf(c_.fad),
                               .angularRange = textOf(c_.angularRange),
                               .histories = textOf(c_.histories),
                               .otherFcd = !c_.fcdEqualsFad->isChecked(),
                               .fcd = textOf(c_.fcd),
                               .resultName = textOf(c_.resultName),
                               .sagdTarget = textOf(c_.sagdTarget),
                               .mapTarget = textOf(c_.mapTarget)};
    const std::filesystem::path dir(wb_.workDir().toStdString());
    if (const auto refused = checkSetUp(dir, entries, words)) {
        showMessage(qs(refused->text), MessageIcon::Warning, qs(refused->detail));
        return;
    }
    // The engine replaces a result of the same name without asking; the user decides here.
    const std::string result = entries.resultName + std::string(formats::kResultExtension);
    std::error_code ignored;
    if (std::filesystem::exists(dir / result, ignored) &&
        !messages().ask(qs(t.replaceResult).arg(qs(result))))
        return;
    if (const auto refused = acceptSetUp(dir, entries, asRead_, words, texts::edition())) {
        showMessage(qs(refused->text), MessageIcon::Warning, qs(refused->detail));
        return;
    }
    accepted_ = shown();
    c_.start->setEnabled(true);
}

QStringList SetUpScreen::shown() const {
    QStringList fields;
    for (const QLineEdit* box : {c_.fcd, c_.fid, c_.fad, c_.angularRange, c_.equipmentName, c_.histories,
                                 c_.resultName, c_.sagdTarget, c_.mapTarget})
        fields << box->text();
    fields << QString::number(c_.mammography->isChecked()) << QString::number(c_.fcdEqualsFad->isChecked());
    return fields;
}

void SetUpScreen::startEngine() {
    const auto& t = texts::setUpTexts();
    QPushButton* start = c_.start;
    if (!start->isEnabled()) return; // a second press of a start already made
    // The engine reads the files of the last "OK", not the boxes.
    if (shown() != accepted_) {
        showMessage(qs(t.changedSinceOk));
        return;
    }
    const QString name = engine();
    start->setEnabled(false);
    // The engine's own start check, on the files it will read: a run it
    // refuses must not be announced as started.
    const std::filesystem::path dir(wb_.workDir().toStdString());
    const auto kind = c_.mammography->isChecked() ? kv::engine::ExposureKind::Mammography
                                                  : kv::engine::ExposureKind::Tomosynthesis;
    std::string refusal;
    try {
        kv::engine::checkRunStart(dir, kind);
    } catch (const kv::engine::InputError& e) {
        refusal = e.text(texts::edition());
    } catch (const std::exception& e) {
        refusal = e.what();
    }
    if (!refusal.empty()) {
        start->setEnabled(true);
        showMessage(qs(t.engineRefuses).arg(qs(refusal)));
        return;
    }
    // The engine takes no arguments: it finds the edition to speak in the folder.
    try {
        formats::writeEditionFile(dir, texts::edition());
    } catch (const formats::FileError&) {
        // The run is what matters; without the file it speaks English.
    }
    if (!programs().start(name)) {
        start->setEnabled(true);
        showMessage(qs(t.cannotStart).arg(name));
        return;
    }
    beep();
    showMessage(qs(t.continueNext), MessageIcon::None);
    hide();
    wb_.simulationStarted();
    wb_.showMenu();
}

} // namespace kv::shell
