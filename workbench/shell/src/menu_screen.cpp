#include "kv/workbench/shell/menu_screen.h"

#include "kv/texts/menu.h"
#include "kv/workbench/shell/reference_screens.h"
#include "kv/workbench/shell/workbench.h"

#include <QCloseEvent>
#include <QPushButton>

namespace kv::shell {

using namespace gui;

namespace {

std::vector<Control> table() {
    const auto& t = texts::menuTexts();
    // Captions too long for their button (some Japanese ones) get a smaller font.
    const Style button{14.25};
    const Style heading{15.75, true};
    const Style step{15.75};
    auto separator = [](const char* name, int y, Colour c) {
        return Control{
            .name = name, .kind = Kind::Line, .rect = {840, y, 5760, y}, .fore = c, .lineWidth = 2};
    };
    return {
        // The yellow copy lies under the red one, 15 twips to its right: a shadow.
        // Both take the width of the caption: the name is wider than the label's
        // design width at this size.
        {.name = "Label5",
         .kind = Kind::Label,
         .rect = {2280, 240},
         .text = t.title,
         .font = {18, true},
         .fore = colours::yellow},
        {.name = "Label10",
         .kind = Kind::Label,
         .rect = {2265, 240},
         .text = t.title,
         .font = {18, true},
         .fore = colours::red},
        {.name = t.noteLine1Name,
         .kind = Kind::Label,
         .rect = {360, 960},
         .text = t.noteLine1,
         .font = {15.75}},
        {.name = t.noteLine2Name,
         .kind = Kind::Label,
         .rect = {360, 1320},
         .text = t.noteLine2,
         .font = {15.75}},
        {.name = "Command4",
         .kind = Kind::Button,
         .rect = {4920, 1800, 1455, 495},
         .text = t.geometry,
         .font = button,
         .back = colours::buttonCyan,
         .fit = true},
        {.name = "Label9",
         .kind = Kind::Label,
         .rect = {2880, 2160},
         .text = t.menuHeading,
         .font = heading,
         .fore = colours::blue},
        separator("Line3", 2610, colours::white),
        separator("Line4", 2655, colours::grey),
        {.name = "Label1",
         .kind = Kind::Label,
         .rect = {1200, 2760},
         .text = t.procedureHeading,
         .font = heading,
         .fore = colours::blue},
        {.name = "Label6",
         .kind = Kind::Label,
         .rect = {1200, 3240},
         .text = t.step1,
         .font = step,
         .fore = colours::blue},
        {.name = "Command1",
         .kind = Kind::Button,
         .rect = {1800, 3120, 3495, 615},
         .text = t.phantom,
         .font = button,
         .back = colours::buttonYellow,
         .fit = true},
        {.name = "Label7",
         .kind = Kind::Label,
         .rect = {1200, 3960},
         .text = t.step2,
         .font = step,
         .fore = colours::blue},
        {.name = "Command2",
         .kind = Kind::Button,
         .rect = {1800, 3840, 3495, 615},
         .text = t.spectrum,
         .font = button,
         .back = colours::buttonYellow,
         .fit = true},
        {.name = "Label8",
         .kind = Kind::Label,
         .rect = {1200, 4680},
         .text = t.step3,
         .font = step,
         .fore = colours::blue},
        {.name = "Command5",
         .kind = Kind::Button,
         .rect = {1800, 4560, 3495, 615},
         .text = t.simulation,
         .font = button,
         .back = colours::buttonYellow,
         .fit = true},
        separator("Line2", 5370, colours::white),
        separator("Line1", 5400, colours::grey),
        {.name = "Command3",
         .kind = Kind::Button,
         .rect = {1440, 5640, 3855, 615},
         .text = t.results,
         .font = button,
         .back = colours::buttonYellow,
         .fit = true},
        separator("Line6", 6480, colours::grey),
        {.name = "Command7",
         .kind = Kind::Button,
         .rect = {1440, 6720, 3855, 615},
         .text = t.method,
         .font = button,
         .back = colours::buttonYellow,
         .tip = t.byeTip,
         .fit = true},
        separator("Line5", 7320, colours::white),
        {.name = "Command6",
         .kind = Kind::Button,
         .rect = {1440, 7560, 3855, 615},
         .text = t.exit,
         .font = button,
         .back = colours::buttonYellow,
         .tip = t.byeTip,
         .fit = true},
        separator("Line7", 8400, colours::grey),
        {.name = "Label2",
         .kind = Kind::Label,
         .rect = {1320, 8640, 3870, 225},
         .text = t.notice,
         .font = {9.75},
         .fore = colours::grey,
         .align = Align::Centre},
    };
}

} // namespace

MenuScreen::MenuScreen(Workbench& wb)
    : Form({.name = "Form3", .caption = texts::menuTexts().caption, .width = 6810, .height = 8985}, table()),
      wb_(wb), c_(bind()) {
    // Every start begins with the phantom, whatever files an earlier run left.
    setSpectrumStepOpen(false);
    setSetUpStepOpen(false);
    onClick(c_.phantom, [this] { wb_.openPhantom(); });
    onClick(c_.spectrum, [this] { wb_.startSpectrumTool(); });
    onClick(c_.setUp, [this] { wb_.openSetUp(); });
    onClick(c_.results, [this] { wb_.openResults(); });
    onClick(c_.airKerma, [this] { wb_.showAirKerma(); });
    onClick(c_.method, [this] { wb_.showMethod(); });
    onClick(c_.exit, [this] { wb_.end(); });
}

MenuScreen::Controls MenuScreen::bind() const {
    return {.phantom = button("Command1"),
            .spectrum = button("Command2"),
            .results = button("Command3"),
            .airKerma = button("Command4"),
            .setUp = button("Command5"),
            .exit = button("Command6"),
            .method = button("Command7")};
}

bool MenuScreen::spectrumStepOpen() const {
    return c_.spectrum->isEnabled();
}
bool MenuScreen::setUpStepOpen() const {
    return c_.setUp->isEnabled();
}
void MenuScreen::setSpectrumStepOpen(bool open) {
    c_.spectrum->setEnabled(open);
}
void MenuScreen::setSetUpStepOpen(bool open) {
    c_.setUp->setEnabled(open);
}

void MenuScreen::closeEvent(QCloseEvent* e) {
    wb_.end();
    e->accept();
}

} // namespace kv::shell
