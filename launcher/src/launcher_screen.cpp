#include "kv/launcher/launcher_screen.h"

#include "kv/common/typed_number.h"
#include "kv/common/version.h"
#include "kv/gui/platform.h"
#include "kv/gui/qtext.h"
#include "kv/texts/launcher.h"

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace kv::launcher {

using namespace gui;

namespace {

std::vector<Control> table() {
    const auto& t = texts::launcherTexts();
    const Style title{36, true};
    const Style line{15.75, true};
    return {
        {.name = "Picture1", .kind = Kind::Picture, .rect = {960, 360, 1140, 1440}, .border = true},
        // The yellow copy lies under the red one, a little to the right and below: a shadow.
        {.name = "Label5",
         .kind = Kind::Label,
         .rect = {3615, 720, 3105, 825},
         .text = t.title,
         .font = title,
         .fore = colours::yellow,
         .fit = true},
        {.name = "Label10",
         .kind = Kind::Label,
         .rect = {3580, 700, 3105, 825},
         .text = t.title,
         .font = title,
         .fore = colours::red,
         .fit = true},
        {.name = "Line2",
         .kind = Kind::Line,
         .rect = {3240, 600, 7080, 600},
         .fore = colours::white,
         .lineWidth = 3},
        {.name = "Line3",
         .kind = Kind::Line,
         .rect = {3240, 1680, 3240, 600},
         .fore = colours::white,
         .lineWidth = 3},
        {.name = "Line1",
         .kind = Kind::Line,
         .rect = {3240, 1680, 7080, 1680},
         .fore = colours::lightGrey,
         .lineWidth = 3},
        {.name = "Line4",
         .kind = Kind::Line,
         .rect = {7080, 1680, 7080, 600},
         .fore = colours::lightGrey,
         .lineWidth = 3},
        {.name = "Label2",
         .kind = Kind::Label,
         .rect = {360, 2400, 8820, 345},
         .text = t.purposeLine,
         .font = line,
         .fore = colours::black},
        {.name = "Label1",
         .kind = Kind::Label,
         .rect = {1200, 2880, 6825, 345},
         .text = t.modalityLine,
         .font = line,
         .fore = colours::black},
        {.name = "Command2",
         .kind = Kind::Button,
         .rect = {1920, 3720, 2655, 855},
         .text = t.english,
         .font = line,
         .back = colours::buttonYellow},
        {.name = "Command1",
         .kind = Kind::Button,
         .rect = {5400, 3720, 2655, 855},
         .text = t.japanese,
         .font = line,
         .back = colours::buttonYellow},
        {.name = "Label3",
         .kind = Kind::Label,
         .rect = {2760, 5160, 4365, 255},
         .font = {11.25},
         .fore = colours::darkGrey,
         .align = Align::Centre},
        // Ours: the build of the version, right of the notice line in the free corner.
        {.name = "LabelBuild",
         .kind = Kind::Label,
         .rect = {7200, 5175, 2430, 240},
         .font = {8},
         .fore = colours::darkGrey},
        // Ours, in the free band between the buttons and the notice line.
        {.name = "LabelWorkFolder",
         .kind = Kind::Label,
         .rect = {360, 4725, 6960, 285},
         .font = {11.25},
         .fore = colours::black},
        {.name = "CommandWorkFolder",
         .kind = Kind::Button,
         .rect = {7440, 4680, 1920, 375},
         .text = t.otherFolder,
         .font = {11.25},
         .back = colours::buttonYellow},
    };
}

} // namespace

LauncherScreen::LauncherScreen(QWidget* parent, Places places)
    : Form({.name = "Form7", .caption = texts::launcherTexts().caption, .width = 9720, .height = 5625},
           table(), parent),
      places_(std::move(places)), workFolder_(places_.workFolder), c_(bind()) {
    const auto& t = texts::launcherTexts();
    const std::string full(version());
    c_.notice->setText(qs(fillIn(std::string(t.notice), {{"{version}", full.substr(0, full.find('+'))}})));
    c_.notice->setToolTip(qs(fillIn(std::string(t.noticeTip), {{"{version}", full}})));
    // The build id a problem report asks for; a tarball's version has none.
    c_.build->setText(qs(full.find('+') == std::string::npos ? std::string() : full.substr(full.find('+'))));
    c_.build->setToolTip(c_.notice->toolTip());
    c_.otherFolder->setToolTip(
        qs(fillIn(std::string(t.otherFolderTip), {{"{folder}", places_.workFolder.string()}})));
    showWorkFolder();
    Canvas* ribbon = c_.ribbon;
    ribbon->paintWith(
        [ribbon](QPainter& p) { drawRibbon(p, QRectF(ribbon->innerRect().translated(-2, -2))); });
    onClick(c_.english, [this] { startWorkbench("dorvel_en"); });
    onClick(c_.japanese, [this] { startWorkbench("dorvel_ja"); });
    onClick(c_.otherFolder, [this] { chooseWorkFolder(); });
}

LauncherScreen::Controls LauncherScreen::bind() const {
    return {.notice = label("Label3"),
            .build = label("LabelBuild"),
            .workFolder = label("LabelWorkFolder"),
            .otherFolder = button("CommandWorkFolder"),
            .japanese = button("Command1"),
            .english = button("Command2"),
            .ribbon = picture("Picture1")};
}

void LauncherScreen::showWorkFolder() {
    QLabel* l = c_.workFolder;
    const QString full =
        qs(fillIn(std::string(texts::launcherTexts().workFolder), {{"{folder}", workFolder_.string()}}));
    l->setText(l->fontMetrics().elidedText(full, Qt::ElideMiddle, l->width()));
    l->setToolTip(full);
}

void LauncherScreen::chooseWorkFolder() {
    const QString chosen = messages().chooseFolder(QString::fromStdString(workFolder_.string()));
    if (chosen.isEmpty()) return;
    workFolder_ = chosen.toStdString();
    showWorkFolder();
}

void LauncherScreen::startWorkbench(const char* program) {
    const auto& t = texts::launcherTexts();
    if (std::optional<FolderProblem> p = prepareWorkFolder(workFolder_, places_.shippedData)) {
        using Kind = FolderProblem::Kind;
        const texts::Text& why = p->kind == Kind::CannotMake   ? t.cannotMake
                                 : p->kind == Kind::NotAFolder ? t.notAFolder
                                 : p->kind == Kind::ReadOnly   ? t.readOnly
                                                               : t.cannotSeed;
        const std::string reason = fillIn(std::string(why), {{"{detail}", p->detail}});
        showMessage(qs(
            fillIn(std::string(t.folderProblem), {{"{folder}", workFolder_.string()}, {"{why}", reason}})));
        return; // open still, for another folder
    }
    // The workbench, and all it starts, share this folder.
    QDir::setCurrent(QString::fromStdString(workFolder_.string()));
    const QString name = QString::fromLatin1(program);
    if (!programs().start(name)) showMessage(qs(t.cannotStart).arg(name));
    close();
}

void drawRibbon(QPainter& p, const QRectF& area) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(area.topLeft());
    p.scale(area.width() / 72.0, area.height() / 92.0);
    // The centre line of the band: from the right tail up over the loop and
    // down to the left tail, which is drawn last so that it crosses in front.
    QPainterPath back;
    back.moveTo(58, 86);
    back.lineTo(36, 50);
    back.cubicTo(24, 30, 22, 8, 36, 7);
    back.cubicTo(50, 8, 48, 30, 40, 43);
    QPainterPath front;
    front.moveTo(40, 43);
    front.lineTo(14, 86);
    const QColor edge(200, 40, 110), band(250, 130, 180), shine(255, 190, 215);
    for (const QPainterPath* path : {&back, &front}) {
        p.setPen(QPen(edge, 12, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
        p.drawPath(*path);
        p.setPen(QPen(band, 9, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
        p.drawPath(*path);
        p.setPen(QPen(shine, 2, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
        p.drawPath(*path);
    }
    p.restore();
}

} // namespace kv::launcher
